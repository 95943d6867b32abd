// kernels_simd_lanes.h - the lane engine of the vector kernel paths.
//
// Included by exactly one file per instruction set, which supplies the
// vector type V (below) and calls laneEscapeCounts<V, U>. Everything here
// has internal linkage and nothing here includes a header that defines an
// inline function: a copy compiled for a wider instruction set must never be
// the one the linker keeps for a narrower caller. (Inline data, such as the
// type table of core/fractal_types.h, is the same bytes whatever it was
// compiled for.)
//
// Blocks. Lanes step in blocks of steps (blockSteps) with no branch inside a
// block: U vectors of V::LANES lanes, one cell per lane, so U * LANES
// independent orbits are in flight and the interleaved vectors hide the
// latency of the multiply-add chain. Each step tests every lane's iterate
// and shifts the test bits into the vector's TestWord; after the block the
// word tells which lanes failed and, for each, the exact step of its first
// failure (later tests of a failed lane mean nothing). A lane that failed
// early idles for the rest of its block.
//
// A row chunk runs in two passes.
//
// Groups: the cells in order, U * LANES at a time, all lanes of a group
// starting together (where blocks are short, two blocks run between
// looks). The first SCREEN_STEPS steps go one at a time while some lane is
// going, counting in vectors: most cells of a wide view end there.
// Neighbouring cells mostly end close together, so a group runs block
// after block while its lanes are mostly busy, and its
// lanes that end cost nothing but their count. Once the idle lanes have
// wasted about what handing the rest to the lane engine costs (REFILL_STEPS
// lane-steps for each), the group stops and lists the cells still going,
// with the state each reached.
//
// Lane engine: the listed cells, one per lane; after each block the lanes
// that ended hand in their counts and take the next listed cells, staged in
// memory beforehand so that a refill is one masked blend per vector and
// field, and the vectors stay in registers throughout.
//
// Counting. A lane holds an iterate z_n whose predecessors z_0 .. z_n-1 all
// passed; z_n itself is tested by the next step, which then computes z_n+1
// (the plain loop's order: test, then update). A lane whose z_n fails has
// count n; a lane that holds z_limit has count limit. No block runs past
// the step at which its oldest lane holds z_limit, so no lane tests an
// iterate the plain loop would not.
//
// Exactness. Each step is the plain loop's arithmetic in the same order,
// one multiply or add per intrinsic (no FMA), and the test is an ordered
// `<=` (false for NaN, like the scalar comparison). 2 * p is computed as
// either 2.0 * p or p + p: both are exact, or both overflow to the same
// infinity; each instruction set takes the mix that balances its multiply
// and add pipes best (V::DOUBLING).
//
// Orbit ends (ENDS, a template flag: without it none of this is compiled).
// The blocks step exactly as without ends; each vector's state is stored
// as a block starts, and a lane that fails in the block keeps that state
// and the number of tests it passed in the block (a cell that ends in the
// screen keeps its start and its count). Once the chunk is counted,
// replayEnds takes each cell's kept steps again, a vector of cells at a
// time, and so reaches z_n with the same arithmetic: the failing iterate is
// found again at the cost of a few steps a cell, not a blend every step.
//
// Cycle checkpoints (Brent's schedule). A group copies its lanes' whole
// state after SCREEN_STEPS steps and doubling intervals (16, 32, 64 ...),
// as the scalar path does; the lane engine copies a lane's state when its
// clock passes a multiple of CHECK_PERIOD and the lane's checkpoint is due,
// at intervals doubling from CHECK_PERIOD. After every block, each lane's
// state is compared with its checkpoint z_s (the real part first, the rest
// only where that matches): equality of a lane that passed the block means
// the orbit cycles through z_s .. z_n-1, all passed, so the count is the
// limit.
// A cycle of period p from z_mu is found once an interval reaches a
// multiple of p after z_mu that the block ends meet, well before the limit
// on deep interiors.
//
// Interior proof. The look compares the real part for nearness, not
// equality: within the lane's `near` (core/interior_proof.h) of the
// checkpoint's. `near` is 0, equality, until the lane's orbit has run
// CAPTURE_PATIENCE steps per lane (in the lane engine, from the next
// checkpoint update on), then CAPTURE_FIRST_NEAR. Lanes whose whole state
// is equal end as above; lanes whose whole state is near are handed to
// captureProven one by one (provenLanes) and end at the limit when it
// holds; a lane tried in vain has its `near` shrunk, so it is tried again
// only once its orbit has come closer.
//
// Untested runs (V::UNTESTED_RUNS; Mandelbrot and Julia, counts without
// ends, groups whose going lanes all have |c| < 2 (1 - 2^-30)). Where a
// group would run two blocks, it may run their steps with no test at all
// and then test the state it reached, z_e, against 4 (1 - 2^-38): a lane
// at or below that passed every test of the run, for an orbit that fails
// once never comes back. In doubles: a failed test means
// |z| > 2 (1 - 2u) (u = 2^-53); from there |z^2 + c| >= |z|^2 - |c| gives
// at least 2 + 2^-29 - 16u before rounding, which costs at most
// 5u |z|^2 + 2u |c|, so every later iterate has |z| >= 2, z_e included
// (or it overflowed to infinity or NaN, which fails the comparison too).
// If some going lane is above it, the group takes the run again from its
// start (kept in memory) with its tests: the same arithmetic, so the same
// bits. A group runs untested until its first lane ends, and only while
// the run ends no later than the age of the look at which the chunk's
// previous group saw its first end (neighbours end close together), so
// it takes a run twice at most once. The steps lose their add and compare
// and the test words' shifting, two of the nine vector operations a step
// and most of its mask traffic: 15 % faster on the valley view. (Eight
// lanes only: there a group runs two blocks between looks; the narrower
// vectors' blocks run near their bound already.) Where the previous
// group's first end lies far ahead, a run grows with the group's age, up
// to 128 steps (Groups::untestedRun), and the looks between runs come less
// often: 13 % faster on orbits of 3,140 steps, 3 % on the valley's, 2 %
// slower on the square view (whose groups take 1 % more steps, cycles
// being found later).
//
// Layer: core.
#ifndef QUORVEX_CORE_KERNELS_SIMD_LANES_H
#define QUORVEX_CORE_KERNELS_SIMD_LANES_H

#include "core/fractal_types.h"
#include "core/interior_proof.h"
#include "core/kernels.h"
#include "core/kernels_simd_isa.h"

// The vector type V supplies:
//   D, M                 a vector of doubles, a lane mask
//   LANES                lanes per vector
//   DOUBLING             how the quadratic step doubles (a Doubling)
//   FIRST_STEP_APART     whether a whole block's first step is laid out
//                        apart from the rest (see runBlock)
//   UNTESTED_RUNS        whether groups of quadratic-rule cells may run
//                        untested (see Untested runs)
//   splat load store     broadcast, aligned load and store
//   add sub mul          one IEEE operation per lane
//   abs(a)               |a| (the sign bit cleared)
//   le(a, b) eq(a, b)    a <= b, a == b, ordered (false for NaN)
//   keepLe(m, a, b)      m & (a <= b)
//   same(m, a, b)        m & (a == b)
//   allLanes()           every lane set
//   bits(m)              the set lanes as bits 0..LANES-1
//   pick(m, a, b)        a where m is set, b elsewhere
//   ramp(i)              i, i + 1, ... i + LANES - 1 as doubles
//   storeCounts(p, a)    the lanes (whole numbers) as ints at p .. p + LANES - 1
//   compress(dst, lanes, a)  the lanes set in the bit mask `lanes`, in
//                        order, at dst[0], ... (dst has room for LANES values)
//   blend(lanes, a, row) a, with the lanes set in `lanes` taking their values
//                        from the aligned row
//   storeEnds(p, zr, zi, pr, pi)  the lanes as OrbitEnds at p .. p + LANES - 1
//   storePasses(counts, lanes, tests, base)  for each lane l in the bit mask
//                        `lanes` (each failed in the block of TestWord
//                        `tests`): counts[l] = base + the tests it passed
//                        before its first failure (Tests::passedSteps)

// A block's first step (s == 0) sets its test words before any is shifted,
// which the compiler cannot see through the partly unrolled steps; zeroing
// them first costs SSE2 a fifth of its speed, its registers being that
// tight. (The warning is given where the steps are inlined, so it is
// silenced for the whole engine. Clang has no such warning.)
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace {

// Steps every cell first takes one at a time (see Groups::screen).
enum { SCREEN_STEPS = 16 };

// Steps in a block of LANES-lane vectors: as many as fill the 64 bits of a
// TestWord, at most 16 (16 on 2 and 4 lanes, 8 on 8). Longer blocks make the
// look after each cost less a step, shorter ones let a lane that ended idle
// less.
constexpr int blockSteps(int lanes) {
    return 64 / lanes < 16 ? 64 / lanes : 16;
}

// Steps to a lane's first checkpoint, and the engine's clock steps between
// checkpoint updates.
enum { CHECK_PERIOD = 64 };

// The longest untested run between two looks (256 measured no faster on
// orbits thousands of steps long).
enum { UNTESTED_RUN_STEPS = 128 };

// What handing a cell from a group to the lane engine costs, in lane-steps
// of one lane of a vector (so REFILL_STEPS * LANES lane-steps of a vector).
enum { REFILL_STEPS = 8 };

// The lanes of one vector in registers: the iterate, the previous iterate
// (Phoenix only) and the constant.
template <class V>
struct LaneRegs {
    typename V::D zr, zi, pr, pi, cr, ci;
};

// z <- z^2 + c (Mandelbrot, Julia)
struct QuadraticMap {
    enum { PREVIOUS = 0 };
    static constexpr FractalRule RULE = QUADRATIC_RULE;
    static constexpr double M_START = 0.0;
    template <class V>
    static void step(LaneRegs<V> &r, typename V::D zr2, typename V::D zi2, const typename V::D *two) {
        const typename V::D zri = V::mul(r.zr, r.zi);
        r.zr = V::add(V::sub(zr2, zi2), r.cr);
        r.zi = V::add(two ? V::mul(*two, zri) : V::add(zri, zri), r.ci);
    }
};

// z <- lambda z (1 - z), lambda in (cr, ci); a and -b the parts of z - z^2.
// The multiplies outnumber the adds already: 2 * p stays an add.
struct DragonMap {
    enum { PREVIOUS = 0 };
    static constexpr FractalRule RULE = DRAGON_RULE;
    static constexpr double M_START = 0.5;
    template <class V>
    static void step(LaneRegs<V> &r, typename V::D zr2, typename V::D zi2, const typename V::D *) {
        const typename V::D zri = V::mul(r.zr, r.zi);
        const typename V::D a = V::add(V::sub(zi2, zr2), r.zr);
        const typename V::D b = V::sub(V::add(zri, zri), r.zi);
        r.zr = V::add(V::mul(r.cr, a), V::mul(r.ci, b));
        r.zi = V::sub(V::mul(r.ci, a), V::mul(r.cr, b));
    }
};

// z <- z^2 + s + t z_n-1, s and t in (cr, ci), z_n-1 in (pr, pi). Adds and
// multiplies balance already: 2 * p stays an add.
struct PhoenixMap {
    enum { PREVIOUS = 1 };
    static constexpr FractalRule RULE = PHOENIX_RULE;
    static constexpr double M_START = 0.0;
    template <class V>
    static void step(LaneRegs<V> &r, typename V::D zr2, typename V::D zi2, const typename V::D *) {
        const typename V::D zri = V::mul(r.zr, r.zi);
        const typename V::D nr = V::add(V::add(V::sub(zr2, zi2), r.cr), V::mul(r.ci, r.pr));
        const typename V::D ni = V::add(V::add(zri, zri), V::mul(r.ci, r.pi));
        r.pr = r.zr, r.pi = r.zi;
        r.zr = nr, r.zi = ni;
    }
};

// The M kinds' starts are the table's; a constant here, not a field of the
// job: a double held through the screen costs SSE2 a register it has not
// got to spare (about a third of its speed).
static_assert(QuadraticMap::M_START == FRACTAL_TYPE_TABLE[MANDELBROT_TYPE].mStart, "the table's M start");
static_assert(DragonMap::M_START == FRACTAL_TYPE_TABLE[M_DRAGON_TYPE].mStart, "the table's M start");
static_assert(PhoenixMap::M_START == FRACTAL_TYPE_TABLE[M_PHOENIX_TYPE].mStart, "the table's M start");

// How a quadratic step doubles zr * zi (V::DOUBLING): where the adds and
// multiplies go on a processor decides which balances its pipes best, so
// each instruction set takes what measured fastest.
enum Doubling { DOUBLE_BY_ADDING, DOUBLE_BY_MULTIPLYING, DOUBLE_ALTERNATELY };

// 2.0 for the vectors that double by multiplying, hidden from the
// compiler, which would otherwise turn 2.0 * p back into p + p.
template <class V>
struct Twos {
    typename V::D two;
    Twos() : two(V::splat(2.0)) { __asm__("" : "+x"(two)); }
    const typename V::D *forVector(int u) const {
        const bool multiply = V::DOUBLING == DOUBLE_BY_MULTIPLYING || (V::DOUBLING == DOUBLE_ALTERNATELY && u & 1);
        return multiply ? &two : nullptr;
    }
};

// A block's tests of one vector: LANES bits a step, the last step lowest.
typedef unsigned long long TestWord;

template <int LANES>
struct Tests {
    enum { BLOCK_STEPS = blockSteps(LANES) };
    static_assert(LANES * BLOCK_STEPS <= 64, "a block's tests fit a TestWord");
    enum { LANE_BITS = (1 << LANES) - 1 };
    static constexpr TestWord ALL_PASSED =
        LANES * BLOCK_STEPS == 64 ? ~0ULL : (1ULL << (LANES * BLOCK_STEPS)) - 1;

    // Lane 0's bit in every step.
    static constexpr TestWord column() {
        TestWord c = 0;
        for (int s = 0; s < BLOCK_STEPS; ++s)
            c |= 1ULL << (s * LANES);
        return c;
    }

    // Lanes with a failed test in the word.
    static int failedLanes(TestWord tests) {
        TestWord failed = ~tests & ALL_PASSED;
        for (int shift = LANES * BLOCK_STEPS / 2; shift >= LANES; shift /= 2)
            failed |= failed >> shift;
        return (int)(failed & LANE_BITS);
    }

    // The tests lane l passed before its first failure.
    static int passedSteps(TestWord tests, int l) {
        const TestWord failed = ~tests & (column() << l);
        const int highest = 63 - __builtin_clzll(failed);
        return BLOCK_STEPS - 1 - highest / LANES;
    }

    // storePasses lane by lane: on two lanes as fast as any vector's.
    static void storeEach(int *counts, int lanes, TestWord tests, int base) {
        for (; lanes; lanes &= lanes - 1)
            counts[__builtin_ctz(lanes)] = base + passedSteps(tests, __builtin_ctz(lanes));
    }

    // The word with a step's bit left set only where that step and every
    // step before it passed: a lane's passes before its first failure are
    // then the set bits of its column (a vector can count them all at once).
    static TestWord leadingPasses(TestWord tests) {
        for (int d = 1; d < BLOCK_STEPS; d *= 2) {
            const TestWord firstSteps = ALL_PASSED & ~(ALL_PASSED >> (d * LANES));  // none d steps before
            tests &= (tests >> (d * LANES)) | firstSteps;
        }
        return tests;
    }
};

// One step of every vector: test z_n, shift the test bits into the word,
// compute z_n+1.
template <class V, class Map, int U>
inline __attribute__((always_inline)) void stepVectors(LaneRegs<V> (&r)[U], TestWord (&tests)[U], int s,
                                                       const Twos<V> &twos) {
#pragma GCC unroll 8
    for (int u = 0; u < U; ++u) {
        LaneRegs<V> &q = r[u];
        const typename V::D zr2 = V::mul(q.zr, q.zr), zi2 = V::mul(q.zi, q.zi);
        const TestWord passed = (unsigned)V::bits(V::le(V::add(zr2, zi2), V::splat(4.0)));
        tests[u] = s == 0 ? passed : (tests[u] << V::LANES) | passed;
        Map::template step<V>(q, zr2, zi2, twos.forVector(u));
    }
}

// A block of `steps` <= BLOCK_STEPS steps; steps not taken count as passed.
template <class V, class Map, int U>
inline __attribute__((always_inline)) void runBlock(LaneRegs<V> (&r)[U], TestWord (&tests)[U], int steps) {
    enum { BLOCK_STEPS = blockSteps(V::LANES) };
    const Twos<V> twos;
    TestWord word[U];  // each block's first step (s == 0) sets it
    if (steps == BLOCK_STEPS) {
        // Eight steps unrolled: whole 16-step blocks unrolled measured slower.
        if constexpr (V::FIRST_STEP_APART) {
            stepVectors<V, Map, U>(r, word, 0, twos);
#pragma GCC unroll 8
            for (int s = 1; s < BLOCK_STEPS; ++s)
                stepVectors<V, Map, U>(r, word, s, twos);
        } else {
#pragma GCC unroll 8
            for (int s = 0; s < BLOCK_STEPS; ++s)
                stepVectors<V, Map, U>(r, word, s, twos);
        }
    } else {
        for (int s = 0; s < steps; ++s)
            stepVectors<V, Map, U>(r, word, s, twos);
    }
    const int rest = V::LANES * (BLOCK_STEPS - steps);
#pragma GCC unroll 8
    for (int u = 0; u < U; ++u)
        tests[u] = rest ? (word[u] << rest) | ((1ULL << rest) - 1) : word[u];
}

// The lanes whose re^2 + im^2 stays at or below limit.
template <class V>
inline __attribute__((always_inline)) int sizeAtMost(typename V::D re, typename V::D im, double limit) {
    return V::bits(V::le(V::add(V::mul(re, re), V::mul(im, im)), V::splat(limit)));
}

// The lanes of r whose |c| allows untested runs.
template <class V>
inline __attribute__((always_inline)) int untestedLanes(const LaneRegs<V> &r) {
    return sizeAtMost<V>(r.cr, r.ci, UNTESTED_C_LIMIT);
}

// STEPS steps of every vector with no test.
template <class V, class Map, int U, int STEPS>
inline __attribute__((always_inline)) void runUntested(LaneRegs<V> (&r)[U]) {
    const Twos<V> twos;
#pragma GCC unroll 16
    for (int s = 0; s < STEPS; ++s)
#pragma GCC unroll 8
        for (int u = 0; u < U; ++u)
            Map::template step<V>(r[u], V::mul(r[u].zr, r[u].zr), V::mul(r[u].zi, r[u].zi), twos.forVector(u));
}

// The lanes of r that may have failed a test of the untested run that
// reached r.
template <class V>
inline __attribute__((always_inline)) int doubtedLanes(const LaneRegs<V> &r) {
    return sizeAtMost<V>(r.zr, r.zi, UNTESTED_PASS_LIMIT) ^ ((1 << V::LANES) - 1);
}

// With ENDS, each cell's end as an earlier state of its orbit and the steps
// from there to z_n, all of which passed; replayEnds takes the steps once
// the chunk is counted. A cell at the limit keeps 0 and no step. (The
// previous iterate only for the maps that have one: 0 for the others.)
struct KeptEnds {
    // Whole vectors of the last group may run past the chunk's last cell.
    enum { CAPACITY = LANE_CHUNK_CELLS + 64 };
    alignas(64) double zr[CAPACITY], zi[CAPACITY], pr[CAPACITY], pi[CAPACITY];
    alignas(64) double steps[CAPACITY];

    void keep(int i, double r, double im, double previousR, double previousI, int n) {
        zr[i] = r, zi[i] = im, pr[i] = previousR, pi[i] = previousI, steps[i] = n;
    }
    void atLimit(int i) { keep(i, 0.0, 0.0, 0.0, 0.0, 0); }
};

// The state of U vectors at the start of a block, in memory: a lane that
// fails in the block keeps it (for Phoenix the previous iterate too).
template <class V, int U, bool PREVIOUS>
struct BlockStart {
    enum { N = U * V::LANES };
    alignas(64) double zr[N], zi[N], pr[N], pi[N];

    inline __attribute__((always_inline)) void store(const LaneRegs<V> (&r)[U]) {
#pragma GCC unroll 8
        for (int u = 0; u < U; ++u) {
            V::store(zr + u * V::LANES, r[u].zr), V::store(zi + u * V::LANES, r[u].zi);
            if (PREVIOUS)
                V::store(pr + u * V::LANES, r[u].pr), V::store(pi + u * V::LANES, r[u].pi);
        }
    }
    // Lane k (u * LANES + l) failed after passing `steps` tests of the block.
    void keep(KeptEnds &kept, int cell, int k, int steps) const {
        kept.keep(cell, zr[k], zi[k], PREVIOUS ? pr[k] : 0.0, PREVIOUS ? pi[k] : 0.0, steps);
    }
};

// One row chunk: where cells come from and where counts go.
struct LaneJob {
    int jKind;                // the type's kind (core/fractal_types.h)
    int limit;
    double y;                 // the row's imaginary coordinate
    double xStart, xScale;
    double xPivot, yPivot;
    int first, count;         // cells first .. first + count - 1 of the row
    int *counts;              // count of cell first + i at counts[i]
    OrbitEnd *ends;           // its end at ends[i] (when asked for)
    KeptEnds *kept;           // with ENDS: what its end is replayed from, at kept->...[i]
};

// The imaginary part of the constant, the same for every cell of a row:
// the row's coordinate (M kinds) or the pivot's (J kinds).
inline double rowCi(const LaneJob &job) {
    return job.jKind ? job.yPivot : job.y;
}

// A vector's checkpoint in memory: its lanes' whole state when it was taken.
struct SavedStates {
    const double *zr, *zi, *pr, *pi;
};

// The lanes in `lanes` whose real part lies within their near of the
// checkpoint: the vectors' one look for both rules of the cycle check.
template <class V>
inline __attribute__((always_inline)) int nearLanes(typename V::D zr, typename V::D savedZr, const double *near) {
    return V::bits(V::le(V::abs(V::sub(zr, savedZr)), V::load(near)));
}

// The interior proof (core/interior_proof.h) for the lanes of one vector in
// `lanes` whose whole state lies within their near of the checkpoint s and
// that have run CAPTURE_PATIENCE steps a lane: returns those proven
// captured; a lane tried in vain has its near shrunk. clocks.lag(l),
// clocks.room(l) and clocks.age(l) say how far back lane l's checkpoint
// lies, how many steps it has left and how many it has taken.
template <class V, class Map, class Clocks>
int provenLanes(const LaneRegs<V> &r, const SavedStates &s, double *near, int lanes, double ci, Clocks clocks) {
    enum { LANES = V::LANES };
    const typename V::D bound = V::load(near);
    typename V::M m = V::le(V::abs(V::sub(r.zr, V::load(s.zr))), bound);
    m = V::keepLe(m, V::abs(V::sub(r.zi, V::load(s.zi))), bound);
    if (Map::PREVIOUS) {
        m = V::keepLe(m, V::abs(V::sub(r.pr, V::load(s.pr))), bound);
        m = V::keepLe(m, V::abs(V::sub(r.pi, V::load(s.pi))), bound);
    }
    lanes &= V::bits(m);
    if (!lanes)
        return 0;
    alignas(64) double zr[LANES], zi[LANES], pr[LANES], pi[LANES], cr[LANES];
    V::store(zr, r.zr), V::store(zi, r.zi), V::store(cr, r.cr);
    V::store(pr, Map::PREVIOUS ? r.pr : V::splat(0.0)), V::store(pi, Map::PREVIOUS ? r.pi : V::splat(0.0));
    int proven = 0;
    for (; lanes; lanes &= lanes - 1) {
        const int l = __builtin_ctz(lanes);
        if (clocks.age(l) < CAPTURE_PATIENCE * LANES)
            continue;
        double distance = 0.0;
        auto widen = [&](double a, double b) {
            const double part = __builtin_fabs(a - b);
            distance = part > distance ? part : distance;
        };
        widen(zr[l], s.zr[l]), widen(zi[l], s.zi[l]);
        if (Map::PREVIOUS)
            widen(pr[l], s.pr[l]), widen(pi[l], s.pi[l]);
        const CaptureTry t = {zr[l], zi[l], pr[l], pi[l], cr[l], ci, distance, clocks.lag(l), clocks.room(l), LANES};
        if (captureProven(Map::RULE, t))
            proven |= 1 << l;
        else
            near[l] = distance / CAPTURE_SHRINK;
    }
    return proven;
}

// Start value z0 and constant c of a vector of cells at real coordinates x.
// The J kinds start from the point and take the pivot as the constant; the
// M kinds start from the map's M_START (0, or M-Dragon's critical point
// 0.5) with the point as c.
template <class V, class Map>
void startLanes(const LaneJob &job, typename V::D x, LaneRegs<V> &r) {
    if (job.jKind) {
        r.zr = x, r.zi = V::splat(job.y), r.cr = V::splat(job.xPivot);
    } else {
        r.zr = V::splat(Map::M_START), r.zi = V::splat(0.0), r.cr = x;
    }
    r.ci = V::splat(rowCi(job));
    r.pr = r.pi = V::splat(0.0);
}

// The cells the groups leave to the lane engine, with the state each
// reached: z_age, the previous iterate and the real part of the constant.
// Past the last come idle entries (z = cr = 0, cell -1), enough for every
// lane to take and stage one and for a whole vector read.
template <int N, int LANES>
struct CellList {
    enum { CAPACITY = LANE_CHUNK_CELLS + 2 * N + LANES };
    alignas(64) double zr[CAPACITY], zi[CAPACITY], pr[CAPACITY], pi[CAPACITY], cr[CAPACITY];
    int cell[CAPACITY], age[CAPACITY];
    int count;

    void endWithIdleEntries() {
        for (int i = count; i < count + 2 * N + LANES; ++i) {
            zr[i] = zi[i] = pr[i] = pi[i] = cr[i] = 0.0;
            cell[i] = -1, age[i] = 0;
        }
    }
};

template <class V, class Map, int U, bool ENDS>
class Groups {
public:
    enum { LANES = V::LANES, N = U * LANES };
    typedef typename V::D D;
    typedef typename V::M M;
    typedef CellList<N, LANES> List;

    // Counts what the groups finish; lists the rest.
    static void run(const LaneJob &job, List &list) {
        list.count = 0;
        int firstEnd = job.limit;  // the age at the look that saw the last group's first end
        for (int i = 0; i < job.count; i += N)
            runGroup(job, i, list, firstEnd);
        list.endWithIdleEntries();
    }

private:
    static void runGroup(const LaneJob &job, int first, List &list, int &firstEnd) {
        typedef Tests<LANES> T;
        LaneRegs<V> r[U];
        Checkpoints saved;  // in memory: registers are for the steps
        int going[U];
        TestWord doneColumns[U];  // the columns of lanes that ended, set: they count as passing
        const int cells = job.count - first < N ? job.count - first : N;
#pragma GCC unroll 8
        for (int u = 0; u < U; ++u) {
            const D index = V::ramp(job.first + first + u * LANES);
            startLanes<V, Map>(job, V::add(V::mul(index, V::splat(job.xScale)), V::splat(job.xStart)), r[u]);
            const int lanes = cells - u * LANES;
            going[u] = lanes >= LANES ? T::LANE_BITS : lanes > 0 ? (1 << lanes) - 1 : 0;
        }
        int age = screen(job, first, cells, r, going);
        int live = 0;
#pragma GCC unroll 8
        for (int u = 0; u < U; ++u)
            live += __builtin_popcount(going[u]);
        if (!live)
            return;
        if (age == job.limit) {
#pragma GCC unroll 8
            for (int u = 0; u < U; ++u)
                for (int lanes = going[u]; lanes; lanes &= lanes - 1) {
                    const int i = first + u * LANES + __builtin_ctz(lanes);
                    job.counts[i] = job.limit;
                    if (ENDS)
                        job.kept->atLimit(i);
                }
            return;
        }
        bool untested = false, seenEnd = false;
        if constexpr (V::UNTESTED_RUNS && !ENDS && Map::RULE == QUADRATIC_RULE) {
            untested = true;
#pragma GCC unroll 8
            for (int u = 0; u < U; ++u)
                untested &= (going[u] & ~untestedLanes<V>(r[u])) == 0;
        }
        // A block more would waste this much already.
        enum { BLOCK_STEPS = T::BLOCK_STEPS };
        long long wasted = (long long)(N - live) * BLOCK_STEPS;
        if (wasted >= (long long)live * REFILL_STEPS * LANES)
            return listLanes(first, r, going, age, list);
        wasted = 0;
        BlockStart<V, U, Map::PREVIOUS> start, laterStart;
        alignas(64) double near[N];  // 0, equality only, until the lanes are patient
        int savedAge = age;
#pragma GCC unroll 8
        for (int u = 0; u < U; ++u) {
            saved.take(u, r[u]);
            doneColumns[u] = (TestWord)(~going[u] & T::LANE_BITS) * T::column();
        }
        for (int k = 0; k < N; ++k)
            near[k] = 0.0;
        for (;;) {
            // Two blocks before a look where both fit: the look costs less a
            // step; a lane that ends in the first idles through the second.
            const int left = job.limit - age;
            const int steps = left < BLOCK_STEPS ? left : BLOCK_STEPS;
            const bool two = BLOCK_STEPS < 16 && left >= 2 * BLOCK_STEPS;
            TestWord tests[U], later[U];
            bool tested = true;
            int run = two ? 2 * BLOCK_STEPS : steps;
            if (untested && two && age + 2 * BLOCK_STEPS <= firstEnd) {
                BlockStart<V, U, false> from;
                from.store(r);
                run = untestedRun(job, age, firstEnd);
                for (int k = 0; k < run; k += 2 * BLOCK_STEPS)
                    runUntested<V, Map, U, 2 * BLOCK_STEPS>(r);
                int doubted = 0;
#pragma GCC unroll 8
                for (int u = 0; u < U; ++u) {
                    doubted |= going[u] & doubtedLanes<V>(r[u]);
                    tests[u] = later[u] = T::ALL_PASSED;
                }
                tested = doubted != 0;
                if (tested) {
                    // Lanes end here: the run again with its tests, and the
                    // group's last runs tested.
#pragma GCC unroll 8
                    for (int u = 0; u < U; ++u)
                        r[u].zr = V::load(from.zr + u * LANES), r[u].zi = V::load(from.zi + u * LANES);
                    untested = false;
                    run = 2 * BLOCK_STEPS;
                }
            }
            if (tested) {
                if (ENDS)
                    start.store(r);
                runBlock<V, Map, U>(r, tests, steps);
                if (two) {
                    if (ENDS)
                        laterStart.store(r);
                    runBlock<V, Map, U>(r, later, BLOCK_STEPS);
                } else {
#pragma GCC unroll 8
                    for (int u = 0; u < U; ++u)
                        later[u] = T::ALL_PASSED;
                }
            }
            const int blockAge = age;
            age += run;
            TestWord allPassed = T::ALL_PASSED;
            int maybeRepeated = 0;  // the real part first: the rest is compared when it is near
#pragma GCC unroll 8
            for (int u = 0; u < U; ++u) {
                allPassed &= (tests[u] & later[u]) | doneColumns[u];
                maybeRepeated |= nearLanes<V>(r[u].zr, V::load(saved.zr + u * LANES), near + u * LANES) & going[u];
            }
            if (allPassed != T::ALL_PASSED || maybeRepeated || age == job.limit) {
                if (allPassed != T::ALL_PASSED && !seenEnd)
                    firstEnd = blockAge, seenEnd = true, untested = false;
                live = 0;
#pragma GCC unroll 8
                for (int u = 0; u < U; ++u) {
                    int *counts = job.counts + first + u * LANES;
                    const int failed = T::failedLanes(tests[u]) & going[u];
                    const int failedLater = T::failedLanes(later[u]) & going[u] & ~failed;
                    int repeated = age == job.limit ? going[u] & ~failed & ~failedLater
                                   : maybeRepeated  ? going[u] & ~failed & ~failedLater & sameState(r[u], saved.of(u))
                                                    : 0;
                    if (maybeRepeated && age < job.limit)
                        repeated |= captured(r[u], saved.of(u), near + u * LANES,
                                             going[u] & ~failed & ~failedLater & ~repeated, rowCi(job),
                                             GroupClocks{age - savedAge, job.limit - age, age});
                    if (failed)
                        V::storePasses(counts, failed, tests[u], blockAge);
                    if (failedLater)
                        V::storePasses(counts, failedLater, later[u], blockAge + BLOCK_STEPS);
                    if (ENDS) {
                        for (int lanes = failed; lanes; lanes &= lanes - 1) {
                            const int l = __builtin_ctz(lanes);
                            start.keep(*job.kept, first + u * LANES + l, u * LANES + l, counts[l] - blockAge);
                        }
                        for (int lanes = failedLater; lanes; lanes &= lanes - 1) {
                            const int l = __builtin_ctz(lanes);
                            laterStart.keep(*job.kept, first + u * LANES + l, u * LANES + l,
                                            counts[l] - blockAge - BLOCK_STEPS);
                        }
                    }
                    for (int lanes = repeated; lanes; lanes &= lanes - 1) {
                        counts[__builtin_ctz(lanes)] = job.limit;
                        if (ENDS)
                            job.kept->atLimit(first + u * LANES + __builtin_ctz(lanes));
                    }
                    going[u] &= ~(failed | failedLater | repeated);
                    doneColumns[u] = (TestWord)(~going[u] & T::LANE_BITS) * T::column();
                    live += __builtin_popcount(going[u]);
                }
                if (!live)
                    return;
            }
            wasted += (long long)(N - live) * (age - blockAge);
            if (wasted >= (long long)live * REFILL_STEPS * LANES)
                return listLanes(first, r, going, age, list);
            if (blockAge < CAPTURE_PATIENCE * LANES && age >= CAPTURE_PATIENCE * LANES)
                for (int k = 0; k < N; ++k)
                    near[k] = CAPTURE_FIRST_NEAR;  // the lanes have become patient
            if ((age & (age - 1)) == 0) {
                savedAge = age;
#pragma GCC unroll 8
                for (int u = 0; u < U; ++u)
                    saved.take(u, r[u]);
            }
        }
    }

    // The steps of an untested run from `age`: two blocks, doubled while
    // the run is no longer than `age`, ends at a multiple of its length
    // (so it passes no power of two, where checkpoints are taken) and no
    // later than firstEnd, up to UNTESTED_RUN_STEPS. Two blocks only until
    // a group of the chunk has seen a lane end (firstEnd is the limit till
    // then): nothing yet says the orbits here escape, and the looks are
    // where cycles are found.
    static int untestedRun(const LaneJob &job, int age, int firstEnd) {
        enum { BLOCK_STEPS = Tests<LANES>::BLOCK_STEPS };
        const int left = job.limit - age;
        int run = 2 * BLOCK_STEPS;
        while (run < UNTESTED_RUN_STEPS && firstEnd < job.limit && (age & (2 * run - 1)) == 0 && age >= 2 * run &&
               age + 2 * run <= firstEnd && left >= 2 * run)
            run *= 2;
        return run;
    }

    // The first steps, one at a time while some lane is going: most cells of
    // a wide view end within a few steps, counted here a vector at a time.
    // Returns the steps taken.
    static int screen(const LaneJob &job, int first, int cells, LaneRegs<V> (&r)[U], int (&going)[U]) {
        const Twos<V> twos;
        M alive[U];
        D passed[U];
#pragma GCC unroll 8
        for (int u = 0; u < U; ++u) {
            alive[u] = V::allLanes(), passed[u] = V::splat(0.0);
            if (ENDS)
                keepVector(*job.kept, first + u * LANES, r[u]);  // the start: replayed `passed` steps
        }
        const int steps = job.limit < SCREEN_STEPS ? job.limit : SCREEN_STEPS;
        int s = 0;
        for (int any = 1; s < steps && any; ++s) {
            any = 0;
#pragma GCC unroll 8
            for (int u = 0; u < U; ++u) {
                LaneRegs<V> &q = r[u];
                const D zr2 = V::mul(q.zr, q.zr), zi2 = V::mul(q.zi, q.zi);
                alive[u] = V::keepLe(alive[u], V::add(zr2, zi2), V::splat(4.0));
                passed[u] = V::pick(alive[u], V::splat(s + 1), passed[u]);
                Map::template step<V>(q, zr2, zi2, twos.forVector(u));
                any |= V::bits(alive[u]);
            }
        }
        if (cells == N) {
#pragma GCC unroll 8
            for (int u = 0; u < U; ++u)
                V::storeCounts(job.counts + first + u * LANES, passed[u]);
        } else {
            int counts[N];
#pragma GCC unroll 8
            for (int u = 0; u < U; ++u)
                V::storeCounts(counts + u * LANES, passed[u]);
            for (int i = 0; i < cells; ++i)
                job.counts[first + i] = counts[i];
        }
#pragma GCC unroll 8
        for (int u = 0; u < U; ++u) {
            // Lanes still going keep theirs again when they end.
            if (ENDS)
                V::store(job.kept->steps + first + u * LANES, passed[u]);
            going[u] &= V::bits(alive[u]);
        }
        return s;
    }

    // A whole vector of cells, from `at` on, keeps its state (lanes past the
    // chunk's last cell write into the spare room).
    static void keepVector(KeptEnds &kept, int at, const LaneRegs<V> &r) {
        V::store(kept.zr + at, r.zr), V::store(kept.zi + at, r.zi);
        if (Map::PREVIOUS)
            V::store(kept.pr + at, r.pr), V::store(kept.pi + at, r.pi);
    }

    // The vectors' whole states (the constants aside), kept for the cycle check.
    struct Checkpoints {
        alignas(64) double zr[N], zi[N], pr[N], pi[N];
        void take(int u, const LaneRegs<V> &r) {
            V::store(zr + u * LANES, r.zr), V::store(zi + u * LANES, r.zi);
            if (Map::PREVIOUS)
                V::store(pr + u * LANES, r.pr), V::store(pi + u * LANES, r.pi);
        }
        SavedStates of(int u) const { return {zr + u * LANES, zi + u * LANES, pr + u * LANES, pi + u * LANES}; }
    };

    // A group's lanes all started together: one lag, one room, one age.
    struct GroupClocks {
        int lagSteps, roomSteps, ageSteps;
        int lag(int) const { return lagSteps; }
        int room(int) const { return roomSteps; }
        int age(int) const { return ageSteps; }
    };

    // The lanes in `lanes` proven captured (provenLanes).
    static int captured(const LaneRegs<V> &r, const SavedStates &saved, double *near, int lanes, double ci,
                        GroupClocks clocks) {
        return lanes ? provenLanes<V, Map>(r, saved, near, lanes, ci, clocks) : 0;
    }

    static int sameState(const LaneRegs<V> &r, const SavedStates &s) {
        M m = V::eq(r.zr, V::load(s.zr));
        m = V::same(m, r.zi, V::load(s.zi));
        if (Map::PREVIOUS) {
            m = V::same(m, r.pr, V::load(s.pr));
            m = V::same(m, r.pi, V::load(s.pi));
        }
        return V::bits(m);
    }

    static void listLanes(int first, const LaneRegs<V> (&r)[U], const int (&going)[U], int age, List &list) {
#pragma GCC unroll 8
        for (int u = 0; u < U; ++u) {
            int lanes = going[u];
            if (!lanes)
                continue;
            const int at = list.count;
            V::compress(list.zr + at, lanes, r[u].zr), V::compress(list.zi + at, lanes, r[u].zi);
            V::compress(list.pr + at, lanes, r[u].pr), V::compress(list.pi + at, lanes, r[u].pi);
            V::compress(list.cr + at, lanes, r[u].cr);
            for (; lanes; lanes &= lanes - 1) {
                list.cell[list.count] = first + u * LANES + __builtin_ctz(lanes);
                list.age[list.count++] = age;
            }
        }
    }
};

// Far beyond any clock, yet IDLE_START + limit does not overflow.
const long long IDLE_START = 0x3fffffffffffffffLL;

// Per lane, what stays in memory between blocks: the lane's cell and
// checkpoint, and the cell it takes next (staged, so that refilling lanes
// is one masked blend per vector and field).
template <int N>
struct LaneTable {
    alignas(64) double sr[N], si[N], spr[N], spi[N];  // checkpoint of the whole state
    alignas(64) double due[N], interval[N];            // next checkpoint clock, its interval
    alignas(64) double taken[N], near[N];               // checkpoint clock; nearness to try the proof at
    alignas(64) double patientAt[N];                    // clock from which near is CAPTURE_FIRST_NEAR, not 0
    alignas(64) double nextZr[N], nextZi[N], nextPr[N], nextPi[N], nextCr[N];
    int cell[N], nextCell[N], nextAge[N];              // cell: index into the counts, or -1: idle
    long long start[N];  // clock at which the lane would have held z_0; IDLE_START when idle
};

template <class V, class Map, int U, bool ENDS>
class LaneEngine {
public:
    enum { LANES = V::LANES, N = U * LANES };
    typedef typename V::D D;
    typedef typename V::M M;
    typedef CellList<N, LANES> List;
    typedef Tests<LANES> T;

    static void run(const LaneJob &job, const List &list) {
        LaneEngine e(job, list);
        e.runBlocks();
    }

private:
    const LaneJob &job_;
    const List &list_;
    LaneTable<N> t_;
    TestWord idleColumns_[U];  // the columns of idle lanes, set: they count as passing
    int idleLanes_[U];
    int next_ = 0;             // the next listed cell to stage
    int active_ = 0;           // lanes holding a cell
    long long clock_ = 0;
    long long oldest_ = IDLE_START;  // no lane started earlier (it may be stale: too early)

    LaneEngine(const LaneJob &job, const List &list) : job_(job), list_(list) {}

    void runBlocks() {
        LaneRegs<V> r[U];
        startLanes(r);
        BlockStart<V, U, Map::PREVIOUS> start;
        while (active_ > 0) {
            // The clock at which the oldest lane holds z_limit, or earlier when
            // oldest_ is stale, which only cuts a block short.
            const long long stop = oldest_ + job_.limit;
            const long long blockStart = clock_;
            const int steps = stop - clock_ < T::BLOCK_STEPS ? (int)(stop - clock_) : T::BLOCK_STEPS;
            TestWord tests[U];
            if (ENDS)
                start.store(r);
            runBlock<V, Map, U>(r, tests, steps);
            clock_ += steps;
            settleBlock(r, tests, start, blockStart, clock_ == stop);
            if (clock_ == stop)
                oldest_ = oldestStart();
            if (clock_ / CHECK_PERIOD != blockStart / CHECK_PERIOD)
                updateCheckpoints(r);
        }
    }

    // Lanes take the first N listed cells and stage the next N.
    void startLanes(LaneRegs<V> (&r)[U]) {
        for (int k = 0; k < N; ++k) {
            t_.cell[k] = list_.cell[k];
            active_ += t_.cell[k] >= 0;
            resetLane(k, list_.age[k]);
            stage(k, N + k);
        }
        next_ = 2 * N;
#pragma GCC unroll 8
        for (int u = 0; u < U; ++u) {
            const int k = u * LANES;
            r[u].zr = V::load(list_.zr + k), r[u].zi = V::load(list_.zi + k);
            r[u].pr = V::load(list_.pr + k), r[u].pi = V::load(list_.pi + k);
            r[u].cr = V::load(list_.cr + k), r[u].ci = V::splat(rowCi(job_));
            idleLanes_[u] = 0, idleColumns_[u] = 0;
            for (int l = 0; l < LANES; ++l)
                if (t_.cell[k + l] < 0)
                    markIdle(u, l);
        }
    }

    void markIdle(int u, int l) {
        idleLanes_[u] |= 1 << l;
        idleColumns_[u] |= T::column() << l;
    }

    void stage(int k, int entry) {
        t_.nextZr[k] = list_.zr[entry], t_.nextZi[k] = list_.zi[entry];
        t_.nextPr[k] = list_.pr[entry], t_.nextPi[k] = list_.pi[entry];
        t_.nextCr[k] = list_.cr[entry];
        t_.nextCell[k] = list_.cell[entry], t_.nextAge[k] = list_.age[entry];
    }

    // A lane that took a cell holding z_age: a fresh checkpoint schedule; an
    // idle one never checks.
    void resetLane(int k, int age) {
        const bool idle = t_.cell[k] < 0;
        t_.start[k] = idle ? IDLE_START : clock_ - age;
        oldest_ = t_.start[k] < oldest_ ? t_.start[k] : oldest_;
        t_.sr[k] = t_.si[k] = t_.spr[k] = t_.spi[k] = __builtin_nan("");
        t_.due[k] = idle ? __builtin_inf() : (double)clock_;
        t_.interval[k] = CHECK_PERIOD;
        t_.taken[k] = (double)clock_;
        const bool patient = !idle && age >= CAPTURE_PATIENCE * LANES;
        t_.near[k] = patient ? CAPTURE_FIRST_NEAR : 0.0;
        t_.patientAt[k] = idle || patient ? __builtin_inf() : (double)(t_.start[k] + CAPTURE_PATIENCE * LANES);
    }

    // After a block: lanes that failed, repeated their checkpoint or reached
    // the limit hand in their counts and take their staged cells.
    inline __attribute__((always_inline)) void settleBlock(LaneRegs<V> (&r)[U], TestWord (&tests)[U],
                                                           const BlockStart<V, U, Map::PREVIOUS> &start,
                                                           long long blockStart, bool atStop) {
        TestWord allPassed = T::ALL_PASSED;
        int maybeRepeated = 0;
#pragma GCC unroll 8
        for (int u = 0; u < U; ++u) {
            tests[u] |= idleColumns_[u];
            allPassed &= tests[u];
            // The real part first: the rest of the state is compared only when it is near.
            maybeRepeated |= nearLanes<V>(r[u].zr, V::load(t_.sr + u * LANES), t_.near + u * LANES);
        }
        if (allPassed == T::ALL_PASSED && !maybeRepeated && !atStop)
            return;
        int failed[U], limited[U];
        TestWord done = 0;
#pragma GCC unroll 8
        for (int u = 0; u < U; ++u) {
            failed[u] = T::failedLanes(tests[u]);
            limited[u] = 0;
            if (maybeRepeated) {
                limited[u] = sameState(r[u], u) & ~failed[u] & ~idleLanes_[u];
                limited[u] |= capturedLanes(r[u], u, ~failed[u] & ~limited[u] & ~idleLanes_[u] & T::LANE_BITS);
            }
            if (atStop)
                limited[u] |= lanesAtLimit(u) & ~failed[u];
            limited[u] &= ~idleLanes_[u];
            const int lanes = failed[u] | limited[u];
            takeStaged(r[u], u, lanes);
            done |= (TestWord)lanes << (u * LANES);
        }
        for (; done; done &= done - 1) {
            const int k = __builtin_ctzll(done), u = k / LANES, l = k % LANES;
            const int cell = t_.cell[k];
            if (failed[u] >> l & 1) {
                const int passed = T::passedSteps(tests[u], l);
                job_.counts[cell] = (int)(blockStart - t_.start[k]) + passed;
                if (ENDS)
                    start.keep(*job_.kept, cell, k, passed);
            } else {
                job_.counts[cell] = job_.limit;
                if (ENDS)
                    job_.kept->atLimit(cell);
            }
            t_.cell[k] = t_.nextCell[k];
            const int age = t_.nextAge[k];
            if (t_.cell[k] >= 0) {
                stage(k, next_++);
            } else {
                --active_;
                markIdle(u, l);
            }
            resetLane(k, age);
        }
    }

    // The lanes take their staged cells into the registers.
    void takeStaged(LaneRegs<V> &r, int u, int lanes) const {
        const int k = u * LANES;
        r.zr = V::blend(lanes, r.zr, t_.nextZr + k), r.zi = V::blend(lanes, r.zi, t_.nextZi + k);
        r.cr = V::blend(lanes, r.cr, t_.nextCr + k);
        if (Map::PREVIOUS)
            r.pr = V::blend(lanes, r.pr, t_.nextPr + k), r.pi = V::blend(lanes, r.pi, t_.nextPi + k);
    }

    int sameState(const LaneRegs<V> &r, int u) const {
        const int k = u * LANES;
        M m = V::eq(r.zr, V::load(t_.sr + k));
        m = V::same(m, r.zi, V::load(t_.si + k));
        if (Map::PREVIOUS) {
            m = V::same(m, r.pr, V::load(t_.spr + k));
            m = V::same(m, r.pi, V::load(t_.spi + k));
        }
        return V::bits(m);
    }

    // Lane k's clocks: steps since its checkpoint, steps left, steps taken.
    struct Clocks {
        const LaneEngine &e;
        int k;
        int lag(int l) const { return (int)(e.clock_ - (long long)e.t_.taken[k + l]); }
        int room(int l) const { return e.job_.limit - age(l); }
        int age(int l) const { return (int)(e.clock_ - e.t_.start[k + l]); }
    };

    // The lanes of vector u in `lanes` proven captured (provenLanes).
    int capturedLanes(const LaneRegs<V> &r, int u, int lanes) {
        if (!lanes)
            return 0;
        const int k = u * LANES;
        const SavedStates saved = {t_.sr + k, t_.si + k, t_.spr + k, t_.spi + k};
        return provenLanes<V, Map>(r, saved, t_.near + k, lanes, rowCi(job_), Clocks{*this, k});
    }

    int lanesAtLimit(int u) const {
        int lanes = 0;
        for (int l = 0; l < LANES; ++l)
            lanes |= (clock_ - t_.start[u * LANES + l] == job_.limit) << l;
        return lanes;
    }

    long long oldestStart() const {
        long long oldest = IDLE_START;
        for (int k = 0; k < N; ++k)
            oldest = t_.start[k] < oldest ? t_.start[k] : oldest;
        return oldest;
    }

    void updateCheckpoints(const LaneRegs<V> (&r)[U]) {
        const D now = V::splat((double)clock_);
#pragma GCC unroll 8
        for (int u = 0; u < U; ++u) {
            const int k = u * LANES;
            const M patient = V::le(V::load(t_.patientAt + k), now);
            if (V::bits(patient)) {
                V::store(t_.near + k, V::pick(patient, V::splat(CAPTURE_FIRST_NEAR), V::load(t_.near + k)));
                V::store(t_.patientAt + k, V::pick(patient, V::splat(__builtin_inf()), V::load(t_.patientAt + k)));
            }
            const M due = V::le(V::load(t_.due + k), now);
            if (!V::bits(due))
                continue;
            V::store(t_.sr + k, V::pick(due, r[u].zr, V::load(t_.sr + k)));
            V::store(t_.si + k, V::pick(due, r[u].zi, V::load(t_.si + k)));
            if (Map::PREVIOUS) {
                V::store(t_.spr + k, V::pick(due, r[u].pr, V::load(t_.spr + k)));
                V::store(t_.spi + k, V::pick(due, r[u].pi, V::load(t_.spi + k)));
            }
            const D interval = V::load(t_.interval + k);
            V::store(t_.taken + k, V::pick(due, now, V::load(t_.taken + k)));
            V::store(t_.due + k, V::pick(due, V::add(now, interval), V::load(t_.due + k)));
            V::store(t_.interval + k, V::pick(due, V::add(interval, interval), interval));
        }
    }
};

// Each cell's OrbitEnd from what it kept: its kept state taken on the
// kept number of steps (all of which passed), a vector of cells at a time,
// each lane stopping at its own count. The same arithmetic as the blocks',
// so the same bits.
template <class V, class Map>
void replayEnds(const LaneJob &job) {
    typedef typename V::D D;
    enum { LANES = V::LANES };
    KeptEnds &kept = *job.kept;
    for (int i = job.count; i % LANES; ++i)
        kept.atLimit(i);  // the spare lanes of the last vector: nothing to replay
    const D ci = V::splat(rowCi(job));
    for (int i = 0; i < job.count; i += LANES) {
        LaneRegs<V> r;
        r.zr = V::load(kept.zr + i), r.zi = V::load(kept.zi + i);
        r.pr = Map::PREVIOUS ? V::load(kept.pr + i) : V::splat(0.0);
        r.pi = Map::PREVIOUS ? V::load(kept.pi + i) : V::splat(0.0);
        r.cr = job.jKind ? V::splat(job.xPivot)
                         : V::add(V::mul(V::ramp(job.first + i), V::splat(job.xScale)), V::splat(job.xStart));
        r.ci = ci;
        const D steps = V::load(kept.steps + i);
        double most = 0.0;
        for (int l = 0; l < LANES; ++l)
            most = kept.steps[i + l] > most ? kept.steps[i + l] : most;
        for (int s = 0; s < (int)most; ++s) {
            LaneRegs<V> q = r;
            Map::template step<V>(q, V::mul(r.zr, r.zr), V::mul(r.zi, r.zi), nullptr);
            const typename V::M going = V::le(V::splat(s + 1.0), steps);
            r.zr = V::pick(going, q.zr, r.zr), r.zi = V::pick(going, q.zi, r.zi);
            if (Map::PREVIOUS)
                r.pr = V::pick(going, q.pr, r.pr), r.pi = V::pick(going, q.pi, r.pi);
        }
        if (i + LANES <= job.count) {
            V::storeEnds(job.ends + i, r.zr, r.zi, r.pr, r.pi);
        } else {
            OrbitEnd last[LANES];
            V::storeEnds(last, r.zr, r.zi, r.pr, r.pi);
            for (int l = 0; i + l < job.count; ++l)
                job.ends[i + l] = last[l];
        }
    }
}

// A chunk's cell list (about 50 KB) and kept ends (about 45 KB) live on the
// heap, not the stack: the explorer's row workers run on small stacks, and
// a thread's stack pages below the last few are given back at every
// thread's exit, so stack this size would be faulted in again each row.
// Default-initialised: nothing is zeroed that the passes do not write.
template <class T>
struct HeapScratch {
    T *p = new T;
    HeapScratch() = default;
    HeapScratch(const HeapScratch &) = delete;
    HeapScratch &operator=(const HeapScratch &) = delete;
    ~HeapScratch() { delete p; }
};

// Runs a chunk's groups, then the cells they left in the lane engine; with
// ENDS, then the orbit ends.
template <class V, class Map, int U, bool ENDS>
void countChunk(LaneJob job) {
    HeapScratch<CellList<U * V::LANES, V::LANES>> list;
    if constexpr (ENDS) {
        HeapScratch<KeptEnds> kept;
        job.kept = kept.p;
        Groups<V, Map, U, ENDS>::run(job, *list.p);
        if (list.p->count > 0)
            LaneEngine<V, Map, U, ENDS>::run(job, *list.p);
        replayEnds<V, Map>(job);
    } else {
        Groups<V, Map, U, ENDS>::run(job, *list.p);
        if (list.p->count > 0)
            LaneEngine<V, Map, U, ENDS>::run(job, *list.p);
    }
}

template <class V, int U, bool ENDS>
void countChunkOfRule(FractalRule rule, const LaneJob &job) {
    switch (rule) {
    case QUADRATIC_RULE:
        countChunk<V, QuadraticMap, U, ENDS>(job);
        break;
    case DRAGON_RULE:
        countChunk<V, DragonMap, U, ENDS>(job);
        break;
    default:
        countChunk<V, PhoenixMap, U, ENDS>(job);
        break;
    }
}

// The entry the instruction-set files call: U vectors of V in flight; with
// ends not null, each cell's OrbitEnd too. count <= LANE_CHUNK_CELLS, and
// the type's rule is a polynomial one (core/kernels_simd_isa.h).
template <class V, int U>
void laneEscapeCounts(int type, const KernelView &v, int row, int first, int count, int *counts,
                      OrbitEnd *ends) {
    static_assert(U <= 8, "the loops over the vectors unroll at most 8");
    static_assert(U * V::LANES <= 64, "the lane engine's done lanes fit a TestWord");
    const FractalTypeInfo &info = FRACTAL_TYPE_TABLE[type];
    const LaneJob job = {info.jKind, v.detail, (double)row * v.yScale + v.yStart, v.xStart,
                         v.xScale, v.xPivot, v.yPivot, first, count, counts, ends, nullptr};
    if (ends)
        countChunkOfRule<V, U, true>(info.rule, job);
    else
        countChunkOfRule<V, U, false>(info.rule, job);
}

}  // namespace

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

#endif
