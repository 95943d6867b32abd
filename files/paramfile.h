// paramfile.h - the parameter file (".frc"): one piece of work, header and grid.
//
// Layout (text lines end in a single line feed; the reader takes
// whitespace-separated fields):
//    1  "QUORVEX"                     magic
//    2  type name                     fracType verbatim, at most 79 bytes
//    3  detail                        "%d", 1..MAX_DETAIL
//    4  xStart  5 xEnd  6 xPivot      any number "%lf" scans; written as
//    7  yStart  8 yEnd  9 yPivot      formatParameterNumber gives it (exact)
//   10  "P5"                          any token of at most 14 bytes, not
//                                     checked; then exactly one byte
//   11  width height                  "%d %d", each 1..800
//   12  "255"                         maximum grey, a number, not checked;
//                                     then exactly one separator byte
//   13  height rows of width bytes, row 0 first; anything after is ignored
// Lines 10 to 13 are a complete binary PGM of the used grid. Writing the
// start state gives the lines QUORVEX, Mandelbrot, 50, -5.000000, 5.000000,
// 0.000000, -5.000000, 5.000000, 0.000000, P5, 800 800, 255 and then
// 640,000 grid bytes.
//
// A file is refused when it cannot be opened, the magic is not "QUORVEX",
// a field does not fit its buffer or holds a NUL byte, more than 256 blank
// bytes come before a field, a number does not scan (or does not end at
// white space), detail is outside 1..MAX_DETAIL, width or height is outside
// 1..800, or the pixel data ends early (a truncated file is a damaged
// file). No field is read past its buffer (the magic's is 8 bytes), so a
// file of any size that is not a parameter file is refused after a few
// hundred bytes at most (header_tokens.h). An unknown type name is
// accepted: the type stays as it was and the name is shown. Because the
// maximum grey value is followed by exactly one byte, a CR LF there shifts
// every pixel by one.
//
// Two layers:
//   readFractalFile / writeFractalFile - plain data in, plain data out; they
//       touch no program-wide state (the headless renderer uses them).
//   LOAD_FRACTAL / SAVE_FRACTAL - the program's commands: LOAD_FRACTAL reads
//       into a staging copy and commits it to the program-wide state only
//       when the file is accepted, so a refused file changes nothing at all
//       (the scales are left to the caller). SAVE_FRACTAL writes the
//       program-wide state. Both return 1 on success, 0 on failure with the
//       reason in fileError.
// Every write goes through atomicWriteFile: a failed save leaves any
// earlier file intact.
//
// Layer: files, GL-free.
#ifndef QUORVEX_FILES_PARAMFILE_H
#define QUORVEX_FILES_PARAMFILE_H

#include <atomic>

#include "core/state.h"
#include "files/atomic_write.h"
#include "files/header_tokens.h"

// The text of a view edge or pivot in a written file: what "%lf" prints
// whenever that reads back to the very same double (so the start state and
// every value of six or fewer decimals keep their bytes), otherwise the
// shortest of "%.15g", "%.16g" and "%.17g" that does. A saved view thus
// comes back bit for bit however deep the zoom; -0 keeps its sign, and NaN
// and the infinities are written as "%lf" writes them. `text` holds
// NUMBER_TOKEN_SIZE bytes (the reader's bound; "%lf" of the largest double
// is 317 bytes).
void formatParameterNumber(char *text, double value);

// Above this the grid value 255 * j no longer fits a 32-bit int.
enum { MAX_DETAIL = 2147483647 / 255 };

struct FractalFile {
    char typeName[TEXT_FIELD];  // the type line, verbatim
    int type;                   // fType of typeName, or -1 for an unknown name
    int detail;
    double xStart, xEnd, xPivot, yStart, yEnd, yPivot;
    int width, height;          // the used block, 1..GRID_SIZE each
    // Row stride GRID_SIZE, like the program's grid: only the top-left
    // width x height block is read or written.
    unsigned char grid[GRID_CELLS];
};

// 1 and `file` filled when the file is accepted; 0 and a reason otherwise,
// with `file` in an unspecified state. Cells outside the block are not
// written. `type` is set from the name. `reason` may be null. `stop` (may
// be null) is polled between grid rows; once it is non-zero the file is
// refused with the reason READ_INTERRUPTED.
int readFractalFile(const char *path, FractalFile &file, char *reason,
                    const std::atomic<int> *stop = nullptr);

// Writes `file` (its `type` is not used: the name goes out verbatim).
// Refuses, writing nothing, what the reader would refuse: a type name that
// is empty or holds white space, detail or size out of range.
int writeFractalFile(const char *path, const FractalFile &file, char *reason);

// The program-wide parameters and grid into `file`, and back. Committing
// leaves fType as it is for an unknown name, and grid cells outside the
// block as they are; it does not touch xScale, yScale or noFractal. A file
// whose size lies outside 1..800 is not committed at all.
void captureFractalState(FractalFile &file);
void commitFractalFile(const FractalFile &file);

int LOAD_FRACTAL(char *path);
int SAVE_FRACTAL(char *path);

#endif
