// quorvex-render: the explorer's pictures without a display.
//
// `quorvex-render --center -0.74,0.13 --width 1e-30 out.png`, from the
// command line to a pixel, file by file:
//   cli/options.cpp      parseRenderOptions reads the line into a
//                        RenderOptions (render/request.h): the centre and
//                        width as decimal text, every digit kept
//                        (deep/location.cpp checks them); no file is opened.
//   render/plan.cpp      planRender turns the location into a view in
//                        doubles (core/plane_view.h) and, the width being
//                        below 1e-12, picks the deep engine; a location's
//                        colours default to log:0.15 (render/look.h), the
//                        ramps' gradient as a fine table (colour/gradient.h);
//                        it checks that out.png can be written and lists
//                        the frames: one.
//   render/run.cpp       runPlan allocates the picture and makes frame 0:
//   deep/deep_view.cpp   deepFrame computes the reference orbit
//                        (deep/reference.cpp, MPFR) and its approximation
//                        tables (deep/bla.cpp) once;
//   render/frame.cpp     renderFrame shares the rows out among threads
//                        (render/rows.cpp); each row's counts come from
//                        deepViewRow, every cell perturbed from the
//                        reference (deep/perturb.cpp), and are coloured by
//                        the look (colourValueRow, colour/colouring.cpp).
//   render/output.cpp    writePictureFile writes the PNG atomically
//                        (files/atomic_write), the picture's recipe in its
//                        text chunks first (render/recipe.cpp).
// A shallow view takes the explorer's own kernels instead (computeRow,
// core/kernels.cpp), and with --view its grid values 255 * count / detail
// (core/state.h) are coloured as they are written, through the channel
// tables (colourGridRow, colour/palette.cpp); --smooth and --aa colour in
// renderFrame (colour/smooth.cpp, colour/linear_light.cpp); a histogram or
// slopes make every value of the picture before colouring any; a dive is a
// run of frames. --tiles makes the values of parts of the picture into tile
// files (frameAreaValues), and --join colours them row by row as the PNG is
// written (render/tiles.cpp).
// This file: the exit status, the signals, and the progress bar
// (cli/progress.cpp) that watches the run.
//
// Exit status: 0 the file is written, 1 it could not be (nothing written),
// 2 the command line is wrong. An interrupt (SIGINT, SIGTERM, SIGHUP) stops
// the reading of --from, --location and --zoom-to, the listing of a dive's
// frames, the render, the writer between rows and a wait on ffmpeg (and
// breaks off a wait for a FIFO, as an input or an output), removes the
// temporaries, and then ends the process by the same signal, so a shell
// sees the interrupt as it would for any other program. The handler is
// installed without SA_RESTART for that reason, before any file the command
// names is opened.
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <atomic>
#include <memory>

#include "cli/options.h"
#include "cli/progress.h"
#include "render/plan.h"
#include "render/run.h"

namespace {

std::atomic<int> stopSignal{0};
static_assert(ATOMIC_INT_LOCK_FREE == 2, "the signal handler needs a lock-free flag");

void noteStop(int signo) { stopSignal.store(signo); }

const int STOP_SIGNALS[] = {SIGINT, SIGTERM, SIGHUP};

void catchStopSignals() {
    struct sigaction action;
    memset(&action, 0, sizeof action);
    action.sa_handler = noteStop;
    sigemptyset(&action.sa_mask);
    for (int signo : STOP_SIGNALS) sigaction(signo, &action, nullptr);
    // A file past the size limit, or an ffmpeg that went away, is then an
    // ordinary write failure.
    signal(SIGXFSZ, SIG_IGN);
    signal(SIGPIPE, SIG_IGN);
}

// Ends the process by the signal that stopped it.
int dieBy(int signo) {
    signal(signo, SIG_DFL);
    raise(signo);
    return 128 + signo;  // only if the signal was blocked
}

}  // namespace

// The plan: 0 to go on, else the exit status (the interrupt's included).
int planOrExit(const RenderOptions &options, RenderPlan &plan, const RunWatch *watch, char *reason) {
    switch (planRender(options, plan, &stopSignal, reason, watch)) {
    case PLAN_READY: return 0;
    case PLAN_USAGE: fprintf(stderr, "quorvex-render: %s (try --help)\n", reason); return 2;
    case PLAN_FAILED: fprintf(stderr, "quorvex-render: %s\n", reason); return 1;
    case PLAN_INTERRUPTED: break;
    }
    fprintf(stderr, "quorvex-render: interrupted, %s not written\n", options.outputPath);
    return dieBy(stopSignal.load());
}

int main(int argc, char **argv) {
    RenderOptions options = defaultRenderOptions();
    char reason[RENDER_REASON_SIZE] = "";
    switch (parseRenderOptions(argc, argv, options, reason)) {
    case RENDER_PARSE_HELP: writeRenderHelp(stdout); return fflush(stdout) == 0 ? 0 : 1;
    case RENDER_PARSE_USAGE: fprintf(stderr, "quorvex-render: %s (try --help)\n", reason); return 2;
    case RENDER_PARSE_OK: break;
    }
    catchStopSignals();
    // Orbits, tables and a --from grid: on the heap.
    std::unique_ptr<RenderPlan> plan(new RenderPlan());
    ProgressWatch progress;
    startProgressWatch(progress, isatty(STDERR_FILENO) ? stderr : nullptr);
    if (const int status = planOrExit(options, *plan, &progress.watch, reason)) return status;
    switch (runPlan(*plan, &stopSignal, &progress.watch, reason)) {
    case RUN_WRITTEN: return 0;
    case RUN_FAILED: fprintf(stderr, "quorvex-render: %s\n", reason); return 1;
    case RUN_INTERRUPTED: break;
    }
    if (strcmp(reason, WRITE_INTERRUPTED) == 0)
        fprintf(stderr, "quorvex-render: interrupted, %s not written\n", options.outputPath);
    else
        fprintf(stderr, "quorvex-render: %s\n", reason);  // a dive's frames so far are kept
    return dieBy(stopSignal.load());
}
