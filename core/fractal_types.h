// fractal_types.h - the ten fractal types in one table.
//
// Every place that treats a type by what it is reads this table: the
// kernels (which rule, which start), smooth colour (how an escaped orbit is
// continued), the deep engine (which types it draws below the doubles'
// reach) and the explorer's type chain and names. Index = fType.
//
//   type  name        kind  rule                         M start  deep  smooth base
//   0     Mandelbrot  M     z^2 + c                      0        yes   squaring
//   1     Julia       J     z^2 + p                      -        yes   squaring
//   2     M-Dragon    M     c z (1 - z)                  0.5      yes   squaring (conjugate)
//   3     J-Dragon    J     p z (1 - z)                  -        yes   squaring (conjugate)
//   4     M-Phoenix   M     z^2 + s + t z_n-1            0        yes   phoenix
//   5     J-Phoenix   J     the same with (s, t) = p     -        yes   phoenix
//   6     M-Cosine    M     (cos z)^2 + c, (a^2-b^2)+cr  0        yes   count
//   7     J-Cosine    J     (cos z)^2 + p, (a^2+cr)-b^2  -        yes   count
//   8     M-Cosh      M     conj((cosh z)^2) + c         0        yes   count
//   9     J-Cosh      J     conj((cosh z)^2) + p         -        yes   count
//
// M kinds start from a fixed value and take the plane point as the
// constant; J kinds start from the plane point and take the pivot p.
// The two cosine groupings give different bytes (core/kernel_steps.h).
//
// Layer: core. Plain data only: the vector paths include it (an inline
// function compiled for one instruction set must not reach the others).
#ifndef QUORVEX_CORE_FRACTAL_TYPES_H
#define QUORVEX_CORE_FRACTAL_TYPES_H

enum { FRACTAL_TYPES = 10 };

enum FractalType {
    MANDELBROT_TYPE, JULIA_TYPE, M_DRAGON_TYPE, J_DRAGON_TYPE,
    M_PHOENIX_TYPE, J_PHOENIX_TYPE, M_COSINE_TYPE, J_COSINE_TYPE,
    M_COSH_TYPE, J_COSH_TYPE,
};

// The update rule of a step (core/kernel_steps.h spells each out).
enum FractalRule { QUADRATIC_RULE, DRAGON_RULE, PHOENIX_RULE, M_COSINE_RULE, J_COSINE_RULE, COSH_RULE };

// How smooth colour goes on from an escaped orbit (colour/smooth.h):
//   SMOOTH_SQUARING  steps of z^2 + c (the Dragons through their conjugate)
//   SMOOTH_PHOENIX   Phoenix's own rule, with a larger radius
//   SMOOTH_COUNT     none: the whole count (the orbits grow exponentially)
enum SmoothBase { SMOOTH_SQUARING, SMOOTH_PHOENIX, SMOOTH_COUNT };

struct FractalTypeInfo {
    const char *name;   // as the explorer shows it and files store it
    int jKind;          // 1: the plane point starts the orbit, the pivot is the constant
    FractalRule rule;
    double mStart;      // z0 of the M kind (0 for the J kinds: unused)
    int deep;           // 1: the deep engine draws it below the doubles' reach
    SmoothBase smooth;
};

inline constexpr FractalTypeInfo FRACTAL_TYPE_TABLE[FRACTAL_TYPES] = {
    {"Mandelbrot", 0, QUADRATIC_RULE, 0.0, 1, SMOOTH_SQUARING},
    {"Julia", 1, QUADRATIC_RULE, 0.0, 1, SMOOTH_SQUARING},
    {"M-Dragon", 0, DRAGON_RULE, 0.5, 1, SMOOTH_SQUARING},
    {"J-Dragon", 1, DRAGON_RULE, 0.0, 1, SMOOTH_SQUARING},
    {"M-Phoenix", 0, PHOENIX_RULE, 0.0, 1, SMOOTH_PHOENIX},
    {"J-Phoenix", 1, PHOENIX_RULE, 0.0, 1, SMOOTH_PHOENIX},
    {"M-Cosine", 0, M_COSINE_RULE, 0.0, 1, SMOOTH_COUNT},
    {"J-Cosine", 1, J_COSINE_RULE, 0.0, 1, SMOOTH_COUNT},
    {"M-Cosh", 0, COSH_RULE, 0.0, 1, SMOOTH_COUNT},
    {"J-Cosh", 1, COSH_RULE, 0.0, 1, SMOOTH_COUNT},
};

#endif
