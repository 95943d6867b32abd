// The headless renderer as a user runs it: the real quorvex-render binary,
// always started with no DISPLAY at all, against the real quorvex binary's
// Make, Save and Export in a private X server, against the plain double
// loop, and on bad input and interrupts.
#include <gtest/gtest.h>
#include <png.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <dirent.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/kernels.h"
#include "e2e_session.h"
#include "files/paramfile.h"

#ifndef QUORVEX_RENDER_BINARY
#error "QUORVEX_RENDER_BINARY must name the renderer under test"
#endif

namespace {

const char *const RENDER = QUORVEX_RENDER_BINARY;

// The program's window at its default size.
struct Spot {
    int X, Y;
};
const Spot MAKE = {45, 780}, SAVE = {45, 730}, EXPORT = {45, 705}, RED = {45, 655}, BLUE = {45, 605},
           TYPE = {140, 780}, DETAIL_PLUS = {140, 755}, ZOOM_IN = {140, 705}, PIVOT = {140, 655},
           EXIT = {140, 605}, ACCEPT = {140, 535};
const int PANEL_LEFT = 185, PANEL_TOP = 814;
const double DEFAULT_SCALE = 10.0 / 800;

// A window point to the plane, as the program maps a pick in the first view.
double mapX(int X) { return (double)(X - PANEL_LEFT) * DEFAULT_SCALE + -5.0; }
double mapY(int Y) { return (double)(PANEL_TOP - Y) * DEFAULT_SCALE + -5.0; }

double nowMs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

std::string slurp(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

bool exists(const std::string &path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

std::vector<std::string> entries(const std::string &dir) {
    std::vector<std::string> names;
    if (DIR *d = opendir(dir.c_str())) {
        while (dirent *e = readdir(d))
            if (strcmp(e->d_name, ".") && strcmp(e->d_name, "..")) names.push_back(e->d_name);
        closedir(d);
    }
    return names;
}

// Exactly what "%.17g" prints: every double goes to the renderer unchanged.
std::string num(double v) {
    char text[40];
    snprintf(text, sizeof text, "%.17g", v);
    return text;
}

std::string list(std::initializer_list<double> values) {
    std::string s;
    for (double v : values) s += (s.empty() ? "" : ",") + num(v);
    return s;
}

struct Outcome {
    int status = -1;  // exit status, -1 when killed by a signal
    int signal = 0;
    std::string err;
};

// Runs the renderer with no X display in its environment, standard error
// captured (a pipe, so no progress bar).
// A non-zero `memoryLimit` caps the address space (bytes).
pid_t spawnRender(const std::vector<std::string> &args, int errFd, rlim_t memoryLimit = 0) {
    const pid_t child = fork();
    if (child != 0) return child;
    if (memoryLimit) {
        const rlimit cap = {memoryLimit, memoryLimit};
        if (setrlimit(RLIMIT_AS, &cap) != 0) _exit(126);
    }
    unsetenv("DISPLAY");
    unsetenv("XAUTHORITY");
    unsetenv("WAYLAND_DISPLAY");
    dup2(errFd, 2);
    std::vector<std::string> copy = args;
    std::vector<char *> argv = {const_cast<char *>(RENDER)};
    for (std::string &a : copy) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    execv(RENDER, argv.data());
    _exit(127);
}

Outcome finish(pid_t child, int errRead) {
    Outcome o;
    char buf[4096];
    ssize_t n;
    while ((n = read(errRead, buf, sizeof buf)) > 0) o.err.append(buf, (size_t)n);
    close(errRead);
    int status = 0;
    waitpid(child, &status, 0);
    if (WIFEXITED(status)) o.status = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) o.signal = WTERMSIG(status);
    return o;
}

Outcome render(const std::vector<std::string> &args, rlim_t memoryLimit = 0) {
    int err[2];
    if (pipe(err) != 0) return Outcome();
    const pid_t child = spawnRender(args, err[1], memoryLimit);
    close(err[1]);
    return finish(child, err[0]);
}

// The bytes after a binary PNM header "P5|P6\nW H\n255\n".
std::string pnmPixels(const std::string &file, const char *magic, int width, int height) {
    const std::string header = std::string(magic) + "\n" + std::to_string(width) + " " +
                               std::to_string(height) + "\n255\n";
    if (file.compare(0, header.size(), header) != 0) return "bad header";
    return file.substr(header.size());
}

std::string scalarRow(int type, const KernelView &v, int row) {
    std::string out((size_t)v.width, '\0');
    computeRowScalar(type, v, row, (unsigned char *)&out[0]);
    return out;
}

KernelView viewFor(int width, int height, int detail, double xs, double xe, double ys, double ye, double xp,
                   double yp) {
    return KernelView{width, detail, xs, (xe - xs) / width, ys, (ye - ys) / height, xp, yp};
}

std::string frcGrid(const std::string &path) {
    std::unique_ptr<FractalFile> f(new FractalFile);
    char reason[FILE_ERROR_SIZE] = "";
    if (!readFractalFile(path.c_str(), *f, reason)) return std::string("unreadable: ") + reason;
    std::string grid;
    for (int r = 0; r < f->height; ++r) grid.append((const char *)f->grid + r * GRID_SIZE, (size_t)f->width);
    return grid;
}

class Render : public ::testing::Test {
protected:
    void SetUp() override {
        dir = makeTempDir("render");
        ASSERT_FALSE(dir.empty());
    }
    void TearDown() override {
        const std::string rm = "rm -rf '" + dir + "'";
        if (system(rm.c_str()) != 0) ADD_FAILURE() << "cannot remove " << dir;
    }
    std::string path(const std::string &name) const { return dir + "/" + name; }

    std::string dir;
};

// ---- against the program itself -------------------------------------------

class RenderAgainstTheProgram : public Render {
protected:
    void SetUp() override {
        Render::SetUp();
        ASSERT_TRUE(s.start({}, dir)) << "the program did not show its window";
    }
    void TearDown() override {
        s.stop();
        Render::TearDown();
    }
    void click(Spot p, int times = 1) {
        for (int k = 0; k < times; ++k) {
            s.x.click(p.X, p.Y);
            s.x.settle(150);
        }
    }
    // Save or Export under `name`, and wait for the program's file.
    void saveAs(Spot command, const std::string &name, const std::string &file) {
        click(command);
        s.x.typeText(name);
        s.x.settle(100);
        click(ACCEPT);
        for (const double end = nowMs() + 30000; nowMs() < end && !exists(path(file));) usleep(50000);
        ASSERT_TRUE(exists(path(file))) << "the program wrote no " << file;
    }
    void exitProgram() {
        click(EXIT);
        EXPECT_EQ(0, s.waitExit(5000));
    }

    E2eSession s;
};

TEST_F(RenderAgainstTheProgram, AnEightHundredSquareRenderIsTheGridOfAMake) {
    click(MAKE);
    saveAs(SAVE, "x", "x.frc");
    Outcome o = render({"--type", "Mandelbrot", "--detail", "50", "--view", "-5,5,-5,5", "--pivot", "0,0",
                        path("x.pgm")});
    ASSERT_EQ(0, o.status) << o.err;
    const std::string made = frcGrid(path("x.frc"));
    ASSERT_EQ(640000u, made.size()) << made.substr(0, 200);
    EXPECT_TRUE(made == pnmPixels(slurp(path("x.pgm")), "P5", 800, 800)) << "default view";

    // Another type, detail, pivot and a zoomed view, all picked by hand.
    click(TYPE, 3);  // J-Dragon
    click(DETAIL_PLUS, 2);
    click(PIVOT);
    click({817, 398});
    click(ZOOM_IN);
    s.x.drag(537, 478, 713, 350);
    s.x.settle(200);
    click(MAKE);
    saveAs(SAVE, "y", "y.frc");
    o = render({"--type", "J-Dragon", "--detail", "150", "--view",
                list({mapX(537), mapX(713), mapY(478), mapY(350)}), "--pivot", list({mapX(817), mapY(398)}),
                path("y.pgm")});
    ASSERT_EQ(0, o.status) << o.err;
    const std::string zoomed = frcGrid(path("y.frc"));
    ASSERT_EQ(640000u, zoomed.size()) << zoomed.substr(0, 200);
    EXPECT_TRUE(zoomed == pnmPixels(slurp(path("y.pgm")), "P5", 800, 800)) << "J-Dragon, zoomed";
    EXPECT_NE(std::string::npos, zoomed.find('\x05')) << "a picture with escapes, not a blank";

    // Ramps 2, 0, 8 on the screen, and the program's Export of them.
    click(RED, 2);
    click(BLUE, 8);
    saveAs(EXPORT, "y", "y.ppm");
    o = render({"--from", path("y.frc"), "--palette", "2,0,8", path("again.ppm")});
    ASSERT_EQ(0, o.status) << o.err;
    const std::string exported = slurp(path("y.ppm"));
    EXPECT_EQ(1920015u, exported.size());
    EXPECT_TRUE(exported == slurp(path("again.ppm"))) << "--from and Export differ";
    exitProgram();
}

// ---- against the plain double loop ------------------------------------------

TEST_F(Render, EveryTypeAwayFromTheDefaultsEqualsTheScalarLoop) {
    const char *names[] = {"Mandelbrot", "Julia",    "M-Dragon", "J-Dragon", "M-Phoenix",
                           "J-Phoenix",  "M-Cosine", "J-Cosine", "M-Cosh",   "J-Cosh"};
    const int W = 213, H = 141, DETAIL = 333;
    const double xs = -1.7, xe = 1.35, ys = 1.2, ye = -1.05, xp = -0.745, yp = 0.1132;  // y mirrored
    for (int type = 0; type < 10; ++type) {
        const std::string out = path(std::string(names[type]) + ".pgm");
        const Outcome o = render({"--type", names[type], "--detail", std::to_string(DETAIL), "--view",
                                  list({xs, xe, ys, ye}), "--pivot", list({xp, yp}), "--size", "213x141",
                                  "--threads", "3", out});
        ASSERT_EQ(0, o.status) << names[type] << ": " << o.err;
        EXPECT_EQ("", o.err) << "silent when standard error is not a terminal";
        const std::string pixels = pnmPixels(slurp(out), "P5", W, H);
        ASSERT_EQ((size_t)W * H, pixels.size()) << names[type];
        const KernelView v = viewFor(W, H, DETAIL, xs, xe, ys, ye, xp, yp);
        for (int r = 0; r < H; ++r)
            ASSERT_TRUE(scalarRow(type, v, r) == pixels.substr((size_t)r * W, W)) << names[type] << " row " << r;
    }
}

TEST_F(Render, ALargeRenderIsTheScalarLoopOnAnyThreadCount) {
    const int W = 3000, H = 2000, DETAIL = 400;
    const std::vector<std::string> args = {"--detail", "400", "--view", "-2.2,0.9,-1.1,1.1", "--size", "3000x2000"};
    std::string first;
    for (const char *threads : {"1", "2", "7"}) {
        std::vector<std::string> a = args;
        a.insert(a.end(), {"--threads", threads, path("large.pgm")});
        const Outcome o = render(a);
        ASSERT_EQ(0, o.status) << o.err;
        const std::string pixels = pnmPixels(slurp(path("large.pgm")), "P5", W, H);
        ASSERT_EQ((size_t)W * H, pixels.size());
        if (first.empty()) {
            first = pixels;
            const KernelView v = viewFor(W, H, DETAIL, -2.2, 0.9, -1.1, 1.1, 0, 0);
            for (int r : {0, 1, 2, 999, 1000, 1001, 1234, 1998, 1999})
                ASSERT_TRUE(scalarRow(MANDELBROT_TYPE, v, r) == pixels.substr((size_t)r * W, W)) << "row " << r;
        } else {
            EXPECT_TRUE(first == pixels) << threads << " threads differ from 1";
        }
    }
}

// ---- output formats -----------------------------------------------------------

std::string decodePng(const std::string &path, int &width, int &height) {
    png_image image;
    memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return std::string("cannot read: ") + image.message;
    image.format = PNG_FORMAT_RGB;
    std::string pixels(PNG_IMAGE_SIZE(image), '\0');
    if (!png_image_finish_read(&image, nullptr, &pixels[0], 0, nullptr))
        return std::string("cannot decode: ") + image.message;
    width = (int)image.width;
    height = (int)image.height;
    return pixels;
}

TEST_F(Render, APngDecodesToThePpmsPixels) {
    const std::vector<std::string> args = {"--type", "M-Cosh", "--detail", "120", "--view", "-2,2,-1.5,1.5",
                                           "--size", "517x389", "--palette", "3,8,5"};
    std::vector<std::string> png = args, ppm = args;
    png.push_back(path("a.png"));
    ppm.push_back(path("a.ppm"));
    ASSERT_EQ(0, render(png).status);
    ASSERT_EQ(0, render(ppm).status);
    int w = 0, h = 0;
    const std::string decoded = decodePng(path("a.png"), w, h);
    ASSERT_EQ(517, w) << decoded.substr(0, 80);
    ASSERT_EQ(389, h);
    const std::string pixels = pnmPixels(slurp(path("a.ppm")), "P6", 517, 389);
    ASSERT_EQ(pixels.size(), decoded.size());
    EXPECT_TRUE(pixels == decoded);
}

TEST_F(Render, AParameterFileTheProgramCanLoad) {
    const Outcome o = render({"--type", "M-Phoenix", "--detail", "77", "--view", "-2,1.5,-1.25,1.25", "--size",
                              "640x480", path("p.frc")});
    ASSERT_EQ(0, o.status) << o.err;
    std::unique_ptr<FractalFile> f(new FractalFile);
    char reason[FILE_ERROR_SIZE] = "";
    ASSERT_TRUE(readFractalFile(path("p.frc").c_str(), *f, reason)) << reason;
    EXPECT_STREQ("M-Phoenix", f->typeName);
    EXPECT_EQ(M_PHOENIX_TYPE, f->type);
    EXPECT_EQ(77, f->detail);
    EXPECT_EQ(-1.25, f->yStart);
    ASSERT_EQ(640, f->width);
    ASSERT_EQ(480, f->height);
    const KernelView v = viewFor(640, 480, 77, -2, 1.5, -1.25, 1.25, 0, 0);
    const std::string grid = frcGrid(path("p.frc"));
    for (int r = 0; r < 480; ++r)
        ASSERT_TRUE(scalarRow(M_PHOENIX_TYPE, v, r) == grid.substr((size_t)r * 640, 640)) << "row " << r;
}

// ---- no display, no graphics libraries ----------------------------------------

TEST_F(Render, RunsWithNoDisplayAndLinksNoGraphicsLibrary) {
    // render() removes DISPLAY (and any other way to a display server).
    const Outcome o = render({"--size", "64x64", path("alone.png")});
    EXPECT_EQ(0, o.status) << o.err;
    EXPECT_TRUE(exists(path("alone.png")));
    std::string out, err;
    ASSERT_EQ(0, runCapture({"ldd", RENDER}, out, err)) << err;
    for (const char *lib : {"libGL", "libglut", "libGLU", "libX11", "libXext", "libxcb", "libEGL"})
        EXPECT_EQ(std::string::npos, out.find(lib)) << RENDER << " links " << lib << ":\n" << out;
}

TEST_F(Render, HelpGoesToStandardOutput) {
    std::string out, err;
    EXPECT_EQ(0, runCapture({RENDER, "--help"}, out, err));
    EXPECT_EQ(0u, out.find("Usage: quorvex-render [options] OUTPUT")) << out;
    EXPECT_EQ("", err);
}

// ---- bad input ------------------------------------------------------------------

struct BadRun {
    std::vector<std::string> args;  // "@" is replaced by the test directory
    int status;
    const char *says;
};

TEST_F(Render, BadInputIsOneLineAndNoFile) {
    // Damaged parameter files to refuse.
    std::ofstream(path("magic.frc")) << "QUORVEZ\nMandelbrot\n50\n-5\n5\n0\n-5\n5\n0\nP5\n2 2\n255\n" << "abcd";
    std::ofstream(path("short.frc")) << "QUORVEX\nMandelbrot\n50\n-5\n5\n0\n-5\n5\n0\nP5\n2 2\n255\n" << "abc";
    std::ofstream(path("wide.frc")) << "QUORVEX\nMandelbrot\n50\n-5\n5\n0\n-5\n5\n0\nP5\n801 1\n255\n";
    std::ofstream(path("odd.frc")) << "QUORVEX\nmandelbrot\n50\n-5\n5\n0\n-5\n5\n0\nP5\n2 2\n255\n" << "abcd";
    mkdir(path("taken.png").c_str(), 0755);
    const std::vector<BadRun> cases = {
        {{"--detail", "fifty", "@/o.png"}, 2, "--detail 'fifty'"},
        {{"--detail", "8421505", "@/o.png"}, 2, "--detail '8421505'"},
        {{"--type", "M-dragon", "@/o.png"}, 2, "--type 'M-dragon'"},
        {{"--view", "1,2,3", "@/o.png"}, 2, "--view"},
        {{"--view", "0,0,1,2", "@/o.png"}, 2, "--view"},
        {{"--pivot", "x,y", "@/o.png"}, 2, "--pivot"},
        {{"--size", "10", "@/o.png"}, 2, "--size '10'"},
        {{"--size", "0x10", "@/o.png"}, 2, "--size"},
        {{"--size", "100000x10", "@/o.png"}, 2, "--size"},
        {{"--palette", "1,2", "@/o.png"}, 2, "--palette"},
        {{"--palette", "0,0,9", "@/o.png"}, 2, "--palette"},
        {{"--threads", "0", "@/o.png"}, 2, "--threads"},
        {{"--colour", "@/o.png"}, 2, "--colour"},
        {{"@/o.png", "--size"}, 2, "needs a value"},
        {{}, 2, "no OUTPUT"},
        {{"@/o.png", "@/p.png"}, 2, "more than one"},
        {{"@/o.gif"}, 2, "must end in"},
        {{"--size", "801x801", "@/o.frc"}, 2, "800x800"},
        {{"@/no/such/dir/o.png"}, 1, "cannot write into"},
        {{"@/taken.png"}, 1, "is a directory"},
        {{"--from", "@/missing.frc", "@/o.png"}, 1, "missing.frc"},
        {{"--from", "@/magic.frc", "@/o.png"}, 1, "not a parameter file"},
        {{"--from", "@/short.frc", "@/o.png"}, 1, "truncated"},
        {{"--from", "@/wide.frc", "@/o.png"}, 1, "801"},
        {{"--from", "@/odd.frc", "--size", "9x9", "@/o.png"}, 1, "unknown type 'mandelbrot'"},
    };
    const size_t before = entries(dir).size();
    for (const BadRun &c : cases) {
        std::vector<std::string> args;
        std::string shown;
        for (std::string a : c.args) {
            if (a[0] == '@') a = dir + a.substr(1);
            args.push_back(a);
            shown += a + " ";
        }
        const Outcome o = render(args);
        EXPECT_EQ(c.status, o.status) << shown << "\n" << o.err;
        EXPECT_EQ(0u, o.err.find("quorvex-render: ")) << shown << o.err;
        EXPECT_NE(std::string::npos, o.err.find(c.says)) << shown << o.err;
        EXPECT_EQ(o.err.size() - 1, o.err.find('\n')) << shown << "one line: " << o.err;
        EXPECT_EQ(before, entries(dir).size()) << shown << "left a file behind";
    }
}

TEST_F(Render, APictureBeyondMemoryIsRefusedNotCrashed) {
    // 1.5 GiB of grid in a 1 GiB address space.
    const Outcome o = render({"--size", "40000x40000", path("huge.pgm")}, (rlim_t)1 << 30);
    EXPECT_EQ(1, o.status) << o.err;
    EXPECT_EQ(0, o.signal);
    EXPECT_NE(std::string::npos, o.err.find("memory")) << o.err;
    EXPECT_TRUE(entries(dir).empty());
}

// ---- deep locations ---------------------------------------------------------------

TEST_F(Render, BadLocationsAreOneLineAndExitTwo) {
    const std::string head = "quorvex-location 1\ntype Mandelbrot\ndetail 500\n";
    const struct {
        const char *name;
        std::string content;
        const char *says;
    } files[] = {
        {"empty.qloc", "", "empty"},
        {"letters.qloc", head + "center abc,0\nwidth 1e-20\npivot 0,0\n", "not a decimal"},
        {"zero.qloc", head + "center 0,1\nwidth 0\npivot 0,0\n", "above 0"},
        {"negative.qloc", head + "center 0,1\nwidth -1e-20\npivot 0,0\n", "above 0"},
        {"long.qloc", head + "center 0." + std::string(10000, '1') + ",1\nwidth 1e-20\npivot 0,0\n", "characters"},
    };
    for (const auto &f : files) std::ofstream(path(f.name), std::ios::binary) << f.content;
    const size_t before = entries(dir).size();
    for (const auto &f : files) {
        const Outcome o = render({"--location", path(f.name), path("o.png")});
        EXPECT_EQ(2, o.status) << f.name << ": " << o.err;
        EXPECT_NE(std::string::npos, o.err.find(f.says)) << f.name << ": " << o.err;
        EXPECT_EQ(o.err.size() - 1, o.err.find('\n')) << "one line: " << o.err;
    }
    const Outcome o = render({"--center", "0," + std::string(10000, '2'), "--width", "1e-9", path("o.png")});
    EXPECT_EQ(2, o.status);
    EXPECT_LT(o.err.size(), 300u) << "no number of 10,000 digits echoed";
    EXPECT_EQ(before, entries(dir).size()) << "nothing written";
}

TEST_F(Render, ADeepPictureAndItsLocationFile) {
    Outcome o = render({"--center=0,1", "--width", "1e-45", "--detail", "1500", "--size", "120x60", "--save-location",
                        path("i.qloc"), path("i.pgm")});
    ASSERT_EQ(0, o.status) << o.err;
    EXPECT_EQ("quorvex-location 1\ntype Mandelbrot\ndetail 1500\ncenter 0,1\nwidth 1e-45\npivot 0,0\n",
              slurp(path("i.qloc")));
    o = render({"--location", path("i.qloc"), "--size", "120x60", "--threads", "3", path("again.pgm")});
    ASSERT_EQ(0, o.status) << o.err;
    const std::string picture = pnmPixels(slurp(path("i.pgm")), "P5", 120, 60);
    ASSERT_EQ(7200u, picture.size());
    EXPECT_TRUE(picture == pnmPixels(slurp(path("again.pgm")), "P5", 120, 60));
    EXPECT_NE(picture.find_first_not_of(picture[0]), std::string::npos) << "a picture, not one colour";
}

// ---- interrupts -------------------------------------------------------------------

struct Interrupted {
    const char *what;
    std::vector<std::string> args;
};

class RenderInterrupt : public Render, public ::testing::WithParamInterface<Interrupted> {};

TEST_P(RenderInterrupt, StopsPromptlyAndLeavesNothing) {
    int err[2];
    ASSERT_EQ(0, pipe(err));
    std::vector<std::string> args = GetParam().args;
    args.push_back(path("big.png"));
    const pid_t child = spawnRender(args, err[1]);
    close(err[1]);
    usleep(700000);  // well into the work
    ASSERT_EQ(0, kill(child, SIGINT));
    const double sent = nowMs();
    int status = 0;
    pid_t done = 0;
    while ((done = waitpid(child, &status, WNOHANG)) == 0 && nowMs() - sent < 10000) usleep(10000);
    const double took = nowMs() - sent;
    if (done == 0) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
        FAIL() << "still running 10 s after the interrupt";
    }
    EXPECT_LT(took, 3000) << "ms from the interrupt to the end";
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << "ends by the interrupt, status " << status;
    char buf[512];
    const ssize_t n = read(err[0], buf, sizeof buf - 1);
    close(err[0]);
    const std::string said(buf, n > 0 ? (size_t)n : 0);
    EXPECT_NE(std::string::npos, said.find("interrupted")) << said;
    EXPECT_TRUE(entries(dir).empty()) << "left behind: " << entries(dir).front();
}

// Minutes of work: the deep square at the highest detail, large; and a
// reference orbit of eight million steps at 1e-300.
INSTANTIATE_TEST_SUITE_P(
    Render, RenderInterrupt,
    ::testing::Values(Interrupted{"rows", {"--detail", "5000", "--view", "-0.75,-0.65,0.1,0.2", "--size", "8192x8192",
                                           "--threads", "2"}},
                      Interrupted{"reference", {"--detail", "8000000", "--center", "-1.25,0.0001", "--width",
                                                "1e-300", "--threads", "2"}}),
    [](const ::testing::TestParamInfo<Interrupted> &i) { return std::string(i.param.what); });

}  // namespace
