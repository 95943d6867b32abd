// M-Phoenix and J-Phoenix against their reference orbit (perturb.h): the
// state is the delta d of z and e of the previous iterate, the constant's
// delta (ds, dt) is real (the plane point's two parts play different roles:
// s shifts, t multiplies the previous iterate).
#include "deep/lanes.h"

namespace {

template <class T> struct PhoenixLane {
    Cx<T> d, e;  // z and the previous iterate less the reference's
    T ds, dt;    // the pixel's s and t less the reference's (0 for the J kind)
    Cx<T> der, derE;    // d and e's derivatives: with respect to z_0, or M-Phoenix's along x
    Cx<T> derY, derYE;  // M-Phoenix's along y
    int mKind;
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

// (d, e)'s derivative through a block: A, plus B's column `axis` when `add`.
template <class T> void blockDerivative(const BlaPairStep<T> &s, Cx<T> &d, Cx<T> &e, int add, int axis) {
    Cx<T> nd = s.a[0] * d + s.a[1] * e, ne = s.a[2] * d + s.a[3] * e;
    if (add) nd = nd + s.b[axis], ne = ne + s.b[2 + axis];
    d = nd, e = ne;
}

// One exact step of the derivative: d <- 2 z d + t e + plus, e <- d.
template <class T> void exactDerivative(const Cx<T> &z, T t, const Cx<T> &plus, Cx<T> &d, Cx<T> &e) {
    const Cx<T> twice = z * d, te = times(e, t);
    e = d;
    d = Cx<T>{twice.re * 2.0 + te.re + plus.re, twice.im * 2.0 + te.im + plus.im};
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
        l.mKind = !FRACTAL_TYPE_TABLE[e.ref.type].jKind;
        l.der = Cx<T>{fromDouble<T>(l.mKind ? 0.0 : 1.0), zero};
        l.derE = l.derY = l.derYE = Cx<T>{zero, zero};
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
            if (DER) out.yr = asFloatExp(l.derY.re), out.yi = asFloatExp(l.derY.im);
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
                if (DER) {  // (der, derE) by the block's A, and B's column of its axis (M-Phoenix)
                    blockDerivative(*s, l.der, l.derE, l.mKind, 0);
                    if (l.mKind) blockDerivative(*s, l.derY, l.derYE, 1, 1);
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
        if (DER) {  // der <- 2 z der + t derE (+ 1 along x, + p along y), derE <- der
            const T one = fromDouble<T>(l.mKind ? 1.0 : 0.0);
            exactDerivative(z, t + l.dt, Cx<T>{one, zero}, l.der, l.derE);
            if (l.mKind) exactDerivative(z, t + l.dt, p, l.derY, l.derYE);
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
    if (derivative)
        return e.floatExp ? runLanes<PhoenixRule<FloatExp, true>>(e, dx, dy, count, out, stop)
                          : runLanes<PhoenixRule<double, true>>(e, dx, dy, count, out, stop);
    if (e.floatExp) return runLanes<PhoenixRule<FloatExp>>(e, dx, dy, count, out, stop);
    return runLanes<PhoenixRule<double>>(e, dx, dy, count, out, stop);
}
