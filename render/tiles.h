// tiles.h - a still split into tiles, made on many machines, joined once.
//
//   quorvex-render [the picture's options] --tiles 4x4 --tile-range 0:7 t/tile-%03d
//   quorvex-render [the picture's options] --tiles 4x4 --join t/tile-%03d poster.png
//
// A tile is a rectangle of the still's pixels (files/tile_file.h cuts the
// grid), kept as a file of its samples' values (colour/colouring.h), and
// their distances under distance shading: what the colouring reads, never
// colours, so the join colours the picture as one run would. A tile's samples are the whole picture's: the same view
// in doubles, or for a deep picture the same reference orbit at the
// picture's centre with tables that reach its every cell (the tiles of one
// run share them), each cell counted as the one run counts it
// (frameAreaValues, render/frame.h).
//
// Making (render/run.cpp): each tile in the range whose file is not already
// a whole, sound tile of this picture (planned like a dive's frames,
// render/plan.h; names and headers are render/tile_grid.h's) is computed
// and written atomically with its header and bins, while the next is
// computed.
//
// Joining: every tile is opened first, its header checked against this
// picture's (tileHeaderOf) and its bins merged, so that a missing, foreign,
// truncated or otherwise changed tile is refused before anything is
// written, with one line naming it; a histogram look takes the merged bins,
// the histogram of the whole picture. Then the writer asks for the pixel
// rows in turn (joinRow), coloured a few rows ahead of it by a second
// thread where there are two (the one-run still colours while it
// computes, and compresses after: so the join costs little more than the
// compression both do). Sample rows are read across a row of tiles, left
// to right, into a ring of aa + 2 rows the width of the picture, which
// holds every row a pixel row's colouring reads (slopes read the sample
// rows above and below, across seams too), and a second ring of the
// rows' distances when the picture is shaded by distance. A row of tiles is open at a
// time, so a 65536 x 65536 poster is joined in a few rows of samples. A
// tile damaged within its samples (a value out of range, a CRC that
// differs) fails the write there: the writer removes what it wrote.
//
// Layer: render.
#ifndef QUORVEX_RENDER_TILES_H
#define QUORVEX_RENDER_TILES_H

#include <stdint.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "files/tile_file.h"
#include "render/plan.h"
#include "render/tile_grid.h"

// What the file of tile k of `p`'s picture holds in its header.
inline TileHeader tileHeaderOf(const RenderPlan &p, int k) { return tileHeaderOf(p.options, p.tileDigest, k); }

struct TileJoin {
    const RenderPlan *plan = nullptr;
    std::vector<TileReader> open;           // the row of tiles being read
    int openRow = -1;                       // its number
    std::vector<std::vector<double>> ring;  // sample row s at ring[s % (aa + 2)]
    std::vector<std::vector<double>> distanceRing;  // and its distances, when shaded by distance
    int samplesRead = 0;                    // sample rows read, top first
    CountHistogram histogram;               // a histogram look's, of the whole picture
    std::atomic<int> failed{0};             // a tile failed while the picture was written
    // With more than one thread, pixel rows are read and coloured by a
    // thread of their own up to JOIN_AHEAD rows ahead of the writer, which
    // compresses meanwhile: pixel row r waits at ahead[r % JOIN_AHEAD].
    std::thread reader;
    std::mutex lock;
    std::condition_variable changed;
    std::vector<std::vector<unsigned char>> ahead;
    int coloured = 0, taken = 0, quit = 0;  // under `lock`
    char why[RENDER_REASON_SIZE] = "";      // the reader's failure, under `lock`
    ~TileJoin();
};

enum { JOIN_AHEAD = 8 };

// Opens and checks every tile of the plan's join; 0 with one line naming
// the first tile that is missing or refused, or WRITE_INTERRUPTED when
// `stop` was set.
int startJoin(TileJoin &j, const RenderPlan &p, const std::atomic<int> *stop, char *reason);

// A PictureJob's row function (render/output.h): `join` is a TileJoin.
// Rows are asked for in turn, top first.
int joinRow(int row, unsigned char *out, void *join, char *reason);

#endif
