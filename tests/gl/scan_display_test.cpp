// The file list in the "Directory" panel, read back from the drawing
// buffers: which names land on which of the fifteen lines, and that nothing
// outside the panel changes.
#include <gtest/gtest.h>
#include <ftw.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "app/directory_panel.h"
#include "app/layout.h"
#include "files/dirscan.h"
#include "gl_harness.h"

namespace {

const int LINES = 15, PITCH = 20, FIRST_DROP = 15;
// A line's glyphs reach 2 pixels below the baseline and 10 above; the band
// keeps a margin and still stays clear of the neighbouring lines.
const int BAND_BELOW = 4, BAND_HEIGHT = 18;

int panelWidth() { return FILE_WINDOW.right - FILE_WINDOW.left; }

Image lineBand(const Image &picture, int line) {
    const int baseline = FILE_WINDOW.top - FIRST_DROP - PITCH * line;
    return picture.region(FILE_WINDOW.left, baseline - BAND_BELOW, panelWidth(), BAND_HEIGHT);
}

Image panelOf(const Image &picture) {
    return picture.region(FILE_WINDOW.left, FILE_WINDOW.bottom, panelWidth(),
                          FILE_WINDOW.top - FILE_WINDOW.bottom);
}

long litPixels(const Image &picture) {
    long lit = 0;
    for (int row = 0; row < picture.height; ++row)
        for (int x = 0; x < picture.width; ++x) lit += picture.atTop(x, row) != Rgb{0, 0, 0};
    return lit;
}

std::string numbered(int i) {
    char name[32];
    snprintf(name, sizeof name, "n%02d.frc", i);
    return name;
}

class ScanDisplay : public ::testing::Test {
protected:
    std::string home, dir;

    void SetUp() override {
        restoreStartState();
        char cwd[4096], name[] = "/tmp/quorvex-scan-display-XXXXXX";
        ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
        home = cwd;
        dir = mkdtemp(name);
        ASSERT_EQ(chdir(dir.c_str()), 0);
    }
    void TearDown() override {
        ASSERT_EQ(chdir(home.c_str()), 0);
        nftw(
            dir.c_str(), [](const char *p, const struct stat *, int, FTW *) { return remove(p); }, 16,
            FTW_DEPTH | FTW_PHYS);
    }

    void createFiles(int count) {
        for (int i = 0; i < count; ++i) fclose(fopen(numbered(i).c_str(), "wb"));
    }

    // Each name drawn alone on the first line: what its line must look like.
    std::vector<Image> singleLines(int count) {
        std::vector<Image> lines;
        for (int i = 0; i < count; ++i) {
            SCAN_FILE_DISPLAY(i, i);
            const Image back = backBuffer();
            lines.push_back(lineBand(back, 0));
            EXPECT_EQ(litPixels(panelOf(back)), litPixels(lines.back())) << "name " << i << " alone";
        }
        return lines;
    }

    // Lines 0 .. shown-1 hold names first, first+1, ...; the rest is black.
    void expectList(const std::string &tag, int first, int shown, const std::vector<Image> &single) {
        const Image back = backBuffer();
        long lit = 0;
        for (int line = 0; line < LINES; ++line) {
            const Image band = lineBand(back, line);
            lit += litPixels(band);
            const std::string name = tag + "-line" + std::to_string(line);
            if (line < shown)
                EXPECT_EQ(comparePictures(name, single[first + line], band), 0) << name;
            else
                EXPECT_EQ(litPixels(band), 0) << name << " should be empty";
        }
        EXPECT_EQ(litPixels(panelOf(back)), lit) << tag << ": ink outside the fifteen lines";
    }
};

TEST_F(ScanDisplay, FortyNamesShowFifteenAtATimeFromTheFirstIndex) {
    createFiles(40);
    ASSERT_EQ(SCAN_FOR_IMAGES("frc"), 39);
    const std::vector<Image> single = singleLines(40);
    ASSERT_GT(litPixels(single[0]), 0);
    ASSERT_NE(single[0].rgb, single[1].rgb) << "names must look different";

    SCAN_FILE_DISPLAY(0, 39);
    expectList("list-0-39", 0, 15, single);
    SCAN_FILE_DISPLAY(25, 39);
    expectList("list-25-39", 25, 15, single);
    SCAN_FILE_DISPLAY(30, 39);
    expectList("list-30-39", 30, 10, single);
}

TEST_F(ScanDisplay, FirstEqualToLastWritesExactlyOneLine) {
    createFiles(3);
    ASSERT_EQ(SCAN_FOR_IMAGES("frc"), 2);
    const std::vector<Image> single = singleLines(3);
    SCAN_FILE_DISPLAY(1, 1);
    expectList("one-line", 1, 1, single);
    SCAN_FILE_DISPLAY(0, 2);
    expectList("three-lines", 0, 3, single);
}

TEST_F(ScanDisplay, NoParameterFileLeavesThePanelBlank) {
    snprintf(fileNames[0], FILE_NAME_SIZE, "%s", "earlier.frc");
    SCAN_FILE_DISPLAY(0, 0);
    ASSERT_GT(litPixels(panelOf(backBuffer())), 0);
    ASSERT_EQ(SCAN_FOR_IMAGES("frc"), 0);
    SCAN_FILE_DISPLAY(0, 0);
    EXPECT_EQ(litPixels(panelOf(backBuffer())), 0);
}

TEST_F(ScanDisplay, OnlyThePanelChangesAndTheListIsShown) {
    createFiles(20);
    ASSERT_EQ(SCAN_FOR_IMAGES("frc"), 19);
    const Image before = backBuffer();
    SCAN_FILE_DISPLAY(0, 19);
    const Image after = backBuffer();
    Image outside = after;
    for (int Y = FILE_WINDOW.bottom; Y < FILE_WINDOW.top; ++Y)
        for (int X = FILE_WINDOW.left; X < FILE_WINDOW.right; ++X)
            outside.setTop(X, after.height - 1 - Y, before.at(X, Y));
    EXPECT_EQ(comparePictures("outside-panel", before, outside), 0);
    EXPECT_EQ(comparePictures("front-panel", panelOf(after), panelOf(frontBuffer())), 0)
        << "the list must be swapped to the front";
}

}  // namespace
