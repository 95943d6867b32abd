// lanes.h - what the deep engine's portable loops share: a sample's values
// as T (double or FloatExp), its orbit and tables, and the driver that runs
// samples two at a time; and the entry points of the loops in other files.
// Included by the deep engine's own files only (perturb*.cpp).
//
// A rule is a struct the driver is given as a template parameter:
//   typedef ... Value;   double or FloatExp
//   typedef ... Lane;    one sample in the middle of its loop; has `index`
//                        (the sample it works on, -1 when idle)
//   static int start(e, Cx<Value> d, Lane &, DeepSample &out)
//                        sets the lane up for the point centre + d; 0 when
//                        the answer is known at once (it is then in out)
//   static int advance(e, Lane &, DeepSample &out)
//                        one pass: 1 when finished (count and end in out),
//                        2 after a table block, 0 after a step
//   static void finish(e, const Lane &, DeepSample &out)
//                        anything the finished sample needs besides
// The samples run two at a time, one pass of each in turn: their
// dependency chains are independent, so the processor overlaps them (one
// sample's loop alone waits on its own multiplications; a third lane no
// longer fits the registers and is slower).
//
// Layer: deep.
#ifndef QUORVEX_DEEP_LANES_H
#define QUORVEX_DEEP_LANES_H

#include <atomic>

#include "deep/engine.h"

template <class T> T fromFloatExp(FloatExp v);
template <> inline double fromFloatExp<double>(FloatExp v) { return v.toDouble(); }
template <> inline FloatExp fromFloatExp<FloatExp>(FloatExp v) { return v; }

template <class T> inline Cx<T> lift(Cx<double> v) { return Cx<T>{fromDouble<T>(v.re), fromDouble<T>(v.im)}; }

template <class T> const Cx<T> *orbitData(const ReferenceOrbit &o);
template <> inline const Cx<double> *orbitData<double>(const ReferenceOrbit &o) { return o.z.data(); }
template <> inline const Cx<FloatExp> *orbitData<FloatExp>(const ReferenceOrbit &o) { return o.zf.data(); }

// Where the engine keeps the tables of each kind: TablesOf<T, Map>::at.
template <class T, template <class> class Map> struct TablesOf;
#define QUORVEX_TABLES_OF(T, MAP, MEMBER)                                       \
    template <> struct TablesOf<T, MAP> {                                        \
        static constexpr BlaTable<T, MAP>(DeepEngine::*at)[DEEP_ORBITS] = &DeepEngine::MEMBER; \
    };
QUORVEX_TABLES_OF(double, BlaStep, table)
QUORVEX_TABLES_OF(FloatExp, BlaStep, tableF)
QUORVEX_TABLES_OF(double, BlaConjStep, conjTable)
QUORVEX_TABLES_OF(FloatExp, BlaConjStep, conjTableF)
QUORVEX_TABLES_OF(double, BlaPairStep, pairTable)
QUORVEX_TABLES_OF(FloatExp, BlaPairStep, pairTableF)
#undef QUORVEX_TABLES_OF

// Orbit `orbit`'s tables of this kind, or null when they are not used.
template <class T, template <class> class Map> const BlaTable<T, Map> *tableOf(const DeepEngine &e, int orbit) {
    return e.approximation ? &(e.*TablesOf<T, Map>::at)[orbit] : nullptr;
}

// The radii of a table's entry level, where a loop first turns to it; null
// without one.
template <class T, template <class> class Map> const T *entryRadii(const BlaTable<T, Map> *t) {
    return t && t->levels >= BLA_ENTRY_LEVEL ? t->radius.data() + t->first[BLA_ENTRY_LEVEL] : nullptr;
}

// 1 where m is a multiple of the entry length and the entry block is valid
// for a delta of this size.
template <class T> inline bool atValidEntry(const T *rEntry, int m, T size) {
    return rEntry && !(m & (BLA_ENTRY_STEPS - 1)) && lessMag(size, rEntry[m >> BLA_ENTRY_LEVEL]);
}

template <class Rule>
int runLanes(const DeepEngine &e, const FloatExp *dx, const FloatExp *dy, int count, DeepSample *out,
             const std::atomic<int> *stop) {
    typedef typename Rule::Value T;
    typename Rule::Lane a, b;
    int next = 0, busy = 0;
    int stopped = 0;
    auto fill = [&](typename Rule::Lane &l) {
        l.index = -1;
        if (stop && next < count && stop->load(std::memory_order_relaxed)) stopped = 1, next = count;
        while (next < count && l.index < 0) {
            const Cx<T> d = {fromFloatExp<T>(dx[next]), fromFloatExp<T>(dy[next])};
            if (Rule::start(e, d, l, out[next])) l.index = next;
            ++next;
        }
        busy += l.index >= 0;
    };
    auto pass = [&](typename Rule::Lane &l) {
        if (l.index < 0 || Rule::advance(e, l, out[l.index]) != 1) return;
        Rule::finish(e, l, out[l.index]);
        --busy;
        fill(l);
    };
    fill(a), fill(b);
    while (busy > 0) pass(a), pass(b);
    return !stopped;
}

inline FloatExp asFloatExp(double d) { return FloatExp::of(d); }
inline FloatExp asFloatExp(FloatExp f) { return f; }

// The loops of the other rules, portable only (perturb_phoenix.cpp,
// perturb_trig.cpp); deepSamples's arguments.
int phoenixSamples(const DeepEngine &e, const FloatExp *dx, const FloatExp *dy, int count, DeepSample *out,
                   const std::atomic<int> *stop, int derivative);
int trigSamples(const DeepEngine &e, const FloatExp *dx, const FloatExp *dy, int count, DeepSample *out,
                const std::atomic<int> *stop, int derivative);

#if defined(__x86_64__)
// The quadratic rule's loop on vectors of doubles (vector_passes.h), for
// locations whose deltas are doubles; call only where the processor has
// the instruction set (core/cpu_features.h).
int quadraticSamplesAvx2(const DeepEngine &e, const FloatExp *dx, const FloatExp *dy, int count, DeepSample *out,
                         const std::atomic<int> *stop, int derivative);
int quadraticSamplesAvx512(const DeepEngine &e, const FloatExp *dx, const FloatExp *dy, int count, DeepSample *out,
                           const std::atomic<int> *stop, int derivative);
#endif

#endif
