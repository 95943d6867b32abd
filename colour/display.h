// display.h - drawing the grid into the image panel.
//
// Cell (r, c) is a point of size 2 at (left + 2 + c, top - 3 - r) coloured
// (PaletteR[v], PaletteG[v], PaletteB[v]); rows top to bottom, columns left
// to right, so later points cover the pixels they share with earlier ones.
//   DISPLAY_FRACTAL(panel)       the used grid into the back buffer, point
//                                size 2 then 1, then a swap; does not blank
//                                the panel first.
//   DISPLAY_FRACTAL_ROW(r, panel) one row into whatever buffer is selected,
//                                at the current point size; no swap. Rows
//                                outside the grid draw nothing.
// Both give exactly the pixels of one glBegin/glEnd point per cell, faster:
// a row is one vertex-and-colour array draw; the whole grid is resolved on
// the CPU (which cell wins each pixel follows from the drawing order) and
// put down with one glDrawPixels, falling back to rows of points when the
// block does not lie inside the viewport at one unit per pixel.
//
// Layer: colour (draws with GL through widgets/gfx.h).
#ifndef QUORVEX_COLOUR_DISPLAY_H
#define QUORVEX_COLOUR_DISPLAY_H

#include "widgets/window.h"

void DISPLAY_FRACTAL(WINDOW panel);

// The rows of a Make. Between beginMakeRows and endMakeRows, DISPLAY_FRACTAL_ROW
// only records each row; the rows recorded since the last present are put
// down as blocks of pixels just before the next present (and at the end),
// resolved the way the size-2 points would have covered each other, drawn
// in the order the rows were reported. Same pixels, a fraction of the cost:
// hundreds of point draws into two buffers cost a software renderer far
// more than the computing. When the block cannot be placed one unit per
// pixel, the rows are drawn as points as they come.
void beginMakeRows(const WINDOW &panel);
void endMakeRows();

// Puts down the recorded rows and presents, if a present is due.
void presentMakeRowsIfDue();
void DISPLAY_FRACTAL_ROW(int row, WINDOW panel);

// Draws row `row` without presenting (the shared body of the two above).
void drawGridRow(int row, const WINDOW &panel);

#endif
