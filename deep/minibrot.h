// minibrot.h - finding the minibrot inside a picture: its period by the
// ball method on the orbit of the picture's centre, its nucleus by Newton's
// method in MPFR, its size from the derivatives there, and a location that
// frames it.
//
//   Minibrot m;
//   switch (findMinibrot(loc, 1280, 720, stop, progress, ctx, m, reason)) {
//   case MINIBROT_FOUND:   m.location (the nucleus, framed), m.period, m.size
//   case MINIBROT_NONE:    one line in `reason` says why
//   case MINIBROT_STOPPED: `stop` ended it
//   }
//
// The picture is loc's centre and width at cellsWide x cellsHigh cells.
// The types it serves follow the orbit of the critical point 0 (in w for
// the Dragon, reference.h) under w <- g(w) + K:
//   Mandelbrot, M-Dragon  g = w^2
//   M-Cosine              g = cos^2 w
//   M-Cosh                conj(cosh^2 w) + c: the derivatives are a pair
//                         (dw = A dc + B conj(dc)), and Newton's step
//                         solves the 2 x 2 real system they make.
// The others are refused with the reason: M-Phoenix's map has no critical
// point to return to (it is invertible), so no orbit of it is
// superattracting; a J type's picture has no minibrots, and its periodic
// points are no place to end at: inside the set the picture is one colour
// around them, on it the picture repeats itself at every scale around them.
//
// Period: the ball of all z_n over the disk of constants that holds the
// picture (radius R, half its diagonal) follows the centre's orbit Z_n,
// with r_n+1 = |g'(Z_n)| r_n + h r_n^2 + R (h bounds |g''| / 2 on the ball;
// for the Dragon R becomes |dK/dL| R + R^2/4, the disk of K). The first n at
// which the ball holds 0 is the period p: no nucleus of a lower period lies
// in the disk. The centre's orbit escaping first, or `detail` steps without
// 0 in the ball, means there is no minibrot to find.
//
// Nucleus: Newton's method on z_p(c) = 0 from the centre, in MPFR, with the
// derivatives carried as FloatExp (a step needs them to a few digits only);
// the precision starts at the picture's (referencePrecision) and rises as
// the size estimate shows the digits the frame needs. Converged when a step
// moves c by less than 2^-50 of the size; refused when it does not within
// MINIBROT_NEWTON_STEPS steps, or moves 8 widths away, or converges outside
// the picture. The disk the period is taken over first passes through the
// picture's corners, so its nucleus may lie beside the picture: then the
// search is made once more over the disk inside the picture.
//
// Size (Hunt and Ott's estimate): near the nucleus the p steps from z_1 act
// as z_p = L (a z_1^2 + beta dc), with L = g'(Z_1) ... g'(Z_p-1),
// beta L = dz_p/dc and a = g''(0)/2 (of modulus 1 for all four maps), so the
// minibrot is the Mandelbrot set scaled by size = 1 / |a beta L^2| =
// 1 / |L dz_p/dc| (|A| + |B| for M-Cosh; through dK/dL for the Dragon,
// which the derivative carries).
//
// Frame: centred on the nucleus, its shorter side FRAME_SIZES sizes (the
// Mandelbrot set reaches 2 from its nucleus), the centre written with every
// digit its precision holds; type, detail and pivot are loc's.
//
// Layer: deep.
#ifndef QUORVEX_DEEP_MINIBROT_H
#define QUORVEX_DEEP_MINIBROT_H

#include <atomic>

#include "deep/reference.h"

enum MinibrotResult { MINIBROT_FOUND, MINIBROT_NONE, MINIBROT_STOPPED };

enum { MINIBROT_NEWTON_STEPS = 64 };
#define MINIBROT_FRAME_SIZES 4.4

struct Minibrot {
    DeepLocation location;  // the nucleus at the centre, the minibrot framed
    int period;
    FloatExp size;
    int newtonSteps;  // taken
};

// 1 for the types findMinibrot serves.
int minibrotTypeSupported(int type);

// `progress` (may be null) hears (steps done, steps to do) of the ball's
// orbit and then of each Newton step; `stop` (may be null) is polled every
// few thousand steps. `reason` has room for FILE_ERROR_SIZE bytes.
MinibrotResult findMinibrot(const DeepLocation &loc, int cellsWide, int cellsHigh, const std::atomic<int> *stop,
                            ReferenceProgress progress, void *context, Minibrot &found, char *reason);

#endif
