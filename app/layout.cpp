#include "app/layout.h"

#include <stdio.h>
#include <string.h>

#include "app/app_state.h"
#include "core/state.h"
#include "widgets/gfx.h"

int winWidth = GRID_SIZE + 195;
int winHeight = GRID_SIZE + 20;
int drawFlag = 1;

WINDOW MAIN_WINDOW(185, 10, GRID_SIZE + 4, GRID_SIZE + 4);
WINDOW FILE_WINDOW(10, 190, 165, 300);
WINDOW DATA_WINDOW(10, 10, 165, 150);

BUTTON MAKE_BUTTON(10, winHeight - 50, "Make");
BUTTON LOAD_BUTTON(10, winHeight - 75, "Load");
BUTTON SAVE_BUTTON(10, winHeight - 100, "Save");
BUTTON EXPT_BUTTON(10, winHeight - 125, "Export");
BUTTON PALR_BUTTON(10, winHeight - 175, "Red");
BUTTON PALG_BUTTON(10, winHeight - 200, "Green");
BUTTON PALB_BUTTON(10, winHeight - 225, "Blue");
BUTTON TYPE_BUTTON(105, winHeight - 50, "Type");
BUTTON DETP_BUTTON(105, winHeight - 75, "Detail+");
BUTTON DETM_BUTTON(105, winHeight - 100, "Detail-");
BUTTON ZOMI_BUTTON(105, winHeight - 125, "Zoom In");
BUTTON ZOMO_BUTTON(105, winHeight - 150, "Zoom Out");
BUTTON PIVT_BUTTON(105, winHeight - 175, "Pivot");
BUTTON REST_BUTTON(105, winHeight - 200, "Reset");
BUTTON EXIT_BUTTON(105, winHeight - 225, "Exit");
BUTTON UP___BUTTON(10, winHeight - 295, "Up");
BUTTON DOWN_BUTTON(10, winHeight - 320, "Down");
BUTTON CNCL_BUTTON(105, winHeight - 320, "Cancel");
BUTTON ACPT_BUTTON(105, winHeight - 295, "Accept");

namespace {

// Baselines below the panel top; gaps 20, 20, 15, 15, 20, 15, 20.
const int LINE_DROP[9] = {0, 20, 40, 60, 75, 90, 110, 125, 145};

void fillWholeWindow() {
    gfxDrawBuffer(GL_BACK);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glColor3f(0.6f, 0.6f, 0.6f);
    glBegin(GL_QUADS);
    glVertex2i(0, 0);
    glVertex2i(winWidth, 0);
    glVertex2i(winWidth, winHeight);
    glVertex2i(0, winHeight);
    glEnd();
    gfxSwapBuffers();
}

void framedPanel(WINDOW &panel) {
    panel.DRAW();
    panel.CLEAR();
}

}  // namespace

int formatReadoutLine(int line, char label[16], char value[80]) {
    static const char *const LABELS[9] = {"",         "Type---- ", "Detail--    ",
                                          "x Start-", "x End---",  "x Pivot-",
                                          "y Start-", "y End---",  "y Pivot-"};
    const double values[9] = {0, 0, 0, xStart, xEnd, xPivot, yStart, yEnd, yPivot};
    if (line < 1 || line > READOUT_LINES) return 0;
    snprintf(label, 16, "%s", LABELS[line]);
    if (line == 1) snprintf(value, 80, "%.79s", fracType);  // the field may lack its terminator
    else if (line == 2) snprintf(value, 80, " %d", detail);
    else snprintf(value, 80, "%11.8lf", values[line]);  // cut at 79 characters, never overrun
    return 1;
}

void DISPLAY_FRACTAL_DATA(WINDOW panel, int line) {
    char label[16], value[80];
    if (formatReadoutLine(line, label, value)) {
        const int y = panel.top - LINE_DROP[line];
        const int valueX = panel.left + 73 + (line == 1 ? 8 : 0);
        fillQuad(0, 0, 0, panel.left, y - 4, panel.right, y - 4, panel.right, y + 12, panel.left,
                 y + 12);
        TEXT_8_X_13_WHITE(panel.left + 5, y, label);
        TEXT_8_X_13_WHITE(valueX, y, value);
    } else {
        gfxDrawBuffer(GL_BACK);
    }
    gfxSwapBuffers();
}

void redrawReadout() {
    for (int line = 1; line <= READOUT_LINES; ++line) DISPLAY_FRACTAL_DATA(DATA_WINDOW, line);
}

void DISPLAY_MAIN_PANEL() {
    fillWholeWindow();
    framedPanel(MAIN_WINDOW);
    TEXT_8_X_13_WHITE(10, 555, "Directory");
    framedPanel(FILE_WINDOW);
    TEXT_8_X_13_WHITE(10, 170, "Parameters");
    framedPanel(DATA_WINDOW);
    redrawReadout();
    TEXT_8_X_13_WHITE(10, winHeight - 20, "Commands");
    BUTTON *const commands[] = {&MAKE_BUTTON, &LOAD_BUTTON, &SAVE_BUTTON, &EXPT_BUTTON,
                                &PALR_BUTTON, &PALG_BUTTON, &PALB_BUTTON, &TYPE_BUTTON,
                                &DETP_BUTTON, &DETM_BUTTON, &ZOMI_BUTTON, &ZOMO_BUTTON,
                                &PIVT_BUTTON, &REST_BUTTON};
    for (BUTTON *b : commands) b->DRAW();
    EXIT_BUTTON.DRAW_HILITE(1, 0.1f, 0.1f);
    UP___BUTTON.HIDE();
    DOWN_BUTTON.HIDE();
    CNCL_BUTTON.HIDE();
    ACPT_BUTTON.HIDE();
}

void myDisplay() {
    if (drawFlag) {
        DISPLAY_MAIN_PANEL();
        drawFlag = 0;
    } else {
        gfxSwapBuffers();
    }
    gfxFlush();
}

void MAKE_CUE() { MAKE_BUTTON.DRAW_HILITE(1, 1, 1); }

void HIDE_LOAD_BUTTONS() {
    UP___BUTTON.HIDE();
    DOWN_BUTTON.HIDE();
    CNCL_BUTTON.HIDE();
}

void SHOW_LOAD_BUTTONS() {
    UP___BUTTON.SHOW();
    DOWN_BUTTON.SHOW();
    CNCL_BUTTON.SHOW();
}

void HIDE_SAVE_BUTTONS() {
    ACPT_BUTTON.HIDE();
    CNCL_BUTTON.HIDE();
}

void SHOW_SAVE_BUTTONS() {
    ACPT_BUTTON.SHOW();
    CNCL_BUTTON.SHOW();
}

void HIDE_COMMAND_BUTTONS() {
    MAKE_BUTTON.HIDE();
    LOAD_BUTTON.HIDE();
    SAVE_BUTTON.HIDE();
    EXPT_BUTTON.HIDE();
    PALR_BUTTON.DRAW();
    PALG_BUTTON.DRAW();
    PALB_BUTTON.DRAW();
    TYPE_BUTTON.HIDE();
    DETP_BUTTON.HIDE();
    DETM_BUTTON.HIDE();
    ZOMI_BUTTON.HIDE();
    ZOMO_BUTTON.HIDE();
    PIVT_BUTTON.HIDE();
    REST_BUTTON.HIDE();
}

void SHOW_COMMAND_BUTTONS() {
    MAKE_BUTTON.SHOW();
    LOAD_BUTTON.SHOW();
    SAVE_BUTTON.SHOW();
    EXPT_BUTTON.SHOW();
    PALR_BUTTON.DRAW();
    PALG_BUTTON.DRAW();
    PALB_BUTTON.DRAW();
    TYPE_BUTTON.SHOW();
    DETP_BUTTON.SHOW();
    DETM_BUTTON.SHOW();
    ZOMI_BUTTON.SHOW();
    ZOMO_BUTTON.SHOW();
    PIVT_BUTTON.SHOW();
    REST_BUTTON.SHOW();
}
