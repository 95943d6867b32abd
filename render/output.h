// output.h - the files a render writes, and the one place that writes them.
//
//   .pgm  the grid values themselves, binary PGM ("P5")
//   .ppm  the picture in colour, binary PPM ("P6")
//   .png  the same colours, 8-bit RGB, through libpng
//   .frc  a parameter file the explorer loads (files/paramfile.h)
//   .mp4 .webm .mkv  a dive's video (render/video.h writes those)
//   .qloc  no picture: the location of a still (deep/location.h), written
//          by the runner (render/run.h)
// The PNM header is the program's own (writePnmHeader, files/pnm.h: "P5\n"
// or "P6\n", "W H\n", "255\n", then rows top first, nothing else). A
// picture of grid values is coloured row by row with colourGridRow and the
// tables it is handed (colour/palette.h), so an 800 x 800 .ppm with the
// program's tables equals the program's Export byte for byte. A picture in
// colour already (three bytes a pixel: smooth colour, anti-aliasing) is
// written as it is. Grid row 0 is the top row of every image.
//
// A PNG carries the job's text chunks, if it has any, right after its
// header (a picture's recipe, render/recipe.h).
//
// Rows are coloured and written one at a time, so a picture far larger than
// the program's window costs one row of colour on top of the grid. A job
// may give its rows one at a time instead of a grid in memory (the join of
// a poster's tiles): then the picture costs a row or two.
//
// Everything goes through atomicWriteFile: the named file appears complete
// or not at all, and a failure leaves any earlier file as it was. `stop`
// (may be null) is polled between rows; once it is non-zero the write is
// abandoned, the temporary removed, and the result is 0 with the reason
// WRITE_INTERRUPTED. `progress` (may be null) hears the rows written so far.
//
// Layer: render.
#ifndef QUORVEX_RENDER_OUTPUT_H
#define QUORVEX_RENDER_OUTPUT_H

#include <atomic>
#include <vector>

#include "colour/palette.h"
#include "files/paramfile.h"
#include "files/png_text.h"
#include "render/rows.h"

enum RenderOutputKind {
    OUTPUT_PNG, OUTPUT_PPM, OUTPUT_PGM, OUTPUT_FRC, OUTPUT_MP4, OUTPUT_WEBM, OUTPUT_MKV, OUTPUT_LOCATION,
};

// The output kind of a path by its suffix (lower case); 0 when it has none
// of them. A name that is nothing but a suffix is a hidden file, not an image.
int outputKindOf(const char *path, RenderOutputKind *kind);

inline bool isVideoKind(RenderOutputKind kind) {
    return kind == OUTPUT_MP4 || kind == OUTPUT_WEBM || kind == OUTPUT_MKV;
}

struct PictureJob {
    RenderGrid grid;                // grid values, or RGB when `coloured` (cells null: from `row`)
    const std::atomic<int> *stop;
    RenderProgress progress;
    void *context;
    int coloured;                   // the grid holds three bytes a pixel already
    const ChannelTables *tables;    // the colours of grid values (not needed for .pgm)
    const std::vector<PngText> *text = nullptr;  // a PNG's tEXt chunks, before its image data (may be null)
    // Or the rows in turn, top first: row r into `out` (grid.width values
    // or colours), 1; or 0 with a one-line reason, which fails the write.
    int (*row)(int r, unsigned char *out, void *rowContext, char *reason) = nullptr;
    void *rowContext = nullptr;
};

// 1 when the file is in place; 0 with a one-line reason. `kind` is .png,
// .ppm or .pgm (.pgm only for grid values).
int writePictureFile(const char *path, RenderOutputKind kind, const PictureJob &job, char *reason);

// 1 when `path` is a regular file that starts (and for .png ends) as
// writePictureFile writes a `kind` picture of width x height in colour: the
// cheap check that a dive's frame already written is whole and of this
// dive's size. `kind` is .png or .ppm; any other is 0.
int pictureFileMatches(const char *path, RenderOutputKind kind, int width, int height);

// A parameter file of `params` and the grid values of `grid` (at most
// GRID_SIZE a side), the type named `typeName` (a loaded file keeps the name
// it had, even one the program does not know).
int writeParameterFile(const char *path, const FractalParams &params, const char *typeName, const RenderGrid &grid,
                       char *reason);

// The reason text the writers give when `stop` cut them short.
extern const char *const WRITE_INTERRUPTED;

#endif
