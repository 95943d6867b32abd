// PNM images: the export of the coloured grid, both reader and writer forms,
// the header quirks the readers keep, and the sizes they refuse.
#include "files/pnm.h"

#include <dirent.h>
#include <ftw.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "colour/palette.h"
#include "core/state.h"
#include "files/atomic_write.h"
#include "test_files.h"

namespace {

// ---- test plumbing ---------------------------------------------------------

int entryCount(const std::string &dir) {
    int count = 0;
    DIR *d = opendir(dir.c_str());
    while (const dirent *e = d ? readdir(d) : nullptr) count += e->d_name[0] != '.';
    if (d) closedir(d);
    return count;
}

char *cpath(const std::string &path) { return const_cast<char *>(path.c_str()); }

std::vector<unsigned char> pattern(size_t bytes, int seed) {
    std::vector<unsigned char> data(bytes);
    for (size_t i = 0; i < bytes; ++i) data[i] = (unsigned char)(i * 37 + seed * 11 + i / 251);
    return data;
}

// Reads with both forms and checks they agree; returns the packed bytes.
struct Read {
    bool ok = false;
    int width = -7, height = -7, colour = -7;
    std::vector<unsigned char> bytes;
};

Read readBoth(const std::string &path) {
    Read packed, table;
    unsigned char *image = PGM_FILE_READ_1D(cpath(path), &packed.width, &packed.height, &packed.colour);
    unsigned char **rows = PGM_FILE_READ_2D(cpath(path), &table.width, &table.height, &table.colour);
    EXPECT_EQ(image != nullptr, rows != nullptr) << "the two readers disagree on " << path;
    if (image) {
        const size_t rowBytes = (size_t)packed.width * (packed.colour == 1 ? 3 : 1);
        packed.ok = true;
        packed.bytes.assign(image, image + rowBytes * packed.height);
        EXPECT_EQ(table.width, packed.width);
        EXPECT_EQ(table.height, packed.height);
        EXPECT_EQ(table.colour, packed.colour);
        for (int i = 0; rows && i < table.height; ++i)
            EXPECT_EQ(memcmp(rows[i], image + rowBytes * i, rowBytes), 0) << "row " << i;
    }
    free(image);
    freePnmRows(rows, table.height);
    return packed;
}

class Pnm : public ::testing::Test {
protected:
    TempDir dir{"pnm"};
    void SetUp() override {
        resetFractalState();
        srand(1959);
        DISPLAY_PALLETE_CREATE();
        paletteR = paletteG = paletteB = 0;
        DISPLAY_PALLETE_APPLY();
    }
};

// ---- export -----------------------------------------------------------------

TEST_F(Pnm, ExportOfTheWholeGridIsAP6OfExactly1920015Bytes) {
    for (int i = 0; i < GRID_CELLS; ++i) fractal[i] = (unsigned char)(i % 251);
    ASSERT_EQ(EXPORT_FRACTAL(cpath(dir / "whole.ppm")), 1) << fileError;
    const std::string bytes = readBytes(dir / "whole.ppm");
    ASSERT_EQ(bytes.size(), 1920015u);
    EXPECT_EQ(bytes.substr(0, 15), "P6\n800 800\n255\n");
    // Ramp 0 everywhere: every channel is the grid value itself.
    for (int i = 0; i < GRID_CELLS; i += 7919)
        for (int k = 0; k < 3; ++k) ASSERT_EQ((unsigned char)bytes[15 + 3 * i + k], i % 251) << i;
}

TEST_F(Pnm, ExportUsesTheChannelTablesAsSelectedNow) {
    paletteR = 1;
    DISPLAY_PALLETE_APPLY();
    fractal[0] = 0, fractal[1] = 255, fractal[2] = 10;
    ASSERT_EQ(EXPORT_FRACTAL(cpath(dir / "red.ppm")), 1) << fileError;
    const std::string bytes = readBytes(dir / "red.ppm");
    const unsigned char *px = (const unsigned char *)bytes.data() + 15;
    EXPECT_EQ(std::vector<int>(px, px + 9), (std::vector<int>{255, 0, 0, 255, 255, 255, 245, 10, 10}));
}

TEST_F(Pnm, SmallerGridExportsPackedRowsOf1200Bytes) {
    fracWidth = 400, fracHeight = 300;
    paletteG = 4, paletteB = 7;
    DISPLAY_PALLETE_APPLY();
    for (int r = 0; r < GRID_SIZE; ++r)
        for (int c = 0; c < GRID_SIZE; ++c) fractal[r * GRID_SIZE + c] = (unsigned char)(r * 3 + c * 5);
    ASSERT_EQ(EXPORT_FRACTAL(cpath(dir / "small.ppm")), 1) << fileError;
    const Read got = readBoth(dir / "small.ppm");
    ASSERT_TRUE(got.ok);
    EXPECT_EQ(got.width, 400);
    EXPECT_EQ(got.height, 300);
    EXPECT_EQ(got.colour, 1);
    ASSERT_EQ(got.bytes.size(), 300u * 1200u);
    for (int r = 0; r < 300; ++r)
        for (int c = 0; c < 400; ++c) {
            const unsigned char v = fractal[r * GRID_SIZE + c];
            const unsigned char *px = &got.bytes[r * 1200 + c * 3];
            ASSERT_EQ(px[0], PaletteR[v]) << r << ", " << c;
            ASSERT_EQ(px[1], PaletteG[v]) << r << ", " << c;
            ASSERT_EQ(px[2], PaletteB[v]) << r << ", " << c;
        }
}

TEST_F(Pnm, FailedExportReportsWhyAndLeavesTheEarlierFile) {
    EXPECT_EQ(EXPORT_FRACTAL(cpath(dir / "absent/x.ppm")), 0);
    EXPECT_NE(fileError[0], '\0');
    writeBytes(dir / "pic.ppm", "earlier picture");
    fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const struct rlimit limit = {500000, 500000};
        setrlimit(RLIMIT_FSIZE, &limit);
        _exit(EXPORT_FRACTAL(cpath(dir / "pic.ppm")) == 0 && fileError[0] ? 10 : 11);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 10);
    EXPECT_EQ(readBytes(dir / "pic.ppm"), "earlier picture");
    EXPECT_EQ(entryCount(dir.path), 1);
}

// ---- writers and readers ----------------------------------------------------

struct Shape {
    int width, height, colour;
};

class PnmRoundTrip : public Pnm, public ::testing::WithParamInterface<Shape> {};

TEST_P(PnmRoundTrip, BothWritersGiveTheSameFileAndBothReadersGiveItBack) {
    const Shape s = GetParam();
    const int depth = s.colour == 1 ? 3 : 1;
    const size_t rowBytes = (size_t)s.width * depth;
    std::vector<unsigned char> image = pattern(rowBytes * s.height, s.width);
    std::vector<unsigned char *> rows;
    for (int i = 0; i < s.height; ++i) rows.push_back(&image[rowBytes * i]);

    ASSERT_EQ(PGM_FILE_WRITE_1D(cpath(dir / "packed"), image.data(), s.width, s.height, s.colour), 0)
        << fileError;
    ASSERT_EQ(PGM_FILE_WRITE_2D(cpath(dir / "table"), rows.data(), s.width, s.height, s.colour), 0)
        << fileError;
    const std::string header = std::string(s.colour == 1 ? "P6" : "P5") + "\n" +
                               std::to_string(s.width) + " " + std::to_string(s.height) + "\n255\n";
    const std::string bytes = readBytes(dir / "packed");
    EXPECT_EQ(bytes, header + std::string(image.begin(), image.end()));
    EXPECT_EQ(readBytes(dir / "table"), bytes);

    const Read got = readBoth(dir / "packed");
    ASSERT_TRUE(got.ok);
    EXPECT_EQ(got.width, s.width);
    EXPECT_EQ(got.height, s.height);
    EXPECT_EQ(got.colour, s.colour == 1 ? 1 : 0);
    EXPECT_EQ(got.bytes, image);
}

INSTANTIATE_TEST_SUITE_P(Shapes, PnmRoundTrip,
                         ::testing::Values(Shape{7, 5, 1}, Shape{7, 5, 0}, Shape{1, 1, 1},
                                           Shape{1, 1, 0}, Shape{800, 800, 1}, Shape{13, 2, 2}));

TEST_F(Pnm, CommentLinesDirectlyAfterTheMagicAreSkipped) {
    const std::string data = "abcdefghijklmnopqr";
    writeBytes(dir / "plain.ppm", "P6\n3 2\n255\n" + data);
    writeBytes(dir / "comments.ppm", "P6\n# made by hand\n#\n3 2\n255\n" + data);
    const Read plain = readBoth(dir / "plain.ppm"), commented = readBoth(dir / "comments.ppm");
    ASSERT_TRUE(plain.ok && commented.ok);
    EXPECT_EQ(commented.width, 3);
    EXPECT_EQ(commented.height, 2);
    EXPECT_EQ(commented.colour, 1);
    EXPECT_EQ(commented.bytes, plain.bytes);
    EXPECT_EQ(std::string(plain.bytes.begin(), plain.bytes.end()), data);
}

TEST_F(Pnm, OnlyTheExactMagicP6IsColour) {
    const std::string rest = "\n2 2\n255\n" + std::string(12, 'x');
    const std::vector<std::string> magics = {"P5", "P3", "p6", "P6X", "XYZ", std::string(255, 'M')};
    for (const std::string &magic : magics) {
        writeBytes(dir / "m.pnm", magic + rest);
        const Read got = readBoth(dir / "m.pnm");
        ASSERT_TRUE(got.ok) << magic;
        EXPECT_EQ(got.colour, 0) << magic;
        EXPECT_EQ(got.bytes.size(), 4u) << magic;
    }
}

TEST_F(Pnm, MaximumIsIgnoredAndAShortFileLeavesZeros) {
    writeBytes(dir / "short.pgm", "P5\n4 2\n15\nabc");
    const Read got = readBoth(dir / "short.pgm");
    ASSERT_TRUE(got.ok);
    EXPECT_EQ(got.bytes, (std::vector<unsigned char>{'a', 'b', 'c', 0, 0, 0, 0, 0}));
}

TEST_F(Pnm, CommentSkipperStopsAtTheFirstOtherLineOrTheEnd) {
    FILE *f = tmpfile();
    fputs("#one\n# two\nX#", f);
    rewind(f);
    pgmCommentClear(f);
    EXPECT_EQ(getc(f), 'X');
    pgmCommentClear(f);  // a comment with no line feed runs to the end
    EXPECT_EQ(getc(f), EOF);
    fclose(f);
    pgmCommentClear(nullptr);
}

TEST_F(Pnm, SizesThatDoNotScanOrCannotBeHeldAreRefused) {
    const std::vector<std::string> headers = {
        "P5\nwide 2\n255\n",  "P5\n2 tall\n255\n",       "P5\n0 2\n255\n",
        "P5\n2 -3\n255\n",    "P5\n-2 -3\n255\n",        "P5\n70000 1\n255\n",
        "P5\n1 65537\n255\n", "P5\n10000 10000\n255\n",  "P6\n2147483647 2147483647\n255\n",
        "P5\n99999999999 1\n255\n",                      "P5\n3 # not a comment\n255\n",
        "P5\n# a comment that never ends",               "",
        std::string(256, 'M') + "\n2 2\n255\n",          std::string(257, ' ') + "P5\n2 2\n255\n",
        "P5\n#" + std::string(5000, 'c') + "\n2 2\n255\n",
    };
    for (const std::string &head : headers) {
        writeBytes(dir / "bad.pgm", head + "pixels");
        int w = -7, h = -7, c = -7;
        EXPECT_EQ(PGM_FILE_READ_1D(cpath(dir / "bad.pgm"), &w, &h, &c), nullptr) << head;
        EXPECT_EQ(PGM_FILE_READ_2D(cpath(dir / "bad.pgm"), &w, &h, &c), nullptr) << head;
        EXPECT_EQ(w, -7) << head;
        EXPECT_EQ(h, -7) << head;
        EXPECT_EQ(c, -7) << head;
    }
    int w = -7, h = -7, c = -7;
    EXPECT_EQ(PGM_FILE_READ_1D(cpath("/dev/zero"), &w, &h, &c), nullptr);  // endless, yet refused
    EXPECT_EQ(PGM_FILE_READ_1D(cpath(dir / "absent.pgm"), &w, &h, &c), nullptr);
    EXPECT_EQ(PGM_FILE_READ_2D(cpath(dir / "absent.pgm"), &w, &h, &c), nullptr);
    EXPECT_EQ(w, -7);
}

TEST_F(Pnm, TheLargestAcceptedImageIsRead) {
    writeBytes(dir / "big.pgm", "P5\n8192 8192\n255\nxy");
    int w = 0, h = 0, c = -1;
    unsigned char *image = PGM_FILE_READ_1D(cpath(dir / "big.pgm"), &w, &h, &c);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(w * h, (int)MAX_PNM_PIXELS);
    EXPECT_EQ(image[1], 'y');
    EXPECT_EQ(image[MAX_PNM_PIXELS - 1], 0);
    free(image);
    const std::atomic<int> stop{1};
    EXPECT_EQ(PGM_FILE_READ_1D(cpath(dir / "big.pgm"), &w, &h, &c, &stop), nullptr);
    EXPECT_EQ(PGM_FILE_READ_2D(cpath(dir / "big.pgm"), &w, &h, &c, &stop), nullptr);
    EXPECT_STREQ(fileError, "interrupted");
}

TEST_F(Pnm, WritersRefuseNothingToWriteAndReportFailure) {
    unsigned char pixel[3] = {1, 2, 3};
    unsigned char *rows[2] = {pixel, nullptr};
    EXPECT_NE(PGM_FILE_WRITE_1D(cpath(dir / "a.pgm"), nullptr, 1, 1, 0), 0);
    EXPECT_NE(PGM_FILE_WRITE_1D(cpath(dir / "a.pgm"), pixel, 0, 1, 0), 0);
    EXPECT_NE(PGM_FILE_WRITE_1D(cpath(dir / "a.pgm"), pixel, 1, -1, 0), 0);
    EXPECT_NE(PGM_FILE_WRITE_2D(cpath(dir / "a.pgm"), rows, 1, 2, 0), 0);
    EXPECT_NE(PGM_FILE_WRITE_2D(cpath(dir / "a.pgm"), nullptr, 1, 1, 0), 0);
    EXPECT_NE(PGM_FILE_WRITE_1D(cpath(dir / "absent/a.pgm"), pixel, 1, 1, 1), 0);
    EXPECT_NE(PGM_FILE_WRITE_1D(nullptr, pixel, 1, 1, 1), 0);
    EXPECT_NE(fileError[0], '\0');
    EXPECT_EQ(entryCount(dir.path), 0);
    char reason[FILE_ERROR_SIZE] = "";
    EXPECT_EQ(writePnmImage((dir / "b.ppm").c_str(), pixel, 1, 1, 1, reason), 1) << reason;
    EXPECT_EQ(readBytes(dir / "b.ppm"), std::string("P6\n1 1\n255\n\x01\x02\x03"));
}

}  // namespace
