// main for gl-tier test programs: the window first, then the tests.
#include <gtest/gtest.h>
#include <stdio.h>

#include "gl_harness.h"
#include "widgets/button.h"

int main(int argc, char **argv) {
    testing::InitGoogleTest(&argc, argv);
    if (!startProgramInProcess({"quorvex"})) {
        fprintf(stderr, "could not start Xvfb and open the program's window\n");
        return 1;
    }
    return RUN_ALL_TESTS();
}
