// run_result.h - how a whole render ended, for runRender (run.h) and
// runPictures (sequence.h) alike.
#ifndef QUORVEX_RENDER_RUN_RESULT_H
#define QUORVEX_RENDER_RUN_RESULT_H

#include <stddef.h>

enum RunResult { RUN_WRITTEN, RUN_FAILED, RUN_INTERRUPTED };

// The machine's memory in bytes (SIZE_MAX when unknown): pictures larger
// than it are refused before they are allocated.
size_t physicalMemory();

#endif
