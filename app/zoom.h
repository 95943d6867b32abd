// zoom.h - zoom rectangle, Zoom Out and the pivot pick.
//
// zoomFlag: 0 none, 1 zoom armed (waiting for the first corner), 2 dragging,
// -1 pivot armed. Zoom In and Pivot lock the menu, hide the command buttons
// and show the crosshair; the selection ends only by completing:
//   1 --left press--> 2 (first corner; cursor hidden)
//   2 --motion------> 2 (grey outline into the front buffer)
//   2 --left release-> 0 (final outline, view edges set, readout, buttons
//                         shown, unlocked, Make cue)
//  -1 --left press--> 0 (10-pixel marker, pivot set, readout, unlocked)
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
