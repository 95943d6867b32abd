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
// twelfth term is below 2^-56 of the first.
enum { LOG_TERMS = 12, EXP_TERMS = 18 };

}  // namespace

double portableLog(double x) {
    int e = 0;
    double m = frexp(x, &e);  // x = m * 2^e, 0.5 <= m < 1
    if (m < SQRT_HALF) m *= 2.0, --e;
    const double s = (m - 1.0) / (m + 1.0), s2 = s * s;
    double series = 0.0;
    for (int k = LOG_TERMS - 1; k >= 0; --k) series = series * s2 + 1.0 / (double)(2 * k + 1);
    return (double)e * LN2_HI + ((double)e * LN2_LO + 2.0 * s * series);
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
