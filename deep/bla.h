// bla.h - bilinear approximation: many steps of a delta's orbit at once.
//
// Against a reference orbit Z of w <- w^2 + K, a delta dw (the pixel's
// w minus Z_m) with delta dc of the constant steps exactly as
//     dw' = 2 Z_m dw + dw^2 + dc.
// While |dw| is tiny against |Z_m| the square is below a double's rounding
// of the rest, and the step is linear: dw' = A dw + B dc with A = 2 Z_m,
// B = 1, valid while |dw| < r_m = BLA_EPSILON * |Z_m|. Linear steps compose:
// x then y is A = A_y A_x, B = A_y B_x + B_y, valid while |dw| <
//     min(r_x, (r_y - |B_x| dcMax) / |A_x|),
// which keeps every intermediate delta inside its own step's radius. So
// inside a valid block the pixel's w stays within a rounding of the
// reference's, and two things the plain loop would do cannot happen there:
// a rebase (|Z + dw| < |dw|) and, since steps whose Z lies within
// BLA_ESCAPE_MARGIN of the escape test are given radius 0, an escape.
//
// The other rules' steps (reference.h, perturb.h) have linear parts too,
// each a map of its own shape (the template parameter Map):
//   BlaStep      dw' = a dw + b dc: the quadratic rule (a = 2 Z, radius
//                BLA_EPSILON |Z|) and cosine, whose exact step
//                -sin(2Z + d) sin d + dc is -S d + dc to within
//                |K| |d|^2 + |S| |d|^3 (S = sin 2Z, K = cos 2Z): a = -S,
//                radius BLA_EPSILON |S| / (2 |S| + 3 |K|), which keeps that
//                below half a rounding of |S d|.
//   BlaConjStep  dw' = a dw + b dc + bc conj(dc): cosh, whose step
//                conj(sinh(2Z + d) sinh d) + dc conjugates the delta; two
//                such steps are complex-linear in it again, and every block
//                has an even number of steps, so only the steps themselves
//                (never kept) are conjugating. Radius as for cosine with
//                sinh 2Z and cosh 2Z.
//   BlaPairStep  (d, e)' = A (d, e) + B (ds, dt): Phoenix, whose state is
//                the delta d and the previous delta e, and whose constant's
//                parts s and t are real (ds, dt the pixel's). One step is
//                A = [2Z, T; 1, 0], B = [1, P; 0, 0] (P = Z_m-1) leaving out
//                d^2 and dt e: valid for |d| + |e| < BLA_EPSILON |Z| when
//                |dt| < BLA_EPSILON |T| / 2 over the whole picture (else
//                the tables are not built, and every step is exact).
//                |A| and |B| are column sums of moduli, the bound that
//                goes with the size |d| + |e|.
//
// The table is a binary tree over the orbit: level k (1..levels) holds the
// block of 2^k steps starting at each multiple of 2^k, entry
// step[first[k] + (m >> k)]. A block reaching past Z_last has radius 0. One table is
// built per reference orbit and per bound dcMax on the pixels' |dc| (0 for
// the J kinds); any picture whose deltas of c stay within dcMax may use it.
//
//   BlaTable<double> t;
//   buildBlaTable(ref, 0, dcMax, t);   // orbit 0 of a DeepReference
//   const BlaStep<double> *s = blaLookup(t, m, sizeOfDw, stepsLeft, &length, &level);
//   BlaTable<double, BlaPairStep> p;   // Phoenix's: the map named second
//
// Layer: deep.
#ifndef QUORVEX_DEEP_BLA_H
#define QUORVEX_DEEP_BLA_H

#include <vector>

#include "deep/floatexp.h"
#include "deep/reference.h"

// 2^-53: the square is at most half a rounding of the linear term.
#define BLA_EPSILON 0x1p-53
// Relative distance from the escape test below which a step is not skipped.
#define BLA_ESCAPE_MARGIN 0x1p-24

// A delta's loop turns to the table only at a multiple of 2^BLA_ENTRY_LEVEL
// steps, where the block of that length is valid; from there it takes the
// longest valid blocks, of any level. Near the edge of the tables' validity
// a delta would otherwise climb 2, 4, 8, 16 steps, back off and climb again:
// each lookup costs a few cache misses and mispredicted branches, more than
// the plain steps it saves. (Level 5 was fastest on both benchmark pictures;
// the blocks skip the same linear steps whatever the entry level, so this
// trades no exactness.)
enum { BLA_ENTRY_LEVEL = 5, BLA_ENTRY_STEPS = 1 << BLA_ENTRY_LEVEL };

// A block's map; its radius is kept apart (BlaTable::radius). Aligned so
// that one entry is one cache line's worth at most.
template <class T> struct alignas(32) BlaStep {
    Cx<T> a, b;
};

template <class T> struct BlaConjStep {
    Cx<T> a, b, bc;
};

// a[2 * row + column], b likewise (column 0 multiplies ds, 1 dt).
template <class T> struct BlaPairStep {
    Cx<T> a[4], b[4];
};

// Level k's entry j is step[first[k] + j]: one block of memory, one index.
template <class T, template <class> class Map = BlaStep> struct BlaTable {
    int levels;  // 0 when the orbit is shorter than two steps
    std::vector<Map<T>> step;
    std::vector<size_t> first;  // first[0] is unused
    // radius[i]: step[i] is valid for a delta of size below radius[i] (the
    // size |re dw| + |im dw|, or for Phoenix that of d plus that of e). On
    // their own, because a lookup reads a radius at each level it tries and
    // one whole entry at the end. Level 1 starts at radius.data().
    std::vector<T> radius;
};

// T is double or FloatExp (which needs the orbit's FloatExp copy); Map is
// BlaStep for the quadratic and cosine rules, BlaConjStep for cosh,
// BlaPairStep for Phoenix (dcMax then bounds |ds| + |dt|). `stop` (may be
// null) is polled every few thousand entries: 0 when it ended the building
// (the table is then unusable), 1 when the table is complete.
template <class T, template <class> class Map>
int buildBlaTable(const DeepReference &ref, int orbit, T dcMax, BlaTable<T, Map> &table,
                  const std::atomic<int> *stop);

// The longest block that starts at step m, is valid for dw with
// |re dw| + |im dw| = dwSize and has at most `stepsLeft` steps; null when no
// block of two or more steps is. Its length goes to *length. The radii of
// the blocks starting at m shrink as the level rises, so the valid levels
// are 1..K and the search for K starts at *level (the level found last
// time, which a run of blocks mostly keeps) and goes up or down from there;
// K goes back to *level.
template <class T, template <class> class Map>
inline const Map<T> *blaLookup(const BlaTable<T, Map> &t, int m, T dwSize, int stepsLeft, int *length, int *level) {
    int top = t.levels;  // the highest level with a block starting at m that fits
    if (m) top = __builtin_ctz((unsigned)m) < top ? __builtin_ctz((unsigned)m) : top;
    while (top >= 1 && (1 << top) > stepsLeft) --top;
    *length = 0;
    if (top < 1) return nullptr;
    auto valid = [&](int k) { return lessMag(dwSize, t.radius[t.first[(size_t)k] + (size_t)(m >> k)]); };
    int k = *level < 1 ? 1 : *level > top ? top : *level;
    if (valid(k)) {
        while (k < top && valid(k + 1)) ++k;
    } else {
        do --k;
        while (k >= 1 && !valid(k));
        if (k < 1) return nullptr;
    }
    *level = k;
    *length = 1 << k;
    return &t.step[t.first[(size_t)k] + (size_t)(m >> k)];
}

#endif
