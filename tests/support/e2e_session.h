// e2e_session.h - the real quorvex binary in a private Xvfb.
//
//   E2eSession s;
//   ASSERT_TRUE(s.start({}, workDir));     // quorvex with no arguments
//   s.x.click(40, 780);                     // Make, in window coordinates
//   s.x.settle(); Image shot = s.x.grab();
//   EXPECT_EQ(s.waitExit(5000), 0);
// The binary's path comes from the build (QUORVEX_BINARY). The program runs
// in workDir, so the files it writes land there.
#ifndef QUORVEX_TESTS_E2E_SESSION_H
#define QUORVEX_TESTS_E2E_SESSION_H

#include <sys/types.h>

#include <string>
#include <vector>

#include "x11_driver.h"
#include "xvfb.h"

struct E2eSession {
    PrivateXvfb xvfb;
    X11Driver x;
    pid_t pid = -1;
    // Set before start(): run the program as this user and group (tests of
    // file permissions, which root ignores); the X server then accepts
    // clients of any user.
    uid_t runAsUid = (uid_t)-1;
    // Set before start(): the program's standard error goes to this file.
    std::string stderrPath;

    ~E2eSession() { stop(); }
    // Starts Xvfb and the program, and waits for its first picture.
    bool start(const std::vector<std::string> &args, const std::string &workDir,
               const std::string &titlePrefix = "Quorvex (V. 3.0");
    // Exit status, -1 on a timeout or a signal.
    int waitExit(int timeoutMs);
    bool running();
    void stop();
};

// A fresh empty directory under /tmp.
std::string makeTempDir(const std::string &tag);

// Runs a command line, returns its exit status and its standard output.
int runCapture(const std::vector<std::string> &argv, std::string &out, std::string &err,
               const std::vector<std::string> &env = {});

#endif
