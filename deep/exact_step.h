// exact_step.h - the rules' steps in MPFR, for the reference orbits
// (reference.cpp) and the minibrot finder (minibrot.cpp): one place that
// says how each orbit moves exactly.
//
//   ExactStep step(COSH_RULE, constant, bits);
//   step.values(w);      // the trigonometric rules: s, k = sinh 2w, cosh 2w
//   step.step(w, p);     // w <- the next iterate (p: Phoenix's previous one)
//
// Quadratic and Dragon (in w, reference.h): w^2 + K; Phoenix: z^2 + s +
// t p with the constant s + t i; cosine: (1 + cos 2w) / 2 + c from the k
// `values` left; cosh: the same conjugated. dragonConstant gives the
// Dragon's K from its L.
//
// Layer: deep.
#ifndef QUORVEX_DEEP_EXACT_STEP_H
#define QUORVEX_DEEP_EXACT_STEP_H

#include "core/fractal_types.h"
#include "deep/big_cx.h"

// K = L/2 - L^2/4 and, when `from` is given, W_0 = L (1/2 - from).
inline void dragonConstant(const BigCx &l, const BigCx *from, BigCx &k, BigCx *w0, mpfr_prec_t bits) {
    BigCx sq(bits);
    mpfr_sqr(sq.re, l.re, MPFR_RNDN);  // re(L^2) = lr^2 - li^2, im = 2 lr li
    mpfr_fms(sq.re, l.im, l.im, sq.re, MPFR_RNDN);  // li^2 - lr^2 = -re(L^2)
    mpfr_mul(sq.im, l.re, l.im, MPFR_RNDN);
    mpfr_mul_2ui(sq.im, sq.im, 1, MPFR_RNDN);
    mpfr_div_2ui(k.re, l.re, 1, MPFR_RNDN);
    mpfr_div_2ui(k.im, l.im, 1, MPFR_RNDN);
    mpfr_div_2ui(sq.re, sq.re, 2, MPFR_RNDN);
    mpfr_div_2ui(sq.im, sq.im, 2, MPFR_RNDN);
    mpfr_add(k.re, k.re, sq.re, MPFR_RNDN);
    mpfr_sub(k.im, k.im, sq.im, MPFR_RNDN);
    if (!from) return;
    BigCx d(bits);  // 1/2 - from
    mpfr_ui_sub(d.re, 1, from->re, MPFR_RNDN);
    mpfr_sub_d(d.re, d.re, 0.5, MPFR_RNDN);
    mpfr_neg(d.im, from->im, MPFR_RNDN);
    mpfr_mul(w0->re, l.re, d.re, MPFR_RNDN);
    mpfr_fms(w0->re, l.im, d.im, w0->re, MPFR_RNDN);
    mpfr_neg(w0->re, w0->re, MPFR_RNDN);
    mpfr_mul(w0->im, l.re, d.im, MPFR_RNDN);
    mpfr_fma(w0->im, l.im, d.re, w0->im, MPFR_RNDN);
}

// One rule's step in MPFR, with its scratch values. For the trigonometric
// rules `values` first puts S = sin 2w and K = cos 2w (cosine), or
// sinh 2w and cosh 2w (cosh), in s and k; the step then reads k.
struct ExactStep {
    FractalRule rule;
    const BigCx &constant;  // K of w^2 + K; s + t i of Phoenix; c of the others
    BigCx s, k;
    mpfr_t a, b, c, d, x2, y2;
    ExactStep(FractalRule r, const BigCx &constant, mpfr_prec_t bits)
        : rule(r), constant(constant), s(bits), k(bits) {
        mpfr_inits2(bits, a, b, c, d, x2, y2, (mpfr_ptr)0);
    }
    ~ExactStep() { mpfr_clears(a, b, c, d, x2, y2, (mpfr_ptr)0); }
    ExactStep(const ExactStep &) = delete;
    ExactStep &operator=(const ExactStep &) = delete;

    void values(const BigCx &w) {
        mpfr_mul_2ui(x2, w.re, 1, MPFR_RNDN);
        mpfr_mul_2ui(y2, w.im, 1, MPFR_RNDN);
        if (rule == COSH_RULE) {  // sinh 2w = sh cy + i ch sy, cosh 2w = ch cy + i sh sy
            mpfr_sinh_cosh(a, b, x2, MPFR_RNDN);
            mpfr_sin_cos(c, d, y2, MPFR_RNDN);
            mpfr_mul(s.re, a, d, MPFR_RNDN), mpfr_mul(s.im, b, c, MPFR_RNDN);
            mpfr_mul(k.re, b, d, MPFR_RNDN), mpfr_mul(k.im, a, c, MPFR_RNDN);
        } else {  // sin 2w = sx chy + i cx shy, cos 2w = cx chy - i sx shy
            mpfr_sin_cos(a, b, x2, MPFR_RNDN);
            mpfr_sinh_cosh(c, d, y2, MPFR_RNDN);
            mpfr_mul(s.re, a, d, MPFR_RNDN), mpfr_mul(s.im, b, c, MPFR_RNDN);
            mpfr_mul(k.re, b, d, MPFR_RNDN), mpfr_mul(k.im, a, c, MPFR_RNDN);
            mpfr_neg(k.im, k.im, MPFR_RNDN);
        }
    }

    // w <- the next iterate; p, Phoenix's previous iterate, follows.
    void step(BigCx &w, BigCx &p) {
        switch (rule) {
        case PHOENIX_RULE:  // z^2 + s + t p
            mpfr_sqr(a, w.re, MPFR_RNDN);
            mpfr_sqr(b, w.im, MPFR_RNDN);
            mpfr_sub(a, a, b, MPFR_RNDN);
            mpfr_add(a, a, constant.re, MPFR_RNDN);
            mpfr_fma(a, constant.im, p.re, a, MPFR_RNDN);
            mpfr_mul(b, w.re, w.im, MPFR_RNDN);
            mpfr_mul_2ui(b, b, 1, MPFR_RNDN);
            mpfr_fma(b, constant.im, p.im, b, MPFR_RNDN);
            p.set(w);
            mpfr_set(w.re, a, MPFR_RNDN), mpfr_set(w.im, b, MPFR_RNDN);
            return;
        case M_COSINE_RULE:
        case J_COSINE_RULE:
        case COSH_RULE:  // (1 + cos 2w) / 2 + c, conjugated for cosh
            mpfr_add_ui(w.re, k.re, 1, MPFR_RNDN);
            mpfr_div_2ui(w.re, w.re, 1, MPFR_RNDN);
            mpfr_add(w.re, w.re, constant.re, MPFR_RNDN);
            mpfr_div_2ui(w.im, k.im, 1, MPFR_RNDN);
            if (rule == COSH_RULE) mpfr_neg(w.im, w.im, MPFR_RNDN);
            mpfr_add(w.im, w.im, constant.im, MPFR_RNDN);
            return;
        default:  // w^2 + K
            mpfr_sqr(a, w.re, MPFR_RNDN);
            mpfr_sqr(b, w.im, MPFR_RNDN);
            mpfr_mul(w.im, w.re, w.im, MPFR_RNDN);
            mpfr_mul_2ui(w.im, w.im, 1, MPFR_RNDN);
            mpfr_add(w.im, w.im, constant.im, MPFR_RNDN);
            mpfr_sub(w.re, a, b, MPFR_RNDN);
            mpfr_add(w.re, w.re, constant.re, MPFR_RNDN);
            return;
        }
    }
};

#endif
