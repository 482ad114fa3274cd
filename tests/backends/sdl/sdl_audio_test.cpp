// The SDL audio output: both device modes on SDL's dummy output.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

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
