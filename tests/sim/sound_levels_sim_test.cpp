// The mix of a busy round keeps within 16 bits: the game's sounds leave room
// for the stacks of shots and pops that four lasers make.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>

#include "sim/sim_runner.h"

namespace {

// Four players join, the round starts (one minute, the default) and they
// reverse their bases every few frames: the lasers fire and pop all the time.
std::string BusyRoundScript() {
    std::string s;
    const int keys[] = {32, 13, 49, 109};
    for (int i = 0; i < 4; ++i)
        s += std::to_string(10 + 4 * i) + " key-down " + std::to_string(keys[i]) + "\n" +
             std::to_string(12 + 4 * i) + " key-up " + std::to_string(keys[i]) + "\n";
    uint32_t state = 77;
    for (long f = 500; f < 3900;) {
        state = state * 1103515245u + 12345u;
        const int key = keys[(state >> 8) % 4];
        s += std::to_string(f) + " key-down " + std::to_string(key) + "\n" + std::to_string(f + 2) +
             " key-up " + std::to_string(key) + "\n";
        f += 3 + static_cast<long>((state >> 12) % 25);
    }
    return s;
}

TEST(SimSoundLevels, ABusyRoundDoesNotClip) {
    const std::string dir = SimTempDir("levels");
    const std::string wav = dir + "/mix.wav";
    std::filesystem::remove(wav);
    SimRun r = RunSim("levels", "--frames 4000 --wav '" + wav + "'", BusyRoundScript());
    ASSERT_EQ(r.status, 0) << r.err;
    long round_frames = 0, pops = 0;
    for (const JValue& f : r.frames) {
        if (f["screen"].str == "round") ++round_frames;
        for (const JValue& s : f["sounds"].arr)
            if (s["snd"].str == "pop") ++pops;
    }
    // The run really is busy: most of it in the round, with plenty of pops.
    ASSERT_GT(round_frames, 2500);
    ASSERT_GT(pops, 25);

    const std::string data = ReadFile(wav);
    ASSERT_GT(data.size(), 44u + 4u * 882u * 3000u);
    long clipped = 0;
    int peak = 0;
    for (std::size_t i = 44; i + 1 < data.size(); i += 2) {
        int16_t v;
        std::memcpy(&v, data.data() + i, 2);
        if (v == 32767 || v == -32768) ++clipped;
        peak = std::max(peak, v < 0 ? -static_cast<int>(v) : static_cast<int>(v));
    }
    EXPECT_EQ(clipped, 0) << "peak " << peak;
    EXPECT_GT(peak, 3000); // not silent either
}

} // namespace
