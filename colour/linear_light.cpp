#include "colour/linear_light.h"

#include <math.h>

#include "core/portable_math.h"

namespace {

// The sRGB curve, from an encoded value 0..1 to light 0..1.
double srgbToLight(double encoded) {
    if (encoded <= 0.04045) return encoded / 12.92;
    return portablePow((encoded + 0.055) / 1.055, 2.4);
}

uint32_t inUnits(double light) {
    return (uint32_t)floor(light * (double)(1u << LINEAR_BITS) + 0.5);
}

LinearLight buildTables() {
    LinearLight t;
    for (int v = 0; v < 256; ++v) t.decode[v] = inUnits(srgbToLight((double)v / 255.0));
    for (int v = 0; v < 255; ++v) t.boundary[v] = inUnits(srgbToLight(((double)v + 0.5) / 255.0));
    return t;
}

}  // namespace

const LinearLight &linearLight() {
    static const LinearLight tables = buildTables();
    return tables;
}

unsigned char encodeMean(const LinearLight &light, uint32_t sum, uint32_t samples) {
    // The number of boundaries at or below the mean is the value.
    int lo = 0, hi = 255;
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        if ((uint64_t)light.boundary[mid] * samples <= sum)
            lo = mid + 1;
        else
            hi = mid;
    }
    return (unsigned char)lo;
}
