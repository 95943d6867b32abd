#include "deep/reference.h"

#include <mpfr.h>

#include "deep/exact_step.h"

namespace {

// Steps between polls of the stop flag and calls of the progress callback.
const int POLL_STEPS = 4096;

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

void keep(ReferenceOrbit &o, const BigCx &w, const ExactStep *trig, int wantFloatExp) {
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
ReferenceResult iterate(OrbitJob &job, ExactStep &rule, BigCx &w, ReferenceOrbit &o, mpfr_prec_t bits) {
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
        dragonConstant(julia ? pivot : centre, julia ? &centre : nullptr, k, julia ? &first : nullptr, bits);
    } else {
        k.set(julia ? pivot : centre);
        if (julia) first.set(centre);
    }
    ExactStep rule(ref.rule, k, bits);
    OrbitJob job = {&ref, wantFloatExp, stop, progress, context, 0, loc.detail * ref.orbits};
    ReferenceResult r = REFERENCE_DONE;
    for (int o = 0; o < ref.orbits && r == REFERENCE_DONE; ++o) {
        startOf(ref, o, first, w);
        r = iterate(job, rule, w, ref.orbit[o], bits);
    }
    if (r == REFERENCE_DONE && progress) progress(job.total, job.total, context);
    return r;
}
