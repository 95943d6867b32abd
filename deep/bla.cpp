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

// Steps near the escape test are never inside a skipped block.
bool nearEscape(const DeepReference &ref, Cx<double> w) {
    const double limit = 4.0 * (1.0 - BLA_ESCAPE_MARGIN);
    if (!ref.dragon) return !(w.re * w.re + w.im * w.im <= limit);
    const double hr = ref.lambda.re * 0.5 - w.re, hi = ref.lambda.im * 0.5 - w.im;
    return !(hr * hr + hi * hi <= limit * (ref.lambda.re * ref.lambda.re + ref.lambda.im * ref.lambda.im));
}

// A block with its radius, while the table is built.
template <class T> struct Block {
    BlaStep<T> map;
    T r;
};

template <class T> Block<T> singleStep(const DeepReference &ref, const ReferenceOrbit &o, int m) {
    const T zero = fromDouble<T>(0.0);
    if (m >= o.last) return Block<T>{{{zero, zero}, {zero, zero}}, zero};
    const Cx<T> z = orbitValue<T>(o, m);
    const Cx<T> a = {z.re * 2.0, z.im * 2.0};
    const bool unsafe = nearEscape(ref, o.z[(size_t)m]);
    return Block<T>{{a, {fromDouble<T>(1.0), zero}}, unsafe ? zero : magnitude(z) * BLA_EPSILON};
}

template <class T> Block<T> merge(const Block<T> &x, const Block<T> &y, T dcMax) {
    Block<T> s;
    s.map.a = y.map.a * x.map.a;
    s.map.b = y.map.a * x.map.b + y.map.b;
    const T room = y.r - magnitude(x.map.b) * dcMax;
    const T ax = magnitude(x.map.a);
    T r = fromDouble<T>(0.0);
    if (positive(room) && positive(ax)) r = quotient(room, ax);
    s.r = lessMag(r, x.r) ? r : x.r;
    if (!positive(s.r)) s.r = fromDouble<T>(0.0);
    return s;
}

}  // namespace

template <class T>
int buildBlaTable(const DeepReference &ref, int orbit, T dcMax, BlaTable<T> &t, const std::atomic<int> *stop) {
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
            Block<T> s;
            if (length == 2)
                s = merge(singleStep<T>(ref, o, m), singleStep<T>(ref, o, m + 1), dcMax);
            else if (2 * j + 1 < belowCount)
                s = merge(Block<T>{t.step[x], t.radius[x]}, Block<T>{t.step[x + 1], t.radius[x + 1]}, dcMax);
            else
                s = Block<T>{t.step[x], zero};
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

template int buildBlaTable<double>(const DeepReference &, int, double, BlaTable<double> &,
                                   const std::atomic<int> *);
template int buildBlaTable<FloatExp>(const DeepReference &, int, FloatExp, BlaTable<FloatExp> &,
                                     const std::atomic<int> *);
