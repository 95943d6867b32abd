#include "render/survey.h"

#include <stdlib.h>

#include <vector>

namespace {

int surveySide(int side) {
    const int s = side / SURVEY_DIVISOR;
    return s > SURVEY_MIN ? s : side < SURVEY_MIN ? side : SURVEY_MIN;
}

}  // namespace

FrameStyle surveyStyle(const FrameStyle &style) {
    FrameStyle s = style;
    s.width = surveySide(style.width), s.height = surveySide(style.height), s.aa = 1;
    return s;
}

RenderResult diveHistogram(DiveSurveys &s, int frame, int frames, SurveyFunction survey, void *context) {
    const int first = frame - SURVEY_REACH > 0 ? frame - SURVEY_REACH : 0;
    const int last = frame + SURVEY_REACH < frames - 1 ? frame + SURVEY_REACH : frames - 1;
    for (auto it = s.bins.begin(); it != s.bins.end();)  // out of reach now
        it = it->first < first || it->first > last ? s.bins.erase(it) : std::next(it);
    std::vector<const ValueBins *> sets;
    std::vector<double> weights;
    for (int j = first; j <= last; ++j) {
        if (!s.bins.count(j) && survey(j, s.bins[j], context) != RENDER_DONE) {
            s.bins.erase(j);
            return RENDER_STOPPED;
        }
        sets.push_back(&s.bins[j]);
        weights.push_back((double)(SURVEY_REACH + 1 - abs(j - frame)));
    }
    s.histogram = histogramOf(sets, &weights);
    return RENDER_DONE;
}
