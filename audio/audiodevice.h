#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "audio/mixer.h"

// Output devices: each asks the mixer for finished 16-bit stereo blocks from
// a thread of its own. The device logic here is portable; the platform
// supplies a small backend (SDL in the game, fakes in the tests). The mixer
// is not the device's: it is handed over before open and outlives close, so a
// device can be closed and another opened while the voices play on.
class audiodevice {
  public:
    virtual ~audiodevice() = default;
    // Sample values the device mixes at a time: the mixer's block.
    virtual int blockvalues() = 0;
    // 0 on success, non-zero on failure (then close is called). `mix` is set.
    virtual int open() = 0;
    // Stops output and releases what the device holds; no mixing happens
    // after it returns. Safe to call twice.
    virtual void close() = 0;

    mixer* mix = nullptr; // the mixer this device plays; not owned
};

// The device factory: makes the output device for a mode (0 fragment ring,
// 1 notification-driven stream). The platform layer installs it at start-up;
// without one every device fails to start.
using audiodevicefactory = std::unique_ptr<audiodevice> (*)(int mode);
void MixUseDeviceFactory(audiodevicefactory factory);

// Opening and closing the output (game thread). MixOpen closes whatever is
// open, opens a new mixer for the device and then the device; on failure
// neither stays open. MixClose closes the device and then the mixer, with
// every voice and channel handle.
int MixStartDevice(int mode);
int MixOpen(std::unique_ptr<audiodevice> device);
int MixClose();
// Puts another device under the open mixer: the old device is closed and the
// new one opened, while the voices and channel handles live on (an output that
// disappeared, or another chosen). With no mixer open it is MixOpen. On
// failure the mixer stays open without a device and -1 is returned.
int MixReplaceDevice(std::unique_ptr<audiodevice> device);
// The open device, null when none is.
audiodevice* MixCurrentDevice();

// ---- the fragment ring (mode 0) ---------------------------------------------

// A looping output: it plays a ring of sample values over and over from the
// moment it is started, and reports how far it got.
class waveoutbackend {
  public:
    virtual ~waveoutbackend() = default;
    // Sample values per fragment (1024 here; 2048 on slow old systems).
    virtual int fragmentvalues() { return 1024; }
    // Opens the output for 44100 Hz stereo 16-bit; 0 on success.
    virtual int open() = 0;
    // Starts (or restarts) playing the ring from its start; 0 on success.
    virtual int write(const int16_t* ring, int values) = 0;
    // Bytes played since the last write; 0 on success.
    virtual int position(int64_t& bytes) = 0;
    // The device has filled the ring up to this many sample values since the
    // last write (a running count: the ring's index is it modulo the ring's
    // length). A backend that feeds a queue instead of looping over the ring
    // moves the newly filled values into its queue here, so that what it has
    // queued and not yet played is really the mix's lead.
    virtual void written(int64_t values) { (void)values; }
    // Stops playback; the position goes back to 0.
    virtual void reset() = 0;
    virtual void close() = 0;
    // Calls tick every 5 ms on a thread of the backend's own until stoptimer,
    // which returns only when no tick runs any more.
    virtual void starttimer(std::function<void()> tick) = 0;
    virtual void stoptimer() = 0;
};

class winmmdevice : public audiodevice {
  public:
    static constexpr int RINGFRAGMENTS = 32;
    static constexpr int STARTLEAD = 6;
    static constexpr int MAXLEAD = 10;
    static constexpr int MUTETICKS = 250;
    static constexpr int64_t MAXPOSITION = 268435456;

    explicit winmmdevice(std::unique_ptr<waveoutbackend> backend);
    ~winmmdevice() override;
    int blockvalues() override;
    int open() override;
    void close() override;

    // One 5 ms step (the timer's thread).
    void tick();

    // What the tests look at.
    int lead() const { return lead_.load(std::memory_order_relaxed); }
    int restartcountdown() const { return restart_.load(std::memory_order_relaxed); }
    int64_t writeposition() const { return writepos_.load(std::memory_order_relaxed); }
    // Sample values taken off the backend's count, a whole number of rings.
    int64_t positionbase() const { return base_.load(std::memory_order_relaxed); }
    int fragment() const { return fragment_; }
    const std::vector<int16_t>& ring() const { return ring_; }

  private:
    void fill(int64_t played);
    void restart();

    std::unique_ptr<waveoutbackend> backend_;
    int fragment_ = 1024;
    std::vector<int16_t> ring_;
    std::atomic<bool> running_{false};
    bool opened_ = false;
    // Written only by the ticking thread; atomics so that tests may look.
    std::atomic<int64_t> writepos_{0};
    // The backend's count goes on across the periodic reset of the play
    // position; the device counts from this many values on.
    std::atomic<int64_t> base_{0};
    std::atomic<int> restart_{0};
    std::atomic<int> lead_{STARTLEAD};
};

// ---- the notification-driven stream (mode 1) --------------------------------

// A looping buffer of 32768 bytes that signals each time its play cursor
// passes one of the four chunk boundaries.
class dsoundbackend {
  public:
    virtual ~dsoundbackend() = default;
    // Creates the output and its buffer (44100 Hz stereo 16-bit); 0 on success.
    virtual int open() = 0;
    // Zeroes the whole buffer; 0 on success.
    virtual int clear() = 0;
    // Starts looping playback; 0 on success.
    virtual int play() = 0;
    // The play cursor in bytes (0..32767); 0 on success.
    virtual int cursor(int& bytes) = 0;
    // Copies data into the buffer at offset (no wrap inside one call); 0 on success.
    virtual int write(int offset, const int16_t* data, int bytes) = 0;
    // Waits for a boundary notification: 1 when it came, 0 on timeout or failure.
    virtual int wait(int timeoutms) = 0;
    // Makes a pending or the next wait return at once.
    virtual void wake() = 0;
    virtual void stop() = 0;
    virtual void close() = 0;
};

class dsounddevice : public audiodevice {
  public:
    static constexpr int CHUNKBYTES = 8192;
    static constexpr int BUFFERBYTES = 32768;
    static constexpr int MIXERVALUES = 12288;

    explicit dsounddevice(std::unique_ptr<dsoundbackend> backend);
    ~dsounddevice() override;
    int blockvalues() override { return MIXERVALUES; }
    int open() override;
    void close() override;

    // What the tests look at (valid once the thread has ended).
    int64_t byteswritten() const { return written_.load(std::memory_order_relaxed); }
    int wraps() const { return wraps_.load(std::memory_order_relaxed); }
    bool threadalive() const { return alive_.load(std::memory_order_acquire); }

  private:
    void run();

    std::unique_ptr<dsoundbackend> backend_;
    std::atomic<bool> running_{false};
    std::atomic<bool> alive_{false};
    bool opened_ = false;
    std::thread thread_;
    std::vector<int16_t> scratch_;
    std::atomic<int64_t> written_{0};
    std::atomic<int> wraps_{0};
};
