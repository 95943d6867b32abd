// kernels_simd.cpp - choosing a kernel path; the scalar path with exact
// cycle detection. The vector paths live in kernels_simd_{sse2,avx2,avx512}.cpp.
#include "core/kernels_simd.h"

#include <math.h>
#include <string.h>

#include <atomic>

#if defined(__x86_64__)
#include <emmintrin.h>
#endif

#include "core/cpu_features.h"
#include "core/interior_proof.h"
#include "core/kernel_steps.h"
#include "core/kernels_plain.h"
#include "core/kernels_simd_isa.h"
#include "core/state.h"

namespace {

// Comparing pr and pi too is sound for every type: they stay 0 but for Phoenix.
inline bool sameOrbit(const Orbit &a, const Orbit &b) {
    return a.zr == b.zr && a.zi == b.zi && a.pr == b.pr && a.pi == b.pi;
}

// Steps taken before the cycle check starts: most orbits of a typical view
// end sooner, and those pay nothing for the check.
enum { UNCHECKED_STEPS = 16 };
static_assert((int)CAPTURE_PATIENCE >= (int)UNCHECKED_STEPS && (CAPTURE_PATIENCE & (CAPTURE_PATIENCE - 1)) == 0,
              "the checkpoint at n = CAPTURE_PATIENCE arms the interior proof");

// What a count hands back besides: the orbit's end, or nothing.
struct NoEnd {
    void failed(const Orbit &) {}
    void reachedLimit() {}
};

struct EndAt {
    OrbitEnd *end;
    void failed(const Orbit &z) { *end = {z.zr, z.zi, z.pr, z.pi}; }
    void reachedLimit() { *end = {0.0, 0.0, 0.0, 0.0}; }
};

// The interior proof (core/interior_proof.h) for the rules it covers: the
// step's constant and rule, and whether the orbit from z is captured.
template <class Step> constexpr bool PROVABLE = false;
template <> constexpr bool PROVABLE<Quadratic> = true;
template <> constexpr bool PROVABLE<Dragon> = true;
template <> constexpr bool PROVABLE<Phoenix> = true;

inline bool captured(FractalRule rule, double c0, double c1, const Orbit &z, double distance, long long lag,
                     int room) {
    return captureProven(rule, CaptureTry{z.zr, z.zi, z.pr, z.pi, c0, c1, distance, (int)lag, room, 1});
}
inline bool captured(const Quadratic &s, const Orbit &z, double distance, long long lag, int room) {
    return captured(QUADRATIC_RULE, s.cr, s.ci, z, distance, lag, room);
}
inline bool captured(const Dragon &s, const Orbit &z, double distance, long long lag, int room) {
    return captured(DRAGON_RULE, s.lr, s.li, z, distance, lag, room);
}
inline bool captured(const Phoenix &s, const Orbit &z, double distance, long long lag, int room) {
    return captured(PHOENIX_RULE, s.s, s.t, z, distance, lag, room);
}
template <class Step>
inline bool captured(const Step &, const Orbit &, double, long long, int) {
    return false;
}

// The largest difference between two states' parts; NaN if a part is.
inline double stateDistance(const Orbit &a, const Orbit &b) {
    const double d[4] = {fabs(a.zr - b.zr), fabs(a.zi - b.zi), fabs(a.pr - b.pr), fabs(a.pi - b.pi)};
    const double sum = d[0] + d[1] + d[2] + d[3];
    double most = d[0];
    for (double x : d)
        most = x > most ? x : most;
    return sum == sum ? most : sum;
}

// The plain loop's count, with Brent's cycle check from UNCHECKED_STEPS on
// (unless CYCLES is false: then the plain loop itself): the state is saved
// at n = 16, 32, 64 ... and every later state compared with it. A repeat
// means the orbit cycles through iterates that all passed the test, so the
// loop would have run to the limit. From n = CAPTURE_PATIENCE on, a state
// near the saved one, within the cell's `near` in every part, is tried by
// the interior proof, which ends the count at the limit too when it holds. Step(z, zr2, zi2) computes
// z_n+1 from z_n and its squares; `end` learns how the orbit ended.
template <bool CYCLES = true, class Step, class End = NoEnd>
inline __attribute__((always_inline)) int cycleCheckedCount(Orbit z, int limit, Step step, End end = End()) {
    int n = 0;
    for (; n < limit && (n < UNCHECKED_STEPS || !CYCLES); ++n) {
        const double zr2 = z.zr * z.zr, zi2 = z.zi * z.zi;
        if (!(zr2 + zi2 <= 4.0))
            return end.failed(z), n;
        step(z, zr2, zi2);
    }
    Orbit saved = {NAN, NAN, NAN, NAN};
    long long due = n, savedAt = n;
    double near = 0.0;  // equality only, until the orbit has run CAPTURE_PATIENCE steps
    for (; n < limit; ++n) {
        const double zr2 = z.zr * z.zr, zi2 = z.zi * z.zi;
        if (!(zr2 + zi2 <= 4.0))
            return end.failed(z), n;
        // The real part first (near includes equal): the rest only when it is near.
        if (PROVABLE<Step> ? fabs(z.zr - saved.zr) <= near : z.zr == saved.zr) {
            if (sameOrbit(z, saved))
                return end.reachedLimit(), limit;
            const double distance = stateDistance(z, saved);
            if (PROVABLE<Step> && distance <= near) {
                if (captured(step, z, distance, n - savedAt, limit - n))
                    return end.reachedLimit(), limit;
                near = distance / CAPTURE_SHRINK;
            }
        }
        if (n == due) {
            saved = z;
            savedAt = n;
            due *= 2;
            if (n == CAPTURE_PATIENCE)
                near = CAPTURE_FIRST_NEAR;
        }
        step(z, zr2, zi2);
    }
    return end.reachedLimit(), limit;
}

// Counts (and, with ENDS, OrbitEnds) of cells first .. first + count - 1
// of a row; Cell(x, y, end) -> count.
template <bool ENDS, class Cell>
void rowCounts(const KernelView &v, int row, int first, int count, int *counts, OrbitEnd *ends, Cell cell) {
    const double y = (double)row * v.yScale + v.yStart;
    for (int i = 0; i < count; ++i) {
        const double x = (double)(first + i) * v.xScale + v.xStart;
        if (ENDS)
            counts[i] = cell(x, y, EndAt{ends + i});
        else
            counts[i] = cell(x, y, NoEnd());
    }
}

// The scalar path (CYCLES) or the plain loop itself; with ENDS, OrbitEnds too.
template <bool CYCLES = true, bool ENDS = false>
void scalarCounts(int type, const KernelView &v, int row, int first, int count, int *counts,
                  OrbitEnd *ends = nullptr) {
    withTypeRule(type, v, [&](auto kind) {
        rowCounts<ENDS>(v, row, first, count, counts, ends, [&](double x, double y, auto end) {
            return cycleCheckedCount<CYCLES>(kind.start(x, y), v.detail, kind.step(x, y), end);
        });
    });
}

// Grid values of many counts: (255 * j) / limit, divided by multiplying with
// a rounded-up reciprocal (Granlund and Montgomery): with l = ceil(log2
// limit) and m = floor(2^(31 + l) / limit) + 1, floor(a * m / 2^(31 + l))
// equals a / limit for every 0 <= a < 2^31, and a * m < 2^63. Larger
// products (limits beyond MAX_EXACT_LIMIT) take gridValue itself. Since
// limit > 2^(l - 1), m < 2^32: on x86-64 the products are SSE2's 32 x 32
// -> 64-bit multiplies, four counts at a time (at the widest views the
// counts' scalar divisions cost several per cent of a row).
class GridValues {
public:
    explicit GridValues(int limit) : limit_(limit), shift_(31), multiplier_(0) {
        if (limit > MAX_EXACT_LIMIT)
            return;
        while ((1LL << (shift_ - 31)) < limit)
            ++shift_;
        multiplier_ = (1ULL << shift_) / (unsigned long long)limit + 1;
    }
    void write(const int *counts, int count, unsigned char *out) const {
        if (multiplier_ == 0) {
            for (int i = 0; i < count; ++i)
                out[i] = gridValue(counts[i], limit_);
            return;
        }
        int i = writeFours(counts, count, out);
        for (; i < count; ++i)
            out[i] = (unsigned char)((unsigned long long)(255 * counts[i]) * multiplier_ >> shift_);
    }

private:
    enum { MAX_EXACT_LIMIT = 0x7fffffff / 255 };  // 255 * limit still fits an int

    // The counts four at a time while four are left; returns how many.
    int writeFours(const int *counts, int count, unsigned char *out) const {
        int i = 0;
#if defined(__x86_64__)
        const __m128i m = _mm_set1_epi32((int)(unsigned)multiplier_), shift = _mm_cvtsi32_si128(shift_);
        for (; i + 4 <= count; i += 4) {
            const __m128i j = _mm_loadu_si128((const __m128i *)(counts + i));
            const __m128i a = _mm_sub_epi32(_mm_slli_epi32(j, 8), j);  // 255 j
            const __m128i even = _mm_srl_epi64(_mm_mul_epu32(a, m), shift);
            const __m128i odd = _mm_srl_epi64(_mm_mul_epu32(_mm_srli_epi64(a, 32), m), shift);
            const __m128i values = _mm_or_si128(even, _mm_slli_epi64(odd, 32));  // each <= 255
            const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(values, values), values);
            const int four = _mm_cvtsi128_si32(bytes);
            memcpy(out + i, &four, 4);
        }
#else
        (void)counts, (void)count, (void)out;
#endif
        return i;
    }
    int limit_, shift_;
    unsigned long long multiplier_;
};

// The polynomial rules: the only ones the lanes have in vector form. A type
// outside the table is J-Cosh.
bool hasLaneRule(int type) {
    if (type < 0 || type >= FRACTAL_TYPES)
        return false;
    const FractalRule rule = FRACTAL_TYPE_TABLE[type].rule;
    return rule == QUADRATIC_RULE || rule == DRAGON_RULE || rule == PHOENIX_RULE;
}

// Escape counts (and OrbitEnds, when ends is not null) of cells first ..
// first + count - 1 on an available path.
void countCells(KernelPath path, int type, const KernelView &v, int row, int first, int count,
                int *counts, OrbitEnd *ends = nullptr) {
#if defined(__x86_64__)
    if (hasLaneRule(type)) {
        switch (path) {
        case SSE2_PATH: return escapeCountsSse2(type, v, row, first, count, counts, ends);
        case AVX2_PATH: return escapeCountsAvx2(type, v, row, first, count, counts, ends);
        case AVX512_PATH: return escapeCountsAvx512(type, v, row, first, count, counts, ends);
        default: break;
        }
    }
#endif
    if (path == PLAIN_PATH)
        return ends ? scalarCounts<false, true>(type, v, row, first, count, counts, ends)
                    : scalarCounts<false>(type, v, row, first, count, counts);
    if (ends)
        return scalarCounts<true, true>(type, v, row, first, count, counts, ends);
    scalarCounts(type, v, row, first, count, counts);
}

// Rows wider than a chunk run chunk by chunk.
int chunkCells(const KernelView &v, int first) {
    return v.width - first < LANE_CHUNK_CELLS ? v.width - first : LANE_CHUNK_CELLS;
}

KernelPath runnable(KernelPath path) {
    return kernelPathAvailable(path) ? path : SCALAR_PATH;
}

KernelPath chooseFastest() {
    const KernelPath fastestFirst[] = {AVX512_PATH, AVX2_PATH, SSE2_PATH};
    for (KernelPath path : fastestFirst)
        if (kernelPathAvailable(path))
            return path;
    return SCALAR_PATH;
}

}  // namespace

bool kernelPathAvailable(KernelPath path) {
    switch (path) {
    case PLAIN_PATH:
    case SCALAR_PATH:
        return true;
#if defined(__x86_64__)
    case SSE2_PATH:
        return true;
    case AVX2_PATH:
        return cpuHasAvx2();
    case AVX512_PATH:
        return cpuHasAvx512();
#endif
    default:
        return false;
    }
}

namespace {
// KERNEL_PATHS means no override. Atomic because worker threads read it for
// every row; relaxed is enough, as it only changes while no Make runs.
std::atomic<int> overridePath{KERNEL_PATHS};
}  // namespace

KernelPath fastestKernelPath() {
    static const KernelPath fastest = chooseFastest();
    const int forced = overridePath.load(std::memory_order_relaxed);
    return forced == KERNEL_PATHS ? fastest : (KernelPath)forced;
}

bool overrideKernelPath(KernelPath path) {
    if (!kernelPathAvailable(path)) return false;
    overridePath.store(path, std::memory_order_relaxed);
    return true;
}

void clearKernelPathOverride() {
    overridePath.store(KERNEL_PATHS, std::memory_order_relaxed);
}

const char *kernelPathName(KernelPath path) {
    static const char *const names[KERNEL_PATHS] = {"plain", "scalar", "sse2", "avx2", "avx512"};
    return path >= 0 && path < KERNEL_PATHS ? names[path] : "unknown";
}

unsigned char *computeRowWith(KernelPath path, int type, const KernelView &v, int row,
                              unsigned char *out) {
    // A limit below 1 breaks the count encoding; leave whatever the plain loop does to it.
    if (path == PLAIN_PATH || v.detail < 1)
        return computeRowScalar(type, v, row, out);
    const GridValues value(v.detail);
    int counts[LANE_CHUNK_CELLS];
    for (int first = 0; first < v.width; first += LANE_CHUNK_CELLS) {
        const int count = chunkCells(v, first);
        countCells(runnable(path), type, v, row, first, count, counts);
        value.write(counts, count, out + first);
    }
    return out + v.width;
}

void countRowWith(KernelPath path, int type, const KernelView &v, int row, int *out) {
    if (v.detail < 1) {  // the plain loop's body runs once and stops at j = 0
        for (int i = 0; i < v.width; ++i)
            out[i] = 0;
        return;
    }
    int counts[LANE_CHUNK_CELLS];
    for (int first = 0; first < v.width; first += LANE_CHUNK_CELLS) {
        const int count = chunkCells(v, first);
        countCells(runnable(path), type, v, row, first, count, counts);
        memcpy(out + first, counts, count * sizeof(int));
    }
}

void countRowEndsWith(KernelPath path, int type, const KernelView &v, int row, int *counts, OrbitEnd *ends) {
    if (v.detail < 1) {
        for (int i = 0; i < v.width; ++i)
            counts[i] = 0, ends[i] = {0.0, 0.0, 0.0, 0.0};
        return;
    }
    for (int first = 0; first < v.width; first += LANE_CHUNK_CELLS)
        countCells(runnable(path), type, v, row, first, chunkCells(v, first), counts + first, ends + first);
}
