// fuzz_input.h - hands a fuzzer's bytes to readers that take a path.
//
// The readers open files by name, so each input is written to one private
// temporary file (under TMPDIR, never the corpus directory) and read from
// there. The file is removed when the process ends.
#ifndef QUORVEX_TESTS_FUZZ_INPUT_H
#define QUORVEX_TESTS_FUZZ_INPUT_H

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

inline const char *fuzzInputPath() {
    static std::string path;
    if (path.empty()) {
        const char *tmp = getenv("TMPDIR");
        path = std::string(tmp && tmp[0] ? tmp : "/tmp") + "/quorvex-fuzz-XXXXXX";
        const int fd = mkstemp(&path[0]);
        if (fd < 0) abort();
        close(fd);
        static struct Remover {
            ~Remover() { unlink(path.c_str()); }
        } remover;
    }
    return path.c_str();
}

inline char *writeFuzzInput(const uint8_t *data, size_t size) {
    FILE *f = fopen(fuzzInputPath(), "wb");
    if (!f || fwrite(data, 1, size, f) != size || fclose(f) != 0) abort();
    return const_cast<char *>(fuzzInputPath());
}

#endif
