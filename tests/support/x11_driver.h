// x11_driver.h - driving a real window as a person would: find it, move the
// pointer, click, drag, type, and grab what the X server shows.
//
// Positions are given in the program's window coordinates (X, Y), origin at
// the bottom-left, exactly as the program's mouse callback computes them
// (Y = window height - pointer row). The driver converts to X's top-left
// pointer rows in one place (pointerRow). Input goes through XTest, so the
// program sees real device events.
#ifndef QUORVEX_TESTS_X11_DRIVER_H
#define QUORVEX_TESTS_X11_DRIVER_H

#include <X11/Xlib.h>

#include <string>

#include "image.h"

class X11Driver {
public:
    // Opens `display` (e.g. ":3"); false when it cannot.
    bool open(const std::string &display);
    void close();
    ~X11Driver() { close(); }

    // Waits up to timeoutMs for a mapped top-level window whose title
    // starts with `titlePrefix`; remembers it for the calls below.
    bool findWindow(const std::string &titlePrefix, int timeoutMs = 10000);
    Window window() const { return window_; }
    Display *display() const { return dpy_; }

    std::string title();
    bool size(int &width, int &height);
    void requestResize(int width, int height);

    void moveTo(int X, int Y);
    void press(int button = 1);
    void release(int button = 1);
    void click(int X, int Y, int button = 1);
    // Press at the start, move in `steps` steps, release at the end.
    void drag(int X0, int Y0, int X1, int Y1, int steps = 8, bool releaseAtEnd = true);
    void typeText(const std::string &text);
    void key(const char *keysymName);

    // Waits for the program to finish drawing (XSync plus a settle time,
    // stretched by QUORVEX_TEST_TIME_SCALE when that is set).
    void settle(int ms = 150);

    // What the X server shows in the window now.
    Image grab();

    // Unmaps and maps the window again (an expose).
    void unmapAndMap();

private:
    int pointerRow(int Y);
    Display *dpy_ = nullptr;
    Window window_ = 0;
    int height_ = 0;
};

#endif
