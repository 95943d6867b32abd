// kernel_view.h - what a kernel is given (the type and the view of a row)
// and what it can hand back besides a count (the orbit's end).
//
// Layer: core. Plain data only (the vector paths include it, and must not
// pick up an inline function).
//
// KernelView is the whole input of a row besides the type: the width, the
// iteration limit, the starts and scales of the cell-to-plane mapping and
// the pivot. Cell i of row r stands for (i * xScale + xStart,
// r * yScale + yStart).
#ifndef QUORVEX_CORE_KERNEL_VIEW_H
#define QUORVEX_CORE_KERNEL_VIEW_H

#include "core/fractal_types.h"

struct KernelView {
    int width;       // cells per row, >= 1
    int detail;      // iteration limit, >= 1
    double xStart, xScale;
    double yStart, yScale;
    double xPivot, yPivot;
};

// The state an orbit ended in, for smooth colouring (core/kernels_simd.h
// says which iterate each part holds).
struct OrbitEnd {
    double zr, zi, pr, pi;
};

#endif
