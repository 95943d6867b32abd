// text_masks.h - which pixels a string lights, taken from the font itself.
//
// textMask(text) writes the string in white on a black patch of the back
// buffer, reads the patch and puts the old pixels back, so the result is the
// ink relative to the raster origin, independent of where the string was
// drawn. It selects the back buffer: call it before setting up the picture
// under test (masks are cached per text and font).
#ifndef QUORVEX_TESTS_GL_TEXT_MASKS_H
#define QUORVEX_TESTS_GL_TEXT_MASKS_H

#include <string.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "widget_pictures.h"
#include "widgets/gfx.h"
#include "widgets/window.h"

namespace pictures {

inline TextMask drawMask(const char *text, void *font) {
    const int len = (int)strlen(text);
    const int x0 = 200, y0 = 300, sx = x0 + 8, sy = y0 + 8;
    TextMask m;
    m.left = -8;
    m.bottom = -8;
    m.width = 14 * len + 24;  // wide enough for Helvetica 18 as well
    m.height = 36;
    const size_t bytes = (size_t)m.width * m.height * 3;
    std::vector<unsigned char> saved(bytes), drawn(bytes);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    gfxReadPixels(GL_BACK, x0, y0, m.width, m.height, GL_RGB, GL_UNSIGNED_BYTE, saved.data());
    fillQuad(0, 0, 0, x0, y0, x0 + m.width, y0, x0 + m.width, y0 + m.height, x0, y0 + m.height);
    glColor3f(1, 1, 1);
    glPixelTransferi(GL_MAP_COLOR, 0);
    glRasterPos2i(sx, sy);
    for (const char *c = text; *c; ++c) glutBitmapCharacter(font, (unsigned char)*c);
    gfxReadPixels(GL_BACK, x0, y0, m.width, m.height, GL_RGB, GL_UNSIGNED_BYTE, drawn.data());
    glRasterPos2i(x0, y0);
    glDrawPixels(m.width, m.height, GL_RGB, GL_UNSIGNED_BYTE, saved.data());
    m.lit.resize((size_t)m.width * m.height);
    for (size_t i = 0; i < m.lit.size(); ++i) m.lit[i] = drawn[3 * i] != 0;
    return m;
}

inline const TextMask &textMask(const std::string &text, void *font = GLUT_BITMAP_8_BY_13) {
    static std::map<std::pair<std::string, void *>, TextMask> cache;
    auto key = std::make_pair(text, font);
    auto it = cache.find(key);
    if (it == cache.end()) it = cache.emplace(key, drawMask(text.c_str(), font)).first;
    return it->second;
}

}  // namespace pictures

#endif
