#include "core/portable_math.h"

#include <math.h>
#include <stdint.h>
#include <string.h>

namespace {

// ln 2 in two parts: the first has trailing zero bits, so e * LN2_HI is
// exact for every exponent a double has.
const double LN2_HI = 6.93147180369123816490e-01;
const double LN2_LO = 1.90821492927058770002e-10;
const double INV_LN2 = 1.44269504088896338700e+00;

// Terms of 2 atanh(s) = ln((1 + s) / (1 - s)): with |s| <= 0.1716 the
// tenth term is below 2^-55 of the first.
enum { LOG_TERMS = 10, EXP_TERMS = 18 };

// The logarithm takes the top LOG_TABLE_BITS bits of the mantissa to a
// table entry c, so that what is left, m / c - 1, is below 2^-9 and a
// short series finishes it: the smooth colours take two logarithms a pixel.
enum { LOG_TABLE_BITS = 8, LOG_TABLE = 1 << LOG_TABLE_BITS };

const double SQRT_HALF = 0.70710678118654752440;

// The logarithm by the atanh series alone: slower, for building the table.
double seriesLog(double x) {
    int e = 0;
    double m = frexp(x, &e);  // x = m * 2^e, 0.5 <= m < 1
    if (m < SQRT_HALF) m *= 2.0, --e;
    const double s = (m - 1.0) / (m + 1.0), s2 = s * s;
    double series = 0.0;
    for (int k = LOG_TERMS - 1; k >= 0; --k) series = series * s2 + 1.0 / (double)(2 * k + 1);
    return (double)e * LN2_HI + ((double)e * LN2_LO + 2.0 * s * series);
}

struct LogTable {
    double inverse[LOG_TABLE];  // 1 / c_k, c_k = 1 + (k + 1/2) / LOG_TABLE
    double log[LOG_TABLE];      // ln c_k
    double log2[LOG_TABLE];     // log2 c_k
};

LogTable buildLogTable() {
    LogTable t;
    for (int k = 0; k < LOG_TABLE; ++k) {
        const double c = 1.0 + ((double)k + 0.5) / LOG_TABLE;
        t.inverse[k] = 1.0 / c;
        t.log[k] = seriesLog(c);
        t.log2[k] = t.log[k] * INV_LN2;
    }
    return t;
}

const LogTable &logTable() {
    static const LogTable table = buildLogTable();
    return table;
}

// x = 2^e * m with 1 <= m < 2, and the table entry k of m's top bits.
struct Split {
    int e, k;
    double m;
};

Split split(double x) {
    uint64_t bits;
    memcpy(&bits, &x, sizeof bits);
    int e = (int)(bits >> 52 & 0x7ff);
    if (e == 0) {  // subnormal: scale into the normal range first
        x *= 18014398509481984.0;  // 2^54
        memcpy(&bits, &x, sizeof bits);
        e = (int)(bits >> 52 & 0x7ff) - 54;
    }
    Split s;
    s.e = e - 1023;
    s.k = (int)(bits >> (52 - LOG_TABLE_BITS) & (LOG_TABLE - 1));
    bits = (bits & 0x000fffffffffffffULL) | 0x3ff0000000000000ULL;
    memcpy(&s.m, &bits, sizeof s.m);
    return s;
}

// ln(1 + r) for |r| < 2^-9, to the fifth power (the sixth term is below
// 2^-53 of r), in two independent halves: the two logarithms of a smooth
// value run one after the other, so their latency is what counts.
double log1pSmall(double r) {
    const double r2 = r * r;
    return r + (r2 * (r * (1.0 / 3) - 0.5) + (r2 * r2) * (r * 0.2 - 0.25));
}

}  // namespace

double portableLog(double x) {
    const LogTable &table = logTable();
    const Split s = split(x);
    const double r = s.m * table.inverse[s.k] - 1.0;
    return (double)s.e * LN2_HI + ((double)s.e * LN2_LO + (table.log[s.k] + log1pSmall(r)));
}

void portableLog2s(const double *x, double *out, int count) {
    // Two lanes of a generic vector: the compiler splits it into what the
    // processor has, and each lane is one IEEE operation.
    typedef double Pair __attribute__((vector_size(16)));
    typedef long long Bits __attribute__((vector_size(16)));
    const LogTable &table = logTable();
    for (int i = 0; i < count; i += 2) {
        Pair v = {x[i], x[i + 1 < count ? i + 1 : i]};
        const Bits bits = (Bits)v;
        const Bits k = bits >> (52 - LOG_TABLE_BITS) & (LOG_TABLE - 1);
        const Pair m = (Pair)((bits & 0x000fffffffffffffLL) | 0x3ff0000000000000LL);
        // The biased exponent as the low bits of 2^52, then 2^52 + 1023 off: exact.
        const Pair e = (Pair)(bits >> 52 | 0x4330000000000000LL) - 4503599627371519.0;
        const Pair inverse = {table.inverse[k[0]], table.inverse[k[1]]};
        const Pair log2c = {table.log2[k[0]], table.log2[k[1]]};
        const Pair r = m * inverse - 1.0;
        // log2(1 + r) to the fourth power of r (the fifth term is below
        // 2^-47), in two independent halves.
        const Pair r2 = r * r;
        const Pair series =
            r * (INV_LN2 + r * (-0.5 * INV_LN2)) + r2 * r * ((INV_LN2 / 3) + r * (-0.25 * INV_LN2));
        v = e + (log2c + series);
        out[i] = v[0];
        if (i + 1 < count) out[i + 1] = v[1];
    }
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
