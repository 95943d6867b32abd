#include "render/rows.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace {

// How often the waiting thread reports progress.
const std::chrono::milliseconds PROGRESS_PERIOD(100);

struct SharedRows {
    RowFunction row;
    void *rowContext;
    RenderGrid grid;
    const std::atomic<int> *stop;
    std::atomic<int> next{0};  // the next row nobody has taken
    std::atomic<int> done{0};  // rows finished
    std::mutex lock;
    std::condition_variable allEnded;
    int running = 0;  // workers not yet ended, under `lock`
};

bool stopAsked(const SharedRows &s) {
    return s.stop && s.stop->load(std::memory_order_relaxed) != 0;
}

void computeRows(SharedRows &s) {
    for (;;) {
        if (stopAsked(s)) return;
        const int row = s.next.fetch_add(1, std::memory_order_relaxed);
        if (row >= s.grid.height) return;
        if (!s.row(row, s.grid.cells + s.grid.stride * (size_t)row, s.rowContext)) return;
        s.done.fetch_add(1, std::memory_order_relaxed);
    }
}

void worker(SharedRows *s) {
    computeRows(*s);
    std::lock_guard<std::mutex> hold(s->lock);
    if (--s->running == 0) s->allEnded.notify_one();
}

// Starts up to `threads` workers; returns them (fewer when the system
// refuses more threads).
std::vector<std::thread> startWorkers(SharedRows &s, int threads) {
    std::vector<std::thread> workers;
    workers.reserve((size_t)threads);
    for (int k = 0; k < threads; ++k) {
        {
            std::lock_guard<std::mutex> hold(s.lock);
            ++s.running;
        }
        try {
            workers.emplace_back(worker, &s);
        } catch (const std::system_error &) {
            std::lock_guard<std::mutex> hold(s.lock);
            --s.running;
            break;
        }
    }
    return workers;
}

void waitForWorkers(SharedRows &s, RenderProgress progress, void *context) {
    std::unique_lock<std::mutex> hold(s.lock);
    while (!s.allEnded.wait_for(hold, PROGRESS_PERIOD, [&] { return s.running == 0; }))
        if (progress) progress(s.done.load(std::memory_order_relaxed), s.grid.height, context);
}

struct KernelRows {
    int type;
    KernelView view;
};

int kernelRow(int row, unsigned char *out, void *context) {
    const KernelRows &k = *(const KernelRows *)context;
    computeRow(k.type, k.view, row, out);
    return 1;
}

}  // namespace

RenderResult renderGrid(const FractalParams &params, const RenderGrid &grid, int threads,
                        const std::atomic<int> *stop, RenderProgress progress, void *context) {
    KernelRows k = {params.type, kernelViewFor(params, grid.width, grid.height)};
    return renderRows(grid, threads, stop, kernelRow, &k, progress, context);
}

RenderResult renderRows(const RenderGrid &grid, int threads, const std::atomic<int> *stop, RowFunction row,
                        void *rowContext, RenderProgress progress, void *context) {
    SharedRows s;
    s.row = row;
    s.rowContext = rowContext;
    s.grid = grid;
    s.stop = stop;
    std::vector<std::thread> workers = startWorkers(s, threads < 1 ? 1 : threads);
    if (workers.empty()) computeRows(s);  // no thread could start: do it here
    waitForWorkers(s, progress, context);
    for (std::thread &t : workers) t.join();
    if (progress) progress(s.done.load(), grid.height, context);
    return s.done.load() == grid.height ? RENDER_DONE : RENDER_STOPPED;
}
