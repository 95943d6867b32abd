// perturb_avx2.cpp - the quadratic rule's deep loop on AVX2: four doubles
// to a vector, two vectors in flight (vector_passes.h; one alone waits on
// its multiplications). Only this file is
// compiled for AVX2; it runs only where the processor has it (deepSamples
// asks core/cpu_features.h first).
#if defined(__x86_64__)

#include <immintrin.h>

// Every header with code of its own comes before the pragma, so that none
// of that code is compiled for AVX2 here.
#include <stdint.h>

#include <atomic>

#include "deep/quadratic_lane.h"

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC target("avx2")
#endif

#include "deep/vector_passes.h"

namespace {

// The operations vector_passes.h asks for; a mask is a vector of lanes
// all ones or all zeros.
struct Avx2 {
    typedef __m256d D;
    typedef __m256i I;
    typedef __m256d M;
    enum { N = 4 };
    static D splat(double x) { return _mm256_set1_pd(x); }
    static D load(const double *p) { return _mm256_load_pd(p); }
    static void store(double *p, D a) { _mm256_store_pd(p, a); }
    static I loadI(const long long *p) { return _mm256_load_si256((const __m256i *)p); }
    static void storeI(long long *p, I a) { _mm256_store_si256((__m256i *)p, a); }
    static D add(D a, D b) { return _mm256_add_pd(a, b); }
    static D sub(D a, D b) { return _mm256_sub_pd(a, b); }
    static D mul(D a, D b) { return _mm256_mul_pd(a, b); }
    static D abs(D a) { return _mm256_andnot_pd(_mm256_set1_pd(-0.0), a); }
    static M nle(D a, D b) { return _mm256_cmp_pd(a, b, _CMP_NLE_UQ); }
    static M lt(D a, D b) { return _mm256_cmp_pd(a, b, _CMP_LT_OQ); }
    static M either(M a, M b) { return _mm256_or_pd(a, b); }
    static int bits(M a) { return _mm256_movemask_pd(a); }
    static I next(I m) { return _mm256_add_epi64(m, _mm256_set1_epi64x(1)); }
    static M beyond(I m, I stopAt) { return _mm256_castsi256_pd(_mm256_cmpgt_epi64(next(m), stopAt)); }
    static M ltWhere(M lanes, D a, D b) { return _mm256_and_pd(lanes, lt(a, b)); }
    // The lanes at a multiple of the entry length (those without tables
    // read NO_RADIUS there: nextRadii).
    static M atEntry(I m) {
        return _mm256_castsi256_pd(_mm256_cmpeq_epi64(_mm256_and_si256(m, _mm256_set1_epi64x(BLA_ENTRY_STEPS - 1)),
                                                      _mm256_setzero_si256()));
    }
    // The radius of each lane's entry block at the first multiple of its
    // length from m on; NO_RADIUS where it has none before stopAt.
    static D nextRadii(I m, I rAt, I stopAt) {
        const I j = _mm256_srli_epi64(_mm256_add_epi64(m, _mm256_set1_epi64x(BLA_ENTRY_STEPS - 1)), BLA_ENTRY_LEVEL);
        const I before = _mm256_cmpgt_epi64(stopAt, _mm256_slli_epi64(j, BLA_ENTRY_LEVEL));
        const I lanes = _mm256_andnot_si256(_mm256_cmpeq_epi64(rAt, _mm256_setzero_si256()), before);
        const I at = _mm256_add_epi64(rAt, _mm256_slli_epi64(j, 3));
        return _mm256_mask_i64gather_pd(_mm256_set1_pd(NO_RADIUS), nullptr, at, _mm256_castsi256_pd(lanes), 1);
    }
    // Z of each lane k at z[k] + 2 i.
    static void orbit(const double *const *z, long i, D &zr, D &zi) {
        const D lo = _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_loadu_pd(z[0] + 2 * i)), _mm_loadu_pd(z[2] + 2 * i), 1);
        const D up = _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_loadu_pd(z[1] + 2 * i)), _mm_loadu_pd(z[3] + 2 * i), 1);
        zr = _mm256_unpacklo_pd(lo, up), zi = _mm256_unpackhi_pd(lo, up);
    }
};

}  // namespace

int quadraticSamplesAvx2(const DeepEngine &e, const FloatExp *dx, const FloatExp *dy, int count, DeepSample *out,
                         const std::atomic<int> *stop, int derivative) {
    enum { G = 2 };
    if (e.ref.dragon)
        return derivative ? vectorSamples<Avx2, G, true, true>(e, dx, dy, count, out, stop)
                          : vectorSamples<Avx2, G, true, false>(e, dx, dy, count, out, stop);
    return derivative ? vectorSamples<Avx2, G, false, true>(e, dx, dy, count, out, stop)
                      : vectorSamples<Avx2, G, false, false>(e, dx, dy, count, out, stop);
}

#if defined(__clang__)
#pragma clang attribute pop
#endif

#endif
