// kernels_simd_avx2.cpp - the lane engine on AVX2: four lanes per vector.
// Only this file is compiled for AVX2; it runs only where the processor has
// it (computeRowWith checks). FMA is not enabled: products and sums stay
// separately rounded, as in the plain loop.
#if defined(__x86_64__)

#include <immintrin.h>

#include "core/kernels_simd_isa.h"

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC target("avx2")
#endif

#include "core/kernels_simd_lanes.h"

namespace {

struct Avx2 {
    typedef __m256d D;
    typedef __m256d M;  // all-ones lanes where set
    enum { LANES = 4 };
    // As on SSE2: four multiplies and four adds a step measured fastest.
    static const Doubling DOUBLING = DOUBLE_BY_MULTIPLYING;
    // A block's first step apart: the compiler then unrolls the other
    // fifteen (in one loop it only peels the first): 4 % faster.
    static const bool FIRST_STEP_APART = true;
    static const bool UNTESTED_RUNS = false;
    static D splat(double x) { return _mm256_set1_pd(x); }
    static D load(const double *p) { return _mm256_load_pd(p); }
    static void store(double *p, D a) { _mm256_store_pd(p, a); }
    static D add(D a, D b) { return _mm256_add_pd(a, b); }
    static D sub(D a, D b) { return _mm256_sub_pd(a, b); }
    static D mul(D a, D b) { return _mm256_mul_pd(a, b); }
    static D abs(D a) { return _mm256_andnot_pd(_mm256_set1_pd(-0.0), a); }
    static M le(D a, D b) { return _mm256_cmp_pd(a, b, _CMP_LE_OQ); }
    static M eq(D a, D b) { return _mm256_cmp_pd(a, b, _CMP_EQ_OQ); }
    static D blend(int lanes, D a, const double *row) {
        const __m256i bit = _mm256_set_epi64x(8, 4, 2, 1);
        const M m = _mm256_castsi256_pd(_mm256_cmpeq_epi64(_mm256_and_si256(_mm256_set1_epi64x(lanes), bit), bit));
        return _mm256_blendv_pd(a, _mm256_load_pd(row), m);
    }
    static M keepLe(M m, D a, D b) { return _mm256_and_pd(m, le(a, b)); }
    static M allLanes() { return _mm256_castsi256_pd(_mm256_set1_epi64x(-1)); }
    static void storeCounts(int *p, D a) { _mm_storeu_si128((__m128i *)p, _mm256_cvttpd_epi32(a)); }
    static M same(M m, D a, D b) { return _mm256_and_pd(m, _mm256_cmp_pd(a, b, _CMP_EQ_OQ)); }
    static int bits(M m) { return _mm256_movemask_pd(m); }
    static D pick(M m, D a, D b) { return _mm256_blendv_pd(b, a, m); }
    static D ramp(int i) { return _mm256_add_pd(_mm256_set1_pd(i), _mm256_set_pd(3, 2, 1, 0)); }
    static void storeEnds(OrbitEnd *p, D zr, D zi, D pr, D pi) {
        const D a = _mm256_unpacklo_pd(zr, zi), b = _mm256_unpackhi_pd(zr, zi);  // lanes 0 2, 1 3
        const D c = _mm256_unpacklo_pd(pr, pi), d = _mm256_unpackhi_pd(pr, pi);
        double *e = &p->zr;
        _mm256_storeu_pd(e, _mm256_permute2f128_pd(a, c, 0x20));
        _mm256_storeu_pd(e + 4, _mm256_permute2f128_pd(b, d, 0x20));
        _mm256_storeu_pd(e + 8, _mm256_permute2f128_pd(a, c, 0x31));
        _mm256_storeu_pd(e + 12, _mm256_permute2f128_pd(b, d, 0x31));
    }
    // Each lane's column of the leading passes (bits 4 apart) in a quadword
    // of its own: each byte's two bits folded into its low nibble, then the
    // bytes added.
    static void storePasses(int *counts, int lanes, TestWord tests, int base) {
        const __m256i lead = _mm256_set1_epi64x((long long)Tests<LANES>::leadingPasses(tests));
        __m256i mine = _mm256_and_si256(_mm256_srlv_epi64(lead, _mm256_set_epi64x(3, 2, 1, 0)),
                                        _mm256_set1_epi64x((long long)Tests<LANES>::column()));
        mine = _mm256_and_si256(_mm256_add_epi64(mine, _mm256_srli_epi64(mine, 4)), _mm256_set1_epi8(0x0F));
        const __m256i sums = _mm256_sad_epu8(mine, _mm256_setzero_si256());
        const __m128i each = _mm256_castsi256_si128(_mm256_permutevar8x32_epi32(sums, _mm256_set_epi32(0, 0, 0, 0, 6, 4, 2, 0)));
        const __m128i bit = _mm_set_epi32(8, 4, 2, 1);
        const __m128i store = _mm_cmpeq_epi32(_mm_and_si128(_mm_set1_epi32(lanes), bit), bit);
        _mm_maskstore_epi32(counts, store, _mm_add_epi32(each, _mm_set1_epi32(base)));
    }
    static void compress(double *dst, int lanes, D a) {
        alignas(32) double all[LANES];
        _mm256_store_pd(all, a);
        for (; lanes; lanes &= lanes - 1)
            *dst++ = all[__builtin_ctz(lanes)];
    }
};

}  // namespace

void escapeCountsAvx2(int type, const KernelView &view, int row, int first, int count, int *counts,
                      OrbitEnd *ends) {
    laneEscapeCounts<Avx2, 5>(type, view, row, first, count, counts, ends);
}

#if defined(__clang__)
#pragma clang attribute pop
#endif

#endif
