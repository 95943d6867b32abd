#include "render/request.h"

#include <unistd.h>

#include "core/state.h"

namespace {

int processorCount() {
    const long n = sysconf(_SC_NPROCESSORS_ONLN);
    if (n < 1) return 1;
    return n > RENDER_MAX_THREADS ? RENDER_MAX_THREADS : (int)n;
}

}  // namespace

RenderOptions defaultRenderOptions() {
    RenderOptions o;
    o.params = FractalParams{MANDELBROT_TYPE, DETAIL_DEFAULT, -5.0, 5.0, -5.0, 5.0, 0.0, 0.0};
    o.width = o.height = GRID_SIZE;
    o.ramps[0] = o.ramps[1] = o.ramps[2] = 0;
    o.threads = processorCount();
    o.given = 0;
    o.fromPath = nullptr;
    o.outputPath = nullptr;
    o.outputKind = OUTPUT_PNG;
    o.smooth = 0;
    o.aa = 1;
    o.frames = 0;
    o.fps = 30.0;
    o.zoomTo[0] = o.zoomTo[1] = o.zoomTo[2] = o.zoomTo[3] = 0.0;
    o.zoomPath = nullptr;
    o.firstFrame = o.lastFrame = 0;
    o.framePattern = 0;
    o.location = defaultLocation();
    o.locationPath = o.saveLocationPath = nullptr;
    o.approximation = 1;
    o.zoomLocation = defaultLocation();
    o.zoomLocated = 0;
    o.look = defaultLook();
    o.lookGiven = 0;
    o.tileColumns = o.tileRows = 0;
    o.firstTile = o.lastTile = 0;
    o.joinPattern = nullptr;
    o.findMinibrot = o.zoomMinibrot = 0;
    return o;
}
