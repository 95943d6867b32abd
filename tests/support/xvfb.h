// xvfb.h - a private X server for one test program.
//
//   PrivateXvfb x;
//   ASSERT_TRUE(x.start());         // Xvfb on the first free display
//   setenv("DISPLAY", x.display().c_str(), 1);
// The server is killed by stop() or the destructor. Each test program gets
// its own, so the tiers can run in parallel.
#ifndef QUORVEX_TESTS_XVFB_H
#define QUORVEX_TESTS_XVFB_H

#include <sys/types.h>

#include <string>

class PrivateXvfb {
public:
    PrivateXvfb() = default;
    PrivateXvfb(const PrivateXvfb &) = delete;
    PrivateXvfb &operator=(const PrivateXvfb &) = delete;
    ~PrivateXvfb() { stop(); }

    // Starts Xvfb with a 24-bit screen and waits until it accepts clients.
    bool start(int width = 1280, int height = 1024);
    void stop();
    const std::string &display() const { return display_; }

private:
    pid_t pid_ = -1;
    std::string display_;
};

#endif
