// The real program's first picture, as the X server shows it: background,
// the three sunken panels, the buttons with their labels, Exit in red, the
// blank dialog buttons, the captions and the readout; and the same picture
// again after the window has been covered and uncovered, or unmapped and
// mapped. Text is checked by where its ink lies (the font's own masks are
// the gl tier's business).
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "e2e_session.h"
#include "image.h"
#include "widget_pictures.h"

using namespace pictures;

namespace {

void add(Tally &total, const Tally &part) {
    total.bad += part.bad;
    total.why += part.why;
}

// A button whose inner face holds its label's ink and nothing else.
Tally checkLabelledButton(const Image &img, const Spot &b, Rgb face, Rgb ink) {
    Tally t;
    // Body first, with the inner face allowed to carry ink anywhere ...
    Tally body = checkButton(img, b.x, b.y, face);
    for (int X = b.x + 2; X < b.x + 68; ++X)
        for (int Y = b.y + 2; Y < b.y + 18; ++Y)
            if (img.at(X, Y) == ink) --body.bad;  // ink is judged below
    t.bad += body.bad > 0 ? body.bad : 0;
    if (body.bad > 0) t.why += body.why;
    // ... then the ink must sit in the label's cells, centred on the face.
    const Spot label{b.text, labelX(b), b.y + 5};
    add(t, checkTextInk(img, label, ink, face, b.x + 2, b.y + 2, b.x + 68, b.y + 18));
    return t;
}

// Everything the first display draws.
Tally checkFirstPicture(const Image &img) {
    Tally t = checkBackground(img);
    for (const Rect &p : PANELS) add(t, checkSunkenFrame(img, p.left, p.bottom, p.right, p.top));
    add(t, checkFilled(img, 185, 10, 989, 814, BLACK, "image panel"));
    add(t, checkFilled(img, 10, 190, 175, 490, BLACK, "directory panel"));
    for (const Spot &c : CAPTIONS) {
        const int w = 8 * (int)std::string(c.text).size();
        add(t, checkTextInk(img, c, WHITE, FACE, c.x, c.y - 4, c.x + w, c.y + 12));
    }
    // The readout: white text on black, each line's label and value in
    // their cells on their baseline, nothing else in the panel.
    Image rest = img;
    for (int i = 0; i < 8; ++i) {
        const Spot &label = READOUT_LABELS[i], &value = READOUT_VALUES[i];
        const int y = label.y;
        add(t, checkTextInk(img, label, WHITE, BLACK, 10, y - 3, value.x, y + 11));
        add(t, checkTextInk(img, value, WHITE, BLACK, value.x, y - 3, 175, y + 11));
        fillRect(rest, 10, y - 3, 175, y + 11, BLACK);
    }
    add(t, checkFilled(rest, 10, 10, 175, 160, BLACK, "readout between the lines"));
    for (const Spot &b : COMMAND_BUTTONS) add(t, checkLabelledButton(img, b, FACE, WHITE));
    add(t, checkLabelledButton(img, EXIT_BUTTON_SPOT, EXIT_FACE, BLACK));
    for (const Spot &b : DIALOG_BUTTONS) add(t, checkButton(img, b.x, b.y, FACE));
    return t;
}

class FirstPicture : public testing::Test {
protected:
    void SetUp() override {
        dir = makeTempDir("first-picture");
        ASSERT_FALSE(dir.empty());
        ASSERT_TRUE(s.start({}, dir)) << "the program did not show its window";
        ASSERT_TRUE(settledPicture(first)) << "the first picture never stopped changing";
    }

    // The window's picture once two grabs 300 ms apart agree (the first
    // display draws piece by piece, each piece shown at once).
    bool settledPicture(Image &shot, int timeoutMs = 15000) {
        Image previous = s.x.grab();
        for (int waited = 0; waited < timeoutMs; waited += 300) {
            s.x.settle(300);
            shot = s.x.grab();
            if (shot.rgb == previous.rgb) return true;
            previous = shot;
        }
        return false;
    }
    void TearDown() override {
        s.stop();
        const std::string rm = "rm -rf '" + dir + "'";
        if (system(rm.c_str()) != 0) ADD_FAILURE() << "cannot remove " << dir;
    }

    // Another top-level window over the program's, then gone again.
    void coverAndUncover() {
        Display *dpy = s.x.display();
        int rx = 0, ry = 0;
        Window child;
        XTranslateCoordinates(dpy, s.x.window(), DefaultRootWindow(dpy), 0, 0, &rx, &ry, &child);
        XSetWindowAttributes a;
        a.override_redirect = True;
        a.background_pixel = WhitePixel(dpy, DefaultScreen(dpy));
        Window cover = XCreateWindow(dpy, DefaultRootWindow(dpy), rx - 50, ry - 50, 700, 600, 0,
                                     CopyFromParent, InputOutput, CopyFromParent,
                                     CWOverrideRedirect | CWBackPixel, &a);
        XMapRaised(dpy, cover);
        s.x.settle(300);
        XDestroyWindow(dpy, cover);
        s.x.settle(400);
    }

    std::string dir;
    E2eSession s;
    Image first;
};

TEST_F(FirstPicture, ShowsTheWholeWindowAsLaidOut) {
    int w = 0, h = 0;
    ASSERT_TRUE(s.x.size(w, h));
    ASSERT_EQ(w, WINDOW_WIDTH);
    ASSERT_EQ(h, WINDOW_HEIGHT);
    const Image &shot = first;
    Tally t = checkFirstPicture(shot);
    EXPECT_EQ(t.bad, 0) << t.why;
    if (t.bad) comparePictures("e2e-first-picture", Image(shot.width, shot.height), shot);
    // A few telling pixels, spelled out.
    EXPECT_EQ(shot.at(3, 3), FACE) << "background grey (153, 153, 153)";
    EXPECT_EQ(shot.at(500, 400), BLACK) << "image panel inside";
    EXPECT_EQ(shot.at(140, 605), EXIT_FACE) << "Exit's red face";
}

TEST_F(FirstPicture, CoveringAndUncoveringBringsTheSamePictureBack) {
    Image shot;
    coverAndUncover();
    ASSERT_TRUE(settledPicture(shot));
    EXPECT_EQ(comparePictures("e2e-uncovered", first, shot), 0);
    s.x.unmapAndMap();
    ASSERT_TRUE(settledPicture(shot));
    EXPECT_EQ(comparePictures("e2e-mapped-again", first, shot), 0);
    EXPECT_TRUE(s.running());
}

TEST_F(FirstPicture, APressedButtonLeavesThePictureAsItWas) {
    s.x.click(140, 730);  // Detail-: at its floor of 50, so the readout stays
    Image after;
    ASSERT_TRUE(settledPicture(after));
    // The command cues Make (its face changes); everything else, the pressed
    // button included, must be exactly as before.
    Image before = first;
    fillRect(before, 9, 768, 82, 791, BLACK);
    fillRect(after, 9, 768, 82, 791, BLACK);
    EXPECT_EQ(comparePictures("e2e-after-click", before, after), 0);
}

}  // namespace
