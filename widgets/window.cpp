#include "widgets/window.h"

#include <stdio.h>
#include <string.h>

#include "widgets/gfx.h"

namespace {

// At most `limit` characters: a fixed text field may lack its terminator.
void bitmapText(void *font, int x, int y, const char *text, size_t limit = (size_t)-1) {
    glPixelTransferi(GL_MAP_COLOR, 0);
    glRasterPos2i(x, y);
    if (!text) return;
    for (size_t i = 0; i < limit && text[i]; ++i) glutBitmapCharacter(font, (unsigned char)text[i]);
}

void colouredText(float r, float g, float b, int x, int y, const char *text) {
    glColor3f(r, g, b);
    bitmapText(GLUT_BITMAP_8_BY_13, x, y, text);
}

void vertex(int x, int y) { glVertex2i(x, y); }

}  // namespace

void fillQuad(float r, float g, float b, int x1, int y1, int x2, int y2, int x3, int y3,
              int x4, int y4) {
    gfxDrawBuffer(GL_BACK);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glColor3f(r, g, b);
    glBegin(GL_QUADS);
    vertex(x1, y1);
    vertex(x2, y2);
    vertex(x3, y3);
    vertex(x4, y4);
    glEnd();
}


WINDOW::WINDOW(int l, int b, int width, int height)
    : left(l), bottom(b), right(l + width), top(b + height) {
    title[0] = '\0';
}

void drawSunkenFrame(int L, int B, int R, int T) {
    fillQuad(0.4f, 0.4f, 0.4f, L - 2, T + 2, R + 2, T + 2, R, T, L, T);
    fillQuad(0.4f, 0.4f, 0.4f, L - 2, T + 2, L, T, L, B, L - 2, B - 2);
    fillQuad(0.8f, 0.8f, 0.8f, L - 2, B - 2, L, B, R, B, R + 2, B - 2);
    fillQuad(0.8f, 0.8f, 0.8f, R, T, R + 2, T + 2, R + 2, B - 2, R, B);
}

void WINDOW::DRAW() {
    const int L = left, B = bottom;
    drawSunkenFrame(L, B, right, top);
    bitmapText(GLUT_BITMAP_8_BY_13, L, B, title, sizeof title);  // in the light grey still current
    gfxSwapBuffers();
}

void WINDOW::CLEAR() { PAINT(0.0f, 0.0f, 0.0f); }

void WINDOW::PAINT(float r, float g, float b) {
    fillQuad(r, g, b, left, top, right, top, right, bottom, left, bottom);
    gfxSwapBuffers();
}

void WINDOW::DrawTEXT(float r, float g, float b, double value) {
    char text[80];
    snprintf(text, sizeof text, "%lf", value);
    DrawTEXT(r, g, b, text);
}

void WINDOW::DrawTEXT(float r, float g, float b, int value) {
    char text[80];
    snprintf(text, sizeof text, "%d", value);
    DrawTEXT(r, g, b, text);
}

void WINDOW::DrawTEXT(float r, float g, float b, char *text) {
    gfxDrawBuffer(GL_BACK);
    const int len = text ? (int)strlen(text) : 0;
    colouredText(r, g, b, (left + right) / 2 - 7 * (len / 2), (bottom + top) / 2 - 5, text);
    gfxSwapBuffers();
}

void TEXT_8_X_13_WHITE(int x, int y, const char *text) { colouredText(1, 1, 1, x, y, text); }
void TEXT_8_X_13_BLACK(int x, int y, const char *text) { colouredText(0, 0, 0, x, y, text); }
void TEXT_8_X_13_RED(int x, int y, const char *text) { colouredText(1, 0, 0, x, y, text); }
void TEXT_8_X_13_GREEN(int x, int y, const char *text) { colouredText(0, 1, 0, x, y, text); }
void TEXT_8_X_13_BLUE(int x, int y, const char *text) { colouredText(0, 0, 1, x, y, text); }
void TEXT_8_X_13(int x, int y, const char *text) { bitmapText(GLUT_BITMAP_8_BY_13, x, y, text); }
void TEXT_HELVETICA_18(int x, int y, const char *text) {
    bitmapText(GLUT_BITMAP_HELVETICA_18, x, y, text);
}
void TEXT_HELVETICA_12(int x, int y, const char *text) {
    bitmapText(GLUT_BITMAP_HELVETICA_12, x, y, text);
}
void TEXT_HELVETICA_10(int x, int y, const char *text) {
    bitmapText(GLUT_BITMAP_HELVETICA_10, x, y, text);
}

void CLEAR_8_X_13(int x1, int y1, int x2, int y2) {
    fillQuad(0, 0, 0, x1, y2, x2, y2, x2, y1 - 3, x1, y1 - 3);
    gfxSwapBuffers();
}
