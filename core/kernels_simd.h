// kernels_simd.h - the kernel paths behind computeRow, and a way to pick one.
//
// Layer: core.
//
// computeRow (core/kernels.h) runs fastestKernelPath(). Tests and benchmarks
// name a path themselves with computeRowWith. Every path writes the bytes of
// computeRowScalar exactly; they differ only in speed:
//
//   PLAIN_PATH   computeRowScalar itself: one cell at a time, the plain loop.
//   SCALAR_PATH  one cell at a time with exact cycle detection; the path of
//                the cosine and cosh types everywhere, and of every type on
//                processors without a vector path.
//   SSE2_PATH    x86-64 only: 2, 4 or 8 cells at once in SIMD lanes for the
//   AVX2_PATH    six types of the polynomial rules (Mandelbrot, Julia, the
//   AVX512_PATH  Dragons, the Phoenixes), with the same cycle detection;
//                the cosine and cosh types take SCALAR_PATH.
//
// Exact cycle detection: the maps are deterministic, so once the whole state
// (z, and for Phoenix the previous iterate too) equals an earlier state bit
// for bit, every later iterate repeats one already tested and the cell can
// never escape: its count is the limit. The comparison is ==, never a
// tolerance (+0 == -0 is sound: a zero's sign never reaches a non-zero part).
//
// Interior proof: once an orbit has run CAPTURE_PATIENCE steps per lane, a
// state that is only near the saved one (every part within the cell's
// nearness) is handed to captureProven (core/interior_proof.h), which
// proves, or fails to prove, that the double orbit from it never escapes;
// when it proves it, the count is the limit too. Mandelbrot to J-Phoenix
// only; where the proof fails the orbit is iterated on as before.
//
// A path the processor lacks is never run: computeRowWith falls back to
// SCALAR_PATH for it, so ask kernelPathAvailable first when the path matters.
//
// Orbit ends (for smooth colouring): countRowEndsWith gives, beside each
// cell's count n, the state the orbit ended in, as plain data:
//
//   OrbitEnd { zr, zi, pr, pi }
//     zr, zi   z_n, the first iterate that failed the test
//     pr, pi   for the Phoenix types the iterate before it, z_n-1 (0 when
//              n = 0); 0 for the other types
//     all 0    for a cell at the limit (it never failed)
//
// Every path computes them with the plain loop's arithmetic, so they are
// the same on every path, bit for bit, and so is anything computed from
// them in one place; a part that is NaN is NaN on every path, but which NaN
// (sign, payload) is not promised. Asking for ends costs a little; not
// asking costs nothing (countRowWith and computeRowWith never compute them).
#ifndef QUORVEX_CORE_KERNELS_SIMD_H
#define QUORVEX_CORE_KERNELS_SIMD_H

#include "core/kernel_view.h"

enum KernelPath { PLAIN_PATH, SCALAR_PATH, SSE2_PATH, AVX2_PATH, AVX512_PATH, KERNEL_PATHS };

// True when this build has the path and this processor can run it.
bool kernelPathAvailable(KernelPath path);

// The fastest available path (decided once, then cached), or the path an
// override names.
KernelPath fastestKernelPath();

// Benchmarks and tests only: make fastestKernelPath(), and so computeRow,
// run the given path, to compare a whole Make on it against the fastest.
// Set or clear it only while no Make runs: workers read it for every row.
// Returns false, and changes nothing, for a path the processor lacks.
bool overrideKernelPath(KernelPath path);
void clearKernelPathOverride();

// "plain", "scalar", "sse2", "avx2", "avx512".
const char *kernelPathName(KernelPath path);

// computeRow on the given path; returns out + view.width.
unsigned char *computeRowWith(KernelPath path, int type, const KernelView &view, int row,
                              unsigned char *out);

// The escape counts j (0..detail) behind a row's grid values, view.width of
// them at counts. PLAIN_PATH counts with the plain loop itself (no cycle
// check), slowly, for reference.
void countRowWith(KernelPath path, int type, const KernelView &view, int row, int *counts);


// countRowWith, and each cell's OrbitEnd, view.width of them at ends.
// A limit below 1 gives counts 0 and ends 0.
void countRowEndsWith(KernelPath path, int type, const KernelView &view, int row, int *counts,
                      OrbitEnd *ends);

#endif
