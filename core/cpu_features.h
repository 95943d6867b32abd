// cpu_features.h - which of the wider x86-64 instruction sets this
// processor (and its operating system) lets a program use.
//
//   if (cpuHasAvx2()) ...     AVX2
//   if (cpuHasAvx512()) ...   AVX-512 F, DQ and VL, all three
//
// Asked of the processor once, on the first call, and remembered: any
// thread may call either at any time, as often as it likes. Both are false
// where the build is not x86-64. SSE2 has no question of its own: every
// x86-64 processor has it.
//
// The kernel paths (core/kernels_simd.cpp) and the deep engine's vector
// loop (deep/perturb.cpp) ask here, so the two never disagree about a
// processor.
//
// Layer: core. Declarations only.
#ifndef QUORVEX_CORE_CPU_FEATURES_H
#define QUORVEX_CORE_CPU_FEATURES_H

bool cpuHasAvx2();
bool cpuHasAvx512();

#endif
