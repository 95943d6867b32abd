// The Load list with many files and with a damaged one: fifteen names at a
// time, scrolling, picking the right file, and a refused file that leaves
// the work on the screen as it was.
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "files/paramfile.h"
#include "journey_support.h"

namespace journey {
namespace {

const int BLOCK_W = 64, BLOCK_H = 48;

// File i: a small grid of its own, so the picture tells which was loaded.
Grid gridNumber(int i) {
    Grid g;
    g.width = BLOCK_W, g.height = BLOCK_H;
    for (int r = 0; r < BLOCK_H; ++r)
        for (int c = 0; c < BLOCK_W; ++c)
            g.cells.push_back((unsigned char)(i * 37 + r * 5 + c * 3));
    return g;
}

void writeGridFile(const std::string &path, const Grid &g) {
    static FractalFile file;
    memset(&file, 0, sizeof file);
    snprintf(file.typeName, sizeof file.typeName, "Mandelbrot");
    file.detail = 50;
    file.xStart = file.yStart = -5.0;
    file.xEnd = file.yEnd = 5.0;
    file.width = g.width, file.height = g.height;
    for (int r = 0; r < g.height; ++r)
        for (int c = 0; c < g.width; ++c) file.grid[GRID * r + c] = g.at(r, c);
    char reason[256];
    ASSERT_EQ(1, writeFractalFile(path.c_str(), file, reason)) << reason;
}

std::string numbered(int i) {
    char name[24];  // room for any int
    snprintf(name, sizeof name, "f%02d.frc", i);
    return name;
}

Image band(const Image &window, int row) {
    return window.region(DIR_LEFT, rowBaseline(row) - 3, DIR_RIGHT - DIR_LEFT, 15);
}
bool fifteenNames(const Image &w) {
    for (int k = 0; k < 15; ++k)
        if (!lineOfLength(w, rowBaseline(k), 7)) return false;
    return true;
}
// After one Up every row shows what the row below it showed.
void expectScrolledUpByOne(const Image &before, const Image &after) {
    for (int k = 0; k < 14; ++k)
        EXPECT_EQ(band(before, k + 1).rgb, band(after, k).rgb) << "row " << k;
    EXPECT_NE(band(before, 14).rgb, band(after, 14).rgb) << "a new name in the bottom row";
}

TEST_F(Journey, FortyFilesFifteenAtATimeScrolledAndPicked) {
    for (int i = 0; i < 40; ++i) writeGridFile(path(numbered(i)), gridNumber(i));
    startProgram();
    const Image start = settledShot();
    click(LOAD);
    const Image top = waitForScreen(fifteenNames);
    std::vector<int> rows;
    for (int k = 0; k < 15; ++k) rows.push_back(rowBaseline(k));
    EXPECT_EQ(0, strayInk(top, rows)) << "fifteen names and nothing else";
    const Image below = top.region(DIR_LEFT, 171, DIR_RIGHT - DIR_LEFT, 17);
    EXPECT_EQ(start.region(DIR_LEFT, 171, DIR_RIGHT - DIR_LEFT, 17).rgb, below.rgb)
        << "no sixteenth name below the panel";

    click(UP);
    const Image one = settledShot();
    expectScrolledUpByOne(top, one);
    click(UP);
    const Image two = settledShot();
    expectScrolledUpByOne(one, two);
    click(DOWN);
    EXPECT_EQ(directoryPanel(one).rgb, directoryPanel(settledShot()).rgb) << "Down scrolls back";
    click(DOWN);
    click(DOWN);
    EXPECT_EQ(directoryPanel(top).rgb, directoryPanel(settledShot()).rgb) << "Down stops at the first";

    for (int i = 0; i < 25; ++i) s.x.click(UP.X, UP.Y);
    const Image end = settledAfterBurst();  // name 39 in the bottom row
    click(UP);
    click(UP);
    EXPECT_EQ(directoryPanel(end).rgb, directoryPanel(settledShot()).rgb)
        << "Up stops at the last name";
    click(DOWN);
    EXPECT_NE(directoryPanel(end).rgb, directoryPanel(settledShot()).rgb) << "one before the end";
    for (int i = 0; i < 21; ++i) s.x.click(DOWN.X, DOWN.Y);  // first shown: name 3
    settledAfterBurst();
    click(listRow(4));  // name 7

    const Image expected = colouredGrid(gridNumber(7), 0, 0, 0);
    const Image loaded = waitForScreen(
        [&](const Image &w) { return imageOnScreen(w, BLOCK_W, BLOCK_H).rgb == expected.rgb; });
    EXPECT_EQ(
        0, comparePictures("journey-picked-7", expected, imageOnScreen(loaded, BLOCK_W, BLOCK_H)));
    EXPECT_EQ(BLACK, loaded.at(IMAGE_LEFT + 400, IMAGE_TOP - 400))
        << "only the loaded block is drawn";
    EXPECT_EQ(0, strayInk(loaded, {})) << "the list is closed, no message";
    exitWithStatusZero();
}

TEST_F(Journey, ADamagedFileIsRefusedAndTheWorkStays) {
    writeGridFile(path("good.frc"), gridNumber(5));
    writeGridFile(path("broken.frc"), gridNumber(6));
    const std::string whole = readWhole(path("broken.frc"));
    ASSERT_EQ(0, truncate(path("broken.frc").c_str(), (off_t)whole.size() - 100));
    FILE *letters = fopen(path("big.frc").c_str(), "wb");  // 200 MB, no line feed
    const std::string block(1 << 20, 'q');
    for (int mb = 0; mb < 200; ++mb) fwrite(block.data(), 1, block.size(), letters);
    fclose(letters);
    s.stderrPath = path("stderr.log");
    startProgram();

    click(MAKE);
    const Image made = colouredGrid(referenceGrid(MANDELBROT_TYPE, defaultView(50)), 0, 0, 0);
    const Image before =
        waitForScreen([&](const Image &w) { return imageOnScreen(w).rgb == made.rgb; });
    click(LOAD);
    waitForScreen([](const Image &w) { return lineOfLength(w, rowBaseline(2), 8); });
    click(listRow(1));  // broken.frc

    const Image after =
        waitForScreen([](const Image &w) { return lineOfLength(w, rowBaseline(0), 11); });
    expectTextLine(after, rowBaseline(0), 11, "Not loaded:");
    expectTextLine(after, rowBaseline(1), 10, "the name, broken.frc");
    EXPECT_EQ(0, strayInk(after, {rowBaseline(0), rowBaseline(1)}));
    EXPECT_EQ(0, comparePictures("journey-refused-keeps-image", imageOnScreen(before),
                                 imageOnScreen(after)));
    EXPECT_EQ(readout(before).rgb, readout(after).rgb) << "the readout stays";
    const std::string err = readWhole(path("stderr.log"));
    EXPECT_NE(std::string::npos, err.find("quorvex: not loaded: broken.frc: ")) << err;
    EXPECT_NE(std::string::npos, err.find("truncated")) << err;

    // 200 MB of letters: refused at once, the program answering straight away.
    click(LOAD);
    const Image list =
        waitForScreen([](const Image &w) { return lineOfLength(w, rowBaseline(2), 8); });
    EXPECT_EQ(0, strayInk(list, {rowBaseline(0), rowBaseline(1), rowBaseline(2)})) << "the message is gone";
    const double picked = nowMs();
    s.x.click(listRow(0).X, listRow(0).Y);  // big.frc
    while (!lineOfLength(s.x.grab(), rowBaseline(1), 7) && nowMs() - picked < 20000) usleep(20000);
    EXPECT_LT(nowMs() - picked, 1500) << "ms until the message showed";
    const Image refused = settledShot();
    expectTextLine(refused, rowBaseline(0), 11, "Not loaded:");
    EXPECT_EQ(imageOnScreen(before).rgb, imageOnScreen(refused).rgb) << "the picture stays";
    EXPECT_NE(std::string::npos, readWhole(path("stderr.log")).find("big.frc: not a parameter file")) << err;

    // The program goes on: the list again, and the good file.
    click(LOAD);
    waitForScreen([](const Image &w) { return lineOfLength(w, rowBaseline(2), 8); });
    click(listRow(2));
    const Image good = colouredGrid(gridNumber(5), 0, 0, 0);
    const Image loaded = waitForScreen(
        [&](const Image &w) { return imageOnScreen(w, BLOCK_W, BLOCK_H).rgb == good.rgb; });
    EXPECT_EQ(0, strayInk(loaded, {}));
    exitWithStatusZero();
}

}  // namespace
}  // namespace journey
