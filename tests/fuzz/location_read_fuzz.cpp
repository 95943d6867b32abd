// Fuzz target: the location file reader on arbitrary bytes. A refused file
// leaves the location as it was; an accepted one holds numbers the deep
// engine takes (within the limits of deep/location.h), is read back the same
// from what the writer makes of it, and has a view in finite doubles.
#include <math.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "deep/location.h"
#include "files/atomic_write.h"
#include "fuzz_input.h"

namespace {

bool sameLocation(const DeepLocation &a, const DeepLocation &b) {
    return a.type == b.type && a.detail == b.detail && a.re == b.re && a.im == b.im && a.width == b.width &&
           a.pivotRe == b.pivotRe && a.pivotIm == b.pivotIm;
}

std::string text(const DeepLocation &l) {
    char *out = nullptr;
    size_t size = 0;
    const std::string noLook;
    const LocationText t{&l, &noLook};
    FILE *f = open_memstream(&out, &size);
    if (!f || !writeLocationText(f, &t, nullptr) || fclose(f) != 0) abort();
    std::string all(out, size);
    free(out);
    return all;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const char *path = writeFuzzInput(data, size);
    const DeepLocation before = defaultLocation();
    DeepLocation loc = before;
    char reason[FILE_ERROR_SIZE];
    if (!readLocationFile(path, loc, reason)) {
        if (!sameLocation(loc, before) || !memchr(reason, '\0', sizeof reason) || strchr(reason, '\n')) abort();
        return 0;
    }
    for (const std::string *n : {&loc.re, &loc.im, &loc.width, &loc.pivotRe, &loc.pivotIm})
        if (!isDecimalNumber(*n)) abort();
    const std::string written = text(loc);
    DeepLocation again = defaultLocation();
    path = writeFuzzInput((const uint8_t *)written.data(), written.size());
    if (loc.detail < 1 || !readLocationFile(path, again, reason) || !sameLocation(loc, again)) abort();
    double view[4];
    locationView(loc, 16, 9, view);
    for (double v : view)
        if (!isfinite(v)) abort();
    return 0;
}
