// kernels_simd_isa.h - the vector lane engine's entry points, one per
// instruction set (core/kernels_simd_sse2.cpp, _avx2.cpp, _avx512.cpp).
//
// Each writes the escape counts (0..detail, not yet grid values) of cells
// first .. first + count - 1 of one row into counts[0 .. count - 1] and,
// when ends is not null, their OrbitEnds into ends[0 .. count - 1], for the
// types of the polynomial rules only (Quadratic, Dragon and Phoenix in
// core/fractal_types.h: Mandelbrot .. J-Phoenix). count is at most
// LANE_CHUNK_CELLS. They are compiled for their instruction set: call them
// only through computeRowWith and its kin, which check the processor first.
// x86-64 builds only.
//
// Layer: core.
#ifndef QUORVEX_CORE_KERNELS_SIMD_ISA_H
#define QUORVEX_CORE_KERNELS_SIMD_ISA_H

#include "core/kernel_view.h"

// At most this many cells per call: the engine's lists of a chunk, on the
// heap for each call, have room for this many (and the callers keep a
// chunk's counts on the stack).
enum { LANE_CHUNK_CELLS = 1024 };

// Untested runs (kernels_simd_lanes.h), Mandelbrot and Julia: a constant
// whose cr^2 + ci^2 in doubles stays at or below UNTESTED_C_LIMIT has
// |c| < 2 (1 - 2^-30); then an orbit that failed the escape test once has
// zr^2 + zi^2 above UNTESTED_PASS_LIMIT (or not a number) at every later
// step, so a state at or below it passed every test before it.
constexpr double UNTESTED_C_LIMIT = 4.0 * (1.0 - 0x1p-28);
constexpr double UNTESTED_PASS_LIMIT = 4.0 * (1.0 - 0x1p-38);

#if defined(__x86_64__)
void escapeCountsSse2(int type, const KernelView &view, int row, int first, int count, int *counts,
                      OrbitEnd *ends);
void escapeCountsAvx2(int type, const KernelView &view, int row, int first, int count, int *counts,
                      OrbitEnd *ends);
void escapeCountsAvx512(int type, const KernelView &view, int row, int first, int count, int *counts,
                        OrbitEnd *ends);
#endif

#endif
