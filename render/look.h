// look.h - how a picture's counts become colours, as options and as text:
// the mapping (--colour), the palette (--palette, --gradient) and the
// shading (--shade). The command line and the recipes (render/recipe.h)
// read and write them through these functions alone, so the two agree.
//
//   --colour bands                 the explorer's bands, 255 * count / detail
//                                  through the ramps (the default with --view,
//                                  --from or neither)
//   --colour cyclic[:D[,O]]        round the palette every D counts (default
//                                  LOOK_CYCLIC_DENSITY), starting O turns in
//   --colour log[:D[,O]]           round the palette every D of the count's
//                                  natural logarithm (default LOOK_LOG_DENSITY)
//   --colour histogram             once over the palette, equalised over the
//                                  counts the picture holds
//   --palette R,G,B                the ramps, 0..8 each (the default 0,0,0)
//   --palette NAME                 a built-in gradient (colour/gradient.h)
//   --gradient FILE                a gradient file (files/gradient_file.h),
//                                  read by the planner
//   --shade none | slopes[:A[,R]]  slopes lit from A degrees (default 45),
//                                  relief R (default LOOK_RELIEF)
//   --shade distance[:T]           the boundary drawn as a line T pixels
//                                  wide (default LOOK_THICKNESS) from each
//                                  sample's distance estimate
//                                  (colour/distance.h)
//   --shade slopes[:A[,R]]+distance[:T]   both (either order; text written
//                                  back puts slopes first)
// With a location (--center and --width, or --location) the default
// mapping is LOOK_DEPTH_TEXT, which shows depth: there the counts of a
// picture sit in a narrow band far from 0 and from the detail, where
// bands would give a few neighbouring colours. A .pgm or .frc output
// holds grid values, which are bands by nature.
//
// In a recipe a palette from a file is written as its colours,
// "colours:" and 1536 hexadecimal digits (R G B of each of 256), so a
// picture does not depend on the file staying where it was.
//
// Layer: render.
#ifndef QUORVEX_RENDER_LOOK_H
#define QUORVEX_RENDER_LOOK_H

#include <string>

#include "colour/colouring.h"

enum PaletteKind { PALETTE_RAMPS, PALETTE_NAMED, PALETTE_FILE, PALETTE_COLOURS };

#define LOOK_CYCLIC_DENSITY 64.0
#define LOOK_LOG_DENSITY 0.15
#define LOOK_ANGLE 45.0
#define LOOK_RELIEF 1.0
#define LOOK_DEPTH_TEXT "log:0.15"
// Densities and reliefs are kept within these, so a turn is never empty
// and every colour computed stays finite.
#define LOOK_MIN_DENSITY 1e-6
#define LOOK_MAX_DENSITY 1e9
#define LOOK_MAX_RELIEF 1e9
#define LOOK_THICKNESS 1.0
// A line thinner than a hundredth of a pixel shows nothing; one wider
// than the largest picture is all line.
#define LOOK_MIN_THICKNESS 0.01
#define LOOK_MAX_THICKNESS 65536.0

struct LookOptions {
    int colour;              // ColourMapping
    double density, offset;  // cyclic and log
    int slopes;
    double angle, relief;
    int palette;              // PaletteKind (the ramps are RenderOptions::ramps)
    std::string paletteText;  // the name, the file's path, or the colours' hexadecimal digits
    int distance = 0;                  // distance shading
    double thickness = LOOK_THICKNESS;  // its line, in pixels
};

// 1 when the look shades (slopes or distance).
inline int lookShades(const LookOptions &look) { return look.slopes || look.distance; }

// Bands, the ramps, no shading.
LookOptions defaultLook();

// Each 1 when `text` is a value as above (and sets it), else 0 and `look` unchanged.
int scanColour(const char *text, LookOptions &look);
int scanPalette(const char *text, LookOptions &look, int ramps[3]);
int scanShade(const char *text, LookOptions &look);

// The values as scanColour, scanPalette and scanShade read them back.
std::string colourText(const LookOptions &look);
std::string paletteText(const LookOptions &look, const int ramps[3]);
std::string shadeText(const LookOptions &look);

// A double as the shortest decimal that reads back as it: every bit kept.
std::string shortestDecimal(double v);

// A gradient as "colours:HEX", and back (0 when `text` is not one).
std::string gradientColoursText(const Gradient &g);
int gradientFromColours(const std::string &text, Gradient &g);

#endif
