// quadratic_lane.h - one sample of the quadratic rule (Mandelbrot, Julia,
// the Dragons) in the middle of its loop, and its pass: what the portable
// loop (perturb.cpp) and the vector paths (perturb_avx2.cpp,
// perturb_avx512.cpp) share, so that every path takes its special passes
// through the one `advance`.
//
//   Lane<double> l;
//   if (startLane<double>(e, d, l, out)) ...      set up; 0: out is the answer
//   while ((r = advance<double, DRAGON, DER>(e, l, out)) != 1) ...
//   if (DRAGON && out.count < detail) dragonZ(l.test, out, DER, mKind);
//
// The vector files include it before their target pragma: so this code is
// compiled for the processor's baseline everywhere, and a vector path's
// special passes are the portable loop's own code (a wider instruction set
// would let the compiler fuse a complex product into a multiply-add, which
// rounds once instead of twice). LaneBatch below is their side of it.
//
// Layer: deep.
#ifndef QUORVEX_DEEP_QUADRATIC_LANE_H
#define QUORVEX_DEEP_QUADRATIC_LANE_H

#include <limits.h>
#include <stdint.h>

#include "core/fractal_types.h"
#include "deep/lanes.h"

// The escape test on w: (h - w)^2 > limit, with h = 0 and limit 4 for
// Mandelbrot and Julia, h = L/2 and limit 4 |L|^2 for the Dragons.
struct EscapeTest {
    double hr, hi, limit;
};

// One sample point in the middle of its loop.
template <class T> struct Lane {
    Cx<T> dw, dc;
    Cx<T> der;   // d(dw)/d(point), when asked for
    Cx<T> derC;  // d(dc)/d(point): what each step adds to der
    EscapeTest test;
    const Cx<T> *z;  // the orbit it follows
    const BlaTable<T> *table;
    const T *rEntry;  // its radii of level BLA_ENTRY_LEVEL, or null
    int m, n, last;
    int level;  // of the last table block
    int index;  // the sample it works on, -1 when idle
    int nearAt;    // n at the last rebase
    int tryAfter;  // no cycle proof tried before n reaches this
    int tryAt;     // the next m where one is tried without a rebase
    int tryFrom;   // the first such m of the orbit it follows, -1 for none
    double away;   // |w| at the last such m where it lay outside the cycle's domain, or 0
};

// Where the orbit is back near 0, its state w = z (within `slack` of the
// exact one): true when it is proven never to escape (cycle_proof.h). A
// failed try puts the next one off until n has grown by half, so an orbit
// that only seemed captured pays for a few tries at most; one on its way
// out of every cycle's domain is not tried again.
template <class T> inline bool captured(const DeepEngine &e, Lane<T> &l, const Cx<T> &z, int since, FloatExp slack) {
    if (e.cycles.empty() || l.n < l.tryAfter) return false;
    const Cx<FloatExp> w = {asFloatExp(z.re), asFloatExp(z.im)}, dc = {asFloatExp(l.dc.re), asFloatExp(l.dc.im)};
    const int proven = cycleCaptured(e.cycles, w, dc, since, slack);
    if (proven == 0) l.tryAfter = l.n + l.n / 2 + 1;
    if (proven == -2) l.tryAfter = INT_MAX;
    return proven == 1;
}

// At a rebase (m = 0, dw = z exactly).
template <class T> inline bool capturedAtRebase(const DeepEngine &e, Lane<T> &l, const Cx<T> &z) {
    const int since = l.n - l.nearAt;
    l.nearAt = l.n;
    return captured(e, l, z, since, FloatExp::zero());
}

// Where the orbit it follows is as near 0 as Z_0 (every e.cycleStride
// steps from l.tryFrom, cycleStride's model's period), the state is
// z = Z_m + dw, within the rounding of that sum and of Z_m. Tried only
// there, and not before n reaches tryAfter: no pass is made special
// (perturb.h's vector path) but for a try.
template <class T> inline void scheduleTry(const DeepEngine &e, Lane<T> &l) {
    if (l.tryFrom < 0) {
        l.tryAt = INT_MAX;
        return;
    }
    const long p = e.cycleStride, wait = l.tryAfter > l.n ? l.tryAfter - l.n : 0;
    const long from = l.m + 1 + wait > l.tryFrom ? l.m + 1 + wait : l.tryFrom;
    const long at = l.tryFrom + (from - l.tryFrom + p - 1) / p * p;
    l.tryAt = at < INT_MAX ? (int)at : INT_MAX;
}

template <class T> inline bool capturedAtStride(const DeepEngine &e, Lane<T> &l, const Cx<T> &Z, const Cx<T> &z) {
    bool proven = false;
    if (l.m == l.tryAt) {
        // Outside the cycle's domain there is nothing to try; an orbit
        // found farther out than at its last return is on its way out of
        // the cycle's reach, and is not tried again. (0 below the doubles'
        // range: then every due try is made.)
        const double away = toDouble(magnitude1(z));
        if (away > 0.0 && !(away < e.strideReach)) {
            if (away > l.away && l.away > 0.0) l.tryAfter = INT_MAX;
            l.away = away;
        } else {
            const FloatExp slack = (magnitude1(Cx<FloatExp>{asFloatExp(Z.re), asFloatExp(Z.im)}) +
                                    magnitude1(Cx<FloatExp>{asFloatExp(z.re), asFloatExp(z.im)})) * 0x1p-51;
            proven = captured(e, l, z, e.cycleStride, slack);
        }
    }
    if (!proven) scheduleTry(e, l);
    return proven;
}

template <class T> inline void follow(const DeepEngine &e, int orbit, Lane<T> &l) {
    l.z = orbitData<T>(e.ref.orbit[orbit]);
    l.table = tableOf<T, BlaStep>(e, orbit);
    l.rEntry = entryRadii(l.table);
    l.last = e.ref.orbit[orbit].last;
    l.tryFrom = e.cycleStride ? e.strideFrom[orbit] : -1;
}

// One pass of the loop (perturb.h): 1 when the sample is finished, its
// count and escaping w in `out`; 2 after a table block; 0 after a step.
// DRAGON: the escape test reads L/2 - w. DER: der goes along (perturb.h).
template <class T, bool DRAGON, bool DER = false>
inline __attribute__((always_inline)) int advance(const DeepEngine &e, Lane<T> &l, DeepSample &out) {
    const int detail = e.ref.detail;
    if (l.n >= detail) {
        out = DeepSample{detail, 0.0, 0.0, 0.0, 0.0};
        return 1;
    }
    Cx<T> Z = l.z[l.m];
    const Cx<T> z = Z + l.dw;
    const double zr = toDouble(z.re), zi = toDouble(z.im);
    const double vr = DRAGON ? l.test.hr - zr : zr, vi = DRAGON ? l.test.hi - zi : zi;
    const double v = vr * vr + vi * vi;
    if (!(v <= l.test.limit)) {
        out = DeepSample{l.n, zr, zi, 0.0, 0.0};
        if (DER) out.dr = asFloatExp(l.der.re), out.di = asFloatExp(l.der.im);
        return 1;
    }
    if (l.m >= l.tryAt && capturedAtStride(e, l, Z, z)) {
        out = DeepSample{detail, 0.0, 0.0, 0.0, 0.0};
        return 1;
    }
    const T dwSize = magnitude1(l.dw);
    if (l.m == l.last || lessMag(magnitude1(z), dwSize)) {  // the critical orbit starts at 0
        follow<T>(e, e.ref.critical, l);
        l.dw = z;
        l.m = 0;
        if (capturedAtRebase(e, l, z)) {
            out = DeepSample{detail, 0.0, 0.0, 0.0, 0.0};
            return 1;
        }
        scheduleTry(e, l);
        Z = Cx<T>{fromDouble<T>(0.0), fromDouble<T>(0.0)};
    } else if (l.rEntry && !(l.m & (BLA_ENTRY_STEPS - 1)) && lessMag(dwSize, l.rEntry[l.m >> BLA_ENTRY_LEVEL])) {
        int length = 0;
        if (const BlaStep<T> *s = blaLookup(*l.table, l.m, dwSize, detail - l.n, &length, &l.level)) {
            l.dw = s->a * l.dw + s->b * l.dc;
            if (DER) l.der = s->a * l.der + s->b * l.derC;
            l.m += length, l.n += length;
            return 2;
        }
    }
    const T tr = Z.re * 2.0 + l.dw.re, ti = Z.im * 2.0 + l.dw.im;
    if (DER) {  // 2 z der + derC, z = Z + dw here even after a rebase
        const Cx<T> twice = l.der * z;
        l.der = Cx<T>{twice.re * 2.0 + l.derC.re, twice.im * 2.0 + l.derC.im};
    }
    l.dw = Cx<T>{tr * l.dw.re - ti * l.dw.im + l.dc.re, tr * l.dw.im + ti * l.dw.re + l.dc.im};
    ++l.m, ++l.n;
    return 0;
}

// Sets up the lane of the point centre + d: w's delta and c's delta for the
// type. 0 when the answer is known at once (it is then in `out`).
template <class T> inline int startLane(const DeepEngine &e, Cx<T> d, Lane<T> &l, DeepSample &out) {
    const DeepReference &ref = e.ref;
    const T zero = fromDouble<T>(0.0);
    const Cx<double> dd = {toDouble(d.re), toDouble(d.im)};
    follow<T>(e, 0, l);
    l.m = l.n = 0;
    l.level = 1;
    l.nearAt = l.tryAfter = 0;
    l.away = 0.0;
    scheduleTry(e, l);
    l.test = EscapeTest{0.0, 0.0, 4.0};
    l.dw = l.dc = Cx<T>{zero, zero};
    const int julia = FRACTAL_TYPE_TABLE[ref.type].jKind;
    l.der = Cx<T>{fromDouble<T>(julia ? 1.0 : 0.0), zero};  // d(dw)/d(point) at the start
    l.derC = Cx<T>{fromDouble<T>(julia ? 0.0 : 1.0), zero};
    if (!ref.dragon) {  // w = z: the point is z_0 (J kinds) or c (M kinds)
        if (julia) l.dw = d;
        else l.dc = d;
        return 1;
    }
    // The Dragons: c = L/2 - L^2/4 and w = L (1/2 - z).
    Cx<double> lambda = ref.lambda;
    if (!julia) {  // dc = d (1/2 - L/2 - d/4)
        lambda = Cx<double>{lambda.re + dd.re, lambda.im + dd.im};
        const Cx<T> k = lift<T>(Cx<double>{0.5 - ref.lambda.re * 0.5, -ref.lambda.im * 0.5});
        l.dc = d * Cx<T>{k.re - d.re * 0.25, k.im - d.im * 0.25};
        l.derC = Cx<T>{k.re - d.re * 0.5, k.im - d.im * 0.5};  // w_0 = 0
    } else if (lambda.re == 0.0 && lambda.im == 0.0) {  // z_1 = 0 for every start: only z_0 can escape
        const double zr = ref.centre.re + dd.re, zi = ref.centre.im + dd.im;
        out = zr * zr + zi * zi <= 4.0 ? DeepSample{ref.detail, 0, 0, 0, 0} : DeepSample{0, zr, zi, 0, 0};
        return 0;
    } else {  // dw = -L d
        const Cx<T> p = lift<T>(lambda) * d;
        l.dw = Cx<T>{-p.re, -p.im};
        l.der = lift<T>(Cx<double>{-lambda.re, -lambda.im});
    }
    l.test = EscapeTest{lambda.re * 0.5, lambda.im * 0.5, 4.0 * (lambda.re * lambda.re + lambda.im * lambda.im)};
    return 1;
}

// The Dragons' z = 1/2 - w / L from the escaping w, and with `der`
// dz = (dL (1/2 - z) - dw) / L from its derivative (dL = 1 for M-Dragon).
inline void dragonZ(const EscapeTest &test, DeepSample &s, bool der = false, bool mKind = false) {
    const double lr = 2.0 * test.hr, li = 2.0 * test.hi, n = lr * lr + li * li;
    const double qr = (s.zr * lr + s.zi * li) / n, qi = (s.zi * lr - s.zr * li) / n;
    s.zr = 0.5 - qr, s.zi = -qi;
    if (!der) return;
    const FloatExp ur = mKind ? FloatExp::of(0.5 - s.zr) - s.dr : -s.dr;
    const FloatExp ui = mKind ? FloatExp::of(-s.zi) - s.di : -s.di;
    s.dr = (ur * lr + ui * li) * (1.0 / n), s.di = (ui * lr - ur * li) * (1.0 / n);
}

// ---- the vector paths' lanes (vector_passes.h) ----

// An idle lane (its batch has no sample left for it) walks these zeros:
// never an escape, a rebase or a table entry; its pass at their end is
// special, and starts them again. So the vectors need not ask which lanes
// are busy.
enum { IDLE_STEPS = 1024 };
inline const Cx<double> *idleOrbit() {
    static const Cx<double> zeros[IDLE_STEPS + 1] = {};
    return zeros;
}

// Each lane's values where the vectors load them from and store them to;
// integers and addresses as 64-bit lanes.
template <int L> struct alignas(64) LaneArrays {
    double dwr[L], dwi[L], dcr[L], dci[L], hr[L], hi[L], limit[L];
    double derr[L], deri[L], dkr[L], dki[L];  // DER: der and derC
    long long zAt[L], rAt[L], m[L];
    long long stopAt[L];  // a pass is special when m + 1 > stopAt: the orbit's last value, the limit, a try
};

// The samples of a batch in L lanes. The vectors keep dw, der and m while
// they step; `special` takes the passes they leave to `advance`.
template <int L, bool DRAGON, bool DER> struct LaneBatch {
    const DeepEngine &e;
    const FloatExp *dx, *dy;
    int count;
    DeepSample *out;
    const std::atomic<int> *stop;
    Lane<double> lane[L];
    LaneArrays<L> a;
    int next, busy, stopped;

    LaneBatch(const DeepEngine &engine, const FloatExp *x, const FloatExp *y, int n, DeepSample *o,
              const std::atomic<int> *s)
        : e(engine), dx(x), dy(y), count(n), out(o), stop(s), next(0), busy(0), stopped(0) {}

    __attribute__((noinline)) void begin() {
        for (int k = 0; k < L; ++k) fill(k);
    }

    // The passes of the lanes named in `lanes` (bits), after the vectors' dw,
    // der and m were stored to `a`.
    __attribute__((noinline)) void special(int lanes) {
        const int detail = e.ref.detail;
        for (int k = 0; lanes >> k; ++k) {
            if (!(lanes >> k & 1)) continue;
            Lane<double> &l = lane[k];
            if (l.index < 0) {  // an idle lane at the end of its zeros
                fill(k);
                continue;
            }
            l.dw = Cx<double>{a.dwr[k], a.dwi[k]};
            if (DER) l.der = Cx<double>{a.derr[k], a.deri[k]};
            l.n += (int)a.m[k] - l.m, l.m = (int)a.m[k];
            int r;
            while ((r = advance<double, DRAGON, DER>(e, l, out[l.index])) == 2) {}  // a run of blocks at once
            if (r == 1) {
                if (DRAGON && out[l.index].count < detail)
                    dragonZ(l.test, out[l.index], DER, !FRACTAL_TYPE_TABLE[e.ref.type].jKind);
                --busy;
                fill(k);
            } else {
                toArrays(k);
            }
        }
    }

    void toArrays(int k) {
        const Lane<double> &l = lane[k];
        const int detail = e.ref.detail;
        a.dwr[k] = l.dw.re, a.dwi[k] = l.dw.im, a.dcr[k] = l.dc.re, a.dci[k] = l.dc.im;
        a.derr[k] = l.der.re, a.deri[k] = l.der.im, a.dkr[k] = l.derC.re, a.dki[k] = l.derC.im;
        a.hr[k] = l.test.hr, a.hi[k] = l.test.hi, a.limit[k] = l.test.limit;
        a.zAt[k] = (long long)(uintptr_t)l.z, a.rAt[k] = (long long)(uintptr_t)l.rEntry;
        a.m[k] = l.m;
        a.stopAt[k] = l.last < detail - (l.n - l.m) ? l.last : detail - (l.n - l.m);  // steps move m and n alike
        if (l.tryAt < a.stopAt[k]) a.stopAt[k] = l.tryAt;  // a cycle proof due
    }

    void fill(int k) {
        Lane<double> &l = lane[k];
        l.index = -1;
        if (stop && next < count && stop->load(std::memory_order_relaxed)) stopped = 1, next = count;
        while (next < count && l.index < 0) {
            const Cx<double> d = {dx[next].toDouble(), dy[next].toDouble()};
            if (startLane<double>(e, d, l, out[next])) l.index = next;
            ++next;
        }
        if (l.index >= 0) {
            ++busy;
        } else {
            l.z = idleOrbit(), l.m = l.n = 0, l.last = IDLE_STEPS, l.rEntry = nullptr, l.tryAt = INT_MAX;
            l.dw = l.dc = l.der = l.derC = Cx<double>{0.0, 0.0};
            l.test = EscapeTest{0.0, 0.0, 4.0};
        }
        toArrays(k);
    }
};

#endif
