#include "render/frame.h"

#include <stdint.h>
#include <string.h>

#include <vector>

#include "colour/palette.h"
#include "core/kernels_simd.h"
#include "core/state.h"
#include "colour/linear_light.h"
#include "colour/smooth.h"

namespace {

struct FrameJob {
    int type;
    KernelView samples;  // the view at aa * width x aa * height cells
    FrameStyle style;
    const DeepEngine *deep;  // or null: the kernels
    DeepView deepView;
    const std::atomic<int> *stop;
};

// Each worker's buffers for one row of samples, kept between rows.
struct Scratch {
    std::vector<unsigned char> values, colours;
    std::vector<int> counts;
    std::vector<OrbitEnd> ends;
    std::vector<uint32_t> light;
};

void colourValues(const unsigned char *values, int cells, unsigned char *rgb) {
    for (int c = 0; c < cells; ++c, rgb += 3) {
        rgb[0] = PaletteR[values[c]];
        rgb[1] = PaletteG[values[c]];
        rgb[2] = PaletteB[values[c]];
    }
}

// A deep sample row: its counts and ends, then the colours of either.
int deepSampleRow(const FrameJob &job, int row, Scratch &s, unsigned char *rgb) {
    const KernelView &v = job.samples;
    s.counts.resize((size_t)v.width);
    s.ends.resize((size_t)v.width);
    if (!deepViewRow(*job.deep, job.deepView, row, s.counts.data(), s.ends.data(), job.stop)) return 0;
    if (job.style.smooth) {
        smoothRow(job.type, v, row, s.counts.data(), s.ends.data(), rgb);
        return 1;
    }
    s.values.resize((size_t)v.width);
    for (int i = 0; i < v.width; ++i) s.values[(size_t)i] = gridValue(s.counts[(size_t)i], v.detail);
    colourValues(s.values.data(), v.width, rgb);
    return 1;
}

// The colours of sample row `row`, view.width cells of three bytes; 0 when
// a stop cut a deep row short.
int sampleRow(const FrameJob &job, int row, Scratch &s, unsigned char *rgb) {
    const KernelView &v = job.samples;
    if (job.deep) return deepSampleRow(job, row, s, rgb);
    if (!job.style.smooth) {
        s.values.resize((size_t)v.width);
        computeRow(job.type, v, row, s.values.data());
        colourValues(s.values.data(), v.width, rgb);
        return 1;
    }
    s.counts.resize((size_t)v.width);
    s.ends.resize((size_t)v.width);
    countRowEndsWith(fastestKernelPath(), job.type, v, row, s.counts.data(), s.ends.data());
    smoothRow(job.type, v, row, s.counts.data(), s.ends.data(), rgb);
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

int frameRow(int row, unsigned char *out, void *context) {
    const FrameJob &job = *(const FrameJob *)context;
    thread_local Scratch s;
    const int n = job.style.aa, pixels = job.style.width;
    if (n == 1) return sampleRow(job, row, s, out);
    const LinearLight &light = linearLight();
    s.colours.resize((size_t)job.samples.width * 3);
    s.light.assign((size_t)pixels * 3, 0);
    for (int a = 0; a < n; ++a) {
        if (!sampleRow(job, row * n + a, s, s.colours.data())) return 0;
        addLight(light, s.colours.data(), pixels, n, s.light.data());
    }
    const uint32_t samples = (uint32_t)(n * n);
    for (size_t k = 0; k < (size_t)pixels * 3; ++k) out[k] = encodeMean(light, s.light[k], samples);
    return 1;
}

RenderResult renderFrameFrom(FrameJob &job, const FractalParams &params, unsigned char *rgb, int threads,
                             const std::atomic<int> *stop, RenderProgress progress, void *context) {
    const FrameStyle &style = job.style;
    const int n = style.aa < 1 ? 1 : style.aa;
    job.type = params.type;
    job.samples = kernelViewFor(params, style.width * n, style.height * n);
    job.style.aa = n;
    job.stop = stop;
    const RenderGrid rows = {style.width, style.height, (size_t)style.width * 3, rgb};
    return renderRows(rows, threads, stop, frameRow, &job, progress, context);
}

}  // namespace

RenderResult renderFrame(const FractalParams &params, const FrameStyle &style, unsigned char *rgb, int threads,
                         const std::atomic<int> *stop, RenderProgress progress, void *context) {
    FrameJob job = {};
    job.style = style;
    return renderFrameFrom(job, params, rgb, threads, stop, progress, context);
}

RenderResult renderDeepFrame(const DeepEngine &engine, const DeepView &view, const FractalParams &params,
                             const FrameStyle &style, unsigned char *rgb, int threads, const std::atomic<int> *stop,
                             RenderProgress progress, void *context) {
    FrameJob job = {};
    job.style = style;
    job.deep = &engine;
    job.deepView = view;
    return renderFrameFrom(job, params, rgb, threads, stop, progress, context);
}
