// dirscan.h - the list of parameter files in the working directory.
//
// SCAN_FOR_IMAGES(pattern) reads the working directory itself (no shell, no
// temporary file): regular files whose names do not begin with a dot and
// end in `pattern`, sorted in byte order, at most 100, names longer than 79
// characters skipped. They go into fileNames rows 0, 1, ...; a scan that
// finds nothing empties row 0. Returns the index of the last name (count - 1),
// or 0 when there is one name or none.
//
// fileNames row 0 doubles as the typed file name of the Save and Export
// dialogs. Written only by the scan and by the dialogs' typing.
#ifndef QUORVEX_FILES_DIRSCAN_H
#define QUORVEX_FILES_DIRSCAN_H

enum { FILE_NAMES = 100, FILE_NAME_SIZE = 80 };

extern char fileNames[FILE_NAMES][FILE_NAME_SIZE];

int SCAN_FOR_IMAGES(const char *pattern);

#endif
