// The interior proof of core/interior_proof.h: two walks along the orbit,
// the first to guess the cycle, the second to check the discs.
#include "core/interior_proof.h"

#include <math.h>

#include <atomic>

#include "core/kernel_steps.h"

namespace {

constexpr double U = 0x1p-53;  // the unit roundoff of a double

// Larger constants escape at once; the rounding bounds assume none is near
// an overflow.
constexpr double LARGEST_CONSTANT = 16.0;

// A disc wider than this is no proof of anything inside the escape disc.
constexpr double LARGEST_RADIUS = 1.0;

// What a step's rounding adds to a radius, at most, for constants of a size
// near the sets (a guess at r_0's least size only: the bounds are computed).
constexpr double ROUNDING_FLOOR = 0x1p-40;

// An upper bound of the exact value behind x, a double computed from exact
// non-negative terms by a chain of at most 24 rounded operations: each
// loses less than a factor 1 - u, so the exact value is below x (1 + 25u),
// and x (1 + 2^-48) rounds to more than that. A product that underflows
// loses less than 2^-1075 instead, which the 2^-1000 covers many times over.
inline double up(double x) {
    return x * (1.0 + 0x1p-48) + 0x1p-1000;
}

inline double modulus(double x, double y) {
    return up(sqrt(x * x + y * y));
}

// Every double point of D((mr, mi), r) passes the plain loop's test (the
// test is monotonic in |zr| and |zi|).
inline bool discPasses(double mr, double mi, double r) {
    const double a = up(fabs(mr) + r), b = up(fabs(mi) + r);
    return a * a + b * b <= 4.0;
}

// The rules' balls. grow(m, g) takes the first-order growth of the radii
// over one step from m into g, and rate(g, weight) the growth over the
// steps taken, with the radius of the previous iterate's disc against the
// iterate's that it keeps (Phoenix; 1 for the others). radius(m, r, rho)
// bounds the radius of the disc holding F(w) for every w in D(m, r) (and
// w_n-1 in D((m.pr, m.pi), rho)); see the header.
struct QuadraticBall {
    Quadratic step;
    enum { PREVIOUS = 0 };
    typedef double Growth;  // its square
    static Growth noGrowth() { return 1.0; }
    void grow(const Orbit &m, Growth &g) const { g *= 4.0 * (m.zr * m.zr + m.zi * m.zi); }
    static double rate(Growth g, double &weight) { return weight = 1.0, sqrt(g); }
    double radius(const Orbit &m, double r, double) const {
        const double size = modulus(m.zr, m.zi), reach = up(size + r);
        return up(r * (2.0 * size + r) + 6.0 * U * (reach * reach + size * size) +
                  4.0 * U * (fabs(step.cr) + fabs(step.ci)) + 0x1p-1060);
    }
};

struct DragonBall {
    Dragon step;
    double lambda, lambdaSum;  // bounds of |lambda| and |lr| + |li|
    explicit DragonBall(Dragon d)
        : step(d), lambda(modulus(d.lr, d.li)), lambdaSum(up(fabs(d.lr) + fabs(d.li))) {}
    enum { PREVIOUS = 0 };
    typedef double Growth;  // its square
    static Growth noGrowth() { return 1.0; }
    void grow(const Orbit &m, Growth &g) const {
        const double a = 1.0 - 2.0 * m.zr, b = 2.0 * m.zi;  // 1 - 2m
        g *= (step.lr * step.lr + step.li * step.li) * (a * a + b * b);
    }
    static double rate(Growth g, double &weight) { return weight = 1.0, sqrt(g); }
    double radius(const Orbit &m, double r, double) const {
        const double size = modulus(m.zr, m.zi), reach = up(size + r);
        const double spread = modulus(1.0 - 2.0 * m.zr, 2.0 * m.zi);  // |1 - 2m|
        return up(lambda * r * (spread + r) +
                  24.0 * U * lambdaSum * (reach * reach + reach + size * size + size) + 0x1p-1060);
    }
};

// Two discs: the radii (r, rho) grow by [[2|m|, |t|], [1, 0]] a step, and
// the product of these over the cycle grows them by its largest eigenvalue
// when they stand in the ratio of its eigenvector.
struct PhoenixBall {
    Phoenix step;  // s, t
    enum { PREVIOUS = 1 };
    struct Growth {
        double a, b, c, d;  // [[a, b], [c, d]]
    };
    static Growth noGrowth() { return {1.0, 0.0, 0.0, 1.0}; }
    void grow(const Orbit &m, Growth &g) const {
        const double twice = 2.0 * sqrt(m.zr * m.zr + m.zi * m.zi), t = fabs(step.t);
        g = {twice * g.a + t * g.c, twice * g.b + t * g.d, g.a, g.b};
    }
    static double rate(Growth g, double &weight) {
        const double half = 0.5 * (g.a + g.d), root = sqrt(half * half - (g.a * g.d - g.b * g.c));
        const double largest = half + root;
        weight = g.c > 0.0 ? g.c / (largest - g.d) : 1.0;  // (largest - d, c), scaled to (1, weight)
        return largest;
    }
    double radius(const Orbit &m, double r, double rho) const {
        const double size = modulus(m.zr, m.zi), reach = up(size + r);
        const double before = modulus(m.pr, m.pi), beforeReach = up(before + rho);
        const double t = fabs(step.t);
        return up(r * (2.0 * size + r) + t * rho + 7.0 * U * (reach * reach + size * size) +
                  6.0 * U * fabs(step.s) + 6.0 * U * t * (beforeReach + before) + 0x1p-1060);
    }
};

inline bool passes(const Orbit &z) {
    return z.zr * z.zr + z.zi * z.zi <= 4.0;
}

// Every part of a within `within` of b (for Phoenix the previous iterates too).
template <class Ball>
bool closeTo(const Orbit &a, const Orbit &b, double within) {
    const bool z = fabs(a.zr - b.zr) <= within && fabs(a.zi - b.zi) <= within;
    return Ball::PREVIOUS ? z && fabs(a.pr - b.pr) <= within && fabs(a.pi - b.pi) <= within : z;
}

// Bounds of the distances between two iterates and between the previous
// iterates they keep: |dr| + |di| is at least the distance.
inline double apart(double ar, double ai, double br, double bi) {
    return up(fabs(ar - br) + fabs(ai - bi));
}

// The discs to check: radius r0 around the iterate, rho0 around the
// previous one (Phoenix), period steps.
struct Discs {
    int period;
    double r0, rho0;
};

// The guess: the first return within twice the distance seen, the growth
// of the radii to it and the radii to start from, each twice its share of
// the return's distance over 1 - growth. False when there is no return,
// the orbit leaves, or the cycle does not contract.
template <class Ball>
bool guessCycle(const Ball &ball, const Orbit &start, double distance, int longest, Discs &discs) {
    Orbit m = start;
    typename Ball::Growth g = Ball::noGrowth();
    discs.period = 0;
    for (int k = 1; k <= longest && !discs.period; ++k) {
        if (!passes(m))
            return false;
        ball.grow(m, g);
        ball.step(m, m.zr * m.zr, m.zi * m.zi);
        if (closeTo<Ball>(m, start, 2.0 * distance))
            discs.period = k;
    }
    double weight;
    const double growth = Ball::rate(g, weight), slack = 1.0 - growth;
    if (!discs.period || !(growth < 1.0) || !(weight > 0.0))
        return false;
    const double floor = discs.period * ROUNDING_FLOOR;
    discs.r0 = 2.0 * (apart(m.zr, m.zi, start.zr, start.zi) + floor) / slack;
    if (Ball::PREVIOUS) {
        const double rho = 2.0 * (apart(m.pr, m.pi, start.pr, start.pi) + floor) / slack;
        discs.r0 = rho / weight > discs.r0 ? rho / weight : discs.r0;
    }
    discs.rho0 = weight * discs.r0;
    return discs.r0 <= LARGEST_RADIUS && discs.rho0 <= LARGEST_RADIUS;
}

// The check: discs around start and its next period - 1 iterates pass the
// test, and the period-th lies inside the first (both discs for Phoenix).
template <class Ball>
bool discsHold(const Ball &ball, const Orbit &start, const Discs &discs) {
    Orbit m = start;
    double r = discs.r0, rho = discs.rho0;
    for (int k = 0; k < discs.period; ++k) {
        if (!discPasses(m.zr, m.zi, r))
            return false;
        const double next = ball.radius(m, r, rho);
        rho = r, r = next;
        if (!(r <= LARGEST_RADIUS))
            return false;
        ball.step(m, m.zr * m.zr, m.zi * m.zi);
    }
    if (!(up(apart(m.zr, m.zi, start.zr, start.zi) + r) <= discs.r0))
        return false;
    return !Ball::PREVIOUS || up(apart(m.pr, m.pi, start.pr, start.pi) + rho) <= discs.rho0;
}

template <class Ball>
bool prove(const Ball &ball, const CaptureTry &t) {
    const Orbit start = {t.zr, t.zi, t.pr, t.pi};
    int longest = t.lag < CAPTURE_LONGEST ? t.lag : CAPTURE_LONGEST;
    const int worth = t.room / (8 * t.lanes);
    longest = worth < longest ? worth : longest;
    Discs discs;
    return guessCycle(ball, start, t.distance, longest, discs) && discsHold(ball, start, discs);
}

bool finiteAndSmall(double x, double largest) {
    return fabs(x) <= largest;  // false for NaN
}

// Within the bounds' assumptions: finite, no constant near an overflow.
bool plausible(const CaptureTry &t) {
    return finiteAndSmall(t.zr, 2.0) && finiteAndSmall(t.zi, 2.0) && finiteAndSmall(t.pr, LARGEST_CONSTANT) &&
           finiteAndSmall(t.pi, LARGEST_CONSTANT) && finiteAndSmall(t.cr, LARGEST_CONSTANT) &&
           finiteAndSmall(t.ci, LARGEST_CONSTANT) && t.distance >= 0.0 && t.lag >= 1 && t.lanes >= 1;
}

// Relaxed: it changes only while no row is computed.
std::atomic<CaptureWatcher> watcher{nullptr};

bool tryRule(FractalRule rule, const CaptureTry &t) {
    switch (rule) {
    case QUADRATIC_RULE: return prove(QuadraticBall{{t.cr, t.ci}}, t);
    case DRAGON_RULE: return prove(DragonBall(Dragon{t.cr, t.ci}), t);
    case PHOENIX_RULE: return prove(PhoenixBall{{t.cr, t.ci}}, t);
    default: return false;
    }
}

}  // namespace

void watchCaptureTries(CaptureWatcher w) {
    watcher.store(w, std::memory_order_relaxed);
}

bool captureProven(FractalRule rule, const CaptureTry &t) {
    const bool proven = plausible(t) && tryRule(rule, t);
    if (CaptureWatcher w = watcher.load(std::memory_order_relaxed))
        w(rule, t, proven);
    return proven;
}
