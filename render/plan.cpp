#include "render/plan.h"

#include <dirent.h>
#include <errno.h>
#include <limits.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <new>
#include <unordered_set>

#include "core/state.h"
#include "deep/minibrot.h"
#include "deep/reference.h"
#include "files/atomic_write.h"
#include "files/gradient_file.h"
#include "render/dive.h"
#include "render/recipe.h"
#include "render/tile_grid.h"

namespace {

// What shapes the picture: given beside --from, any of it has the picture
// computed again instead of the file's grid coloured.
const int SHAPING =
    GIVEN_SIZE | GIVEN_TYPE | GIVEN_DETAIL | GIVEN_VIEW | GIVEN_PIVOT | GIVEN_LOOK | GIVEN_ZOOM | GIVEN_TILES;

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

// A signal also breaks off a read or an open that was waiting (a FIFO),
// which then fails: that is an interrupt too.
bool stopped(const std::atomic<int> *stop) { return stop && stop->load() != 0; }

// A read of a named input that failed: the interrupt that broke it off, or
// a usage error in the caller's words.
PlanResult readFailed(const std::atomic<int> *stop, char *reason, const char *what, const char *path,
                      const char *why) {
    if (stopped(stop)) return failWith(PLAN_INTERRUPTED, reason, "%s", WRITE_INTERRUPTED);
    return failWith(PLAN_USAGE, reason, "%s '%s': cannot use it: %s", what, path, why);
}

// The last view of a dive from a parameter file or a location file.
PlanResult readZoomFile(RenderOptions &o, const std::atomic<int> *stop, char *reason) {
    char why[FILE_ERROR_SIZE] = "";
    const char *path = o.zoomPath;
    if (stopped(stop)) return readFailed(stop, reason, "--zoom-to", path, why);
    if (looksLikeLocation(path)) {
        std::string look;  // a picture's look, saved with it: the first frame's rules
        if (!readLocationFile(path, o.zoomLocation, why, &look)) return readFailed(stop, reason, "--zoom-to", path, why);
        o.zoomLocated = 1;
        return PLAN_READY;
    }
    std::unique_ptr<FractalFile> file(new (std::nothrow) FractalFile);
    if (!file) return failWith(PLAN_USAGE, reason, "--zoom-to '%s': cannot use it: not enough memory", path);
    if (!readFractalFile(path, *file, why, stop)) return readFailed(stop, reason, "--zoom-to", path, why);
    if (!axisUsable(file->xStart, file->xEnd) || !axisUsable(file->yStart, file->yEnd))
        return failWith(PLAN_USAGE, reason, "--zoom-to '%s': cannot use it: its view is empty or not finite", path);
    const double v[4] = {file->xStart, file->xEnd, file->yStart, file->yEnd};
    memcpy(o.zoomTo, v, sizeof v);
    return PLAN_READY;
}

// The --location file (a location file or a picture's recipe) under what
// the command line gave; `located` 0 when it gave a view.
PlanResult readLocation(RenderOptions &o, int *located, const std::atomic<int> *stop, char *reason) {
    char why[FILE_ERROR_SIZE] = "";
    if (stopped(stop) || !readLocationRecipe(o.locationPath, o, located, why)) {
        if (stopped(stop)) return failWith(PLAN_INTERRUPTED, reason, "%s", WRITE_INTERRUPTED);
        return failWith(PLAN_USAGE, reason, "--location: %s", why);
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

// A --location picture whose recipe gives a view: drawn as that --view.
PlanResult planRecipeView(RenderPlan &p, char *reason) {
    if (p.options.zoomLocated)
        return failWith(PLAN_USAGE, reason, "%s need the first frame as a location; %s gives a view",
                        RENDER_ZOOM_LOCATION, p.options.locationPath);
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
    if (!(o.lookGiven & LOOK_GIVEN_COLOUR)) scanColour(LOOK_DEPTH_TEXT, o.look);
    int located = 1;
    if (o.locationPath) {
        const PlanResult read = readLocation(o, &located, stop, reason);
        if (read != PLAN_READY) return read;
    }
    if (!located) return planRecipeView(p, reason);
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
    const bool compute = (o.given & SHAPING) != 0 || o.look.colour != COLOUR_BANDS || lookShades(o.look);
    if (compute && o.params.type < 0)
        return failWith(PLAN_FAILED, reason, "%s holds the unknown type '%s'; name one with --type", o.fromPath,
                        file->typeName);
    if (!compute) p.file = std::move(file);
    return PLAN_READY;
}

// The files read: none of them may be written.
struct Inputs {
    const char *option[3];
    const char *path[3];
    int count;
};

Inputs inputsOf(const RenderOptions &o) {
    Inputs in = {{}, {}, 0};
    const char *const options[3] = {"--from", "--location", "--zoom-to"};
    const char *const paths[3] = {o.fromPath, o.locationPath, o.zoomPath};
    for (int k = 0; k < 3; ++k)
        if (paths[k]) in.option[in.count] = options[k], in.path[in.count++] = paths[k];
    return in;
}

// An output that is an input, or the other output: refused before anything
// is written over.
PlanResult checkNotAnInput(const Inputs &in, const char *what, const char *path, char *reason) {
    for (int k = 0; k < in.count; ++k)
        if (sameFile(path, in.path[k]))
            return failWith(PLAN_USAGE, reason, "%s '%s' is the file %s reads ('%s'); write it elsewhere", what, path,
                            in.option[k], in.path[k]);
    return PLAN_READY;
}

// Catches the common refusals before the long render rather than after it;
// a dive's frames are checked as they are listed (planFrames).
PlanResult checkOutputs(const RenderPlan &p, char *reason) {
    const RenderOptions &o = p.options;
    const Inputs in = inputsOf(o);
    if (!o.framePattern && !makesTiles(o)) {
        if (!checkWriteTarget(o.outputPath, reason)) return PLAN_FAILED;
        if (checkNotAnInput(in, "OUTPUT", o.outputPath, reason) != PLAN_READY) return PLAN_USAGE;
    }
    if (!o.saveLocationPath) return PLAN_READY;
    if (!checkWriteTarget(o.saveLocationPath, reason)) return PLAN_FAILED;
    if (checkNotAnInput(in, "--save-location", o.saveLocationPath, reason) != PLAN_READY) return PLAN_USAGE;
    if (sameFile(o.saveLocationPath, o.outputPath))
        return failWith(PLAN_USAGE, reason, "--save-location '%s' and OUTPUT '%s' are the same file",
                        o.saveLocationPath, o.outputPath);
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

std::string directoryOf(const char *path) {
    const char *slash = strrchr(path, '/');
    return slash ? std::string(path, (size_t)(slash - path) + 1) : std::string();
}

// What stands at a frame's name: nothing or a frame of this dive's format
// and size, which is kept (written whole by an earlier run); another regular
// file (empty, cut short, of another size) is made again; any other kind of
// node is refused.
enum FrameFile { FRAME_TO_MAKE, FRAME_KEPT, FRAME_REFUSED };

FrameFile frameFileOf(const RenderOptions &o, const char *path, char *reason) {
    struct stat st;
    if (stat(path, &st) != 0) {
        if (errno == ENOENT) return FRAME_TO_MAKE;
        return failWith(FRAME_REFUSED, reason, "%s: %s", path, strerror(errno));
    }
    if (!S_ISREG(st.st_mode))
        return failWith(FRAME_REFUSED, reason, "%s is %s, not a frame file", path,
                        S_ISDIR(st.st_mode) ? "a directory" : S_ISFIFO(st.st_mode) ? "a FIFO" : "not a regular file");
    if (st.st_size > 0 && pictureFileMatches(path, o.outputKind, o.width, o.height)) return FRAME_KEPT;
    return checkWriteTarget(path, reason) ? FRAME_TO_MAKE : FRAME_REFUSED;
}

// Frames listed between looks at the stop flag.
const int FRAMES_BETWEEN_STOP_LOOKS = 1024;

// The names in the directory the frames go into, read once: a stat a frame
// would take seconds for a million of them.
struct FrameDirectory {
    std::string name = "\n";  // no directory's name: none read yet
    bool listed = false;      // false when it could not be read: every frame is looked at
    bool checked = false;     // found writable (checked with the first frame to make there)
    std::unordered_set<std::string> files;
};

void listDirectory(FrameDirectory &d, const std::string &name) {
    d.name = name;
    d.checked = false;
    d.files.clear();
    DIR *dir = opendir(name.empty() ? "." : name.c_str());
    d.listed = dir != nullptr;
    while (const dirent *e = dir ? readdir(dir) : nullptr) d.files.insert(e->d_name);
    if (dir) closedir(dir);
}

// The dive's frames in its range, less those already written; every
// directory a frame will be written into is checked before the first one.
PlanResult planFrameFiles(RenderPlan &p, const std::atomic<int> *stop, char *reason) {
    const RenderOptions &o = p.options;
    const Inputs in = inputsOf(o);
    FrameDirectory d;
    for (int k = p.firstFrame; k <= p.lastFrame; ++k) {
        if ((k - p.firstFrame) % FRAMES_BETWEEN_STOP_LOOKS == 0 && stopped(stop))
            return failWith(PLAN_INTERRUPTED, reason, "%s", WRITE_INTERRUPTED);
        char path[PATH_MAX];
        if (!framePath(o.outputPath, k, path, sizeof path))
            return failWith(PLAN_USAGE, reason, "OUTPUT '%.60s...': the name of frame %d is longer than %d bytes",
                            o.outputPath, k, PATH_MAX - 1);
        const std::string directory = directoryOf(path);
        if (directory != d.name) listDirectory(d, directory);
        const bool present = !d.listed || d.files.count(path + directory.size()) != 0;
        // An input at a frame's name is refused as an OUTPUT that is one is.
        if (present && checkNotAnInput(in, "the frame", path, reason) != PLAN_READY) return PLAN_USAGE;
        const FrameFile file = present ? frameFileOf(o, path, reason) : FRAME_TO_MAKE;
        if (file == FRAME_REFUSED) return PLAN_FAILED;
        if (file == FRAME_KEPT) continue;
        if (!d.checked && !checkWriteTarget(path, reason)) return PLAN_FAILED;
        d.checked = true;
        p.todo.push_back(k);
    }
    return PLAN_READY;
}

PlanResult planFrames(RenderPlan &p, const std::atomic<int> *stop, char *reason) {
    const RenderOptions &o = p.options;
    p.firstFrame = isDive(o) && o.framePattern ? o.firstFrame : 0;
    p.lastFrame = !isDive(o) ? 0 : o.framePattern ? o.lastFrame : o.frames - 1;
    if (o.framePattern) return planFrameFiles(p, stop, reason);
    for (int k = p.firstFrame; k <= p.lastFrame; ++k) p.todo.push_back(k);
    return PLAN_READY;
}

// Grid values (one byte a pixel, coloured as they are written) unless the
// picture is coloured while it is made: smooth colour, anti-aliasing, a
// look other than bands, or the frames of a video, which go to ffmpeg as
// colours.
FrameStyle styleOf(const RenderPlan &p) {
    const RenderOptions &o = p.options;
    const bool look = o.look.colour != COLOUR_BANDS || lookShades(o.look);
    const int coloured = o.smooth || o.aa > 1 || look || isVideoKind(o.outputKind);
    FrameStyle style = {o.width, o.height, o.aa, o.smooth, coloured};
    if (look) style.look = &p.colouring;
    return style;
}

// A .pgm or .frc holds grid values: a look, smooth colour or anti-aliasing
// that a recipe gave (the command line refuses them there) is dropped.
void keepGridValues(RenderOptions &o) {
    if (o.outputKind != OUTPUT_PGM && o.outputKind != OUTPUT_FRC) return;
    o.look.colour = COLOUR_BANDS, o.look.slopes = o.look.distance = 0, o.smooth = 0, o.aa = 1;
}

// The palette as a gradient: the ramps, a built-in one, a file's (read
// now, and kept as its colours, so a recipe carries them), or colours.
PlanResult planPalette(RenderPlan &p, char *reason) {
    LookOptions &look = p.options.look;
    const int *ramps = p.options.ramps;
    p.tables = startupChannelTables(ramps[0], ramps[1], ramps[2]);
    char why[FILE_ERROR_SIZE] = "";
    Gradient g = rampGradient(p.tables);
    if (look.palette == PALETTE_NAMED && !namedGradient(look.paletteText.c_str(), g))
        return failWith(PLAN_USAGE, reason, "--palette: no gradient named '%.40s'", look.paletteText.c_str());
    if (look.palette == PALETTE_FILE) {
        if (!readGradientFile(look.paletteText.c_str(), g, why))
            return failWith(PLAN_USAGE, reason, "--gradient: %s", why);
        look.palette = PALETTE_COLOURS, look.paletteText = gradientColoursText(g);
    }
    if (look.palette == PALETTE_COLOURS && !gradientFromColours(look.paletteText, g))
        return failWith(PLAN_USAGE, reason, "--palette: not a gradient's colours");
    if (look.palette != PALETTE_RAMPS) p.tables = gradientTables(g);
    p.palette.reset(new GradientTable);
    fillGradientTable(g, *p.palette);
    const LookOptions &l = look;
    p.colouring = Colouring{l.colour, l.density, l.offset, l.slopes, l.angle, l.relief, p.palette.get()};
    p.colouring.detail = p.options.params.detail;
    p.colouring.distance = l.distance, p.colouring.thickness = l.thickness;
    return PLAN_READY;
}

// What stands at a tile's name: a whole tile of this picture is kept; as
// for a dive's frames (frameFileOf), any other regular file is made again,
// any other kind of node refused.
FrameFile tileFileOf(const RenderPlan &p, int k, const char *path, char *reason) {
    struct stat st;
    if (stat(path, &st) != 0) {
        if (errno == ENOENT) return checkWriteTarget(path, reason) ? FRAME_TO_MAKE : FRAME_REFUSED;
        return failWith(FRAME_REFUSED, reason, "%s: %s", path, strerror(errno));
    }
    if (!S_ISREG(st.st_mode))
        return failWith(FRAME_REFUSED, reason, "%s is %s, not a tile file", path,
                        S_ISDIR(st.st_mode) ? "a directory" : S_ISFIFO(st.st_mode) ? "a FIFO" : "not a regular file");
    if (tileFileMatches(path, tileHeaderOf(p.options, p.tileDigest, k))) return FRAME_KEPT;
    return checkWriteTarget(path, reason) ? FRAME_TO_MAKE : FRAME_REFUSED;
}

// A tile's name: it must fit, and for a join be neither output.
PlanResult checkTileName(const RenderOptions &o, int k, const std::string &path, char *reason) {
    if (path.empty())
        return failWith(PLAN_USAGE, reason, "the name of tile %d is longer than %d bytes", k, PATH_MAX - 1);
    if (!o.joinPattern) return checkNotAnInput(inputsOf(o), "the tile", path.c_str(), reason);
    for (const char *out : {o.outputPath, o.saveLocationPath})
        if (out && sameFile(out, path.c_str()))
            return failWith(PLAN_USAGE, reason, "'%s' is tile %d of the join; write it elsewhere", out, k);
    return PLAN_READY;
}

PlanResult planTiles(RenderPlan &p, const std::atomic<int> *stop, char *reason) {
    const RenderOptions &o = p.options;
    if (!o.tileColumns) return PLAN_READY;
    if (o.tileColumns > o.width || o.tileRows > o.height)
        return failWith(PLAN_USAGE, reason, "--tiles %dx%d: a %dx%d picture has fewer pixels than tiles on a side",
                        o.tileColumns, o.tileRows, o.width, o.height);
    p.tileDigest = tileSettingsDigest(o, p.located);
    const int first = o.joinPattern ? 0 : o.firstTile;
    const int last = o.joinPattern ? o.tileColumns * o.tileRows - 1 : o.lastTile;
    for (int k = first; k <= last; ++k) {
        if ((k - first) % FRAMES_BETWEEN_STOP_LOOKS == 0 && stopped(stop))
            return failWith(PLAN_INTERRUPTED, reason, "%s", WRITE_INTERRUPTED);
        const std::string path = tilePathOf(o, k);
        const PlanResult name = checkTileName(o, k, path, reason);
        if (name != PLAN_READY) return name;
        if (o.joinPattern) continue;
        const FrameFile file = tileFileOf(p, k, path.c_str(), reason);
        if (file == FRAME_REFUSED) return PLAN_FAILED;
        if (file == FRAME_TO_MAKE) p.tiles.push_back(k);
    }
    return PLAN_READY;
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
    p.tiles.clear();
    p.tileDigest = 0;
    p.note.clear();
    PlanResult r = options.zoomPath ? readZoomFile(p.options, stop, reason) : PLAN_READY;
    if (r == PLAN_READY) r = planLocation(p, stop, watch, reason);
    if (r == PLAN_READY && options.fromPath) r = readFrom(p, stop, reason);
    if (r == PLAN_READY) keepGridValues(p.options), r = planPalette(p, reason);
    if (r == PLAN_READY) r = checkOutputs(p, reason);
    if (r == PLAN_READY) r = checkShape(p, reason);
    if (r != PLAN_READY) return r;
    p.style = styleOf(p);
    r = planFrames(p, stop, reason);
    return r == PLAN_READY ? planTiles(p, stop, reason) : r;
}
