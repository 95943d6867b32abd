#include "render/sequence.h"

#include <limits.h>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <memory>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "files/atomic_write.h"
#include "render/deep_picture.h"
#include "render/dive.h"
#include "render/frame.h"
#include "render/output.h"
#include "cli/progress.h"
#include "render/video.h"

namespace {

struct FreeBytes {
    void operator()(unsigned char *p) const { free(p); }
};

struct Sequence {
    const RenderOptions *options;
    Dive dive;             // a still is frame 0 of a one-frame dive
    FrameStyle style;
    std::vector<int> todo;  // the frames to make, in order
    std::unique_ptr<unsigned char, FreeBytes> rgb[2];  // the frame in hand, and the one being written
    int current;                                       // the frame in hand: rgb[current]
    const std::atomic<int> *stop;
    ProgressBar bar;
    long framesMade;    // computed, for the bar
    long framesDone;    // written
    char ffmpeg[PATH_MAX];
    // Frames from locations (a deep still, a dive between locations):
    DeepFrames deep;
    long bits;          // of a dive's frame locations
};

// What one frame is: its view in doubles and, for frames from locations,
// its location, deep or not.
struct Frame {
    FractalParams params;
    DeepLocation loc;
    int deep;
};

bool locatedFrames(const RenderOptions &o) { return o.deepDive || (o.deep && !isDive(o)); }

Frame frameOf(const Sequence &s, int k) {
    const RenderOptions &o = *s.options;
    Frame f;
    f.deep = 0;
    if (!locatedFrames(o)) {
        f.params = diveFrameParams(s.dive, k);
        return f;
    }
    f.loc = o.deepDive ? locationBetween(o.location, o.zoomLocation, k, o.frames, s.bits) : o.location;
    f.deep = locationIsDeep(f.loc);
    double view[4];
    locationView(f.loc, o.width, o.height, view);
    f.params = o.params;
    f.params.xStart = view[0], f.params.xEnd = view[1], f.params.yStart = view[2], f.params.yEnd = view[3];
    return f;
}

RunResult fail(char *reason, const char *format, ...) __attribute__((format(printf, 2, 3)));
RunResult fail(char *reason, const char *format, ...) {
    if (reason) {
        va_list args;
        va_start(args, format);
        vsnprintf(reason, FILE_ERROR_SIZE, format, args);
        va_end(args);
    }
    return RUN_FAILED;
}

long cellsPerFrame(const Sequence &s) { return (long)s.style.width * s.style.height; }

Dive diveOf(const RenderOptions &o) {
    Dive d;
    d.first = o.params;
    d.frames = isDive(o) ? o.frames : 1;
    const double stay[4] = {o.params.xStart, o.params.xEnd, o.params.yStart, o.params.yEnd};
    memcpy(d.last, isDive(o) ? o.zoomTo : stay, sizeof d.last);
    return d;
}

bool exists(const char *path) {
    struct stat st;
    return stat(path, &st) == 0;
}

std::string pathOfFrame(const RenderOptions &o, int k) {
    char path[PATH_MAX];
    if (!o.framePattern) return o.outputPath;
    return framePath(o.outputPath, k, path, sizeof path) ? path : "";
}

// Frames whose file exists are complete (atomic writes): they are kept.
void planFrames(Sequence &s) {
    const RenderOptions &o = *s.options;
    const int first = isDive(o) && o.framePattern ? o.firstFrame : 0;
    const int last = !isDive(o) ? 0 : o.framePattern ? o.lastFrame : o.frames - 1;
    for (int k = first; k <= last; ++k)
        if (!o.framePattern || !exists(pathOfFrame(o, k).c_str())) s.todo.push_back(k);
    const long kept = (long)(last - first + 1) - (long)s.todo.size();
    if (kept > 0)
        fprintf(stderr, "quorvex-render: frames %d..%d: %ld already written, kept; %zu to make\n", first, last, kept,
                s.todo.size());
}

// Rendered anyway, as a still is: the user may want exactly those frames.
void warnBeyondDoubles(const Sequence &s) {
    const int n = s.style.aa, w = s.style.width * n, h = s.style.height * n;
    long narrow = 0;
    int first = -1;
    for (int k : s.todo) {
        const Frame f = frameOf(s, k);
        if (!f.deep && viewBeyondDoubles(f.params, w, h)) first = narrow++ ? first : k;
    }
    if (!narrow) return;
    if (isDive(*s.options))
        fprintf(stderr, "quorvex-render: warning: %ld of the frames, the first frame %d, are narrower than doubles "
                        "resolve at %dx%d; neighbouring cells share coordinates\n", narrow, first, w, h);
    else
        fprintf(stderr, "quorvex-render: warning: the view is narrower than doubles resolve at %dx%d; "
                        "neighbouring cells share coordinates\n", w, h);
}

// A still's bar counts its rows; a dive's counts frames and cells.
void reportRows(int rows, int total, void *context) {
    Sequence &s = *(Sequence *)context;
    if (!isDive(*s.options)) return progressUpdate(rows, total, &s.bar);
    const long frames = (long)s.todo.size(), cells = cellsPerFrame(s);
    const long made = s.framesMade + (rows == total);  // this frame's last row counts it
    progressFramesUpdate(s.bar, made, frames, s.framesMade * cells + (long)rows * s.style.width, frames * cells);
}

void referenceSteps(int done, int total, void *bar) { progressUpdate(done, total, bar); }

// A deep frame: its engine (a reference orbit first, when it needs one,
// with a bar of its own), then its samples.
RenderResult makeDeepFrame(Sequence &s, const Frame &f) {
    const int n = s.style.aa;
    const double started = progressClock();
    ProgressBar bar;
    progressStart(bar, s.bar.out, "reference");
    bar.unit = "steps";
    const DeepEngine *engine = nullptr;
    DeepView view;
    const ReferenceResult r = deepFrame(s.deep, f.loc, s.style.width * n, s.style.height * n, s.stop,
                                        referenceSteps, &bar, &engine, &view);
    progressFinish(bar);
    s.bar.started += progressClock() - started;  // the frames' time left is the frames'
    if (r == REFERENCE_STOPPED) return RENDER_STOPPED;
    return renderDeepFrame(*engine, view, f.params, s.style, s.rgb[s.current].get(), s.options->threads, s.stop,
                           reportRows, &s);
}

// RUN_WRITTEN when frame k is in s.rgb[s.current].
RunResult makeFrame(Sequence &s, int k, char *reason) {
    const Frame f = frameOf(s, k);
    RenderResult r;
    if (!f.deep) {
        r = renderFrame(f.params, s.style, s.rgb[s.current].get(), s.options->threads, s.stop, reportRows, &s);
    } else {
        try {
            r = makeDeepFrame(s, f);
        } catch (const std::bad_alloc &) {
            return fail(reason, "not enough memory for the reference orbit of detail %d", s.options->params.detail);
        }
    }
    if (r == RENDER_STOPPED) return RUN_INTERRUPTED;
    ++s.framesMade;
    return RUN_WRITTEN;
}

PictureJob pictureOf(const Sequence &s) {
    const RenderGrid rgb = {s.style.width, s.style.height, (size_t)s.style.width * 3, s.rgb[s.current].get()};
    return PictureJob{rgb, s.stop, nullptr, nullptr};
}

RunResult interrupted(const Sequence &s, char *reason) {
    if (s.options->framePattern && s.framesDone > 0)
        setReason(reason, "interrupted after %ld of %zu frames; the same command goes on from there", s.framesDone,
                  s.todo.size());
    else
        setReason(reason, "%s", WRITE_INTERRUPTED);
    return RUN_INTERRUPTED;
}

// A frame file written while the next frame is computed: its sync to the
// disk (and a PNG's encoding) takes about as long as a small frame takes
// to compute, and would otherwise leave the workers idle.
struct FrameWrite {
    std::thread thread;
    bool pending = false;
    std::string path;
    int written = 0;
    char why[FILE_ERROR_SIZE] = "";
};

void writeFrame(FrameWrite *w, RenderOutputKind kind, PictureJob job) {
    w->written = writeColouredPictureFile(w->path.c_str(), kind, job, w->why);
}

// Waits for the write in flight, if there is one.
RunResult settle(Sequence &s, FrameWrite &w, char *reason) {
    if (!w.pending) return RUN_WRITTEN;
    if (w.thread.joinable()) w.thread.join();
    w.pending = false;
    if (!w.written) return fail(reason, "cannot write %s: %s", w.path.c_str(), w.why);
    ++s.framesDone;
    return RUN_WRITTEN;
}

RunResult writeFrameFiles(Sequence &s, char *reason) {
    const RenderOptions &o = *s.options;
    FrameWrite w;
    for (int k : s.todo) {
        char why[FILE_ERROR_SIZE] = "";
        const RunResult made = makeFrame(s, k, why);
        const RunResult before = settle(s, w, reason);
        if (before != RUN_WRITTEN) return before;
        if (made == RUN_INTERRUPTED) return interrupted(s, reason);
        if (made == RUN_FAILED) return fail(reason, "%s", why);
        w.path = pathOfFrame(o, k);
        w.pending = true;
        PictureJob job = pictureOf(s);
        job.stop = nullptr;  // a frame made is a frame kept, even when a stop comes now
        try {
            w.thread = std::thread(writeFrame, &w, o.outputKind, job);
        } catch (const std::system_error &) {
            writeFrame(&w, o.outputKind, job);
        }
        s.current ^= 1;
    }
    return settle(s, w, reason);
}

// atomicWriteFile's writer: ffmpeg fills the temporary.
int writeVideoStream(FILE *stream, const void *context, char *reason) {
    Sequence &s = *(Sequence *)const_cast<void *>(context);
    const RenderOptions &o = *s.options;
    VideoEncoder video;
    if (!startVideo(video, s.ffmpeg, o.outputKind, o.width, o.height, o.fps, fileno(stream), reason)) return 0;
    const size_t bytes = (size_t)cellsPerFrame(s) * 3;
    for (int k : s.todo) {
        const RunResult made = makeFrame(s, k, reason);
        if (made != RUN_WRITTEN) {
            abandonVideo(video);
            if (made == RUN_INTERRUPTED) setReason(reason, "%s", WRITE_INTERRUPTED);
            return 0;
        }
        if (!writeVideoFrame(video, s.rgb[s.current].get(), bytes, reason)) {
            finishVideo(video, s.stop, reason);  // ffmpeg's own words, when it has any
            return 0;
        }
        ++s.framesDone;
    }
    return finishVideo(video, s.stop, reason);
}

RunResult writeVideo(Sequence &s, char *reason) {
    const char *path = s.options->outputPath;
    if (!findOnPath("ffmpeg", s.ffmpeg, sizeof s.ffmpeg))
        return fail(reason, "ffmpeg is not on PATH; writing %s needs it (Debian: apt-get install ffmpeg)", path);
    char why[FILE_ERROR_SIZE] = "";
    if (atomicWriteFile(path, writeVideoStream, &s, why)) return RUN_WRITTEN;
    if (strcmp(why, WRITE_INTERRUPTED) == 0) return interrupted(s, reason);
    return fail(reason, "cannot write %s: %s", path, why);
}

RunResult writeStill(Sequence &s, FILE *progressOut, char *reason) {
    const RenderOptions &o = *s.options;
    const RunResult made = makeFrame(s, 0, reason);
    if (made == RUN_INTERRUPTED) return interrupted(s, reason);
    if (made != RUN_WRITTEN) return made;
    progressFinish(s.bar);
    progressStart(s.bar, progressOut, "writing  ");
    PictureJob job = pictureOf(s);
    job.progress = progressUpdate, job.context = &s.bar;
    char why[FILE_ERROR_SIZE] = "";
    if (writeColouredPictureFile(o.outputPath, o.outputKind, job, why)) return RUN_WRITTEN;
    if (strcmp(why, WRITE_INTERRUPTED) == 0) return interrupted(s, reason);
    return fail(reason, "cannot write %s: %s", o.outputPath, why);
}

// Frame files take two frames: one made while the other is written.
RunResult allocateFrames(Sequence &s, char *reason) {
    const int buffers = s.options->framePattern && s.todo.size() > 1 ? 2 : 1;
    const size_t bytes = (size_t)cellsPerFrame(s) * 3 * buffers;
    const int w = s.style.width, h = s.style.height;
    // As for a still's grid: a frame beyond the machine's memory is refused
    // at once rather than killed half way by the overcommitting kernel.
    if (bytes > physicalMemory())
        return fail(reason, "a %dx%d picture in colour needs %zu MiB, more than the %zu MiB of memory here", w, h,
                    bytes >> 20, physicalMemory() >> 20);
    for (int b = 0; b < buffers; ++b) {
        s.rgb[b].reset((unsigned char *)malloc(bytes / buffers));
        if (!s.rgb[b])
            return fail(reason, "not enough memory for a %dx%d picture in colour (%zu MiB)", w, h, bytes >> 20);
    }
    return RUN_WRITTEN;
}

}  // namespace

bool needsPictures(const RenderOptions &o) {
    return o.smooth || o.aa > 1 || isDive(o);
}

std::string firstOutputPath(const RenderOptions &o) {
    return o.framePattern ? pathOfFrame(o, o.firstFrame) : o.outputPath;
}

RunResult runPictures(const RenderOptions &o, const std::atomic<int> *stop, FILE *progress, char *reason) {
    Sequence s;
    s.options = &o;
    s.dive = diveOf(o);
    s.style = FrameStyle{o.width, o.height, o.aa, o.smooth};
    s.stop = stop;
    s.framesMade = s.framesDone = 0;
    s.current = 0;
    s.bits = 0;
    if (locatedFrames(o)) {
        const int cells = o.aa * (o.width > o.height ? o.width : o.height);
        const DeepLocation &last = o.deepDive ? o.zoomLocation : o.location;
        startDeepFrames(s.deep, o.location, last, cells, o.approximation);
        if (o.deepDive) s.bits = diveLocationBits(o.location, last, cells);
    }
    if (isDive(o) && !o.deepDive && !diveViewsMatch(s.dive))
        return fail(reason, "the first and the last view run opposite ways on an axis; a dive cannot mirror");
    // A size from a --from file is known only now.
    if (o.outputKind == OUTPUT_MP4 && (o.width % 2 || o.height % 2))
        return fail(reason, "%s needs an even width and height, not %dx%d (.webm and .mkv take any)", o.outputPath,
                    o.width, o.height);
    planFrames(s);
    if (s.todo.empty()) return RUN_WRITTEN;
    warnBeyondDoubles(s);
    const RunResult r = allocateFrames(s, reason);
    if (r != RUN_WRITTEN) return r;
    progressStart(s.bar, progress, "rendering");
    RunResult result;
    if (!isDive(o))
        result = writeStill(s, progress, reason);
    else if (isVideoKind(o.outputKind))
        result = writeVideo(s, reason);
    else
        result = writeFrameFiles(s, reason);
    progressFinish(s.bar);
    return result;
}
