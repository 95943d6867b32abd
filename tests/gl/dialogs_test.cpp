// The Load list and the Save and Export name entries, driven in-process
// through the program's mouse and keyboard callbacks (GLUT coordinates,
// y counted from the top), in a scratch working directory: what each press
// and key does to the dialog mode, to the files on disk and to the picture.
#include <gtest/gtest.h>
#include <ftw.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/dialogs.h"
#include "app/directory_panel.h"
#include "app/dispatch.h"
#include "app/layout.h"
#include "app/zoom.h"
#include "colour/display.h"
#include "colour/palette.h"
#include "core/state.h"
#include "files/dirscan.h"
#include "files/paramfile.h"
#include "gl_harness.h"
#include "text_masks.h"
#include "widget_pictures.h"
#include "widgets/button.h"
#include "widgets/gfx.h"
#include "test_files.h"

namespace {

using pictures::overlayText;
using pictures::textMask;

const Rgb BLACK = {0, 0, 0}, WHITE = {255, 255, 255}, MAGENTA = {255, 0, 255};

// The "Directory" panel and the rows of the dialogs, as the user sees them.
const int PANEL_L = 10, PANEL_B = 190, PANEL_R = 175, PANEL_T = 490;
const int TEXT_X = PANEL_L + 5;
const int PROMPT_Y = PANEL_T - 15, NAME_Y = PANEL_T - 30;
const int STRIP_BOTTOM = PANEL_T - 32, STRIP_TOP = PANEL_T - 17;
const int LIST_X = 100;  // inside the list area, clear of every button
const int LINE_DROP[9] = {0, 20, 40, 60, 75, 90, 110, 125, 145};

// ---- input ------------------------------------------------------------------

void pressAt(int X, int Y) { myMouse(GLUT_LEFT_BUTTON, GLUT_DOWN, X, winHeight - Y); }
void releaseAt(int X, int Y) { myMouse(GLUT_LEFT_BUTTON, GLUT_UP, X, winHeight - Y); }
void clickAt(int X, int Y) {
    pressAt(X, Y);
    releaseAt(X, Y);
}
void clickOn(const BUTTON &b) { clickAt(b.x + 35, b.y + 10); }
void key(unsigned char k) { myKeyboard(k, 0, 0); }
void typeText(const std::string &text) {
    for (char c : text) key((unsigned char)c);
}

// ---- files ------------------------------------------------------------------

std::string numbered(int i) {
    char name[32];
    snprintf(name, sizeof name, "n%02d.frc", i);
    return name;
}

// A small parameter file that says which one it is through its detail.
void writeParameterFile(const std::string &name, int detailValue) {
    static FractalFile file;
    memset(&file, 0, sizeof file);
    snprintf(file.typeName, sizeof file.typeName, "Julia");
    file.detail = detailValue;
    file.xStart = -1.5, file.xEnd = 0.5, file.xPivot = 0.25;
    file.yStart = -1.0, file.yEnd = 1.0, file.yPivot = -0.5;
    file.width = 40, file.height = 30;
    for (int r = 0; r < file.height; ++r)
        for (int c = 0; c < file.width; ++c)
            file.grid[GRID_SIZE * r + c] = (unsigned char)(detailValue + 3 * r + c);
    char reason[FILE_ERROR_SIZE];
    ASSERT_EQ(1, writeFractalFile(name.c_str(), file, reason)) << reason;
}

// n00.frc .. with detail 100 + i: a load of name i sets detail 100 + i.
void writeNumberedFiles(int count) {
    for (int i = 0; i < count; ++i) writeParameterFile(numbered(i), 100 + i);
}

bool fileExists(const std::string &name) {
    struct stat st;
    return stat(name.c_str(), &st) == 0;
}

std::vector<std::string> directoryNames() {
    char names[FILE_NAMES][FILE_NAME_SIZE];
    const int n = listMatchingFiles(".", "", names, FILE_NAMES, nullptr);
    std::vector<std::string> all;
    for (int i = 0; i < n; ++i) all.push_back(names[i]);
    return all;
}


// ---- pictures ---------------------------------------------------------------

void mark(int X, int Y) {
    fillQuad(1, 0, 1, X, Y + 1, X + 1, Y + 1, X + 1, Y, X, Y);
    gfxSwapBuffers();
}

Image panelOf(const Image &im) {
    return im.region(PANEL_L, PANEL_B, PANEL_R - PANEL_L, PANEL_T - PANEL_B);
}

struct Line {
    std::string text;
    int y;
};
// The panel blank but for white 8 x 13 lines at x = left + 5.
Image expectedPanel(const Image &now, const std::vector<Line> &lines) {
    std::vector<const pictures::TextMask *> masks;
    for (const Line &l : lines) masks.push_back(&textMask(l.text));
    Image expected = now;
    pictures::fillRect(expected, PANEL_L, PANEL_B, PANEL_R, PANEL_T, BLACK);
    for (size_t i = 0; i < lines.size(); ++i)
        overlayText(expected, *masks[i], TEXT_X, lines[i].y, WHITE);
    return panelOf(expected);
}
// Masks draw into the back buffer (and put it back); take them first.
void prepareMasks(const std::vector<Line> &lines) {
    for (const Line &l : lines) textMask(l.text);
}

// The label of a shown button is white on its face; a hidden one has none.
bool buttonShown(const BUTTON &b) {
    const Image back = backBuffer();
    for (int Y = b.y + 3; Y < b.y + 18; ++Y)
        for (int X = b.x + 3; X < b.x + 68; ++X)
            if (back.at(X, Y) == WHITE) return true;
    return false;
}

int markY(int line) { return DATA_WINDOW.top - LINE_DROP[line] + 5; }
void markReadout() {
    for (int line = 1; line <= 8; ++line) mark(DATA_WINDOW.right - 2, markY(line));
}
int readoutLinesRedrawn() {
    const Image back = backBuffer();
    int n = 0;
    for (int line = 1; line <= 8; ++line)
        n += back.at(DATA_WINDOW.right - 2, markY(line)) != MAGENTA;
    return n;
}

// A grid with every value, shown as if a Make had produced it.
void showPatternImage() {
    for (int r = 0; r < GRID_SIZE; ++r)
        for (int c = 0; c < GRID_SIZE; ++c) fractal[GRID_SIZE * r + c] = (unsigned char)(c + 2 * r);
    noFractal = 0;
    DISPLAY_FRACTAL(MAIN_WINDOW);
    rememberShownView();
}

struct Params {
    int fType, detail, fracWidth, fracHeight;
    double xStart, xEnd, yStart, yEnd, xPivot, yPivot;
    std::string name;
    bool operator==(const Params &o) const {
        return fType == o.fType && detail == o.detail && fracWidth == o.fracWidth &&
               fracHeight == o.fracHeight && xStart == o.xStart && xEnd == o.xEnd &&
               yStart == o.yStart && yEnd == o.yEnd && xPivot == o.xPivot && yPivot == o.yPivot &&
               name == o.name;
    }
};
Params params() {
    return {fType,  detail, fracWidth, fracHeight, xStart,  xEnd,
            yStart, yEnd,   xPivot,    yPivot,     fracType};
}

class Dialogs : public ::testing::Test {
protected:
    void SetUp() override {
        restoreStartState();
        clickFlashMicroseconds = 1000;
        char pattern[] = "/tmp/quorvex-dialogs-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(pattern));
        workDir = pattern;
        ASSERT_NE(nullptr, getcwd(oldDir, sizeof oldDir));
        ASSERT_EQ(0, chdir(workDir.c_str()));
    }
    void TearDown() override {
        if (chdir(oldDir) != 0) ADD_FAILURE() << "cannot return to " << oldDir;
        nftw(
            workDir.c_str(),
            [](const char *p, const struct stat *, int, FTW *) { return remove(p); }, 16,
            FTW_DEPTH | FTW_PHYS);
    }

    // Opens the list and scrolls it to `first`.
    void openListAt(int first) {
        clickOn(LOAD_BUTTON);
        for (int i = 0; i < first; ++i) clickOn(UP___BUTTON);
        ASSERT_EQ(first, scanStart);
    }
    // The detail of the file a press loaded, or -1 when nothing was loaded.
    int pickAt(int X, int Y) {
        detail = 50;
        pressAt(X, Y);
        return detail == 50 ? -1 : detail - 100;
    }

    std::string workDir;
    char oldDir[4096] = "";
};

// ---- the mode and its transitions -------------------------------------------

TEST_F(Dialogs, LoadOpensTheListFromAnyModeAndCancelClosesIt) {
    writeNumberedFiles(3);
    for (int from : {0, 1, -1, -2}) {
        SCOPED_TRACE(from);
        scanFlag = from;
        lockMenu = from == 0 ? 0 : 1;
        clickOn(LOAD_BUTTON);
        EXPECT_EQ(1, scanFlag);
        EXPECT_EQ(1, lockMenu);
        EXPECT_EQ(2, fractals);
        EXPECT_EQ(0, scanStart);
        EXPECT_STREQ("n00.frc", fileNames[0]);
        EXPECT_TRUE(buttonShown(UP___BUTTON));
        EXPECT_TRUE(buttonShown(DOWN_BUTTON));
        EXPECT_TRUE(buttonShown(CNCL_BUTTON));
        clickOn(CNCL_BUTTON);
        EXPECT_EQ(0, scanFlag);
        EXPECT_EQ(0, lockMenu);
        EXPECT_FALSE(buttonShown(UP___BUTTON));
        EXPECT_FALSE(buttonShown(DOWN_BUTTON));
        EXPECT_FALSE(buttonShown(CNCL_BUTTON));
        EXPECT_FALSE(buttonShown(ACPT_BUTTON));
    }
}

TEST_F(Dialogs, SaveAndExportOpenOnlyUnlockedWithAnImage) {
    clickOn(SAVE_BUTTON);
    clickOn(EXPT_BUTTON);
    EXPECT_EQ(0, scanFlag) << "no image yet";

    showPatternImage();
    strcpy(fileNames[0], "old");
    clickOn(SAVE_BUTTON);
    EXPECT_EQ(-1, scanFlag);
    EXPECT_EQ(1, lockMenu);
    EXPECT_STREQ("", fileNames[0]) << "the entry starts empty";
    EXPECT_TRUE(buttonShown(ACPT_BUTTON));
    EXPECT_TRUE(buttonShown(CNCL_BUTTON));
    EXPECT_FALSE(buttonShown(UP___BUTTON));

    clickOn(EXPT_BUTTON);
    EXPECT_EQ(-1, scanFlag) << "refused over an open dialog";
    clickOn(CNCL_BUTTON);
    EXPECT_EQ(0, scanFlag);
    EXPECT_EQ(0, lockMenu);
    EXPECT_FALSE(buttonShown(ACPT_BUTTON));
    EXPECT_FALSE(buttonShown(CNCL_BUTTON));

    clickOn(EXPT_BUTTON);
    EXPECT_EQ(-2, scanFlag);
    key('q');
    EXPECT_EQ(-2, scanFlag) << "typing keeps the mode";
    clickOn(LOAD_BUTTON);
    EXPECT_EQ(1, scanFlag);
    clickOn(SAVE_BUTTON);
    EXPECT_EQ(1, scanFlag) << "refused over the list";
    clickOn(ACPT_BUTTON);
    EXPECT_EQ(0, scanFlag);
    EXPECT_EQ(0, lockMenu);
}

TEST_F(Dialogs, APickOutsideTheNamesKeepsTheListOpen) {
    writeNumberedFiles(3);
    clickOn(LOAD_BUTTON);
    EXPECT_EQ(-1, pickAt(LIST_X, 486)) << "index -1";
    EXPECT_EQ(-1, pickAt(LIST_X, 425)) << "index 3, past the last name";
    EXPECT_EQ(1, scanFlag);
    EXPECT_EQ(1, lockMenu);
    EXPECT_EQ(1, noFractal);
    EXPECT_EQ(2, pickAt(LIST_X, 426));
    EXPECT_EQ(0, scanFlag);
}

// ---- scrolling ----------------------------------------------------------------

TEST_F(Dialogs, UpStopsWhenTheLastNameIsInTheBottomRowAndDownAtTheFirst) {
    writeNumberedFiles(20);
    clickOn(LOAD_BUTTON);
    ASSERT_EQ(19, fractals);
    long presents = gfxPresentCount();
    clickOn(DOWN_BUTTON);
    EXPECT_EQ(0, scanStart);
    EXPECT_GT(gfxPresentCount(), presents) << "Down animates even when it cannot scroll";

    for (int step = 1; step <= 5; ++step) {
        mark(PANEL_L + 150, PANEL_B + 5);
        clickOn(UP___BUTTON);
        EXPECT_EQ(step, scanStart);
        EXPECT_EQ(BLACK, backBuffer().at(PANEL_L + 150, PANEL_B + 5)) << "the list is redrawn";
    }
    const Image scrolled = panelOf(backBuffer());  // name 19 in the bottom row
    mark(PANEL_L + 150, PANEL_B + 5);
    presents = gfxPresentCount();
    clickOn(UP___BUTTON);
    EXPECT_EQ(5, scanStart) << "name 19 is already in the bottom row";
    EXPECT_GT(gfxPresentCount(), presents) << "the sixth Up still animates";
    EXPECT_EQ(MAGENTA, backBuffer().at(PANEL_L + 150, PANEL_B + 5)) << "and draws no list";

    for (int step = 4; step >= 0; --step) {
        clickOn(DOWN_BUTTON);
        EXPECT_EQ(step, scanStart);
    }
    clickOn(DOWN_BUTTON);
    EXPECT_EQ(0, scanStart);
    SCAN_FILE_DISPLAY(5, 19);
    EXPECT_EQ(0, comparePictures("dialogs-scrolled-list", panelOf(backBuffer()), scrolled));
}

TEST_F(Dialogs, UpNeverScrollsFifteenNamesOrFewer) {
    for (int count : {0, 1, 14, 15}) {
        SCOPED_TRACE(count);
        for (const std::string &name : directoryNames()) remove(name.c_str());
        writeNumberedFiles(count);
        clickOn(LOAD_BUTTON);
        for (int i = 0; i < 3; ++i) clickOn(UP___BUTTON);
        EXPECT_EQ(0, scanStart);
        clickOn(CNCL_BUTTON);
    }
    writeNumberedFiles(16);
    clickOn(LOAD_BUTTON);
    clickOn(UP___BUTTON);
    clickOn(UP___BUTTON);
    EXPECT_EQ(1, scanStart) << "sixteen names scroll by one";
}

TEST_F(Dialogs, UpAndDownScrollTheLastListWhateverTheMode) {
    writeNumberedFiles(20);
    clickOn(LOAD_BUTTON);
    clickOn(CNCL_BUTTON);
    ASSERT_EQ(0, scanFlag);
    clickOn(UP___BUTTON);  // hidden, still answering
    EXPECT_EQ(1, scanStart);
    EXPECT_EQ(0, scanFlag);
    EXPECT_EQ(0, lockMenu);
    EXPECT_EQ(-1, pickAt(LIST_X, 470)) << "no pick while the list is closed";
}

// ---- picks --------------------------------------------------------------------

TEST_F(Dialogs, ARowPickLoadsTheNameOnThatRowAndTheOneAboveLoadsTheNameBefore) {
    writeNumberedFiles(20);
    const struct {
        int Y, name;
    } picks[] = {{466, 3}, {485, 3}, {486, 2}, {505, 2}, {465, 4}, {195, 17}};
    for (const auto &p : picks) {
        openListAt(3);
        EXPECT_EQ(p.name, pickAt(LIST_X, p.Y)) << "Y " << p.Y;
        EXPECT_EQ(0, scanFlag);
    }
}

TEST_F(Dialogs, ThePickIndexTruncatesTowardZeroAboveTheAbsoluteOrigin) {
    writeNumberedFiles(40);
    const struct { int Y, name; } picks[] = {{800, 10}, {786, 10}, {785, 10}, {766, 10}, {765, 11}};
    for (const auto &p : picks) {
        openListAt(25);
        EXPECT_EQ(p.name, pickAt(LIST_X, p.Y)) << "Y " << p.Y;
    }
}

TEST_F(Dialogs, ThePickAreaEndsAtX170) {
    writeNumberedFiles(3);
    clickOn(LOAD_BUTTON);
    for (int X = 171; X <= 175; ++X) EXPECT_EQ(-1, pickAt(X, 470)) << "X " << X;
    EXPECT_EQ(1, scanFlag);
    EXPECT_EQ(0, zoomFlag);
    EXPECT_EQ(0, pickAt(170, 470));
    clickOn(LOAD_BUTTON);
    EXPECT_EQ(0, pickAt(10, 470));
}

TEST_F(Dialogs, APressInTheParametersPanelPicksANameFarBelowTheShownRows) {
    writeNumberedFiles(40);
    openListAt(2);
    EXPECT_EQ(2 + 16, pickAt(LIST_X, 160)) << "the top of the Parameters panel";
    openListAt(2);
    EXPECT_EQ(2 + 19, pickAt(LIST_X, 100));
    openListAt(2);
    EXPECT_EQ(2 + 15, pickAt(LIST_X, 185)) << "just below the Directory panel";
}

TEST_F(Dialogs, ALoadedFileIsShownWithItsReadoutAndScales) {
    writeParameterFile("one.frc", 321);
    markReadout();
    clickOn(LOAD_BUTTON);
    clickAt(LIST_X, 470);
    ASSERT_EQ(321, detail);
    EXPECT_EQ(1, fType);
    EXPECT_STREQ("Julia", fracType);
    EXPECT_EQ(40, fracWidth);
    EXPECT_EQ(30, fracHeight);
    EXPECT_EQ((0.5 - -1.5) / 40, xScale);
    EXPECT_EQ((1.0 - -1.0) / 30, yScale);
    EXPECT_EQ(0, noFractal);
    EXPECT_EQ(0, lockMenu);
    EXPECT_EQ(8, readoutLinesRedrawn());

    const Image back = backBuffer();
    for (int r = 0; r < 30; ++r)
        for (int c = 0; c < 40; ++c) {
            const unsigned char v = fractal[GRID_SIZE * r + c];
            ASSERT_EQ((Rgb{PaletteR[v], PaletteG[v], PaletteB[v]}),
                      back.at(MAIN_WINDOW.left + 1 + c, MAIN_WINDOW.top - 3 - r))
                << r << ", " << c;
        }
    EXPECT_EQ(BLACK, back.at(MAIN_WINDOW.left + 300, MAIN_WINDOW.top - 300))
        << "the panel is blanked outside the loaded block";
    EXPECT_EQ(0, comparePictures("dialogs-after-load", expectedPanel(back, {}), panelOf(back)))
        << "the list is gone and no message is shown";
}

TEST_F(Dialogs, ARefusedFileClosesTheListTellsTheUserAndChangesNothingElse) {
    FILE *f = fopen("bad.frc", "wb");
    fputs("not a parameter file\n", f);
    fclose(f);
    prepareMasks({{"Not loaded:", 0}, {"bad.frc", 0}});
    const Params before = params();
    clickOn(LOAD_BUTTON);
    markReadout();
    const Image shown = backBuffer();

    testing::internal::CaptureStderr();
    clickAt(LIST_X, 470);
    const std::string err = testing::internal::GetCapturedStderr();

    EXPECT_EQ(0, scanFlag);
    EXPECT_EQ(0, lockMenu);
    EXPECT_EQ(0, noFractal) << "the commands that need an image act now";
    EXPECT_TRUE(before == params());
    EXPECT_FALSE(buttonShown(UP___BUTTON));
    EXPECT_FALSE(buttonShown(CNCL_BUTTON));
    const Image back = backBuffer();
    EXPECT_EQ(0, readoutLinesRedrawn());
    EXPECT_EQ(
        0, comparePictures("dialogs-refused-image", shown.region(180, 0, winWidth - 180, winHeight),
                           back.region(180, 0, winWidth - 180, winHeight)))
        << "the image panel stays as it was";
    EXPECT_EQ(0, comparePictures(
                     "dialogs-refused-message",
                     expectedPanel(back, {{"Not loaded:", PROMPT_Y}, {"bad.frc", PROMPT_Y - 20}}),
                     panelOf(back)));
    EXPECT_EQ(0u, err.rfind("quorvex: not loaded: bad.frc: ", 0)) << err;
    EXPECT_EQ(1, std::count(err.begin(), err.end(), '\n')) << err;

    clickOn(SAVE_BUTTON);
    EXPECT_EQ(-1, scanFlag) << "Save acts after a refused load";
    EXPECT_EQ(0, comparePictures("dialogs-message-cleared",
                                 expectedPanel(backBuffer(), {{"Enter filename:", PROMPT_Y}}),
                                 panelOf(backBuffer())));
}

TEST_F(Dialogs, AnEmptyListPickIsRefusedAndClosesTheList) {
    clickOn(LOAD_BUTTON);
    ASSERT_EQ(0, fractals);
    testing::internal::CaptureStderr();
    clickAt(LIST_X, 470);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(0, scanFlag);
    EXPECT_EQ(0, noFractal);
    EXPECT_NE(std::string::npos, err.find("not loaded")) << err;
}

// ---- typing ---------------------------------------------------------------------

TEST_F(Dialogs, KeysAreIgnoredOutsideANameEntry) {
    writeNumberedFiles(1);
    for (int mode : {0, 1}) {
        if (mode == 1) clickOn(LOAD_BUTTON);
        const std::string name = fileNames[0];
        const long presents = gfxPresentCount();
        const Image back = backBuffer();
        for (unsigned char k : {(unsigned char)'a', (unsigned char)8, (unsigned char)13}) key(k);
        EXPECT_EQ(name, fileNames[0]) << mode;
        EXPECT_EQ(presents, gfxPresentCount()) << mode;
        EXPECT_EQ(0, comparePictures("dialogs-keys-ignored", back, backBuffer())) << mode;
    }
}

TEST_F(Dialogs, PromptAndTypedNameAreDrawnInThePanel) {
    showPatternImage();
    prepareMasks({{"Enter filename:", 0}, {"my pic-1", 0}, {"my pic-", 0}});
    clickOn(EXPT_BUTTON);
    EXPECT_EQ(0, comparePictures("dialogs-prompt",
                                 expectedPanel(backBuffer(), {{"Enter filename:", PROMPT_Y}}),
                                 panelOf(backBuffer())));
    typeText("my pic-1");
    EXPECT_STREQ("my pic-1", fileNames[0]);
    EXPECT_EQ(0, comparePictures("dialogs-typed",
                                 expectedPanel(backBuffer(), {{"Enter filename:", PROMPT_Y},
                                                              {"my pic-1", NAME_Y}}),
                                 panelOf(backBuffer())));
    key(8);
    EXPECT_STREQ("my pic-", fileNames[0]);
    EXPECT_EQ(0, comparePictures("dialogs-backspace",
                                 expectedPanel(backBuffer(), {{"Enter filename:", PROMPT_Y},
                                                              {"my pic-", NAME_Y}}),
                                 panelOf(backBuffer())));
}

TEST_F(Dialogs, BackspaceOnAnEmptyNameAndControlKeysRedrawOnlyTheStrip) {
    showPatternImage();
    clickOn(SAVE_BUTTON);
    for (unsigned char k : {(unsigned char)8, (unsigned char)13, (unsigned char)9,
                            (unsigned char)27, (unsigned char)0, (unsigned char)31}) {
        SCOPED_TRACE((int)k);
        mark(PANEL_L + 100, STRIP_BOTTOM + 1);  // inside the strip
        mark(PANEL_L + 100, STRIP_TOP - 1);
        mark(PANEL_L + 100, STRIP_BOTTOM - 3);  // below it
        mark(PANEL_L + 100, STRIP_TOP + 3);     // above it
        const long presents = gfxPresentCount();
        key(k);
        EXPECT_STREQ("", fileNames[0]);
        const Image back = backBuffer();
        EXPECT_EQ(BLACK, back.at(PANEL_L + 100, STRIP_BOTTOM + 1));
        EXPECT_EQ(BLACK, back.at(PANEL_L + 100, STRIP_TOP - 1));
        EXPECT_EQ(MAGENTA, back.at(PANEL_L + 100, STRIP_BOTTOM - 3));
        EXPECT_EQ(MAGENTA, back.at(PANEL_L + 100, STRIP_TOP + 3));
        EXPECT_GT(gfxPresentCount(), presents);
    }
    typeText("ab");
    key(13);
    key(27);
    EXPECT_STREQ("ab", fileNames[0]) << "return does not accept, escape does not cancel";
    EXPECT_EQ(-1, scanFlag);
}

TEST_F(Dialogs, HighCodesAreAppended) {
    showPatternImage();
    clickOn(SAVE_BUTTON);
    key(127);
    key(200);
    key(32);
    EXPECT_STREQ("\x7f\xc8 ", fileNames[0]);
}

TEST_F(Dialogs, TheSeventySixthCharacterIsIgnoredAndAcceptWritesA79CharacterName) {
    showPatternImage();
    clickOn(SAVE_BUTTON);
    std::string name;
    for (int i = 0; i < TYPED_NAME_MAX; ++i) name += (char)('a' + i % 26);
    const Image before = backBuffer();
    typeText(name);
    key('Z');
    EXPECT_EQ(name, fileNames[0]);

    // Only the end of the name is shown, inside the panel.
    const std::string tail = name.substr(name.size() - 20);
    prepareMasks({{"Enter filename:", 0}, {tail, 0}});
    const Image back = backBuffer();
    EXPECT_EQ(0,
              comparePictures("dialogs-long-name",
                              expectedPanel(back, {{"Enter filename:", PROMPT_Y}, {tail, NAME_Y}}),
                              panelOf(back)));
    EXPECT_EQ(0, comparePictures("dialogs-long-name-image",
                                 before.region(PANEL_R, 0, winWidth - PANEL_R, winHeight),
                                 back.region(PANEL_R, 0, winWidth - PANEL_R, winHeight)))
        << "nothing is drawn over the image";

    clickOn(ACPT_BUTTON);
    const std::string written = name + ".frc";
    ASSERT_EQ(79u, written.size());
    EXPECT_TRUE(fileExists(written));
    EXPECT_EQ(std::vector<std::string>{written}, directoryNames());
    EXPECT_EQ(written, fileNames[0]) << "the suffix is appended to the typed name";
}

// ---- Accept and Cancel ------------------------------------------------------------

TEST_F(Dialogs, SaveWritesTheTypedNameWithItsSuffixSilently) {
    showPatternImage();
    detail = 250;
    clickOn(SAVE_BUTTON);
    typeText("first");
    testing::internal::CaptureStderr();
    clickOn(ACPT_BUTTON);
    EXPECT_EQ("", testing::internal::GetCapturedStderr());
    EXPECT_EQ(0, scanFlag);
    EXPECT_EQ(0, lockMenu);
    EXPECT_FALSE(buttonShown(ACPT_BUTTON));
    EXPECT_FALSE(buttonShown(CNCL_BUTTON));
    EXPECT_EQ(0, comparePictures("dialogs-saved", expectedPanel(backBuffer(), {}),
                                 panelOf(backBuffer())));

    static FractalFile file;
    char reason[FILE_ERROR_SIZE];
    ASSERT_EQ(1, readFractalFile("first.frc", file, reason)) << reason;
    EXPECT_EQ(250, file.detail);
    EXPECT_EQ(0, memcmp(file.grid, fractal, GRID_CELLS));

    key('x');
    EXPECT_STREQ("first.frc", fileNames[0]) << "typing after Accept is ignored";

    clickOn(SAVE_BUTTON);
    typeText("a.frc");
    clickOn(ACPT_BUTTON);
    EXPECT_TRUE(fileExists("a.frc.frc")) << "the suffix goes on whatever the name ends with";
}

TEST_F(Dialogs, ExportWritesTheColouredImageUnderTheTypedName) {
    showPatternImage();
    clickOn(PALR_BUTTON);
    clickOn(EXPT_BUTTON);
    typeText("pic");
    clickOn(ACPT_BUTTON);
    const std::string ppm = readWhole("pic.ppm");
    const std::string header = "P6\n800 800\n255\n";
    ASSERT_EQ(header.size() + 3u * GRID_CELLS, ppm.size());
    EXPECT_EQ(header, ppm.substr(0, header.size()));
    for (int cell : {0, 1, 799, 800 * 400 + 123, GRID_CELLS - 1}) {
        const unsigned char v = fractal[cell];
        const unsigned char *p = (const unsigned char *)ppm.data() + header.size() + 3 * cell;
        EXPECT_EQ(PaletteR[v], p[0]) << cell;
        EXPECT_EQ(PaletteG[v], p[1]) << cell;
        EXPECT_EQ(PaletteB[v], p[2]) << cell;
    }
    EXPECT_EQ(std::vector<std::string>{"pic.ppm"}, directoryNames());
}

TEST_F(Dialogs, CancelWritesNothingAndStopsTheTyping) {
    showPatternImage();
    clickOn(EXPT_BUTTON);
    typeText("never");
    clickOn(CNCL_BUTTON);
    EXPECT_EQ(0, scanFlag);
    EXPECT_EQ(0, lockMenu);
    EXPECT_FALSE(buttonShown(ACPT_BUTTON));
    EXPECT_FALSE(buttonShown(CNCL_BUTTON));
    EXPECT_TRUE(directoryNames().empty());
    key('x');
    EXPECT_STREQ("never", fileNames[0]);
    clickOn(ACPT_BUTTON);
    EXPECT_TRUE(directoryNames().empty()) << "a later Accept writes nothing";
}

TEST_F(Dialogs, AcceptWithAnEmptyNameWritesNothingAndSaysSo) {
    showPatternImage();
    prepareMasks({{"Not saved:", 0}, {"Not exported:", 0}, {"(no name given)", 0}});
    for (BUTTON *b : {&SAVE_BUTTON, &EXPT_BUTTON}) {
        SCOPED_TRACE(b->label);
        clickOn(*b);
        testing::internal::CaptureStderr();
        clickOn(ACPT_BUTTON);
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_TRUE(directoryNames().empty());
        EXPECT_FALSE(fileExists(".frc"));
        EXPECT_FALSE(fileExists(".ppm"));
        EXPECT_EQ(0, scanFlag);
        EXPECT_EQ(0, lockMenu);
        const char *heading = b == &SAVE_BUTTON ? "Not saved:" : "Not exported:";
        EXPECT_EQ(0,
                  comparePictures("dialogs-empty-name",
                                  expectedPanel(backBuffer(), {{heading, PROMPT_Y},
                                                               {"(no name given)", PROMPT_Y - 20}}),
                                  panelOf(backBuffer())));
        EXPECT_EQ(1, std::count(err.begin(), err.end(), '\n')) << err;
        EXPECT_NE(std::string::npos, err.find("no file name given")) << err;
    }
}

TEST_F(Dialogs, AFailedWriteTellsTheUserAndTheNextDialogClearsTheMessage) {
    showPatternImage();
    ASSERT_EQ(0, mkdir("taken.frc", 0755));  // a directory where the file would go
    prepareMasks({{"Not saved:", 0},
                  {"taken.frc", 0},
                  {"Not exported:", 0},
                  {"no-such-directory/pi", 0},
                  {"c.ppm", 0}});
    clickOn(SAVE_BUTTON);
    typeText("taken");
    testing::internal::CaptureStderr();
    clickOn(ACPT_BUTTON);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(0, comparePictures("dialogs-save-failed",
                                 expectedPanel(backBuffer(), {{"Not saved:", PROMPT_Y},
                                                              {"taken.frc", PROMPT_Y - 20}}),
                                 panelOf(backBuffer())));
    EXPECT_EQ(0u, err.rfind("quorvex: not saved: taken.frc: ", 0)) << err;
    EXPECT_EQ(1, std::count(err.begin(), err.end(), '\n')) << err;
    EXPECT_EQ(0, scanFlag);
    EXPECT_EQ(0, lockMenu);

    // A long name wraps at the panel's width.
    clickOn(EXPT_BUTTON);
    typeText("no-such-directory/pic");
    testing::internal::CaptureStderr();
    clickOn(ACPT_BUTTON);
    err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(0,
              comparePictures("dialogs-export-failed",
                              expectedPanel(backBuffer(), {{"Not exported:", PROMPT_Y},
                                                           {"no-such-directory/pi", PROMPT_Y - 20},
                                                           {"c.ppm", PROMPT_Y - 40}}),
                              panelOf(backBuffer())));
    EXPECT_EQ(0u, err.rfind("quorvex: not exported: no-such-directory/pic.ppm: ", 0)) << err;

    clickOn(LOAD_BUTTON);  // the list replaces the message
    EXPECT_EQ(0, comparePictures("dialogs-list-clears-message", expectedPanel(backBuffer(), {}),
                                 panelOf(backBuffer())));
}

TEST_F(Dialogs, LoadDuringANameEntryReplacesItAndALaterAcceptWritesNothing) {
    showPatternImage();
    writeParameterFile("other.frc", 200);
    clickOn(SAVE_BUTTON);
    typeText("mine");
    clickOn(LOAD_BUTTON);
    EXPECT_EQ(1, scanFlag);
    EXPECT_STREQ("other.frc", fileNames[0]);
    key('x');
    EXPECT_STREQ("other.frc", fileNames[0]) << "typing is over";
    EXPECT_TRUE(buttonShown(ACPT_BUTTON)) << "Accept stays drawn";
    clickOn(ACPT_BUTTON);
    EXPECT_EQ(0, scanFlag);
    EXPECT_EQ(0, lockMenu);
    EXPECT_EQ(std::vector<std::string>{"other.frc"}, directoryNames());
}

TEST_F(Dialogs, CancelAndAcceptDuringAZoomSelectionLeaveItArmed) {
    showPatternImage();
    for (BUTTON *b : {&CNCL_BUTTON, &ACPT_BUTTON}) {
        SCOPED_TRACE(b->label);
        clickOn(ZOMI_BUTTON);
        ASSERT_EQ(1, zoomFlag);
        clickOn(*b);
        EXPECT_EQ(0, lockMenu);
        EXPECT_EQ(1, zoomFlag);
        EXPECT_EQ(0, scanFlag);
        EXPECT_TRUE(directoryNames().empty());
        pressAt(400, 600);  // the next press in the image is the first corner
        EXPECT_EQ(2, zoomFlag);
        releaseAt(500, 500);
        EXPECT_EQ(0, zoomFlag);
    }
    clickOn(PIVT_BUTTON);
    clickOn(CNCL_BUTTON);
    EXPECT_EQ(-1, zoomFlag);
    EXPECT_EQ(0, lockMenu);
    pressAt(587, 411);
    EXPECT_EQ(0, zoomFlag);
    EXPECT_EQ((587 - MAIN_WINDOW.left) * (10.0 / GRID_SIZE) - 5.0, xPivot) << "the default view";
}

TEST_F(Dialogs, ALoadListOpenedDuringAZoomSelectionOutlivesIt) {
    showPatternImage();
    writeNumberedFiles(2);
    clickOn(ZOMI_BUTTON);
    clickOn(LOAD_BUTTON);
    EXPECT_EQ(1, scanFlag);
    EXPECT_EQ(1, zoomFlag);
    pressAt(600, 600);  // outside the list area: the first corner
    releaseAt(700, 500);
    EXPECT_EQ(0, zoomFlag);
    EXPECT_EQ(0, lockMenu);
    EXPECT_EQ(1, scanFlag) << "the list stays open";
    EXPECT_EQ(1, pickAt(LIST_X, 450));
}

}  // namespace
