#include "core/cmdline.h"

#include <limits.h>
#include <stdlib.h>
#include <string.h>

const char *const QUORVEX_VERSION = "3.0";
const char *const NOT_UNDERSTOOD =
    "arguments not understood (use none, or t N for N threads); Make will compute nothing";

namespace {

// Appends as much of text as fits, always leaving room for `reserve` more
// characters and the terminator.
void appendBounded(char *title, const char *text, size_t reserve) {
    const size_t used = strlen(title);
    const size_t room = TITLE_SIZE - 1 - reserve;
    if (used >= room) return;
    strncat(title, text, room - used);
}

// atoi's reading (blanks, a sign, digits up to the first non-digit), but a
// number too large for an int is clamped instead of being undefined.
int threadCount(const char *text) {
    const long n = strtol(text, NULL, 10);
    if (n > INT_MAX) return INT_MAX;
    if (n < INT_MIN) return INT_MIN;
    return (int)n;
}

void setSequential(CommandLine &cl) {
    cl.processType = PROCESS_SEQUENTIAL;
    cl.threads = 1;
    appendBounded(cl.title, " - UniProcess", 1);
}

}  // namespace

CommandLine parseCommandLine(int argc, const char *const *argv) {
    CommandLine cl = {0, PROCESS_NONE, 0, ""};
    snprintf(cl.title, sizeof cl.title, "Quorvex (V. %s", QUORVEX_VERSION);
    const int args = argc - 1;
    if (args == 1) {
        cl.showHelp = 1;
        return cl;
    }
    if (args == 0) {
        setSequential(cl);
    } else if (args == 2 && argv[1][0] == 't') {
        const int n = threadCount(argv[2]);
        if (n >= 1) {
            cl.processType = PROCESS_THREADED;
            cl.threads = n;
            appendBounded(cl.title, " - Threaded x ", 1);
            appendBounded(cl.title, argv[2], 1);
        } else {
            setSequential(cl);
        }
    }
    appendBounded(cl.title, ")", 0);
    return cl;
}

void writeHelpText(FILE *out) {
    fprintf(out, "Quorvex (V. %s\n", QUORVEX_VERSION);
    fputs("\n", out);
    fputs("Quorvex is designed to support multiple modes of processing, including:\n", out);
    fputs("\n", out);
    fputs(" 1. A single process on a single machine.\n", out);
    fputs("    Involked by the command: quorvex\n", out);
    fputs("\n", out);
    fputs(" 2. Multiple (N) threads on a single machine.\n", out);
    fputs("    Involked by the command: quorvex t N\n", out);
    fputs("\n", out);
}
