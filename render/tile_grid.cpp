#include "render/tile_grid.h"

#include <limits.h>

#include "render/dive.h"
#include "render/recipe.h"

uint64_t tileSettingsDigest(const RenderOptions &o, int located) {
    const Recipe recipe = pictureRecipe(o, o.params, located ? &o.location : nullptr);
    std::string text = TILE_VALUES "\n";
    for (const RecipeLine &l : recipe)
        if (l.key != "colour" && l.key != "palette" && l.key != "shade") text += l.key + " " + l.value + "\n";
    text += "approximation " + std::to_string(o.approximation) + "\n";
    return tileDigest(text.data(), text.size());
}

TileHeader tileHeaderOf(const RenderOptions &o, uint64_t digest, int k) {
    TileHeader h;
    h.encoding = (o.smooth ? TILE_SMOOTH : TILE_COUNTS) | (o.look.distance ? TILE_DISTANCES : 0);
    h.pictureWidth = o.width, h.pictureHeight = o.height, h.aa = o.aa;
    h.columns = o.tileColumns, h.rows = o.tileRows, h.index = k;
    h.area = tileArea(o.width, o.height, o.tileColumns, o.tileRows, k);
    h.digest = digest;
    return h;
}

std::string tilePathOf(const RenderOptions &o, int k) {
    char path[PATH_MAX];
    return framePath(o.joinPattern ? o.joinPattern : o.outputPath, k, path, sizeof path) ? path : "";
}
