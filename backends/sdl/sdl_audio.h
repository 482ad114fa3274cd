#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <semaphore>
#include <thread>

#include "audio/audiodevice.h"

// The two output devices over SDL2 audio.
//
// Mode 1 ("SoftMix DirectSound"): SDL's audio callback plays a looping
// buffer of 32768 bytes and wakes the device's mixing thread each time it
// passes a quarter of it; the mixing thread keeps two chunks of 8192 bytes
// ahead of the play cursor.
//
// Mode 0 ("SoftMix Multimedia"): a ring of 32 fragments pumped every 5 ms by
// a timer thread, six to ten fragments ahead of what SDL has played; the
// ring's bytes are fed to SDL's queue as the mixer writes them.

// Starts SDL's audio subsystem and, if an output device can be opened here,
// registers "SoftMix DirectSound", "SoftMix Multimedia" and "SoftMix" (in
// that order, so "SoftMix" comes first in the registry) with SDL devices
// behind them. Call once at start-up, before SelectAudioDriver. Returns the
// number of drivers registered (0 on a machine without audio output).
int RegisterSdlAudioDrivers();

// The SDL device for a mode (0 fragment ring, otherwise the notified stream).
std::unique_ptr<audiodevice> CreateSdlAudioDevice(int mode);

class sdldsoundbackend : public dsoundbackend {
  public:
    ~sdldsoundbackend() override;
    int open() override;
    int clear() override;
    int play() override;
    int cursor(int& bytes) override;
    int write(int offset, const int16_t* data, int bytes) override;
    int wait(int timeoutms) override;
    void wake() override;
    void stop() override;
    void close() override;

  protected:
    // SDL's audio thread: hands len bytes of the looping buffer to SDL.
    virtual void deliver(uint8_t* stream, int len);

  private:
    static void callback(void* userdata, uint8_t* stream, int len);
    void signal();

    uint32_t device_ = 0;
    // One stereo frame per element; the two threads only meet in atomics.
    std::unique_ptr<std::atomic<uint32_t>[]> frames_;
    std::atomic<int> cursor_{0};
    std::atomic<bool> playing_{false};
    std::counting_semaphore<> event_{0};
};

class sdlwaveoutbackend : public waveoutbackend {
  public:
    ~sdlwaveoutbackend() override;
    int open() override;
    int write(const int16_t* ring, int values) override;
    int position(int64_t& bytes) override;
    void written(int64_t values) override;
    void reset() override;
    void close() override;
    void starttimer(std::function<void()> tick) override;
    void stoptimer() override;

    // How often the timer's thread checks that the output is still there.
    static constexpr int CHECK_MS = 200;

  protected:
    // Moves ring bytes into SDL's queue (the timer's thread).
    virtual void queue(const void* data, int bytes);
    // Whether the output went away (headphones unplugged, another HDMI
    // screen): SDL then stops the device for good.
    virtual bool lost();
    // Opens the system's default output again in place of a lost one, and
    // queues there what the lost one had not played yet: the mixer keeps its
    // lead and its voices, and the position goes on. True when it opened.
    bool reopen();

  private:
    uint32_t device_ = 0;
    const int16_t* ring_ = nullptr;
    int ringbytes_ = 0;
    int64_t queued_ = 0; // bytes handed to SDL since the last write
    std::thread timer_;
    std::atomic<bool> ticking_{false};
};
