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

// d from a quadratic orbit's state.
double estimate(Start s) {
    double r2 = s.zr * s.zr + s.zi * s.zi;
    for (int k = 0; k < SMOOTH_EXTRA_STEPS && r2 <= RADIUS2; ++k) {
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
// so dw = dL (1/2 - z) - L dz and dc = dL (1/2 - L/2).
double estimateFrom(int type, double zr, double zi, double dr, double di, double lr, double li, double step) {
    const double dl = infoOf(type).jKind ? 0.0 : step;
    if (infoOf(type).rule == QUADRATIC_RULE) return estimate(Start{zr, zi, dr, di, lr, li, dl, 0.0});
    const double ar = 0.5 - zr, ai = -zi;
    Start s;
    s.zr = lr * ar - li * ai, s.zi = lr * ai + li * ar;
    s.dr = dl * ar - (lr * dr - li * di), s.di = dl * ai - (lr * di + li * dr);
    s.cr = 0.5 * lr - 0.25 * (lr * lr - li * li), s.ci = 0.5 * li - 0.25 * (2.0 * (lr * li));
    s.dcr = dl * (0.5 - 0.5 * lr), s.dci = dl * (-0.5 * li);
    return estimate(s);
}

// dz <- 2 z dz + dc, the quadratic rule's chain rule (dc per sample).
struct QuadraticDerivative {
    void operator()(const Orbit &z, double &dr, double &di, double, double, double dc) const {
        const double nr = 2.0 * (z.zr * dr - z.zi * di) + dc;
        di = 2.0 * (z.zr * di + z.zi * dr);
        dr = nr;
    }
};

// dz <- L (1 - 2z) dz + dL z (1 - z), the Dragon's (dL per sample).
struct DragonDerivative {
    void operator()(const Orbit &z, double &dr, double &di, double lr, double li, double dl) const {
        const double ur = 1.0 - 2.0 * z.zr, ui = -2.0 * z.zi;  // 1 - 2z
        const double pr = ur * dr - ui * di, pi = ur * di + ui * dr;
        const double ar = z.zr - (z.zr * z.zr - z.zi * z.zi), ai = z.zi - 2.0 * (z.zr * z.zi);  // z (1 - z)
        dr = (lr * pr - li * pi) + dl * ar;
        di = (lr * pi + li * pr) + dl * ai;
    }
};

// One row of a rule with a derivative: each escaped cell stepped again
// from its start with the plain loop's start and step
// (core/kernels_plain.cpp), so z_n is its very z_n.
template <class Derivative>
void rowOf(int type, const KernelView &v, int row, const int *counts, double *distance) {
    const double y = cellY(v, row), step = fabs(v.xScale);
    const bool j = infoOf(type).jKind;
    withTypeRule(type, v, [&](auto kind) {
        for (int i = 0; i < v.width; ++i) {
            if (counts[i] >= v.detail) {
                distance[i] = NO_DISTANCE;
                continue;
            }
            const double x = cellX(v, i);
            Orbit z = kind.start(x, y);
            const auto rule = kind.step(x, y);
            const double lr = j ? v.xPivot : x, li = j ? v.yPivot : y, dc = j ? 0.0 : step;
            double dr = j ? step : 0.0, di = 0.0;
            for (int n = 0; n < counts[i]; ++n) {
                Derivative()(z, dr, di, lr, li, dc);
                rule(z, z.zr * z.zr, z.zi * z.zi);
            }
            distance[i] = estimateFrom(type, z.zr, z.zi, dr, di, lr, li, step);
        }
        return 0;
    });
}

}  // namespace

int typeHasDistance(int type) {
    const FractalRule rule = infoOf(type).rule;
    return rule == QUADRATIC_RULE || rule == DRAGON_RULE;
}

void distanceValues(int type, const KernelView &v, int row, const int *counts, const OrbitEnd *ends,
                    const double *der, double *distance) {
    const double y = cellY(v, row), step = fabs(v.xScale);
    const bool j = infoOf(type).jKind;
    for (int i = 0; i < v.width; ++i) {
        const bool none = !typeHasDistance(type) || counts[i] >= v.detail;
        distance[i] = none ? NO_DISTANCE
                           : estimateFrom(type, ends[i].zr, ends[i].zi, der[2 * i], der[2 * i + 1],
                                          j ? v.xPivot : cellX(v, i), j ? v.yPivot : y, step);
    }
}

void distanceRow(int type, const KernelView &v, int row, const int *counts, double *distance) {
    if (infoOf(type).rule == QUADRATIC_RULE) return rowOf<QuadraticDerivative>(type, v, row, counts, distance);
    if (infoOf(type).rule == DRAGON_RULE) return rowOf<DragonDerivative>(type, v, row, counts, distance);
    for (int i = 0; i < v.width; ++i) distance[i] = NO_DISTANCE;
}
