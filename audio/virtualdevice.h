#pragma once
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "audio/audiodevice.h"

// An output device in virtual time: no thread of its own; whoever moves the
// clock calls advance, and the device mixes one block of 20 ms (882 frames)
// for every 20 ms that have passed. The block mixed at clock reading C is the
// sound from C to C + 20, so a sound requested at time T is heard from
// exactly T + 20: the mixer's start delay, with no lead of its own on top.
class virtualdevice : public audiodevice {
  public:
    static constexpr int BLOCKMS = 20;
    static constexpr int BLOCKFRAMES = 882;

    // sink receives every mixed block (interleaved stereo, frames).
    using blocksink = std::function<void(const int16_t* values, int frames)>;
    explicit virtualdevice(blocksink sink = {});
    ~virtualdevice() override;
    int blockvalues() override { return 2 * BLOCKFRAMES; }
    int open() override;
    void close() override;

    // Mixes every block due at the clock reading now (game thread).
    void advance(int now);
    int64_t frames() const { return blocks_ * BLOCKFRAMES; }

  private:
    blocksink sink_;
    std::vector<int16_t> block_;
    int start_ = 0;
    int64_t blocks_ = 0;
    bool open_ = false;
};

// A 44100 Hz stereo 16-bit WAV file written as it grows; the header is kept
// right after every append, so the file is whole even if the run is cut.
class wavwriter {
  public:
    wavwriter() = default;
    ~wavwriter();
    wavwriter(const wavwriter&) = delete;
    wavwriter& operator=(const wavwriter&) = delete;

    bool open(const std::string& path);
    void append(const int16_t* values, int frames);
    void close();
    bool isopen() const { return file_ != nullptr; }
    int64_t frames() const { return frames_; }

  private:
    void header();
    std::FILE* file_ = nullptr;
    int64_t frames_ = 0;
};
