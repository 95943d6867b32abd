// The directory scan behind the Load list: which names, in which order, how
// many, and that the user's directory is left exactly as it was.
#include "files/dirscan.h"

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "files/atomic_write.h"
#include "test_files.h"

namespace {

void touch(const std::string &path, const std::string &content = "") {
    FILE *f = fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr) << path;
    fputs(content.c_str(), f);
    fclose(f);
}

std::string numbered(int i) {
    char name[32];
    snprintf(name, sizeof name, "f%03d.frc", i);
    return name;
}

std::vector<std::string> rows(int count) {
    return std::vector<std::string>(fileNames, fileNames + count);
}

// Scans `dir` as the working directory, the way the Load dialog does.
class DirScan : public ::testing::Test {
protected:
    TempDir dir{"dirscan"};
    std::string home;

    void SetUp() override {
        char cwd[4096];
        ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
        home = cwd;
        ASSERT_EQ(chdir(dir.path.c_str()), 0);
        memset(fileNames, 0, sizeof fileNames);
    }
    void TearDown() override { ASSERT_EQ(chdir(home.c_str()), 0); }
};

TEST_F(DirScan, NoMatchingFileEmptiesRowZero) {
    touch(dir / "picture.ppm");
    snprintf(fileNames[0], FILE_NAME_SIZE, "%s", "typed name.frc");
    EXPECT_EQ(SCAN_FOR_IMAGES("frc"), 0);
    EXPECT_STREQ(fileNames[0], "");
}

TEST_F(DirScan, OneFileIsIndexZero) {
    touch(dir / "only.frc");
    EXPECT_EQ(SCAN_FOR_IMAGES("frc"), 0);
    EXPECT_STREQ(fileNames[0], "only.frc");
}

TEST_F(DirScan, NamesComeInByteOrder) {
    for (const char *name : {"c.frc", "a.frc", "b.frc"}) touch(dir / name);
    EXPECT_EQ(SCAN_FOR_IMAGES("frc"), 2);
    EXPECT_EQ(rows(3), (std::vector<std::string>{"a.frc", "b.frc", "c.frc"}));

    for (const char *name : {"Z.frc", "_.frc", "\xc3\xa9t\xc3\xa9.frc", "10.frc", "9.frc"})
        touch(dir / name);
    EXPECT_EQ(SCAN_FOR_IMAGES("frc"), 7);
    EXPECT_EQ(rows(8), (std::vector<std::string>{"10.frc", "9.frc", "Z.frc", "_.frc", "a.frc", "b.frc",
                                                 "c.frc", "\xc3\xa9t\xc3\xa9.frc"}));
}

TEST_F(DirScan, FortyFilesGiveIndex39) {
    for (int i = 39; i >= 0; --i) touch(dir / numbered(i));
    EXPECT_EQ(SCAN_FOR_IMAGES("frc"), 39);
    for (int i = 0; i < 40; ++i) EXPECT_EQ(fileNames[i], numbered(i));
}

TEST_F(DirScan, AtMostTheFirstHundredNamesAreListed) {
    for (int i = 0; i < 120; ++i) touch(dir / numbered(i));
    EXPECT_EQ(SCAN_FOR_IMAGES("frc"), 99);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(fileNames[i], numbered(i));
}

TEST_F(DirScan, NameWithABlankIsListedWhole) {
    touch(dir / "my file.frc");
    touch(dir / "tab\there.frc");
    EXPECT_EQ(SCAN_FOR_IMAGES("frc"), 1);
    EXPECT_EQ(rows(2), (std::vector<std::string>{"my file.frc", "tab\there.frc"}));
}

TEST_F(DirScan, OnlyRegularVisibleFilesEndingInThePatternAreListed) {
    ASSERT_EQ(mkdir((dir / "x.frc").c_str(), 0755), 0);
    touch(dir / ".hidden.frc");
    touch(dir / "a.frc.bak");
    touch(dir / "frc");  // the shell's *frc matches this too
    touch(dir / "notes.txt");
    touch(dir / "target.frc");
    ASSERT_EQ(symlink("target.frc", (dir / "link.frc").c_str()), 0);
    ASSERT_EQ(symlink("x.frc", (dir / "dirlink.frc").c_str()), 0);
    ASSERT_EQ(symlink("absent", (dir / "dangling.frc").c_str()), 0);
    ASSERT_EQ(mkfifo((dir / "pipe.frc").c_str(), 0644), 0);
    EXPECT_EQ(SCAN_FOR_IMAGES("frc"), 2);
    EXPECT_EQ(rows(3), (std::vector<std::string>{"frc", "link.frc", "target.frc"}));
}

TEST_F(DirScan, NamesLongerThan79BytesAreSkippedAndDoNotCount) {
    const std::string longest = std::string(75, 'n') + ".frc", tooLong = std::string(76, 'm') + ".frc";
    touch(dir / longest);
    touch(dir / tooLong);
    EXPECT_EQ(SCAN_FOR_IMAGES("frc"), 0);
    EXPECT_EQ(fileNames[0], longest);
}

TEST_F(DirScan, TheUsersDirectoryIsLeftAsItWas) {
    touch(dir / "fileList", "the user's own notes\n");
    touch(dir / "a.frc");
    EXPECT_EQ(SCAN_FOR_IMAGES("frc"), 0);
    FILE *f = fopen((dir / "fileList").c_str(), "r");
    ASSERT_NE(f, nullptr);
    char line[64] = "";
    EXPECT_NE(fgets(line, sizeof line, f), nullptr);
    fclose(f);
    EXPECT_STREQ(line, "the user's own notes\n");

    ASSERT_EQ(unlink((dir / "fileList").c_str()), 0);
    SCAN_FOR_IMAGES("frc");
    EXPECT_NE(access((dir / "fileList").c_str(), F_OK), 0) << "the scan created a file";
}

TEST_F(DirScan, RowsPastTheLastNameKeepTheirText) {
    snprintf(fileNames[5], FILE_NAME_SIZE, "%s", "earlier.frc");
    touch(dir / "a.frc");
    touch(dir / "b.frc");
    EXPECT_EQ(SCAN_FOR_IMAGES("frc"), 1);
    EXPECT_STREQ(fileNames[5], "earlier.frc");
}

TEST_F(DirScan, ListingAnotherDirectoryTouchesNoProgramState) {
    TempDir other{"dirscan"};
    touch(other / "q.frc");
    touch(other / "p.frc");
    char names[1][FILE_NAME_SIZE];
    char reason[FILE_ERROR_SIZE] = "";
    EXPECT_EQ(listMatchingFiles(other.path.c_str(), "frc", names, 1, reason), 1);
    EXPECT_STREQ(names[0], "p.frc");
    EXPECT_STREQ(fileNames[0], "");
    EXPECT_EQ(listMatchingFiles((other / "absent").c_str(), "frc", names, 1, reason), -1);
    EXPECT_NE(strstr(reason, "cannot list"), nullptr) << reason;
}

}  // namespace
