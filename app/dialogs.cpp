#include "app/dialogs.h"

#include <stdio.h>
#include <string.h>

#include "app/app_state.h"
#include "app/layout.h"
#include "app/zoom.h"
#include "colour/display.h"
#include "core/state.h"
#include "files/dirscan.h"
#include "files/paramfile.h"
#include "files/pnm.h"
#include "files/scan_display.h"
#include "widgets/gfx.h"

int scanFlag = 0;
int fractals = 0;
int scanStart = 0;

namespace {

// 8-pixel characters from left + 5 stay inside the 165-pixel panel.
const size_t PANEL_COLUMNS = 20;
// Enough lines for the longest name a row holds (79 characters).
const size_t MESSAGE_NAME_LINES = (FILE_NAME_SIZE - 1 + PANEL_COLUMNS - 1) / PANEL_COLUMNS;

char *typedName() { return fileNames[0]; }

// "Not saved:" and the name, wrapped to the panel, in the "Directory" panel;
// the reason goes to standard error. The caller has blanked the panel.
void tellFailure(const char *what, const char *name, const char *reason) {
    fprintf(stderr, "quorvex: not %s: %s: %s\n", what, name[0] ? name : "(no name)", reason);
    const int L = FILE_WINDOW.left + 5, T = FILE_WINDOW.top;
    gfxDrawBuffer(GL_BACK);
    char heading[PANEL_COLUMNS + 1];
    snprintf(heading, sizeof heading, "Not %s:", what);
    TEXT_8_X_13_WHITE(L, T - 15, heading);
    const size_t length = strlen(name);
    for (size_t line = 0; line < MESSAGE_NAME_LINES && line * PANEL_COLUMNS < length; ++line) {
        char piece[PANEL_COLUMNS + 1];
        snprintf(piece, sizeof piece, "%s", name + line * PANEL_COLUMNS);
        TEXT_8_X_13_WHITE(L, T - 35 - 20 * (int)line, piece);
    }
    if (!name[0]) TEXT_8_X_13_WHITE(L, T - 35, "(no name given)");
    gfxSwapBuffers();
}

void openNameEntry(BUTTON &button, int flag) {
    button.CLICK();
    lockMenu = 1;
    typedName()[0] = '\0';
    SHOW_SAVE_BUTTONS();
    FILE_WINDOW.CLEAR();
    TEXT_8_X_13_WHITE(FILE_WINDOW.left + 5, FILE_WINDOW.top - 15, "Enter filename:");
    gfxSwapBuffers();
    scanFlag = flag;
}

// Appends the suffix and writes; an empty name writes nothing.
void writeTypedName(const char *suffix, int (*write)(char *), const char *what) {
    char path[FILE_NAME_SIZE];
    if (!typedName()[0]) {
        tellFailure(what, "", "no file name given");
        return;
    }
    snprintf(path, sizeof path, "%s%s", typedName(), suffix);
    strcpy(typedName(), path);
    if (!write(path)) tellFailure(what, path, fileError);
}

void loadedPicture() {
    MAIN_WINDOW.CLEAR();
    DISPLAY_FRACTAL(MAIN_WINDOW);
    for (int line = 1; line <= 8; ++line) DISPLAY_FRACTAL_DATA(DATA_WINDOW, line);
}

void clearInputStrip() {
    const int L = FILE_WINDOW.left, R = FILE_WINDOW.right, T = FILE_WINDOW.top;
    fillQuad(0, 0, 0, L, T - 17, R, T - 17, R, T - 32, L, T - 32);
    gfxSwapBuffers();
}

// Only the end of a long name is shown, the characters that fit the strip:
// drawn whole it would run over the image, where clearing the strip for the
// next key could not reach it and deleted characters would stay visible.
void drawTypedName() {
    const char *name = typedName();
    const size_t length = strlen(name);
    const char *shown = length > PANEL_COLUMNS ? name + (length - PANEL_COLUMNS) : name;
    gfxDrawBuffer(GL_BACK);
    TEXT_8_X_13_WHITE(FILE_WINDOW.left + 5, FILE_WINDOW.top - 30, shown);
    gfxSwapBuffers();
}

void editName(unsigned char key) {
    char *name = typedName();
    const size_t length = strlen(name);
    if (key == 8) {
        if (length > 0) name[length - 1] = '\0';
    } else if (key >= 32 && length < TYPED_NAME_MAX) {
        name[length] = (char)key;
        name[length + 1] = '\0';
    }
}

}  // namespace

void LOAD_COMMAND() {
    LOAD_BUTTON.CLICK();
    lockMenu = 1;
    SHOW_LOAD_BUTTONS();
    scanFlag = 1;
    scanStart = 0;
    fractals = SCAN_FOR_IMAGES("frc");
    SCAN_FILE_DISPLAY(scanStart, fractals);
}

void SAVE_COMMAND() { openNameEntry(SAVE_BUTTON, -1); }
void EXPORT_COMMAND() { openNameEntry(EXPT_BUTTON, -2); }

void UP_COMMAND() {
    UP___BUTTON.CLICK();
    if (fractals - 15 >= scanStart) {
        ++scanStart;
        SCAN_FILE_DISPLAY(scanStart, fractals);
    }
}

void DOWN_COMMAND() {
    DOWN_BUTTON.CLICK();
    if (scanStart > 0) {
        --scanStart;
        SCAN_FILE_DISPLAY(scanStart, fractals);
    }
}

void CANCEL_COMMAND() {
    CNCL_BUTTON.CLICK();
    FILE_WINDOW.CLEAR();
    if (scanFlag == 1) {
        HIDE_LOAD_BUTTONS();
        HIDE_SAVE_BUTTONS();
    }
    if (scanFlag == -1 || scanFlag == -2) HIDE_SAVE_BUTTONS();
    scanFlag = 0;
    lockMenu = 0;
}

void ACCEPT_COMMAND() {
    ACPT_BUTTON.CLICK();
    FILE_WINDOW.CLEAR();
    HIDE_SAVE_BUTTONS();
    if (scanFlag == -1) writeTypedName(".frc", SAVE_FRACTAL, "saved");
    if (scanFlag == -2) writeTypedName(".ppm", EXPORT_FRACTAL, "exported");
    scanFlag = 0;
    lockMenu = 0;
}

void FILE_LIST_PICK(int Y) {
    const int index = (785 - Y) / 20 + scanStart - 15;  // truncates toward zero
    if (index < 0 || index > fractals || index >= FILE_NAMES) return;
    char name[FILE_NAME_SIZE];
    memcpy(name, fileNames[index], sizeof name);
    const int loaded = LOAD_FRACTAL(name);
    if (loaded == 1) loadedPicture();
    scanFlag = 0;
    FILE_WINDOW.CLEAR();
    HIDE_LOAD_BUTTONS();
    noFractal = 0;
    lockMenu = 0;
    applyScaleRule();
    if (loaded == 1) rememberShownView();
    else tellFailure("loaded", name, fileError);
}

void myKeyboard(unsigned char key, int, int) {
    if (scanFlag >= 0) return;
    clearInputStrip();
    editName(key);
    drawTypedName();
    gfxFlush();
}
