#include "render/run.h"

#include <limits.h>
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

Frame frameOf(const Run &r, int k) {
    const RenderOptions &o = *r.o;
    Frame f;
    f.deep = 0;
    if (!locatedFrames(*r.plan)) {
        f.params = diveFrameParams(r.dive, k);
        return f;
    }
    f.loc = r.plan->deepDive ? locationBetween(o.location, o.zoomLocation, k, o.frames, r.bits) : o.location;
    f.deep = locationIsDeep(f.loc);
    double view[4];
    locationView(f.loc, o.width, o.height, view);
    f.params = o.params;
    f.params.xStart = view[0], f.params.xEnd = view[1], f.params.yStart = view[2], f.params.yEnd = view[3];
    return f;
}

long cellsPerFrame(const Run &r) { return (long)r.plan->style.width * r.plan->style.height; }

size_t frameBytes(const Run &r) { return (size_t)cellsPerFrame(r) * (r.plan->style.coloured ? 3 : 1); }

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

// Rendered anyway: the user may want exactly those frames, blocks and all.
// A frame from the deep engine, or a grid taken as it is, needs no warning.
void warnBeyondDoubles(const Run &r) {
    if (r.plan->file) return;
    const FrameStyle &style = r.plan->style;
    const int w = style.width * style.aa, h = style.height * style.aa;
    long narrow = 0;
    int first = -1;
    for (int k : r.plan->todo) {
        const Frame f = frameOf(r, k);
        if (!f.deep && viewBeyondDoubles(f.params, w, h)) first = narrow++ ? first : k;
    }
    if (!narrow) return;
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
}

// Frame files take two frames: one drawn while the other is written. A
// grid taken from --from as it is takes none.
RunResult allocateFrames(Run &r, char *reason) {
    if (r.plan->file) return RUN_WRITTEN;
    const int buffers = r.o->framePattern && r.plan->todo.size() > 1 ? 2 : 1;
    const size_t bytes = frameBytes(r) * buffers;
    const int w = r.plan->style.width, h = r.plan->style.height;
    const char *colour = r.plan->style.coloured ? " in colour" : "";
    if (bytes > physicalMemory())
        return failWith(RUN_FAILED, reason, "a %dx%d picture%s needs %zu MiB, more than the %zu MiB of memory here", w,
                        h, colour, bytes >> 20, physicalMemory() >> 20);
    for (int b = 0; b < buffers; ++b) {
        r.bytes[b].reset((unsigned char *)malloc(bytes / buffers));
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

// RUN_WRITTEN when frame k is in r.bytes[r.current].
RunResult makeFrame(Run &r, int k, char *reason) {
    const Frame f = frameOf(r, k);
    FrameSource source = {f.params, nullptr, DeepView()};
    RenderResult made = RENDER_DONE;
    if (f.deep) {
        try {
            made = deepSource(r, f, source);
        } catch (const std::bad_alloc &) {
            return failWith(RUN_FAILED, reason, "not enough memory for the reference orbit of detail %d",
                            r.o->params.detail);
        }
    }
    if (made == RENDER_DONE)
        made = renderFrame(source, r.plan->style, r.plan->tables, r.bytes[r.current].get(), r.o->threads, r.stop,
                           reportRows, &r);
    if (made == RENDER_STOPPED) return RUN_INTERRUPTED;
    ++r.framesMade;
    return RUN_WRITTEN;
}

// The picture in hand as the writers take it.
PictureJob pictureOf(const Run &r) {
    const RenderPlan &p = *r.plan;
    if (p.file)
        return PictureJob{
            {p.file->width, p.file->height, GRID_SIZE, p.file->grid}, r.stop, nullptr, nullptr, 0, &p.tables};
    const size_t stride = (size_t)p.style.width * (p.style.coloured ? 3 : 1);
    const RenderGrid grid = {p.style.width, p.style.height, stride, r.bytes[r.current].get()};
    return PictureJob{grid, r.stop, nullptr, nullptr, p.style.coloured, &p.tables};
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

RunResult writeStill(Run &r, char *reason) {
    const RenderOptions &o = *r.o;
    if (!r.plan->file) {
        watchBegin(r.watch, "rendering", "rows");
        const RunResult made = makeFrame(r, 0, reason);
        watchEnd(r.watch);
        if (made == RUN_INTERRUPTED) return interrupted(r, reason);
        if (made != RUN_WRITTEN) return made;
    }
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
    return written ? RUN_WRITTEN : writeFailed(r, o.outputPath, why, reason);
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
        if (!writeVideoFrame(video, r.bytes[r.current].get(), frameBytes(r), reason)) {
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
    if (atomicWriteFile(path, writeVideoStream, &r, why)) return RUN_WRITTEN;
    return writeFailed(r, path, why, reason);
}

RunResult writeDive(Run &r, char *reason) {
    watchBegin(r.watch, "rendering", "rows");
    const RunResult result = isVideoKind(r.o->outputKind) ? writeVideo(r, reason) : writeFrameFiles(r, reason);
    watchEnd(r.watch);
    return result;
}

RunResult saveLocation(const Run &r, char *reason) {
    const RenderOptions &o = *r.o;
    char why[FILE_ERROR_SIZE] = "";
    if (!o.saveLocationPath || writeLocationFile(o.saveLocationPath, o.location, why)) return RUN_WRITTEN;
    return failWith(RUN_FAILED, reason, "%s written, but not the location %s: %s", o.outputPath, o.saveLocationPath,
                    why);
}

// A .qloc OUTPUT: the still's location, and no picture.
RunResult writeLocationOnly(const Run &r, char *reason) {
    const RenderOptions &o = *r.o;
    char why[FILE_ERROR_SIZE] = "";
    if (!writeLocationFile(o.outputPath, o.location, why)) return writeFailed(r, o.outputPath, why, reason);
    return saveLocation(r, reason);
}

RunResult runFrames(Run &r, char *reason) {
    if (!r.plan->note.empty()) watchNote(r.watch, "%s", r.plan->note.c_str());
    if (r.o->outputKind == OUTPUT_LOCATION) return writeLocationOnly(r, reason);
    noteKeptFrames(r);
    if (r.plan->todo.empty()) return RUN_WRITTEN;
    warnBeyondDoubles(r);
    RunResult result = allocateFrames(r, reason);
    if (result != RUN_WRITTEN) return result;
    result = isDive(*r.o) ? writeDive(r, reason) : writeStill(r, reason);
    return result == RUN_WRITTEN ? saveLocation(r, reason) : result;
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
