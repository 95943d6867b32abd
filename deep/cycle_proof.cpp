#include "deep/cycle_proof.h"

#include <math.h>

namespace {

typedef Cx<FloatExp> C;
typedef Cx<double> D;

CycleWatcher watcher = nullptr;

// The modulus, to within a few roundings (which every up() covers):
// |x y| = |x| |y| exactly, where |re| + |im| would gain up to a factor
// sqrt 2 a step over a bound carried through thousands of steps.
FloatExp size(const C &z) {
    if (z.re.isZero()) return absolute(z.im);
    if (z.im.isZero()) return absolute(z.re);
    const int64_t e = z.re.e > z.im.e ? z.re.e : z.im.e;
    const int64_t dr = e - z.re.e, di = e - z.im.e;
    const double a = dr > 600 ? 0.0 : ldexp(z.re.m, -(int)dr), b = di > 600 ? 0.0 : ldexp(z.im.m, -(int)di);
    return FloatExp::make(sqrt(a * a + b * b), e);
}
C operator-(const C &a, const C &b) { return {a.re - b.re, a.im - b.im}; }
C times(const C &a, FloatExp s) { return {a.re * s, a.im * s}; }
// a <= b, both not negative.
bool atMost(FloatExp a, FloatExp b) { return !lessMag(b, a); }
// A bound made by a handful of rounded operations, made a bound again.
FloatExp up(FloatExp x) { return x * (1.0 + 0x1p-40); }
FloatExp fe(double d) { return FloatExp::of(d); }
// 2^k for the power of two nearest below x (x > 0).
FloatExp pow2Below(FloatExp x) { return FloatExp::pow2(x.e - 1); }

C orbitAt(const ReferenceOrbit &o, int k) {
    if (!o.zf.empty()) return o.zf[(size_t)k];
    return C{fe(o.z[(size_t)k].re), fe(o.z[(size_t)k].im)};
}

// The escape test, on sizes: |h - w| <= bound passes it with room to spare.
struct Escape {
    C h;
    FloatExp bound;
};

Escape escapeOf(const DeepReference &ref) {
    if (!ref.dragon) return Escape{C{FloatExp::zero(), FloatExp::zero()}, fe(2.0 * (1.0 - 0x1p-30))};
    const double l = hypot(ref.lambda.re, ref.lambda.im);
    return Escape{C{fe(ref.lambda.re * 0.5), fe(ref.lambda.im * 0.5)}, fe(2.0 * l * (1.0 - 0x1p-30))};
}

// Every point within `spread` of Z (whose own rounding is zeta) passes.
bool passes(const Escape &x, const C &Z, FloatExp zeta, FloatExp spread) {
    const C d = x.h - Z;
    const FloatExp room = up(size(d) + (size(x.h) + size(Z)) * 0x1p-52 + zeta + spread);
    return atMost(room, x.bound);
}

// Carries the model through p steps of orbit o (cycle_proof.h); false
// when a point of the domain would fail the test or E outgrows its use.
bool carry(const ReferenceOrbit &o, const Escape &x, int p, FloatExp r0, FloatExp rc, CycleModel &m) {
    const C zero = {FloatExp::zero(), FloatExp::zero()};
    C c[5] = {{r0, FloatExp::zero()}, zero, zero, zero, zero};
    FloatExp E = FloatExp::zero();
    if (!passes(x, zero, FloatExp::zero(), r0)) return false;
    for (int k = 0; k < p; ++k) {
        const C Z = orbitAt(o, k), twoZ = {Z.re * 2.0, Z.im * 2.0};
        const FloatExp zs = size(Z), zeta = zs * 0x1p-52;
        const FloatExp s1 = size(c[0]) + size(c[1]), s2 = size(c[2]) + size(c[3]) + size(c[4]), s = s1 + s2;
        const C c01 = c[0] * c[1];
        const C n[5] = {twoZ * c[0], twoZ * c[1] + C{rc, FloatExp::zero()}, twoZ * c[2] + c[0] * c[0],
                        twoZ * c[3] + C{c01.re * 2.0, c01.im * 2.0}, twoZ * c[4] + c[1] * c[1]};
        const FloatExp high = s1 * s2 * 2.0 + s2 * s2;
        const FloatExp rounding = ((zs * s) * 2.0 + rc + s1 * s1) * 0x1p-49;
        E = up((zs + zeta) * E * 2.0 + zeta * s * 2.0 + s * E * 2.0 + E * E + high + rounding);
        for (int i = 0; i < 5; ++i) c[i] = n[i];
        const FloatExp spread = size(c[0]) + size(c[1]) + size(c[2]) + size(c[3]) + size(c[4]);
        if (!atMost(E, spread * 0x1p-8)) return false;
        const C next = orbitAt(o, k + 1);
        if (!passes(x, next, size(next) * 0x1p-52, spread + E)) return false;
    }
    if (!atMost(E, r0 * 0x1p-12)) return false;
    m.period = p, m.r0 = r0, m.rc = rc, m.err = E;
    for (int i = 0; i < 5; ++i) m.c[i] = c[i];
    m.zp = orbitAt(o, p);
    m.zpErr = up(size(m.zp) * 0x1p-52);
    const FloatExp toU = FloatExp::pow2(-(r0.e - 1));
    for (int i = 0; i < 5; ++i) {
        m.size[i] = size(c[i]);
        m.unit[i] = D{(c[i].re * toU).toDouble(), (c[i].im * toU).toDouble()};
    }
    m.zpUnit = D{(m.zp.re * toU).toDouble(), (m.zp.im * toU).toDouble()};
    return true;
}

// The renormalised map's scale: 2 over the size of the product of 2 Z_k,
// k = 1 .. p-1, the derivative of d_p by d_1 (d_1 = w^2 + dc).
FloatExp firstDomain(const ReferenceOrbit &o, int p) {
    C d = {fe(1.0), FloatExp::zero()};
    for (int k = 1; k < p; ++k) {
        const C Z = orbitAt(o, k);
        d = d * C{Z.re * 2.0, Z.im * 2.0};
    }
    const FloatExp a = size(d);
    if (a.isZero()) return fe(1.0);
    const FloatExp r = FloatExp::make(8.0 / a.m, -a.e);
    return lessMag(r, fe(1.0)) ? pow2Below(r) : fe(0.5);
}

bool modelPeriod(const ReferenceOrbit &o, const Escape &x, int p, FloatExp rc, CycleModel &m) {
    FloatExp r0 = firstDomain(o, p);
    const FloatExp zp = size(orbitAt(o, p));
    for (int tries = 0; tries < 12 && lessMag(zp, r0); ++tries, r0 = r0 * 0.5)  // else the image is outside
        if (carry(o, x, p, r0, rc, m)) return true;
    return false;
}

// A disc about m of radius r, of states (w) in the model's domain.
struct Ball {
    C m;
    FloatExp r;
};

// The model's map on a disc: `out` holds F of every point of `in` (the
// rounding of its centre, E and Z_p's rounding allowed for); `growth` the
// radius's factor. False when `in` leaves the domain.
bool image(const CycleModel &m, const C &v, FloatExp vs, const Ball &in, Ball &out, FloatExp *growth) {
    const FloatExp ws = size(in.m);
    if (!atMost(up(ws + in.r), m.r0)) return false;
    const FloatExp toU = FloatExp::pow2(-(m.r0.e - 1));  // 1 / r0, exactly
    const C u = times(in.m, toU);
    const FloatExp us = size(u);
    const FloatExp a1 = m.size[0], a2 = m.size[1], a3 = m.size[2], a4 = m.size[3], a5 = m.size[4];
    out.m = m.zp + (m.c[0] * u + m.c[1] * v + m.c[2] * (u * u) + m.c[3] * (u * v) + m.c[4] * (v * v));
    const FloatExp rho = (size(m.zp) + a1 * us + a2 * vs + a3 * us * us + a4 * us * vs + a5 * vs * vs) * 0x1p-49;
    const FloatExp k = up((a1 + a3 * (us * 2.0 + in.r * toU) + a4 * vs) * toU);
    out.r = up(rho + m.zpErr + m.err + in.r * k);
    if (growth) *growth = k;
    return true;
}

// The guesses run in doubles, in units of r0 (u = w / r0, |u| <= 1 in the
// domain): they need no bound, and most tries are of orbits that leave.
D operator-(const D &a, const D &b) { return {a.re - b.re, a.im - b.im}; }
D inverse(const D &z) {
    const double n = z.re * z.re + z.im * z.im;
    return D{z.re / n, -z.im / n};
}

// F and its derivative in units of r0.
D unitImage(const CycleModel &m, const D &u, const D &v) {
    const D *s = m.unit;
    return m.zpUnit + (s[0] * u + s[1] * v + s[2] * (u * u) + s[3] * (u * v) + s[4] * (v * v));
}
D unitSlope(const CycleModel &m, const D &u, const D &v) {
    return m.unit[0] + m.unit[2] * D{2.0 * u.re, 2.0 * u.im} + m.unit[3] * v;
}
bool inDomain(const D &u) { return u.re * u.re + u.im * u.im < 1.0; }

// A guess at the point of F's cycle of period j nearest u: Newton's method
// on F^j(z) - z from u. Only a guess: what is proven is checked apart.
D cyclePoint(const CycleModel &m, const D &v, D z, int j) {
    for (int step = 0; step < 8; ++step) {
        D b = z, d = {1.0, 0.0};
        for (int i = 0; i < j; ++i) {
            d = d * unitSlope(m, b, v);
            b = unitImage(m, b, v);
            if (!inDomain(b)) return z;
        }
        const D move = (b - z) * inverse(d - D{1.0, 0.0});
        z = z - move;
        if (fabs(move.re) + fabs(move.im) < 0x1p-45) break;
    }
    return z;
}

// The period of F's cycle the orbit from u is nearest: the first return
// within twice the nearest of CYCLE_RETURNS returns; 0 when F leaves the
// domain on the way.
int returnPeriod(const CycleModel &m, const D &v, const D &u) {
    double distance[CYCLE_RETURNS + 1];
    D b = u;
    int best = 1;
    for (int i = 1; i <= CYCLE_RETURNS; ++i) {
        b = unitImage(m, b, v);
        if (!inDomain(b)) return 0;
        const D d = b - u;
        distance[i] = d.re * d.re + d.im * d.im;
        if (distance[i] < distance[best]) best = i;
    }
    for (int i = 1; i < best; ++i)
        if (distance[i] <= distance[best] * 4.0) return i;
    return best;
}

// 1 proven, 0 not, -1 when F takes the orbit out of the domain.
int tryModel(const CycleModel &m, const C &w, const C &dc, FloatExp slack) {
    if (!lessMag(size(w), m.r0)) return 0;  // not there yet
    C v = {FloatExp::zero(), FloatExp::zero()};
    if (m.rc.isZero()) {
        if (!dc.re.isZero() || !dc.im.isZero()) return 0;
    } else {
        if (lessMag(m.rc, size(dc))) return 0;
        v = times(dc, FloatExp::pow2(-(m.rc.e - 1)));
    }
    const FloatExp vs = size(v), toU = FloatExp::pow2(-(m.r0.e - 1));
    const D uv = {v.re.toDouble(), v.im.toDouble()}, uw = {(w.re * toU).toDouble(), (w.im * toU).toDouble()};
    const int j = returnPeriod(m, uv, uw);
    if (!j) return -1;
    // The guess: discs about the cycle's points, their radii's growth G
    // over the cycle and what they gather from nothing on the way.
    const D point = cyclePoint(m, uv, uw, j);
    const C centre = {FloatExp::of(point.re) * m.r0, FloatExp::of(point.im) * m.r0};
    Ball b = {centre, FloatExp::zero()};
    FloatExp G = fe(1.0);
    for (int i = 0; i < j; ++i) {
        FloatExp k;
        if (!image(m, v, vs, b, b, &k)) return 0;
        G = G * k;
    }
    if (!lessMag(G, fe(0.99))) return 0;
    const FloatExp gathered = (size(b.m - centre) + b.r) * (1.0 / (1.0 - G.toDouble()));
    const FloatExp reach = size(w - centre) + slack;
    const FloatExp twice = gathered * 2.0, r = up(lessMag(reach, twice) ? twice : reach);
    // The check: the disc of radius r about the centre holds the state
    // and comes back inside itself after j applications of F.
    Ball d = {centre, r};
    for (int i = 0; i < j; ++i)
        if (!image(m, v, vs, d, d, nullptr)) return 0;
    return atMost(up(reach), r) && atMost(up(size(d.m - centre) + d.r), r);
}

}  // namespace

void buildCycleModels(const DeepReference &ref, int orbit, FloatExp dcMax, std::vector<CycleModel> &models) {
    models.clear();
    const bool quadratic = ref.rule == QUADRATIC_RULE || ref.rule == DRAGON_RULE;
    if (!quadratic) return;
    const ReferenceOrbit &o = ref.orbit[orbit];
    const int longest = o.last / 2 < CYCLE_MODEL_LONGEST ? o.last / 2 : (int)CYCLE_MODEL_LONGEST;
    const FloatExp rc = dcMax.isZero() ? FloatExp::zero() : FloatExp::pow2(dcMax.e);  // a power of 2 above
    const Escape x = escapeOf(ref);
    FloatExp nearest = fe(INFINITY);
    for (int p = 1; p <= longest; ++p) {
        const FloatExp s = size(orbitAt(o, p));
        if (!lessMag(s, nearest)) continue;
        nearest = s;
        bool repeat = false;  // a multiple of a cycle of the reference itself adds nothing
        for (const CycleModel &m : models) repeat = repeat || (p % m.period == 0 && lessMag(size(m.zp), m.err));
        CycleModel m;
        if (repeat || !modelPeriod(o, x, p, rc, m)) continue;
        if (models.size() == CYCLE_MODELS) models.erase(models.begin());
        models.push_back(m);
    }
}

int cycleCaptured(const std::vector<CycleModel> &models, Cx<FloatExp> w, Cx<FloatExp> dc, int since,
                  FloatExp slack) {
    int tried = 0, proven = 0, leaves = 1;
    for (size_t i = models.size(); i-- > 0 && !proven;)
        if (since % models[i].period == 0) {
            const int r = tryModel(models[i], w, dc, slack);
            tried = 1, proven = r == 1, leaves = leaves && r == -1;
        }
    if (tried && watcher) watcher(proven);
    return !tried ? -1 : proven ? 1 : leaves ? -2 : 0;
}

void watchCycleTries(CycleWatcher w) { watcher = w; }
