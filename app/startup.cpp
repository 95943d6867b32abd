#include "app/startup.h"

#include <X11/Xlib.h>
#include <malloc.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "app/app_state.h"
#include "app/dialogs.h"
#include "app/dispatch.h"
#include "app/layout.h"
#include "app/zoom.h"
#include "colour/palette.h"
#include "core/cmdline.h"
#include "core/state.h"
#include "generate/make.h"
#include "widgets/gfx.h"

int window = 0;

namespace {

void printHelp() {
    // Clearing makes sense on a terminal only; into a file it is just noise.
    if (isatty(STDOUT_FILENO)) {
        fflush(stdout);
        if (system("clear") != 0) { /* no terminal to clear */ }
    }
    writeHelpText(stdout);
    fflush(stdout);
}

// The display GLUT will open: the last "-display NAME" on the command line
// (GLUT reads the whole vector; an empty NAME means DISPLAY, as in Xlib),
// else DISPLAY; null when neither names one.
const char *displayName(int argc, char **argv) {
    const char *option = nullptr;
    for (int i = 1; i + 1 < argc; ++i)
        if (strcmp(argv[i], "-display") == 0) option = argv[++i];
    const char *name = option && option[0] ? option : getenv("DISPLAY");
    return name && name[0] ? name : nullptr;
}

// Asking first turns GLUT's abrupt exit into one line the user can act on.
bool displayAvailable(const char *name) {
    Display *d = XOpenDisplay(name);
    if (!d) return false;
    XCloseDisplay(d);
    return true;
}

void reportNoDisplay(const char *name) {
    if (name)
        fprintf(stderr, "quorvex: cannot open the X display \"%s\"; is an X server running there?\n", name);
    else
        fprintf(stderr, "quorvex: no X display: DISPLAY is not set\n");
}

// The software renderer allocates and frees large blocks on every draw; by
// default the C library hands them back to the system and takes page faults
// to get them again, which made a Make several times slower. Keep them.
void keepFreedMemory() {
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 512 << 20);
    mallopt(M_TOP_PAD, 64 << 20);
}

}  // namespace

int openQuorvex(int argc, char **argv, int *exitStatus) {
    const CommandLine cl = parseCommandLine(argc, argv);
    *exitStatus = 0;
    if (cl.showHelp) {
        printHelp();
        return 0;
    }
    processType = cl.processType;
    threads = cl.threads;
    // Export into a FIFO whose reader has gone must be a failure the user
    // is told about, not the end of the program and of the unsaved work.
    signal(SIGPIPE, SIG_IGN);
    const char *display = displayName(argc, argv);
    if (!display || !displayAvailable(display)) {
        reportNoDisplay(display);
        *exitStatus = 1;
        return 0;
    }
    if (processType == 0) fprintf(stderr, "quorvex: %s\n", NOT_UNDERSTOOD);
    keepFreedMemory();
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_DOUBLE);
    glutInitWindowSize(winWidth, winHeight);
    glutInitWindowPosition(10, 10);
    window = glutCreateWindow(cl.title);
    glutSetCursor(GLUT_CURSOR_INFO);
    glutDisplayFunc(myDisplay);
    glutReshapeFunc(myResize);
    glutMouseFunc(myMouse);
    glutMotionFunc(myMovingMouse);
    glutKeyboardFunc(myKeyboard);
    myInit();
    return 1;
}

void myInit() {
    gfxInit(winWidth, winHeight);
    glPointSize(1.0);
    glClearColor(0.0, 0.0, 0.0, 0.0);
    glClear(GL_COLOR_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluOrtho2D(0, winWidth, 0, winHeight);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    strcpy(fracType, FRACTAL_TYPE_NAMES[0]);
    srand(PALETTE_SEED);
    DISPLAY_PALLETE_CREATE();
    DISPLAY_PALLETE_APPLY();
}

void myResize(int width, int height) {
    // Asking for the size the window already has would only queue another
    // reshape; the window keeps its fixed size either way.
    if (width != winWidth || height != winHeight) glutReshapeWindow(winWidth, winHeight);
}
