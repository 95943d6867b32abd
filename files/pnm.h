// pnm.h - binary PGM (P5) and PPM (P6) images, and the Export command.
//
// Written layout: "P6\n" (colour flag 1) or "P5\n", "%d %d\n" width and
// height, "255\n", then the pixels row by row (3 bytes a pixel for P6).
// Packed form: one block of rows; row-table form: one block per row.
//
// Readers: the magic token sets the colour flag (exactly "P6" -> 1, else
// 0); comment lines beginning with '#' directly after the magic line are
// skipped; width, height and maximum are read with "%d" (maximum ignored),
// then one separator byte, then the pixels. A short file leaves the unread
// pixels zero. They return null when the file cannot be opened or the size
// does not scan, is not positive or is beyond MAX_PNM_PIXELS.
// Writers go through a temporary file renamed over the target and return
// 0 on success, non-zero on failure (reason in fileError).
#ifndef QUORVEX_FILES_PNM_H
#define QUORVEX_FILES_PNM_H

#include <stdio.h>

// Larger images are refused by the readers: no allocation beyond 1 GiB.
enum { MAX_PNM_PIXELS = 1 << 28 };

int PGM_FILE_WRITE_1D(char *path, unsigned char *image, int width, int height, int colour);
int PGM_FILE_WRITE_2D(char *path, unsigned char **rows, int width, int height, int colour);
unsigned char *PGM_FILE_READ_1D(char *path, int *width, int *height, int *colour);
unsigned char **PGM_FILE_READ_2D(char *path, int *width, int *height, int *colour);
void pgmCommentClear(FILE *file);

// Colours the used grid through PaletteR/G/B and writes it as P6.
// Returns 1 on success, 0 on failure (reason in fileError).
int EXPORT_FRACTAL(char *path);

#endif
