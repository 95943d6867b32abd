// gl_harness.h - the program's window in the test process.
//
// A gl-tier test program links the GL library and gl_main.cpp: main starts
// a private Xvfb, opens the window exactly as the program does (openQuorvex)
// and lets the first display callback draw the control panel; then the
// tests call the program's functions directly and read pixels back.
//   backBuffer()/frontBuffer()  the drawing layer's buffers, whole window
//   screen()                    what the X server shows (after glFinish)
//   restoreStartState()         program-wide values back to their start and
//                               the first picture drawn again
#ifndef QUORVEX_TESTS_GL_HARNESS_H
#define QUORVEX_TESTS_GL_HARNESS_H

#include <string>
#include <vector>

#include "image.h"
#include "x11_driver.h"

bool startProgramInProcess(const std::vector<std::string> &args);
void pumpEvents(int ms = 30);
Image backBuffer();
Image frontBuffer();
Image screen();
X11Driver &driver();
void restoreStartState();

#endif
