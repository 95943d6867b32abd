// recipe.h - every setting that shapes a picture, carried with it: in the
// location file, and in text chunks of the PNG, so that `--location
// picture.png` makes the same picture again.
//
//   Recipe r = pictureRecipe(options, params, location);  what to write
//   readLocationRecipe(path, options, reason)    --location FILE: a PNG
//                                                or a location file
//
// A recipe is "key value" lines, in this order:
//   type     the type's name                        (core/fractal_types.h)
//   detail   1..8421504
//   center   RE,IM, and width W: the location's digits (deep/location.h)
//   view     or XSTART,XEND,YSTART,YEND: a picture by its view, each the
//            shortest decimal that reads back as its double
//   pivot    RE,IM (the location's digits; beside a view, as the view's)
//   size     WxH
//   colour   as --colour takes it, e.g. "log:0.15,0"
//   palette  as --palette takes it: R,G,B, a built-in name, or the
//            colours of a gradient file ("colours:" and 1536 hex digits)
//   shade    as --shade takes it: none, slopes:ANGLE,RELIEF,
//            distance:THICKNESS, or slopes:ANGLE,RELIEF+distance:THICKNESS
//   smooth   0 or 1
//   aa       1..8
// The values are checked as the command line checks its options.
//
// A location file (deep/location.h) holds the first five and, when it was
// saved beside a picture in colour (.png, .ppm, a video), the look: size
// .. aa, one line each after its pivot line. A .pgm holds grid values, so
// its location file stays the six lines of the place.
//
// A PNG made by quorvex-render carries the tEXt chunk "Software" =
// "quorvex-render", then one tEXt chunk a line, keyword "Quorvex " and
// the key ("Quorvex type", ...), every key, before the image data
// (files/png_text.h reads them). A dive's frame carries the recipe of a
// still of its own place.
//
// What the recipe gives is taken where the command line gave nothing (its
// options win, as with --location files); --size asks for another size.
// Refused, each with one line (the planner's usage errors, exit 2): a
// PNG not made by quorvex-render, a damaged PNG head, a recipe line that
// is unknown, repeated, missing or out of range.
//
// Layer: render.
#ifndef QUORVEX_RENDER_RECIPE_H
#define QUORVEX_RENDER_RECIPE_H

#include <string>
#include <vector>

#include "render/request.h"

struct RecipeLine {
    std::string key, value;
};
typedef std::vector<RecipeLine> Recipe;

// The keyword of "Software", its text, and the prefix of the keys' keywords.
extern const char *const RECIPE_SOFTWARE_KEY;
extern const char *const RECIPE_SOFTWARE;
extern const char *const RECIPE_KEY_PREFIX;

// The recipe of a picture of `o`'s look whose place is `params` (a view),
// or `loc` when it is not null. Empty when the type has no name.
Recipe pictureRecipe(const RenderOptions &o, const FractalParams &params, const DeepLocation *loc);

// The look's lines only (size .. aa), as a location file ends.
std::string lookLines(const RenderOptions &o);

// --location: a PNG's recipe or a location file, merged into `o` under
// what the command line gave. `located` is 1 when the place is a location
// (o.location), 0 when it is a view (o.params).
int readLocationRecipe(const char *path, RenderOptions &o, int *located, char *reason);

// A recipe's lines merged into `o` (for the fuzzer and the tests too):
// `line` numbers the first for messages (0: none), `whole` asks for every key of a
// PNG's recipe. `located` as above.
int applyRecipe(const Recipe &r, int line, int whole, RenderOptions &o, int *located, char *reason);

#endif
