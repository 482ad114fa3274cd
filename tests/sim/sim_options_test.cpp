// The simulator's command line, its errors and its table dump.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "sim/sim_runner.h"
#include "support/test_support.h"

namespace {

void ExpectUsageError(const std::string& name, const std::string& args, const std::string& script,
                      const std::string& mention) {
    SimRun r = RunSim(name, args, script, false);
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_NE(r.err.find(mention), std::string::npos) << r.err;
    // One line, naming the problem.
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
}

TEST(SimCommandLine, BadOptionsAndInputFailWithStatus2) {
    ExpectUsageError("no_frames", "", "", "--frames");
    ExpectUsageError("bad_frames", "--frames ten", "", "ten");
    ExpectUsageError("zero_frames", "--frames 0", "", "--frames");
    ExpectUsageError("unknown", "--frames 5 --fast", "", "--fast");
    ExpectUsageError("renderer", "--frames 5 --renderer vulkan", "", "vulkan");
    ExpectUsageError("capture_null", "--frames 5 --capture 1 --capture-dir /tmp", "", "--capture");
    ExpectUsageError("capture_nodir", "--frames 5 --renderer gl --capture 1", "", "--capture-dir");
    ExpectUsageError("capture_list", "--frames 5 --renderer gl --capture 1,x --capture-dir /tmp", "", "x");
    ExpectUsageError("capture_range", "--frames 5 --renderer gl --capture 9-3 --capture-dir /tmp", "", "3");
    ExpectUsageError("capture_step", "--frames 5 --renderer gl --capture 1-9/0 --capture-dir /tmp", "", "0");
    ExpectUsageError("renderer_gl", "--frames 5 --renderer gl-vulkan", "", "gl-vulkan");
    ExpectUsageError("missing_value", "--frames", "", "--frames");
    ExpectUsageError("bad_script", "--frames 5", "3 key-down 300\n", "300");
    ExpectUsageError("unordered_script", "--frames 5", "3 key-down 32\n2 key-up 32\n", "line 2");
    ExpectUsageError("missing_script", "--frames 5 --input /nonexistent/script.txt", "",
                     "/nonexistent/script.txt");
    ExpectUsageError("trace_dir", "--frames 5 --trace /nonexistent/dir/t.jsonl", "", "/nonexistent/dir");
    ExpectUsageError("capture_missing_dir",
                     "--frames 5 --renderer gl --capture 1 --capture-dir /nonexistent/dir", "",
                     "/nonexistent/dir");
}

TEST(SimCommandLine, ATraceThatCannotBeWrittenFailsTheRun) {
    // /dev/full opens, but every write to it fails as on a full disk.
    SimRun r = RunSim("trace_full", "--frames 200 --trace /dev/full", "", false);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("/dev/full"), std::string::npos) << r.err;
    SimRun ok = RunSim("trace_ok", "--frames 200", "", true);
    EXPECT_EQ(ok.status, 0) << ok.err;
    EXPECT_EQ(ok.frames.size(), 200u);
}

TEST(SimCommandLine, AFrameCaptureThatCannotBeWrittenFailsTheRun) {
    // A folder standing where the picture should go: no file can be made there.
    const std::string dir = SimTempDir("capture_blocked");
    std::filesystem::create_directories(dir + "/frame-2.png");
    SimRun r = RunSim("capture_blocked", "--frames 3 --renderer gl --capture 2 --capture-dir '" + dir + "'",
                      "", false);
    ZAP_REQUIRE_GL(r.err.find("OpenGL renderer") == std::string::npos);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("frame-2.png"), std::string::npos) << r.err;
}

TEST(SimCommandLine, RawCaptureAndRangeErrors) {
    ExpectUsageError("raw_alone", "--frames 5 --renderer gl --capture-raw -", "", "--capture-raw");
    ExpectUsageError("raw_and_dir", "--frames 5 --renderer gl --capture 1 --capture-raw - --capture-dir /tmp",
                     "", "--capture-dir");
    ExpectUsageError("range_backwards", "--frames 5 --renderer gl --capture 4-2 --capture-raw -", "", "2");
    ExpectUsageError("range_too_long", "--frames 5 --renderer gl --capture 1-200000 --capture-raw -", "",
                     "1-200000");
}

TEST(SimCommandLine, DumpTablesGivesTheFiguresAndTheCredit) {
    SimRun r = RunSim("dump", "--dump-tables", "", false);
    ASSERT_EQ(r.status, 0) << r.err;
    JValue t = ParseJson(r.out);
    ASSERT_GT(t["figure_a"].Size(), 20u);
    ASSERT_GT(t["figure_b"].Size(), 20u);
    EXPECT_FALSE(t["credit"].str.empty());
    for (const JValue& s : t["figure_a"].arr) {
        ASSERT_EQ(s.Size(), 5u);
        EXPECT_TRUE(s[0].Int() == 2 || s[0].Int() == 4);
        for (int i : {1, 3})
            EXPECT_TRUE(s[i].Int() >= 40 && s[i].Int() <= 730);
        for (int i : {2, 4})
            EXPECT_TRUE(s[i].Int() >= 50 && s[i].Int() <= 150);
    }
    for (const JValue& s : t["figure_b"].arr) {
        EXPECT_TRUE(s[0].Int() == 1 || s[0].Int() == 3);
        for (int i : {1, 3})
            EXPECT_TRUE(s[i].Int() >= 85 && s[i].Int() <= 685);
        for (int i : {2, 4})
            EXPECT_TRUE(s[i].Int() >= 50 && s[i].Int() <= 175);
    }
}

TEST(SimCommandLine, TraceHasEveryFieldAndTheAttractScreenTracesTheFigures) {
    SimRun r = RunSim("fields", "--frames 60 --clock-start 100000");
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(r.frames.size(), 60u);
    const JValue& f = r.Frame(60);
    for (const char* key :
         {"f",          "screen",     "clock",      "rng",     "attract_mode", "seconds",    "countdown_end",
          "option_sel", "hold_count", "logo_count", "fade",    "round_length", "cpu_active", "catchup_active",
          "melody_pos", "humans",     "players",    "bubbles", "particles",    "sounds"})
        EXPECT_TRUE(f.Has(key)) << key;
    EXPECT_EQ(f["f"].Int(), 60);
    ASSERT_EQ(f["players"].Size(), 4u);
    for (const char* key :
         {"x", "y", "dx", "dy", "charge", "score", "score_index", "score_y", "human", "catchup", "result"})
        EXPECT_TRUE(f["players"][0].Has(key)) << key;
    for (const char* key : {"x", "y", "dx", "dy", "size", "fadein", "owned", "owntime", "wobble"})
        EXPECT_TRUE(f["bubbles"][0].Has(key)) << key;
    // Clock: 20 ms a frame.
    EXPECT_EQ(r.Frame(2)["clock"].Int() - r.Frame(1)["clock"].Int(), 20);
    // The first frame draws the first stroke of figure A: one glow per frame from then on.
    SimRun dump = RunSim("fields_dump", "--dump-tables", "", false);
    JValue t = ParseJson(dump.out);
    const JValue& first = r.Frame(1)["particles"][0];
    EXPECT_EQ(first["kind"].str, "glow");
    EXPECT_EQ(first["index"].Int(), t["figure_a"][0][0].Int());
    EXPECT_FLOAT_EQ(static_cast<float>(first["x2"].num), static_cast<float>(t["figure_a"][0][3].num));
}

} // namespace
