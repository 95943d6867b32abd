#include "tools/render/frame.h"

#include <stdint.h>
#include <string.h>

#include <vector>

#include "colour/palette.h"
#include "core/kernels_simd.h"
#include "tools/render/linear_light.h"
#include "tools/render/smooth.h"

namespace {

struct FrameJob {
    int type;
    KernelView samples;  // the view at aa * width x aa * height cells
    FrameStyle style;
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

// The colours of sample row `row`, view.width cells of three bytes.
void sampleRow(const FrameJob &job, int row, Scratch &s, unsigned char *rgb) {
    const KernelView &v = job.samples;
    if (!job.style.smooth) {
        s.values.resize((size_t)v.width);
        computeRow(job.type, v, row, s.values.data());
        colourValues(s.values.data(), v.width, rgb);
        return;
    }
    s.counts.resize((size_t)v.width);
    s.ends.resize((size_t)v.width);
    countRowEndsWith(fastestKernelPath(), job.type, v, row, s.counts.data(), s.ends.data());
    smoothRow(job.type, v, row, s.counts.data(), s.ends.data(), rgb);
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
    if (n == 1) {
        sampleRow(job, row, s, out);
        return 1;
    }
    const LinearLight &light = linearLight();
    s.colours.resize((size_t)job.samples.width * 3);
    s.light.assign((size_t)pixels * 3, 0);
    for (int a = 0; a < n; ++a) {
        sampleRow(job, row * n + a, s, s.colours.data());
        addLight(light, s.colours.data(), pixels, n, s.light.data());
    }
    const uint32_t samples = (uint32_t)(n * n);
    for (size_t k = 0; k < (size_t)pixels * 3; ++k) out[k] = encodeMean(light, s.light[k], samples);
    return 1;
}

}  // namespace

RenderResult renderFrame(const FractalParams &params, const FrameStyle &style, unsigned char *rgb, int threads,
                         const std::atomic<int> *stop, RenderProgress progress, void *context) {
    const int n = style.aa < 1 ? 1 : style.aa;
    FrameJob job = {params.type, kernelViewFor(params, style.width * n, style.height * n), style};
    job.style.aa = n;
    const RenderGrid rows = {style.width, style.height, (size_t)style.width * 3, rgb};
    return renderRows(rows, threads, stop, frameRow, &job, progress, context);
}
