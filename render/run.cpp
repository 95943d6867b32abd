#include "render/run.h"

#include <limits.h>
#include <math.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <memory>
#include <new>
#include <string>
#include <system_error>
#include <thread>

#include "core/state.h"
#include "deep/deep_view.h"
#include "files/atomic_write.h"
#include "render/dive.h"
#include "render/output.h"
#include "render/recipe.h"
#include "render/survey.h"
#include "render/tiles.h"
#include "render/video.h"

namespace {

struct FreeBytes {
    void operator()(unsigned char *p) const { free(p); }
};

struct Run {
    const RenderPlan *plan;
    const RenderOptions *o;
    const std::atomic<int> *stop;
    const RunWatch *watch;
    Dive dive;                                           // a still is frame 0 of a one-frame dive
    std::unique_ptr<unsigned char, FreeBytes> bytes[2];  // the frame in hand, and the one being written
    int current;                                         // the frame in hand: bytes[current]
    long framesMade;                                     // drawn, for the bar
    long framesDone;                                     // written
    char ffmpeg[PATH_MAX];
    // Frames from locations (a deep still, a dive between locations):
    DeepFrames deep;
    long bits;  // of a dive's frame locations
    std::vector<PngText> text[2];  // each frame's recipe, for a PNG
    DiveSurveys surveys;           // a dive's histogram (render/survey.h)
    // A still in tiles (render/tiles.h): the rows made of the tiles to
    // make, for the bar; or the join.
    long tileRowsDone, tileRows;
    std::unique_ptr<TileJoin> join;
};

// What one frame is: its view in doubles and, for frames from locations,
// its location, deep or not.
struct Frame {
    FractalParams params;
    DeepLocation loc;
    int deep;
};

bool stopped(const Run &r) { return r.stop && r.stop->load() != 0; }

bool locatedFrames(const RenderPlan &p) { return p.deepDive || (p.deep && !isDive(p.options)); }

// `bits`: the precision of a dive's frame locations (r.bits to draw them).
Frame frameOf(const Run &r, int k, long bits) {
    const RenderOptions &o = *r.o;
    Frame f;
    f.deep = 0;
    if (!locatedFrames(*r.plan)) {
        f.params = diveFrameParams(r.dive, k);
        return f;
    }
    f.loc = r.plan->deepDive ? locationBetween(o.location, o.zoomLocation, k, o.frames, bits) : o.location;
    f.deep = locationIsDeep(f.loc);
    double view[4];
    locationView(f.loc, o.width, o.height, view);
    f.params = o.params;
    f.params.xStart = view[0], f.params.xEnd = view[1], f.params.yStart = view[2], f.params.yEnd = view[3];
    return f;
}

long cellsPerFrame(const Run &r) { return (long)r.plan->style.width * r.plan->style.height; }

size_t frameBytes(const Run &r) { return (size_t)cellsPerFrame(r) * (r.plan->style.coloured ? 3 : 1); }

// The place a frame's recipe names: its location when it is drawn from one
// (or a still was asked for by one), else its view.
const DeepLocation *recipePlace(const Run &r, const Frame &f) {
    if (locatedFrames(*r.plan)) return &f.loc;
    return r.plan->located && !isDive(*r.o) ? &r.o->location : nullptr;
}

void noteRecipe(Run &r, const Frame &f) {
    std::vector<PngText> &text = r.text[r.current];
    text.clear();
    const Recipe recipe = pictureRecipe(*r.o, f.params, recipePlace(r, f));
    if (recipe.empty()) return;
    text.push_back(PngText{RECIPE_SOFTWARE_KEY, RECIPE_SOFTWARE});
    for (const RecipeLine &l : recipe) text.push_back(PngText{RECIPE_KEY_PREFIX + l.key, l.value});
}

void startRun(Run &r) {
    const RenderOptions &o = *r.o;
    r.dive.first = o.params;
    r.dive.frames = isDive(o) ? o.frames : 1;
    const double stay[4] = {o.params.xStart, o.params.xEnd, o.params.yStart, o.params.yEnd};
    memcpy(r.dive.last, isDive(o) ? o.zoomTo : stay, sizeof r.dive.last);
    r.current = 0;
    r.framesMade = r.framesDone = 0;
    r.bits = 0;
    if (!locatedFrames(*r.plan)) return;
    const int cells = o.aa * (o.width > o.height ? o.width : o.height);
    const DeepLocation &last = r.plan->deepDive ? o.zoomLocation : o.location;
    startDeepFrames(r.deep, o.location, last, cells, o.approximation);
    if (r.plan->deepDive) r.bits = diveLocationBits(o.location, last, cells);
}

void noteKeptFrames(const Run &r) {
    const RenderPlan &p = *r.plan;
    const long kept = (long)(p.lastFrame - p.firstFrame + 1) - (long)p.todo.size();
    if (kept > 0)
        watchNote(r.watch, "frames %d..%d: %ld already written, kept; %zu to make", p.firstFrame, p.lastFrame, kept,
                  p.todo.size());
}

// Frames judged between looks at the stop flag.
const int FRAMES_BETWEEN_STOP_LOOKS = 1024;

// A dive between locations, judged frame by frame without MPFR where that
// is safe: log2 of a frame's width lies on the line between the ends' (far
// closer than the margins below), and its centre between the ends' centres,
// so no coordinate is larger than the larger centre plus the width.
struct LocatedScale {
    double log2First, log2Last, log2Deep;  // widths
    double centreMost;                     // the largest centre coordinate
};

double log2Width(const DeepLocation &loc) {
    const FloatExp w = locationWidth(loc);
    return log2(w.m) + (double)w.e;
}

LocatedScale locatedScaleOf(const RenderOptions &o) {
    LocatedScale s = {log2Width(o.location), log2Width(o.zoomLocation), log2(strtod(DEEP_WIDTH, nullptr)), 0};
    for (const std::string *c : {&o.location.re, &o.location.im, &o.zoomLocation.re, &o.zoomLocation.im})
        s.centreMost = fmax(s.centreMost, fabs(decimalToDouble(*c)));
    return s;
}

double log2WidthOf(const Run &r, const LocatedScale &s, int k) {
    const double t = (double)k / (double)(r.o->frames - 1);
    return s.log2First + (s.log2Last - s.log2First) * t;
}

// 1 when frame k is surely deep, or surely within the doubles' reach at
// `cells` samples across (twice the bound plane_view.cpp proves, for the
// estimate's sake); 0 when only its view can tell.
int surelyFine(const Run &r, const LocatedScale &s, int k, int cells) {
    const double log2Width = log2WidthOf(r, s, k);
    const double MARGIN = 1e-6;  // in powers of two: far above the estimate's error
    if (log2Width < s.log2Deep - MARGIN) return 1;
    if (log2Width < s.log2Deep + MARGIN) return 0;
    const double width = exp2(log2Width);
    const double aspect = (double)r.o->height / r.o->width;
    return width / cells > (s.centreMost + width * (1 + aspect)) * 0x1p-47;
}

// The precision that places a frame no narrower than DEEP_WIDTH to far
// below its doubles (hundreds of bits past them; a deep end takes
// thousands): its view in doubles comes out as drawn, short of a tie too
// fine for any picture to show.
long judgingBits(const Run &r, const LocatedScale &s, int k) {
    const long wanted = 320 + (long)fmax(0, log2(s.centreMost)) - (long)floor(log2WidthOf(r, s, k));
    return wanted < r.bits ? wanted : r.bits;
}

// Rendered anyway: the user may want exactly those frames, blocks and all.
// A frame from the deep engine, or a grid taken as it is, needs no warning.
// A million frames are judged in well under a second. 0 when stopped.
int warnBeyondDoubles(const Run &r) {
    if (r.plan->file) return 1;
    const FrameStyle &style = r.plan->style;
    const int w = style.width * style.aa, h = style.height * style.aa;
    const LocatedScale scale = r.plan->deepDive ? locatedScaleOf(*r.o) : LocatedScale();
    long narrow = 0, looked = 0;
    int first = -1;
    for (int k : r.plan->todo) {
        if (looked++ % FRAMES_BETWEEN_STOP_LOOKS == 0 && stopped(r)) return 0;
        if (r.plan->deepDive && surelyFine(r, scale, k, w)) continue;
        const Frame f = frameOf(r, k, r.plan->deepDive ? judgingBits(r, scale, k) : r.bits);
        if (!f.deep && viewBeyondDoubles(f.params, w, h)) first = narrow++ ? first : k;
    }
    if (!narrow) return 1;
    if (isDive(*r.o))
        watchNote(r.watch,
                  "warning: %ld of the frames, the first frame %d, are narrower than doubles resolve at %dx%d; "
                  "neighbouring cells share coordinates",
                  narrow, first, w, h);
    else
        watchNote(r.watch,
                  "warning: the view is narrower than doubles resolve at %dx%d; neighbouring cells share "
                  "coordinates",
                  w, h);
    return 1;
}

// Frame files take two frames: one drawn while the other is written. A
// grid taken from --from as it is takes none.
RunResult allocateFrames(Run &r, char *reason) {
    if (r.plan->file || r.o->joinPattern) return RUN_WRITTEN;
    const int buffers = r.o->framePattern && r.plan->todo.size() > 1 ? 2 : 1;
    const size_t bytes = frameBytes(r) * buffers + frameValueBytes(r.plan->style);
    const int w = r.plan->style.width, h = r.plan->style.height;
    const char *colour = r.plan->style.coloured ? " in colour" : "";
    if (bytes > physicalMemory())
        return failWith(RUN_FAILED, reason, "a %dx%d picture%s needs %zu MiB, more than the %zu MiB of memory here", w,
                        h, colour, bytes >> 20, physicalMemory() >> 20);
    for (int b = 0; b < buffers; ++b) {
        r.bytes[b].reset((unsigned char *)malloc(frameBytes(r)));
        if (!r.bytes[b])
            return failWith(RUN_FAILED, reason, "not enough memory for a %dx%d picture%s (%zu MiB)", w, h, colour,
                            bytes >> 20);
    }
    return RUN_WRITTEN;
}

// A still's bar counts its rows; a dive's counts frames and cells.
void reportRows(int rows, int total, void *context) {
    Run &r = *(Run *)context;
    if (!isDive(*r.o)) return watchCount(r.watch, rows, total);
    const long frames = (long)r.plan->todo.size(), cells = cellsPerFrame(r);
    const long made = r.framesMade + (rows == total);  // this frame's last row counts it
    watchFrames(r.watch, made, frames, r.framesMade * cells + (long)rows * r.plan->style.width, frames * cells);
}

// A deep frame's engine: a reference orbit first, when it needs one, as a
// stage of its own.
RenderResult deepSource(Run &r, const Frame &f, FrameSource &source) {
    const FrameStyle &style = r.plan->style;
    watchBegin(r.watch, "reference", "steps");
    const ReferenceResult ref = deepFrame(r.deep, f.loc, style.width * style.aa, style.height * style.aa, r.stop,
                                          watchRows, (void *)r.watch, &source.deep, &source.deepView);
    watchEnd(r.watch);
    return ref == REFERENCE_STOPPED ? RENDER_STOPPED : RENDER_DONE;
}

// A dive's frame under a histogram takes it from its neighbours' surveys
// (render/survey.h), made before its own reference is prepared.
RenderResult surveyFrame(int j, ValueBins &bins, void *context) {
    Run &r = *(Run *)context;
    const Frame f = frameOf(r, j, r.bits);
    FrameStyle style = surveyStyle(r.plan->style);
    FrameSource source = {f.params, nullptr, DeepView()};
    if (f.deep && deepFrame(r.deep, f.loc, style.width, style.height, r.stop, nullptr, nullptr, &source.deep,
                            &source.deepView) == REFERENCE_STOPPED)
        return RENDER_STOPPED;
    std::vector<double> values((size_t)style.width * (size_t)style.height);
    if (frameValues(source, style, values.data(), r.o->threads, r.stop) != RENDER_DONE) return RENDER_STOPPED;
    bins = binsOf(values.data(), values.size());
    return RENDER_DONE;
}

RenderResult drawFrame(Run &r, const Frame &f, int k) {
    FrameSource source = {f.params, nullptr, DeepView()};
    const FrameStyle &style = r.plan->style;
    if (isDive(*r.o) && style.look && style.look->mapping == COLOUR_HISTOGRAM) {
        if (diveHistogram(r.surveys, k, r.o->frames, surveyFrame, &r) != RENDER_DONE) return RENDER_STOPPED;
        source.histogram = &r.surveys.histogram;
    }
    RenderResult made = f.deep ? deepSource(r, f, source) : RENDER_DONE;
    if (made == RENDER_DONE)
        made = renderFrame(source, style, r.plan->tables, r.bytes[r.current].get(), r.o->threads, r.stop, reportRows,
                           &r);
    return made;
}

// RUN_WRITTEN when frame k is in r.bytes[r.current].
RunResult makeFrame(Run &r, int k, char *reason) {
    const Frame f = frameOf(r, k, r.bits);
    RenderResult made = RENDER_DONE;
    try {
        made = drawFrame(r, f, k);
    } catch (const std::bad_alloc &) {
        return failWith(RUN_FAILED, reason, "not enough memory for the reference orbit of detail %d or the "
                        "picture's values", r.o->params.detail);
    }
    if (made == RENDER_STOPPED) return RUN_INTERRUPTED;
    noteRecipe(r, f);
    ++r.framesMade;
    return RUN_WRITTEN;
}

// The picture in hand as the writers take it.
PictureJob pictureOf(const Run &r) {
    const RenderPlan &p = *r.plan;
    if (p.file)
        return PictureJob{{p.file->width, p.file->height, GRID_SIZE, p.file->grid}, r.stop, nullptr, nullptr, 0,
                          &p.tables, &r.text[r.current]};
    const size_t stride = (size_t)p.style.width * (p.style.coloured ? 3 : 1);
    const RenderGrid grid = {p.style.width, p.style.height, stride, r.join ? nullptr : r.bytes[r.current].get()};
    PictureJob job = {grid, r.stop, nullptr, nullptr, p.style.coloured, &p.tables, &r.text[r.current]};
    if (r.join) job.row = joinRow, job.rowContext = r.join.get();
    return job;
}

RunResult interrupted(const Run &r, char *reason) {
    if (r.o->framePattern && r.framesDone > 0)
        setReason(reason, "interrupted after %ld of %zu frames; the same command goes on from there", r.framesDone,
                  r.plan->todo.size());
    else
        setReason(reason, "%s", WRITE_INTERRUPTED);
    return RUN_INTERRUPTED;
}

// A failed write's reason: an interrupt, or the writer's own words.
RunResult writeFailed(const Run &r, const char *path, const char *why, char *reason) {
    if (strcmp(why, WRITE_INTERRUPTED) == 0) return interrupted(r, reason);
    return failWith(RUN_FAILED, reason, "cannot write %s: %s", path, why);
}

// The picture in hand into its file.
RunResult writeStillFile(Run &r, char *reason) {
    const RenderOptions &o = *r.o;
    PictureJob job = pictureOf(r);
    char why[FILE_ERROR_SIZE] = "";
    if (o.outputKind == OUTPUT_FRC) {
        const char *name = r.plan->file ? r.plan->file->typeName : FRACTAL_TYPE_NAMES[o.params.type];
        if (writeParameterFile(o.outputPath, o.params, name, job.grid, why)) return RUN_WRITTEN;
        return failWith(RUN_FAILED, reason, "cannot write %s: %s", o.outputPath, why);
    }
    watchBegin(r.watch, "writing  ", "rows");
    job.progress = watchRows, job.context = (void *)r.watch;
    const int written = writePictureFile(o.outputPath, o.outputKind, job, why);
    watchEnd(r.watch);
    if (!written && r.join && r.join->failed)
        return failWith(RUN_FAILED, reason, "%s; %s not written", why, o.outputPath);
    return written ? RUN_WRITTEN : writeFailed(r, o.outputPath, why, reason);
}

// Every tile checked before anything is written.
RunResult startTileJoin(Run &r, char *reason) {
    r.join.reset(new TileJoin());
    watchBegin(r.watch, "checking ", "tiles");
    const int opened = startJoin(*r.join, *r.plan, r.stop, reason);
    watchEnd(r.watch);
    if (opened) return RUN_WRITTEN;
    return strcmp(reason, WRITE_INTERRUPTED) == 0 ? interrupted(r, reason) : RUN_FAILED;
}

// With --save-location the location is written first, held as a temporary
// until the picture is in place and then renamed beside it: a failure of
// either leaves neither (a device or FIFO given for the location has no
// temporary; it gets the location before the picture is written at all).
RunResult writeStill(Run &r, char *reason) {
    const RenderOptions &o = *r.o;
    if (o.joinPattern) {
        const RunResult opened = startTileJoin(r, reason);
        if (opened != RUN_WRITTEN) return opened;
        noteRecipe(r, frameOf(r, 0, r.bits));
    } else if (!r.plan->file) {
        watchBegin(r.watch, "rendering", "rows");
        const RunResult made = makeFrame(r, 0, reason);
        watchEnd(r.watch);
        if (made == RUN_INTERRUPTED) return interrupted(r, reason);
        if (made != RUN_WRITTEN) return made;
    } else {
        noteRecipe(r, frameOf(r, 0, r.bits));
    }
    removeStaleTemporaries(o.outputPath);
    PendingWrite location;
    char why[FILE_ERROR_SIZE] = "";
    // Beside a picture in colour, the location file carries its look too.
    const bool colour = o.outputKind == OUTPUT_PNG || o.outputKind == OUTPUT_PPM;
    const std::string look = colour ? lookLines(o) : "";
    const LocationText text = {&o.location, &look};
    if (o.saveLocationPath) {
        removeStaleTemporaries(o.saveLocationPath);
        if (!atomicWriteBegin(o.saveLocationPath, writeLocationText, &text, location, why))
            return writeFailed(r, o.saveLocationPath, why, reason);
    }
    const RunResult written = writeStillFile(r, reason);
    if (written != RUN_WRITTEN) {
        atomicWriteAbandon(location);
        return written;
    }
    if (atomicWriteCommit(location, why)) return RUN_WRITTEN;
    return failWith(RUN_FAILED, reason, "%s written, but not the location %s: %s", o.outputPath, o.saveLocationPath,
                    why);
}

// A frame file written while the next frame is drawn: its sync to the
// disk (and a PNG's encoding) takes about as long as a small frame takes
// to draw, and would otherwise leave the workers idle.
struct FrameWrite {
    std::thread thread;
    bool pending = false;
    std::string path;
    int written = 0;
    char why[FILE_ERROR_SIZE] = "";
};

void writeFrame(FrameWrite *w, RenderOutputKind kind, PictureJob job) {
    w->written = writePictureFile(w->path.c_str(), kind, job, w->why);
}

// Waits for the write in flight, if there is one.
RunResult settle(Run &r, FrameWrite &w, char *reason) {
    if (!w.pending) return RUN_WRITTEN;
    if (w.thread.joinable()) w.thread.join();
    w.pending = false;
    if (!w.written) return failWith(RUN_FAILED, reason, "cannot write %s: %s", w.path.c_str(), w.why);
    ++r.framesDone;
    return RUN_WRITTEN;
}

RunResult writeFrameFiles(Run &r, char *reason) {
    FrameWrite w;
    for (int k : r.plan->todo) {
        char why[FILE_ERROR_SIZE] = "";
        const RunResult made = makeFrame(r, k, why);
        const RunResult before = settle(r, w, reason);
        if (before != RUN_WRITTEN) return before;
        if (made == RUN_INTERRUPTED) return interrupted(r, reason);
        if (made == RUN_FAILED) return failWith(RUN_FAILED, reason, "%s", why);
        w.path = framePathOf(*r.o, k);
        w.pending = true;
        PictureJob job = pictureOf(r);
        job.stop = nullptr;  // a frame made is a frame kept, even when a stop comes now
        try {
            w.thread = std::thread(writeFrame, &w, r.o->outputKind, job);
        } catch (const std::system_error &) {
            writeFrame(&w, r.o->outputKind, job);
        }
        r.current ^= 1;
    }
    return settle(r, w, reason);
}

// atomicWriteFile's writer: ffmpeg fills the temporary.
int writeVideoStream(FILE *stream, const void *context, char *reason) {
    Run &r = *(Run *)const_cast<void *>(context);
    const RenderOptions &o = *r.o;
    VideoEncoder video;
    if (!startVideo(video, r.ffmpeg, o.outputKind, o.width, o.height, o.fps, fileno(stream), reason)) return 0;
    for (int k : r.plan->todo) {
        const RunResult made = makeFrame(r, k, reason);
        if (made != RUN_WRITTEN) {
            abandonVideo(video);
            if (made == RUN_INTERRUPTED) setReason(reason, "%s", WRITE_INTERRUPTED);
            return 0;
        }
        if (!writeVideoFrame(video, r.bytes[r.current].get(), frameBytes(r), r.stop, reason)) {
            if (stopped(r))
                abandonVideo(video);
            else
                finishVideo(video, r.stop, reason);  // ffmpeg's own words, when it has any
            return 0;
        }
        ++r.framesDone;
    }
    return finishVideo(video, r.stop, reason);
}

RunResult writeVideo(Run &r, char *reason) {
    const char *path = r.o->outputPath;
    if (!findOnPath("ffmpeg", r.ffmpeg, sizeof r.ffmpeg))
        return failWith(RUN_FAILED, reason,
                        "ffmpeg is not on PATH; writing %s needs it (Debian: apt-get install ffmpeg)", path);
    char why[FILE_ERROR_SIZE] = "";
    removeStaleTemporaries(path);
    if (atomicWriteFile(path, writeVideoStream, &r, why)) return RUN_WRITTEN;
    return writeFailed(r, path, why, reason);
}

RunResult writeDive(Run &r, char *reason) {
    watchBegin(r.watch, "rendering", "rows");
    const RunResult result = isVideoKind(r.o->outputKind) ? writeVideo(r, reason) : writeFrameFiles(r, reason);
    watchEnd(r.watch);
    return result;
}

// ---- a still's tiles (render/tiles.h) ----

void reportTileRows(int rows, int, void *context) {
    const Run &r = *(const Run *)context;
    watchCount(r.watch, r.tileRowsDone + rows, r.tileRows);
}

RunResult tilesInterrupted(const Run &r, char *reason) {
    if (r.framesDone == 0) return failWith(RUN_INTERRUPTED, reason, "interrupted, no tile made");
    return failWith(RUN_INTERRUPTED, reason, "interrupted after %ld of %zu tiles; the same command goes on from there",
                    r.framesDone, r.plan->tiles.size());
}

// A tile's file, written by a thread of its own while the next tile is
// computed (its bins and encoding would otherwise leave a processor idle).
struct TileWriter {
    std::thread thread;
    std::vector<double> values, distances;  // distances: shaded by distance only
    TileHeader header;
    std::string path;
    int written = 1;
    char why[FILE_ERROR_SIZE] = "";
};

void writeTile(TileWriter *w) {
    const ValueBins bins = binsOf(w->values.data(), w->values.size());
    w->written = writeTileFile(w->path.c_str(), w->header, bins, w->values.data(),
                               w->distances.empty() ? nullptr : w->distances.data(), w->why);
}

// Waits for the tile being written, if any; RUN_FAILED when it failed.
RunResult finishTile(Run &r, TileWriter &w, char *reason) {
    if (!w.thread.joinable()) return RUN_WRITTEN;
    w.thread.join();
    if (!w.written) return failWith(RUN_FAILED, reason, "cannot write %s: %s", w.path.c_str(), w.why);
    ++r.framesDone;
    return RUN_WRITTEN;
}

// Tile k's values from `source` (the whole picture's) into `w`, then
// written by its thread.
RunResult makeTile(Run &r, const FrameSource &source, int k, TileWriter &w, char *reason) {
    const TileHeader h = tileHeaderOf(*r.plan, k);
    const bool distances = (h.encoding & TILE_DISTANCES) != 0;
    const size_t bytes = tileSamples(h) * sizeof(double) * (distances ? 2 : 1);
    const size_t held = r.plan->tiles.size() > 1 ? 2 * bytes : bytes;
    if (held > physicalMemory())
        return failWith(RUN_FAILED, reason,
                        "tile %d's values and the last tile's, written meanwhile, need %zu MiB, more than the %zu MiB "
                        "of memory here; cut the picture into more tiles",
                        k, held >> 20, physicalMemory() >> 20);
    try {
        w.values.resize(tileSamples(h));
        w.distances.resize(distances ? tileSamples(h) : 0);
    } catch (const std::bad_alloc &) {
        return failWith(RUN_FAILED, reason, "not enough memory for tile %d's values (%zu MiB)", k, bytes >> 20);
    }
    const FrameArea area = {h.area.x, h.area.y, h.area.width, h.area.height};
    double *d = distances ? w.distances.data() : nullptr;
    if (frameAreaValues(source, r.plan->style, area, w.values.data(), d, r.o->threads, r.stop, reportTileRows, &r) !=
        RENDER_DONE)
        return tilesInterrupted(r, reason);
    r.tileRowsDone += h.area.height;
    w.header = h, w.path = tilePathOf(*r.o, k);
    try {
        w.thread = std::thread(writeTile, &w);
    } catch (const std::system_error &) {
        writeTile(&w);
    }
    return RUN_WRITTEN;
}

// Tile after tile, each written while the next is computed.
RunResult makeEachTile(Run &r, const FrameSource &source, char *reason) {
    TileWriter w[2];
    RunResult made = RUN_WRITTEN;
    const std::vector<int> &tiles = r.plan->tiles;
    for (size_t t = 0; t < tiles.size() && made == RUN_WRITTEN; ++t) {
        made = makeTile(r, source, tiles[t], w[t % 2], reason);
        char why[RENDER_REASON_SIZE];
        if (finishTile(r, w[(t + 1) % 2], why) != RUN_WRITTEN && made != RUN_FAILED)
            made = RUN_FAILED, memcpy(reason, why, sizeof why);
    }
    char why[RENDER_REASON_SIZE];
    for (TileWriter &each : w)
        if (finishTile(r, each, why) != RUN_WRITTEN && made != RUN_FAILED)
            made = RUN_FAILED, memcpy(reason, why, sizeof why);
    return made == RUN_INTERRUPTED ? tilesInterrupted(r, reason) : made;
}

RunResult makeTiles(Run &r, char *reason) {
    const RenderPlan &p = *r.plan;
    const long kept = (long)(r.o->lastTile - r.o->firstTile + 1) - (long)p.tiles.size();
    if (kept > 0)
        watchNote(r.watch, "tiles %d..%d: %ld already made, kept; %zu to make", r.o->firstTile, r.o->lastTile, kept,
                  p.tiles.size());
    if (p.tiles.empty()) return RUN_WRITTEN;
    if (!warnBeyondDoubles(r)) return tilesInterrupted(r, reason);
    r.tileRowsDone = r.tileRows = 0;
    for (int k : p.tiles) r.tileRows += tileHeaderOf(p, k).area.height;
    // Every tile is drawn against the whole picture's view, or deep engine.
    const Frame f = frameOf(r, 0, r.bits);
    FrameSource source = {f.params, nullptr, DeepView()};
    try {
        if (f.deep && deepSource(r, f, source) != RENDER_DONE) return tilesInterrupted(r, reason);
    } catch (const std::bad_alloc &) {
        return failWith(RUN_FAILED, reason, "not enough memory for the reference orbit of detail %d",
                        r.o->params.detail);
    }
    watchBegin(r.watch, "rendering", "rows");
    const RunResult made = makeEachTile(r, source, reason);
    watchEnd(r.watch);
    return made;
}

// A .qloc OUTPUT: the still's location, the place alone, and no picture;
// a --save-location beside it gets the same.
RunResult writeLocationOnly(const Run &r, char *reason) {
    const RenderOptions &o = *r.o;
    char why[FILE_ERROR_SIZE] = "";
    for (const char *path : {o.outputPath, o.saveLocationPath})
        if (path && !writeLocationFile(path, o.location, why)) return writeFailed(r, path, why, reason);
    return RUN_WRITTEN;
}

RunResult runFrames(Run &r, char *reason) {
    if (!r.plan->note.empty()) watchNote(r.watch, "%s", r.plan->note.c_str());
    if (makesTiles(*r.o)) return makeTiles(r, reason);
    if (r.o->outputKind == OUTPUT_LOCATION) return writeLocationOnly(r, reason);
    noteKeptFrames(r);
    if (r.plan->todo.empty()) return RUN_WRITTEN;
    if (!r.o->joinPattern && !warnBeyondDoubles(r)) return interrupted(r, reason);
    const RunResult result = allocateFrames(r, reason);
    if (result != RUN_WRITTEN) return result;
    return isDive(*r.o) ? writeDive(r, reason) : writeStill(r, reason);
}

}  // namespace

size_t physicalMemory() {
    const long pages = sysconf(_SC_PHYS_PAGES), size = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || size <= 0) return SIZE_MAX;
    return (size_t)pages * (size_t)size;
}

RunResult runPlan(const RenderPlan &plan, const std::atomic<int> *stop, const RunWatch *watch, char *reason) {
    Run r;
    r.plan = &plan;
    r.o = &plan.options;
    r.stop = stop;
    r.watch = watch;
    startRun(r);
    const RunResult result = runFrames(r, reason);
    // A signal also breaks off an open or a write that was waiting (a FIFO),
    // which then fails: that is an interrupt too.
    return result == RUN_FAILED && stopped(r) ? interrupted(r, reason) : result;
}

RunResult runRender(const RenderOptions &options, const std::atomic<int> *stop, const RunWatch *watch, char *reason) {
    std::unique_ptr<RenderPlan> plan(new RenderPlan());
    switch (planRender(options, *plan, stop, reason)) {
        case PLAN_READY: return runPlan(*plan, stop, watch, reason);
        case PLAN_INTERRUPTED: return RUN_INTERRUPTED;
        default: return RUN_FAILED;
    }
}
