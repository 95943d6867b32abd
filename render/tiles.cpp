#include "render/tiles.h"

#include <limits.h>
#include <string.h>

#include "render/output.h"

namespace {

const RenderOptions &optionsOf(const TileJoin &j) { return j.plan->options; }

// The first tile of row `row` of the grid.
TileArea rowArea(const RenderOptions &o, int row) {
    return tileArea(o.width, o.height, o.tileColumns, o.tileRows, row * o.tileColumns);
}

int tileFailed(int k, const std::string &path, const char *why, char *reason) {
    return failWith(0, reason, "cannot join tile %d, %s: %s", k, path.c_str(), why);
}

// Opens the tiles of grid row `row` for their samples (the previous row's
// are closed: all their samples are in the ring).
int openTileRow(TileJoin &j, int row, char *reason) {
    const RenderOptions &o = optionsOf(j);
    for (int c = 0; c < o.tileColumns; ++c) {
        const int k = row * o.tileColumns + c;
        const std::string path = tilePathOf(o, k);
        char why[FILE_ERROR_SIZE] = "";
        if (!openTile(path.c_str(), tileHeaderOf(*j.plan, k), j.open[(size_t)c], nullptr, why))
            return tileFailed(k, path, why, reason);
    }
    j.openRow = row;
    return 1;
}

// The next sample row, across a row of tiles, into the ring.
int readSampleRow(TileJoin &j, char *reason) {
    const RenderOptions &o = optionsOf(j);
    const int n = o.aa, pixelRow = j.samplesRead / n;
    if (j.openRow < 0 || pixelRow >= rowArea(o, j.openRow).y + rowArea(o, j.openRow).height)
        if (!openTileRow(j, j.openRow + 1, reason)) return 0;
    const size_t at = (size_t)(j.samplesRead % (n + 2));
    double *row = j.ring[at].data(), *distance = j.distanceRing.empty() ? nullptr : j.distanceRing[at].data();
    for (int c = 0; c < o.tileColumns; ++c) {
        TileReader &t = j.open[(size_t)c];
        const size_t x = (size_t)t.header.area.x * (size_t)n;
        char why[FILE_ERROR_SIZE] = "";
        if (!readTileRow(t, row + x, distance ? distance + x : nullptr, why)) {
            const int k = j.openRow * o.tileColumns + c;
            return tileFailed(k, tilePathOf(o, k), why, reason);
        }
    }
    ++j.samplesRead;
    return 1;
}

// Pixel row `row` (the rows above it done) into `out`; 0 with a reason.
int colourRow(TileJoin &j, int row, unsigned char *out, char *reason) {
    const RenderOptions &o = optionsOf(j);
    const int n = o.aa, last = o.height * n - 1;
    const int needed = row * n + n < last ? row * n + n : last;  // the row below this pixel row's samples
    while (j.samplesRead <= needed)
        if (!readSampleRow(j, reason)) return 0;
    const double *rows[TILE_MAX_AA + 2], *distances[TILE_MAX_AA + 2];
    for (int a = -1; a <= n; ++a) {
        const int s = row * n + a < 0 ? 0 : row * n + a > last ? last : row * n + a;
        rows[a + 1] = j.ring[(size_t)(s % (n + 2))].data();
        distances[a + 1] = j.distanceRing.empty() ? nullptr : j.distanceRing[(size_t)(s % (n + 2))].data();
    }
    colourValuesRow(j.plan->style, j.plan->tables, &j.histogram, o.params.detail, rows,
                    j.distanceRing.empty() ? nullptr : distances, out);
    if (row == o.height - 1)
        for (TileReader &t : j.open) closeTile(t);
    return 1;
}

// The reader thread: every pixel row in turn, at most JOIN_AHEAD ahead of
// the writer; a failure ends it, its reason kept for the writer.
void readAhead(TileJoin *join) {
    TileJoin &j = *join;
    const int height = optionsOf(j).height;
    for (int row = 0; row < height; ++row) {
        {
            std::unique_lock<std::mutex> hold(j.lock);
            j.changed.wait(hold, [&] { return j.quit || row - j.taken < JOIN_AHEAD; });
            if (j.quit) return;
        }
        char why[RENDER_REASON_SIZE] = "";
        const int made = colourRow(j, row, j.ahead[(size_t)(row % JOIN_AHEAD)].data(), why);
        std::lock_guard<std::mutex> hold(j.lock);
        if (!made) {
            memcpy(j.why, why, sizeof why);
            j.failed = 1;
        } else {
            j.coloured = row + 1;
        }
        j.changed.notify_all();
        if (!made) return;
    }
}

// Row `row` from the reader thread, started with the first row.
int takeRow(TileJoin &j, int row, unsigned char *out, char *reason) {
    const size_t bytes = j.ahead[0].size();
    if (!j.reader.joinable()) j.reader = std::thread(readAhead, &j);
    std::unique_lock<std::mutex> hold(j.lock);
    j.changed.wait(hold, [&] { return j.coloured > row || j.failed; });
    if (j.coloured <= row) return failWith(0, reason, "%s", j.why);
    memcpy(out, j.ahead[(size_t)(row % JOIN_AHEAD)].data(), bytes);
    j.taken = row + 1;
    j.changed.notify_all();
    return 1;
}

}  // namespace

TileJoin::~TileJoin() {
    if (reader.joinable()) {
        {
            std::lock_guard<std::mutex> hold(lock);
            quit = 1;
        }
        changed.notify_all();
        reader.join();
    }
    for (TileReader &t : open) closeTile(t);
}

int startJoin(TileJoin &j, const RenderPlan &p, const std::atomic<int> *stop, char *reason) {
    const RenderOptions &o = p.options;
    j.plan = &p;
    const bool histogram = p.style.look && p.style.look->mapping == COLOUR_HISTOGRAM;
    ValueBins all = {0, {}, 0};
    for (int k = 0; k < o.tileColumns * o.tileRows; ++k) {
        if (stop && stop->load() != 0) return failWith(0, reason, "%s", WRITE_INTERRUPTED);
        const std::string path = tilePathOf(o, k);
        TileReader t;
        ValueBins bins;
        char why[FILE_ERROR_SIZE] = "";
        if (!openTile(path.c_str(), tileHeaderOf(p, k), t, histogram ? &bins : nullptr, why))
            return tileFailed(k, path, why, reason);
        closeTile(t);
        if (histogram) mergeBins(all, bins);
    }
    if (histogram) j.histogram = histogramOf({&all});
    j.open.resize((size_t)o.tileColumns);
    j.ring.assign((size_t)o.aa + 2, std::vector<double>((size_t)o.width * (size_t)o.aa));
    j.distanceRing.assign(o.look.distance ? (size_t)o.aa + 2 : 0, std::vector<double>((size_t)o.width * (size_t)o.aa));
    j.openRow = -1, j.samplesRead = 0, j.failed = 0;
    if (o.threads > 1)
        j.ahead.assign(JOIN_AHEAD, std::vector<unsigned char>((size_t)o.width * (p.style.coloured ? 3 : 1)));
    return 1;
}


int joinRow(int row, unsigned char *out, void *join, char *reason) {
    TileJoin &j = *(TileJoin *)join;
    if (!j.ahead.empty()) return takeRow(j, row, out, reason);
    if (colourRow(j, row, out, reason)) return 1;
    j.failed = 1;
    return 0;
}
