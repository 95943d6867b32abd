#include "x11_driver.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <vector>

namespace {

void sleepMs(int ms) { usleep((useconds_t)ms * 1000); }

// A settle is a guess at how long the program takes to draw. A sanitizer
// build draws several times slower, so its test run stretches the guesses
// by QUORVEX_TEST_TIME_SCALE (a number >= 1, default 1).
int scaledMs(int ms) {
    static const double scale = [] {
        const char *text = getenv("QUORVEX_TEST_TIME_SCALE");
        const double value = text ? atof(text) : 1.0;
        return value > 1.0 ? value : 1.0;
    }();
    return (int)(ms * scale);
}

std::string nameOf(Display *dpy, Window w) {
    std::string result;
    char *name = nullptr;
    if (XFetchName(dpy, w, &name) && name) {
        result = name;
        XFree(name);
    }
    return result;
}

Window searchTree(Display *dpy, Window w, const std::string &prefix) {
    XWindowAttributes a;
    if (XGetWindowAttributes(dpy, w, &a) && a.map_state == IsViewable &&
        nameOf(dpy, w).compare(0, prefix.size(), prefix) == 0)
        return w;
    Window root, parent, *children = nullptr;
    unsigned n = 0;
    if (!XQueryTree(dpy, w, &root, &parent, &children, &n)) return 0;
    Window found = 0;
    for (unsigned i = 0; i < n && !found; ++i) found = searchTree(dpy, children[i], prefix);
    if (children) XFree(children);
    return found;
}

}  // namespace

bool X11Driver::open(const std::string &display) {
    close();
    dpy_ = XOpenDisplay(display.c_str());
    return dpy_ != nullptr;
}

void X11Driver::close() {
    if (dpy_) XCloseDisplay(dpy_);
    dpy_ = nullptr;
    window_ = 0;
}

bool X11Driver::findWindow(const std::string &titlePrefix, int timeoutMs) {
    for (int waited = 0; waited <= timeoutMs; waited += 50) {
        window_ = searchTree(dpy_, DefaultRootWindow(dpy_), titlePrefix);
        int w;
        if (window_ && size(w, height_)) return true;
        sleepMs(50);
    }
    return false;
}

std::string X11Driver::title() { return nameOf(dpy_, window_); }

bool X11Driver::size(int &width, int &height) {
    XWindowAttributes a;
    if (!XGetWindowAttributes(dpy_, window_, &a)) return false;
    width = a.width;
    height = a.height;
    height_ = height;
    return true;
}

void X11Driver::requestResize(int width, int height) {
    XResizeWindow(dpy_, window_, (unsigned)width, (unsigned)height);
    XSync(dpy_, False);
}

int X11Driver::pointerRow(int Y) { return height_ - Y; }

void X11Driver::moveTo(int X, int Y) {
    int rx, ry;
    Window child;
    XTranslateCoordinates(dpy_, window_, DefaultRootWindow(dpy_), X, pointerRow(Y), &rx, &ry, &child);
    XTestFakeMotionEvent(dpy_, -1, rx, ry, CurrentTime);
    XSync(dpy_, False);
}

void X11Driver::press(int button) {
    XTestFakeButtonEvent(dpy_, (unsigned)button, True, CurrentTime);
    XSync(dpy_, False);
}

void X11Driver::release(int button) {
    XTestFakeButtonEvent(dpy_, (unsigned)button, False, CurrentTime);
    XSync(dpy_, False);
}

void X11Driver::click(int X, int Y, int button) {
    moveTo(X, Y);
    sleepMs(20);
    press(button);
    sleepMs(20);
    release(button);
}

void X11Driver::drag(int X0, int Y0, int X1, int Y1, int steps, bool releaseAtEnd) {
    moveTo(X0, Y0);
    sleepMs(20);
    press(1);
    for (int s = 1; s <= steps; ++s) {
        sleepMs(30);
        moveTo(X0 + (X1 - X0) * s / steps, Y0 + (Y1 - Y0) * s / steps);
    }
    sleepMs(30);
    if (releaseAtEnd) release(1);
}

void X11Driver::key(const char *keysymName) {
    const KeyCode code = XKeysymToKeycode(dpy_, XStringToKeysym(keysymName));
    XTestFakeKeyEvent(dpy_, code, True, CurrentTime);
    XTestFakeKeyEvent(dpy_, code, False, CurrentTime);
    XSync(dpy_, False);
    sleepMs(15);
}

void X11Driver::typeText(const std::string &text) {
    for (char c : text) {
        char name[2] = {c, 0};
        const char *sym = name;
        if (c == ' ') sym = "space";
        else if (c == '.') sym = "period";
        else if (c == '-') sym = "minus";
        else if (c == '_') sym = "underscore";
        else if (c == '/') sym = "slash";
        const bool shift = c == '_' || (c >= 'A' && c <= 'Z');
        const KeyCode shiftCode = XKeysymToKeycode(dpy_, XStringToKeysym("Shift_L"));
        if (shift) XTestFakeKeyEvent(dpy_, shiftCode, True, CurrentTime);
        key(sym);
        if (shift) XTestFakeKeyEvent(dpy_, shiftCode, False, CurrentTime);
        XSync(dpy_, False);
    }
}

void X11Driver::settle(int ms) {
    XSync(dpy_, False);
    sleepMs(scaledMs(ms));
    XSync(dpy_, False);
}

Image X11Driver::grab() {
    int w, h;
    Image image;
    if (!size(w, h)) return image;
    XImage *x = XGetImage(dpy_, window_, 0, 0, (unsigned)w, (unsigned)h, AllPlanes, ZPixmap);
    if (!x) return image;
    image = Image(w, h);
    for (int row = 0; row < h; ++row)
        for (int col = 0; col < w; ++col) {
            const unsigned long p = XGetPixel(x, col, row);
            image.setTop(col, row,
                         Rgb{uint8_t((p & x->red_mask) >> 16), uint8_t((p & x->green_mask) >> 8),
                             uint8_t(p & x->blue_mask)});
        }
    XDestroyImage(x);
    return image;
}

void X11Driver::unmapAndMap() {
    XUnmapWindow(dpy_, window_);
    XSync(dpy_, False);
    sleepMs(100);
    XMapWindow(dpy_, window_);
    XSync(dpy_, False);
}
