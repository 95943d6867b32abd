#include "render/video.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "files/atomic_write.h"
#include "render/output.h"

namespace {

// How often a wait on ffmpeg (a full pipe, its end) looks at the stop flag:
// a signal that came just before the wait began must not be missed.
const int STOP_POLL_MS = 50;

// The file descriptor ffmpeg writes the container to, as /dev/fd/3: a
// path, so the muxer can seek back (an MP4's index is written last).
const int OUTPUT_FD = 3;

std::vector<std::string> encoderArguments(RenderOutputKind kind) {
    switch (kind) {
    case OUTPUT_MP4: return {"-c:v", "libx264", "-pix_fmt", "yuv420p", "-crf", "18", "-f", "mp4"};
    case OUTPUT_WEBM:
        return {"-c:v", "libvpx-vp9", "-pix_fmt", "yuv420p", "-crf", "30", "-b:v", "0", "-f", "webm"};
    default: return {"-c:v", "ffv1", "-f", "matroska"};
    }
}

std::vector<std::string> ffmpegArguments(const char *ffmpeg, RenderOutputKind kind, int width, int height,
                                         double fps) {
    char size[32], rate[32];
    snprintf(size, sizeof size, "%dx%d", width, height);
    snprintf(rate, sizeof rate, "%.10g", fps);
    std::vector<std::string> args = {ffmpeg, "-nostdin", "-hide_banner", "-loglevel", "error",
                                     "-f", "rawvideo", "-pix_fmt", "rgb24", "-video_size", size,
                                     "-framerate", rate, "-i", "pipe:0"};
    for (const std::string &a : encoderArguments(kind)) args.push_back(a);
    args.insert(args.end(), {"-y", "file:/dev/fd/" + std::to_string(OUTPUT_FD)});
    return args;
}

// In the child, between fork and exec: only async-signal-safe calls.
void becomeFfmpeg(const std::vector<char *> &argv, int input, int log, int out) {
    setpgid(0, 0);
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    signal(SIGPIPE, SIG_DFL);  // ignored dispositions survive exec
    signal(SIGXFSZ, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    if (dup2(input, 0) < 0 || dup2(log, 1) < 0 || dup2(log, 2) < 0) _exit(127);
    if (out == OUTPUT_FD ? fcntl(out, F_SETFD, 0) < 0 : dup2(out, OUTPUT_FD) < 0) _exit(127);
    execv(argv[0], argv.data());
    _exit(127);
}

// The last non-empty line ffmpeg wrote, for a failure's reason.
std::string lastLogLine(FILE *log) {
    std::string all;
    char buf[512];
    size_t n;
    if (!log || fseek(log, 0, SEEK_SET) != 0) return "";
    while ((n = fread(buf, 1, sizeof buf, log)) > 0) all.append(buf, n);
    const size_t end = all.find_last_not_of("\r\n \t");
    if (end == std::string::npos) return "";
    const size_t newline = all.find_last_of('\n', end);
    const size_t start = newline == std::string::npos ? 0 : newline + 1;
    return all.substr(start, end + 1 - start);
}

bool stopped(const std::atomic<int> *stop) { return stop && stop->load() != 0; }

void closeInput(VideoEncoder &v) {
    if (v.input >= 0) close(v.input);
    v.input = -1;
}

void release(VideoEncoder &v) {
    closeInput(v);
    if (v.log) fclose(v.log);
    v.log = nullptr;
    v.pid = 0;
}

}  // namespace

int findOnPath(const char *program, char *path, size_t size) {
    const char *dirs = getenv("PATH");
    std::string all = strchr(program, '/') ? "" : (dirs ? dirs : "/usr/local/bin:/usr/bin:/bin");
    std::vector<std::string> candidates;
    if (strchr(program, '/')) candidates.push_back(program);
    for (size_t start = 0; !all.empty() && start <= all.size();) {
        size_t colon = all.find(':', start);
        if (colon == std::string::npos) colon = all.size();
        const std::string dir = colon > start ? all.substr(start, colon - start) : ".";
        candidates.push_back(dir + "/" + program);
        start = colon + 1;
    }
    for (const std::string &c : candidates) {
        struct stat st;
        if (stat(c.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(c.c_str(), X_OK) == 0 &&
            c.size() < size) {
            memcpy(path, c.c_str(), c.size() + 1);
            return 1;
        }
    }
    return 0;
}

int startVideo(VideoEncoder &v, const char *ffmpeg, RenderOutputKind kind, int width, int height, double fps,
               int outFd, char *reason) {
    v = VideoEncoder{0, -1, tmpfile()};
    int pipeEnds[2];
    if (!v.log || pipe2(pipeEnds, O_CLOEXEC) != 0) {
        setReason(reason, "cannot start ffmpeg: %s", strerror(errno));
        release(v);
        return 0;
    }
    std::vector<std::string> args = ffmpegArguments(ffmpeg, kind, width, height, fps);
    std::vector<char *> argv;
    for (std::string &a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child == 0) becomeFfmpeg(argv, pipeEnds[0], fileno(v.log), outFd);
    close(pipeEnds[0]);
    v.input = pipeEnds[1];
    // A full pipe must not block: the writer waits in poll, looking at the
    // stop flag, so an ffmpeg that stops reading cannot hold off an interrupt.
    fcntl(v.input, F_SETFL, fcntl(v.input, F_GETFL) | O_NONBLOCK);
    if (child < 0) {
        setReason(reason, "cannot start ffmpeg: %s", strerror(errno));
        release(v);
        return 0;
    }
    v.pid = child;
    return 1;
}

int writeVideoFrame(VideoEncoder &v, const unsigned char *rgb, size_t bytes, const std::atomic<int> *stop,
                    char *reason) {
    while (bytes > 0) {
        if (stopped(stop)) return failWith(0, reason, "%s", WRITE_INTERRUPTED);
        const ssize_t n = write(v.input, rgb, bytes);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd full = {v.input, POLLOUT, 0};
            poll(&full, 1, STOP_POLL_MS);
            continue;
        }
        if (n <= 0) return failWith(0, reason, "ffmpeg stopped taking frames: %s", strerror(errno));
        rgb += n, bytes -= (size_t)n;
    }
    return 1;
}

int finishVideo(VideoEncoder &v, const std::atomic<int> *stop, char *reason) {
    closeInput(v);
    int status = 0;
    for (;;) {
        const pid_t ended = waitpid(v.pid, &status, WNOHANG);
        if (ended == v.pid) break;
        if (ended < 0 && errno != EINTR) {
            setReason(reason, "lost ffmpeg: %s", strerror(errno));
            release(v);
            return 0;
        }
        if (stopped(stop)) {
            abandonVideo(v);
            setReason(reason, "%s", WRITE_INTERRUPTED);
            return 0;
        }
        poll(nullptr, 0, STOP_POLL_MS);
    }
    const bool ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (!ok) {
        const std::string said = lastLogLine(v.log);
        if (WIFEXITED(status))
            setReason(reason, "ffmpeg failed (status %d)%s%s", WEXITSTATUS(status), said.empty() ? "" : ": ",
                      said.c_str());
        else
            setReason(reason, "ffmpeg ended by signal %d", WTERMSIG(status));
    }
    release(v);
    return ok;
}

void abandonVideo(VideoEncoder &v) {
    closeInput(v);
    if (v.pid > 0) {
        kill(v.pid, SIGKILL);
        while (waitpid(v.pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    release(v);
}
