// Switch timing through the simulator's --config: bounces shorter than the
// acceptance time and presses within the release time after a release are
// filtered, a clean tap is still one tap, holding P1's switch still opens the
// options, and the options key opens them at once.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "sim/sim_runner.h"

namespace {

std::string Config(const std::string& name, const std::string& text) {
    const std::string path = SimTempDir("timing") + "/" + name + ".toml";
    std::ofstream(path, std::ios::trunc) << text;
    return path;
}

// The frames at which player n joined or left.
std::vector<long> JoinChanges(const SimRun& r, int n) {
    std::vector<long> out;
    for (long k = 2; k <= static_cast<long>(r.frames.size()); ++k)
        if (r.Frame(k)["humans"][static_cast<std::size_t>(n - 1)].Int() !=
            r.Frame(k - 1)["humans"][static_cast<std::size_t>(n - 1)].Int())
            out.push_back(k);
    return out;
}

TEST(SimSwitchTiming, BouncesAreFilteredAndCleanTapsStillCount) {
    // P1 (key, 100 ms to accept): three bounces of one frame (20 ms), then a
    // tap of eight. P2 (key, 300 ms after a release): a tap, a bounce 60 ms
    // after it, a tap 460 ms after it. P3 (pad button, 100 ms to accept): a
    // one-frame bounce, then a tap of eight frames.
    const std::string script = "1 joypads 3\n"
                               "110 key-down 32\n111 key-up 32\n113 key-down 32\n114 key-up 32\n"
                               "116 key-down 32\n117 key-up 32\n140 key-down 32\n148 key-up 32\n"
                               "160 key-down 13\n162 key-up 13\n165 key-down 13\n166 key-up 13\n"
                               "185 key-down 13\n187 key-up 13\n"
                               "200 joy-down 2 0\n201 joy-up 2 0\n210 joy-down 2 0\n218 joy-up 2 0\n";
    const SimRun plain = RunSim("timing_plain", "--frames 240", script);
    const SimRun filtered =
        RunSim("timing_filtered",
               "--frames 240 --config '" +
                   Config("bounces",
                          "[accessibility]\naccept_ms = [100, 0, 100, 0]\nrelease_ms = [0, 300, 0, 0]\n") +
                   "'",
               script);
    ASSERT_EQ(plain.status, 0) << plain.err;
    ASSERT_EQ(filtered.status, 0) << filtered.err;
    // Without the filters every bounce is a tap.
    EXPECT_EQ(JoinChanges(plain, 1), (std::vector<long>{110, 113, 116, 140}));
    EXPECT_EQ(JoinChanges(plain, 2), (std::vector<long>{160, 165, 185}));
    EXPECT_EQ(JoinChanges(plain, 3), (std::vector<long>{200, 210}));
    // With them: the tap held 100 ms joins once, five frames late; the bounce
    // after P2's release is dropped and the later tap counts.
    EXPECT_EQ(JoinChanges(filtered, 1), (std::vector<long>{145}));
    EXPECT_EQ(JoinChanges(filtered, 2), (std::vector<long>{160, 185}));
    EXPECT_EQ(JoinChanges(filtered, 3), (std::vector<long>{215}));
}

TEST(SimSwitchTiming, TheHoldAndTheOptionsKeyOpenTheOptions) {
    const std::string config = Config("options", "[accessibility]\naccept_ms = 100\nrelease_ms = 300\n"
                                                 "options_key = \"F2\"\n");
    // Held from 60: the menu opens 50 frames after the press was accepted.
    // Three taps of eight frames step through it and close it; F2 opens it again.
    const SimRun r = RunSim("timing_options", "--frames 260 --config '" + config + "'",
                            "60 key-down 32\n125 key-up 32\n150 key-down 32\n158 key-up 32\n"
                            "175 key-down 32\n183 key-up 32\n200 key-down 32\n208 key-up 32\n"
                            "240 key-down 113\n241 key-up 113\n");
    ASSERT_EQ(r.status, 0) << r.err;
    const auto sel = [&](long k) { return r.Frame(k)["option_sel"].Int(); };
    EXPECT_EQ(r.Find([](const JValue& f) { return f["option_sel"].Int() != 0; }), 114);
    EXPECT_EQ(sel(154), 1);
    EXPECT_EQ(sel(155), 2);
    EXPECT_EQ(sel(239), 0);
    EXPECT_EQ(sel(240), 1);
}

} // namespace
