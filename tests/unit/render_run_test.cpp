// A whole headless render in-process: the files it writes against the
// program's own writers and export, what --from takes from a saved file,
// interrupted and failed writes leaving nothing behind, and the progress
// line. Dives: their views, their frames against stills, ranges and
// resuming; the smooth values and the light averaging behind the colours.
// Deep pictures: thread counts, saved locations, smooth colour across the
// switch to the deep engine, and dives to depth on one reference orbit.
#include <dirent.h>
#include <gtest/gtest.h>
#include <math.h>
#include <sys/stat.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
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
#include "core/kernels_simd.h"
#include "deep/reference.h"
#include "render/dive.h"
#include "colour/linear_light.h"
#include "render/output.h"
#include "cli/progress.h"
#include "cli/options.h"
#include "render/run.h"
#include "colour/smooth.h"
#include "files/png_text.h"

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
    const ChannelTables tables = programChannelTables();
    const PictureJob job = {grid, nullptr, nullptr, nullptr, 0, &tables};
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
    // A link into a directory its user may not write, the link's own being
    // writable (root writes anywhere: the run is an ordinary user's).
    ASSERT_EQ(0, chmod(dir.c_str(), 0777));
    ASSERT_EQ(0, mkdir(path("ro").c_str(), 0555));
    ASSERT_EQ(0, symlink("ro/out.png", path("out.png").c_str()));
    const pid_t child = fork();
    if (child == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0) _exit(20);
        _exit(run(path("out.png")) == RUN_FAILED && strstr(reason, "cannot write into") ? 0 : 1);
    }
    int status = -1;
    ASSERT_EQ(child, waitpid(child, &status, 0));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST_F(RenderRun, ADanglingLinkIsWrittenThroughAndStays) {
    options.width = options.height = 8;
    ASSERT_EQ(0, symlink("made.pgm", path("new.pgm").c_str()));
    EXPECT_EQ(RUN_WRITTEN, run(path("new.pgm"))) << reason;
    struct stat st;
    EXPECT_TRUE(lstat(path("new.pgm").c_str(), &st) == 0 && S_ISLNK(st.st_mode));
    EXPECT_EQ(std::string("P5\n8 8\n255\n").size() + 64, slurp(path("made.pgm")).size());
    EXPECT_EQ(2u, entries(dir).size());
}

TEST_F(RenderRun, AStopLeavesNoFileAndNoTemporary) {
    std::atomic<int> stop{1};
    options.width = options.height = 300;
    EXPECT_EQ(RUN_INTERRUPTED, run(path("stopped.png"), &stop));
    // The writer on its own, stopped: the temporary is removed.
    std::vector<unsigned char> cells(300 * 300, 7);
    const RenderGrid grid = {300, 300, 300, cells.data()};
    const ChannelTables tables = programChannelTables();
    const PictureJob job = {grid, &stop, nullptr, nullptr, 0, &tables};
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
    const ChannelTables tables = programChannelTables();
    const PictureJob job = {RenderGrid{500, 400, 500, cells.data()}, &stop, stopWhenReached, &when, 0, &tables};
    for (RenderOutputKind kind : {OUTPUT_PNG, OUTPUT_PPM, OUTPUT_PGM}) {
        stop = 0;
        EXPECT_FALSE(writePictureFile(target.c_str(), kind, job, reason));
        EXPECT_EQ("earlier", slurp(target));
    }
    EXPECT_EQ(1u, entries(dir).size());
}

// ---- dives ----------------------------------------------------------------

class DiveRun : public RenderRun {
protected:
    void SetUp() override {
        RenderRun::SetUp();
        options.params = FractalParams{MANDELBROT_TYPE, 300, -2.5, 1.0, -1.0, 1.0, 0, 0};
        options.width = 96, options.height = 54;
        options.ramps[0] = 2, options.ramps[1] = 4, options.ramps[2] = 6;
        options.given |= GIVEN_ZOOM;
        const double last[4] = {-0.7437, -0.7435, 0.13175, 0.13188};
        memcpy(options.zoomTo, last, sizeof last);
        options.frames = 7;
        options.firstFrame = 0, options.lastFrame = 6;
        options.framePattern = 1;
    }
    std::string frame(const char *sub, int k) const {
        char name[64];
        snprintf(name, sizeof name, "%s/f-%02d.png", sub, k);
        return path(name);
    }
    RunResult dive(const char *sub) {
        mkdir(path(sub).c_str(), 0755);
        pattern = path(sub) + "/f-%02d.png";
        return run(pattern);
    }
    // A still of `view` with the dive's other options.
    std::string still(const double *view, const char *name) {
        RenderOptions keep = options;
        options.given &= ~GIVEN_ZOOM;
        options.framePattern = 0;
        options.params.xStart = view[0], options.params.xEnd = view[1];
        options.params.yStart = view[2], options.params.yEnd = view[3];
        EXPECT_EQ(RUN_WRITTEN, run(path(name))) << reason;
        options = keep;
        return slurp(path(name));
    }
    std::string pattern;
};

TEST_F(DiveRun, TheEndFramesAreStillsOfTheTwoViewsAndARangeIsTheSameBytes) {
    const double first[4] = {-2.5, 1.0, -1.0, 1.0};
    for (int look = 0; look < 3; ++look) {  // plain (as today's stills), smooth, smooth with 3 x 3 samples
        options.smooth = look > 0;
        options.aa = look == 2 ? 3 : 1;
        const std::string sub = "all" + std::to_string(look);
        ASSERT_EQ(RUN_WRITTEN, dive(sub.c_str())) << reason;
        EXPECT_EQ(7u, entries(path(sub.c_str())).size());
        EXPECT_TRUE(still(first, "first.png") == slurp(frame(sub.c_str(), 0))) << "look " << look;
        EXPECT_TRUE(still(options.zoomTo, "last.png") == slurp(frame(sub.c_str(), 6))) << "look " << look;
        EXPECT_FALSE(slurp(frame(sub.c_str(), 2)) == slurp(frame(sub.c_str(), 3)));
    }
    // Frames 2..4 alone, into a directory where frame 3 exists already as a
    // whole frame of the size (kept, whatever it shows), and frames 2 and 4
    // as files that are not (an empty one, one cut short): made again.
    options.firstFrame = 2, options.lastFrame = 4;
    mkdir(path("part").c_str(), 0755);
    const std::string other = slurp(frame("all0", 3)), cut = slurp(frame("all2", 4)).substr(0, 200);
    std::ofstream(frame("part", 3)) << other;
    std::ofstream(frame("part", 2)) << "";
    std::ofstream(frame("part", 4)) << cut;
    ASSERT_EQ(RUN_WRITTEN, dive("part")) << reason;
    EXPECT_EQ(3u, entries(path("part")).size());
    EXPECT_TRUE(other == slurp(frame("part", 3)));
    for (int k : {2, 4}) EXPECT_TRUE(slurp(frame("all2", k)) == slurp(frame("part", k))) << "frame " << k;
    // A directory or a FIFO at a frame's name is refused before any frame.
    ASSERT_EQ(0, rename(frame("part", 3).c_str(), path("spare.png").c_str()));
    for (int node = 0; node < 2; ++node) {
        ASSERT_EQ(0, node ? mkfifo(frame("part", 3).c_str(), 0600) : mkdir(frame("part", 3).c_str(), 0755));
        unlink(frame("part", 2).c_str());
        EXPECT_EQ(RUN_FAILED, dive("part"));
        EXPECT_NE(nullptr, strstr(reason, node ? "a FIFO" : "a directory")) << reason;
        EXPECT_EQ(2u, entries(path("part")).size()) << "no frame made";
        ASSERT_EQ(0, remove(frame("part", 3).c_str()));
    }
}

TEST_F(DiveRun, AStopWritesNoFrameAndOppositeViewsAreRefused) {
    std::atomic<int> stop{1};
    mkdir(path("d").c_str(), 0755);
    pattern = path("d") + "/f-%02d.png";
    options.outputPath = pattern.c_str();
    EXPECT_EQ(RUN_INTERRUPTED, runRender(options, &stop, nullptr, reason));
    EXPECT_TRUE(entries(path("d")).empty());
    std::swap(options.zoomTo[2], options.zoomTo[3]);
    EXPECT_EQ(RUN_FAILED, dive("d"));
    EXPECT_NE(nullptr, strstr(reason, "opposite")) << reason;
}

// A histogram dive takes each frame's histogram from its neighbours'
// surveys: a range is still the bytes of the whole run, and a frame is not
// equalised over itself alone (that is a still's histogram).
TEST_F(DiveRun, AHistogramDiveSplitIntoRangesIsTheSameBytes) {
    options.look.colour = COLOUR_HISTOGRAM, options.smooth = 1;
    options.frames = 20, options.lastFrame = 19;
    ASSERT_EQ(RUN_WRITTEN, dive("all")) << reason;
    options.firstFrame = 11, options.lastFrame = 13;
    ASSERT_EQ(RUN_WRITTEN, dive("part")) << reason;
    for (int k = 11; k <= 13; ++k) EXPECT_TRUE(slurp(frame("all", k)) == slurp(frame("part", k))) << "frame " << k;
    const double first[4] = {-2.5, 1.0, -1.0, 1.0};
    EXPECT_FALSE(still(first, "first.png") == slurp(frame("all", 0)));
}

TEST(DiveViews, WidthsShrinkGeometricallyAboutOnePointThatHoldsStill) {
    Dive d;
    d.first = FractalParams{MANDELBROT_TYPE, 50, -2.5, 1.0, -1.25, 0.75, 0, 0};
    const double last[4] = {-0.75, -0.7499, 0.1, 0.10006};
    memcpy(d.last, last, sizeof last);
    d.frames = 31;
    const FractalParams f0 = diveFrameParams(d, 0), fn = diveFrameParams(d, 30);
    EXPECT_TRUE(f0.xStart == -2.5 && f0.xEnd == 1.0 && f0.yStart == -1.25 && f0.yEnd == 0.75);
    EXPECT_TRUE(fn.xStart == last[0] && fn.xEnd == last[1] && fn.yStart == last[2] && fn.yEnd == last[3]);
    // The point where both views put the same fraction of the width.
    const double w0 = 3.5, w1 = last[1] - last[0];
    const double s = (last[0] - -2.5) / (w0 - w1), still = -2.5 + s * w0;
    const double step = pow(w1 / w0, 1.0 / 30);
    for (int k = 1; k < 30; ++k) {
        const FractalParams a = diveFrameParams(d, k - 1), b = diveFrameParams(d, k);
        EXPECT_NEAR(step, (b.xEnd - b.xStart) / (a.xEnd - a.xStart), 1e-12) << k;
        EXPECT_NEAR(s, (still - b.xStart) / (b.xEnd - b.xStart), 1e-9) << "the point swims at frame " << k;
    }
    d.last[2] = 0.10006, d.last[3] = 0.1;
    EXPECT_FALSE(diveViewsMatch(d));
}

TEST(DiveViews, FramePatterns) {
    char out[32];
    EXPECT_EQ(1, framePatternFields("d/f-%05d.png"));
    EXPECT_EQ(1, framePatternFields("100%%/%i.ppm"));
    EXPECT_EQ(0, framePatternFields("d/f.png"));
    EXPECT_EQ(2, framePatternFields("%d/%d.png"));
    EXPECT_EQ(-1, framePatternFields("%s.png"));
    EXPECT_EQ(-1, framePatternFields("%.png"));
    ASSERT_TRUE(framePath("d/f-%05d.png", 42, out, sizeof out));
    EXPECT_STREQ("d/f-00042.png", out);
    ASSERT_TRUE(framePath("100%%/%3i.ppm", 7, out, sizeof out));
    EXPECT_STREQ("100%/  7.ppm", out);
    EXPECT_FALSE(framePath("dive/frame-%020d.png", 7, out, sizeof out)) << "does not fit";
}

// ---- colours ----------------------------------------------------------------

TEST(LinearLight, EachValueComesBackAndHalfTheLightIsNot128) {
    const LinearLight &light = linearLight();
    for (int v = 0; v < 256; ++v) ASSERT_EQ(v, encodeMean(light, light.decode[v], 1)) << v;
    EXPECT_EQ(0u, light.decode[0]);
    EXPECT_EQ(1u << LINEAR_BITS, light.decode[255]);
    EXPECT_EQ(188, encodeMean(light, light.decode[0] + light.decode[255], 2));  // sRGB of one half
    EXPECT_EQ(255, encodeMean(light, 64 * light.decode[255], 64));
}

// Along a line away from the set the counts step through several bands,
// while mu changes smoothly: no step of mu stands out from its neighbours
// as it would where a band (of the count, or of the extra steps) ends.
// A row coloured at once (smoothRow, several cells together) has the
// colours of its cells' mu one by one.
TEST(SmoothValues, RunOnAcrossTheBandsOfTheCount) {
    srand(1959);
    DISPLAY_PALLETE_CREATE();
    paletteR = 8, paletteG = 2, paletteB = 5;
    DISPLAY_PALLETE_APPLY();
    const struct {
        int type;
        double xStart, xEnd, y, xPivot, yPivot;
    } lines[] = {
        {MANDELBROT_TYPE, 0.3, 1.0, 0, 0, 0},     {JULIA_TYPE, 1.1, 1.8, 0.1, -0.8, 0.156},
        {M_DRAGON_TYPE, 4.05, 6.0, 0, 0, 0},      {J_DRAGON_TYPE, 1.01, 2.0, 0, 3.2, 0},
        {M_PHOENIX_TYPE, 0.3, 1.5, 0, 0, 0},      {J_PHOENIX_TYPE, 0.5, 1.8, 0, 0.5667, -0.5},
    };
    const int cells = 4000;
    for (const auto &l : lines) {
        const KernelView v = {cells, 500, l.xStart, (l.xEnd - l.xStart) / cells, l.y, 0, l.xPivot, l.yPivot};
        std::vector<int> counts(cells);
        std::vector<OrbitEnd> ends(cells);
        countRowEndsWith(SCALAR_PATH, l.type, v, 0, counts.data(), ends.data());
        std::vector<double> step;
        std::vector<unsigned char> row(3 * cells);
        smoothRow(programChannelTables(), l.type, v, 0, counts.data(), ends.data(), row.data());
        double previous = 0;
        for (int i = 0; i < cells; ++i) {
            ASSERT_LT(counts[i], 500) << "type " << l.type << " cell " << i << " never escaped";
            const double mu = smoothValue(l.type, v, (double)i * v.xScale + v.xStart, l.y, counts[i], ends[i]);
            if (i > 0) step.push_back(fabs(mu - previous));
            previous = mu;
            unsigned char rgb[3];
            smoothColour(programChannelTables(), mu, counts[i], 500, rgb);
            ASSERT_EQ(0, memcmp(rgb, &row[3 * i], 3)) << "type " << l.type << " cell " << i;
        }
        EXPECT_GE(counts[0] - counts[cells - 1], 3) << "type " << l.type << ": too few bands to cross";
        for (size_t k = 1; k + 1 < step.size(); ++k)
            ASSERT_LE(step[k], 2 * std::max(step[k - 1], step[k + 1]) + 1e-4)
                << "type " << l.type << ": a seam at cell " << k + 1 << ", count " << counts[k + 1];
    }
}

// ---- locations ----------------------------------------------------------------

class RenderLocation : public RenderRun {
protected:
    // The options of a command line (the arguments live in `args`).
    void parseArgs(std::vector<std::string> given) {
        args = std::move(given);
        args.insert(args.begin(), "quorvex-render");
        std::vector<char *> argv;
        for (std::string &a : args) argv.push_back(&a[0]);
        options = defaultRenderOptions();
        EXPECT_EQ(RENDER_PARSE_OK, parseRenderOptions((int)argv.size(), argv.data(), options, reason)) << reason;
        reason[0] = '\0';
    }
    RunResult runArgs(std::vector<std::string> given, const std::atomic<int> *stop = nullptr) {
        parseArgs(std::move(given));
        std::unique_ptr<RenderPlan> plan(new RenderPlan());
        if (planRender(options, *plan, stop, reason) != PLAN_READY) return RUN_FAILED;
        options = plan->options;  // with what the location gave
        deep = plan->deep;
        return runPlan(*plan, stop, nullptr, reason);
    }
    std::vector<std::string> args;
    int deep = 0;
};

const char *const MISIUREWICZ = "--center=0,1";  // preperiodic: detail at every depth

// Every type, down to the switch at 1e-12 itself.
TEST_F(RenderLocation, AShallowLocationIsItsViewThroughTheKernels) {
    for (const char *width : {"1e-11", "1e-12"})
        for (const char *type : FRACTAL_TYPE_NAMES) {
            ASSERT_EQ(RUN_WRITTEN, runArgs({MISIUREWICZ, "--width", width, "--detail", "700", "--size", "96x40",
                                            "--type", type, "--pivot", "-0.9,0.15", path("shallow.pgm")})) << reason;
            EXPECT_FALSE(deep);
            const std::vector<unsigned char> want = scalarGrid(options.params, 96, 40);
            EXPECT_EQ(0, memcmp(want.data(), slurp(path("shallow.pgm")).data() + 13, want.size())) << type;
        }
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

TEST_F(RenderLocation, ADeepStillInSmoothColourAndAntiAliasedIsTheSameOnAnyThreadCount) {
    std::string first;
    for (const char *threads : {"1", "2", "7"}) {
        ASSERT_EQ(RUN_WRITTEN, runArgs({MISIUREWICZ, "--width", "3e-31", "--detail", "2000", "--size", "96x54",
                                        "--smooth", "--aa", "3", "--palette", "2,4,6", "--threads", threads,
                                        path("deep.ppm")})) << reason;
        const std::string picture = slurp(path("deep.ppm"));
        if (first.empty()) first = picture;
        EXPECT_TRUE(first == picture) << threads << " threads";
    }
    EXPECT_EQ(13 + 96 * 54 * 3u, first.size());
}

// Just above the switch the double kernels colour the picture, just below
// it the deep engine: the same rule (for the Dragon, through its conjugate
// map; the cosine and cosh types their count), so the two pictures match
// but for a colour step here and there. (Phoenix's high counts at its
// edges are beyond the doubles already at 1e-12; deep_test checks the ends
// the deep engine gives it.)
TEST_F(RenderLocation, SmoothColourIsTheSameRuleAboveAndBelowTheSwitch) {
    const struct {
        const char *type, *centre, *pivot;
    } places[] = {
        {"M-Dragon", "--center=-0.60048518044024083831781964149904,1.2496210676876531737592088948857", "0,0"},
        {"M-Cosine", "--center=0.07583690681922490976489692800378863,-1.2406051074552708496788735306876350", "0,0"},
    };
    for (const auto &place : places) {
        std::string picture[2];
        for (int deep = 0; deep < 2; ++deep) {
            ASSERT_EQ(RUN_WRITTEN, runArgs({"--type", place.type, place.centre, "--pivot", place.pivot, "--width",
                                            deep ? "0.99999e-12" : "1e-12", "--detail", "3000", "--size", "96x54",
                                            "--smooth", "--palette", "4,6,3", path("d.ppm")})) << reason;
            EXPECT_EQ(deep, this->deep);
            picture[deep] = slurp(path("d.ppm"));
        }
        ASSERT_EQ(picture[0].size(), picture[1].size());
        int near = 0, colours = 0;
        for (size_t k = 13; k < picture[0].size(); ++k) {
            near += abs((int)(unsigned char)picture[0][k] - (int)(unsigned char)picture[1][k]) <= 1;
            colours += picture[0][k] != picture[0][13];
        }
        EXPECT_GT(near, (int)(picture[0].size() - 13) * 98 / 100) << place.type;
        EXPECT_GT(colours, 1000) << place.type << ": a picture, not one colour";
    }
}

// Frames 0..2 of this dive are drawn by the kernels, 3..7 by the deep engine.
TEST_F(RenderLocation, ADeepDiveSharesOneReferenceItsEndsAreStillsAndARangeIsTheSameBytes) {
    const std::vector<std::string> look[2] = {{}, {"--smooth", "--aa", "2"}};
    const std::vector<std::string> common = {"--detail", "1500", "--size", "96x54", "--palette", "4,6,3"};
    auto with = [&](std::vector<std::string> a, int l, std::vector<std::string> more) {
        a.insert(a.end(), common.begin(), common.end());
        a.insert(a.end(), look[l].begin(), look[l].end());
        a.insert(a.end(), more.begin(), more.end());
        return a;
    };
    const std::vector<std::string> dive = {"--center=-0.5,0", "--width", "4", "--zoom-to-center", "0,1",
                                           "--zoom-to-width", "1e-30", "--frames", "8"};
    for (int l = 0; l < 2; ++l) {
        const std::string sub = "all" + std::to_string(l);
        mkdir(path(sub.c_str()).c_str(), 0755);
        const long before = referencesComputed();
        ASSERT_EQ(RUN_WRITTEN, runArgs(with(dive, l, {path(sub.c_str()) + "/f-%d.png"}))) << reason;
        EXPECT_EQ(1, referencesComputed() - before) << "one reference orbit for the five deep frames";
        ASSERT_EQ(RUN_WRITTEN, runArgs(with({"--center=-0.5,0", "--width", "4"}, l, {path("first.png")}))) << reason;
        EXPECT_TRUE(slurp(path("first.png")) == slurp(path(sub.c_str()) + "/f-0.png")) << "look " << l;
        ASSERT_EQ(RUN_WRITTEN, runArgs(with({MISIUREWICZ, "--width", "1e-30"}, l, {path("last.png")}))) << reason;
        EXPECT_TRUE(slurp(path("last.png")) == slurp(path(sub.c_str()) + "/f-7.png")) << "look " << l;
    }
    mkdir(path("part").c_str(), 0755);
    ASSERT_EQ(RUN_WRITTEN, runArgs(with(dive, 1, {"--frame-range", "2:5", path("part") + "/f-%d.png"}))) << reason;
    for (int k = 2; k <= 5; ++k) {
        const std::string name = "/f-" + std::to_string(k) + ".png";
        EXPECT_TRUE(slurp(path("all1") + name) == slurp(path("part") + name)) << "frame " << k;
    }
    EXPECT_FALSE(slurp(path("all1") + "/f-4.png") == slurp(path("all1") + "/f-5.png"));
}

TEST_F(RenderLocation, AHistogramSpreadsADeepViewOverThePaletteWhereBandsGiveAFew) {
    size_t colours[2];
    for (int histogram = 0; histogram < 2; ++histogram) {
        ASSERT_EQ(RUN_WRITTEN, runArgs({MISIUREWICZ, "--width", "3e-31", "--detail", "2000", "--size", "96x54",
                                        "--smooth", "--palette", "twilight", "--colour",
                                        histogram ? "histogram" : "bands", path("h.ppm")})) << reason;
        const std::string rgb = slurp(path("h.ppm")).substr(13);
        std::set<std::string> seen;
        for (size_t k = 0; k + 2 < rgb.size(); k += 3) seen.insert(rgb.substr(k, 3));
        colours[histogram] = seen.size();
    }
    EXPECT_LT(colours[0], 20u);
    EXPECT_GE(colours[1], 200u);
}

// The dendrite through c = i has no inside: on a white palette (inside
// black) every dark pixel is its line, and a row crosses it in runs about
// one pixel wide, above the doubles' switch and far below it; the deep
// picture is the same on any thread count.
TEST_F(RenderLocation, DistanceShadingDrawsTheBoundaryOnePixelWideAtAnyDepth) {
    std::string white;
    for (int k = 0; k < 256; ++k) white += "255 255 255\n";
    std::ofstream(path("white.map")) << white;
    for (const char *width : {"1e-10", "1e-30"}) {
        std::string first;
        for (const char *threads : {"1", "2", "7"}) {
            ASSERT_EQ(RUN_WRITTEN, runArgs({MISIUREWICZ, "--width", width, "--detail", "3000", "--size", "240x135",
                                            "--gradient", path("white.map"), "--shade", "distance", "--threads",
                                            threads, path("line.ppm")})) << reason;
            if (first.empty()) first = slurp(path("line.ppm")).substr(15);
            EXPECT_TRUE(first == slurp(path("line.ppm")).substr(15)) << width << ", " << threads << " threads";
        }
        int dark = 0, runs = 0;
        for (size_t k = 0; k < first.size(); k += 3) {
            const bool d = (unsigned char)first[k] < 128, before = k % (240 * 3) && (unsigned char)first[k - 3] < 128;
            dark += d, runs += d && !before;
        }
        printf("  %s: %d dark pixels in %d runs\n", width, dark, runs);
        EXPECT_GT(runs, 100) << width;
        EXPECT_LT(dark, runs * 2) << width << ": a line wider than about a pixel";
    }
}

// Every setting, carried by the PNG and by the location file saved beside
// it, makes the same bytes again; another size is another picture of it.
TEST_F(RenderLocation, APictureAndItsLocationFileCarryTheirRecipe) {
    std::string map;
    for (int k = 0; k < 256; ++k) map += std::to_string(k) + " " + std::to_string(255 - k) + " 40\n";
    std::ofstream(path("g.map")) << map;
    ASSERT_EQ(RUN_WRITTEN, runArgs({"--type", "Julia", "--pivot", "-0.8,0.156", "--center", "0.1,0.2", "--width",
                                    "1e-20", "--detail", "3000", "--size", "64x40", "--colour", "cyclic:33,0.5",
                                    "--gradient", path("g.map"), "--shade", "slopes:300,0.25+distance:2", "--smooth",
                                    "--aa", "2", "--save-location", path("a.qloc"), path("a.png")})) << reason;
    const std::string picture = slurp(path("a.png"));
    for (const char *again : {"a.png", "a.qloc"}) {
        ASSERT_EQ(RUN_WRITTEN, runArgs({"--location", path(again), "--threads", "3", path("b.png")})) << reason;
        EXPECT_TRUE(picture == slurp(path("b.png"))) << again;
    }
    EXPECT_NE(std::string::npos, slurp(path("a.qloc")).find("\npivot -0.8,0.156\nsize 64x40\ncolour cyclic:33,0.5\n"));
    ASSERT_EQ(RUN_WRITTEN, runArgs({"--location", path("a.png"), "--size", "32x20", "--colour", "log", path("c.png")}));
    EXPECT_TRUE(options.smooth && options.aa == 2 && options.look.slopes && options.look.colour == COLOUR_LOG);
    EXPECT_TRUE(options.look.distance && options.look.thickness == 2);
    EXPECT_EQ(32, options.width);
    // A view, and the look of a location by default.
    ASSERT_EQ(RUN_WRITTEN, runArgs({"--view", "-2,1,-1,1", "--size", "30x20", "--palette", "4,6,3", path("v.png")}));
    ASSERT_EQ(RUN_WRITTEN, runArgs({"--location", path("v.png"), path("w.png")})) << reason;
    EXPECT_TRUE(slurp(path("v.png")) == slurp(path("w.png")));
    EXPECT_EQ(COLOUR_BANDS, options.look.colour);
    ASSERT_EQ(RUN_WRITTEN, runArgs({MISIUREWICZ, "--width", "1e-5", "--size", "30x20", path("d.png")}));
    EXPECT_EQ(LOOK_DEPTH_TEXT, colourText(options.look).substr(0, 8));
}

// A PNG whose recipe is foreign, damaged or wrong is refused with one line.
TEST_F(RenderLocation, PicturesNotMadeHereOrDamagedAreRefused) {
    ASSERT_EQ(RUN_WRITTEN, runArgs({"--view", "-2,1,-1,1", "--size", "30x20", path("v.png")}));
    const std::string good = slurp(path("v.png"));
    // Replace the text of chunk `keyword` with `text`, its checksum made right.
    auto with = [&](const std::string &keyword, const std::string &text) {
        const size_t key = good.find(keyword + std::string(1, '\0')), start = key - 8;
        const size_t length = (size_t)(unsigned char)good[start + 2] << 8 | (unsigned char)good[start + 3];
        std::string data = keyword + std::string(1, '\0') + text, chunk(4, '\0');
        for (int b = 0; b < 4; ++b) chunk[b] = (char)(data.size() >> (24 - 8 * b));
        chunk += "tEXt" + data;
        const uint32_t crc = pngCrc(0, (const unsigned char *)chunk.data() + 4, chunk.size() - 4);
        for (int b = 0; b < 4; ++b) chunk += (char)(crc >> (24 - 8 * b));
        return good.substr(0, start) + chunk + good.substr(start + length + 12);
    };
    std::string flipped = good;
    flipped[good.find("Quorvex detail") + 16] ^= 1;
    const struct {
        std::string bytes;
        const char *says;
    } bad[] = {
        {with("Software", "another program"), "not made by quorvex-render"},
        {flipped, "checksum"},
        {good.substr(0, good.find("Quorvex size")), "ends inside a chunk"},
        {with("Quorvex aa", "9"), "aa: not 1..8"},
        {with("Quorvex detail", "0"), "detail"},
        {with("Quorvex colour", "plaid"), "colour"},
        {with("Quorvex view", "0,0,0,1"), "view"},
        {with("Quorvex size", "10x10\nsize 5x5"), "size"},
        {with("Quorvex palette", "colours:00"), "palette"},
        {with("Quorvex view", "").erase(good.find("Quorvex view") - 8, 25), "no place"},
        {"not a picture", "line 1"},
    };
    for (const auto &b : bad) {
        std::ofstream(path("x.png"), std::ios::binary) << b.bytes;
        EXPECT_EQ(RUN_FAILED, runArgs({"--location", path("x.png"), path("y.png")})) << b.says;
        EXPECT_NE(nullptr, strstr(reason, b.says)) << reason;
        EXPECT_EQ(nullptr, strchr(reason, '\n'));
    }
    EXPECT_EQ(2u, entries(dir).size()) << "nothing written";
}

// A .qloc OUTPUT is the location alone: here the minibrot found in the
// deep benchmark's seahorse picture, which a still of it then draws again.
TEST_F(RenderLocation, AQlocOutputWritesTheFoundLocationAndNoPicture) {
    const std::vector<std::string> seahorse = {
        "--center=-0.743643887037158704752191506114774,0.131825904205311970493132056385139", "--width", "7.1e-30",
        "--size", "1280x720", "--detail", "10000"};
    std::vector<std::string> args = seahorse;
    args.insert(args.end(), {"--find-minibrot", "--save-location", path("saved.qloc"), path("m.qloc")});
    ASSERT_EQ(RUN_WRITTEN, runArgs(args)) << reason;
    EXPECT_EQ(2u, entries(dir).size()) << "m.qloc and saved.qloc, no picture";
    EXPECT_TRUE(slurp(path("m.qloc")) == slurp(path("saved.qloc")));
    DeepLocation found = defaultLocation();
    char why[FILE_ERROR_SIZE] = "";
    ASSERT_TRUE(readLocationFile(path("m.qloc").c_str(), found, why)) << why;
    EXPECT_EQ(10000, found.detail);
    EXPECT_LT(decimalToDouble(found.width), 7.1e-30);
    args = seahorse;
    args.insert(args.end(), {"--find-minibrot", "--size", "64x36", path("m.pgm")});
    ASSERT_EQ(RUN_WRITTEN, runArgs(args)) << reason;
    const std::string still = slurp(path("m.pgm"));
    ASSERT_EQ(RUN_WRITTEN, runArgs({"--location", path("m.qloc"), "--size", "64x36", path("again.pgm")})) << reason;
    EXPECT_TRUE(still == slurp(path("again.pgm"))) << "the same place at 64x36 as at 1280x720";
}

TEST_F(RenderLocation, AStopDuringTheReferenceLeavesNothing) {
    std::atomic<int> stop{1};
    EXPECT_EQ(RUN_INTERRUPTED, runArgs({MISIUREWICZ, "--width", "1e-50", "--detail", "8000000", "--save-location",
                                        path("x.qloc"), path("x.png")}, &stop));
    EXPECT_TRUE(entries(dir).empty());
}

// A million deep frames: the planner's listing and the runner's check of
// the frames drawn in doubles each look at the stop flag.
TEST_F(RenderLocation, AMillionFrameDiveStopsInItsPlanningAndBeforeItsFirstFrame) {
    mkdir(path("M").c_str(), 0755);
    parseArgs({"--center=-0.75,0.1", "--width", "1e-13", "--zoom-to-center", "-0.75,0.1", "--zoom-to-width", "1e-4000",
             "--frames", "1000000", "--detail", "10", "--size", "8x8", path("M") + "/%07d.png"});
    std::unique_ptr<RenderPlan> plan(new RenderPlan());
    std::atomic<int> stop{1};
    EXPECT_EQ(PLAN_INTERRUPTED, planRender(options, *plan, &stop, reason));
    stop = 0;
    ASSERT_EQ(PLAN_READY, planRender(options, *plan, &stop, reason)) << reason;
    EXPECT_EQ(1000000u, plan->todo.size());
    stop = 1;
    EXPECT_EQ(RUN_INTERRUPTED, runPlan(*plan, &stop, nullptr, reason));
    EXPECT_TRUE(entries(path("M")).empty());
}

// What a failed still leaves: nothing, its earlier files included.
TEST_F(RenderLocation, AFailedStillOrLocationLeavesNeitherAndKeepsEarlierFiles) {
    const std::vector<std::string> still = {MISIUREWICZ, "--width", "0.5", "--size", "8x8", "--save-location"};
    auto with = [&](std::vector<std::string> more) {
        more.insert(more.begin(), still.begin(), still.end());
        return more;
    };
    EXPECT_EQ(RUN_FAILED, runArgs(with({"/dev/full", path("p.png")})));
    EXPECT_NE(nullptr, strstr(reason, "/dev/full")) << reason;
    EXPECT_TRUE(entries(dir).empty()) << entries(dir).front();
    // A killed writer's temporary goes, a live one's stays.
    const pid_t gone = fork();
    if (gone == 0) _exit(0);
    waitpid(gone, nullptr, 0);
    for (pid_t pid : {gone, getppid()}) std::ofstream(path((".p.png.tmp" + std::to_string(pid) + "-0-0").c_str()));
    ASSERT_EQ(RUN_WRITTEN, runArgs(with({path("p.qloc"), path("p.png")}))) << reason;
    EXPECT_EQ(3u, entries(dir).size()) << "p.png, p.qloc and the live writer's temporary";
    // Read-only outputs, for a user who is not root: refused, kept.
    ASSERT_EQ(0, chmod(dir.c_str(), 0777));
    for (const char *name : {"p.png", "p.qloc"}) ASSERT_EQ(0, chmod(path(name).c_str(), 0444));
    const std::string before = slurp(path("p.png")) + slurp(path("p.qloc"));
    const pid_t child = fork();
    if (child == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0) _exit(20);
        for (const char *name : {"p.png", "p.qloc"}) {
            const std::string other = path(name) == path("p.png") ? path("q.qloc") : path("q.png");
            const bool picture = strcmp(name, "p.png") == 0;
            if (runArgs(with({picture ? other : path(name), picture ? path(name) : other})) != RUN_FAILED ||
                !strstr(reason, "Permission denied"))
                _exit(1);
        }
        _exit(0);
    }
    int status = -1;
    ASSERT_EQ(child, waitpid(child, &status, 0));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_TRUE(before == slurp(path("p.png")) + slurp(path("p.qloc")));
    EXPECT_EQ(3u, entries(dir).size());
}

TEST_F(DiveRun, EveryDirectoryOfTheRangeIsCheckedBeforeTheFirstFrame) {
    mkdir(path("d0").c_str(), 0755);
    options.firstFrame = 0, options.lastFrame = 1;
    EXPECT_EQ(RUN_FAILED, run(path("d%d/f.png")));
    EXPECT_NE(nullptr, strstr(reason, "d1")) << reason;
    EXPECT_TRUE(entries(path("d0")).empty());
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
    formatFramesProgress(line, sizeof line, 3, 12, 691200, 2764800, 14.0);
    EXPECT_STREQ("rendering [#####...............]  3/12 frames   691200/2764800 cells  25%  0:42 left", line);
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

// ---- posters in tiles -----------------------------------------------------------

// The picture made in tiles and joined is the one-run still byte for byte:
// in doubles and at depth (a Phoenix too), plain and smooth with samples and slopes (which
// read across seams) and a histogram over the whole picture, shaded by
// distance alone and with slopes, on grids that do and do not divide the size.
TEST_F(RenderLocation, TilesJoinedAreTheStillOfOneRun) {
    const std::vector<std::string> places[3] = {
        {"--center=-0.75,0.1", "--width", "2.5", "--detail", "400"},
        {MISIUREWICZ, "--width", "3e-31", "--detail", "2000"},
        {"--type", "M-Phoenix", "--center=-1.22853036273687633932072738291795741586399969349129,"
         "-0.631999999999999895194946475385222584009170532226562", "--width", "1e-25", "--detail", "3000"}};
    const std::vector<std::string> looks[4] = {
        {"--palette", "2,4,6"},
        {"--smooth", "--aa", "2", "--colour", "histogram", "--shade", "slopes"},
        {"--shade", "distance:2"},
        {"--smooth", "--aa", "2", "--shade", "slopes:45,1+distance:1.5"}};
    for (int place = 0; place < 3; ++place)
        for (int look = place == 2; look < 4; ++look) {  // a Phoenix's ends carry its previous iterate: smooth
            const int deep = place > 0;
            std::vector<std::string> a = places[place];
            a.insert(a.end(), looks[look].begin(), looks[look].end());
            a.insert(a.end(), {"--size", "96x54"});
            auto with = [&](std::vector<std::string> more) {
                more.insert(more.begin(), a.begin(), a.end());
                return more;
            };
            ASSERT_EQ(RUN_WRITTEN, runArgs(with({path("one.png")}))) << reason;
            EXPECT_EQ(deep, this->deep);
            for (const char *grid : {"4x3", "5x7"}) {
                const std::string tiles = path(grid) + "-%02d";
                ASSERT_EQ(RUN_WRITTEN, runArgs(with({"--tiles", grid, "--tile-range", "0:3", tiles}))) << reason;
                ASSERT_EQ(RUN_WRITTEN, runArgs(with({"--tiles", grid, tiles}))) << reason;
                ASSERT_EQ(RUN_WRITTEN, runArgs(with({"--tiles", grid, "--join", tiles, path("joined.png")})))
                    << reason;
                EXPECT_TRUE(slurp(path("one.png")) == slurp(path("joined.png")))
                    << "place " << place << ", look " << look << ", grid " << grid;
            }
        }
}

// A join refuses, with one line naming the tile, a tile that is missing,
// of another picture, grid or number, made with other settings, cut short
// or damaged within, and writes nothing; the making keeps whole tiles and
// makes again those that are not.
TEST_F(RenderLocation, AJoinRefusesAMissingForeignOrDamagedTileAndWritesNothing) {
    const std::vector<std::string> a = {"--center=-0.75,0.1", "--width", "2.5", "--smooth", "--size", "40x30"};
    auto with = [&](std::vector<std::string> more) {
        more.insert(more.begin(), a.begin(), a.end());
        return more;
    };
    ASSERT_EQ(RUN_WRITTEN, runArgs(with({"--tiles", "2x2", path("t%d")}))) << reason;
    ASSERT_EQ(RUN_WRITTEN, runArgs(with({"--size", "40x31", "--tiles", "2x2", path("other%d")}))) << reason;
    ASSERT_EQ(RUN_WRITTEN, runArgs(with({"--detail", "99", "--tiles", "2x2", path("digest%d")}))) << reason;
    ASSERT_EQ(RUN_WRITTEN, runArgs(with({"--shade", "distance", "--tiles", "2x2", path("dist%d")}))) << reason;
    EXPECT_EQ(RUN_FAILED,
              runArgs(with({"--shade", "distance", "--tiles", "2x2", "--join", path("t%d"), path("p.png")})));
    EXPECT_NE(nullptr, strstr(reason, "made without distance estimates")) << reason;
    EXPECT_EQ(-1, access(path("p.png").c_str(), F_OK));
    const std::string good = slurp(path("t1"));
    std::string flipped = good;
    flipped[good.size() - 4 - 20 * 15 * 8] ^= 1;  // the low bits of the first (escaped) sample: only the CRC tells
    const struct {
        std::string bytes;
        const char *says;
    } bad[] = {
        {"", "missing"},
        {slurp(path("other1")), "another picture"},
        {slurp(path("digest1")), "settings digest differs"},
        {slurp(path("t0")), "holds tile 0"},
        {slurp(path("dist1")), "made with distance estimates"},
        {good.substr(0, good.size() - 9), "cut short"},
        {good + "x", "too long"},
        {flipped, "CRC"},
        {"\x89QVTILE\n" + good.substr(8, 20), "cut short"},
        {"a text file, not a tile at all, a text file, not a tile at all, a text file, not a tile", "not a tile"},
    };
    for (const auto &b : bad) {
        unlink(path("t1").c_str());
        if (strcmp(b.says, "missing")) std::ofstream(path("t1"), std::ios::binary) << b.bytes;
        EXPECT_EQ(RUN_FAILED, runArgs(with({"--tiles", "2x2", "--join", path("t%d"), path("p.png")}))) << b.says;
        EXPECT_NE(nullptr, strstr(reason, b.says)) << reason;
        EXPECT_NE(nullptr, strstr(reason, (path("t1") + ":").c_str())) << reason;
        EXPECT_EQ(nullptr, strchr(reason, '\n'));
        EXPECT_EQ(-1, access(path("p.png").c_str(), F_OK)) << b.says;
    }
    // Made again: the damaged and the cut tiles alone, the whole ones kept.
    const std::string whole3 = slurp(path("t3")), kept = slurp(path("t0")) + slurp(path("t2"));
    std::ofstream(path("t1"), std::ios::binary) << flipped;
    std::ofstream(path("t3"), std::ios::binary) << whole3.substr(0, 200);
    struct stat before;
    ASSERT_EQ(0, stat(path("t0").c_str(), &before));
    ASSERT_EQ(RUN_WRITTEN, runArgs(with({"--tiles", "2x2", path("t%d")}))) << reason;
    struct stat after;
    ASSERT_EQ(0, stat(path("t0").c_str(), &after));
    EXPECT_EQ(before.st_ino, after.st_ino) << "kept, not written again";
    EXPECT_TRUE(kept == slurp(path("t0")) + slurp(path("t2")));
    EXPECT_TRUE(good == slurp(path("t1")) && whole3 == slurp(path("t3")));
}
