#include "colour/palette.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>

unsigned char palette[RAMPS * RAMP_LENGTH];
int paletteR = 0, paletteG = 0, paletteB = 0;
unsigned char PaletteR[256], PaletteG[256], PaletteB[256];

namespace {

// Ramp formulas may leave 0..255: the low 8 bits are stored, so -1 becomes
// 255. The trigonometric ramps rely on that wrap.
unsigned char wrapped(double value) { return (unsigned char)(int)floor(value); }

unsigned char *ramp(unsigned char *ramps, int k) { return ramps + RAMP_LENGTH * k; }

// log10(0) is -infinity; entry 0 of the logarithmic ramp is defined as 0.
unsigned char logRamp(int i) {
    if (i == 0) return 0;
    return wrapped(log10((double)i) * 255.0 / 2.4049);
}

void fillEntry(unsigned char *ramps, int i) {
    const double x = i;
    ramp(ramps, 0)[i] = (unsigned char)i;
    ramp(ramps, 1)[i] = (unsigned char)~i;
    ramp(ramps, 2)[i] = wrapped(sqrt(x) * 255.0 / 15.9374);
    ramp(ramps, 3)[i] = logRamp(i);
    ramp(ramps, 4)[i] = wrapped(sin(x / 81.0) * 255.0);
    ramp(ramps, 5)[i] = wrapped(sin(x / 40.0) * 127.0 + 1.0);
    ramp(ramps, 6)[i] = wrapped(cos(x / 81.0) * 127.0 + 1.0);
    ramp(ramps, 7)[i] = wrapped(cos(x / 40.0) * 127.0 + 1.0);
    ramp(ramps, 8)[i] = (unsigned char)(rand() % 255);
}

// A running filter: entry i - 1 is already smoothed when entry i is computed.
void smoothRandomRamp(unsigned char *ramps) {
    unsigned char *r = ramp(ramps, 8);
    for (int i = 1; i < RAMP_LENGTH - 1; ++i)
        r[i] = (unsigned char)(int)floor(((double)r[i - 1] + r[i] + r[i + 1]) / 3.0);
}

void createRamps(unsigned char *ramps) {
    for (int i = 0; i < RAMP_LENGTH; ++i) fillEntry(ramps, i);
    smoothRandomRamp(ramps);
}

// Entry 255 is white under every selection: the cells that never escaped.
void selectRamps(unsigned char *ramps, int red, int green, int blue, unsigned char *r, unsigned char *g,
                 unsigned char *b) {
    r[255] = g[255] = b[255] = 255;
    for (int i = 0; i < RAMP_LENGTH; ++i) {
        r[i] = ramp(ramps, red)[i];
        g[i] = ramp(ramps, green)[i];
        b[i] = ramp(ramps, blue)[i];
    }
}

}  // namespace

void DISPLAY_PALLETE_CREATE() { createRamps(palette); }

void DISPLAY_PALLETE_APPLY() { selectRamps(palette, paletteR, paletteG, paletteB, PaletteR, PaletteG, PaletteB); }

ChannelTables programChannelTables() {
    ChannelTables t;
    memcpy(t.r, PaletteR, sizeof t.r), memcpy(t.g, PaletteG, sizeof t.g), memcpy(t.b, PaletteB, sizeof t.b);
    return t;
}

ChannelTables startupChannelTables(int red, int green, int blue) {
    unsigned char ramps[RAMPS * RAMP_LENGTH];
    srand(PALETTE_SEED);
    createRamps(ramps);
    ChannelTables t;
    selectRamps(ramps, red, green, blue, t.r, t.g, t.b);
    return t;
}

int nextRamp(int selector) { return selector + 1 > RAMPS - 1 ? 0 : selector + 1; }

void colourGridRow(const ChannelTables &t, const unsigned char *cells, int width, unsigned char *rgb) {
    for (int c = 0; c < width; ++c, rgb += 3) {
        rgb[0] = t.r[cells[c]];
        rgb[1] = t.g[cells[c]];
        rgb[2] = t.b[cells[c]];
    }
}
