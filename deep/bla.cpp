#include "deep/bla.h"

#include <math.h>

namespace {

double magnitude(const Cx<double> &z) { return hypot(z.re, z.im); }

FloatExp magnitude(const Cx<FloatExp> &z) {
    const FloatExp n = norm(z);
    if (n.isZero()) return n;
    // sqrt(m 2^e) with an even exponent
    const int64_t odd = n.e & 1;
    return FloatExp::make(sqrt(n.m * (odd ? 2.0 : 1.0)), (n.e - odd) / 2);
}

double quotient(double a, double b) { return a / b; }

FloatExp quotient(FloatExp a, FloatExp b) { return FloatExp::make(a.m / b.m, a.e - b.e); }

bool positive(double v) { return v > 0; }  // false for NaN
bool positive(FloatExp v) { return v.m > 0; }

template <class T> Cx<T> conj(const Cx<T> &z) { return Cx<T>{z.re, -z.im}; }

// Steps near the escape test are never inside a skipped block.
bool nearEscape(const DeepReference &ref, Cx<double> w) {
    const double limit = 4.0 * (1.0 - BLA_ESCAPE_MARGIN);
    if (!ref.dragon) return !(w.re * w.re + w.im * w.im <= limit);
    const double hr = ref.lambda.re * 0.5 - w.re, hi = ref.lambda.im * 0.5 - w.im;
    return !(hr * hr + hi * hi <= limit * (ref.lambda.re * ref.lambda.re + ref.lambda.im * ref.lambda.im));
}

// A block with its radius, while the table is built; `odd` for a single
// conjugating step of cosh (the blocks kept are never odd).
template <class T, template <class> class Map> struct Block {
    Map<T> map;
    T r;
    int odd;
};

// min(r_x, (r_y - |B_x| dcMax) / |A_x|), 0 when that is not positive.
template <class T> T mergedRadius(T rx, T ry, T ax, T bx, T dcMax) {
    const T room = ry - bx * dcMax;
    T r = fromDouble<T>(0.0);
    if (positive(room) && positive(ax)) r = quotient(room, ax);
    r = lessMag(r, rx) ? r : rx;
    return positive(r) ? r : fromDouble<T>(0.0);
}

// A step that no block may cover: the orbit's end, or near the escape test.
bool unsafe(const DeepReference &ref, const ReferenceOrbit &o, int m) {
    return m >= o.last || nearEscape(ref, o.z[(size_t)m]);
}

// BLA_EPSILON |S| / (2 |S| + 3 |K|): the trigonometric rules' radius.
template <class T> T trigRadius(const Cx<T> &s, const Cx<T> &k) {
    const T ms = magnitude(s), denominator = ms * 2.0 + magnitude(k) * 3.0;
    return positive(denominator) ? quotient(ms * BLA_EPSILON, denominator) : fromDouble<T>(0.0);
}

// ---- one step of each rule ----

template <class T>
void single(const DeepReference &ref, const ReferenceOrbit &o, int m, T, Block<T, BlaStep> &s) {
    const T zero = fromDouble<T>(0.0), one = fromDouble<T>(1.0);
    s = Block<T, BlaStep>{{{zero, zero}, {one, zero}}, zero, 0};
    if (unsafe(ref, o, m)) return;
    if (trigonometricRule(ref.rule)) {  // cosine: -S d + dc
        const Cx<T> sine = sineData<T>(o)[m];
        s.map.a = Cx<T>{-sine.re, -sine.im};
        s.r = trigRadius(sine, cosineData<T>(o)[m]);
        return;
    }
    const Cx<T> z = orbitValue<T>(o, m);
    s.map.a = Cx<T>{z.re * 2.0, z.im * 2.0};
    s.r = magnitude(z) * BLA_EPSILON;
}

// cosh: conj(SH d) + dc, as a conj(d) + dc with a = conj(SH).
template <class T>
void single(const DeepReference &ref, const ReferenceOrbit &o, int m, T, Block<T, BlaConjStep> &s) {
    const T zero = fromDouble<T>(0.0), one = fromDouble<T>(1.0);
    s = Block<T, BlaConjStep>{{{zero, zero}, {one, zero}, {zero, zero}}, zero, 1};
    if (unsafe(ref, o, m)) return;
    s.map.a = conj(sineData<T>(o)[m]);
    s.r = trigRadius(sineData<T>(o)[m], cosineData<T>(o)[m]);
}

// Phoenix: d' = 2Z d + T e + ds + P dt, e' = d.
template <class T>
void single(const DeepReference &ref, const ReferenceOrbit &o, int m, T dcMax, Block<T, BlaPairStep> &s) {
    const T zero = fromDouble<T>(0.0), one = fromDouble<T>(1.0);
    const Cx<T> nil = {zero, zero};
    s = Block<T, BlaPairStep>{{{nil, nil, nil, nil}, {nil, nil, nil, nil}}, zero, 0};
    if (m >= o.last) return;
    const Cx<T> z = orbitValue<T>(o, m);
    const Cx<T> p = m ? orbitValue<T>(o, m - 1) : nil;
    const T t = fromDouble<T>(ref.constant.im);
    s.map.a[0] = Cx<T>{z.re * 2.0, z.im * 2.0}, s.map.a[1] = Cx<T>{t, zero}, s.map.a[2] = Cx<T>{one, zero};
    s.map.b[0] = Cx<T>{one, zero}, s.map.b[1] = p;
    // d t e is left out: only where it is below half a rounding of T e.
    const bool tSmall = !positive(dcMax) || lessMag(dcMax * 2.0, t * BLA_EPSILON);
    if (tSmall && !nearEscape(ref, o.z[(size_t)m])) s.r = magnitude(z) * BLA_EPSILON;
}

// ---- x then y ----

template <class T> Block<T, BlaStep> merge(const Block<T, BlaStep> &x, const Block<T, BlaStep> &y, T dcMax) {
    Block<T, BlaStep> s;
    s.map.a = y.map.a * x.map.a;
    s.map.b = y.map.a * x.map.b + y.map.b;
    s.r = mergedRadius(x.r, y.r, magnitude(x.map.a), magnitude(x.map.b), dcMax);
    s.odd = 0;
    return s;
}

template <class T>
Block<T, BlaConjStep> merge(const Block<T, BlaConjStep> &x, const Block<T, BlaConjStep> &y, T dcMax) {
    Block<T, BlaConjStep> s;
    const Cx<T> a = y.odd ? conj(x.map.a) : x.map.a;
    const Cx<T> b = y.odd ? conj(x.map.bc) : x.map.b, bc = y.odd ? conj(x.map.b) : x.map.bc;
    s.map.a = y.map.a * a;
    s.map.b = y.map.a * b + y.map.b;
    s.map.bc = y.map.a * bc + y.map.bc;
    s.odd = x.odd ^ y.odd;
    s.r = mergedRadius(x.r, y.r, magnitude(x.map.a), magnitude(x.map.b) + magnitude(x.map.bc), dcMax);
    return s;
}

// The largest column sum of moduli of a 2 x 2 matrix.
template <class T> T columnNorm(const Cx<T> *m) {
    const T c0 = magnitude(m[0]) + magnitude(m[2]), c1 = magnitude(m[1]) + magnitude(m[3]);
    return lessMag(c0, c1) ? c1 : c0;
}

// y * x for 2 x 2 matrices, plus `add` when it is given.
template <class T> void product(const Cx<T> *y, const Cx<T> *x, const Cx<T> *add, Cx<T> *out) {
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 2; ++c) {
            const Cx<T> v = y[2 * r] * x[c] + y[2 * r + 1] * x[2 + c];
            out[2 * r + c] = add ? v + add[2 * r + c] : v;
        }
}

template <class T>
Block<T, BlaPairStep> merge(const Block<T, BlaPairStep> &x, const Block<T, BlaPairStep> &y, T dcMax) {
    Block<T, BlaPairStep> s;
    product(y.map.a, x.map.a, (const Cx<T> *)nullptr, s.map.a);
    product(y.map.a, x.map.b, y.map.b, s.map.b);
    s.r = mergedRadius(x.r, y.r, columnNorm(x.map.a), columnNorm(x.map.b), dcMax);
    s.odd = 0;
    return s;
}

}  // namespace

template <class T, template <class> class Map>
int buildBlaTable(const DeepReference &ref, int orbit, T dcMax, BlaTable<T, Map> &t, const std::atomic<int> *stop) {
    const ReferenceOrbit &o = ref.orbit[orbit];
    const T zero = fromDouble<T>(0.0);
    t.levels = 0;
    t.first.assign(1, 0);
    size_t total = 0;
    for (int length = 2; length <= o.last; length *= 2) total += (size_t)((o.last + length - 1) / length);
    t.step.clear(), t.radius.clear();
    t.step.reserve(total), t.radius.reserve(total);
    size_t below = 0;  // where the level below starts
    for (int length = 2; length <= o.last; length *= 2) {
        const size_t count = (size_t)((o.last + length - 1) / length), here = t.step.size();
        const size_t belowCount = here - below;
        for (size_t j = 0; j < count; ++j) {
            if (j % 4096 == 0 && stop && stop->load(std::memory_order_relaxed)) return 0;
            const int m = (int)j * length;
            const size_t x = below + 2 * j;
            Block<T, Map> s;
            if (length == 2) {
                Block<T, Map> first, second;
                single(ref, o, m, dcMax, first);
                single(ref, o, m + 1, dcMax, second);
                s = merge(first, second, dcMax);
            } else if (2 * j + 1 < belowCount) {
                s = merge(Block<T, Map>{t.step[x], t.radius[x], 0}, Block<T, Map>{t.step[x + 1], t.radius[x + 1], 0},
                          dcMax);
            } else {
                s = Block<T, Map>{t.step[x], zero, 0};
            }
            if (m + length > o.last) s.r = zero;
            t.step.push_back(s.map);
            t.radius.push_back(s.r);
        }
        t.first.push_back(here);
        below = here;
        ++t.levels;
    }
    return 1;
}

#define QUORVEX_BLA_TABLE(T, MAP)                                                                           \
    template int buildBlaTable<T, MAP>(const DeepReference &, int, T, BlaTable<T, MAP> &, const std::atomic<int> *);
QUORVEX_BLA_TABLE(double, BlaStep)
QUORVEX_BLA_TABLE(FloatExp, BlaStep)
QUORVEX_BLA_TABLE(double, BlaConjStep)
QUORVEX_BLA_TABLE(FloatExp, BlaConjStep)
QUORVEX_BLA_TABLE(double, BlaPairStep)
QUORVEX_BLA_TABLE(FloatExp, BlaPairStep)
