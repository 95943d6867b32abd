#include "widgets/gfx.h"

#include <stdio.h>
#include <stdlib.h>
#include <time.h>

namespace {

// Presenting a 995 x 820 picture costs about 2.7 ms here; one present per
// frame interval keeps the rows of a Make visible at a few percent of cost.
const double PRESENT_INTERVAL_MS = 16.0;

GLuint fbo, colour[2];
int fbWidth, fbHeight;
GLenum selection = GL_BACK;
bool frontOnlySinceSwap = false;  // the front holds drawing the back lacks
bool copyPending = false;         // the front still shows that drawing
bool frontUnseen = false;         // the front changed since the last present
double lastPresentMs = 0.0;
long presents = 0;
bool presentsHeld = false;

double nowMs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

void selectAttachments(GLenum mode) {
    static const GLenum back[] = {GL_COLOR_ATTACHMENT0};
    static const GLenum front[] = {GL_COLOR_ATTACHMENT1};
    static const GLenum both[] = {GL_COLOR_ATTACHMENT0, GL_COLOR_ATTACHMENT1};
    if (mode == GL_FRONT) glDrawBuffers(1, front);
    else if (mode == GL_FRONT_AND_BACK) glDrawBuffers(2, both);
    else glDrawBuffers(1, back);
}

void blit(GLenum from, GLuint toFramebuffer, GLenum to) {
    GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
    if (scissor) glDisable(GL_SCISSOR_TEST);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo);
    glReadBuffer(from);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, toFramebuffer);
    glDrawBuffer(to);
    glBlitFramebuffer(0, 0, fbWidth, fbHeight, 0, 0, fbWidth, fbHeight, GL_COLOR_BUFFER_BIT,
                      GL_NEAREST);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    selectAttachments(selection);
    if (scissor) glEnable(GL_SCISSOR_TEST);
}

void copyBackToFront() {
    blit(GL_COLOR_ATTACHMENT0, fbo, GL_COLOR_ATTACHMENT1);
    copyPending = false;
}

void present() {
    blit(GL_COLOR_ATTACHMENT1, 0, GL_BACK);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glutSwapBuffers();
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    frontUnseen = false;
    lastPresentMs = nowMs();
    ++presents;
}

GLuint colourBuffer(int width, int height) {
    GLuint rb;
    glGenRenderbuffers(1, &rb);
    glBindRenderbuffer(GL_RENDERBUFFER, rb);
    // RGB8: the window has no alpha bits, so reads must return alpha 255.
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGB8, width, height);
    return rb;
}

// Without the two buffers nothing the program draws would ever be shown;
// a blank window that ignores its drawing is worse than a clear refusal.
void requireCompleteFramebuffer() {
    const GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
    if (status == GL_FRAMEBUFFER_COMPLETE) return;
    fprintf(stderr,
            "quorvex: the OpenGL driver cannot provide the drawing buffers (framebuffer status "
            "0x%04x); cannot draw the window\n",
            (unsigned)status);
    exit(1);
}

}  // namespace

void gfxInit(int width, int height) {
    fbWidth = width;
    fbHeight = height;
    glDisable(GL_FRAMEBUFFER_SRGB);
    glGenFramebuffers(1, &fbo);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    for (int i = 0; i < 2; ++i) {
        colour[i] = colourBuffer(width, height);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0 + i, GL_RENDERBUFFER,
                                  colour[i]);
    }
    requireCompleteFramebuffer();
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    selection = GL_FRONT_AND_BACK;
    selectAttachments(selection);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    selection = GL_BACK;
    selectAttachments(selection);
    frontOnlySinceSwap = copyPending = frontUnseen = false;
}

void gfxDrawBuffer(GLenum mode) {
    if (copyPending) copyBackToFront();
    selection = mode;
    selectAttachments(mode);
    frontOnlySinceSwap = mode == GL_FRONT;
    if (mode != GL_BACK) frontUnseen = true;
}

GLenum gfxCurrentDrawBuffer() { return selection; }

void gfxSwapBuffers() {
    if (frontOnlySinceSwap) {
        // Show the front drawing now; the copy that replaces it waits for
        // the next drawing, so it stays visible until then.
        frontOnlySinceSwap = false;
        present();
        copyPending = true;
        return;
    }
    copyBackToFront();
    if (presentsHeld) frontUnseen = true;
    else present();
}

void gfxHoldPresents(bool hold) { presentsHeld = hold; }

void gfxRowDrawn() {
    frontUnseen = true;
    gfxPresentIfDue();
}

bool gfxPresentDue() { return nowMs() - lastPresentMs >= PRESENT_INTERVAL_MS; }

void gfxPresentIfDue() {
    if (frontUnseen && gfxPresentDue()) present();
}

void gfxFlush() {
    if (frontUnseen) present();
}

void gfxReadPixels(GLenum buffer, int x, int y, int width, int height, GLenum format,
                   GLenum type, void *pixels) {
    glReadBuffer(buffer == GL_FRONT ? GL_COLOR_ATTACHMENT1 : GL_COLOR_ATTACHMENT0);
    glReadPixels(x, y, width, height, format, type, pixels);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
}

long gfxPresentCount() { return presents; }
