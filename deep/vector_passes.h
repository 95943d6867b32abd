// vector_passes.h - the quadratic rule's loop (quadratic_lane.h) on
// vectors of doubles: what perturb_avx2.cpp and perturb_avx512.cpp share.
// Each includes it after its target pragma and supplies V, the operations
// of its vectors (N lanes each; see either file for the list):
//
//   return vectorSamples<Avx2, 2, DRAGON, DER>(e, dx, dy, count, out, stop);
//
// G vectors of N samples run side by side: their dependency chains are
// independent, so the processor overlaps them where one vector alone would
// wait on its own multiplications; but the more lanes, the more often a
// run ends (below), so each instruction set takes the G that measured
// fastest. No FMA: every sum and product rounds as in `advance`, so
// counts, ends and derivatives are the portable loop's bits.
//
// The lanes step in lockstep through runs of plain passes. A pass that is
// anything else for some lane (an escape, a rebase, a valid table entry,
// the orbit's last value or the limit: m + 1 > stopAt) ends the run before
// any lane's step is kept; the lanes it names take that pass through
// `advance` (a run of table blocks at once), the others simply wait, and
// a new run starts. Since no lane steps alone within a run, each lane's
// orbit is read through one pointer set at the run's start, and the pass
// where the last two reasons end the run is known there too.
//
// Everything here has internal linkage: each vector file's copy is
// compiled for its instruction set and must never stand in for another's.
// The lanes' bookkeeping and special passes (LaneBatch, quadratic_lane.h)
// are not here: they are the portable loop's code.
//
// Layer: deep.
#ifndef QUORVEX_DEEP_VECTOR_PASSES_H
#define QUORVEX_DEEP_VECTOR_PASSES_H

#include <stdint.h>

#include "deep/quadratic_lane.h"

namespace {

// What a lane without an entry block reads as its radius: nothing fits.
const double NO_RADIUS = -1.0;

// One vector of lanes in registers. nextR: the radius of each lane's
// next entry block, read every BLA_ENTRY_STEPS passes for all lanes at once
// (each lane meets exactly one entry in that many steps).
template <class V> struct LaneVectors {
    typename V::D dwr, dwi, dcr, dci, limit, hr, hi, derr, deri, dkr, dki, nextR;
    typename V::I m, rAt, stopAt;
};

template <class V, int L>
inline __attribute__((always_inline)) void loadVectors(const LaneArrays<L> &a, int at, LaneVectors<V> &q) {
    q.dwr = V::load(a.dwr + at), q.dwi = V::load(a.dwi + at), q.dcr = V::load(a.dcr + at);
    q.dci = V::load(a.dci + at), q.limit = V::load(a.limit + at);
    q.hr = V::load(a.hr + at), q.hi = V::load(a.hi + at);
    q.derr = V::load(a.derr + at), q.deri = V::load(a.deri + at);
    q.dkr = V::load(a.dkr + at), q.dki = V::load(a.dki + at);
    q.m = V::loadI(a.m + at), q.rAt = V::loadI(a.rAt + at), q.stopAt = V::loadI(a.stopAt + at);
    q.nextR = V::splat(NO_RADIUS);  // read at the run's first pass
}

template <class V, int L>
inline __attribute__((always_inline)) void storeVectors(const LaneVectors<V> &q, int at, LaneArrays<L> &a) {
    V::store(a.dwr + at, q.dwr), V::store(a.dwi + at, q.dwi);
    V::store(a.derr + at, q.derr), V::store(a.deri + at, q.deri);
    V::storeI(a.m + at, q.m);
}

// A step of one vector, kept apart until the run knows it stands.
template <class V> struct Stepped {
    typename V::D dwr, dwi, derr, deri;
};

// One pass of vector q, whose lanes read their orbits at z[k] + 2 i: the
// lanes (bits) for which it is an escape, a rebase or a valid table entry
// (the run's length sees to the orbit's end and the limit); the plain
// step in s.
template <class V, bool DRAGON, bool DER>
inline __attribute__((always_inline)) int plainPass(const LaneVectors<V> &q, const double *const *z, long i,
                                                   Stepped<V> &s) {
    typedef typename V::D D;
    D ZR, ZI;
    V::orbit(z, i, ZR, ZI);
    const D zr = V::add(ZR, q.dwr), zi = V::add(ZI, q.dwi);
    const D vr = DRAGON ? V::sub(q.hr, zr) : zr, vi = DRAGON ? V::sub(q.hi, zi) : zi;
    const D v = V::add(V::mul(vr, vr), V::mul(vi, vi));
    const D dwSize = V::add(V::abs(q.dwr), V::abs(q.dwi)), zSize = V::add(V::abs(zr), V::abs(zi));
    typename V::M odd = V::either(V::nle(v, q.limit), V::lt(zSize, dwSize));
    odd = V::either(odd, V::ltWhere(V::atEntry(q.m), dwSize, q.nextR));
    const D tr = V::add(V::add(ZR, ZR), q.dwr), ti = V::add(V::add(ZI, ZI), q.dwi);
    s.dwr = V::add(V::sub(V::mul(tr, q.dwr), V::mul(ti, q.dwi)), q.dcr);
    s.dwi = V::add(V::add(V::mul(tr, q.dwi), V::mul(ti, q.dwr)), q.dci);
    if (DER) {  // 2 (der z) + derC
        const D pr = V::sub(V::mul(q.derr, zr), V::mul(q.deri, zi));
        const D pi = V::add(V::mul(q.derr, zi), V::mul(q.deri, zr));
        s.derr = V::add(V::add(pr, pr), q.dkr), s.deri = V::add(V::add(pi, pi), q.dki);
    }
    return V::bits(odd);
}

template <class V, bool DER> inline __attribute__((always_inline)) void keep(LaneVectors<V> &q, const Stepped<V> &s) {
    q.dwr = s.dwr, q.dwi = s.dwi, q.m = V::next(q.m);
    if (DER) q.derr = s.derr, q.deri = s.deri;
}

template <class V, int G, bool DRAGON, bool DER>
int vectorSamples(const DeepEngine &e, const FloatExp *dx, const FloatExp *dy, int count, DeepSample *out,
                  const std::atomic<int> *stop) {
    static_assert(G == 1 || G == 2, "one or two vectors in flight");
    enum { N = V::N, L = G * V::N };
    LaneBatch<L, DRAGON, DER> b(e, dx, dy, count, out, stop);
    b.begin();
    LaneVectors<V> q[G];
    Stepped<V> s[G];
    const double *z[L];
    while (b.busy > 0) {
        for (int g = 0; g < G; ++g) loadVectors<V>(b.a, g * N, q[g]);
        // The run ends, at the latest, at the first lane's pass with m + 1 > stopAt.
        long length = b.a.stopAt[0] - b.a.m[0];
        for (int k = 0; k < L; ++k) {
            z[k] = (const double *)(uintptr_t)b.a.zAt[k] + 2 * b.a.m[k];
            length = b.a.stopAt[k] - b.a.m[k] < length ? b.a.stopAt[k] - b.a.m[k] : length;
        }
        int special = 0;
        for (long i = 0; i < length; ++i) {
            if (!(i & (BLA_ENTRY_STEPS - 1)))
                for (int g = 0; g < G; ++g) q[g].nextR = V::nextRadii(q[g].m, q[g].rAt, q[g].stopAt);
            special = plainPass<V, DRAGON, DER>(q[0], z, i, s[0]);
            if (G > 1) special |= plainPass<V, DRAGON, DER>(q[G - 1], z + N, i, s[G - 1]) << N;
            if (special) break;
            keep<V, DER>(q[0], s[0]);
            if (G > 1) keep<V, DER>(q[G - 1], s[G - 1]);
        }
        if (!special)
            for (int g = 0; g < G; ++g) special |= V::bits(V::beyond(q[g].m, q[g].stopAt)) << (g * N);
        for (int g = 0; g < G; ++g) storeVectors<V>(q[g], g * N, b.a);
        b.special(special);
    }
    return !b.stopped;
}

}  // namespace

#endif
