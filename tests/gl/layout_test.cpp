// The control panel: the layout objects, the first picture pixel by pixel,
// the readout lines and the group functions that hide and show buttons.
#include <gtest/gtest.h>

#include <math.h>
#include <stdio.h>
#include <string.h>

#include <string>

#include "app/app_state.h"
#include "app/layout.h"
#include "core/state.h"
#include "gl_harness.h"
#include "text_masks.h"
#include "widget_pictures.h"
#include "widgets/gfx.h"

using namespace pictures;

namespace {

void prepareMasks() {
    for (const Spot &b : COMMAND_BUTTONS) textMask(b.text);
    for (const Spot &b : DIALOG_BUTTONS) textMask(b.text);
    for (const Spot &c : CAPTIONS) textMask(c.text);
    for (const Spot &l : READOUT_LABELS) textMask(l.text);
    for (const Spot &v : READOUT_VALUES) textMask(v.text);
    textMask(EXIT_BUTTON_SPOT.text);
}

void add(Tally &total, const Tally &part) {
    total.bad += part.bad;
    total.why += part.why;
}

Tally checkLabelledButton(const Image &img, const Spot &b, Rgb face = FACE, Rgb ink = WHITE) {
    return checkButton(img, b.x, b.y, face, &textMask(b.text), labelX(b), b.y + 5, ink);
}

Tally checkBlankButton(const Image &img, const Spot &b) { return checkButton(img, b.x, b.y, FACE); }

// The "Parameters" panel inside: black with the given lines written on it.
Tally checkReadout(const Image &img, const Spot *values) {
    Image expected = img;
    fillRect(expected, 10, 10, 175, 160, BLACK);
    for (int i = 0; i < 8; ++i) {
        overlayText(expected, textMask(READOUT_LABELS[i].text), READOUT_LABELS[i].x,
                    READOUT_LABELS[i].y, WHITE);
        overlayText(expected, textMask(values[i].text), values[i].x, values[i].y, WHITE);
    }
    return compareRegion(img, expected, 10, 10, 175, 160, "readout");
}

// Everything the first display draws, piece by piece.
Tally checkFirstPicture(const Image &img) {
    Tally t = checkBackground(img);
    for (const Rect &p : PANELS) add(t, checkSunkenFrame(img, p.left, p.bottom, p.right, p.top));
    add(t, checkFilled(img, 185, 10, 989, 814, BLACK, "image panel"));
    add(t, checkFilled(img, 10, 190, 175, 490, BLACK, "directory panel"));
    add(t, checkReadout(img, READOUT_VALUES));
    for (const Spot &c : CAPTIONS) {
        Image expected = img;
        const int w = 8 * (int)strlen(c.text);
        fillRect(expected, c.x, c.y - 4, c.x + w, c.y + 12, FACE);
        overlayText(expected, textMask(c.text), c.x, c.y, WHITE);
        add(t, compareRegion(img, expected, c.x, c.y - 4, c.x + w, c.y + 12, c.text));
    }
    for (const Spot &b : COMMAND_BUTTONS) add(t, checkLabelledButton(img, b));
    add(t, checkLabelledButton(img, EXIT_BUTTON_SPOT, EXIT_FACE, BLACK));
    for (const Spot &b : DIALOG_BUTTONS) add(t, checkBlankButton(img, b));
    return t;
}

class LayoutTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        restoreStartState();
        prepareMasks();
    }
    void SetUp() override { restoreStartState(); }
    void TearDown() override { resetFractalState(); }
};

TEST_F(LayoutTest, PanelsAndButtonsSitWhereTheLayoutPutsThem) {
    EXPECT_EQ(winWidth, 995);
    EXPECT_EQ(winHeight, 820);
    const WINDOW *panels[] = {&MAIN_WINDOW, &FILE_WINDOW, &DATA_WINDOW};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(panels[i]->left, PANELS[i].left) << i;
        EXPECT_EQ(panels[i]->bottom, PANELS[i].bottom) << i;
        EXPECT_EQ(panels[i]->right, PANELS[i].right) << i;
        EXPECT_EQ(panels[i]->top, PANELS[i].top) << i;
        EXPECT_STREQ(panels[i]->title, "") << i;
    }
    const BUTTON *commands[] = {&MAKE_BUTTON, &LOAD_BUTTON, &SAVE_BUTTON, &EXPT_BUTTON,
                                &PALR_BUTTON, &PALG_BUTTON, &PALB_BUTTON, &TYPE_BUTTON,
                                &DETP_BUTTON, &DETM_BUTTON, &ZOMI_BUTTON, &ZOMO_BUTTON,
                                &PIVT_BUTTON, &REST_BUTTON};
    for (int i = 0; i < 14; ++i) {
        EXPECT_STREQ(commands[i]->label, COMMAND_BUTTONS[i].text);
        EXPECT_EQ(commands[i]->x, COMMAND_BUTTONS[i].x) << COMMAND_BUTTONS[i].text;
        EXPECT_EQ(commands[i]->y, COMMAND_BUTTONS[i].y) << COMMAND_BUTTONS[i].text;
    }
    EXPECT_STREQ(EXIT_BUTTON.label, "Exit");
    EXPECT_EQ(EXIT_BUTTON.x, 105);
    EXPECT_EQ(EXIT_BUTTON.y, 595);
    const BUTTON *dialog[] = {&UP___BUTTON, &DOWN_BUTTON, &CNCL_BUTTON, &ACPT_BUTTON};
    for (int i = 0; i < 4; ++i) {
        EXPECT_STREQ(dialog[i]->label, DIALOG_BUTTONS[i].text);
        EXPECT_EQ(dialog[i]->x, DIALOG_BUTTONS[i].x) << DIALOG_BUTTONS[i].text;
        EXPECT_EQ(dialog[i]->y, DIALOG_BUTTONS[i].y) << DIALOG_BUTTONS[i].text;
    }
}

TEST_F(LayoutTest, FirstDisplayDrawsTheWholeWindowAsLaidOut) {
    EXPECT_EQ(drawFlag, 0);
    const Image back = backBuffer();
    Tally t = checkFirstPicture(back);
    EXPECT_EQ(t.bad, 0) << t.why;
    if (t.bad) comparePictures("first-picture", Image(back.width, back.height), back);
    EXPECT_EQ(comparePictures("first-picture-front", back, frontBuffer()), 0);
    EXPECT_EQ(comparePictures("first-picture-screen", back, screen()), 0);
}

TEST_F(LayoutTest, LaterDisplayRequestsOnlySwap) {
    gfxDrawBuffer(GL_BACK);
    TEXT_8_X_13_RED(300, 400, "kept");  // in the back only, not yet shown
    const Image back = backBuffer();
    myDisplay();
    EXPECT_EQ(comparePictures("display-again-back", back, backBuffer()), 0) << "not redrawn";
    EXPECT_EQ(comparePictures("display-again-screen", back, screen()), 0) << "swapped";
}

TEST_F(LayoutTest, ReadoutShowsTheStartValuesAtTheirBaselines) {
    Tally t = checkReadout(backBuffer(), READOUT_VALUES);
    EXPECT_EQ(t.bad, 0) << t.why;
    char label[16], value[80];
    const char *values[8] = {"Mandelbrot",  " 50",         "-5.00000000", " 5.00000000",
                             " 0.00000000", "-5.00000000", " 5.00000000", " 0.00000000"};
    for (int line = 1; line <= 8; ++line) {
        ASSERT_EQ(formatReadoutLine(line, label, value), 1);
        EXPECT_STREQ(label, READOUT_LABELS[line - 1].text);
        EXPECT_STREQ(value, values[line - 1]);
    }
}

TEST_F(LayoutTest, ReadoutLineRedrawsOnlyItsOwnStrip) {
    textMask(" 5000");
    textMask("-0.12345679");
    const Image before = backBuffer();
    detail = 5000;
    DISPLAY_FRACTAL_DATA(DATA_WINDOW, 2);
    yPivot = -0.123456789;
    DISPLAY_FRACTAL_DATA(DATA_WINDOW, 8);
    Spot now[8];
    for (int i = 0; i < 8; ++i) now[i] = READOUT_VALUES[i];
    now[1].text = " 5000";
    now[7].text = "-0.12345679";
    const Image after = backBuffer();
    Tally t = checkReadout(after, now);
    EXPECT_EQ(t.bad, 0) << t.why;
    // Outside the two strips (y 116..131 and 11..26) nothing changed.
    Image expected = before;
    fillRect(expected, 10, 116, 175, 132, BLACK);
    fillRect(expected, 10, 11, 175, 27, BLACK);
    for (int X = 10; X < 175; ++X)
        for (int Y : {116, 131, 11, 26}) setAt(expected, X, Y, after.at(X, Y));
    Image a = after, e = expected;
    fillRect(a, 10, 116, 175, 132, BLACK);
    fillRect(a, 10, 11, 175, 27, BLACK);
    EXPECT_EQ(comparePictures("readout-strips", e, a), 0);
    EXPECT_EQ(comparePictures("readout-front", after, frontBuffer()), 0) << "each line swaps";
}

TEST_F(LayoutTest, TheStripCoversTheFullPanelWidthFromFourBelowToTwelveAbove) {
    // Paint the panel, then redraw line 3 (baseline 100): rows 96..111 go black.
    fillQuad(0, 0, 1, 10, 10, 175, 10, 175, 160, 10, 160);
    DISPLAY_FRACTAL_DATA(DATA_WINDOW, 3);
    const Image after = backBuffer();
    Image expected = after;
    fillRect(expected, 10, 10, 175, 160, Rgb{0, 0, 255});
    fillRect(expected, 10, 96, 175, 112, BLACK);
    overlayText(expected, textMask("x Start-"), 15, 100, WHITE);
    overlayText(expected, textMask("-5.00000000"), 83, 100, WHITE);
    Tally t = compareRegion(after, expected, 10, 10, 175, 160, "line 3");
    EXPECT_EQ(t.bad, 0) << t.why;
}

TEST_F(LayoutTest, LinesOutsideOneToEightDrawNothingButStillSwap) {
    for (int line : {0, 9, -1, 1000}) {
        restoreStartState();
        gfxDrawBuffer(GL_BACK);
        TEXT_8_X_13_RED(300, 400, "pending");  // a swap shows it
        const Image back = backBuffer();
        const long presents = gfxPresentCount();
        DISPLAY_FRACTAL_DATA(DATA_WINDOW, line);
        EXPECT_EQ(comparePictures("readout-line-none", back, backBuffer()), 0) << line;
        EXPECT_EQ(comparePictures("readout-line-none-front", back, frontBuffer()), 0) << line;
        EXPECT_EQ(gfxPresentCount(), presents + 1) << line;
        char label[16], value[80];
        EXPECT_EQ(formatReadoutLine(line, label, value), 0);
    }
}

TEST_F(LayoutTest, HugeValuesAreCutToTheTextBufferNotOverrun) {
    char label[16], value[80], full[400];
    const double huge[] = {1e70, -1e70, 1e300, -1e300};
    for (double v : huge) {
        xStart = v;
        snprintf(full, sizeof full, "%11.8lf", v);
        ASSERT_GT(strlen(full), 79u);
        ASSERT_EQ(formatReadoutLine(3, label, value), 1);
        EXPECT_EQ(std::string(value), std::string(full, 79));
        DISPLAY_FRACTAL_DATA(DATA_WINDOW, 3);  // runs far past the panel; must not crash
    }
    xStart = NAN;
    ASSERT_EQ(formatReadoutLine(3, label, value), 1);
    EXPECT_STREQ(value, "        nan");
    xStart = -INFINITY;
    ASSERT_EQ(formatReadoutLine(3, label, value), 1);
    EXPECT_STREQ(value, "       -inf");
}

TEST_F(LayoutTest, ElevenCharactersEndInsideTwelveRunPastTheEdge) {
    textMask("100.00000000");
    xEnd = 100.0;  // 12 characters: x 83..178, over the frame and the background
    DISPLAY_FRACTAL_DATA(DATA_WINDOW, 4);
    const Image after = backBuffer();
    Image expected = after;
    fillRect(expected, 10, 81, 175, 97, BLACK);
    overlayText(expected, textMask("x End---"), 15, 85, WHITE);
    overlayText(expected, textMask("100.00000000"), 83, 85, WHITE);
    Tally t = compareRegion(after, expected, 10, 81, 185, 97, "line 4");
    EXPECT_EQ(t.bad, 0) << t.why;
    bool inkBeyondEdge = false;
    for (int X = 175; X < 185; ++X)
        for (int Y = 81; Y < 97; ++Y) inkBeyondEdge |= after.at(X, Y) == WHITE;
    EXPECT_TRUE(inkBeyondEdge);
}

TEST_F(LayoutTest, TypeNameIsWrittenEightPixelsFurtherRight) {
    const std::string name(79, 'Q');
    textMask(name);
    memset(fracType, 'Q', sizeof fracType);  // a full field without terminator
    DISPLAY_FRACTAL_DATA(DATA_WINDOW, 1);
    char label[16], value[80];
    ASSERT_EQ(formatReadoutLine(1, label, value), 1);
    EXPECT_EQ(std::string(value), name);
    const Image after = backBuffer();
    Image expected = after;
    fillRect(expected, 10, 136, 175, 152, BLACK);
    overlayText(expected, textMask("Type---- "), 15, 140, WHITE);
    overlayText(expected, textMask(name), 91, 140, WHITE);
    Tally t = compareRegion(after, expected, 10, 136, 175, 152, "line 1");
    EXPECT_EQ(t.bad, 0) << t.why;
}

TEST_F(LayoutTest, HidingCommandButtonsKeepsPaletteButtonsAndExitLabelled) {
    const Image first = backBuffer();
    HIDE_COMMAND_BUTTONS();
    const Image hidden = backBuffer();
    for (const Spot &b : COMMAND_BUTTONS) {
        const std::string label = b.text;
        const bool palette = label == "Red" || label == "Green" || label == "Blue";
        Tally t = palette ? checkLabelledButton(hidden, b) : checkBlankButton(hidden, b);
        EXPECT_EQ(t.bad, 0) << label << "\n" << t.why;
    }
    Tally exitLook = checkLabelledButton(hidden, EXIT_BUTTON_SPOT, EXIT_FACE, BLACK);
    EXPECT_EQ(exitLook.bad, 0) << exitLook.why;
    for (const Spot &b : DIALOG_BUTTONS) EXPECT_EQ(checkBlankButton(hidden, b).bad, 0) << b.text;
    SHOW_COMMAND_BUTTONS();
    EXPECT_EQ(comparePictures("commands-shown-again", first, backBuffer()), 0);
    EXPECT_EQ(comparePictures("commands-shown-again-screen", first, screen()), 0);
}

TEST_F(LayoutTest, DialogGroupsTouchOnlyTheirOwnButtons) {
    const Spot &up = DIALOG_BUTTONS[0], &down = DIALOG_BUTTONS[1], &cancel = DIALOG_BUTTONS[2],
               &accept = DIALOG_BUTTONS[3];
    const Image first = backBuffer();
    SHOW_SAVE_BUTTONS();
    Image img = backBuffer();
    EXPECT_EQ(checkLabelledButton(img, accept).bad, 0);
    EXPECT_EQ(checkLabelledButton(img, cancel).bad, 0);
    EXPECT_EQ(checkBlankButton(img, up).bad, 0);
    EXPECT_EQ(checkBlankButton(img, down).bad, 0);

    HIDE_LOAD_BUTTONS();  // Up, Down, Cancel only: Accept stays as it was
    img = backBuffer();
    EXPECT_EQ(checkLabelledButton(img, accept).bad, 0) << "Accept left alone";
    EXPECT_EQ(checkBlankButton(img, cancel).bad, 0);

    SHOW_LOAD_BUTTONS();
    img = backBuffer();
    for (const Spot *b : {&up, &down, &cancel}) EXPECT_EQ(checkLabelledButton(img, *b).bad, 0) << b->text;
    EXPECT_EQ(checkLabelledButton(img, accept).bad, 0);

    HIDE_SAVE_BUTTONS();
    img = backBuffer();
    EXPECT_EQ(checkBlankButton(img, accept).bad, 0);
    EXPECT_EQ(checkBlankButton(img, cancel).bad, 0);
    EXPECT_EQ(checkLabelledButton(img, up).bad, 0);
    EXPECT_EQ(checkLabelledButton(img, down).bad, 0);

    HIDE_LOAD_BUTTONS();
    EXPECT_EQ(comparePictures("dialog-groups-back-to-start", first, backBuffer()), 0)
        << "no group touches anything but its dialog buttons";
}

TEST_F(LayoutTest, TheFirstPictureLeavesNoGlError) {
    while (glGetError() != GL_NO_ERROR) {
    }
    drawFlag = 1;
    myDisplay();
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
    EXPECT_EQ(drawFlag, 0);
}

}  // namespace
