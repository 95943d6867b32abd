// tile_grid.h - which file is which tile of a still split into tiles
// (render/tiles.h): a tile's name, what its header must say, and the
// digest of the settings that shape its values. The planner checks the
// tiles already made against these, the maker writes them, the join reads
// them.
//
// The settings digest: FNV-1a of the recipe's lines (render/recipe.h) that
// shape the values (type, detail, place, pivot, size, smooth, aa), the
// deep engine's approximation, and TILE_VALUES, raised whenever a change
// to the engines changes the values they make. Colours are not in it: the
// join may colour the tiles any way.
//
// Layer: render.
#ifndef QUORVEX_RENDER_TILE_GRID_H
#define QUORVEX_RENDER_TILE_GRID_H

#include <stdint.h>

#include <string>

#include "files/tile_file.h"
#include "render/request.h"

#define TILE_VALUES "tile values 1"

// The digest of the settings of `o` that shape its values (`located`: the
// place is a location, centre and width, not a view).
uint64_t tileSettingsDigest(const RenderOptions &o, int located);

// What the file of tile k of `o`'s picture holds in its header.
TileHeader tileHeaderOf(const RenderOptions &o, uint64_t digest, int k);

// The file of tile k: OUTPUT's pattern when tiles are made, --join's when
// they are joined ("" when the name is longer than PATH_MAX).
std::string tilePathOf(const RenderOptions &o, int k);

#endif
