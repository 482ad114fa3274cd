// The game executable itself: its command line and settings file, a machine
// without sound output, and a machine where the display cannot be opened.
// Every run has a settings folder of its own (XDG_CONFIG_HOME).
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "sim/sim_runner.h"

namespace {

struct ExeRun {
    int status = -1;
    std::string out, err;
};

// The run's settings folder: <dir>/config/zaptomania. A run that would go on playing is stopped
// from outside with KILL (status 137) once the file `until` names has something in it, or after
// two minutes: how long start-up takes depends on the machine's load (sanitizers, parallel tests).
ExeRun RunGame(const std::string& name, const std::string& env, const std::string& args,
               const std::string& until = "") {
    const std::string dir = SimTempDir(name);
    const std::string out = dir + "/out.txt", err = dir + "/err.txt";
    std::filesystem::remove(out);
    if (!until.empty()) std::filesystem::remove(until);
    const std::string game = "XDG_CONFIG_HOME='" + dir + "/config' " + env + " %s'" + BinaryDir() +
                             "/zaptomania' " + args + " >'" + out + "' 2>'" + err + "'";
    std::string cmd;
    if (until.empty()) {
        cmd = game;
        cmd.replace(cmd.find("%s"), 2, "timeout -s KILL 120 ");
    } else {
        cmd = game;
        cmd.replace(cmd.find("%s"), 2, "");
        cmd += " & pid=$!; i=0; while [ $i -lt 1200 ] && ! [ -s '" + until +
               "' ]; do sleep 0.1; i=$((i + 1)); done; kill -KILL $pid; wait $pid";
    }
    ExeRun r;
    const int rc = std::system(cmd.c_str());
    r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    r.out = ReadFile(out);
    r.err = ReadFile(err);
    return r;
}

TEST(GameExecutable, CommandLineEndsBeforeAnythingOpens) {
    // No display could be opened here: help, version and errors never try.
    const std::string nothing = "SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=nosuchdriver";
    ExeRun r = RunGame("exe_args", nothing, "--windowed --volume 101");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "zaptomania: --volume: Value 101 not in range 0 to 100\n");
    r = RunGame("exe_args", nothing, "--help");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("--window-size"), std::string::npos) << r.out;
    r = RunGame("exe_args", nothing, "--version");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("zaptomania ", 0), 0u);
    EXPECT_FALSE(std::filesystem::exists(SimTempDir("exe_args") + "/config"));
}

TEST(GameExecutable, MakesItsSettingsFileOnceAndReportsBadValues) {
    const std::string dir = SimTempDir("exe_settings");
    std::filesystem::remove_all(dir + "/config");
    const std::string file = dir + "/config/zaptomania/settings.toml";
    ExeRun r = RunGame("exe_settings", "SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy", "");
    EXPECT_EQ(r.status, 1); // the display, not the settings
    ASSERT_TRUE(std::filesystem::exists(file));
    EXPECT_EQ(ReadFile(file).rfind("# Zaptomania settings.", 0), 0u);
    std::ofstream(file, std::ios::trunc) << "[audio]\nmute = 3\n";
    r = RunGame("exe_settings", "SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy", "");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(
        r.err.rfind("zaptomania: " + file + ":2: audio.mute: 3 must be true or false; using false\n", 0), 0u)
        << r.err;
    EXPECT_EQ(ReadFile(file), "[audio]\nmute = 3\n"); // never overwritten
    // A file named with --config is read and never written; the folder's is not read.
    const std::string other = dir + "/other.toml";
    std::ofstream(other, std::ios::trunc) << "[audio]\nvolume = 1000\n";
    r = RunGame("exe_settings", "SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy", "--config '" + other + "'");
    EXPECT_EQ(r.err.rfind("zaptomania: " + other + ":2: audio.volume: ", 0), 0u) << r.err;
    EXPECT_EQ(r.err.find("audio.mute"), std::string::npos) << r.err;
    EXPECT_EQ(ReadFile(other), "[audio]\nvolume = 1000\n");
}

TEST(GameExecutable, TheFrameLogComesFromTheFileOrTheFlag) {
    const std::string dir = SimTempDir("exe_framelog");
    const std::string from_file = dir + "/file.log", from_flag = dir + "/flag.log", config = dir + "/c.toml";
    std::filesystem::remove(from_file);
    std::filesystem::remove(from_flag);
    std::ofstream(config, std::ios::trunc) << "[display]\nframe_log = \"" << from_file << "\"\n";
    const std::string env = "SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy";
    // The flag wins over the file; the game runs until its log has begun. How many frames it logs
    // before then depends on the machine's load, so only the log's choice and its lines are checked.
    auto well_formed = [](const std::string& log) {
        std::istringstream lines(log);
        std::string line;
        if (!std::getline(lines, line) || line.rfind("#", 0) != 0) return false;
        while (std::getline(lines, line)) {
            std::istringstream fields(line);
            long frame = 0, flip_us = 0, shown = 0, cpu_us = 0;
            if (!(fields >> frame >> flip_us >> shown >> cpu_us) || (shown != 0 && shown != 1)) return false;
        }
        return true;
    };
    ExeRun r =
        RunGame("exe_framelog", env, "--config '" + config + "' --frame-log '" + from_flag + "'", from_flag);
    EXPECT_EQ(r.status, 137) << r.err;
    EXPECT_FALSE(std::filesystem::exists(from_file));
    EXPECT_TRUE(well_formed(ReadFile(from_flag))) << ReadFile(from_flag);
    r = RunGame("exe_framelog", env, "--config '" + config + "'", from_file);
    EXPECT_EQ(r.status, 137) << r.err;
    EXPECT_TRUE(well_formed(ReadFile(from_file))) << ReadFile(from_file);
}

TEST(GameExecutable, StartsWithoutSoundOutputAndSaysDirectSound) {
    // No audio device can be opened: the "Null" driver stays and the game plays on silently
    // until it is stopped from outside, once it has said which driver it set.
    const std::string out = SimTempDir("exe_nosound") + "/out.txt";
    ExeRun r = RunGame("exe_nosound", "SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=nosuchdriver", "", out);
    EXPECT_EQ(r.status, 137) << r.err;
    EXPECT_EQ(r.out, "DIRECT SOUND AUDIO SET\n");
}

TEST(GameExecutable, DisplayThatCannotOpenEndsWithStatus1AndOneLine) {
    ExeRun r = RunGame("exe_nodisplay", "SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy", "");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("display"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
}

} // namespace
