#include "files/pnm.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>

#include "colour/palette.h"
#include "core/state.h"
#include "files/atomic_write.h"
#include "files/header_tokens.h"

namespace {

// Any magic up to 255 bytes reads (only "P6" matters); a longer one is no
// header, and the file is refused there.
const size_t MAGIC_SCRATCH = 256;
// Comment lines skipped after the magic, all together: enough for any
// image's notes, and garbage without line feeds is refused after this.
const long COMMENT_LIMIT = 4096;
// Pixels are read a block at a time, so that a stop is seen within a moment.
const size_t READ_BLOCK = 1 << 20;

// The export buffer: room for the whole grid in colour.
unsigned char exportImage[GRID_CELLS * 3];

struct PnmHeader {
    int width, height, colour;
};

struct PackedImage {
    const unsigned char *pixels;
    int width, height, colour;
};

struct RowImage {
    const unsigned char *const *rows;
    int width, height, colour;
};

size_t bytesPerPixel(int colour) { return colour == 1 ? 3 : 1; }

int sizeAccepted(int width, int height) {
    return width >= 1 && height >= 1 && width <= MAX_PNM_SIDE && height <= MAX_PNM_SIDE &&
           (long long)width * height <= MAX_PNM_PIXELS;
}

int readPnmHeader(FILE *stream, PnmHeader &header) {
    char magic[MAGIC_SCRATCH];
    const TokenStatus status = readToken(stream, magic, sizeof magic);
    if (status == TOKEN_TOO_LONG || status == TOKEN_TOO_FAR) {
        setReason(fileError, "not an image (no magic at its start)");
        return 0;
    }
    header.colour = status == TOKEN_OK && strcmp(magic, "P6") == 0;
    getc(stream);  // the line feed after the magic
    pgmCommentClear(stream);
    if (!readIntPrefix(stream, &header.width) || !readIntPrefix(stream, &header.height)) {
        setReason(fileError, "the image size does not scan");
        return 0;
    }
    int maximum;
    readIntPrefix(stream, &maximum);
    getc(stream);  // the single separator before the pixels
    if (sizeAccepted(header.width, header.height)) return 1;
    setReason(fileError, "the image size %d x %d is outside 1..%d (at most %d pixels)", header.width,
              header.height, MAX_PNM_SIDE, MAX_PNM_PIXELS);
    return 0;
}

// Reads what the stream still has, the rest of the block staying zero; 0
// (and the reason) when `stop` ended it.
int readAvailable(FILE *stream, unsigned char *block, size_t bytes, const std::atomic<int> *stop) {
    for (size_t done = 0; done < bytes && !readStopped(stop);) {
        const size_t want = bytes - done < READ_BLOCK ? bytes - done : READ_BLOCK;
        const size_t got = fread(block + done, 1, want, stream);
        if (got < want) break;
        done += got;
    }
    if (!readStopped(stop)) return 1;
    setReason(fileError, "%s", READ_INTERRUPTED);
    return 0;
}

// Opens `path` and reads its header; null (and a reason) on failure.
FILE *openPnm(const char *path, PnmHeader &header) {
    FILE *stream = path ? fopen(path, "rb") : nullptr;
    if (!stream) {
        setReason(fileError, "cannot open: %s", path ? strerror(errno) : "no file name given");
        return nullptr;
    }
    if (readPnmHeader(stream, header)) return stream;
    fclose(stream);
    return nullptr;
}

void storeSize(const PnmHeader &header, int *width, int *height, int *colour) {
    *width = header.width;
    *height = header.height;
    *colour = header.colour;
}

unsigned char **readRows(FILE *stream, const PnmHeader &header, const std::atomic<int> *stop) {
    const size_t rowBytes = (size_t)header.width * bytesPerPixel(header.colour);
    unsigned char **rows = (unsigned char **)calloc((size_t)header.height, sizeof *rows);
    if (!rows) return nullptr;
    for (int i = 0; i < header.height; ++i) {
        rows[i] = (unsigned char *)calloc(rowBytes, 1);
        if (!rows[i] || !readAvailable(stream, rows[i], rowBytes, stop)) {
            freePnmRows(rows, i + 1);
            return nullptr;
        }
    }
    return rows;
}

int writePackedStream(FILE *stream, const void *context, char *reason) {
    const PackedImage &image = *(const PackedImage *)context;
    const size_t bytes = (size_t)image.width * image.height * bytesPerPixel(image.colour);
    if (!writePnmHeader(stream, image.width, image.height, image.colour) ||
        fwrite(image.pixels, 1, bytes, stream) != bytes)
        return streamWriteFailed(reason);
    return 1;
}

int writeRowStream(FILE *stream, const void *context, char *reason) {
    const RowImage &image = *(const RowImage *)context;
    const size_t rowBytes = (size_t)image.width * bytesPerPixel(image.colour);
    if (!writePnmHeader(stream, image.width, image.height, image.colour)) return streamWriteFailed(reason);
    for (int i = 0; i < image.height; ++i)
        if (fwrite(image.rows[i], 1, rowBytes, stream) != rowBytes) return streamWriteFailed(reason);
    return 1;
}

int imageWritable(const void *pixels, int width, int height, char *reason) {
    if (pixels && width >= 1 && height >= 1) return 1;
    setReason(reason, "no image to write (%d x %d)", width, height);
    return 0;
}

int rowsWritable(unsigned char *const *rows, int width, int height, char *reason) {
    if (!imageWritable(rows, width, height, reason)) return 0;
    for (int i = 0; i < height; ++i)
        if (!rows[i]) return imageWritable(nullptr, width, height, reason);
    return 1;
}

}  // namespace

void pgmCommentClear(FILE *file) {
    if (!file) return;
    int c;
    long skipped = 0;
    while ((c = getc(file)) == '#')
        while ((c = getc(file)) != EOF && c != '\n')
            if (++skipped > COMMENT_LIMIT) return;  // the size cannot scan in there
    ungetc(c, file);  // a no-op at the end of the stream
}

void freePnmRows(unsigned char **rows, int height) {
    if (!rows) return;
    for (int i = 0; i < height; ++i) free(rows[i]);
    free(rows);
}

unsigned char *PGM_FILE_READ_1D(char *path, int *width, int *height, int *colour,
                                const std::atomic<int> *stop) {
    if (!width || !height || !colour) return nullptr;
    PnmHeader header;
    FILE *stream = openPnm(path, header);
    if (!stream) return nullptr;
    const size_t bytes = (size_t)header.width * header.height * bytesPerPixel(header.colour);
    unsigned char *image = (unsigned char *)calloc(bytes, 1);
    if (image && !readAvailable(stream, image, bytes, stop)) {
        free(image);
        image = nullptr;
    }
    if (image) storeSize(header, width, height, colour);
    fclose(stream);
    return image;
}

unsigned char **PGM_FILE_READ_2D(char *path, int *width, int *height, int *colour,
                                 const std::atomic<int> *stop) {
    if (!width || !height || !colour) return nullptr;
    PnmHeader header;
    FILE *stream = openPnm(path, header);
    if (!stream) return nullptr;
    unsigned char **rows = readRows(stream, header, stop);
    if (rows) storeSize(header, width, height, colour);
    fclose(stream);
    return rows;
}

int writePnmHeader(FILE *stream, int width, int height, int colour) {
    return fprintf(stream, "%s\n%d %d\n255\n", colour == 1 ? "P6" : "P5", width, height) >= 0;
}

int writePnmImage(const char *path, const unsigned char *pixels, int width, int height, int colour,
                  char *reason) {
    if (!imageWritable(pixels, width, height, reason)) return 0;
    const PackedImage image = {pixels, width, height, colour};
    return atomicWriteFile(path, writePackedStream, &image, reason);
}

int PGM_FILE_WRITE_1D(char *path, unsigned char *image, int width, int height, int colour) {
    return writePnmImage(path, image, width, height, colour, fileError) ? 0 : -1;
}

int PGM_FILE_WRITE_2D(char *path, unsigned char **rows, int width, int height, int colour) {
    if (!rowsWritable(rows, width, height, fileError)) return -1;
    const RowImage image = {rows, width, height, colour};
    return atomicWriteFile(path, writeRowStream, &image, fileError) ? 0 : -1;
}

void colourGridImage(const unsigned char *grid, int width, int height, unsigned char *rgb) {
    const ChannelTables tables = programChannelTables();
    for (int r = 0; r < height; ++r)
        colourGridRow(tables, grid + (size_t)r * GRID_SIZE, width, rgb + (size_t)r * width * 3);
}

int EXPORT_FRACTAL(char *path) {
    if (fracWidth < 1 || fracWidth > GRID_SIZE || fracHeight < 1 || fracHeight > GRID_SIZE) {
        setReason(fileError, "the image size %d x %d is outside 1..%d", fracWidth, fracHeight,
                  GRID_SIZE);
        return 0;
    }
    colourGridImage(fractal, fracWidth, fracHeight, exportImage);
    if (!writePnmImage(path, exportImage, fracWidth, fracHeight, 1, fileError)) return 0;
    fileError[0] = '\0';
    return 1;
}
