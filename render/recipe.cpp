#include "render/recipe.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include "files/atomic_write.h"
#include "files/png_text.h"
#include "render/look.h"

const char *const RECIPE_SOFTWARE_KEY = "Software";
const char *const RECIPE_SOFTWARE = "quorvex-render";
const char *const RECIPE_KEY_PREFIX = "Quorvex ";

namespace {

// Every key, in the order written; the look starts at "size".
const char *const KEYS[] = {"type", "detail", "center", "width", "view", "pivot",
                            "size", "colour", "palette", "shade", "smooth", "aa"};
enum { KEY_COUNT = sizeof KEYS / sizeof KEYS[0], FIRST_LOOK_KEY = 6 };

int keyIndex(const std::string &key) {
    for (int k = 0; k < KEY_COUNT; ++k)
        if (key == KEYS[k]) return k;
    return -1;
}

// A whole number lo..hi, nothing else.
int whole(const std::string &text, long lo, long hi, int *out) {
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) return 0;
    const long v = strtol(text.c_str(), nullptr, 10);
    if (v < lo || v > hi) return 0;
    *out = (int)v;
    return 1;
}

int size(const std::string &text, int *w, int *h) {
    const size_t x = text.find('x');
    return x != std::string::npos && whole(text.substr(0, x), 1, RENDER_MAX_SIDE, w) &&
           whole(text.substr(x + 1), 1, RENDER_MAX_SIDE, h);
}

int view(const std::string &text, double v[4]) {
    size_t at = 0;
    for (int k = 0; k < 4; ++k) {
        const size_t comma = k < 3 ? text.find(',', at) : text.size();
        if (comma == std::string::npos) return 0;
        const std::string part = text.substr(at, comma - at);
        char *end = nullptr;
        v[k] = strtod(part.c_str(), &end);
        if (part.empty() || *end || !isfinite(v[k]) || !isDecimalNumber(part)) return 0;
        at = comma + 1;
    }
    return v[0] != v[1] && v[2] != v[3] && isfinite(v[1] - v[0]) && isfinite(v[3] - v[2]);
}

// What one recipe gives, before it is merged.
struct Read {
    int has[KEY_COUNT] = {};
    RenderOptions o;
    int w = 0, h = 0;
    double v[4] = {0, 0, 0, 0};
};

// One line's value into `r`; 0 and the reason's text when it does not fit.
int takeValue(int key, const std::string &value, Read &r, char *why) {
    RenderOptions &o = r.o;
    int n = 0;
    switch (key) {
    case 0: return (o.params.type = fractalTypeIndex(value.c_str())) >= 0 || failWith(0, why, "unknown type");
    case 1: return whole(value, 1, RENDER_MAX_DETAIL, &o.params.detail) || failWith(0, why, "detail out of range");
    case 2: return setCentre(o.location, value.c_str(), why);
    case 3: return setWidth(o.location, value.c_str(), why);
    case 4: return view(value, r.v) || failWith(0, why, "not four numbers of a view");
    case 5: return setPivotText(o.location, value.c_str(), why);
    case 6: return size(value, &r.w, &r.h) || failWith(0, why, "not a size WxH");
    case 7: return scanColour(value.c_str(), o.look) || failWith(0, why, "not a colour mapping");
    case 8: return scanPalette(value.c_str(), o.look, o.ramps) || failWith(0, why, "not a palette");
    case 9: return scanShade(value.c_str(), o.look) || failWith(0, why, "not a shading");
    case 10: return (whole(value, 0, 1, &o.smooth)) || failWith(0, why, "not 0 or 1");
    case 11: return (whole(value, 1, RENDER_MAX_AA, &n) && (o.aa = n, 1)) || failWith(0, why, "not 1..8");
    }
    return 0;
}

// Lines numbered from `line` (a file's), or not at all when it is 0 (a PNG's chunks).
int readLines(const Recipe &lines, int line, Read &r, char *reason) {
    for (const RecipeLine &l : lines) {
        const int key = keyIndex(l.key);
        char why[FILE_ERROR_SIZE] = "", where[32] = "";
        if (line > 0) snprintf(where, sizeof where, "line %d: ", line++);
        if (key < 0) return failWith(0, reason, "%sunknown setting '%.40s'", where, l.key.c_str());
        if (r.has[key]) return failWith(0, reason, "%s'%s' given twice", where, KEYS[key]);
        if (!takeValue(key, l.value, r, why)) return failWith(0, reason, "%s%s: %s", where, KEYS[key], why);
        r.has[key] = 1;
    }
    return 1;
}

// A PNG's recipe names every key, its place once.
int checkWhole(const Read &r, char *reason) {
    const bool located = r.has[2] || r.has[3];
    if (located == (r.has[4] != 0) || (located && !(r.has[2] && r.has[3])))
        return failWith(0, reason, "its recipe gives no place, or two (center and width, or view)");
    for (int k = 0; k < KEY_COUNT; ++k)
        if (!r.has[k] && k != 2 && k != 3 && k != 4) return failWith(0, reason, "its recipe lacks '%s'", KEYS[k]);
    return 1;
}

// What the recipe gave, where the command line gave nothing.
void merge(const Read &r, RenderOptions &o, int *located) {
    const RenderOptions &f = r.o;
    if (r.has[0] && !(o.given & GIVEN_TYPE)) o.params.type = f.params.type;
    if (r.has[1] && !(o.given & GIVEN_DETAIL)) o.params.detail = f.params.detail;
    if (r.has[2] && !(o.given & GIVEN_CENTER)) o.location.re = f.location.re, o.location.im = f.location.im;
    if (r.has[3] && !(o.given & GIVEN_WIDTH)) o.location.width = f.location.width;
    if (r.has[5] && !(o.given & GIVEN_PIVOT)) {
        o.location.pivotRe = f.location.pivotRe, o.location.pivotIm = f.location.pivotIm;
        o.params.xPivot = decimalToDouble(f.location.pivotRe), o.params.yPivot = decimalToDouble(f.location.pivotIm);
    }
    *located = !r.has[4] || (o.given & (GIVEN_CENTER | GIVEN_WIDTH));
    if (r.has[4] && !*located)
        o.params.xStart = r.v[0], o.params.xEnd = r.v[1], o.params.yStart = r.v[2], o.params.yEnd = r.v[3];
    if (r.has[6] && !(o.given & GIVEN_SIZE)) o.width = r.w, o.height = r.h;
    const int g = o.lookGiven;
    if (r.has[7] && !(g & LOOK_GIVEN_COLOUR))
        o.look.colour = f.look.colour, o.look.density = f.look.density, o.look.offset = f.look.offset;
    if (r.has[8] && !(g & LOOK_GIVEN_PALETTE)) {
        o.look.palette = f.look.palette, o.look.paletteText = f.look.paletteText;
        memcpy(o.ramps, f.ramps, sizeof o.ramps);
    }
    if (r.has[9] && !(g & LOOK_GIVEN_SHADE))
        o.look.slopes = f.look.slopes, o.look.angle = f.look.angle, o.look.relief = f.look.relief,
        o.look.distance = f.look.distance, o.look.thickness = f.look.thickness;
    if (r.has[10] && !(g & LOOK_GIVEN_SMOOTH)) o.smooth = f.smooth;
    if (r.has[11] && !(g & LOOK_GIVEN_AA)) o.aa = f.aa;
}

// The recipe in a PNG's text chunks.
int pngRecipe(const char *path, Recipe &r, char *reason) {
    std::vector<PngText> texts;
    char why[FILE_ERROR_SIZE] = "";
    if (readPngText(path, texts, why) != PNG_TEXT_READ) return failWith(0, reason, "%s: %s", path, why);
    bool ours = false;
    const size_t prefix = strlen(RECIPE_KEY_PREFIX);
    for (const PngText &t : texts) {
        if (t.keyword == RECIPE_SOFTWARE_KEY) ours = ours || t.text == RECIPE_SOFTWARE;
        if (t.keyword.compare(0, prefix, RECIPE_KEY_PREFIX) == 0)
            r.push_back(RecipeLine{t.keyword.substr(prefix), t.text});
    }
    if (!ours) return failWith(0, reason, "%s was not made by quorvex-render (it carries no recipe)", path);
    return 1;
}

// The lines after a location file's pivot line.
int splitLines(const std::string &text, Recipe &r, char *reason) {
    size_t at = 0;
    for (int line = 7; at < text.size(); ++line) {
        const size_t end = text.find('\n', at);
        if (end == std::string::npos) return failWith(0, reason, "line %d: unterminated", line);
        const std::string l = text.substr(at, end - at);
        const size_t space = l.find(' ');
        if (space == std::string::npos || space == 0)
            return failWith(0, reason, "line %d: expected 'SETTING VALUE'", line);
        r.push_back(RecipeLine{l.substr(0, space), l.substr(space + 1)});
        at = end + 1;
    }
    return 1;
}

int locationFileRecipe(const char *path, RenderOptions &o, int *located, char *reason) {
    DeepLocation file = defaultLocation();
    std::string rest;
    char why[FILE_ERROR_SIZE] = "";
    if (!readLocationFile(path, file, why, &rest)) return failWith(0, reason, "%s", why);
    Recipe r = {{"type", FRACTAL_TYPE_NAMES[file.type]}, {"detail", std::to_string(file.detail)},
                {"center", file.re + "," + file.im}, {"width", file.width},
                {"pivot", file.pivotRe + "," + file.pivotIm}};
    Read read;
    read.o = defaultRenderOptions();
    if (!readLines(r, 2, read, why)) return failWith(0, reason, "%s %s", path, why);
    r.clear();
    if (!splitLines(rest, r, why)) return failWith(0, reason, "%s %s", path, why);
    for (size_t k = 0; k < r.size(); ++k)
        if (keyIndex(r[k].key) >= 0 && keyIndex(r[k].key) < FIRST_LOOK_KEY)
            return failWith(0, reason, "%s line %zu: '%s' belongs to the first six lines", path, k + 7,
                            r[k].key.c_str());
    if (!readLines(r, 7, read, why)) return failWith(0, reason, "%s %s", path, why);
    merge(read, o, located);
    return 1;
}

}  // namespace

Recipe pictureRecipe(const RenderOptions &o, const FractalParams &p, const DeepLocation *loc) {
    if (p.type < 0 || p.type >= FRACTAL_TYPES) return {};
    Recipe r = {{"type", FRACTAL_TYPE_NAMES[p.type]}, {"detail", std::to_string(p.detail)}};
    if (loc) {
        r.push_back({"center", loc->re + "," + loc->im});
        r.push_back({"width", loc->width});
        r.push_back({"pivot", loc->pivotRe + "," + loc->pivotIm});
    } else {
        r.push_back({"view", shortestDecimal(p.xStart) + "," + shortestDecimal(p.xEnd) + "," + shortestDecimal(p.yStart) + "," + shortestDecimal(p.yEnd)});
        r.push_back({"pivot", shortestDecimal(p.xPivot) + "," + shortestDecimal(p.yPivot)});
    }
    r.push_back({"size", std::to_string(o.width) + "x" + std::to_string(o.height)});
    r.push_back({"colour", colourText(o.look)});
    r.push_back({"palette", paletteText(o.look, o.ramps)});
    r.push_back({"shade", shadeText(o.look)});
    r.push_back({"smooth", o.smooth ? "1" : "0"});
    r.push_back({"aa", std::to_string(o.aa)});
    return r;
}

std::string lookLines(const RenderOptions &o) {
    std::string text;
    for (const RecipeLine &l : pictureRecipe(o, o.params, &o.location))
        if (keyIndex(l.key) >= FIRST_LOOK_KEY) text += l.key + " " + l.value + "\n";
    return text;
}

int applyRecipe(const Recipe &lines, int line, int whole, RenderOptions &o, int *located, char *reason) {
    Read r;
    r.o = defaultRenderOptions();
    if (!readLines(lines, line, r, reason)) return 0;
    if (whole && !checkWhole(r, reason)) return 0;
    merge(r, o, located);
    return 1;
}

namespace {

// True for a regular file that begins as a PNG does (anything else, a pipe
// included, goes to the location file's reader untouched).
bool looksLikePng(const char *path) {
    unsigned char head[8] = {0};
    struct stat st;
    if (stat(path, &st) != 0 || !S_ISREG(st.st_mode)) return false;
    FILE *in = fopen(path, "rb");
    const size_t n = in ? fread(head, 1, sizeof head, in) : 0;
    if (in) fclose(in);
    return isPngSignature(head, n);
}

}  // namespace

int readLocationRecipe(const char *path, RenderOptions &o, int *located, char *reason) {
    if (!looksLikePng(path)) return locationFileRecipe(path, o, located, reason);
    Recipe r;
    char why[FILE_ERROR_SIZE] = "";
    if (!pngRecipe(path, r, reason)) return 0;
    if (!applyRecipe(r, 0, 1, o, located, why)) return failWith(0, reason, "%s: %s", path, why);
    return 1;
}
