#include "files/header_tokens.h"

#include <limits.h>
#include <stdlib.h>

const char *const READ_INTERRUPTED = "interrupted";

namespace {

// What skipSpace returns when the white space runs past the limit: neither
// a byte value nor EOF.
const int TOO_FAR = EOF - 1;

int isDigit(int c) { return c >= '0' && c <= '9'; }

// The first byte after the white space, EOF, or TOO_FAR.
int skipSpace(FILE *stream) {
    int c;
    int skipped = 0;
    while ((c = getc(stream)) != EOF && isHeaderSpace(c))
        if (++skipped > HEADER_SPACE_LIMIT) return TOO_FAR;
    return c;
}

}  // namespace

int isHeaderSpace(int c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

TokenStatus readToken(FILE *stream, char *buffer, size_t size) {
    buffer[0] = '\0';
    int c = skipSpace(stream);
    if (c == EOF) return TOKEN_MISSING;
    if (c == TOO_FAR) return TOKEN_TOO_FAR;
    size_t length = 0;
    int hasNul = 0;
    while (c != EOF && !isHeaderSpace(c)) {
        if (length + 1 == size) {
            ungetc(c, stream);
            buffer[length] = '\0';
            return TOKEN_TOO_LONG;
        }
        hasNul |= c == '\0';
        buffer[length++] = (char)c;
        c = getc(stream);
    }
    ungetc(c, stream);
    buffer[length] = '\0';
    return hasNul ? TOKEN_HAS_NUL : TOKEN_OK;
}

int readIntPrefix(FILE *stream, int *value) {
    int c = skipSpace(stream);
    const int negative = c == '-';
    if (c == '-' || c == '+') c = getc(stream);
    long long magnitude = 0;
    int digits = 0;
    for (; isDigit(c); c = getc(stream), ++digits) {
        if (digits == NUMBER_TOKEN_SIZE - 1) return 0;
        if (magnitude <= INT_MAX) magnitude = magnitude * 10 + (c - '0');
    }
    if (c != TOO_FAR) ungetc(c, stream);
    const long long limit = negative ? -(long long)INT_MIN : INT_MAX;
    if (digits == 0 || magnitude > limit) return 0;
    *value = (int)(negative ? -magnitude : magnitude);
    return 1;
}

int readIntField(FILE *stream, int *value) {
    int parsed;
    if (!readIntPrefix(stream, &parsed)) return 0;
    const int next = getc(stream);
    ungetc(next, stream);
    if (next != EOF && !isHeaderSpace(next)) return 0;
    *value = parsed;
    return 1;
}

int readDoubleField(FILE *stream, double *value) {
    char text[NUMBER_TOKEN_SIZE];
    if (readToken(stream, text, sizeof text) != TOKEN_OK) return 0;
    char *end = nullptr;
    const double parsed = strtod(text, &end);
    if (end == text || *end != '\0') return 0;
    *value = parsed;
    return 1;
}
