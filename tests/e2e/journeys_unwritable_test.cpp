// Saving where the user may not write: the program runs as an unprivileged
// user in a directory it can read but not change. The user is told, and
// the file already there is left exactly as it was.
#include <dirent.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "journey_support.h"

namespace journey {
namespace {

const uid_t NOBODY = 65534;

std::vector<std::string> namesIn(const std::string &dir) {
    std::vector<std::string> names;
    if (DIR *d = opendir(dir.c_str())) {
        while (dirent *e = readdir(d))
            if (std::string(e->d_name) != "." && std::string(e->d_name) != "..")
                names.push_back(e->d_name);
        closedir(d);
    }
    return names;
}

TEST_F(Journey, SaveIntoADirectoryThatCannotBeWrittenTellsTheUserAndKeepsTheOldFile) {
    const std::string old = "an earlier piece of work\n";
    FILE *f = fopen(path("first.frc").c_str(), "wb");
    ASSERT_NE(nullptr, f);
    fputs(old.c_str(), f);
    fclose(f);
    ASSERT_EQ(0, chmod(dir.c_str(), 0755));  // readable by everyone, writable by its owner (root)
    const std::string logDir = makeTempDir("journey-log");
    s.stderrPath = logDir + "/stderr.log";
    s.runAsUid = NOBODY;
    startProgram();

    click(MAKE);
    writeUnder(SAVE, "first");
    const Image told =
        waitForScreen([](const Image &w) { return lineOfLength(w, rowBaseline(0), 10); });
    expectTextLine(told, rowBaseline(0), 10, "Not saved:");
    expectTextLine(told, rowBaseline(1), 9, "the name, first.frc");
    EXPECT_EQ(0, strayInk(told, {rowBaseline(0), rowBaseline(1)}));
    EXPECT_EQ(old, readWhole(path("first.frc"))) << "the earlier file is unchanged";

    writeUnder(EXPORT, "pic");
    const Image told2 =
        waitForScreen([](const Image &w) { return lineOfLength(w, rowBaseline(0), 13); });
    expectTextLine(told2, rowBaseline(0), 13, "Not exported:");
    expectTextLine(told2, rowBaseline(1), 7, "the name, pic.ppm");
    EXPECT_EQ(std::vector<std::string>{"first.frc"}, namesIn(dir)) << "nothing new, no leftovers";

    const std::string err = readWhole(s.stderrPath);
    EXPECT_NE(std::string::npos, err.find("quorvex: not saved: first.frc: ")) << err;
    EXPECT_NE(std::string::npos, err.find("quorvex: not exported: pic.ppm: ")) << err;
    EXPECT_NE(std::string::npos, err.find("ermission denied")) << err;
    exitWithStatusZero();
    const std::string rm = "rm -rf '" + logDir + "'";
    EXPECT_EQ(0, system(rm.c_str()));
}

}  // namespace
}  // namespace journey
