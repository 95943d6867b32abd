// floatexp.h - a double mantissa with a wide exponent, for deltas below the
// smallest double.
//
//   FloatExp x = FloatExp::of(1.5);        // 1.5
//   FloatExp y = FloatExp::pow2(-4000);     // 2^-4000, far below any double
//   FloatExp z = x * y + y;                 // 2.5 * 2^-4000
//   double d = (z * FloatExp::pow2(4000)).toDouble();   // 2.5
//
// The value is m * 2^e with |m| in [0.5, 1), or m = 0 with e = ZERO_EXP;
// anything below 2^UNDER_EXP is 0.
// Every operation rounds like one double operation on the mantissas (the
// exponents are exact), so a chain of them is as accurate as the same chain
// in doubles would be if doubles never overflowed or underflowed. The
// exponent is 64 bits: products of millions of factors never wrap.
//
// Only what the perturbation loop needs is here: + - * on values, scaling
// by a double, comparison of magnitudes (lessMag), conversion to and from
// double (toDouble clamps to 0 or infinity outside the double range).
// Magnitudes of deltas are compared as |re| + |im| (magnitude1), never as
// squares, which would leave the double range at half its exponent.
// Cx<T> is the complex pair the loop uses for both doubles and FloatExp.
//
// Layer: deep.
#ifndef QUORVEX_DEEP_FLOATEXP_H
#define QUORVEX_DEEP_FLOATEXP_H

#include <math.h>
#include <stdint.h>
#include <string.h>

struct FloatExp {
    double m;
    int64_t e;

    // Far below any exponent a computation reaches, and far from wrapping
    // when two of them are added.
    static const int64_t ZERO_EXP = -((int64_t)1 << 60);

    // Below 2^UNDER_EXP a value is 0: no picture comes near it, and a delta
    // squared every other step (an orbit falling into a superattracting
    // cycle) would otherwise double its exponent until the sum of two
    // wrapped.
    static const int64_t UNDER_EXP = -((int64_t)1 << 40);

    static FloatExp zero() { return FloatExp{0.0, ZERO_EXP}; }

    // m * 2^e for any finite m (normalises).
    static FloatExp make(double m, int64_t e) {
        if (m == 0.0 || !isfinite(m)) return m == 0.0 ? zero() : FloatExp{m, 0};
        uint64_t bits;
        memcpy(&bits, &m, sizeof bits);
        const int biased = (int)((bits >> 52) & 0x7ff);
        if (biased == 0) {  // subnormal: scale into the normal range first
            int k;
            const double n = frexp(m, &k);
            return e + k < UNDER_EXP ? zero() : FloatExp{n, e + k};
        }
        bits = (bits & ~(0x7ffULL << 52)) | (1022ULL << 52);
        double n;
        memcpy(&n, &bits, sizeof n);
        return e + biased - 1022 < UNDER_EXP ? zero() : FloatExp{n, e + biased - 1022};
    }
    static FloatExp of(double d) { return make(d, 0); }
    static FloatExp pow2(int64_t e) { return FloatExp{0.5, e + 1}; }

    bool isZero() const { return m == 0.0; }

    double toDouble() const {
        if (m == 0.0) return 0.0;
        if (e > 1100) return m > 0 ? INFINITY : -INFINITY;
        if (e < -1100) return 0.0 * m;
        return ldexp(m, (int)e);
    }
};

// 2^-k for k = 0..63, to align mantissas without a library call.
inline double floatExpScaleDown(int64_t k) {
    static const struct Table {
        double v[64];
        Table() {
            for (int i = 0; i < 64; ++i) v[i] = ldexp(1.0, -i);
        }
    } table;
    return table.v[k];
}

inline FloatExp operator*(FloatExp a, FloatExp b) { return FloatExp::make(a.m * b.m, a.e + b.e); }

inline FloatExp operator*(FloatExp a, double b) { return FloatExp::make(a.m * b, a.e); }

inline FloatExp operator-(FloatExp a) { return FloatExp{-a.m, a.e}; }

inline FloatExp operator+(FloatExp a, FloatExp b) {
    if (a.m == 0.0) return b;
    if (b.m == 0.0) return a;
    if (a.e < b.e) {
        FloatExp t = a;
        a = b, b = t;
    }
    const int64_t d = a.e - b.e;
    if (d > 63) return a;  // b is below half an ulp of a
    return FloatExp::make(a.m + b.m * floatExpScaleDown(d), a.e);
}

inline FloatExp operator-(FloatExp a, FloatExp b) { return a + -b; }

// |a| < |b|.
inline bool lessMag(FloatExp a, FloatExp b) {
    if (b.m == 0.0) return false;
    if (a.m == 0.0) return true;
    if (a.e != b.e) return a.e < b.e;
    return fabs(a.m) < fabs(b.m);
}

inline bool lessMag(double a, double b) { return fabs(a) < fabs(b); }

inline double toDouble(double d) { return d; }
inline double toDouble(FloatExp f) { return f.toDouble(); }

template <class T> T fromDouble(double d);
template <> inline double fromDouble<double>(double d) { return d; }
template <> inline FloatExp fromDouble<FloatExp>(double d) { return FloatExp::of(d); }

template <class T> struct Cx {
    T re, im;
};

template <class T> inline T norm(const Cx<T> &z) { return z.re * z.re + z.im * z.im; }

inline double absolute(double v) { return fabs(v); }
inline FloatExp absolute(FloatExp v) { return FloatExp{fabs(v.m), v.e}; }

// |re| + |im|: at least the modulus, and never below the double range where
// the modulus is (a square of 1e-200 is 0 in doubles).
template <class T> inline T magnitude1(const Cx<T> &z) { return absolute(z.re) + absolute(z.im); }

template <class T> inline Cx<T> operator+(const Cx<T> &a, const Cx<T> &b) { return {a.re + b.re, a.im + b.im}; }

template <class T> inline Cx<T> operator*(const Cx<T> &a, const Cx<T> &b) {
    return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re};
}

#endif
