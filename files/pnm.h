// pnm.h - binary PGM (P5) and PPM (P6) images, and the Export command.
//
// Written layout: "P6\n" (colour flag 1) or "P5\n" (any other flag),
// "%d %d\n" width and height, "255\n", then the pixels row by row, top row
// first, 3 bytes a pixel (red, green, blue) for P6 and 1 for P5. Nothing
// before the magic, nothing after the pixels, never a comment.
// Packed form: one block holding all rows back to back. Row-table form: an
// array of `height` pointers, one block per row.
//
// Readers, in order: the magic token (exactly "P6" sets the colour flag to
// 1, anything else to 0; one longer than 255 bytes refuses the file); one
// byte discarded (the line feed after the magic); comment lines, each
// beginning with '#', skipped only there, directly after the magic's line
// (4 KiB of them at most); width, height and maximum read like "%d" (the
// maximum is ignored, even when it does not scan); one separator byte; then
// the pixels. Every header field is read with a bound (header_tokens.h), so
// garbage of any size is refused after a few kilobytes at most. A short file
// leaves the unread pixels zero. They return null, leaving the out-values
// untouched, when the file cannot be opened, or the width or height does
// not scan, is not positive, or lies beyond MAX_PNM_SIDE or MAX_PNM_PIXELS;
// no allocation is ever sized from an unchecked value. `stop` (may be null)
// is polled while the pixels are read; once it is non-zero the readers
// return null with the reason "interrupted" in fileError. The out-values are
// written only when an image is returned. The images are zero-filled
// (calloc) and belong to the caller: free() the packed block; for a row
// table free each row, then the table (freePnmRows does both).
//
// Writers go through atomicWriteFile (a failed write leaves any earlier
// file intact). PGM_FILE_WRITE_1D/2D return 0 on success and non-zero on
// failure with the reason in fileError; writePnmImage is the GL-free,
// state-free form for any size, returning 1 on success and 0 with a reason.
//
// EXPORT_FRACTAL colours the used grid (fracWidth x fracHeight, row stride
// 800) through the channel tables PaletteR/G/B as they are now and writes
// it as P6: the file shows exactly the screen's colours, grid row 0 first.
// It returns 1 on success, 0 on failure with the reason in fileError.
//
// Layer: files, GL-free; the export colours through colour/palette.h.
#ifndef QUORVEX_FILES_PNM_H
#define QUORVEX_FILES_PNM_H

#include <stdio.h>

#include <atomic>

// The readers' limits: a header may claim any size, but memory is only
// committed for images a desktop program can sensibly hold (at most
// 192 MiB for a colour image, at most 65,536 row blocks).
enum { MAX_PNM_SIDE = 1 << 16, MAX_PNM_PIXELS = 1 << 26 };

int PGM_FILE_WRITE_1D(char *path, unsigned char *image, int width, int height, int colour);
int PGM_FILE_WRITE_2D(char *path, unsigned char **rows, int width, int height, int colour);
unsigned char *PGM_FILE_READ_1D(char *path, int *width, int *height, int *colour,
                                const std::atomic<int> *stop = nullptr);
unsigned char **PGM_FILE_READ_2D(char *path, int *width, int *height, int *colour,
                                 const std::atomic<int> *stop = nullptr);

// Skips comment lines ('#' up to and including the next line feed, or to
// the end of the stream) at the current position; the first byte of any
// other line is left unread.
void pgmCommentClear(FILE *file);

// The header both writers put first (and quorvex-render's PNM output):
// magic, size line, "255\n". 1 when the stream took it.
int writePnmHeader(FILE *stream, int width, int height, int colour);

// Releases a row table returned by PGM_FILE_READ_2D (null is fine).
void freePnmRows(unsigned char **rows, int height);

// A packed P5/P6 image of any size (width, height >= 1).
int writePnmImage(const char *path, const unsigned char *pixels, int width, int height, int colour,
                  char *reason);

// The coloured picture of a grid block: `grid` has row stride 800; `rgb`
// receives width x height x 3 bytes, rows packed (colourGridRow per row).
void colourGridImage(const unsigned char *grid, int width, int height, unsigned char *rgb);

int EXPORT_FRACTAL(char *path);

#endif
