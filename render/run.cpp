#include "render/run.h"

#include <stdarg.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <memory>
#include <new>

#include "colour/palette.h"
#include "core/state.h"
#include "files/header_tokens.h"
#include "files/paramfile.h"
#include "render/deep_picture.h"
#include "render/output.h"
#include "cli/progress.h"
#include "render/sequence.h"

namespace {

// The program seeds the random ramp with this before building the palette.
const unsigned PALETTE_SEED = 1959;

const int SHAPING = GIVEN_SIZE | GIVEN_TYPE | GIVEN_DETAIL | GIVEN_VIEW | GIVEN_PIVOT | GIVEN_LOOK | GIVEN_ZOOM;

struct Job {
    RenderOptions options;              // after merging a --from file
    std::unique_ptr<FractalFile> file;  // the --from file, or null
    bool compute;                       // false: colour the file's grid as it is
};

RunResult fail(char *reason, const char *format, ...) __attribute__((format(printf, 2, 3)));
RunResult fail(char *reason, const char *format, ...) {
    va_list args;
    va_start(args, format);
    vsetReason(reason, format, args);
    va_end(args);
    return RUN_FAILED;
}

// A signal also breaks off a read or an open that was waiting (a FIFO),
// which then fails: that is an interrupt too.
RunResult interruptedOr(RunResult r, const std::atomic<int> *stop, char *reason) {
    if (r != RUN_FAILED || !readStopped(stop)) return r;
    setReason(reason, "%s", WRITE_INTERRUPTED);
    return RUN_INTERRUPTED;
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

RunResult readFrom(Job &job, const std::atomic<int> *stop, char *reason) {
    job.file.reset(new (std::nothrow) FractalFile);
    if (!job.file) return fail(reason, "not enough memory to read %s", job.options.fromPath);
    char why[FILE_ERROR_SIZE] = "";
    if (!readFractalFile(job.options.fromPath, *job.file, why, stop))
        return interruptedOr(fail(reason, "cannot use %s: %s", job.options.fromPath, why), stop, reason);
    mergeFile(job.options, *job.file);
    job.compute = (job.options.given & SHAPING) != 0;
    if (job.compute && job.options.params.type < 0)
        return fail(reason, "%s holds the unknown type '%s'; name one with --type", job.options.fromPath,
                    job.file->typeName);
    return RUN_WRITTEN;
}

// Catches the common refusals before the long render rather than after it.
RunResult checkWritable(const char *path, char *reason) {
    return checkWriteTarget(path, reason) ? RUN_WRITTEN : RUN_FAILED;
}

void buildPalette(const int ramps[3]) {
    srand(PALETTE_SEED);
    DISPLAY_PALLETE_CREATE();
    paletteR = ramps[0], paletteG = ramps[1], paletteB = ramps[2];
    DISPLAY_PALLETE_APPLY();
}

}  // namespace

size_t physicalMemory() {
    const long pages = sysconf(_SC_PHYS_PAGES), size = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || size <= 0) return SIZE_MAX;
    return (size_t)pages * (size_t)size;
}

namespace {

struct FreeCells {
    void operator()(unsigned char *p) const { free(p); }
};
typedef std::unique_ptr<unsigned char, FreeCells> Cells;

// Rendered anyway: the user may want exactly that picture, blocks and all.
// A deep location is not drawn in doubles, so it needs no warning.
void warnBeyondDoubles(const RenderOptions &o) {
    if (!o.deep && viewBeyondDoubles(o.params, o.width, o.height))
        fprintf(stderr, "quorvex-render: warning: the view is narrower than doubles resolve at %dx%d; "
                        "neighbouring cells share coordinates\n", o.width, o.height);
}

RunResult computeGrid(const Job &job, Cells &cells, RenderGrid &grid, const std::atomic<int> *stop,
                      FILE *progressOut, char *reason) {
    const RenderOptions &o = job.options;
    warnBeyondDoubles(o);
    const size_t bytes = (size_t)o.width * (size_t)o.height;
    // With overcommit a too-large malloc succeeds and the render is killed
    // half way; a grid larger than the machine's memory is refused at once.
    if (bytes > physicalMemory())
        return fail(reason, "a %dx%d picture needs %zu MiB, more than the %zu MiB of memory here", o.width,
                    o.height, bytes >> 20, physicalMemory() >> 20);
    cells.reset((unsigned char *)malloc(bytes));
    if (!cells)
        return fail(reason, "not enough memory for a %dx%d picture (%zu MiB)", o.width, o.height, bytes >> 20);
    grid = RenderGrid{o.width, o.height, (size_t)o.width, cells.get()};
    RenderResult r;
    if (o.deep) {
        try {
            r = renderDeepPicture(o.location, grid, o.threads, o.approximation, stop, progressOut);
        } catch (const std::bad_alloc &) {
            return fail(reason, "not enough memory for the reference orbit of detail %d", o.params.detail);
        }
    } else {
        ProgressBar bar;
        progressStart(bar, progressOut, "rendering");
        r = renderGrid(o.params, grid, o.threads, stop, progressUpdate, &bar);
        progressFinish(bar);
    }
    if (r == RENDER_STOPPED) {
        setReason(reason, "%s", WRITE_INTERRUPTED);
        return RUN_INTERRUPTED;
    }
    return RUN_WRITTEN;
}

RunResult writeFrc(const Job &job, const RenderGrid &grid, char *reason) {
    std::unique_ptr<FractalFile> out(new (std::nothrow) FractalFile);
    if (!out) return fail(reason, "not enough memory to write %s", job.options.outputPath);
    const FractalParams &p = job.options.params;
    const char *name = job.compute ? FRACTAL_TYPE_NAMES[p.type] : job.file->typeName;
    snprintf(out->typeName, sizeof out->typeName, "%s", name);
    out->type = p.type;
    out->detail = p.detail;
    out->xStart = p.xStart, out->xEnd = p.xEnd, out->xPivot = p.xPivot;
    out->yStart = p.yStart, out->yEnd = p.yEnd, out->yPivot = p.yPivot;
    out->width = grid.width, out->height = grid.height;
    for (int r = 0; r < grid.height; ++r)
        memcpy(out->grid + (size_t)r * GRID_SIZE, grid.cells + grid.stride * (size_t)r, (size_t)grid.width);
    char why[FILE_ERROR_SIZE] = "";
    if (!writeFractalFile(job.options.outputPath, *out, why))
        return fail(reason, "cannot write %s: %s", job.options.outputPath, why);
    return RUN_WRITTEN;
}

RunResult writeOutput(const Job &job, const RenderGrid &grid, const std::atomic<int> *stop,
                      FILE *progressOut, char *reason) {
    const RenderOptions &o = job.options;
    if (o.outputKind == OUTPUT_FRC) return writeFrc(job, grid, reason);
    buildPalette(o.ramps);
    ProgressBar bar;
    progressStart(bar, progressOut, "writing  ");
    const PictureJob picture = {grid, stop, progressUpdate, &bar};
    char why[FILE_ERROR_SIZE] = "";
    const int written = writePictureFile(o.outputPath, o.outputKind, picture, why);
    progressFinish(bar);
    if (written) return RUN_WRITTEN;
    if (strcmp(why, WRITE_INTERRUPTED) == 0) {
        setReason(reason, "%s", WRITE_INTERRUPTED);
        return RUN_INTERRUPTED;
    }
    return fail(reason, "cannot write %s: %s", o.outputPath, why);
}

RunResult computeAndWrite(const Job &job, const std::atomic<int> *stop, FILE *progress, char *reason) {
    Cells cells;
    RenderGrid grid;
    RunResult r = RUN_WRITTEN;
    if (job.compute)
        r = computeGrid(job, cells, grid, stop, progress, reason);
    else
        grid = RenderGrid{job.file->width, job.file->height, GRID_SIZE, job.file->grid};
    if (r != RUN_WRITTEN) return r;
    return interruptedOr(writeOutput(job, grid, stop, progress, reason), stop, reason);
}

}  // namespace

RunResult runRender(const RenderOptions &options, const std::atomic<int> *stop, FILE *progress,
                    char *reason) {
    Job job;
    job.options = options;
    job.compute = true;
    RunResult r = options.fromPath ? readFrom(job, stop, reason) : RUN_WRITTEN;
    if (r == RUN_WRITTEN) r = checkWritable(firstOutputPath(options).c_str(), reason);
    if (r == RUN_WRITTEN && options.saveLocationPath) r = checkWritable(options.saveLocationPath, reason);
    if (r != RUN_WRITTEN) return r;
    if (needsPictures(job.options)) {
        buildPalette(job.options.ramps);
        r = runPictures(job.options, stop, progress, reason);
    } else {
        r = computeAndWrite(job, stop, progress, reason);
    }
    char why[FILE_ERROR_SIZE] = "";
    if (r == RUN_WRITTEN && options.saveLocationPath && !writeLocationFile(options.saveLocationPath, options.location, why))
        return fail(reason, "%s written, but not the location %s: %s", options.outputPath, options.saveLocationPath, why);
    return r;
}
