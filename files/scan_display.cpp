#include "files/scan_display.h"

#include "app/layout.h"
#include "files/dirscan.h"
#include "widgets/gfx.h"

void SCAN_FILE_DISPLAY(int first, int last) {
    FILE_WINDOW.CLEAR();
    glColor3f(1, 1, 1);
    for (int offset = 15, i = first; offset <= 300; offset += 20, ++i) {
        if (i >= 0 && i < FILE_NAMES)
            TEXT_8_X_13_WHITE(FILE_WINDOW.left + 5, FILE_WINDOW.top - offset, fileNames[i]);
        if (i == last) break;
    }
    gfxSwapBuffers();
}
