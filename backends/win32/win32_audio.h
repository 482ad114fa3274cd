#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "audio/audiodevice.h"

// The Windows output devices behind the portable device logic.
//
// Mode 0 ("SoftMix Multimedia"): waveOut plays the ring of 32 fragments as
// one looping header; a one-shot 5 ms multimedia timer, re-armed from each
// tick, keeps the mix ahead of the play position.
//
// Mode 1 ("SoftMix DirectSound"): a looping 32768-byte DirectSound buffer
// with position notifications at its four chunk boundaries. "dsound" is
// loaded at run time: without it (or its DirectSoundCreate) the device does
// not open and its driver is not registered.

// Whether the library loads and exports "DirectSoundCreate".
bool Win32DirectSoundAvailable(const char* library = "dsound");

// Registers "SoftMix DirectSound" (only when DirectSound is available),
// "SoftMix Multimedia" and "SoftMix", in that order, with the Windows devices
// behind them. Call once at start-up, before SelectAudioDriver. Returns the
// number of drivers registered.
int RegisterWin32AudioDrivers();

// The Windows device for a mode (0 the waveOut ring, otherwise DirectSound).
std::unique_ptr<audiodevice> CreateWin32AudioDevice(int mode);

// waveOut with a looping header over the whole ring.
class win32waveoutbackend : public waveoutbackend {
  public:
    win32waveoutbackend();
    ~win32waveoutbackend() override;
    int fragmentvalues() override;
    int open() override;
    int write(const int16_t* ring, int values) override;
    int position(int64_t& bytes) override;
    void reset() override;
    void close() override;
    void starttimer(std::function<void()> tick) override;
    void stoptimer() override;

    // One timer expiry (the multimedia timer's thread).
    void ontimer();

  private:
    void arm(); // with mutex_ held
    void unprepare();

    struct state;
    std::unique_ptr<state> s_;
    std::function<void()> tick_;
    std::mutex mutex_;
    std::condition_variable idle_;
    bool ticking_ = false;
    int inflight_ = 0;
    unsigned timer_ = 0;
};

// DirectSound, loaded from a library by name.
class win32dsoundbackend : public dsoundbackend {
  public:
    explicit win32dsoundbackend(const char* library = "dsound");
    ~win32dsoundbackend() override;
    int open() override;
    int clear() override;
    int play() override;
    int cursor(int& bytes) override;
    int write(int offset, const int16_t* data, int bytes) override;
    int wait(int timeoutms) override;
    void wake() override;
    void stop() override;
    void close() override;

  private:
    struct state;
    std::unique_ptr<state> s_;
    const char* library_;
};
