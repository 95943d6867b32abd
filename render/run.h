// run.h - carrying a plan out: every picture is a run of frames, a still
// the run of one.
//
//   runPlan(plan, stop, watch, reason)   after planRender (render/plan.h)
//   runRender(options, stop, watch, reason)   both at once
//
// In order, in a way that never leaves a partial file behind:
//   1. a note of the frames already written and kept (a resumed dive);
//      nothing to make is done;
//   2. one warning when a frame to make is drawn in doubles and is narrower
//      than doubles resolve at its sample size (neighbouring cells on one
//      coordinate): it is drawn all the same, the user may want exactly that
//      (a million frames are judged in well under a second: most from their
//      widths alone, without MPFR);
//   3. the frame buffers: a picture larger than the machine's memory is
//      refused at once (with overcommit a large allocation succeeds and the
//      run is killed half way), and so is one that cannot be allocated;
//   4. each frame: its view (diveFrameParams, or for frames from locations
//      locationBetween; a deep still is its own location), drawn into memory
//      by renderFrame (the deep engine's reference from DeepFrames first,
//      deep/deep_view.h), or a --from grid taken as it is; then written:
//      a still with its bar, a frame file by atomicWriteFile on a thread of
//      its own while the next frame is drawn, a video's frame to ffmpeg
//      (render/video.h), whose temporary is renamed once ffmpeg has ended
//      well;
//   5. a still's --save-location is written before its picture, held as a
//      temporary and renamed only once the picture is in place: either
//      failing leaves neither (a FIFO or device given for it gets the
//      location before the picture is begun). A still's or a video's
//      temporaries that a killed run left behind are removed first
//      (files/atomic_write.h's removeStaleTemporaries).
// What the plan found (a minibrot) is said first, as a note; a .qloc
// OUTPUT writes the still's location (the place alone) instead of steps 1 to 5.
// `stop` (may be null) is polled throughout, in every loop over frames or
// cells and while ffmpeg is waited on: the frames made stay (one being
// written is finished), the frame in hand and an unfinished video do not
// (ffmpeg is killed), and the result is RUN_INTERRUPTED. A file that fails while a stop is
// pending (an open of a FIFO broken off by the signal) is an interrupt too.
// `watch` (may be null) hears the stages and notes (render/watch.h).
//
// Layer: render.
#ifndef QUORVEX_RENDER_RUN_H
#define QUORVEX_RENDER_RUN_H

#include <stddef.h>

#include <atomic>

#include "render/plan.h"
#include "render/watch.h"

enum RunResult { RUN_WRITTEN, RUN_FAILED, RUN_INTERRUPTED };

RunResult runPlan(const RenderPlan &plan, const std::atomic<int> *stop, const RunWatch *watch, char *reason);

// planRender then runPlan; a plan's refusal of either kind is RUN_FAILED.
RunResult runRender(const RenderOptions &options, const std::atomic<int> *stop, const RunWatch *watch,
                    char *reason);

// The machine's memory in bytes (SIZE_MAX when unknown).
size_t physicalMemory();

#endif
