// orbit_ends_shim.h - TEMPORARY: a stand-in for the kernels' countRowEndsWith
// until core/kernels_simd.h provides it; delete this file (and its line in
// CMakeLists.txt) then. It takes the counts from countRowWith on the given
// path and replays each escaped orbit with the plain loop's arithmetic to
// find the state it escaped in, so its ends are the plain loop's exactly.
#ifndef QUORVEX_TOOLS_RENDER_ORBIT_ENDS_SHIM_H
#define QUORVEX_TOOLS_RENDER_ORBIT_ENDS_SHIM_H

#include "core/kernels_simd.h"

// z_n, the first iterate that failed the test (n = the count), and for
// Phoenix the iterate before it (0 for n = 0 and for the other types).
struct OrbitEnd {
    double zr, zi, pr, pi;
};

// The counts of countRowWith and, for every escaped cell, where it ended;
// cells that never escaped get an unspecified end.
void countRowEndsWith(KernelPath path, int type, const KernelView &view, int row, int *counts,
                      OrbitEnd *ends);

#endif
