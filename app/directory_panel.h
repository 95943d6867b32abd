// directory_panel.h - what the "Directory" panel shows: the Load list, the
// name entry and a failure message, with every position derived from
// FILE_WINDOW in this one place.
//
// Layer: app (the panel is a layout object, app/layout.h).
//
// L, T and R are FILE_WINDOW's left, top and right (10, 490 and 175 at the
// default size); text is white 8 x 13 at L + 5. Line k has its baseline at
// T - 15 - 20k (475, 455, ... 195):
//   Load list       lines 0 .. LIST_LINES - 1 show names first, first + 1, ...
//                   of fileNames, stopping after `last`
//   name entry      the prompt "Enter filename:" on line 0; the typed name at
//                   T - 30, on a strip that is cleared from T - 17 to T - 32
//   failure         "Not saved:" (or loaded, exported) on line 0, the name
//                   wrapped to the panel's 20 columns on the lines below
// SCAN_FILE_DISPLAY and showNamePrompt blank the panel first and swap; the
// others draw into the back buffer and swap.
//
// A list pick: a press with X in the list area, L .. R - 5 (10 .. 170), any
// Y, picks name listIndexAt(Y, first). Line k answers from 9 pixels below
// its baseline to 10 above it; the mapping goes on past the panel, so a
// press just above line 0 gives first - 1 and one below the last line
// first + 15 and more: the caller checks the index against the scan.
#ifndef QUORVEX_APP_DIRECTORY_PANEL_H
#define QUORVEX_APP_DIRECTORY_PANEL_H

// Names shown at once; characters of a typed name or message line that
// fit the panel's width.
enum { LIST_LINES = 15, PANEL_COLUMNS = 20 };

void SCAN_FILE_DISPLAY(int first, int last);

bool inListArea(int X);
int listIndexAt(int Y, int first);

void showNamePrompt();
void clearNameStrip();
// Only the end of a long name is shown, the characters that fit the strip.
void showTypedName(const char *name);
// "Not <what>:" and the name (or "(no name given)"); the caller has blanked
// the panel.
void showFailure(const char *what, const char *name);

#endif
