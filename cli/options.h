// options.h - quorvex-render's command line, read into a RenderOptions.
//
//   quorvex-render [options] OUTPUT
//
// GNU-style long options (getopt_long: "--opt VALUE" or "--opt=VALUE",
// abbreviations allowed). What is not given keeps the start state of
// defaultRenderOptions (render/request.h).
//
// The output kind is taken from the suffix of OUTPUT (.png .ppm .pgm .frc,
// and for a dive .mp4 .webm .mkv, lower case). A dive (--zoom-to,
// --zoom-to-view, or --zoom-to-center with --zoom-to-width; with --frames)
// writes a video or, through a pattern with one frame-number field
// (render/dive.h), one .png or .ppm file a frame. --smooth and --aa colour
// the picture, so they write .png, .ppm or a video, and so do --colour and
// --shade other than bands and none (their values: render/look.h). Every value is checked
// here, up front, so that a render never starts on something it would have
// to abandon: numbers must scan completely and be finite, sizes and counts
// must lie in their ranges (render/request.h names the limits), and each
// axis of the view must span a non-zero, finite stretch (either way round:
// a rectangle dragged right to left is a mirrored view). A .frc output is
// at most 800 x 800. A location (--center and --width, or --location) goes
// with neither --view nor --from; --save-location belongs to a still from
// a location.
//
// The parser opens no file: --from, --location, --zoom-to and --gradient
// are only named here, and the planner (render/plan.h) reads them.
//
// parseRenderOptions returns RENDER_PARSE_OK, RENDER_PARSE_HELP (print
// the help text, exit 0) or RENDER_PARSE_USAGE (one line in `reason`,
// exit 2). It keeps no state between calls and prints nothing.
//
// Layer: cli.
#ifndef QUORVEX_CLI_OPTIONS_H
#define QUORVEX_CLI_OPTIONS_H

#include <stdio.h>

#include "render/request.h"

enum RenderParseResult { RENDER_PARSE_OK, RENDER_PARSE_HELP, RENDER_PARSE_USAGE };

RenderParseResult parseRenderOptions(int argc, char **argv, RenderOptions &options, char *reason);

void writeRenderHelp(FILE *out);

#endif
