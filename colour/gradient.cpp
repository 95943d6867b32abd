#include "colour/gradient.h"

#include <stdint.h>
#include <string.h>

#include "colour/linear_light.h"

namespace {

// Each built-in gradient: its colours as 0xRRGGBB, spread evenly round the
// palette, the last running back into the first.
struct Stops {
    const char *name;
    int count;
    unsigned colours[8];
};

const Stops BUILT_IN[] = {
    {"twilight", 6, {0x0b0b2b, 0x40207a, 0xc0407a, 0xff9e4a, 0xfff3c4, 0x4aa3c8}},
    {"fire", 6, {0x000000, 0x6a0c00, 0xe03c00, 0xffa31a, 0xfff0a0, 0xa02000}},
    {"ocean", 6, {0x00101c, 0x003a5c, 0x0a7bb0, 0x6cd4ee, 0xf0fcff, 0x1d5f86}},
    {"grey", 2, {0x000000, 0xffffff}},
};

// The colour `weight` / 256 of the way from a to b, mixed as light.
void mix(const unsigned char *a, const unsigned char *b, int weight, unsigned char *out) {
    const LinearLight &light = linearLight();
    for (int c = 0; c < 3; ++c) {
        const uint64_t la = light.decode[a[c]], lb = light.decode[b[c]];
        const uint64_t sum = la * (uint64_t)(GRADIENT_SUBSTEPS - weight) + lb * (uint64_t)weight;
        out[c] = encodeMean(light, (uint32_t)((sum + GRADIENT_SUBSTEPS / 2) / GRADIENT_SUBSTEPS), 1);
    }
}

void unpack(unsigned colour, unsigned char *rgb) {
    rgb[0] = (unsigned char)(colour >> 16), rgb[1] = (unsigned char)(colour >> 8), rgb[2] = (unsigned char)colour;
}

void fromStops(const Stops &s, Gradient &g) {
    g.size = GRADIENT_MAX;
    for (int k = 0; k < GRADIENT_MAX; ++k) {
        const int along = k * s.count, j = along / GRADIENT_MAX, weight = along % GRADIENT_MAX;
        unsigned char a[3], b[3];
        unpack(s.colours[j], a);
        unpack(s.colours[(j + 1) % s.count], b);
        mix(a, b, weight, g.rgb[k]);
    }
    g.inside[0] = g.inside[1] = g.inside[2] = 0;
}

}  // namespace

const char *gradientName(int k) {
    return k >= 0 && k < (int)(sizeof BUILT_IN / sizeof BUILT_IN[0]) ? BUILT_IN[k].name : nullptr;
}

int namedGradient(const char *name, Gradient &g) {
    for (const Stops &s : BUILT_IN)
        if (strcmp(s.name, name) == 0) {
            fromStops(s, g);
            return 1;
        }
    return 0;
}

Gradient rampGradient(const ChannelTables &t) {
    Gradient g;
    g.size = RAMP_LENGTH;
    for (int k = 0; k < RAMP_LENGTH; ++k) g.rgb[k][0] = t.r[k], g.rgb[k][1] = t.g[k], g.rgb[k][2] = t.b[k];
    g.inside[0] = t.r[255], g.inside[1] = t.g[255], g.inside[2] = t.b[255];
    return g;
}

void fillGradientTable(const Gradient &g, GradientTable &t) {
    t.steps = g.size * GRADIENT_SUBSTEPS;
    for (int s = 0; s < t.steps; ++s) {
        const int k = s / GRADIENT_SUBSTEPS;
        mix(g.rgb[k], g.rgb[(k + 1) % g.size], s % GRADIENT_SUBSTEPS, t.rgb[s]);
    }
    memcpy(t.inside, g.inside, sizeof t.inside);
}

ChannelTables gradientTables(const Gradient &g) {
    ChannelTables t;
    for (int k = 0; k < RAMP_LENGTH; ++k) {
        const unsigned char *c = g.rgb[k * g.size / RAMP_LENGTH];
        t.r[k] = c[0], t.g[k] = c[1], t.b[k] = c[2];
    }
    t.r[255] = g.inside[0], t.g[255] = g.inside[1], t.b[255] = g.inside[2];
    return t;
}
