// big_cx.h - a complex number in MPFR that frees itself, for the deep
// engine's own exact computations (reference orbits, the minibrot finder).
//
//   BigCx z(bits);            // 0 + 0i at `bits` bits
//   z.set("-0.75", "0.1");    // from decimal text, rounded once
//   Cx<double> d = z.nearest();
//
// Layer: deep.
#ifndef QUORVEX_DEEP_BIG_CX_H
#define QUORVEX_DEEP_BIG_CX_H

#include <mpfr.h>

#include <string>

#include "deep/floatexp.h"

// Every digit `bits` hold, as "[-]0.DIGITSeEXP" (a decimal the location takes).
inline std::string decimalOf(const mpfr_t v, long bits) {
    if (mpfr_zero_p(v)) return "0";
    mpfr_exp_t e = 0;
    char *digits = mpfr_get_str(nullptr, &e, 10, (size_t)((double)bits * 0.30103) + 2, v, MPFR_RNDN);
    const bool negative = digits[0] == '-';
    std::string text = std::string(negative ? "-0." : "0.") + (digits + negative) + "e" + std::to_string((long)e);
    mpfr_free_str(digits);
    return text;
}

struct BigCx {
    mpfr_t re, im;
    explicit BigCx(mpfr_prec_t bits) {
        mpfr_inits2(bits, re, im, (mpfr_ptr)0);
        zero();
    }
    ~BigCx() { mpfr_clears(re, im, (mpfr_ptr)0); }
    BigCx(const BigCx &) = delete;
    BigCx &operator=(const BigCx &) = delete;
    void set(const std::string &r, const std::string &i) {
        mpfr_set_str(re, r.c_str(), 10, MPFR_RNDN);
        mpfr_set_str(im, i.c_str(), 10, MPFR_RNDN);
    }
    void set(const BigCx &v) { mpfr_set(re, v.re, MPFR_RNDN), mpfr_set(im, v.im, MPFR_RNDN); }
    void zero() { mpfr_set_zero(re, 1), mpfr_set_zero(im, 1); }
    // Keeps the value, rounded to `bits` (more bits keep it exactly).
    void precision(mpfr_prec_t bits) {
        mpfr_prec_round(re, bits, MPFR_RNDN);
        mpfr_prec_round(im, bits, MPFR_RNDN);
    }
    Cx<double> nearest() const { return {mpfr_get_d(re, MPFR_RNDN), mpfr_get_d(im, MPFR_RNDN)}; }
};

// The nearest FloatExp to v, at any magnitude.
inline FloatExp floatExpOf(const mpfr_t v) {
    long e = 0;
    const double m = mpfr_get_d_2exp(&e, v, MPFR_RNDN);
    return FloatExp::make(m, e);
}

inline Cx<FloatExp> floatExpOf(const BigCx &v) { return Cx<FloatExp>{floatExpOf(v.re), floatExpOf(v.im)}; }

#endif
