// quorvex-render: the explorer's pictures without a display.
//
// Exit status: 0 the file is written, 1 it could not be (nothing written),
// 2 the command line is wrong. An interrupt (SIGINT, SIGTERM, SIGHUP) stops
// the --from read, the render and the writer between rows (and breaks off a
// wait for a FIFO), removes the temporary, and then ends the process by the
// same signal, so a shell sees the interrupt as it would for any other
// program. The handler is installed without SA_RESTART for that reason.
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <atomic>

#include "cli/options.h"
#include "render/output.h"
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

int main(int argc, char **argv) {
    RenderOptions options = defaultRenderOptions();
    char reason[RENDER_REASON_SIZE] = "";
    switch (parseRenderOptions(argc, argv, options, reason)) {
    case RENDER_PARSE_HELP: writeRenderHelp(stdout); return fflush(stdout) == 0 ? 0 : 1;
    case RENDER_PARSE_USAGE: fprintf(stderr, "quorvex-render: %s (try --help)\n", reason); return 2;
    case RENDER_PARSE_OK: break;
    }
    catchStopSignals();
    FILE *progress = isatty(STDERR_FILENO) ? stderr : nullptr;
    switch (runRender(options, &stopSignal, progress, reason)) {
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
