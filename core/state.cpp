#include "core/state.h"

#include <string.h>

#include "core/plane_view.h"

int fracWidth = GRID_SIZE;
int fracHeight = GRID_SIZE;
int detail = DETAIL_DEFAULT;
double xStart = -5.0, xEnd = 5.0, yStart = -5.0, yEnd = 5.0;
double xPivot = 0.0, yPivot = 0.0;
double xScale = 10.0 / GRID_SIZE, yScale = 10.0 / GRID_SIZE;
int fType = 0;
char fracType[TEXT_FIELD] = "";
int noFractal = 1;
unsigned char fractal[GRID_CELLS];

const char *const FRACTAL_TYPE_NAMES[FRACTAL_TYPES] = {
    FRACTAL_TYPE_TABLE[0].name, FRACTAL_TYPE_TABLE[1].name, FRACTAL_TYPE_TABLE[2].name,
    FRACTAL_TYPE_TABLE[3].name, FRACTAL_TYPE_TABLE[4].name, FRACTAL_TYPE_TABLE[5].name,
    FRACTAL_TYPE_TABLE[6].name, FRACTAL_TYPE_TABLE[7].name, FRACTAL_TYPE_TABLE[8].name,
    FRACTAL_TYPE_TABLE[9].name,
};

int fractalTypeIndex(const char *name) {
    for (int t = 0; t < FRACTAL_TYPES; ++t)
        if (strcmp(name, FRACTAL_TYPE_NAMES[t]) == 0) return t;
    return -1;
}

void setFractalType(int type) {
    fType = type;
    strcpy(fracType, FRACTAL_TYPE_NAMES[type]);
}

void applyScaleRule() {
    xScale = planeScale(xStart, xEnd, fracWidth);
    yScale = planeScale(yStart, yEnd, fracHeight);
}

void resetView() {
    xStart = -5.0;
    xEnd = 5.0;
    xScale = 10.0 / (double)fracWidth;
    yStart = -5.0;
    yEnd = 5.0;
    yScale = 10.0 / (double)fracHeight;
}

void resetFractalState() {
    fracWidth = fracHeight = GRID_SIZE;
    detail = DETAIL_DEFAULT;
    xPivot = yPivot = 0.0;
    resetView();
    setFractalType(0);
    noFractal = 1;
    memset(fractal, 0, sizeof fractal);
}
