// plane_view.h - the one mapping from grid cells to points of the plane.
//
//   FractalParams p = {MANDELBROT_TYPE, 50, -2.0, 1.0, -1.5, 1.5, 0.0, 0.0};
//   KernelView v = kernelViewFor(p, 1280, 720);   // what the kernels take
//   double x = cellX(v, i), y = cellY(v, r);       // the point of cell (r, i)
//
// A view is a rectangle xStart..xEnd, yStart..yEnd (either way round on an
// axis: a mirrored view) cut into width x height cells; cell (r, i) stands
// for (i * xScale + xStart, r * yScale + yStart) with
//
//     xScale = (xEnd - xStart) / width,   yScale = (yEnd - yStart) / height
//
// in doubles, the size converted first. The explorer's scale rule
// (core/state.h), the renderer's --view, and a centre and width (which
// deep/location.h first turns into such a rectangle, each end the nearest
// double) all come here, so a picture is the same bytes whichever way its
// view was given. The deep engine keeps the same mapping as offsets from
// its reference (deep/deep_view.h), in numbers that do not run out.
//
// Layer: core.
#ifndef QUORVEX_CORE_PLANE_VIEW_H
#define QUORVEX_CORE_PLANE_VIEW_H

#include "core/kernel_view.h"

// What is computed: the type and the plane parameters, as a parameter file
// holds them.
struct FractalParams {
    int type;    // fType, 0..9
    int detail;  // >= 1
    double xStart, xEnd, yStart, yEnd;
    double xPivot, yPivot;
};

// The width of one of `cells` cells between start and end.
inline double planeScale(double start, double end, int cells) { return (end - start) / (double)cells; }

KernelView kernelViewFor(const FractalParams &params, int width, int height);

inline double cellX(const KernelView &v, int i) { return (double)i * v.xScale + v.xStart; }
inline double cellY(const KernelView &v, int row) { return (double)row * v.yScale + v.yStart; }

// True when two neighbouring columns or rows of a width x height grid get
// the same plane coordinate: the view is narrower than doubles resolve at
// that size, and the picture shows blocks instead of detail.
bool viewBeyondDoubles(const FractalParams &params, int width, int height);

#endif
