#include "deep/reference.h"

#include <mpfr.h>

namespace {

// Steps between polls of the stop flag and calls of the progress callback.
const int POLL_STEPS = 4096;

struct BigCx {
    mpfr_t re, im;
    explicit BigCx(mpfr_prec_t bits) { mpfr_inits2(bits, re, im, (mpfr_ptr)0); }
    ~BigCx() { mpfr_clears(re, im, (mpfr_ptr)0); }
    BigCx(const BigCx &) = delete;
    BigCx &operator=(const BigCx &) = delete;
    void set(const std::string &r, const std::string &i) {
        mpfr_set_str(re, r.c_str(), 10, MPFR_RNDN);
        mpfr_set_str(im, i.c_str(), 10, MPFR_RNDN);
    }
    void set(const BigCx &v) { mpfr_set(re, v.re, MPFR_RNDN), mpfr_set(im, v.im, MPFR_RNDN); }
    void zero() { mpfr_set_zero(re, 1), mpfr_set_zero(im, 1); }
    Cx<double> nearest() const { return {mpfr_get_d(re, MPFR_RNDN), mpfr_get_d(im, MPFR_RNDN)}; }
};

FloatExp floatExpOf(const mpfr_t v) {
    long e = 0;
    const double m = mpfr_get_d_2exp(&e, v, MPFR_RNDN);
    return FloatExp::make(m, e);
}

Cx<FloatExp> floatExpOf(const BigCx &v) { return Cx<FloatExp>{floatExpOf(v.re), floatExpOf(v.im)}; }

// K = L/2 - L^2/4 and, when `from` is given, W_0 = L (1/2 - from).
void dragonOf(const BigCx &l, const BigCx *from, BigCx &k, BigCx *w0, mpfr_prec_t bits) {
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
struct Stepper {
    FractalRule rule;
    const BigCx &constant;  // K of w^2 + K; s + t i of Phoenix; c of the others
    BigCx s, k;
    mpfr_t a, b, c, d, x2, y2;
    Stepper(FractalRule r, const BigCx &constant, mpfr_prec_t bits)
        : rule(r), constant(constant), s(bits), k(bits) {
        mpfr_inits2(bits, a, b, c, d, x2, y2, (mpfr_ptr)0);
    }
    ~Stepper() { mpfr_clears(a, b, c, d, x2, y2, (mpfr_ptr)0); }
    Stepper(const Stepper &) = delete;
    Stepper &operator=(const Stepper &) = delete;

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

struct OrbitJob {
    const DeepReference *ref;
    int wantFloatExp;
    const std::atomic<int> *stop;
    ReferenceProgress progress;
    void *context;
    int done, total;  // progress over all the orbits
};

bool escapes(const DeepReference &ref, Cx<double> w) {
    if (!ref.dragon) return !(w.re * w.re + w.im * w.im <= 4.0);
    const double hr = ref.lambda.re * 0.5 - w.re, hi = ref.lambda.im * 0.5 - w.im;
    return !(hr * hr + hi * hi <= 4.0 * (ref.lambda.re * ref.lambda.re + ref.lambda.im * ref.lambda.im));
}

void keep(ReferenceOrbit &o, const BigCx &w, const Stepper *trig, int wantFloatExp) {
    o.z.push_back(w.nearest());
    if (wantFloatExp) o.zf.push_back(floatExpOf(w));
    if (!trig) return;
    o.s.push_back(trig->s.nearest()), o.k.push_back(trig->k.nearest());
    if (wantFloatExp) o.sf.push_back(floatExpOf(trig->s)), o.kf.push_back(floatExpOf(trig->k));
}

void clearOrbit(ReferenceOrbit &o, size_t size, bool trig, int wantFloatExp) {
    for (auto *v : {&o.z, &o.s, &o.k}) v->clear();
    for (auto *v : {&o.zf, &o.sf, &o.kf}) v->clear();
    o.z.reserve(size);
    if (wantFloatExp) o.zf.reserve(size);
    if (!trig) return;
    o.s.reserve(size), o.k.reserve(size);
    if (wantFloatExp) o.sf.reserve(size), o.kf.reserve(size);
}

// W_0 = w (with p = 0 before it), then the rule's steps, until the escape
// test fails or detail.
ReferenceResult iterate(OrbitJob &job, Stepper &rule, BigCx &w, ReferenceOrbit &o, mpfr_prec_t bits) {
    const int detail = job.ref->detail;
    const bool trig = trigonometricRule(rule.rule);
    clearOrbit(o, (size_t)detail + 1, trig, job.wantFloatExp);
    BigCx p(bits);
    p.zero();
    ReferenceResult result = REFERENCE_DONE;
    o.escaped = 0;
    int n = 0;
    for (;; ++n) {
        if (trig) rule.values(w);
        keep(o, w, trig ? &rule : nullptr, job.wantFloatExp);
        if (escapes(*job.ref, o.z.back())) {
            o.escaped = 1;
            break;
        }
        if (n == detail) break;
        if (n % POLL_STEPS == 0 && n) {
            if (job.stop && job.stop->load(std::memory_order_relaxed)) {
                result = REFERENCE_STOPPED;
                break;
            }
            if (job.progress) job.progress(job.done + n, job.total, job.context);
        }
        rule.step(w, p);
    }
    o.last = n;
    job.done += detail;
    return result;
}

// Where orbit `index` starts: orbit 0 where the centre does (`first`), the
// critical orbit at 0, the second at pi/2 or i pi/2.
void startOf(const DeepReference &ref, int index, const BigCx &first, BigCx &w) {
    if (index == 0) return w.set(first);
    w.zero();
    if (index != ref.second) return;
    const mpfr_ptr half = ref.rule == COSH_RULE ? w.im : w.re;
    mpfr_const_pi(half, MPFR_RNDN);
    mpfr_div_2ui(half, half, 1, MPFR_RNDN);
}

std::atomic<long> referenceCount{0};

}  // namespace

int deepTypeSupported(int type) {
    return type >= 0 && type < FRACTAL_TYPES && FRACTAL_TYPE_TABLE[type].deep;
}

long referencePrecision(const DeepLocation &loc, int cells) {
    mpfr_t v;
    mpfr_init2(v, 64);
    long top = 0;
    for (const std::string *s : {&loc.re, &loc.im, &loc.pivotRe, &loc.pivotIm}) {
        mpfr_set_str(v, s->c_str(), 10, MPFR_RNDN);
        if (!mpfr_zero_p(v) && mpfr_get_exp(v) > top) top = mpfr_get_exp(v);
    }
    mpfr_set_str(v, loc.width.c_str(), 10, MPFR_RNDN);
    long spacing = mpfr_get_exp(v);
    mpfr_clear(v);
    for (int c = cells; c > 1; c >>= 1) --spacing;
    return top - spacing + 85;
}

long referencesComputed() { return referenceCount.load(); }

ReferenceResult computeReference(const DeepLocation &loc, int cells, int wantFloatExp,
                                 const std::atomic<int> *stop, ReferenceProgress progress, void *context,
                                 DeepReference &ref) {
    referenceCount.fetch_add(1);
    const mpfr_prec_t bits = (mpfr_prec_t)referencePrecision(loc, cells);
    ref.type = loc.type, ref.detail = loc.detail, ref.precision = bits;
    const FractalTypeInfo &type = FRACTAL_TYPE_TABLE[loc.type];
    const int julia = type.jKind, trig = trigonometricRule(type.rule);
    ref.rule = type.rule;
    ref.critical = julia;
    ref.second = trig ? julia + 1 : -1;
    ref.orbits = 1 + julia + trig;
    ref.dragon = type.rule == DRAGON_RULE;
    BigCx centre(bits), pivot(bits), first(bits), k(bits), w(bits);
    centre.set(loc.re, loc.im);
    pivot.set(loc.pivotRe, loc.pivotIm);
    ref.centre = centre.nearest();
    ref.lambda = ref.dragon && !julia ? centre.nearest() : pivot.nearest();
    ref.constant = julia ? pivot.nearest() : centre.nearest();
    first.zero();
    if (ref.dragon) {
        dragonOf(julia ? pivot : centre, julia ? &centre : nullptr, k, julia ? &first : nullptr, bits);
    } else {
        k.set(julia ? pivot : centre);
        if (julia) first.set(centre);
    }
    Stepper rule(ref.rule, k, bits);
    OrbitJob job = {&ref, wantFloatExp, stop, progress, context, 0, loc.detail * ref.orbits};
    ReferenceResult r = REFERENCE_DONE;
    for (int o = 0; o < ref.orbits && r == REFERENCE_DONE; ++o) {
        startOf(ref, o, first, w);
        r = iterate(job, rule, w, ref.orbit[o], bits);
    }
    if (r == REFERENCE_DONE && progress) progress(job.total, job.total, context);
    return r;
}
