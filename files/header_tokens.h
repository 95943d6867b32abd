// header_tokens.h - the text fields at the head of a file, read safely.
//
// The parameter file and the PNM images start with text fields separated by
// white space (space, tab, line feed, vertical tab, form feed, carriage
// return: what "%s" and "%d" skip), followed by binary data. These readers
// take one field from a stdio stream the way "%s" and "%d" would: leading
// white space is skipped, the field ends at the first byte that cannot
// belong to it, and that byte is pushed back unread, so the caller still
// controls the single separator byte before the binary data. Unlike the
// scanf family they never overrun the buffer they are given, never produce
// an out-of-range integer, and say exactly what went wrong.
//
// Every read is bounded: at most HEADER_SPACE_LIMIT bytes of white space
// before a field, and at most the buffer's size (NUMBER_TOKEN_SIZE for a
// number) of the field itself. A file of garbage, of blanks or of zeros, a
// device or an endless pipe is refused after a few hundred bytes, never read
// to its end. A field that does not fit is not skipped: the stream is left
// inside it, and the caller refuses the file.
//
// Layer: files, GL-free.
#ifndef QUORVEX_FILES_HEADER_TOKENS_H
#define QUORVEX_FILES_HEADER_TOKENS_H

#include <stddef.h>
#include <stdio.h>

#include <atomic>

enum TokenStatus {
    TOKEN_OK,
    TOKEN_MISSING,   // the stream ended before the field began
    TOKEN_TOO_LONG,  // did not fit: buffer holds the start, the rest is unread
    TOKEN_HAS_NUL,   // a NUL byte inside: binary data, not text
    TOKEN_TOO_FAR,   // more than HEADER_SPACE_LIMIT bytes of white space first
};

// Longest number text accepted: "%f" of the largest double is 316 bytes.
enum { NUMBER_TOKEN_SIZE = 512 };

// Fields are separated by a byte or a few; a run of blanks longer than this
// is not a header.
enum { HEADER_SPACE_LIMIT = 256 };

int isHeaderSpace(int c);

// A "%s" field into buffer[size] (size >= 1, always terminated).
TokenStatus readToken(FILE *stream, char *buffer, size_t size);

// A "%d" field: optional sign and decimal digits (fewer than
// NUMBER_TOKEN_SIZE), stopping at the first other byte. 0 when there is no
// digit, too many, or the value leaves the int range.
int readIntPrefix(FILE *stream, int *value);

// readIntPrefix, and the field must end at white space or the end of the
// stream: "5.5" or "50abc" is not an integer.
int readIntField(FILE *stream, int *value);

// A whole token that strtod takes completely (any form "%lf" scans).
int readDoubleField(FILE *stream, double *value);

// The readers' long loops (grid rows, pixel blocks) poll an optional stop
// flag that the caller owns, such as a signal handler's: non-zero ends the
// read as a refusal with this reason. Null never stops.
extern const char *const READ_INTERRUPTED;  // "interrupted"
inline int readStopped(const std::atomic<int> *stop) {
    return stop && stop->load(std::memory_order_relaxed) != 0;
}

#endif
