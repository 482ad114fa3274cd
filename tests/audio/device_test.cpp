#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>

#include "audio/audiodevice.h"
#include "audio/sound.h"
#include "audio/virtualdevice.h"
#include "audio_test_support.h"

// The device logic over fake backends that play whatever position the test
// dictates, so underruns and bad positions happen on demand.

namespace {

struct FakeWaveOut : waveoutbackend {
    struct Log {
        int writes = 0;
        int resets = 0;
        int positions = 0;
        bool timer = false;
        bool closed = false;
        int64_t position = 0;
        int positionerror = 0;
        int writeerror = 0;
    };
    explicit FakeWaveOut(std::shared_ptr<Log> log) : log(std::move(log)) {}
    int open() override { return 0; }
    int write(const int16_t*, int values) override {
        EXPECT_EQ(values, 1024 * 32);
        ++log->writes;
        log->position = 0;
        return log->writeerror;
    }
    int position(int64_t& bytes) override {
        ++log->positions;
        bytes = log->position;
        return log->positionerror;
    }
    void reset() override {
        ++log->resets;
        log->position = 0;
    }
    void close() override { log->closed = true; }
    void starttimer(std::function<void()>) override { log->timer = true; } // the test ticks by hand
    void stoptimer() override { log->timer = false; }
    std::shared_ptr<Log> log;
};

constexpr int FRAG = 1024; // sample values per fragment

} // namespace

TEST(DeviceWaveOut, PrimesAndKeepsItsLead) {
    auto log = std::make_shared<FakeWaveOut::Log>();
    mixer m(FRAG); // the device plays it; it outlives the device
    winmmdevice device(std::make_unique<FakeWaveOut>(log));
    device.mix = &m;
    ASSERT_EQ(device.open(), 0);
    EXPECT_EQ(device.lead(), 6);
    EXPECT_EQ(device.writeposition(), 6 * FRAG);
    EXPECT_EQ(log->writes, 1);
    EXPECT_TRUE(log->timer);
    log->position = 3 * FRAG * 2; // bytes: three fragments played
    device.tick();
    EXPECT_EQ(device.writeposition(), 9 * FRAG);
    device.tick(); // nothing more to do
    EXPECT_EQ(device.writeposition(), 9 * FRAG);
    device.close();
    EXPECT_FALSE(log->timer);
    EXPECT_TRUE(log->closed);
}

TEST(DeviceWaveOut, UnderrunsMuteAndGrowTheLead) {
    auto log = std::make_shared<FakeWaveOut::Log>();
    mixer m(FRAG); // the device plays it; it outlives the device
    winmmdevice device(std::make_unique<FakeWaveOut>(log));
    device.mix = &m;
    ASSERT_EQ(device.open(), 0);
    const int expected_leads[] = {8, 10, 10};
    for (int round = 0; round < 3; ++round) {
        // The output has caught up: it is within two fragments of the mix.
        log->position = (device.writeposition() - FRAG) * 2;
        const int resets = log->resets;
        const int writes = log->writes;
        device.tick();
        EXPECT_EQ(device.lead(), expected_leads[round]) << round;
        EXPECT_EQ(device.restartcountdown(), 250);
        EXPECT_EQ(log->resets, resets + 1);
        EXPECT_EQ(device.writeposition(), int64_t(device.lead()) * FRAG * 2);
        for (int16_t v : device.ring())
            ASSERT_EQ(v, 0);
        // Muted: 249 ticks neither read the position nor restart playback.
        const int positions = log->positions;
        for (int t = 0; t < 249; ++t)
            device.tick();
        EXPECT_EQ(log->positions, positions);
        EXPECT_EQ(log->writes, writes);
        EXPECT_EQ(device.restartcountdown(), 1);
        device.tick(); // the 250th restarts playback and goes on
        EXPECT_EQ(log->writes, writes + 1);
        EXPECT_EQ(log->positions, positions + 1);
        EXPECT_EQ(device.restartcountdown(), 0);
        // Back to normal: playing on past the silent lead refills.
        log->position = int64_t(device.lead() + 1) * FRAG * 2;
        device.tick();
        EXPECT_EQ(device.writeposition(), int64_t(2 * device.lead() + 1) * FRAG);
    }
    device.close();
}

TEST(DeviceWaveOut, BadPositionsRestartFromTheTop) {
    auto log = std::make_shared<FakeWaveOut::Log>();
    mixer m(FRAG); // the device plays it; it outlives the device
    winmmdevice device(std::make_unique<FakeWaveOut>(log));
    device.mix = &m;
    ASSERT_EQ(device.open(), 0);
    log->position = 268435456LL + 2;
    device.tick();
    EXPECT_EQ(log->resets, 1);
    EXPECT_EQ(log->writes, 2);
    EXPECT_EQ(device.writeposition(), 0);
    EXPECT_EQ(device.lead(), 6); // not an underrun
    // Exactly at the limit is still a position.
    log->position = 0;
    device.tick();
    EXPECT_EQ(device.writeposition(), 6 * FRAG);
    log->positionerror = 1;
    device.tick();
    EXPECT_EQ(log->resets, 2);
    EXPECT_EQ(device.writeposition(), 0);
    device.close();
}

namespace {

// Outputs in virtual time: the test plays 5 ms (441 sample values) before
// each tick, as the timer would.
constexpr int TICKVALUES = 441;

// One that loops over the ring as waveOut does, whatever is in it.
struct LoopingOut : waveoutbackend {
    const int16_t* ring = nullptr;
    int values = 0;
    int64_t cursor = 0; // values since the last write
    int open() override { return 0; }
    int write(const int16_t* r, int v) override {
        ring = r;
        values = v;
        cursor = 0;
        return 0;
    }
    int position(int64_t& bytes) override {
        bytes = cursor * 2;
        return 0;
    }
    void reset() override { ring = nullptr; }
    void close() override {}
    void starttimer(std::function<void()>) override {}
    void stoptimer() override {}
    // Plays the next 5 ms; false when it played a silent value.
    bool play() {
        bool sound = true;
        for (int i = 0; i < TICKVALUES; ++i, ++cursor)
            sound &= ring != nullptr && ring[cursor % values] != 0;
        return sound;
    }
};

// One that plays a queue of what the device has written, as SDL's queue
// does: when the queue runs dry, the position stops where the writing did.
struct QueueOut : waveoutbackend {
    int64_t queued = 0, played = 0; // values since the last write
    int open() override { return 0; }
    int write(const int16_t*, int) override {
        queued = played = 0;
        return 0;
    }
    void written(int64_t values) override { queued = std::max(queued, values); }
    int position(int64_t& bytes) override {
        bytes = played * 2;
        return 0;
    }
    void reset() override { queued = played = 0; }
    void close() override {}
    void starttimer(std::function<void()>) override {}
    void stoptimer() override {}
    void play() { played = std::min(played + TICKVALUES, queued); }
};

} // namespace

TEST(DeviceWaveOut, PlaysOnWithoutABreakWhenThePositionCountRunsLong) {
    TClockScope time(1000);
    auto backend = std::make_unique<LoopingOut>();
    LoopingOut* out = backend.get();
    ASSERT_EQ(MixOpen(std::make_unique<winmmdevice>(std::move(backend))), 0);
    auto* device = static_cast<winmmdevice*>(MixCurrentDevice());
    mixsample* loop = MonoSound(std::vector<int16_t>(100, 4000), 44100, -1);
    ASSERT_NE(MixPlaySound(loop, 0, 0), 0);
    // Twenty-six minutes: the byte count passes its limit (2^28 bytes, about
    // twenty-five minutes of sound) once, and the sound goes on through it.
    int64_t silent = 0;
    bool started = false;
    for (int64_t step = 0; step < 26 * 60 * 200; ++step) {
        const bool sound = out->play();
        if (started && !sound) ++silent;
        started |= sound;
        device->tick();
    }
    EXPECT_TRUE(started);
    EXPECT_EQ(silent, 0);
    EXPECT_EQ(device->lead(), 6);
    EXPECT_EQ(device->restartcountdown(), 0);
    EXPECT_GT(device->positionbase(), 0); // it did count on from a later ring
    MixClose();
    MixFreeSound(loop);
}

TEST(DeviceWaveOut, AQueueThatRunsDryIsAnUnderrun) {
    auto backend = std::make_unique<QueueOut>();
    QueueOut* out = backend.get();
    mixer m(FRAG);
    winmmdevice device(std::move(backend));
    device.mix = &m;
    ASSERT_EQ(device.open(), 0);
    for (int step = 0; step < 400; ++step) { // two seconds on time
        out->play();
        device.tick();
    }
    EXPECT_EQ(out->played, 400 * TICKVALUES); // the queue never ran dry
    EXPECT_EQ(device.restartcountdown(), 0);
    for (int step = 0; step < 12; ++step)
        out->play(); // the timer is 60 ms late
    device.tick();
    EXPECT_EQ(device.restartcountdown(), 250);
    EXPECT_EQ(device.lead(), 8);
    device.close();
}

TEST(DeviceWaveOut, RefusedDataIsReported) {
    auto log = std::make_shared<FakeWaveOut::Log>();
    log->writeerror = 1;
    mixer m(FRAG); // the device plays it; it outlives the device
    winmmdevice device(std::make_unique<FakeWaveOut>(log));
    device.mix = &m;
    testing::internal::CaptureStdout();
    EXPECT_EQ(device.open(), 0); // the device carries on
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(printed, "waveOutWrite error\n");
    device.close();
}

namespace {

// Plays a script of cursor readings, one per pass; the loop ends when it runs out.
struct FakeDSound : dsoundbackend {
    struct Log {
        std::mutex lock;
        std::vector<int> cursors;
        size_t next = 0;
        std::vector<std::pair<int, int>> writes; // offset, bytes
        std::vector<int> passbytes;              // bytes written in each pass
        int pending = 0;
        bool openfails = false;
        bool stopped = false;
        bool closed = false;
    };
    explicit FakeDSound(std::shared_ptr<Log> log) : log(std::move(log)) {}
    int open() override { return log->openfails ? -1 : 0; }
    int clear() override { return 0; }
    int play() override { return 0; }
    int cursor(int& bytes) override {
        std::lock_guard<std::mutex> hold(log->lock);
        if (log->next >= log->cursors.size()) return -1;
        if (log->next > 0) log->passbytes.push_back(log->pending);
        log->pending = 0;
        bytes = log->cursors[log->next++];
        return 0;
    }
    int write(int offset, const int16_t*, int bytes) override {
        std::lock_guard<std::mutex> hold(log->lock);
        log->writes.emplace_back(offset, bytes);
        log->pending += bytes;
        return 0;
    }
    int wait(int) override {
        std::lock_guard<std::mutex> hold(log->lock);
        return log->next < log->cursors.size() ? 1 : 0;
    }
    void wake() override {}
    void stop() override {
        std::lock_guard<std::mutex> hold(log->lock);
        log->stopped = true;
        log->passbytes.push_back(log->pending);
    }
    void close() override { log->closed = true; }
    std::shared_ptr<Log> log;
};

} // namespace

TEST(DeviceDSound, AtMostTwoChunksAPassAndWrapsCounted) {
    auto log = std::make_shared<FakeDSound::Log>();
    // Start; steady; a long stall (the cursor runs far ahead, and wraps twice);
    // then steady again.
    log->cursors = {0, 8192, 16384, 12000, 13000, 100, 8292, 16392};
    mixer m(dsounddevice::MIXERVALUES);
    dsounddevice device(std::make_unique<FakeDSound>(log));
    device.mix = &m;
    ASSERT_EQ(device.open(), 0);
    auto stopped = [&] {
        std::lock_guard<std::mutex> hold(log->lock);
        return log->stopped;
    };
    // The script ends the thread by itself; close() would cut it short.
    for (int i = 0; i < 5000 && !stopped(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    device.close();
    std::lock_guard<std::mutex> hold(log->lock);
    ASSERT_TRUE(log->stopped);
    EXPECT_TRUE(log->closed);
    ASSERT_EQ(log->passbytes.size(), log->cursors.size());
    for (size_t i = 0; i < log->passbytes.size(); ++i)
        EXPECT_LE(log->passbytes[i], 16384) << i;
    // Two chunks ahead of a cursor at 0; then one per chunk played; a stall
    // (three chunks behind, twice) is made up two chunks at a time.
    const std::vector<int> expected_passes = {16384, 8192, 8192, 16384, 8192, 16384, 16384, 8192};
    EXPECT_EQ(log->passbytes, expected_passes);
    EXPECT_EQ(device.wraps(), 2); // 16384 -> 12000 and 13000 -> 100
    // Writes stay in the buffer and continue where the last one stopped.
    int64_t expected = 0;
    for (auto [offset, bytes] : log->writes) {
        EXPECT_EQ(offset, expected % 32768);
        EXPECT_LE(offset + bytes, 32768);
        expected += bytes;
    }
    EXPECT_EQ(device.byteswritten(), expected);
}

TEST(DeviceDSound, OpenFailsWithoutTheOutput) {
    auto log = std::make_shared<FakeDSound::Log>();
    log->openfails = true;
    EXPECT_EQ(MixOpen(std::make_unique<dsounddevice>(std::make_unique<FakeDSound>(log))), -1);
    EXPECT_EQ(MixCurrentMixer(), nullptr);
}

TEST(DeviceReplace, VoicesAndHandlesLiveOnUnderAnotherDevice) {
    TClockScope time(1000);
    ASSERT_EQ(MixOpen(std::make_unique<manualdevice>(1764)), 0);
    mixer* m = MixCurrentMixer();
    mixsample* loop = MonoSound(std::vector<int16_t>(100, 2000), 44100, -1);
    const int channel = MixAllocChannel();
    ASSERT_EQ(MixPlaySound(loop, 0, channel), channel);

    // The output went away and another one, with smaller blocks, took over.
    auto next = std::make_unique<manualdevice>(512);
    manualdevice* second = next.get();
    ASSERT_EQ(MixReplaceDevice(std::move(next)), 0);
    EXPECT_EQ(MixCurrentDevice(), second);
    EXPECT_EQ(second->mix, m);
    EXPECT_EQ(MixCurrentMixer(), m); // the same mixer, its voices and handles
    EXPECT_EQ(m->size(), 512);
    EXPECT_NE(MixChannelStatus(channel), 0);
    time.clock->Set(1100); // past the start delay
    std::vector<int16_t> block(512);
    m->mix16(block.data(), 512);
    EXPECT_NE(block[0], 0); // still playing

    // A device that will not open leaves the mixer without one, voices intact.
    EXPECT_EQ(MixReplaceDevice(std::make_unique<manualdevice>(512, true)), -1);
    EXPECT_EQ(MixCurrentDevice(), nullptr);
    EXPECT_NE(MixChannelStatus(channel), 0);
    MixClose();
    EXPECT_EQ(MixChannelStatus(channel), 0);
    MixFreeSound(loop);
}

TEST(DeviceVirtual, MixesTwentyMillisecondBlocksAndStartsSoundsTwentyLater) {
    TClockScope time(100000);
    std::vector<int16_t> recorded;
    ASSERT_EQ(MixOpen(std::make_unique<virtualdevice>(
                  [&](const int16_t* v, int frames) { recorded.insert(recorded.end(), v, v + 2 * frames); })),
              0);
    auto* device = dynamic_cast<virtualdevice*>(MixCurrentDevice());
    ASSERT_TRUE(device);
    EXPECT_EQ(device->frames(), 882); // the block that plays from the opening on
    time.clock->Set(100060);
    device->advance(time.clock->Millis());
    EXPECT_EQ(device->frames(), 4 * 882);
    device->advance(time.clock->Millis());
    EXPECT_EQ(device->frames(), 4 * 882);

    // Played at 100070 (in the middle of a frame's time), heard from 100090.
    mixsample* data = MonoSound(std::vector<int16_t>(2000, 1000));
    time.clock->Set(100070);
    MixPlaySound(data, 0, 0);
    for (int t = 100080; t <= 100200; t += 20) {
        time.clock->Set(t);
        device->advance(t);
    }
    int first = -1;
    for (size_t i = 0; i < recorded.size(); ++i)
        if (recorded[i] != 0) {
            first = static_cast<int>(i / 2);
            break;
        }
    EXPECT_EQ(first, (100090 - 100000) * 441 / 10);
    MixFreeSound(data);
    MixClose();
}

TEST(DeviceVirtual, LateCallsStillStartSoundsTwentyMillisecondsLater) {
    TClockScope time(500);
    std::vector<int16_t> recorded;
    ASSERT_EQ(MixOpen(std::make_unique<virtualdevice>(
                  [&](const int16_t* v, int frames) { recorded.insert(recorded.end(), v, v + 2 * frames); })),
              0);
    auto* device = dynamic_cast<virtualdevice*>(MixCurrentDevice());
    mixsample* data = MonoSound(std::vector<int16_t>(2000, 1000));
    // The clock is off the 20 ms grid and the device is only told late.
    time.clock->Set(607);
    device->advance(607); // mixes up to the block that starts at 600
    MixPlaySound(data, 0, 0);
    time.clock->Set(700);
    device->advance(700); // 620, 640, ... 700 in one go
    int first = -1;
    for (size_t i = 0; i < recorded.size(); ++i)
        if (recorded[i] != 0) {
            first = static_cast<int>(i / 2);
            break;
        }
    EXPECT_EQ(first, (627 - 500) * 441 / 10);
    MixFreeSound(data);
    MixClose();
}

TEST(DeviceVirtual, WavFileIsWhole) {
    const std::string path = testing::TempDir() + "/virtual_device_test.wav";
    {
        wavwriter wav;
        ASSERT_TRUE(wav.open(path));
        std::vector<int16_t> block(2 * 882);
        for (size_t i = 0; i < block.size(); ++i)
            block[i] = static_cast<int16_t>(i * 37 - 30000);
        wav.append(block.data(), 882);
        wav.append(block.data(), 882);
        EXPECT_EQ(wav.frames(), 1764);
    }
    std::FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_TRUE(f);
    uint8_t h[44];
    ASSERT_EQ(std::fread(h, 1, 44, f), 44u);
    std::fseek(f, 0, SEEK_END);
    const long size = std::ftell(f);
    std::fclose(f);
    EXPECT_EQ(0, std::memcmp(h, "RIFF", 4));
    EXPECT_EQ(0, std::memcmp(h + 8, "WAVEfmt ", 8));
    auto u32 = [&](int at) {
        return uint32_t(h[at]) | uint32_t(h[at + 1]) << 8 | uint32_t(h[at + 2]) << 16 |
               uint32_t(h[at + 3]) << 24;
    };
    EXPECT_EQ(u32(24), 44100u);
    EXPECT_EQ(u32(40), 1764u * 4);
    EXPECT_EQ(u32(4), 36u + 1764u * 4);
    EXPECT_EQ(size, 44 + 1764 * 4);
    std::remove(path.c_str());
}
