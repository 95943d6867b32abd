// plan.h - from what is asked to what will be done: files read, engine
// chosen, sizes and outputs known.
//
//   RenderPlan plan;
//   switch (planRender(options, plan, stop, reason)) {
//   case PLAN_READY: runPlan(plan, stop, watch, reason); ...      (render/run.h)
//   case PLAN_USAGE: the request cannot be carried out as given (exit 2)
//   case PLAN_FAILED: a file could not be used (exit 1)
//   case PLAN_INTERRUPTED: `stop` was set while a file was read
//   }
//
// In order, each step refusing with one line in `reason`:
//   1. a --zoom-to file: a location file (it begins "quorvex-location ")
//      gives the dive's last frame as a location, any other file is read as
//      a parameter file and gives the last view; a file it cannot use is a
//      usage error, since the last frame is part of what the command says;
//   2. a location (--center and --width, or a --location file: a location
//      file or a PNG's recipe, render/recipe.h, refused as a usage error
//      when it cannot be used; what the command line gives overrides the
//      file; a recipe of a view makes the picture a view again): the view in doubles (locationView), and `deep`
//      when the width is below DEEP_WIDTH; a dive from a location takes its
//      last frame as a view when neither end is deep, else as a location of
//      its own (`deepDive`); below DEEP_WIDTH only the types the deep
//      engine draws are taken (core/fractal_types.h: all of them);
//      --find-minibrot and --zoom-to-minibrot first search the location's
//      picture (deep/minibrot.h) and put the minibrot found in place of
//      the location, or as the dive's last frame: a type without minibrots
//      is a usage error, a picture without one a failure;
//   3. a --from parameter file (its reader's refusals are failures, and a
//      stop breaks off the read): what the command line gives wins, the
//      rest comes from the file; when nothing that shapes the picture was
//      given beside it (size, type, detail, view, pivot, --smooth, --aa, a
//      dive), its grid is coloured as it is and kept in `file`; a file of
//      an unknown type can only be coloured, so naming --type computes it;
//   4. the outputs are checked as the writers will see them (links
//      followed): a directory, socket or block device is refused, and so is
//      a directory that will not take the file or a file its user could not
//      open for writing; the same for --save-location; an output that is an
//      input (--from, --location, --zoom-to) or the other output is a usage
//      error (files/atomic_write.h's sameFile);
//   5. a dive's views must run the same way on each axis, and a .mp4 needs
//      an even size (known only now when it comes from --from);
//   6. the frames to make: the still (frame 0); or the dive's frames in its
//      range, less those whose file is already a whole frame of the dive's
//      format and size (render/output.h's pictureFileMatches: frame files
//      are written atomically, so a stopped dive resumes where it stopped,
//      and a split one fills its gaps); any other regular file there is
//      made again, any other kind of node is refused, and so is a frame
//      name longer than PATH_MAX; every directory a frame goes into is
//      checked before the first frame (its names are read once, so a
//      million frames are listed in a fraction of a second); a video
//      always takes every frame;
//   7. a still split into tiles (--tiles, render/tiles.h): the grid must
//      fit the picture (a pixel a tile at least); the tiles to make are
//      those of the range whose file is not already a whole tile of this
//      picture (files/tile_file.h's tileFileMatches), refused as a dive's
//      frames are; a join's OUTPUT (and --save-location) may be no tile.
// A stop (`stop`, may be null) breaks off a read of an input that waits (a
// FIFO no one writes) and the listing of the frames: PLAN_INTERRUPTED.
// The colours are the program's start-up tables with the chosen ramps, or
// the chosen gradient (a --gradient file is read after step 3, a bad one
// refused as a usage error) as tables for bands and as a fine table for
// the other mappings (render/look.h). With a location the mapping is
// LOOK_DEPTH_TEXT unless the command line or the --location file names one;
// a .pgm or .frc keeps grid values whatever a recipe says.
//
// Layer: render.
#ifndef QUORVEX_RENDER_PLAN_H
#define QUORVEX_RENDER_PLAN_H

#include <stdint.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "colour/colouring.h"
#include "colour/palette.h"
#include "render/frame.h"
#include "render/request.h"
#include "render/watch.h"

enum PlanResult { PLAN_READY, PLAN_USAGE, PLAN_FAILED, PLAN_INTERRUPTED };

struct RenderPlan {
    RenderOptions options;              // as asked, with what the files gave merged in
    int located;                        // the first (or only) frame is a location: options.location
    int deep;                           // ... narrower than DEEP_WIDTH: the deep engine draws it
    int deepDive;                       // a dive between locations (options.zoomLocation) with a deep end
    std::unique_ptr<FractalFile> file;  // --from, when its grid is only coloured; else null
    FrameStyle style;
    ChannelTables tables;               // bands' colours: the ramps, or the gradient's
    Colouring colouring;                // any other look's (style.look points here)
    std::unique_ptr<GradientTable> palette;
    std::vector<int> todo;              // the frames to make, in order
    int firstFrame, lastFrame;          // the frames asked for
    // A still split into tiles (render/tiles.h): the tiles to make, in
    // order, and the digest of the settings that shape the values.
    std::vector<int> tiles;
    uint64_t tileDigest;
    std::string note;                   // what the planner found, for the run to say; or ""
};

// `watch` (may be null) hears the search for a minibrot, the one long stage
// a plan may have.
PlanResult planRender(const RenderOptions &options, RenderPlan &plan, const std::atomic<int> *stop, char *reason,
                      const RunWatch *watch = nullptr);

// The file of frame k ("" when the pattern's path does not fit).
std::string framePathOf(const RenderOptions &o, int k);

#endif
