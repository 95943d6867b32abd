// distance.h - how far an escaped sample lies from the set, in samples,
// from the derivative of its orbit with respect to the sample's point.
//
//   distanceRow(type, view, row, counts, distance);        the double kernels
//   distanceValues(type, view, row, counts, ends, derivatives, distance);
//                                                           from z_n and dz_n
//
// The estimate, with z the orbit continued past the escape radius and dz
// its derivative with respect to the cell's point (c for the M kinds, z_0
// for the J kinds), is
//
//     d = |z| ln |z| / |dz|
//
// in plane units (the true distance lies between a half and two times
// it); divided by the plane step of a sample it counts samples, and that
// is what these give. Derivatives are carried per sample from the start
// (dz_0 = step for the J kinds, dc = step for the M kinds), so they never
// leave the double range however deep the view: near the boundary |dz|
// per sample is about |z| ln |z| over the distance in samples.
//
// Every type has an estimate, each by its chain rule:
//   Mandelbrot, Julia  dz <- 2 z dz + dc
//   the Dragons        dz <- L (1 - 2z) dz + dL z (1 - z), continued in
//                      their conjugate w = L (1/2 - z) as smooth colour
//                      is, dw = dL (1/2 - z) - L dz
//   J-Phoenix          dz <- 2 z dz + t e, e <- dz (e: the previous
//                      iterate's derivative)
//   the cosines        dz <- -sin(2z) dz + dc
//   J-Cosh             dz <- conj(sinh(2z) dz): z_n is analytic or
//                      anti-analytic in z_0, so the derivative along the
//                      real axis has the modulus of either
//   M-Phoenix, M-Cosh  neither analytic nor anti-analytic in the point (t
//                      multiplies the previous iterate; the conjugation
//                      meets + c): z_n's derivatives along both axes,
//                      each by the rule above (M-Phoenix's y adds the
//                      previous iterate), and d = G / |grad G| with
//                      G = ln |z_n|, which is the formula above for the
//                      analytic ones
// Mandelbrot, Julia and the Dragons go on from z_n with z <- z^2 + c (a
// Dragon in w) until |z|^2 passes 2^16 (at most SMOOTH_EXTRA_STEPS steps,
// as smooth colour does), so the logarithm is that of a large |z|. The
// others take the estimate at z_n itself: their orbits do not square near
// infinity, so steps past the radius would not sharpen it.
// A sample that never escaped gets NO_DISTANCE, which draws no line.
//
// The double kernels: distanceRow steps each escaped cell of the row again
// from its start for its count steps, with the plain loop's own operations
// (core/kernel_steps.h), the derivative alongside. Every kernel path gives
// the same counts, and the steps are those of the plain loop, so z_n and
// so the estimate are the same bits on every path and thread. Cells that
// never escaped cost nothing.
//
// The deep engine tracks the derivative itself (deep/perturb.h) and hands
// over z_n and dz_n per sample, for distanceValues.
//
// IEEE + - * / and sqrt, the logarithm from core/portable_math.h; the
// cosine and cosh rules' derivatives take libm's sin, cos, sinh and cosh
// (core/kernel_steps.h), as their kernels do. So the same bits on every
// thread and kernel path, and for the polynomial rules on every machine.
//
// Layer: colour.
#ifndef QUORVEX_COLOUR_DISTANCE_H
#define QUORVEX_COLOUR_DISTANCE_H

#include "core/kernel_view.h"

// The estimate of a sample that has none.
extern const double NO_DISTANCE;

// The row's estimates, view.width of them at distance.
void distanceRow(int type, const KernelView &view, int row, const int *counts, double *distance);

// The same from each cell's z_n (ends) and dz_n per sample (derivatives:
// four doubles a cell, along the real axis then the imaginary one, each
// real and imaginary part; the second pair is read for M-Phoenix and
// M-Cosh alone).
void distanceValues(int type, const KernelView &view, int row, const int *counts, const OrbitEnd *ends,
                    const double *derivatives, double *distance);

#endif
