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
// given beside --from override what the file holds. A --location file is
// read here, its refusals are usage errors, and options given beside it
// override it too; a location goes with neither --view nor --from, and a
// type other than the four of the deep engine is refused at a width below
// DEEP_WIDTH.
//
// parseRenderOptions returns RENDER_PARSE_OK, RENDER_PARSE_HELP (print
// the help text, exit 0) or RENDER_PARSE_USAGE (one line in `reason`,
// exit 2). It keeps no state between calls and prints nothing.
#ifndef QUORVEX_TOOLS_RENDER_OPTIONS_H
#define QUORVEX_TOOLS_RENDER_OPTIONS_H

#include <stdio.h>

#include "files/atomic_write.h"
#include "files/paramfile.h"
#include "tools/render/deep/location.h"
#include "tools/render/render.h"

// The side limit is what 32-bit cell indices and the progress arithmetic
// allow comfortably; memory is the real limit and is checked at allocation.
enum { RENDER_MAX_SIDE = 65536, RENDER_MAX_DETAIL = MAX_DETAIL, RENDER_MAX_THREADS = 1024 };

// One line of explanation, with room for a file name.
enum { RENDER_REASON_SIZE = FILE_ERROR_SIZE };

enum RenderOutputKind { OUTPUT_PNG, OUTPUT_PPM, OUTPUT_PGM, OUTPUT_FRC };

enum RenderParseResult { RENDER_PARSE_OK, RENDER_PARSE_HELP, RENDER_PARSE_USAGE };

// Which of the parameters were given on the command line (so that they
// override a --from file and the rest come from it).
enum {
    GIVEN_TYPE = 1, GIVEN_DETAIL = 2, GIVEN_VIEW = 4, GIVEN_PIVOT = 8, GIVEN_SIZE = 16,
    GIVEN_CENTER = 32, GIVEN_WIDTH = 64,
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
    // A location (--center and --width, or --location) sets the view from
    // its digits (locationView) and, when it is narrower than DEEP_WIDTH,
    // `deep`: the picture comes from the deep engine. Its type, detail and
    // pivot are those of `params`; the pivot's digits are kept for it.
    DeepLocation location;
    int located;                           // a location is in force
    int deep;
    const char *locationPath;              // --location, or null
    const char *saveLocationPath;          // --save-location, or null
    int approximation;                     // 0 with --no-approximation
};

// The start state described above (threads from the processor count).
RenderOptions defaultRenderOptions();

RenderParseResult parseRenderOptions(int argc, char **argv, RenderOptions &options, char *reason);

void writeRenderHelp(FILE *out);

// The output kind of a path by its suffix; 0 when it has none of the four.
int outputKindOf(const char *path, RenderOutputKind *kind);

#endif
