#include "core/kernels.h"

#include "core/kernels_simd.h"
#include "core/state.h"

KernelView currentKernelView() {
    return KernelView{fracWidth, detail, xStart, xScale, yStart, yScale, xPivot, yPivot};
}

unsigned char *computeRow(int type, const KernelView &view, int row, unsigned char *out) {
    return computeRowWith(fastestKernelPath(), type, view, row, out);
}

#define QUORVEX_CORE_FUNCTION(NAME, TYPE)                                     \
    unsigned char *NAME(int row, unsigned char *rowPtr) {                    \
        return computeRow(TYPE, currentKernelView(), row, rowPtr);           \
    }

QUORVEX_CORE_FUNCTION(MANDELBROT_CORE, MANDELBROT_TYPE)
QUORVEX_CORE_FUNCTION(JULIA_CORE, JULIA_TYPE)
QUORVEX_CORE_FUNCTION(M_DRAGON_CORE, M_DRAGON_TYPE)
QUORVEX_CORE_FUNCTION(J_DRAGON_CORE, J_DRAGON_TYPE)
QUORVEX_CORE_FUNCTION(M_PHOENIX_CORE, M_PHOENIX_TYPE)
QUORVEX_CORE_FUNCTION(J_PHOENIX_CORE, J_PHOENIX_TYPE)
QUORVEX_CORE_FUNCTION(M_COSINE_CORE, M_COSINE_TYPE)
QUORVEX_CORE_FUNCTION(J_COSINE_CORE, J_COSINE_TYPE)
QUORVEX_CORE_FUNCTION(M_COSH_CORE, M_COSH_TYPE)
QUORVEX_CORE_FUNCTION(J_COSH_CORE, J_COSH_TYPE)
