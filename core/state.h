// state.h - the fractal parameters and the image grid.
//
// Everything the explorer computes lives here: the size of the grid in use,
// the iteration limit, the view rectangle in the complex plane, the pivot
// (the constant of the J kinds), the two scales tying grid cells to plane
// points, the current type and the 800 x 800 byte grid itself.
//
// Who may write what (always on the main thread, inside a GLUT callback):
//   fracWidth, fracHeight ........ the parameter-file loader only
//   detail ....................... Detail+/Detail-, Reset, the loader
//   xStart, xEnd, yStart, yEnd ... zoom rectangle, Zoom Out, Reset, the loader
//   xPivot, yPivot ............... pivot pick, Reset, the loader
//   xScale, yScale ............... applyScaleRule()/resetView() only
//   fType, fracType .............. Type, Reset, the loader (setFractalType)
//   noFractal .................... Make and the Load-list pick (to 0, never back)
//   fractal ...................... the kernels (one row each) and the loader
// Worker threads only read the parameters while a Make runs, and each writes
// only the grid row it was handed.
//
// Cell (r, i) stands for (i * xScale + xStart, r * yScale + yStart).
// A cell holds (255 * j) / detail, j the escape count 0..detail.
//
// Layer: core (the bottom; GL-free).
#ifndef QUORVEX_CORE_STATE_H
#define QUORVEX_CORE_STATE_H

#include "core/fractal_types.h"

// The grid is fixed at 800 x 800: the data model's hard limit.
enum { GRID_SIZE = 800, GRID_CELLS = GRID_SIZE * GRID_SIZE };

// Text fields hold at most 79 characters plus the terminator.
enum { TEXT_FIELD = 80 };

// detail starts at DETAIL_DEFAULT (Reset goes back to it); Detail+ and
// Detail- move it by DETAIL_STEP and keep the result within DETAIL_FLOOR ..
// DETAIL_CEILING. A loaded file may bring any value of 1 and up.
enum { DETAIL_DEFAULT = 50, DETAIL_STEP = 50, DETAIL_FLOOR = 50, DETAIL_CEILING = 5000 };

extern int fracWidth;
extern int fracHeight;
extern int detail;
extern double xStart, xEnd, yStart, yEnd;
extern double xPivot, yPivot;
extern double xScale, yScale;
extern int fType;
extern char fracType[TEXT_FIELD];
extern int noFractal;
extern unsigned char fractal[GRID_CELLS];

// The ten type names, in fType order ("Mandelbrot" ... "J-Cosh").
extern const char *const FRACTAL_TYPE_NAMES[FRACTAL_TYPES];

// The fType of a name (exact, case-sensitive), or -1.
int fractalTypeIndex(const char *name);

// Sets fType and copies its name into fracType.
void setFractalType(int type);

// Grid value of escape count j: (255 * j) / detail in int arithmetic.
inline unsigned char gridValue(int j, int limit) {
    return (unsigned char)(255 * j / limit);
}

// The scale rule: xScale = (xEnd - xStart) / fracWidth, likewise for y.
void applyScaleRule();

// View back to -5..5 on both axes, with scales 10.0 / fracWidth and
// 10.0 / fracHeight (Reset and Zoom Out).
void resetView();

// All parameters back to their start values, grid zeroed (tests use this).
void resetFractalState();

#endif
