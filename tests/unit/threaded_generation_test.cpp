// Threaded generation against the plain row-by-row loop: the grid must come
// out byte for byte the same whatever the slot count, every row must be
// computed and reported exactly once on the calling thread, and a worker
// that cannot be created must not cost a row or hang the run.
//
// The checks that need a process of their own (a real RLIMIT_NPROC, a
// capped address space) re-run this program with QUORVEX_PROBE set; the
// probe runs before main and reports through its exit status.
#include <gtest/gtest.h>
#include <grp.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <ostream>
#include <string>
#include <vector>

#include "core/kernels.h"
#include "core/state.h"
#include "generate/row_workers.h"
#include "sanitizers.h"

extern char **environ;

namespace {

struct View {
    const char *name;
    int width, height, detail;
    double xStart, xEnd, yStart, yEnd, xPivot, yPivot;
};

// The start view, and a zoom across the boundary of most types with a pivot
// that gives the J kinds some structure. The zoom uses 200 columns so that
// ten types times six grids stay quick under ThreadSanitizer; all 800 rows
// are kept, since rows are what the slots hand out.
const View START_VIEW{"start", 800, 800, 50, -5.0, 5.0, -5.0, 5.0, 0.0, 0.0};
const View ZOOMED_VIEW{"zoomed", 200, 800, 50, -1.25, -0.25, -0.25, 0.75, -0.4, 0.6};

// Bytes the generation must overwrite (inside the block in use) or keep.
const unsigned char UNTOUCHED = 0xA7;

// Under ThreadSanitizer starting a thread costs about a millisecond, and
// 800 live threads many times that; the AddressSanitizer build runs the
// kernels unoptimised. There the slot counts that run workers side by side
// and reuse slots (3 and 7) stand for the rest, which the plain build runs;
// the many-slot path runs on small grids.
#if defined(QUORVEX_UNDER_TSAN) || defined(QUORVEX_UNDER_ASAN)
const bool UNDER_SANITIZER = true;
#else
const bool UNDER_SANITIZER = false;
#endif
std::vector<int> slotCounts(std::initializer_list<int> wanted) {
    std::vector<int> out;
    for (int slots : wanted)
        if (!UNDER_SANITIZER || slots == 3 || slots == 7) out.push_back(slots);
    return out;
}

void applyView(const View &v, int type) {
    resetFractalState();
    fracWidth = v.width;
    fracHeight = v.height;
    detail = v.detail;
    xStart = v.xStart, xEnd = v.xEnd, yStart = v.yStart, yEnd = v.yEnd;
    xPivot = v.xPivot, yPivot = v.yPivot;
    setFractalType(type);
    applyScaleRule();
}

// The grid a sequential Make leaves, from the scalar reference kernel, over
// a grid that held UNTOUCHED everywhere.
std::vector<unsigned char> sequentialGrid() {
    std::vector<unsigned char> grid(GRID_CELLS, UNTOUCHED);
    const KernelView view = currentKernelView();
    for (int row = 0; row < fracHeight; ++row)
        computeRowScalar(fType, view, row, grid.data() + GRID_SIZE * row);
    return grid;
}

std::vector<unsigned char> currentGrid() { return std::vector<unsigned char>(fractal, fractal + GRID_CELLS); }

// The first differing byte as "row r column c", or "" when equal.
std::string firstDifference(const std::vector<unsigned char> &want, const std::vector<unsigned char> &got) {
    for (size_t i = 0; i < want.size(); ++i)
        if (want[i] != got[i])
            return "row " + std::to_string(i / GRID_SIZE) + " column " + std::to_string(i % GRID_SIZE) +
                   ": want " + std::to_string(want[i]) + ", got " + std::to_string(got[i]);
    return "";
}

// What the rowDone callback saw.
struct Report {
    const std::vector<unsigned char> *expected = nullptr;
    pthread_t caller;
    std::vector<int> order;
    int offThread = 0;    // reports not made on the calling thread
    int incomplete = 0;   // rows not yet fully written when reported
};

void recordRow(int row, void *context) {
    Report &r = *static_cast<Report *>(context);
    r.order.push_back(row);
    if (!pthread_equal(pthread_self(), r.caller)) ++r.offThread;
    if (r.expected && memcmp(fractal + GRID_SIZE * row, r.expected->data() + GRID_SIZE * row, fracWidth) != 0)
        ++r.incomplete;
}

// Threads created and the rows handed to them, through the creation seam.
struct Creations {
    int count = 0;
    std::vector<int> rows;
    // Creation number (0-based) -> fail it?
    bool (*fails)(int index) = nullptr;
};
Creations creations;

int countingCreate(pthread_t *thread, void *(*entry)(void *), void *arg) {
    const int index = creations.count++;
    creations.rows.push_back(static_cast<RowSlot *>(arg)->row);
    if (creations.fails && creations.fails(index)) return EAGAIN;
    return pthread_create(thread, nullptr, entry, arg);
}

// A generation that never returns would stall the whole run until the
// test driver's own timeout; end it here with a clear word instead.
void hung(int) {
    const char text[] = "threaded generation did not finish within the watchdog's time\n";
    if (write(2, text, sizeof text - 1) < 0) _exit(2);
    _exit(2);
}

class CreationSeam : public ::testing::Test {
protected:
    void SetUp() override {
        saved = createRowThread;
        creations = Creations();
        createRowThread = countingCreate;
        signal(SIGALRM, hung);
        alarm(300);  // ample even under ThreadSanitizer on a busy machine
    }
    void TearDown() override {
        alarm(0);
        createRowThread = saved;
    }

    // Runs a threaded generation over UNTOUCHED bytes; returns the rows
    // computed without a worker.
    int generate(int slots, const std::vector<unsigned char> &expected, Report &report) {
        memset(fractal, UNTOUCHED, GRID_CELLS);
        creations = Creations{0, {}, creations.fails};
        report.expected = &expected;
        report.caller = pthread_self();
        return generateRowsThreaded(slots, recordRow, &report);
    }

    int (*saved)(pthread_t *, void *(*)(void *), void *) = nullptr;
};

// Each of 0..rows-1 exactly once, in any order.
::testing::AssertionResult eachRowOnce(std::vector<int> rows, int count) {
    std::sort(rows.begin(), rows.end());
    if ((int)rows.size() != count)
        return ::testing::AssertionFailure() << rows.size() << " rows instead of " << count;
    for (int i = 0; i < count; ++i)
        if (rows[i] != i) return ::testing::AssertionFailure() << "row " << i << " missing or repeated";
    return ::testing::AssertionSuccess();
}

bool ascending(const std::vector<int> &rows) {
    for (size_t i = 0; i < rows.size(); ++i)
        if (rows[i] != (int)i) return false;
    return true;
}

// --- every type, two views, five slot counts --------------------------------

struct TypeAndView {
    int type;
    const View *view;
};
void PrintTo(const TypeAndView &p, std::ostream *os) {
    *os << FRACTAL_TYPE_NAMES[p.type] << " at the " << p.view->name << " view";
}

class ThreadedMatchesSequential : public CreationSeam,
                                  public ::testing::WithParamInterface<TypeAndView> {};

TEST_P(ThreadedMatchesSequential, SameGridForEverySlotCount) {
    applyView(*GetParam().view, GetParam().type);
    const std::vector<unsigned char> expected = sequentialGrid();
    for (int slots : slotCounts({1, 2, 3, 7, 1000})) {
        SCOPED_TRACE("t " + std::to_string(slots));
        Report report;
        EXPECT_EQ(generate(slots, expected, report), 0);
        EXPECT_EQ(firstDifference(expected, currentGrid()), "");
        EXPECT_TRUE(eachRowOnce(report.order, fracHeight));
        EXPECT_EQ(report.offThread, 0);
        EXPECT_EQ(report.incomplete, 0);
        // One new thread per row, never a row past the end.
        EXPECT_EQ(creations.count, fracHeight);
        EXPECT_TRUE(eachRowOnce(creations.rows, fracHeight));
        if (slots == 1) {
            EXPECT_TRUE(ascending(report.order));
        }
    }
}

std::vector<TypeAndView> everyTypeAndView() {
    std::vector<TypeAndView> all;
    for (const View *v : {&START_VIEW, &ZOOMED_VIEW})
        for (int type = 0; type < FRACTAL_TYPES; ++type) all.push_back({type, v});
    return all;
}

INSTANTIATE_TEST_SUITE_P(AllTypes, ThreadedMatchesSequential, ::testing::ValuesIn(everyTypeAndView()),
                         [](const ::testing::TestParamInfo<TypeAndView> &info) {
                             std::string name = FRACTAL_TYPE_NAMES[info.param.type];
                             name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
                             return name + "_" + info.param.view->name;
                         });

// --- order, handing out, the block in use -------------------------------------

using SlotBookkeeping = CreationSeam;

TEST_F(SlotBookkeeping, OneSlotReportsRowsInAscendingOrderAndHandsThemOutInOrder) {
    applyView(ZOOMED_VIEW, M_COSH_TYPE);
    const std::vector<unsigned char> expected = sequentialGrid();
    Report report;
    generate(1, expected, report);
    EXPECT_TRUE(ascending(report.order));
    EXPECT_TRUE(ascending(creations.rows));
}

TEST_F(SlotBookkeeping, SlotsStartWithTheirOwnRowNumber) {
    applyView(START_VIEW, MANDELBROT_TYPE);
    const std::vector<unsigned char> expected = sequentialGrid();
    Report report;
    generate(7, expected, report);
    ASSERT_GE(creations.rows.size(), 7u);
    EXPECT_EQ(std::vector<int>(creations.rows.begin(), creations.rows.begin() + 7),
              (std::vector<int>{0, 1, 2, 3, 4, 5, 6}));
}

TEST_F(SlotBookkeeping, SmallGridWritesAndReportsOnlyTheTopLeftBlock) {
    for (int slots : {1, 7, 1000}) {
        SCOPED_TRACE("t " + std::to_string(slots));
        applyView(START_VIEW, JULIA_TYPE);
        fracWidth = 123;
        fracHeight = 45;
        applyScaleRule();
        const std::vector<unsigned char> expected = sequentialGrid();
        Report report;
        generate(slots, expected, report);
        EXPECT_EQ(firstDifference(expected, currentGrid()), "");
        EXPECT_TRUE(eachRowOnce(report.order, 45));
        EXPECT_EQ(creations.count, 45);
        // A full-width row 0 check: column 123 onward was never written.
        EXPECT_EQ(fractal[123], UNTOUCHED);
        EXPECT_EQ(fractal[GRID_SIZE * 45], UNTOUCHED);
    }
}

TEST_F(SlotBookkeeping, SingleRowGrid) {
    applyView(START_VIEW, M_DRAGON_TYPE);
    fracWidth = 1;
    fracHeight = 1;
    applyScaleRule();
    const std::vector<unsigned char> expected = sequentialGrid();
    Report report;
    generate(1000, expected, report);
    EXPECT_EQ(firstDifference(expected, currentGrid()), "");
    EXPECT_EQ(report.order, std::vector<int>{0});
    EXPECT_EQ(creations.count, 1);
}

// --- at most `slots` workers compute at once ----------------------------------

std::atomic<int> liveWorkers{0}, mostLive{0};

void *slowCountingWorker(void *arg) {
    RowSlot *slot = static_cast<RowSlot *>(arg);
    const int live = liveWorkers.fetch_add(1) + 1;
    int seen = mostLive.load();
    while (live > seen && !mostLive.compare_exchange_weak(seen, live)) {
    }
    struct timespec pause = {0, 300000};
    nanosleep(&pause, nullptr);
    fractal[GRID_SIZE * slot->row] = (unsigned char)slot->row;
    liveWorkers.fetch_sub(1);
    slot->done.store(1, std::memory_order_release);
    pthread_exit(nullptr);
}

void markHere(int row) { fractal[GRID_SIZE * row] = (unsigned char)row; }
void ignoreRow(int, void *) {}

TEST(SlotLimit, NeverMoreLiveWorkersThanSlots) {
    for (int slots : {1, 3}) {
        SCOPED_TRACE("t " + std::to_string(slots));
        mostLive = 0;
        EXPECT_EQ(runRowWorkers(slots, 60, slowCountingWorker, markHere, ignoreRow, nullptr), 0);
        EXPECT_GE(mostLive.load(), 1);
        EXPECT_LE(mostLive.load(), slots);
        for (int row = 0; row < 60; ++row) EXPECT_EQ(fractal[GRID_SIZE * row], row);
    }
}

// --- the main thread sleeps between circles and never misses a worker ---------

void *instantWorker(void *arg) {
    RowSlot *slot = static_cast<RowSlot *>(arg);
    fractal[GRID_SIZE * slot->row] = (unsigned char)slot->row;
    slot->done.store(1, std::memory_order_release);
    pthread_exit(nullptr);
}

// Workers end while the main thread is between its circle and its sleep.
void pauseBeforeSleep() {
    struct timespec pause = {0, 200000};
    nanosleep(&pause, nullptr);
}

// Without drawing the sleep has no bound, so a lost wake-up hangs the run
// and the watchdog ends the program.
TEST(Sleeping, WorkersEndingJustBeforeTheSleepOrAtOnceAreNeverMissed) {
    signal(SIGALRM, hung);
    alarm(300);
    for (void (*seam)() : {pauseBeforeSleep, (void (*)())nullptr}) {
        beforeRowWait = seam;
        for (int slots : {1, 2, 7}) {
            memset(fractal, UNTOUCHED, GRID_CELLS);
            EXPECT_EQ(runRowWorkers(slots, GRID_SIZE, instantWorker, markHere, ignoreRow, nullptr), 0);
            for (int row = 0; row < GRID_SIZE; ++row) ASSERT_EQ(fractal[GRID_SIZE * row], (unsigned char)row);
        }
        applyView(ZOOMED_VIEW, MANDELBROT_TYPE);
        const std::vector<unsigned char> expected = sequentialGrid();
        memset(fractal, UNTOUCHED, GRID_CELLS);
        generateRowsThreaded(2, ignoreRow, nullptr);
        EXPECT_EQ(firstDifference(expected, currentGrid()), "");
    }
    beforeRowWait = nullptr;
    alarm(0);
}

// --- workers that cannot be created -------------------------------------------

struct FailurePattern {
    const char *name;
    bool (*fails)(int index);
};
void PrintTo(const FailurePattern &p, std::ostream *os) { *os << "failing " << p.name; }

const FailurePattern FAILURE_PATTERNS[] = {
    {"every", [](int) { return true; }},
    {"first", [](int index) { return index == 0; }},
    {"everyThird", [](int index) { return index % 3 == 2; }},
    {"afterTen", [](int index) { return index >= 10; }},  // the system runs out mid-run
};

class CreationFailure : public CreationSeam, public ::testing::WithParamInterface<FailurePattern> {};

TEST_P(CreationFailure, EveryRowStillComputedAndReportedOnce) {
    applyView(ZOOMED_VIEW, J_PHOENIX_TYPE);
    const std::vector<unsigned char> expected = sequentialGrid();
    for (int slots : slotCounts({1, 3, 1000})) {
        SCOPED_TRACE("t " + std::to_string(slots));
        creations.fails = GetParam().fails;
        Report report;
        const int computedHere = generate(slots, expected, report);
        int failed = 0;
        for (int i = 0; i < creations.count; ++i) failed += GetParam().fails(i);
        EXPECT_EQ(computedHere, failed);
        EXPECT_GT(computedHere, 0);
        EXPECT_EQ(firstDifference(expected, currentGrid()), "");
        EXPECT_TRUE(eachRowOnce(report.order, fracHeight));
        EXPECT_TRUE(eachRowOnce(creations.rows, fracHeight));
        EXPECT_EQ(report.offThread, 0);
        EXPECT_EQ(report.incomplete, 0);
        if (slots == 1) {
            EXPECT_TRUE(ascending(report.order));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Patterns, CreationFailure, ::testing::ValuesIn(FAILURE_PATTERNS),
                         [](const ::testing::TestParamInfo<FailurePattern> &info) {
                             return info.param.name;
                         });

// --- probes in a process of their own -------------------------------------------

enum ProbeStatus { PROBE_OK = 0, PROBE_WRONG_GRID = 10, PROBE_SETUP_FAILED = 11, PROBE_LIMIT_NOT_FELT = 12 };

// Generates `types` with real threads on `slots` slots; PROBE_OK when the
// grids match the reference. Sets *computedHere to the rows done without a worker.
int generateAndCompare(int slots, std::initializer_list<int> types, int rows, int *computedHere) {
    *computedHere = 0;
    for (int type : types) {
        applyView(ZOOMED_VIEW, type);
        fracHeight = rows;
        applyScaleRule();
        const std::vector<unsigned char> expected = sequentialGrid();
        memset(fractal, UNTOUCHED, GRID_CELLS);
        Report report;
        report.expected = &expected;
        report.caller = pthread_self();
        *computedHere += generateRowsThreaded(slots, recordRow, &report);
        const std::string diff = firstDifference(expected, currentGrid());
        if (!diff.empty() || !eachRowOnce(report.order, fracHeight) || report.incomplete) {
            fprintf(stderr, "probe: %s, slots %d: %s\n", FRACTAL_TYPE_NAMES[type], slots, diff.c_str());
            return PROBE_WRONG_GRID;
        }
    }
    return PROBE_OK;
}

// Root ignores RLIMIT_NPROC: become an unprivileged user first.
bool dropToNobody() {
    if (geteuid() != 0) return true;
    const gid_t nobodyGroup = 65534;
    const uid_t nobody = 65534;
    return setgroups(0, nullptr) == 0 && setgid(nobodyGroup) == 0 && setuid(nobody) == 0;
}

void *doNothing(void *) { return nullptr; }

// At most `processes` processes and threads for this user: the first few
// workers may start, the rest cannot.
int nprocProbe(int processes, int slots) {
    const rlimit limit{(rlim_t)processes, (rlim_t)processes};
    if (!dropToNobody() || setrlimit(RLIMIT_NPROC, &limit) != 0) return PROBE_SETUP_FAILED;
    int computedHere = 0;
    const int status = generateAndCompare(slots, {MANDELBROT_TYPE, M_COSINE_TYPE}, GRID_SIZE, &computedHere);
    if (status != PROBE_OK) return status;
    if (processes == 1) {
        pthread_t t;
        if (pthread_create(&t, nullptr, doNothing, nullptr) == 0) return PROBE_LIMIT_NOT_FELT;
    }
    return computedHere > 0 ? PROBE_OK : PROBE_LIMIT_NOT_FELT;
}

#if !defined(QUORVEX_UNDER_ASAN) && !defined(QUORVEX_UNDER_TSAN)
long addressSpaceBytes() {
    long pages = 0;
    FILE *f = fopen("/proc/self/statm", "r");
    if (!f) return -1;
    if (fscanf(f, "%ld", &pages) != 1) pages = -1;
    fclose(f);
    return pages < 0 ? -1 : pages * sysconf(_SC_PAGESIZE);
}
#endif

// A thread count far beyond the rows, with the address space capped a
// little above what the process uses (where the sanitizers, which reserve
// terabytes of shadow, allow a cap at all).
int hugeSlotCountProbe() {
#if !defined(QUORVEX_UNDER_ASAN) && !defined(QUORVEX_UNDER_TSAN)
    const long used = addressSpaceBytes();
    const rlim_t cap = (rlim_t)used + (rlim_t)256 * 1024 * 1024;
    const rlimit limit{cap, cap};
    if (used < 0 || setrlimit(RLIMIT_AS, &limit) != 0) return PROBE_SETUP_FAILED;
#endif
    int computedHere = 0;
    // 100 rows: more threads than the capped space holds stacks for.
    const int status = generateAndCompare(100000000, {MANDELBROT_TYPE}, 100, &computedHere);
    if (status != PROBE_OK) return status;
    return generateAndCompare(2147483647, {J_DRAGON_TYPE}, 100, &computedHere);
}

// Runs before main when this program was started as a probe.
[[maybe_unused]] const int probeRunner = [] {
    const char *probe = getenv("QUORVEX_PROBE");
    if (!probe) return 0;
    int status = PROBE_SETUP_FAILED;
    if (strcmp(probe, "nproc-none") == 0) status = nprocProbe(1, 4);
    else if (strcmp(probe, "nproc-few") == 0) status = nprocProbe(3, 7);
    else if (strcmp(probe, "huge-slot-count") == 0) status = hugeSlotCountProbe();
    fflush(stderr);
    _exit(status);
}();

// Re-runs this program as the probe `name`; a probe still running after
// the deadline is killed and counts as hung.
std::string runProbe(const char *name) {
    const std::string variable = std::string("QUORVEX_PROBE=") + name;
    std::vector<char *> env{const_cast<char *>(variable.c_str())};
    for (char **e = environ; *e; ++e)
        if (strncmp(*e, "QUORVEX_PROBE=", 14) != 0) env.push_back(*e);
    env.push_back(nullptr);
    char self[] = "/proc/self/exe";
    char *argv[] = {self, nullptr};
    pid_t pid;
    if (posix_spawn(&pid, self, nullptr, nullptr, argv, env.data()) != 0) return "could not start";
    int status = 0;
    for (int waited = 0; waitpid(pid, &status, WNOHANG) == 0; ++waited) {
        if (waited == 3000) {  // 300 s, ample even under ThreadSanitizer
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return "hung";
        }
        struct timespec pause = {0, 100000000};
        nanosleep(&pause, nullptr);
    }
    if (WIFSIGNALED(status)) return "killed by signal " + std::to_string(WTERMSIG(status));
    if (WEXITSTATUS(status) == PROBE_WRONG_GRID) return "wrong grid";
    if (WEXITSTATUS(status) == PROBE_SETUP_FAILED) return "could not set up the limits";
    if (WEXITSTATUS(status) == PROBE_LIMIT_NOT_FELT) return "the limit did not stop thread creation";
    return WEXITSTATUS(status) == PROBE_OK ? "ok" : "exit status " + std::to_string(WEXITSTATUS(status));
}

TEST(ProcessLimits, NoThreadAllowedStillFinishesWithTheSequentialGrid) {
    EXPECT_EQ(runProbe("nproc-none"), "ok");
}

TEST(ProcessLimits, FewThreadsAllowedStillFinishesWithTheSequentialGrid) {
    EXPECT_EQ(runProbe("nproc-few"), "ok");
}

TEST(ProcessLimits, HugeSlotCountNeedsNoMoreMemoryThanTheRows) {
    EXPECT_EQ(runProbe("huge-slot-count"), "ok");
}

}  // namespace
