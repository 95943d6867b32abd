// Fuzz target: the tile file reader on arbitrary bytes, against the header
// the bytes themselves claim (so that every check past the names is
// reached) and against a fixed one. A refusal is one line; an accepted tile
// gives every row, each value a count within the format's limits or the
// mark of a sample that never escaped, and is refused no more once read.
#include <math.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "files/atomic_write.h"
#include "files/tile_file.h"
#include "fuzz_input.h"

namespace {

int field(const uint8_t *data, size_t at) {
    return (int)((uint32_t)data[at] | (uint32_t)data[at + 1] << 8 | (uint32_t)data[at + 2] << 16 |
                 (uint32_t)data[at + 3] << 24);
}

// The header the bytes name (unchecked: the reader checks), or a fixed one.
TileHeader claimed(const uint8_t *data, size_t size) {
    TileHeader h = {TILE_SMOOTH, 8, 6, 2, 2, 2, 3, {4, 3, 4, 3}, 0};
    if (size < TILE_HEADER_SIZE) return h;
    h.encoding = field(data, 12), h.pictureWidth = field(data, 16), h.pictureHeight = field(data, 20);
    h.aa = field(data, 24), h.columns = field(data, 28), h.rows = field(data, 32), h.index = field(data, 36);
    h.area = TileArea{field(data, 40), field(data, 44), field(data, 48), field(data, 52)};
    memcpy(&h.digest, data + 56, 8);
    return h;
}

void oneLine(const char *reason) {
    if (!memchr(reason, '\0', FILE_ERROR_SIZE) || strchr(reason, '\n') || !reason[0]) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const char *path = writeFuzzInput(data, size);
    const TileHeader want = claimed(data, size);
    TileReader t;
    ValueBins bins;
    char reason[FILE_ERROR_SIZE] = "";
    if (!openTile(path, want, t, &bins, reason)) {
        oneLine(reason);
        if (tileFileMatches(path, want)) abort();
        return 0;
    }
    if (bins.total > tileSamples(t.header)) abort();
    std::vector<double> row((size_t)t.header.area.width * (size_t)t.header.aa), distance(row.size());
    const int rows = t.header.area.height * t.header.aa;
    int whole = 1;
    for (int r = 0; r < rows && whole; ++r) {
        whole = readTileRow(t, row.data(), distance.data(), reason);
        for (double v : row)
            if (whole && v != INSIDE_VALUE && !(v > -TILE_BIN_SLACK - 1 && v < TILE_MAX_COUNT + TILE_BIN_SLACK + 1))
                abort();
        for (double d : distance)
            if (whole && (t.header.encoding & TILE_DISTANCES) && !(d >= 0)) abort();
    }
    closeTile(t);
    if (!whole) oneLine(reason);
    if (whole != tileFileMatches(path, want)) abort();
    return 0;
}
