#include "files/atomic_write.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>
#include <dirent.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <string>

char fileError[FILE_ERROR_SIZE];

namespace {

// Base names are cut in the temporary's name so that the prefix and suffix
// cannot push it past the file system's 255-byte name limit.
const size_t TEMP_BASE_KEPT = 200;
// Name clashes with another writer's temporary are retried this often.
const int TEMP_ATTEMPTS = 100;
// Symbolic links followed from the given name, as many as the kernel allows.
const int LINKS_FOLLOWED = 40;
// A reason too long for its buffer keeps this much of its start.
const size_t REASON_HEAD_KEPT = 72;

// What the name leads to once every symbolic link is followed.
enum TargetKind {
    TARGET_NEW,      // nothing there yet: created through a temporary
    TARGET_REGULAR,  // a file: replaced through a temporary
    TARGET_STREAM,   // a character device or FIFO: written into as it is
};

struct Target {
    std::string path;
    TargetKind kind;
};

std::string directoryOf(const std::string &path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string baseOf(const std::string &path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Follows symbolic links one at a time, as opening the name would, so that
// a dangling link leads to the name it points at (which will be created,
// the link staying) and the rename replaces the file, not the link.
int followLinks(const char *path, std::string &followed, char *reason) {
    followed = path;
    for (int links = 0; links <= LINKS_FOLLOWED; ++links) {
        struct stat st;
        if (lstat(followed.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return 1;
        char text[PATH_MAX];
        const ssize_t length = readlink(followed.c_str(), text, sizeof text - 1);
        if (length < 0) {
            setReason(reason, "cannot follow the link %s: %s", followed.c_str(), strerror(errno));
            return 0;
        }
        text[length] = '\0';
        const std::string dir = directoryOf(followed);
        followed = text[0] == '/' ? text : dir == "/" ? "/" + std::string(text) : dir + "/" + text;
    }
    setReason(reason, "%s: %s", path, strerror(ELOOP));
    return 0;
}

// Only files are replaced; devices and FIFOs are written into; anything
// else is refused before any work.
int findTarget(const char *path, Target &target, char *reason) {
    if (!path || !path[0]) {
        setReason(reason, "no file name given");
        return 0;
    }
    if (!followLinks(path, target.path, reason)) return 0;
    struct stat st;
    if (stat(target.path.c_str(), &st) != 0) {
        if (errno != ENOENT) {
            setReason(reason, "%s: %s", target.path.c_str(), strerror(errno));
            return 0;
        }
        target.kind = TARGET_NEW;
        return 1;
    }
    const char *refused = S_ISDIR(st.st_mode)    ? "a directory"
                          : S_ISSOCK(st.st_mode) ? "a socket"
                          : S_ISBLK(st.st_mode)  ? "a block device"
                                                 : nullptr;
    if (S_ISREG(st.st_mode)) target.kind = TARGET_REGULAR;
    else if (S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode)) target.kind = TARGET_STREAM;
    else if (!refused) refused = "not a regular file";
    if (refused) {
        setReason(reason, "%s is %s", target.path.c_str(), refused);
        return 0;
    }
    // As a shell's redirection would: a file its user may not open for
    // writing is not replaced either, though its directory would allow it.
    if (target.kind == TARGET_REGULAR && faccessat(AT_FDCWD, target.path.c_str(), W_OK, AT_EACCESS) != 0) {
        setReason(reason, "%s: %s", target.path.c_str(), strerror(errno));
        return 0;
    }
    return 1;
}

std::string temporaryName(const std::string &target, int attempt) {
    static std::atomic<unsigned> counter{0};
    std::string base = baseOf(target).substr(0, TEMP_BASE_KEPT);
    return directoryOf(target) + "/." + base + ".tmp" + std::to_string((long)getpid()) + "-" +
           std::to_string(counter++) + "-" + std::to_string(attempt);
}

// Opens a new temporary beside `target`; returns the descriptor or -1.
int createTemporary(const std::string &target, std::string &name, char *reason) {
    for (int attempt = 0; attempt < TEMP_ATTEMPTS; ++attempt) {
        name = temporaryName(target, attempt);
        const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            flock(fd, LOCK_EX | LOCK_NB);  // held while any process has it open (an ffmpeg too)
            return fd;
        }
        if (errno != EEXIST) break;
    }
    setReason(reason, "cannot create a file in %s: %s", directoryOf(target).c_str(),
              strerror(errno));
    return -1;
}

// A replaced file keeps its permissions.
void keepPermissions(int fd, const std::string &target) {
    struct stat st;
    if (stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode)) fchmod(fd, st.st_mode & 07777);
}

// A device or a pipe has nothing to sync and says so with EINVAL.
int synced(int fd) { return fsync(fd) == 0 || errno == EINVAL; }

// Fills, flushes, syncs and closes the stream; 1 when all of it worked.
int fillStream(FILE *stream, StreamWriter write, const void *context, char *reason) {
    if (!write(stream, context, reason)) {
        fclose(stream);
        return 0;
    }
    if (fflush(stream) != 0 || ferror(stream) || !synced(fileno(stream))) {
        streamWriteFailed(reason);
        fclose(stream);
        return 0;
    }
    if (fclose(stream) != 0) return streamWriteFailed(reason);
    return 1;
}

// After the rename, make the new directory entry itself durable.
void syncDirectory(const std::string &directory) {
    const int fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

// Fills a new temporary beside the target; the rename is the caller's.
int fillTemporary(const std::string &target, StreamWriter write, const void *context, std::string &temporary,
                  char *reason) {
    const int fd = createTemporary(target, temporary, reason);
    if (fd < 0) return 0;
    keepPermissions(fd, target);
    FILE *stream = fdopen(fd, "wb");
    if (!stream) {
        streamWriteFailed(reason);
        close(fd);
        unlink(temporary.c_str());
        return 0;
    }
    if (!fillStream(stream, write, context, reason)) {
        unlink(temporary.c_str());
        return 0;
    }
    return 1;
}

int renameIntoPlace(const std::string &temporary, const std::string &target, char *reason) {
    if (rename(temporary.c_str(), target.c_str()) != 0) {
        setReason(reason, "cannot replace %s: %s", target.c_str(), strerror(errno));
        unlink(temporary.c_str());
        return 0;
    }
    syncDirectory(directoryOf(target));
    return 1;
}

// A device or a FIFO: there is no file to keep, and a temporary renamed
// over it would destroy the node. Opening a FIFO waits for its reader.
int writeInPlace(const std::string &target, StreamWriter write, const void *context, char *reason) {
    const int fd = open(target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        setReason(reason, "cannot open %s: %s", target.c_str(), strerror(errno));
        return 0;
    }
    FILE *stream = fdopen(fd, "wb");
    if (!stream) {
        streamWriteFailed(reason);
        close(fd);
        return 0;
    }
    return fillStream(stream, write, context, reason);
}

// A temporary whose writer is gone: the process named in it ("<pid>-...")
// no longer exists, and no one holds its lock (a writer on another host
// sharing the directory holds it, whatever its process number here).
bool isStale(const std::string &name, const char *afterPrefix) {
    char *end = nullptr;
    const long pid = strtol(afterPrefix, &end, 10);
    if (end == afterPrefix || *end != '-' || pid <= 0 || pid == (long)getpid()) return false;
    if (kill((pid_t)pid, 0) == 0 || errno != ESRCH) return false;
    const int fd = open(name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat st;
    const bool stale = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && flock(fd, LOCK_EX | LOCK_NB) == 0;
    close(fd);
    return stale;
}

// A name that does not exist yet, as the file it would create: links
// followed, its directory's name resolved.
std::string resolvedName(const char *path) {
    std::string followed;
    if (!followLinks(path, followed, nullptr)) return path;
    char directory[PATH_MAX];
    if (!realpath(directoryOf(followed).c_str(), directory)) return followed;
    return std::string(directory) + "/" + baseOf(followed);
}

// Control bytes (a terminal's escape sequences, a line feed) as \xHH, and
// the C1 controls' UTF-8 forms likewise: a reason stays one line and shows
// what a file held without acting on the terminal it is printed to.
std::string printable(const std::string &text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = (unsigned char)text[i];
        const unsigned char next = i + 1 < text.size() ? (unsigned char)text[i + 1] : 0;
        const bool c1 = c == 0xC2 && next >= 0x80 && next <= 0x9F;
        if (c >= 0x20 && c != 0x7F && !c1) {
            out += (char)c;
            continue;
        }
        char escaped[16];
        if (c1)
            snprintf(escaped, sizeof escaped, "\\xc2\\x%02x", next);
        else
            snprintf(escaped, sizeof escaped, "\\x%02x", c);
        out += escaped;
        i += c1;
    }
    return out;
}

// Copies `text` into `reason`, cutting out its middle when it does not fit.
void fitReason(char *reason, const std::string &text) {
    const size_t room = FILE_ERROR_SIZE - 1;
    if (text.size() <= room) {
        memcpy(reason, text.c_str(), text.size() + 1);
        return;
    }
    const char gap[] = "...";
    size_t head = REASON_HEAD_KEPT, tail = text.size() - (room - head - (sizeof gap - 1));
    // Whole UTF-8 characters on both sides of the cut.
    while (head > 0 && ((unsigned char)text[head] & 0xC0) == 0x80) --head;
    while (tail < text.size() && ((unsigned char)text[tail] & 0xC0) == 0x80) ++tail;
    snprintf(reason, FILE_ERROR_SIZE, "%.*s%s%s", (int)head, text.c_str(), gap, text.c_str() + tail);
}

}  // namespace

int streamWriteFailed(char *reason) {
    setReason(reason, "cannot write: %s", strerror(errno));
    return 0;
}

void setReason(char *reason, const char *format, ...) {
    va_list args;
    va_start(args, format);
    vsetReason(reason, format, args);
    va_end(args);
}

void vsetReason(char *reason, const char *format, va_list args) {
    if (!reason) return;
    va_list again;
    va_copy(again, args);
    const int length = vsnprintf(nullptr, 0, format, args);
    std::string whole(length > 0 ? (size_t)length + 1 : 1, '\0');
    vsnprintf(&whole[0], whole.size(), format, again);
    whole.resize(length > 0 ? (size_t)length : 0);
    fitReason(reason, printable(whole));
    va_end(again);
}

int checkWriteTarget(const char *path, char *reason) {
    Target target;
    if (!findTarget(path, target, reason)) return 0;
    const std::string place = target.kind == TARGET_STREAM ? target.path : directoryOf(target.path);
    const int mode = target.kind == TARGET_STREAM ? W_OK : W_OK | X_OK;
    if (access(place.c_str(), mode) == 0) return 1;
    setReason(reason, "cannot write into %s: %s", place.c_str(), strerror(errno));
    return 0;
}

int atomicWriteFile(const char *path, StreamWriter write, const void *context, char *reason) {
    PendingWrite pending;
    return atomicWriteBegin(path, write, context, pending, reason) && atomicWriteCommit(pending, reason);
}

int atomicWriteBegin(const char *path, StreamWriter write, const void *context, PendingWrite &pending,
                     char *reason) {
    pending = PendingWrite();
    Target target;
    if (!findTarget(path, target, reason)) return 0;
    if (target.kind == TARGET_STREAM) return writeInPlace(target.path, write, context, reason);
    if (!fillTemporary(target.path, write, context, pending.temporary, reason)) return 0;
    pending.target = target.path;
    return 1;
}

int atomicWriteCommit(PendingWrite &pending, char *reason) {
    const PendingWrite now = pending;
    pending = PendingWrite();
    return now.temporary.empty() || renameIntoPlace(now.temporary, now.target, reason);
}

void atomicWriteAbandon(PendingWrite &pending) {
    if (!pending.temporary.empty()) unlink(pending.temporary.c_str());
    pending = PendingWrite();
}

void removeStaleTemporaries(const char *path) {
    std::string target;
    if (!path || !path[0] || !followLinks(path, target, nullptr)) return;
    const std::string directory = directoryOf(target);
    const std::string prefix = "." + baseOf(target).substr(0, TEMP_BASE_KEPT) + ".tmp";
    DIR *d = opendir(directory.c_str());
    while (const dirent *e = d ? readdir(d) : nullptr) {
        if (strncmp(e->d_name, prefix.c_str(), prefix.size()) != 0) continue;
        const std::string name = directory + "/" + e->d_name;
        if (isStale(name, e->d_name + prefix.size())) unlink(name.c_str());
    }
    if (d) closedir(d);
}

int sameFile(const char *a, const char *b) {
    struct stat sa, sb;
    const bool hasA = stat(a, &sa) == 0, hasB = stat(b, &sb) == 0;
    if (hasA || hasB) return hasA && hasB && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    return resolvedName(a) == resolvedName(b);
}
