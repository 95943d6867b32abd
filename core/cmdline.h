// cmdline.h - reading the command line into a processing mode.
//
//   quorvex            sequential mode (processType 1, threads 1)
//   quorvex ANYTHING   help text on standard output, exit status 0
//   quorvex t N        N worker slots (processType 2) when atoi(N) >= 1,
//                      else sequential; only the first letter 't' is tested
//   anything else      no processing mode (processType 0): Make draws nothing;
//                      the program says so on standard error
//                      (NOT_UNDERSTOOD) and opens its window all the same
//
// The title "Quorvex (V. 3.0" + mode suffix + ")" is composed in a fixed
// 96-byte buffer; a thread-count text too long to fit is cut short so the
// closing parenthesis always fits.
//
// Layer: core, GL-free.
#ifndef QUORVEX_CORE_CMDLINE_H
#define QUORVEX_CORE_CMDLINE_H

#include <stdio.h>

enum { TITLE_SIZE = 96 };

// The values of processType: how Make generates (generate/make.h).
enum { PROCESS_NONE = 0, PROCESS_SEQUENTIAL = 1, PROCESS_THREADED = 2 };

extern const char *const QUORVEX_VERSION;  // "3.0"

// The line (without "quorvex: " and the newline) for a command line with no
// processing mode.
extern const char *const NOT_UNDERSTOOD;

struct CommandLine {
    int showHelp;     // 1: print the help text and exit 0
    int processType;  // PROCESS_NONE, PROCESS_SEQUENTIAL or PROCESS_THREADED
    int threads;      // worker slots for processType 2
    char title[TITLE_SIZE];
};

CommandLine parseCommandLine(int argc, const char *const *argv);

// The ten help lines, each ended by a newline.
void writeHelpText(FILE *out);

#endif
