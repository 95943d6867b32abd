// row_workers.h - threaded generation without the drawing: one new POSIX
// thread per grid row, at most `slots` computing at once.
//
// The main thread hands rows out in ascending order, slot k starting with
// row k, then looks at the slots in the circle 0, 1, ..., slots - 1, 0, ...
// A worker computes its row, stores its slot's `done` with release ordering
// and ends; the main thread loads `done` with acquire ordering, so the whole
// row is visible before rowDone(row) is called, then detaches the thread and
// starts the next row in the freed slot. The call returns after `rows`
// completions; every row is computed and reported exactly once, in order of
// completion as seen from the circle.
//
// A circle that finds no finished slot puts the main thread to sleep until
// a worker ends (a futex wait on a counter every worker thread bumps as it
// ends), so the workers have the processors to themselves; no wake-up is
// lost (row_workers.cpp says why). With whileRowsPending set the sleep lasts
// at most ROW_WAIT_BOUND_MS, so rows already drawn still reach the screen.
// Worker threads get a 128 KiB stack, not the default 8 MiB: a row needs
// about 16 KiB.
//
// A worker that cannot be created does not hang the run: its row is
// computed on the calling thread at once and reported when the circle
// reaches its slot.
//
// The slot table lives on the heap, sized min(slots, rows), so a huge
// thread count costs no memory.
//
// Layer: generate, GL-free (built into the library the unit tests use).
#ifndef QUORVEX_GENERATE_ROW_WORKERS_H
#define QUORVEX_GENERATE_ROW_WORKERS_H

#include <pthread.h>

#include <atomic>

#include "generate/families.h"

struct RowSlot {
    int row;
    std::atomic<int> done;
    RowWorker worker;  // the entry the slot's thread runs
};

// pthread_create by default; tests replace it to count or to fail.
extern int (*createRowThread)(pthread_t *thread, void *(*entry)(void *), void *arg);

// Called once per circle while rows are pending, on the calling thread (the
// drawing code uses it to show drawn rows that are due); null: nothing.
extern void (*whileRowsPending)();

// The longest sleep between circles while whileRowsPending is set: the
// screen's present interval.
enum { ROW_WAIT_BOUND_MS = 16 };

// Tests only: called between a circle that found nothing and the sleep.
extern void (*beforeRowWait)();

// Runs `rows` rows through `worker` on `slots` slots. `computeHere(row)`
// computes a row on the calling thread when a worker cannot be created.
// Returns how many rows had to be computed that way.
int runRowWorkers(int slots, int rows, RowWorker worker, void (*computeHere)(int row),
                  void (*rowDone)(int row, void *context), void *context);

// The ten worker entries (MANDELBROT(void *) ..., declared in
// generate/families.h) compute slot->row of their type, store
// slot->done = 1 (release) and end the thread.

// Fills the grid for the current type on `slots` worker slots, calling
// rowDone for each finished row (threaded Make without drawing).
int generateRowsThreaded(int slots, void (*rowDone)(int row, void *context), void *context);

#endif
