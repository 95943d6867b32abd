// engine.h - the deep engine's state and its answer for one point, as
// plain data; perturb.h says how they are made and read.
//
// Layer: deep.
#ifndef QUORVEX_DEEP_ENGINE_H
#define QUORVEX_DEEP_ENGINE_H

#include "deep/bla.h"
#include "deep/cycle_proof.h"
#include "deep/reference.h"

struct DeepEngine {
    int approximation = 0;  // set by the caller: use the tables
    int vectorLanes = 0;    // set by the caller: the widest vector path allowed: 0 any, 1 none, 4 AVX2 (to check them)
    int exhaustive = 0;     // set by the caller: no cycle proof (to check it)
    int floatExp = 0;       // set by prepareDeepEngine (or prepareDeepTables)
    DeepReference ref;
    // Each orbit's tables, of the kind its rule takes (bla.h): the
    // quadratic and cosine rules', cosh's, Phoenix's.
    BlaTable<double> table[DEEP_ORBITS];
    BlaTable<FloatExp> tableF[DEEP_ORBITS];
    BlaTable<double, BlaConjStep> conjTable[DEEP_ORBITS];
    BlaTable<FloatExp, BlaConjStep> conjTableF[DEEP_ORBITS];
    BlaTable<double, BlaPairStep> pairTable[DEEP_ORBITS];
    BlaTable<FloatExp, BlaPairStep> pairTableF[DEEP_ORBITS];
    // The critical orbit's cycles (cycle_proof.h): the quadratic rule's.
    std::vector<CycleModel> cycles;
    // The period of one the critical orbit lies on itself (0: none), and
    // each orbit's first step from which every such period is back near 0
    // (-1: none); the places to try the proof without a rebase.
    int cycleStride = 0;
    int strideFrom[DEEP_ORBITS] = {-1, -1, -1};
    double strideReach = 0.0;  // that cycle's domain radius r0 in doubles (0 below their range)
};

struct DeepSample {
    int count;       // 0..detail
    double zr, zi;   // the first iterate that failed the escape test
    double pr, pi;   // Phoenix: the iterate before it; else 0
    // Asked for (deepSamples): that iterate's derivative with respect to
    // the point, in plane units, along the real axis; and along the
    // imaginary axis for M-Phoenix and M-Cosh (0 for the others, whose
    // orbits are analytic or anti-analytic in the point).
    FloatExp dr = FloatExp::zero(), di = FloatExp::zero();
    FloatExp yr = FloatExp::zero(), yi = FloatExp::zero();
};

#endif
