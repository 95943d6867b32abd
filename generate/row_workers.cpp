#include "generate/row_workers.h"

#include <stdlib.h>

#include <algorithm>
#include <new>

#include "core/kernels.h"
#include "core/state.h"

int (*createRowThread)(pthread_t *, void *(*)(void *), void *) =
    [](pthread_t *thread, void *(*entry)(void *), void *arg) {
        return pthread_create(thread, nullptr, entry, arg);
    };

namespace {

struct Slots {
    RowSlot *record;
    pthread_t *handle;
    bool *threaded;  // false: the row was computed here, nothing to detach
};

bool launch(Slots &s, int k, int row, RowWorker worker, void (*computeHere)(int)) {
    s.record[k].row = row;
    s.record[k].done.store(0, std::memory_order_relaxed);
    s.threaded[k] = createRowThread(&s.handle[k], worker, &s.record[k]) == 0;
    if (s.threaded[k]) return true;
    computeHere(row);
    s.record[k].done.store(1, std::memory_order_release);
    return false;
}

}  // namespace

int runRowWorkers(int slots, int rows, RowWorker worker, void (*computeHere)(int),
                  void (*rowDone)(int, void *), void *context) {
    if (rows <= 0) return 0;
    const int n = std::max(1, std::min(slots, rows));
    Slots s;
    s.record = new RowSlot[n];
    s.handle = new pthread_t[n];
    s.threaded = new bool[n];
    int nextRow = 0, finished = 0, inline_ = 0;
    for (int k = 0; k < n && nextRow < rows; ++k)
        inline_ += !launch(s, k, nextRow++, worker, computeHere);
    for (int k = 0;; k = (k + 1) % n) {
        if (s.record[k].done.load(std::memory_order_acquire) != 1) continue;
        s.record[k].done.store(0, std::memory_order_relaxed);
        if (s.threaded[k]) pthread_detach(s.handle[k]);
        ++finished;
        rowDone(s.record[k].row, context);
        if (nextRow < rows) inline_ += !launch(s, k, nextRow++, worker, computeHere);
        if (finished == rows) break;
    }
    delete[] s.record;
    delete[] s.handle;
    delete[] s.threaded;
    return inline_;
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

void computeCurrentTypeHere(int row) { coreForType(fType)(row, fractal + GRID_SIZE * row); }

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

RowWorker workerForType(int type) {
    if (type == 0) return MANDELBROT;
    if (type == 1) return JULIA;
    if (type == 2) return M_DRAGON;
    if (type == 3) return J_DRAGON;
    if (type == 4) return M_PHOENIX;
    if (type == 5) return J_PHOENIX;
    if (type == 6) return M_COSINE;
    if (type == 7) return J_COSINE;
    if (type == 8) return M_COSH;
    return J_COSH;
}

unsigned char *(*coreForType(int type))(int, unsigned char *) {
    if (type == 0) return MANDELBROT_CORE;
    if (type == 1) return JULIA_CORE;
    if (type == 2) return M_DRAGON_CORE;
    if (type == 3) return J_DRAGON_CORE;
    if (type == 4) return M_PHOENIX_CORE;
    if (type == 5) return J_PHOENIX_CORE;
    if (type == 6) return M_COSINE_CORE;
    if (type == 7) return J_COSINE_CORE;
    if (type == 8) return M_COSH_CORE;
    return J_COSH_CORE;
}

int generateRowsThreaded(int slots, void (*rowDone)(int, void *), void *context) {
    return runRowWorkers(slots, fracHeight, workerForType(fType), computeCurrentTypeHere, rowDone,
                         context);
}
