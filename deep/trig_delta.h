// trig_delta.h - sin d and cos d - 1 of a complex delta, for the cosine and
// cosh types' perturbed step (perturb_trig.cpp).
//
//   Cx<T> s, cm;
//   sinCosM1(d, s, cm);   // s = sin d, cm = cos d - 1, T double or FloatExp
//
// Each to within a few roundings of its own size, for any |d| up to about
// 8 (the deltas inside the escape radius are at most 4): cos d - 1 is kept
// apart from the 1 because a tiny delta's cos d rounds to 1 and loses the
// part the step needs. Only + - * on T, so a value is the same bits on
// every processor (glibc's sin and cos are not: it picks a version by
// processor when the program starts), and FloatExp deltas far below the
// doubles' range are exact as they are.
//
// The series in u = h^2 are summed backwards (Horner) with as many terms
// as bring the first term left out below 2^-68 for |h| as large as h's
// size; a delta of size above 1/2 is halved first and the results doubled
// back: sin 2h = 2 (s + s cm), cos 2h - 1 = 2 cm (cm + 2).
// cosh d - 1 and sinh d are those of i d (sinhCoshM1).
//
// Layer: deep.
#ifndef QUORVEX_DEEP_TRIG_DELTA_H
#define QUORVEX_DEEP_TRIG_DELTA_H

#include "deep/floatexp.h"

template <class T> inline Cx<T> scaled(const Cx<T> &z, double k) { return Cx<T>{z.re * k, z.im * k}; }

// 1 - u * p * k, the step of both series.
template <class T> inline Cx<T> hornerStep(const Cx<T> &u, const Cx<T> &p, double k) {
    const Cx<T> v = scaled(u * p, k);
    return Cx<T>{fromDouble<T>(1.0) - v.re, -v.im};
}

template <class T> void sinCosM1(const Cx<T> &d, Cx<T> &s, Cx<T> &cm) {
    double size = toDouble(magnitude1(d));
    const Cx<T> u0 = d * d;
    if (size < 0x1p-27) {  // d^3 / 6 and d^4 / 24 are below 2^-56 of what is kept
        s = d, cm = scaled(u0, -0.5);
        return;
    }
    int halvings = 0;
    Cx<T> h = d, u = u0;
    while (size > 0.5) h = scaled(h, 0.5), size *= 0.5, ++halvings;
    if (halvings) u = h * h;
    int terms = 1;
    for (double left = size * size / 6.0; left > 0x1p-68; ++terms)
        left *= size * size / ((2.0 * terms + 2.0) * (2.0 * terms + 3.0));
    const Cx<T> one = {fromDouble<T>(1.0), fromDouble<T>(0.0)};
    Cx<T> ps = one, pc = one;
    for (int k = terms; k >= 1; --k) {
        ps = hornerStep(u, ps, 1.0 / ((2.0 * k) * (2.0 * k + 1.0)));
        if (k >= 2) pc = hornerStep(u, pc, 1.0 / ((2.0 * k - 1.0) * (2.0 * k)));
    }
    s = h * ps;
    cm = scaled(u * pc, -0.5);
    for (; halvings > 0; --halvings) {
        const Cx<T> s2 = scaled(s + s * cm, 2.0);
        cm = scaled(cm * Cx<T>{cm.re + fromDouble<T>(2.0), cm.im}, 2.0);
        s = s2;
    }
}

// sinh d and cosh d - 1: sin(i d) = i sinh d, cos(i d) = cosh d.
template <class T> void sinhCoshM1(const Cx<T> &d, Cx<T> &sh, Cx<T> &chm) {
    Cx<T> s;
    sinCosM1(Cx<T>{-d.im, d.re}, s, chm);
    sh = Cx<T>{s.im, -s.re};
}

#endif
