// The game executable itself: its command line, a machine without sound
// output, and a machine where the display cannot be opened.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "sim/sim_runner.h"

namespace {

struct ExeRun {
    int status = -1;
    std::string out, err;
};

ExeRun RunGame(const std::string& name, const std::string& env, const std::string& args) {
    const std::string dir = SimTempDir(name);
    const std::string cmd = env + " timeout -s KILL 4 '" + BinaryDir() + "/zaptomania' " + args + " >'" +
                            dir + "/out.txt' 2>'" + dir + "/err.txt'";
    ExeRun r;
    const int rc = std::system(cmd.c_str());
    r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    r.out = ReadFile(dir + "/out.txt");
    r.err = ReadFile(dir + "/err.txt");
    return r;
}

TEST(GameExecutable, RejectsArgumentsWithStatus2) {
    ExeRun r = RunGame("exe_args", "", "--windowed");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--windowed"), std::string::npos) << r.err;
}

TEST(GameExecutable, StartsWithoutSoundOutputAndSaysDirectSound) {
    // No audio device can be opened: the "Null" driver stays and the game plays on silently
    // until it is stopped from outside (timeout's KILL shows as status 137).
    ExeRun r = RunGame("exe_nosound", "SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=nosuchdriver", "");
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
