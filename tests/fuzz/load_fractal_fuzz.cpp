// Fuzz target: LOAD_FRACTAL on arbitrary bytes. Besides the sanitizers'
// checks it holds the loader to its promise: a refused file changes no
// program-wide value and no grid cell; an accepted one leaves a state the
// kernels can run on.
#include <stdint.h>
#include <string.h>

#include "core/state.h"
#include "files/paramfile.h"
#include "fuzz_input.h"

namespace {

// Static, so that no input pays for mapping and unmapping a grid copy.
struct State {
    int width, height, limit, type;
    double values[6];
    char typeName[TEXT_FIELD];
    unsigned char grid[GRID_CELLS];

    void take() {
        width = fracWidth, height = fracHeight, limit = detail, type = fType;
        const double now[6] = {xStart, xEnd, xPivot, yStart, yEnd, yPivot};
        memcpy(values, now, sizeof values);
        memcpy(typeName, fracType, sizeof typeName);
        memcpy(grid, fractal, sizeof grid);
    }
    bool operator==(const State &o) const {
        return width == o.width && height == o.height && limit == o.limit && type == o.type &&
               memcmp(values, o.values, sizeof values) == 0 &&
               memcmp(typeName, o.typeName, sizeof typeName) == 0 &&
               memcmp(grid, o.grid, sizeof grid) == 0;
    }
};

State before, after;

bool runnable() {
    return fracWidth >= 1 && fracWidth <= GRID_SIZE && fracHeight >= 1 && fracHeight <= GRID_SIZE &&
           detail >= 1 && detail <= MAX_DETAIL && fType >= 0 && fType < FRACTAL_TYPES &&
           memchr(fracType, '\0', TEXT_FIELD) != nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    char *path = writeFuzzInput(data, size);
    before.take();
    const int loaded = LOAD_FRACTAL(path);
    if (loaded != 0 && loaded != 1) abort();
    after.take();
    if (loaded == 0 && !(after == before)) abort();
    if (!runnable()) abort();
    return 0;
}
