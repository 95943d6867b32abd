#include "image.h"

#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>

Rgb Image::atTop(int x, int row) const {
    if (x < 0 || row < 0 || x >= width || row >= height) return Rgb{0, 0, 0};
    const size_t i = ((size_t)row * width + x) * 3;
    return Rgb{rgb[i], rgb[i + 1], rgb[i + 2]};
}

Rgb Image::at(int X, int Y) const { return atTop(X, height - 1 - Y); }

void Image::setTop(int x, int row, Rgb c) {
    const size_t i = ((size_t)row * width + x) * 3;
    rgb[i] = c.r;
    rgb[i + 1] = c.g;
    rgb[i + 2] = c.b;
}

Image Image::region(int X, int Y, int w, int h) const {
    Image out(w, h);
    for (int row = 0; row < h; ++row)
        for (int x = 0; x < w; ++x) out.setTop(x, row, at(X + x, Y + h - 1 - row));
    return out;
}

std::string describe(Rgb c) {
    return "(" + std::to_string(c.r) + ", " + std::to_string(c.g) + ", " + std::to_string(c.b) + ")";
}

bool writePpm(const std::string &path, const Image &image) {
    FILE *f = fopen(path.c_str(), "wb");
    if (!f) return false;
    fprintf(f, "P6\n%d %d\n255\n", image.width, image.height);
    const bool ok = fwrite(image.rgb.data(), 1, image.rgb.size(), f) == image.rgb.size();
    return fclose(f) == 0 && ok;
}

bool readPpm(const std::string &path, Image &image) {
    FILE *f = fopen(path.c_str(), "rb");
    if (!f) return false;
    int w, h, max;
    char magic[3] = {0};
    bool ok = fscanf(f, "%2s %d %d %d", magic, &w, &h, &max) == 4 && std::string(magic) == "P6" &&
              w > 0 && h > 0 && fgetc(f) != EOF;
    if (ok) {
        image = Image(w, h);
        ok = fread(image.rgb.data(), 1, image.rgb.size(), f) == image.rgb.size();
    }
    fclose(f);
    return ok;
}

std::string testOutputDir() {
    const char *dir = getenv("QUORVEX_TEST_OUTPUT");
    std::string d = dir && *dir ? dir : "/tmp/quorvex-test-output";
    mkdir(d.c_str(), 0777);
    return d;
}

long comparePictures(const std::string &name, const Image &expected, const Image &actual) {
    if (expected.width != actual.width || expected.height != actual.height) {
        fprintf(stderr, "%s: size %dx%d, expected %dx%d\n", name.c_str(), actual.width,
                actual.height, expected.width, expected.height);
        return (long)expected.width * expected.height + 1;
    }
    long differing = 0;
    Image diff(actual.width, actual.height);
    for (int row = 0; row < actual.height; ++row)
        for (int x = 0; x < actual.width; ++x) {
            const Rgb a = actual.atTop(x, row), e = expected.atTop(x, row);
            if (a != e) ++differing;
            diff.setTop(x, row, a != e ? Rgb{255, 0, 0} : Rgb{uint8_t(a.r / 4), uint8_t(a.g / 4), uint8_t(a.b / 4)});
        }
    if (differing) {
        const std::string base = testOutputDir() + "/" + name;
        writePpm(base + "-actual.ppm", actual);
        writePpm(base + "-expected.ppm", expected);
        writePpm(base + "-diff.ppm", diff);
        fprintf(stderr,
                "%s: %ld pixels differ; see %s-{actual,expected,diff}.ppm (to re-record an "
                "expected picture, copy the actual one over it)\n",
                name.c_str(), differing, base.c_str());
    }
    return differing;
}
