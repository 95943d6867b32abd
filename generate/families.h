// families.h - the ten fractal types' operations, and the one chain on the
// type that picks one of them.
//
// Layer: generate (uses widgets/window.h and core; GL-free itself).
//
// Every type has a family of three operations named after it:
//   MANDELBROT_CORE(row, rowPtr)  computes one grid row (core/kernels.h)
//   MANDELBROT(WINDOW panel)      the sequential driver: every row, each drawn
//                                 as soon as it is computed (generate/make.cpp)
//   MANDELBROT(void *slot)        the worker entry: one row on its own thread
//                                 (generate/row_workers.cpp)
// and likewise JULIA, M_DRAGON, J_DRAGON, M_PHOENIX, J_PHOENIX, M_COSINE,
// J_COSINE, M_COSH, J_COSH.
//
// familyMember<Entry>(type) is the design's chain of tests on the type, once
// for both families: the entry type picks the overload, so
// familyMember<SequentialDriver>(fType) is a sequential driver and
// familyMember<RowWorker>(fType) a worker entry, and each use links only
// its own family (the workers build without GL). A type outside 0..8 is
// J-Cosh, as the chain has always ended.
#ifndef QUORVEX_GENERATE_FAMILIES_H
#define QUORVEX_GENERATE_FAMILIES_H

#include "core/fractal_types.h"
#include "core/kernels.h"
#include "widgets/window.h"

typedef void (*SequentialDriver)(WINDOW panel);
typedef void *(*RowWorker)(void *slot);

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

void *MANDELBROT(void *slot);
void *JULIA(void *slot);
void *M_DRAGON(void *slot);
void *J_DRAGON(void *slot);
void *M_PHOENIX(void *slot);
void *J_PHOENIX(void *slot);
void *M_COSINE(void *slot);
void *J_COSINE(void *slot);
void *M_COSH(void *slot);
void *J_COSH(void *slot);

// The chain names the types of core/fractal_types.h in the table's order,
// one test each, and ends at its last.
static_assert(FRACTAL_TYPES == 10 && J_COSH_TYPE == FRACTAL_TYPES - 1,
              "familyMember tests every type of FRACTAL_TYPE_TABLE");

template <class Entry>
Entry familyMember(int type) {
    if (type == MANDELBROT_TYPE) return MANDELBROT;
    if (type == JULIA_TYPE) return JULIA;
    if (type == M_DRAGON_TYPE) return M_DRAGON;
    if (type == J_DRAGON_TYPE) return J_DRAGON;
    if (type == M_PHOENIX_TYPE) return M_PHOENIX;
    if (type == J_PHOENIX_TYPE) return J_PHOENIX;
    if (type == M_COSINE_TYPE) return M_COSINE;
    if (type == J_COSINE_TYPE) return J_COSINE;
    if (type == M_COSH_TYPE) return M_COSH;
    return J_COSH;
}

#endif
