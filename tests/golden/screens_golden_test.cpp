// Golden frames of the game's screens, rendered by the simulator with real
// OpenGL (Mesa, offscreen) at a fixed clock start, so at a fixed seed.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "sim/sim_runner.h"
#include "support/golden.h"

namespace {

// Round length one minute through the menu, then players 1 and 2 join.
const char* kScript =
    "60 key-down 32\n120 key-up 32\n190 key-down 32\n191 key-up 32\n200 key-down 32\n201 key-up 32\n"
    "210 key-down 32\n211 key-up 32\n230 key-down 32\n232 key-up 32\n236 key-down 13\n237 key-up 13\n";

struct Shot {
    const char* name;
    const char* screen;
    long offset;  // frames after the screen's first frame
};

const Shot kShots[] = {
    {"attract", "attract", 250},   // menu column, joined panels, the countdown running
    {"countdown", "countdown", 45},  // "THREE" fading in over the frozen bases
    {"round", "round", 600},       // the round in play
    {"results", "results", 120},   // TIME UP! with the results lines
};

TEST(ScreensGolden, AttractCountdownRoundAndResults) {
    // Find the frames in a quick null-renderer run, then render only those with OpenGL.
    SimRun probe = RunSim("golden_probe", "--frames 3950", kScript);
    ASSERT_EQ(probe.status, 0) << probe.err;
    std::vector<long> frames;
    for (const Shot& s : kShots) {
        const long first = probe.Find([&](const JValue& f) { return f["screen"].str == s.screen; },
                                      std::string(s.screen) == "attract" ? 1 : 300);
        ASSERT_GT(first, 0) << s.screen;
        frames.push_back(std::string(s.screen) == "attract" ? s.offset : first + s.offset);
        ASSERT_EQ(probe.Frame(frames.back())["screen"].str, s.screen);
    }
    const std::string dir = SimTempDir("golden_capture");
    for (const auto& e : std::filesystem::directory_iterator(dir)) std::filesystem::remove(e.path());
    std::string list;
    for (long k : frames) list += (list.empty() ? "" : ",") + std::to_string(k);
    SimRun r = RunSim("golden_gl",
                      "--renderer gl --frames " + std::to_string(frames.back()) + " --capture " + list +
                          " --capture-dir '" + dir + "'",
                      kScript, false);
    ASSERT_EQ(r.status, 0) << r.err;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        SCOPED_TRACE(kShots[i].name);
        int w = 0, h = 0;
        std::vector<uint8_t> rgb;
        ASSERT_TRUE(ReadPngRgb(dir + "/frame-" + std::to_string(frames[i]) + ".png", w, h, rgb));
        ASSERT_EQ(w, 1024);
        ASSERT_EQ(h, 768);
        // Mesa's rasteriser is deterministic; the small allowance covers rounding
        // differences between Mesa versions along line and glyph edges.
        auto res = CompareGolden(SourceDir() + "/tests/golden/data/screens_" + kShots[i].name + ".png", w, h, rgb,
                                 8, 400);
        EXPECT_TRUE(res.ok) << res.message;
    }
}

}  // namespace
