#include "e2e_session.h"

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#ifndef QUORVEX_BINARY
#error "QUORVEX_BINARY must name the program under test"
#endif

namespace {

// Lets clients of every user in; the test process (root) may change it.
bool acceptEveryClient(const std::string &display) {
    Display *dpy = XOpenDisplay(display.c_str());
    if (!dpy) return false;
    XDisableAccessControl(dpy);
    XSync(dpy, False);
    XCloseDisplay(dpy);
    return true;
}

// In the forked child, before exec.
bool becomeUser(uid_t uid) {
    return setgroups(0, nullptr) == 0 && setgid((gid_t)uid) == 0 && setuid(uid) == 0;
}

bool redirectStderr(const std::string &path) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    return fd >= 0 && dup2(fd, 2) == 2;
}

// The GL driver leaks at exit and has unloaded itself by the time the leak
// check runs, so its leaks cannot be told from the program's by a
// suppression: in a sanitizer build the windowed program runs without leak
// detection (the test programs and quorvex-render keep it).
void withoutLeakCheck() {
    const char *given = getenv("ASAN_OPTIONS");
    const std::string options = given && given[0] ? std::string(given) + ":" : std::string();
    setenv("ASAN_OPTIONS", (options + "detect_leaks=0").c_str(), 1);
}

}  // namespace

bool E2eSession::start(const std::vector<std::string> &args, const std::string &workDir,
                       const std::string &titlePrefix) {
    if (!xvfb.start()) return false;
    if (runAsUid != (uid_t)-1 && !acceptEveryClient(xvfb.display())) return false;
    pid = fork();
    if (pid == 0) {
        if (!stderrPath.empty() && !redirectStderr(stderrPath)) _exit(124);
        if (runAsUid != (uid_t)-1 && !becomeUser(runAsUid)) _exit(125);
        if (chdir(workDir.c_str()) != 0) _exit(126);
        setenv("DISPLAY", xvfb.display().c_str(), 1);
        withoutLeakCheck();
        std::vector<char *> argv;
        std::string bin = QUORVEX_BINARY;
        argv.push_back(&bin[0]);
        std::vector<std::string> copy = args;
        for (auto &a : copy) argv.push_back(&a[0]);
        argv.push_back(nullptr);
        execv(bin.c_str(), argv.data());
        _exit(127);
    }
    if (pid < 0 || !x.open(xvfb.display()) || !x.findWindow(titlePrefix)) return false;
    x.settle(400);
    return true;
}

int E2eSession::waitExit(int timeoutMs) {
    for (int waited = 0; waited <= timeoutMs; waited += 20) {
        int status;
        const pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid) {
            pid = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        usleep(20000);
    }
    return -1;
}

bool E2eSession::running() {
    if (pid <= 0) return false;
    int status;
    if (waitpid(pid, &status, WNOHANG) == pid) {
        pid = -1;
        return false;
    }
    return true;
}

void E2eSession::stop() {
    if (pid > 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        pid = -1;
    }
    x.close();
    xvfb.stop();
}

std::string makeTempDir(const std::string &tag) {
    std::string pattern = "/tmp/quorvex-" + tag + "-XXXXXX";
    char *made = mkdtemp(&pattern[0]);
    return made ? std::string(made) : std::string();
}

namespace {

std::string drain(int fd) {
    std::string s;
    char buf[4096];
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0) s.append(buf, (size_t)n);
    close(fd);
    return s;
}

}  // namespace

int runCapture(const std::vector<std::string> &args, std::string &out, std::string &err,
               const std::vector<std::string> &env) {
    int o[2], e[2];
    if (pipe(o) || pipe(e)) return -1;
    const pid_t child = fork();
    if (child == 0) {
        dup2(o[1], 1);
        dup2(e[1], 2);
        close(o[0]);
        close(e[0]);
        for (const auto &kv : env) putenv(const_cast<char *>(kv.c_str()));
        std::vector<char *> argv;
        std::vector<std::string> copy = args;
        for (auto &a : copy) argv.push_back(&a[0]);
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(o[1]);
    close(e[1]);
    // Small outputs only: read stdout fully, then stderr.
    out = drain(o[0]);
    err = drain(e[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
