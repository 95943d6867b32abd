// request.h - what a render is asked to do, as plain values.
//
// The command line (cli/options.h) fills a RenderOptions without opening
// any file; the planner (render/plan.h) reads the files it names and works
// out the rest. What is not given keeps the program's start state:
// Mandelbrot, detail 50, view -5..5 on both axes, pivot (0, 0), ramps
// 0,0,0 in bands, 800 x 800, one thread per processor.
//
// Layer: render.
#ifndef QUORVEX_RENDER_REQUEST_H
#define QUORVEX_RENDER_REQUEST_H

#include "core/plane_view.h"
#include "deep/location.h"
#include "files/paramfile.h"
#include "files/tile_file.h"
#include "render/look.h"
#include "render/output.h"

// The side limit is what 32-bit cell indices and the progress arithmetic
// allow comfortably; memory is the real limit and is checked at allocation.
// Detail goes as far as the grid encoding takes (the parameter file's
// bound). Nine hours of video at 30 frames a second is more than a dive
// needs, and keeps frame numbers and cell counts far from overflow. Up to
// 64 samples a pixel keep anti-aliasing's light sums inside 32 bits.
enum {
    RENDER_MAX_SIDE = 65536, RENDER_MAX_DETAIL = MAX_DETAIL, RENDER_MAX_THREADS = 1024,
    RENDER_MAX_AA = 8, RENDER_MAX_FRAMES = 1000000,
};
// ffmpeg reads a frame rate as a fraction with a denominator of at most
// about a million, and an MP4's durations overflow far above that: one
// frame in a hundred seconds is the slowest rate all three containers take.
const double RENDER_MIN_FPS = 0.01, RENDER_MAX_FPS = 1000.0;

// Which parts of the look were given on the command line (so that they
// override a recipe, render/recipe.h).
enum { LOOK_GIVEN_COLOUR = 1, LOOK_GIVEN_PALETTE = 2, LOOK_GIVEN_SHADE = 4, LOOK_GIVEN_SMOOTH = 8, LOOK_GIVEN_AA = 16 };

// The options that give a dive's last frame as a location, for messages.
#define RENDER_ZOOM_LOCATION "--zoom-to-center and --zoom-to-width (or --zoom-to with a location file)"
// What the minibrot options search, for messages.
#define RENDER_MINIBROT_NEEDS "search the picture of a location: give --center and --width, or --location"

// One line of explanation, with room for a file name.
enum { RENDER_REASON_SIZE = FILE_ERROR_SIZE };

// Which of the parameters were given on the command line (so that they
// override a --from or --location file and the rest come from it).
enum {
    GIVEN_TYPE = 1, GIVEN_DETAIL = 2, GIVEN_VIEW = 4, GIVEN_PIVOT = 8, GIVEN_SIZE = 16,
    GIVEN_LOOK = 32,  // --smooth or --aa: the picture is computed, never only coloured
    GIVEN_ZOOM = 64, GIVEN_FRAMES = 128, GIVEN_FPS = 256, GIVEN_RANGE = 512,
    GIVEN_CENTER = 1024, GIVEN_WIDTH = 2048, GIVEN_ZOOM_CENTER = 4096, GIVEN_ZOOM_WIDTH = 8192,
    GIVEN_TILES = 16384, GIVEN_TILE_RANGE = 32768,
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
    const char *zoomPath;                  // --zoom-to: a parameter or location file, or null
    int firstFrame, lastFrame;             // --frame-range, else 0 .. frames - 1
    int framePattern;                      // OUTPUT is a pattern: one file a frame
    // A location (--center and --width, or --location) instead of a view:
    // the centre and width as given, every digit kept, and the pivot's
    // digits (set with --pivot whenever it is written as a decimal).
    DeepLocation location;
    const char *locationPath;              // --location, or null
    const char *saveLocationPath;          // --save-location, or null
    int approximation;                     // 0 with --no-approximation
    // A dive's last frame as a location (--zoom-to-center and
    // --zoom-to-width, or --zoom-to with a location file).
    DeepLocation zoomLocation;
    int zoomLocated;
    // How counts become colours (render/look.h), ramps aside; which parts
    // the command line gave (LOOK_GIVEN_*).
    LookOptions look;
    int lookGiven;
    // A still split into tiles (--tiles, render/tiles.h): the grid (0 x 0
    // when it is not), and either the tiles to make, each a file of the
    // pattern OUTPUT, or with --join the pattern of the tiles to join into
    // OUTPUT.
    int tileColumns, tileRows;             // 1..TILE_MAX_GRID
    int firstTile, lastTile;               // --tile-range, else every tile
    const char *joinPattern;               // --join, or null
    // The minibrot inside the first frame's picture (deep/minibrot.h), found
    // by the planner: the still's location (--find-minibrot), or the dive's
    // last frame (--zoom-to-minibrot).
    int findMinibrot, zoomMinibrot;
};

// True for a dive (a last view was given).
inline bool isDive(const RenderOptions &o) { return (o.given & GIVEN_ZOOM) != 0; }

// True when the still's tiles are made (not joined).
inline bool makesTiles(const RenderOptions &o) { return o.tileColumns > 0 && !o.joinPattern; }

// The start state described above (threads from the processor count).
RenderOptions defaultRenderOptions();

#endif
