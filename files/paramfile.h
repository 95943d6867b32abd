// paramfile.h - the parameter file (".frc"): one piece of work, header and grid.
//
// Layout (text lines end in a single line feed; the reader takes
// whitespace-separated tokens):
//    1  "QUORVEX"                     magic
//    2  fracType                      type name, verbatim
//    3  detail                        "%d"
//    4  xStart  5 xEnd  6 xPivot      "%lf" each (six decimals when written)
//    7  yStart  8 yEnd  9 yPivot
//   10  "P5"                          then exactly one byte (the line feed)
//   11  fracWidth fracHeight          "%d %d"
//   12  "255"                         maximum grey, not checked; then exactly
//                                     one separator byte
//   13  fracHeight rows of fracWidth bytes, row 0 first
// Lines 10 to 13 are a complete binary PGM of the used grid.
//
// LOAD_FRACTAL reads into a staging copy and commits only an accepted file:
// a refused file changes nothing at all. Refused (0): cannot be opened,
// magic not "QUORVEX", a token longer than its buffer, a numeric field that
// does not scan, detail below 1, width or height outside 1..800, or pixel
// data that ends early. An unknown type name is accepted: fType keeps its
// value and fracType shows the name.
//
// SAVE_FRACTAL writes to a temporary file in the same directory and renames
// it over the target, so a failed save leaves any earlier file intact.
// Both return 1 on success, 0 on failure with the reason in fileError.
#ifndef QUORVEX_FILES_PARAMFILE_H
#define QUORVEX_FILES_PARAMFILE_H

int LOAD_FRACTAL(char *path);
int SAVE_FRACTAL(char *path);

// Why the last load, save or export failed (one line, no newline).
extern char fileError[256];

#endif
