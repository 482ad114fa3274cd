// The Windows output devices: the DirectSound probe and driver registration,
// the waveOut ring's restarts and lead growth on the real waveOut device with
// a play position that the test controls, and both devices running for real
// (under Wine, into an ALSA null device).
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "audio/audiodevice.h"
#include "audio/mixer.h"
#include "audio/sound.h"
#include "backends/win32/win32_audio.h"

namespace {

// Waits (polling) until cond holds; false if it never does within a long time.
template <class Cond> bool Eventually(Cond cond) {
    for (int i = 0; i < 2000; ++i) {
        if (cond()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return cond();
}

TEST(Win32DirectSoundProbe, NeedsTheLibraryAndItsEntryPoint) {
    EXPECT_TRUE(Win32DirectSoundAvailable("dsound"));
    // Loads, but has no DirectSoundCreate.
    EXPECT_FALSE(Win32DirectSoundAvailable("kernel32"));
    EXPECT_FALSE(Win32DirectSoundAvailable("zaptomania-no-such-library"));

    win32dsoundbackend wrong_library("kernel32");
    EXPECT_NE(wrong_library.open(), 0);
    wrong_library.close();
    mixer missing_mixer(dsounddevice::MIXERVALUES); // the device plays it; it outlives the device
    dsounddevice missing(std::make_unique<win32dsoundbackend>("zaptomania-no-such-library"));
    missing.mix = &missing_mixer;
    EXPECT_NE(missing.open(), 0);
    missing.close();
}

TEST(Win32AudioDrivers, RegisteredInOrderWithDirectSoundWhenAvailable) {
    const int n = RegisterWin32AudioDrivers();
    EXPECT_EQ(RegisterWin32AudioDrivers(), n); // registered once
    const std::vector<std::string> names = AudioDriverNames();
    std::vector<std::string> expected = {"SoftMix", "SoftMix Multimedia"};
    if (Win32DirectSoundAvailable()) expected.push_back("SoftMix DirectSound");
    expected.push_back("Null");
    EXPECT_EQ(names, expected);
    EXPECT_EQ(n, static_cast<int>(expected.size()) - 1);
}

// The real waveOut device, but ticked by hand and with a play position that
// the test sets: the restarts go through waveOutReset and waveOutWrite for
// real, and any "waveOutWrite error" shows on standard output.
class TManualWaveOut : public win32waveoutbackend {
  public:
    explicit TManualWaveOut(std::shared_ptr<std::atomic<int64_t>> position)
        : position_(std::move(position)) {}
    int position(int64_t& bytes) override {
        int64_t real = 0;
        if (win32waveoutbackend::position(real) != 0) return -1; // the device answers
        bytes = position_->load();
        return 0;
    }
    void starttimer(std::function<void()>) override {}
    void stoptimer() override {}

  private:
    std::shared_ptr<std::atomic<int64_t>> position_;
};

TEST(Win32WaveOut, LeadGrowsAfterUnderrunsAndRestartsCleanly) {
    auto pos = std::make_shared<std::atomic<int64_t>>(0);
    mixer device_mixer(1024); // the device plays it; it outlives the device
    winmmdevice device(std::make_unique<TManualWaveOut>(pos));
    device.mix = &device_mixer;
    testing::internal::CaptureStdout();
    ASSERT_EQ(device.open(), 0);
    const int fragment = device.fragment();
    EXPECT_EQ(fragment, 1024); // the NT family's fragments
    EXPECT_EQ(device.writeposition(), 6 * fragment);

    int64_t played = 0;
    for (int expected_lead : {8, 10, 10}) {
        // The play position runs past what was written: an underrun.
        played = device.writeposition() + 4 * fragment;
        pos->store(played * 2);
        device.tick();
        EXPECT_EQ(device.lead(), expected_lead);
        EXPECT_EQ(device.restartcountdown(), winmmdevice::MUTETICKS);
        EXPECT_EQ(device.writeposition(), static_cast<int64_t>(expected_lead) * fragment * 2);
        EXPECT_TRUE(
            std::all_of(device.ring().begin(), device.ring().end(), [](int16_t v) { return v == 0; }));
        // Muted: ticks only count down until playback restarts from the top.
        for (int i = 0; i < winmmdevice::MUTETICKS - 1; ++i)
            device.tick();
        EXPECT_EQ(device.restartcountdown(), 1);
        pos->store(0);
        device.tick(); // restarts (waveOutWrite again) and fills
        EXPECT_EQ(device.restartcountdown(), 0);
    }
    // A position beyond the limit resets to the start of the ring.
    pos->store(winmmdevice::MAXPOSITION + 2);
    device.tick();
    EXPECT_EQ(device.writeposition(), 0);
    pos->store(0);
    device.tick();
    EXPECT_EQ(device.writeposition(), 10 * fragment);
    device.close();
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.find("waveOutWrite error"), std::string::npos) << out;
}

TEST(Win32WaveOut, TheMultimediaTimerKeepsTheRealDeviceFed) {
    mixer device_mixer(1024); // the device plays it; it outlives the device
    winmmdevice device(std::make_unique<win32waveoutbackend>());
    device.mix = &device_mixer;
    ASSERT_EQ(device.open(), 0);
    const int64_t start = device.writeposition();
    // The device plays, so the timer's ticks move the write position on.
    EXPECT_TRUE(Eventually([&] { return device.writeposition() > start + 4 * device.fragment(); }));
    device.close(); // returns only once no tick runs
    const int64_t after = device.writeposition();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(device.writeposition(), after);
    device.close(); // twice is harmless
}

TEST(Win32DirectSound, TheNotifiedThreadStreamsAndStops) {
    mixer device_mixer(dsounddevice::MIXERVALUES); // the device plays it; it outlives the device
    dsounddevice device(std::make_unique<win32dsoundbackend>());
    device.mix = &device_mixer;
    ASSERT_EQ(device.open(), 0);
    EXPECT_TRUE(Eventually([&] { return device.threadalive(); }));
    // The buffer's notifications keep waking the thread, which writes on.
    EXPECT_TRUE(Eventually([&] { return device.byteswritten() >= 6 * dsounddevice::CHUNKBYTES; }));
    EXPECT_EQ(device.byteswritten() % dsounddevice::CHUNKBYTES, 0);
    device.close();
    EXPECT_FALSE(device.threadalive());
}

} // namespace
