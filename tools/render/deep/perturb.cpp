#include "tools/render/deep/perturb.h"

#include <mpfr.h>

#include "core/kernels.h"

namespace {

template <class T> const BlaTable<T> *tableOf(const DeepEngine &e, int orbit);
template <> const BlaTable<double> *tableOf<double>(const DeepEngine &e, int orbit) {
    return e.approximation ? &e.table[orbit] : nullptr;
}
template <> const BlaTable<FloatExp> *tableOf<FloatExp>(const DeepEngine &e, int orbit) {
    return e.approximation ? &e.tableF[orbit] : nullptr;
}

// The escape test on w: (h - w)^2 > limit, with h = 0 and limit 4 for
// Mandelbrot and Julia, h = L/2 and limit 4 |L|^2 for the Dragons.
struct EscapeTest {
    double hr, hi, limit;
};

template <class T> DeepSample iterate(const DeepEngine &e, Cx<T> dw, const Cx<T> dc, const EscapeTest &test) {
    const DeepReference &ref = e.ref;
    const int detail = ref.detail;
    const ReferenceOrbit *o = &ref.orbit[0];
    const BlaTable<T> *table = tableOf<T>(e, 0);
    int m = 0, n = 0;
    while (n < detail) {
        const Cx<T> z = orbitValue<T>(*o, m) + dw;
        const double zr = toDouble(z.re), zi = toDouble(z.im);
        const double vr = test.hr - zr, vi = test.hi - zi;
        if (!(vr * vr + vi * vi <= test.limit)) return DeepSample{n, zr, zi};
        const T dwNorm = norm(dw);
        if (m == o->last || lessMag(norm(z), dwNorm)) {
            o = &ref.orbit[ref.critical];
            table = tableOf<T>(e, ref.critical);
            dw = z;
            m = 0;
        } else if (table) {
            int length = 0;
            if (const BlaStep<T> *s = blaLookup(*table, m, dwNorm, detail - n, &length)) {
                dw = s->a * dw + s->b * dc;
                m += length, n += length;
                continue;
            }
        }
        const Cx<T> Z = orbitValue<T>(*o, m);
        const T tr = Z.re * 2.0 + dw.re, ti = Z.im * 2.0 + dw.im;
        dw = Cx<T>{tr * dw.re - ti * dw.im + dc.re, tr * dw.im + ti * dw.re + dc.im};
        ++m, ++n;
    }
    return DeepSample{detail, 0.0, 0.0};
}

template <class T> Cx<T> lift(Cx<double> v) { return Cx<T>{fromDouble<T>(v.re), fromDouble<T>(v.im)}; }

// Sets up w's delta and c's delta of the point centre + d for the type.
template <class T> DeepSample sampleAs(const DeepEngine &e, Cx<T> d) {
    const DeepReference &ref = e.ref;
    const T zero = fromDouble<T>(0.0);
    const Cx<double> dd = {toDouble(d.re), toDouble(d.im)};
    EscapeTest test = {0.0, 0.0, 4.0};
    switch (ref.type) {
    case MANDELBROT_TYPE: return iterate<T>(e, Cx<T>{zero, zero}, d, test);
    case JULIA_TYPE: return iterate<T>(e, d, Cx<T>{zero, zero}, test);
    default: break;
    }
    // The Dragons: z = 1/2 - w / L.
    Cx<double> l = ref.lambda;
    Cx<T> dw = {zero, zero}, dc = {zero, zero};
    if (ref.type == M_DRAGON_TYPE) {
        // c = L/2 - L^2/4, so dc = d (1/2 - L/2 - d/4)
        l = Cx<double>{l.re + dd.re, l.im + dd.im};
        const Cx<T> k = lift<T>(Cx<double>{0.5 - ref.lambda.re * 0.5, -ref.lambda.im * 0.5});
        dc = d * Cx<T>{k.re - d.re * 0.25, k.im - d.im * 0.25};
    } else {
        if (l.re == 0.0 && l.im == 0.0) {  // z_1 = 0 for every start: only z_0 can escape
            const double zr = ref.centre.re + dd.re, zi = ref.centre.im + dd.im;
            return zr * zr + zi * zi <= 4.0 ? DeepSample{ref.detail, 0, 0} : DeepSample{0, zr, zi};
        }
        const Cx<T> p = lift<T>(l);
        dw = p * d;
        dw = Cx<T>{-dw.re, -dw.im};
    }
    test = EscapeTest{l.re * 0.5, l.im * 0.5, 4.0 * (l.re * l.re + l.im * l.im)};
    DeepSample s = iterate<T>(e, dw, dc, test);
    if (s.count < ref.detail) {  // z = 1/2 - w / L
        const double n = l.re * l.re + l.im * l.im;
        const double qr = (s.zr * l.re + s.zi * l.im) / n, qi = (s.zi * l.re - s.zr * l.im) / n;
        s.zr = 0.5 - qr, s.zi = -qi;
    }
    return s;
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
    if (ref.type == MANDELBROT_TYPE) return reach;
    // |d (1/2 - L/2 - d/4)| with a little room for rounding
    const double k = hypot(0.5 - ref.lambda.re * 0.5, ref.lambda.im * 0.5);
    return reach * (k * (1.0 + 0x1p-40) + toDouble(reach) * 0.25 + 0x1p-1000);
}

}  // namespace

ReferenceResult prepareDeepEngine(const DeepLocation &loc, int cells, FloatExp reach,
                                  const std::atomic<int> *stop, ReferenceProgress progress, void *context,
                                  DeepEngine &e) {
    e.floatExp = narrowerThan(loc, DEEP_DOUBLE_WIDTH);
    const ReferenceResult r = computeReference(loc, cells, e.floatExp, stop, progress, context, e.ref);
    if (r != REFERENCE_DONE || !e.approximation) return r;
    for (int o = 0; o <= e.ref.critical; ++o) {
        if (e.floatExp)
            buildBlaTable<FloatExp>(e.ref, o, cMax<FloatExp>(e.ref, reach), e.tableF[o]);
        else
            buildBlaTable<double>(e.ref, o, cMax<double>(e.ref, reach.toDouble()), e.table[o]);
    }
    return r;
}

DeepSample deepSample(const DeepEngine &e, FloatExp dx, FloatExp dy) {
    if (e.floatExp) return sampleAs<FloatExp>(e, Cx<FloatExp>{dx, dy});
    return sampleAs<double>(e, Cx<double>{dx.toDouble(), dy.toDouble()});
}
