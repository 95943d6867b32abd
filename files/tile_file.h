// tile_file.h - one tile of a picture split among machines: the values its
// samples are coloured from, and what shows which picture and tile they are.
//
//   TileHeader h = tileHeader(...);  plus encoding, digest, index
//   writeTileFile(path, h, bins, values, distances, reason);   atomically
//   tileFileMatches(path, h);        a whole, sound tile of this picture is there
//
//   TileReader t;
//   openTile(path, h, t, &bins, reason);  its header checked against h, its
//                                         bins read (or skipped: null)
//   readTileRow(t, row, distances, reason);   each sample row in turn, as
//                                             doubles (distances: or null)
//   closeTile(t);
//
// The format: numbers little-endian, nothing between the fields.
//   offset  bytes
//   0       8     magic 89 51 56 54 49 4C 45 0A ("\x89QVTILE\n")
//   8       4     version, 1
//   12      4     encoding: TILE_COUNTS, 4 bytes a sample, the whole escape
//                 count, FFFFFFFF for a sample that never escaped; or
//                 TILE_SMOOTH, 8 bytes, an IEEE double, the smooth count,
//                 +infinity for one that never escaped; either plus
//                 TILE_DISTANCES when the picture is shaded by distance:
//                 each sample row is then followed by its row of
//                 distances (colour/distance.h), IEEE doubles, 8 bytes,
//                 each finite and not negative, or +infinity (NO_DISTANCE)
//                 for a sample that has none
//   16      4     picture width, pixels   } 1..TILE_MAX_SIDE
//   20      4     picture height, pixels  }
//   24      4     samples a pixel side (aa), 1..TILE_MAX_AA
//   28      4     columns of the grid  } 1..TILE_MAX_GRID, at most the
//   32      4     rows of the grid     } picture's pixels that way
//   36      4     the tile's number, row by row from 0
//   40      4     x       } the tile's pixels, which tileArea gives for
//   44      4     y       } its number: held so that a file is plain to
//   48      4     width   } read, and checked
//   52      4     height  }
//   56      8     settings digest: tileDigest of the text of every setting
//                 that shapes the values (the writer's to choose)
//   64      8     first bin: a whole count, signed
//   72      4     bins, 0..TILE_MAX_BINS, first bin + bins within the
//                 whole counts a value can have
//   76      8 a bin   the tile's samples of each whole count (the floor of
//                 the value) from the first, those that never escaped left
//                 out, at most the tile's samples in all
//   then          the samples: aa * height rows, top first, of aa * width
//                 samples, left first (each row with its distances after
//                 it, if any); every count at most TILE_MAX_COUNT,
//                 every smooth count finite and within the bins' reach
//   last    4     CRC-32 (as PNG and zlib compute it) of every byte before it
// A file is exactly that long. The header, the bins and the length are
// checked when a tile is opened; the samples and the CRC as they are read.
// The bins make a histogram of the whole picture without reading a sample
// (colour/colouring.h's mergeBins).
//
// A tile of column c of C covers the pixels floor(c * W / C) up to
// floor((c + 1) * W / C) - 1 of a picture W pixels wide, and rows likewise:
// tiles of the grid differ by a pixel at most, and cover the picture.
//
// Limits, each for a reason:
//   TILE_MAX_SIDE   the largest picture quorvex-render makes
//   TILE_MAX_AA     its most samples a pixel side
//   TILE_MAX_GRID   a join keeps a row of tiles open: 256 files, well
//                   within the 1024 a process may usually open
//   TILE_MAX_COUNT  the largest detail (files/paramfile.h's MAX_DETAIL)
//   TILE_BIN_SLACK  a smooth count lies within a few score of its whole
//                   count (up to 64 extra steps past it, a few below), and
//                   so never further than this from 0..TILE_MAX_COUNT
//
// Layer: files.
#ifndef QUORVEX_FILES_TILE_FILE_H
#define QUORVEX_FILES_TILE_FILE_H

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include <vector>

#include "colour/colouring.h"
#include "files/paramfile.h"

enum TileEncoding { TILE_COUNTS = 1, TILE_SMOOTH = 2, TILE_DISTANCES = 4 };

enum {
    TILE_VERSION = 1, TILE_HEADER_SIZE = 76, TILE_MAX_SIDE = 65536, TILE_MAX_AA = 8, TILE_MAX_GRID = 256,
    TILE_MAX_COUNT = MAX_DETAIL, TILE_BIN_SLACK = 128, TILE_MAX_BINS = TILE_MAX_COUNT + 2 * TILE_BIN_SLACK + 1,
};

struct TileArea {
    int x, y, width, height;  // pixels
};

struct TileHeader {
    int encoding;             // TILE_COUNTS or TILE_SMOOTH, maybe plus TILE_DISTANCES
    int pictureWidth, pictureHeight, aa;
    int columns, rows, index;
    TileArea area;            // tileArea of the above
    uint64_t digest;
};

// Tile `index`'s pixels in a width x height picture cut into columns x rows.
TileArea tileArea(int width, int height, int columns, int rows, int index);

// FNV-1a, 64 bits, of `size` bytes: the settings digest.
uint64_t tileDigest(const char *text, size_t size);

// The samples of a tile of `h`, and the bytes of each (its distance too).
size_t tileSamples(const TileHeader &h);
size_t tileSampleBytes(const TileHeader &h);

// The whole file: its header (area from tileArea), `bins` (binsOf the
// values) and the values (tileSamples of them: smooth counts, or whole
// counts as doubles; INSIDE_VALUE for never escaped), with TILE_DISTANCES
// the distances (as many, in the same order; else null), through
// atomicWriteFile.
int writeTileFile(const char *path, const TileHeader &h, const ValueBins &bins, const double *values,
                  const double *distances, char *reason);

// 1 when `path` is a whole tile of `want`'s header, every sample in range
// and its CRC right: the check that a tile already made may be kept (it
// reads the file, far cheaper than computing it again).
int tileFileMatches(const char *path, const TileHeader &want);

struct TileReader {
    FILE *file = nullptr;
    TileHeader header;
    uint32_t crc = 0;         // of the bytes read so far
    int rowsRead = 0;
    std::vector<unsigned char> bytes;  // one row as stored
};

// Opens `path` and reads its header and bins (into `bins`, unless it is
// null): 0 with a one-line reason (naming no file: the caller does) when it
// cannot be read, is not a tile, is not a tile of `want` (picture, grid,
// number, encoding or digest), or is cut short or too long.
int openTile(const char *path, const TileHeader &want, TileReader &t, ValueBins *bins, char *reason);

// The next sample row (aa * width values) into `values`, and its
// distances into `distances` when the tile has them and it is not null;
// 0 with a reason when it cannot be read or holds a value or distance out
// of range, and after the last row when the CRC differs.
int readTileRow(TileReader &t, double *values, double *distances, char *reason);

void closeTile(TileReader &t);

#endif
