// row_workers.h - threaded generation without the drawing: one new POSIX
// thread per grid row, at most `slots` computing at once.
//
// The main thread hands rows out in ascending order, slot k starting with
// row k, then polls the slots in the circle 0, 1, ..., slots - 1, 0, ...
// without sleeping. A worker computes its row, stores its slot's `done` with
// release ordering and ends; the main thread loads `done` with acquire
// ordering, so the whole row is visible before rowDone(row) is called, then
// detaches the thread and starts the next row in the freed slot. The call
// returns after `rows` completions; every row is computed and reported
// exactly once, in order of completion as seen from the circle.
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
};

// pthread_create by default; tests replace it to count or to fail.
extern int (*createRowThread)(pthread_t *thread, void *(*entry)(void *), void *arg);

// Called once per circle while rows are pending, on the calling thread (the
// drawing code uses it to show drawn rows that are due); null: nothing.
extern void (*whileRowsPending)();

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
