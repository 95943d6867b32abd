// survey.h - the histogram of a dive's frame, pooled from small surveys of
// the frames around it, so that a histogram dive does not flicker.
//
//   DiveSurveys s;
//   for each frame k made, in any order:
//       diveHistogram(s, k, frames, survey, context);   then s.histogram
//
// Frame k's histogram pools the surveys of frames k - SURVEY_REACH ..
// k + SURVEY_REACH (those of the dive), frame j weighing
// SURVEY_REACH + 1 - |j - k|: as the dive moves on, one frame's counts
// fade in at the front and another's fade out at the back, and a count
// keeps nearly the colour it had a frame before. A survey is the frame's
// view at 1/SURVEY_DIVISOR of its size (at least SURVEY_MIN a side), one
// sample a pixel, its values counted (colour/colouring.h): a few per cent
// of a frame's cost, made once and kept while frames near it are made.
// What a frame's histogram is depends only on its number and the dive, so
// a dive split into ranges makes the same bytes; the ends of a histogram
// dive are not stills of their views (a still is equalised over itself).
//
// `survey(j, bins, context)` makes frame j's survey (the runner draws it
// as it draws frames); RENDER_STOPPED from it ends the histogram's making.
//
// Layer: render.
#ifndef QUORVEX_RENDER_SURVEY_H
#define QUORVEX_RENDER_SURVEY_H

#include <map>

#include "colour/colouring.h"
#include "render/frame.h"

enum { SURVEY_REACH = 8, SURVEY_DIVISOR = 8, SURVEY_MIN = 16 };

struct DiveSurveys {
    std::map<int, ValueBins> bins;  // by frame number
    CountHistogram histogram;       // the last frame asked for
};

typedef RenderResult (*SurveyFunction)(int frame, ValueBins &bins, void *context);

// The style of a survey of frames of `style`.
FrameStyle surveyStyle(const FrameStyle &style);

RenderResult diveHistogram(DiveSurveys &s, int frame, int frames, SurveyFunction survey, void *context);

#endif
