// kernels_plain.h - the ten fractal types as data, and the plain double
// loop that computes a row of any of them: the reference for every kernel.
//
// Layer: core (the bottom; includes nothing above it, no GL).
//
// KernelView is the whole input of a row: the width, the iteration limit,
// the starts and scales of the cell-to-plane mapping and the pivot. Cell i
// of row r stands for (i * xScale + xStart, r * yScale + yStart).
//
// computeRowScalar runs the frame of the type table one cell at a time, in
// plain doubles (the build forbids FMA contraction): for each cell, z0 from
// the type, j = -1, then { squares of z_n, z_n+1 from the type's rule, ++j }
// while (j < detail && zr^2 + zi^2 <= 4.0) with the squares of z_n. NaN
// fails the test: an escape. The cell stores (255 * j) / detail. Every
// faster path (core/kernels_simd.h) writes exactly these bytes.
//
// The update rules themselves live in core/kernel_steps.h, shared by this
// loop and the scalar path. Plain declarations only: the vector paths
// include this header through core/kernels.h and must not pick up an
// inline function.
#ifndef QUORVEX_CORE_KERNELS_PLAIN_H
#define QUORVEX_CORE_KERNELS_PLAIN_H

enum FractalType {
    MANDELBROT_TYPE, JULIA_TYPE, M_DRAGON_TYPE, J_DRAGON_TYPE,
    M_PHOENIX_TYPE, J_PHOENIX_TYPE, M_COSINE_TYPE, J_COSINE_TYPE,
    M_COSH_TYPE, J_COSH_TYPE,
};

struct KernelView {
    int width;       // cells per row, >= 1
    int detail;      // iteration limit, >= 1
    double xStart, xScale;
    double yStart, yScale;
    double xPivot, yPivot;
};

// Writes view.width bytes at out; returns out + view.width.
unsigned char *computeRowScalar(int type, const KernelView &view, int row, unsigned char *out);

#endif
