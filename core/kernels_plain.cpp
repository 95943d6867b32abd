// The plain double loop. Each step is the rule of core/kernel_steps.h as
// written there: the build forbids FMA contraction (-ffp-contract=off), so
// these are the exact IEEE double results every faster path must reproduce.
#include "core/kernels_plain.h"

#include "core/kernel_steps.h"
#include "core/state.h"

namespace {

// Runs the frame for one cell: j counts the steps taken, and the test looks
// at the squares of the iterate before the step.
template <class Step>
inline int escapeCount(Orbit z, int limit, Step step) {
    int j = -1;
    double zr2, zi2;
    do {
        zr2 = z.zr * z.zr;
        zi2 = z.zi * z.zi;
        step(z, zr2, zi2);
        ++j;
    } while (j < limit && zr2 + zi2 <= 4.0);
    return j;
}

}  // namespace

unsigned char *computeRowScalar(int type, const KernelView &v, int row, unsigned char *out) {
    return withTypeRule(type, v, [&](auto kind) {
        const double y = (double)row * v.yScale + v.yStart;
        for (int i = 0; i < v.width; ++i) {
            const double x = (double)i * v.xScale + v.xStart;
            out[i] = gridValue(escapeCount(kind.start(x, y), v.detail, kind.step(x, y)), v.detail);
        }
        return out + v.width;
    });
}
