// location.h - a place in the plane at any depth: centre and width as decimal
// text, every digit kept, and the small file that saves one.
//
//   DeepLocation loc = defaultLocation();
//   if (!setCentre(loc, "-0.7436438870371587047,0.1318259042053119704", why)) ...
//   if (!setWidth(loc, "7.1e-30", why)) ...
//   locationIsDeep(loc)                  -> 1: doubles cannot resolve it
//   locationView(loc, 1280, 720, view)   -> the --view doubles of the picture
//   writeLocationFile("a.qloc", loc, why) / readLocationFile("a.qloc", loc, why)
//
// A picture of W x H cells at a location spans `width` across and
// width * H / W up; cell (r, i) stands for
//   (re - width/2 + i * width/W,  im - height/2 + r * height/H),
// the rule of --view with column 0 and row 0 at the starts.
//
// Numbers are plain decimals: an optional sign, digits with at most one
// point (at least one digit), an optional exponent (e or E, optional sign,
// 1..6 digits). No spaces, no hexadecimal, no inf or nan.
//
// The file (every line ends in one line feed, fields are separated by one
// space, nothing else is allowed; the reader refuses anything else):
//
//   quorvex-location 1
//   type NAME             one of the ten type names
//   detail N              1..MAX_DETAIL (files/paramfile.h)
//   center RE,IM          two numbers
//   width W               one number, > 0
//   pivot RE,IM           two numbers (the J kinds' constant)
//
// and, saved beside a picture in colour, the picture's look after them
// (size, colour, palette, shade, smooth, aa: render/recipe.h reads those;
// this reader hands them over as they are, or refuses them when asked to).
//
// Limits, each for a reason:
//   LOCATION_MAX_DIGITS  characters of one number: a centre that exact is
//                        only useful at widths below 1e-4000;
//   LOCATION_MIN_WIDTH_EXP2  about 1e-4000, as a binary exponent (widths
//                        below 2^LOCATION_MIN_WIDTH_EXP2 are refused): beyond
//                        it the reference orbit's precision makes a render
//                        take hours;
//   LOCATION_MAX_MAGNITUDE  1e100 for the centre, width and pivot: the
//                        picture's corners stay finite doubles;
//   LOCATION_MAX_FILE    the longest file these limits allow, with room
//                        for the look (a gradient's colours are 1545 bytes).
// Reasons are one line (FILE_ERROR_SIZE bytes) and never quote a whole
// number.
//
// Layer: deep.
#ifndef QUORVEX_DEEP_LOCATION_H
#define QUORVEX_DEEP_LOCATION_H

#include <stdio.h>

#include <string>

#include "deep/floatexp.h"

enum {
    LOCATION_MAX_DIGITS = 4096,
    LOCATION_MIN_WIDTH_EXP2 = -13288,  // 2^-13288 is about 1e-4000
    LOCATION_MAX_FILE = 5 * LOCATION_MAX_DIGITS + 4096,
};
#define LOCATION_MAX_MAGNITUDE "1e100"
#define LOCATION_MIN_WIDTH "1e-4000"  // LOCATION_MIN_WIDTH_EXP2 in decimal

// Below this width the plain double loop cannot tell neighbouring cells of
// a picture apart reliably, and the deep engine takes over.
#define DEEP_WIDTH "1e-12"

struct DeepLocation {
    int type;    // fType, 0..9
    int detail;  // 1..MAX_DETAIL
    std::string re, im;
    std::string width;
    std::string pivotRe, pivotIm;
};

// Mandelbrot, detail 50, centre 0,0, width 10, pivot 0,0.
DeepLocation defaultLocation();

// 1 when `text` is a number as above within the digit limit.
int isDecimalNumber(const std::string &text);

// Splits "A,B" at its only comma into two numbers; 0 and a reason otherwise.
int setCentre(DeepLocation &loc, const char *text, char *reason);
int setPivotText(DeepLocation &loc, const char *text, char *reason);
int setWidth(DeepLocation &loc, const char *text, char *reason);

// 1 when the width is below DEEP_WIDTH.
int locationIsDeep(const DeepLocation &loc);

// xStart, xEnd, yStart, yEnd of a width x height picture, each the nearest
// double to the exact value.
void locationView(const DeepLocation &loc, int width, int height, double view[4]);

// The width and the centre as FloatExp / doubles (nearest).
FloatExp locationWidth(const DeepLocation &loc);
double decimalToDouble(const std::string &text);

// ---- dives between two locations ----
//
// Frame k (0 .. frames-1) of a dive from `first` to `last` (widths w0, w1):
//     w_k = w0 (w1 / w0)^(k / (frames - 1))
//     c_k = c1 + (c0 - c1) (w_k - w1) / (w0 - w1)     (c_k moves evenly
//           from c0 to c1 when w0 = w1)
// computed with MPFR at `bits` and written with every digit those bits
// hold; frames 0 and frames-1 are `first` and `last` themselves. The type,
// detail and pivot are first's. diveLocationBits gives bits enough that
// the frames' centres are right to far below the cell spacing of the
// narrower end at `cells` cells across.
long diveLocationBits(const DeepLocation &first, const DeepLocation &last, int cells);
DeepLocation locationBetween(const DeepLocation &first, const DeepLocation &last, int k, int frames, long bits);

// to's centre minus from's centre, each part the nearest FloatExp.
void locationOffset(const DeepLocation &from, const DeepLocation &to, FloatExp &re, FloatExp &im);

// 1 when a's width is below b's.
int locationNarrower(const DeepLocation &a, const DeepLocation &b);

// `rest`, when not null, takes the lines after the pivot line as they are
// (the look of a picture, render/recipe.h); without it they are refused.
int readLocationFile(const char *path, DeepLocation &loc, char *reason, std::string *rest = nullptr);
// `look`, when not empty, follows the pivot line: whole lines, each ending in a line feed.
int writeLocationFile(const char *path, const DeepLocation &loc, char *reason, const std::string &look = "");
// The file's text for a writer of files/atomic_write.h: the location and,
// when not empty, its look.
struct LocationText {
    const DeepLocation *loc;
    const std::string *look;
};
int writeLocationText(FILE *out, const void *text, char *reason);

#endif
