// options.h - the command line of quorvex-render, read into plain data.
//
//   quorvex-render [options] OUTPUT
//
// GNU-style long options (getopt_long: "--opt VALUE" or "--opt=VALUE",
// abbreviations allowed). What is not given keeps the program's start state:
// Mandelbrot, detail 50, view -5..5 on both axes, pivot (0, 0), ramps 0,0,0,
// 800 x 800, one thread per processor.
//
// The output kind is taken from the suffix of OUTPUT (.png .ppm .pgm .frc,
// lower case). Every value is checked here, up front, so that the renderer
// never starts on something it would have to abandon: numbers must scan
// completely and be finite, sizes and counts must lie in their ranges, and
// each axis of the view must span a non-zero, finite stretch (either way
// round: a rectangle dragged right to left is a mirrored view). A .frc
// output is at most 800 x 800. A parameter file named by --from is read
// later (a file it cannot use is a failure, not a usage error); options
// given beside --from override what the file holds.
//
// parseRenderOptions returns RENDER_PARSE_OK, RENDER_PARSE_HELP (print
// the help text, exit 0) or RENDER_PARSE_USAGE (one line in `reason`,
// exit 2). It keeps no state between calls and prints nothing.
//
// quorvex-render: uses core/, colour/palette.h and files/ only, no GL.
#ifndef QUORVEX_TOOLS_RENDER_OPTIONS_H
#define QUORVEX_TOOLS_RENDER_OPTIONS_H

#include <stdio.h>

#include "core/state.h"
#include "files/atomic_write.h"
#include "tools/render/render.h"

// The side limit is what 32-bit cell indices and the progress arithmetic
// allow comfortably; memory is the real limit and is checked at allocation.
// The detail limit is the explorer's own.
enum { RENDER_MAX_SIDE = 65536, RENDER_MAX_DETAIL = DETAIL_CEILING, RENDER_MAX_THREADS = 1024 };

// One line of explanation, with room for a file name.
enum { RENDER_REASON_SIZE = FILE_ERROR_SIZE };

enum RenderOutputKind { OUTPUT_PNG, OUTPUT_PPM, OUTPUT_PGM, OUTPUT_FRC };

enum RenderParseResult { RENDER_PARSE_OK, RENDER_PARSE_HELP, RENDER_PARSE_USAGE };

// Which of the parameters were given on the command line (so that they
// override a --from file and the rest come from it).
enum {
    GIVEN_TYPE = 1, GIVEN_DETAIL = 2, GIVEN_VIEW = 4, GIVEN_PIVOT = 8, GIVEN_SIZE = 16,
};

struct RenderOptions {
    FractalParams params;                  // detail 1..RENDER_MAX_DETAIL here
    int width, height;                     // 1..RENDER_MAX_SIDE
    int ramps[3];                          // red, green, blue: 0..8
    int threads;                           // 1..RENDER_MAX_THREADS
    int given;                             // GIVEN_* bits
    const char *fromPath;                  // --from, or null
    const char *outputPath;
    RenderOutputKind outputKind;
};

// The start state described above (threads from the processor count).
RenderOptions defaultRenderOptions();

RenderParseResult parseRenderOptions(int argc, char **argv, RenderOptions &options, char *reason);

void writeRenderHelp(FILE *out);

// The output kind of a path by its suffix; 0 when it has none of the four.
int outputKindOf(const char *path, RenderOutputKind *kind);

#endif
