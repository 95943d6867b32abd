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
// and for a dive .mp4 .webm .mkv, lower case). A dive (--zoom-to or
// --zoom-to-view, with --frames) writes a video or, through a pattern with
// one frame-number field (dive.h), one .png or .ppm file a frame. --smooth
// and --aa colour the picture, so they write .png, .ppm or a video. A
// --zoom-to file is read here: the last view is part of what the command
// line says, so a file it cannot use is a usage error. Every value is
// checked here, up front, so that the renderer
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
// DEEP_WIDTH. A dive from a deep location needs its last frame as a
// location too, and a last frame given as a location needs a located
// first; --save-location belongs to a still.
//
// parseRenderOptions returns RENDER_PARSE_OK, RENDER_PARSE_HELP (print
// the help text, exit 0) or RENDER_PARSE_USAGE (one line in `reason`,
// exit 2). It keeps no state between calls and prints nothing.
//
// quorvex-render: uses core/, colour/palette.h and files/ only, no GL.
#ifndef QUORVEX_CLI_OPTIONS_H
#define QUORVEX_CLI_OPTIONS_H

#include <stdio.h>

#include "core/state.h"
#include "files/atomic_write.h"
#include "files/paramfile.h"
#include "deep/location.h"
#include "render/rows.h"

// The side limit is what 32-bit cell indices and the progress arithmetic
// allow comfortably; memory is the real limit and is checked at allocation.
// Detail goes as far as the grid encoding takes (the parameter file's
// bound). Nine hours of video at 30 frames a second is more than a dive
// needs, and keeps frame numbers and cell counts far from overflow.
enum {
    RENDER_MAX_SIDE = 65536, RENDER_MAX_DETAIL = MAX_DETAIL, RENDER_MAX_THREADS = 1024,
    RENDER_MAX_AA = 8, RENDER_MAX_FRAMES = 1000000,
};
const double RENDER_MAX_FPS = 1000.0;

// One line of explanation, with room for a file name.
enum { RENDER_REASON_SIZE = FILE_ERROR_SIZE };

enum RenderOutputKind { OUTPUT_PNG, OUTPUT_PPM, OUTPUT_PGM, OUTPUT_FRC, OUTPUT_MP4, OUTPUT_WEBM, OUTPUT_MKV };

enum RenderParseResult { RENDER_PARSE_OK, RENDER_PARSE_HELP, RENDER_PARSE_USAGE };

// Which of the parameters were given on the command line (so that they
// override a --from file and the rest come from it).
enum {
    GIVEN_TYPE = 1, GIVEN_DETAIL = 2, GIVEN_VIEW = 4, GIVEN_PIVOT = 8, GIVEN_SIZE = 16,
    GIVEN_LOOK = 32,  // --smooth or --aa: the picture is computed, never only coloured
    GIVEN_ZOOM = 64, GIVEN_FRAMES = 128, GIVEN_FPS = 256, GIVEN_RANGE = 512,
    GIVEN_CENTER = 1024, GIVEN_WIDTH = 2048, GIVEN_ZOOM_CENTER = 4096, GIVEN_ZOOM_WIDTH = 8192,
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
    int smooth;                            // --smooth
    int aa;                                // --aa: samples per pixel side, 1..RENDER_MAX_AA
    int frames;                            // --frames of a dive, 2..RENDER_MAX_FRAMES
    double fps;                            // --fps of a video, default 30
    double zoomTo[4];                      // the dive's last view: xStart, xEnd, yStart, yEnd
    int firstFrame, lastFrame;             // --frame-range, else 0 .. frames - 1
    int framePattern;                      // OUTPUT is a pattern: one file a frame
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
    // A dive's last frame as a location (--zoom-to-center and
    // --zoom-to-width, or --zoom-to with a location file), from a located
    // first frame; its type, detail and pivot are the first's. When
    // neither end is deep it only gives zoomTo (locationView) and the dive
    // runs in doubles as any other; else `deepDive`: each frame's location
    // comes from locationBetween (deep/location.h), and the frames below
    // DEEP_WIDTH are drawn by the deep engine.
    DeepLocation zoomLocation;
    int zoomLocated;
    int deepDive;
};

// True for a dive (a last view was given).
inline bool isDive(const RenderOptions &o) { return (o.given & GIVEN_ZOOM) != 0; }

inline bool isVideoKind(RenderOutputKind kind) {
    return kind == OUTPUT_MP4 || kind == OUTPUT_WEBM || kind == OUTPUT_MKV;
}

// The start state described above (threads from the processor count).
RenderOptions defaultRenderOptions();

RenderParseResult parseRenderOptions(int argc, char **argv, RenderOptions &options, char *reason);

void writeRenderHelp(FILE *out);

// The output kind of a path by its suffix; 0 when it has none of them.
int outputKindOf(const char *path, RenderOutputKind *kind);

#endif
