// kernel_steps.h - the update rules of the ten types, and the one dispatch
// from a type to its rule and kind. Shared by the plain loop
// (core/kernels_plain.cpp) and the scalar path (core/kernels_simd.cpp), so
// both compute each step with the same operations in the same grouping:
// the bytes they write are then the same by construction. The vector lanes
// (core/kernels_simd_lanes.h) repeat the polynomial rules in vector form by
// design, one operation per intrinsic, and must not include this header (it
// defines inline functions).
//
// Layer: core.
//
// An orbit's whole state is Orbit: the iterate z and, for Phoenix, the
// previous iterate (0 for every other type). A step takes z_n with its
// squares and leaves z_n+1 in place.
//
// Which type takes which rule, and where its orbit starts, is the table in
// core/fractal_types.h; withTypeRule reads it. M kinds start from the
// table's mStart and take the plane point as the constant; J kinds start
// from the plane point and take the pivot. The rules:
//   Quadratic  z^2 + c
//   Dragon     c * z * (1 - z)
//   Phoenix    z^2 + s + t * z_n-1   (s, t the constant's parts)
//   MCosine    (cos z)^2 + c         (JCosine: the same, another grouping)
//   Cosh       conj((cosh z)^2) + c
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

// -sin 2z, the derivative of (cos z)^2: the cosine types' chain rule for
// distance estimates (colour/distance.h, deep/perturb_trig.cpp alike).
inline void minusSinTwice(double zr, double zi, double &sr, double &si) {
    sr = -(sin(2.0 * zr) * cosh(2.0 * zi));
    si = -(cos(2.0 * zr) * sinh(2.0 * zi));
}

// sinh 2z, the derivative of (cosh z)^2 (J-Cosh's chain rule, likewise).
inline void sinhTwice(double zr, double zi, double &sr, double &si) {
    sr = sinh(2.0 * zr) * cos(2.0 * zi);
    si = cosh(2.0 * zr) * sin(2.0 * zi);
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

// Each rule of the table (core/fractal_types.h) as its step.
template <FractalRule R> struct RuleStep;
template <> struct RuleStep<QUADRATIC_RULE> { typedef Quadratic Step; };
template <> struct RuleStep<DRAGON_RULE> { typedef Dragon Step; };
template <> struct RuleStep<PHOENIX_RULE> { typedef Phoenix Step; };
template <> struct RuleStep<M_COSINE_RULE> { typedef MCosine Step; };
template <> struct RuleStep<J_COSINE_RULE> { typedef JCosine Step; };
template <> struct RuleStep<COSH_RULE> { typedef Cosh Step; };

// From a type to its rule and kind, as the table says: run(kind) with the
// type's MKind or JKind, returning what run returns. Every type's kind is a
// type of its own, so run's loop is compiled once per type with the step
// inlined. A type outside 0..8 is J-Cosh (the table's last).
template <int T = 0, class Run>
inline auto withTypeRule(int type, const KernelView &v, Run run) -> decltype(run(MKind<Quadratic>{0.0})) {
    constexpr FractalTypeInfo info = FRACTAL_TYPE_TABLE[T];
    typedef typename RuleStep<info.rule>::Step Step;
    if constexpr (T + 1 < FRACTAL_TYPES) {
        if (type != T)
            return withTypeRule<T + 1>(type, v, run);
    }
    if constexpr (info.jKind)
        return run(JKind<Step>{{v.xPivot, v.yPivot}});
    else
        return run(MKind<Step>{info.mStart});
}

#endif
