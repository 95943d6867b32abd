// widget_pictures.h - what the toolkit's pieces look like, pixel by pixel.
//
// Each check looks at a picture (GL coordinates, origin bottom-left) and
// returns the number of pixels that differ from the expected look; the first
// few are described in `why`. The shapes:
//   - sunken frame: 2-pixel strips outside L, B, R, T; dark above and left,
//     light below and right; at the two mitred corners where a dark and a
//     light strip meet, the pixels on the diagonal may go either way (the
//     rasteriser's tie rule decides), all others must not;
//   - button at (X, Y): black outline from (X - 1, Y - 2) to (X + 71, Y + 20)
//     inclusive, face (X .. X + 69, Y .. Y + 19) with 2-pixel bevels, light
//     along the top and left, dark along the bottom and right (diagonals at
//     the top-right and bottom-left corners either way); the inner face
//     (X + 2 .. X + 67, Y + 2 .. Y + 17) is face colour except where the
//     label's ink lies;
//   - text: an ink mask (which pixels a string lights, relative to its
//     raster origin) is laid over a paper colour.
// GL-free: the masks are made by the gl tier (tests/gl/text_masks.h); the
// e2e tier checks text by its ink box instead.
#ifndef QUORVEX_TESTS_WIDGET_PICTURES_H
#define QUORVEX_TESTS_WIDGET_PICTURES_H

#include <algorithm>
#include <string>
#include <vector>

#include "image.h"

namespace pictures {

const Rgb BLACK{0, 0, 0}, WHITE{255, 255, 255};
const Rgb DARK{102, 102, 102}, FACE{153, 153, 153}, LIGHT{204, 204, 204};

// A string's ink relative to its raster origin: pixel (dx, dy) is lit when
// lit[(dy - bottom) * width + (dx - left)].
struct TextMask {
    int left = 0, bottom = 0, width = 0, height = 0;
    std::vector<bool> lit;
    bool at(int dx, int dy) const {
        const int i = dx - left, j = dy - bottom;
        return i >= 0 && j >= 0 && i < width && j < height && lit[(size_t)j * width + i];
    }
    long inkCount() const {
        long n = 0;
        for (bool b : lit) n += b;
        return n;
    }
};

inline void setAt(Image &image, int X, int Y, Rgb c) {
    if (X >= 0 && Y >= 0 && X < image.width && Y < image.height)
        image.setTop(X, image.height - 1 - Y, c);
}

// Paints the mask's ink at raster origin (X, Y) in `ink`.
inline void overlayText(Image &image, const TextMask &mask, int X, int Y, Rgb ink) {
    for (int j = 0; j < mask.height; ++j)
        for (int i = 0; i < mask.width; ++i)
            if (mask.lit[(size_t)j * mask.width + i])
                setAt(image, X + mask.left + i, Y + mask.bottom + j, ink);
}

// Fills the GL rectangle [x0, x1) x [y0, y1) of the picture.
inline void fillRect(Image &image, int x0, int y0, int x1, int y1, Rgb c) {
    for (int Y = y0; Y < y1; ++Y)
        for (int X = x0; X < x1; ++X) setAt(image, X, Y, c);
}

struct Tally {
    long bad = 0;
    std::string why;
    void check(int X, int Y, Rgb actual, Rgb a, Rgb b, const char *part) {
        if (actual == a || actual == b) return;
        if (++bad <= 5)
            why += std::string(part) + " at (" + std::to_string(X) + ", " + std::to_string(Y) +
                   ") is " + describe(actual) + ", expected " + describe(a) +
                   (a == b ? "" : " or " + describe(b)) + "\n";
    }
    void check(int X, int Y, Rgb actual, Rgb a, const char *part) { check(X, Y, actual, a, a, part); }
};

// A pixel of a mitred corner square: it belongs to the strip it reaches
// deeper into (depths measured outward from the rectangle), and may belong
// to either when it lies on the diagonal.
inline void checkMitre(Tally &t, const Image &img, int X, int Y, int depthA, int depthB, Rgb a,
                       Rgb b, const char *part) {
    const Rgb actual = img.at(X, Y);
    if (depthA > depthB) t.check(X, Y, actual, a, part);
    else if (depthA < depthB) t.check(X, Y, actual, b, part);
    else t.check(X, Y, actual, a, b, part);
}

// The sunken frame of WINDOW::DRAW around L, B, R, T.
inline Tally checkSunkenFrame(const Image &img, int L, int B, int R, int T) {
    Tally t;
    for (int X = L; X < R; ++X)
        for (int d = 0; d < 2; ++d) {
            t.check(X, T + d, img.at(X, T + d), DARK, "top strip");
            t.check(X, B - 1 - d, img.at(X, B - 1 - d), LIGHT, "bottom strip");
        }
    for (int Y = B; Y < T; ++Y)
        for (int d = 0; d < 2; ++d) {
            t.check(L - 1 - d, Y, img.at(L - 1 - d, Y), DARK, "left strip");
            t.check(R + d, Y, img.at(R + d, Y), LIGHT, "right strip");
        }
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 2; ++j) {
            t.check(L - 1 - i, T + j, img.at(L - 1 - i, T + j), DARK, "top-left corner");
            t.check(R + i, B - 1 - j, img.at(R + i, B - 1 - j), LIGHT, "bottom-right corner");
            // top-right: the top strip (dark) above the diagonal, the right (light) below
            checkMitre(t, img, R + i, T + j, j, i, DARK, LIGHT, "top-right mitre");
            // bottom-left: the left strip (dark) left of the diagonal, the bottom (light) below
            checkMitre(t, img, L - 1 - i, B - 1 - j, i, j, DARK, LIGHT, "bottom-left mitre");
        }
    return t;
}

// Outline, face and bevels of a button at (X, Y); the inner face must be
// `face` except where `label` (if any) puts `ink` with its origin at
// (labelX, labelY).
inline Tally checkButton(const Image &img, int X, int Y, Rgb face, const TextMask *label = nullptr,
                         int labelX = 0, int labelY = 0, Rgb ink = WHITE) {
    Tally t;
    const int R = X + 70;
    for (int px = X - 1; px <= R + 1; ++px)
        for (int py = Y - 2; py <= Y + 20; ++py) {
            const Rgb a = img.at(px, py);
            if (px < X || px >= R || py < Y || py >= Y + 20) {
                t.check(px, py, a, BLACK, "outline");
                continue;
            }
            const int dl = px - X, dr = R - 1 - px, db = py - Y, dt = Y + 19 - py;
            if (dl >= 2 && dr >= 2 && db >= 2 && dt >= 2) {
                const bool inked = label && label->at(px - labelX, py - labelY);
                t.check(px, py, a, inked ? ink : face, inked ? "label ink" : "face");
            } else if ((dt < 2 || dl < 2) && (db < 2 || dr < 2)) {
                // a corner where a light and a dark bevel meet
                const int light = dt < 2 ? dt : dl, dark = dt < 2 ? dr : db;
                const Rgb c = light < dark ? LIGHT : dark < light ? DARK : a == LIGHT ? LIGHT : DARK;
                t.check(px, py, a, c, "bevel mitre");
            } else {
                t.check(px, py, a, dt < 2 || dl < 2 ? LIGHT : DARK, "bevel");
            }
        }
    return t;
}

// Pixels of the GL rectangle [x0, x1) x [y0, y1) that are not `c`.
inline Tally checkFilled(const Image &img, int x0, int y0, int x1, int y1, Rgb c, const char *part) {
    Tally t;
    for (int Y = y0; Y < y1; ++Y)
        for (int X = x0; X < x1; ++X) t.check(X, Y, img.at(X, Y), c, part);
    return t;
}

// Pixels that differ between two pictures inside [x0, x1) x [y0, y1).
inline Tally compareRegion(const Image &actual, const Image &expected, int x0, int y0, int x1,
                           int y1, const char *part) {
    Tally t;
    for (int Y = y0; Y < y1; ++Y)
        for (int X = x0; X < x1; ++X) t.check(X, Y, actual.at(X, Y), expected.at(X, Y), part);
    return t;
}

// ---- The first picture of a 995 x 820 window --------------------------------

struct Spot {
    const char *text;
    int x, y;
};
struct Rect {
    int left, bottom, right, top;
};

const int WINDOW_WIDTH = 995, WINDOW_HEIGHT = 820;
const Rgb EXIT_FACE{255, 26, 26};  // (1, 0.1, 0.1)

const Rect IMAGE_PANEL{185, 10, 989, 814}, DIRECTORY_PANEL{10, 190, 175, 490},
    PARAMETERS_PANEL{10, 10, 175, 160};
const Rect PANELS[3] = {IMAGE_PANEL, DIRECTORY_PANEL, PARAMETERS_PANEL};

// Bottom-left corners of the button faces.
const Spot COMMAND_BUTTONS[14] = {
    {"Make", 10, 770},     {"Load", 10, 745},     {"Save", 10, 720},    {"Export", 10, 695},
    {"Red", 10, 645},      {"Green", 10, 620},    {"Blue", 10, 595},    {"Type", 105, 770},
    {"Detail+", 105, 745}, {"Detail-", 105, 720}, {"Zoom In", 105, 695}, {"Zoom Out", 105, 670},
    {"Pivot", 105, 645},   {"Reset", 105, 620}};
const Spot EXIT_BUTTON_SPOT{"Exit", 105, 595};
const Spot DIALOG_BUTTONS[4] = {{"Up", 10, 525}, {"Down", 10, 500}, {"Cancel", 105, 500},
                                {"Accept", 105, 525}};

// Baseline origins.
const Spot CAPTIONS[3] = {{"Commands", 10, 800}, {"Directory", 10, 555}, {"Parameters", 10, 170}};
const Spot READOUT_LABELS[8] = {{"Type---- ", 15, 140}, {"Detail--    ", 15, 120},
                                {"x Start-", 15, 100},  {"x End---", 15, 85},
                                {"x Pivot-", 15, 70},   {"y Start-", 15, 50},
                                {"y End---", 15, 35},   {"y Pivot-", 15, 15}};
// The values of the start state.
const Spot READOUT_VALUES[8] = {{"Mandelbrot", 91, 140},  {" 50", 83, 120},
                                {"-5.00000000", 83, 100}, {" 5.00000000", 83, 85},
                                {" 0.00000000", 83, 70},  {"-5.00000000", 83, 50},
                                {" 5.00000000", 83, 35},  {" 0.00000000", 83, 15}};

// The label's raster origin on a button face: centred, 8 pixels a character.
inline int labelX(const Spot &button) {
    return button.x + 35 - 4 * (int)std::string(button.text).size();
}

// Whether (X, Y) lies in a panel's frame or inside it, on a button's outline
// rectangle, or in the 16-pixel strip of a caption: everywhere else the
// first picture shows the background grey.
inline bool coveredInFirstPicture(int X, int Y) {
    for (const Rect &p : PANELS)
        if (X >= p.left - 2 && X < p.right + 2 && Y >= p.bottom - 2 && Y < p.top + 2) return true;
    auto onButton = [&](const Spot &b) {
        return X >= b.x - 1 && X <= b.x + 71 && Y >= b.y - 2 && Y <= b.y + 20;
    };
    for (const Spot &b : COMMAND_BUTTONS)
        if (onButton(b)) return true;
    for (const Spot &b : DIALOG_BUTTONS)
        if (onButton(b)) return true;
    if (onButton(EXIT_BUTTON_SPOT)) return true;
    for (const Spot &c : CAPTIONS)
        if (X >= c.x && X < c.x + 8 * (int)std::string(c.text).size() && Y >= c.y - 4 &&
            Y < c.y + 12)
            return true;
    return false;
}

// Ink box of each character of GLUT's 8 x 13 bitmap font, ' ' to '~', relative
// to the character's origin: left, right, bottom, top (inclusive; a box with
// right < left means no ink). Read once from the font itself by the gl tier.
const signed char FONT_8X13_INK[95][4] = {
    {0, -1, 0, -1}, {3, 3, 0, 8}, {2, 5, 6, 8}, {1, 6, 1, 7}, {1, 5, 0, 8}, {1, 6, 0, 8},
    {1, 6, 0, 6}, {1, 4, 6, 8}, {3, 5, 0, 8}, {2, 4, 0, 8}, {1, 6, 2, 6}, {1, 5, 2, 6},
    {1, 4, -1, 1}, {1, 6, 4, 4}, {2, 4, -1, 1}, {0, 6, 0, 8}, {1, 6, 0, 8}, {1, 5, 0, 8},
    {1, 6, 0, 8}, {1, 6, 0, 8}, {1, 6, 0, 8}, {1, 6, 0, 8}, {1, 6, 0, 8}, {1, 6, 0, 8},
    {1, 6, 0, 8}, {1, 6, 0, 8}, {2, 4, -1, 6}, {1, 4, -1, 6}, {2, 6, 0, 8}, {1, 6, 2, 5},
    {1, 5, 0, 8}, {1, 6, 0, 8}, {1, 6, 0, 8}, {1, 6, 0, 8}, {0, 6, 0, 8}, {1, 6, 0, 8},
    {0, 6, 0, 8}, {1, 6, 0, 8}, {1, 6, 0, 8}, {1, 6, 0, 8}, {1, 6, 0, 8}, {1, 5, 0, 8},
    {1, 7, 0, 8}, {1, 6, 0, 8}, {1, 6, 0, 8}, {0, 6, 0, 8}, {1, 6, 0, 8}, {1, 6, 0, 8},
    {1, 6, 0, 8}, {1, 6, -1, 8}, {1, 6, 0, 8}, {1, 6, 0, 8}, {0, 6, 0, 8}, {1, 6, 0, 8},
    {0, 6, 0, 8}, {0, 6, 0, 8}, {0, 6, 0, 8}, {0, 6, 0, 8}, {1, 6, 0, 8}, {2, 5, 0, 8},
    {0, 6, 0, 8}, {1, 4, 0, 8}, {1, 5, 6, 8}, {0, 6, -1, -1}, {2, 5, 6, 8}, {1, 6, 0, 5},
    {1, 6, 0, 8}, {1, 6, 0, 5}, {1, 6, 0, 8}, {1, 6, 0, 5}, {1, 6, 0, 8}, {1, 6, -2, 5},
    {1, 6, 0, 8}, {1, 5, 0, 7}, {1, 5, -2, 7}, {1, 6, 0, 8}, {1, 5, 0, 8}, {0, 6, 0, 5},
    {1, 6, 0, 5}, {1, 6, 0, 5}, {1, 6, -2, 5}, {1, 6, -2, 5}, {1, 6, 0, 5}, {1, 6, 0, 5},
    {1, 6, 0, 7}, {1, 6, 0, 5}, {1, 5, 0, 5}, {0, 6, 0, 5}, {1, 6, 0, 5}, {1, 6, -2, 5},
    {1, 6, 0, 5}, {2, 6, 0, 8}, {3, 3, 0, 8}, {1, 5, 0, 8}, {1, 5, 6, 8}};

// Without the font's masks (the e2e tier): a line of 8 x 13 text at baseline
// origin (x, y) puts the ink of character i only into that character's ink
// box, shifted to x + 8 i, and reaches every edge of every box. Inside
// [x0, x1) x [y0, y1) every pixel must be ink or paper.
inline Tally checkTextInk(const Image &img, const Spot &text, Rgb ink, Rgb paper, int x0, int y0,
                          int x1, int y1) {
    Tally t;
    const std::string s = text.text;
    const int len = (int)s.size();
    // Per character: the box edges its ink reached (left, right, bottom, top).
    std::vector<std::vector<int>> reached(len, std::vector<int>{1000, -1000, 1000, -1000});
    auto box = [&](int i) {
        const unsigned char c = (unsigned char)s[i];
        return c >= 32 && c < 127 ? FONT_8X13_INK[c - 32] : FONT_8X13_INK[0];
    };
    for (int Y = y0; Y < y1; ++Y)
        for (int X = x0; X < x1; ++X) {
            const Rgb a = img.at(X, Y);
            t.check(X, Y, a, ink, paper, "text strip");
            if (a != ink || ink == paper) continue;
            const int i = X >= text.x ? (X - text.x) / 8 : -1;
            const int dx = X - text.x - 8 * i, dy = Y - text.y;
            if (i < 0 || i >= len || dx < box(i)[0] || dx > box(i)[1] || dy < box(i)[2] ||
                dy > box(i)[3]) {
                t.check(X, Y, a, paper, (s + ": ink outside the character boxes").c_str());
                continue;
            }
            std::vector<int> &r = reached[i];
            r = {std::min(r[0], dx), std::max(r[1], dx), std::min(r[2], dy), std::max(r[3], dy)};
        }
    for (int i = 0; i < len; ++i) {
        const signed char *b = box(i);
        if (b[1] < b[0]) continue;
        if (reached[i] != std::vector<int>{b[0], b[1], b[2], b[3]} && ++t.bad <= 5)
            t.why += s + ": character " + std::to_string(i) + " does not fill its ink box\n";
    }
    return t;
}

inline Tally checkBackground(const Image &img) {
    Tally t;
    for (int Y = 0; Y < img.height; ++Y)
        for (int X = 0; X < img.width; ++X)
            if (!coveredInFirstPicture(X, Y)) t.check(X, Y, img.at(X, Y), FACE, "background");
    return t;
}

}  // namespace pictures

#endif
