// button.h - the 70 x 20 bevelled push button.
//
// A button at (x, y) has its face from (x, y) to (x + 70, y + 20), a black
// outline one pixel wider on the left and top and two on the right and
// bottom, a light bevel along the top and left edges and a dark one along the
// bottom and right. SELECTED hit-tests the face inclusive of its far edges
// (71 x 21 points). CLICK flashes the whole button black for 50 ms and puts
// the saved picture back exactly. Every drawing operation selects the back
// buffer, draws and swaps. A button has no visual state: the screen shows
// whatever was drawn last. DRAW_LARGE and CLICK_LARGE are the variant with an
// On/Off indicator box at the right end of the face (x + 30 .. x + 60,
// y + 4 .. y + 16, known from construction on). Labels are cut to 27
// characters.
//
// Layer: widgets (uses nothing above core).
#ifndef QUORVEX_WIDGETS_BUTTON_H
#define QUORVEX_WIDGETS_BUTTON_H

class BUTTON {
public:
    int state;  // indicator: 0 off, 1 on, -1 undetermined
    int x, y, width, height;
    int indicatorLeft, indicatorRight, indicatorBottom, indicatorTop;
    char label[28];
    unsigned char *pixels;  // the picture under the button, during CLICK only

    BUTTON(int x, int y, const char *label);
    int SELECTED(int mx, int my);
    void DRAW();
    void DRAW_HILITE(float r, float g, float b);
    int HIDE();
    int SHOW();
    void CLICK();
    void DRAW_LARGE();
    void CLICK_LARGE(int state);

private:
    void drawBody(float r, float g, float b, int outlineTop, int faceTop, int bevelTop);
    void drawLabel(float r, float g, float b);
    void drawIndicatorText(int state, bool undetermined);
};

// The press animation's pause; tests may shorten it.
extern unsigned clickFlashMicroseconds;

#endif
