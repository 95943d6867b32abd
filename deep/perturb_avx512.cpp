// perturb_avx512.cpp - the quadratic rule's deep loop on AVX-512: eight
// doubles to a vector (vector_passes.h), masks in mask registers. One
// vector in flight: two keep the processor no busier here, and sixteen
// lanes end their runs twice as often as eight. Only this file is compiled
// for AVX-512 (F, DQ, VL); it runs only where the processor has it
// (deepSamples asks core/cpu_features.h first).
#if defined(__x86_64__)

#include <immintrin.h>

// Every header with code of its own comes before the pragma, so that none
// of that code is compiled for AVX-512 here.
#include <stdint.h>

#include <atomic>

#include "deep/quadratic_lane.h"

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx512f,avx512dq,avx512vl"))), apply_to = function)
#else
#pragma GCC target("avx512f,avx512dq,avx512vl")
#endif

#include "deep/vector_passes.h"

namespace {

// The operations vector_passes.h asks for. (The zero-masked forms with
// every lane kept: the plain ones trip a false uninitialised-value warning
// in some compilers' headers.)
struct Avx512 {
    typedef __m512d D;
    typedef __m512i I;
    typedef __mmask8 M;
    enum { N = 8 };
    static D splat(double x) { return _mm512_set1_pd(x); }
    static D load(const double *p) { return _mm512_load_pd(p); }
    static void store(double *p, D a) { _mm512_store_pd(p, a); }
    static I loadI(const long long *p) { return _mm512_load_si512(p); }
    static void storeI(long long *p, I a) { _mm512_store_si512(p, a); }
    static D add(D a, D b) { return _mm512_add_pd(a, b); }
    static D sub(D a, D b) { return _mm512_sub_pd(a, b); }
    static D mul(D a, D b) { return _mm512_mul_pd(a, b); }
    static D abs(D a) { return _mm512_abs_pd(a); }
    static M nle(D a, D b) { return _mm512_cmp_pd_mask(a, b, _CMP_NLE_UQ); }
    static M lt(D a, D b) { return _mm512_cmp_pd_mask(a, b, _CMP_LT_OQ); }
    static M either(M a, M b) { return (M)(a | b); }
    static int bits(M a) { return (int)a; }
    static I next(I m) { return _mm512_add_epi64(m, _mm512_set1_epi64(1)); }
    static M beyond(I m, I stopAt) { return _mm512_cmpgt_epi64_mask(next(m), stopAt); }
    static M ltWhere(M lanes, D a, D b) { return _mm512_mask_cmp_pd_mask(lanes, a, b, _CMP_LT_OQ); }
    // The lanes at a multiple of the entry length (those without tables
    // read NO_RADIUS there: nextRadii).
    static M atEntry(I m) { return _mm512_testn_epi64_mask(m, _mm512_set1_epi64(BLA_ENTRY_STEPS - 1)); }
    // The radius of each lane's entry block at the first multiple of its
    // length from m on; NO_RADIUS where it has none before stopAt.
    static D nextRadii(I m, I rAt, I stopAt) {
        const I j = _mm512_maskz_srli_epi64(0xFF, _mm512_add_epi64(m, _mm512_set1_epi64(BLA_ENTRY_STEPS - 1)),
                                            BLA_ENTRY_LEVEL);
        const M lanes = _mm512_mask_cmpgt_epi64_mask(_mm512_test_epi64_mask(rAt, rAt), stopAt,
                                                     _mm512_maskz_slli_epi64(0xFF, j, BLA_ENTRY_LEVEL));
        const I at = _mm512_add_epi64(rAt, _mm512_maskz_slli_epi64(0xFF, j, 3));
        return _mm512_mask_i64gather_pd(_mm512_set1_pd(NO_RADIUS), lanes, at, nullptr, 1);
    }
    // Z of each lane k at z[k] + 2 i.
    static void orbit(const double *const *z, long i, D &zr, D &zi) {
        auto two = [&](int j, int k) {
            return _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_loadu_pd(z[j] + 2 * i)), _mm_loadu_pd(z[k] + 2 * i), 1);
        };
        const D lo = _mm512_maskz_insertf64x4(0xFF, _mm512_castpd256_pd512(two(0, 2)), two(4, 6), 1);
        const D up = _mm512_maskz_insertf64x4(0xFF, _mm512_castpd256_pd512(two(1, 3)), two(5, 7), 1);
        zr = _mm512_maskz_unpacklo_pd(0xFF, lo, up), zi = _mm512_maskz_unpackhi_pd(0xFF, lo, up);
    }
};

}  // namespace

int quadraticSamplesAvx512(const DeepEngine &e, const FloatExp *dx, const FloatExp *dy, int count, DeepSample *out,
                           const std::atomic<int> *stop, int derivative) {
    enum { G = 1 };
    if (e.ref.dragon)
        return derivative ? vectorSamples<Avx512, G, true, true>(e, dx, dy, count, out, stop)
                          : vectorSamples<Avx512, G, true, false>(e, dx, dy, count, out, stop);
    return derivative ? vectorSamples<Avx512, G, false, true>(e, dx, dy, count, out, stop)
                      : vectorSamples<Avx512, G, false, false>(e, dx, dy, count, out, stop);
}

#if defined(__clang__)
#pragma clang attribute pop
#endif

#endif
