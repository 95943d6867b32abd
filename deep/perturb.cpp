#include "deep/perturb.h"

#include <limits.h>
#include <mpfr.h>
#include <stdint.h>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "core/cpu_features.h"
#include "core/fractal_types.h"
#include "deep/lanes.h"

namespace {

// The escape test on w: (h - w)^2 > limit, with h = 0 and limit 4 for
// Mandelbrot and Julia, h = L/2 and limit 4 |L|^2 for the Dragons.
struct EscapeTest {
    double hr, hi, limit;
};

// One sample point in the middle of its loop.
template <class T> struct Lane {
    Cx<T> dw, dc;
    Cx<T> der;   // d(dw)/d(point), when asked for
    Cx<T> derC;  // d(dc)/d(point): what each step adds to der
    EscapeTest test;
    const Cx<T> *z;  // the orbit it follows
    const BlaTable<T> *table;
    const T *rEntry;  // its radii of level BLA_ENTRY_LEVEL, or null
    int m, n, last;
    int level;  // of the last table block
    int index;  // the sample it works on, -1 when idle
    int nearAt;    // n at the last rebase
    int tryAfter;  // no cycle proof tried before n reaches this
    int tryAt;     // the next m where one is tried without a rebase
    int tryFrom;   // the first such m of the orbit it follows, -1 for none
};

// Where the orbit is back near 0, its state w = z (within `slack` of the
// exact one): true when it is proven never to escape (cycle_proof.h). A
// failed try puts the next one off until n has grown by half, so an orbit
// that only seemed captured pays for a few tries at most; one on its way
// out of every cycle's domain is not tried again.
template <class T> bool captured(const DeepEngine &e, Lane<T> &l, const Cx<T> &z, int since, FloatExp slack) {
    if (e.cycles.empty() || l.n < l.tryAfter) return false;
    const Cx<FloatExp> w = {asFloatExp(z.re), asFloatExp(z.im)}, dc = {asFloatExp(l.dc.re), asFloatExp(l.dc.im)};
    const int proven = cycleCaptured(e.cycles, w, dc, since, slack);
    if (proven == 0) l.tryAfter = l.n + l.n / 2 + 1;
    if (proven == -2) l.tryAfter = INT_MAX;
    return proven == 1;
}

// At a rebase (m = 0, dw = z exactly).
template <class T> bool capturedAtRebase(const DeepEngine &e, Lane<T> &l, const Cx<T> &z) {
    const int since = l.n - l.nearAt;
    l.nearAt = l.n;
    return captured(e, l, z, since, FloatExp::zero());
}

// Where the orbit it follows is as near 0 as Z_0 (every e.cycleStride
// steps from l.tryFrom, cycleStride's model's period), the state is
// z = Z_m + dw, within the rounding of that sum and of Z_m. Tried only
// there, and not before n reaches tryAfter: no pass is made special
// (perturb.h's vector path) but for a try.
template <class T> void scheduleTry(const DeepEngine &e, Lane<T> &l) {
    if (l.tryFrom < 0) {
        l.tryAt = INT_MAX;
        return;
    }
    const long p = e.cycleStride, wait = l.tryAfter > l.n ? l.tryAfter - l.n : 0;
    const long from = l.m + 1 + wait > l.tryFrom ? l.m + 1 + wait : l.tryFrom;
    const long at = l.tryFrom + (from - l.tryFrom + p - 1) / p * p;
    l.tryAt = at < INT_MAX ? (int)at : INT_MAX;
}

template <class T> bool capturedAtStride(const DeepEngine &e, Lane<T> &l, const Cx<T> &Z, const Cx<T> &z) {
    bool proven = false;
    if (l.m == l.tryAt) {
        const FloatExp slack = (magnitude1(Cx<FloatExp>{asFloatExp(Z.re), asFloatExp(Z.im)}) +
                                magnitude1(Cx<FloatExp>{asFloatExp(z.re), asFloatExp(z.im)})) * 0x1p-51;
        proven = captured(e, l, z, e.cycleStride, slack);
    }
    if (!proven) scheduleTry(e, l);
    return proven;
}

template <class T> void follow(const DeepEngine &e, int orbit, Lane<T> &l) {
    l.z = orbitData<T>(e.ref.orbit[orbit]);
    l.table = tableOf<T, BlaStep>(e, orbit);
    l.rEntry = entryRadii(l.table);
    l.last = e.ref.orbit[orbit].last;
    l.tryFrom = e.cycleStride ? e.strideFrom[orbit] : -1;
}

// One pass of the loop (perturb.h): 1 when the sample is finished, its
// count and escaping w in `out`; 2 after a table block; 0 after a step.
// DRAGON: the escape test reads L/2 - w. DER: der goes along (perturb.h).
template <class T, bool DRAGON, bool DER = false>
inline __attribute__((always_inline)) int advance(const DeepEngine &e, Lane<T> &l, DeepSample &out) {
    const int detail = e.ref.detail;
    if (l.n >= detail) {
        out = DeepSample{detail, 0.0, 0.0, 0.0, 0.0};
        return 1;
    }
    Cx<T> Z = l.z[l.m];
    const Cx<T> z = Z + l.dw;
    const double zr = toDouble(z.re), zi = toDouble(z.im);
    const double vr = DRAGON ? l.test.hr - zr : zr, vi = DRAGON ? l.test.hi - zi : zi;
    const double v = vr * vr + vi * vi;
    if (!(v <= l.test.limit)) {
        out = DeepSample{l.n, zr, zi, 0.0, 0.0};
        if (DER) out.dr = asFloatExp(l.der.re), out.di = asFloatExp(l.der.im);
        return 1;
    }
    if (l.m >= l.tryAt && capturedAtStride(e, l, Z, z)) {
        out = DeepSample{detail, 0.0, 0.0, 0.0, 0.0};
        return 1;
    }
    const T dwSize = magnitude1(l.dw);
    if (l.m == l.last || lessMag(magnitude1(z), dwSize)) {  // the critical orbit starts at 0
        follow<T>(e, e.ref.critical, l);
        l.dw = z;
        l.m = 0;
        if (capturedAtRebase(e, l, z)) {
            out = DeepSample{detail, 0.0, 0.0, 0.0, 0.0};
            return 1;
        }
        scheduleTry(e, l);
        Z = Cx<T>{fromDouble<T>(0.0), fromDouble<T>(0.0)};
    } else if (l.rEntry && !(l.m & (BLA_ENTRY_STEPS - 1)) && lessMag(dwSize, l.rEntry[l.m >> BLA_ENTRY_LEVEL])) {
        int length = 0;
        if (const BlaStep<T> *s = blaLookup(*l.table, l.m, dwSize, detail - l.n, &length, &l.level)) {
            l.dw = s->a * l.dw + s->b * l.dc;
            if (DER) l.der = s->a * l.der + s->b * l.derC;
            l.m += length, l.n += length;
            return 2;
        }
    }
    const T tr = Z.re * 2.0 + l.dw.re, ti = Z.im * 2.0 + l.dw.im;
    if (DER) {  // 2 z der + derC, z = Z + dw here even after a rebase
        const Cx<T> twice = l.der * z;
        l.der = Cx<T>{twice.re * 2.0 + l.derC.re, twice.im * 2.0 + l.derC.im};
    }
    l.dw = Cx<T>{tr * l.dw.re - ti * l.dw.im + l.dc.re, tr * l.dw.im + ti * l.dw.re + l.dc.im};
    ++l.m, ++l.n;
    return 0;
}

// Sets up the lane of the point centre + d: w's delta and c's delta for the
// type. 0 when the answer is known at once (it is then in `out`).
template <class T> int startLane(const DeepEngine &e, Cx<T> d, Lane<T> &l, DeepSample &out) {
    const DeepReference &ref = e.ref;
    const T zero = fromDouble<T>(0.0);
    const Cx<double> dd = {toDouble(d.re), toDouble(d.im)};
    follow<T>(e, 0, l);
    l.m = l.n = 0;
    l.level = 1;
    l.nearAt = l.tryAfter = 0;
    scheduleTry(e, l);
    l.test = EscapeTest{0.0, 0.0, 4.0};
    l.dw = l.dc = Cx<T>{zero, zero};
    const int julia = FRACTAL_TYPE_TABLE[ref.type].jKind;
    l.der = Cx<T>{fromDouble<T>(julia ? 1.0 : 0.0), zero};  // d(dw)/d(point) at the start
    l.derC = Cx<T>{fromDouble<T>(julia ? 0.0 : 1.0), zero};
    if (!ref.dragon) {  // w = z: the point is z_0 (J kinds) or c (M kinds)
        if (julia) l.dw = d;
        else l.dc = d;
        return 1;
    }
    // The Dragons: c = L/2 - L^2/4 and w = L (1/2 - z).
    Cx<double> lambda = ref.lambda;
    if (!julia) {  // dc = d (1/2 - L/2 - d/4)
        lambda = Cx<double>{lambda.re + dd.re, lambda.im + dd.im};
        const Cx<T> k = lift<T>(Cx<double>{0.5 - ref.lambda.re * 0.5, -ref.lambda.im * 0.5});
        l.dc = d * Cx<T>{k.re - d.re * 0.25, k.im - d.im * 0.25};
        l.derC = Cx<T>{k.re - d.re * 0.5, k.im - d.im * 0.5};  // w_0 = 0
    } else if (lambda.re == 0.0 && lambda.im == 0.0) {  // z_1 = 0 for every start: only z_0 can escape
        const double zr = ref.centre.re + dd.re, zi = ref.centre.im + dd.im;
        out = zr * zr + zi * zi <= 4.0 ? DeepSample{ref.detail, 0, 0, 0, 0} : DeepSample{0, zr, zi, 0, 0};
        return 0;
    } else {  // dw = -L d
        const Cx<T> p = lift<T>(lambda) * d;
        l.dw = Cx<T>{-p.re, -p.im};
        l.der = lift<T>(Cx<double>{-lambda.re, -lambda.im});
    }
    l.test = EscapeTest{lambda.re * 0.5, lambda.im * 0.5, 4.0 * (lambda.re * lambda.re + lambda.im * lambda.im)};
    return 1;
}

// The Dragons' z = 1/2 - w / L from the escaping w, and with `der`
// dz = (dL (1/2 - z) - dw) / L from its derivative (dL = 1 for M-Dragon).
void dragonZ(const EscapeTest &test, DeepSample &s, bool der = false, bool mKind = false) {
    const double lr = 2.0 * test.hr, li = 2.0 * test.hi, n = lr * lr + li * li;
    const double qr = (s.zr * lr + s.zi * li) / n, qi = (s.zi * lr - s.zr * li) / n;
    s.zr = 0.5 - qr, s.zi = -qi;
    if (!der) return;
    const FloatExp ur = mKind ? FloatExp::of(0.5 - s.zr) - s.dr : -s.dr;
    const FloatExp ui = mKind ? FloatExp::of(-s.zi) - s.di : -s.di;
    s.dr = (ur * lr + ui * li) * (1.0 / n), s.di = (ui * lr - ur * li) * (1.0 / n);
}

// The rule of Mandelbrot, Julia and the Dragons for the driver (lanes.h).
template <class T, bool DRAGON, bool DER = false> struct QuadraticRule {
    typedef T Value;
    typedef ::Lane<T> Lane;
    static int start(const DeepEngine &e, Cx<T> d, Lane &l, DeepSample &out) { return startLane<T>(e, d, l, out); }
    static int advance(const DeepEngine &e, Lane &l, DeepSample &out) { return ::advance<T, DRAGON, DER>(e, l, out); }
    static void finish(const DeepEngine &e, const Lane &l, DeepSample &out) {
        if (DRAGON && out.count < e.ref.detail) dragonZ(l.test, out, DER, !FRACTAL_TYPE_TABLE[e.ref.type].jKind);
    }
};

template <class T, bool DRAGON, bool DER = false>
int sampleBatch(const DeepEngine &e, const FloatExp *dx, const FloatExp *dy, int count, DeepSample *out,
                const std::atomic<int> *stop) {
    return runLanes<QuadraticRule<T, DRAGON, DER>>(e, dx, dy, count, out, stop);
}

#if defined(__x86_64__)
// Four samples to a vector (AVX2, no FMA: every sum and product rounds as
// in the pass above, so the counts are the same bits). Each vector pass
// does the plain step for the lanes whose pass is nothing else; a lane
// whose pass is an escape, a rebase, a table block or the limit takes that
// pass through `advance` instead, and a run of table blocks all at once.
// Integers and addresses travel in 64-bit lanes; the orbit and the entry
// level's radii are read by four loads each (faster here than a gather).
struct alignas(32) LaneArrays {
    double dwr[4], dwi[4], dcr[4], dci[4], hr[4], hi[4], limit[4];
    double derr[4], deri[4], dkr[4], dki[4];  // DER: der and derC
    long long zAt[4], rAt[4], m[4];
    long long stopAt[4];  // m where the pass is special: the orbit's last value, or detail reached
};

// DER: der beside dw, in the portable pass's operations (the same bits).
template <bool DRAGON, bool DER = false>
__attribute__((target("avx2"))) int sampleBatchAvx2(const DeepEngine &e, const FloatExp *dx, const FloatExp *dy,
                                                    int count, DeepSample *out, const std::atomic<int> *stop) {
    const int detail = e.ref.detail;
    const bool mKind = !FRACTAL_TYPE_TABLE[e.ref.type].jKind;
    Lane<double> lane[4];
    LaneArrays a;
    int next = 0, busy = 0, active = 0;
    auto toArrays = [&](int k) {
        const Lane<double> &l = lane[k];
        a.dwr[k] = l.dw.re, a.dwi[k] = l.dw.im, a.dcr[k] = l.dc.re, a.dci[k] = l.dc.im;
        if (DER) a.derr[k] = l.der.re, a.deri[k] = l.der.im, a.dkr[k] = l.derC.re, a.dki[k] = l.derC.im;
        a.hr[k] = l.test.hr, a.hi[k] = l.test.hi, a.limit[k] = l.test.limit;
        a.zAt[k] = (long long)(uintptr_t)l.z, a.rAt[k] = (long long)(uintptr_t)l.rEntry;
        a.m[k] = l.m;
        a.stopAt[k] = l.last < detail - (l.n - l.m) ? l.last : detail - (l.n - l.m);  // steps move m and n alike
        if (l.tryAt < a.stopAt[k]) a.stopAt[k] = l.tryAt;
    };
    int stopped = 0;
    auto fill = [&](int k) {
        Lane<double> &l = lane[k];
        l.index = -1;
        if (stop && next < count && stop->load(std::memory_order_relaxed)) stopped = 1, next = count;
        while (next < count && l.index < 0) {
            const Cx<double> d = {dx[next].toDouble(), dy[next].toDouble()};
            if (startLane<double>(e, d, l, out[next])) l.index = next;
            ++next;
        }
        if (l.index >= 0) {
            ++busy, active |= 1 << k;
        } else {  // idle: a readable place, never stepped
            static const Cx<double> nowhere[1] = {{0.0, 0.0}};
            active &= ~(1 << k);
            l.z = nowhere, l.m = l.n = l.last = 0, l.rEntry = nullptr;  // a lane never started holds nothing yet
            l.der = l.derC = Cx<double>{0.0, 0.0};
        }
        toArrays(k);
    };
    for (int k = 0; k < 4; ++k) fill(k);
    static const double noRadius = -1.0;  // what a lane without an entry block reads
    const __m256d SIGN = _mm256_set1_pd(-0.0), TWO = _mm256_set1_pd(2.0), NO_RADIUS = _mm256_set1_pd(noRadius);
    const __m256i NOWHERE = _mm256_set1_epi64x((long long)(uintptr_t)&noRadius);
    const __m256i ONE = _mm256_set1_epi64x(1), ENTRY = _mm256_set1_epi64x(BLA_ENTRY_STEPS - 1);
    const __m256i BIT = _mm256_set_epi64x(8, 4, 2, 1);
    __m256d DWR = _mm256_load_pd(a.dwr), DWI = _mm256_load_pd(a.dwi), DCR = _mm256_load_pd(a.dcr),
            DCI = _mm256_load_pd(a.dci), LIM = _mm256_load_pd(a.limit);
    const __m256d NONE = _mm256_setzero_pd();  // without DER the arrays are never filled
    __m256d DERR = DER ? _mm256_load_pd(a.derr) : NONE, DERI = DER ? _mm256_load_pd(a.deri) : NONE;
    __m256d DKR = DER ? _mm256_load_pd(a.dkr) : NONE, DKI = DER ? _mm256_load_pd(a.dki) : NONE;
    __m256i M = _mm256_load_si256((const __m256i *)a.m);
    __m256i ZAT = _mm256_load_si256((const __m256i *)a.zAt), RAT = _mm256_load_si256((const __m256i *)a.rAt);
    __m256i STOP = _mm256_load_si256((const __m256i *)a.stopAt);
    __m256i ACTIVE = _mm256_cmpeq_epi64(_mm256_and_si256(_mm256_set1_epi64x(active), BIT), BIT);
    while (busy > 0) {
        const __m256i zAt = _mm256_add_epi64(ZAT, _mm256_slli_epi64(M, 4));
        alignas(32) long long at[4];
        _mm256_store_si256((__m256i *)at, zAt);
        const __m256d lo = _mm256_set_m128d(_mm_loadu_pd((const double *)at[2]), _mm_loadu_pd((const double *)at[0]));
        const __m256d up = _mm256_set_m128d(_mm_loadu_pd((const double *)at[3]), _mm_loadu_pd((const double *)at[1]));
        const __m256d ZR = _mm256_unpacklo_pd(lo, up), ZI = _mm256_unpackhi_pd(lo, up);
        const __m256d zr = _mm256_add_pd(ZR, DWR), zi = _mm256_add_pd(ZI, DWI);
        const __m256d vr = DRAGON ? _mm256_sub_pd(_mm256_load_pd(a.hr), zr) : zr;
        const __m256d vi = DRAGON ? _mm256_sub_pd(_mm256_load_pd(a.hi), zi) : zi;
        const __m256d v = _mm256_add_pd(_mm256_mul_pd(vr, vr), _mm256_mul_pd(vi, vi));
        const __m256d dwSize = _mm256_add_pd(_mm256_andnot_pd(SIGN, DWR), _mm256_andnot_pd(SIGN, DWI));
        const __m256d zSize = _mm256_add_pd(_mm256_andnot_pd(SIGN, zr), _mm256_andnot_pd(SIGN, zi));
        // An entry block is there where m is a multiple of its length and
        // the lane has a table; it is valid where dw is inside its radius.
        const __m256i ZERO = _mm256_setzero_si256();
        const __m256i entry = _mm256_andnot_si256(
            _mm256_cmpeq_epi64(RAT, ZERO), _mm256_and_si256(_mm256_cmpeq_epi64(_mm256_and_si256(M, ENTRY), ZERO), ACTIVE));
        __m256d R = NO_RADIUS;  // most passes: no lane at an entry, nothing to read
        if (!_mm256_testz_si256(entry, entry)) {
            const __m256i rIndex = _mm256_blendv_epi8(
                NOWHERE, _mm256_add_epi64(RAT, _mm256_slli_epi64(_mm256_srli_epi64(M, BLA_ENTRY_LEVEL), 3)), entry);
            _mm256_store_si256((__m256i *)at, rIndex);
            const __m128d r01 = _mm_loadh_pd(_mm_load_sd((const double *)at[0]), (const double *)at[1]);
            const __m128d r23 = _mm_loadh_pd(_mm_load_sd((const double *)at[2]), (const double *)at[3]);
            R = _mm256_set_m128d(r23, r01);
        }
        __m256d odd = _mm256_cmp_pd(v, LIM, _CMP_NLE_UQ);
        odd = _mm256_or_pd(odd, _mm256_cmp_pd(zSize, dwSize, _CMP_LT_OQ));
        odd = _mm256_or_pd(odd, _mm256_cmp_pd(dwSize, R, _CMP_LT_OQ));
        odd = _mm256_or_pd(odd, _mm256_castsi256_pd(_mm256_cmpgt_epi64(_mm256_add_epi64(M, ONE), STOP)));
        const int special = _mm256_movemask_pd(odd) & active;
        const __m256d tr = _mm256_add_pd(_mm256_mul_pd(ZR, TWO), DWR), ti = _mm256_add_pd(_mm256_mul_pd(ZI, TWO), DWI);
        const __m256d nr = _mm256_add_pd(_mm256_sub_pd(_mm256_mul_pd(tr, DWR), _mm256_mul_pd(ti, DWI)), DCR);
        const __m256d ni = _mm256_add_pd(_mm256_add_pd(_mm256_mul_pd(tr, DWI), _mm256_mul_pd(ti, DWR)), DCI);
        const __m256i step = special ? _mm256_cmpeq_epi64(_mm256_and_si256(_mm256_set1_epi64x(active & ~special), BIT), BIT)
                                     : ACTIVE;
        DWR = _mm256_blendv_pd(DWR, nr, _mm256_castsi256_pd(step));
        DWI = _mm256_blendv_pd(DWI, ni, _mm256_castsi256_pd(step));
        if (DER) {  // 2 (der z) + derC
            const __m256d pr = _mm256_sub_pd(_mm256_mul_pd(DERR, zr), _mm256_mul_pd(DERI, zi));
            const __m256d pi = _mm256_add_pd(_mm256_mul_pd(DERR, zi), _mm256_mul_pd(DERI, zr));
            DERR = _mm256_blendv_pd(DERR, _mm256_add_pd(_mm256_mul_pd(pr, TWO), DKR), _mm256_castsi256_pd(step));
            DERI = _mm256_blendv_pd(DERI, _mm256_add_pd(_mm256_mul_pd(pi, TWO), DKI), _mm256_castsi256_pd(step));
        }
        M = _mm256_sub_epi64(M, step);
        if (!special) continue;
        _mm256_store_pd(a.dwr, DWR), _mm256_store_pd(a.dwi, DWI);
        if (DER) _mm256_store_pd(a.derr, DERR), _mm256_store_pd(a.deri, DERI);
        _mm256_store_si256((__m256i *)a.m, M);
        for (int k = 0; special >> k; ++k) {
            if (!(special >> k & 1)) continue;
            Lane<double> &l = lane[k];
            l.dw = Cx<double>{a.dwr[k], a.dwi[k]};
            if (DER) l.der = Cx<double>{a.derr[k], a.deri[k]};
            l.n += (int)a.m[k] - l.m, l.m = (int)a.m[k];
            int r;
            while ((r = advance<double, DRAGON, DER>(e, l, out[l.index])) == 2) {}  // a run of blocks at once
            if (r == 1) {
                if (DRAGON && out[l.index].count < detail) dragonZ(l.test, out[l.index], DER, mKind);
                --busy;
                fill(k);
            } else {
                toArrays(k);
            }
        }
        DWR = _mm256_load_pd(a.dwr), DWI = _mm256_load_pd(a.dwi), DCR = _mm256_load_pd(a.dcr);
        DCI = _mm256_load_pd(a.dci), LIM = _mm256_load_pd(a.limit);
        if (DER) {
            DERR = _mm256_load_pd(a.derr), DERI = _mm256_load_pd(a.deri);
            DKR = _mm256_load_pd(a.dkr), DKI = _mm256_load_pd(a.dki);
        }
        M = _mm256_load_si256((const __m256i *)a.m);
        ZAT = _mm256_load_si256((const __m256i *)a.zAt), RAT = _mm256_load_si256((const __m256i *)a.rAt);
        STOP = _mm256_load_si256((const __m256i *)a.stopAt);
        ACTIVE = _mm256_cmpeq_epi64(_mm256_and_si256(_mm256_set1_epi64x(active), BIT), BIT);
    }
    return !stopped;
}
#endif

int narrowerThan(const DeepLocation &loc, const char *width) {
    mpfr_t w, limit;
    mpfr_inits2(64, w, limit, (mpfr_ptr)0);
    mpfr_set_str(w, loc.width.c_str(), 10, MPFR_RNDN);
    mpfr_set_str(limit, width, 10, MPFR_RNDN);
    const int less = mpfr_less_p(w, limit);
    mpfr_clears(w, limit, (mpfr_ptr)0);
    return less;
}

template <class T> T cMax(const DeepReference &ref, T reach) {
    if (ref.critical) return fromDouble<T>(0.0);  // the J kinds: c is the pivot for all
    // Phoenix's bound is on |ds| + |dt|, at most sqrt 2 times the modulus.
    if (ref.rule == PHOENIX_RULE) return reach * 1.5;
    if (!ref.dragon) return reach;
    // |d (1/2 - L/2 - d/4)| with a little room for rounding
    const double k = hypot(0.5 - ref.lambda.re * 0.5, ref.lambda.im * 0.5);
    return reach * (k * (1.0 + 0x1p-40) + toDouble(reach) * 0.25 + 0x1p-1000);
}

// Orbit o's tables, of the kind its rule takes, in T.
template <class T, template <class> class Map> int buildTables(DeepEngine &e, int o, FloatExp reach,
                                                             const std::atomic<int> *stop) {
    BlaTable<T, Map> &t = (e.*TablesOf<T, Map>::at)[o];
    return buildBlaTable<T, Map>(e.ref, o, cMax<T>(e.ref, fromFloatExp<T>(reach)), t, stop);
}

template <class T> int buildRuleTables(DeepEngine &e, int o, FloatExp reach, const std::atomic<int> *stop) {
    if (e.ref.rule == PHOENIX_RULE) return buildTables<T, BlaPairStep>(e, o, reach, stop);
    if (e.ref.rule == COSH_RULE) return buildTables<T, BlaConjStep>(e, o, reach, stop);
    return buildTables<T, BlaStep>(e, o, reach, stop);
}

// The stride: a model whose cycle the critical orbit lies on itself (Z_p
// is as near 0 as its own rounding), and on each orbit the first m from
// which every p-th Z is that near 0 too: the places for a try without a
// rebase.
void findStrides(DeepEngine &e) {
    for (int o = 0; o < DEEP_ORBITS; ++o) e.strideFrom[o] = -1;
    const CycleModel *stride = nullptr;
    for (const CycleModel &m : e.cycles)
        if (lessMag(m.zp.re, m.err) && lessMag(m.zp.im, m.err)) stride = &m;
    if (!stride) return;
    e.cycleStride = stride->period;
    const FloatExp tiny = stride->r0 * 0x1p-40;
    for (int o = 0; o < e.ref.orbits; ++o) {
        const ReferenceOrbit &orbit = e.ref.orbit[o];
        auto near0 = [&](int m) {
            const Cx<FloatExp> Z = orbit.zf.empty() ? lift<FloatExp>(orbit.z[(size_t)m]) : orbit.zf[(size_t)m];
            return lessMag(magnitude1(Z), tiny);
        };
        int from = 0;
        while (from <= orbit.last && !near0(from)) ++from;
        bool all = from <= orbit.last;
        for (int m = from; all && m <= orbit.last; m += e.cycleStride) all = near0(m);
        if (all) e.strideFrom[o] = from;
    }
}

}  // namespace

int prepareDeepTables(DeepEngine &e, FloatExp reach, int floatExp, const std::atomic<int> *stop) {
    e.floatExp = floatExp;
    e.cycles.clear();
    e.cycleStride = 0;
    if (!e.exhaustive) buildCycleModels(e.ref, e.ref.critical, cMax<FloatExp>(e.ref, reach), e.cycles);
    findStrides(e);
    if (!e.approximation) return 1;
    for (int o = 0; o < e.ref.orbits; ++o) {
        const int built = floatExp ? buildRuleTables<FloatExp>(e, o, reach, stop)
                                   : buildRuleTables<double>(e, o, reach, stop);
        if (!built) return 0;
    }
    return 1;
}

int deepNeedsFloatExp(const DeepLocation &loc) { return narrowerThan(loc, DEEP_DOUBLE_WIDTH); }

ReferenceResult prepareDeepEngine(const DeepLocation &loc, int cells, FloatExp reach,
                                  const std::atomic<int> *stop, ReferenceProgress progress, void *context,
                                  DeepEngine &e) {
    const int floatExp = deepNeedsFloatExp(loc);
    const ReferenceResult r = computeReference(loc, cells, floatExp, stop, progress, context, e.ref);
    if (r != REFERENCE_DONE) return r;
    return prepareDeepTables(e, reach, floatExp, stop) ? REFERENCE_DONE : REFERENCE_STOPPED;
}

int deepSamples(const DeepEngine &e, const FloatExp *dx, const FloatExp *dy, int count, DeepSample *out,
                const std::atomic<int> *stop, int derivative) {
    if (e.ref.rule == PHOENIX_RULE) return phoenixSamples(e, dx, dy, count, out, stop, derivative);
    if (trigonometricRule(e.ref.rule)) return trigSamples(e, dx, dy, count, out, stop, derivative);
    if (derivative && e.floatExp)
        return e.ref.dragon ? sampleBatch<FloatExp, true, true>(e, dx, dy, count, out, stop)
                            : sampleBatch<FloatExp, false, true>(e, dx, dy, count, out, stop);
#if defined(__x86_64__)
    if (derivative && !e.portable && cpuHasAvx2())
        return e.ref.dragon ? sampleBatchAvx2<true, true>(e, dx, dy, count, out, stop)
                            : sampleBatchAvx2<false, true>(e, dx, dy, count, out, stop);
#endif
    if (derivative)
        return e.ref.dragon ? sampleBatch<double, true, true>(e, dx, dy, count, out, stop)
                            : sampleBatch<double, false, true>(e, dx, dy, count, out, stop);
    if (e.floatExp && e.ref.dragon) return sampleBatch<FloatExp, true>(e, dx, dy, count, out, stop);
    if (e.floatExp) return sampleBatch<FloatExp, false>(e, dx, dy, count, out, stop);
#if defined(__x86_64__)
    if (!e.portable && cpuHasAvx2() && e.ref.dragon) return sampleBatchAvx2<true>(e, dx, dy, count, out, stop);
    if (!e.portable && cpuHasAvx2()) return sampleBatchAvx2<false>(e, dx, dy, count, out, stop);
#endif
    if (e.ref.dragon) return sampleBatch<double, true>(e, dx, dy, count, out, stop);
    return sampleBatch<double, false>(e, dx, dy, count, out, stop);
}

DeepSample deepSample(const DeepEngine &e, FloatExp dx, FloatExp dy) {
    DeepSample s;
    deepSamples(e, &dx, &dy, 1, &s);
    return s;
}
