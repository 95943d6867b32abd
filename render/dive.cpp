#include "render/dive.h"

#include <ctype.h>
#include <stdio.h>
#include <string.h>

#include "core/portable_math.h"

namespace {

// The widest field a frame number needs.
enum { MAX_FIELD_WIDTH = 20 };

struct Axis {
    double start, end;
};

Axis axisOfFrame(Axis a, Axis b, int k, int frames) {
    const double w0 = a.end - a.start, w1 = b.end - b.start;
    const double c0 = a.start + w0 / 2, c1 = b.start + w1 / 2;
    const double t = (double)k / (double)(frames - 1);
    if (w0 == w1) {
        const double c = c0 + (c1 - c0) * t;
        return {c - w0 / 2, c + w0 / 2};
    }
    const double w = w0 * portablePow(w1 / w0, t);
    // Within 0..1 in exact arithmetic; kept there when w0 and w1 are so
    // close that rounding could throw the centre far off.
    double along = (w - w1) / (w0 - w1);
    along = along < 0 ? 0 : along > 1 ? 1 : along;
    const double c = c1 + (c0 - c1) * along;
    return {c - w / 2, c + w / 2};
}

// One field at `p` (just after its '%'): "[0]width(d|i)". Returns the
// length after the '%', or 0 when it is not an integer field.
int scanField(const char *p, int *zeros, int *width) {
    int n = 0;
    *zeros = p[n] == '0';
    n += *zeros;
    *width = 0;
    while (isdigit((unsigned char)p[n]) && *width <= MAX_FIELD_WIDTH) *width = *width * 10 + (p[n++] - '0');
    if (*width > MAX_FIELD_WIDTH || (p[n] != 'd' && p[n] != 'i')) return 0;
    return n + 1;
}

}  // namespace

int diveViewsMatch(const Dive &d) {
    const FractalParams &f = d.first;
    return (f.xEnd - f.xStart) / (d.last[1] - d.last[0]) > 0 && (f.yEnd - f.yStart) / (d.last[3] - d.last[2]) > 0;
}

FractalParams diveFrameParams(const Dive &d, int k) {
    FractalParams p = d.first;
    if (k <= 0) return p;
    if (k >= d.frames - 1) {
        p.xStart = d.last[0], p.xEnd = d.last[1], p.yStart = d.last[2], p.yEnd = d.last[3];
        return p;
    }
    const Axis x = axisOfFrame({p.xStart, p.xEnd}, {d.last[0], d.last[1]}, k, d.frames);
    const Axis y = axisOfFrame({p.yStart, p.yEnd}, {d.last[2], d.last[3]}, k, d.frames);
    p.xStart = x.start, p.xEnd = x.end, p.yStart = y.start, p.yEnd = y.end;
    return p;
}

int framePatternFields(const char *pattern) {
    int fields = 0, zeros, width;
    for (const char *p = pattern; *p; ++p) {
        if (*p != '%') continue;
        if (p[1] == '%') {
            ++p;
            continue;
        }
        const int length = scanField(p + 1, &zeros, &width);
        if (!length) return -1;
        ++fields;
        p += length;
    }
    return fields;
}

int framePath(const char *pattern, int k, char *path, size_t size) {
    size_t used = 0;
    int zeros, width;
    for (const char *p = pattern; *p; ++p) {
        char piece[MAX_FIELD_WIDTH + 2] = {*p, '\0'};
        if (*p == '%' && p[1] == '%') {
            ++p;
        } else if (*p == '%') {
            const int length = scanField(p + 1, &zeros, &width);
            if (!length) return 0;
            snprintf(piece, sizeof piece, zeros ? "%0*d" : "%*d", width, k);
            p += length;
        }
        const size_t n = strlen(piece);
        if (used + n >= size) return 0;
        memcpy(path + used, piece, n);
        used += n;
    }
    path[used] = '\0';
    return 1;
}
