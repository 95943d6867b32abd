// gradient.h - palettes as runs of colours, and their fine tables in
// linear light.
//
//   Gradient g;
//   namedGradient("twilight", g)            a built-in one (gradientName)
//   g = rampGradient(tables)                the nine ramps' channel tables
//   (a file of 256 lines "R G B": files/gradient_file.h)
//   std::unique_ptr<GradientTable> t(new GradientTable);
//   fillGradientTable(g, *t);
//   const unsigned char *rgb = t->rgb[gradientStep(*t, 0.25, 1)];
//
// A Gradient is `size` sRGB colours (2..256) and the colour of the cells
// that never escaped. Its table spreads them over size * 256 steps: step
// s lies 1/256 of the way at a time from colour s / 256 to the next one,
// mixed as light (colour/linear_light.h), so a gradient of dark and
// bright colours does not sag into murk between them. The step after the
// last colour is the first again, which a cyclic mapping crosses; a
// mapping that runs once over the palette ends on the last colour.
//
// The ramps' gradient is entries 0..254 of the channel tables, their entry
// 255 (white) inside, as in the explorer. The built-in gradients are each
// a few colours mixed in linear light, whose ends meet, so that a cyclic
// mapping shows no seam; their inside is black.
//
// Everything is integer work on the linear-light tables: the same bytes on
// every machine.
//
// Layer: colour.
#ifndef QUORVEX_COLOUR_GRADIENT_H
#define QUORVEX_COLOUR_GRADIENT_H

#include "colour/palette.h"

enum { GRADIENT_MAX = 256, GRADIENT_SUBSTEPS = 256, GRADIENT_STEPS = GRADIENT_MAX * GRADIENT_SUBSTEPS };

struct Gradient {
    int size;  // colours, 2..GRADIENT_MAX
    unsigned char rgb[GRADIENT_MAX][3];
    unsigned char inside[3];
};

// 192 KiB: kept on the heap.
struct GradientTable {
    int steps;  // size * GRADIENT_SUBSTEPS
    unsigned char rgb[GRADIENT_STEPS][3];
    unsigned char inside[3];
};

// The name of built-in gradient k, from 0; null past the last.
const char *gradientName(int k);

// 1 when `name` is a built-in gradient (and `g` is it).
int namedGradient(const char *name, Gradient &g);

Gradient rampGradient(const ChannelTables &tables);

// Channel tables for bands: entry k of 0..254 is colour k * size / 255,
// entry 255 the inside.
ChannelTables gradientTables(const Gradient &g);

void fillGradientTable(const Gradient &g, GradientTable &t);

// The step of a position on the palette: `turns` wraps around it (only
// its fraction counts) when `cyclic`, else runs from the first colour (0)
// to the last (1), clamped.
inline int gradientStep(const GradientTable &t, double turns, int cyclic) {
    if (cyclic) {
        turns -= (double)(long long)turns;  // the fraction, of either sign
        if (turns < 0.0) turns += 1.0;
        const int s = (int)(turns * (double)t.steps);
        return s < t.steps ? s : 0;  // a fraction just below 1 may round up
    }
    const double last = (double)(t.steps - GRADIENT_SUBSTEPS);
    if (!(turns > 0.0)) return 0;
    return turns < 1.0 ? (int)(turns * last) : (int)last;
}

#endif
