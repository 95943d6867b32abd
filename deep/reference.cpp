#include "deep/reference.h"

#include <mpfr.h>

#include "core/fractal_types.h"

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
    Cx<double> nearest() const { return {mpfr_get_d(re, MPFR_RNDN), mpfr_get_d(im, MPFR_RNDN)}; }
};

FloatExp floatExpOf(const mpfr_t v) {
    long e = 0;
    const double m = mpfr_get_d_2exp(&e, v, MPFR_RNDN);
    return FloatExp::make(m, e);
}

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

struct OrbitJob {
    const DeepReference *ref;
    int wantFloatExp;
    const std::atomic<int> *stop;
    ReferenceProgress progress;
    void *context;
    int done, total;  // progress over both orbits
};

bool escapes(const DeepReference &ref, Cx<double> w) {
    if (!ref.dragon) return !(w.re * w.re + w.im * w.im <= 4.0);
    const double hr = ref.lambda.re * 0.5 - w.re, hi = ref.lambda.im * 0.5 - w.im;
    return !(hr * hr + hi * hi <= 4.0 * (ref.lambda.re * ref.lambda.re + ref.lambda.im * ref.lambda.im));
}

void keep(ReferenceOrbit &o, const BigCx &w, int wantFloatExp) {
    o.z.push_back(w.nearest());
    if (wantFloatExp) o.zf.push_back(Cx<FloatExp>{floatExpOf(w.re), floatExpOf(w.im)});
}

// W_0 = start, W_n+1 = W_n^2 + k, until the escape test fails or detail.
ReferenceResult iterate(OrbitJob &job, BigCx &w, const BigCx &k, mpfr_prec_t bits, ReferenceOrbit &o) {
    const int detail = job.ref->detail;
    o.z.clear(), o.zf.clear();
    o.z.reserve((size_t)detail + 1);
    if (job.wantFloatExp) o.zf.reserve((size_t)detail + 1);
    mpfr_t rr, ii;
    mpfr_inits2(bits, rr, ii, (mpfr_ptr)0);
    ReferenceResult result = REFERENCE_DONE;
    o.escaped = 0;
    int n = 0;
    for (;; ++n) {
        keep(o, w, job.wantFloatExp);
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
        mpfr_sqr(rr, w.re, MPFR_RNDN);
        mpfr_sqr(ii, w.im, MPFR_RNDN);
        mpfr_mul(w.im, w.re, w.im, MPFR_RNDN);
        mpfr_mul_2ui(w.im, w.im, 1, MPFR_RNDN);
        mpfr_add(w.im, w.im, k.im, MPFR_RNDN);
        mpfr_sub(w.re, rr, ii, MPFR_RNDN);
        mpfr_add(w.re, w.re, k.re, MPFR_RNDN);
    }
    mpfr_clears(rr, ii, (mpfr_ptr)0);
    o.last = n;
    job.done += detail;
    return result;
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
    const int julia = type.jKind;
    ref.critical = julia;
    ref.dragon = type.rule == DRAGON_RULE;
    BigCx centre(bits), pivot(bits), start(bits), k(bits);
    centre.set(loc.re, loc.im);
    pivot.set(loc.pivotRe, loc.pivotIm);
    ref.centre = centre.nearest();
    ref.lambda = ref.dragon && !julia ? centre.nearest() : pivot.nearest();
    if (ref.dragon) {
        dragonOf(julia ? pivot : centre, julia ? &centre : nullptr, k, julia ? &start : nullptr, bits);
    } else {
        const BigCx &constant = julia ? pivot : centre;
        mpfr_set(k.re, constant.re, MPFR_RNDN), mpfr_set(k.im, constant.im, MPFR_RNDN);
        if (julia) mpfr_set(start.re, centre.re, MPFR_RNDN), mpfr_set(start.im, centre.im, MPFR_RNDN);
    }
    if (!julia) mpfr_set_zero(start.re, 1), mpfr_set_zero(start.im, 1);
    OrbitJob job = {&ref, wantFloatExp, stop, progress, context, 0, loc.detail * (ref.critical + 1)};
    ReferenceResult r = iterate(job, start, k, bits, ref.orbit[0]);
    if (r == REFERENCE_DONE && ref.critical) {
        mpfr_set_zero(start.re, 1), mpfr_set_zero(start.im, 1);
        r = iterate(job, start, k, bits, ref.orbit[1]);
    }
    if (r == REFERENCE_DONE && progress) progress(job.total, job.total, context);
    return r;
}
