#include "render/look.h"

#include <ctype.h>
#include <errno.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

const char COLOURS[] = "colours:";

// A whole finite double, no leading space, no trailing text.
int number(const std::string &text, double *value) {
    if (text.empty() || isspace((unsigned char)text[0])) return 0;
    char *end = nullptr;
    const double v = strtod(text.c_str(), &end);
    if (*end || !isfinite(v)) return 0;
    *value = v;
    return 1;
}

// "NAME", "NAME:A" or "NAME:A,B": the name and up to two numbers, the
// missing ones left as they are.
int nameAndNumbers(const char *text, std::string &name, double *a, double *b) {
    const char *colon = strchr(text, ':');
    name.assign(text, colon ? (size_t)(colon - text) : strlen(text));
    if (!colon) return 1;
    const std::string rest = colon + 1;
    const size_t comma = rest.find(',');
    if (comma == std::string::npos) return number(rest, a);
    return number(rest.substr(0, comma), a) && number(rest.substr(comma + 1), b);
}

int wholeRamp(const std::string &text, int *ramp) {
    if (text.size() != 1 || text[0] < '0' || text[0] >= '0' + RAMPS) return 0;
    *ramp = text[0] - '0';
    return 1;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

LookOptions defaultLook() {
    return LookOptions{COLOUR_BANDS, LOOK_CYCLIC_DENSITY, 0.0, 0, LOOK_ANGLE, LOOK_RELIEF, PALETTE_RAMPS, ""};
}

int scanColour(const char *text, LookOptions &look) {
    std::string name;
    double density = -1.0, offset = 0.0;
    if (!nameAndNumbers(text, name, &density, &offset)) return 0;
    int mapping = -1;
    if (name == "bands" || name == "histogram") {
        if (strchr(text, ':')) return 0;
        mapping = name == "bands" ? COLOUR_BANDS : COLOUR_HISTOGRAM;
    } else if (name == "cyclic" || name == "log") {
        mapping = name == "cyclic" ? COLOUR_CYCLIC : COLOUR_LOG;
        if (density < 0.0) density = mapping == COLOUR_CYCLIC ? LOOK_CYCLIC_DENSITY : LOOK_LOG_DENSITY;
        if (density < LOOK_MIN_DENSITY || density > LOOK_MAX_DENSITY || fabs(offset) > LOOK_MAX_DENSITY) return 0;
    } else {
        return 0;
    }
    look.colour = mapping;
    if (mapping == COLOUR_CYCLIC || mapping == COLOUR_LOG) look.density = density, look.offset = offset;
    return 1;
}

int scanPalette(const char *text, LookOptions &look, int ramps[3]) {
    int r[3];
    const char *first = strchr(text, ','), *second = first ? strchr(first + 1, ',') : nullptr;
    if (first && second && !strchr(second + 1, ',')) {
        const std::string t = text;
        const size_t a = (size_t)(first - text), b = (size_t)(second - text);
        if (!wholeRamp(t.substr(0, a), &r[0]) || !wholeRamp(t.substr(a + 1, b - a - 1), &r[1]) ||
            !wholeRamp(t.substr(b + 1), &r[2]))
            return 0;
        memcpy(ramps, r, sizeof r);
        look.palette = PALETTE_RAMPS, look.paletteText.clear();
        return 1;
    }
    Gradient g;
    if (namedGradient(text, g)) {
        look.palette = PALETTE_NAMED, look.paletteText = text;
        return 1;
    }
    if (gradientFromColours(text, g)) {
        look.palette = PALETTE_COLOURS, look.paletteText = text;
        return 1;
    }
    return 0;
}

namespace {

// One shading of a --shade value, into `look`; each at most once.
int scanShadePart(const std::string &text, LookOptions &look) {
    std::string name;
    double a = -1.0, b = LOOK_RELIEF;
    if (!nameAndNumbers(text.c_str(), name, &a, &b)) return 0;
    if (name == "slopes" && !look.slopes) {
        const double angle = a == -1.0 && text.find(':') == std::string::npos ? LOOK_ANGLE : a;
        if (fabs(angle) > 360.0 || b < 0.0 || b > LOOK_MAX_RELIEF) return 0;
        look.slopes = 1, look.angle = angle, look.relief = b;
        return 1;
    }
    if (name != "distance" || look.distance || text.find(',') != std::string::npos) return 0;
    const double thickness = text.find(':') == std::string::npos ? LOOK_THICKNESS : a;
    if (!(thickness >= LOOK_MIN_THICKNESS && thickness <= LOOK_MAX_THICKNESS)) return 0;
    look.distance = 1, look.thickness = thickness;
    return 1;
}

}  // namespace

int scanShade(const char *text, LookOptions &look) {
    LookOptions l = look;
    l.slopes = l.distance = 0;
    const std::string all = text;
    if (all != "none") {
        for (size_t from = 0;;) {
            const size_t plus = all.find('+', from);
            if (!scanShadePart(all.substr(from, plus == std::string::npos ? plus : plus - from), l)) return 0;
            if (plus == std::string::npos) break;
            from = plus + 1;
        }
    }
    look.slopes = l.slopes, look.angle = l.angle, look.relief = l.relief;
    look.distance = l.distance, look.thickness = l.thickness;
    return 1;
}

std::string colourText(const LookOptions &look) {
    switch (look.colour) {
    case COLOUR_CYCLIC: return "cyclic:" + shortestDecimal(look.density) + "," + shortestDecimal(look.offset);
    case COLOUR_LOG: return "log:" + shortestDecimal(look.density) + "," + shortestDecimal(look.offset);
    case COLOUR_HISTOGRAM: return "histogram";
    default: return "bands";
    }
}

std::string paletteText(const LookOptions &look, const int ramps[3]) {
    if (look.palette != PALETTE_RAMPS) return look.paletteText;
    char text[16];
    snprintf(text, sizeof text, "%d,%d,%d", ramps[0], ramps[1], ramps[2]);
    return text;
}

std::string shadeText(const LookOptions &look) {
    if (!lookShades(look)) return "none";
    const std::string slopes = look.slopes ? "slopes:" + shortestDecimal(look.angle) + "," + shortestDecimal(look.relief) : "";
    const std::string distance = look.distance ? "distance:" + shortestDecimal(look.thickness) : "";
    return slopes + (look.slopes && look.distance ? "+" : "") + distance;
}

std::string gradientColoursText(const Gradient &g) {
    static const char HEX[] = "0123456789abcdef";
    std::string text = COLOURS;
    for (int k = 0; k < g.size; ++k)
        for (int c = 0; c < 3; ++c) text += HEX[g.rgb[k][c] >> 4], text += HEX[g.rgb[k][c] & 15];
    return text;
}

int gradientFromColours(const std::string &text, Gradient &g) {
    const size_t head = sizeof COLOURS - 1;
    if (text.compare(0, head, COLOURS) != 0 || text.size() != head + 6 * GRADIENT_MAX) return 0;
    Gradient read;
    read.size = GRADIENT_MAX;
    memset(read.inside, 0, sizeof read.inside);
    for (size_t k = 0; k < 3 * GRADIENT_MAX; ++k) {
        const int hi = hexDigit(text[head + 2 * k]), lo = hexDigit(text[head + 2 * k + 1]);
        if (hi < 0 || lo < 0) return 0;
        read.rgb[k / 3][k % 3] = (unsigned char)(hi * 16 + lo);
    }
    g = read;
    return 1;
}

std::string shortestDecimal(double v) {
    char text[40];
    for (int digits = 15; digits <= 17; ++digits) {  // the shortest that reads back as v
        snprintf(text, sizeof text, "%.*g", digits, v);
        if (strtod(text, nullptr) == v) break;
    }
    return text;
}
