// image.h - RGB pictures for the picture tests.
//
// Rows are stored top to bottom as X delivers them. The program draws in GL
// window coordinates (origin bottom-left); at(X, Y) takes those and does the
// flip in one place: pixel row Y of GL is image row height - 1 - Y.
//
// comparePictures compares two pictures; on a difference it writes the
// actual and the expected picture and a diff (differing pixels red, the rest
// dimmed) as PPM files under QUORVEX_TEST_OUTPUT (default
// /tmp/quorvex-test-output) and says where, so a failure can be looked at
// and an expected image re-recorded.
#ifndef QUORVEX_TESTS_IMAGE_H
#define QUORVEX_TESTS_IMAGE_H

#include <stdint.h>

#include <string>
#include <vector>

struct Rgb {
    uint8_t r, g, b;
    bool operator==(const Rgb &o) const { return r == o.r && g == o.g && b == o.b; }
    bool operator!=(const Rgb &o) const { return !(*this == o); }
};

struct Image {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;  // top row first

    Image() = default;
    Image(int w, int h) : width(w), height(h), rgb((size_t)w * h * 3, 0) {}
    Rgb atTop(int x, int row) const;        // X's orientation
    Rgb at(int X, int Y) const;             // GL window coordinates
    void setTop(int x, int row, Rgb c);
    // A sub-rectangle in GL coordinates: left, bottom, width, height.
    Image region(int X, int Y, int w, int h) const;
};

std::string describe(Rgb c);

bool writePpm(const std::string &path, const Image &image);
bool readPpm(const std::string &path, Image &image);

// Directory for failure pictures (created on demand).
std::string testOutputDir();

// Number of differing pixels; writes NAME-actual.ppm, NAME-expected.ppm and
// NAME-diff.ppm into testOutputDir() when there is any.
long comparePictures(const std::string &name, const Image &expected, const Image &actual);

#endif
