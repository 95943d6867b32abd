// png_text.h - the text chunks at the head of a PNG file, read without
// decoding the picture.
//
//   std::vector<PngText> texts;
//   switch (readPngText("picture.png", texts, reason)) {
//   case PNG_TEXT_READ: ...    every tEXt chunk before the image data
//   case PNG_TEXT_NOT_PNG: ... the file does not begin as a PNG
//   case PNG_TEXT_DAMAGED: ... it does, but its head is broken (reason says how)
//   case PNG_TEXT_UNREADABLE: ... it cannot be opened or read
//   }
//
// The format (the PNG standard's, the part read here): the eight bytes
// 89 50 4E 47 0D 0A 1A 0A, then chunks, each
//     length  4 bytes, big-endian, at most 2^31 - 1: the bytes of data
//     type    4 bytes, ASCII letters
//     data    `length` bytes
//     crc     4 bytes, big-endian: CRC-32 of the type and the data
// The first chunk is IHDR, of 13 bytes. A tEXt chunk's data is a keyword
// of 1..79 printable Latin-1 bytes (32..126, 161..255), a NUL, and the
// text, which holds no NUL. Chunks are walked up to the first IDAT (the
// image data; quorvex-render writes its text before it); an IEND before
// any IDAT ends the walk too. Every chunk read has its CRC checked, and
// anything that breaks these rules is DAMAGED: a chunk running past the
// end of the file, a bad CRC, a tEXt chunk without its NUL or with a bad
// keyword, a head without IHDR first.
//
// Limits, each for a reason:
//   PNG_TEXT_MAX_HEAD  bytes read at most before the image data: the
//                      text quorvex-render writes is a few tens of
//                      kilobytes, so a head longer than this (or a device,
//                      or an endless pipe) is not one of its pictures and
//                      is refused without reading on.
//
// Layer: files.
#ifndef QUORVEX_FILES_PNG_TEXT_H
#define QUORVEX_FILES_PNG_TEXT_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "files/atomic_write.h"  // FILE_ERROR_SIZE: the reason buffers

enum { PNG_TEXT_MAX_HEAD = 1 << 20 };

enum PngTextResult { PNG_TEXT_READ, PNG_TEXT_NOT_PNG, PNG_TEXT_DAMAGED, PNG_TEXT_UNREADABLE };

struct PngText {
    std::string keyword, text;
};

// 1 when `bytes` begin with the PNG signature (at least 8 of them).
int isPngSignature(const unsigned char *bytes, size_t size);

// The tEXt chunks of the head of a PNG held in memory (`size` bytes, at
// least its head), in file order.
PngTextResult parsePngText(const unsigned char *bytes, size_t size, std::vector<PngText> &texts, char *reason);

// The same from a file: its first PNG_TEXT_MAX_HEAD bytes at most.
PngTextResult readPngText(const char *path, std::vector<PngText> &texts, char *reason);

// CRC-32 as PNG computes it, continued from `crc` (0 to start).
uint32_t pngCrc(uint32_t crc, const unsigned char *bytes, size_t size);

#endif
