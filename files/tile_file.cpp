#include "files/tile_file.h"

#include <errno.h>
#include <fcntl.h>
#include <math.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include "colour/distance.h"
#include "files/atomic_write.h"

namespace {

const unsigned char MAGIC[8] = {0x89, 'Q', 'V', 'T', 'I', 'L', 'E', '\n'};
const uint32_t NEVER_ESCAPED = 0xFFFFFFFFu;

void put32(unsigned char *p, uint32_t v) {
    for (int k = 0; k < 4; ++k) p[k] = (unsigned char)(v >> (8 * k));
}
void put64(unsigned char *p, uint64_t v) {
    for (int k = 0; k < 8; ++k) p[k] = (unsigned char)(v >> (8 * k));
}
uint32_t get32(const unsigned char *p) {
    uint32_t v = 0;
    for (int k = 3; k >= 0; --k) v = v << 8 | p[k];
    return v;
}
uint64_t get64(const unsigned char *p) {
    uint64_t v = 0;
    for (int k = 7; k >= 0; --k) v = v << 8 | p[k];
    return v;
}

uint32_t crcOf(uint32_t crc, const unsigned char *bytes, size_t size) {
    while (size > 0) {  // zlib takes 32-bit lengths
        const uInt part = size > (1u << 30) ? 1u << 30 : (uInt)size;
        crc = (uint32_t)crc32(crc, bytes, part);
        bytes += part, size -= part;
    }
    return crc;
}

// The fields after the magic, in file order.
enum { F_VERSION, F_ENCODING, F_WIDTH, F_HEIGHT, F_AA, F_COLUMNS, F_ROWS, F_INDEX, F_X, F_Y, F_W, F_H, FIELDS };
enum { DIGEST_AT = 56, FIRST_BIN_AT = 64, BINS_AT = 72 };

void encodeHeader(const TileHeader &h, const ValueBins &bins, unsigned char *out) {
    memcpy(out, MAGIC, sizeof MAGIC);
    const int fields[FIELDS] = {TILE_VERSION, h.encoding, h.pictureWidth, h.pictureHeight, h.aa, h.columns,
                                h.rows,       h.index,    h.area.x,       h.area.y,        h.area.width,
                                h.area.height};
    for (int k = 0; k < FIELDS; ++k) put32(out + 8 + 4 * k, (uint32_t)fields[k]);
    put64(out + DIGEST_AT, h.digest);
    put64(out + FIRST_BIN_AT, (uint64_t)(int64_t)(bins.count.empty() ? 0 : bins.first));
    put32(out + BINS_AT, (uint32_t)bins.count.size());
}

long long fileBytes(const TileHeader &h, uint32_t bins) {
    return TILE_HEADER_SIZE + 8LL * bins + (long long)(tileSamples(h) * tileSampleBytes(h)) + 4;
}

int countsOf(const TileHeader &h) { return (h.encoding & ~TILE_DISTANCES) == TILE_COUNTS; }
int distancesOf(const TileHeader &h) { return (h.encoding & TILE_DISTANCES) != 0; }

void encodeDoubles(const double *values, size_t n, unsigned char *out) {
    for (size_t k = 0; k < n; ++k) {
        uint64_t bits;
        memcpy(&bits, &values[k], sizeof bits);
        put64(out + 8 * k, bits);
    }
}

void encodeRow(const TileHeader &h, const double *values, const double *distances, size_t n, unsigned char *out) {
    if (distances) encodeDoubles(distances, n, out + n * (tileSampleBytes(h) - 8));
    if (!countsOf(h)) return encodeDoubles(values, n, out);
    for (size_t k = 0; k < n; ++k) put32(out + 4 * k, values[k] == INSIDE_VALUE ? NEVER_ESCAPED : (uint32_t)values[k]);
}

struct TileWrite {
    const TileHeader *h;
    const ValueBins *bins;
    const double *values, *distances;
};

// (An empty part, e.g. a tile with no bins, may have no buffer at all.)
int writeAll(FILE *f, const unsigned char *bytes, size_t size, uint32_t &crc) {
    if (size == 0) return 1;
    crc = crcOf(crc, bytes, size);
    return fwrite(bytes, 1, size, f) == size;
}

int writeTileStream(FILE *f, const void *context, char *reason) {
    const TileWrite &w = *(const TileWrite *)context;
    const TileHeader &h = *w.h;
    unsigned char head[TILE_HEADER_SIZE];
    encodeHeader(h, *w.bins, head);
    uint32_t crc = 0;
    std::vector<unsigned char> bytes(w.bins->count.size() * 8);
    for (size_t k = 0; k < w.bins->count.size(); ++k) put64(&bytes[8 * k], w.bins->count[k]);
    if (!writeAll(f, head, sizeof head, crc) || !writeAll(f, bytes.data(), bytes.size(), crc))
        return streamWriteFailed(reason);
    const size_t wide = (size_t)h.area.width * (size_t)h.aa, rows = (size_t)h.area.height * (size_t)h.aa;
    bytes.resize(wide * tileSampleBytes(h));
    for (size_t r = 0; r < rows; ++r) {
        encodeRow(h, w.values + r * wide, w.distances ? w.distances + r * wide : nullptr, wide, bytes.data());
        if (!writeAll(f, bytes.data(), bytes.size(), crc)) return streamWriteFailed(reason);
    }
    unsigned char tail[4];
    put32(tail, crc);
    return fwrite(tail, 1, 4, f) == 4 || streamWriteFailed(reason);
}

// The header's own rules; 0 with a reason when it breaks one.
int headerSound(const TileHeader &h, char *reason) {
    const int kind = h.encoding & ~TILE_DISTANCES;
    if (kind != TILE_COUNTS && kind != TILE_SMOOTH)
        return failWith(0, reason, "damaged: unknown encoding %d", h.encoding);
    if (h.pictureWidth < 1 || h.pictureWidth > TILE_MAX_SIDE || h.pictureHeight < 1 ||
        h.pictureHeight > TILE_MAX_SIDE || h.aa < 1 || h.aa > TILE_MAX_AA)
        return failWith(0, reason, "damaged: its picture's size or samples are out of range");
    if (h.columns < 1 || h.columns > TILE_MAX_GRID || h.columns > h.pictureWidth || h.rows < 1 ||
        h.rows > TILE_MAX_GRID || h.rows > h.pictureHeight || h.index < 0 || h.index >= h.columns * h.rows)
        return failWith(0, reason, "damaged: its grid or number is out of range");
    const TileArea a = tileArea(h.pictureWidth, h.pictureHeight, h.columns, h.rows, h.index);
    if (memcmp(&a, &h.area, sizeof a) != 0) return failWith(0, reason, "damaged: its pixels are not its number's");
    return 1;
}

// `h` from the bytes; 0 with a reason when they are not a sound header.
int decodeHeader(const unsigned char *in, TileHeader &h, int64_t &first, uint32_t &bins, char *reason) {
    if (memcmp(in, MAGIC, sizeof MAGIC) != 0) return failWith(0, reason, "not a tile file");
    uint32_t f[FIELDS];
    for (int k = 0; k < FIELDS; ++k) f[k] = get32(in + 8 + 4 * k);
    if (f[F_VERSION] != TILE_VERSION)
        return failWith(0, reason, "a tile file of version %u, not %d", f[F_VERSION], TILE_VERSION);
    for (int k = 0; k < FIELDS; ++k)
        if (f[k] > TILE_MAX_SIDE) return failWith(0, reason, "damaged: a field of its header is out of range");
    h.encoding = (int)f[F_ENCODING];
    h.pictureWidth = (int)f[F_WIDTH], h.pictureHeight = (int)f[F_HEIGHT], h.aa = (int)f[F_AA];
    h.columns = (int)f[F_COLUMNS], h.rows = (int)f[F_ROWS], h.index = (int)f[F_INDEX];
    h.area = TileArea{(int)f[F_X], (int)f[F_Y], (int)f[F_W], (int)f[F_H]};
    h.digest = get64(in + DIGEST_AT);
    first = (int64_t)get64(in + FIRST_BIN_AT);
    bins = get32(in + BINS_AT);
    if (!headerSound(h, reason)) return 0;
    if (bins > TILE_MAX_BINS || first < -TILE_BIN_SLACK || first + bins > TILE_MAX_COUNT + TILE_BIN_SLACK + 1LL ||
        (bins == 0 && first != 0))
        return failWith(0, reason, "damaged: its bins are out of range");
    return 1;
}

// Which of `want`'s names `got` does not carry, as a reason.
int sameTile(const TileHeader &got, const TileHeader &want, char *reason) {
    if (got.pictureWidth != want.pictureWidth || got.pictureHeight != want.pictureHeight || got.aa != want.aa)
        return failWith(0, reason, "a tile of another picture (%dx%d, %d x %d samples a pixel), not of this %dx%d "
                        "(%d x %d)", got.pictureWidth, got.pictureHeight, got.aa, got.aa, want.pictureWidth,
                        want.pictureHeight, want.aa, want.aa);
    if (got.columns != want.columns || got.rows != want.rows)
        return failWith(0, reason, "a tile of a %dx%d grid, not of %dx%d", got.columns, got.rows, want.columns,
                        want.rows);
    if (got.index != want.index) return failWith(0, reason, "holds tile %d, not tile %d", got.index, want.index);
    if (countsOf(got) != countsOf(want))
        return failWith(0, reason, "made %s --smooth; this picture is %s", countsOf(got) ? "without" : "with",
                        countsOf(want) ? "not smooth" : "smooth");
    if (distancesOf(got) != distancesOf(want))
        return failWith(0, reason, "made %s distance estimates; this picture is %s",
                        distancesOf(got) ? "with" : "without",
                        distancesOf(want) ? "shaded by distance" : "not shaded by distance");
    if (got.digest != want.digest)
        return failWith(0, reason, "made with other settings (type, detail, place, pivot or approximation): its "
                        "settings digest differs");
    return 1;
}

// Reads and counts into the CRC exactly `size` bytes.
int readExactly(TileReader &t, unsigned char *bytes, size_t size, char *reason) {
    if (size == 0) return 1;
    if (fread(bytes, 1, size, t.file) == size) {
        t.crc = crcOf(t.crc, bytes, size);
        return 1;
    }
    if (ferror(t.file)) return failWith(0, reason, "cannot read it: %s", strerror(errno));
    return failWith(0, reason, "cut short");
}

// The bins, read in parts (a tile's bins run to megabytes) and checked.
int readBins(TileReader &t, int64_t first, uint32_t bins, ValueBins *out, char *reason) {
    unsigned char part[8 * 1024];
    ValueBins read = {first, {}, 0};
    if (out) read.count.reserve(bins);
    const uint64_t samples = tileSamples(t.header);
    for (uint32_t done = 0; done < bins;) {
        const uint32_t n = bins - done < 1024 ? bins - done : 1024;
        if (!readExactly(t, part, 8 * (size_t)n, reason)) return 0;
        for (uint32_t k = 0; k < n; ++k) {
            const uint64_t c = get64(part + 8 * k);
            if (c > samples - read.total) return failWith(0, reason, "damaged: its bins hold more than its samples");
            read.total += c;
            if (out) read.count.push_back(c);
        }
        done += n;
    }
    if (out) *out = std::move(read);
    return 1;
}

int decodeCounts(const unsigned char *in, size_t n, double *values) {
    for (size_t k = 0; k < n; ++k) {
        const uint32_t c = get32(in + 4 * k);
        if (c > TILE_MAX_COUNT && c != NEVER_ESCAPED) return 0;
        values[k] = c == NEVER_ESCAPED ? INSIDE_VALUE : (double)c;
    }
    return 1;
}

int decodeSmooth(const unsigned char *in, size_t n, double *values) {
    const double lowest = -TILE_BIN_SLACK, beyond = TILE_MAX_COUNT + TILE_BIN_SLACK + 1.0;
    for (size_t k = 0; k < n; ++k) {
        const uint64_t bits = get64(in + 8 * k);
        double v;
        memcpy(&v, &bits, sizeof v);
        if (!(v >= lowest && v < beyond) && v != INSIDE_VALUE) return 0;
        values[k] = v;
    }
    return 1;
}

// Each distance finite and not negative, or none.
int decodeDistances(const unsigned char *in, size_t n, double *distances) {
    for (size_t k = 0; k < n; ++k) {
        const uint64_t bits = get64(in + 8 * k);
        double d;
        memcpy(&d, &bits, sizeof d);
        if (!((d >= 0 && isfinite(d)) || d == NO_DISTANCE)) return 0;
        if (distances) distances[k] = d;
    }
    return 1;
}

}  // namespace

TileArea tileArea(int width, int height, int columns, int rows, int index) {
    const long long c = index % columns, r = index / columns;
    const int x = (int)(c * width / columns), y = (int)(r * height / rows);
    return TileArea{x, y, (int)((c + 1) * width / columns) - x, (int)((r + 1) * height / rows) - y};
}

uint64_t tileDigest(const char *text, size_t size) {
    uint64_t h = 0xcbf29ce484222325ull;
    for (size_t k = 0; k < size; ++k) h = (h ^ (unsigned char)text[k]) * 0x100000001b3ull;
    return h;
}

size_t tileSamples(const TileHeader &h) {
    return (size_t)h.area.width * (size_t)h.aa * (size_t)h.area.height * (size_t)h.aa;
}

size_t tileSampleBytes(const TileHeader &h) { return (countsOf(h) ? 4 : 8) + (distancesOf(h) ? 8 : 0); }

int writeTileFile(const char *path, const TileHeader &h, const ValueBins &bins, const double *values,
                  const double *distances, char *reason) {
    if (!distances != !distancesOf(h))
        return failWith(0, reason, "distances given for a tile whose header says otherwise");
    const TileWrite w = {&h, &bins, values, distances};
    return atomicWriteFile(path, writeTileStream, &w, reason);
}

int tileFileMatches(const char *path, const TileHeader &want) {
    TileReader t;
    char why[FILE_ERROR_SIZE];
    if (!openTile(path, want, t, nullptr, why)) return 0;
    std::vector<double> row((size_t)t.header.area.width * (size_t)t.header.aa);
    int whole = 1;
    for (int r = 0; r < t.header.area.height * t.header.aa && whole; ++r)
        whole = readTileRow(t, row.data(), nullptr, why);
    closeTile(t);
    return whole;
}

int openTile(const char *path, const TileHeader &want, TileReader &t, ValueBins *bins, char *reason) {
    closeTile(t);
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return failWith(0, reason, errno == ENOENT ? "missing" : "cannot open it: %s", strerror(errno));
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return failWith(0, reason, "not a regular file");
    }
    t.file = fdopen(fd, "rb");
    if (!t.file) {
        close(fd);
        return failWith(0, reason, "cannot read it: %s", strerror(errno));
    }
    unsigned char head[TILE_HEADER_SIZE];
    int64_t first = 0;
    uint32_t count = 0;
    t.crc = 0;
    t.rowsRead = 0;
    if (!readExactly(t, head, sizeof head, reason) || !decodeHeader(head, t.header, first, count, reason) ||
        !sameTile(t.header, want, reason))
        return closeTile(t), 0;
    const long long size = fileBytes(t.header, count);
    if (st.st_size != size) {
        closeTile(t);
        return failWith(0, reason, "%s: %lld bytes, not %lld", st.st_size < size ? "cut short" : "too long",
                        (long long)st.st_size, size);
    }
    if (!readBins(t, first, count, bins, reason)) return closeTile(t), 0;
    t.bytes.resize((size_t)t.header.area.width * (size_t)t.header.aa * tileSampleBytes(t.header));
    return 1;
}

int readTileRow(TileReader &t, double *values, double *distances, char *reason) {
    const TileHeader &h = t.header;
    const size_t n = (size_t)h.area.width * (size_t)h.aa;
    if (!t.file || t.rowsRead >= h.area.height * h.aa) return failWith(0, reason, "read past its last row");
    if (!readExactly(t, t.bytes.data(), t.bytes.size(), reason)) return 0;
    const int sound = countsOf(h) ? decodeCounts(t.bytes.data(), n, values) : decodeSmooth(t.bytes.data(), n, values);
    if (!sound) return failWith(0, reason, "damaged: a sample out of range in row %d", t.rowsRead);
    if (distancesOf(h) && !decodeDistances(t.bytes.data() + n * (tileSampleBytes(h) - 8), n, distances))
        return failWith(0, reason, "damaged: a distance out of range in row %d", t.rowsRead);
    if (++t.rowsRead < h.area.height * h.aa) return 1;
    unsigned char tail[4];
    const uint32_t crc = t.crc;
    if (fread(tail, 1, 4, t.file) != 4) return failWith(0, reason, "cut short");
    return get32(tail) == crc || failWith(0, reason, "damaged: its CRC differs");
}

void closeTile(TileReader &t) {
    if (t.file) fclose(t.file);
    t.file = nullptr;
}
