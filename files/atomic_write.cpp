#include "files/atomic_write.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>
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

// The file that will really be replaced: a symbolic link is followed, so
// the user's link survives the rename.
std::string resolvedTarget(const char *path) {
    struct stat st;
    if (lstat(path, &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    char resolved[PATH_MAX];
    if (!realpath(path, resolved)) return path;  // dangling: replace the link
    return resolved;
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
        if (fd >= 0) return fd;
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

// Fills, flushes, syncs and closes the stream; 1 when all of it worked.
int fillTemporary(FILE *stream, StreamWriter write, const void *context, char *reason) {
    if (!write(stream, context, reason)) {
        fclose(stream);
        return 0;
    }
    if (fflush(stream) != 0 || ferror(stream) || fsync(fileno(stream)) != 0) {
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
    if (reason) vsnprintf(reason, FILE_ERROR_SIZE, format, args);
}

int atomicWriteFile(const char *path, StreamWriter write, const void *context, char *reason) {
    if (!path || !path[0]) {
        setReason(reason, "no file name given");
        return 0;
    }
    const std::string target = resolvedTarget(path);
    std::string temporary;
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
    if (!fillTemporary(stream, write, context, reason)) {
        unlink(temporary.c_str());
        return 0;
    }
    if (rename(temporary.c_str(), target.c_str()) != 0) {
        setReason(reason, "cannot replace %s: %s", target.c_str(), strerror(errno));
        unlink(temporary.c_str());
        return 0;
    }
    syncDirectory(directoryOf(target));
    return 1;
}
