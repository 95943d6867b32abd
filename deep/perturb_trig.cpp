// M-Cosine, J-Cosine, M-Cosh and J-Cosh against their reference orbits
// (perturb.h): the difference of the squared cosines (or cosh) through the
// reference's sin 2Z and cos 2Z (or sinh 2Z and cosh 2Z), rebasing to the
// orbits of the critical points 0 and pi/2 (or i pi/2).
#include <math.h>

#include <type_traits>

#include "core/kernel_steps.h"
#include "deep/lanes.h"
#include "deep/trig_delta.h"

namespace {

const double HALF_PI = 0x1.921fb54442d18p+0;  // the double nearest pi/2, as the second orbit's Z_0

template <class T, bool COSH> struct TrigLane {
    typedef BlaTable<T, BlaStep> CosineTable;
    typedef BlaTable<T, BlaConjStep> CoshTable;
    Cx<T> d, dc;
    Cx<T> der, derC;         // as the quadratic rule's (perturb.h); M-Cosh's along x
    Cx<T> derY, derYC;       // M-Cosh's along y
    int mKind;
    const Cx<T> *z, *s, *k;  // the orbit's Z, sin 2Z and cos 2Z (or sinh, cosh)
    const typename std::conditional<COSH, CoshTable, CosineTable>::type *table;
    const T *rEntry;
    int m, n, last;
    int level;  // of the last table block
    int index;
};

template <class T, bool COSH> void follow(const DeepEngine &e, int orbit, TrigLane<T, COSH> &l) {
    const ReferenceOrbit &o = e.ref.orbit[orbit];
    l.z = orbitData<T>(o), l.s = sineData<T>(o), l.k = cosineData<T>(o);
    if constexpr (COSH)
        l.table = tableOf<T, BlaConjStep>(e, orbit);
    else
        l.table = tableOf<T, BlaStep>(e, orbit);
    l.rEntry = entryRadii(l.table);
    l.last = o.last;
}

template <class T> Cx<T> conj(const Cx<T> &z) { return Cx<T>{z.re, -z.im}; }

template <class T> void applyBlock(const BlaStep<T> &s, Cx<T> &d, const Cx<T> &dc) { d = s.a * d + s.b * dc; }
template <class T> void applyBlock(const BlaConjStep<T> &s, Cx<T> &d, const Cx<T> &dc) {
    d = s.a * d + s.b * dc + s.bc * conj(dc);
}

// The second critical point nearer than |d|: 1 and the delta from it, as
// the second orbit takes it (+-pi/2 for cosine, +-i pi/2 for cosh; the
// maps are even, so -c2 + u is c2 - u). zr, zi: z in doubles, to rule most
// steps out at once.
template <class T, bool COSH> bool nearSecond(const Cx<T> &Z, const Cx<T> &d, double zr, double zi, T size,
                                               Cx<T> &u) {
    const double along = COSH ? zi : zr, across = COSH ? zr : zi;
    if (!(fabs(fabs(along) - HALF_PI) + fabs(across) < toDouble(size) * 2.0 + 0x1p-40)) return false;
    const double c2 = along < 0 ? -HALF_PI : HALF_PI;  // Z - c2 is exact where it matters
    u = COSH ? Cx<T>{Z.re + d.re, (Z.im - fromDouble<T>(c2)) + d.im}
             : Cx<T>{(Z.re - fromDouble<T>(c2)) + d.re, Z.im + d.im};
    if (!lessMag(magnitude1(u), size)) return false;
    if (along < 0) u = Cx<T>{-u.re, -u.im};
    return true;
}

// The exact step from Z_m (perturb.h).
template <class T, bool COSH> Cx<T> exactStep(const TrigLane<T, COSH> &l) {
    const Cx<T> S = l.s[l.m], K = l.k[l.m];
    Cx<T> sd, cm;
    if (COSH)
        sinhCoshM1(l.d, sd, cm);
    else
        sinCosM1(l.d, sd, cm);
    const Cx<T> inner = S + (S * cm + K * sd);  // sin(2Z + d), or sinh(2Z + d)
    const Cx<T> p = inner * sd;
    return COSH ? conj(p) + l.dc : Cx<T>{l.dc.re - p.re, l.dc.im - p.im};
}

// der <- -sin(2z) der + derC at the full z (zr, zi): it is z itself at the
// start of each pass, whichever orbit the lane follows (the second one's
// sign flip is undone by the step it precedes, the maps being even).
// Cosh: der <- conj(sinh(2z) der) + derC, and M-Cosh's derY likewise.
template <class T, bool COSH> void derivativeStep(TrigLane<T, COSH> &l, double zr, double zi) {
    double sr, si;
    if (COSH) {
        sinhTwice(zr, zi, sr, si);
        const Cx<T> s2 = lift<T>(Cx<double>{sr, si});
        l.der = conj(s2 * l.der) + l.derC;
        if (l.mKind) l.derY = conj(s2 * l.derY) + l.derYC;
        return;
    }
    minusSinTwice(zr, zi, sr, si);
    l.der = lift<T>(Cx<double>{sr, si}) * l.der + l.derC;
}

template <class T, bool COSH, bool DER = false> struct TrigRule {
    typedef T Value;
    typedef TrigLane<T, COSH> Lane;

    static int start(const DeepEngine &e, Cx<T> d, Lane &l, DeepSample &) {
        const T zero = fromDouble<T>(0.0);
        follow(e, 0, l);
        l.m = l.n = 0;
        l.level = 1;
        l.d = l.dc = Cx<T>{zero, zero};
        const int julia = FRACTAL_TYPE_TABLE[e.ref.type].jKind;
        if (julia)
            l.d = d;
        else
            l.dc = d;
        l.der = Cx<T>{fromDouble<T>(julia ? 1.0 : 0.0), zero};
        l.derC = Cx<T>{fromDouble<T>(julia ? 0.0 : 1.0), zero};
        l.derY = Cx<T>{zero, zero}, l.derYC = Cx<T>{zero, fromDouble<T>(1.0)};  // c's y is i
        l.mKind = !julia;
        return 1;
    }

    static void rebase(const DeepEngine &e, int orbit, const Cx<T> &d, Lane &l) {
        follow(e, orbit, l);
        l.d = d;
        l.m = 0;
    }

    static int advance(const DeepEngine &e, Lane &l, DeepSample &out) {
        const int detail = e.ref.detail;
        if (l.n >= detail) {
            out = DeepSample{detail, 0.0, 0.0, 0.0, 0.0};
            return 1;
        }
        const Cx<T> Z = l.z[l.m];
        const Cx<T> z = Z + l.d;
        const double zr = toDouble(z.re), zi = toDouble(z.im);
        if (!(zr * zr + zi * zi <= 4.0)) {
            out = DeepSample{l.n, zr, zi, 0.0, 0.0};
            if (DER) out.dr = asFloatExp(l.der.re), out.di = asFloatExp(l.der.im);
            if (DER && COSH && l.mKind) out.yr = asFloatExp(l.derY.re), out.yi = asFloatExp(l.derY.im);
            return 1;
        }
        const T size = magnitude1(l.d);
        Cx<T> u;
        if (l.m == l.last || lessMag(magnitude1(z), size)) {
            rebase(e, e.ref.critical, z, l);
        } else if (nearSecond<T, COSH>(Z, l.d, zr, zi, size, u)) {
            rebase(e, e.ref.second, u, l);
        } else if (atValidEntry(l.rEntry, l.m, size)) {
            int length = 0;
            if (const auto *s = blaLookup(*l.table, l.m, size, detail - l.n, &length, &l.level)) {
                applyBlock(*s, l.d, l.dc);
                if (DER) applyBlock(*s, l.der, l.derC);
                if (DER && COSH && l.mKind) applyBlock(*s, l.derY, l.derYC);
                l.m += length, l.n += length;
                return 2;
            }
        }
        l.d = exactStep(l);
        if (DER) derivativeStep(l, zr, zi);
        ++l.m, ++l.n;
        return 0;
    }

    static void finish(const DeepEngine &, const Lane &, DeepSample &) {}
};

template <bool COSH, bool DER = false>
int samples(const DeepEngine &e, const FloatExp *dx, const FloatExp *dy, int count, DeepSample *out,
            const std::atomic<int> *stop) {
    if (e.floatExp) return runLanes<TrigRule<FloatExp, COSH, DER>>(e, dx, dy, count, out, stop);
    return runLanes<TrigRule<double, COSH, DER>>(e, dx, dy, count, out, stop);
}

}  // namespace

int trigSamples(const DeepEngine &e, const FloatExp *dx, const FloatExp *dy, int count, DeepSample *out,
                const std::atomic<int> *stop, int derivative) {
    if (e.ref.rule == COSH_RULE && derivative) return samples<true, true>(e, dx, dy, count, out, stop);
    if (e.ref.rule == COSH_RULE) return samples<true>(e, dx, dy, count, out, stop);
    if (derivative) return samples<false, true>(e, dx, dy, count, out, stop);
    return samples<false>(e, dx, dy, count, out, stop);
}
