#include "cli/options.h"

#include <ctype.h>
#include <errno.h>
#include <getopt.h>
#include <math.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "colour/gradient.h"
#include "colour/palette.h"
#include "core/state.h"
#include "render/dive.h"

namespace {

// Longest option value taken apart here: four numbers of "%.17g" and more.
enum { FIELD_TEXT = 512, MAX_FIELDS = 4 };

// Long-option codes lie above every byte, so an unknown short option
// (reported by its byte) is never mistaken for one of these.
enum {
    OPT_TYPE = 256, OPT_DETAIL, OPT_VIEW, OPT_PIVOT, OPT_SIZE, OPT_PALETTE, OPT_THREADS, OPT_FROM,
    OPT_SMOOTH, OPT_AA, OPT_ZOOM_TO, OPT_ZOOM_TO_VIEW, OPT_FRAMES, OPT_FPS, OPT_FRAME_RANGE,
    OPT_CENTER, OPT_WIDTH, OPT_LOCATION, OPT_SAVE_LOCATION, OPT_NO_APPROXIMATION, OPT_ZOOM_TO_CENTER,
    OPT_ZOOM_TO_WIDTH, OPT_COLOUR, OPT_GRADIENT, OPT_SHADE, OPT_FIND_MINIBROT, OPT_ZOOM_TO_MINIBROT,
    OPT_TILES, OPT_TILE_RANGE, OPT_JOIN,
};

// A whole decimal integer in lo..hi: no leading space, no trailing text.
int scanInt(const char *text, long lo, long hi, int *value) {
    if (!*text || isspace((unsigned char)*text)) return 0;
    char *end = nullptr;
    errno = 0;
    const long v = strtol(text, &end, 10);
    if (errno || *end || v < lo || v > hi) return 0;
    *value = (int)v;
    return 1;
}

// A whole finite double.
int scanDouble(const char *text, double *value) {
    if (!*text || isspace((unsigned char)*text)) return 0;
    char *end = nullptr;
    const double v = strtod(text, &end);
    if (*end || !isfinite(v)) return 0;
    *value = v;
    return 1;
}

// Splits a copy of `text` at `separator` into exactly `count` fields.
struct Fields {
    char text[FIELD_TEXT];
    const char *field[MAX_FIELDS];
};

int splitFields(const char *text, char separator, int count, Fields &out) {
    if (strlen(text) >= sizeof out.text) return 0;
    strcpy(out.text, text);
    char *p = out.text;
    for (int k = 0; k < count; ++k) {
        out.field[k] = p;
        char *stop = strchr(p, separator);
        if ((k == count - 1) != (stop == nullptr)) return 0;
        if (stop) *stop = '\0', p = stop + 1;
    }
    return 1;
}

int scanDoubles(const char *text, int count, double *values) {
    Fields f;
    if (!splitFields(text, ',', count, f)) return 0;
    for (int k = 0; k < count; ++k)
        if (!scanDouble(f.field[k], &values[k])) return 0;
    return 1;
}

int scanSize(const char *text, int *width, int *height) {
    Fields f;
    return splitFields(text, 'x', 2, f) && scanInt(f.field[0], 1, RENDER_MAX_SIDE, width) &&
           scanInt(f.field[1], 1, RENDER_MAX_SIDE, height);
}

// Each axis must span a non-empty, finite stretch of the plane (either
// direction: a rectangle dragged right to left gives a mirrored view).
int axisUsable(double start, double end) {
    return start != end && isfinite(end - start);
}

int scanView(const char *text, RenderOptions &o) {
    double v[4];
    if (!scanDoubles(text, 4, v)) return 0;
    if (!axisUsable(v[0], v[1]) || !axisUsable(v[2], v[3])) return 0;
    o.params.xStart = v[0], o.params.xEnd = v[1], o.params.yStart = v[2], o.params.yEnd = v[3];
    return 1;
}

int scanZoomView(const char *text, RenderOptions &o) {
    double v[4];
    if (!scanDoubles(text, 4, v) || !axisUsable(v[0], v[1]) || !axisUsable(v[2], v[3])) return 0;
    memcpy(o.zoomTo, v, sizeof v);
    return 1;
}

int scanFps(const char *text, double *fps) {
    return scanDouble(text, fps) && *fps >= RENDER_MIN_FPS && *fps <= RENDER_MAX_FPS;
}

// "A:B" of whole numbers 0..last with A <= B.
int scanSpan(const char *text, int last, int *first, int *second) {
    Fields f;
    return splitFields(text, ':', 2, f) && scanInt(f.field[0], 0, last, first) &&
           scanInt(f.field[1], 0, last, second) && *first <= *second;
}

int scanRange(const char *text, RenderOptions &o) {
    return scanSpan(text, RENDER_MAX_FRAMES - 1, &o.firstFrame, &o.lastFrame);
}

int scanTiles(const char *text, RenderOptions &o) {
    Fields f;
    return splitFields(text, 'x', 2, f) && scanInt(f.field[0], 1, TILE_MAX_GRID, &o.tileColumns) &&
           scanInt(f.field[1], 1, TILE_MAX_GRID, &o.tileRows);
}

// A decimal pivot keeps its digits for the deep engine; any other form
// strtod takes is kept as its double.
int scanPivot(const char *text, RenderOptions &o) {
    if (setPivotText(o.location, text, nullptr)) {
        o.params.xPivot = decimalToDouble(o.location.pivotRe), o.params.yPivot = decimalToDouble(o.location.pivotIm);
        return 1;
    }
    double v[2];
    if (!scanDoubles(text, 2, v)) return 0;
    o.params.xPivot = v[0], o.params.yPivot = v[1];
    char digits[2][32];
    snprintf(digits[0], sizeof digits[0], "%.17g", v[0]);
    snprintf(digits[1], sizeof digits[1], "%.17g", v[1]);
    o.location.pivotRe = digits[0], o.location.pivotIm = digits[1];
    return 1;
}

const struct option LONG_OPTIONS[] = {
    {"type", required_argument, nullptr, OPT_TYPE},   {"detail", required_argument, nullptr, OPT_DETAIL},
    {"view", required_argument, nullptr, OPT_VIEW},   {"pivot", required_argument, nullptr, OPT_PIVOT},
    {"size", required_argument, nullptr, OPT_SIZE},   {"palette", required_argument, nullptr, OPT_PALETTE},
    {"threads", required_argument, nullptr, OPT_THREADS}, {"from", required_argument, nullptr, OPT_FROM},
    {"smooth", no_argument, nullptr, OPT_SMOOTH},     {"aa", required_argument, nullptr, OPT_AA},
    {"zoom-to", required_argument, nullptr, OPT_ZOOM_TO},
    {"zoom-to-view", required_argument, nullptr, OPT_ZOOM_TO_VIEW},
    {"frames", required_argument, nullptr, OPT_FRAMES}, {"fps", required_argument, nullptr, OPT_FPS},
    {"frame-range", required_argument, nullptr, OPT_FRAME_RANGE},
    {"center", required_argument, nullptr, OPT_CENTER}, {"width", required_argument, nullptr, OPT_WIDTH},
    {"location", required_argument, nullptr, OPT_LOCATION},
    {"save-location", required_argument, nullptr, OPT_SAVE_LOCATION},
    {"no-approximation", no_argument, nullptr, OPT_NO_APPROXIMATION},
    {"zoom-to-center", required_argument, nullptr, OPT_ZOOM_TO_CENTER},
    {"zoom-to-width", required_argument, nullptr, OPT_ZOOM_TO_WIDTH},
    {"colour", required_argument, nullptr, OPT_COLOUR}, {"color", required_argument, nullptr, OPT_COLOUR},
    {"gradient", required_argument, nullptr, OPT_GRADIENT}, {"shade", required_argument, nullptr, OPT_SHADE},
    {"find-minibrot", no_argument, nullptr, OPT_FIND_MINIBROT},
    {"zoom-to-minibrot", no_argument, nullptr, OPT_ZOOM_TO_MINIBROT},
    {"tiles", required_argument, nullptr, OPT_TILES}, {"tile-range", required_argument, nullptr, OPT_TILE_RANGE},
    {"join", required_argument, nullptr, OPT_JOIN},
    {"help", no_argument, nullptr, 'h'},         {nullptr, 0, nullptr, 0},
};

const char *optionName(int code) {
    for (const struct option *o = LONG_OPTIONS; o->name; ++o)
        if (o->val == code) return o->name;
    return "?";
}

// "twilight, fire, ...": the built-in gradients.
std::string gradientList() {
    std::string names;
    for (int k = 0; gradientName(k); ++k) names += std::string(k ? ", " : "") + gradientName(k);
    return names;
}

void expectPalette(char *text, size_t size) {
    snprintf(text, size, "R,G,B: three ramp numbers 0..%d, or a gradient: %s", RAMPS - 1, gradientList().c_str());
}

// What each option expects, for the error line: the limits are the
// constants the scanners check against, never copied as text.
void expectation(int code, char *text, size_t size) {
    static const char VIEW[] = "XSTART,XEND,YSTART,YEND: four finite numbers, start != end on each axis";
    static const char CENTRE[] = "RE,IM: two decimal numbers of at most %d characters, at most %s";
    static const char WIDTH[] = "a decimal number above 0, from %s to %s";
    switch (code) {
    case OPT_TYPE: snprintf(text, size, "one of the ten type names, e.g. Mandelbrot or M-Dragon"); break;
    case OPT_DETAIL: snprintf(text, size, "a whole number 1..%d", RENDER_MAX_DETAIL); break;
    case OPT_VIEW:
    case OPT_ZOOM_TO_VIEW: snprintf(text, size, "%s", VIEW); break;
    case OPT_PIVOT: snprintf(text, size, "X,Y: two finite numbers"); break;
    case OPT_SIZE: snprintf(text, size, "WxH, each side 1..%d", RENDER_MAX_SIDE); break;
    case OPT_PALETTE: expectPalette(text, size); break;
    case OPT_COLOUR: snprintf(text, size, "bands, cyclic[:D[,O]], log[:D[,O]] or histogram (D from %g to %g)",
                              LOOK_MIN_DENSITY, LOOK_MAX_DENSITY); break;
    case OPT_SHADE:
        snprintf(text, size,
                 "none, slopes[:ANGLE[,RELIEF]], distance[:THICKNESS] or both joined by + (ANGLE -360..360, "
                 "RELIEF 0..%g, THICKNESS %g..%g)",
                 LOOK_MAX_RELIEF, LOOK_MIN_THICKNESS, LOOK_MAX_THICKNESS);
        break;
    case OPT_THREADS: snprintf(text, size, "a whole number 1..%d", RENDER_MAX_THREADS); break;
    case OPT_AA: snprintf(text, size, "a whole number 1..%d", RENDER_MAX_AA); break;
    case OPT_FRAMES: snprintf(text, size, "a whole number 2..%d", RENDER_MAX_FRAMES); break;
    case OPT_FPS: snprintf(text, size, "a number from %g to %g", RENDER_MIN_FPS, RENDER_MAX_FPS); break;
    case OPT_FRAME_RANGE: snprintf(text, size, "A:B, whole frame numbers with A <= B"); break;
    case OPT_TILES: snprintf(text, size, "CxR: columns and rows of tiles, 1..%d each", TILE_MAX_GRID); break;
    case OPT_TILE_RANGE: snprintf(text, size, "A:B, whole tile numbers with A <= B"); break;
    case OPT_CENTER:
    case OPT_ZOOM_TO_CENTER: snprintf(text, size, CENTRE, LOCATION_MAX_DIGITS, LOCATION_MAX_MAGNITUDE); break;
    case OPT_WIDTH:
    case OPT_ZOOM_TO_WIDTH: snprintf(text, size, WIDTH, LOCATION_MIN_WIDTH, LOCATION_MAX_MAGNITUDE); break;
    default: snprintf(text, size, "a value"); break;
    }
}

// Applies one option; 0 when its value does not fit.
int applyOption(int code, const char *value, RenderOptions &o) {
    switch (code) {
    case OPT_TYPE: o.given |= GIVEN_TYPE; return (o.params.type = fractalTypeIndex(value)) >= 0;
    case OPT_DETAIL: o.given |= GIVEN_DETAIL; return scanInt(value, 1, RENDER_MAX_DETAIL, &o.params.detail);
    case OPT_VIEW: o.given |= GIVEN_VIEW; return scanView(value, o);
    case OPT_PIVOT: o.given |= GIVEN_PIVOT; return scanPivot(value, o);
    case OPT_SIZE: o.given |= GIVEN_SIZE; return scanSize(value, &o.width, &o.height);
    case OPT_PALETTE: o.lookGiven |= LOOK_GIVEN_PALETTE; return scanPalette(value, o.look, o.ramps);
    case OPT_GRADIENT:
        o.lookGiven |= LOOK_GIVEN_PALETTE;
        o.look.palette = PALETTE_FILE, o.look.paletteText = value;
        return 1;
    case OPT_COLOUR: o.lookGiven |= LOOK_GIVEN_COLOUR; return scanColour(value, o.look);
    case OPT_SHADE: o.lookGiven |= LOOK_GIVEN_SHADE; return scanShade(value, o.look);
    case OPT_THREADS: return scanInt(value, 1, RENDER_MAX_THREADS, &o.threads);
    case OPT_FROM: o.fromPath = value; return 1;
    case OPT_SMOOTH: o.given |= GIVEN_LOOK; o.lookGiven |= LOOK_GIVEN_SMOOTH; o.smooth = 1; return 1;
    case OPT_AA:
        o.given |= GIVEN_LOOK, o.lookGiven |= LOOK_GIVEN_AA;
        return scanInt(value, 1, RENDER_MAX_AA, &o.aa);
    case OPT_ZOOM_TO_VIEW: o.given |= GIVEN_ZOOM; return scanZoomView(value, o);
    case OPT_FRAMES: o.given |= GIVEN_FRAMES; return scanInt(value, 2, RENDER_MAX_FRAMES, &o.frames);
    case OPT_FPS: o.given |= GIVEN_FPS; return scanFps(value, &o.fps);
    case OPT_FRAME_RANGE: o.given |= GIVEN_RANGE; return scanRange(value, o);
    case OPT_TILES: o.given |= GIVEN_TILES; return scanTiles(value, o);
    case OPT_TILE_RANGE:
        o.given |= GIVEN_TILE_RANGE;
        return scanSpan(value, TILE_MAX_GRID * TILE_MAX_GRID - 1, &o.firstTile, &o.lastTile);
    case OPT_JOIN: o.joinPattern = value; return 1;
    case OPT_CENTER: o.given |= GIVEN_CENTER; return setCentre(o.location, value, nullptr);
    case OPT_WIDTH: o.given |= GIVEN_WIDTH; return setWidth(o.location, value, nullptr);
    case OPT_LOCATION: o.locationPath = value; return 1;
    case OPT_SAVE_LOCATION: o.saveLocationPath = value; return 1;
    case OPT_NO_APPROXIMATION: o.approximation = 0; return 1;
    case OPT_ZOOM_TO_CENTER:
        o.given |= GIVEN_ZOOM | GIVEN_ZOOM_CENTER;
        return setCentre(o.zoomLocation, value, nullptr);
    case OPT_ZOOM_TO_WIDTH: o.given |= GIVEN_ZOOM | GIVEN_ZOOM_WIDTH; return setWidth(o.zoomLocation, value, nullptr);
    case OPT_FIND_MINIBROT: o.findMinibrot = 1; return 1;
    case OPT_ZOOM_TO_MINIBROT: o.given |= GIVEN_ZOOM; o.zoomMinibrot = 1; return 1;
    default: return 0;
    }
}

// What a dive needs, and what only a dive may have.
RenderParseResult checkDive(RenderOptions &o, char *reason) {
    const char *out = o.outputPath;
    const bool video = isVideoKind(o.outputKind);
    if (!isDive(o)) {
        if (o.given & (GIVEN_FRAMES | GIVEN_FPS | GIVEN_RANGE))
            return failWith(RENDER_PARSE_USAGE, reason,
                            "--frames, --fps and --frame-range belong to a dive: give --zoom-to or --zoom-to-view");
        if (video || framePatternFields(out) > 0)
            return failWith(RENDER_PARSE_USAGE, reason,
                            "OUTPUT '%s' is for a dive: give --zoom-to or --zoom-to-view and --frames", out);
        return RENDER_PARSE_OK;
    }
    if (o.outputKind == OUTPUT_LOCATION)
        return failWith(RENDER_PARSE_USAGE, reason, "a .qloc OUTPUT is the location of a still, not of a dive");
    if (!(o.given & GIVEN_FRAMES)) return failWith(RENDER_PARSE_USAGE, reason, "a dive needs --frames N (2 or more)");
    if (video && (o.given & GIVEN_RANGE))
        return failWith(RENDER_PARSE_USAGE, reason,
                        "--frame-range writes frame files: give a pattern such as dive/frame-%%05d.png");
    if (o.outputKind == OUTPUT_MP4 && (o.width % 2 || o.height % 2))
        return failWith(RENDER_PARSE_USAGE, reason,
                        ".mp4 needs an even width and height, not %dx%d (.webm and .mkv take any)", o.width, o.height);
    if (!video && framePatternFields(out) != 1)
        return failWith(RENDER_PARSE_USAGE, reason,
                        "OUTPUT '%s' needs one frame-number field such as %%05d, or a .mp4, .webm or .mkv suffix", out);
    if (!video && o.outputKind != OUTPUT_PNG && o.outputKind != OUTPUT_PPM)
        return failWith(RENDER_PARSE_USAGE, reason, "frames are written as .png or .ppm, not as '%s'", out);
    o.framePattern = !video;
    if (!(o.given & GIVEN_RANGE)) o.firstFrame = 0, o.lastFrame = o.frames - 1;
    if (o.lastFrame >= o.frames)
        return failWith(RENDER_PARSE_USAGE, reason, "--frame-range %d:%d: the frames of this dive are 0..%d",
                        o.firstFrame, o.lastFrame, o.frames - 1);
    return RENDER_PARSE_OK;
}

// The tiles of a still: made, each a file of the pattern OUTPUT, or joined
// into OUTPUT (then checked as any still's).
RenderParseResult checkTiles(RenderOptions &o, char *reason) {
    const char *out = o.outputPath;
    if (!(o.given & GIVEN_TILES))
        return failWith(RENDER_PARSE_USAGE, reason, "--tile-range and --join need --tiles CxR");
    if (isDive(o) || (o.given & (GIVEN_FRAMES | GIVEN_FPS | GIVEN_RANGE)))
        return failWith(RENDER_PARSE_USAGE, reason, "--tiles split a still, not a dive");
    const int tiles = o.tileColumns * o.tileRows;
    if (o.joinPattern) {
        if (o.given & GIVEN_TILE_RANGE)
            return failWith(RENDER_PARSE_USAGE, reason, "--tile-range makes tiles; --join joins them all");
        if (framePatternFields(o.joinPattern) != 1)
            return failWith(RENDER_PARSE_USAGE, reason, "--join '%s' needs one tile-number field such as %%03d",
                            o.joinPattern);
        if (!outputKindOf(out, &o.outputKind) ||
            (o.outputKind != OUTPUT_PNG && o.outputKind != OUTPUT_PPM && o.outputKind != OUTPUT_PGM))
            return failWith(RENDER_PARSE_USAGE, reason, "OUTPUT '%s' of a join must end in .png, .ppm or .pgm", out);
        return RENDER_PARSE_OK;
    }
    if (framePatternFields(out) != 1)
        return failWith(RENDER_PARSE_USAGE, reason,
                        "OUTPUT '%s' is the tiles' pattern: it needs one tile-number field such as %%03d", out);
    if (o.saveLocationPath)
        return failWith(RENDER_PARSE_USAGE, reason, "--save-location goes with the picture: give it to the --join");
    if (!(o.given & GIVEN_TILE_RANGE)) o.firstTile = 0, o.lastTile = tiles - 1;
    if (o.lastTile >= tiles)
        return failWith(RENDER_PARSE_USAGE, reason, "--tile-range %d:%d: the tiles of %dx%d are 0..%d", o.firstTile,
                        o.lastTile, o.tileColumns, o.tileRows, tiles - 1);
    return RENDER_PARSE_OK;
}

RenderParseResult checkOutput(int argc, char **argv, int first, RenderOptions &o, char *reason) {
    if (first >= argc) return failWith(RENDER_PARSE_USAGE, reason, "no OUTPUT file given");
    if (first + 1 < argc)
        return failWith(RENDER_PARSE_USAGE, reason, "more than one OUTPUT file given: '%s'", argv[first + 1]);
    o.outputPath = argv[first];
    if (o.joinPattern || (o.given & (GIVEN_TILES | GIVEN_TILE_RANGE))) {
        const RenderParseResult tiles = checkTiles(o, reason);
        if (tiles != RENDER_PARSE_OK || !o.joinPattern) return tiles;
    }
    if (!outputKindOf(o.outputPath, &o.outputKind))
        return failWith(RENDER_PARSE_USAGE, reason,
                        "OUTPUT '%s' must end in .png, .ppm, .pgm, .frc or .qloc (or .mp4, .webm, .mkv for a dive)",
                        o.outputPath);
    // Grid values and a location alone carry no colours.
    const bool grid = o.outputKind == OUTPUT_PGM || o.outputKind == OUTPUT_FRC || o.outputKind == OUTPUT_LOCATION;
    if ((o.smooth || o.aa > 1) && grid)
        return failWith(RENDER_PARSE_USAGE, reason,
                        "--smooth and --aa colour the picture: write .png or .ppm, not '%s'", o.outputPath);
    if ((o.look.colour != COLOUR_BANDS || lookShades(o.look)) && grid)
        return failWith(RENDER_PARSE_USAGE, reason,
                        "--colour and --shade colour the picture: write .png or .ppm, not '%s'", o.outputPath);
    if (o.outputKind == OUTPUT_FRC && (o.width > GRID_SIZE || o.height > GRID_SIZE))
        return failWith(RENDER_PARSE_USAGE, reason,
                        "a .frc file holds at most %dx%d cells, not %dx%d; write .png, .ppm or .pgm", GRID_SIZE,
                        GRID_SIZE, o.width, o.height);
    return checkDive(o, reason);
}

// The forms a location (--center and --width, or --location) cannot take;
// what the files hold is the planner's to judge.
RenderParseResult checkLocation(const RenderOptions &o, char *reason) {
    const int centre = (o.given & (GIVEN_CENTER | GIVEN_WIDTH)) || o.locationPath;
    if (!centre) {
        if (o.saveLocationPath)
            return failWith(RENDER_PARSE_USAGE, reason, "--save-location needs --center and --width, or --location");
        if (o.findMinibrot || o.zoomMinibrot)
            return failWith(RENDER_PARSE_USAGE, reason, "--find-minibrot and --zoom-to-minibrot %s",
                            RENDER_MINIBROT_NEEDS);
        if (o.outputKind == OUTPUT_LOCATION)
            return failWith(RENDER_PARSE_USAGE, reason,
                            "a .qloc OUTPUT writes a location: give --center and --width, or --location");
        if (o.zoomLocated)
            return failWith(RENDER_PARSE_USAGE, reason,
                            "%s need the first frame as a location: --center and --width, or --location",
                            RENDER_ZOOM_LOCATION);
        return RENDER_PARSE_OK;
    }
    if (o.given & GIVEN_VIEW)
        return failWith(RENDER_PARSE_USAGE, reason,
                        "--view and a location (--center, --width, --location) exclude each other");
    if (o.fromPath)
        return failWith(RENDER_PARSE_USAGE, reason,
                        "--from and a location (--center, --width, --location) exclude each other");
    if (!o.locationPath && !(o.given & GIVEN_CENTER))
        return failWith(RENDER_PARSE_USAGE, reason, "--width needs --center");
    if (!o.locationPath && !(o.given & GIVEN_WIDTH))
        return failWith(RENDER_PARSE_USAGE, reason, "--center needs --width");
    if (isDive(o) && o.saveLocationPath)
        return failWith(RENDER_PARSE_USAGE, reason, "--save-location writes the location of a still, not of a dive");
    if (isDive(o) && o.findMinibrot)
        return failWith(RENDER_PARSE_USAGE, reason,
                        "--find-minibrot makes a still of the minibrot; a dive to it is --zoom-to-minibrot");
    return RENDER_PARSE_OK;
}

}  // namespace

RenderParseResult parseRenderOptions(int argc, char **argv, RenderOptions &o, char *reason) {
    optind = 0;  // a fresh scan every call (glibc)
    opterr = 0;  // errors are ours to word
    int index = 0, zoomCode = 0;
    for (int code; (code = getopt_long(argc, argv, "h", LONG_OPTIONS, &index)) != -1;) {
        if (code == OPT_ZOOM_TO || code == OPT_ZOOM_TO_VIEW || code == OPT_ZOOM_TO_CENTER ||
            code == OPT_ZOOM_TO_WIDTH || code == OPT_ZOOM_TO_MINIBROT) {
            const int kind = code == OPT_ZOOM_TO_WIDTH ? OPT_ZOOM_TO_CENTER : code;
            if (zoomCode && zoomCode != kind)
                return failWith(RENDER_PARSE_USAGE, reason,
                                "give one last frame: --zoom-to, --zoom-to-view, --zoom-to-minibrot, or "
                                "--zoom-to-center with --zoom-to-width");
            zoomCode = kind;
        }
        if (code == 'h') return RENDER_PARSE_HELP;
        if (code == '?' || code == ':') {
            const char *arg = argv[optind - 1];
            if (optopt >= OPT_TYPE) return failWith(RENDER_PARSE_USAGE, reason, "option '%s' needs a value", arg);
            return failWith(RENDER_PARSE_USAGE, reason, "unknown or ambiguous option '%s'", arg);
        }
        if (code == OPT_ZOOM_TO) {
            o.given |= GIVEN_ZOOM;
            o.zoomPath = optarg;
            continue;
        }
        if (!applyOption(code, optarg, o)) {
            char expected[FIELD_TEXT];
            expectation(code, expected, sizeof expected);
            return failWith(RENDER_PARSE_USAGE, reason, "--%s '%.60s%s': expected %s", optionName(code), optarg,
                            strlen(optarg) > 60 ? "..." : "", expected);
        }
    }
    if (zoomCode == OPT_ZOOM_TO_CENTER) {
        if (!(o.given & GIVEN_ZOOM_WIDTH))
            return failWith(RENDER_PARSE_USAGE, reason, "--zoom-to-center needs --zoom-to-width");
        if (!(o.given & GIVEN_ZOOM_CENTER))
            return failWith(RENDER_PARSE_USAGE, reason, "--zoom-to-width needs --zoom-to-center");
        o.zoomLocated = 1;
    }
    const RenderParseResult r = checkOutput(argc, argv, optind, o, reason);
    return r == RENDER_PARSE_OK ? checkLocation(o, reason) : r;
}

void writeRenderHelp(FILE *out) {
    fprintf(out,
            "Usage: quorvex-render [options] OUTPUT\n"
            "Computes an escape-time fractal without a display and writes it to OUTPUT.\n"
            "\n"
            "  --type NAME          Mandelbrot, Julia, M-Dragon, J-Dragon, M-Phoenix,\n"
            "                       J-Phoenix, M-Cosine, J-Cosine, M-Cosh or J-Cosh\n"
            "                       (default Mandelbrot)\n"
            "  --detail N           iteration limit, 1..%d (default %d)\n"
            "  --view XS,XE,YS,YE   plane rectangle (default -5,5,-5,5)\n"
            "  --center RE,IM       centre of the picture, decimals of up to %d characters\n"
            "  --width W            each (with --width, instead of --view): the plane\n"
            "                       width of the picture, down to %s; the height\n"
            "                       follows the picture's shape. Below a width of %s\n"
            "                       the deep engine draws it, every type at any depth;\n"
            "                       its counts are those of exact iteration but in\n"
            "                       chaotic cells (0.1 to 2 %% of the benchmark pictures'\n"
            "                       cells) and cells whose orbit passes within a rounding\n"
            "                       of the escape radius\n"
            "  --location FILE      take type, detail, centre, width and pivot from a\n"
            "                       location file, or every setting from a PNG made by\n"
            "                       quorvex-render (the same picture again, at another\n"
            "                       --size if asked); options given override it\n"
            "  --save-location FILE write the location drawn (with the picture: both\n"
            "                       files or neither; beside a picture in colour, its\n"
            "                       look too)\n"
            "  --no-approximation   deep engine: step every iteration, for checking\n"
            "  --find-minibrot      draw the minibrot found in the location's picture\n"
            "                       (Mandelbrot, M-Dragon, M-Cosine, M-Cosh): its period\n"
            "                       by the ball method, its nucleus by Newton's method,\n"
            "                       framed by its size; one line and status 1 when none\n"
            "                       is found. Its location: --save-location or .qloc\n"
            "  --pivot X,Y          constant of the J- types (default 0,0), every digit\n"
            "                       kept at depth\n"
            "  --size WxH           picture size in cells (default %dx%d)\n"
            "  --palette R,G,B      colour ramp of each channel, 0..%d (default 0,0,0),\n"
            "  --palette NAME       or a gradient: %s\n"
            "  --gradient FILE      a gradient file: 256 lines of R G B (0..255 each)\n"
            "  --colour MODE        how counts become colours (also --color):\n"
            "                       bands      255 * count / detail through the palette,\n"
            "                                  as the explorer shows it (the default)\n"
            "                       cyclic[:D[,O]]  round the palette every D counts\n"
            "                                  (default %g), O turns in (default 0)\n"
            "                       log[:D[,O]]  round it every D of the count's natural\n"
            "                                  logarithm (default %g)\n"
            "                       histogram  once over the palette, equalised over\n"
            "                                  the counts the picture holds (a dive:\n"
            "                                  over its neighbouring frames)\n"
            "                       With a location the default is %s\n"
            "  --shade slopes[:A[,R]]  light the smooth count as a height field from\n"
            "                       A degrees (0 right, 90 top; default %g), relief R\n"
            "                       (default %g); --shade none turns it off\n"
            "  --shade distance[:T]  draw the boundary as a line T pixels wide (default\n"
            "                       %g) at any depth, from each sample's distance\n"
            "                       estimate (the orbit's derivative). Join both as\n"
            "                       slopes[:A[,R]]+distance[:T]\n"
            "  --threads N          threads to compute with (default: one per processor)\n"
            "  --from FILE.frc      take type, detail, view, pivot and size from a saved\n"
            "                       file, options given beside it overriding them; its\n"
            "                       grid is only coloured unless --size, --type,\n"
            "                       --detail, --view or --pivot is given, which has it\n"
            "                       computed again\n"
            "  --smooth             smooth colour: a continuous escape value instead of\n"
            "                       the whole count, so colour bands vanish (M-Cosine,\n"
            "                       J-Cosine, M-Cosh and J-Cosh keep their whole count,\n"
            "                       coloured without the grid's rounding); at any depth\n"
            "  --aa N               anti-aliasing: N x N samples a pixel, 1..%d, their\n"
            "                       colours averaged as light (default 1); at any depth\n"
            "  -h, --help           show this text and exit\n"
            "\n"
            "A dive zooms from the first view (--view, --from, a location or the default)\n"
            "to a last:\n"
            "  --zoom-to FILE       the last view is the view saved in FILE.frc, or the\n"
            "                       centre and width of a location file\n"
            "  --zoom-to-view XS,XE,YS,YE   the last view given as numbers\n"
            "  --zoom-to-center RE,IM       the last frame's centre and width, as for\n"
            "  --zoom-to-width W            --center and --width (first frame: those, or\n"
            "                       --location); below a width of %s the deep\n"
            "                       engine draws the frames, all of them against one\n"
            "                       reference orbit at the deeper end. A dive from a\n"
            "                       deep location needs its last frame so too\n"
            "  --zoom-to-minibrot   the last frame is the minibrot found in the first\n"
            "                       frame's picture (as --find-minibrot finds it)\n"
            "  --frames N           frames in the dive, 2..%d (needed)\n"
            "  --fps F              frames a second of a video, %g..%g (default 30)\n"
            "  --frame-range A:B    make only frames A..B (numbered from 0), to share a\n"
            "                       dive out among machines\n"
            "\n"
            "A still split into tiles, made on many machines and joined once:\n"
            "  --tiles CxR          C columns and R rows of tiles, 1..%d each; OUTPUT is\n"
            "                       a pattern with one tile-number field, such as\n"
            "                       t/tile-%%03d: one file of values a tile (a tile whose\n"
            "                       file holds it whole already is kept)\n"
            "  --tile-range A:B     make only tiles A..B (numbered row by row from 0)\n"
            "  --join PATTERN       with the picture's options and --tiles, join its tiles\n"
            "                       into OUTPUT (.png, .ppm or .pgm): the bytes of the\n"
            "                       still made in one run; a missing, damaged or foreign\n"
            "                       tile is refused, nothing written\n"
            "\n"
            "OUTPUT by suffix: .png (colour), .ppm (colour, binary PPM), .pgm (the grid\n"
            "values, binary PGM), .frc (a parameter file the explorer can load; at\n"
            "most %dx%d) or .qloc (no picture: the location file of a still from a\n"
            "location, e.g. the minibrot --find-minibrot found).\n"
            "A dive writes a pattern with one frame-number field, such as\n"
            "dive/frame-%%05d.png or .ppm, one file a frame, or a .mp4, .webm or .mkv\n"
            "video through ffmpeg (which must be on PATH). A frame whose file holds a\n"
            "whole picture of the dive's format and size already is kept, so a stopped\n"
            "dive goes on where it stopped: a kept frame must come from the same dive\n"
            "(the same command), so start a different dive in a fresh directory. Any\n"
            "other file there is made again. --smooth and --aa write .png, .ppm or a\n"
            "video, and so do --colour and --shade other than bands and none. With any\n"
            "of them, or in a dive, --from only gives the parameters: the picture is\n"
            "computed again. A PNG carries every setting that shaped it, for\n"
            "--location. No output may be an input or the other output.\n"
            "\n"
            "Exit status: 0 written, 1 failed (nothing written; a dive keeps the frames\n"
            "it finished), 2 bad command line. An interrupt ends it by its signal, with\n"
            "nothing written but a dive's finished frames.\n",
            RENDER_MAX_DETAIL, DETAIL_DEFAULT, LOCATION_MAX_DIGITS, LOCATION_MIN_WIDTH, DEEP_WIDTH, GRID_SIZE,
            GRID_SIZE, RAMPS - 1, gradientList().c_str(), LOOK_CYCLIC_DENSITY, LOOK_LOG_DENSITY, LOOK_DEPTH_TEXT,
            LOOK_ANGLE, LOOK_RELIEF, LOOK_THICKNESS, RENDER_MAX_AA, DEEP_WIDTH, RENDER_MAX_FRAMES, RENDER_MIN_FPS,
            RENDER_MAX_FPS, TILE_MAX_GRID, GRID_SIZE, GRID_SIZE);
}
