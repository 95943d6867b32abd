// atomic_write.h - replacing a file all at once or not at all.
//
// Every writer of the program (parameter files, PNM images, the export)
// goes through atomicWriteFile, so a user's file is never left half
// written and never lost to a failed write:
//
//   1. a temporary file is created beside the target (same directory, so
//      the final rename stays on one file system), named
//      ".<name>.tmp<pid>-<n>": hidden, and never ending in a suffix the
//      Load list looks for;
//   2. `write` fills it through a stdio stream; the stream is flushed,
//      checked for errors, synced to the disk and closed;
//   3. only then is it renamed over the target, and the directory synced.
// Until step 3 the target is untouched. On any failure the temporary is
// removed, the earlier file stays as it was, and the result is 0 with a
// one-line reason. Nothing is ever written through a stream that failed
// to open.
//
// Only regular files are replaced. The target is what the name leads to
// once every symbolic link is followed, so a link stays a link and the
// file it points at is replaced, or created when it does not exist yet (as
// shell redirection would). A character device or a FIFO (a link to
// /dev/null, a named pipe) is written into directly, with no temporary and
// no rename: the node stays, a pipe's reader gets the bytes, and opening a
// FIFO waits for its reader. A directory, socket, block device or any other
// kind of node is refused with a reason before `write` is called.
//
// A file its user could not open for writing is refused, as a shell's
// redirection would refuse it (root may write anything). Temporaries carry
// the writer's process number and are locked (flock) while any process has
// them open; removeStaleTemporaries clears those of one name that a killed
// writer left behind.
//
// Two files that must appear together: atomicWriteBegin fills the first
// one's temporary (a device or FIFO has none: it is written at once), the
// second is written, and atomicWriteCommit renames the first into place,
// or atomicWriteAbandon removes its temporary when the second failed.
//
// The new file keeps the permission bits of the file it replaces (a new
// file gets 0666 less the umask). A write beyond RLIMIT_FSIZE raises
// SIGXFSZ, and a write into a pipe whose reader has gone raises SIGPIPE;
// each ends the process unless the program ignores it, and is then an
// ordinary failure.
//
// Reasons are written into a caller's buffer of FILE_ERROR_SIZE bytes (or
// nowhere, when the buffer is null), so these functions touch no
// program-wide state. Control bytes in a reason (a terminal's escapes
// quoted from a file, a line feed) are written as \xHH, so it stays one
// line that cannot act on the terminal it is printed to. A reason too long for the buffer loses its middle,
// not its end: the cause comes last, and what is cut is nearly always a
// long file name. fileError is the buffer the program's own load, save and
// export commands use; the dialogs show it.
//
// Layer: files, GL-free.
#ifndef QUORVEX_FILES_ATOMIC_WRITE_H
#define QUORVEX_FILES_ATOMIC_WRITE_H

#include <stdarg.h>
#include <stdio.h>

#include <string>

// One line of explanation, with room for a file name.
enum { FILE_ERROR_SIZE = 256 };

// Why the last load, save or export of the program failed (no newline).
extern char fileError[FILE_ERROR_SIZE];

// Writes the whole content into `stream`; returns 1 on success, 0 after
// putting a reason into `reason` (which may be null).
typedef int (*StreamWriter)(FILE *stream, const void *context, char *reason);

// Returns 1 when the new content is in place, 0 otherwise.
int atomicWriteFile(const char *path, StreamWriter write, const void *context, char *reason);

// A write filled but not yet in place: its temporary and the file it will
// replace (both empty when nothing is pending).
struct PendingWrite {
    std::string temporary, target;
};
int atomicWriteBegin(const char *path, StreamWriter write, const void *context, PendingWrite &pending,
                     char *reason);
int atomicWriteCommit(PendingWrite &pending, char *reason);
void atomicWriteAbandon(PendingWrite &pending);

// Removes the temporaries of `path` whose process is gone and whose lock
// no one holds.
void removeStaleTemporaries(const char *path);

// 1 when `a` and `b` name the same file: the same device and inode where
// either exists, else the same name once links and directories are resolved.
int sameFile(const char *a, const char *b);

// What atomicWriteFile would refuse, found before any long work: 1 when the
// target's kind is one it writes and the directory that will receive the
// file (or the device or FIFO itself) is writable; 0 with a reason.
int checkWriteTarget(const char *path, char *reason);

// For writers: "cannot write: " and the errno text into `reason`; returns 0.
int streamWriteFailed(char *reason);

// printf into `reason` (FILE_ERROR_SIZE bytes) when it is not null: the
// one way every failure reason of the program and quorvex-render is worded.
void setReason(char *reason, const char *format, ...) __attribute__((format(printf, 2, 3)));
// The same for a caller that takes its own arguments.
void vsetReason(char *reason, const char *format, va_list args) __attribute__((format(printf, 2, 0)));

// setReason, then `result`: `return failWith(RUN_FAILED, reason, ...)`.
template <class Result>
Result failWith(Result result, char *reason, const char *format, ...) __attribute__((format(printf, 3, 4)));
template <class Result>
Result failWith(Result result, char *reason, const char *format, ...) {
    va_list args;
    va_start(args, format);
    vsetReason(reason, format, args);
    va_end(args);
    return result;
}

#endif
