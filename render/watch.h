// watch.h - what a run tells whoever watches it.
//
// render/ prints nothing: the notes and warnings of a run, and how far its
// stages have got, go to a RunWatch that the caller supplies (quorvex-render's
// is its progress bar and standard error, cli/progress.h). A null watch, or a
// null member, hears nothing.
//
// Stages nest: a stage begun inside another (a reference orbit computed in
// the middle of a dive's frames) pauses the outer one until it ends, so the
// outer one's time left leaves the inner one's time out.
//
//   note    one line: a warning ("warning: the view is narrower than ..."),
//           or what a run skips ("frames 0..9: 4 already written, kept; ...")
//   begin   a stage: its label ("rendering", "reference", "writing  ") and
//           the unit it counts ("rows", "steps")
//   count   the innermost stage has done `done` of `total`
//   frames  a dive's stage: frames and cells done of those to make
//   end     the innermost stage is over
//
// Layer: render.
#ifndef QUORVEX_RENDER_WATCH_H
#define QUORVEX_RENDER_WATCH_H

struct RunWatch {
    void *context;
    void (*note)(void *context, const char *line);
    void (*begin)(void *context, const char *label, const char *unit);
    void (*count)(void *context, long done, long total);
    void (*frames)(void *context, long framesDone, long frames, long cellsDone, long cells);
    void (*end)(void *context);
};

void watchNote(const RunWatch *w, const char *format, ...) __attribute__((format(printf, 2, 3)));
void watchBegin(const RunWatch *w, const char *label, const char *unit);
void watchCount(const RunWatch *w, long done, long total);
void watchFrames(const RunWatch *w, long framesDone, long frames, long cellsDone, long cells);
void watchEnd(const RunWatch *w);

// A RenderProgress or ReferenceProgress: `watch` is a const RunWatch *.
void watchRows(int done, int total, void *watch);

#endif
