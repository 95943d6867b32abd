#include "files/gradient_file.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>

#include <vector>

#include "files/atomic_write.h"

namespace {

bool blank(char c) { return c == ' ' || c == '\t'; }
bool digit(char c) { return c >= '0' && c <= '9'; }

// One number 0..255 at p (at most three digits); 0 when there is none.
int number(const char *&p, const char *end, unsigned char *out) {
    int value = 0, digits = 0;
    while (p < end && digit(*p)) {
        if (++digits > 3) return 0;
        value = value * 10 + (*p++ - '0');
    }
    if (digits == 0 || value > 255) return 0;
    *out = (unsigned char)value;
    return 1;
}

// One line [p, end) without its line feed: three numbers, then nothing or a blank and anything.
int colourLine(const char *p, const char *end, unsigned char *rgb) {
    if (end > p && end[-1] == '\r') --end;
    for (int c = 0; c < 3; ++c) {
        const char *before = p;
        while (p < end && blank(*p)) ++p;
        if (c > 0 && p == before) return 0;
        if (!number(p, end, &rgb[c])) return 0;
    }
    return p == end || blank(*p);
}

bool emptyLine(const char *p, const char *end) {
    while (p < end && (blank(*p) || *p == '\r')) ++p;
    return p == end;
}

}  // namespace

int parseGradient(const char *text, size_t size, Gradient &g, char *reason) {
    if (memchr(text, '\0', size)) return failWith(0, reason, "holds a NUL byte, not a gradient");
    Gradient read;
    read.size = GRADIENT_MAX;
    memset(read.inside, 0, sizeof read.inside);
    const char *p = text, *end = text + size;
    int colours = 0;
    for (int line = 1; p < end; ++line) {
        const char *stop = (const char *)memchr(p, '\n', (size_t)(end - p));
        if (!stop) stop = end;
        if (colours == GRADIENT_MAX) {
            if (!emptyLine(p, stop))
                return failWith(0, reason, "line %d: more than %d colours", line, GRADIENT_MAX);
        } else if (!colourLine(p, stop, read.rgb[colours++])) {
            return failWith(0, reason, "line %d: expected three numbers 0..255 (R G B)", line);
        }
        p = stop + 1;
    }
    if (colours < GRADIENT_MAX)
        return failWith(0, reason, "%d colours, not %d (one \"R G B\" line each)", colours, GRADIENT_MAX);
    g = read;
    return 1;
}

int readGradientFile(const char *path, Gradient &g, char *reason) {
    FILE *in = fopen(path, "rb");
    if (!in) return failWith(0, reason, "cannot open %s: %s", path, strerror(errno));
    std::vector<char> all(GRADIENT_FILE_MAX + 1);
    const size_t n = fread(all.data(), 1, all.size(), in);
    const int failed = ferror(in);
    fclose(in);
    if (failed) return failWith(0, reason, "cannot read %s", path);
    if (n > GRADIENT_FILE_MAX)
        return failWith(0, reason, "%s: longer than %d bytes, not a gradient", path, (int)GRADIENT_FILE_MAX);
    char why[FILE_ERROR_SIZE] = "";
    if (!parseGradient(all.data(), n, g, why)) return failWith(0, reason, "%s: %s", path, why);
    return 1;
}
