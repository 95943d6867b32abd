// run.h - one whole render: read, compute, colour, write.
//
// runRender does what the options ask, in an order that never leaves a
// partial file behind and fails before the long part where it can:
//   1. a --from file is read (with the reader's refusals) and merged: what
//      the command line gives wins, the rest comes from the file;
//   2. the output is checked as the writer will see it (symbolic links
//      followed): a directory, socket or block device is refused, and so is
//      a directory that will not take the file;
//   3. the grid is allocated (a refusal is a clear failure, not a crash)
//      and computed, unless it can be taken from the --from file as it is:
//      that is when nothing that shapes the grid (size, type, detail, view,
//      pivot) was given beside --from; a file of an unknown type can only
//      be coloured, so giving --type is then the way to compute it; a
//      view narrower than doubles resolve at the chosen size (neighbouring
//      cells on the same coordinate) is computed all the same, after one
//      warning line on standard error;
//   4. the palette is built as the program builds it at start-up (seed
//      1959) with the chosen ramps, and the file is written atomically.
// `stop` (may be null) is polled throughout, the --from read included; a
// non-zero value ends the run with RUN_INTERRUPTED and nothing written. `progress` is the standard
// error stream for the bar, or null for none.
//
// A still with --smooth or --aa N > 1, and every dive, take steps 1, 2 and
// the palette of 4 here and go on in runPictures (sequence.h). A still's
// --save-location file is written once its picture is in place.
// quorvex-render: uses core/, colour/palette.h and files/ only, no GL.
#ifndef QUORVEX_RENDER_RUN_H
#define QUORVEX_RENDER_RUN_H

#include <stddef.h>
#include <stdio.h>

#include <atomic>

#include "cli/options.h"
#include "render/run_result.h"

RunResult runRender(const RenderOptions &options, const std::atomic<int> *stop, FILE *progress,
                    char *reason);

#endif
