#include "widgets/button.h"

#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "widgets/gfx.h"
#include "widgets/window.h"

unsigned clickFlashMicroseconds = 50000;

// The indicator box starts where DRAW_LARGE puts it, so a CLICK_LARGE before
// any DRAW_LARGE blanks the button's own box, not the window's corner.
BUTTON::BUTTON(int bx, int by, const char *text)
    : state(0), x(bx), y(by), width(70), height(20), indicatorLeft(bx + 70 - 40),
      indicatorRight(bx + 70 - 10), indicatorBottom(by + 4), indicatorTop(by + 16),
      pixels(nullptr) {
    strncpy(label, text ? text : "", sizeof label - 1);
    label[sizeof label - 1] = '\0';
}

int BUTTON::SELECTED(int mx, int my) {
    return x <= mx && mx <= x + width && y <= my && my <= y + height;
}

// Outline, face and the four bevel strips; the vertical measures are passed
// in (fixed numbers for DRAW, from the height field for CLICK/DRAW_LARGE).
void BUTTON::drawBody(float r, float g, float b, int outlineTop, int faceTop, int bevelTop) {
    const int X = x, Y = y, R = x + width;
    fillQuad(0, 0, 0, X - 1, outlineTop, R + 2, outlineTop, R + 2, Y - 2, X - 1, Y - 2);
    fillQuad(r, g, b, X, faceTop, R, faceTop, R, Y, X, Y);
    fillQuad(0.8f, 0.8f, 0.8f, X, faceTop, R, faceTop, R - 2, bevelTop, X + 2, bevelTop);
    fillQuad(0.8f, 0.8f, 0.8f, X, faceTop, X + 2, bevelTop, X + 2, Y + 2, X, Y);
    fillQuad(0.4f, 0.4f, 0.4f, X + 2, Y + 2, X, Y, R, Y, R - 2, Y + 2);
    fillQuad(0.4f, 0.4f, 0.4f, R - 2, bevelTop, R, faceTop, R, Y, R - 2, Y + 2);
}

void BUTTON::drawLabel(float r, float g, float b) {
    glColor3f(r, g, b);
    glPixelTransferi(GL_MAP_COLOR, 0);
    const int len = (int)strnlen(label, sizeof label);
    glRasterPos2i(x + width / 2 - 4 * len, y + 5);
    for (int i = 0; i < len; ++i) glutBitmapCharacter(GLUT_BITMAP_8_BY_13, (unsigned char)label[i]);
}

void BUTTON::DRAW() {
    drawBody(0.6f, 0.6f, 0.6f, y + 21, y + 20, y + 18);
    drawLabel(1, 1, 1);
    gfxSwapBuffers();
}

void BUTTON::DRAW_HILITE(float r, float g, float b) {
    drawBody(r, g, b, y + 21, y + 20, y + 18);
    drawLabel(0, 0, 0);
    gfxSwapBuffers();
}

int BUTTON::HIDE() {
    drawBody(0.6f, 0.6f, 0.6f, y + 21, y + 20, y + 18);
    gfxSwapBuffers();
    return 0;
}

int BUTTON::SHOW() {
    DRAW();
    return 1;
}

void BUTTON::CLICK() {
    const int w = width + 2, h = height + 2;
    pixels = (unsigned char *)malloc((size_t)w * h * 4);
    if (!pixels) return;  // no memory for the animation: skip it, not the command
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelTransferi(GL_MAP_COLOR, 0);
    gfxReadPixels(GL_BACK, x - 1, y - 1, w, h, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    fillQuad(0, 0, 0, x - 1, y + height + 1, x + width + 2, y + height + 1, x + width + 2, y - 2,
             x - 1, y - 2);
    gfxSwapBuffers();
    gfxFlush();  // shown even while the caller holds presents back
    usleep(clickFlashMicroseconds);
    glRasterPos2i(x - 1, y - 1);
    glDrawPixels(w, h, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    free(pixels);
    pixels = nullptr;
    gfxSwapBuffers();
}

void BUTTON::drawIndicatorText(int s, bool undetermined) {
    const int L = indicatorLeft, B = indicatorBottom;
    if (s == 0) {
        glColor3f(1, 0, 0);
        TEXT_8_X_13(L + 3, B + 2, "Off");
    } else if (s == 1) {
        glColor3f(0, 1, 0);
        TEXT_8_X_13(L + 7, B + 2, "On");
    } else if (s == -1 && undetermined) {
        glColor3f(1, 1, 0);
        TEXT_8_X_13(L + 3, B + 2, "xxx");
    }
}

void BUTTON::DRAW_LARGE() {
    const int R = x + width;
    indicatorLeft = R - 40;
    indicatorRight = R - 10;
    indicatorBottom = y + 4;
    indicatorTop = y + 16;
    drawBody(0.6f, 0.6f, 0.6f, y + height + 1, y + height, y + height - 2);
    drawLabel(1, 1, 1);
    const int L = indicatorLeft, B = indicatorBottom, IR = indicatorRight, T = indicatorTop;
    drawSunkenFrame(L, B, IR, T);
    fillQuad(0, 0, 0, L, T, IR, T, IR, B, L, B);
    drawIndicatorText(state, true);
    gfxSwapBuffers();
}

void BUTTON::CLICK_LARGE(int s) {
    CLICK();
    CLEAR_8_X_13(indicatorLeft, indicatorBottom + 3, indicatorLeft + 30, indicatorBottom + 12);
    gfxDrawBuffer(GL_BACK);
    drawIndicatorText(s, false);
    gfxSwapBuffers();
}
