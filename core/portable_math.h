// portable_math.h - logarithm, exponential and power from + - * / alone.
//
// glibc chooses among versions of log, exp and pow when a program starts,
// by processor (with fused multiply-add or without), so two machines can
// disagree in the last bit. A dive split across several hosts must still
// give each frame the same view and each pixel the same smooth colour on
// every host, so the renderer's own uses of these functions go through
// this file: only the four basic operations on doubles (exactly rounded
// under IEEE 754, with contraction off), frexp, ldexp and floor (exact),
// and so the same bits everywhere. Accurate to a few units in the last
// place.
//
// Layer: core.
#ifndef QUORVEX_CORE_PORTABLE_MATH_H
#define QUORVEX_CORE_PORTABLE_MATH_H

// The natural logarithm of a positive, finite x.
double portableLog(double x);

// The base-2 logarithms of count values, for smooth colours: each x
// positive, normal and finite (2^-1022 <= x < infinity); to within about
// 1e-14 of log2 x beside its exponent, which is added exactly. Several at
// once, each with the same operations, so the same bits wherever a value
// stands. out may be x.
void portableLog2s(const double *x, double *out, int count);

// e to the x, for |x| < 700. Above 709 it is infinite and below -745 0;
// from -745 to -708 it is subnormal, with fewer bits.
double portableExp(double x);

// base to the power exponent, for base > 0: exp(exponent * log(base)).
double portablePow(double base, double exponent);

#endif
