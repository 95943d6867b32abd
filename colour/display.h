// display.h - drawing the grid into the image panel.
//
// Cell (r, c) is a point of size 2 at (left + 2 + c, top - 3 - r) coloured
// (PaletteR[v], PaletteG[v], PaletteB[v]); rows top to bottom, columns left
// to right, so later points cover the pixels they share with earlier ones.
//   DISPLAY_FRACTAL(panel)       the used grid into the back buffer, point
//                                size 2 then 1, then a swap; does not blank
//                                the panel first.
//   DISPLAY_FRACTAL_ROW(r, panel) one row into whatever buffer is selected,
//                                at the current point size; no swap.
// Each row is one vertex-and-colour array draw: the same pixels as one
// glBegin/glEnd per point at a fraction of the calls.
#ifndef QUORVEX_COLOUR_DISPLAY_H
#define QUORVEX_COLOUR_DISPLAY_H

#include "widgets/window.h"

void DISPLAY_FRACTAL(WINDOW panel);
void DISPLAY_FRACTAL_ROW(int row, WINDOW panel);

// Draws row `row` without presenting (the shared body of the two above).
void drawGridRow(int row, const WINDOW &panel);

#endif
