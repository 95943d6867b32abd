#include "render/output.h"

#include <fcntl.h>
#include <png.h>
#include <setjmp.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <new>
#include <vector>

#include "colour/palette.h"
#include "files/atomic_write.h"
#include "files/pnm.h"

const char *const WRITE_INTERRUPTED = "interrupted";

namespace {

// zlib level for PNG: fractal pictures compress well at the fast levels,
// and a poster-sized file would take minutes at the default.
const int PNG_COMPRESSION = 3;

struct StreamJob {
    const PictureJob *job;
    RenderOutputKind kind;
};

const unsigned char *gridRow(const RenderGrid &grid, int row) {
    return grid.cells + grid.stride * (size_t)row;
}

// Row r as the job gives it: the grid's, or `own` filled by its row
// function (null, with the reason, when that failed).
const unsigned char *pictureRow(const PictureJob &job, int r, unsigned char *own, char *reason) {
    if (!job.row) return gridRow(job.grid, r);
    return job.row(r, own, job.rowContext, reason) ? own : nullptr;
}

size_t sourceRowBytes(const PictureJob &job) {
    return job.row ? (size_t)job.grid.width * (job.coloured ? 3 : 1) : 0;
}

// 1 when the caller asked to stop (and the reason says so).
int stopped(const PictureJob &job, char *reason) {
    if (!job.stop || job.stop->load(std::memory_order_relaxed) == 0) return 0;
    setReason(reason, "%s", WRITE_INTERRUPTED);
    return 1;
}

void reportRow(const PictureJob &job, int row) {
    if (job.progress) job.progress(row + 1, job.grid.height, job.context);
}

int writePnmStream(FILE *stream, const void *context, char *reason) {
    const StreamJob &s = *(const StreamJob *)context;
    const PictureJob &job = *s.job;
    const int colour = s.kind == OUTPUT_PPM;
    const size_t rowBytes = (size_t)job.grid.width * (colour ? 3 : 1);
    std::vector<unsigned char> rgb(colour ? rowBytes : 0), own(sourceRowBytes(job));
    if (!writePnmHeader(stream, job.grid.width, job.grid.height, colour)) return streamWriteFailed(reason);
    for (int r = 0; r < job.grid.height; ++r) {
        if (stopped(job, reason)) return 0;
        const unsigned char *bytes = pictureRow(job, r, own.data(), reason);
        if (!bytes) return 0;
        if (colour && !job.coloured) {
            colourGridRow(*job.tables, bytes, job.grid.width, rgb.data());
            bytes = rgb.data();
        }
        if (fwrite(bytes, 1, rowBytes, stream) != rowBytes) return streamWriteFailed(reason);
        reportRow(job, r);
    }
    return 1;
}

// libpng reports through these; the error handler must not return.
void pngFailed(png_structp png, png_const_charp message) {
    setReason((char *)png_get_error_ptr(png), "PNG: %s", message);
    png_longjmp(png, 1);
}

void pngWarned(png_structp, png_const_charp) {}

// `chunks` is the caller's, with room for every text: libpng only points at them.
void describePng(png_structp png, png_infop info, const PictureJob &job, png_text *chunks) {
    const RenderGrid &grid = job.grid;
    png_set_IHDR(png, info, (png_uint_32)grid.width, (png_uint_32)grid.height, 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, PNG_COMPRESSION);
    const size_t texts = job.text ? job.text->size() : 0;
    for (size_t k = 0; k < texts; ++k) {
        const PngText &t = (*job.text)[k];
        memset(&chunks[k], 0, sizeof chunks[k]);
        chunks[k].compression = PNG_TEXT_COMPRESSION_NONE;
        chunks[k].key = const_cast<char *>(t.keyword.c_str());
        chunks[k].text = const_cast<char *>(t.text.c_str());
        chunks[k].text_length = t.text.size();
    }
    if (texts) png_set_text(png, info, chunks, (int)texts);
    png_write_info(png, info);
}

// Runs between setjmp and the end of the write: nothing here may own
// memory that a longjmp out of libpng would leak, so the row buffers are
// the caller's.
int writePngRows(png_structp png, const StreamJob &s, unsigned char *rgb, unsigned char *own, char *reason) {
    const PictureJob &job = *s.job;
    for (int r = 0; r < job.grid.height; ++r) {
        if (stopped(job, reason)) return 0;
        const unsigned char *row = pictureRow(job, r, own, reason);
        if (!row) return 0;
        if (!job.coloured) {
            colourGridRow(*job.tables, row, job.grid.width, rgb);
            row = rgb;
        }
        png_write_row(png, row);
        reportRow(job, r);
    }
    png_write_end(png, nullptr);
    return 1;
}

int writePngStream(FILE *stream, const void *context, char *reason) {
    const StreamJob &s = *(const StreamJob *)context;
    const PictureJob &job = *s.job;
    unsigned char *rgb = (unsigned char *)malloc((size_t)job.grid.width * 3);
    unsigned char *own = (unsigned char *)malloc(sourceRowBytes(job) + 1);
    png_text *chunks = (png_text *)calloc(job.text ? job.text->size() + 1 : 1, sizeof(png_text));
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, reason, pngFailed, pngWarned);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    volatile int written = 0;  // set between setjmp and a possible longjmp
    if (!rgb || !own || !chunks || !png || !info) {
        setReason(reason, "not enough memory to write a PNG");
    } else if (setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, stream);
        describePng(png, info, job, chunks);
        written = writePngRows(png, s, rgb, own, reason);
    }
    png_destroy_write_struct(&png, &info);
    free(chunks);
    free(own);
    free(rgb);
    return written;
}

// The bytes of an 8-bit RGB PNG of width x height that this writer starts
// and ends with: the signature and the IHDR chunk (its CRC aside), and the
// IEND chunk.
const unsigned char PNG_HEAD[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
const unsigned char PNG_TAIL[] = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
enum { PNG_IHDR_END = sizeof PNG_HEAD + 13 };

void bigEndian(unsigned char *to, unsigned v) {
    for (int k = 0; k < 4; ++k) to[k] = (unsigned char)(v >> (24 - 8 * k));
}

bool readAt(int fd, off_t at, unsigned char *to, size_t n) { return pread(fd, to, n, at) == (ssize_t)n; }

bool pngMatches(int fd, off_t size, int width, int height) {
    unsigned char want[PNG_IHDR_END], got[PNG_IHDR_END], tail[sizeof PNG_TAIL];
    memcpy(want, PNG_HEAD, sizeof PNG_HEAD);
    bigEndian(want + sizeof PNG_HEAD, (unsigned)width);
    bigEndian(want + sizeof PNG_HEAD + 4, (unsigned)height);
    const unsigned char depthAndKind[5] = {8, 2, 0, 0, 0};  // 8 bits, RGB, no interlace
    memcpy(want + sizeof PNG_HEAD + 8, depthAndKind, sizeof depthAndKind);
    return size > (off_t)(PNG_IHDR_END + sizeof PNG_TAIL) && readAt(fd, 0, got, sizeof got) &&
           memcmp(got, want, sizeof want) == 0 && readAt(fd, size - (off_t)sizeof tail, tail, sizeof tail) &&
           memcmp(tail, PNG_TAIL, sizeof tail) == 0;
}

bool ppmMatches(int fd, off_t size, int width, int height) {
    char want[64], got[64];
    const int n = snprintf(want, sizeof want, "P6\n%d %d\n255\n", width, height);
    return size == (off_t)n + (off_t)width * height * 3 && readAt(fd, 0, (unsigned char *)got, (size_t)n) &&
           memcmp(got, want, (size_t)n) == 0;
}

}  // namespace

int pictureFileMatches(const char *path, RenderOutputKind kind, int width, int height) {
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return 0;
    struct stat st;
    bool matches = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (matches && kind == OUTPUT_PNG) matches = pngMatches(fd, st.st_size, width, height);
    else if (matches && kind == OUTPUT_PPM) matches = ppmMatches(fd, st.st_size, width, height);
    else matches = false;
    close(fd);
    return matches;
}

int outputKindOf(const char *path, RenderOutputKind *kind) {
    static const struct { const char *suffix; RenderOutputKind kind; } SUFFIXES[] = {
        {".png", OUTPUT_PNG}, {".ppm", OUTPUT_PPM}, {".pgm", OUTPUT_PGM}, {".frc", OUTPUT_FRC},
        {".mp4", OUTPUT_MP4}, {".webm", OUTPUT_WEBM}, {".mkv", OUTPUT_MKV}, {".qloc", OUTPUT_LOCATION},
    };
    const char *base = strrchr(path, '/');
    base = base ? base + 1 : path;
    const size_t length = strlen(base);
    for (const auto &s : SUFFIXES) {
        const size_t suffix = strlen(s.suffix);
        if (length > suffix && strcmp(base + length - suffix, s.suffix) == 0) {
            *kind = s.kind;
            return 1;
        }
    }
    return 0;
}

int writePictureFile(const char *path, RenderOutputKind kind, const PictureJob &job, char *reason) {
    const StreamJob s = {&job, kind};
    if (kind == OUTPUT_PNG) return atomicWriteFile(path, writePngStream, &s, reason);
    if (kind == OUTPUT_PPM || (kind == OUTPUT_PGM && !job.coloured))
        return atomicWriteFile(path, writePnmStream, &s, reason);
    setReason(reason, job.coloured ? "a coloured picture is written as .png or .ppm"
                                   : "a parameter file or a video is not a picture");
    return 0;
}

int writeParameterFile(const char *path, const FractalParams &p, const char *typeName, const RenderGrid &grid,
                       char *reason) {
    std::unique_ptr<FractalFile> out(new (std::nothrow) FractalFile);
    if (!out) return failWith(0, reason, "not enough memory");
    snprintf(out->typeName, sizeof out->typeName, "%s", typeName);
    out->type = p.type;
    out->detail = p.detail;
    out->xStart = p.xStart, out->xEnd = p.xEnd, out->xPivot = p.xPivot;
    out->yStart = p.yStart, out->yEnd = p.yEnd, out->yPivot = p.yPivot;
    out->width = grid.width, out->height = grid.height;
    for (int r = 0; r < grid.height; ++r)
        memcpy(out->grid + (size_t)r * GRID_SIZE, gridRow(grid, r), (size_t)grid.width);
    return writeFractalFile(path, *out, reason);
}
