// perturb.h - the deep engine: escape counts of points at any depth, each
// iterated as a small delta from one reference orbit.
//
//   DeepEngine e;
//   e.approximation = 1;
//   if (prepareDeepEngine(loc, cells, reach, stop, progress, ctx, e) == REFERENCE_STOPPED) ...
//   DeepSample s = deepSample(e, dx, dy);   // the point centre + (dx, dy)
//   s.count   0..detail: the escape count, as the plain double loop counts
//   s.zr, zi  the first iterate that failed the escape test (count < detail)
//   s.pr, pi  Phoenix: the iterate before it (0 when count is 0); else 0
//
// prepareDeepEngine computes the reference orbits at the location's centre
// (reference.h) and, when `approximation` is set, their tables (bla.h) for
// points up to `reach` from the centre; after that the engine is read only
// and deepSample may run on any number of threads at once. One engine serves
// every picture whose points lie within `reach` of its centre (several
// frames, sub-samples of a cell): offsets are FloatExp pairs from the
// reference's centre.
//
// The loop, for a delta dw of w (reference.h) against orbit o at step m:
//   z = Z_m + dw; a failed escape test ends it with the count n;
//   rebase: when |z| < |dw| (as |re| + |im|), or Z_m is the orbit's last
//     value, continue from the critical orbit's start (which is 0) with
//     dw = z, m = 0: the pixel is nearer the critical point than to the
//     reference, so the reference no longer describes it; with this no
//     glitches are left to detect and no second reference is needed (the
//     J kinds keep a second orbit only because their centre's orbit does
//     not start at the critical point);
//   skip: where m is a multiple of BLA_ENTRY_STEPS and the block of that
//     length is valid, the longest valid table blocks from m (bla.h), or
//     else one exact step dw = (2 Z_m + dw) dw + dc.
// The other rules keep that shape, each with its own exact step:
//   Phoenix  the state is the delta d of z and e of the previous iterate
//     (P_m = Z_m-1): d' = (2 Z_m + d) d + T e + dt p + ds, e' = d, where p
//     = P_m + e is the pixel's previous iterate and (ds, dt) its constant
//     less the reference's (T the reference's t; dt multiplies p whole,
//     never added to T, where it would be lost). The map has no critical
//     point (it is invertible while t is not 0), so the rebase is to the
//     orbit from (0, 0) with (d, e) = (z, p), when |z| + |p| < |d| + |e|
//     or at the orbit's last value: it never makes the delta larger.
//   Cosine  d' = -sin(2 Z_m + d) sin d + dc, the difference of the squared
//     cosines with nothing to cancel for a tiny d, sin(2 Z_m + d) taken as
//     S_m + (S_m (cos d - 1) + K_m sin d) from the reference's MPFR values
//     (reference.h) and sin d, cos d - 1 from their series
//     (trig_delta.h: + - * only, so the same bits on every processor).
//   Cosh  d' = conj(sinh(2 Z_m + d) sinh d) + dc, likewise.
//   Both rebase to the critical orbit from 0 as above, and to the second
//     critical orbit (from pi/2, or i pi/2) when z is nearer +-pi/2 (or
//     +-i pi/2) than |d|: d = +-(z -+ pi/2), the sign by the evenness of
//     the maps. Those are all the critical points inside the escape
//     radius, so, as for the quadratic rule, no glitch is left to detect
//     and no reference beyond those orbits is needed.
// Captured orbits (cycle_proof.h), Mandelbrot, Julia and the Dragons: a
// sample is tried where its w is back near 0 and ends with count detail
// once its orbit is proven never to escape: at a rebase (a cycle tried
// only when its period divides the steps since the last rebase) and, when
// the critical orbit lies on a cycle itself (a reference at a nucleus),
// every e.cycleStride steps from where the orbit followed first comes that
// near 0. A failed try waits until n has grown by half; at the stride
// points, an orbit found outside the cycle's domain and farther out than
// at its last return is on its way out and is not tried again. The vector
// path makes a pass special only for a try that is due, so an orbit that
// is not captured pays for a few tries at most. Every path holds the same
// state there and so gets the same answer. `exhaustive` turns it off.
// Deltas are doubles, or FloatExp for locations narrower than
// DEEP_DOUBLE_WIDTH, where the cell spacing and its products with small
// reference values leave the range of normal doubles. deepSamples runs
// doubles eight to an AVX-512 vector, or four to an AVX2 one, where the
// processor has it (DeepEngine::vectorLanes narrows the choice), with the
// same bits as the portable loop, tables and rebasing included: Mandelbrot,
// Julia and the Dragons only (vector_passes.h); the other rules' loops are
// portable.
//
// Derivatives (deepSamples's `derivative`): Mandelbrot, Julia and the
// Dragons track dz = d(dw)/d(point) beside dw (the reference does not
// depend on the point, so it is the derivative of w itself), in T like dw,
// with k = d(dc)/d(point): a step dz' = 2 w dz + k, a table block
// dz' = A dz + B k for dw' = A dw + B dc; a rebase keeps it. k is 1 for
// Mandelbrot, 1/2 - L/2 for M-Dragon (w_0 = 0), 0 for the J kinds, which
// start from dz = 1 (Julia) or -L (J-Dragon). A Dragon's escaping dz is
// turned into z's as its w is. J-Phoenix tracks the pair (dz, de) by its
// chain rule (colour/distance.h) and through its tables' A; the cosines
// dz' = -sin(2z) dz + k, sin 2z from z in doubles (the tables as above);
// J-Cosh dz' = conj(sinh(2z) dz), and A dz through its blocks (complex
// linear: each block has an even number of steps).
// The vector paths track it too (Mandelbrot, Julia, the Dragons in doubles),
// with the portable loop's operations: the same bits either way, and the
// counts and ends the same bits as without. M-Phoenix and M-Cosh, not
// analytic in the point, track a second derivative along the imaginary
// axis (DeepSample yr, yi): k is 1 along x and, along y, i for M-Cosh and
// M-Phoenix's previous iterate p (t multiplies it), B's second column
// through Phoenix's blocks.
//
// Layer: deep.
#ifndef QUORVEX_DEEP_PERTURB_H
#define QUORVEX_DEEP_PERTURB_H

#include "deep/engine.h"

#define DEEP_DOUBLE_WIDTH "1e-280"

ReferenceResult prepareDeepEngine(const DeepLocation &loc, int cells, FloatExp reach,
                                  const std::atomic<int> *stop, ReferenceProgress progress, void *context,
                                  DeepEngine &e);

// The same in two steps, for several pictures against one reference (the
// frames of a dive): computeReference into e.ref (reference.h), asking for
// the FloatExp copy when any of the pictures needs it, then for each
// picture its tables: points up to `reach` from the reference's centre, in
// FloatExp when `floatExp`. 0 when `stop` ended the building.
int prepareDeepTables(DeepEngine &e, FloatExp reach, int floatExp, const std::atomic<int> *stop);

// 1 when a picture of this location's width needs FloatExp deltas.
int deepNeedsFloatExp(const DeepLocation &loc);

DeepSample deepSample(const DeepEngine &e, FloatExp dx, FloatExp dy);

// Many points at once (faster than one by one, the more the better): point
// k is centre + (dx[k], dy[k]), its result goes to out[k]. `stop` (may be
// null) is polled whenever a point is finished: once it is set no point is
// started, and the result is 0 with some of `out` not filled; 1 otherwise.
// `derivative`: fill each sample's dr, di too.
int deepSamples(const DeepEngine &e, const FloatExp *dx, const FloatExp *dy, int count, DeepSample *out,
                const std::atomic<int> *stop = nullptr, int derivative = 0);

#endif
