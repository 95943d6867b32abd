// The render loop: rows shared out among threads from one counter must give
// the plain double loop's bytes, whatever the thread count, write nothing
// outside the grid, and stop between rows when asked. Coloured frames
// (smooth, anti-aliased) are the same bytes on any thread count and path.
// A poster's tiles, each written while the next is computed, and their
// join, coloured ahead of its writer, are the one-run still.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <set>
#include <vector>

#include "colour/palette.h"
#include "core/kernels.h"
#include "core/kernels_simd.h"
#include "render/frame.h"
#include "render/rows.h"
#include "render/run.h"

namespace {

// Outside the block: a value no kernel output may leave behind unnoticed.
const unsigned char PAD = 0xA5;

struct PaddedGrid {
    std::vector<unsigned char> bytes;
    RenderGrid grid;
    PaddedGrid(int width, int height, int pad) : bytes((size_t)(width + pad) * height + pad, PAD) {
        grid = RenderGrid{width, height, (size_t)(width + pad), bytes.data()};
    }
    const unsigned char *row(int r) const { return grid.cells + grid.stride * (size_t)r; }
};

// The reference: the program's mapping written out, one cell at a time.
std::vector<unsigned char> scalarRow(const FractalParams &p, int width, int height, int row) {
    const KernelView v = {width,    p.detail, p.xStart, (p.xEnd - p.xStart) / width,
                          p.yStart, (p.yEnd - p.yStart) / height, p.xPivot, p.yPivot};
    std::vector<unsigned char> out((size_t)width);
    computeRowScalar(p.type, v, row, out.data());
    return out;
}

void expectScalarBytes(const FractalParams &p, const PaddedGrid &g, const char *what) {
    for (int r = 0; r < g.grid.height; ++r) {
        const std::vector<unsigned char> want = scalarRow(p, g.grid.width, g.grid.height, r);
        ASSERT_EQ(0, memcmp(want.data(), g.row(r), want.size())) << what << ", row " << r;
        for (size_t k = (size_t)g.grid.width; k < g.grid.stride && r + 1 < g.grid.height; ++k)
            ASSERT_EQ(PAD, g.row(r)[k]) << what << ": wrote past the row " << r;
    }
    EXPECT_EQ(PAD, g.bytes.back()) << what << ": wrote past the grid";
}

TEST(RenderGrid, MappingIsTheProgramsScaleRule) {
    const FractalParams p = {MANDELBROT_TYPE, 50, -0.75, -0.65, 0.1, 0.2, 0.25, -0.5};
    const KernelView v = kernelViewFor(p, 3000, 2000);
    EXPECT_EQ(3000, v.width);
    EXPECT_EQ(50, v.detail);
    EXPECT_EQ(-0.75, v.xStart);
    EXPECT_EQ((-0.65 - -0.75) / 3000.0, v.xScale);
    EXPECT_EQ(0.1, v.yStart);
    EXPECT_EQ((0.2 - 0.1) / 2000.0, v.yScale);
    EXPECT_EQ(0.25, v.xPivot);
    EXPECT_EQ(-0.5, v.yPivot);
}

TEST(RenderGrid, EveryTypeGivesTheScalarBytesOnAnyThreadCount) {
    // Odd sizes, so vector paths meet ragged row ends; pivots away from 0.
    for (int type = 0; type < 10; ++type) {
        const FractalParams p = {type, 97, -1.7, 1.3, -1.1, 1.25, -0.4, 0.6};
        for (int threads : {1, 2, 3, 8}) {
            PaddedGrid g(61, 37, 5);
            ASSERT_EQ(RENDER_DONE, renderGrid(p, g.grid, threads, nullptr, nullptr, nullptr));
            const std::string what = "type " + std::to_string(type) + ", " + std::to_string(threads) + " threads";
            expectScalarBytes(p, g, what.c_str());
        }
    }
}

TEST(RenderGrid, MoreThreadsThanRowsAndOneCellPictures) {
    const FractalParams p = {JULIA_TYPE, 200, -1.5, 1.5, -1.5, 1.5, -0.8, 0.156};
    PaddedGrid few(300, 3, 1);
    ASSERT_EQ(RENDER_DONE, renderGrid(p, few.grid, 64, nullptr, nullptr, nullptr));
    expectScalarBytes(p, few, "3 rows on 64 threads");
    PaddedGrid one(1, 1, 1);
    ASSERT_EQ(RENDER_DONE, renderGrid(p, one.grid, 4, nullptr, nullptr, nullptr));
    expectScalarBytes(p, one, "1 x 1");
}

struct ProgressLog {
    std::vector<int> done;
    int total = -1;
    std::atomic<int> *stop = nullptr;
    int stopAfter = -1;
};

void logProgress(int done, int total, void *context) {
    ProgressLog &log = *(ProgressLog *)context;
    log.done.push_back(done);
    log.total = total;
    if (log.stop && done >= log.stopAfter) log.stop->store(1);
}

TEST(RenderGrid, ProgressRisesToTheRowCount) {
    // Slow enough that the waiting thread reports more than the final count.
    const FractalParams p = {M_COSINE_TYPE, 1000, -0.3, 0.3, -0.3, 0.3, 0, 0};
    PaddedGrid g(100, 60, 0);
    ProgressLog log;
    ASSERT_EQ(RENDER_DONE, renderGrid(p, g.grid, 2, nullptr, logProgress, &log));
    ASSERT_FALSE(log.done.empty());
    EXPECT_EQ(60, log.total);
    EXPECT_EQ(60, log.done.back());
    for (size_t k = 1; k < log.done.size(); ++k) EXPECT_LE(log.done[k - 1], log.done[k]);
}

TEST(RenderGrid, AStopBeforeTheFirstRowComputesNothing) {
    const FractalParams p = {MANDELBROT_TYPE, 50, -2, 1, -1.5, 1.5, 0, 0};
    PaddedGrid g(40, 30, 0);
    std::atomic<int> stop{2};
    EXPECT_EQ(RENDER_STOPPED, renderGrid(p, g.grid, 3, &stop, nullptr, nullptr));
    for (unsigned char b : g.bytes) ASSERT_EQ(PAD, b);
}

TEST(RenderGrid, AStopMidwayEndsBetweenRows) {
    // M-Cosine rows take long on every processor (no vector path, the C
    // library's cosine every step; seconds in all): the stop comes after a
    // few rows, and far from all of them get done.
    const FractalParams p = {M_COSINE_TYPE, 1000, -0.3, 0.3, -0.3, 0.3, 0, 0};
    PaddedGrid g(800, 800, 0);
    std::atomic<int> stop{0};
    ProgressLog log;
    log.stop = &stop;
    log.stopAfter = 1;
    EXPECT_EQ(RENDER_STOPPED, renderGrid(p, g.grid, 2, &stop, logProgress, &log));
    const int done = log.done.back();
    EXPECT_LT(done, 800);
    // Rows are taken in order and a taken row is always finished: the done
    // rows are the first ones, whole, and the rest are untouched.
    for (int r = 0; r < done; ++r) {
        const std::vector<unsigned char> want = scalarRow(p, 800, 800, r);
        ASSERT_EQ(0, memcmp(want.data(), g.row(r), want.size())) << "row " << r;
    }
    for (int r = done; r < 800; ++r)
        for (int c = 0; c < 800; ++c) ASSERT_EQ(PAD, g.row(r)[c]) << "row " << r << " was started";
}

std::vector<unsigned char> frameOf(const FractalParams &p, FrameStyle style, int threads) {
    std::vector<unsigned char> rgb((size_t)style.width * style.height * 3 + 1, PAD);
    EXPECT_EQ(RENDER_DONE, renderFrame(FrameSource{p, nullptr, DeepView()}, style, programChannelTables(), rgb.data(),
                                       threads, nullptr, nullptr, nullptr));
    EXPECT_EQ(PAD, rgb.back()) << "wrote past the frame";
    return rgb;
}

TEST(RenderFrame, APlainFrameIsTheStillsColours) {
    srand(1959);
    DISPLAY_PALLETE_CREATE();
    paletteR = 2, paletteG = 8, paletteB = 5;
    DISPLAY_PALLETE_APPLY();
    const FractalParams p = {M_PHOENIX_TYPE, 120, -1.9, 1.1, -1.3, 1.4, 0, 0};
    const std::vector<unsigned char> rgb = frameOf(p, FrameStyle{53, 31, 1, 0, 1}, 2);
    for (int r = 0; r < 31; ++r) {
        const std::vector<unsigned char> values = scalarRow(p, 53, 31, r);
        for (int c = 0; c < 53; ++c) {
            const unsigned char *px = &rgb[((size_t)r * 53 + c) * 3], v = values[(size_t)c];
            ASSERT_TRUE(px[0] == PaletteR[v] && px[1] == PaletteG[v] && px[2] == PaletteB[v]) << r << "," << c;
        }
    }
}

TEST(RenderFrame, SmoothAndAntiAliasedFramesAreTheSameOnEveryThreadCountAndPath) {
    srand(1959);
    DISPLAY_PALLETE_CREATE();
    paletteR = 5, paletteG = 7, paletteB = 4;
    DISPLAY_PALLETE_APPLY();
    for (int type = 0; type < 10; ++type) {
        const FractalParams p = {type, 150, -1.7, 1.3, 1.1, -1.25, -0.4, 0.6};  // y mirrored
        for (FrameStyle style : {FrameStyle{45, 29, 1, 1, 1}, FrameStyle{37, 23, 3, 0, 1}, FrameStyle{19, 13, 4, 1, 1}}) {
            const std::vector<unsigned char> first = frameOf(p, style, 1);
            for (int threads : {2, 7})
                ASSERT_TRUE(first == frameOf(p, style, threads)) << "type " << type << ", " << threads << " threads";
            for (int path = PLAIN_PATH; path < KERNEL_PATHS; ++path) {
                if (!overrideKernelPath((KernelPath)path)) continue;
                const bool same = first == frameOf(p, style, 2);
                clearKernelPathOverride();
                ASSERT_TRUE(same) << "type " << type << " on " << kernelPathName((KernelPath)path);
            }
        }
    }
}

// Histograms and slopes read the whole picture and the rows beside each
// row, which other threads make, and distances step orbits again: still the same bytes on any thread count
// and kernel path, and each look really changes the picture.
TEST(RenderFrame, LooksThatReadThePictureAreTheSameOnEveryThreadCountAndPath) {
    std::unique_ptr<GradientTable> table(new GradientTable);
    Gradient g;
    ASSERT_TRUE(namedGradient("twilight", g));
    fillGradientTable(g, *table);
    const Colouring looks[] = {{COLOUR_HISTOGRAM, 0, 0, 1, 30.0, 0.5, table.get()},
                               {COLOUR_LOG, 0.05, 0.25, 1, 200.0, 2.0, table.get()},
                               {COLOUR_CYCLIC, 7.0, 0.0, 0, 0, 0, table.get()},
                               {COLOUR_HISTOGRAM, 0, 0, 1, 30.0, 0.5, table.get(), 0, 1, 1.5},  // distance
                               {COLOUR_BANDS, 0, 0, 0, 0, 0, table.get(), 200, 1, 0.5}};
    std::set<std::vector<unsigned char>> pictures;
    for (int type : {MANDELBROT_TYPE, JULIA_TYPE, J_DRAGON_TYPE, M_PHOENIX_TYPE}) {
        const FractalParams p = {type, 200, -1.9, 1.1, 1.2, -1.3, -0.4, 0.6};
        for (const Colouring &look : looks) {
            for (FrameStyle style : {FrameStyle{41, 27, 1, 1, 1}, FrameStyle{23, 17, 3, 0, 1}}) {
                style.look = &look;
                const std::vector<unsigned char> first = frameOf(p, style, 1);
                pictures.insert(first);
                ASSERT_TRUE(first == frameOf(p, style, 7)) << "type " << type << ", look " << look.mapping;
                for (int path = PLAIN_PATH; path < KERNEL_PATHS; ++path) {
                    if (!overrideKernelPath((KernelPath)path)) continue;
                    const bool same = first == frameOf(p, style, 2);
                    clearKernelPathOverride();
                    ASSERT_TRUE(same) << "type " << type << " on " << kernelPathName((KernelPath)path);
                }
            }
        }
    }
    EXPECT_EQ(4u * 5 * 2, pictures.size()) << "every look and style its own picture";
}

TEST(RenderTiles, TilesWrittenAndJoinedOnTwoThreadsAreTheStill) {
    char made[] = "/tmp/quorvex-threaded-tiles-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(made));
    const std::string dir = made, pattern = dir + "/t%d", one = dir + "/one.png", joined = dir + "/joined.png";
    RenderOptions o = defaultRenderOptions();
    o.params = FractalParams{MANDELBROT_TYPE, 300, -2.0, 1.0, -1.0, 1.0, 0, 0};
    o.width = 61, o.height = 37, o.smooth = 1, o.aa = 2, o.threads = 2, o.outputKind = OUTPUT_PNG;
    char reason[RENDER_REASON_SIZE] = "";
    auto run = [&](RenderOptions r, const std::string &out) {
        r.outputPath = out.c_str();
        EXPECT_EQ(RUN_WRITTEN, runRender(r, nullptr, nullptr, reason)) << reason;
    };
    run(o, one);
    o.given |= GIVEN_TILES, o.tileColumns = 3, o.tileRows = 4, o.firstTile = 0, o.lastTile = 11;
    run(o, pattern);
    o.joinPattern = pattern.c_str();
    run(o, joined);
    auto slurp = [](const std::string &path) {
        std::ostringstream all;
        all << std::ifstream(path, std::ios::binary).rdbuf();
        return all.str();
    };
    EXPECT_TRUE(slurp(one) == slurp(joined));
    EXPECT_EQ(0, system(("rm -rf '" + dir + "'").c_str()));
}

}  // namespace
