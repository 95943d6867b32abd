// app_state.h - the interaction state of the application shell.
//
// Who may write what (main thread only):
//   winWidth, winHeight ..... fixed at start-up (grid size + 195, + 20)
//   window .................. main(), from glutCreateWindow
//   processType, threads .... main(), from the command line
//   lockMenu ................ Load, Save, Export, Zoom In, Pivot set it to 1;
//                             Cancel, Accept, the list pick, the end of a
//                             zoom rectangle and the pivot pick set it to 0
//   zoomFlag ................ Zoom In (1), Pivot (-1), the pick logic
//                             (0 none, 1 zoom armed, 2 dragging, -1 pivot armed)
//   scanFlag ................ the file dialogs (0 none, 1 Load list,
//                             -1 Save name entry, -2 Export name entry)
//   drawFlag ................ myDisplay, after the first full drawing
#ifndef QUORVEX_APP_APP_STATE_H
#define QUORVEX_APP_APP_STATE_H

extern int winWidth, winHeight;
extern int window;
extern int processType;
extern int threads;
extern int lockMenu;
extern int zoomFlag;
extern int scanFlag;
extern int drawFlag;

#endif
