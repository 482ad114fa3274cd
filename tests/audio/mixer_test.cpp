#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "audio/mixer.h"
#include "audio_test_support.h"

// The mixer driven by hand: a device without a thread, a clock that only the
// test moves. With the clock 20 ms past every request, voices start at once.

namespace {

std::vector<int16_t> Dc(int frames, int16_t value) {
    return std::vector<int16_t>(static_cast<size_t>(frames), value);
}

int16_t L(const std::vector<int16_t>& out, int frame) {
    return out[static_cast<size_t>(2 * frame)];
}
int16_t R(const std::vector<int16_t>& out, int frame) {
    return out[static_cast<size_t>(2 * frame + 1)];
}

int FirstNonZeroFrame(const std::vector<int16_t>& out) {
    for (size_t i = 0; i < out.size(); ++i)
        if (out[i] != 0) return static_cast<int>(i / 2);
    return -1;
}

} // namespace

TEST(Mixer, ClosedMixerIgnoresEverything) {
    MixClose();
    EXPECT_EQ(MixAllocChannel(), 0);
    EXPECT_EQ(MixCreateSound(10, 16, 1, 44100, nullptr, 0), nullptr);
    EXPECT_EQ(MixPlaySound(nullptr, 0, 0), 0);
    EXPECT_EQ(MixChannelStatus(4097), 0);
    MixSetChannelVolume(4097, 0.5f);
    EXPECT_EQ(MixOpen(std::make_unique<manualdevice>(1764, true)), -1);
    EXPECT_EQ(MixCurrentMixer(), nullptr);
}

TEST(Mixer, HandleLimitAndPlayingWithoutAHandle) {
    TClockScope time;
    TMixerScope scope;
    std::set<int> handles;
    for (int i = 0; i < 4095; ++i) {
        const int h = MixAllocChannel();
        ASSERT_NE(h, 0) << i;
        handles.insert(h);
    }
    EXPECT_EQ(handles.size(), 4095u);
    std::set<int> slots;
    for (int h : handles)
        slots.insert(h & 0xfff);
    EXPECT_EQ(slots.size(), 4095u);
    EXPECT_EQ(slots.count(0), 0u);
    EXPECT_EQ(MixAllocChannel(), 0);

    // With the table full a play still sounds, but has no handle.
    mixsample* data = MonoSound(Dc(1000, 1000));
    EXPECT_EQ(MixPlaySound(data, 0, 0), 0);
    time.clock->Set(1020);
    auto out = scope.Mix(100);
    EXPECT_EQ(L(out, 0), 1000);
    MixFreeSound(data);
}

TEST(Mixer, GenerationsKeepOldHandlesOut) {
    TClockScope time;
    TMixerScope scope;
    const int h = MixAllocChannel();
    MixSetChannelVolume(h, 0.25f);
    MixFreeChannel(h);
    MixFreeChannel(h); // twice must not list the slot twice
    const int h2 = MixAllocChannel();
    const int h3 = MixAllocChannel();
    EXPECT_EQ(h2 & 0xfff, h & 0xfff); // the freed slot comes back first...
    EXPECT_NE(h2, h);                 // ...with a new generation
    EXPECT_NE(h3 & 0xfff, h2 & 0xfff);

    // The old handle reaches nothing; the new one is untouched by it.
    mixsample* data = MonoSound(Dc(2000, 1000));
    EXPECT_EQ(MixPlaySound(data, 0, h2), h2);
    MixSetChannelVolume(h, 0.0f);
    MixStopChannel(h);
    EXPECT_EQ(MixChannelStatus(h), 0);
    EXPECT_EQ(MixPlaySound(data, 0, h), h); // invalid: returned unchanged, nothing starts
    time.clock->Set(1020);
    auto out = scope.Mix(200);
    EXPECT_EQ(L(out, 10), 1000);
    EXPECT_EQ(MixChannelStatus(h2), MIX_ONCE);
    EXPECT_EQ(MixChannelPosition(h2), 200);
    MixFreeSound(data);
}

TEST(Mixer, AStoppedChannelPlaysAgainUntilItsSlotIsHandedOut) {
    TClockScope time;
    TMixerScope scope;
    mixsample* data = MonoSound(Dc(5000, 1000), 44100, -1);
    const int h = MixAllocChannel();
    EXPECT_EQ(MixPlaySound(data, 0, h), h);
    MixStopChannel(h); // its slot goes back to the free list
    EXPECT_EQ(MixPlaySound(data, 0, h), h);
    EXPECT_EQ(MixChannelStatus(h), MIX_LOOPED); // playing again, on its old slot
    time.clock->Set(1020);
    EXPECT_EQ(L(scope.Mix(100), 50), 1000);
    const int other = MixAllocChannel();
    EXPECT_NE(other & 0xfff, h & 0xfff); // the slot left the free list: nobody else gets it

    // Once the slot has been handed out again, the old handle does nothing.
    MixStopChannel(h);
    const int next = MixAllocChannel();
    ASSERT_EQ(next & 0xfff, h & 0xfff);
    EXPECT_EQ(MixPlaySound(data, 0, next), next);
    EXPECT_EQ(MixPlaySound(data, 0, h), h);
    MixStopChannel(h);
    EXPECT_EQ(MixChannelStatus(h), 0);
    EXPECT_EQ(MixChannelStatus(next), MIX_LOOPED);
    MixFreeSound(data);
}

TEST(Mixer, HandlesFromAnEarlierMixerReachNothingInTheNext) {
    TClockScope time;
    int old = 0;
    {
        TMixerScope first;
        old = MixAllocChannel();
    }
    TMixerScope second; // another audio driver selected
    mixsample* data = MonoSound(Dc(5000, 1000), 44100, -1);
    const int h = MixAllocChannel();
    EXPECT_NE(h, old);
    EXPECT_EQ(MixPlaySound(data, 0, h), h);
    MixStopChannel(old);
    EXPECT_EQ(MixChannelStatus(h), MIX_LOOPED);
    MixFreeSound(data);
}

TEST(Mixer, ParametersSetBeforePlayAreCarriedWithoutRamp) {
    TClockScope time;
    TMixerScope scope;
    const int h = MixAllocChannel();
    MixSetChannelVolume(h, 0.5f);
    MixSetChannelPan(h, 0.25f);
    MixSetChannelDepth(h, -1.0f);
    mixsample* data = MonoSound(Dc(4000, 1000));
    ASSERT_EQ(MixPlaySound(data, 0, h), h);
    time.clock->Set(1020);
    auto out = scope.Mix(500);
    // volume 2048; pan 1024 takes the left to 2048 * 3072 / 4096 = 1536; depth
    // below 0 flips the right: (1536 * 1000 >> 8) >> 4 = 375, -(2048 * 1000 >> 8) >> 4 = -500.
    for (int f : {0, 1, 250, 499}) {
        EXPECT_EQ(L(out, f), 375) << f;
        EXPECT_EQ(R(out, f), -500) << f;
    }
    MixFreeSound(data);
}

TEST(Mixer, CueThenResumeStartsAtFrameZeroWithoutRamp) {
    TClockScope time;
    TMixerScope scope;
    std::vector<int16_t> ramp(3000);
    for (int i = 0; i < 3000; ++i)
        ramp[static_cast<size_t>(i)] = static_cast<int16_t>(1000 + 16 * i);
    mixsample* data = MonoSound(ramp);
    const int h = MixPlaySound(data, 1, 0);
    ASSERT_NE(h, 0);
    EXPECT_EQ(MixChannelStatus(h), MIX_ONCE | MIX_PAUSED);
    time.clock->Set(1020);
    auto paused = scope.Mix(1000);
    EXPECT_EQ(FirstNonZeroFrame(paused), -1);
    MixSetChannelVolume(h, 0.5f); // while paused: takes effect at once
    MixPauseChannel(h, 0);
    auto out = scope.Mix(100);
    // Volume 2048: ((2048 * v) >> 8) >> 4 = v / 2, from the very first frame.
    for (int f = 0; f < 100; ++f)
        ASSERT_EQ(L(out, f), (1000 + 16 * f) / 2) << f;
    MixFreeSound(data);
}

TEST(Mixer, OneShotEndsMidBlock) {
    TClockScope time;
    TMixerScope scope;
    mixsample* data = MonoSound(Dc(100, 1000));
    const int kept = MixAllocChannel();
    MixPlaySound(data, 0, kept);
    const int fresh = MixPlaySound(data, 0, 0);
    time.clock->Set(1020);
    auto out = scope.Mix(256);
    EXPECT_EQ(L(out, 99), 2000);
    EXPECT_EQ(L(out, 100), 0);
    EXPECT_EQ(L(out, 255), 0);
    // The allocated channel's voice stays stopped; the fresh one released itself.
    EXPECT_EQ(MixChannelStatus(kept), MIX_STOPPED);
    EXPECT_EQ(MixChannelStatus(fresh), 0);
    MixFreeSound(data);
}

TEST(Mixer, LoopWrapsKeepingItsFraction) {
    TClockScope time;
    TMixerScope scope;
    std::vector<int16_t> saw(10);
    for (int i = 0; i < 10; ++i)
        saw[static_cast<size_t>(i)] = static_cast<int16_t>(100 * i);
    mixsample* data = MonoSound(saw, 44100, -1);
    const int h = MixAllocChannel();
    MixSetChannelRate(h, 0.75f);
    MixPlaySound(data, 0, h);
    time.clock->Set(1020);
    auto out = scope.Mix(3000); // several blocks, hundreds of wraps
    for (int k = 0; k < 3000; ++k) {
        const double p = std::fmod(0.75 * k, 10.0);
        const int i = static_cast<int>(p);
        const int next = i == 9 ? saw[0] : saw[static_cast<size_t>(i + 1)]; // the guard frame is the first
        const int expected = saw[static_cast<size_t>(i)] +
                             static_cast<int>(std::floor((next - saw[static_cast<size_t>(i)]) * (p - i)));
        ASSERT_EQ(L(out, k), expected) << k;
    }
    EXPECT_EQ(MixChannelStatus(h), MIX_LOOPED);
    MixStopChannel(h);
    scope.Mix(10);
    EXPECT_EQ(FirstNonZeroFrame(scope.Mix(100)), -1);
    MixFreeSound(data);
}

TEST(Mixer, InterpolationReadsTheGuardFrame) {
    TClockScope time;
    TMixerScope scope;
    const std::vector<int16_t> two = {0, 1000};
    mixsample* once = MonoSound(two, 44100, 0);
    mixsample* looped = MonoSound(two, 44100, -1);
    const int a = MixAllocChannel();
    const int b = MixAllocChannel();
    MixSetChannelRate(a, 0.5f);
    MixSetChannelRate(b, 0.5f);
    MixSetChannelPan(a, -1.0f); // a on the left only
    MixSetChannelPan(b, 1.0f);  // b on the right only
    MixPlaySound(once, 0, a);
    MixPlaySound(looped, 0, b);
    time.clock->Set(1020);
    auto out = scope.Mix(6);
    // One-shot: the guard repeats the last frame. Looping: it is the first.
    EXPECT_EQ(L(out, 0), 0);
    EXPECT_EQ(L(out, 1), 500);
    EXPECT_EQ(L(out, 2), 1000);
    EXPECT_EQ(L(out, 3), 1000);
    EXPECT_EQ(L(out, 4), 0);
    EXPECT_EQ(R(out, 3), 500);
    EXPECT_EQ(R(out, 4), 0);
    EXPECT_EQ(R(out, 5), 500);
    MixFreeSound(once);
    MixFreeSound(looped);
}

TEST(Mixer, PanAndDepthGains) {
    TClockScope time;
    TMixerScope scope;
    mixsample* data = MonoSound(Dc(1000, 1000));
    struct Case {
        float pan, depth;
        int left, right;
    } cases[] = {
        {1.0f, 0.0f, 0, 1000}, {-1.0f, 0.0f, 1000, 0}, {0.0f, -1.0f, 1000, -1000}, {0.5f, 0.0f, 500, 1000}};
    for (const Case& c : cases) {
        const int h = MixAllocChannel();
        MixSetChannelPan(h, c.pan);
        MixSetChannelDepth(h, c.depth);
        MixPlaySound(data, 0, h);
        time.clock->Set(time.clock->Millis() + 20);
        auto out = scope.Mix(50);
        EXPECT_EQ(L(out, 10), c.left) << c.pan << " " << c.depth;
        EXPECT_EQ(R(out, 10), c.right) << c.pan << " " << c.depth;
        MixStopChannel(h);
        scope.Mix(10);
    }
    MixFreeSound(data);
}

TEST(Mixer, RateAndSampleRateStepping) {
    TClockScope time;
    TMixerScope scope;
    std::vector<int16_t> saw(4000);
    for (int i = 0; i < 4000; ++i)
        saw[static_cast<size_t>(i)] = static_cast<int16_t>(i * 8);
    mixsample* fast = MonoSound(saw, 44100);
    mixsample* half = MonoSound(saw, 22050);
    const int a = MixAllocChannel();
    MixSetChannelRate(a, 2.0f);
    MixSetChannelPan(a, -1.0f);
    const int b = MixAllocChannel();
    MixSetChannelPan(b, 1.0f);
    MixPlaySound(fast, 0, a);
    MixPlaySound(half, 0, b);
    time.clock->Set(1020);
    auto out = scope.Mix(1000);
    for (int k = 0; k < 1000; ++k) {
        ASSERT_EQ(L(out, k), 16 * k) << k; // two frames per output frame
        ASSERT_EQ(R(out, k), 4 * k) << k;  // one frame per two output frames
    }
    EXPECT_EQ(MixChannelPosition(a), 2000);
    EXPECT_EQ(MixChannelPosition(b), 500);
    MixFreeSound(fast);
    MixFreeSound(half);
}

TEST(Mixer, StereoAndEightBitData) {
    TClockScope time;
    TMixerScope scope;
    const int16_t stereo[4] = {1000, -1000, 1000, -1000};
    const uint8_t mono8[2] = {192, 192};
    const uint8_t stereo8[4] = {0, 255, 0, 255};
    mixsample* s16 = MixCreateSound(2, 16, 2, 44100, stereo, -1);
    mixsample* m8 = MixCreateSound(2, 8, 1, 44100, mono8, -1);
    mixsample* s8 = MixCreateSound(2, 8, 2, 44100, stereo8, -1);
    int h = MixPlaySound(s16, 0, 0);
    time.clock->Set(1020);
    auto out = scope.Mix(10);
    EXPECT_EQ(L(out, 5), 1000);
    EXPECT_EQ(R(out, 5), -1000);
    MixStopChannel(h);
    h = MixPlaySound(m8, 0, 0);
    time.clock->Set(1040);
    out = scope.Mix(10);
    EXPECT_EQ(L(out, 5), 16384);
    EXPECT_EQ(R(out, 5), 16384);
    MixStopChannel(h);
    h = MixPlaySound(s8, 0, 0);
    time.clock->Set(1060);
    out = scope.Mix(10);
    EXPECT_EQ(L(out, 5), -32768);
    EXPECT_EQ(R(out, 5), 32512);
    MixStopChannel(h);
    MixFreeSound(s16);
    MixFreeSound(m8);
    MixFreeSound(s8);
}

TEST(Mixer, LoudVoicesSaturate) {
    TClockScope time;
    TMixerScope scope;
    mixsample* up = MonoSound(Dc(500, 30000));
    mixsample* down = MonoSound(Dc(500, -30000));
    for (int i = 0; i < 8; ++i)
        MixPlaySound(up, 0, 0);
    time.clock->Set(1020);
    auto out = scope.Mix(100);
    EXPECT_EQ(L(out, 50), 32767);
    EXPECT_EQ(R(out, 50), 32767);
    for (int i = 0; i < 8; ++i)
        MixPlaySound(down, 0, 0);
    time.clock->Set(1040);
    scope.Mix(500); // the loud ones end
    for (int i = 0; i < 8; ++i)
        MixPlaySound(down, 0, 0);
    time.clock->Set(1060);
    out = scope.Mix(100);
    EXPECT_EQ(L(out, 50), -32768);
    MixFreeSound(up);
    MixFreeSound(down);
}

TEST(Mixer, StartDelayIsTwentyMillisecondsOfOutput) {
    TClockScope time(5000);
    TMixerScope scope(4096);
    mixsample* data = MonoSound(Dc(5000, 1000));
    MixPlaySound(data, 0, 0);
    EXPECT_EQ(FirstNonZeroFrame(scope.Mix(2048)), 882); // mixed at once: the full 20 ms
    time.clock->Set(6000);
    MixPlaySound(data, 0, 0);
    time.clock->Set(6010);
    auto out = scope.Mix(2048);
    // The first voice goes on at 1000; the second joins 10 ms (441 frames) in.
    EXPECT_EQ(L(out, 440), 1000);
    EXPECT_EQ(L(out, 441), 2000);
    MixFreeSound(data);
}

TEST(Mixer, VolumeChangesRampOverOneBlock) {
    TClockScope time;
    TMixerScope scope(2000); // blocks of 1000 frames
    mixsample* data = MonoSound(Dc(20000, 1600));
    const int h = MixPlaySound(data, 0, 0);
    time.clock->Set(1020);
    scope.Mix(1000);
    MixSetChannelVolume(h, 0.0f);
    auto out = scope.Mix(1000);
    EXPECT_EQ(L(out, 0), 1600);
    EXPECT_NEAR(L(out, 500), 800, 2);
    EXPECT_LE(L(out, 999), 2);
    for (int f = 1; f < 1000; ++f)
        ASSERT_LE(L(out, f), L(out, f - 1)) << f;
    out = scope.Mix(1000);
    EXPECT_EQ(FirstNonZeroFrame(out), -1);
    MixFreeSound(data);
}

TEST(Mixer, PlayingOnAChannelReplacesItsVoice) {
    TClockScope time;
    TMixerScope scope;
    mixsample* data = MonoSound(Dc(5000, 1000), 44100, -1);
    const int h = MixAllocChannel();
    EXPECT_EQ(MixPlaySound(data, 0, h), h);
    time.clock->Set(1020);
    scope.Mix(100);
    EXPECT_EQ(MixPlaySound(data, 0, h), h);
    time.clock->Set(1040);
    auto out = scope.Mix(100);
    EXPECT_EQ(L(out, 50), 1000); // one voice, not two
    // Round after round on one channel leaves no voices behind in the mix.
    for (int i = 0; i < 200; ++i)
        MixPlaySound(data, 0, h);
    time.clock->Set(1060);
    out = scope.Mix(100);
    EXPECT_EQ(L(out, 50), 1000);
    MixFreeChannel(h);
    scope.Mix(10);
    MixFreeSound(data);
}

TEST(Mixer, StopAllEndsPlayingAndWaitingVoicesAlike) {
    TClockScope time;
    TMixerScope scope;
    mixsample* hum = MonoSound(Dc(5000, 1000), 44100, -1);
    const int playing = MixPlaySound(hum, 0, 0);
    time.clock->Set(1020);
    EXPECT_EQ(L(scope.Mix(100), 50), 1000);
    const int waiting = MixPlaySound(hum, 0, 0); // not mixed yet: still in the start ring
    EXPECT_EQ(MixGetCounts().playing, 2);
    scope.m->stopall();
    EXPECT_EQ(MixChannelStatus(playing), 0);
    EXPECT_EQ(MixChannelStatus(waiting), 0);
    EXPECT_EQ(MixGetCounts().playing, 0);
    time.clock->Set(1040);
    EXPECT_EQ(FirstNonZeroFrame(scope.Mix(100)), -1);
    // Both voices are free for the next plays.
    const int made = MixGetCounts().voices;
    MixPlaySound(hum, 0, 0);
    MixPlaySound(hum, 0, 0);
    EXPECT_EQ(MixGetCounts().voices, made);
    MixFreeSound(hum);
}

TEST(Mixer, CountsFollowHandlesAndVoices) {
    {
        MixClose();
        const MixCounts closed = MixGetCounts();
        EXPECT_EQ(closed.handles, 0);
        EXPECT_EQ(closed.voices, 0);
        EXPECT_EQ(closed.playing, 0);
    }
    TClockScope time;
    TMixerScope scope;
    mixsample* shot = MonoSound(Dc(200, 1000));            // ends within one mix
    mixsample* hum = MonoSound(Dc(5000, 1000), 44100, -1); // loops
    const int h1 = MixAllocChannel();
    const int h2 = MixAllocChannel();
    EXPECT_EQ(MixGetCounts().handles, 2);
    EXPECT_EQ(MixGetCounts().playing, 0);

    MixPlaySound(hum, 0, h1);
    MixPlaySound(shot, 0, 0); // a one-shot with a handle of its own
    EXPECT_EQ(MixGetCounts().handles, 3);
    EXPECT_EQ(MixGetCounts().playing, 2);
    time.clock->Set(1020);
    scope.Mix(1000);
    // The one-shot ended; the loop plays on. The finished shot's handle stays
    // out (it answers "stopped") until its voice is reused.
    EXPECT_EQ(MixGetCounts().playing, 1);
    EXPECT_EQ(MixGetCounts().handles, 3);

    // Shot after shot reuses the voices that finished instead of making more,
    // and each reuse gives the old shot's handle back.
    const int made = MixGetCounts().voices;
    for (int i = 0; i < 50; ++i) {
        MixPlaySound(shot, 0, 0);
        time.clock->Set(1040 + 20 * i);
        scope.Mix(1000);
    }
    EXPECT_EQ(MixGetCounts().voices, made);
    EXPECT_EQ(MixGetCounts().handles, 3);
    EXPECT_EQ(MixGetCounts().playing, 1);

    MixFreeChannel(h1);
    MixFreeChannel(h2);
    EXPECT_EQ(MixGetCounts().handles, 1);
    MixPauseChannel(h1, 1); // a freed handle reaches nothing
    scope.Mix(1000);
    // The looping voice lost its handle, but freeing a channel does not cut
    // its sound: it plays until the mixer stops it.
    EXPECT_EQ(MixGetCounts().playing, 1);
    EXPECT_EQ(MixGetCounts().voices, made);
    MixFreeSound(shot);
    MixFreeSound(hum);
}

namespace {

// A voice of every kind of value (odd, negative, near full scale), mixed for
// 600 frames with the master volume given before the mixer opens.
std::vector<int16_t> MixAtVolume(int percent, bool mute) {
    MixSetMasterVolume(percent, mute);
    TClockScope time;
    TMixerScope scope;
    std::vector<int16_t> wave(600);
    for (size_t i = 0; i < wave.size(); ++i)
        wave[i] = static_cast<int16_t>(std::lround(32000.0 * std::sin(0.05 * static_cast<double>(i))) | 1);
    mixsample* data = MonoSound(wave);
    MixPlaySound(data, 0, 0);
    time.clock->Set(1020);
    auto out = scope.Mix(300);
    // Changed while playing: the next block takes it.
    MixSetMasterVolume(100, false);
    const auto rest = scope.Mix(300);
    out.insert(out.end(), rest.begin(), rest.end());
    MixFreeSound(data);
    return out;
}

} // namespace

TEST(Mixer, MasterVolumeScalesTheMixOnceAndMuteSilencesWithoutStopping) {
    const auto full = MixAtVolume(100, false);
    const auto half = MixAtVolume(50, false);
    const auto muted = MixAtVolume(100, true);
    const auto quiet = MixAtVolume(0, false);
    ASSERT_EQ(full.size(), 1200u);
    int nonzero = 0;
    for (size_t i = 0; i < 600; ++i) {
        ASSERT_EQ(half[i], full[i] >> 1) << i; // exactly half, rounded down
        ASSERT_EQ(muted[i], 0) << i;
        ASSERT_EQ(quiet[i], 0) << i;
        nonzero += full[i] != 0;
    }
    EXPECT_GT(nonzero, 500);
    // Back at 100 the voices went on where they were: the same output as never muted.
    for (size_t i = 600; i < 1200; ++i) {
        ASSERT_EQ(muted[i], full[i]) << i;
        ASSERT_EQ(half[i], full[i]) << i;
    }
}
