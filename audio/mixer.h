#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "audio/output.h"

// The software mixer: any number of voices summed into one 44100 Hz stereo
// 16-bit stream, in integer fixed point. The game's thread starts voices and
// changes their parameters; one output thread mixes. They meet only through
// two single-producer, single-consumer rings and atomic fields: no locks.

class channeltable;
class mixer;

// One created sound's PCM, copied into a buffer of its own with one guard
// frame after the end (a copy of the first frame when looping, else of the
// last) so that interpolation may always read the next frame.
struct mixsample {
    int hertz = 0;
    int channels = 0;   // 1 or 2
    int bits = 0;       // 8 (unsigned) or 16 (signed, little-endian)
    int length = 0;     // frames
    int framebytes = 0; // channels * bits / 8
    int databytes = 0;  // length * framebytes
    int written = 0;    // frames copied in so far
    std::atomic<int> references{1};
    int loop = 0; // 0 or -1
    uint8_t* data = nullptr;
    uint8_t* write = nullptr;
    int owned = 0; // bytes of the buffer below
    std::unique_ptr<uint8_t[]> buffer;
};

// Status bits of a voice; 0 means dead (free for reuse).
constexpr int MIX_STOPPED = 1;
constexpr int MIX_ONCE = 2;
constexpr int MIX_LOOPED = 4;
constexpr int MIX_PAUSED = 16;

// One playing voice.
class sound : public output {
  public:
    explicit sound(mixer* owner);

    void setrate(int rate) override;
    void setvolume(int volume) override;
    void setpan(int pan) override;
    void setdepth(int depth) override;
    int rate(int which) override;
    int volume(int which) override;
    int pan(int which) override;
    int depth(int which) override;
    int position() override;

    // Adds count interleaved values into the accumulator (output thread).
    // 0 still playing, 1 stopped, -1 dead, -2 paused.
    int mixinto(int32_t* accumulator, int count);

    mixer* owner;
    std::atomic<int> status{MIX_STOPPED};
    int handle = 0;                  // game thread only
    std::atomic<int> selfrelease{0}; // recycle as soon as it stops
    sound* next = nullptr;           // active list, output thread only
    mixsample* data = nullptr;       // set and cleared on the game thread while the mixer does not hold it
    int64_t pos = 0;                 // 32.32 sample values; output thread once started
    std::atomic<int64_t> played{0};  // 32.32, never wraps
    std::atomic<int32_t> ratenow{65536}, ratetarget{65536};
    std::atomic<int16_t> volumenow{4096}, volumetarget{4096};
    std::atomic<int16_t> pannow{0}, pantarget{0};
    std::atomic<int16_t> depthnow{0}, depthtarget{0};
    int starttime = 0;      // ClockMillis when started
    int delay = 0;          // output frames still to wait
    bool started = false;   // handed to the output thread (game thread's view)
    sound* spare = nullptr; // game thread's list of voices that never played
};

class mixer : public output {
  public:
    static constexpr int RING = 4096;

    // size: sample values of one mix call (the device's block).
    explicit mixer(int size);
    ~mixer() override;
    mixer(const mixer&) = delete;
    mixer& operator=(const mixer&) = delete;

    // Game thread. A voice from the reuse ring (or a new one) with the
    // template's target parameters, or the neutral ones. A reused voice still
    // addressed by a handle other than keep gives that handle's slot back.
    sound* AllocVoice(sound* templ, int keep = 0);
    // Game thread. Starts a voice of the data; null if the start ring is full.
    sound* play(mixsample* data, sound* templ, int status, int keep = 0);
    // Game thread. A voice that was never handed to the output thread.
    void unused(sound* voice);

    // Output thread.
    void mix(int count);
    void mix16(int16_t* destination, int count);
    void stopall();

    int size() const { return accumulatorsize; }
    // Game thread, while no output thread mixes: blocks of another size from
    // now on. Voices and their places are kept.
    void resize(int size);
    // Game thread. Voices this mixer has made so far (they are reused, never
    // freed while it is open), and those of them that are playing or paused.
    int voicesmade() const { return static_cast<int>(pool.size()); }
    int voicesplaying() const;
    // A device that mixes in virtual time tells the mixer when the next
    // block starts playing; others leave it to the clock.
    void setblocktime(int ms) {
        blocktime = ms;
        useblocktime = true;
    }
    int outputrate = 44100;
    int outputchannels = 2;
    channeltable* table = nullptr;
    // The master gain of the whole mix, 4096 = 1 (set on the game thread,
    // read once per block by mix16). At 4096 every value is exactly the sum
    // of the voices; 2048 halves each one (rounding down); 0 is silence while
    // every voice plays on.
    static constexpr int MASTER_UNITY = 4096;
    std::atomic<int> mastergain{MASTER_UNITY};

  private:
    // Output thread. Moves the voices waiting in the start ring to the front
    // of the active list, calling each(voice) on every one as it arrives.
    template <class Each> void drainstarts(Each&& each);
    void recycle(sound* voice);
    void flushrecycled();

    std::vector<int32_t> accumulator;
    int accumulatorsize;
    sound* active = nullptr;
    int blocktime = 0;
    bool useblocktime = false;
    sound* recycled = nullptr; // voices waiting for room in the reuse ring (output thread)

    std::array<sound*, RING> startring{};
    std::atomic<int> startread{0}, startwrite{0};
    std::array<sound*, RING> reusering{};
    std::atomic<int> reuseread{0}, reusewrite{0};

    // Every voice ever made; grown on the game thread only.
    std::vector<std::unique_ptr<sound>> pool;
    sound* sparelist = nullptr;
};

// Handles: the low 12 bits are the slot, the upper 20 its generation. Slot 0
// is never handed out, so at most 4095 handles exist. Game thread only.
class channeltable {
  public:
    static constexpr int SLOTS = 4096;
    explicit channeltable(mixer* owner);

    int alloc();                  // 0 when full
    bool valid(int handle) const; // generation still matches
    bool inuse(int handle) const; // valid and handed out
    void release(int slot);       // no-op for a free slot
    // A handle whose slot went back to the free list without being handed out
    // again takes it back (it leaves the free list); false when the handle is
    // not valid any more or its slot is in use.
    bool reclaim(int handle);
    // The slots' generations: a table that follows another one carries them
    // on, so that no handle of the old table is valid in the new one.
    const std::array<uint32_t, SLOTS>& generations() const { return generation; }
    void carryon(const std::array<uint32_t, SLOTS>& previous) { generation = previous; }
    sound*& voice(int handle) { return voices[handle & 0xfff]; }
    // The handle's voice, an idle one made for it if it has none; null for a
    // handle that is not valid or whose slot has been given back.
    sound* lookup(int handle);
    // Removes a voice from its slot for good: a voice that never played goes
    // back to the mixer, a playing one releases itself when it ends.
    void orphan(sound* voice);
    // Handles handed out and not yet given back.
    int inusecount() const;

  private:
    mixer* owner;
    std::array<sound*, SLOTS> voices{};
    std::array<int, SLOTS> link{};
    std::array<uint32_t, SLOTS> generation{};
};

// The flat interface (game thread). Handles are ints; every operation with a
// handle does nothing (or returns 0) when the mixer is closed, the handle is
// 0 or the handle is no longer valid.
mixsample* MixCreateSound(int length, int bits, int channels, int hertz, const void* data, int loop);
void MixFreeSound(mixsample* data);
int MixPlaySound(mixsample* data, int paused, int handle);
int MixAllocChannel();
void MixFreeChannel(int handle);
void MixStopChannel(int handle);
void MixPauseChannel(int handle, int paused);
void MixSetChannelVolume(int handle, float volume);
void MixSetChannelPan(int handle, float pan);
void MixSetChannelDepth(int handle, float depth);
void MixSetChannelRate(int handle, float rate);
int MixChannelStatus(int handle);
int MixChannelPosition(int handle);

// Read-only counts of the open mixer, 0 when it is closed (game thread): so
// long runs can check that channels come back and voices are reused.
struct MixCounts {
    int handles = 0; // channel handles handed out and not yet freed
    int voices = 0;  // voices ever made (the pool; reused, never freed while open)
    int playing = 0; // voices playing or paused, with or without a handle
};
MixCounts MixGetCounts();

// The player's volume, 0 to 100 (linear: 50 halves every value of the mix),
// and mute, which silences the output while the mixer and its voices run on.
// Kept across mixers: a mixer opened later starts with it. Game thread.
void MixSetMasterVolume(int percent, bool mute);

// The open mixer, null when closed (for devices and tests).
mixer* MixCurrentMixer();

// The mixer's own life, for the output-device layer (audio/audiodevice.h),
// which opens a mixer for its device and closes it with the device. The
// mixer does not know devices: a device can be closed and another opened
// while the mixer and its voices live on.
// Opens the mixer for blocks of `values` sample values, or gives the open one
// those blocks (its voices and channel handles stay). Game thread, while no
// output thread mixes.
mixer* MixOpenMixer(int values);
// Stops every voice and ends the open mixer with its channel handles.
void MixCloseMixer();
