// sequence.h - pictures made frame by frame: dives, smooth and anti-aliased
// stills.
//
// runPictures does what the plain still path (run.cpp) does not: a still
// with --smooth or --aa N > 1, and every dive. runRender calls it after
// the --from file is merged, the destination checked and the palette
// built. In order:
//   1. the frames to make: the still; or the dive's frames in the range,
//      less those whose file exists already (frame files are written
//      atomically, so one that exists is complete: a stopped dive resumes
//      where it stopped, and a split one fills its gaps); a video always
//      takes every frame;
//   2. one warning line when a frame to make is drawn in doubles and is
//      narrower than doubles resolve at its sample size;
//   3. for a video, ffmpeg is found on PATH (its absence fails before any
//      work) and started;
//   4. each frame's view comes from diveFrameParams, or for a dive between
//      locations with a deep end from locationBetween (a deep still is its
//      own location), is rendered into memory by one call (renderFrame,
//      or renderDeepFrame below DEEP_WIDTH, against the engine DeepFrames
//      gives it: deep_picture.h) and written: a file by atomicWriteFile
//      (on a thread of its own while the next frame is rendered), or the
//      next frame of the video, whose temporary is renamed into place once
//      ffmpeg has ended well.
// The bar counts frames and cells, and a reference orbit's steps while one
// is computed. A stop ends the run between rows (or reference steps): the
// frames made stay (one being written is finished), the frame in hand and
// an unfinished video do not.
#ifndef QUORVEX_RENDER_SEQUENCE_H
#define QUORVEX_RENDER_SEQUENCE_H

#include <stdio.h>

#include <atomic>
#include <string>

#include "cli/options.h"
#include "render/run_result.h"

// True when the options need runPictures.
bool needsPictures(const RenderOptions &o);

// The first file the run writes (a frame pattern's first frame), to check
// the destination before the work.
std::string firstOutputPath(const RenderOptions &o);

RunResult runPictures(const RenderOptions &o, const std::atomic<int> *stop, FILE *progress, char *reason);

#endif
