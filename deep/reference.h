// reference.h - the reference orbits of a deep picture, computed once with
// MPFR and kept as doubles (and, for the deepest pictures, as FloatExp).
//
// Each rule's orbit is kept in the form its perturbation reads
// (perturb.h):
//   Mandelbrot  w = z, w <- w^2 + K, K = c; from 0
//   Julia       w = z, K = p; from the centre
//   M-Dragon    w = L (1/2 - z) with L = c; K = L/2 - L^2/4; from 0
//   J-Dragon    the same with L = p; from p (1/2 - centre)
//               (z <- L z (1 - z) becomes w <- w^2 + K exactly)
//   Phoenix     z <- z^2 + s + t p and p <- z, (s, t) the constant's parts;
//               the M kind from (0, 0), the J kind from (centre, 0). The
//               previous iterate P_m is Z_m-1 (0 at m = 0): nothing more
//               is kept.
//   Cosine      z <- cos^2 z + c, kept with S_m = sin 2Z_m and
//               K_m = cos 2Z_m (in `s` and `k`), which the delta's step
//               reads; cos^2 z = (1 + cos 2z) / 2 gives the next Z
//   Cosh        z <- conj(cosh^2 z) + c, kept with sinh 2Z_m and
//               cosh 2Z_m
// All of it in MPFR at `precision` bits, each kept value rounded once.
//
// A picture has up to three orbits, all with the picture's constant:
// orbit 0 starts where the centre starts; `critical` names the orbit that
// starts at 0 (orbit 0 for the M kinds, orbit 1 for the J kinds), the one a
// pixel rebases to; `second`, for the cosine and cosh types only, the orbit
// from their other critical point, pi/2 (cosine) or i pi/2 (cosh), whose
// value is c (the two maps have period pi, and pi i, and are even, so the
// critical points inside the escape radius are 0, +-pi/2 or +-i pi/2);
// -1 for the other types.
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

#include "core/fractal_types.h"
#include "deep/floatexp.h"
#include "deep/location.h"

enum { DEEP_ORBITS = 3 };

struct ReferenceOrbit {
    std::vector<Cx<double>> z;     // Z_0 .. Z_last, nearest doubles
    std::vector<Cx<FloatExp>> zf;  // the same without a double's range (if asked for)
    // The cosine and cosh types only: sin 2Z and cos 2Z, or sinh 2Z and
    // cosh 2Z, each step's, as z and zf hold Z.
    std::vector<Cx<double>> s, k;
    std::vector<Cx<FloatExp>> sf, kf;
    int last;
    int escaped;
};

struct DeepReference {
    int type, detail;
    FractalRule rule;
    long precision;  // bits
    ReferenceOrbit orbit[DEEP_ORBITS];
    int orbits;              // how many of them are computed
    int critical;            // 0 or 1, see above
    int second;              // 1 or 2 for the cosine and cosh types, else -1
    int dragon;              // the escape test reads L/2 - w
    Cx<double> lambda;       // L of the Dragons at the centre (M) or the pivot (J)
    Cx<double> centre;       // nearest doubles
    Cx<double> constant;     // the picture's constant (Phoenix: s, t), nearest doubles
};

// Z_m of an orbit as T (double, or FloatExp from the exact copy).
template <class T> inline Cx<T> orbitValue(const ReferenceOrbit &o, int m);
template <> inline Cx<double> orbitValue<double>(const ReferenceOrbit &o, int m) { return o.z[(size_t)m]; }
template <> inline Cx<FloatExp> orbitValue<FloatExp>(const ReferenceOrbit &o, int m) { return o.zf[(size_t)m]; }

// The same for the trigonometric values S_m and K_m.
template <class T> inline const Cx<T> *sineData(const ReferenceOrbit &o);
template <> inline const Cx<double> *sineData<double>(const ReferenceOrbit &o) { return o.s.data(); }
template <> inline const Cx<FloatExp> *sineData<FloatExp>(const ReferenceOrbit &o) { return o.sf.data(); }
template <class T> inline const Cx<T> *cosineData(const ReferenceOrbit &o);
template <> inline const Cx<double> *cosineData<double>(const ReferenceOrbit &o) { return o.k.data(); }
template <> inline const Cx<FloatExp> *cosineData<FloatExp>(const ReferenceOrbit &o) { return o.kf.data(); }

enum ReferenceResult { REFERENCE_DONE, REFERENCE_STOPPED };

typedef void (*ReferenceProgress)(int done, int total, void *context);

// 1 for the types the deep engine draws (the `deep` column of
// core/fractal_types.h: every type); 0 for any other value.
int deepTypeSupported(int type);

// 1 for the rules whose orbits carry sin/cos (or sinh/cosh) values.
inline int trigonometricRule(FractalRule r) { return r == M_COSINE_RULE || r == J_COSINE_RULE || r == COSH_RULE; }

long referencePrecision(const DeepLocation &loc, int cells);

// loc.type must be one deepTypeSupported accepts.
ReferenceResult computeReference(const DeepLocation &loc, int cells, int wantFloatExp,
                                 const std::atomic<int> *stop, ReferenceProgress progress, void *context,
                                 DeepReference &ref);

// How many times this process has started computing a reference (for the
// tests and benchmarks of pictures that share one).
long referencesComputed();

#endif
