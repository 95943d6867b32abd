// test_files.h - scratch directories and whole-file reads and writes for
// tests that touch the file system.
//
//   TempDir dir("paramfile");            // /tmp/quorvex-paramfile-XXXXXX
//   writeBytes(dir / "a.frc", bytes);     // removed with everything in it
//   EXPECT_EQ(readBytes(dir / "a.frc"), bytes);
#ifndef QUORVEX_TESTS_TEST_FILES_H
#define QUORVEX_TESTS_TEST_FILES_H

#include <dirent.h>
#include <ftw.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

struct TempDir {
    std::string path;
    explicit TempDir(const std::string &tag = "test") {
        std::string name = "/tmp/quorvex-" + tag + "-XXXXXX";
        path = mkdtemp(&name[0]) ? name : std::string();
    }
    ~TempDir() {
        if (path.empty()) return;
        nftw(
            path.c_str(), [](const char *p, const struct stat *, int, FTW *) { return remove(p); }, 16,
            FTW_DEPTH | FTW_PHYS);
    }
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    std::string operator/(const std::string &name) const { return path + "/" + name; }
};

// Reads the whole file into bytes; false when it cannot be opened.
inline bool readFileInto(const std::string &path, std::string &bytes) {
    bytes.clear();
    FILE *f = fopen(path.c_str(), "rb");
    if (!f) return false;
    char block[65536];
    size_t n;
    while ((n = fread(block, 1, sizeof block, f)) > 0) bytes.append(block, n);
    fclose(f);
    return true;
}

// The whole file, or "<missing>" when it cannot be opened.
inline std::string readBytes(const std::string &path) {
    std::string bytes;
    return readFileInto(path, bytes) ? bytes : std::string("<missing>");
}

// The whole file, or nothing when it cannot be opened.
inline std::string readWhole(const std::string &path) {
    std::string bytes;
    readFileInto(path, bytes);
    return bytes;
}

inline void writeBytes(const std::string &path, const std::string &bytes) {
    FILE *f = fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr) << path;
    ASSERT_EQ(fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
    ASSERT_EQ(fclose(f), 0);
}

// Every name in the directory but "." and "..", hidden ones included.
inline std::vector<std::string> entriesOf(const std::string &dir) {
    std::vector<std::string> names;
    DIR *d = opendir(dir.c_str());
    while (const dirent *e = d ? readdir(d) : nullptr)
        if (strcmp(e->d_name, ".") && strcmp(e->d_name, "..")) names.push_back(e->d_name);
    if (d) closedir(d);
    return names;
}

#endif
