#include "colour/smooth.h"

#include <math.h>
#include <string.h>

#include "colour/colouring.h"
#include "colour/palette.h"
#include "core/plane_view.h"
#include "core/portable_math.h"

namespace {

const double RADIUS2 = 65536.0;               // 2^16
const double PHOENIX_RADIUS2 = 4294967296.0;  // 2^32

// m + 1 - log2 ln |z| = m + 1 - log2((ln 2 / 2) log2 |z|^2)
//                     = m + (2 - log2 ln 2) - log2 log2 |z|^2:
// two base-2 logarithms, the inner one's exponent exact.
const double MU_OFFSET = 2.5287663729448976142;  // 2 - log2 ln 2

// A type outside the table is J-Cosh, as for the kernels.
const FractalTypeInfo &infoOf(int type) {
    return FRACTAL_TYPE_TABLE[type >= 0 && type < FRACTAL_TYPES ? type : J_COSH_TYPE];
}
bool isPhoenix(int type) { return infoOf(type).smooth == SMOOTH_PHOENIX; }
bool isDragon(int type) { return infoOf(type).rule == DRAGON_RULE; }
bool countOnly(int type) { return infoOf(type).smooth == SMOOTH_COUNT; }

// Cells go on from their ends together, in the lanes of generic vectors
// (the compiler splits them into whatever the processor has; each lane is
// still one IEEE operation on doubles): each lane stops at its own radius
// and takes its own logarithms, so a cell's mu is the same bits whichever
// lane, batch or row it is in, and smoothValue is a batch of one. The
// steps and logarithms of neighbouring cells overlap instead of waiting on
// each other.
typedef double Doubles __attribute__((vector_size(16)));
typedef long long Lanes __attribute__((vector_size(sizeof(Doubles))));
enum { LANES = sizeof(Doubles) / sizeof(double), VECTORS = 2, GROUP = LANES * VECTORS };

inline Doubles pick(Lanes m, Doubles a, Doubles b) {
    return (Doubles)(((Lanes)a & m) | ((Lanes)b & ~m));
}

inline Doubles splat(double x) {
    Doubles d;
    for (int l = 0; l < LANES; ++l) d[l] = x;
    return d;
}

inline Doubles load(const double *p) {
    Doubles d;
    memcpy(&d, p, sizeof d);
    return d;
}

// Cells waiting for their extra steps: where each starts (z, for Phoenix
// the previous iterate, the map's constant) and its count; then mu.
// BATCH cells at a time, a whole number of groups.
enum { BATCH = 64 };
struct Batch {
    alignas(16) double zr[BATCH], zi[BATCH], pr[BATCH], pi[BATCH], cr[BATCH], ci[BATCH];
    alignas(16) double count[BATCH], mu[BATCH];
    int cell[BATCH];
    int size = 0;

    // Cell `at` at plane point (x, y), with count n and its end.
    template <bool DRAGON>
    void add(int type, const KernelView &v, double x, double y, int n, const OrbitEnd &end, int at) {
        const int k = size++;
        // The map's constant: the plane point for the M kinds, the pivot for the J kinds.
        const bool mKind = !infoOf(type).jKind;
        const double lr = mKind ? x : v.xPivot, li = mKind ? y : v.yPivot;
        if (DRAGON) {
            // lambda z (1 - z) is conjugate to w <- w^2 + c with
            // w = lambda (1/2 - z) and c = lambda/2 - lambda^2/4.
            const double ar = 0.5 - end.zr, ai = -end.zi;
            zr[k] = lr * ar - li * ai, zi[k] = lr * ai + li * ar;
            cr[k] = 0.5 * lr - 0.25 * (lr * lr - li * li);
            ci[k] = 0.5 * li - 0.25 * (2.0 * (lr * li));
        } else {
            zr[k] = end.zr, zi[k] = end.zi, cr[k] = lr, ci[k] = li;
        }
        pr[k] = end.pr, pi[k] = end.pi;
        count[k] = (double)n;
        cell[k] = at;
    }

    // Spare lanes of the last group: already past any radius.
    void fillGroup() {
        for (int k = size; k % GROUP; ++k) {
            zr[k] = 1e300;
            zi[k] = pr[k] = pi[k] = cr[k] = ci[k] = count[k] = 0.0;
        }
    }
};

// The GROUP cells from k on: z <- z^2 + c (PHOENIX false) or Phoenix's
// rule (s, t in cr, ci) until |z|^2 passes radius2, at most
// SMOOTH_EXTRA_STEPS steps, then mu.
template <bool PHOENIX>
void groupValues(Batch &b, int k, double radius) {
    Doubles zr[VECTORS], zi[VECTORS], pr[VECTORS], pi[VECTORS], cr[VECTORS], ci[VECTORS];
    Doubles r2[VECTORS], n[VECTORS];
    const Doubles radius2 = splat(radius), one = splat(1.0), zero = splat(0.0);
#pragma GCC unroll 4
    for (int g = 0; g < VECTORS; ++g) {
        const int at = k + g * LANES;
        zr[g] = load(b.zr + at), zi[g] = load(b.zi + at), cr[g] = load(b.cr + at), ci[g] = load(b.ci + at);
        if (PHOENIX) pr[g] = load(b.pr + at), pi[g] = load(b.pi + at);
        r2[g] = zr[g] * zr[g] + zi[g] * zi[g];
        n[g] = load(b.count + at);
    }
    for (int step = 0; step < SMOOTH_EXTRA_STEPS; ++step) {
        Lanes going[VECTORS];
        long long any = 0;
#pragma GCC unroll 4
        for (int g = 0; g < VECTORS; ++g) {
            going[g] = (Lanes)(r2[g] <= radius2);
            for (int l = 0; l < LANES; ++l) any |= going[g][l];
        }
        if (!any) break;
#pragma GCC unroll 4
        for (int g = 0; g < VECTORS; ++g) {
            Doubles nr, ni;
            if (PHOENIX) {
                nr = ((zr[g] * zr[g] - zi[g] * zi[g]) + cr[g]) + ci[g] * pr[g];
                ni = 2.0 * (zr[g] * zi[g]) + ci[g] * pi[g];
                pr[g] = pick(going[g], zr[g], pr[g]), pi[g] = pick(going[g], zi[g], pi[g]);
            } else {
                nr = (zr[g] * zr[g] - zi[g] * zi[g]) + cr[g];
                ni = 2.0 * (zr[g] * zi[g]) + ci[g];
            }
            zr[g] = pick(going[g], nr, zr[g]), zi[g] = pick(going[g], ni, zi[g]);
            r2[g] = pick(going[g], nr * nr + ni * ni, r2[g]);
            n[g] += pick(going[g], one, zero);
        }
    }
#pragma GCC unroll 4
    for (int g = 0; g < VECTORS; ++g) {
        memcpy(b.count + k + g * LANES, &n[g], sizeof n[g]);
        memcpy(b.mu + k + g * LANES, &r2[g], sizeof r2[g]);
    }
}

// Every cell's mu in the batch.
void batchValues(Batch &b, int type) {
    b.fillGroup();
    const bool phoenix = isPhoenix(type);
    for (int k = 0; k < b.size; k += GROUP)
        phoenix ? groupValues<true>(b, k, PHOENIX_RADIUS2) : groupValues<false>(b, k, RADIUS2);
    // mu from count + m and |z_m|^2; the count itself where |z_m|^2 did not
    // pass the radius or is not finite. No branch between one cell's
    // logarithms and the next cell's: several run at once.
    const double radius2 = phoenix ? PHOENIX_RADIUS2 : RADIUS2;
    double logs[BATCH];
    for (int i = 0; i < b.size; ++i) {
        const double r2 = b.mu[i];
        logs[i] = r2 > radius2 && r2 < INFINITY ? r2 : radius2 + radius2;
    }
    portableLog2s(logs, logs, b.size);
    portableLog2s(logs, logs, b.size);
    for (int i = 0; i < b.size; ++i) {
        const double r2 = b.mu[i], n = b.count[i];
        b.mu[i] = r2 > radius2 && r2 < INFINITY ? (n + MU_OFFSET) - logs[i] : n;
    }
}

// A cell that never escaped: entry 255 of the tables.
inline void insideColour(const ChannelTables &t, unsigned char *rgb) {
    rgb[0] = t.r[255], rgb[1] = t.g[255], rgb[2] = t.b[255];
}

// The batch's colours, at their cells of the row at rgb.
void colourBatch(Batch &b, int type, const ChannelTables &tables, double scale, unsigned char *rgb) {
    if (b.size == 0) return;
    batchValues(b, type);
    for (int i = 0; i < b.size; ++i) colourContinuousValue(tables, b.mu[i] * scale, rgb + 3 * b.cell[i]);
    b.size = 0;
}

// smoothRow for one kind of map (the type's branches taken once a row).
template <bool DRAGON>
void polynomialRow(const ChannelTables &tables, int type, const KernelView &v, int row, const int *counts,
                   const OrbitEnd *ends, unsigned char *rgb) {
    const double y = cellY(v, row);
    const double scale = 255.0 / (double)v.detail;
    Batch b;
    for (int i = 0; i < v.width; ++i) {
        if (counts[i] >= v.detail) {
            insideColour(tables, rgb + 3 * i);
            continue;
        }
        b.add<DRAGON>(type, v, cellX(v, i), y, counts[i], ends[i], i);
        if (b.size == BATCH) colourBatch(b, type, tables, scale, rgb);
    }
    colourBatch(b, type, tables, scale, rgb);
}

// The batch's values, at their cells of the row at mu.
void valueBatch(Batch &b, int type, double *mu) {
    if (b.size == 0) return;
    batchValues(b, type);
    for (int i = 0; i < b.size; ++i) mu[b.cell[i]] = b.mu[i];
    b.size = 0;
}

template <bool DRAGON>
void polynomialValues(int type, const KernelView &v, int row, const int *counts, const OrbitEnd *ends, double *mu) {
    const double y = cellY(v, row);
    Batch b;
    for (int i = 0; i < v.width; ++i) {
        if (counts[i] >= v.detail) {
            mu[i] = INSIDE_VALUE;
            continue;
        }
        b.add<DRAGON>(type, v, cellX(v, i), y, counts[i], ends[i], i);
        if (b.size == BATCH) valueBatch(b, type, mu);
    }
    valueBatch(b, type, mu);
}

}  // namespace

double smoothValue(int type, const KernelView &v, double x, double y, int count, const OrbitEnd &end) {
    if (countOnly(type)) return (double)count;
    Batch b;
    isDragon(type) ? b.add<true>(type, v, x, y, count, end, 0) : b.add<false>(type, v, x, y, count, end, 0);
    batchValues(b, type);
    return b.mu[0];
}

void smoothColour(const ChannelTables &tables, double mu, int count, int detail, unsigned char *rgb) {
    if (count >= detail)
        insideColour(tables, rgb);
    else
        colourContinuousValue(tables, mu * (255.0 / (double)detail), rgb);
}

void smoothRow(const ChannelTables &tables, int type, const KernelView &v, int row, const int *counts,
               const OrbitEnd *ends, unsigned char *rgb) {
    if (isDragon(type)) return polynomialRow<true>(tables, type, v, row, counts, ends, rgb);
    if (!countOnly(type)) return polynomialRow<false>(tables, type, v, row, counts, ends, rgb);
    const double scale = 255.0 / (double)v.detail;
    for (int i = 0; i < v.width; ++i, rgb += 3) {
        if (counts[i] >= v.detail)
            insideColour(tables, rgb);
        else
            colourContinuousValue(tables, (double)counts[i] * scale, rgb);
    }
}

void smoothValues(int type, const KernelView &v, int row, const int *counts, const OrbitEnd *ends, double *mu) {
    if (isDragon(type)) return polynomialValues<true>(type, v, row, counts, ends, mu);
    if (!countOnly(type)) return polynomialValues<false>(type, v, row, counts, ends, mu);
    for (int i = 0; i < v.width; ++i) mu[i] = counts[i] >= v.detail ? INSIDE_VALUE : (double)counts[i];
}
