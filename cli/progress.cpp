#include "cli/progress.h"

#include <string.h>
#include <time.h>

namespace {

// Redraws closer together than this would only flicker.
const double REDRAW_PERIOD = 0.1;

double nowSeconds() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (double)ts.tv_sec + (double)ts.tv_nsec / 1e9;
}

void fillBar(char *cells, long done, long total) {
    const long full = total > 0 ? done * PROGRESS_BAR_CELLS / total : 0;
    for (int k = 0; k < PROGRESS_BAR_CELLS; ++k) cells[k] = k < full ? '#' : '.';
    cells[PROGRESS_BAR_CELLS] = '\0';
}

}  // namespace

void formatDuration(char *text, size_t size, double seconds) {
    const long s = seconds < 0 ? 0 : (long)(seconds + 0.5);
    if (s >= 3600)
        snprintf(text, size, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    else
        snprintf(text, size, "%ld:%02ld", s / 60, s % 60);
}

void formatProgress(char *line, size_t size, const char *label, long done, long total, double elapsedSeconds) {
    formatProgressIn(line, size, label, "rows", done, total, elapsedSeconds);
}

void formatProgressIn(char *line, size_t size, const char *label, const char *unit, long done, long total,
                      double elapsedSeconds) {
    char cells[PROGRESS_BAR_CELLS + 1];
    char left[32] = "--:--";
    fillBar(cells, done, total);
    if (done > 0) formatDuration(left, sizeof left, elapsedSeconds * (double)(total - done) / (double)done);
    const long percent = total > 0 ? done * 100 / total : 100;
    const int digits = snprintf(nullptr, 0, "%ld", total);
    snprintf(line, size, "%s [%s] %*ld/%ld %s %3ld%%  %s left", label, cells, digits, done, total, unit, percent, left);
}

double progressClock() { return nowSeconds(); }

void progressStart(ProgressBar &bar, FILE *out, const char *label) {
    bar.out = out;
    bar.label = label;
    bar.unit = "rows";
    bar.started = nowSeconds();
    bar.lastDrawn = -1.0;
    bar.drawn = 0;
}

void progressUpdate(int done, int total, void *context) {
    ProgressBar &bar = *(ProgressBar *)context;
    if (!bar.out) return;
    const double now = nowSeconds();
    if (done < total && now - bar.lastDrawn < REDRAW_PERIOD) return;
    char line[PROGRESS_LINE];
    formatProgressIn(line, sizeof line, bar.label, bar.unit, done, total, now - bar.started);
    fprintf(bar.out, "\r%s\033[K", line);  // \033[K: erase what a longer line left
    fflush(bar.out);
    bar.lastDrawn = now;
    bar.drawn = 1;
}

void progressFinish(ProgressBar &bar) {
    if (!bar.out || !bar.drawn) return;
    fputs("\r\033[K", bar.out);
    fflush(bar.out);
    bar.drawn = 0;
}

void formatFramesProgress(char *line, size_t size, long framesDone, long frames, long cellsDone, long cells,
                          double elapsedSeconds) {
    char bar[PROGRESS_BAR_CELLS + 1];
    char left[32] = "--:--";
    fillBar(bar, cellsDone, cells);
    if (cellsDone > 0)
        formatDuration(left, sizeof left, elapsedSeconds * (double)(cells - cellsDone) / (double)cellsDone);
    const long percent = cells > 0 ? (long)((double)cellsDone * 100 / (double)cells) : 100;
    const int frameDigits = snprintf(nullptr, 0, "%ld", frames), cellDigits = snprintf(nullptr, 0, "%ld", cells);
    snprintf(line, size, "rendering [%s] %*ld/%ld frames  %*ld/%ld cells %3ld%%  %s left", bar, frameDigits, framesDone,
             frames, cellDigits, cellsDone, cells, percent, left);
}

void progressFramesUpdate(ProgressBar &bar, long framesDone, long frames, long cellsDone, long cells) {
    if (!bar.out) return;
    const double now = nowSeconds();
    if (cellsDone < cells && now - bar.lastDrawn < REDRAW_PERIOD) return;
    char line[PROGRESS_LINE];
    formatFramesProgress(line, sizeof line, framesDone, frames, cellsDone, cells, now - bar.started);
    fprintf(bar.out, "\r%s\033[K", line);
    fflush(bar.out);
    bar.lastDrawn = now;
    bar.drawn = 1;
}

namespace {

ProgressWatch &progressOf(void *context) { return *(ProgressWatch *)context; }

void printNote(void *, const char *line) { fprintf(stderr, "quorvex-render: %s\n", line); }

void beginStage(void *context, const char *label, const char *unit) {
    ProgressWatch &p = progressOf(context);
    if (p.depth == PROGRESS_DEPTH) return;
    if (p.depth > 0) p.paused[p.depth - 1] = nowSeconds();
    ProgressBar &bar = p.bars[p.depth++];
    progressStart(bar, p.out, label);
    bar.unit = unit;
}

ProgressBar *innermost(ProgressWatch &p) { return p.depth > 0 ? &p.bars[p.depth - 1] : nullptr; }

void countStage(void *context, long done, long total) {
    if (ProgressBar *bar = innermost(progressOf(context))) progressUpdate((int)done, (int)total, bar);
}

void countFrames(void *context, long framesDone, long frames, long cellsDone, long cells) {
    if (ProgressBar *bar = innermost(progressOf(context)))
        progressFramesUpdate(*bar, framesDone, frames, cellsDone, cells);
}

// The outer stage's time left leaves the inner stage's time out.
void endStage(void *context) {
    ProgressWatch &p = progressOf(context);
    if (p.depth == 0) return;
    progressFinish(p.bars[--p.depth]);
    if (p.depth > 0) p.bars[p.depth - 1].started += nowSeconds() - p.paused[p.depth - 1];
}

}  // namespace

void startProgressWatch(ProgressWatch &p, FILE *out) {
    p.out = out;
    p.depth = 0;
    p.watch = RunWatch{&p, printNote, beginStage, countStage, countFrames, endStage};
}
