// zoom.h - zoom rectangle, Zoom Out and the pivot pick.
//
// Layer: app (uses app/layout.h).
//
// zoomFlag (app/app_state.h), written only here: ZOOM_NONE, ZOOM_ARMED
// (waiting for the first corner), ZOOM_DRAGGING, PIVOT_ARMED (waiting for
// the point). Zoom In and Pivot lock the menu, hide the command buttons and
// show the crosshair; the selection ends only by completing:
//   ARMED    --left press--> DRAGGING (first corner; cursor hidden)
//   DRAGGING --motion------> DRAGGING (grey outline into the front buffer)
//   DRAGGING --left release-> NONE (final outline, view edges set, readout,
//                                   buttons shown, unlocked, Make cue)
//   PIVOT_ARMED --left press--> NONE (10-pixel marker, pivot set, readout,
//                                     unlocked)
// A window point (X, Y) maps to the plane through the image on the screen:
//   x = (X - MAIN_WINDOW.left) * scale + start, y = (MAIN_WINDOW.top - Y) * ...
// with the starts and scales of the last Make or successful load (shownView),
// so a second pick before the next Make lands where the user clicked.
#ifndef QUORVEX_APP_ZOOM_H
#define QUORVEX_APP_ZOOM_H

struct PlaneMapping {
    double xStart, yStart, xScale, yScale;
};

// The view of the image on the screen; set by Make and by a successful load.
extern PlaneMapping shownView;
void rememberShownView();

// The first corner in window and in plane coordinates (the pick logic),
// and the pointer at the last motion while dragging (myMovingMouse only;
// nothing resets it).
extern int xs, ys, xe, ye;
extern double xTemp, yTemp;

void ZOOM_IN_COMMAND();
void ZOOM_OUT_COMMAND();
void PIVOT_COMMAND();

// The tail of myMouse: every event that no button or list pick took.
void PICK_LOGIC(int button, int state, int X, int Y);

void myMovingMouse(int x, int y);

double planeX(int X);
double planeY(int Y);

#endif
