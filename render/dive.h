// dive.h - a zoom from one view to another, as a numbered run of frames.
//
// Frame k of N (k = 0 .. N-1) has, on each axis, the width (end - start)
//
//     w_k = w_0 * (w_1 / w_0)^(k / (N - 1))
//
// shrinking (or growing) by the same factor every frame, and the centre
//
//     c_k = c_1 + (c_0 - c_1) * (w_k - w_1) / (w_0 - w_1)
//
// moving linearly with the width, so the point the two views share at the
// same place on the screen holds still and the dive never swims. Frame 0
// is the first view and frame N-1 the last, exactly as given (the formulas
// need not reproduce them to the bit); an axis whose width does not change
// pans at a steady pace. Both views must run the same way on each axis
// (w_1 / w_0 > 0), which diveViewsMatch checks. The powers come from
// portable_math, so every host computes the same views.
//
// diveFrameParams is the one place a frame's view is made: a renderer of
// another precision takes its frames from here too.
//
// Frame patterns: an output path with one printf-style integer field
// ("%d", "%05d", "%i"; "%%" is a percent sign), which framePath fills with
// the frame number. The field is formatted here, never by printf with the
// user's text.
//
// Layer: render.
#ifndef QUORVEX_RENDER_DIVE_H
#define QUORVEX_RENDER_DIVE_H

#include <stddef.h>

#include "render/rows.h"

struct Dive {
    FractalParams first;  // frame 0; its type, detail and pivot hold for every frame
    double last[4];       // frame N-1's xStart, xEnd, yStart, yEnd
    int frames;           // N >= 2
};

// 0 when an axis runs one way in the first view and the other in the last.
int diveViewsMatch(const Dive &dive);

FractalParams diveFrameParams(const Dive &dive, int k);

// The integer fields in `pattern`, or -1 when a '%' starts something else.
int framePatternFields(const char *pattern);

// The path of frame k; 0 when it does not fit `size` bytes.
int framePath(const char *pattern, int k, char *path, size_t size);

#endif
