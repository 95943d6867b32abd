#include "deep/minibrot.h"

#include <math.h>
#include <mpfr.h>
#include <stdio.h>

#include <memory>
#include <string>

#include "core/portable_math.h"
#include "deep/big_cx.h"
#include "deep/exact_step.h"
#include "files/atomic_write.h"

namespace {

// Steps between polls of the stop flag and calls of the progress callback.
const int POLL_STEPS = 4096;

struct Search {
    const DeepLocation *loc;
    FractalRule rule;
    int cells;  // across the picture's wider side
    const std::atomic<int> *stop;
    ReferenceProgress progress;
    void *context;
    char *reason;
};

bool stopped(const Search &s, int n) {
    if (n % POLL_STEPS || !n) return false;
    if (s.progress) s.progress(n, s.loc->detail, s.context);
    return s.stop && s.stop->load(std::memory_order_relaxed);
}

FloatExp modulus(const BigCx &w, mpfr_t scratch) {
    mpfr_hypot(scratch, w.re, w.im, MPFR_RNDN);
    return floatExpOf(scratch);
}

FloatExp modulus(const Cx<FloatExp> &z) {
    const FloatExp n = norm(z);
    if (n.isZero()) return n;
    const int64_t odd = n.e & 1;  // sqrt(m 2^e) with an even exponent
    return FloatExp::make(sqrt(n.m * (odd ? 2.0 : 1.0)), (n.e - odd) / 2);
}

// The constant K of the step at the point c, and dK/dc (1 but for the
// Dragon, whose K is L/2 - L^2/4 of L = c).
void constantOf(FractalRule rule, const BigCx &c, BigCx &k, Cx<FloatExp> &slope, mpfr_prec_t bits) {
    slope = Cx<FloatExp>{FloatExp::of(1.0), FloatExp::zero()};
    if (rule != DRAGON_RULE) return k.set(c);
    dragonConstant(c, nullptr, k, nullptr, bits);
    const Cx<FloatExp> l = floatExpOf(c);
    slope = Cx<FloatExp>{FloatExp::of(0.5) - l.re * 0.5, -(l.im * 0.5)};
}

// g'(w) of the step just about to be taken (after `values` for the
// trigonometric rules).
Cx<FloatExp> slopeOf(FractalRule rule, const ExactStep &step, const BigCx &w) {
    if (rule == M_COSINE_RULE) {
        const Cx<FloatExp> s = floatExpOf(step.s);
        return Cx<FloatExp>{-s.re, -s.im};
    }
    if (rule == COSH_RULE) return floatExpOf(step.s);
    const Cx<FloatExp> z = floatExpOf(w);
    return Cx<FloatExp>{z.re * 2.0, z.im * 2.0};
}

double coshOf(double x) { return 0.5 * (portableExp(x) + portableExp(-x)); }

// h of the ball's radius: a bound of |g''| / 2 over the ball around w.
double curvature(FractalRule rule, Cx<double> w, FloatExp r) {
    const double reach = toDouble(r) > 8.0 ? 8.0 : toDouble(r);
    if (rule == M_COSINE_RULE) return coshOf(2.0 * (fabs(w.im) + reach));
    if (rule == COSH_RULE) return coshOf(2.0 * (fabs(w.re) + reach));
    return 1.0;
}

// The period: the first n whose ball holds 0; 0 with the reason when there
// is none, -1 when stopped.
int ballPeriod(const Search &s, FloatExp radius, mpfr_prec_t bits) {
    *s.reason = '\0';
    BigCx c(bits), k(bits), w(bits), p(bits);
    c.set(s.loc->re, s.loc->im);
    Cx<FloatExp> dk;
    constantOf(s.rule, c, k, dk, bits);
    if (s.rule == DRAGON_RULE) radius = radius * toDouble(modulus(dk)) + radius * radius * 0.25;
    ExactStep step(s.rule, k, bits);
    mpfr_t scratch;
    mpfr_init2(scratch, bits);
    FloatExp r = FloatExp::zero();
    int period = 0;
    for (int n = 1; n <= s.loc->detail; ++n) {
        if (stopped(s, n)) {
            period = -1;
            break;
        }
        if (trigonometricRule(s.rule)) step.values(w);
        const Cx<double> z = w.nearest();
        const FloatExp slope = modulus(slopeOf(s.rule, step, w));
        r = slope * r + r * r * curvature(s.rule, z, r) + radius;
        step.step(w, p);
        if (!lessMag(r, modulus(w, scratch))) {
            period = n;
            break;
        }
        const Cx<double> next = w.nearest();
        if (!(next.re * next.re + next.im * next.im <= 4.0)) {
            setReason(s.reason, "no minibrot found: the orbit of the picture's centre escapes after %d steps, "
                                "before any minibrot shows; centre the picture nearer the set",
                      n);
            break;
        }
    }
    mpfr_clear(scratch);
    if (!period && !*s.reason)
        setReason(s.reason, "no minibrot of period up to the detail (%d) in the picture; raise --detail",
                  s.loc->detail);
    return period;
}

// dz = A dc + B conj(dc) through one step w <- g(w) + K (or its conjugate).
void carry(FractalRule rule, Cx<FloatExp> g, Cx<FloatExp> dk, Cx<FloatExp> &a, Cx<FloatExp> &b) {
    if (rule != COSH_RULE) {
        a = g * a + dk;
        return;
    }
    const Cx<FloatExp> gc = {g.re, -g.im}, ac = {a.re, -a.im}, bc = {b.re, -b.im};
    a = gc * bc + dk;
    b = gc * ac;
}

// The delta with A d + B conj(d) = -z (the 2 x 2 real system), or z / A
// negated when B is 0.
Cx<FloatExp> newtonDelta(Cx<FloatExp> z, Cx<FloatExp> a, Cx<FloatExp> b) {
    const FloatExp det = norm(a) - norm(b);
    if (det.isZero()) return Cx<FloatExp>{FloatExp::zero(), FloatExp::zero()};
    const FloatExp x = (z.im * (b.im - a.im) - z.re * (a.re - b.re));
    const FloatExp y = (z.re * (a.im + b.im) - z.im * (a.re + b.re));
    const FloatExp inverse = FloatExp::make(1.0 / det.m, -det.e);
    return Cx<FloatExp>{x * inverse, y * inverse};
}

struct NewtonStep {
    int ok;               // 0: stopped, or the orbit was not finite
    Cx<FloatExp> delta;   // the step to the next c
    FloatExp size;        // the size estimate at c
};

// One step of Newton's method at c for period p.
NewtonStep newtonStep(const Search &s, const BigCx &c, int p, mpfr_prec_t bits) {
    BigCx k(bits), w(bits), q(bits);
    Cx<FloatExp> dk, a = {FloatExp::zero(), FloatExp::zero()}, b = a;
    constantOf(s.rule, c, k, dk, bits);
    ExactStep step(s.rule, k, bits);
    FloatExp product = FloatExp::of(1.0);  // |g'| of Z_1 .. Z_p-1
    for (int n = 0; n < p; ++n) {
        if (n % POLL_STEPS == 0 && n) {
            if (s.progress) s.progress(n, p, s.context);
            if (s.stop && s.stop->load(std::memory_order_relaxed)) return NewtonStep{0, a, product};
        }
        if (trigonometricRule(s.rule)) step.values(w);
        const Cx<FloatExp> g = slopeOf(s.rule, step, w);
        if (n) product = product * modulus(g);
        carry(s.rule, g, dk, a, b);
        step.step(w, q);
    }
    if (!mpfr_number_p(w.re) || !mpfr_number_p(w.im)) return NewtonStep{0, a, product};
    const FloatExp derivative = modulus(a) + modulus(b);
    const FloatExp scale = product * derivative;
    const FloatExp size = scale.isZero() ? FloatExp::zero() : FloatExp::make(1.0 / scale.m, -scale.e);
    return NewtonStep{1, newtonDelta(floatExpOf(w), a, b), size};
}

void addTo(mpfr_t v, FloatExp d) {
    mpfr_t t;
    mpfr_init2(t, 64);
    mpfr_set_d(t, d.m, MPFR_RNDN);
    mpfr_mul_2si(t, t, (long)d.e, MPFR_RNDN);
    mpfr_add(v, v, t, MPFR_RNDN);
    mpfr_clear(t);
}

long exponentOf(const BigCx &c) {
    long top = 0;
    for (const mpfr_t *v : {&c.re, &c.im})
        if (!mpfr_zero_p(*v) && mpfr_get_exp(*v) > top) top = mpfr_get_exp(*v);
    return top;
}

std::string widthText(FloatExp w) {
    mpfr_t v;
    mpfr_init2(v, 64);
    mpfr_set_d(v, w.m, MPFR_RNDN);
    mpfr_mul_2si(v, v, (long)w.e, MPFR_RNDN);
    char text[64];
    mpfr_snprintf(text, sizeof text, "%.6Re", v);
    mpfr_clear(v);
    return text;
}

// |re(c - centre)| <= width / 2 and |im(c - centre)| <= height / 2.
bool inPicture(const Search &s, const BigCx &c, int cellsWide, int cellsHigh) {
    BigCx centre(mpfr_get_prec(c.re));
    centre.set(s.loc->re, s.loc->im);
    mpfr_sub(centre.re, c.re, centre.re, MPFR_RNDN);
    mpfr_sub(centre.im, c.im, centre.im, MPFR_RNDN);
    const FloatExp half = locationWidth(*s.loc) * 0.5;
    return !lessMag(half, absolute(floatExpOf(centre.re))) &&
           !lessMag(half * ((double)cellsHigh / cellsWide), absolute(floatExpOf(centre.im)));
}

// Newton's method from the centre; the number of steps, 0 when it did not
// converge, -1 when stopped.
int nucleus(const Search &s, BigCx &c, int p, long &bits, FloatExp &size) {
    const FloatExp far = locationWidth(*s.loc) * 8.0;
    for (int step = 1; step <= MINIBROT_NEWTON_STEPS; ++step) {
        const NewtonStep n = newtonStep(s, c, p, (mpfr_prec_t)bits);
        if (!n.ok) return s.stop && s.stop->load() ? -1 : 0;
        addTo(c.re, n.delta.re), addTo(c.im, n.delta.im);
        size = n.size;
        if (size.isZero()) return 0;
        // The frame's digits: far below its cells at every size it may take.
        const long need = exponentOf(c) - (long)size.e + 80 + (long)log2((double)s.cells);
        if (need > bits) bits = need, c.precision((mpfr_prec_t)bits);
        BigCx moved((mpfr_prec_t)bits);
        moved.set(s.loc->re, s.loc->im);
        mpfr_sub(moved.re, c.re, moved.re, MPFR_RNDN), mpfr_sub(moved.im, c.im, moved.im, MPFR_RNDN);
        if (lessMag(far, magnitude1(floatExpOf(moved)))) return 0;
        if (lessMag(magnitude1(n.delta), size * 0x1p-50)) return step;
    }
    return 0;
}

}  // namespace

int minibrotTypeSupported(int type) {
    if (type < 0 || type >= FRACTAL_TYPES || FRACTAL_TYPE_TABLE[type].jKind) return 0;
    return FRACTAL_TYPE_TABLE[type].rule != PHOENIX_RULE;
}

MinibrotResult findMinibrot(const DeepLocation &loc, int cellsWide, int cellsHigh, const std::atomic<int> *stop,
                            ReferenceProgress progress, void *context, Minibrot &found, char *reason) {
    const FractalTypeInfo &type = FRACTAL_TYPE_TABLE[loc.type];
    if (!minibrotTypeSupported(loc.type)) {
        if (type.jKind)
            setReason(reason, "%s has no minibrots: the periodic points of a J type are inside the set (one colour "
                              "around them) or on it (its picture repeats at every scale there); use the M type",
                      type.name);
        else
            setReason(reason, "%s has no minibrots: its map has no critical point (it is invertible), so no orbit "
                              "of it returns to one", type.name);
        return MINIBROT_NONE;
    }
    const int cells = cellsWide > cellsHigh ? cellsWide : cellsHigh;
    const Search s = {&loc, type.rule, cells, stop, progress, context, reason};
    // The disk through the picture's corners first; when the nucleus its
    // period leads to lies outside the picture, the disk inside it.
    const double aspect = (double)cellsHigh / cellsWide;
    const double radii[2] = {0.5 * sqrt(1.0 + aspect * aspect) * (1.0 + 0x1p-30), 0.5 * (aspect < 1 ? aspect : 1.0)};
    long bits = 0;
    int p = 0, steps = 0;
    std::unique_ptr<BigCx> c;
    char failure[FILE_ERROR_SIZE] = "";
    for (double radius : radii) {
        const int before = p;
        bits = referencePrecision(loc, cells);
        p = ballPeriod(s, locationWidth(loc) * radius, (mpfr_prec_t)bits);
        if (p < 0) return MINIBROT_STOPPED;
        if (p == 0 && !before) return MINIBROT_NONE;
        if (p == 0 || p == before) break;  // Newton's method would go where it went
        c.reset(new BigCx((mpfr_prec_t)bits));
        c->set(loc.re, loc.im);
        steps = nucleus(s, *c, p, bits, found.size);
        if (steps < 0) return MINIBROT_STOPPED;
        if (steps > 0 && inPicture(s, *c, cellsWide, cellsHigh)) break;
        setReason(failure, steps > 0 ? "no minibrot found: the period-%d nucleus Newton's method converged to lies "
                                       "outside the picture"
                                     : "no minibrot found: Newton's method for the period-%d nucleus did not "
                                       "converge in the picture",
                  p);
        steps = 0;
    }
    if (!steps) {
        setReason(reason, "%s", failure);
        return MINIBROT_NONE;
    }
    const double wide = cellsWide > cellsHigh ? (double)cellsWide / cellsHigh : 1.0;
    found.location = loc;
    found.location.re = decimalOf(c->re, bits), found.location.im = decimalOf(c->im, bits);
    found.location.width = widthText(found.size * (MINIBROT_FRAME_SIZES * wide));
    found.period = p, found.newtonSteps = steps;
    char why[FILE_ERROR_SIZE];
    if (!setWidth(found.location, found.location.width.c_str(), why)) {
        setReason(reason, "the period-%d minibrot is too small to frame: %s", p, why);
        return MINIBROT_NONE;
    }
    return MINIBROT_FOUND;
}
