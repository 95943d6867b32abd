// dispatch.h - the mouse callback and the commands that act at once.
//
// Layer: app (uses app/dialogs.h, app/zoom.h, app/layout.h; generate/ for
// Make).
//
// myMouse converts GLUT's position to window coordinates (Y = winHeight - y).
// Only a left press tests buttons (after glFinish), in three runs:
//   one:   Make, Load, Save, Export, Red, Green, Blue, Type
//   two:   Detail+, Detail-, Zoom In, Zoom Out, Pivot, Reset
//   three: Exit, Up, Down, Cancel, Accept; then the file-list area
//          (inListArea(X), 10 <= X <= 170, while the Load list is open);
//          then the pick logic.
// The first button hit ends the dispatch, whether its gate let it act or
// not; Type and Reset, when they act, go on with the next run. A refused
// command does nothing at all, not even its click animation. Every other
// event goes straight to the pick logic (app/zoom.h).
//
// Gates: Make, Type, Detail+/-, Reset act while lockMenu != MENU_LOCKED; Save,
// Export, Red, Green, Blue, Zoom In, Zoom Out, Pivot also need an image
// (noFractal != 1); Load, Exit, Up, Down, Cancel, Accept always act.
#ifndef QUORVEX_APP_DISPATCH_H
#define QUORVEX_APP_DISPATCH_H

void myMouse(int button, int state, int x, int y);

// Make: the click animation, Make drawn plainly (which ends the cue), the
// image panel cleared, then generateFractal (generate/make.h) into it; the
// picture's view is remembered for the picks (app/zoom.h) and noFractal
// becomes 0. No swap: the rows went into both buffers.
void MAKE_COMMAND();

void TYPE_COMMAND();
// detail by DETAIL_STEP within DETAIL_FLOOR..DETAIL_CEILING (core/state.h),
// bounding the result only: a loaded 75 goes to 125, or to 50.
void DETAIL_PLUS_COMMAND();
void DETAIL_MINUS_COMMAND();
void PALETTE_COMMAND(int channel);  // 0 red, 1 green, 2 blue
void RESET_COMMAND();
void EXIT_COMMAND();

// Destroys the window and exits with status 0; in-process tests replace it.
extern void (*endProgram)();

#endif
