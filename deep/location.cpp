#include "deep/location.h"

#include <ctype.h>
#include <errno.h>
#include <limits.h>
#include <mpfr.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "core/state.h"
#include "deep/big_cx.h"
#include "files/atomic_write.h"
#include "files/paramfile.h"

namespace {

const char MAGIC[] = "quorvex-location 1";

// An mpfr_t that clears itself.
struct Big {
    mpfr_t v;
    explicit Big(mpfr_prec_t bits) { mpfr_init2(v, bits); }
    Big(const std::string &text, mpfr_prec_t bits) {
        mpfr_init2(v, bits);
        mpfr_set_str(v, text.c_str(), 10, MPFR_RNDN);
    }
    ~Big() { mpfr_clear(v); }
    Big(const Big &) = delete;
    Big &operator=(const Big &) = delete;
};

int digitsAt(const char *&p, int most) {
    int n = 0;
    while (isdigit((unsigned char)*p) && n <= most) ++p, ++n;
    return n;
}

// Magnitude at most LOCATION_MAX_MAGNITUDE.
int withinMagnitude(const std::string &text) {
    Big v(text, 64), most(LOCATION_MAX_MAGNITUDE, 64);
    return mpfr_cmpabs(v.v, most.v) <= 0;
}

int setNumber(std::string &to, const char *what, const std::string &text, char *reason) {
    if (text.size() > LOCATION_MAX_DIGITS) {
        setReason(reason, "the %s has %zu characters, more than %d", what, text.size(), LOCATION_MAX_DIGITS);
        return 0;
    }
    if (!isDecimalNumber(text)) {
        setReason(reason, "the %s '%.40s%s' is not a decimal number", what, text.c_str(),
                  text.size() > 40 ? "..." : "");
        return 0;
    }
    if (!withinMagnitude(text)) {
        setReason(reason, "the %s is larger than %s", what, LOCATION_MAX_MAGNITUDE);
        return 0;
    }
    to = text;
    return 1;
}

int setPair(std::string &re, std::string &im, const char *what, const char *text, char *reason) {
    const char *comma = strchr(text, ',');
    if (!comma || strchr(comma + 1, ',')) {
        setReason(reason, "the %s must be two numbers RE,IM", what);
        return 0;
    }
    std::string a(text, (size_t)(comma - text)), b(comma + 1);
    return setNumber(a, what, a, reason) && setNumber(b, what, b, reason) && (re = a, im = b, 1);
}

// Bits enough to hold `a` - `b` / 2 correctly before rounding to a double.
mpfr_prec_t bitsFor(const std::string &a, const std::string &b) {
    Big x(a, 64), y(b, 64);
    long span = 0;
    if (!mpfr_zero_p(x.v) && !mpfr_zero_p(y.v)) span = (long)mpfr_get_exp(x.v) - (long)mpfr_get_exp(y.v);
    return (mpfr_prec_t)(192 + (span > 0 ? span : 0));
}

double edge(const std::string &centre, const mpfr_t half, int sign, mpfr_prec_t bits) {
    Big c(centre, bits), r(bits);
    if (sign < 0)
        mpfr_sub(r.v, c.v, half, MPFR_RNDN);
    else
        mpfr_add(r.v, c.v, half, MPFR_RNDN);
    return mpfr_get_d(r.v, MPFR_RNDN);
}

// ---- the file ----------------------------------------------------------------

int fail(char *reason, int line, const char *format, const char *detail) {
    char text[FILE_ERROR_SIZE];
    snprintf(text, sizeof text, format, detail);
    setReason(reason, "line %d: %s", line, text);
    return 0;
}

// The value of line `line`, which must read "KEY VALUE".
int field(const std::string &all, size_t &at, int line, const char *key, std::string &value, char *reason) {
    const size_t end = all.find('\n', at);
    if (end == std::string::npos) return fail(reason, line, "missing or unterminated '%s' line", key);
    const std::string text = all.substr(at, end - at);
    at = end + 1;
    const size_t keyLength = strlen(key);
    if (text.compare(0, keyLength, key) != 0 || text.size() <= keyLength || text[keyLength] != ' ')
        return fail(reason, line, "expected '%s VALUE'", key);
    value = text.substr(keyLength + 1);
    return 1;
}

int parseLocation(const std::string &all, DeepLocation &loc, char *reason, std::string *rest) {
    size_t at = all.find('\n');
    if (all.empty()) return fail(reason, 1, "the file is empty%s", "");
    if (at == std::string::npos || all.compare(0, at, MAGIC) != 0)
        return fail(reason, 1, "not a location file (expected '%s')", MAGIC);
    ++at;
    std::string v;
    char why[FILE_ERROR_SIZE] = "";
    if (!field(all, at, 2, "type", v, reason)) return 0;
    if ((loc.type = fractalTypeIndex(v.c_str())) < 0) return fail(reason, 2, "unknown type '%.40s'", v.c_str());
    if (!field(all, at, 3, "detail", v, reason)) return 0;
    char *end = nullptr;
    errno = 0;
    const long detail = isdigit((unsigned char)v[0]) ? strtol(v.c_str(), &end, 10) : 0;
    if (!end || *end || errno || detail < 1 || detail > MAX_DETAIL)
        return fail(reason, 3, "the detail must be a whole number 1..%s", std::to_string(MAX_DETAIL).c_str());
    loc.detail = (int)detail;
    if (!field(all, at, 4, "center", v, reason)) return 0;
    if (!setCentre(loc, v.c_str(), why)) return fail(reason, 4, "%s", why);
    if (!field(all, at, 5, "width", v, reason)) return 0;
    if (!setWidth(loc, v.c_str(), why)) return fail(reason, 5, "%s", why);
    if (!field(all, at, 6, "pivot", v, reason)) return 0;
    if (!setPivotText(loc, v.c_str(), why)) return fail(reason, 6, "%s", why);
    if (rest) *rest = all.substr(at);
    if (!rest && at != all.size()) return fail(reason, 7, "unexpected text after the pivot line%s", "");
    return 1;
}

}  // namespace

int writeLocationText(FILE *out, const void *context, char *reason) {
    const LocationText &t = *(const LocationText *)context;
    const DeepLocation &loc = *t.loc;
    if (fprintf(out, "%s\ntype %s\ndetail %d\ncenter %s,%s\nwidth %s\npivot %s,%s\n%s", MAGIC,
                FRACTAL_TYPE_NAMES[loc.type], loc.detail, loc.re.c_str(), loc.im.c_str(), loc.width.c_str(),
                loc.pivotRe.c_str(), loc.pivotIm.c_str(), t.look->c_str()) < 0)
        return streamWriteFailed(reason);
    return 1;
}

DeepLocation defaultLocation() { return DeepLocation{0, 50, "0", "0", "10", "0", "0"}; }

int isDecimalNumber(const std::string &text) {
    if (text.size() > LOCATION_MAX_DIGITS) return 0;
    const char *p = text.c_str();
    if (*p == '+' || *p == '-') ++p;
    int digits = digitsAt(p, LOCATION_MAX_DIGITS);
    if (*p == '.') ++p, digits += digitsAt(p, LOCATION_MAX_DIGITS);
    if (digits == 0) return 0;
    if (*p == 'e' || *p == 'E') {
        ++p;
        if (*p == '+' || *p == '-') ++p;
        const int e = digitsAt(p, 6);
        if (e < 1 || e > 6) return 0;
    }
    return *p == '\0';
}

int setCentre(DeepLocation &loc, const char *text, char *reason) {
    return setPair(loc.re, loc.im, "centre", text, reason);
}

int setPivotText(DeepLocation &loc, const char *text, char *reason) {
    return setPair(loc.pivotRe, loc.pivotIm, "pivot", text, reason);
}

int setWidth(DeepLocation &loc, const char *text, char *reason) {
    std::string w;
    if (!setNumber(w, "width", text, reason)) return 0;
    Big v(w, 64);
    if (mpfr_sgn(v.v) <= 0) {
        setReason(reason, "the width must be above 0");
        return 0;
    }
    if (mpfr_get_exp(v.v) <= LOCATION_MIN_WIDTH_EXP2) {
        setReason(reason, "the width is below %s", LOCATION_MIN_WIDTH);
        return 0;
    }
    loc.width = w;
    return 1;
}

int locationIsDeep(const DeepLocation &loc) {
    Big w(loc.width, 64), deep(DEEP_WIDTH, 64);
    return mpfr_less_p(w.v, deep.v);
}

void locationView(const DeepLocation &loc, int width, int height, double view[4]) {
    const mpfr_prec_t bits = bitsFor(loc.re, loc.width) > bitsFor(loc.im, loc.width) ? bitsFor(loc.re, loc.width)
                                                                                     : bitsFor(loc.im, loc.width);
    Big w(loc.width, bits), half(bits);
    mpfr_div_2ui(half.v, w.v, 1, MPFR_RNDN);
    view[0] = edge(loc.re, half.v, -1, bits);
    view[1] = edge(loc.re, half.v, 1, bits);
    mpfr_mul_ui(half.v, half.v, (unsigned long)height, MPFR_RNDN);
    mpfr_div_ui(half.v, half.v, (unsigned long)width, MPFR_RNDN);
    view[2] = edge(loc.im, half.v, -1, bits);
    view[3] = edge(loc.im, half.v, 1, bits);
}

FloatExp locationWidth(const DeepLocation &loc) {
    Big w(loc.width, 64);
    long e = 0;
    const double m = mpfr_get_d_2exp(&e, w.v, MPFR_RNDN);
    return FloatExp::make(m, e);
}

double decimalToDouble(const std::string &text) {
    Big v(text, 64);
    return mpfr_get_d(v.v, MPFR_RNDN);
}

// ---- dives ----------------------------------------------------------------------

namespace {

// Bits that hold a decimal of this many characters exactly enough to
// subtract it from another and keep the difference's every bit.
mpfr_prec_t bitsForText(size_t characters) { return (mpfr_prec_t)(4 * characters + 128); }

long exponentOf(const std::string &text) {
    Big v(text, 64);
    return mpfr_zero_p(v.v) ? LONG_MIN : (long)mpfr_get_exp(v.v);
}

// c1 + (c0 - c1) along, on one axis.
std::string axisBetween(const std::string &c0, const std::string &c1, const mpfr_t along, long bits) {
    Big a(c0, (mpfr_prec_t)bits), b(c1, (mpfr_prec_t)bits);
    mpfr_sub(a.v, a.v, b.v, MPFR_RNDN);
    mpfr_mul(a.v, a.v, along, MPFR_RNDN);
    mpfr_add(a.v, a.v, b.v, MPFR_RNDN);
    return decimalOf(a.v, bits);
}

}  // namespace

long diveLocationBits(const DeepLocation &first, const DeepLocation &last, int cells) {
    long top = 0;
    for (const std::string *c : {&first.re, &first.im, &last.re, &last.im}) {
        const long e = exponentOf(*c);
        if (e != LONG_MIN && e > top) top = e;
    }
    long spacing = exponentOf(locationNarrower(first, last) ? first.width : last.width);
    for (int c = cells; c > 1; c >>= 1) --spacing;
    return top - spacing + 128;
}

DeepLocation locationBetween(const DeepLocation &first, const DeepLocation &last, int k, int frames, long bits) {
    DeepLocation l = first;
    if (k <= 0) return l;
    if (k >= frames - 1) {
        l.re = last.re, l.im = last.im, l.width = last.width;
        return l;
    }
    const mpfr_prec_t p = (mpfr_prec_t)bits;
    Big w0(first.width, p), w1(last.width, p), w(p), along(p);
    if (mpfr_equal_p(w0.v, w1.v)) {  // a pan: the centre moves evenly
        mpfr_set(w.v, w0.v, MPFR_RNDN);
        mpfr_set_ui(along.v, (unsigned long)(frames - 1 - k), MPFR_RNDN);
        mpfr_div_ui(along.v, along.v, (unsigned long)(frames - 1), MPFR_RNDN);
    } else {
        mpfr_set_ui(along.v, (unsigned long)k, MPFR_RNDN);
        mpfr_div_ui(along.v, along.v, (unsigned long)(frames - 1), MPFR_RNDN);
        mpfr_div(w.v, w1.v, w0.v, MPFR_RNDN);
        mpfr_pow(w.v, w.v, along.v, MPFR_RNDN);
        mpfr_mul(w.v, w.v, w0.v, MPFR_RNDN);
        Big span(p);
        mpfr_sub(along.v, w.v, w1.v, MPFR_RNDN);
        mpfr_sub(span.v, w0.v, w1.v, MPFR_RNDN);
        mpfr_div(along.v, along.v, span.v, MPFR_RNDN);
        // within 0..1 exactly; kept there against rounding
        if (mpfr_sgn(along.v) < 0) mpfr_set_zero(along.v, 1);
        if (mpfr_cmp_ui(along.v, 1) > 0) mpfr_set_ui(along.v, 1, MPFR_RNDN);
    }
    l.re = axisBetween(first.re, last.re, along.v, bits);
    l.im = axisBetween(first.im, last.im, along.v, bits);
    l.width = decimalOf(w.v, bits);
    return l;
}

void locationOffset(const DeepLocation &from, const DeepLocation &to, FloatExp &re, FloatExp &im) {
    const std::string *parts[2][2] = {{&from.re, &to.re}, {&from.im, &to.im}};
    FloatExp *out[2] = {&re, &im};
    for (int axis = 0; axis < 2; ++axis) {
        const std::string &a = *parts[axis][0], &b = *parts[axis][1];
        const mpfr_prec_t bits = bitsForText(a.size() > b.size() ? a.size() : b.size());
        Big x(a, bits), y(b, bits);
        mpfr_sub(y.v, y.v, x.v, MPFR_RNDN);
        long e = 0;
        const double m = mpfr_get_d_2exp(&e, y.v, MPFR_RNDN);
        *out[axis] = FloatExp::make(m, e);
    }
}

int locationNarrower(const DeepLocation &a, const DeepLocation &b) {
    const mpfr_prec_t bits = bitsForText(a.width.size() > b.width.size() ? a.width.size() : b.width.size());
    Big x(a.width, bits), y(b.width, bits);
    return mpfr_less_p(x.v, y.v);
}

int readLocationFile(const char *path, DeepLocation &loc, char *reason, std::string *rest) {
    FILE *in = fopen(path, "rb");
    if (!in) {
        setReason(reason, "cannot open %s: %s", path, strerror(errno));
        return 0;
    }
    std::string all(LOCATION_MAX_FILE + 1, '\0');
    const size_t n = fread(&all[0], 1, all.size(), in);
    const int failed = ferror(in) ? errno : 0;
    fclose(in);
    if (failed) {
        setReason(reason, "cannot read %s: %s", path, strerror(failed));
        return 0;
    }
    if (n > LOCATION_MAX_FILE) {
        setReason(reason, "%s: longer than %d bytes, not a location", path, (int)LOCATION_MAX_FILE);
        return 0;
    }
    all.resize(n);
    if (all.find('\0') != std::string::npos) {
        setReason(reason, "%s: holds a NUL byte, not a location", path);
        return 0;
    }
    DeepLocation read = loc;
    char why[FILE_ERROR_SIZE] = "";
    if (!parseLocation(all, read, why, rest)) {
        setReason(reason, "%s %s", path, why);
        return 0;
    }
    loc = read;
    return 1;
}

int writeLocationFile(const char *path, const DeepLocation &loc, char *reason, const std::string &look) {
    const LocationText text = {&loc, &look};
    return atomicWriteFile(path, writeLocationText, &text, reason);
}
