// A whole headless render in-process: the files it writes against the
// program's own writers and export, what --from takes from a saved file,
// interrupted and failed writes leaving nothing behind, and the progress
// line.
#include <dirent.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <atomic>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "colour/palette.h"
#include "core/kernels.h"
#include "core/state.h"
#include "files/paramfile.h"
#include "files/pnm.h"
#include "tools/render/output.h"
#include "tools/render/progress.h"
#include "tools/render/run.h"

namespace {

std::string slurp(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

std::vector<std::string> entries(const std::string &dir) {
    std::vector<std::string> names;
    DIR *d = opendir(dir.c_str());
    if (!d) return names;
    while (dirent *e = readdir(d))
        if (strcmp(e->d_name, ".") && strcmp(e->d_name, "..")) names.push_back(e->d_name);
    closedir(d);
    return names;
}

std::vector<unsigned char> scalarGrid(const FractalParams &p, int width, int height) {
    const KernelView v = {width,    p.detail, p.xStart, (p.xEnd - p.xStart) / width,
                          p.yStart, (p.yEnd - p.yStart) / height, p.xPivot, p.yPivot};
    std::vector<unsigned char> grid((size_t)width * height);
    for (int r = 0; r < height; ++r) computeRowScalar(p.type, v, r, grid.data() + (size_t)r * width);
    return grid;
}

class RenderRun : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/quorvex-render-run-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(pattern));
        dir = pattern;
        options = defaultRenderOptions();
        options.threads = 2;
    }
    void TearDown() override {
        const std::string rm = "rm -rf '" + dir + "'";
        if (system(rm.c_str()) != 0) ADD_FAILURE() << "cannot remove " << dir;
    }
    std::string path(const char *name) const { return dir + "/" + name; }

    RunResult run(const std::string &output, const std::atomic<int> *stop = nullptr) {
        out = output;
        options.outputPath = out.c_str();
        const bool known = outputKindOf(out.c_str(), &options.outputKind);
        EXPECT_TRUE(known) << out;
        reason[0] = '\0';
        return runRender(options, stop, nullptr, reason);
    }
    void given(int bits) { options.given |= bits; }

    // A parameter file as the program saves it: a J-Cosine grid, 400 x 300.
    std::string savedFile(const char *name, const char *typeName = "J-Cosine") {
        std::unique_ptr<FractalFile> f(new FractalFile);
        memset(f.get(), 0, sizeof *f);
        snprintf(f->typeName, sizeof f->typeName, "%s", typeName);
        f->detail = 60;
        f->xStart = -1.5, f->xEnd = 1.25, f->xPivot = 0.375;
        f->yStart = -1.0, f->yEnd = 1.0625, f->yPivot = -0.5;
        f->width = 400, f->height = 300;
        savedParams = FractalParams{J_COSINE_TYPE, 60, -1.5, 1.25, -1.0, 1.0625, 0.375, -0.5};
        const std::vector<unsigned char> grid = scalarGrid(savedParams, 400, 300);
        for (int r = 0; r < 300; ++r) memcpy(f->grid + r * GRID_SIZE, &grid[(size_t)r * 400], 400);
        const std::string p = path(name);
        EXPECT_TRUE(writeFractalFile(p.c_str(), *f, nullptr));
        return p;
    }

    std::string dir, out;
    RenderOptions options;
    FractalParams savedParams;
    char reason[RENDER_REASON_SIZE];
};

TEST_F(RenderRun, GreyOutputIsTheScalarGridAsAPgm) {
    options.params = FractalParams{M_PHOENIX_TYPE, 150, -1.9, 1.1, -1.3, 1.4, 0, 0};
    options.width = 321, options.height = 123;
    ASSERT_EQ(RUN_WRITTEN, run(path("a.pgm"))) << reason;
    const std::vector<unsigned char> want = scalarGrid(options.params, 321, 123);
    const std::string file = slurp(out);
    const std::string header = "P5\n321 123\n255\n";
    ASSERT_EQ(header.size() + want.size(), file.size());
    EXPECT_EQ(header, file.substr(0, header.size()));
    EXPECT_EQ(0, memcmp(want.data(), file.data() + header.size(), want.size()));
}

TEST_F(RenderRun, PictureLayoutIsThePnmModulesLayout) {
    // A grid with a stride wider than its rows, written both ways.
    std::vector<unsigned char> cells(7 * 5);
    for (size_t k = 0; k < cells.size(); ++k) cells[k] = (unsigned char)(k * 37);
    const RenderGrid grid = {5, 5, 7, cells.data()};
    std::vector<unsigned char> packed, rgb;
    for (int r = 0; r < 5; ++r)
        for (int c = 0; c < 5; ++c) packed.push_back(cells[r * 7 + c]);
    srand(1959);
    DISPLAY_PALLETE_CREATE();
    paletteR = 8, paletteG = 5, paletteB = 1;
    DISPLAY_PALLETE_APPLY();
    for (unsigned char v : packed) rgb.insert(rgb.end(), {PaletteR[v], PaletteG[v], PaletteB[v]});
    const PictureJob job = {grid, nullptr, nullptr, nullptr};
    for (int colour : {0, 1}) {
        const std::string mine = path(colour ? "mine.ppm" : "mine.pgm");
        const std::string theirs = path(colour ? "theirs.ppm" : "theirs.pgm");
        ASSERT_TRUE(writePictureFile(mine.c_str(), colour ? OUTPUT_PPM : OUTPUT_PGM, job, reason)) << reason;
        ASSERT_TRUE(writePnmImage(theirs.c_str(), colour ? rgb.data() : packed.data(), 5, 5, colour, nullptr));
        EXPECT_EQ(slurp(theirs), slurp(mine)) << (colour ? "P6" : "P5");
    }
}

TEST_F(RenderRun, FromASavedFileColoursItLikeTheProgramsExport) {
    const std::string saved = savedFile("saved.frc");
    // The program: load the file, pick the ramps, Export.
    ASSERT_EQ(1, LOAD_FRACTAL(const_cast<char *>(saved.c_str()))) << fileError;
    srand(1959);
    DISPLAY_PALLETE_CREATE();
    paletteR = 3, paletteG = 8, paletteB = 6;
    DISPLAY_PALLETE_APPLY();
    const std::string exported = path("exported.ppm");
    ASSERT_EQ(1, EXPORT_FRACTAL(const_cast<char *>(exported.c_str()))) << fileError;
    // The renderer, from a different start: its own palette, same ramps.
    paletteR = paletteG = paletteB = 0;
    DISPLAY_PALLETE_APPLY();
    options.fromPath = saved.c_str();
    options.ramps[0] = 3, options.ramps[1] = 8, options.ramps[2] = 6;
    ASSERT_EQ(RUN_WRITTEN, run(path("rendered.ppm"))) << reason;
    const std::string want = slurp(exported);
    EXPECT_EQ(400u * 300 * 3 + 15, want.size());
    EXPECT_TRUE(want == slurp(out)) << "the rendered file differs from the export";
}

TEST_F(RenderRun, FromASavedFileWithoutSizeKeepsItsGridAndHeader) {
    const std::string saved = savedFile("saved.frc");
    options.fromPath = saved.c_str();
    ASSERT_EQ(RUN_WRITTEN, run(path("copy.frc"))) << reason;
    EXPECT_EQ(slurp(saved), slurp(out)) << "colouring nothing, changing nothing";
}

TEST_F(RenderRun, FromASavedFileWithASizeComputesItAgain) {
    const std::string saved = savedFile("saved.frc");
    options.fromPath = saved.c_str();
    options.width = 77, options.height = 51;
    given(GIVEN_SIZE);
    ASSERT_EQ(RUN_WRITTEN, run(path("bigger.frc"))) << reason;
    std::unique_ptr<FractalFile> f(new FractalFile);
    ASSERT_TRUE(readFractalFile(out.c_str(), *f, reason)) << reason;
    EXPECT_STREQ("J-Cosine", f->typeName);
    EXPECT_EQ(60, f->detail);
    EXPECT_EQ(0.375, f->xPivot);
    EXPECT_EQ(1.0625, f->yEnd);
    ASSERT_EQ(77, f->width);
    ASSERT_EQ(51, f->height);
    const std::vector<unsigned char> want = scalarGrid(savedParams, 77, 51);
    for (int r = 0; r < 51; ++r)
        ASSERT_EQ(0, memcmp(&want[(size_t)r * 77], f->grid + r * GRID_SIZE, 77)) << "row " << r;
}

TEST_F(RenderRun, OptionsBesideTheFileOverrideItAndRecompute) {
    const std::string saved = savedFile("saved.frc");
    options.fromPath = saved.c_str();
    options.params.detail = 40;
    given(GIVEN_DETAIL);
    ASSERT_EQ(RUN_WRITTEN, run(path("less.pgm"))) << reason;
    FractalParams p = savedParams;
    p.detail = 40;
    const std::vector<unsigned char> want = scalarGrid(p, 400, 300);  // the file's size
    const std::string file = slurp(out);
    ASSERT_EQ(want.size() + 15, file.size());
    EXPECT_EQ(0, memcmp(want.data(), file.data() + 15, want.size()));
}

TEST_F(RenderRun, AnUnknownTypeCanBeColouredButNotComputed) {
    const std::string saved = savedFile("odd.frc", "Mandelbrot2");
    options.fromPath = saved.c_str();
    ASSERT_EQ(RUN_WRITTEN, run(path("odd.pgm"))) << reason;
    options.width = options.height = 10;
    given(GIVEN_SIZE);
    EXPECT_EQ(RUN_FAILED, run(path("odd10.pgm")));
    EXPECT_NE(nullptr, strstr(reason, "Mandelbrot2")) << reason;
    EXPECT_NE(nullptr, strstr(reason, "--type")) << reason;
    options.params.type = JULIA_TYPE;
    given(GIVEN_TYPE);
    EXPECT_EQ(RUN_WRITTEN, run(path("julia10.pgm"))) << reason;
    EXPECT_EQ(3u, entries(dir).size()) << "odd.frc, odd.pgm and julia10.pgm only";
}

TEST_F(RenderRun, ARefusedFileIsAFailureThatWritesNothing) {
    const std::string saved = savedFile("saved.frc");
    std::string bytes = slurp(saved);
    const struct {
        const char *name;
        std::string content;
    } damaged[] = {
        {"short.frc", bytes.substr(0, bytes.size() - 1)},
        {"magic.frc", "QUORVEZ" + bytes.substr(7)},
        {"empty.frc", ""},
    };
    for (const auto &d : damaged) {
        std::ofstream(path(d.name), std::ios::binary) << d.content;
        const std::string from = path(d.name);
        options.fromPath = from.c_str();
        EXPECT_EQ(RUN_FAILED, run(path("out.png"))) << d.name;
        EXPECT_NE(nullptr, strstr(reason, d.name)) << reason;
    }
    const std::string missing = path("missing.frc");
    options.fromPath = missing.c_str();
    EXPECT_EQ(RUN_FAILED, run(path("out.png")));
    EXPECT_EQ(4u, entries(dir).size()) << "the saved file and the three damaged ones, nothing else";
}

TEST_F(RenderRun, AnUnwritablePlaceFailsBeforeComputing) {
    options.params.detail = 5000;
    options.width = options.height = 16384;  // would take minutes
    ASSERT_EQ(0, system(("mkdir '" + path("sub.png") + "'").c_str()));
    EXPECT_EQ(RUN_FAILED, run(path("sub.png")));
    EXPECT_NE(nullptr, strstr(reason, "directory")) << reason;
    EXPECT_EQ(RUN_FAILED, run(path("no/such/dir.png")));
    EXPECT_NE(nullptr, strstr(reason, "no/such")) << reason;
    EXPECT_EQ(1u, entries(dir).size());
}

TEST_F(RenderRun, AStopLeavesNoFileAndNoTemporary) {
    std::atomic<int> stop{1};
    options.width = options.height = 300;
    EXPECT_EQ(RUN_INTERRUPTED, run(path("stopped.png"), &stop));
    // The writer on its own, stopped: the temporary is removed.
    std::vector<unsigned char> cells(300 * 300, 7);
    const RenderGrid grid = {300, 300, 300, cells.data()};
    const PictureJob job = {grid, &stop, nullptr, nullptr};
    for (RenderOutputKind kind : {OUTPUT_PNG, OUTPUT_PPM, OUTPUT_PGM}) {
        EXPECT_FALSE(writePictureFile(path("stopped.png").c_str(), kind, job, reason));
        EXPECT_STREQ(WRITE_INTERRUPTED, reason);
    }
    EXPECT_TRUE(entries(dir).empty()) << entries(dir).front();
}

struct StopPartWay {
    std::atomic<int> *stop;
    int after;
};

void stopWhenReached(int done, int, void *context) {
    StopPartWay &s = *(StopPartWay *)context;
    if (done >= s.after) s.stop->store(1);
}

TEST_F(RenderRun, AStopWhileWritingKeepsTheEarlierFile) {
    const std::string target = path("kept.ppm");
    std::ofstream(target) << "earlier";
    std::vector<unsigned char> cells(500 * 400, 9);
    std::atomic<int> stop{0};
    StopPartWay when = {&stop, 100};
    const PictureJob job = {RenderGrid{500, 400, 500, cells.data()}, &stop, stopWhenReached, &when};
    for (RenderOutputKind kind : {OUTPUT_PNG, OUTPUT_PPM, OUTPUT_PGM}) {
        stop = 0;
        EXPECT_FALSE(writePictureFile(target.c_str(), kind, job, reason));
        EXPECT_EQ("earlier", slurp(target));
    }
    EXPECT_EQ(1u, entries(dir).size());
}

// ---- locations ----------------------------------------------------------------

class RenderLocation : public RenderRun {
protected:
    // The options of a command line (the arguments live in `args`).
    RunResult runArgs(std::vector<std::string> given, const std::atomic<int> *stop = nullptr) {
        args = std::move(given);
        args.insert(args.begin(), "quorvex-render");
        std::vector<char *> argv;
        for (std::string &a : args) argv.push_back(&a[0]);
        options = defaultRenderOptions();
        EXPECT_EQ(RENDER_PARSE_OK, parseRenderOptions((int)argv.size(), argv.data(), options, reason)) << reason;
        reason[0] = '\0';
        return runRender(options, stop, nullptr, reason);
    }
    std::vector<std::string> args;
};

const char *const MISIUREWICZ = "--center=0,1";  // preperiodic: detail at every depth

TEST_F(RenderLocation, AShallowLocationIsItsViewThroughTheKernels) {
    ASSERT_EQ(RUN_WRITTEN, runArgs({MISIUREWICZ, "--width", "1e-11", "--detail", "700", "--size", "96x40",
                                    path("shallow.pgm")})) << reason;
    const std::vector<unsigned char> want = scalarGrid(options.params, 96, 40);
    EXPECT_EQ(0, memcmp(want.data(), slurp(path("shallow.pgm")).data() + 13, want.size()));
}

TEST_F(RenderLocation, ADeepPictureIsTheSameOnAnyThreadCountAndFromItsSavedLocation) {
    std::string first;
    for (const char *threads : {"1", "2", "7"}) {
        ASSERT_EQ(RUN_WRITTEN, runArgs({MISIUREWICZ, "--width", "3e-31", "--detail", "2000", "--size", "160x90",
                                        "--threads", threads, "--save-location", path("deep.qloc"), path("deep.pgm")}))
            << reason;
        const std::string picture = slurp(path("deep.pgm"));
        if (first.empty()) first = picture;
        EXPECT_TRUE(first == picture) << threads << " threads";
    }
    EXPECT_GT(std::set<char>(first.begin() + 14, first.end()).size(), 5u) << "many counts, not one colour";
    ASSERT_EQ(RUN_WRITTEN, runArgs({"--location", path("deep.qloc"), "--size", "160x90", path("again.pgm")})) << reason;
    EXPECT_TRUE(first == slurp(path("again.pgm")));
    EXPECT_NE(std::string::npos, slurp(path("deep.qloc")).find("\ncenter 0,1\nwidth 3e-31\n"));
}

TEST_F(RenderLocation, AStopDuringTheReferenceLeavesNothing) {
    std::atomic<int> stop{1};
    EXPECT_EQ(RUN_INTERRUPTED, runArgs({MISIUREWICZ, "--width", "1e-50", "--detail", "8000000", "--save-location",
                                        path("x.qloc"), path("x.png")}, &stop));
    EXPECT_TRUE(entries(dir).empty());
}

TEST(RenderProgress, TheLineShowsRowsPercentAndTimeLeft) {
    char line[PROGRESS_LINE];
    formatProgress(line, sizeof line, "rendering", 1024, 4096, 30.0);
    EXPECT_STREQ("rendering [#####...............] 1024/4096 rows  25%  1:30 left", line);
    formatProgress(line, sizeof line, "rendering", 0, 4096, 3.0);
    EXPECT_STREQ("rendering [....................]    0/4096 rows   0%  --:-- left", line);
    formatProgress(line, sizeof line, "writing", 7, 7, 9.0);
    EXPECT_STREQ("writing [####################] 7/7 rows 100%  0:00 left", line);
    formatProgress(line, sizeof line, "rendering", 1, 65536, 10.0);
    EXPECT_NE(nullptr, strstr(line, "182:02:30 left")) << line;
}

TEST(RenderProgress, Durations) {
    char text[32];
    formatDuration(text, sizeof text, 0.4);
    EXPECT_STREQ("0:00", text);
    formatDuration(text, sizeof text, 59.6);
    EXPECT_STREQ("1:00", text);
    formatDuration(text, sizeof text, 3599.0);
    EXPECT_STREQ("59:59", text);
    formatDuration(text, sizeof text, 3600.0);
    EXPECT_STREQ("1:00:00", text);
    formatDuration(text, sizeof text, -5.0);
    EXPECT_STREQ("0:00", text);
}

TEST(RenderProgress, ADisabledBarPrintsNothingAndAnEnabledOneCleansUp) {
    char *text = nullptr;
    size_t size = 0;
    FILE *out = open_memstream(&text, &size);
    ASSERT_NE(nullptr, out);
    ProgressBar off;
    progressStart(off, nullptr, "rendering");
    progressUpdate(5, 10, &off);
    progressFinish(off);
    ProgressBar on;
    progressStart(on, out, "rendering");
    progressUpdate(3, 10, &on);
    progressUpdate(4, 10, &on);  // too soon after the last: not drawn
    progressUpdate(10, 10, &on); // the end is always drawn
    progressFinish(on);
    fclose(out);
    const std::string shown(text, size);
    free(text);
    EXPECT_EQ(0u, shown.find("\rrendering [######")) << shown;
    EXPECT_EQ(std::string::npos, shown.find(" 4/10")) << shown;
    EXPECT_NE(std::string::npos, shown.find("10/10 rows 100%")) << shown;
    EXPECT_EQ(std::string::npos, shown.find('\n')) << "the line is redrawn in place";
    EXPECT_EQ(shown.size() - 4, shown.rfind("\r\033[K")) << "and cleared at the end";
}

}  // namespace
