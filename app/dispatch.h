// dispatch.h - the mouse callback and the commands that act at once.
//
// myMouse converts GLUT's position to window coordinates (Y = winHeight - y).
// Only a left press tests buttons (after glFinish), in three runs:
//   one:   Make, Load, Save, Export, Red, Green, Blue, Type
//   two:   Detail+, Detail-, Zoom In, Zoom Out, Pivot, Reset
//   three: Exit, Up, Down, Cancel, Accept; then the file-list area
//          (10 <= X <= 170 while the Load list is open); then the pick logic.
// The first button hit ends the dispatch, whether its gate let it act or
// not; Type and Reset, when they act, go on with the next run. A refused
// command does nothing at all, not even its click animation. Every other
// event goes straight to the pick logic (app/zoom.h).
//
// Gates: Make, Type, Detail+/-, Reset act while lockMenu != 1; Save,
// Export, Red, Green, Blue, Zoom In, Zoom Out, Pivot also need an image
// (noFractal != 1); Load, Exit, Up, Down, Cancel, Accept always act.
#ifndef QUORVEX_APP_DISPATCH_H
#define QUORVEX_APP_DISPATCH_H

void myMouse(int button, int state, int x, int y);

void TYPE_COMMAND();
void DETAIL_PLUS_COMMAND();
void DETAIL_MINUS_COMMAND();
void PALETTE_COMMAND(int channel);  // 0 red, 1 green, 2 blue
void RESET_COMMAND();
void EXIT_COMMAND();

// Destroys the window and exits with status 0; in-process tests replace it.
extern void (*endProgram)();

// The parameters-changed cue: Make drawn with a white face.
void MAKE_CUE();

#endif
