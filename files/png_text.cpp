#include "files/png_text.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>

#include "files/atomic_write.h"

namespace {

const unsigned char SIGNATURE[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
const size_t MAX_KEYWORD = 79;

uint32_t bigEndian(const unsigned char *p) {
    return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | (uint32_t)p[3];
}

bool keywordByte(unsigned char c) { return (c >= 32 && c <= 126) || c >= 161; }

PngTextResult damaged(char *reason, const char *what) {
    setReason(reason, "its PNG head is damaged: %s", what);
    return PNG_TEXT_DAMAGED;
}

// A tEXt chunk's data: keyword, NUL, text.
PngTextResult takeText(const unsigned char *data, size_t length, std::vector<PngText> &texts, char *reason) {
    const unsigned char *nul = (const unsigned char *)memchr(data, '\0', length);
    if (!nul) return damaged(reason, "a text chunk without its keyword's end");
    const size_t keyword = (size_t)(nul - data);
    if (keyword < 1 || keyword > MAX_KEYWORD) return damaged(reason, "a text chunk's keyword is empty or too long");
    for (size_t k = 0; k < keyword; ++k)
        if (!keywordByte(data[k])) return damaged(reason, "a text chunk's keyword has a byte it may not");
    if (memchr(nul + 1, '\0', length - keyword - 1)) return damaged(reason, "a text chunk holds a NUL byte");
    texts.push_back(PngText{std::string((const char *)data, keyword),
                            std::string((const char *)nul + 1, length - keyword - 1)});
    return PNG_TEXT_READ;
}

}  // namespace

uint32_t pngCrc(uint32_t crc, const unsigned char *bytes, size_t size) {
    static uint32_t table[256];
    static const bool filled = [] {
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = c & 1 ? 0xedb88320u ^ (c >> 1) : c >> 1;
            table[n] = c;
        }
        return true;
    }();
    (void)filled;
    crc = ~crc;
    for (size_t k = 0; k < size; ++k) crc = table[(crc ^ bytes[k]) & 0xff] ^ (crc >> 8);
    return ~crc;
}

int isPngSignature(const unsigned char *bytes, size_t size) {
    return size >= sizeof SIGNATURE && memcmp(bytes, SIGNATURE, sizeof SIGNATURE) == 0;
}

PngTextResult parsePngText(const unsigned char *bytes, size_t size, std::vector<PngText> &texts, char *reason) {
    if (!isPngSignature(bytes, size)) return failWith(PNG_TEXT_NOT_PNG, reason, "not a PNG file");
    std::vector<PngText> read;
    size_t at = sizeof SIGNATURE;
    for (int chunk = 0;; ++chunk) {
        if (size - at < 12) return damaged(reason, "it ends inside a chunk, before the image data");
        const uint32_t length = bigEndian(bytes + at);
        const unsigned char *type = bytes + at + 4, *data = type + 4;
        if (length > 0x7fffffffu || size - at - 12 < length)
            return damaged(reason, "a chunk runs past the end of what was read");
        if (pngCrc(0, type, (size_t)length + 4) != bigEndian(data + length))
            return damaged(reason, "a chunk's checksum does not match");
        if (chunk == 0 && (memcmp(type, "IHDR", 4) != 0 || length != 13))
            return damaged(reason, "it does not begin with its header chunk");
        if (memcmp(type, "IDAT", 4) == 0 || memcmp(type, "IEND", 4) == 0) break;
        if (memcmp(type, "tEXt", 4) == 0 && takeText(data, length, read, reason) != PNG_TEXT_READ)
            return PNG_TEXT_DAMAGED;
        at += (size_t)length + 12;
    }
    texts.swap(read);
    return PNG_TEXT_READ;
}

PngTextResult readPngText(const char *path, std::vector<PngText> &texts, char *reason) {
    FILE *in = fopen(path, "rb");
    if (!in) return failWith(PNG_TEXT_UNREADABLE, reason, "cannot open %s: %s", path, strerror(errno));
    std::vector<unsigned char> head(PNG_TEXT_MAX_HEAD);
    const size_t n = fread(head.data(), 1, head.size(), in);
    const int failed = ferror(in);
    fclose(in);
    if (failed) return failWith(PNG_TEXT_UNREADABLE, reason, "cannot read %s", path);
    return parsePngText(head.data(), n, texts, reason);
}
