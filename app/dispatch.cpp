#include "app/dispatch.h"

#include <stdlib.h>

#include "app/app_state.h"
#include "app/dialogs.h"
#include "app/directory_panel.h"
#include "app/layout.h"
#include "app/zoom.h"
#include "colour/display.h"
#include "colour/palette.h"
#include "core/state.h"
#include "generate/make.h"
#include "widgets/gfx.h"

int lockMenu = MENU_UNLOCKED;

namespace {

// What a run of hit tests did with the point.
enum RunResult { MISSED, ENDED, GO_ON };

bool unlocked() { return lockMenu != MENU_LOCKED; }
bool unlockedWithImage() { return lockMenu != MENU_LOCKED && noFractal != 1; }

RunResult runOne(int X, int Y) {
    if (MAKE_BUTTON.SELECTED(X, Y)) {
        if (unlocked()) MAKE_COMMAND();
        return ENDED;
    }
    if (LOAD_BUTTON.SELECTED(X, Y)) {
        LOAD_COMMAND();
        return ENDED;
    }
    if (SAVE_BUTTON.SELECTED(X, Y)) {
        if (unlockedWithImage()) SAVE_COMMAND();
        return ENDED;
    }
    if (EXPT_BUTTON.SELECTED(X, Y)) {
        if (unlockedWithImage()) EXPORT_COMMAND();
        return ENDED;
    }
    BUTTON *const palettes[3] = {&PALR_BUTTON, &PALG_BUTTON, &PALB_BUTTON};
    for (int channel = 0; channel < 3; ++channel) {
        if (!palettes[channel]->SELECTED(X, Y)) continue;
        if (unlockedWithImage()) PALETTE_COMMAND(channel);
        return ENDED;
    }
    if (TYPE_BUTTON.SELECTED(X, Y)) {
        if (!unlocked()) return ENDED;
        TYPE_COMMAND();
        return GO_ON;
    }
    return MISSED;
}

RunResult runTwo(int X, int Y) {
    if (DETP_BUTTON.SELECTED(X, Y)) {
        if (unlocked()) DETAIL_PLUS_COMMAND();
        return ENDED;
    }
    if (DETM_BUTTON.SELECTED(X, Y)) {
        if (unlocked()) DETAIL_MINUS_COMMAND();
        return ENDED;
    }
    if (ZOMI_BUTTON.SELECTED(X, Y)) {
        if (unlockedWithImage()) ZOOM_IN_COMMAND();
        return ENDED;
    }
    if (ZOMO_BUTTON.SELECTED(X, Y)) {
        if (unlockedWithImage()) ZOOM_OUT_COMMAND();
        return ENDED;
    }
    if (PIVT_BUTTON.SELECTED(X, Y)) {
        if (unlockedWithImage()) PIVOT_COMMAND();
        return ENDED;
    }
    if (REST_BUTTON.SELECTED(X, Y)) {
        if (!unlocked()) return ENDED;
        RESET_COMMAND();
        return GO_ON;
    }
    return MISSED;
}

RunResult runThree(int X, int Y) {
    // endProgram does not return in the program, but it may in a test: the
    // press must still end here and never reach the pick logic.
    if (EXIT_BUTTON.SELECTED(X, Y)) EXIT_COMMAND();
    else if (UP___BUTTON.SELECTED(X, Y)) UP_COMMAND();
    else if (DOWN_BUTTON.SELECTED(X, Y)) DOWN_COMMAND();
    else if (CNCL_BUTTON.SELECTED(X, Y)) CANCEL_COMMAND();
    else if (ACPT_BUTTON.SELECTED(X, Y)) ACCEPT_COMMAND();
    else return MISSED;
    return ENDED;
}

// The three runs; true when a button ended the dispatch.
bool buttonsTookPress(int X, int Y) {
    if (runOne(X, Y) == ENDED) return true;
    if (runTwo(X, Y) == ENDED) return true;
    return runThree(X, Y) == ENDED;
}

}  // namespace

void MAKE_COMMAND() {
    // After the flash, the restored button, its plain redraw and the black
    // panel reach the screen together with the first rows.
    gfxHoldPresents(true);
    MAKE_BUTTON.CLICK();
    MAKE_BUTTON.DRAW();
    MAIN_WINDOW.CLEAR();
    gfxHoldPresents(false);
    generateFractal(MAIN_WINDOW);
    rememberShownView();
    noFractal = 0;
    gfxFlush();
}

void TYPE_COMMAND() {
    TYPE_BUTTON.CLICK();
    const int next = fType + 1;
    setFractalType(next < 0 || next > FRACTAL_TYPES - 1 ? 0 : next);
    DISPLAY_FRACTAL_DATA(DATA_WINDOW, 1);
}

void DETAIL_PLUS_COMMAND() {
    DETP_BUTTON.CLICK();
    // Compared before adding: a loaded detail near INT_MAX must not overflow.
    detail = detail > DETAIL_CEILING - DETAIL_STEP ? DETAIL_CEILING : detail + DETAIL_STEP;
    DISPLAY_FRACTAL_DATA(DATA_WINDOW, 2);
    MAKE_CUE();
}

void DETAIL_MINUS_COMMAND() {
    DETM_BUTTON.CLICK();
    detail = detail - DETAIL_STEP < DETAIL_FLOOR ? DETAIL_FLOOR : detail - DETAIL_STEP;
    DISPLAY_FRACTAL_DATA(DATA_WINDOW, 2);
    MAKE_CUE();
}

void PALETTE_COMMAND(int channel) {
    if (channel == 0) {
        PALR_BUTTON.CLICK();
        paletteR = nextRamp(paletteR);
    } else if (channel == 1) {
        PALG_BUTTON.CLICK();
        paletteG = nextRamp(paletteG);
    } else {
        PALB_BUTTON.CLICK();
        paletteB = nextRamp(paletteB);
    }
    DISPLAY_PALLETE_APPLY();
    DISPLAY_FRACTAL(MAIN_WINDOW);
}

void RESET_COMMAND() {
    REST_BUTTON.CLICK();
    paletteR = paletteG = paletteB = 0;
    detail = DETAIL_DEFAULT;
    xPivot = yPivot = 0.0;
    resetView();
    setFractalType(0);
    redrawReadout();
    DISPLAY_PALLETE_APPLY();
    MAIN_WINDOW.CLEAR();
}

void (*endProgram)() = [] {
    glutDestroyWindow(window);
    exit(0);
};

void EXIT_COMMAND() {
    EXIT_BUTTON.CLICK();
    endProgram();
}

void myMouse(int button, int state, int x, int y) {
    const int X = x, Y = winHeight - y;
    if (button == GLUT_LEFT_BUTTON && state == GLUT_DOWN) {
        glFinish();
        if (buttonsTookPress(X, Y)) {
            gfxFlush();
            return;
        }
        if (inListArea(X) && scanFlag == SCAN_LOAD_LIST) {
            FILE_LIST_PICK(Y);
            gfxFlush();
            return;
        }
    }
    PICK_LOGIC(button, state, X, Y);
    gfxFlush();
}
