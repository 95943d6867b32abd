// Fuzz target: a dive's frame pattern and its numbering. The input is a
// frame number (its first four bytes) and a pattern (the rest). A pattern
// framePatternFields accepts holds only "%%" and integer fields, so printf
// reading it as a format is the oracle: framePath must write exactly that,
// and refuse exactly when it does not fit the buffer.
#include <limits.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "render/dive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 4) return 0;
    int32_t k;
    memcpy(&k, data, sizeof k);
    if (k < 0) k = -(k + 1);  // frame numbers are never negative
    const std::string pattern((const char *)data + 4, size - 4);
    if (pattern.find('\0') != std::string::npos) return 0;
    const int fields = framePatternFields(pattern.c_str());
    char path[PATH_MAX];
    const int made = framePath(pattern.c_str(), k, path, sizeof path);
    if (fields < 0) {
        if (made) abort();  // a pattern refused is never filled
        return 0;
    }
    char expected[PATH_MAX * 2];
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"
    const int n = fields == 1 ? snprintf(expected, sizeof expected, pattern.c_str(), k)
                              : snprintf(expected, sizeof expected, pattern.c_str());
#pragma GCC diagnostic pop
    if (fields > 1) return 0;  // printf would repeat k; framePath fills each field alike
    if (n < 0 || (made != 0) != ((size_t)n < sizeof path)) abort();
    if (made && strcmp(path, expected) != 0) abort();
    // A buffer one byte short of the path is refused, never overrun.
    char *tight = made && n > 0 ? (char *)malloc((size_t)n) : nullptr;
    if (tight && framePath(pattern.c_str(), k, tight, (size_t)n)) abort();
    free(tight);
    return 0;
}
