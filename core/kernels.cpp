// The scalar kernels. Each formula keeps the grouping of the type table:
// the build forbids FMA contraction (-ffp-contract=off), so these are the
// exact IEEE double results every faster path must reproduce.
#include "core/kernels.h"

#include <math.h>

#include "core/kernels_simd.h"
#include "core/state.h"

namespace {

// Runs the shared frame for one cell; Step computes z_n+1 from z_n.
template <class Step>
inline int escapeCount(double zr, double zi, int limit, Step step) {
    int j = -1;
    double zr2, zi2;
    do {
        zr2 = zr * zr;
        zi2 = zi * zi;
        step(zr, zi, zr2, zi2);
        ++j;
    } while (j < limit && zr2 + zi2 <= 4.0);
    return j;
}

// Builds the row: z0 and the rule come from Cell(x, y, limit) -> j.
template <class Cell>
inline unsigned char *rowOf(const KernelView &v, int row, unsigned char *out, Cell cell) {
    const double y = (double)row * v.yScale + v.yStart;
    for (int i = 0; i < v.width; ++i) {
        const double x = (double)i * v.xScale + v.xStart;
        out[i] = gridValue(cell(x, y), v.detail);
    }
    return out + v.width;
}

// z <- z^2 + (cr, ci)
inline void quadratic(double &zr, double &zi, double zr2, double zi2, double cr, double ci) {
    const double nr = (zr2 - zi2) + cr;
    const double ni = 2.0 * (zr * zi) + ci;
    zr = nr;
    zi = ni;
}

// z <- lambda * z * (1 - z), with a and -b the parts of z - z^2
inline void dragon(double &zr, double &zi, double zr2, double zi2, double lr, double li) {
    const double a = (zi2 - zr2) + zr;
    const double b = 2.0 * (zr * zi) - zi;
    const double nr = lr * a + li * b;
    const double ni = li * a - lr * b;
    zr = nr;
    zi = ni;
}

// z <- z^2 + s + t * z_n-1, (pr, pi) the previous iterate
struct Phoenix {
    double s, t, pr = 0.0, pi = 0.0;
    void operator()(double &zr, double &zi, double zr2, double zi2) {
        const double nr = ((zr2 - zi2) + s) + t * pr;
        const double ni = 2.0 * (zr * zi) + t * pi;
        pr = zr;
        pi = zi;
        zr = nr;
        zi = ni;
    }
};

int mandelbrotCell(double x, double y, int limit) {
    return escapeCount(0.0, 0.0, limit, [=](double &zr, double &zi, double zr2, double zi2) {
        quadratic(zr, zi, zr2, zi2, x, y);
    });
}

int juliaCell(double x, double y, int limit, double pr, double pi) {
    return escapeCount(x, y, limit, [=](double &zr, double &zi, double zr2, double zi2) {
        quadratic(zr, zi, zr2, zi2, pr, pi);
    });
}

int dragonCell(double zr0, double zi0, int limit, double lr, double li) {
    return escapeCount(zr0, zi0, limit, [=](double &zr, double &zi, double zr2, double zi2) {
        dragon(zr, zi, zr2, zi2, lr, li);
    });
}

int phoenixCell(double zr0, double zi0, int limit, double s, double t) {
    Phoenix step{s, t};
    return escapeCount(zr0, zi0, limit,
                       [&](double &zr, double &zi, double zr2, double zi2) { step(zr, zi, zr2, zi2); });
}

int mCosineCell(double x, double y, int limit) {
    return escapeCount(0.0, 0.0, limit, [=](double &zr, double &zi, double, double) {
        const double a = cos(zr) * cosh(zi);
        const double b = sin(zr) * sinh(zi);
        zr = (a * a - b * b) + x;
        zi = (-2.0 * a) * b + y;
    });
}

int jCosineCell(double x, double y, int limit, double pr, double pi) {
    return escapeCount(x, y, limit, [=](double &zr, double &zi, double, double) {
        const double a = cos(zr) * cosh(zi);
        const double b = sin(zr) * sinh(zi);
        zr = (a * a + pr) - b * b;
        zi = (-2.0 * a) * b + pi;
    });
}

int coshCell(double zr0, double zi0, int limit, double cr, double ci) {
    return escapeCount(zr0, zi0, limit, [=](double &zr, double &zi, double, double) {
        const double a = cosh(zr) * cos(zi);
        const double b = sinh(zr) * sin(zi);
        zr = (a * a + cr) - b * b;
        zi = (-2.0 * a) * b + ci;
    });
}

}  // namespace

KernelView currentKernelView() {
    return KernelView{fracWidth, detail, xStart, xScale, yStart, yScale, xPivot, yPivot};
}

unsigned char *computeRowScalar(int type, const KernelView &v, int row, unsigned char *out) {
    const int n = v.detail;
    const double px = v.xPivot, py = v.yPivot;
    switch (type) {
    case MANDELBROT_TYPE:
        return rowOf(v, row, out, [=](double x, double y) { return mandelbrotCell(x, y, n); });
    case JULIA_TYPE:
        return rowOf(v, row, out, [=](double x, double y) { return juliaCell(x, y, n, px, py); });
    case M_DRAGON_TYPE:
        return rowOf(v, row, out, [=](double x, double y) { return dragonCell(0.5, 0.0, n, x, y); });
    case J_DRAGON_TYPE:
        return rowOf(v, row, out, [=](double x, double y) { return dragonCell(x, y, n, px, py); });
    case M_PHOENIX_TYPE:
        return rowOf(v, row, out, [=](double x, double y) { return phoenixCell(0.0, 0.0, n, x, y); });
    case J_PHOENIX_TYPE:
        return rowOf(v, row, out, [=](double x, double y) { return phoenixCell(x, y, n, px, py); });
    case M_COSINE_TYPE:
        return rowOf(v, row, out, [=](double x, double y) { return mCosineCell(x, y, n); });
    case J_COSINE_TYPE:
        return rowOf(v, row, out, [=](double x, double y) { return jCosineCell(x, y, n, px, py); });
    case M_COSH_TYPE:
        return rowOf(v, row, out, [=](double x, double y) { return coshCell(0.0, 0.0, n, x, y); });
    default:
        return rowOf(v, row, out, [=](double x, double y) { return coshCell(x, y, n, px, py); });
    }
}

unsigned char *computeRow(int type, const KernelView &view, int row, unsigned char *out) {
    return computeRowWith(fastestKernelPath(), type, view, row, out);
}

#define QUORVEX_CORE_FUNCTION(NAME, TYPE)                                     \
    unsigned char *NAME(int row, unsigned char *rowPtr) {                    \
        return computeRow(TYPE, currentKernelView(), row, rowPtr);           \
    }

QUORVEX_CORE_FUNCTION(MANDELBROT_CORE, MANDELBROT_TYPE)
QUORVEX_CORE_FUNCTION(JULIA_CORE, JULIA_TYPE)
QUORVEX_CORE_FUNCTION(M_DRAGON_CORE, M_DRAGON_TYPE)
QUORVEX_CORE_FUNCTION(J_DRAGON_CORE, J_DRAGON_TYPE)
QUORVEX_CORE_FUNCTION(M_PHOENIX_CORE, M_PHOENIX_TYPE)
QUORVEX_CORE_FUNCTION(J_PHOENIX_CORE, J_PHOENIX_TYPE)
QUORVEX_CORE_FUNCTION(M_COSINE_CORE, M_COSINE_TYPE)
QUORVEX_CORE_FUNCTION(J_COSINE_CORE, J_COSINE_TYPE)
QUORVEX_CORE_FUNCTION(M_COSH_CORE, M_COSH_TYPE)
QUORVEX_CORE_FUNCTION(J_COSH_CORE, J_COSH_TYPE)
