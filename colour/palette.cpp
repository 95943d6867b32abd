#include "colour/palette.h"

#include <math.h>
#include <stdlib.h>

unsigned char palette[RAMPS * RAMP_LENGTH];
int paletteR = 0, paletteG = 0, paletteB = 0;
unsigned char PaletteR[256], PaletteG[256], PaletteB[256];

namespace {

// Ramp formulas may leave 0..255: the low 8 bits are stored, so -1 becomes
// 255. The trigonometric ramps rely on that wrap.
unsigned char wrapped(double value) { return (unsigned char)(int)floor(value); }

unsigned char *ramp(int k) { return palette + RAMP_LENGTH * k; }

// log10(0) is -infinity; entry 0 of the logarithmic ramp is defined as 0.
unsigned char logRamp(int i) {
    if (i == 0) return 0;
    return wrapped(log10((double)i) * 255.0 / 2.4049);
}

void fillEntry(int i) {
    const double x = i;
    ramp(0)[i] = (unsigned char)i;
    ramp(1)[i] = (unsigned char)~i;
    ramp(2)[i] = wrapped(sqrt(x) * 255.0 / 15.9374);
    ramp(3)[i] = logRamp(i);
    ramp(4)[i] = wrapped(sin(x / 81.0) * 255.0);
    ramp(5)[i] = wrapped(sin(x / 40.0) * 127.0 + 1.0);
    ramp(6)[i] = wrapped(cos(x / 81.0) * 127.0 + 1.0);
    ramp(7)[i] = wrapped(cos(x / 40.0) * 127.0 + 1.0);
    ramp(8)[i] = (unsigned char)(rand() % 255);
}

// A running filter: entry i - 1 is already smoothed when entry i is computed.
void smoothRandomRamp() {
    unsigned char *r = ramp(8);
    for (int i = 1; i < RAMP_LENGTH - 1; ++i)
        r[i] = (unsigned char)(int)floor(((double)r[i - 1] + r[i] + r[i + 1]) / 3.0);
}

}  // namespace

void DISPLAY_PALLETE_CREATE() {
    for (int i = 0; i < RAMP_LENGTH; ++i) fillEntry(i);
    smoothRandomRamp();
}

void DISPLAY_PALLETE_APPLY() {
    PaletteR[255] = PaletteG[255] = PaletteB[255] = 255;
    for (int i = 0; i < RAMP_LENGTH; ++i) {
        PaletteR[i] = ramp(paletteR)[i];
        PaletteG[i] = ramp(paletteG)[i];
        PaletteB[i] = ramp(paletteB)[i];
    }
}

int nextRamp(int selector) { return selector + 1 > RAMPS - 1 ? 0 : selector + 1; }

void colourGridRow(const unsigned char *cells, int width, unsigned char *rgb) {
    for (int c = 0; c < width; ++c, rgb += 3) {
        rgb[0] = PaletteR[cells[c]];
        rgb[1] = PaletteG[cells[c]];
        rgb[2] = PaletteB[cells[c]];
    }
}
