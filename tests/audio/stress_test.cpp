#include <gtest/gtest.h>

#include "platform/clock.h"

#include <atomic>
#include <random>
#include <thread>

#include "audio/mixer.h"
#include "audio_test_support.h"

// The game's thread starts, changes and stops thousands of voices while an
// output thread mixes without pause. Run under ThreadSanitizer by
// `make test-tsan`; here it checks that the two threads end in agreement.

TEST(MixerStress, ThousandsOfVoicesAcrossThreads) {
    ASSERT_EQ(MixOpen(std::make_unique<manualdevice>(512)), 0);
    mixer* m = MixCurrentMixer();

    std::atomic<bool> stop{false};
    std::atomic<int64_t> blocks{0};
    std::atomic<int64_t> loud_values{0};
    std::atomic<bool> last_block_silent{false};
    std::thread output([&] {
        std::vector<int16_t> block(512);
        while (!stop.load(std::memory_order_acquire)) {
            m->mix16(block.data(), 512);
            int loud = 0;
            for (int16_t v : block)
                loud += v != 0;
            loud_values.fetch_add(loud, std::memory_order_relaxed);
            last_block_silent.store(loud == 0, std::memory_order_relaxed);
            blocks.fetch_add(1, std::memory_order_release);
        }
    });

    std::vector<int16_t> shortpcm(300, 3000);
    std::vector<int16_t> looppcm(100);
    for (int i = 0; i < 100; ++i)
        looppcm[static_cast<size_t>(i)] = static_cast<int16_t>(i * 50 - 2500);
    std::vector<uint8_t> stereo8(400);
    for (size_t i = 0; i < stereo8.size(); ++i)
        stereo8[i] = static_cast<uint8_t>(i * 7);
    mixsample* oneshot = MonoSound(shortpcm);
    mixsample* looped = MonoSound(looppcm, 22050, -1);
    mixsample* eightbit = MixCreateSound(200, 8, 2, 11025, stereo8.data(), 0);
    ASSERT_TRUE(oneshot && looped && eightbit);

    std::mt19937 rng(1234);
    std::vector<int> handles;  // fresh handles from plays
    std::vector<int> channels; // allocated channels
    int started = 0;
    for (int i = 0; i < 40000; ++i) {
        const int op = static_cast<int>(rng() % 10);
        if (op <= 2) {
            const int h = MixPlaySound(rng() % 2 ? oneshot : eightbit, 0, 0);
            ++started;
            if (h) handles.push_back(h);
        } else if (op == 3) {
            if (channels.size() < 64) {
                if (int c = MixAllocChannel()) channels.push_back(c);
            }
        } else if (op == 4 && !channels.empty()) {
            const int c = channels[rng() % channels.size()];
            MixSetChannelRate(c, 0.5f + static_cast<float>(rng() % 200) / 100.0f);
            EXPECT_EQ(MixPlaySound(rng() % 2 ? looped : oneshot, static_cast<int>(rng() % 2), c), c);
            ++started;
        } else if (op == 5 && !handles.empty()) {
            const size_t k = rng() % handles.size();
            MixStopChannel(handles[k]);
            handles[k] = handles.back();
            handles.pop_back();
        } else if (op == 6 && !channels.empty()) {
            const int c = channels[rng() % channels.size()];
            MixSetChannelVolume(c, static_cast<float>(rng() % 100) / 100.0f);
            MixSetChannelPan(c, static_cast<float>(static_cast<int>(rng() % 200) - 100) / 100.0f);
            MixSetChannelDepth(c, rng() % 2 ? 1.0f : -1.0f);
            MixPauseChannel(c, static_cast<int>(rng() % 3 == 0));
        } else if (op == 7 && !channels.empty()) {
            // Freeing a channel would leave a looping voice sounding for
            // good (nobody can address it), so channels are stopped.
            const size_t k = rng() % channels.size();
            MixStopChannel(channels[k]);
            channels[k] = channels.back();
            channels.pop_back();
        } else if (op == 8 && !handles.empty()) {
            const int h = handles[rng() % handles.size()];
            (void)MixChannelStatus(h);
            (void)MixChannelPosition(h);
            MixSetChannelVolume(h, 0.7f);
        } else if (op == 9 && handles.size() > 3000) {
            // Forget old channel objects, as the game does with its locals.
            for (size_t k = 0; k < 1000; ++k)
                MixFreeChannel(handles[k]);
            handles.erase(handles.begin(), handles.begin() + 1000);
        }
        if (i % 2000 == 0) {
            // Meet the output thread now and then: on a busy machine it might
            // otherwise not run at all until every voice has been stopped.
            const int64_t seen = blocks.load(std::memory_order_acquire);
            while (blocks.load(std::memory_order_acquire) < seen + 8)
                std::this_thread::yield();
        }
    }
    EXPECT_GT(started, 10000);

    // Stop everything that can still sound; one-shots end by themselves.
    for (int c : channels)
        MixStopChannel(c);
    for (int h : handles)
        MixStopChannel(h);
    // Voices started last wait out the mixer's start delay on the clock before
    // they sound, so let that time pass too, then mix enough blocks for the
    // longest one-shot to finish.
    const int stopped_at = ClockMillis();
    const int64_t mark = blocks.load(std::memory_order_acquire);
    while (blocks.load(std::memory_order_acquire) < mark + 200 || ClockMillis() - stopped_at < 100)
        std::this_thread::yield();
    const int64_t settled = blocks.load(std::memory_order_acquire);
    while (blocks.load(std::memory_order_acquire) < settled + 50)
        std::this_thread::yield();
    stop.store(true, std::memory_order_release);
    output.join();

    EXPECT_GT(loud_values.load(), 0);
    EXPECT_TRUE(last_block_silent.load());
    for (int h : handles)
        EXPECT_EQ(MixChannelStatus(h), 0);
    MixFreeSound(oneshot);
    MixFreeSound(looped);
    MixFreeSound(eightbit);
    MixClose();
}

TEST(MixerStress, StartRingRefusesRatherThanOverruns) {
    // No output thread at all: the start ring fills and further plays fail
    // cleanly instead of overwriting voices nobody has picked up.
    ASSERT_EQ(MixOpen(std::make_unique<manualdevice>(512)), 0);
    std::vector<int16_t> pcm(10, 100);
    mixsample* data = MonoSound(pcm);
    int accepted = 0;
    for (int i = 0; i < 5000; ++i) {
        const int h = MixPlaySound(data, 0, 0);
        if (h) {
            ++accepted;
            MixFreeChannel(h);
        }
    }
    EXPECT_EQ(accepted, mixer::RING - 1);
    std::vector<int16_t> out(512);
    MixCurrentMixer()->mix16(out.data(), 512); // drains: room again
    EXPECT_NE(MixPlaySound(data, 0, 0), 0);
    MixFreeSound(data);
    MixClose();
}
