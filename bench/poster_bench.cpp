// Posters in tiles, with the real quorvex-render in child processes:
//   - an 8192 x 8192 deep still (0,1 at a width of 3e-31, detail 2000) made
//     in one run against the same still made as 16 tiles (4x4, one command,
//     all on this machine) and joined: the overhead of splitting and
//     joining as a ratio of real times (target: at most 1.05x), the runs
//     taken alternately, and the join's own time and peak memory;
//   - the join of a 16384 x 16384 picture from 64 tiles (8x8): its peak
//     memory against 64 MiB. Those tiles are written here, their values a
//     simple function of the place (what the join holds does not depend on
//     them), so that the measure takes seconds, not an hour of computing.
// Peak memory is the child's ru_maxrss (wait4). Both pictures are compared
// with their one-run twin where there is one: a join that differs is a fault.
//
//   poster_bench [ROUNDS [SIDE]]   rounds of the alternation (default 2);
//                                  SIDE shrinks the deep still (default 8192)
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cli/options.h"
#include "files/tile_file.h"
#include "render/plan.h"
#include "render/tiles.h"

namespace {

struct Child {
    double seconds, cpu;  // real, and processor time of all its threads
    long peakKiB;
    int ok;
};

double now() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (double)ts.tv_sec + (double)ts.tv_nsec / 1e9;
}

// quorvex-render with `args`, its standard error kept for a failure only.
Child render(const std::vector<std::string> &args) {
    std::vector<char *> argv = {(char *)QUORVEX_RENDER_BINARY};
    for (const std::string &a : args) argv.push_back((char *)a.c_str());
    argv.push_back(nullptr);
    const double start = now();
    const pid_t pid = fork();
    if (pid == 0) {
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage use;
    memset(&use, 0, sizeof use);
    if (pid < 0 || wait4(pid, &status, 0, &use) != pid) return Child{0, 0, 0, 0};
    const double cpu = (double)use.ru_utime.tv_sec + use.ru_utime.tv_usec / 1e6 + (double)use.ru_stime.tv_sec +
                       use.ru_stime.tv_usec / 1e6;
    return Child{now() - start, cpu, use.ru_maxrss, WIFEXITED(status) && WEXITSTATUS(status) == 0};
}

std::string slurp(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

std::vector<std::string> with(std::vector<std::string> a, const std::vector<std::string> &more) {
    a.insert(a.end(), more.begin(), more.end());
    return a;
}

int failed(const char *what) {
    fprintf(stderr, "poster_bench: %s failed\n", what);
    return 1;
}

// The deep still in one run and in tiles, alternately; 0 when a run failed.
int deepPoster(const std::string &dir, int rounds, int side) {
    const std::string size = std::to_string(side) + "x" + std::to_string(side);
    const std::vector<std::string> still = {"--center=0,1", "--width", "3e-31", "--detail", "2000",
                                            "--size",       size,    "--threads", "2"};
    const std::string tiles = dir + "/deep-%02d", one = dir + "/one.png", joined = dir + "/joined.png";
    double whole = 0, split = 0, join = 0, wholeCpu = 0, splitCpu = 0;
    long joinPeak = 0;
    for (int r = 0; r < rounds; ++r) {
        const Child a = render(with(still, {one}));
        if (system(("rm -f " + dir + "/deep-*").c_str()) != 0) return failed("clearing the tiles");
        const Child made = render(with(still, {"--tiles", "4x4", tiles}));
        const Child joining = render(with(still, {"--tiles", "4x4", "--join", tiles, joined}));
        if (!a.ok || !made.ok || !joining.ok) return failed("a deep run");
        if (slurp(one) != slurp(joined)) return failed("the join: it differs from the one-run still,");
        whole += a.seconds, split += made.seconds + joining.seconds, join += joining.seconds;
        wholeCpu += a.cpu, splitCpu += made.cpu + joining.cpu;
        if (joining.peakKiB > joinPeak) joinPeak = joining.peakKiB;
        printf("round %d: one run %.2f s (cpu %.2f); 16 tiles %.2f s (cpu %.2f) + join %.2f s (cpu %.2f)\n", r + 1,
               a.seconds, a.cpu, made.seconds, made.cpu, joining.seconds, joining.cpu);
        fflush(stdout);
    }
    printf("%s deep still, %d rounds (a shared machine: re-measure when quiet)\n", size.c_str(), rounds);
    printf("  tiles and join / one run          %6.3fx   (target at most 1.05x)\n", split / whole);
    printf("  the same in processor time        %6.3fx\n", splitCpu / wholeCpu);
    printf("  join: %.2f s a round, peak %.1f MiB\n", join / rounds, joinPeak / 1024.0);
    return 1;
}

// The plan of a command line, as quorvex-render makes it.
int planOf(std::vector<std::string> args, RenderPlan &plan) {
    args.insert(args.begin(), "quorvex-render");
    std::vector<char *> argv;
    for (std::string &a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    RenderOptions o = defaultRenderOptions();
    char reason[RENDER_REASON_SIZE] = "";
    if (parseRenderOptions((int)args.size(), argv.data(), o, reason) != RENDER_PARSE_OK ||
        planRender(o, plan, nullptr, reason) != PLAN_READY) {
        fprintf(stderr, "poster_bench: %s\n", reason);
        return 0;
    }
    return 1;
}

// 64 tiles of a 16384 x 16384 picture, written here, joined by the program.
int bigJoin(const std::string &dir) {
    const std::string tiles = dir + "/big-%02d";
    const std::vector<std::string> picture = {"--size", "16384x16384", "--detail", "1000", "--colour", "histogram",
                                              "--tiles", "8x8"};
    std::unique_ptr<RenderPlan> plan(new RenderPlan());
    if (!planOf(with(picture, {tiles}), *plan)) return 0;
    std::vector<double> values;
    for (int k = 0; k < 64; ++k) {
        const TileHeader h = tileHeaderOf(*plan, k);
        values.resize(tileSamples(h));
        for (int y = 0; y < h.area.height; ++y)
            for (int x = 0; x < h.area.width; ++x) {
                const int gx = h.area.x + x, gy = h.area.y + y, v = (gx / 64 + gy / 32) % 1001;
                values[(size_t)y * (size_t)h.area.width + (size_t)x] = v == 1000 ? INSIDE_VALUE : v;
            }
        char why[FILE_ERROR_SIZE] = "", path[4096];
        snprintf(path, sizeof path, tiles.c_str(), k);
        if (!writeTileFile(path, h, binsOf(values.data(), values.size()), values.data(), nullptr, why)) {
            fprintf(stderr, "poster_bench: %s: %s\n", path, why);
            return 0;
        }
    }
    std::vector<double>().swap(values);
    const Child joining = render(with(picture, {"--join", tiles, dir + "/big.png"}));
    if (!joining.ok) return failed("the 16384 x 16384 join");
    printf("16384x16384 from 64 tiles: join %.2f s, peak %.1f MiB (target under 64 MiB)\n", joining.seconds,
           joining.peakKiB / 1024.0);
    return 1;
}

}  // namespace

int main(int argc, char **argv) {
    const int rounds = argc > 1 ? atoi(argv[1]) : 2, side = argc > 2 ? atoi(argv[2]) : 8192;
    char pattern[] = "/tmp/quorvex-poster-bench-XXXXXX";
    if (!mkdtemp(pattern)) return failed("making a scratch directory");
    const std::string dir = pattern;
    const int ok = rounds > 0 && side > 0 && deepPoster(dir, rounds, side) && bigJoin(dir);
    if (system(("rm -rf '" + dir + "'").c_str()) != 0) fprintf(stderr, "cannot remove %s\n", dir.c_str());
    return ok ? 0 : 1;
}
