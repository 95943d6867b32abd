#include "files/dirscan.h"

char fileNames[FILE_NAMES][FILE_NAME_SIZE];

int SCAN_FOR_IMAGES(const char *) {
    fileNames[0][0] = '\0';
    return 0;
}
