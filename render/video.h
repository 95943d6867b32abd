// video.h - a dive's frames into one video file, encoded by ffmpeg.
//
// The renderer encodes no video itself: startVideo runs the ffmpeg found on
// PATH, feeding it raw frames (rgb24, width x height, `fps` a second)
// through a pipe, and ffmpeg writes the container into `outFd`, an open
// file (atomicWriteFile's temporary, renamed into place only once ffmpeg
// has ended well):
//   .mp4   H.264, yuv420p, quality 18 (needs an even width and height)
//   .webm  VP9, yuv420p, quality 30
//   .mkv   FFV1, lossless: the frames decode to exactly the rendered pixels
// ffmpeg runs in a process group of its own, so a Ctrl-C at the terminal
// reaches only quorvex-render, which then ends ffmpeg (abandonVideo); it
// is also killed when quorvex-render dies. Its messages go to a scratch
// file, and the last of them is the reason when it fails.
//
// Writing to an ffmpeg that has ended raises SIGPIPE: the program ignores
// it (main.cpp), so that is an ordinary failure here.
//
// Layer: render.
#ifndef QUORVEX_RENDER_VIDEO_H
#define QUORVEX_RENDER_VIDEO_H

#include <stddef.h>
#include <stdio.h>
#include <sys/types.h>

#include <atomic>

#include "render/output.h"

struct VideoEncoder {
    pid_t pid;   // ffmpeg, or 0
    int input;   // the pipe into it, or -1
    FILE *log;   // its messages
};

// The executable `program` would run as from PATH; 0 when there is none.
int findOnPath(const char *program, char *path, size_t size);

// 1 with ffmpeg running; 0 with a reason. `kind` is a video kind.
int startVideo(VideoEncoder &video, const char *ffmpeg, RenderOutputKind kind, int width, int height,
               double fps, int outFd, char *reason);

// Waits while ffmpeg's pipe is full, but gives up once `stop` is set
// (reason "interrupted"); the caller then abandons the video.
int writeVideoFrame(VideoEncoder &video, const unsigned char *rgb, size_t bytes, const std::atomic<int> *stop,
                    char *reason);

// Ends the input and waits for ffmpeg: 1 when it wrote the whole file.
// A stop while it finishes abandons it (reason "interrupted").
int finishVideo(VideoEncoder &video, const std::atomic<int> *stop, char *reason);

// Kills ffmpeg and waits for it; what it wrote is left to the caller.
void abandonVideo(VideoEncoder &video);

#endif
