#include <gtest/gtest.h>

#include "audio/sound.h"
#include "audio/sound_log.h"
#include "audio_test_support.h"

// The driver layer over devices without threads: the test mixes by hand.

namespace {

bool g_mode0_fails = false;
std::vector<int> g_modes_opened;

std::unique_ptr<audiodevice> TestFactory(int mode) {
    g_modes_opened.push_back(mode);
    return std::make_unique<manualdevice>(1764, mode == 0 && g_mode0_fails);
}

// Registers the three software drivers once per process, over test devices.
void UseTestDrivers() {
    static const bool registered = [] {
        TSoftMixAudioDriver::Create("SoftMix DirectSound", 1);
        TSoftMixAudioDriver::Create("SoftMix Multimedia", 0);
        TSoftMixAudioDriver::Create("SoftMix", -1);
        return true;
    }();
    (void)registered;
    MixUseDeviceFactory(&TestFactory);
    g_mode0_fails = false;
    g_modes_opened.clear();
}

std::shared_ptr<TAudioSample> Dc16(int frames, int16_t value, int format = SampleMono16LE) {
    auto sample = TAudioSample::Create(frames, 44100, format);
    for (int i = 0; i < frames; ++i) {
        const uint16_t v = static_cast<uint16_t>(value);
        const bool big = format == SampleMono16BE;
        sample->samples[2 * i] = static_cast<uint8_t>(big ? v >> 8 : v & 0xff);
        sample->samples[2 * i + 1] = static_cast<uint8_t>(big ? v & 0xff : v >> 8);
    }
    return sample;
}

std::vector<int16_t> MixNow(int frames) {
    std::vector<int16_t> out(static_cast<size_t>(2 * frames));
    MixCurrentMixer()->mix16(out.data(), 2 * frames);
    return out;
}

} // namespace

TEST(Driver, UnknownNameLeavesNullCurrentAndStillWorks) {
    UseTestDrivers();
    EXPECT_EQ(SelectAudioDriver("OpenAL"), 0);
    ASSERT_TRUE(CurrentAudioDriver());
    EXPECT_EQ(CurrentAudioDriver()->Name(), "Null");
    EXPECT_EQ(AudioDriverRegistered("OpenAL"), 0);
    auto sound = SoundLoad(Dc16(100, 1000), 0);
    ASSERT_TRUE(sound);
    auto a = SoundPlay(sound);
    auto b = SoundPlay(sound);
    ASSERT_TRUE(a);
    ASSERT_TRUE(b);
    EXPECT_NE(a, b);
    ChannelSetRate(a, 1.2f);
    EXPECT_EQ(ChannelIsPlaying(a), 0);
    EXPECT_FALSE(SoundLoad("incbin::no_such_sound.ogg", 0));
    // The game checks no load result: a null sound or channel is ignored.
    EXPECT_FALSE(SoundPlay(nullptr));
    ChannelSetVolume(nullptr, 0.5f);
    ShutdownAudioDriver();
}

TEST(Driver, NamesMatchWholeIgnoringCase) {
    UseTestDrivers();
    auto names = AudioDriverNames();
    ASSERT_GE(names.size(), 4u);
    EXPECT_EQ(names[0], "SoftMix");
    EXPECT_EQ(names[1], "SoftMix Multimedia");
    EXPECT_EQ(names[2], "SoftMix DirectSound");
    EXPECT_EQ(names.back(), "Null");
    EXPECT_EQ(AudioDriverRegistered("softmix directsound"), 1);
    EXPECT_EQ(SelectAudioDriver("softmix multimedia"), 1);
    EXPECT_EQ(CurrentAudioDriver()->Name(), "SoftMix Multimedia");
    EXPECT_EQ(g_modes_opened, std::vector<int>{0});
    ASSERT_TRUE(MixCurrentMixer());
    // A part of a name selects nothing, and the old driver was shut first.
    EXPECT_EQ(SelectAudioDriver("SoftMix Multi"), 0);
    EXPECT_EQ(CurrentAudioDriver()->Name(), "Null");
    EXPECT_EQ(MixCurrentMixer(), nullptr);
    EXPECT_EQ(SelectAudioDriver("softmi"), 0);
    EXPECT_EQ(SelectAudioDriver("SOFTMIX DIRECTSOUND"), 1);
    EXPECT_EQ(g_modes_opened, (std::vector<int>{0, 1}));
    ShutdownAudioDriver();
    EXPECT_EQ(MixCurrentMixer(), nullptr);
}

TEST(Driver, DefaultIsSoftMixFallingBackToTheSecondDevice) {
    UseTestDrivers();
    ShutdownAudioDriver();
    g_mode0_fails = true;
    EXPECT_EQ(CurrentAudioDriver()->Name(), "SoftMix");
    EXPECT_EQ(g_modes_opened, (std::vector<int>{0, 1}));
    ASSERT_TRUE(MixCurrentMixer());
    // A driver whose device fails leaves "Null" current.
    EXPECT_EQ(SelectAudioDriver("SoftMix Multimedia"), 0);
    EXPECT_EQ(CurrentAudioDriver()->Name(), "Null");
    ShutdownAudioDriver();
}

TEST(Driver, TwoPlaysTwoChannelsAndReusingAChannel) {
    TClockScope time;
    UseTestDrivers();
    ASSERT_EQ(SelectAudioDriver("SoftMix DirectSound"), 1);
    auto sound = SoundLoad(Dc16(5000, 1000), 0);
    auto a = SoundPlay(sound);
    auto b = SoundPlay(sound);
    ASSERT_TRUE(a);
    ASSERT_TRUE(b);
    EXPECT_NE(a, b);
    time.clock->Set(1020);
    auto out = MixNow(100);
    EXPECT_EQ(out[100], 2000); // two overlapping voices
    EXPECT_EQ(ChannelIsPlaying(a), 1);
    ChannelPause(a);
    EXPECT_EQ(ChannelIsPlaying(a), 0);
    ChannelResume(a);
    EXPECT_EQ(ChannelIsPlaying(a), 1);

    auto allocated = ChannelAlloc();
    ASSERT_TRUE(allocated);
    auto again = SoundPlay(sound, allocated);
    EXPECT_EQ(again, allocated);
    // A channel of another driver's kind is refused.
    EXPECT_FALSE(SoundPlay(sound, std::make_shared<TChannel>()));

    ChannelStop(a);
    EXPECT_EQ(std::static_pointer_cast<TSoftMixChannel>(a)->sm_channel, 0);
    EXPECT_EQ(ChannelIsPlaying(a), 0);
    ShutdownAudioDriver();
}

TEST(Driver, BigEndianPlaysLikeLittleEndian) {
    TClockScope time;
    UseTestDrivers();
    ASSERT_EQ(SelectAudioDriver("SoftMix"), 1);
    auto le = SoundLoad(Dc16(300, -12345, SampleMono16LE), 0);
    auto be = SoundLoad(Dc16(300, -12345, SampleMono16BE), 0);
    auto a = SoundPlay(le);
    time.clock->Set(1020);
    auto out_le = MixNow(50);
    ChannelStop(a);
    MixNow(10);
    SoundPlay(be);
    time.clock->Set(1040);
    auto out_be = MixNow(50);
    EXPECT_EQ(out_le[20], -12345);
    EXPECT_EQ(out_be, out_le);
    ShutdownAudioDriver();
}

TEST(Driver, LoopingPlaysUntilStoppedOneShotEnds) {
    TClockScope time;
    UseTestDrivers();
    ASSERT_EQ(SelectAudioDriver("SoftMix"), 1);
    auto looped = SoundLoad(Dc16(100, 500), SoundLoop);
    auto once = SoundLoad(Dc16(100, 500), 0);
    auto l = SoundPlay(looped);
    auto o = SoundPlay(once);
    time.clock->Set(1020);
    MixNow(500);
    EXPECT_EQ(ChannelIsPlaying(l), 1);
    EXPECT_EQ(ChannelIsPlaying(o), 0);
    EXPECT_EQ(std::static_pointer_cast<TSoftMixChannel>(l)->Position(), 500);
    ChannelStop(l);
    MixNow(10);
    auto out = MixNow(100);
    for (int16_t v : out)
        ASSERT_EQ(v, 0);
    ShutdownAudioDriver();
}

TEST(Driver, SoundsMadeWithNoMixerStaySilent) {
    UseTestDrivers();
    ShutdownAudioDriver();
    // Made by the soft-mix driver while no device is open: holds no data.
    auto driver = TSoftMixAudioDriver::Create("Test SoftMix", 1);
    auto sound = driver->CreateSound(Dc16(100, 1000), 0);
    ASSERT_TRUE(sound);
    EXPECT_EQ(std::static_pointer_cast<TSoftMixSound>(sound)->sm_sound, nullptr);
    EXPECT_FALSE(SoundPlay(sound));
    EXPECT_FALSE(driver->AllocChannel());
    // An empty sample format makes no sound.
    EXPECT_EQ(SelectAudioDriver("SoftMix"), 1);
    auto none = TAudioSample::Create(10, 44100, 0);
    EXPECT_FALSE(CurrentAudioDriver()->CreateSound(none, 0));
    ShutdownAudioDriver();
}

TEST(Driver, SoundLogRecordsPlaysWithTheirChannelSettings) {
    UseTestDrivers();
    for (const char* name : {"Null", "SoftMix"}) {
        SelectAudioDriver(name);
        SoundLogEnable(true);
        auto pop = SoundLoad(Dc16(100, 1000), 0);
        auto click = SoundLoad(Dc16(100, 1000), 0);
        auto c1 = SoundPlay(pop);
        ChannelSetPan(c1, -0.5f);
        ChannelSetVolume(c1, 0.25f);
        auto c2 = SoundPlay(click);
        ChannelSetRate(c2, 1.2f);
        ChannelSetRate(c1, 0.8f);
        auto entries = SoundLogDrain();
        ASSERT_EQ(entries.size(), 2u) << name;
        EXPECT_EQ(entries[0].sound, pop.get());
        EXPECT_FLOAT_EQ(entries[0].rate, 0.8f);
        EXPECT_FLOAT_EQ(entries[0].pan, -0.5f);
        EXPECT_FLOAT_EQ(entries[0].volume, 0.25f);
        EXPECT_EQ(entries[1].sound, click.get());
        EXPECT_FLOAT_EQ(entries[1].rate, 1.2f);
        EXPECT_FLOAT_EQ(entries[1].pan, 0.0f);
        EXPECT_FLOAT_EQ(entries[1].volume, 1.0f);
        // Drained: the next frame starts empty, and settings of old channels
        // no longer land anywhere.
        ChannelSetRate(c1, 2.0f);
        EXPECT_TRUE(SoundLogDrain().empty());
        SoundLogEnable(false);
        SoundPlay(pop);
        SoundLogEnable(true);
        EXPECT_TRUE(SoundLogDrain().empty());
        SoundLogEnable(false);
    }
    ShutdownAudioDriver();
}
