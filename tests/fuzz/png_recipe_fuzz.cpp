// Fuzz target: --location's reader on arbitrary bytes (a PNG's text chunks
// and the recipe in them, or a location file and its look lines). A refused
// file leaves the options alone and says why in one line; an accepted one
// leaves options a render can take.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "fuzz_input.h"
#include "render/recipe.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    char *path = writeFuzzInput(data, size);
    RenderOptions o = defaultRenderOptions();
    const RenderOptions before = o;
    char reason[RENDER_REASON_SIZE] = "";
    int located = -1;
    const int read = readLocationRecipe(path, o, &located, reason);
    if (read != 0 && read != 1) abort();
    if (!read) {
        if (!reason[0] || strchr(reason, '\n') || located != -1) abort();
        if (o.width != before.width || o.params.detail != before.params.detail || o.aa != before.aa ||
            o.look.colour != before.look.colour || o.location.width != before.location.width)
            abort();
        return 0;
    }
    if (located != 0 && located != 1) abort();
    if (o.width < 1 || o.width > RENDER_MAX_SIDE || o.height < 1 || o.height > RENDER_MAX_SIDE) abort();
    if (o.aa < 1 || o.aa > RENDER_MAX_AA || o.params.detail < 1 || o.params.detail > RENDER_MAX_DETAIL) abort();
    if (o.params.type < 0 || o.params.type >= FRACTAL_TYPES || (o.smooth != 0 && o.smooth != 1)) abort();
    if (located && !isDecimalNumber(o.location.width)) abort();
    return 0;
}
