// window.h - panel rectangles and bitmap text.
//
// WINDOW is a plain value: (left, bottom, right, top) in window pixels,
// origin bottom-left, plus an 80-byte title that nothing in the program sets.
//   DRAW()   sunken 2-pixel frame outside the rectangle (dark above and left,
//            light below and right, mitred corners), then the title; swaps.
//   CLEAR()  fills the rectangle black; swaps.  PAINT(r,g,b) in a colour.
//   DrawTEXT(r,g,b, value) one line roughly centred; swaps.
// Every drawing operation selects the back buffer, draws and swaps.
//
// The text functions write at the baseline origin (x, y) with GLUT's 8 x 13
// (or Helvetica) bitmap font into whatever buffer the caller selected and do
// not swap: the caller's next swap shows them. A null text writes nothing;
// the title is written up to its 80-byte field, terminated or not.
//
// Layer: widgets (uses nothing above core; GL-free header).
#ifndef QUORVEX_WIDGETS_WINDOW_H
#define QUORVEX_WIDGETS_WINDOW_H

class WINDOW {
public:
    int left, bottom, right, top;
    char title[80];

    WINDOW(int left, int bottom, int width, int height);
    void DRAW();
    void CLEAR();
    void PAINT(float r, float g, float b);
    void DrawTEXT(float r, float g, float b, double value);
    void DrawTEXT(float r, float g, float b, int value);
    void DrawTEXT(float r, float g, float b, char *text);
};

void TEXT_8_X_13_WHITE(int x, int y, const char *text);
void TEXT_8_X_13_BLACK(int x, int y, const char *text);
void TEXT_8_X_13_RED(int x, int y, const char *text);
void TEXT_8_X_13_GREEN(int x, int y, const char *text);
void TEXT_8_X_13_BLUE(int x, int y, const char *text);
void TEXT_8_X_13(int x, int y, const char *text);
void TEXT_HELVETICA_18(int x, int y, const char *text);
void TEXT_HELVETICA_12(int x, int y, const char *text);
void TEXT_HELVETICA_10(int x, int y, const char *text);

// Blanks the strip behind 8 x 13 text with baseline y1, from 3 pixels below
// it up to y2; swaps.
void CLEAR_8_X_13(int x1, int y1, int x2, int y2);

// Selects the back buffer and fill mode, sets the colour and draws one quad
// with the four vertices in the order given.
void fillQuad(float r, float g, float b, int x1, int y1, int x2, int y2, int x3, int y3,
              int x4, int y4);

// The 2-pixel sunken frame outside the rectangle L, B, R, T: dark strips
// above and left, light below and right, mitred corners. Does not swap.
void drawSunkenFrame(int L, int B, int R, int T);

#endif
