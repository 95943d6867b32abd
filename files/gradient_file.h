// gradient_file.h - the plain gradient file fractal programs have long
// shared: 256 lines of "R G B".
//
//   Gradient g;
//   if (!readGradientFile("sunset.map", g, reason)) ... one line in reason
//
// The file: exactly GRADIENT_MAX lines, colour 0 first. Each line holds
// three whole decimal numbers 0..255 (red, green, blue, sRGB), each
// separated from the next by spaces or tabs; blanks may lead the line, and
// after the third number a blank may begin any text (a name, a comment),
// which is ignored. Lines end in a line feed (a carriage return before it
// is allowed; the last line may lack its line feed); empty lines after the
// last colour are allowed. Anything else is refused up front, naming the
// line: a missing or fourth-digit number, a value above 255, a NUL byte,
// fewer or more than 256 colours.
//
// The colours become a Gradient (colour/gradient.h) of 256 colours with a
// black inside.
//
// Limits, each for a reason:
//   GRADIENT_FILE_MAX  bytes read at most: 256 lines with long comments
//                      fit many times over, and a device or a wrong file
//                      (a picture given by mistake) is refused at once.
//
// Layer: files.
#ifndef QUORVEX_FILES_GRADIENT_FILE_H
#define QUORVEX_FILES_GRADIENT_FILE_H

#include <stddef.h>

#include "colour/gradient.h"
#include "files/atomic_write.h"  // FILE_ERROR_SIZE: the reason buffers

enum { GRADIENT_FILE_MAX = 64 * 1024 };

// The gradient in `text` (`size` bytes); 0 and one line in `reason` when it is not one.
int parseGradient(const char *text, size_t size, Gradient &g, char *reason);

// The same from a file; `g` is left alone when it is refused.
int readGradientFile(const char *path, Gradient &g, char *reason);

#endif
