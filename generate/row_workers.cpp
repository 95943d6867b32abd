#include "generate/row_workers.h"

#include <algorithm>

#include "core/kernels.h"
#include "core/state.h"

int (*createRowThread)(pthread_t *, void *(*)(void *), void *) =
    [](pthread_t *thread, void *(*entry)(void *), void *arg) {
        return pthread_create(thread, nullptr, entry, arg);
    };

void (*whileRowsPending)() = nullptr;

namespace {

// One threaded generation: the slot tables and the three counters.
struct RowRun {
    int rows;
    RowWorker worker;
    void (*computeHere)(int row);
    RowSlot *record;
    pthread_t *handle;
    bool *threaded;  // false: the row was computed here, nothing to detach
    int nextRow = 0, finished = 0, computedHere = 0;
};

// Hands the next row to slot k. The row and the cleared flag are written
// before the thread exists, so the worker sees them without further
// ordering. A worker that cannot be created would leave the flag unset and
// the circle waiting for ever: compute its row here instead.
void launch(RowRun &run, int k) {
    const int row = run.nextRow++;
    run.record[k].row = row;
    run.record[k].done.store(0, std::memory_order_relaxed);
    run.threaded[k] = createRowThread(&run.handle[k], run.worker, &run.record[k]) == 0;
    if (run.threaded[k]) return;
    run.computeHere(row);
    ++run.computedHere;
    run.record[k].done.store(1, std::memory_order_release);
}

// Slot k reported its row complete: report it and refill the slot.
void finish(RowRun &run, int k, void (*rowDone)(int, void *), void *context) {
    run.record[k].done.store(0, std::memory_order_relaxed);
    if (run.threaded[k]) pthread_detach(run.handle[k]);
    ++run.finished;
    rowDone(run.record[k].row, context);
    if (run.nextRow < run.rows) launch(run, k);
}

}  // namespace

int runRowWorkers(int slots, int rows, RowWorker worker, void (*computeHere)(int),
                  void (*rowDone)(int, void *), void *context) {
    if (rows <= 0) return 0;
    // Never more slots than rows: a huge thread count costs nothing.
    const int n = std::max(1, std::min(slots, rows));
    RowRun run{rows, worker, computeHere, new RowSlot[n], new pthread_t[n], new bool[n]};
    for (int k = 0; k < n; ++k) launch(run, k);
    for (int k = 0; run.finished < rows; k = (k + 1) % n) {
        if (run.record[k].done.load(std::memory_order_acquire) == 1) finish(run, k, rowDone, context);
        if (k == n - 1 && whileRowsPending) whileRowsPending();
    }
    delete[] run.record;
    delete[] run.handle;
    delete[] run.threaded;
    return run.computedHere;
}

namespace {

template <unsigned char *(*Core)(int, unsigned char *)>
void *rowWorker(void *arg) {
    RowSlot *slot = static_cast<RowSlot *>(arg);
    const int row = slot->row;
    Core(row, fractal + GRID_SIZE * row);
    slot->done.store(1, std::memory_order_release);
    pthread_exit(nullptr);
}

void computeCurrentTypeHere(int row) {
    computeRow(fType, currentKernelView(), row, fractal + GRID_SIZE * row);
}

}  // namespace

void *MANDELBROT(void *slot) { return rowWorker<MANDELBROT_CORE>(slot); }
void *JULIA(void *slot) { return rowWorker<JULIA_CORE>(slot); }
void *M_DRAGON(void *slot) { return rowWorker<M_DRAGON_CORE>(slot); }
void *J_DRAGON(void *slot) { return rowWorker<J_DRAGON_CORE>(slot); }
void *M_PHOENIX(void *slot) { return rowWorker<M_PHOENIX_CORE>(slot); }
void *J_PHOENIX(void *slot) { return rowWorker<J_PHOENIX_CORE>(slot); }
void *M_COSINE(void *slot) { return rowWorker<M_COSINE_CORE>(slot); }
void *J_COSINE(void *slot) { return rowWorker<J_COSINE_CORE>(slot); }
void *M_COSH(void *slot) { return rowWorker<M_COSH_CORE>(slot); }
void *J_COSH(void *slot) { return rowWorker<J_COSH_CORE>(slot); }

int generateRowsThreaded(int slots, void (*rowDone)(int, void *), void *context) {
    return runRowWorkers(slots, fracHeight, familyMember<RowWorker>(fType), computeCurrentTypeHere,
                         rowDone, context);
}
