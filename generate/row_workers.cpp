#include "generate/row_workers.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>

#include "core/kernels.h"
#include "core/state.h"

namespace {

// The default stack is 8 MiB; a row's kernels use about 16 KiB at most (21
// under the sanitizers; measured on every path and type, the thread's own
// descriptor included: the vector paths keep their cell lists on the heap),
// so this leaves a wide margin and costs the thread's start nothing
// it does not need.
const size_t ROW_STACK_BYTES = 128 * 1024;

int createWithRowStack(pthread_t *thread, void *(*entry)(void *), void *arg) {
    static pthread_attr_t attr;
    static const bool ready = pthread_attr_init(&attr) == 0 &&
                              pthread_attr_setstacksize(&attr, ROW_STACK_BYTES) == 0;
    return pthread_create(thread, ready ? &attr : nullptr, entry, arg);
}

}  // namespace

int (*createRowThread)(pthread_t *, void *(*)(void *), void *) = createWithRowStack;

void (*whileRowsPending)() = nullptr;

void (*beforeRowWait)() = nullptr;

namespace {

// ---- waking the main thread ------------------------------------------------
//
// Every worker thread, as it ends, bumps workerEnds and wakes a main thread
// waiting on it. The main thread reads workerEnds before a circle and waits
// only while it still holds that value, so a worker that stores its flag
// after the circle looked is never missed: either its bump is in before the
// wait (the wait returns at once) or the wake reaches the waiter. The bump
// comes from a thread-specific value's destructor, which pthread_exit runs
// after the worker's own code, so every worker entry reports, whatever it
// does. The counter is never freed: a worker may still be ending after its
// run has returned, and its stray bump only wakes a later wait early.
std::atomic<int> workerEnds{0};
pthread_key_t endReporter;
pthread_once_t endReporterOnce = PTHREAD_ONCE_INIT;

void reportWorkerEnd(void *) {
    workerEnds.fetch_add(1, std::memory_order_release);
    syscall(SYS_futex, &workerEnds, FUTEX_WAKE_PRIVATE, 1, nullptr, nullptr, 0);
}

// The program's own entries report as soon as the row is in, before the
// thread's exit, so the main thread starts the next row meanwhile.
void reportRowDone(RowSlot *slot) {
    slot->done.store(1, std::memory_order_release);
    pthread_setspecific(endReporter, nullptr);
    reportWorkerEnd(nullptr);
}

void createEndReporter() { pthread_key_create(&endReporter, reportWorkerEnd); }

void *startWorker(void *arg) {
    pthread_setspecific(endReporter, &workerEnds);
    RowSlot *slot = static_cast<RowSlot *>(arg);
    return slot->worker(slot);
}

// Sleeps while workerEnds still reads `seen`, at most boundMs (< 0: no bound).
void waitForWorkerEnd(int seen, int boundMs) {
    timespec bound = {boundMs / 1000, (long)(boundMs % 1000) * 1000000L};
    syscall(SYS_futex, &workerEnds, FUTEX_WAIT_PRIVATE, seen, boundMs < 0 ? nullptr : &bound, nullptr, 0);
}

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
    run.record[k].worker = run.worker;
    run.record[k].done.store(0, std::memory_order_relaxed);
    run.threaded[k] = createRowThread(&run.handle[k], startWorker, &run.record[k]) == 0;
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

// One circle over the slots; true when it found a finished one.
bool circle(RowRun &run, int n, void (*rowDone)(int, void *), void *context) {
    bool found = false;
    for (int k = 0; k < n && run.finished < run.rows; ++k) {
        if (run.record[k].done.load(std::memory_order_acquire) != 1) continue;
        finish(run, k, rowDone, context);
        found = true;
    }
    return found;
}

}  // namespace

int runRowWorkers(int slots, int rows, RowWorker worker, void (*computeHere)(int),
                  void (*rowDone)(int, void *), void *context) {
    if (rows <= 0) return 0;
    // Never more slots than rows: a huge thread count costs nothing.
    const int n = std::max(1, std::min(slots, rows));
    pthread_once(&endReporterOnce, createEndReporter);
    RowRun run{rows, worker, computeHere, new RowSlot[n], new pthread_t[n], new bool[n]};
    for (int k = 0; k < n; ++k) launch(run, k);
    // Rows drawn but not yet shown must reach the screen at the present
    // interval, so a drawing caller's wait is bounded by it.
    const int boundMs = whileRowsPending ? ROW_WAIT_BOUND_MS : -1;
    while (run.finished < rows) {
        const int seen = workerEnds.load(std::memory_order_acquire);
        const bool found = circle(run, n, rowDone, context);
        if (beforeRowWait) beforeRowWait();
        if (whileRowsPending) whileRowsPending();
        if (!found && run.finished < rows) waitForWorkerEnd(seen, boundMs);
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
    reportRowDone(slot);
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
