// The headless renderer as a user runs it: the real quorvex-render binary,
// always started with no DISPLAY at all, against the real quorvex binary's
// Make, Save and Export in a private X server, against the plain double
// loop, and on bad input and interrupts; dives split by GNU parallel,
// stopped and resumed, and encoded by ffmpeg.
#include <gtest/gtest.h>
#include <png.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <dirent.h>
#include <math.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/kernels.h"
#include "e2e_session.h"
#include "image.h"
#include "sanitizers.h"
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
const Spot MAKE = {45, 780}, LOAD = {45, 755}, FIRST_LISTED = {60, 475}, SAVE = {45, 730}, EXPORT = {45, 705}, RED = {45, 655}, BLUE = {45, 605},
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

TEST_F(RenderAgainstTheProgram, ADeepViewSavedAndLoadedComputesTheSamePicture) {
    // Four zooms of 20x towards a point, each made, at a detail that shows
    // structure there: the edges need every digit of a double.
    const double towardsX = -0.74364, towardsY = 0.13183;
    double edges[4] = {-5, 5, -5, 5};  // the picture on the screen, as the program maps it
    click(DETAIL_PLUS, 19);            // 1000
    click(MAKE);
    for (int k = 0; k < 4; ++k) {
        const double xScale = (edges[1] - edges[0]) / 800, yScale = (edges[3] - edges[2]) / 800;
        const int X = PANEL_LEFT + (int)lround((towardsX - edges[0]) / xScale);
        const int Y = PANEL_TOP - (int)lround((towardsY - edges[2]) / yScale);
        click(ZOOM_IN);
        s.x.drag(X - 20, Y + 20, X + 20, Y - 20);
        s.x.settle(200);
        click(MAKE);
        const double x0 = edges[0], y0 = edges[2];
        edges[0] = (double)(X - 20 - PANEL_LEFT) * xScale + x0;
        edges[1] = (double)(X + 20 - PANEL_LEFT) * xScale + x0;
        edges[2] = (double)(PANEL_TOP - (Y + 20)) * yScale + y0;
        edges[3] = (double)(PANEL_TOP - (Y - 20)) * yScale + y0;
    }
    saveAs(SAVE, "deep", "deep.frc");
    std::unique_ptr<FractalFile> f(new FractalFile);
    char reason[FILE_ERROR_SIZE] = "";
    ASSERT_TRUE(readFractalFile(path("deep.frc").c_str(), *f, reason)) << reason;
    EXPECT_TRUE(f->xStart == edges[0] && f->xEnd == edges[1] && f->yStart == edges[2] && f->yEnd == edges[3])
        << "the view was not saved exactly: " << list({f->xStart, f->xEnd, f->yStart, f->yEnd}) << " for "
        << list({edges[0], edges[1], edges[2], edges[3]});

    click(LOAD);
    s.x.settle(300);
    click(FIRST_LISTED);
    s.x.settle(300);
    click(MAKE);
    saveAs(SAVE, "again", "again.frc");
    const std::string first = slurp(path("deep.frc")), second = slurp(path("again.frc"));
    EXPECT_TRUE(first == second) << "loaded and made again, the work is not the same:\n"
                                 << first.substr(0, 200) << "\n---\n" << second.substr(0, 200);

    const Outcome o = render({"--from", path("deep.frc"), "--size", "800x800", path("deep.pgm")});
    ASSERT_EQ(0, o.status) << o.err;
    EXPECT_EQ("", o.err) << "a view doubles resolve gets no warning";
    EXPECT_TRUE(frcGrid(path("deep.frc")) == pnmPixels(slurp(path("deep.pgm")), "P5", 800, 800));
    exitProgram();
}

TEST_F(Render, AViewNarrowerThanDoublesResolveIsRenderedAfterOneWarning) {
    const Outcome o = render({"--view", "0.1,0.10000000000000003,0,1", "--size", "64x8", path("thin.pgm")});
    EXPECT_EQ(0, o.status);
    EXPECT_EQ(1, std::count(o.err.begin(), o.err.end(), '\n')) << o.err;
    EXPECT_NE(std::string::npos, o.err.find("warning")) << o.err;
    EXPECT_TRUE(exists(path("thin.pgm")));
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

// The README's pictures come from tools/docs-pictures.sh; made again now,
// each must decode to the committed pixels, and each command the script
// runs must stand in the README as written.
TEST_F(Render, TheReadmePicturesAreWhatTheProgramsMakeNow) {
    const std::string source = QUORVEX_SOURCE_DIR, build = std::string(RENDER).substr(0, std::string(RENDER).rfind('/'));
    std::string out, err;
    ASSERT_EQ(0, runCapture({"bash", source + "/tools/docs-pictures.sh", dir}, out, err,
                            {"QUORVEX_BUILD=" + build}))
        << err;
    const std::string readme = slurp(source + "/README.md");
    std::istringstream script(slurp(source + "/tools/docs-pictures.sh"));
    for (std::string line; std::getline(script, line);) {
        if (line.compare(0, 7, "render ") != 0) continue;
        EXPECT_NE(std::string::npos, readme.find("quorvex-render " + line.substr(7))) << line;
    }
    for (const std::string &name : entries(source + "/docs")) {
        if (name.size() < 4 || name.compare(name.size() - 4, 4, ".png") != 0) continue;
        Image committed, made;
        for (Image *im : {&committed, &made}) {
            const std::string file = (im == &committed ? source + "/docs/" : dir + "/") + name;
            const std::string rgb = decodePng(file, im->width, im->height);
            im->rgb.assign(rgb.begin(), rgb.end());
            ASSERT_EQ(im->rgb.size(), (size_t)im->width * im->height * 3) << file << ": " << rgb.substr(0, 80);
        }
        EXPECT_EQ(0, comparePictures("docs-" + name, committed, made))
            << "docs/" << name << " is not what the programs make now; if the change is meant, "
            << "re-record with: bash tools/docs-pictures.sh";
    }
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
    const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    snprintf(address.sun_path, sizeof address.sun_path, "%s", path("sock.png").c_str());
    ASSERT_EQ(0, bind(sock, (sockaddr *)&address, sizeof address));
    const std::string longName = "@/" + std::string(250, 'n');
    mkdir(path(longName.substr(2) + ".png").c_str(), 0755);
    const std::vector<std::string> endless = {"--size", "20000x20000", "--detail", "5000"};  // hours
    // Gradient files and pictures to refuse: short, not made here, damaged.
    std::ofstream(path("short.map")) << "1 2 3\n";
    ASSERT_EQ(0, render({"--size", "8x6", path("made.png")}).status);
    std::string damaged = slurp(path("made.png"));
    damaged[damaged.find("Quorvex size") + 14] ^= 4;
    std::ofstream(path("damaged.png"), std::ios::binary) << damaged;
    std::ofstream(path("made.pn0"), std::ios::binary) << slurp(path("made.png"));
    const std::string foreign = std::string(QUORVEX_SOURCE_DIR) + "/docs/window.png";
    const std::vector<BadRun> cases = {
        {{"--gradient", "@/short.map", "@/o.png"}, 2, "--gradient: @/short.map: 1 colours, not 256"},
        {{"--gradient", "@/none.map", "@/o.png"}, 2, "cannot open"},
        {{"--palette", "sunset", "@/o.png"}, 2, "or a gradient: twilight"},
        {{"--colour", "cyclic:0", "@/o.png"}, 2, "--colour 'cyclic:0'"},
        {{"--shade", "slopes:east", "@/o.png"}, 2, "--shade"},
        {{"--shade", "slopes+distance:0", "@/o.png"}, 2, "--shade"},
        {{"--colour", "histogram", "@/o.pgm"}, 2, "write .png or .ppm"},
        {{"--location", foreign, "@/o.png"}, 2, "not made by quorvex-render"},
        {{"--location", "@/damaged.png", "@/o.png"}, 2, "damaged: a chunk's checksum"},
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
        {{endless[0], endless[1], endless[2], endless[3], "@/taken.png"}, 1, "is a directory"},
        {{endless[0], endless[1], endless[2], endless[3], "@/sock.png"}, 1, "sock.png is a socket"},
        {{longName + "/o.png"}, 1, "nnn: No such file or directory"},
        {{longName + ".png"}, 1, "nnn.png is a directory"},
        {{"--from", "@/missing.frc", "@/o.png"}, 1, "missing.frc"},
        {{"--from", "@/magic.frc", "@/o.png"}, 1, "not a parameter file"},
        {{"--from", "@/short.frc", "@/o.png"}, 1, "truncated"},
        {{"--from", "@/wide.frc", "@/o.png"}, 1, "801"},
        {{"--from", "@/odd.frc", "--size", "9x9", "@/o.png"}, 1, "unknown type 'mandelbrot'"},
        {{"--zoom-to-view", "-1,1,-1,1", "--frames", "1", "@/f%d.png"}, 2, "--frames '1'"},
        {{"--aa", "0", "@/o.png"}, 2, "--aa '0'"},
        {{"--aa", "9", "@/o.png"}, 2, "--aa '9'"},
        {{"--zoom-to-view", "-1,1,-1,1", "--frames", "12", "--frame-range", "8:12", "@/f%d.png"}, 2, "0..11"},
        {{"--zoom-to-view", "-1,1,-1,1", "--frames", "12", "@/f.png"}, 2, "frame-number field"},
        {{"--zoom-to-view", "-1,1,-1,1", "--frames", "12", "@/f%d-%d.png"}, 2, "frame-number field"},
        {{"--zoom-to", "@/short.frc", "--frames", "12", "@/f%d.png"}, 2, "--zoom-to"},
        {{"--zoom-to-center", "0,1", "--zoom-to-width", "1e-30", "--frames", "3", "@/f%d.png"}, 2,
         "first frame as a location"},
        {{"--center=0,1", "--width", "1e-20", "--zoom-to-view", "-1,1,-1,1", "--frames", "3", "@/f%d.png"}, 2,
         "last frame as --zoom-to-center"},
        {{"--tiles", "2x2", "--join", "@/tile-%d", "@/p.png"}, 1, "cannot join tile 0, @/tile-0: missing"},
        {{"--tiles", "1x1", "--join", "@/made.pn%d", "@/p.png"}, 1, "tile 0, @/made.pn0: not a tile file"},
        {{"--tiles", "2x0", "@/tile-%d"}, 2, "--tiles '2x0'"},
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
        std::string says = c.says;
        if (says.find("@/") != std::string::npos) says.replace(says.find("@/"), 1, dir);
        EXPECT_EQ(c.status, o.status) << shown << "\n" << o.err;
        EXPECT_EQ(0u, o.err.find("quorvex-render: ")) << shown << o.err;
        EXPECT_NE(std::string::npos, o.err.find(says)) << shown << o.err;
        EXPECT_EQ(o.err.size() - 1, o.err.find('\n')) << shown << "one line: " << o.err;
        EXPECT_EQ(before, entries(dir).size()) << shown << "left a file behind";
    }
    close(sock);
}

// ---- inputs without end, outputs that are not files ---------------------------------

TEST_F(Render, EndlessOrHugeInputsAreRefusedAtOnce) {
    const int big = open(path("sparse.frc").c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_EQ(0, ftruncate(big, (off_t)2 << 30));
    close(big);
    ASSERT_EQ(0, mkfifo(path("fifo.frc").c_str(), 0600));
    const pid_t feeder = fork();
    if (feeder == 0) {  // a magic, then blank lines for ever
        FILE *f = fopen(path("fifo.frc").c_str(), "wb");
        for (fputs("QUORVEX\n", f); fputc('\n', f) != EOF;) {
        }
        _exit(0);
    }
    for (const std::string &from : {std::string("/dev/zero"), path("fifo.frc"), path("sparse.frc")}) {
        const double start = nowMs();
        const Outcome o = render({"--from", from, path("o.png")});
        EXPECT_LT(nowMs() - start, 1000) << from;
        EXPECT_EQ(1, o.status) << o.err;
        EXPECT_EQ(o.err.size() - 1, o.err.find('\n')) << "one line: " << o.err;
    }
    kill(feeder, SIGKILL);
    waitpid(feeder, nullptr, 0);
    EXPECT_EQ(2u, entries(dir).size());
}

TEST_F(Render, AnInterruptEndsAFromReadThatWaits) {
    ASSERT_EQ(0, mkfifo(path("slow.frc").c_str(), 0600));
    const pid_t feeder = fork();
    if (feeder == 0) {  // a header and a few rows, then nothing more for a minute
        FILE *f = fopen(path("slow.frc").c_str(), "wb");
        fputs("QUORVEX\nMandelbrot\n50\n-5\n5\n0\n-5\n5\n0\nP5\n800 800\n255\n", f);
        fwrite(std::string(4000, 'x').data(), 1, 4000, f);
        fflush(f);
        sleep(60);
        _exit(0);
    }
    int err[2];
    ASSERT_EQ(0, pipe(err));
    const pid_t child = spawnRender({"--from", path("slow.frc"), path("o.png")}, err[1]);
    close(err[1]);
    usleep(500000);
    ASSERT_EQ(0, kill(child, SIGTERM));
    const double sent = nowMs();
    const Outcome o = finish(child, err[0]);
    EXPECT_LT(nowMs() - sent, 1000);
    EXPECT_EQ(SIGTERM, o.signal) << o.err;
    EXPECT_NE(std::string::npos, o.err.find("interrupted")) << o.err;
    kill(feeder, SIGKILL);
    waitpid(feeder, nullptr, 0);
}

TEST_F(Render, ALinkToADeviceStaysAndAFifoGetsThePicture) {
    ASSERT_EQ(0, mknod(path("null").c_str(), S_IFCHR | 0666, makedev(1, 3))) << strerror(errno);
    ASSERT_EQ(0, symlink("null", path("out.ppm").c_str()));
    Outcome o = render({"--size", "8x8", path("out.ppm")});
    EXPECT_EQ(0, o.status) << o.err;
    struct stat st;
    EXPECT_TRUE(lstat(path("null").c_str(), &st) == 0 && S_ISCHR(st.st_mode)) << "the node is still a device";
    ASSERT_EQ(0, mkfifo(path("fifo.ppm").c_str(), 0600));
    int err[2];
    ASSERT_EQ(0, pipe(err));
    const pid_t child = spawnRender({"--size", "8x8", path("fifo.ppm")}, err[1]);
    close(err[1]);
    const std::string piped = slurp(path("fifo.ppm"));
    o = finish(child, err[0]);
    EXPECT_EQ(0, o.status) << o.err;
    EXPECT_EQ(192u, pnmPixels(piped, "P6", 8, 8).size()) << piped.substr(0, 20);
    EXPECT_TRUE(lstat(path("fifo.ppm").c_str(), &st) == 0 && S_ISFIFO(st.st_mode));
    EXPECT_EQ(3u, entries(dir).size());
}

TEST_F(Render, APictureBeyondMemoryIsRefusedNotCrashed) {
#ifdef QUORVEX_UNDER_ASAN
    GTEST_SKIP() << "AddressSanitizer's shadow memory cannot start in a limited address space";
#endif
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

// The exit statuses of the finder: a type without minibrots is the command
// line's fault (2), a picture without one a failure (1), each one line with
// nothing written; what it finds is said in one line and its location kept.
TEST_F(Render, TheMinibrotFinderSaysWhatItFoundOrWhyNot) {
    const std::vector<std::string> seahorse = {
        "--center=-0.743643887037158704752191506114774,0.131825904205311970493132056385139", "--width", "7.1e-30",
        "--size", "128x72", "--detail", "10000", "--find-minibrot"};
    auto with = [&](std::vector<std::string> more) {
        more.insert(more.begin(), seahorse.begin(), seahorse.end());
        return more;
    };
    Outcome o = render(with({"--type", "J-Cosh", path("j.png")}));
    EXPECT_EQ(2, o.status) << o.err;
    o = render({"--center=1,1", "--width", "1e-20", "--find-minibrot", path("n.png")});
    EXPECT_EQ(1, o.status) << o.err;
    EXPECT_NE(std::string::npos, o.err.find("no minibrot found")) << o.err;
    EXPECT_EQ(o.err.size() - 1, o.err.find('\n')) << "one line: " << o.err;
    EXPECT_TRUE(entries(dir).empty()) << "nothing written";
    o = render(with({path("m.qloc")}));
    ASSERT_EQ(0, o.status) << o.err;
    EXPECT_NE(std::string::npos, o.err.find("period 8007")) << o.err;
    EXPECT_EQ(1u, entries(dir).size()) << "the location, no picture";
    EXPECT_EQ(0u, slurp(path("m.qloc")).find("quorvex-location 1\ntype Mandelbrot\ndetail 10000\ncenter -0.7436438"));
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

// ---- dives ------------------------------------------------------------------------

// A 12-frame dive into the seahorse valley, smooth and anti-aliased.
std::vector<std::string> diveArgs(const std::string &size, const char *detail) {
    return {"--view", "-0.7445,-0.7425,0.1305,0.1325", "--zoom-to-view", "-0.74365,-0.74363,0.13182,0.13184",
            "--frames", "12", "--size", size, "--aa", "2", "--smooth", "--detail", detail, "--palette", "5,7,4"};
}

std::vector<std::string> withOutput(std::vector<std::string> args, const std::string &out) {
    args.push_back(out);
    return args;
}

// The frames of `dir` by name, and every name (temporaries too) in it.
std::vector<std::string> sortedEntries(const std::string &dir) {
    std::vector<std::string> names = entries(dir);
    std::sort(names.begin(), names.end());
    return names;
}

void expectSameFiles(const std::string &want, const std::string &got) {
    const std::vector<std::string> names = sortedEntries(want);
    ASSERT_EQ(names, sortedEntries(got));
    for (const std::string &n : names) EXPECT_TRUE(slurp(want + "/" + n) == slurp(got + "/" + n)) << n;
}

TEST_F(Render, ADiveSplitByGnuParallelIsTheFullRunByteForByte) {
    const std::vector<std::string> args = diveArgs("96x54", "800");
    mkdir(path("full").c_str(), 0755);
    mkdir(path("split").c_str(), 0755);
    Outcome o = render(withOutput(args, path("full/f-%02d.png")));
    ASSERT_EQ(0, o.status) << o.err;
    ASSERT_EQ(12u, entries(path("full")).size());
    std::vector<std::string> command = {"parallel", "--will-cite", "-j", "2", RENDER};
    command.insert(command.end(), args.begin(), args.end());
    command.insert(command.end(), {"--frame-range", "{}", path("split/f-%02d.png"), ":::", "0:2", "3:5", "6:8", "9:11"});
    std::string out, err;
    ASSERT_EQ(0, runCapture(command, out, err)) << "GNU parallel (tools/setup.sh installs it): " << err;
    expectSameFiles(path("full"), path("split"));
}

TEST_F(Render, AnInterruptedDiveKeepsWholeFramesAndResumesToTheSameFiles) {
    const std::vector<std::string> args = diveArgs("320x180", "3000");
    mkdir(path("full").c_str(), 0755);
    mkdir(path("resumed").c_str(), 0755);
    int err[2];
    ASSERT_EQ(0, pipe(err));
    const pid_t child = spawnRender(withOutput(args, path("resumed/f-%02d.png")), err[1]);
    close(err[1]);
    for (const double end = nowMs() + 60000; nowMs() < end && entries(path("resumed")).size() < 3;) usleep(5000);
    kill(child, SIGINT);
    const Outcome stopped = finish(child, err[0]);
    EXPECT_EQ(SIGINT, stopped.signal) << stopped.err;
    EXPECT_NE(std::string::npos, stopped.err.find("goes on from there")) << stopped.err;
    const std::vector<std::string> kept = sortedEntries(path("resumed"));
    EXPECT_LT(kept.size(), 12u) << "the interrupt came too late to test anything";
    Outcome o = render(withOutput(args, path("full/f-%02d.png")));
    ASSERT_EQ(0, o.status) << o.err;
    for (const std::string &n : kept)
        EXPECT_TRUE(slurp(path("full/" + n)) == slurp(path("resumed/" + n))) << n << " is not a whole frame";
    o = render(withOutput(args, path("resumed/f-%02d.png")));
    ASSERT_EQ(0, o.status) << o.err;
    EXPECT_NE(std::string::npos, o.err.find("already written, kept")) << o.err;
    expectSameFiles(path("full"), path("resumed"));
}

// Raw RGB frames of a video, as ffmpeg decodes them.
std::string decodeVideo(const std::string &video) {
    std::string out, err;
    if (runCapture({"ffmpeg", "-v", "error", "-i", video, "-f", "rawvideo", "-pix_fmt", "rgb24", "-"}, out, err))
        return "ffmpeg: " + err;
    return out;
}

TEST_F(Render, VideosDecodeToTheFramesAndAMissingFfmpegIsOneLine) {
    const std::vector<std::string> args = diveArgs("96x54", "500");
    ASSERT_EQ(0, render(withOutput(args, path("dive.mp4"))).status);
    std::string out, err;
    ASSERT_EQ(0, runCapture({"ffprobe", "-v", "error", "-count_frames", "-select_streams", "v:0", "-show_entries",
                             "stream=nb_read_frames,width,height", "-of", "csv=p=0", path("dive.mp4")},
                            out, err))
        << err;
    EXPECT_EQ("96,54,12\n", out);
    // .mkv is lossless: it holds the very pixels of the frame files.
    mkdir(path("frames").c_str(), 0755);
    ASSERT_EQ(0, render(withOutput(args, path("frames/f-%02d.ppm"))).status);
    const pid_t gone = fork();  // a writer killed with its temporary in place
    if (gone == 0) _exit(0);
    waitpid(gone, nullptr, 0);
    std::ofstream(path(".dive.mkv.tmp" + std::to_string(gone) + "-0-0")) << "stale";
    ASSERT_EQ(0, render(withOutput(args, path("dive.mkv"))).status);
    EXPECT_FALSE(exists(path(".dive.mkv.tmp" + std::to_string(gone) + "-0-0")));
    std::string pixels;
    for (const std::string &n : sortedEntries(path("frames"))) pixels += pnmPixels(slurp(path("frames/" + n)), "P6", 96, 54);
    EXPECT_TRUE(pixels == decodeVideo(path("dive.mkv")));
    // Without ffmpeg: one line, status 1, no file.
    std::vector<std::string> command = {RENDER};
    command.insert(command.end(), args.begin(), args.end());
    command.push_back(path("none.webm"));
    EXPECT_EQ(1, runCapture(command, out, err, {"PATH=/nonexistent"}));
    EXPECT_EQ(0u, err.find("quorvex-render: ffmpeg is not on PATH")) << err;
    EXPECT_EQ(err.size() - 1, err.find('\n')) << err;
    EXPECT_FALSE(exists(path("none.webm")));
}

TEST_F(Render, AnInterruptedVideoLeavesNoFile) {
    int err[2];
    ASSERT_EQ(0, pipe(err));
    const pid_t child = spawnRender(withOutput(diveArgs("320x180", "3000"), path("dive.mp4")), err[1]);
    close(err[1]);
    // The temporary appears as ffmpeg starts, before the first frame.
    for (const double end = nowMs() + 30000; nowMs() < end && entries(dir).empty();) usleep(5000);
    usleep(100000);
    kill(child, SIGINT);
    const Outcome o = finish(child, err[0]);
    EXPECT_EQ(SIGINT, o.signal) << o.err;
    EXPECT_NE(std::string::npos, o.err.find("dive.mp4 not written")) << o.err;
    EXPECT_TRUE(entries(dir).empty()) << entries(dir).front();
}

// Each wait on a FIFO no one opens, as an input or an output, and on an
// ffmpeg that stops reading, ends by the signal with nothing written.
TEST_F(Render, AnInterruptEndsEveryWaitOnAPipeOrOnFfmpeg) {
    ASSERT_EQ(0, mkfifo(path("fifo").c_str(), 0600));
    ASSERT_EQ(0, mkfifo(path("fifo.png").c_str(), 0600));
    mkdir(path("bin").c_str(), 0755);
    std::ofstream(path("bin/ffmpeg")) << "#!/bin/sh\necho $$ > " << path("bin/pid") << "\nexec sleep 600\n";
    chmod(path("bin/ffmpeg").c_str(), 0755);
    const std::vector<std::string> dive = {"--zoom-to-view", "-1,1,-1,1", "--frames", "12", "--size", "96x54"};
    const std::vector<std::vector<std::string>> waits = {
        {"--center=0,0", "--width", "3", "--size", "8x8", "--save-location", path("fifo"), path("o.png")},
        {"--smooth", "--size", "8x8", path("fifo.png")},
        {"--aa", "2", "--size", "8x8", path("fifo.png")},
        {"--location", path("fifo"), path("o.png")},
        {"--zoom-to", path("fifo"), "--frames", "3", path("f%d.png")},
        {dive[0], dive[1], dive[2], dive[3], dive[4], dive[5], path("v.mkv")},
    };
    const size_t before = entries(dir).size();
    for (const std::vector<std::string> &args : waits) {
        int err[2];
        ASSERT_EQ(0, pipe(err));
        const std::string oldPath = getenv("PATH");
        setenv("PATH", (path("bin") + ":" + oldPath).c_str(), 1);
        const pid_t child = spawnRender(args, err[1]);
        setenv("PATH", oldPath.c_str(), 1);
        close(err[1]);
        usleep(700000);
        kill(child, args[0] == "--location" ? SIGTERM : SIGINT);
        const double sent = nowMs();
        siginfo_t ended = {};
        while (waitid(P_PID, (id_t)child, &ended, WEXITED | WNOHANG | WNOWAIT) == 0 && ended.si_pid == 0 &&
               nowMs() - sent < 3000)
            usleep(10000);
        EXPECT_NE(0, ended.si_pid) << args.back() << ": still running 3 s after the signal";
        if (ended.si_pid == 0) kill(child, SIGKILL);
        const Outcome o = finish(child, err[0]);
        EXPECT_EQ(args[0] == "--location" ? SIGTERM : SIGINT, o.signal) << args.back() << ": " << o.err;
        EXPECT_NE(std::string::npos, o.err.find("interrupted")) << o.err;
        EXPECT_EQ(before, entries(dir).size()) << args.back() << " left a file";
    }
    EXPECT_NE(0, kill(std::stoi(slurp(path("bin/pid"))), 0)) << "the stand-in ffmpeg was ended";
}

// Minutes of work: the deep square at the highest detail, large; and a
// reference orbit of eight million steps at 1e-300 inside the main cardioid
// (it never escapes), for a still and for one in smooth colour.
INSTANTIATE_TEST_SUITE_P(
    Render, RenderInterrupt,
    ::testing::Values(Interrupted{"rows", {"--detail", "5000", "--view", "-0.75,-0.65,0.1,0.2", "--size", "8192x8192",
                                           "--threads", "2"}},
                      Interrupted{"reference", {"--detail", "8000000", "--center", "-0.1,0.1", "--width",
                                                "1e-300", "--threads", "2"}},
                      Interrupted{"smoothreference", {"--detail", "8000000", "--center", "-0.1,0.1", "--width",
                                                      "1e-300", "--threads", "2", "--smooth", "--aa", "2"}}),
    [](const ::testing::TestParamInfo<Interrupted> &i) { return std::string(i.param.what); });

}  // namespace
