// make.h - computing the picture of the current type and view into the
// grid and drawing it as it comes: the generation half of the Make command
// (app/dispatch.h has the command itself, with its button and panel).
//
// Layer: generate (uses colour, widgets and core; the shell passes the
// panel, as a WINDOW value).
//
// processType and threads are the generation mode: main sets them once from
// the command line (app/startup.cpp); only generation reads them.
//   processType  PROCESS_NONE, PROCESS_SEQUENTIAL or PROCESS_THREADED
//                (core/cmdline.h)
//   threads      worker slots for PROCESS_THREADED, >= 1
//
// generateFractal(panel): both buffers selected, point size 2, the scales
// from the view (applyScaleRule), then by processType: the sequential
// driver of fType, THREAD_FRACTAL_GENERATE, or nothing at all; point size 1.
// It neither swaps nor restores the draw buffer (both stay selected); the
// rows are put on the screen as they come (colour/display.h, the rows of a
// Make).
//
// A sequential driver (MANDELBROT(WINDOW) ..., generate/families.h) computes
// rows 0, 1, ... with its type's kernel and draws each row right after
// computing it. THREAD_FRACTAL_GENERATE hands the rows to `threads` worker
// slots (generate/row_workers.h) and draws each row as its worker reports
// it done. Rows whose worker could not be started are computed on this
// thread instead; one line on standard error says how many.
#ifndef QUORVEX_GENERATE_MAKE_H
#define QUORVEX_GENERATE_MAKE_H

#include "generate/families.h"
#include "widgets/window.h"

extern int processType;
extern int threads;

void generateFractal(WINDOW panel);

void THREAD_FRACTAL_GENERATE(WINDOW panel);

#endif
