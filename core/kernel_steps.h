// kernel_steps.h - the update rules of the ten types, and the one chain
// that picks a type's rule. Shared by the plain loop (core/kernels_plain.cpp)
// and the scalar path (core/kernels_simd.cpp), so both compute each step
// with the same operations in the same grouping: the bytes they write are
// then the same by construction. The vector lanes (core/kernels_simd_lanes.h)
// repeat the polynomial rules in vector form by design, one operation per
// intrinsic, and must not include this header (it defines inline functions).
//
// Layer: core.
//
// An orbit's whole state is Orbit: the iterate z and, for Phoenix, the
// previous iterate (0 for every other type). A step takes z_n with its
// squares and leaves z_n+1 in place.
//
// M kinds start from a fixed value and take the plane point as the
// constant; J kinds start from the plane point and take the pivot:
//   type  start        rule
//   0/1   0    | c     z^2 + c                (Quadratic)
//   2/3   0.5  | c     c * z * (1 - z)        (Dragon)
//   4/5   0    | c     z^2 + s + t * z_n-1    (Phoenix; s, t the constant's parts)
//   6/7   0    | c     (cos z)^2 + c          (MCosine, JCosine: two groupings)
//   8/9   0    | c     conj((cosh z)^2) + c   (Cosh)
#ifndef QUORVEX_CORE_KERNEL_STEPS_H
#define QUORVEX_CORE_KERNEL_STEPS_H

#include <math.h>

#include "core/kernel_view.h"

struct Orbit {
    double zr, zi, pr, pi;
};

struct Quadratic {
    double cr, ci;
    void operator()(Orbit &z, double zr2, double zi2) const {
        const double nr = (zr2 - zi2) + cr;
        z.zi = 2.0 * (z.zr * z.zi) + ci;
        z.zr = nr;
    }
};

// a and -b are the parts of z - z^2.
struct Dragon {
    double lr, li;
    void operator()(Orbit &z, double zr2, double zi2) const {
        const double a = (zi2 - zr2) + z.zr;
        const double b = 2.0 * (z.zr * z.zi) - z.zi;
        z.zr = lr * a + li * b;
        z.zi = li * a - lr * b;
    }
};

// The same real t multiplies both parts of the previous iterate.
struct Phoenix {
    double s, t;
    void operator()(Orbit &z, double zr2, double zi2) const {
        const double nr = ((zr2 - zi2) + s) + t * z.pr;
        const double ni = 2.0 * (z.zr * z.zi) + t * z.pi;
        z.pr = z.zr, z.pi = z.zi;
        z.zr = nr, z.zi = ni;
    }
};

// The trigonometric types: a - bi is cos z, a + bi is cosh z.
inline void cosParts(const Orbit &z, double &a, double &b) {
    a = cos(z.zr) * cosh(z.zi);
    b = sin(z.zr) * sinh(z.zi);
}

inline void coshParts(const Orbit &z, double &a, double &b) {
    a = cosh(z.zr) * cos(z.zi);
    b = sinh(z.zr) * sin(z.zi);
}

// M-Cosine: (cos z)^2 + c with the real part grouped (a^2 - b^2) + cr.
struct MCosine {
    double cr, ci;
    void operator()(Orbit &z, double, double) const {
        double a, b;
        cosParts(z, a, b);
        z.zr = (a * a - b * b) + cr;
        z.zi = (-2.0 * a) * b + ci;
    }
};

// J-Cosine, (cos z)^2 + c, and both Cosh types, conj((cosh z)^2) + c: the
// real part grouped (a^2 + cr) - b^2, so not the same bytes as M-Cosine.
template <void (*Parts)(const Orbit &, double &, double &)>
struct SquarePlus {
    double cr, ci;
    void operator()(Orbit &z, double, double) const {
        double a, b;
        Parts(z, a, b);
        z.zr = (a * a + cr) - b * b;
        z.zi = (-2.0 * a) * b + ci;
    }
};
typedef SquarePlus<cosParts> JCosine;
typedef SquarePlus<coshParts> Cosh;

// The start and the step of a cell at plane point (x, y).
template <class Step>
struct MKind {
    double z0r;
    Orbit start(double, double) const { return Orbit{z0r, 0.0, 0.0, 0.0}; }
    Step step(double x, double y) const { return Step{x, y}; }
};

template <class Step>
struct JKind {
    Step pivot;
    Orbit start(double x, double y) const { return Orbit{x, y, 0.0, 0.0}; }
    Step step(double, double) const { return pivot; }
};

// The one chain from a type to its rule: run(kind) with the type's MKind or
// JKind, returning what run returns. A type outside 0..8 is J-Cosh.
template <class Run>
inline auto withTypeRule(int type, const KernelView &v, Run run)
    -> decltype(run(MKind<Quadratic>{0.0})) {
    const double px = v.xPivot, py = v.yPivot;
    switch (type) {
    case MANDELBROT_TYPE: return run(MKind<Quadratic>{0.0});
    case JULIA_TYPE: return run(JKind<Quadratic>{{px, py}});
    case M_DRAGON_TYPE: return run(MKind<Dragon>{0.5});
    case J_DRAGON_TYPE: return run(JKind<Dragon>{{px, py}});
    case M_PHOENIX_TYPE: return run(MKind<Phoenix>{0.0});
    case J_PHOENIX_TYPE: return run(JKind<Phoenix>{{px, py}});
    case M_COSINE_TYPE: return run(MKind<MCosine>{0.0});
    case J_COSINE_TYPE: return run(JKind<JCosine>{{px, py}});
    case M_COSH_TYPE: return run(MKind<Cosh>{0.0});
    default: return run(JKind<Cosh>{{px, py}});
    }
}

#endif
