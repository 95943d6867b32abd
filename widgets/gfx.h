// gfx.h - the drawing layer: a copying swap and front-buffer drawing that
// work the same on every driver.
//
// The program's drawing model: the back buffer always holds the whole window
// picture; every drawing operation selects a buffer, draws its piece and
// swaps; a swap leaves the back buffer as it was; image rows go into both
// buffers while they are computed; the zoom rubber band goes into the front
// buffer only, until the next swap replaces it. Some drivers (Mesa under
// Xvfb among them) show a stale front buffer once anything is drawn into
// GL_FRONT, so the window's own buffers are not used for drawing at all:
//
//   - one framebuffer object with two window-sized RGB8 colour buffers,
//     attachment 0 standing in for the back buffer, attachment 1 for the
//     front, stays bound for the whole run;
//   - gfxDrawBuffer(GL_BACK / GL_FRONT / GL_FRONT_AND_BACK) selects them;
//     a raw glDrawBuffer or glReadBuffer would fail on the framebuffer
//     object and silently leave the old selection, so never call those;
//   - gfxSwapBuffers() copies back to front and presents the front (blits it
//     into the window and swaps the window). After front-only drawing it
//     presents the front as it is and delays the copy until the next
//     selection, so the outline stays on the screen until something else
//     is drawn;
//   - rows drawn into the front during a Make call gfxRowDrawn(), which
//     presents at most once every 16 ms (a loop waiting for the next row
//     may call gfxPresentIfDue() meanwhile); gfxFlush() presents whatever
//     is still unseen (every GLUT callback ends with it);
//   - glReadPixels reads the back buffer (attachment 0).
//
// Rules: no glPushAttrib of colour-buffer state, no scissor left enabled,
// no GL_FRAMEBUFFER_SRGB. Main thread only.
//
// Layer: widgets (uses nothing above core).
#ifndef QUORVEX_WIDGETS_GFX_H
#define QUORVEX_WIDGETS_GFX_H

#include "widgets/gl.h"

// Creates and clears both buffers (black) and binds them. Call once, after
// the window exists and before the GLUT main loop.
void gfxInit(int width, int height);

// Stands in for glDrawBuffer: GL_BACK, GL_FRONT or GL_FRONT_AND_BACK.
void gfxDrawBuffer(GLenum mode);

// The current selection, as a GL_BACK / GL_FRONT / GL_FRONT_AND_BACK name.
GLenum gfxCurrentDrawBuffer();

// Stands in for glutSwapBuffers.
void gfxSwapBuffers();

// A row has been drawn into the front: present if 16 ms have passed.
void gfxRowDrawn();

// Present if the front holds unseen rows and 16 ms have passed: for a loop
// that waits for the next row, so the rows already drawn do not wait too.
void gfxPresentIfDue();

// While held, a swap copies back to front but leaves presenting to the next
// present that is due or to gfxFlush: for a command whose steps follow each
// other within a frame (Make redraws its button and clears the panel just
// before its rows), so the screen is not presented once per step.
void gfxHoldPresents(bool hold);

// Whether 16 ms have passed since the last present.
bool gfxPresentDue();

// Present now if the front holds anything not yet shown.
void gfxFlush();

// Reads a block of the back (GL_BACK) or front (GL_FRONT) buffer.
void gfxReadPixels(GLenum buffer, int x, int y, int width, int height, GLenum format,
                   GLenum type, void *pixels);

// How many times the window has been presented (tests and benchmarks).
long gfxPresentCount();

#endif
