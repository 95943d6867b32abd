#include "deep/perturb.h"

#include <mpfr.h>

#include "core/cpu_features.h"
#include "core/fractal_types.h"
#include "deep/quadratic_lane.h"

namespace {

// The rule of Mandelbrot, Julia and the Dragons for the driver (lanes.h).
template <class T, bool DRAGON, bool DER = false> struct QuadraticRule {
    typedef T Value;
    typedef ::Lane<T> Lane;
    static int start(const DeepEngine &e, Cx<T> d, Lane &l, DeepSample &out) { return startLane<T>(e, d, l, out); }
    static int advance(const DeepEngine &e, Lane &l, DeepSample &out) { return ::advance<T, DRAGON, DER>(e, l, out); }
    static void finish(const DeepEngine &e, const Lane &l, DeepSample &out) {
        if (DRAGON && out.count < e.ref.detail) dragonZ(l.test, out, DER, !FRACTAL_TYPE_TABLE[e.ref.type].jKind);
    }
};

template <class T, bool DRAGON, bool DER = false>
int sampleBatch(const DeepEngine &e, const FloatExp *dx, const FloatExp *dy, int count, DeepSample *out,
                const std::atomic<int> *stop) {
    return runLanes<QuadraticRule<T, DRAGON, DER>>(e, dx, dy, count, out, stop);
}


int narrowerThan(const DeepLocation &loc, const char *width) {
    mpfr_t w, limit;
    mpfr_inits2(64, w, limit, (mpfr_ptr)0);
    mpfr_set_str(w, loc.width.c_str(), 10, MPFR_RNDN);
    mpfr_set_str(limit, width, 10, MPFR_RNDN);
    const int less = mpfr_less_p(w, limit);
    mpfr_clears(w, limit, (mpfr_ptr)0);
    return less;
}

template <class T> T cMax(const DeepReference &ref, T reach) {
    if (ref.critical) return fromDouble<T>(0.0);  // the J kinds: c is the pivot for all
    // Phoenix's bound is on |ds| + |dt|, at most sqrt 2 times the modulus.
    if (ref.rule == PHOENIX_RULE) return reach * 1.5;
    if (!ref.dragon) return reach;
    // |d (1/2 - L/2 - d/4)| with a little room for rounding
    const double k = hypot(0.5 - ref.lambda.re * 0.5, ref.lambda.im * 0.5);
    return reach * (k * (1.0 + 0x1p-40) + toDouble(reach) * 0.25 + 0x1p-1000);
}

// Orbit o's tables, of the kind its rule takes, in T.
template <class T, template <class> class Map> int buildTables(DeepEngine &e, int o, FloatExp reach,
                                                             const std::atomic<int> *stop) {
    BlaTable<T, Map> &t = (e.*TablesOf<T, Map>::at)[o];
    return buildBlaTable<T, Map>(e.ref, o, cMax<T>(e.ref, fromFloatExp<T>(reach)), t, stop);
}

template <class T> int buildRuleTables(DeepEngine &e, int o, FloatExp reach, const std::atomic<int> *stop) {
    if (e.ref.rule == PHOENIX_RULE) return buildTables<T, BlaPairStep>(e, o, reach, stop);
    if (e.ref.rule == COSH_RULE) return buildTables<T, BlaConjStep>(e, o, reach, stop);
    return buildTables<T, BlaStep>(e, o, reach, stop);
}

// The stride: a model whose cycle the critical orbit lies on itself (Z_p
// is as near 0 as its own rounding), and on each orbit the first m from
// which every p-th Z is that near 0 too: the places for a try without a
// rebase.
void findStrides(DeepEngine &e) {
    for (int o = 0; o < DEEP_ORBITS; ++o) e.strideFrom[o] = -1;
    const CycleModel *stride = nullptr;
    for (const CycleModel &m : e.cycles)
        if (lessMag(m.zp.re, m.err) && lessMag(m.zp.im, m.err)) stride = &m;
    if (!stride) return;
    e.cycleStride = stride->period;
    e.strideReach = stride->r0.toDouble();
    const FloatExp tiny = stride->r0 * 0x1p-40;
    for (int o = 0; o < e.ref.orbits; ++o) {
        const ReferenceOrbit &orbit = e.ref.orbit[o];
        auto near0 = [&](int m) {
            const Cx<FloatExp> Z = orbit.zf.empty() ? lift<FloatExp>(orbit.z[(size_t)m]) : orbit.zf[(size_t)m];
            return lessMag(magnitude1(Z), tiny);
        };
        int from = 0;
        while (from <= orbit.last && !near0(from)) ++from;
        bool all = from <= orbit.last;
        for (int m = from; all && m <= orbit.last; m += e.cycleStride) all = near0(m);
        if (all) e.strideFrom[o] = from;
    }
}

}  // namespace

int prepareDeepTables(DeepEngine &e, FloatExp reach, int floatExp, const std::atomic<int> *stop) {
    e.floatExp = floatExp;
    e.cycles.clear();
    e.cycleStride = 0;
    e.strideReach = 0.0;
    if (!e.exhaustive) buildCycleModels(e.ref, e.ref.critical, cMax<FloatExp>(e.ref, reach), e.cycles);
    findStrides(e);
    if (!e.approximation) return 1;
    for (int o = 0; o < e.ref.orbits; ++o) {
        const int built = floatExp ? buildRuleTables<FloatExp>(e, o, reach, stop)
                                   : buildRuleTables<double>(e, o, reach, stop);
        if (!built) return 0;
    }
    return 1;
}

int deepNeedsFloatExp(const DeepLocation &loc) { return narrowerThan(loc, DEEP_DOUBLE_WIDTH); }

ReferenceResult prepareDeepEngine(const DeepLocation &loc, int cells, FloatExp reach,
                                  const std::atomic<int> *stop, ReferenceProgress progress, void *context,
                                  DeepEngine &e) {
    const int floatExp = deepNeedsFloatExp(loc);
    const ReferenceResult r = computeReference(loc, cells, floatExp, stop, progress, context, e.ref);
    if (r != REFERENCE_DONE) return r;
    return prepareDeepTables(e, reach, floatExp, stop) ? REFERENCE_DONE : REFERENCE_STOPPED;
}

int deepSamples(const DeepEngine &e, const FloatExp *dx, const FloatExp *dy, int count, DeepSample *out,
                const std::atomic<int> *stop, int derivative) {
    if (e.ref.rule == PHOENIX_RULE) return phoenixSamples(e, dx, dy, count, out, stop, derivative);
    if (trigonometricRule(e.ref.rule)) return trigSamples(e, dx, dy, count, out, stop, derivative);
#if defined(__x86_64__)
    if (!e.floatExp && (e.vectorLanes == 0 || e.vectorLanes >= 8) && cpuHasAvx512())
        return quadraticSamplesAvx512(e, dx, dy, count, out, stop, derivative);
    if (!e.floatExp && (e.vectorLanes == 0 || e.vectorLanes >= 4) && cpuHasAvx2())
        return quadraticSamplesAvx2(e, dx, dy, count, out, stop, derivative);
#endif
    if (derivative && e.floatExp)
        return e.ref.dragon ? sampleBatch<FloatExp, true, true>(e, dx, dy, count, out, stop)
                            : sampleBatch<FloatExp, false, true>(e, dx, dy, count, out, stop);
    if (derivative)
        return e.ref.dragon ? sampleBatch<double, true, true>(e, dx, dy, count, out, stop)
                            : sampleBatch<double, false, true>(e, dx, dy, count, out, stop);
    if (e.floatExp && e.ref.dragon) return sampleBatch<FloatExp, true>(e, dx, dy, count, out, stop);
    if (e.floatExp) return sampleBatch<FloatExp, false>(e, dx, dy, count, out, stop);
    if (e.ref.dragon) return sampleBatch<double, true>(e, dx, dy, count, out, stop);
    return sampleBatch<double, false>(e, dx, dy, count, out, stop);
}

DeepSample deepSample(const DeepEngine &e, FloatExp dx, FloatExp dy) {
    DeepSample s;
    deepSamples(e, &dx, &dy, 1, &s);
    return s;
}
