// Start-up of the real program: the window, its title and fixed size, the
// help text, odd command lines, and what happens without an X display.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "core/cmdline.h"
#include "e2e_session.h"
#include "test_files.h"

namespace {

const int WIN_WIDTH = 995, WIN_HEIGHT = 820;
const char *const SEQUENTIAL_TITLE = "Quorvex (V. 3.0 - UniProcess)";
const char *const NO_MODE_TITLE = "Quorvex (V. 3.0)";
const std::string THREADED_PREFIX = "Quorvex (V. 3.0 - Threaded x ";

const char *const HELP_TEXT =
    "Quorvex (V. 3.0\n"
    "\n"
    "Quorvex is designed to support multiple modes of processing, including:\n"
    "\n"
    " 1. A single process on a single machine.\n"
    "    Involked by the command: quorvex\n"
    "\n"
    " 2. Multiple (N) threads on a single machine.\n"
    "    Involked by the command: quorvex t N\n"
    "\n";

// A run that has not ended by then is a hang; `timeout` reports it as 124.
const char *const NO_HANG_LIMIT = "30";
const int TIMED_OUT = 124;

// Runs the program under `timeout`, with the given environment changes
// ("-u NAME" unsets, "NAME=value" sets).
int runProgram(const std::vector<std::string> &envChanges, const std::vector<std::string> &args,
               std::string &out, std::string &err) {
    std::vector<std::string> argv = {"env"};
    argv.insert(argv.end(), envChanges.begin(), envChanges.end());
    argv.insert(argv.end(), {"timeout", "-s", "KILL", NO_HANG_LIMIT, QUORVEX_BINARY});
    argv.insert(argv.end(), args.begin(), args.end());
    return runCapture(argv, out, err);
}

int countLines(const std::string &text) {
    int n = 0;
    for (char c : text) n += c == '\n';
    return n;
}

// A display number no X server here uses.
std::string absentDisplay() {
    for (int n = 4077;; ++n) {
        struct stat st;
        const std::string socket = "/tmp/.X11-unix/X" + std::to_string(n);
        const std::string lock = "/tmp/.X" + std::to_string(n) + "-lock";
        if (stat(socket.c_str(), &st) != 0 && stat(lock.c_str(), &st) != 0) return ":" + std::to_string(n);
    }
}

bool waitForSize(X11Driver &x, int width, int height, int timeoutMs) {
    for (int waited = 0; waited <= timeoutMs; waited += 50) {
        int w = 0, h = 0;
        if (x.size(w, h) && w == width && h == height) return true;
        usleep(50000);
    }
    return false;
}

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override { workDir = makeTempDir("startup"); }
    // Starting up writes nothing, so the directory must still be empty.
    void TearDown() override { EXPECT_EQ(rmdir(workDir.c_str()), 0) << workDir << " is not empty"; }
    std::string workDir;
};

// ---- the window ------------------------------------------------------------

TEST_F(StartupTest, WindowOpensWithTitleAndFixedSize) {
    E2eSession s;
    ASSERT_TRUE(s.start({}, workDir, SEQUENTIAL_TITLE));
    EXPECT_EQ(s.x.title(), SEQUENTIAL_TITLE);
    int w = 0, h = 0;
    ASSERT_TRUE(s.x.size(w, h));
    EXPECT_EQ(w, WIN_WIDTH);
    EXPECT_EQ(h, WIN_HEIGHT);
    EXPECT_TRUE(s.running());
}

TEST_F(StartupTest, ResizeRequestsSnapBack) {
    E2eSession s;
    ASSERT_TRUE(s.start({}, workDir, SEQUENTIAL_TITLE));
    const int requests[][2] = {{500, 400}, {1200, 1000}, {995, 300}, {40, 820}};
    for (const auto &r : requests) {
        s.x.requestResize(r[0], r[1]);
        EXPECT_TRUE(waitForSize(s.x, WIN_WIDTH, WIN_HEIGHT, 5000)) << "after asking for " << r[0] << "x" << r[1];
    }
    // And it stays there: no reshape keeps bouncing.
    s.x.settle(300);
    int w = 0, h = 0;
    ASSERT_TRUE(s.x.size(w, h));
    EXPECT_EQ(w, WIN_WIDTH);
    EXPECT_EQ(h, WIN_HEIGHT);
    EXPECT_TRUE(s.running());
}

// ---- odd command lines -----------------------------------------------------

struct OddLine {
    std::vector<std::string> args;
    std::string title;
};

TEST_F(StartupTest, OddCommandLinesOpenAWindowWithTheExpectedTitle) {
    const std::string longCount = "7" + std::string(199, '3');
    const std::vector<OddLine> lines = {
        {{"t", "8"}, THREADED_PREFIX + "8)"},
        {{"t", "4x"}, THREADED_PREFIX + "4x)"},
        {{"t", "99999999999999999999"}, THREADED_PREFIX + "99999999999999999999)"},
        {{"t", "0"}, SEQUENTIAL_TITLE},
        {{"t", "abc"}, SEQUENTIAL_TITLE},
        {{"t", "-3"}, SEQUENTIAL_TITLE},
        {{"t", ""}, SEQUENTIAL_TITLE},
        {{"a", "4"}, NO_MODE_TITLE},
        {{"t", "4", "5"}, NO_MODE_TITLE},
        {{"%s%n%s", "\x01\x7f", "--", ""}, NO_MODE_TITLE},
    };
    const std::string logDir = makeTempDir("startup-log");
    for (const OddLine &line : lines) {
        std::string shown;
        for (const std::string &a : line.args) shown += "[" + a + "] ";
        SCOPED_TRACE("arguments " + shown);
        E2eSession s;
        s.stderrPath = logDir + "/stderr.log";
        ASSERT_TRUE(s.start(line.args, workDir));
        EXPECT_EQ(s.x.title(), line.title);
        s.x.settle(200);
        EXPECT_TRUE(s.running());
        // Without a mode Make computes nothing: the user is told, once.
        const std::string said = readWhole(s.stderrPath), told = "quorvex: " + std::string(NOT_UNDERSTOOD) + "\n";
        EXPECT_EQ(line.title == NO_MODE_TITLE ? 0u : std::string::npos, said.find(told)) << said;
        EXPECT_EQ(said.find(told), said.rfind(told)) << said;
    }
    EXPECT_EQ(0, system(("rm -rf '" + logDir + "'").c_str()));
    // A thread count far too long for the title is shortened, not overrun.
    E2eSession s;
    ASSERT_TRUE(s.start({"t", longCount}, workDir));
    const std::string title = s.x.title();
    EXPECT_EQ(title.compare(0, THREADED_PREFIX.size(), THREADED_PREFIX), 0) << title;
    EXPECT_LT(title.size(), 96u);
    ASSERT_FALSE(title.empty());
    EXPECT_EQ(title.back(), ')');
    EXPECT_NE(title.find("73333333333"), std::string::npos) << title;
    s.x.settle(200);
    EXPECT_TRUE(s.running());
}

// ---- help --------------------------------------------------------------------

TEST_F(StartupTest, OneArgumentPrintsTheHelpWithoutADisplay) {
    for (const char *arg : {"x", "t", "--help", ""}) {
        SCOPED_TRACE(std::string("argument \"") + arg + "\"");
        std::string out, err;
        EXPECT_EQ(runProgram({"-u", "DISPLAY"}, {arg}, out, err), 0);
        EXPECT_EQ(out, HELP_TEXT);
        EXPECT_EQ(err, "");
    }
}

// ---- no display --------------------------------------------------------------

void expectOneClearLine(int status, const std::string &out, const std::string &err) {
    EXPECT_NE(status, 0);
    EXPECT_NE(status, TIMED_OUT) << "the program hung";
    EXPECT_NE(status, -1) << "the program died of a signal";
    EXPECT_EQ(out, "");
    EXPECT_EQ(countLines(err), 1) << err;
    ASSERT_FALSE(err.empty());
    EXPECT_EQ(err.back(), '\n');
    EXPECT_NE(err.find("display"), std::string::npos) << err;
}

TEST_F(StartupTest, UnsetDisplayIsReportedInOneLine) {
    for (const std::vector<std::string> &args :
         std::vector<std::vector<std::string>>{{}, {"t", "4"}, {"a", "4"}}) {
        std::string out, err;
        const int status = runProgram({"-u", "DISPLAY"}, args, out, err);
        expectOneClearLine(status, out, err);
        EXPECT_NE(err.find("DISPLAY"), std::string::npos) << err;
    }
}

TEST_F(StartupTest, AbsentDisplayIsReportedInOneLine) {
    const std::string display = absentDisplay();
    for (const std::string &value : {display, std::string("not-a-display-name"), std::string("")}) {
        SCOPED_TRACE("DISPLAY=" + value);
        std::string out, err;
        const int status = runProgram({"DISPLAY=" + value}, {"t", "2"}, out, err);
        expectOneClearLine(status, out, err);
        if (!value.empty()) {
            EXPECT_NE(err.find(value), std::string::npos) << err;
        }
    }
}

TEST_F(StartupTest, DisplayOptionIsHonouredWithoutTheVariable) {
    // GLUT reads -display from the command line, so the program must check
    // that display rather than refuse for want of DISPLAY.
    PrivateXvfb xvfb;
    ASSERT_TRUE(xvfb.start());
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(workDir.c_str()) != 0) _exit(126);
        unsetenv("DISPLAY");
        execl(QUORVEX_BINARY, QUORVEX_BINARY, "a", "-display", xvfb.display().c_str(), (char *)nullptr);
        _exit(127);
    }
    ASSERT_GT(pid, 0);
    X11Driver x;
    ASSERT_TRUE(x.open(xvfb.display()));
    const bool found = x.findWindow(NO_MODE_TITLE, 10000);
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    EXPECT_TRUE(found);
}

TEST_F(StartupTest, AbsentDisplayOptionIsReportedInOneLine) {
    const std::string display = absentDisplay();
    std::string out, err;
    const int status = runProgram({"-u", "DISPLAY"}, {"a", "-display", display}, out, err);
    expectOneClearLine(status, out, err);
    EXPECT_NE(err.find(display), std::string::npos) << err;
}

}  // namespace
