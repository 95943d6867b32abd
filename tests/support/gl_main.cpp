// main for gl-tier test programs: the window first, then the tests.
#include <gtest/gtest.h>
#include <stdio.h>

#include "gl_harness.h"
#include "widgets/button.h"

// The GL driver leaks at exit and has unloaded itself by the time the leak
// check runs, so its leaks cannot be told from ours by a suppression: in a
// sanitizer build these programs, which draw in-process, run without leak
// detection (ASAN_OPTIONS still wins; the unit tier keeps the check).
extern "C" const char *__asan_default_options() { return "detect_leaks=0"; }

int main(int argc, char **argv) {
    testing::InitGoogleTest(&argc, argv);
    if (!startProgramInProcess({"quorvex"})) {
        fprintf(stderr, "could not start Xvfb and open the program's window\n");
        return 1;
    }
    return RUN_ALL_TESTS();
}
