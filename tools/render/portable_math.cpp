#include "tools/render/portable_math.h"

#include <math.h>

namespace {

// ln 2 in two parts: the first has trailing zero bits, so e * LN2_HI is
// exact for every exponent a double has.
const double LN2_HI = 6.93147180369123816490e-01;
const double LN2_LO = 1.90821492927058770002e-10;
const double INV_LN2 = 1.44269504088896338700e+00;
const double SQRT_HALF = 0.70710678118654752440;

// Terms of 2 atanh(s) = ln((1 + s) / (1 - s)): with |s| <= 0.1716 the
// tenth term is below 2^-55 of the first.
enum { LOG_TERMS = 10, EXP_TERMS = 18 };

// 1 / (2k + 1), the series' coefficients.
const double ODD_RECIPROCALS[LOG_TERMS] = {
    1.0, 1.0 / 3, 1.0 / 5, 1.0 / 7, 1.0 / 9, 1.0 / 11, 1.0 / 13, 1.0 / 15, 1.0 / 17, 1.0 / 19,
};

// The sum of ODD_RECIPROCALS[k] t^k, evaluated in pairs, then pairs of
// pairs (Estrin's scheme): the log runs twice for every smooth pixel, and
// a plain Horner chain would wait on ten multiply-adds in a row.
double oddSeries(double t) {
    const double *c = ODD_RECIPROCALS;
    const double t2 = t * t, t4 = t2 * t2;
    const double q0 = c[0] + c[1] * t, q1 = c[2] + c[3] * t, q2 = c[4] + c[5] * t;
    const double q3 = c[6] + c[7] * t, q4 = c[8] + c[9] * t;
    const double r0 = q0 + q1 * t2, r1 = q2 + q3 * t2;
    return (r0 + r1 * t4) + q4 * (t4 * t4);
}

}  // namespace

double portableLog(double x) {
    int e = 0;
    double m = frexp(x, &e);  // x = m * 2^e, 0.5 <= m < 1
    if (m < SQRT_HALF) m *= 2.0, --e;
    const double s = (m - 1.0) / (m + 1.0);
    return (double)e * LN2_HI + ((double)e * LN2_LO + 2.0 * s * oddSeries(s * s));
}

double portableExp(double x) {
    if (x > 709.0) return HUGE_VAL;
    if (x < -745.0) return 0.0;
    const double k = floor(x * INV_LN2 + 0.5);
    const double r = (x - k * LN2_HI) - k * LN2_LO;  // |r| <= 0.35
    double sum = 1.0;
    for (int n = EXP_TERMS; n >= 1; --n) sum = 1.0 + sum * r / (double)n;
    return ldexp(sum, (int)k);
}

double portablePow(double base, double exponent) {
    return portableExp(exponent * portableLog(base));
}
