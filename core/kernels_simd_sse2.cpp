// kernels_simd_sse2.cpp - the lane engine on SSE2: two lanes per vector,
// the baseline of every x86-64 processor.
#if defined(__x86_64__)

#include <emmintrin.h>

#include "core/kernels_simd_isa.h"
#include "core/kernels_simd_lanes.h"

namespace {

struct Sse2 {
    typedef __m128d D;
    typedef __m128d M;  // all-ones lanes where set
    enum { LANES = 2 };
    // Every vector doubles by multiplying: the multiplies then match the
    // adds (4 and 4 a step) and measured fastest on two and four lanes.
    static const Doubling DOUBLING = DOUBLE_BY_MULTIPLYING;
    // The steps of a block in one loop: with its first step apart, the
    // compiler spills its sixteen registers (30 % slower).
    static const bool FIRST_STEP_APART = false;
    static const bool UNTESTED_RUNS = false;
    static D splat(double x) { return _mm_set1_pd(x); }
    static D load(const double *p) { return _mm_load_pd(p); }
    static void store(double *p, D a) { _mm_store_pd(p, a); }
    static D add(D a, D b) { return _mm_add_pd(a, b); }
    static D sub(D a, D b) { return _mm_sub_pd(a, b); }
    static D mul(D a, D b) { return _mm_mul_pd(a, b); }
    static D abs(D a) { return _mm_andnot_pd(_mm_set1_pd(-0.0), a); }
    static M le(D a, D b) { return _mm_cmple_pd(a, b); }
    static M eq(D a, D b) { return _mm_cmpeq_pd(a, b); }
    static D blend(int lanes, D a, const double *row) {
        const M m = _mm_castsi128_pd(_mm_set_epi64x(-(long long)(lanes >> 1 & 1), -(long long)(lanes & 1)));
        return pick(m, _mm_load_pd(row), a);
    }
    static M keepLe(M m, D a, D b) { return _mm_and_pd(m, _mm_cmple_pd(a, b)); }
    static M allLanes() { return _mm_castsi128_pd(_mm_set1_epi32(-1)); }
    static void storeCounts(int *p, D a) { _mm_storel_epi64((__m128i *)p, _mm_cvttpd_epi32(a)); }
    static M same(M m, D a, D b) { return _mm_and_pd(m, _mm_cmpeq_pd(a, b)); }
    static int bits(M m) { return _mm_movemask_pd(m); }
    static D pick(M m, D a, D b) { return _mm_or_pd(_mm_and_pd(m, a), _mm_andnot_pd(m, b)); }
    static D ramp(int i) { return _mm_add_pd(_mm_set1_pd(i), _mm_set_pd(1, 0)); }
    static void storeEnds(OrbitEnd *p, D zr, D zi, D pr, D pi) {
        double *d = &p->zr;
        _mm_storeu_pd(d, _mm_unpacklo_pd(zr, zi)), _mm_storeu_pd(d + 2, _mm_unpacklo_pd(pr, pi));
        _mm_storeu_pd(d + 4, _mm_unpackhi_pd(zr, zi)), _mm_storeu_pd(d + 6, _mm_unpackhi_pd(pr, pi));
    }
    static void storePasses(int *counts, int lanes, TestWord tests, int base) {
        Tests<LANES>::storeEach(counts, lanes, tests, base);
    }
    static void compress(double *dst, int lanes, D a) {
        if (lanes & 1)
            _mm_storel_pd(dst++, a);
        if (lanes & 2)
            _mm_storeh_pd(dst, a);
    }
};

}  // namespace

// Five vectors in flight: against four, 10 % faster on the valley view and
// a little on the others (four leave the multiply-add chain's latency
// exposed); the constants that no longer fit the sixteen registers are
// read from memory, which costs nothing. Six measured slower.
void escapeCountsSse2(int type, const KernelView &view, int row, int first, int count, int *counts,
                      OrbitEnd *ends) {
    laneEscapeCounts<Sse2, 5>(type, view, row, first, count, counts, ends);
}

#endif
