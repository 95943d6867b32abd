// progress.h - a one-line progress bar on standard error.
//
//   rendering [##########..........]  2048/4096 rows  50%  0:12 left
//
// The bar is redrawn in place (carriage return) at most ten times a second
// and once more when the count reaches the total; progressFinish clears the
// line, so nothing of it is left in a terminal's scrollback. A bar that is
// not enabled (standard error is not a terminal) prints nothing at all.
//
// The time left is the time so far scaled by the rows still to do; it is
// shown as "--:--" until the first row is done.
//
// Layer: cli.
#ifndef QUORVEX_CLI_PROGRESS_H
#define QUORVEX_CLI_PROGRESS_H

#include <stddef.h>
#include <stdio.h>

#include "render/watch.h"

// Enough for the label, the bar, the counts and the estimate.
enum { PROGRESS_LINE = 128, PROGRESS_BAR_CELLS = 20 };

struct ProgressBar {
    FILE *out;        // null: disabled
    const char *label;
    const char *unit; // "rows" from progressStart; may be changed after it
    double started;   // seconds, monotonic clock
    double lastDrawn;
    int drawn;        // something is on the line and must be cleared
};

// Fills `line` with the text above (no carriage return, no newline).
void formatProgress(char *line, size_t size, const char *label, long done, long total,
                    double elapsedSeconds);

// The same counting `unit` instead of rows.
void formatProgressIn(char *line, size_t size, const char *label, const char *unit, long done, long total,
                      double elapsedSeconds);

// "1:02:03" for an hour or more, "2:03" below.
void formatDuration(char *text, size_t size, double seconds);

void progressStart(ProgressBar &bar, FILE *out, const char *label);

// Seconds on the bars' clock (monotonic): a bar's `started` moved on by a
// pause leaves the pause out of its time left.
double progressClock();

// A RenderProgress: `bar` is a ProgressBar.
void progressUpdate(int done, int total, void *bar);

void progressFinish(ProgressBar &bar);

// A dive's bar counts frames and cells of the frames still to make, and
// takes the time left from the cells:
//   rendering [#####...............]  3/12 frames   691200/2764800 cells  25%  0:42 left
void formatFramesProgress(char *line, size_t size, long framesDone, long frames, long cellsDone, long cells,
                          double elapsedSeconds);

// Redraws `bar` with that line, at most ten times a second and always at the end.
void progressFramesUpdate(ProgressBar &bar, long framesDone, long frames, long cellsDone, long cells);

// A run's watch (render/watch.h) on `out`: its stages as bars (none when
// `out` is null), a stage begun inside another pausing the outer bar's
// clock; its notes on standard error as "quorvex-render: NOTE", always.
enum { PROGRESS_DEPTH = 4 };
struct ProgressWatch {
    FILE *out;
    ProgressBar bars[PROGRESS_DEPTH];
    double paused[PROGRESS_DEPTH];  // when the stage inside it began
    int depth;
    RunWatch watch;
};

void startProgressWatch(ProgressWatch &p, FILE *out);

#endif
