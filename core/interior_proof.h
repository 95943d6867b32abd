// interior_proof.h - a cell whose double orbit is proven to be captured by
// an attracting cycle counts `detail` without being iterated to the limit.
//
//   CaptureTry t = {zr, zi, pr, pi, cr, ci, distance, lag, room, lanes};
//   if (captureProven(rule, t))
//       count = limit;                           // exactly the plain loop's count
//   else
//       near = distance / CAPTURE_SHRINK;        // try again once it comes closer
//
// The rule. The plain loop (core/kernels_plain.h) maps its state, z (for
// Phoenix the pair z, z_n-1), by a map F made of IEEE double operations,
// so F depends on the state alone. Let z_n be a state whose predecessors
// all passed the test, and D_0 .. D_p discs (for Phoenix, pairs of discs)
// with z_n in D_0 such that
//   (a) F maps every double point of D_k into D_k+1 (k < p), and D_p lies
//       inside D_0;
//   (b) every double point of D_0 .. D_p-1 passes the test.
// Then by induction z_n+jp+k lies in D_k for every j >= 0 and k < p, every
// later iterate passes the test, and the plain loop runs to the limit: the
// count is `detail`. The cycle, its period and the size of the discs are
// only guesses that make (a) and (b) likely; what is checked is (a) and
// (b), and a cell for which either fails is iterated on as before. A bad
// guess costs time, never a count.
//
// (a), ball arithmetic along the orbit: D_k = D(m_k, r_k) with m_k the
// iterate z_n+k itself, computed by the plain loop's own step
// (core/kernel_steps.h). For a double w in D(m, r), with f the map in exact
// arithmetic,
//   |F(w) - F(m)| <= |F(w) - f(w)| + |f(w) - f(m)| + |f(m) - F(m)|.
// The middle term: z^2 + c moves by |w^2 - m^2| <= r (2|m| + r);
// lambda z (1 - z) by |lambda| r (|1 - 2m| + r); Phoenix's z by
// r (2|m| + r) + |t| rho, rho the radius of the previous iterate's disc,
// while its previous iterate goes to D(m, r) itself. The outer terms are
// the rounding of a step: each operation gives (a o b)(1 + d) + e with
// |d| <= u = 2^-53, and |e| <= 2^-1075 only for a product that underflows,
// so a step (at most thirteen operations) is off by less than
//   z^2 + c            6u|w|^2 + 2u (|cr| + |ci|)
//   lambda z (1 - z)   24u (|lr| + |li|) (|w|^2 + |w|)
//   Phoenix            7u|w|^2 + 3u|s| + 6u|t||w_n-1|
// plus 2^-1060, with |w| <= |m| + r. The sum of the three terms is r_k+1.
// Every bound is computed in doubles from non-negative terms and then
// enlarged to x (1 + 2^-48) + 2^-1000, which covers the rounding of the
// operations that computed it, so it stays an upper bound. D_p lies inside
// D_0 when |m_p - m_0| + r_p <= r_0, the distance bounded the same way.
//
// (b), rounding is monotonic: for w in D(m, r), |wr| <= |mr| + r = a and
// |wi| <= |mi| + r = b, and the test's fl(fl(wr * wr) + fl(wi * wi)) never
// decreases as |wr| or |wi| grows, so if (a, b) passes the test computed
// the same way, every w in the disc does.
//
// The guesses. The kernels compare an orbit with its cycle checkpoint
// (core/kernels_simd.h) for nearness as well as for equality: when every
// part of z_n lies within a cell's `near` of the state `lag` steps back,
// the orbit is probably close to a cycle whose period divides lag. The
// period p is the first k <= lag at which the orbit returns to within
// 2 near of z_n in every part; the growth G of the radii over those p steps
// (their first-order part) is the cycle's multiplier, and
// r_0 = 2 (|m_p - m_0| + a rounding floor) / (1 - G). (Phoenix's two radii
// grow by a 2 x 2 matrix a step: G is the largest eigenvalue of the
// product over the cycle, and the radii start in its eigenvector's ratio.)
// A cell starts at CAPTURE_FIRST_NEAR; after a failed try its near shrinks
// to the distance seen over CAPTURE_SHRINK, so it is tried again only once
// its orbit has come that much closer. A try costs about two plain steps
// per step of the cycle, and a plain step as much as `lanes` steps of a
// path that runs that many lanes at once: cycles longer than an eighth of
// the steps left over `lanes`, or than CAPTURE_LONGEST, are not tried; and
// no orbit is tried before CAPTURE_PATIENCE steps per lane.
//
// Only the polynomial rules are proven (Mandelbrot .. J-Phoenix). The
// cosine and cosh types call the C library, whose rounding nothing here
// bounds: they stop on exact repeats alone.
//
// Layer: core. Declarations and plain data only (the vector paths include
// it and call captureProven, which is compiled for the baseline processor).
#ifndef QUORVEX_CORE_INTERIOR_PROOF_H
#define QUORVEX_CORE_INTERIOR_PROOF_H

#include "core/fractal_types.h"

// A cell's first nearness: a thousandth of the escape radius is close
// enough that a cycle of modest multiplier usually proves at once.
constexpr double CAPTURE_FIRST_NEAR = 0x1p-10;

// A failed try: the cell's near becomes the distance seen over this.
constexpr double CAPTURE_SHRINK = 4.0;

// The longest cycle tried: each try of it costs two walks along it.
enum { CAPTURE_LONGEST = 4096 };

// A try costs about as much as this many steps of every lane of a vector (a
// few dozen nanoseconds): an orbit is tried only once it has run that many
// steps per lane of its path without an exact repeat. Orbits that fall
// into their cycle quickly end on the repeat, which costs less than a try;
// the rest still save most of their steps.
enum { CAPTURE_PATIENCE = 32 };

struct CaptureTry {
    double zr, zi;    // z_n, whose predecessors all passed the test
    double pr, pi;    // for Phoenix z_n-1 (0 for the other rules)
    double cr, ci;    // the constant: c, lambda, or Phoenix's (s, t)
    double distance;  // z_n lies this near, in every part, to the state...
    int lag;          // ... this many steps back (>= 1)
    int room;         // steps left before the limit
    int lanes;        // lanes the path runs at once (1: one cell at a time)
};

// True only when the orbit from the try's state provably never fails the
// test (the rule above). Quadratic, Dragon and Phoenix rules; false for
// the others, for a non-finite state or constant, and whenever a bound
// does not hold.
bool captureProven(FractalRule rule, const CaptureTry &t);

// Tests and benchmarks only: a function told of every try and its outcome,
// on the thread that made it (null: none, the default). Set or clear it
// only while no row is being computed.
typedef void (*CaptureWatcher)(FractalRule rule, const CaptureTry &t, bool proven);
void watchCaptureTries(CaptureWatcher watcher);

#endif
