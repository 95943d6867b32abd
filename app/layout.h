// layout.h - the control panel: panels, buttons, captions and the readout.
//
// Three sunken panels (image, "Directory", "Parameters") and nineteen
// buttons in two columns, rows 25 pixels apart counted down from the top of
// the window. The first display callback draws everything once; afterwards
// the program changes the picture piece by piece: DISPLAY_FRACTAL_DATA
// redraws one readout line, the group functions hide and show the buttons
// of a file dialog or of a zoom/pivot selection. A later display request
// (an expose) only swaps: the back buffer still holds the picture.
//
// Readout lines: 1 type, 2 detail, 3 x start, 4 x end, 5 x pivot,
// 6 y start, 7 y end, 8 y pivot.
//
// The layout objects are constructed before main (the image panel from the
// grid size, the button rows from winHeight) and never move; only their
// own drawing operations change how they look. drawFlag is myDisplay's.
//
// Layer: app (the shell owns the layout objects; lower layers get a panel
// passed as a WINDOW value).
#ifndef QUORVEX_APP_LAYOUT_H
#define QUORVEX_APP_LAYOUT_H

#include "widgets/button.h"
#include "widgets/window.h"

extern WINDOW MAIN_WINDOW, FILE_WINDOW, DATA_WINDOW;
extern BUTTON MAKE_BUTTON, LOAD_BUTTON, SAVE_BUTTON, EXPT_BUTTON, PALR_BUTTON, PALG_BUTTON,
    PALB_BUTTON, TYPE_BUTTON, DETP_BUTTON, DETM_BUTTON, ZOMI_BUTTON, ZOMO_BUTTON, PIVT_BUTTON,
    REST_BUTTON, EXIT_BUTTON, UP___BUTTON, DOWN_BUTTON, CNCL_BUTTON, ACPT_BUTTON;

enum { READOUT_LINES = 8 };

void myDisplay();
void DISPLAY_MAIN_PANEL();
void DISPLAY_FRACTAL_DATA(WINDOW panel, int line);
// Readout lines 1 to 8 in order, in DATA_WINDOW.
void redrawReadout();

void HIDE_LOAD_BUTTONS();
void SHOW_LOAD_BUTTONS();
void HIDE_SAVE_BUTTONS();
void SHOW_SAVE_BUTTONS();
void HIDE_COMMAND_BUTTONS();
void SHOW_COMMAND_BUTTONS();

// The parameters-changed cue: Make drawn with a white face, until Make (or
// SHOW_COMMAND_BUTTONS) draws it plainly again.
void MAKE_CUE();

// Formats readout line `line` (label and value text) without drawing;
// returns 0 for a line outside 1..8. Value texts never overflow their
// 80-byte buffer.
int formatReadoutLine(int line, char label[16], char value[80]);

#endif
