#include "render/frame.h"

#include <stdint.h>

#include <algorithm>
#include <vector>

#include "colour/distance.h"
#include "colour/linear_light.h"
#include "colour/smooth.h"
#include "core/kernels_simd.h"
#include "core/state.h"

namespace {

struct FrameJob {
    const FrameSource *source;
    KernelView samples;  // the view at aa * width x aa * height cells
    FrameStyle style;
    const ChannelTables *tables;
    const std::atomic<int> *stop;
    double *values;                   // a look that needs the picture: every sample's value
    double *distances;                // and, under distance shading, every sample's distance
    const CountHistogram *histogram;  // a histogram look's
    FrameArea area;                   // the pixels whose values are made (frameAreaValues)
};

// Each worker's buffers for one row of samples, kept between rows.
struct Scratch {
    std::vector<unsigned char> values, colours;
    std::vector<int> counts;
    std::vector<OrbitEnd> ends;
    std::vector<uint32_t> light;
    std::vector<double> mu, spanMu, distance, spanDistance, derivatives;
    std::vector<FloatExp> dx, dy;
    std::vector<DeepSample> deep;
};

// The grid values of sample row `row`; 0 when a stop cut a deep row short.
int valueRow(const FrameJob &job, int row, Scratch &s, unsigned char *values) {
    const KernelView &v = job.samples;
    const FrameSource &src = *job.source;
    if (!src.deep) {
        computeRow(src.params.type, v, row, values);
        return 1;
    }
    s.counts.resize((size_t)v.width);
    if (!deepViewRow(*src.deep, src.deepView, row, s.counts.data(), nullptr, job.stop)) return 0;
    for (int i = 0; i < v.width; ++i) values[i] = gridValue(s.counts[(size_t)i], v.detail);
    return 1;
}

// The smooth colours of sample row `row`.
int smoothSampleRow(const FrameJob &job, int row, Scratch &s, unsigned char *rgb) {
    const KernelView &v = job.samples;
    const FrameSource &src = *job.source;
    s.counts.resize((size_t)v.width);
    s.ends.resize((size_t)v.width);
    if (!src.deep)
        countRowEndsWith(fastestKernelPath(), src.params.type, v, row, s.counts.data(), s.ends.data());
    else if (!deepViewRow(*src.deep, src.deepView, row, s.counts.data(), s.ends.data(), job.stop))
        return 0;
    smoothRow(*job.tables, src.params.type, v, row, s.counts.data(), s.ends.data(), rgb);
    return 1;
}

// deepViewRow (deep/deep_view.h) for columns first .. first + count - 1
// alone, each cell's offset computed as it computes them: a tile's cells
// are the whole picture's, bit for bit (a change there is one here too; the
// tiles' tests compare them). Into counts[first ..], ends[first ..] and,
// when asked, four derivatives a cell at derivatives[4 * first ..].
int deepSpan(const FrameJob &job, int row, int first, int count, Scratch &s, int *counts, OrbitEnd *ends,
             double *derivatives) {
    const DeepView &v = job.source->deepView;
    s.dx.resize((size_t)count), s.dy.resize((size_t)count), s.deep.resize((size_t)count);
    const double twiceWide = 2.0 * v.cellsWide;
    const FloatExp y = v.im + v.width * ((double)(2 * row - v.cellsHigh) / twiceWide);
    for (int i = 0; i < count; ++i) {
        s.dx[(size_t)i] = v.re + v.width * ((double)(2 * (first + i) - v.cellsWide) / twiceWide);
        s.dy[(size_t)i] = y;
    }
    if (!deepSamples(*job.source->deep, s.dx.data(), s.dy.data(), count, s.deep.data(), job.stop,
                     derivatives != nullptr))
        return 0;
    const FloatExp step = v.width * (1.0 / v.cellsWide);
    for (int i = 0; i < count; ++i) {
        const DeepSample &d = s.deep[(size_t)i];
        counts[first + i] = d.count;
        if (ends) ends[first + i] = OrbitEnd{d.zr, d.zi, d.pr, d.pi};
        if (!derivatives) continue;
        double *at = derivatives + 4 * (size_t)(first + i);
        at[0] = (d.dr * step).toDouble(), at[1] = (d.di * step).toDouble();
        at[2] = (d.yr * step).toDouble(), at[3] = (d.yi * step).toDouble();
    }
    return 1;
}

// The counts (and with smooth, or deep distances, the ends; with deep
// distances the derivatives) of sample row `row`'s columns first .. first
// + count - 1, at those places of s.counts, s.ends and s.derivatives; the
// places before them hold the detail (never escaped: smoothValues and the
// distances pass them over). The kernels take a row from column 0, so a
// shallow span is counted from there; the deep engine counts the span
// alone. 0 when a stop cut it short.
int spanCounts(const FrameJob &job, int row, int first, int count, Scratch &s, bool distance) {
    const KernelView &v = job.samples;
    const FrameSource &src = *job.source;
    s.counts.resize((size_t)(first + count));
    s.ends.resize((size_t)(first + count));
    OrbitEnd *ends = job.style.smooth || (distance && src.deep) ? s.ends.data() : nullptr;
    double *derivatives = nullptr;
    if (distance && src.deep) s.derivatives.resize(4 * (size_t)(first + count)), derivatives = s.derivatives.data();
    KernelView upTo = v;
    upTo.width = first + count;
    if (!src.deep && ends)
        countRowEndsWith(fastestKernelPath(), src.params.type, upTo, row, s.counts.data(), ends);
    else if (!src.deep)
        countRowWith(fastestKernelPath(), src.params.type, upTo, row, s.counts.data());
    else if (first == 0 && count == v.width)
        return deepViewRow(*src.deep, src.deepView, row, s.counts.data(), ends, job.stop, derivatives);
    else if (!deepSpan(job, row, first, count, s, s.counts.data(), ends, derivatives))
        return 0;
    std::fill(s.counts.begin(), s.counts.begin() + first, v.detail);
    return 1;
}

// The distances of the span spanCounts left in the scratch, at distance[0
// .. count - 1]: each cell's estimate depends on its own column alone.
void spanDistances(const FrameJob &job, int row, int first, int count, Scratch &s, double *distance) {
    const FrameSource &src = *job.source;
    KernelView upTo = job.samples;
    upTo.width = first + count;
    s.spanDistance.resize(first ? (size_t)(first + count) : 0);
    double *d = first ? s.spanDistance.data() : distance;
    if (src.deep)
        distanceValues(src.params.type, upTo, row, s.counts.data(), s.ends.data(), s.derivatives.data(), d);
    else
        distanceRow(src.params.type, upTo, row, s.counts.data(), d);
    if (first) std::copy(d + first, d + first + count, distance);
}

// The values (colour/colouring.h) of sample row `row`'s columns first ..
// first + count - 1, at values[0 .. count - 1], and their distances at
// distance[0 ..] when it is not null.
int spanValues(const FrameJob &job, int row, int first, int count, Scratch &s, double *values,
               double *distance = nullptr) {
    const KernelView &v = job.samples;
    if (!spanCounts(job, row, first, count, s, distance != nullptr)) return 0;
    if (distance) spanDistances(job, row, first, count, s, distance);
    const int *counts = s.counts.data() + first;
    if (job.style.smooth) {
        KernelView upTo = v;
        upTo.width = first + count;
        s.spanMu.resize(first ? (size_t)(first + count) : 0);
        double *mu = first ? s.spanMu.data() : values;
        smoothValues(job.source->params.type, upTo, row, s.counts.data(), s.ends.data(), mu);
        if (first) std::copy(mu + first, mu + first + count, values);
        return 1;
    }
    for (int i = 0; i < count; ++i) values[i] = counts[i] >= v.detail ? INSIDE_VALUE : counts[i];
    return 1;
}

// The values of sample row `row` (colour/colouring.h), view.width of them,
// and their distances when `distance` is not null.
int sampleValues(const FrameJob &job, int row, Scratch &s, double *values, double *distance = nullptr) {
    return spanValues(job, row, 0, job.samples.width, s, values, distance);
}

// The colours of sample row `row` under a look, from the picture's values
// when it has them, else from the row's own (a look that reads nothing beside).
int lookRow(const FrameJob &job, int row, Scratch &s, unsigned char *rgb) {
    const int w = job.samples.width;
    const bool distance = job.style.look->distance;
    ValueRows rows;
    if (job.values) {
        const int last = job.style.height * job.style.aa - 1;
        rows.row = job.values + (size_t)row * (size_t)w;
        rows.above = row > 0 ? rows.row - w : rows.row;
        rows.below = row < last ? rows.row + w : rows.row;
        if (distance) rows.distance = job.distances + (size_t)row * (size_t)w;
    } else {
        s.mu.resize((size_t)w);
        if (distance) s.distance.resize((size_t)w);
        if (!sampleValues(job, row, s, s.mu.data(), distance ? s.distance.data() : nullptr)) return 0;
        rows.row = rows.above = rows.below = s.mu.data();
        if (distance) rows.distance = s.distance.data();
    }
    rows.width = w;
    colourValueRow(*job.style.look, job.histogram, rows, job.style.aa, rgb);
    return 1;
}

// The colours of sample row `row`, view.width cells of three bytes.
int sampleRow(const FrameJob &job, int row, Scratch &s, unsigned char *rgb) {
    if (job.style.look) return lookRow(job, row, s, rgb);
    if (job.style.smooth) return smoothSampleRow(job, row, s, rgb);
    s.values.resize((size_t)job.samples.width);
    if (!valueRow(job, row, s, s.values.data())) return 0;
    colourGridRow(*job.tables, s.values.data(), job.samples.width, rgb);
    return 1;
}

// Adds the light of each pixel's n samples of one sample row.
void addLight(const LinearLight &light, const unsigned char *rgb, int pixels, int n, uint32_t *sums) {
    for (int i = 0; i < pixels; ++i, sums += 3)
        for (int b = 0; b < n; ++b, rgb += 3) {
            sums[0] += light.decode[rgb[0]];
            sums[1] += light.decode[rgb[1]];
            sums[2] += light.decode[rgb[2]];
        }
}

// The mean light of a pixel row's n sample rows, sample row a coloured by
// colour(a, rgb), into `out`; 0 when a row was cut short.
template <class Colour>
int meanOfSampleRows(int n, int pixels, Scratch &s, Colour colour, unsigned char *out) {
    const LinearLight &light = linearLight();
    s.colours.resize((size_t)pixels * (size_t)n * 3);
    s.light.assign((size_t)pixels * 3, 0);
    for (int a = 0; a < n; ++a) {
        if (!colour(a, s.colours.data())) return 0;
        addLight(light, s.colours.data(), pixels, n, s.light.data());
    }
    const uint32_t samples = (uint32_t)(n * n);
    for (size_t k = 0; k < (size_t)pixels * 3; ++k) out[k] = encodeMean(light, s.light[k], samples);
    return 1;
}

int frameRow(int row, unsigned char *out, void *context) {
    const FrameJob &job = *(const FrameJob *)context;
    thread_local Scratch s;
    if (!job.style.coloured) return valueRow(job, row, s, out);
    const int n = job.style.aa;
    if (n == 1) return sampleRow(job, row, s, out);
    return meanOfSampleRows(n, job.style.width, s,
                            [&](int a, unsigned char *rgb) { return sampleRow(job, row * n + a, s, rgb); }, out);
}

// The values of the area's pixel row `row`: its aa sample rows, into the job's.
int valuesRowOfPixels(int row, unsigned char *, void *context) {
    const FrameJob &job = *(const FrameJob *)context;
    thread_local Scratch s;
    const int n = job.style.aa, first = job.area.x * n, count = job.area.width * n;
    for (int a = 0; a < n; ++a) {
        const size_t at = (size_t)(row * n + a) * (size_t)count, sampleRow = (size_t)(job.area.y + row) * n + a;
        double *distances = job.distances ? job.distances + at : nullptr;
        if (!spanValues(job, (int)sampleRow, first, count, s, job.values + at, distances)) return 0;
    }
    return 1;
}

// Sample row `a` of a pixel row coloured from values (colourValuesRow).
void valueSampleColours(const FrameStyle &style, const ChannelTables &tables, const CountHistogram *histogram,
                        int detail, const double *const *rows, const double *const *distances, int a, Scratch &s,
                        unsigned char *rgb) {
    const int w = style.width * style.aa;
    const double *v = rows[a + 1];
    if (style.look) {
        const double *distance = style.look->distance && distances ? distances[a + 1] : nullptr;
        colourValueRow(*style.look, histogram, ValueRows{rows[a], v, rows[a + 2], w, distance}, style.aa, rgb);
    } else if (style.smooth) {
        for (int i = 0; i < w; ++i) smoothColour(tables, v[i], v[i] == INSIDE_VALUE ? detail : 0, detail, rgb + 3 * i);
    } else {
        s.values.resize((size_t)w);
        for (int i = 0; i < w; ++i) s.values[(size_t)i] = gridValue(v[i] == INSIDE_VALUE ? detail : (int)v[i], detail);
        colourGridRow(tables, s.values.data(), w, rgb);
    }
}

FrameJob jobOf(const FrameSource &source, const FrameStyle &style, const ChannelTables &tables,
               const std::atomic<int> *stop) {
    FrameJob job;
    job.source = &source;
    job.style = style;
    job.style.aa = style.aa < 1 ? 1 : style.aa;
    job.samples = kernelViewFor(source.params, style.width * job.style.aa, style.height * job.style.aa);
    job.tables = &tables;
    job.stop = stop;
    job.values = job.distances = nullptr;
    job.histogram = source.histogram;
    job.area = FrameArea{0, 0, style.width, style.height};
    return job;
}

size_t frameSamples(const FrameStyle &style) {
    const size_t aa = (size_t)(style.aa < 1 ? 1 : style.aa);
    return (size_t)style.width * aa * (size_t)style.height * aa;
}

// Every sample's value (progress counts pixel rows), then the colours.
RenderResult pictureFrame(FrameJob &job, const RenderGrid &rows, int threads, RenderProgress progress,
                          void *context) {
    const size_t samples = frameSamples(job.style);
    std::vector<double> values(samples), distances(job.style.look->distance ? samples : 0);
    job.values = values.data();
    job.distances = distances.empty() ? nullptr : distances.data();
    if (renderRows(rows, threads, job.stop, valuesRowOfPixels, &job, progress, context) != RENDER_DONE)
        return RENDER_STOPPED;
    CountHistogram own;
    if (job.style.look->mapping == COLOUR_HISTOGRAM && !job.histogram) {
        const ValueBins bins = binsOf(values.data(), values.size());
        own = histogramOf({&bins});
        job.histogram = &own;
    }
    return renderRows(rows, threads, job.stop, frameRow, &job, nullptr, nullptr);
}

}  // namespace

size_t frameValueBytes(const FrameStyle &style) {
    if (!style.look || !colouringNeedsPicture(*style.look)) return 0;
    return frameSamples(style) * sizeof(double) * (style.look->distance ? 2 : 1);
}

RenderResult renderFrame(const FrameSource &source, const FrameStyle &style, const ChannelTables &tables,
                         unsigned char *out, int threads, const std::atomic<int> *stop, RenderProgress progress,
                         void *context) {
    FrameJob job = jobOf(source, style, tables, stop);
    const size_t bytes = style.coloured ? 3 : 1;
    const RenderGrid rows = {style.width, style.height, (size_t)style.width * bytes, out};
    if (style.coloured && frameValueBytes(job.style) > 0) return pictureFrame(job, rows, threads, progress, context);
    return renderRows(rows, threads, stop, frameRow, &job, progress, context);
}

RenderResult frameValues(const FrameSource &source, const FrameStyle &style, double *values, int threads,
                         const std::atomic<int> *stop) {
    return frameAreaValues(source, style, FrameArea{0, 0, style.width, style.height}, values, nullptr, threads, stop,
                           nullptr, nullptr);
}

RenderResult frameAreaValues(const FrameSource &source, const FrameStyle &style, const FrameArea &area,
                             double *values, double *distances, int threads, const std::atomic<int> *stop,
                             RenderProgress progress, void *context) {
    static const ChannelTables none = ChannelTables();
    FrameJob job = jobOf(source, style, none, stop);
    job.values = values;
    job.distances = distances;
    job.area = area;
    const RenderGrid rows = {area.width, area.height, 0, nullptr};
    return renderRows(rows, threads, stop, valuesRowOfPixels, &job, progress, context);
}

void colourValuesRow(const FrameStyle &style, const ChannelTables &tables, const CountHistogram *histogram,
                     int detail, const double *const *rows, const double *const *distances, unsigned char *out) {
    thread_local Scratch s;
    const int n = style.aa < 1 ? 1 : style.aa;
    if (!style.coloured) {
        for (int i = 0; i < style.width; ++i)
            out[i] = gridValue(rows[1][i] == INSIDE_VALUE ? detail : (int)rows[1][i], detail);
        return;
    }
    auto colour = [&](int a, unsigned char *rgb) {
        valueSampleColours(style, tables, histogram, detail, rows, distances, a, s, rgb);
        return 1;
    };
    if (n == 1) colour(0, out);
    else meanOfSampleRows(n, style.width, s, colour, out);
}
