// kernels_simd_lanes.h - the lane engine of the vector kernel paths.
//
// Included by exactly one file per instruction set, which supplies the
// vector type V (below) and calls laneEscapeCounts<V, U>. Everything here
// has internal linkage and nothing here includes a header that defines an
// inline function: a copy compiled for a wider instruction set must never be
// the one the linker keeps for a narrower caller.
//
// A row chunk runs in two passes.
//
// Screen: every cell gets the first SCREEN_STEPS steps in plain groups of U
// vectors, one cell per lane, no refills. Most cells of a typical view end
// there, for a few vector operations each; the rest are listed.
//
// Lane engine: U vectors of V::LANES lanes hold one listed cell each, so
// U * LANES independent orbits are in flight and the interleaved vectors
// hide the latency of the multiply-add chain. All lanes step together, and
// a step after which some lane's new iterate fails its test (outside the
// disc, NaN, or equal to the lane's checkpoint) ends the run. Between runs
// each finished lane hands in its count and takes the next listed cell
// (restarting it from z0), so no lane waits for the longest orbit of a group.
// Idle lanes (the list is used up) hold z = c = 0, a fixed point that never
// escapes and never equals its NaN checkpoint.
//
// Counting. A lane holds an iterate z_n that has been tested, with its
// squares (the next step needs them). `clock` counts the steps all lanes
// have taken; a lane that took its cell at clock S holds n = clock - S. A
// new lane's z0 has passed (the screen saw it pass). A lane whose z_n failed
// has count n; a lane that has passed z_0 .. z_limit-1 has count limit, and
// a run stops at the clock where the oldest lane gets there (stopClock), so
// no lane tests an iterate the plain loop would not.
//
// Exactness. Each step is the plain loop's arithmetic in the same order,
// one multiply or add per intrinsic (no FMA), and the test is an ordered
// `<=` (false for NaN, like the scalar comparison). 2 * p is p + p: both are
// exact, or both overflow to the same infinity.
//
// Cycle checkpoints (Brent's schedule). When the clock passes a multiple of
// CHECK_PERIOD (not in a step that ends a run: settling comes first), each
// lane whose checkpoint is due copies its state (tested, passed) there and
// doubles the interval to its next one (CHECK_PERIOD, 2 CHECK_PERIOD, ...).
// New iterates that pass are compared with the checkpoint z_s (every
// COMPARE_EVERY-th step, and all of them when a run ends): equality means
// the orbit cycles through z_s .. z_n, all passed, so the count is the
// limit. A cycle of period p from z_mu is found once an interval reaches p
// after z_mu, well before the limit on deep interiors.
#ifndef QUORVEX_CORE_KERNELS_SIMD_LANES_H
#define QUORVEX_CORE_KERNELS_SIMD_LANES_H

#include "core/kernels.h"
#include "core/kernels_simd_isa.h"

// The vector type V supplies:
//   D, M                 a vector of doubles, a lane mask
//   LANES                lanes per vector
//   splat load store     broadcast, aligned load and store
//   add sub mul          one IEEE operation per lane
//   le(a, b) eq(a, b)    a <= b, a == b, ordered (false for NaN)
//   same(m, a, b)        m & (a == b)
//   keepLe(m, a, b)      m & (a <= b)
//   both(a, b) butNot(a, b) either(a, b)    a & b, a & ~b, a | b
//   all(m) any(m)        every lane set, some lane set
//   bits(m)              the set lanes as bits 0..LANES-1
//   pick(m, a, b)        a where m is set, b elsewhere
//   ramp(i)              i, i + 1, ... i + LANES - 1 as doubles
//   storeCounts(p, a)    the lanes (whole numbers) as ints at p .. p + LANES - 1

namespace {

// Steps between checkpoint updates: short enough to catch short cycles
// early, long enough that the update costs little.
enum { CHECK_PERIOD = 64 };

// The lane engine compares with the checkpoints every this many steps.
enum { COMPARE_EVERY = 4 };

// Steps every cell gets in the screening pass before the lane engine.
enum { SCREEN_STEPS = 16 };

template <class V>
struct LaneRegs {
    typename V::D zr, zi, zr2, zi2;  // iterate and its squares
    typename V::D pr, pi, cr, ci;    // previous iterate (Phoenix), constant
    typename V::D sr, si, spr, spi;  // checkpoint of the whole state
    typename V::D due, interval;     // next checkpoint time, its interval
};

template <class V>
inline void squareLanes(LaneRegs<V> &r) {
    r.zr2 = V::mul(r.zr, r.zr);
    r.zi2 = V::mul(r.zi, r.zi);
}

template <class V>
inline typename V::M passedLanes(const LaneRegs<V> &r) {
    return V::le(V::add(r.zr2, r.zi2), V::splat(4.0));
}

// z <- z^2 + c (Mandelbrot, Julia)
struct QuadraticMap {
    enum { PREVIOUS = 0 };
    template <class V>
    static void step(LaneRegs<V> &r) {
        const typename V::D zri = V::mul(r.zr, r.zi);
        r.zr = V::add(V::sub(r.zr2, r.zi2), r.cr);
        r.zi = V::add(V::add(zri, zri), r.ci);
    }
};

// z <- lambda z (1 - z), lambda in (cr, ci); a and -b the parts of z - z^2
struct DragonMap {
    enum { PREVIOUS = 0 };
    template <class V>
    static void step(LaneRegs<V> &r) {
        const typename V::D zri = V::mul(r.zr, r.zi);
        const typename V::D a = V::add(V::sub(r.zi2, r.zr2), r.zr);
        const typename V::D b = V::sub(V::add(zri, zri), r.zi);
        r.zr = V::add(V::mul(r.cr, a), V::mul(r.ci, b));
        r.zi = V::sub(V::mul(r.ci, a), V::mul(r.cr, b));
    }
};

// z <- z^2 + s + t z_n-1, s and t in (cr, ci), z_n-1 in (pr, pi)
struct PhoenixMap {
    enum { PREVIOUS = 1 };
    template <class V>
    static void step(LaneRegs<V> &r) {
        const typename V::D zri = V::mul(r.zr, r.zi);
        const typename V::D nr = V::add(V::add(V::sub(r.zr2, r.zi2), r.cr), V::mul(r.ci, r.pr));
        const typename V::D ni = V::add(V::add(zri, zri), V::mul(r.ci, r.pi));
        r.pr = r.zr, r.pi = r.zi;
        r.zr = nr, r.zi = ni;
    }
};

// One row chunk: where cells come from and where counts go.
struct LaneJob {
    int type;
    int limit;
    double y;                 // the row's imaginary coordinate
    double xStart, xScale;
    double xPivot, yPivot;
    int first, count;         // cells first .. first + count - 1 of the row
    int *counts;              // count of cell first + i at counts[i]
    const int *cells;         // the cells left for the lane engine (i as above)
    int cellCount, next;      // how many; the next one to hand out
    long long clock;          // steps taken by all lanes
    long long stopClock;      // clock at which the oldest lane has passed z_limit-1
};

// The plane point of cell first + i.
inline double cellX(const LaneJob &job, int i) {
    return (double)(job.first + i) * job.xScale + job.xStart;
}

// Start value z0 and constant c of the cell at real coordinate x. The J
// kinds start from the point and take the pivot as the constant; the M kinds
// start from 0 (M-Dragon from its critical point 0.5) with the point as c.
inline void startCell(const LaneJob &job, double x, double &zr, double &zi, double &cr, double &ci) {
    if (job.type & 1) {
        zr = x, zi = job.y, cr = job.xPivot, ci = job.yPivot;
    } else {
        zr = job.type == M_DRAGON_TYPE ? 0.5 : 0.0, zi = 0.0, cr = x, ci = job.y;
    }
}

// The same for a vector of cells at x, with the squares of z0.
template <class V>
void startLanes(const LaneJob &job, typename V::D x, LaneRegs<V> &r) {
    double zr, zi, cr, ci;
    startCell(job, 0.0, zr, zi, cr, ci);
    const bool jKind = job.type & 1;
    r.zr = jKind ? x : V::splat(zr), r.zi = V::splat(zi);
    r.cr = jKind ? V::splat(cr) : x, r.ci = V::splat(ci);
    r.pr = r.pi = V::splat(0.0);
    squareLanes(r);
}

template <class V, class Map, int U>
class Screen {
public:
    enum { N = U * V::LANES };
    typedef typename V::D D;
    typedef typename V::M M;

    // Counts what ends early; returns how many cells it listed in `left`.
    static int run(const LaneJob &job, int *left) {
        int leftCount = 0;
        for (int i = 0; i < job.count; i += N)
            leftCount += screenGroup(job, i, left + leftCount);
        return leftCount;
    }

private:
    static int screenGroup(const LaneJob &job, int first, int *left) {
        LaneRegs<V> r[U];
        M going[U];
        D failedAt[U];
        for (int u = 0; u < U; ++u) {
            const D index = V::ramp(job.first + first + u * V::LANES);
            startLanes<V>(job, V::add(V::mul(index, V::splat(job.xScale)), V::splat(job.xStart)), r[u]);
            going[u] = V::eq(V::splat(0.0), V::splat(0.0));
            failedAt[u] = V::splat(0.0);
        }
        const int steps = job.limit < SCREEN_STEPS ? job.limit : SCREEN_STEPS;
        stepGroup(r, going, failedAt, steps);
        return settleGroup(job, first, going, failedAt, steps, left);
    }

    // Tests and steps while any lane is going; failedAt: the index that failed.
    static void stepGroup(LaneRegs<V> (&r)[U], M (&going)[U], D (&failedAt)[U], int steps) {
        for (int s = 0; s < steps; ++s) {
            M any = going[0];
#pragma GCC unroll 8
            for (int u = 0; u < U; ++u) {
                const M passed = passedLanes(r[u]);
                failedAt[u] = V::pick(V::butNot(going[u], passed), V::splat(s), failedAt[u]);
                going[u] = V::both(going[u], passed);
                any = u == 0 ? going[0] : V::either(any, going[u]);
                Map::step(r[u]);
                squareLanes(r[u]);
            }
            if (!V::any(any))
                return;
        }
    }

    // Writes every lane's failing index (scratch for lanes still going, which
    // are then counted here at the limit or listed for the lane engine).
    static int settleGroup(const LaneJob &job, int first, const M (&going)[U], const D (&failedAt)[U],
                           int steps, int *left) {
        int leftCount = 0;
        for (int u = 0; u < U; ++u) {
            const int base = first + u * V::LANES;
            V::storeCounts(job.counts + base, failedAt[u]);
            for (int lanes = V::bits(going[u]); lanes; lanes &= lanes - 1) {
                const int i = base + __builtin_ctz(lanes);
                if (i >= job.count)
                    break;
                if (steps == job.limit)
                    job.counts[i] = job.limit;
                else
                    left[leftCount++] = i;
            }
        }
        return leftCount;
    }
};

// The lanes as plain arrays, between runs.
template <int N>
struct LaneTable {
    alignas(64) double zr[N], zi[N], zr2[N], zi2[N], pr[N], pi[N], cr[N], ci[N];
    alignas(64) double sr[N], si[N], spr[N], spi[N], due[N], interval[N];
    int cell[N];          // index into the counts, or -1: idle
    long long start[N];   // clock at which the lane took its cell; IDLE_START when idle
};

// Far beyond any clock, yet IDLE_START + limit does not overflow.
const long long IDLE_START = 0x3fffffffffffffffLL;

template <class V, class Map, int U>
class LaneEngine {
public:
    enum { N = U * V::LANES };
    typedef typename V::D D;
    typedef typename V::M M;

    static void run(LaneJob &job) {
        LaneTable<N> t;
        for (int k = 0; k < N; ++k)
            takeCell(t, job, k);
        updateStopClock(t, job);
        while (job.stopClock < IDLE_START) {
            runLanes(t, job);
            settleLanes(t, job);
            updateStopClock(t, job);
        }
    }

private:
    static double nan() { return __builtin_nan(""); }

    // Lane k takes the next listed cell, or goes idle.
    static void takeCell(LaneTable<N> &t, LaneJob &job, int k) {
        t.pr[k] = t.pi[k] = 0.0;
        t.sr[k] = t.si[k] = t.spr[k] = t.spi[k] = nan();
        t.interval[k] = CHECK_PERIOD;
        t.start[k] = job.clock;
        t.due[k] = (double)job.clock;
        if (job.next == job.cellCount) {
            t.cell[k] = -1;
            t.zr[k] = t.zi[k] = t.cr[k] = t.ci[k] = 0.0;
            t.due[k] = __builtin_inf();
            t.start[k] = IDLE_START;
        } else {
            const int i = job.cells[job.next++];
            t.cell[k] = i;
            startCell(job, cellX(job, i), t.zr[k], t.zi[k], t.cr[k], t.ci[k]);
        }
        t.zr2[k] = t.zr[k] * t.zr[k];
        t.zi2[k] = t.zi[k] * t.zi[k];
    }

    static void updateStopClock(const LaneTable<N> &t, LaneJob &job) {
        long long oldest = IDLE_START;
        for (int k = 0; k < N; ++k)
            oldest = t.start[k] < oldest ? t.start[k] : oldest;
        job.stopClock = oldest < IDLE_START ? oldest + job.limit - 1 : IDLE_START;
    }

    // Hands in the counts of finished lanes and gives them new cells. The
    // state tells which: a failed iterate, a repeat, or the limit reached.
    static void settleLanes(LaneTable<N> &t, LaneJob &job) {
        for (int u = 0; u < U; ++u) {
            LaneRegs<V> r;
            loadLanes(t, u, r);
            const int passed = V::bits(passedLanes(r));
            const int repeated = V::bits(sameState(r));
            for (int done = (~passed | repeated) & ((1 << V::LANES) - 1); done; done &= done - 1) {
                const int lane = __builtin_ctz(done), k = u * V::LANES + lane;
                if (t.cell[k] >= 0)
                    finish(t, job, k, passed >> lane & 1 ? job.limit : (int)(job.clock - t.start[k]));
            }
        }
        if (job.clock == job.stopClock)
            for (int k = 0; k < N; ++k)
                if (t.cell[k] >= 0 && job.clock - t.start[k] == job.limit - 1)
                    finish(t, job, k, job.limit);
    }

    static void finish(LaneTable<N> &t, LaneJob &job, int k, int count) {
        job.counts[t.cell[k]] = count;
        takeCell(t, job, k);
    }

    // Steps all lanes until some lane's new iterate fails or the oldest
    // lane has passed z_limit-1.
    static void runLanes(LaneTable<N> &t, LaneJob &job) {
        LaneRegs<V> r[U];
        for (int u = 0; u < U; ++u)
            loadLanes(t, u, r[u]);
        for (;;) {
            const long long nextCheck = (job.clock / CHECK_PERIOD + 1) * CHECK_PERIOD;
            const long long until = nextCheck < job.stopClock ? nextCheck : job.stopClock;
            bool failed = false;
            job.clock += stepLanes(r, (int)(until - job.clock), failed);
            if (failed || job.clock == job.stopClock)
                break;
            updateCheckpoints(r, (double)job.clock);
        }
        for (int u = 0; u < U; ++u)
            storeLanes(t, u, r[u]);
    }

    // Up to `steps` steps; returns the steps taken (the last failing if
    // `failed`). Only every COMPARE_EVERY-th step compares with the
    // checkpoints: a cycle is then found at most a few periods later, and
    // the compares cost a quarter.
    static int stepLanes(LaneRegs<V> (&r)[U], int steps, bool &failed) {
        int s = 0;
        for (; s + COMPARE_EVERY <= steps; s += COMPARE_EVERY) {
            for (int k = 1; k < COMPARE_EVERY; ++k)
                if (!stepAll<false>(r))
                    return failed = true, s + k;
            if (!stepAll<true>(r))
                return failed = true, s + COMPARE_EVERY;
        }
        while (s < steps)
            if (!stepAll<true>(r))
                return failed = true, s + 1;
            else
                ++s;
        return steps;
    }

    // One step of every lane; false when some lane failed its test.
    template <bool CHECKPOINT>
    static bool stepAll(LaneRegs<V> (&r)[U]) {
        M going = V::eq(V::splat(0.0), V::splat(0.0));
#pragma GCC unroll 8
        for (int u = 0; u < U; ++u) {
            Map::step(r[u]);
            squareLanes(r[u]);
            if (CHECKPOINT)
                going = V::butNot(going, sameState(r[u]));
            going = V::keepLe(going, V::add(r[u].zr2, r[u].zi2), V::splat(4.0));
        }
        return V::all(going);
    }

    static M sameState(const LaneRegs<V> &r) {
        M m = V::same(V::eq(r.zr, r.sr), r.zi, r.si);
        if (Map::PREVIOUS) {
            m = V::same(m, r.pr, r.spr);
            m = V::same(m, r.pi, r.spi);
        }
        return m;
    }

    static void updateCheckpoints(LaneRegs<V> (&r)[U], double clock) {
        const D now = V::splat(clock);
#pragma GCC unroll 8
        for (int u = 0; u < U; ++u) {
            const M due = V::le(r[u].due, now);
            r[u].sr = V::pick(due, r[u].zr, r[u].sr);
            r[u].si = V::pick(due, r[u].zi, r[u].si);
            if (Map::PREVIOUS) {
                r[u].spr = V::pick(due, r[u].pr, r[u].spr);
                r[u].spi = V::pick(due, r[u].pi, r[u].spi);
            }
            r[u].due = V::pick(due, V::add(now, r[u].interval), r[u].due);
            r[u].interval = V::pick(due, V::add(r[u].interval, r[u].interval), r[u].interval);
        }
    }

    static void loadLanes(const LaneTable<N> &t, int u, LaneRegs<V> &r) {
        const int k = u * V::LANES;
        r.zr = V::load(t.zr + k), r.zi = V::load(t.zi + k);
        r.zr2 = V::load(t.zr2 + k), r.zi2 = V::load(t.zi2 + k);
        r.cr = V::load(t.cr + k), r.ci = V::load(t.ci + k);
        r.sr = V::load(t.sr + k), r.si = V::load(t.si + k);
        r.due = V::load(t.due + k), r.interval = V::load(t.interval + k);
        if (Map::PREVIOUS) {
            r.pr = V::load(t.pr + k), r.pi = V::load(t.pi + k);
            r.spr = V::load(t.spr + k), r.spi = V::load(t.spi + k);
        }
    }

    // cr and ci never change while a lane holds its cell.
    static void storeLanes(LaneTable<N> &t, int u, const LaneRegs<V> &r) {
        const int k = u * V::LANES;
        V::store(t.zr + k, r.zr), V::store(t.zi + k, r.zi);
        V::store(t.zr2 + k, r.zr2), V::store(t.zi2 + k, r.zi2);
        V::store(t.sr + k, r.sr), V::store(t.si + k, r.si);
        V::store(t.due + k, r.due), V::store(t.interval + k, r.interval);
        if (Map::PREVIOUS) {
            V::store(t.pr + k, r.pr), V::store(t.pi + k, r.pi);
            V::store(t.spr + k, r.spr), V::store(t.spi + k, r.spi);
        }
    }
};

// Screens a chunk, then runs the cells left in the lane engine.
template <class V, class Map, int U>
void countChunk(LaneJob &job) {
    int left[LANE_CHUNK_CELLS];
    job.cells = left;
    job.cellCount = Screen<V, Map, U>::run(job, left);
    job.next = 0;
    if (job.cellCount > 0)
        LaneEngine<V, Map, U>::run(job);
}

// The entry the instruction-set files call: U vectors of V in flight.
// count <= LANE_CHUNK_CELLS.
template <class V, int U>
void laneEscapeCounts(int type, const KernelView &v, int row, int first, int count, int *counts) {
    LaneJob job = {type, v.detail, (double)row * v.yScale + v.yStart, v.xStart, v.xScale,
                   v.xPivot, v.yPivot, first, count, counts, nullptr, 0, 0, 0, 0};
    switch (type) {
    case MANDELBROT_TYPE:
    case JULIA_TYPE:
        countChunk<V, QuadraticMap, U>(job);
        break;
    case M_DRAGON_TYPE:
    case J_DRAGON_TYPE:
        countChunk<V, DragonMap, U>(job);
        break;
    default:
        countChunk<V, PhoenixMap, U>(job);
        break;
    }
}

}  // namespace

#endif
