#include "render/plan.h"

#include <limits.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <new>

#include "core/state.h"
#include "deep/minibrot.h"
#include "deep/reference.h"
#include "files/atomic_write.h"
#include "render/dive.h"

namespace {

// What shapes the picture: given beside --from, any of it has the picture
// computed again instead of the file's grid coloured.
const int SHAPING = GIVEN_SIZE | GIVEN_TYPE | GIVEN_DETAIL | GIVEN_VIEW | GIVEN_PIVOT | GIVEN_LOOK | GIVEN_ZOOM;

// "Mandelbrot, Julia, M-Dragon and J-Dragon": the types the deep engine draws.
std::string deepTypeNames() {
    std::vector<const char *> names;
    for (const FractalTypeInfo &t : FRACTAL_TYPE_TABLE)
        if (t.deep) names.push_back(t.name);
    std::string text;
    for (size_t k = 0; k < names.size(); ++k)
        text += (k == 0 ? "" : k + 1 == names.size() ? " and " : ", ") + std::string(names[k]);
    return text;
}

// Each axis must span a non-empty, finite stretch of the plane.
bool axisUsable(double start, double end) { return start != end && isfinite(end - start); }

// True for a regular file that begins as a location file does (anything
// else, a pipe included, goes to the parameter file reader untouched).
bool looksLikeLocation(const char *path) {
    static const char MAGIC[] = "quorvex-location ";
    char head[sizeof MAGIC - 1];
    struct stat st;
    if (stat(path, &st) != 0 || !S_ISREG(st.st_mode)) return false;
    FILE *in = fopen(path, "rb");
    if (!in) return false;
    const size_t n = fread(head, 1, sizeof head, in);
    fclose(in);
    return n == sizeof head && memcmp(head, MAGIC, sizeof head) == 0;
}

// The last view of a dive from a parameter file or a location file.
PlanResult readZoomFile(RenderOptions &o, char *reason) {
    char why[FILE_ERROR_SIZE] = "";
    const char *path = o.zoomPath;
    if (looksLikeLocation(path)) {
        if (!readLocationFile(path, o.zoomLocation, why))
            return failWith(PLAN_USAGE, reason, "--zoom-to '%s': cannot use it: %s", path, why);
        o.zoomLocated = 1;
        return PLAN_READY;
    }
    std::unique_ptr<FractalFile> file(new (std::nothrow) FractalFile);
    if (!file) return failWith(PLAN_USAGE, reason, "--zoom-to '%s': cannot use it: not enough memory", path);
    if (!readFractalFile(path, *file, why))
        return failWith(PLAN_USAGE, reason, "--zoom-to '%s': cannot use it: %s", path, why);
    if (!axisUsable(file->xStart, file->xEnd) || !axisUsable(file->yStart, file->yEnd))
        return failWith(PLAN_USAGE, reason, "--zoom-to '%s': cannot use it: its view is empty or not finite", path);
    const double v[4] = {file->xStart, file->xEnd, file->yStart, file->yEnd};
    memcpy(o.zoomTo, v, sizeof v);
    return PLAN_READY;
}

// The --location file under what the command line gave.
PlanResult readLocation(RenderOptions &o, char *reason) {
    DeepLocation file = defaultLocation();
    char why[FILE_ERROR_SIZE] = "";
    if (!readLocationFile(o.locationPath, file, why)) return failWith(PLAN_USAGE, reason, "--location: %s", why);
    if (!(o.given & GIVEN_TYPE)) o.params.type = file.type;
    if (!(o.given & GIVEN_DETAIL)) o.params.detail = file.detail;
    if (!(o.given & GIVEN_CENTER)) o.location.re = file.re, o.location.im = file.im;
    if (!(o.given & GIVEN_WIDTH)) o.location.width = file.width;
    if (!(o.given & GIVEN_PIVOT)) {
        o.location.pivotRe = file.pivotRe, o.location.pivotIm = file.pivotIm;
        o.params.xPivot = decimalToDouble(file.pivotRe), o.params.yPivot = decimalToDouble(file.pivotIm);
    }
    return PLAN_READY;
}

// A dive from a location: the last frame as a view (both ends within the
// doubles' reach) or as a location of its own.
PlanResult planZoomLocation(RenderPlan &p, char *reason) {
    RenderOptions &o = p.options;
    if (!o.zoomLocated) {
        if (p.deep)
            return failWith(PLAN_USAGE, reason, "a dive from a width below %s needs its last frame as %s", DEEP_WIDTH,
                            RENDER_ZOOM_LOCATION);
        return PLAN_READY;
    }
    DeepLocation &z = o.zoomLocation;
    z.type = o.location.type, z.detail = o.location.detail;
    z.pivotRe = o.location.pivotRe, z.pivotIm = o.location.pivotIm;
    if (!p.deep && !locationIsDeep(z))
        locationView(z, o.width, o.height, o.zoomTo);
    else
        p.deepDive = 1;
    return PLAN_READY;
}

// The minibrot inside the first frame's picture becomes the still's
// location or the dive's last frame.
PlanResult planMinibrot(RenderPlan &p, const std::atomic<int> *stop, const RunWatch *watch, char *reason) {
    RenderOptions &o = p.options;
    const char *option = o.zoomMinibrot ? "--zoom-to-minibrot" : "--find-minibrot";
    Minibrot m;
    char why[FILE_ERROR_SIZE] = "";
    if (!minibrotTypeSupported(o.location.type)) {
        findMinibrot(o.location, o.width, o.height, stop, nullptr, nullptr, m, why);
        return failWith(PLAN_USAGE, reason, "%s: %s", option, why);
    }
    watchBegin(watch, "finding  ", "steps");
    const MinibrotResult found = findMinibrot(o.location, o.width, o.height, stop, watchRows, (void *)watch, m, why);
    watchEnd(watch);
    if (found == MINIBROT_STOPPED) return failWith(PLAN_INTERRUPTED, reason, "%s", WRITE_INTERRUPTED);
    if (found == MINIBROT_NONE) return failWith(PLAN_FAILED, reason, "%s: %s", option, why);
    p.note = "the minibrot of period " + std::to_string(m.period) + " (" + std::to_string(m.newtonSteps) +
             " Newton steps), framed at width " + m.location.width;
    if (!o.zoomMinibrot) {
        o.location = m.location;
        return PLAN_READY;
    }
    o.zoomLocation = m.location;
    o.zoomLocated = 1;
    return PLAN_READY;
}

// A location instead of --view: its view, and whether it is deep. The
// command line has already refused the forms that cannot be one.
PlanResult planLocation(RenderPlan &p, const std::atomic<int> *stop, const RunWatch *watch, char *reason) {
    RenderOptions &o = p.options;
    if (!(o.given & (GIVEN_CENTER | GIVEN_WIDTH)) && !o.locationPath) {
        if (o.zoomLocated)
            return failWith(PLAN_USAGE, reason,
                            "%s need the first frame as a location: --center and --width, or --location",
                            RENDER_ZOOM_LOCATION);
        return PLAN_READY;
    }
    if (o.locationPath && readLocation(o, reason) != PLAN_READY) return PLAN_USAGE;
    o.location.type = o.params.type, o.location.detail = o.params.detail;
    if (o.findMinibrot || o.zoomMinibrot) {
        const PlanResult found = planMinibrot(p, stop, watch, reason);
        if (found != PLAN_READY) return found;
    }
    double view[4];
    locationView(o.location, o.width, o.height, view);
    o.params.xStart = view[0], o.params.xEnd = view[1], o.params.yStart = view[2], o.params.yEnd = view[3];
    p.located = 1;
    p.deep = locationIsDeep(o.location);
    if (isDive(o) && planZoomLocation(p, reason) != PLAN_READY) return PLAN_USAGE;
    if ((p.deep || p.deepDive) && !deepTypeSupported(o.params.type))
        return failWith(PLAN_USAGE, reason, "--type %s: widths below %s are drawn for %s only",
                        FRACTAL_TYPE_NAMES[o.params.type], DEEP_WIDTH, deepTypeNames().c_str());
    return PLAN_READY;
}

// The file's parameters where the command line gave none.
void mergeFile(RenderOptions &o, const FractalFile &f) {
    if (!(o.given & GIVEN_TYPE)) o.params.type = f.type;
    if (!(o.given & GIVEN_DETAIL)) o.params.detail = f.detail;
    if (!(o.given & GIVEN_VIEW)) {
        o.params.xStart = f.xStart, o.params.xEnd = f.xEnd;
        o.params.yStart = f.yStart, o.params.yEnd = f.yEnd;
    }
    if (!(o.given & GIVEN_PIVOT)) o.params.xPivot = f.xPivot, o.params.yPivot = f.yPivot;
    if (!(o.given & GIVEN_SIZE)) o.width = f.width, o.height = f.height;
}

// A signal also breaks off a read or an open that was waiting (a FIFO),
// which then fails: that is an interrupt too.
bool stopped(const std::atomic<int> *stop) { return stop && stop->load() != 0; }

PlanResult readFrom(RenderPlan &p, const std::atomic<int> *stop, char *reason) {
    RenderOptions &o = p.options;
    std::unique_ptr<FractalFile> file(new (std::nothrow) FractalFile);
    if (!file) return failWith(PLAN_FAILED, reason, "not enough memory to read %s", o.fromPath);
    char why[FILE_ERROR_SIZE] = "";
    if (!readFractalFile(o.fromPath, *file, why, stop)) {
        if (stopped(stop)) return failWith(PLAN_INTERRUPTED, reason, "%s", WRITE_INTERRUPTED);
        return failWith(PLAN_FAILED, reason, "cannot use %s: %s", o.fromPath, why);
    }
    mergeFile(o, *file);
    const bool compute = (o.given & SHAPING) != 0;
    if (compute && o.params.type < 0)
        return failWith(PLAN_FAILED, reason, "%s holds the unknown type '%s'; name one with --type", o.fromPath,
                        file->typeName);
    if (!compute) p.file = std::move(file);
    return PLAN_READY;
}

// Catches the common refusals before the long render rather than after it.
PlanResult checkOutputs(const RenderPlan &p, char *reason) {
    const RenderOptions &o = p.options;
    const std::string first = o.framePattern ? framePathOf(o, o.firstFrame) : o.outputPath;
    if (!checkWriteTarget(first.c_str(), reason)) return PLAN_FAILED;
    if (o.saveLocationPath && !checkWriteTarget(o.saveLocationPath, reason)) return PLAN_FAILED;
    return PLAN_READY;
}

PlanResult checkShape(const RenderPlan &p, char *reason) {
    const RenderOptions &o = p.options;
    if (isDive(o) && !p.deepDive) {
        const Dive d = {o.params, {o.zoomTo[0], o.zoomTo[1], o.zoomTo[2], o.zoomTo[3]}, o.frames};
        if (!diveViewsMatch(d))
            return failWith(PLAN_FAILED, reason,
                            "the first and the last view run opposite ways on an axis; a dive cannot mirror");
    }
    if (o.outputKind == OUTPUT_MP4 && (o.width % 2 || o.height % 2))
        return failWith(PLAN_FAILED, reason, "%s needs an even width and height, not %dx%d (.webm and .mkv take any)",
                        o.outputPath, o.width, o.height);
    return PLAN_READY;
}

bool exists(const std::string &path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

void planFrames(RenderPlan &p) {
    const RenderOptions &o = p.options;
    p.firstFrame = isDive(o) && o.framePattern ? o.firstFrame : 0;
    p.lastFrame = !isDive(o) ? 0 : o.framePattern ? o.lastFrame : o.frames - 1;
    for (int k = p.firstFrame; k <= p.lastFrame; ++k)
        if (!o.framePattern || !exists(framePathOf(o, k))) p.todo.push_back(k);
}

// Grid values (one byte a pixel, coloured as they are written) unless the
// picture is coloured while it is made: smooth colour, anti-aliasing, or
// the frames of a video, which go to ffmpeg as colours.
FrameStyle styleOf(const RenderOptions &o) {
    const int coloured = o.smooth || o.aa > 1 || isVideoKind(o.outputKind);
    return FrameStyle{o.width, o.height, o.aa, o.smooth, coloured};
}

}  // namespace

std::string framePathOf(const RenderOptions &o, int k) {
    char path[PATH_MAX];
    if (!o.framePattern) return o.outputPath;
    return framePath(o.outputPath, k, path, sizeof path) ? path : "";
}

PlanResult planRender(const RenderOptions &options, RenderPlan &p, const std::atomic<int> *stop, char *reason,
                      const RunWatch *watch) {
    p.options = options;
    p.located = p.deep = p.deepDive = 0;
    p.file.reset();
    p.todo.clear();
    p.note.clear();
    PlanResult r = options.zoomPath ? readZoomFile(p.options, reason) : PLAN_READY;
    if (r == PLAN_READY) r = planLocation(p, stop, watch, reason);
    if (r == PLAN_READY && options.fromPath) r = readFrom(p, stop, reason);
    if (r == PLAN_READY) r = checkOutputs(p, reason);
    if (r == PLAN_READY) r = checkShape(p, reason);
    if (r != PLAN_READY) return r;
    const RenderOptions &o = p.options;
    p.style = styleOf(o);
    p.tables = startupChannelTables(o.ramps[0], o.ramps[1], o.ramps[2]);
    planFrames(p);
    return PLAN_READY;
}
