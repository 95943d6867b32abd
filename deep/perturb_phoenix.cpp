// M-Phoenix and J-Phoenix against their reference orbit (perturb.h): the
// state is the delta d of z and e of the previous iterate, the constant's
// delta (ds, dt) is real (the plane point's two parts play different roles:
// s shifts, t multiplies the previous iterate).
#include "deep/lanes.h"

namespace {

template <class T> struct PhoenixLane {
    Cx<T> d, e;  // z and the previous iterate less the reference's
    T ds, dt;    // the pixel's s and t less the reference's (0 for the J kind)
    Cx<T> der, derE;  // J-Phoenix: d and e's derivatives with respect to z_0
    const Cx<T> *z;
    const BlaTable<T, BlaPairStep> *table;
    const T *rEntry;
    int m, n, last;
    int level;  // of the last table block
    int index;
};

template <class T> void follow(const DeepEngine &e, int orbit, PhoenixLane<T> &l) {
    l.z = orbitData<T>(e.ref.orbit[orbit]);
    l.table = tableOf<T, BlaPairStep>(e, orbit);
    l.rEntry = entryRadii(l.table);
    l.last = e.ref.orbit[orbit].last;
}

// x * (a real k), complex.
template <class T> Cx<T> times(const Cx<T> &x, T k) { return Cx<T>{x.re * k, x.im * k}; }

// (d, e) through a table block.
template <class T> void applyBlock(const BlaPairStep<T> &s, PhoenixLane<T> &l) {
    const Cx<T> d = s.a[0] * l.d + s.a[1] * l.e + times(s.b[0], l.ds) + times(s.b[1], l.dt);
    l.e = s.a[2] * l.d + s.a[3] * l.e + times(s.b[2], l.ds) + times(s.b[3], l.dt);
    l.d = d;
}

template <class T, bool DER = false> struct PhoenixRule {
    typedef T Value;
    typedef PhoenixLane<T> Lane;

    static int start(const DeepEngine &e, Cx<T> d, Lane &l, DeepSample &) {
        const T zero = fromDouble<T>(0.0);
        follow<T>(e, 0, l);
        l.m = l.n = 0;
        l.level = 1;
        l.d = l.e = Cx<T>{zero, zero};
        l.ds = l.dt = zero;
        l.der = Cx<T>{fromDouble<T>(1.0), zero}, l.derE = Cx<T>{zero, zero};
        if (FRACTAL_TYPE_TABLE[e.ref.type].jKind)
            l.d = d;  // z_0 is the point
        else
            l.ds = d.re, l.dt = d.im;  // (s, t) is the point
        return 1;
    }

    static int advance(const DeepEngine &e, Lane &l, DeepSample &out) {
        const int detail = e.ref.detail;
        const T zero = fromDouble<T>(0.0);
        if (l.n >= detail) {
            out = DeepSample{detail, 0.0, 0.0, 0.0, 0.0};
            return 1;
        }
        Cx<T> Z = l.z[l.m], P = l.m ? l.z[l.m - 1] : Cx<T>{zero, zero};
        const Cx<T> z = Z + l.d, p = P + l.e;
        const double zr = toDouble(z.re), zi = toDouble(z.im);
        if (!(zr * zr + zi * zi <= 4.0)) {
            out = DeepSample{l.n, zr, zi, toDouble(p.re), toDouble(p.im)};
            if (DER) out.dr = asFloatExp(l.der.re), out.di = asFloatExp(l.der.im);
            return 1;
        }
        const T size = magnitude1(l.d) + magnitude1(l.e);
        if (l.m == l.last || lessMag(magnitude1(z) + magnitude1(p), size)) {  // the orbit from (0, 0)
            follow<T>(e, e.ref.critical, l);
            l.d = z, l.e = p;
            l.m = 0;
            Z = P = Cx<T>{zero, zero};
        } else if (atValidEntry(l.rEntry, l.m, size)) {
            int length = 0;
            if (const BlaPairStep<T> *s = blaLookup(*l.table, l.m, size, detail - l.n, &length, &l.level)) {
                if (DER) {  // (der, derE) by the block's A alone: ds, dt are 0
                    const Cx<T> der = s->a[0] * l.der + s->a[1] * l.derE;
                    l.derE = s->a[2] * l.der + s->a[3] * l.derE, l.der = der;
                }
                applyBlock(*s, l);
                l.m += length, l.n += length;
                return 2;
            }
        }
        // (2Z + d) d + T e + dt p + ds, each term the pixel's own
        const T t = fromDouble<T>(e.ref.constant.im);
        const T tr = Z.re * 2.0 + l.d.re, ti = Z.im * 2.0 + l.d.im;
        const Cx<T> d = {tr * l.d.re - ti * l.d.im + t * l.e.re + l.dt * p.re + l.ds,
                         tr * l.d.im + ti * l.d.re + t * l.e.im + l.dt * p.im};
        if (DER) {  // der <- 2 z der + t derE, derE <- der
            const Cx<T> twice = z * l.der, te = times(l.derE, t);
            l.derE = l.der;
            l.der = Cx<T>{twice.re * 2.0 + te.re, twice.im * 2.0 + te.im};
        }
        l.e = l.d, l.d = d;
        ++l.m, ++l.n;
        return 0;
    }

    static void finish(const DeepEngine &, const Lane &, DeepSample &) {}
};

}  // namespace

int phoenixSamples(const DeepEngine &e, const FloatExp *dx, const FloatExp *dy, int count, DeepSample *out,
                   const std::atomic<int> *stop, int derivative) {
    if (derivative && FRACTAL_TYPE_TABLE[e.ref.type].jKind)
        return e.floatExp ? runLanes<PhoenixRule<FloatExp, true>>(e, dx, dy, count, out, stop)
                          : runLanes<PhoenixRule<double, true>>(e, dx, dy, count, out, stop);
    if (e.floatExp) return runLanes<PhoenixRule<FloatExp>>(e, dx, dy, count, out, stop);
    return runLanes<PhoenixRule<double>>(e, dx, dy, count, out, stop);
}
