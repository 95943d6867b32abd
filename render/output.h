// output.h - writing a rendered grid as a picture file.
//
//   .pgm  the grid values themselves, binary PGM ("P5")
//   .ppm  the grid coloured through the channel tables, binary PPM ("P6")
//   .png  the same colours, 8-bit RGB, through libpng
// The PNM header is the program's own (writePnmHeader, files/pnm.h: "P5\n"
// or "P6\n", "W H\n", "255\n", then rows top first, nothing else), and rows
// are coloured by the program's colourGridRow (colour/palette.h) through
// PaletteR/G/B as they are at the call, so an 800 x 800 .ppm equals the
// program's Export byte for byte. Grid row 0 is the top row of every image.
//
// Rows are coloured and written one at a time, so a picture far larger than
// the program's window costs one row of colour on top of the grid.
//
// Everything goes through atomicWriteFile: the named file appears complete
// or not at all, and a failure leaves any earlier file as it was. `stop`
// (may be null) is polled between rows; once it is non-zero the write is
// abandoned, the temporary removed, and the result is 0 with the reason
// "interrupted". `progress` (may be null) hears the rows written so far.
//
// quorvex-render: uses core/, colour/palette.h and files/ only, no GL.
#ifndef QUORVEX_RENDER_OUTPUT_H
#define QUORVEX_RENDER_OUTPUT_H

#include <atomic>

#include "cli/options.h"
#include "render/rows.h"

struct PictureJob {
    RenderGrid grid;
    const std::atomic<int> *stop;
    RenderProgress progress;
    void *context;
};

// 1 when the file is in place; 0 with a one-line reason. `kind` must be
// one of the three picture kinds (not OUTPUT_FRC).
int writePictureFile(const char *path, RenderOutputKind kind, const PictureJob &job, char *reason);

// The same for a picture coloured already: `job.grid` holds three bytes
// (red, green, blue) a pixel, width pixels and stride bytes a row. Only
// OUTPUT_PNG and OUTPUT_PPM.
int writeColouredPictureFile(const char *path, RenderOutputKind kind, const PictureJob &job, char *reason);

// The reason text writePictureFile gives when `stop` cut it short.
extern const char *const WRITE_INTERRUPTED;

#endif
