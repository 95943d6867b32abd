// app_state.h - the interaction state of the application shell, and the
// names of the values each mode takes.
//
// Layer: app (the top: the only folder that may include app/ headers).
//
// Who may write what (main thread only):
//   winWidth, winHeight ..... fixed at start-up (grid size + 195, + 20)
//   window .................. main(), from glutCreateWindow
//   lockMenu ................ Load, Save, Export, Zoom In, Pivot set it to
//                             MENU_LOCKED; Cancel, Accept, the list pick, the
//                             end of a zoom rectangle and the pivot pick set
//                             it to MENU_UNLOCKED. Gated commands act only
//                             while it is not MENU_LOCKED.
//   zoomFlag ................ Zoom In, Pivot and the pick logic (app/zoom.h)
//   scanFlag ................ the file dialogs (app/dialogs.h)
//   drawFlag ................ myDisplay, after the first full drawing
// The generation mode (processType, threads) belongs to generate/make.h;
// main sets it from the command line.
#ifndef QUORVEX_APP_APP_STATE_H
#define QUORVEX_APP_APP_STATE_H

enum { MENU_UNLOCKED = 0, MENU_LOCKED = 1 };

// zoomFlag: nothing armed; zoom armed, waiting for the first corner; the
// rectangle being dragged; pivot armed, waiting for the point.
enum { ZOOM_NONE = 0, ZOOM_ARMED = 1, ZOOM_DRAGGING = 2, PIVOT_ARMED = -1 };

// scanFlag: no dialog; the Load list; the name entry of Save; of Export.
enum { SCAN_NONE = 0, SCAN_LOAD_LIST = 1, SCAN_SAVE_NAME = -1, SCAN_EXPORT_NAME = -2 };

extern int winWidth, winHeight;
extern int window;
extern int lockMenu;
extern int zoomFlag;
extern int scanFlag;
extern int drawFlag;

#endif
