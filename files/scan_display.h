// scan_display.h - the file list in the "Directory" panel.
//
// SCAN_FILE_DISPLAY(first, last) blanks FILE_WINDOW and writes fileNames
// rows first .. last, at most fifteen, in white 8 x 13 text at
// (left + 5, top - 15 - 20k), then swaps.
#ifndef QUORVEX_FILES_SCAN_DISPLAY_H
#define QUORVEX_FILES_SCAN_DISPLAY_H

void SCAN_FILE_DISPLAY(int first, int last);

#endif
