#include "tools/render/options.h"

#include <ctype.h>
#include <errno.h>
#include <getopt.h>
#include <math.h>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "colour/palette.h"
#include "core/kernels.h"
#include "core/state.h"

namespace {

// Longest option value taken apart here: four numbers of "%.17g" and more.
enum { FIELD_TEXT = 512, MAX_FIELDS = 4 };

// Long-option codes lie above every byte, so an unknown short option
// (reported by its byte) is never mistaken for one of these.
enum {
    OPT_TYPE = 256, OPT_DETAIL, OPT_VIEW, OPT_PIVOT, OPT_SIZE, OPT_PALETTE, OPT_THREADS, OPT_FROM,
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

int scanRamps(const char *text, int *ramps) {
    Fields f;
    if (!splitFields(text, ',', 3, f)) return 0;
    for (int k = 0; k < 3; ++k)
        if (!scanInt(f.field[k], 0, RAMPS - 1, &ramps[k])) return 0;
    return 1;
}

int processorCount() {
    const long n = sysconf(_SC_NPROCESSORS_ONLN);
    if (n < 1) return 1;
    return n > RENDER_MAX_THREADS ? RENDER_MAX_THREADS : (int)n;
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

int scanPivot(const char *text, RenderOptions &o) {
    double v[2];
    if (!scanDoubles(text, 2, v)) return 0;
    o.params.xPivot = v[0], o.params.yPivot = v[1];
    return 1;
}

const struct option LONG_OPTIONS[] = {
    {"type", required_argument, nullptr, OPT_TYPE},   {"detail", required_argument, nullptr, OPT_DETAIL},
    {"view", required_argument, nullptr, OPT_VIEW},   {"pivot", required_argument, nullptr, OPT_PIVOT},
    {"size", required_argument, nullptr, OPT_SIZE},   {"palette", required_argument, nullptr, OPT_PALETTE},
    {"threads", required_argument, nullptr, OPT_THREADS}, {"from", required_argument, nullptr, OPT_FROM},
    {"help", no_argument, nullptr, 'h'},         {nullptr, 0, nullptr, 0},
};

const char *optionName(int code) {
    for (const struct option *o = LONG_OPTIONS; o->name; ++o)
        if (o->val == code) return o->name;
    return "?";
}

// What each option expects, for the error line.
const char *expectation(int code) {
    switch (code) {
    case OPT_TYPE: return "one of the ten type names, e.g. Mandelbrot or M-Dragon";
    case OPT_DETAIL: return "a whole number 1..5000";
    case OPT_VIEW: return "XSTART,XEND,YSTART,YEND: four finite numbers, start != end on each axis";
    case OPT_PIVOT: return "X,Y: two finite numbers";
    case OPT_SIZE: return "WxH, each side 1..65536";
    case OPT_PALETTE: return "R,G,B: three ramp numbers 0..8";
    case OPT_THREADS: return "a whole number 1..1024";
    default: return "a value";
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
    case OPT_PALETTE: return scanRamps(value, o.ramps);
    case OPT_THREADS: return scanInt(value, 1, RENDER_MAX_THREADS, &o.threads);
    case OPT_FROM: o.fromPath = value; return 1;
    default: return 0;
    }
}

RenderParseResult usage(char *reason, const char *format, ...) __attribute__((format(printf, 2, 3)));
RenderParseResult usage(char *reason, const char *format, ...) {
    va_list args;
    va_start(args, format);
    setReasonV(reason, format, args);
    va_end(args);
    return RENDER_PARSE_USAGE;
}

RenderParseResult checkOutput(int argc, char **argv, int first, RenderOptions &o, char *reason) {
    if (first >= argc) return usage(reason, "no OUTPUT file given");
    if (first + 1 < argc) return usage(reason, "more than one OUTPUT file given: '%s'", argv[first + 1]);
    o.outputPath = argv[first];
    if (!outputKindOf(o.outputPath, &o.outputKind))
        return usage(reason, "OUTPUT '%s' must end in .png, .ppm, .pgm or .frc", o.outputPath);
    if (o.outputKind == OUTPUT_FRC && (o.width > GRID_SIZE || o.height > GRID_SIZE))
        return usage(reason, "a .frc file holds at most %dx%d cells, not %dx%d; write .png, .ppm or .pgm",
                     GRID_SIZE, GRID_SIZE, o.width, o.height);
    return RENDER_PARSE_OK;
}

}  // namespace

RenderOptions defaultRenderOptions() {
    RenderOptions o;
    o.params = FractalParams{MANDELBROT_TYPE, 50, -5.0, 5.0, -5.0, 5.0, 0.0, 0.0};
    o.width = o.height = GRID_SIZE;
    o.ramps[0] = o.ramps[1] = o.ramps[2] = 0;
    o.threads = processorCount();
    o.given = 0;
    o.fromPath = nullptr;
    o.outputPath = nullptr;
    o.outputKind = OUTPUT_PNG;
    return o;
}

int outputKindOf(const char *path, RenderOutputKind *kind) {
    static const struct { const char *suffix; RenderOutputKind kind; } SUFFIXES[] = {
        {".png", OUTPUT_PNG}, {".ppm", OUTPUT_PPM}, {".pgm", OUTPUT_PGM}, {".frc", OUTPUT_FRC},
    };
    const char *base = strrchr(path, '/');
    base = base ? base + 1 : path;
    const size_t length = strlen(base);
    for (const auto &s : SUFFIXES) {
        // A name that is nothing but the suffix is a hidden file, not an image.
        if (length > 4 && strcmp(base + length - 4, s.suffix) == 0) {
            *kind = s.kind;
            return 1;
        }
    }
    return 0;
}

RenderParseResult parseRenderOptions(int argc, char **argv, RenderOptions &o, char *reason) {
    optind = 0;  // a fresh scan every call (glibc)
    opterr = 0;  // errors are ours to word
    int index = 0;
    for (int code; (code = getopt_long(argc, argv, "h", LONG_OPTIONS, &index)) != -1;) {
        if (code == 'h') return RENDER_PARSE_HELP;
        if (code == '?' || code == ':') {
            const char *arg = argv[optind - 1];
            if (optopt >= OPT_TYPE) return usage(reason, "option '%s' needs a value", arg);
            return usage(reason, "unknown or ambiguous option '%s'", arg);
        }
        if (!applyOption(code, optarg, o))
            return usage(reason, "--%s '%s': expected %s", optionName(code), optarg, expectation(code));
    }
    return checkOutput(argc, argv, optind, o, reason);
}

void writeRenderHelp(FILE *out) {
    fputs("Usage: quorvex-render [options] OUTPUT\n"
          "Computes an escape-time fractal without a display and writes it to OUTPUT.\n"
          "\n"
          "  --type NAME          Mandelbrot, Julia, M-Dragon, J-Dragon, M-Phoenix,\n"
          "                       J-Phoenix, M-Cosine, J-Cosine, M-Cosh or J-Cosh\n"
          "                       (default Mandelbrot)\n"
          "  --detail N           iteration limit, 1..5000 (default 50)\n"
          "  --view XS,XE,YS,YE   plane rectangle (default -5,5,-5,5)\n"
          "  --pivot X,Y          constant of the J- types (default 0,0)\n"
          "  --size WxH           picture size in cells (default 800x800)\n"
          "  --palette R,G,B      colour ramp of each channel, 0..8 (default 0,0,0)\n"
          "  --threads N          threads to compute with (default: one per processor)\n"
          "  --from FILE.frc      take type, detail, view and pivot from a saved file;\n"
          "                       without --size its grid is only coloured, with\n"
          "                       --size it is computed again at that size; other\n"
          "                       options given override the file\n"
          "  -h, --help           show this text and exit\n"
          "\n"
          "OUTPUT by suffix: .png (colour), .ppm (colour, binary PPM), .pgm (the grid\n"
          "values, binary PGM) or .frc (a parameter file the explorer can load; at\n"
          "most 800x800).\n"
          "\n"
          "Exit status: 0 written, 1 failed (nothing written), 2 bad command line.\n",
          out);
}
