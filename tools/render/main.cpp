// quorvex-render: the explorer's pictures without a display.
#include <stdio.h>

#include "tools/render/options.h"

int main(int argc, char **argv) {
    RenderOptions options = defaultRenderOptions();
    char reason[RENDER_REASON_SIZE] = "";
    switch (parseRenderOptions(argc, argv, options, reason)) {
    case RENDER_PARSE_HELP: writeRenderHelp(stdout); return 0;
    case RENDER_PARSE_USAGE:
        fprintf(stderr, "quorvex-render: %s (try --help)\n", reason);
        return 2;
    case RENDER_PARSE_OK: break;
    }
    fprintf(stderr, "quorvex-render: rendering is not built yet\n");
    return 1;
}
