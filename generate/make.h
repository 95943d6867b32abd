// make.h - the Make command and the generation drivers that draw.
//
// MAKE_COMMAND: click animation, Make drawn plainly (removes the cue),
// image panel cleared, both buffers selected, point size 2, scales from the
// view, then by processType: 1 the sequential driver of fType, 2
// THREAD_FRACTAL_GENERATE, otherwise nothing; point size 1; noFractal = 0.
// It neither swaps nor restores the draw buffer (both stay selected).
//
// A sequential driver computes rows 0, 1, ... with its type's kernel and
// draws each row right after computing it. THREAD_FRACTAL_GENERATE hands the
// rows to `threads` worker slots (generate/row_workers.h) and draws each row
// as its worker reports it done. Rows whose worker could not be started are
// computed on this thread instead; one line on standard error says how many.
#ifndef QUORVEX_GENERATE_MAKE_H
#define QUORVEX_GENERATE_MAKE_H

#include "widgets/window.h"

void MAKE_COMMAND();

void MANDELBROT(WINDOW panel);
void JULIA(WINDOW panel);
void M_DRAGON(WINDOW panel);
void J_DRAGON(WINDOW panel);
void M_PHOENIX(WINDOW panel);
void J_PHOENIX(WINDOW panel);
void M_COSINE(WINDOW panel);
void J_COSINE(WINDOW panel);
void M_COSH(WINDOW panel);
void J_COSH(WINDOW panel);

void THREAD_FRACTAL_GENERATE(WINDOW panel);

#endif
