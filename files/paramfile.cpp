#include "files/paramfile.h"

char fileError[256];

int LOAD_FRACTAL(char *) { return 0; }
int SAVE_FRACTAL(char *) { return 0; }
