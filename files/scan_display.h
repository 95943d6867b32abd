// scan_display.h - the file list in the "Directory" panel.
//
// SCAN_FILE_DISPLAY(first, last) blanks FILE_WINDOW and writes fileNames
// rows first, first + 1, ... up to row last, at most fifteen, in white
// 8 x 13 text at (left + 5, top - 15 - 20k) for line k, then swaps. The
// Load dialog's pick test maps a click to a row with the same origin and
// pitch. Rows outside the table are skipped (their lines stay blank); names
// are not cut to the panel's width.
#ifndef QUORVEX_FILES_SCAN_DISPLAY_H
#define QUORVEX_FILES_SCAN_DISPLAY_H

void SCAN_FILE_DISPLAY(int first, int last);

#endif
