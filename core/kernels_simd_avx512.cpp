// kernels_simd_avx512.cpp - the lane engine on AVX-512: eight lanes per
// vector, masks in mask registers. Only this file is compiled for AVX-512
// (F, DQ, VL); it runs only where the processor has it (computeRowWith
// checks). Products and sums stay separately rounded (no FMA intrinsics,
// and the build forbids contraction).
#if defined(__x86_64__)

#include <immintrin.h>

#include "core/kernels_simd_isa.h"

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx512f,avx512dq,avx512vl"))), apply_to = function)
#else
#pragma GCC target("avx512f,avx512dq,avx512vl")
#endif

#include "core/kernels_simd_lanes.h"

namespace {

struct Avx512 {
    typedef __m512d D;
    typedef __mmask8 M;
    enum { LANES = 8 };
    // Alternating between vectors measured fastest on eight lanes.
    static const Doubling DOUBLING = DOUBLE_ALTERNATELY;
    // (Blocks of eight steps unroll whole either way.)
    static const bool FIRST_STEP_APART = false;
    // Untested runs measured faster on eight lanes.
    static const bool UNTESTED_RUNS = true;
    static D splat(double x) { return _mm512_set1_pd(x); }
    static D load(const double *p) { return _mm512_load_pd(p); }
    static void store(double *p, D a) { _mm512_store_pd(p, a); }
    static D add(D a, D b) { return _mm512_add_pd(a, b); }
    static D sub(D a, D b) { return _mm512_sub_pd(a, b); }
    static D mul(D a, D b) { return _mm512_mul_pd(a, b); }
    static D abs(D a) { return _mm512_abs_pd(a); }
    static M le(D a, D b) { return _mm512_cmp_pd_mask(a, b, _CMP_LE_OQ); }
    static M eq(D a, D b) { return _mm512_cmp_pd_mask(a, b, _CMP_EQ_OQ); }
    static D blend(int lanes, D a, const double *row) { return _mm512_mask_load_pd(a, (__mmask8)lanes, row); }
    // Masked compare: the running mask rides along as the write mask.
    static M keepLe(M m, D a, D b) { return _mm512_mask_cmp_pd_mask(m, a, b, _CMP_LE_OQ); }
    static M allLanes() { return 0xFF; }
    static void storeCounts(int *p, D a) { _mm256_storeu_si256((__m256i *)p, _mm512_maskz_cvttpd_epi32(0xFF, a)); }
    static M same(M m, D a, D b) { return _mm512_mask_cmp_pd_mask(m, a, b, _CMP_EQ_OQ); }
    static int bits(M m) { return _cvtmask8_u32(m); }
    static D pick(M m, D a, D b) { return _mm512_mask_blend_pd(m, b, a); }
    static D ramp(int i) { return _mm512_add_pd(_mm512_set1_pd(i), _mm512_set_pd(7, 6, 5, 4, 3, 2, 1, 0)); }
    // (The zero-masked forms with every lane kept: the plain ones trip a
    // false uninitialised-value warning in some compilers' headers.)
    static void storeEnds(OrbitEnd *p, D zr, D zi, D pr, D pi) {
        const D a = _mm512_maskz_unpacklo_pd(0xFF, zr, zi), b = _mm512_maskz_unpackhi_pd(0xFF, zr, zi);  // lanes 0 2 4 6, 1 3 5 7
        const D c = _mm512_maskz_unpacklo_pd(0xFF, pr, pi), d = _mm512_maskz_unpackhi_pd(0xFF, pr, pi);
        const D acLow = _mm512_maskz_shuffle_f64x2(0xFF, a, c, _MM_SHUFFLE(1, 0, 1, 0));   // lanes 0 2 of a, then of c
        const D bdLow = _mm512_maskz_shuffle_f64x2(0xFF, b, d, _MM_SHUFFLE(1, 0, 1, 0));   // lanes 1 3
        const D acHigh = _mm512_maskz_shuffle_f64x2(0xFF, a, c, _MM_SHUFFLE(3, 2, 3, 2));  // lanes 4 6
        const D bdHigh = _mm512_maskz_shuffle_f64x2(0xFF, b, d, _MM_SHUFFLE(3, 2, 3, 2));  // lanes 5 7
        double *e = &p->zr;
        _mm512_storeu_pd(e, _mm512_maskz_shuffle_f64x2(0xFF, acLow, bdLow, _MM_SHUFFLE(2, 0, 2, 0)));
        _mm512_storeu_pd(e + 8, _mm512_maskz_shuffle_f64x2(0xFF, acLow, bdLow, _MM_SHUFFLE(3, 1, 3, 1)));
        _mm512_storeu_pd(e + 16, _mm512_maskz_shuffle_f64x2(0xFF, acHigh, bdHigh, _MM_SHUFFLE(2, 0, 2, 0)));
        _mm512_storeu_pd(e + 24, _mm512_maskz_shuffle_f64x2(0xFF, acHigh, bdHigh, _MM_SHUFFLE(3, 1, 3, 1)));
    }
    // Each lane's column of the leading passes (one bit a byte) in a
    // quadword of its own: a multiply adds its bytes into the top one.
    static void storePasses(int *counts, int lanes, TestWord tests, int base) {
        const __m512i lead = _mm512_set1_epi64((long long)Tests<LANES>::leadingPasses(tests));
        const __m512i shifted = _mm512_maskz_srlv_epi64(0xFF, lead, _mm512_set_epi64(7, 6, 5, 4, 3, 2, 1, 0));
        const __m512i mine = _mm512_and_si512(shifted, _mm512_set1_epi64((long long)Tests<LANES>::column()));
        const __m512i sums =
            _mm512_maskz_srli_epi64(0xFF, _mm512_mullo_epi64(mine, _mm512_set1_epi64(0x0101010101010101LL)), 56);
        _mm256_mask_storeu_epi32(counts, (__mmask8)lanes,
                                 _mm256_add_epi32(_mm512_maskz_cvtepi64_epi32(0xFF, sums), _mm256_set1_epi32(base)));
    }
    static void compress(double *dst, int lanes, D a) {
        _mm512_storeu_pd(dst, _mm512_maskz_compress_pd((__mmask8)lanes, a));
    }
};

}  // namespace

// Five vectors in flight: against four, 4 % faster on the valley view and
// up to 12 % on views of long Dragon and Phoenix orbits, 5 % slower on
// wide views where most cells end in the screen; two leave the latency of
// the multiply-add chain exposed. Six and eight step 5 % faster where
// orbits are thousands of steps long, but a row whose cells are not a
// multiple of the group leaves a group mostly idle (800 cells: 32 of 48
// or 64 lanes): they measured no faster on the valley view and 1 to 14 %
// slower on the default and square views. Orbit ends add no register to a
// step, so they run five too.
void escapeCountsAvx512(int type, const KernelView &view, int row, int first, int count, int *counts,
                        OrbitEnd *ends) {
    laneEscapeCounts<Avx512, 5>(type, view, row, first, count, counts, ends);
}

#if defined(__clang__)
#pragma clang attribute pop
#endif

#endif
