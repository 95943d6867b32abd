// startup.h - bringing the program up: command line, window, GL set-up.
//
// openQuorvex reads the command line; with exactly one argument it prints
// the help text and returns 0 with *exitStatus 0. Otherwise it checks that
// an X display can be opened (one clear line on standard error and
// *exitStatus 1 if not), creates the fixed-size window with its title,
// registers the five callbacks, runs myInit and returns 1: the caller then
// enters glutMainLoop. The in-process tests call it and pump events
// themselves. It sets the generation mode (processType, threads in
// generate/make.h) from the command line.
//
// Layer: app.
#ifndef QUORVEX_APP_STARTUP_H
#define QUORVEX_APP_STARTUP_H

int openQuorvex(int argc, char **argv, int *exitStatus);

// One-time GL and palette set-up: point size 1, black clear, pixel
// projection (origin bottom-left), "Mandelbrot", srand(1959), the palette.
void myInit();

// The reshape callback: the window always snaps back to its fixed size.
void myResize(int width, int height);

#endif
