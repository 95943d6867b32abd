#include "app/dialogs.h"

#include <stdio.h>
#include <string.h>

#include "app/app_state.h"
#include "app/directory_panel.h"
#include "app/layout.h"
#include "app/zoom.h"
#include "colour/display.h"
#include "core/state.h"
#include "files/dirscan.h"
#include "files/paramfile.h"
#include "files/pnm.h"
#include "widgets/gfx.h"

int scanFlag = SCAN_NONE;
int fractals = 0;
int scanStart = 0;

namespace {

char *typedName() { return fileNames[0]; }

// The reason goes to standard error, the short message to the "Directory"
// panel. The caller has blanked the panel.
void tellFailure(const char *what, const char *name, const char *reason) {
    fprintf(stderr, "quorvex: not %s: %s: %s\n", what, name[0] ? name : "(no name)", reason);
    showFailure(what, name);
}

void openNameEntry(BUTTON &button, int flag) {
    button.CLICK();
    lockMenu = MENU_LOCKED;
    typedName()[0] = '\0';
    SHOW_SAVE_BUTTONS();
    showNamePrompt();
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
    redrawReadout();
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
    lockMenu = MENU_LOCKED;
    SHOW_LOAD_BUTTONS();
    scanFlag = SCAN_LOAD_LIST;
    scanStart = 0;
    fractals = SCAN_FOR_IMAGES("frc");
    SCAN_FILE_DISPLAY(scanStart, fractals);
}

void SAVE_COMMAND() { openNameEntry(SAVE_BUTTON, SCAN_SAVE_NAME); }
void EXPORT_COMMAND() { openNameEntry(EXPT_BUTTON, SCAN_EXPORT_NAME); }

void UP_COMMAND() {
    UP___BUTTON.CLICK();
    if (fractals - LIST_LINES >= scanStart) {
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
    if (scanFlag == SCAN_LOAD_LIST) {
        HIDE_LOAD_BUTTONS();
        HIDE_SAVE_BUTTONS();
    }
    if (scanFlag == SCAN_SAVE_NAME || scanFlag == SCAN_EXPORT_NAME) HIDE_SAVE_BUTTONS();
    scanFlag = SCAN_NONE;
    lockMenu = MENU_UNLOCKED;
}

void ACCEPT_COMMAND() {
    ACPT_BUTTON.CLICK();
    FILE_WINDOW.CLEAR();
    HIDE_SAVE_BUTTONS();
    if (scanFlag == SCAN_SAVE_NAME) writeTypedName(".frc", SAVE_FRACTAL, "saved");
    if (scanFlag == SCAN_EXPORT_NAME) writeTypedName(".ppm", EXPORT_FRACTAL, "exported");
    scanFlag = SCAN_NONE;
    lockMenu = MENU_UNLOCKED;
}

void FILE_LIST_PICK(int Y) {
    const int index = listIndexAt(Y, scanStart);
    if (index < 0 || index > fractals || index >= FILE_NAMES) return;
    char name[FILE_NAME_SIZE];
    memcpy(name, fileNames[index], sizeof name);
    const int loaded = LOAD_FRACTAL(name);
    if (loaded == 1) loadedPicture();
    scanFlag = SCAN_NONE;
    FILE_WINDOW.CLEAR();
    HIDE_LOAD_BUTTONS();
    noFractal = 0;
    lockMenu = MENU_UNLOCKED;
    applyScaleRule();
    if (loaded == 1) rememberShownView();
    else tellFailure("loaded", name, fileError);
}

void myKeyboard(unsigned char key, int, int) {
    if (scanFlag >= SCAN_NONE) return;  // the name entries are the modes below SCAN_NONE
    clearNameStrip();
    editName(key);
    showTypedName(typedName());
    gfxFlush();
}
