#include "app/directory_panel.h"

#include <stdio.h>
#include <string.h>

#include "app/layout.h"
#include "files/dirscan.h"
#include "widgets/gfx.h"

namespace {

// Offsets below the panel's top: the first line's baseline and the pitch,
// the typed name's baseline and the strip under it (its glyphs, descenders
// included), and how far above a baseline a line still answers a press.
enum { TEXT_INSET = 5, FIRST_LINE_DROP = 15, LINE_PITCH = 20 };
enum { NAME_DROP = 30, STRIP_TOP_DROP = 17, STRIP_BOTTOM_DROP = 32, PICK_ABOVE_BASELINE = 10 };

// Enough lines for the longest name a row holds (79 characters).
const size_t MESSAGE_NAME_LINES = (FILE_NAME_SIZE - 1 + PANEL_COLUMNS - 1) / PANEL_COLUMNS;

int textX() { return FILE_WINDOW.left + TEXT_INSET; }
int lineBaseline(int k) { return FILE_WINDOW.top - FIRST_LINE_DROP - LINE_PITCH * k; }

}  // namespace

void SCAN_FILE_DISPLAY(int first, int last) {
    FILE_WINDOW.CLEAR();
    glColor3f(1, 1, 1);
    for (int k = 0, i = first; k < LIST_LINES; ++k, ++i) {
        if (i >= 0 && i < FILE_NAMES) TEXT_8_X_13_WHITE(textX(), lineBaseline(k), fileNames[i]);
        if (i == last) break;
    }
    gfxSwapBuffers();
}

bool inListArea(int X) { return FILE_WINDOW.left <= X && X <= FILE_WINDOW.right - TEXT_INSET; }

int listIndexAt(int Y, int first) {
    const int topOfLine0 = lineBaseline(0) + PICK_ABOVE_BASELINE;
    // Counted from a whole list higher up: C's division truncates toward
    // zero, and the presses just above line 0 must give first - 1, not first.
    return (topOfLine0 + LIST_LINES * LINE_PITCH - Y) / LINE_PITCH + first - LIST_LINES;
}

void showNamePrompt() {
    FILE_WINDOW.CLEAR();
    TEXT_8_X_13_WHITE(textX(), lineBaseline(0), "Enter filename:");
    gfxSwapBuffers();
}

void clearNameStrip() {
    const int L = FILE_WINDOW.left, R = FILE_WINDOW.right;
    const int top = FILE_WINDOW.top - STRIP_TOP_DROP, bottom = FILE_WINDOW.top - STRIP_BOTTOM_DROP;
    fillQuad(0, 0, 0, L, top, R, top, R, bottom, L, bottom);
    gfxSwapBuffers();
}

// Drawn whole, a long name would run over the image, where clearing the
// strip for the next key could not reach it and deleted characters would
// stay visible.
void showTypedName(const char *name) {
    const size_t length = strlen(name);
    const char *shown = length > PANEL_COLUMNS ? name + (length - PANEL_COLUMNS) : name;
    gfxDrawBuffer(GL_BACK);
    TEXT_8_X_13_WHITE(textX(), FILE_WINDOW.top - NAME_DROP, shown);
    gfxSwapBuffers();
}

void showFailure(const char *what, const char *name) {
    gfxDrawBuffer(GL_BACK);
    char heading[PANEL_COLUMNS + 1];
    snprintf(heading, sizeof heading, "Not %s:", what);
    TEXT_8_X_13_WHITE(textX(), lineBaseline(0), heading);
    const size_t length = strlen(name);
    for (size_t line = 0; line < MESSAGE_NAME_LINES && line * PANEL_COLUMNS < length; ++line) {
        char piece[PANEL_COLUMNS + 1];
        snprintf(piece, sizeof piece, "%s", name + line * PANEL_COLUMNS);
        TEXT_8_X_13_WHITE(textX(), lineBaseline(1 + (int)line), piece);
    }
    if (!name[0]) TEXT_8_X_13_WHITE(textX(), lineBaseline(1), "(no name given)");
    gfxSwapBuffers();
}
