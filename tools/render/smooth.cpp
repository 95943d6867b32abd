#include "tools/render/smooth.h"

#include <math.h>

#include "colour/palette.h"
#include "tools/render/portable_math.h"

namespace {

const double RADIUS2 = 65536.0;          // 2^16
const double PHOENIX_RADIUS2 = 4294967296.0;  // 2^32
const double INV_LN2 = 1.44269504088896338700e+00;

bool isPhoenix(int type) { return type == M_PHOENIX_TYPE || type == J_PHOENIX_TYPE; }
bool isDragon(int type) { return type == M_DRAGON_TYPE || type == J_DRAGON_TYPE; }
bool isTranscendental(int type) { return type >= M_COSINE_TYPE; }

// The constant of the map: the plane point for the M kinds, the pivot for the J kinds.
void constantOf(int type, const KernelView &v, double x, double y, double &cr, double &ci) {
    const bool mKind = type % 2 == 0;
    cr = mKind ? x : v.xPivot;
    ci = mKind ? y : v.yPivot;
}

// m + 1 - log2 ln |z_m| from |z_m|^2; NaN when it cannot be had.
double continuousValue(int m, double modulus2) {
    if (!(modulus2 > 4.0) || !isfinite(modulus2)) return NAN;
    const double lnModulus = 0.5 * portableLog(modulus2);
    return (double)(m + 1) - portableLog(lnModulus) * INV_LN2;
}

// The steps after escape for the quadratic map z <- z^2 + c.
double quadraticValue(int n, double zr, double zi, double cr, double ci) {
    double r2 = zr * zr + zi * zi;
    int m = n;
    for (int k = 0; k < SMOOTH_EXTRA_STEPS && r2 <= RADIUS2; ++k, ++m) {
        const double nr = (zr * zr - zi * zi) + cr;
        zi = 2.0 * (zr * zi) + ci;
        zr = nr;
        r2 = zr * zr + zi * zi;
    }
    return r2 > RADIUS2 ? continuousValue(m, r2) : NAN;
}

double phoenixValue(int n, OrbitEnd z, double s, double t) {
    double r2 = z.zr * z.zr + z.zi * z.zi;
    int m = n;
    for (int k = 0; k < SMOOTH_EXTRA_STEPS && r2 <= PHOENIX_RADIUS2; ++k, ++m) {
        const double nr = ((z.zr * z.zr - z.zi * z.zi) + s) + t * z.pr;
        const double ni = 2.0 * (z.zr * z.zi) + t * z.pi;
        z.pr = z.zr, z.pi = z.zi;
        z.zr = nr, z.zi = ni;
        r2 = z.zr * z.zr + z.zi * z.zi;
    }
    return r2 > PHOENIX_RADIUS2 ? continuousValue(m, r2) : NAN;
}

// w = lambda (1/2 - z) and c = lambda/2 - lambda^2/4, then w <- w^2 + c.
double dragonValue(int n, const OrbitEnd &z, double lr, double li) {
    const double ar = 0.5 - z.zr, ai = -z.zi;
    const double wr = lr * ar - li * ai, wi = lr * ai + li * ar;
    const double cr = 0.5 * lr - 0.25 * (lr * lr - li * li);
    const double ci = 0.5 * li - 0.25 * (2.0 * (lr * li));
    return quadraticValue(n, wr, wi, cr, ci);
}

// Between entries lo and lo + 1, `weight` 0..256 of the way, rounded:
// 1/256 steps are finer than the 8-bit result can show.
unsigned char interpolate(const unsigned char *table, int lo, int weight) {
    const int a = table[lo], b = table[lo < 254 ? lo + 1 : 254];
    return (unsigned char)((a * (256 - weight) + b * weight + 128) >> 8);
}

// The colour of grid value `value` (mu * 255 / detail), 0..254 after clamping.
inline void colourOfValue(double value, unsigned char *rgb) {
    if (!(value > 0.0)) value = 0.0;
    if (value > 254.0) value = 254.0;
    const int lo = (int)value;
    const int weight = (int)((value - (double)lo) * 256.0 + 0.5);
    rgb[0] = interpolate(PaletteR, lo, weight);
    rgb[1] = interpolate(PaletteG, lo, weight);
    rgb[2] = interpolate(PaletteB, lo, weight);
}

}  // namespace

double smoothValue(int type, const KernelView &v, double x, double y, int count, const OrbitEnd &end) {
    double mu = NAN;
    if (!isTranscendental(type)) {
        double cr, ci;
        constantOf(type, v, x, y, cr, ci);
        if (isPhoenix(type))
            mu = phoenixValue(count, end, cr, ci);
        else if (isDragon(type))
            mu = dragonValue(count, end, cr, ci);
        else
            mu = quadraticValue(count, end.zr, end.zi, cr, ci);
    }
    return isnan(mu) ? (double)count : mu;
}

void smoothColour(double mu, int count, int detail, unsigned char *rgb) {
    if (count >= detail) {
        rgb[0] = PaletteR[255], rgb[1] = PaletteG[255], rgb[2] = PaletteB[255];
        return;
    }
    colourOfValue(mu * (255.0 / (double)detail), rgb);
}

void smoothRow(int type, const KernelView &v, int row, const int *counts, const OrbitEnd *ends,
               unsigned char *rgb) {
    const double y = (double)row * v.yScale + v.yStart;
    const double scale = 255.0 / (double)v.detail;
    for (int i = 0; i < v.width; ++i, rgb += 3) {
        if (counts[i] >= v.detail) {
            rgb[0] = PaletteR[255], rgb[1] = PaletteG[255], rgb[2] = PaletteB[255];
            continue;
        }
        const double x = (double)i * v.xScale + v.xStart;
        colourOfValue(smoothValue(type, v, x, y, counts[i], ends[i]) * scale, rgb);
    }
}
