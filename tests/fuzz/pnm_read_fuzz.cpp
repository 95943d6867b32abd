// Fuzz target: both PNM readers on arbitrary bytes. They must agree with
// each other (both null, or the same size, colour flag and pixels) and
// never hand back an image beyond the readers' limits.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "files/pnm.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    char *path = writeFuzzInput(data, size);
    int w1 = -1, h1 = -1, c1 = -1, w2 = -1, h2 = -1, c2 = -1;
    unsigned char *packed = PGM_FILE_READ_1D(path, &w1, &h1, &c1);
    unsigned char **rows = PGM_FILE_READ_2D(path, &w2, &h2, &c2);
    if ((packed == nullptr) != (rows == nullptr)) abort();
    if (packed) {
        if (w1 != w2 || h1 != h2 || c1 != c2 || (c1 != 0 && c1 != 1)) abort();
        if (w1 < 1 || h1 < 1 || w1 > MAX_PNM_SIDE || h1 > MAX_PNM_SIDE) abort();
        if ((long long)w1 * h1 > MAX_PNM_PIXELS) abort();
        const size_t rowBytes = (size_t)w1 * (c1 == 1 ? 3 : 1);
        for (int i = 0; i < h1; ++i)
            if (memcmp(rows[i], packed + rowBytes * i, rowBytes) != 0) abort();
    } else if (w1 != -1 || h1 != -1 || c1 != -1 || w2 != -1 || h2 != -1 || c2 != -1) {
        abort();  // a refused image leaves the out-values alone
    }
    free(packed);
    freePnmRows(rows, h2);
    return 0;
}
