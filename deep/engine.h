// engine.h - the deep engine's state and its answer for one point, as
// plain data; perturb.h says how they are made and read.
//
// Layer: deep.
#ifndef QUORVEX_DEEP_ENGINE_H
#define QUORVEX_DEEP_ENGINE_H

#include "deep/bla.h"
#include "deep/reference.h"

struct DeepEngine {
    int approximation;  // set by the caller: use the tables
    int vectorLanes;    // set by the caller: the widest vector path allowed: 0 any, 1 none, 4 AVX2 (to check them)
    int floatExp;       // set by prepareDeepEngine (or prepareDeepTables)
    DeepReference ref;
    // Each orbit's tables, of the kind its rule takes (bla.h): the
    // quadratic and cosine rules', cosh's, Phoenix's.
    BlaTable<double> table[DEEP_ORBITS];
    BlaTable<FloatExp> tableF[DEEP_ORBITS];
    BlaTable<double, BlaConjStep> conjTable[DEEP_ORBITS];
    BlaTable<FloatExp, BlaConjStep> conjTableF[DEEP_ORBITS];
    BlaTable<double, BlaPairStep> pairTable[DEEP_ORBITS];
    BlaTable<FloatExp, BlaPairStep> pairTableF[DEEP_ORBITS];
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
