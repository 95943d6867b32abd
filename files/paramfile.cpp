#include "files/paramfile.h"

#include <errno.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "files/header_tokens.h"
#include "files/pnm.h"

namespace {

const char MAGIC[] = "QUORVEX";
// The embedded image's magic is read into a scratch buffer of this size
// (14 bytes and the terminator) and then ignored.
const size_t IMAGE_MAGIC_SIZE = 15;

// The program's load and save commands stage through this copy: a refused
// file never reaches the program-wide state.
FractalFile staging;

int fieldFailed(FILE *stream, const char *what, const char *problem, char *reason) {
    if (feof(stream)) setReason(reason, "the file ends at the %s (truncated)", what);
    else setReason(reason, "the %s %s", what, problem);
    return 0;
}

int readTextField(FILE *stream, char *buffer, size_t size, const char *what, char *reason) {
    switch (readToken(stream, buffer, size)) {
    case TOKEN_OK: return 1;
    case TOKEN_MISSING: return fieldFailed(stream, what, "is missing", reason);
    case TOKEN_TOO_LONG:
        setReason(reason, "the %s is longer than %zu bytes", what, size - 1);
        return 0;
    case TOKEN_HAS_NUL: setReason(reason, "the %s holds a NUL byte", what); return 0;
    case TOKEN_TOO_FAR:
        setReason(reason, "more than %d blank bytes before the %s", HEADER_SPACE_LIMIT, what);
        return 0;
    }
    return 0;
}

int readIntIn(FILE *stream, int *value, int low, int high, const char *what, char *reason) {
    if (!readIntField(stream, value)) return fieldFailed(stream, what, "is not a whole number", reason);
    if (*value >= low && *value <= high) return 1;
    setReason(reason, "the %s %d is outside %d..%d", what, *value, low, high);
    return 0;
}

// Room for the magic and one byte more: anything else is refused at once.
int readMagic(FILE *stream, char *reason) {
    char magic[sizeof MAGIC];
    if (readToken(stream, magic, sizeof magic) == TOKEN_OK && strcmp(magic, MAGIC) == 0) return 1;
    setReason(reason, "not a parameter file (it does not begin with %s)", MAGIC);
    return 0;
}

int readView(FILE *stream, FractalFile &file, char *reason) {
    struct Field {
        double *value;
        const char *what;
    } const fields[] = {
        {&file.xStart, "view left"},       {&file.xEnd, "view right"},
        {&file.xPivot, "pivot real part"}, {&file.yStart, "view bottom"},
        {&file.yEnd, "view top"},          {&file.yPivot, "pivot imaginary part"},
    };
    for (const Field &field : fields)
        if (!readDoubleField(stream, field.value))
            return fieldFailed(stream, field.what, "is not a number", reason);
    return 1;
}

// Fields 10 to 12 and the separator byte: the embedded image's header.
int readImageHeader(FILE *stream, FractalFile &file, char *reason) {
    char magic[IMAGE_MAGIC_SIZE];
    if (!readTextField(stream, magic, sizeof magic, "image magic", reason)) return 0;
    getc(stream);  // the line feed after the magic
    if (!readIntIn(stream, &file.width, 1, GRID_SIZE, "image width", reason)) return 0;
    if (!readIntIn(stream, &file.height, 1, GRID_SIZE, "image height", reason)) return 0;
    int maximum;
    if (!readIntPrefix(stream, &maximum))
        return fieldFailed(stream, "maximum grey value", "is not a number", reason);
    if (getc(stream) != EOF) return 1;  // the single separator before the pixels
    setReason(reason, "the file ends before the pixels (truncated)");
    return 0;
}

int readHeader(FILE *stream, FractalFile &file, char *reason) {
    if (!readMagic(stream, reason)) return 0;
    if (!readTextField(stream, file.typeName, TEXT_FIELD, "type name", reason)) return 0;
    file.type = fractalTypeIndex(file.typeName);
    if (!readIntIn(stream, &file.detail, 1, MAX_DETAIL, "iteration limit", reason)) return 0;
    return readView(stream, file, reason) && readImageHeader(stream, file, reason);
}

unsigned char *rowOf(unsigned char *grid, int r) { return grid + (size_t)r * GRID_SIZE; }
const unsigned char *rowOf(const unsigned char *grid, int r) { return grid + (size_t)r * GRID_SIZE; }

int sizeInGrid(int width, int height) {
    return width >= 1 && width <= GRID_SIZE && height >= 1 && height <= GRID_SIZE;
}

int readPixels(FILE *stream, FractalFile &file, const std::atomic<int> *stop, char *reason) {
    const size_t width = (size_t)file.width;
    for (int r = 0; r < file.height; ++r) {
        if (readStopped(stop)) {
            setReason(reason, "%s", READ_INTERRUPTED);
            return 0;
        }
        if (fread(rowOf(file.grid, r), 1, width, stream) != width) {
            setReason(reason, "the file ends before the last pixel (truncated)");
            return 0;
        }
    }
    return 1;
}

int isWritableTypeName(const char *name) {
    const char *end = (const char *)memchr(name, '\0', TEXT_FIELD);
    if (!end || end == name) return 0;
    for (const char *c = name; c < end; ++c)
        if (isHeaderSpace((unsigned char)*c)) return 0;
    return 1;
}

// Only what the reader accepts may be written: a file that cannot be
// loaded back would be a lost piece of work.
int checkWritable(const FractalFile &file, char *reason) {
    if (!isWritableTypeName(file.typeName)) {
        setReason(reason, "the type name is empty, too long or holds white space");
        return 0;
    }
    if (file.detail < 1 || file.detail > MAX_DETAIL) {
        setReason(reason, "the iteration limit %d is outside 1..%d", file.detail, MAX_DETAIL);
        return 0;
    }
    if (!sizeInGrid(file.width, file.height)) {
        setReason(reason, "the image size %d x %d is outside 1..%d", file.width, file.height,
                  GRID_SIZE);
        return 0;
    }
    return 1;
}

// Exactly the double, bit for bit (so -0 is not 0).
int readsBackAs(const char *text, double value) {
    const double back = strtod(text, nullptr);
    return memcmp(&back, &value, sizeof value) == 0;
}

int writeNumberLines(FILE *stream, double a, double b, double c) {
    char text[3][NUMBER_TOKEN_SIZE];
    formatParameterNumber(text[0], a);
    formatParameterNumber(text[1], b);
    formatParameterNumber(text[2], c);
    return fprintf(stream, "%s\n%s\n%s\n", text[0], text[1], text[2]) >= 0;
}

int writeParameterStream(FILE *stream, const void *context, char *reason) {
    const FractalFile &file = *(const FractalFile *)context;
    if (fprintf(stream, "%s\n%s\n%d\n", MAGIC, file.typeName, file.detail) < 0 ||
        !writeNumberLines(stream, file.xStart, file.xEnd, file.xPivot) ||
        !writeNumberLines(stream, file.yStart, file.yEnd, file.yPivot) ||
        !writePnmHeader(stream, file.width, file.height, 0))
        return streamWriteFailed(reason);
    const size_t width = (size_t)file.width;
    for (int r = 0; r < file.height; ++r)
        if (fwrite(rowOf(file.grid, r), 1, width, stream) != width)
            return streamWriteFailed(reason);
    return 1;
}

}  // namespace

void formatParameterNumber(char *text, double value) {
    snprintf(text, NUMBER_TOKEN_SIZE, "%lf", value);
    if (!isfinite(value) || readsBackAs(text, value)) return;
    // "%.17g" always reads back; the shorter forms are tried first.
    for (int digits = 15; digits <= 17; ++digits) {
        snprintf(text, NUMBER_TOKEN_SIZE, "%.*g", digits, value);
        if (readsBackAs(text, value)) return;
    }
}

int readFractalFile(const char *path, FractalFile &file, char *reason, const std::atomic<int> *stop) {
    if (!path || !path[0]) {
        setReason(reason, "no file name given");
        return 0;
    }
    FILE *stream = fopen(path, "rb");
    if (!stream) {
        setReason(reason, "cannot open: %s", strerror(errno));
        return 0;
    }
    const int accepted = readHeader(stream, file, reason) && readPixels(stream, file, stop, reason);
    if (!accepted && readStopped(stop)) setReason(reason, "%s", READ_INTERRUPTED);
    else if (!accepted && ferror(stream)) setReason(reason, "cannot read: %s", strerror(errno));
    fclose(stream);
    return accepted;
}

int writeFractalFile(const char *path, const FractalFile &file, char *reason) {
    if (!checkWritable(file, reason)) return 0;
    return atomicWriteFile(path, writeParameterStream, &file, reason);
}

void captureFractalState(FractalFile &file) {
    snprintf(file.typeName, sizeof file.typeName, "%s", fracType);
    file.type = fType;
    file.detail = detail;
    file.xStart = xStart;
    file.xEnd = xEnd;
    file.xPivot = xPivot;
    file.yStart = yStart;
    file.yEnd = yEnd;
    file.yPivot = yPivot;
    file.width = fracWidth;
    file.height = fracHeight;
    memcpy(file.grid, fractal, sizeof file.grid);
}

void commitFractalFile(const FractalFile &file) {
    if (!sizeInGrid(file.width, file.height)) return;
    snprintf(fracType, sizeof fracType, "%s", file.typeName);
    if (file.type >= 0 && file.type < FRACTAL_TYPES) fType = file.type;
    detail = file.detail;
    xStart = file.xStart;
    xEnd = file.xEnd;
    xPivot = file.xPivot;
    yStart = file.yStart;
    yEnd = file.yEnd;
    yPivot = file.yPivot;
    fracWidth = file.width;
    fracHeight = file.height;
    for (int r = 0; r < file.height; ++r)
        memcpy(rowOf(fractal, r), rowOf(file.grid, r), (size_t)file.width);
}

int LOAD_FRACTAL(char *path) {
    if (!readFractalFile(path, staging, fileError)) return 0;
    commitFractalFile(staging);
    fileError[0] = '\0';
    return 1;
}

int SAVE_FRACTAL(char *path) {
    captureFractalState(staging);
    if (!writeFractalFile(path, staging, fileError)) return 0;
    fileError[0] = '\0';
    return 1;
}
