#include "colour/colouring.h"

#include <math.h>

#include "colour/linear_light.h"
#include "core/portable_math.h"

const double INSIDE_VALUE = HUGE_VAL;

namespace {

const double LN2 = 0.69314718055994530942;
const double PI = 3.14159265358979323846;
const double SIN45 = 0.70710678118654752440;

bool inside(double v) { return v == INSIDE_VALUE; }

// sin x for |x| <= pi by its series, in + - * / alone (libm's sin and cos
// differ between processors in the last bit).
double seriesSin(double x) {
    double term = x, sum = x;
    for (int k = 1; k < 16; ++k) {
        term = -term * x * x / (double)((2 * k) * (2 * k + 1));
        sum += term;
    }
    return sum;
}

// The light's direction, 45 degrees above the picture, x right and y up.
struct Light {
    double x, y, z;
};

Light lightFrom(double degrees) {
    double turn = degrees / 360.0;
    turn -= floor(turn);
    const double a = turn <= 0.5 ? turn * 2.0 * PI : (turn - 1.0) * 2.0 * PI;  // -pi .. pi
    const double cosine = seriesSin(PI / 2.0 - fabs(a));                       // within -pi/2 .. pi/2
    return Light{cosine * SIN45, seriesSin(a) * SIN45, SIN45};
}

// The palette steps of a row's values (inside samples get -1).
void rowSteps(const Colouring &c, const CountHistogram *h, const double *v, int width, std::vector<double> &t,
              int *steps) {
    const GradientTable &p = *c.palette;
    if (c.mapping == COLOUR_LOG) {
        t.resize((size_t)width);
        for (int i = 0; i < width; ++i) t[(size_t)i] = inside(v[i]) || !(v[i] > 0.0) ? 1.0 : 1.0 + v[i];
        portableLog2s(t.data(), t.data(), width);
    }
    for (int i = 0; i < width; ++i) {
        if (inside(v[i])) {
            steps[i] = -1;
        } else if (c.mapping == COLOUR_BANDS) {
            const double g = 255.0 * v[i] / (double)c.detail;
            steps[i] = (int)((g > 0.0 ? g < 254.0 ? g : 254.0 : 0.0) * GRADIENT_SUBSTEPS);
        } else if (c.mapping == COLOUR_HISTOGRAM) {
            steps[i] = gradientStep(p, histogramTurns(*h, v[i]), 0);
        } else {
            const double x = c.mapping == COLOUR_LOG ? t[(size_t)i] * LN2 : v[i];
            steps[i] = gradientStep(p, x / c.density + c.offset, 1);
        }
    }
}

// A neighbour's height: the sample's own where the neighbour is missing or inside.
double height(double neighbour, double own) { return inside(neighbour) ? own : neighbour; }

// The light of a sample under slopes, over that of a flat surface.
double slopeShade(const Light &l, const ValueRows &r, int i, double scale) {
    const double own = r.row[i];
    const double left = i > 0 ? height(r.row[i - 1], own) : own;
    const double right = i + 1 < r.width ? height(r.row[i + 1], own) : own;
    const double gx = (right - left) * scale, gy = (height(r.above[i], own) - height(r.below[i], own)) * scale;
    const double dot = l.z - gx * l.x - gy * l.y;
    const double shade = dot / (sqrt(gx * gx + gy * gy + 1.0) * l.z);
    return shade > 0.0 ? shade : 0.0;
}

void shade(const LinearLight &light, double factor, unsigned char *rgb) {
    const double most = (double)(1u << LINEAR_BITS);
    for (int k = 0; k < 3; ++k) {
        const double lit = (double)light.decode[rgb[k]] * factor;
        rgb[k] = encodeMean(light, (uint32_t)(lit < most ? lit : most), 1);
    }
}

// The colour moved toward the inside colour by 1 - f, in linear light.
void towardInside(const LinearLight &light, double f, const unsigned char *inside, unsigned char *rgb) {
    for (int k = 0; k < 3; ++k) {
        const double in = (double)light.decode[inside[k]], lit = (double)light.decode[rgb[k]];
        const double mixed = in + (lit - in) * f;
        rgb[k] = encodeMean(light, (uint32_t)(mixed > 0.0 ? mixed : 0.0), 1);
    }
}

}  // namespace

ValueBins binsOf(const double *values, size_t n) {
    ValueBins b = {0, {}, 0};
    long lo = 0, hi = -1;
    for (size_t k = 0; k < n; ++k) {
        if (inside(values[k])) continue;
        const long w = (long)floor(values[k]);
        if (hi < lo) lo = hi = w;
        lo = w < lo ? w : lo, hi = w > hi ? w : hi;
    }
    if (hi < lo) return b;
    b.first = lo;
    b.count.assign((size_t)(hi - lo + 1), 0);
    for (size_t k = 0; k < n; ++k)
        if (!inside(values[k])) ++b.count[(size_t)((long)floor(values[k]) - lo)], ++b.total;
    return b;
}

void mergeBins(ValueBins &into, const ValueBins &b) {
    if (b.count.empty()) return;
    if (into.count.empty()) into.first = b.first;
    const long lo = b.first < into.first ? b.first : into.first;
    const long end = b.first + (long)b.count.size(), intoEnd = into.first + (long)into.count.size();
    const size_t size = (size_t)((end > intoEnd ? end : intoEnd) - lo);
    if (lo != into.first || size != into.count.size()) {  // widened: moved into a larger range
        std::vector<uint64_t> count(size, 0);
        for (size_t k = 0; k < into.count.size(); ++k) count[(size_t)(into.first - lo) + k] = into.count[k];
        into.first = lo;
        into.count.swap(count);
    }
    for (size_t k = 0; k < b.count.size(); ++k) into.count[(size_t)(b.first - lo) + k] += b.count[k];
    into.total += b.total;
}

CountHistogram histogramOf(const std::vector<const ValueBins *> &sets, const std::vector<double> *weights) {
    CountHistogram h = {0, {0.0}};
    long lo = 0, hi = -1;
    for (const ValueBins *b : sets) {
        if (!b->total) continue;
        const long last = b->first + (long)b->count.size() - 1;
        if (hi < lo) lo = b->first, hi = last;
        lo = b->first < lo ? b->first : lo, hi = last > hi ? last : hi;
    }
    if (hi < lo) return h;
    std::vector<double> share((size_t)(hi - lo + 1), 0.0);
    for (size_t n = 0; n < sets.size(); ++n) {
        const ValueBins *b = sets[n];
        const double weight = weights ? (*weights)[n] : 1.0;
        for (size_t k = 0; b->total && k < b->count.size(); ++k)
            share[(size_t)(b->first - lo) + k] += weight * (double)b->count[k] / (double)b->total;
    }
    h.first = lo;
    h.below.assign(share.size() + 1, 0.0);
    for (size_t k = 0; k < share.size(); ++k) h.below[k + 1] = h.below[k] + share[k];
    return h;
}

CountHistogram histogramOf(std::initializer_list<const ValueBins *> sets) {
    return histogramOf(std::vector<const ValueBins *>(sets));
}

double histogramTurns(const CountHistogram &h, double v) {
    const double total = h.below.back();
    if (!(total > 0.0)) return 0.0;
    const double whole = floor(v);
    if (whole < (double)h.first) return 0.0;
    const double k = whole - (double)h.first;
    if (k >= (double)(h.below.size() - 1)) return 1.0;
    const size_t at = (size_t)k;
    return (h.below[at] + (v - whole) * (h.below[at + 1] - h.below[at])) / total;
}

void colourValueRow(const Colouring &c, const CountHistogram *h, const ValueRows &r, int samplesPerPixel,
                    unsigned char *rgb) {
    thread_local std::vector<double> turns;
    thread_local std::vector<int> steps;
    steps.resize((size_t)r.width);
    rowSteps(c, h, r.row, r.width, turns, steps.data());
    const GradientTable &p = *c.palette;
    const LinearLight &light = linearLight();
    const Light l = lightFrom(c.angle);
    const double scale = 0.5 * c.relief * (double)samplesPerPixel;
    const double line = c.thickness * (double)samplesPerPixel;
    for (int i = 0; i < r.width; ++i, rgb += 3) {
        const int s = steps[(size_t)i];
        const unsigned char *colour = s < 0 ? p.inside : p.rgb[s];
        rgb[0] = colour[0], rgb[1] = colour[1], rgb[2] = colour[2];
        if (c.slopes && s >= 0) shade(light, slopeShade(l, r, i, scale), rgb);
        if (c.distance && s >= 0 && r.distance && r.distance[i] < line)
            towardInside(light, r.distance[i] / line, p.inside, rgb);
    }
}
