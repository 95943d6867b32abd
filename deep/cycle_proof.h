// cycle_proof.h - a deep pixel whose orbit is proven to be captured by an
// attracting cycle counts `detail` without being stepped to the limit.
//
//   buildCycleModels(ref, orbit, dcMax, models);          // once per picture
//   if (cycleCaptured(models, w, dc, since, slack) == 1)  // w back near 0
//       count = detail;
//
// Inside a minibrot every orbit falls into one attracting cycle that
// passes near the critical point 0, and without this the loop follows it
// to the limit: a million steps of which the tables skip most but never
// the passes near 0, where the delta is not small against the orbit. The
// rule here proves, once a pixel's w is back near 0, that it never
// escapes; where the proof fails the pixel is stepped on as before. A bad
// guess costs time, never a count.
//
// The map. For the quadratic rule w <- w^2 + K (Mandelbrot, Julia, both
// Dragons: reference.h), let F = f^p be p steps from a point w near 0 with
// constant K + dc. Along the critical orbit Z_0 = 0, Z_k+1 = Z_k^2 + K,
// the delta d_k = w_k - Z_k steps exactly as d' = 2 Z_k d + d^2 + dc,
// d_0 = w. A cycle model holds, for w and dc in the domain
//   |w| <= r0,   |dc| <= rc   (r0, rc powers of 2)
// the polynomial of degree two in u = w / r0 and v = dc / rc
//   P(u, v) = c1 u + c2 v + c3 u^2 + c4 u v + c5 v^2
// and a bound E with |d_p - P(u, v)| <= E over the whole domain, found by
// carrying P and E through the p steps (Taylor models): each step's
// terms of degree three and four go into E, bounded by the sums of the
// coefficients' sizes, as does the rounding of the stored Z_k (half a
// double's unit of each part) and of the coefficients' own arithmetic
// (16 units of the terms that make each one). It also checks that every
// w_0 .. w_p of the domain passes the escape test with 2^-30 to spare.
// Sizes are moduli (|x y| = |x| |y|: the sum |re| + |im| would grow a
// bound by up to sqrt 2 a step), and every bound is enlarged by 2^-40 of
// itself after the handful of operations that made it, which covers their
// rounding and that of the moduli.
//
// The proof, for a pixel whose state lies within `slack` of w, with dc:
// for discs D_0 .. D_j (j <= CYCLE_RETURNS) such that
//   (a) every D_i lies inside the domain,
//   (b) F(D_i), that is Z_p + P(D_i, v) with E and Z_p's rounding allowed
//       for, lies inside D_i+1, and D_j inside D_0,
//   (c) D_0 holds the state (w and its slack),
// every point of D_0 .. D_j-1 passes the test for p steps and comes back
// to the next disc, so by induction the orbit never escapes. F over a
// disc of radius r about m is F(m) within
//   (r / r0) (|c1| + |c3| (2 |m / r0| + r / r0) + |c4| |v|)
// plus the rounding of F(m), E and Z_p's rounding.
// The guesses that make (a) and (b) likely: j is the first of
// CYCLE_RETURNS applications of F from w that comes back within twice the
// nearest approach to w; D_0 is centred on the point of F's j-cycle found
// by Newton's method from w, its radius twice the larger of the distance
// to w and what the radii gather over the cycle divided by one less their
// growth (which must be below 0.99). Only (a), (b) and (c) count.
//
// What is taken as exact: the reference's orbit in MPFR, as everywhere in
// the deep engine (its rounding lies 85 bits below a cell and moves every
// pixel alike); the pixel's state as the loop carries it (its count is
// that state's). The tests iterate proven pixels to the limit in MPFR.
//
// Which cycles: the periods at which the critical orbit comes nearer to 0
// than ever before (each minibrot's orbit does, at its period), up to half
// the orbit or CYCLE_MODEL_LONGEST steps, keeping the CYCLE_MODELS longest
// that model well and leaving out multiples of a cycle the orbit itself
// lies on. r0 starts at 8 / |2Z_1 .. 2Z_p-1| (the renormalised map's
// scale: its bounded orbits lie within 2 of 0) and halves, up to twelve
// times, until E stays within 2^-8 of P's size on the way and ends within
// 2^-12 of r0, and every point passes the test; rc is the power of 2
// above the picture's dcMax.
//
// Only the quadratic rule is proven. Phoenix's map has no critical point
// to come back to, and the cosine and cosh rules' orbits pass near their
// critical points through series this bound does not cover.
//
// Layer: deep.
#ifndef QUORVEX_DEEP_CYCLE_PROOF_H
#define QUORVEX_DEEP_CYCLE_PROOF_H

#include <vector>

#include "deep/floatexp.h"
#include "deep/reference.h"

enum { CYCLE_MODELS = 8 };
// The longest cycle of F tried: a minibrot's own bulbs of low period.
enum { CYCLE_RETURNS = 16 };
// A model costs about 30 wide-exponent operations a step to build.
enum { CYCLE_MODEL_LONGEST = 1 << 22 };

struct CycleModel {
    int period;
    FloatExp r0, rc;  // the domain (rc 0 when dc is 0 for every pixel)
    Cx<FloatExp> c[5];
    FloatExp err;     // E
    Cx<FloatExp> zp;  // Z_p as stored
    FloatExp zpErr;   // its rounding
    // For the tries: the coefficients' moduli, and in doubles, in units
    // of r0 (F(r0 u) / r0 for the guesses), the coefficients and Z_p.
    FloatExp size[5];
    Cx<double> unit[5], zpUnit;
};

// The models of the critical orbit `orbit` of a quadratic-rule reference
// for pixels whose |re dc| + |im dc| stay within dcMax. Empty for the
// other rules, or when no period models well.
void buildCycleModels(const DeepReference &ref, int orbit, FloatExp dcMax, std::vector<CycleModel> &models);

// 1 only when the orbit of the point w (its delta from the critical
// orbit's start, 0) with constant K + dc provably never escapes; 0 when
// that was tried and not proven, -1 when nothing was tried, -2 when every
// cycle tried takes the orbit out of its domain (it will not be captured
// by them: no use trying again). Only the
// cycles whose period divides `since` are tried: the steps since the
// orbit was last this near 0, a multiple of its cycle's once it has one.
// `slack`: the exact state lies within this of w.
int cycleCaptured(const std::vector<CycleModel> &models, Cx<FloatExp> w, Cx<FloatExp> dc, int since,
                  FloatExp slack);

// Tests and benchmarks: every try and its outcome (null: none, the
// default). Set only while no picture is being computed.
typedef void (*CycleWatcher)(bool proven);
void watchCycleTries(CycleWatcher watcher);

#endif
