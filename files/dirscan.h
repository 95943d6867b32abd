// dirscan.h - the list of parameter files in the working directory.
//
// SCAN_FOR_IMAGES(pattern) reads the working directory itself (no shell, no
// temporary file): regular files (symbolic links followed) whose names do
// not begin with a dot and end in `pattern` (as the shell's *pattern would
// match them), in byte order (as LC_ALL=C ls sorts them), the first 100 of
// them; names longer than 79 bytes are skipped and do not count. Names
// with blanks are listed whole. They go into fileNames rows 0, 1, ...;
// later rows keep what they held. A scan that finds nothing (or cannot
// read the directory, which it says on standard error) empties row 0, so
// the list shows no stale name. Returns the index of the last name
// (count - 1), or 0 when there is one name or none.
//
// listMatchingFiles is the same listing for any directory into any table;
// it touches no program-wide state.
//
// fileNames row 0 doubles as the typed file name of the Save and Export
// dialogs. Written only by the scan and by the dialogs' typing.
//
// Layer: files, GL-free.
#ifndef QUORVEX_FILES_DIRSCAN_H
#define QUORVEX_FILES_DIRSCAN_H

enum { FILE_NAMES = 100, FILE_NAME_SIZE = 80 };

extern char fileNames[FILE_NAMES][FILE_NAME_SIZE];

// Fills names rows 0 .. n - 1 and returns n (at most `capacity`), or -1
// with a reason (FILE_ERROR_SIZE bytes, may be null) when `directory`
// cannot be read; then no row is written.
int listMatchingFiles(const char *directory, const char *pattern, char (*names)[FILE_NAME_SIZE],
                      int capacity, char *reason);

int SCAN_FOR_IMAGES(const char *pattern);

#endif
