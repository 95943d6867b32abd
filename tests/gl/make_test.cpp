// The Make command in the program's own window: what it leaves in the grid,
// in both buffers and on the screen, in each processing mode.
//
// The expected picture is modelled here, not drawn: a cell (r, c) is a
// 2 x 2 square whose top-right pixel is (left + 2 + c, top - 3 - r), and a
// later point covers an earlier one. Drawn in ascending row order, pixel
// (X, Y) therefore shows the cell in column X - left - 1 (else X - left - 2)
// and row top - 3 - Y (else top - 4 - Y). Drawn out of order, a pixel row
// shared by two grid rows may show either.
#include <gtest/gtest.h>
#include <pthread.h>
#include <string.h>
#include <time.h>

#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/dispatch.h"
#include "app/layout.h"
#include "colour/display.h"
#include "core/kernels.h"
#include "core/state.h"
#include "generate/make.h"
#include "generate/row_workers.h"
#include "gl_harness.h"
#include "widgets/button.h"
#include "widgets/gfx.h"

namespace {

const unsigned char UNTOUCHED = 0xA7;

// The interior of the image panel: what Make clears.
struct Area {
    int X, Y, width, height;
};
Area panelInterior() {
    return Area{MAIN_WINDOW.left, MAIN_WINDOW.bottom, MAIN_WINDOW.right - MAIN_WINDOW.left,
                MAIN_WINDOW.top - MAIN_WINDOW.bottom};
}

Image regionOf(const Image &image, const Area &a) { return image.region(a.X, a.Y, a.width, a.height); }

// The grid the kernels give for the current parameters, scales from the
// view, over UNTOUCHED bytes.
std::vector<unsigned char> referenceGrid() {
    std::vector<unsigned char> grid(GRID_CELLS, UNTOUCHED);
    KernelView view = currentKernelView();
    view.xScale = (xEnd - xStart) / fracWidth;
    view.yScale = (yEnd - yStart) / fracHeight;
    for (int row = 0; row < fracHeight; ++row)
        computeRowScalar(fType, view, row, grid.data() + GRID_SIZE * row);
    return grid;
}

int firstDifferentCell(const std::vector<unsigned char> &want) {
    for (int i = 0; i < GRID_CELLS; ++i)
        if (fractal[i] != want[i]) return i;
    return -1;
}

// With the start palette a grid value v is the grey (v, v, v); 255 is white.
Rgb grey(unsigned char v) { return Rgb{v, v, v}; }

// The cell colours pixel (X, Y) may show: none (black), or one or two
// candidates (the later-drawn one first when rows go in ascending order).
std::vector<Rgb> candidates(const std::vector<unsigned char> &grid, int X, int Y) {
    const int left = MAIN_WINDOW.left, top = MAIN_WINDOW.top;
    int c = X - left - 1;
    if (c >= fracWidth) c = X - left - 2;
    if (c < 0 || c >= fracWidth) return {};
    std::vector<Rgb> out;
    for (int r : {top - 3 - Y, top - 4 - Y})
        if (r >= 0 && r < fracHeight) out.push_back(grey(grid[GRID_SIZE * r + c]));
    return out;
}

// The panel after rows drawn top to bottom over black.
Image modelPanel(const std::vector<unsigned char> &grid) {
    const Area a = panelInterior();
    Image out(a.width, a.height);
    for (int Y = a.Y; Y < a.Y + a.height; ++Y)
        for (int X = a.X; X < a.X + a.width; ++X) {
            const std::vector<Rgb> c = candidates(grid, X, Y);
            out.setTop(X - a.X, a.Y + a.height - 1 - Y, c.empty() ? Rgb{0, 0, 0} : c.front());
        }
    return out;
}

// Pixels that show neither candidate, for rows drawn in any order.
long pixelsMatchingNoRow(const Image &window, const std::vector<unsigned char> &grid) {
    const Area a = panelInterior();
    long wrong = 0;
    for (int Y = a.Y; Y < a.Y + a.height; ++Y)
        for (int X = a.X; X < a.X + a.width; ++X) {
            const std::vector<Rgb> c = candidates(grid, X, Y);
            const Rgb got = window.at(X, Y);
            bool ok = c.empty() ? got == Rgb{0, 0, 0} : false;
            for (const Rgb &each : c) ok = ok || got == each;
            wrong += !ok;
        }
    return wrong;
}

// The window with the image panel blanked, to compare everything else.
Image withoutPanel(Image image) {
    const Area a = panelInterior();
    for (int Y = a.Y; Y < a.Y + a.height; ++Y)
        for (int X = a.X; X < a.X + a.width; ++X) image.setTop(X, image.height - 1 - Y, Rgb{0, 0, 0});
    return image;
}

float pointSize() {
    GLfloat size = 0;
    glGetFloatv(GL_POINT_SIZE, &size);
    return size;
}

class MakeCommand : public ::testing::Test {
protected:
    void SetUp() override {
        restoreStartState();
        savedProcessType = processType;
        savedThreads = threads;
        savedCreate = createRowThread;
        savedFlash = clickFlashMicroseconds;
        clickFlashMicroseconds = 0;
        memset(fractal, UNTOUCHED, GRID_CELLS);
        before = backBuffer();
    }
    void TearDown() override {
        processType = savedProcessType;
        threads = savedThreads;
        createRowThread = savedCreate;
        clickFlashMicroseconds = savedFlash;
    }

    void make(int mode, int slots = 1) {
        processType = mode;
        threads = slots;
        MAKE_COMMAND();
    }

    // What must hold after every Make: state, both buffers and the screen
    // the same picture, the rest of the window as it was.
    void expectFinishedWindow(const std::string &name) {
        EXPECT_EQ(noFractal, 0);
        EXPECT_EQ(pointSize(), 1.0f);
        EXPECT_EQ(gfxCurrentDrawBuffer(), (GLenum)GL_FRONT_AND_BACK);
        back = backBuffer();
        EXPECT_EQ(comparePictures(name + "-front", back, frontBuffer()), 0) << "front differs from back";
        EXPECT_EQ(comparePictures(name + "-screen", back, screen()), 0) << "screen differs from back";
        EXPECT_EQ(comparePictures(name + "-outside", withoutPanel(before), withoutPanel(back)), 0)
            << "Make changed the window outside the image panel";
    }

    void zoomTo(double x0, double x1, double y0, double y1) {
        xStart = x0, xEnd = x1, yStart = y0, yEnd = y1;  // scales left stale, as a zoom pick does
    }

    int savedProcessType = 0, savedThreads = 0;
    int (*savedCreate)(pthread_t *, void *(*)(void *), void *) = nullptr;
    unsigned savedFlash = 0;
    Image before, back;
};

// --- sequential -----------------------------------------------------------------

TEST_F(MakeCommand, SequentialDrawsEveryRowTopToBottomIntoBothBuffers) {
    const std::vector<unsigned char> want = referenceGrid();
    make(1);
    EXPECT_EQ(firstDifferentCell(want), -1);
    expectFinishedWindow("sequential");
    EXPECT_EQ(comparePictures("sequential-panel", modelPanel(want), regionOf(back, panelInterior())), 0);
}

TEST_F(MakeCommand, RecomputesTheScalesFromAZoomedViewBeforeTheFirstRow) {
    setFractalType(J_COSINE_TYPE);
    xPivot = -0.4, yPivot = 0.6;
    zoomTo(-1.25, -0.25, -0.25, 0.75);
    const std::vector<unsigned char> want = referenceGrid();
    make(1);
    EXPECT_EQ(xScale, 1.0 / fracWidth);
    EXPECT_EQ(yScale, 1.0 / fracHeight);
    EXPECT_EQ(firstDifferentCell(want), -1);
    expectFinishedWindow("zoomed");
    EXPECT_EQ(comparePictures("zoomed-panel", modelPanel(want), regionOf(back, panelInterior())), 0);
}

// --- threaded --------------------------------------------------------------------

TEST_F(MakeCommand, ThreadedGivesTheSequentialGridAndAPictureOfItsRows) {
    setFractalType(M_DRAGON_TYPE);
    zoomTo(-2.0, 4.0, -3.0, 3.0);
    const std::vector<unsigned char> want = referenceGrid();
    make(1);
    const Image sequential = regionOf(backBuffer(), panelInterior());
    for (int slots : {1, 3, 1000}) {
        SCOPED_TRACE("t " + std::to_string(slots));
        const std::string name = "threaded-t" + std::to_string(slots);
        memset(fractal, UNTOUCHED, GRID_CELLS);
        make(2, slots);
        EXPECT_EQ(firstDifferentCell(want), -1);
        expectFinishedWindow(name);
        if (slots == 1) {  // one slot draws in row order: the sequential picture exactly
            EXPECT_EQ(comparePictures(name + "-panel", sequential, regionOf(back, panelInterior())), 0);
        }
        EXPECT_EQ(pixelsMatchingNoRow(back, want), 0);
    }
}

TEST_F(MakeCommand, ThreadedFinishesWhenWorkersCannotBeCreated) {
    setFractalType(M_PHOENIX_TYPE);
    const std::vector<unsigned char> want = referenceGrid();
    for (auto failing : {+[](pthread_t *, void *(*)(void *), void *) { return EAGAIN; },
                         +[](pthread_t *t, void *(*entry)(void *), void *arg) {
                             static int calls = 0;
                             return ++calls % 2 ? EAGAIN : pthread_create(t, nullptr, entry, arg);
                         }}) {
        memset(fractal, UNTOUCHED, GRID_CELLS);
        createRowThread = failing;
        testing::internal::CaptureStderr();
        make(2, 4);
        const std::string told = testing::internal::GetCapturedStderr();
        EXPECT_EQ(firstDifferentCell(want), -1);
        expectFinishedWindow("no-workers");
        EXPECT_EQ(pixelsMatchingNoRow(back, want), 0);
        EXPECT_NE(told.find("could not start"), std::string::npos) << told;
    }
}

TEST_F(MakeCommand, ThreadedSaysNothingWhenEveryWorkerStarts) {
    testing::internal::CaptureStderr();
    make(2, 2);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

// Grabs the screen when the worker for one row is about to be created:
// with one slot every earlier row has been drawn by then.
int grabAtRow = -1;
Image midMake;
int slowCreate(pthread_t *thread, void *(*entry)(void *), void *arg) {
    if (static_cast<RowSlot *>(arg)->row == grabAtRow) midMake = screen();
    struct timespec pause = {0, 1000000};  // make the Make last long enough to present
    nanosleep(&pause, nullptr);
    return pthread_create(thread, nullptr, entry, arg);
}

TEST_F(MakeCommand, ScreenShowsRowsWhileTheyAreComputed) {
    const std::vector<unsigned char> want = referenceGrid();
    createRowThread = slowCreate;
    grabAtRow = 400;
    make(2, 1);
    ASSERT_EQ(midMake.width, winWidth);
    // Presenting at most every 16 ms: a few rows may not be on the screen
    // yet, but most of the top half is, and nothing below it.
    const int top = MAIN_WINDOW.top;
    for (int r = 0; r < 300; ++r)
        for (int c = 0; c < fracWidth; c += 37) {
            const int X = MAIN_WINDOW.left + 1 + c, Y = top - 3 - r;
            ASSERT_EQ(midMake.at(X, Y), grey(want[GRID_SIZE * r + c])) << "row " << r << " column " << c;
        }
    for (int r = 402; r < fracHeight; ++r)
        ASSERT_EQ(midMake.at(MAIN_WINDOW.left + 400, top - 3 - r), (Rgb{0, 0, 0})) << "row " << r;
}

TEST_F(MakeCommand, PresentsAtMostOnceEvery16Milliseconds) {
    zoomTo(-0.75, -0.65, 0.1, 0.2);
    detail = 300;
    applyScaleRule();
    gfxDrawBuffer(GL_FRONT_AND_BACK);
    glPointSize(2.0);
    const long presentsBefore = gfxPresentCount();
    timespec t0, t1;
    clock_gettime(CLOCK_MONOTONIC, &t0);
    MANDELBROT(MAIN_WINDOW);
    clock_gettime(CLOCK_MONOTONIC, &t1);
    glPointSize(1.0);
    gfxFlush();
    const double ms = (t1.tv_sec - t0.tv_sec) * 1e3 + (t1.tv_nsec - t0.tv_nsec) / 1e6;
    const long presents = gfxPresentCount() - presentsBefore;
    EXPECT_GE(presents, 2) << "over " << ms << " ms";
    EXPECT_LE(presents, (long)(ms / 16.0) + 2) << "over " << ms << " ms";
}

// --- the block in use, and no processing mode --------------------------------------

TEST_F(MakeCommand, SmallGridWritesAndDrawsOnlyTheTopLeftBlock) {
    for (int mode : {1, 2}) {
        SCOPED_TRACE("processType " + std::to_string(mode));
        make(1);  // a full picture first: the panel must not keep any of it
        fracWidth = 300;
        fracHeight = 200;
        setFractalType(JULIA_TYPE);
        xPivot = -0.8, yPivot = 0.156;
        memset(fractal, UNTOUCHED, GRID_CELLS);
        const std::vector<unsigned char> want = referenceGrid();
        make(mode, 7);
        EXPECT_EQ(firstDifferentCell(want), -1);
        expectFinishedWindow("small-grid");
        EXPECT_EQ(pixelsMatchingNoRow(back, want), 0);
        if (mode == 1) {
            const Image panel = regionOf(back, panelInterior());
            EXPECT_EQ(comparePictures("small-grid-panel", modelPanel(want), panel), 0);
        }
        fracWidth = fracHeight = GRID_SIZE;
    }
}

TEST_F(MakeCommand, NoProcessingModeClearsThePanelAndDrawsNothing) {
    make(1);
    zoomTo(-1.0, 1.0, -2.0, 2.0);
    memset(fractal, UNTOUCHED, GRID_CELLS);
    noFractal = 1;
    make(0);
    EXPECT_EQ(xScale, 2.0 / fracWidth);
    EXPECT_EQ(yScale, 4.0 / fracHeight);
    EXPECT_EQ(firstDifferentCell(std::vector<unsigned char>(GRID_CELLS, UNTOUCHED)), -1);
    expectFinishedWindow("no-mode");
    const Area a = panelInterior();
    EXPECT_EQ(comparePictures("no-mode-panel", Image(a.width, a.height), regionOf(back, a)), 0);
}

}  // namespace
