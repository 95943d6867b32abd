#include "colour/distance.h"

#include <math.h>

#include "colour/smooth.h"
#include "core/kernel_steps.h"
#include "core/plane_view.h"
#include "core/portable_math.h"

const double NO_DISTANCE = HUGE_VAL;

namespace {

const double RADIUS2 = 65536.0;  // 2^16, as smooth colour's

// A type outside the table is J-Cosh, as for the kernels.
const FractalTypeInfo &infoOf(int type) {
    return FRACTAL_TYPE_TABLE[type >= 0 && type < FRACTAL_TYPES ? type : J_COSH_TYPE];
}

// |a + bi| without squaring past the double range.
double modulus(double a, double b) {
    a = fabs(a), b = fabs(b);
    const double big = a > b ? a : b, small = a > b ? b : a;
    if (!(big > 0.0) || isinf(big)) return big;
    const double q = small / big;
    return big * sqrt(1.0 + q * q);
}

// Where the estimate starts: z, dz per sample, the constant c of z^2 + c
// and its derivative per sample.
struct Start {
    double zr, zi, dr, di, cr, ci, dcr, dci;
};

// d from a quadratic orbit's state, after at most `steps` more steps.
double estimate(Start s, int steps = SMOOTH_EXTRA_STEPS) {
    double r2 = s.zr * s.zr + s.zi * s.zi;
    for (int k = 0; k < steps && r2 <= RADIUS2; ++k) {
        const double nr = 2.0 * (s.zr * s.dr - s.zi * s.di) + s.dcr;
        s.di = 2.0 * (s.zr * s.di + s.zi * s.dr) + s.dci;
        s.dr = nr;
        const double tr = (s.zr * s.zr - s.zi * s.zi) + s.cr;
        s.zi = 2.0 * (s.zr * s.zi) + s.ci;
        s.zr = tr;
        r2 = s.zr * s.zr + s.zi * s.zi;
    }
    const double dz = modulus(s.dr, s.di);
    if (!(r2 > 4.0) || !(r2 < INFINITY) || !(dz > 0.0)) return NO_DISTANCE;  // a NaN: no line either
    return sqrt(r2) * (0.5 * portableLog(r2)) / dz;
}

// The estimate of an orbit that ended at z with dz per sample; the
// constant (x, y) for the M kinds, the pivot for the J kinds, and `step`
// the derivative of the M kinds' constant per sample. The Dragons go on
// in their conjugate w = L (1/2 - z), c = L/2 - L^2/4 (colour/smooth.h),
// so dw = dL (1/2 - z) - L dz and dc = dL (1/2 - L/2). The others take
// z_n itself (no steps: r2 is past 4 already).
double estimateFrom(int type, double zr, double zi, double dr, double di, double lr, double li, double step) {
    const double dl = infoOf(type).jKind ? 0.0 : step;
    if (infoOf(type).rule == QUADRATIC_RULE) return estimate(Start{zr, zi, dr, di, lr, li, dl, 0.0});
    if (infoOf(type).rule != DRAGON_RULE) return estimate(Start{zr, zi, dr, di, 0, 0, 0, 0}, 0);
    const double ar = 0.5 - zr, ai = -zi;
    Start s;
    s.zr = lr * ar - li * ai, s.zi = lr * ai + li * ar;
    s.dr = dl * ar - (lr * dr - li * di), s.di = dl * ai - (lr * di + li * dr);
    s.cr = 0.5 * lr - 0.25 * (lr * lr - li * li), s.ci = 0.5 * li - 0.25 * (2.0 * (lr * li));
    s.dcr = dl * (0.5 - 0.5 * lr), s.dci = dl * (-0.5 * li);
    return estimate(s);
}

// Each rule's chain rule, from z_n to z_n+1: dz per sample, and for
// Phoenix the previous iterate's (e); dc per sample (0 for the J kinds).
struct Derivative {
    double dr, di, er, ei;
};

// dz <- 2 z dz + dc.
void quadraticStep(Derivative &d, const Orbit &z, double, double, double dc) {
    const double nr = 2.0 * (z.zr * d.dr - z.zi * d.di) + dc;
    d.di = 2.0 * (z.zr * d.di + z.zi * d.dr);
    d.dr = nr;
}

// dz <- L (1 - 2z) dz + dL z (1 - z).
void dragonStep(Derivative &d, const Orbit &z, double lr, double li, double dl) {
    const double ur = 1.0 - 2.0 * z.zr, ui = -2.0 * z.zi;  // 1 - 2z
    const double pr = ur * d.dr - ui * d.di, pi = ur * d.di + ui * d.dr;
    const double ar = z.zr - (z.zr * z.zr - z.zi * z.zi), ai = z.zi - 2.0 * (z.zr * z.zi);  // z (1 - z)
    d.dr = (lr * pr - li * pi) + dl * ar;
    d.di = (lr * pi + li * pr) + dl * ai;
}

// J-Phoenix: dz <- 2 z dz + t e, e <- dz (the pivot's t = li).
void phoenixStep(Derivative &d, const Orbit &z, double, double t, double) {
    const double nr = 2.0 * (z.zr * d.dr - z.zi * d.di) + t * d.er;
    const double ni = 2.0 * (z.zr * d.di + z.zi * d.dr) + t * d.ei;
    d.er = d.dr, d.ei = d.di;
    d.dr = nr, d.di = ni;
}

// The cosines: dz <- -sin(2z) dz + dc.
void cosineStep(Derivative &d, const Orbit &z, double, double, double dc) {
    double sr, si;
    minusSinTwice(z.zr, z.zi, sr, si);
    const double nr = (sr * d.dr - si * d.di) + dc;
    d.di = sr * d.di + si * d.dr;
    d.dr = nr;
}

// J-Cosh: dz <- conj(sinh(2z) dz), z_n being analytic or anti-analytic
// in z_0 at every n, so |dz| in the real direction is its modulus.
void coshStep(Derivative &d, const Orbit &z, double, double, double) {
    double sr, si;
    sinhTwice(z.zr, z.zi, sr, si);
    const double nr = sr * d.dr - si * d.di;
    d.di = -(sr * d.di + si * d.dr);
    d.dr = nr;
}

// M-Phoenix and M-Cosh are neither analytic nor anti-analytic in the
// point: z_n's derivatives along both axes, each with what its axis adds
// (a: the derivative of the constant's part, per sample).
void mPhoenixStep(Derivative &d, const Orbit &z, double t, double ar, double ai) {
    phoenixStep(d, z, 0.0, t, 0.0);
    d.dr += ar, d.di += ai;
}

void mCoshStep(Derivative &d, const Orbit &z, double ar, double ai) {
    coshStep(d, z, 0.0, 0.0, 0.0);
    d.dr += ar, d.di += ai;
}

// G / |grad G| with G = ln |z| (over the growth, which cancels): the
// gradient's parts are Re(conj(z) dz/dx) / |z|^2 and likewise for y. For
// an analytic map that is |z| ln |z| / |dz| again.
double estimateAxes(double zr, double zi, const Derivative &x, const Derivative &y) {
    const double r2 = zr * zr + zi * zi;
    const double gx = zr * x.dr + zi * x.di, gy = zr * y.dr + zi * y.di, g = modulus(gx, gy);
    if (!(r2 > 4.0) || !(r2 < INFINITY) || !(g > 0.0)) return NO_DISTANCE;
    return r2 * (0.5 * portableLog(r2)) / g;
}

// Each escaped cell of a row stepped again from its start with the plain
// loop's start and step (core/kernels_plain.cpp), so z_n is its very z_n:
// `cell(x, z, rule, count)` steps it beside its derivative for `count`
// steps and returns the estimate. Cells at the limit have none.
template <class Cell>
void eachEscapedCell(int type, const KernelView &v, int row, const int *counts, double *distance, Cell cell) {
    const double y = cellY(v, row);
    withTypeRule(type, v, [&](auto kind) {
        for (int i = 0; i < v.width; ++i) {
            if (counts[i] >= v.detail) {
                distance[i] = NO_DISTANCE;
                continue;
            }
            const double x = cellX(v, i);
            Orbit z = kind.start(x, y);
            distance[i] = cell(x, z, kind.step(x, y), counts[i]);
        }
        return 0;
    });
}

// One row of M-Phoenix or M-Cosh, as rowOf below with both axes.
void rowOfAxes(int type, const KernelView &v, int row, const int *counts, double *distance) {
    const double y = cellY(v, row), step = fabs(v.xScale);
    const bool phoenix = infoOf(type).rule == PHOENIX_RULE;
    eachEscapedCell(type, v, row, counts, distance, [&](double, Orbit &z, const auto &rule, int count) {
        Derivative dx = {0.0, 0.0, 0.0, 0.0}, dy = dx;
        for (int n = 0; n < count; ++n) {
            if (phoenix)  // s = x shifts, t = y multiplies the previous iterate
                mPhoenixStep(dx, z, y, step, 0.0), mPhoenixStep(dy, z, y, z.pr * step, z.pi * step);
            else
                mCoshStep(dx, z, step, 0.0), mCoshStep(dy, z, 0.0, step);
            rule(z, z.zr * z.zr, z.zi * z.zi);
        }
        return estimateAxes(z.zr, z.zi, dx, dy);
    });
}

bool twoAxes(int type) {
    const FractalTypeInfo &t = infoOf(type);
    return !t.jKind && (t.rule == PHOENIX_RULE || t.rule == COSH_RULE);
}

// One row of a rule with a derivative in the point (c, or z_0 for the J kinds).
template <void (*Step)(Derivative &, const Orbit &, double, double, double)>
void rowOf(int type, const KernelView &v, int row, const int *counts, double *distance) {
    const double y = cellY(v, row), step = fabs(v.xScale);
    const bool j = infoOf(type).jKind;
    eachEscapedCell(type, v, row, counts, distance, [&](double x, Orbit &z, const auto &rule, int count) {
        const double lr = j ? v.xPivot : x, li = j ? v.yPivot : y, dc = j ? 0.0 : step;
        Derivative d = {j ? step : 0.0, 0.0, 0.0, 0.0};
        for (int n = 0; n < count; ++n) {
            Step(d, z, lr, li, dc);
            rule(z, z.zr * z.zr, z.zi * z.zi);
        }
        return estimateFrom(type, z.zr, z.zi, d.dr, d.di, lr, li, step);
    });
}

}  // namespace

void distanceValues(int type, const KernelView &v, int row, const int *counts, const OrbitEnd *ends,
                    const double *der, double *distance) {
    const double y = cellY(v, row), step = fabs(v.xScale);
    const bool j = infoOf(type).jKind;
    for (int i = 0; i < v.width; ++i, der += 4) {
        const Derivative dx = {der[0], der[1], 0.0, 0.0}, dy = {der[2], der[3], 0.0, 0.0};
        if (counts[i] >= v.detail)
            distance[i] = NO_DISTANCE;
        else if (twoAxes(type))
            distance[i] = estimateAxes(ends[i].zr, ends[i].zi, dx, dy);
        else
            distance[i] = estimateFrom(type, ends[i].zr, ends[i].zi, dx.dr, dx.di, j ? v.xPivot : cellX(v, i),
                                       j ? v.yPivot : y, step);
    }
}

void distanceRow(int type, const KernelView &v, int row, const int *counts, double *distance) {
    const FractalRule rule = infoOf(type).rule;
    if (twoAxes(type))
        rowOfAxes(type, v, row, counts, distance);
    else if (rule == QUADRATIC_RULE)
        rowOf<quadraticStep>(type, v, row, counts, distance);
    else if (rule == DRAGON_RULE)
        rowOf<dragonStep>(type, v, row, counts, distance);
    else if (rule == PHOENIX_RULE)
        rowOf<phoenixStep>(type, v, row, counts, distance);
    else if (rule == COSH_RULE)
        rowOf<coshStep>(type, v, row, counts, distance);
    else
        rowOf<cosineStep>(type, v, row, counts, distance);
}
