// The SDL audio output: both device modes on SDL's dummy output.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>
#include <vector>
#include <atomic>

#include "audio/sound.h"
#include "backends/sdl/sdl_audio.h"

// The real SDL devices, on SDL's dummy output (ctest sets SDL_AUDIODRIVER).
TEST(DeviceSdl, BothModesPlayOnTheDummyOutput) {
    ASSERT_EQ(RegisterSdlAudioDrivers(), 3);
    auto names = AudioDriverNames();
    ASSERT_GE(names.size(), 4u);
    EXPECT_EQ(names[0], "SoftMix");
    EXPECT_EQ(names[1], "SoftMix Multimedia");
    EXPECT_EQ(names[2], "SoftMix DirectSound");
    EXPECT_EQ(names.back(), "Null");
    for (const char* name : {"SoftMix DirectSound", "SoftMix Multimedia"}) {
        ASSERT_EQ(SelectAudioDriver(name), 1) << name;
        auto sample = TAudioSample::Create(4410, 44100, SampleMono16LE);
        std::memset(sample->samples, 0x10, static_cast<size_t>(sample->ByteCount()));
        auto sound = SoundLoad(sample, 0);
        auto channel = std::dynamic_pointer_cast<TSoftMixChannel>(SoundPlay(sound));
        ASSERT_TRUE(channel) << name;
        // The output thread mixes it to its end (100 ms of sound); wait for
        // that without a deadline that matters: the device keeps playing.
        for (int i = 0; i < 500 && ChannelIsPlaying(channel); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_EQ(ChannelIsPlaying(channel), 0) << name;
        EXPECT_EQ(channel->Position(), 4410) << name;
        ShutdownAudioDriver();
    }
}

namespace {

// The multimedia output with a device that can be made to go away, and that
// keeps what it queues.
class TLosingOutput : public sdlwaveoutbackend {
  public:
    std::atomic<bool> gone{false};
    std::atomic<int> reopened{0};
    std::atomic<int64_t> queued_bytes{0}, requeued_bytes{0};

  protected:
    bool lost() override {
        if (!gone.exchange(false)) return false;
        ++reopened;
        return true;
    }
    void queue(const void* data, int bytes) override {
        (reopened.load() ? requeued_bytes : queued_bytes) += bytes;
        sdlwaveoutbackend::queue(data, bytes);
    }
};

} // namespace

// A lost output is replaced by the default one within a second: what the
// lost one had not played is queued again, the position goes on from where
// it was, and nothing else changes for the mixer.
TEST(DeviceSdl, ALostOutputIsReopenedWithItsLead) {
    TLosingOutput out;
    ASSERT_EQ(out.open(), 0);
    std::vector<int16_t> ring(32 * 1024, 100);
    ASSERT_EQ(out.write(ring.data(), static_cast<int>(ring.size())), 0);
    out.written(20000); // 40000 bytes, about 230 ms ahead
    out.starttimer([] {});
    int64_t before = 0;
    ASSERT_EQ(out.position(before), 0);
    out.gone = true;
    for (int i = 0; i < 100 && out.reopened == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    out.stoptimer();
    EXPECT_EQ(out.reopened, 1);
    EXPECT_EQ(out.queued_bytes, 40000);
    EXPECT_GT(out.requeued_bytes, 0);
    EXPECT_LE(out.requeued_bytes, 40000 - before);
    int64_t after = 0;
    ASSERT_EQ(out.position(after), 0);
    EXPECT_GE(after, before);
    EXPECT_GE(after + out.requeued_bytes, 40000); // nothing written was dropped
    out.reset();
    out.close();
}
