#include "core/plane_view.h"

#include <math.h>

namespace {

// Each coordinate i * scale + start is off its exact value by at most two
// roundings, 2^-52 of the largest coordinate together; a step above 2^-48
// of it therefore keeps every pair apart, and no pass is needed.
bool clearlyApart(double start, double scale, int cells) {
    return fabs(scale) > (fabs(start) + fabs((double)cells * scale)) * 0x1p-48;
}

// Every neighbouring pair, as the kernels compute the coordinates: a cheap
// pass next to any render, and exact where a rule of thumb would guess.
bool neighboursCoincide(double start, double scale, int cells) {
    if (clearlyApart(start, scale, cells)) return false;
    double previous = start;
    for (int i = 1; i < cells; ++i) {
        const double next = (double)i * scale + start;
        if (next == previous) return true;
        previous = next;
    }
    return false;
}

}  // namespace

KernelView kernelViewFor(const FractalParams &p, int width, int height) {
    KernelView v;
    v.width = width;
    v.detail = p.detail;
    v.xStart = p.xStart;
    v.xScale = planeScale(p.xStart, p.xEnd, width);
    v.yStart = p.yStart;
    v.yScale = planeScale(p.yStart, p.yEnd, height);
    v.xPivot = p.xPivot;
    v.yPivot = p.yPivot;
    return v;
}

bool viewBeyondDoubles(const FractalParams &p, int width, int height) {
    const KernelView v = kernelViewFor(p, width, height);
    return neighboursCoincide(v.xStart, v.xScale, width) || neighboursCoincide(v.yStart, v.yScale, height);
}
