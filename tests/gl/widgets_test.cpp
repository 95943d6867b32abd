// Panels, bitmap text and buttons, read back from the drawing layer's
// buffers. Each test draws on a patch of a known colour inside the image
// panel, so whatever the widget touches outside its own area shows up.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "gl_harness.h"
#include "text_masks.h"
#include "widget_pictures.h"
#include "widgets/button.h"
#include "widgets/gfx.h"
#include "widgets/window.h"

using namespace pictures;

namespace {

const Rgb BLUE{0, 0, 255};

// For pictures that must differ (no failure images written).
long differingPixels(const Image &a, const Image &b) {
    return compareRegion(a, b, 0, 0, a.width, a.height, "").bad;
}

// A blue patch in the image panel for a widget to be drawn on.
void bluePatch(int x0, int y0, int x1, int y1) {
    fillQuad(0, 0, 1, x0, y0, x1, y0, x1, y1, x0, y1);
    gfxSwapBuffers();
}

class WidgetsTest : public testing::Test {
protected:
    void SetUp() override {
        restoreStartState();
        clickFlashMicroseconds = 1000;
    }
    void TearDown() override { clickFlashMicroseconds = 50000; }

    // The expected picture: `before` with the text's ink laid over it.
    static Image withText(Image before, const char *text, int X, int Y, Rgb ink,
                          void *font = GLUT_BITMAP_8_BY_13) {
        overlayText(before, textMask(text, font), X, Y, ink);
        return before;
    }
};

// ---- WINDOW ----------------------------------------------------------------

TEST_F(WidgetsTest, ConstructorStoresEdgesAndAnEmptyTitle) {
    WINDOW w(10, 190, 165, 300);
    EXPECT_EQ(w.left, 10);
    EXPECT_EQ(w.bottom, 190);
    EXPECT_EQ(w.right, 175);
    EXPECT_EQ(w.top, 490);
    EXPECT_STREQ(w.title, "");
}

TEST_F(WidgetsTest, DrawPutsASunkenMitredFrameOutsideAndLeavesTheInsideAlone) {
    bluePatch(290, 290, 420, 370);
    const Image before = backBuffer();
    WINDOW w(300, 300, 100, 50);
    w.DRAW();
    const Image after = backBuffer();
    Tally frame = checkSunkenFrame(after, 300, 300, 400, 350);
    EXPECT_EQ(frame.bad, 0) << frame.why;
    // Inside and beyond the 2-pixel strips nothing changed.
    Image expected = before;
    for (int X = 298; X < 402; ++X)
        for (int Y = 298; Y < 352; ++Y)
            if (X < 300 || X >= 400 || Y < 300 || Y >= 350) setAt(expected, X, Y, after.at(X, Y));
    EXPECT_EQ(comparePictures("window-draw", expected, after), 0);
    EXPECT_EQ(comparePictures("window-draw-front", after, frontBuffer()), 0) << "DRAW swaps";
}

TEST_F(WidgetsTest, DrawWritesTheTitleInLightGreyAtTheBottomLeftCorner) {
    const TextMask &mask = textMask("Ab");
    bluePatch(290, 290, 420, 370);
    WINDOW w(300, 300, 100, 50);
    strcpy(w.title, "Ab");
    w.DRAW();
    Image expected = backBuffer();
    fillRect(expected, 300, 300, 400, 350, BLUE);
    overlayText(expected, mask, 300, 300, LIGHT);
    Tally t = compareRegion(backBuffer(), expected, 300, 300, 400, 350, "title");
    EXPECT_EQ(t.bad, 0) << t.why;
}

TEST_F(WidgetsTest, ATitleWithoutTerminatorStopsAtTheField) {
    const std::string eighty(80, 'x');
    textMask(eighty);
    bluePatch(200, 290, 990, 370);
    WINDOW w(250, 300, 100, 50);
    memset(w.title, 'x', sizeof w.title);  // no terminator: must not read past the field
    w.DRAW();
    // The text runs over the frame's right strip (x 350, 351) and beyond.
    Image expected = backBuffer();
    fillRect(expected, 250, 300, 350, 350, BLUE);
    fillRect(expected, 352, 300, 990, 350, BLUE);
    overlayText(expected, textMask(eighty), 250, 300, LIGHT);
    Tally inside = compareRegion(backBuffer(), expected, 250, 300, 350, 350, "title inside");
    Tally beyond = compareRegion(backBuffer(), expected, 352, 300, 990, 350, "title beyond");
    EXPECT_EQ(inside.bad, 0) << inside.why;
    EXPECT_EQ(beyond.bad, 0) << beyond.why;
}

TEST_F(WidgetsTest, ClearFillsExactlyTheRectangleBlack) {
    bluePatch(290, 290, 420, 370);
    WINDOW w(300, 300, 100, 50);
    w.DRAW();
    w.PAINT(1, 1, 0);
    Tally painted = checkFilled(backBuffer(), 300, 300, 400, 350, Rgb{255, 255, 0}, "paint");
    EXPECT_EQ(painted.bad, 0) << painted.why;
    w.CLEAR();
    const Image after = backBuffer();
    Tally inside = checkFilled(after, 300, 300, 400, 350, BLACK, "inside");
    EXPECT_EQ(inside.bad, 0) << inside.why;
    Tally frame = checkSunkenFrame(after, 300, 300, 400, 350);
    EXPECT_EQ(frame.bad, 0) << "CLEAR stays inside the frame\n" << frame.why;
    EXPECT_EQ(comparePictures("window-clear-front", after, frontBuffer()), 0) << "CLEAR swaps";
}

TEST_F(WidgetsTest, DrawTextPlacesSevenPixelsPerPairOfCharactersLeftOfCentre) {
    // Rectangle x 10..175: centre 92; "12345" has 2 whole pairs, so x 78.
    WINDOW w(10, 200, 165, 40);  // inside the black "Directory" panel; y (200 + 240) / 2 - 5
    textMask("12345");
    textMask("2.500000");
    textMask("abc");
    const Image start = backBuffer();
    w.DrawTEXT(1, 0, 0, 12345);
    EXPECT_EQ(comparePictures("drawtext-int", withText(start, "12345", 78, 215, Rgb{255, 0, 0}),
                              backBuffer()), 0);
    EXPECT_EQ(comparePictures("drawtext-int-front", backBuffer(), frontBuffer()), 0);

    w.CLEAR();
    const Image blank = backBuffer();
    w.DrawTEXT(0, 1, 0, 2.5);  // "%lf": 8 characters, 4 pairs: 92 - 28
    EXPECT_EQ(comparePictures("drawtext-double", withText(blank, "2.500000", 64, 215, Rgb{0, 255, 0}),
                              backBuffer()), 0);

    w.CLEAR();
    char text[] = "abc";  // 1 whole pair: 92 - 7
    w.DrawTEXT(1, 1, 1, text);
    EXPECT_EQ(comparePictures("drawtext-text", withText(blank, "abc", 85, 215, WHITE), backBuffer()),
              0);
}

TEST_F(WidgetsTest, DrawTextOfAnEmptyOrHugeValueDrawsSafely) {
    char digits[80];
    volatile double huge = 1e300;
    snprintf(digits, sizeof digits, "%lf", (double)huge);  // 308 characters, cut to 79
    ASSERT_EQ(strlen(digits), 79u);
    textMask(digits);
    WINDOW w(200, 300, 780, 40);  // centre 590: 590 - 7 * 39 = 317, y 315
    const Image start = backBuffer();
    char empty[] = "";
    w.DrawTEXT(1, 1, 1, empty);
    EXPECT_EQ(comparePictures("drawtext-empty", start, backBuffer()), 0);
    w.DrawTEXT(1, 1, 1, 1e300);
    EXPECT_EQ(comparePictures("drawtext-huge", withText(start, digits, 317, 315, WHITE), backBuffer()),
              0);
}

TEST_F(WidgetsTest, TextFunctionsWriteInTheirColourIntoTheSelectedBufferWithoutSwapping) {
    struct Case {
        void (*write)(int, int, const char *);
        Rgb ink;
    } cases[] = {{TEXT_8_X_13_WHITE, WHITE},          {TEXT_8_X_13_BLACK, BLACK},
                 {TEXT_8_X_13_RED, Rgb{255, 0, 0}},   {TEXT_8_X_13_GREEN, Rgb{0, 255, 0}},
                 {TEXT_8_X_13_BLUE, Rgb{0, 0, 255}}};
    textMask("Quorvex 8x13");
    for (const Case &c : cases) {
        restoreStartState();
        fillQuad(0.5f, 0.5f, 0.5f, 300, 390, 500, 390, 500, 420, 300, 420);
        gfxSwapBuffers();
        const Image before = backBuffer();
        c.write(310, 400, "Quorvex 8x13");
        EXPECT_EQ(gfxCurrentDrawBuffer(), (GLenum)GL_BACK);
        EXPECT_EQ(comparePictures("text-colour", withText(before, "Quorvex 8x13", 310, 400, c.ink),
                                  backBuffer()), 0)
            << describe(c.ink);
        EXPECT_EQ(comparePictures("text-no-swap", before, frontBuffer()), 0) << "no swap";
    }
}

TEST_F(WidgetsTest, PlainTextFunctionsUseTheCurrentColourAndTheirFont) {
    struct Case {
        void (*write)(int, int, const char *);
        void *font;
    } cases[] = {{TEXT_8_X_13, GLUT_BITMAP_8_BY_13},
                 {TEXT_HELVETICA_18, GLUT_BITMAP_HELVETICA_18},
                 {TEXT_HELVETICA_12, GLUT_BITMAP_HELVETICA_12},
                 {TEXT_HELVETICA_10, GLUT_BITMAP_HELVETICA_10}};
    for (const Case &c : cases) {
        restoreStartState();
        textMask("Gamma", c.font);
        const Image before = backBuffer();
        gfxDrawBuffer(GL_BACK);
        glColor3f(1, 1, 0);
        c.write(400, 400, "Gamma");
        EXPECT_EQ(comparePictures("text-font",
                                  withText(before, "Gamma", 400, 400, Rgb{255, 255, 0}, c.font),
                                  backBuffer()), 0);
    }
    // The fonts differ, so the comparison above tells them apart.
    EXPECT_NE(textMask("Gamma", GLUT_BITMAP_HELVETICA_18).inkCount(),
              textMask("Gamma", GLUT_BITMAP_HELVETICA_10).inkCount());
}

TEST_F(WidgetsTest, TextGoesToTheFrontOnlyWhenTheCallerSelectedIt) {
    const Image before = backBuffer();
    gfxDrawBuffer(GL_FRONT);
    TEXT_8_X_13_WHITE(300, 400, "front");
    EXPECT_EQ(comparePictures("text-front-back", before, backBuffer()), 0);
    EXPECT_GT(differingPixels(before, frontBuffer()), 0);
}

TEST_F(WidgetsTest, NullTextDrawsNothing) {
    const Image before = backBuffer();
    TEXT_8_X_13_WHITE(300, 400, nullptr);
    TEXT_HELVETICA_12(300, 400, nullptr);
    WINDOW w(300, 300, 100, 50);
    w.DrawTEXT(1, 1, 1, (char *)nullptr);
    EXPECT_EQ(comparePictures("text-null", before, backBuffer()), 0);
}

TEST_F(WidgetsTest, Clear8x13BlanksFromThreeBelowTheBaseline) {
    fillQuad(0, 0, 1, 0, 85, 100, 85, 100, 125, 0, 125);
    gfxSwapBuffers();
    CLEAR_8_X_13(10, 100, 80, 112);
    const Image after = backBuffer();
    Tally block = checkFilled(after, 10, 97, 80, 112, BLACK, "blanked strip");
    EXPECT_EQ(block.bad, 0) << block.why;
    for (int X = 9; X <= 80; ++X) {
        EXPECT_EQ(after.at(X, 96), BLUE) << X;
        EXPECT_EQ(after.at(X, 112), BLUE) << X;
    }
    for (int Y = 97; Y < 112; ++Y) {
        EXPECT_EQ(after.at(9, Y), BLUE) << Y;
        EXPECT_EQ(after.at(80, Y), BLUE) << Y;
    }
    EXPECT_EQ(comparePictures("clear8x13-front", after, frontBuffer()), 0) << "swaps";
}

// ---- BUTTON ----------------------------------------------------------------

TEST_F(WidgetsTest, SelectedIncludesTheFarEdges) {
    BUTTON b(10, 770, "Make");
    EXPECT_EQ(b.SELECTED(10, 770), 1);
    EXPECT_EQ(b.SELECTED(80, 790), 1);
    EXPECT_EQ(b.SELECTED(45, 780), 1);
    EXPECT_EQ(b.SELECTED(81, 790), 0);
    EXPECT_EQ(b.SELECTED(9, 780), 0);
    EXPECT_EQ(b.SELECTED(40, 791), 0);
    EXPECT_EQ(b.SELECTED(40, 769), 0);
    EXPECT_EQ(b.width, 70);
    EXPECT_EQ(b.height, 20);
    EXPECT_EQ(b.state, 0);
}

TEST_F(WidgetsTest, LongLabelsAreCutToTheField) {
    BUTTON b(10, 10, "A label far longer than the twenty-seven characters");
    EXPECT_EQ(strlen(b.label), 27u);
    BUTTON none(10, 10, nullptr);
    EXPECT_STREQ(none.label, "");
}

TEST_F(WidgetsTest, DrawShowsOutlineFaceBevelsAndACentredWhiteLabel) {
    const TextMask &zoomOut = textMask("Zoom Out"), &up = textMask("Up");
    bluePatch(380, 380, 600, 440);
    const Image before = backBuffer();
    BUTTON b(400, 400, "Zoom Out"), u(500, 400, "Up");
    b.DRAW();
    u.DRAW();
    const Image after = backBuffer();
    Tally t = checkButton(after, 400, 400, FACE, &zoomOut, 403, 405);  // 8 characters: X + 3
    EXPECT_EQ(t.bad, 0) << t.why;
    Tally t2 = checkButton(after, 500, 400, FACE, &up, 527, 405);  // 2 characters: X + 27
    EXPECT_EQ(t2.bad, 0) << t2.why;
    // Nothing outside the outline rectangles.
    Image expected = before;
    for (int bx : {400, 500})
        for (int X = bx - 1; X <= bx + 71; ++X)
            for (int Y = 398; Y <= 420; ++Y) setAt(expected, X, Y, after.at(X, Y));
    EXPECT_EQ(comparePictures("button-draw", expected, after), 0);
    EXPECT_EQ(comparePictures("button-draw-front", after, frontBuffer()), 0) << "DRAW swaps";
}

TEST_F(WidgetsTest, DrawHiliteColoursTheFaceAndWritesTheLabelBlack) {
    const TextMask &exit = textMask("Exit");
    BUTTON b(400, 400, "Exit");
    b.DRAW_HILITE(0, 0, 1);
    Tally t = checkButton(backBuffer(), 400, 400, BLUE, &exit, 419, 405, BLACK);
    EXPECT_EQ(t.bad, 0) << t.why;
}

TEST_F(WidgetsTest, HideLeavesABlankRaisedButtonAndShowDrawsItAgain) {
    BUTTON b(400, 400, "Cancel");
    b.DRAW();
    EXPECT_EQ(b.HIDE(), 0);
    Tally t = checkButton(backBuffer(), 400, 400, FACE);
    EXPECT_EQ(t.bad, 0) << t.why;
    EXPECT_EQ(comparePictures("button-hide-front", backBuffer(), frontBuffer()), 0) << "swaps";
    const Image hidden = backBuffer();
    EXPECT_EQ(b.SHOW(), 1);
    const Image shown = backBuffer();
    b.DRAW();
    EXPECT_EQ(comparePictures("button-show", backBuffer(), shown), 0) << "SHOW is DRAW";
    EXPECT_GT(differingPixels(hidden, shown), 0);
}

TEST_F(WidgetsTest, ClickLeavesTheWindowPictureByteIdentical) {
    // On a button drawn over a varied picture (the layout's Zoom Out, and one
    // half over the image panel's frame), in the back buffer and on screen.
    BUTTON overFrame(150, 500, "Overlap");
    overFrame.DRAW();
    gfxDrawBuffer(GL_BACK);
    TEXT_8_X_13_RED(160, 505, "ink");  // something the back holds and the button does not draw
    gfxSwapBuffers();
    const Image before = backBuffer();
    const Image shownBefore = screen();
    overFrame.CLICK();
    BUTTON zoomOut(105, 670, "Zoom Out");
    zoomOut.CLICK();
    EXPECT_EQ(comparePictures("click-back", before, backBuffer()), 0);
    EXPECT_EQ(comparePictures("click-front", before, frontBuffer()), 0);
    EXPECT_EQ(comparePictures("click-screen", shownBefore, screen()), 0);
    EXPECT_EQ(overFrame.pixels, nullptr);
}

TEST_F(WidgetsTest, ClickFlashesTheWholeOutlineRectangleBlack) {
    bluePatch(380, 380, 500, 440);
    BUTTON b(400, 400, "Make");
    b.DRAW();
    clickFlashMicroseconds = 900000;
    std::atomic<bool> sawFlash{false};
    Image during;
    // The flash is shown while the main thread sleeps: watch the screen then.
    std::thread watcher([&] {
        for (int waited = 0; waited < 850 && !sawFlash; waited += 25) {
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
            driver().settle(0);
            during = driver().grab();
            sawFlash = checkFilled(during, 399, 398, 472, 421, BLACK, "flash").bad == 0;
        }
    });
    b.CLICK();
    watcher.join();
    ASSERT_TRUE(sawFlash) << "the outline rectangle never went solid black";
    EXPECT_EQ(during.at(398, 410), BLUE) << "the flash stays on the outline rectangle";
    EXPECT_EQ(during.at(472, 410), BLUE);
    EXPECT_EQ(during.at(430, 397), BLUE);
    EXPECT_EQ(during.at(430, 421), BLUE);
}

TEST_F(WidgetsTest, ClickRestoresWhatTheBackBufferHoldsNotTheFront) {
    BUTTON b(400, 400, "Make");
    b.DRAW();
    gfxDrawBuffer(GL_BACK);  // drawn into the back, not yet swapped
    TEXT_8_X_13_RED(405, 405, "new");
    const Image back = backBuffer();
    b.CLICK();
    EXPECT_EQ(comparePictures("click-reads-back", back, backBuffer()), 0);
    EXPECT_EQ(comparePictures("click-reads-back-front", back, frontBuffer()), 0);
}

TEST_F(WidgetsTest, DrawLargeShowsTheIndicatorForEachState) {
    const struct {
        int state;
        const char *text;
        int dx;
        Rgb ink;
    } cases[] = {{0, "Off", 3, Rgb{255, 0, 0}},
                 {1, "On", 7, Rgb{0, 255, 0}},
                 {-1, "xxx", 3, Rgb{255, 255, 0}},
                 {2, "", 0, BLACK}};
    for (const auto &c : cases) {
        if (*c.text) textMask(c.text);
        textMask("Lamp");
        restoreStartState();
        BUTTON b(400, 400, "Lamp");
        b.state = c.state;
        b.DRAW_LARGE();
        EXPECT_EQ(b.indicatorLeft, 430);
        EXPECT_EQ(b.indicatorRight, 460);
        EXPECT_EQ(b.indicatorBottom, 404);
        EXPECT_EQ(b.indicatorTop, 416);
        const Image after = backBuffer();
        Tally frame = checkSunkenFrame(after, 430, 404, 460, 416);
        EXPECT_EQ(frame.bad, 0) << "state " << c.state << "\n" << frame.why;
        Image box = after;
        fillRect(box, 430, 404, 460, 416, BLACK);
        if (*c.text) overlayText(box, textMask(c.text), 430 + c.dx, 406, c.ink);
        Tally inside = compareRegion(after, box, 430, 404, 460, 416, "indicator");
        EXPECT_EQ(inside.bad, 0) << "state " << c.state << "\n" << inside.why;
        EXPECT_EQ(comparePictures("large-front", after, frontBuffer()), 0) << "swaps";
    }
}

TEST_F(WidgetsTest, ClickLargeAnimatesThenWritesTheNewStateOnly) {
    textMask("On");
    BUTTON b(400, 400, "Lamp");
    b.DRAW_LARGE();  // state 0: "Off"
    const Image before = backBuffer();
    b.CLICK_LARGE(1);
    EXPECT_EQ(b.state, 0) << "the state field is the caller's";
    Image expected = before;
    fillRect(expected, 430, 404, 460, 416, BLACK);
    overlayText(expected, textMask("On"), 437, 406, Rgb{0, 255, 0});
    EXPECT_EQ(comparePictures("click-large-on", expected, backBuffer()), 0);
    b.CLICK_LARGE(-1);  // "xxx" is not written here
    fillRect(expected, 430, 404, 460, 416, BLACK);
    EXPECT_EQ(comparePictures("click-large-none", expected, backBuffer()), 0);
    EXPECT_EQ(comparePictures("click-large-front", expected, frontBuffer()), 0);
}

TEST_F(WidgetsTest, ClickLargeBeforeAnyDrawLargeStaysOnTheButton) {
    BUTTON b(400, 400, "Lamp");
    b.DRAW();
    const Image before = backBuffer();
    b.CLICK_LARGE(2);
    const Image after = backBuffer();
    // Only the indicator box inside the face may change.
    Image expected = before;
    fillRect(expected, 430, 404, 460, 416, BLACK);
    EXPECT_EQ(comparePictures("click-large-first", expected, after), 0);
}

}  // namespace
