// reference.h - the reference orbits of a deep picture, computed once with
// MPFR and kept as doubles (and, for the deepest pictures, as FloatExp).
//
// Every type the deep engine draws is iterated as w <- w^2 + K:
//   Mandelbrot  w = z, K = c; from 0
//   Julia       w = z, K = p; from the centre (and a second orbit from 0)
//   M-Dragon    w = L (1/2 - z) with L = c; K = L/2 - L^2/4; from 0
//   J-Dragon    the same with L = p; from p (1/2 - centre) (and from 0)
// (z <- L z (1 - z) becomes w <- w^2 + K exactly under that change.)
// Orbit 0 starts where the picture's centre starts; `critical` names the
// orbit that starts at 0, the one a pixel rebases to: orbit 0 for the M
// kinds, orbit 1 for the J kinds.
//
// An orbit holds Z_0 .. Z_last: it ends at the first Z whose escape test
// fails (`escaped`) or at Z_detail. The escape test is the program's, on z:
// |z|^2 > 4, which for the Dragons reads |L/2 - w|^2 > 4 |L|^2.
//
//   DeepReference ref;
//   if (computeReference(loc, cells, wantFloatExp, stop, progress, ctx, ref)
//           == REFERENCE_STOPPED) ...
//
// The precision (referencePrecision) is enough bits for the larger of the
// centre's and the pivot's magnitudes plus the cell spacing (width / cells)
// plus 85 bits: the orbit's own rounding stays far below a double's
// rounding of the smallest delta.
// `stop` is polled, and `progress` called with (steps done, steps in all),
// every few thousand steps: a stop returns REFERENCE_STOPPED promptly.
//
// Layer: deep.
#ifndef QUORVEX_DEEP_REFERENCE_H
#define QUORVEX_DEEP_REFERENCE_H

#include <atomic>
#include <vector>

#include "deep/floatexp.h"
#include "deep/location.h"

struct ReferenceOrbit {
    std::vector<Cx<double>> z;     // Z_0 .. Z_last, nearest doubles
    std::vector<Cx<FloatExp>> zf;  // the same without a double's range (if asked for)
    int last;
    int escaped;
};

struct DeepReference {
    int type, detail;
    long precision;  // bits
    ReferenceOrbit orbit[2];
    int critical;            // 0 or 1, see above
    int dragon;              // the escape test reads L/2 - w
    Cx<double> lambda;       // L of the Dragons at the centre (M) or the pivot (J)
    Cx<double> centre;       // nearest doubles
};

// Z_m of an orbit as T (double, or FloatExp from the exact copy).
template <class T> inline Cx<T> orbitValue(const ReferenceOrbit &o, int m);
template <> inline Cx<double> orbitValue<double>(const ReferenceOrbit &o, int m) { return o.z[(size_t)m]; }
template <> inline Cx<FloatExp> orbitValue<FloatExp>(const ReferenceOrbit &o, int m) { return o.zf[(size_t)m]; }

enum ReferenceResult { REFERENCE_DONE, REFERENCE_STOPPED };

typedef void (*ReferenceProgress)(int done, int total, void *context);

// 1 for the types the deep engine draws (the `deep` column of
// core/fractal_types.h: Mandelbrot, Julia and the Dragons); 0 for any other
// value.
int deepTypeSupported(int type);

long referencePrecision(const DeepLocation &loc, int cells);

// loc.type must be one deepTypeSupported accepts.
ReferenceResult computeReference(const DeepLocation &loc, int cells, int wantFloatExp,
                                 const std::atomic<int> *stop, ReferenceProgress progress, void *context,
                                 DeepReference &ref);

// How many times this process has started computing a reference (for the
// tests and benchmarks of pictures that share one).
long referencesComputed();

#endif
