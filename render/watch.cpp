#include "render/watch.h"

#include <stdarg.h>
#include <stdio.h>

#include "files/atomic_write.h"

void watchNote(const RunWatch *w, const char *format, ...) {
    if (!w || !w->note) return;
    char line[FILE_ERROR_SIZE];
    va_list args;
    va_start(args, format);
    vsetReason(line, format, args);
    va_end(args);
    w->note(w->context, line);
}

void watchBegin(const RunWatch *w, const char *label, const char *unit) {
    if (w && w->begin) w->begin(w->context, label, unit);
}

void watchCount(const RunWatch *w, long done, long total) {
    if (w && w->count) w->count(w->context, done, total);
}

void watchFrames(const RunWatch *w, long framesDone, long frames, long cellsDone, long cells) {
    if (w && w->frames) w->frames(w->context, framesDone, frames, cellsDone, cells);
}

void watchEnd(const RunWatch *w) {
    if (w && w->end) w->end(w->context);
}

void watchRows(int done, int total, void *watch) { watchCount((const RunWatch *)watch, done, total); }
