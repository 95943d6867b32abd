// TEMPORARY: see orbit_ends_shim.h.
#include "tools/render/orbit_ends_shim.h"

#include <math.h>

namespace {

// One step of the plain loop from z_n (with the previous iterate for Phoenix).
void step(int type, OrbitEnd &z, double x, double y, double px, double py) {
    const double zr2 = z.zr * z.zr, zi2 = z.zi * z.zi;
    const bool m = type % 2 == 0;
    const double cr = m ? x : px, ci = m ? y : py;
    double nr, ni;
    if (type <= JULIA_TYPE) {
        nr = (zr2 - zi2) + cr;
        ni = 2.0 * (z.zr * z.zi) + ci;
    } else if (type <= J_DRAGON_TYPE) {
        const double a = (zi2 - zr2) + z.zr, b = 2.0 * (z.zr * z.zi) - z.zi;
        nr = cr * a + ci * b;
        ni = ci * a - cr * b;
    } else if (type <= J_PHOENIX_TYPE) {
        nr = ((zr2 - zi2) + cr) + ci * z.pr;
        ni = 2.0 * (z.zr * z.zi) + ci * z.pi;
        z.pr = z.zr, z.pi = z.zi;
    } else if (type <= J_COSINE_TYPE) {
        const double a = cos(z.zr) * cosh(z.zi), b = sin(z.zr) * sinh(z.zi);
        nr = m ? (a * a - b * b) + cr : (a * a + cr) - b * b;
        ni = (-2.0 * a) * b + ci;
    } else {
        const double a = cosh(z.zr) * cos(z.zi), b = sinh(z.zr) * sin(z.zi);
        nr = (a * a + cr) - b * b;
        ni = (-2.0 * a) * b + ci;
    }
    z.zr = nr, z.zi = ni;
}

OrbitEnd start(int type, double x, double y) {
    if (type % 2) return {x, y, 0, 0};
    return {type == M_DRAGON_TYPE ? 0.5 : 0.0, 0, 0, 0};
}

}  // namespace

void countRowEndsWith(KernelPath path, int type, const KernelView &v, int row, int *counts, OrbitEnd *ends) {
    countRowWith(path, type, v, row, counts);
    const double y = (double)row * v.yScale + v.yStart;
    for (int i = 0; i < v.width; ++i) {
        if (counts[i] >= v.detail) continue;
        const double x = (double)i * v.xScale + v.xStart;
        OrbitEnd z = start(type, x, y);
        for (int n = 0; n < counts[i]; ++n) step(type, z, x, y, v.xPivot, v.yPivot);
        ends[i] = z;
    }
}
