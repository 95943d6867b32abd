// colouring.h - a picture's values as colours: the count mapped onto a
// palette, and slopes shading. (The explorer's 256 bands, and bands in
// quorvex-render, stay with colour/palette.h and colour/smooth.h.)
//
//   Colouring c = {COLOUR_LOG, 0.1, 0.0, 1, 45.0, 1.0, &table};
//   ValueBins bins = binsOf(values, n);          (histogram only)
//   CountHistogram h = histogramOf({&bins});
//   colourValueRow(c, &h, ValueRows{above, row, below, width}, aa, rgb);
//
// A picture's values: one double a sample, rows top first, each the
// sample's smooth count (colour/smooth.h: smoothValues) or its whole
// count, or INSIDE_VALUE when it never escaped. That is all a colouring
// reads, so the values of a picture and their colouring are separate
// steps: the values can be made in any order, by any thread, in tiles,
// and coloured later with the same result. Distance shading reads a
// second array of the same shape: each sample's distance to the set in
// samples (colour/distance.h), NO_DISTANCE where it has none.
//
// The position on the palette, in turns, of a value v:
//   cyclic     v / density + offset                 (density: counts a turn)
//   log        ln(1 + v) / density + offset, v < 0 taken as 0
//                                                   (density: of the logarithm)
//   histogram  the share of the histogram's samples whose value lies below
//              v, reached smoothly across v's whole count (the fraction of
//              v weighs that count's own share), 0..1, once over the palette.
//   bands      255 v / detail on the palette's entries (under slopes only:
//              bands alone are colour/palette.h's, byte for byte).
// Cyclic and log wrap round the palette (gradientStep, colour/gradient.h).
// Inside samples take the palette's inside colour, unshaded.
//
// A histogram counts values by whole count (floor v) in bins: binsOf
// counts one set of values (a picture, or a survey of one), mergeBins adds
// the counts of a part of a picture to those of its others; histogramOf
// pools several sets, each weighing the same however many samples it
// holds (or as weighted), so a dive can pool the surveys of neighbouring frames. Bins are
// whole numbers and the pooling runs in the order given, so a histogram
// does not depend on which thread made which value.
//
// Slopes treat the values as a height field and light it from `angle`
// degrees (0 from the right, 90 from the top), 45 degrees above the
// picture: a sample's slope is the difference of its neighbours across it
// (a neighbour outside the picture, or inside the set, counts as the
// sample itself), times `relief` and the samples per pixel (so the relief
// does not change with --aa); the sample's light is multiplied by the
// cosine of the angle between the surface and the light, over that of a
// flat surface (so flat stays as it is), at most 1/sin 45. A row's shading
// needs the rows above and below it, so the rows of a shaded picture are
// all made before any is coloured.
//
// Distance shading draws the boundary of the set as a line `thickness`
// pixels wide whatever the depth: a sample whose distance is f of
// thickness * samplesPerPixel samples, f < 1, takes its colour moved
// toward the inside colour by 1 - f in linear light (after the slopes), so
// the line darkens smoothly toward the set. A distance needs nothing
// beside its own sample.
//
// Everything is IEEE double arithmetic with + - * / and sqrt (logarithms
// from core/portable_math.h, the light's direction from a series), and
// integer work on the linear-light tables: the same bytes on every thread,
// kernel path and machine.
//
// Layer: colour.
#ifndef QUORVEX_COLOUR_COLOURING_H
#define QUORVEX_COLOUR_COLOURING_H

#include <stddef.h>
#include <stdint.h>

#include <initializer_list>
#include <vector>

#include "colour/gradient.h"

// A value for the samples that never escaped.
extern const double INSIDE_VALUE;

enum ColourMapping { COLOUR_BANDS, COLOUR_CYCLIC, COLOUR_LOG, COLOUR_HISTOGRAM };

struct Colouring {
    int mapping;  // ColourMapping
    double density, offset;
    int slopes;            // 1: slopes shading
    double angle, relief;  // of the slopes
    const GradientTable *palette;
    int detail = 0;  // COLOUR_BANDS's scale
    int distance = 0;        // 1: distance shading
    double thickness = 1.0;  // of its line, in pixels
};

// True when a colouring reads more than the sample itself: a histogram of
// the picture, or the rows beside it.
inline bool colouringNeedsPicture(const Colouring &c) { return c.mapping == COLOUR_HISTOGRAM || c.slopes; }

struct ValueBins {
    long first;                   // the whole count of count[0]
    std::vector<uint64_t> count;  // samples a whole count, first .. first + size - 1
    uint64_t total;
};

struct CountHistogram {
    long first;                // the whole count of below[0]
    std::vector<double> below;  // share of the samples below first + k, k = 0 .. bins
};

ValueBins binsOf(const double *values, size_t n);
// Adds `b`'s samples to `into` ({0, {}, 0} to start): binsOf of a picture
// is the merge of binsOf of its parts in any order, so a picture made in
// tiles has the histogram of the picture made whole.
void mergeBins(ValueBins &into, const ValueBins &b);
CountHistogram histogramOf(std::initializer_list<const ValueBins *> sets);
// `weights` (may be null: all 1) weigh each set as a whole.
CountHistogram histogramOf(const std::vector<const ValueBins *> &sets, const std::vector<double> *weights = nullptr);

// 0..1: the share of the histogram's samples below v.
double histogramTurns(const CountHistogram &h, double v);

// A row of values and the rows above and below it (the row itself at the
// picture's edges), `width` samples each.
struct ValueRows {
    const double *above, *row, *below;
    int width;
    const double *distance = nullptr;  // the row's distances: distance shading only
};

// Three bytes a sample at rgb. `histogram` is needed by COLOUR_HISTOGRAM
// only; `samplesPerPixel` scales the slopes.
void colourValueRow(const Colouring &c, const CountHistogram *histogram, const ValueRows &rows, int samplesPerPixel,
                    unsigned char *rgb);

#endif
