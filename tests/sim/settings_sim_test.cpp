// The settings in the simulator: it reads a file only through --config; a
// binding from the file joins a player; the master volume at 100 leaves the
// mix as it was and at 50 halves it; mute silences it without changing the game.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "sim/sim_runner.h"

namespace {

std::string WriteConfig(const std::string& name, const std::string& text) {
    const std::string path = SimTempDir("settings") + "/" + name + ".toml";
    std::ofstream(path, std::ios::trunc) << text;
    return path;
}

std::vector<int16_t> Samples(const std::string& wav) {
    const std::string data = ReadFile(wav);
    std::vector<int16_t> out(data.size() > 44 ? (data.size() - 44) / 2 : 0);
    if (!out.empty()) std::memcpy(out.data(), data.data() + 44, out.size() * 2);
    return out;
}

// Four players join after the attract screen's first second, and the round
// runs for a while: shots, pops and the tune.
const char* const FOUR_JOIN = "110 key-down 32\n112 key-up 32\n114 key-down 13\n116 key-up 13\n"
                              "118 key-down 49\n120 key-up 49\n122 key-down 109\n124 key-up 109\n";

struct Mix {
    SimRun run;
    std::vector<int16_t> samples;
    std::string trace;
};

Mix RunMix(const std::string& name, const std::string& config) {
    const std::string wav = SimTempDir("settings") + "/" + name + ".wav";
    std::filesystem::remove(wav);
    std::string args = "--frames 900 --wav '" + wav + "'";
    if (!config.empty()) args += " --config '" + config + "'";
    Mix m{RunSim("settings_" + name, args, FOUR_JOIN), {}, {}};
    m.samples = Samples(wav);
    m.trace = ReadFile(SimTempDir("settings_" + name) + "/trace.jsonl");
    return m;
}

TEST(SimSettings, VolumeAndMuteScaleTheMixOnlyAndNoFileIsReadWithoutConfig) {
    // A settings folder that would silence the game, and a home with none:
    // the simulator must neither read the one nor write into the other.
    const std::string xdg = SimTempDir("settings_xdg");
    const std::string home = SimTempDir("settings_home");
    std::filesystem::create_directories(xdg + "/zaptomania");
    std::ofstream(xdg + "/zaptomania/settings.toml") << "[audio]\nvolume = 0\nmute = true\n";
    std::filesystem::remove_all(home);
    std::filesystem::create_directories(home);
    setenv("XDG_CONFIG_HOME", xdg.c_str(), 1);
    setenv("HOME", home.c_str(), 1);
    const Mix plain = RunMix("plain", "");
    unsetenv("XDG_CONFIG_HOME");
    ASSERT_EQ(plain.run.status, 0) << plain.run.err;
    EXPECT_TRUE(std::filesystem::is_empty(home));

    const Mix full = RunMix("full", WriteConfig("full", "[audio]\nvolume = 100\n"));
    const Mix half = RunMix("half", WriteConfig("half", "[audio]\nvolume = 50\n"));
    const Mix muted = RunMix("muted", WriteConfig("muted", "[audio]\nmute = true\n"));
    for (const Mix* m : {&full, &half, &muted}) {
        ASSERT_EQ(m->run.status, 0) << m->run.err;
        EXPECT_TRUE(m->run.err.empty()) << m->run.err;
        ASSERT_EQ(m->samples.size(), plain.samples.size());
        // The game itself is the same: every frame's record, sounds started included.
        EXPECT_EQ(m->run.frames.size(), 900u);
        EXPECT_TRUE(m->trace == plain.trace);
    }
    ASSERT_GT(plain.samples.size(), 44100u * 2 * 15);
    long loud = 0;
    for (std::size_t i = 0; i < plain.samples.size(); ++i) {
        ASSERT_EQ(full.samples[i], plain.samples[i]) << i;
        ASSERT_EQ(half.samples[i], plain.samples[i] >> 1) << i;
        ASSERT_EQ(muted.samples[i], 0) << i;
        loud += std::abs(plain.samples[i]) > 1000;
    }
    EXPECT_GT(loud, 10000);
}

TEST(SimSettings, AnExtraSwitchFromTheFileJoinsItsPlayer) {
    const std::string script = "110 key-down 81\n112 key-up 81\n"; // Q
    const SimRun without = RunSim("settings_nobinding", "--frames 130", script);
    const SimRun with =
        RunSim("settings_binding",
               "--frames 130 --config '" + WriteConfig("binding", "[input]\np3 = [\"q\"]\n") + "'", script);
    ASSERT_EQ(without.status, 0) << without.err;
    ASSERT_EQ(with.status, 0) << with.err;
    EXPECT_EQ(without.Frame(130)["humans"][2].num, 0);
    EXPECT_EQ(with.Frame(130)["humans"][2].num, 1);
    EXPECT_EQ(with.Frame(130)["humans"][0].num, 0);
}

TEST(SimSettings, ConfigProblems) {
    const SimRun missing = RunSim("settings_missing", "--frames 5 --config /no/such.toml", "", false);
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.err.find('\n'), missing.err.size() - 1) << missing.err;
    // A bad value: one line naming the file, the line and the key; the run goes on.
    const std::string bad = WriteConfig("bad", "[audio]\nvolume = 300\n");
    const SimRun r = RunSim("settings_bad", "--frames 5 --config '" + bad + "'", "", false);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err.rfind("zaptomania-sim: " + bad + ":2: audio.volume: ", 0), 0u) << r.err;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
}

} // namespace
