// Reading the command line into a processing mode and the window title,
// and the help text.
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "core/cmdline.h"

namespace {

const char *const SEQUENTIAL_TITLE = "Quorvex (V. 3.0 - UniProcess)";
const char *const NO_MODE_TITLE = "Quorvex (V. 3.0)";
const std::string THREADED_PREFIX = "Quorvex (V. 3.0 - Threaded x ";

// The arguments after the program name.
CommandLine parse(std::vector<std::string> args) {
    args.insert(args.begin(), "quorvex");
    std::vector<const char *> argv;
    for (const std::string &a : args) argv.push_back(a.c_str());
    argv.push_back(nullptr);
    return parseCommandLine((int)args.size(), argv.data());
}

void expectMode(const CommandLine &cl, int processType, int threads, const std::string &title) {
    EXPECT_EQ(cl.showHelp, 0);
    EXPECT_EQ(cl.processType, processType);
    EXPECT_EQ(cl.threads, threads);
    EXPECT_EQ(std::string(cl.title), title);
}

// ---- the table of shapes ---------------------------------------------------

TEST(CommandLine, NoArgumentIsSequential) { expectMode(parse({}), 1, 1, SEQUENTIAL_TITLE); }

TEST(CommandLine, ExactlyOneArgumentAsksForHelpWhateverItSays) {
    for (const char *arg : {"x", "t", "", "-h", "--help", "8", "t 8", "threads"}) {
        const CommandLine cl = parse({arg});
        EXPECT_EQ(cl.showHelp, 1) << "argument \"" << arg << "\"";
    }
}

TEST(CommandLine, TAndACountIsThreaded) {
    expectMode(parse({"t", "8"}), 2, 8, THREADED_PREFIX + "8)");
    expectMode(parse({"t", "1"}), 2, 1, THREADED_PREFIX + "1)");
}

TEST(CommandLine, OnlyTheFirstLetterOfTheFirstArgumentCounts) {
    expectMode(parse({"threads", "3"}), 2, 3, THREADED_PREFIX + "3)");
    expectMode(parse({"t2", "5"}), 2, 5, THREADED_PREFIX + "5)");
}

TEST(CommandLine, CountIsReadLikeAtoiButShownAsTyped) {
    expectMode(parse({"t", "4x"}), 2, 4, THREADED_PREFIX + "4x)");
    expectMode(parse({"t", "  12"}), 2, 12, THREADED_PREFIX + "  12)");
    expectMode(parse({"t", "+5"}), 2, 5, THREADED_PREFIX + "+5)");
    expectMode(parse({"t", "007"}), 2, 7, THREADED_PREFIX + "007)");
}

TEST(CommandLine, CountBelowOneFallsBackToSequential) {
    for (const char *count : {"0", "abc", "-3", "", " ", "-0", "x4", "-99999999999999999999"})
        expectMode(parse({"t", count}), 1, 1, SEQUENTIAL_TITLE);
}

TEST(CommandLine, CountTooLargeForAnIntStaysPositive) {
    const CommandLine cl = parse({"t", "99999999999999999999"});
    EXPECT_EQ(cl.processType, 2);
    EXPECT_GE(cl.threads, 1);
    EXPECT_EQ(std::string(cl.title), THREADED_PREFIX + "99999999999999999999)");
    EXPECT_GE(parse({"t", "2147483648"}).threads, 1);
    EXPECT_EQ(parse({"t", "2147483647"}).threads, 2147483647);
}

TEST(CommandLine, OtherShapesHaveNoProcessingMode) {
    expectMode(parse({"a", "4"}), 0, 0, NO_MODE_TITLE);
    expectMode(parse({"T", "4"}), 0, 0, NO_MODE_TITLE);
    expectMode(parse({"", "4"}), 0, 0, NO_MODE_TITLE);
    expectMode(parse({"t", "4", "5"}), 0, 0, NO_MODE_TITLE);
    expectMode(parse({"a", "b", "c"}), 0, 0, NO_MODE_TITLE);
    expectMode(parse({"t", "2", "t", "2"}), 0, 0, NO_MODE_TITLE);
}

TEST(CommandLine, EmptyArgumentVectorIsHarmless) {
    const char *argv[] = {nullptr};
    const CommandLine cl = parseCommandLine(0, argv);
    EXPECT_EQ(cl.showHelp, 0);
    EXPECT_EQ(cl.processType, 0);
    EXPECT_EQ(std::string(cl.title), NO_MODE_TITLE);
}

// ---- the fixed title buffer ------------------------------------------------

TEST(CommandLineTitle, TitleBufferIsNinetySixBytes) { EXPECT_EQ(sizeof(CommandLine().title), 96u); }

TEST(CommandLineTitle, LongCountIsShortenedAndStillClosed) {
    const std::string count = "4" + std::string(199, '9');
    const CommandLine cl = parse({"t", count});
    ASSERT_NE(memchr(cl.title, '\0', sizeof cl.title), nullptr);
    const std::string title(cl.title);
    EXPECT_LE(title.size(), sizeof cl.title - 1);
    EXPECT_EQ(title.back(), ')');
    EXPECT_EQ(title.compare(0, THREADED_PREFIX.size(), THREADED_PREFIX), 0);
    const std::string shown = title.substr(THREADED_PREFIX.size(), title.size() - THREADED_PREFIX.size() - 1);
    EXPECT_EQ(count.compare(0, shown.size(), shown), 0) << "the title shows the start of the count";
    EXPECT_GE(shown.size(), 20u);
    EXPECT_EQ(cl.processType, 2);
    EXPECT_GE(cl.threads, 1);
}

TEST(CommandLineTitle, CountThatFitsIsShownWhole) {
    // Prefix, count, ")" and the terminator: exactly 96 bytes.
    const size_t room = sizeof(CommandLine().title) - 1 - THREADED_PREFIX.size() - 1;
    const std::string count = "1" + std::string(room - 1, '0');
    EXPECT_EQ(std::string(parse({"t", count}).title), THREADED_PREFIX + count + ")");
    const std::string longer = count + "0";
    EXPECT_EQ(std::string(parse({"t", longer}).title), THREADED_PREFIX + count + ")");
}

TEST(CommandLineTitle, HugeCountsOfEveryLengthNeverOverrun) {
    // The struct is copied by value: a byte past the title would land in
    // whatever follows it on the stack, so check the terminator and length.
    for (size_t n = 60; n <= 300; n += 7) {
        const CommandLine cl = parse({"t", "5" + std::string(n, '5')});
        ASSERT_NE(memchr(cl.title, '\0', sizeof cl.title), nullptr) << n;
        ASSERT_EQ(cl.title[strlen(cl.title) - 1], ')') << n;
    }
}

// ---- the help text ---------------------------------------------------------

std::string helpText() {
    char *buffer = nullptr;
    size_t size = 0;
    FILE *out = open_memstream(&buffer, &size);
    writeHelpText(out);
    fclose(out);
    std::string text(buffer, size);
    free(buffer);
    return text;
}

TEST(HelpText, TenLinesExactly) {
    const std::vector<std::string> lines = {
        "Quorvex (V. 3.0",
        "",
        "Quorvex is designed to support multiple modes of processing, including:",
        "",
        " 1. A single process on a single machine.",
        "    Involked by the command: quorvex",
        "",
        " 2. Multiple (N) threads on a single machine.",
        "    Involked by the command: quorvex t N",
        "",
    };
    std::string expected;
    for (const std::string &line : lines) expected += line + "\n";
    EXPECT_EQ(helpText(), expected);
}

TEST(HelpText, FirstLineIsTheTitleSoFar) {
    const std::string text = helpText();
    const std::string first = text.substr(0, text.find('\n'));
    EXPECT_EQ(first, std::string("Quorvex (V. ") + QUORVEX_VERSION);
    EXPECT_STREQ(QUORVEX_VERSION, "3.0");
}

}  // namespace
