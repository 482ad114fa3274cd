// Golden frames of the game's screens, drawn with real OpenGL (Mesa,
// offscreen) in virtual time from a fixed clock start, so at a fixed seed.
// The screens run in this process, so only the frames a picture needs are
// rendered (software GL is slow); the simulator's own capture is checked too.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "game/attract.h"
#include "game/frame.h"
#include "game/globals.h"
#include "game/hud.h"
#include "game/ranking.h"
#include "game/player.h"
#include "game/results.h"
#include "game/round.h"
#include "graphics/canvas.h"
#include "graphics/font.h"
#include "platform/random.h"
#include "sim/input_script.h"
#include "sim/sim_runner.h"
#include "sim/virtual_clock.h"
#include "sim/virtual_display.h"
#include "support/gl_fixture.h"
#include "support/test_support.h"
#include "support/golden.h"

namespace {

class ScreensGolden : public ::testing::TestWithParam<TGLRenderer> {
  protected:
    // The game starts again when the driver changes.
    static void Start(TGLRenderer renderer) {
        if (game_.display && renderer_ == renderer) return;
        game_ = UseVirtualGL(renderer);
        renderer_ = renderer;
        if (!game_.display) return;
        input_ = std::make_unique<TScriptedInput>();
        input_->Install();
        StartGameQuietly();
    }

    // Every picture starts from the same state, whether the tests run in one
    // process or each in its own.
    void SetUp() override {
        Start(GetParam());
        ZAP_REQUIRE_GL(game_.display);
        game_.clock->Set(200000);
        SetRandomSeed(4242);
        ResetGameState();
        attract_mode = 1;
        seconds = 1;
        ResetGameDrawState();
    }

    // Compares the frame as drawn so far (before its flip) with the stored picture.
    static void Expect(const char* name) {
        ExpectFrameGolden(*game_.display, std::string("screens_") + name);
    }

    // A round with player 3 playing, compared 160 frames in.
    static void ExpectRoundAt160(const char* name) {
        humans[2] = 1;
        SetUpRound();
        game_screen = TScreen::ROUND;
        tick_time = game_.clock->Millis();
        for (int k = 1; k < 160; ++k) {
            RoundFrame();
            EndFrame();
        }
        RoundFrame();
        Expect(name);
        EndFrame();
    }

    static inline TGameOnGL game_;
    static inline TGLRenderer renderer_ = TGLRenderer::IMMEDIATE;
    static inline std::unique_ptr<TScriptedInput> input_;
};

ZAP_FOR_BOTH_GL_DRIVERS(ScreensGolden);

TEST_P(ScreensGolden, AttractWithJoinedPlayers) {
    EnterAttractScreen();
    for (int k = 1; k < 200; ++k) {
        if (k == 90) humans[1] = humans[2] = 1; // two players have joined
        ASSERT_TRUE(AttractFrame());
        EndFrame();
    }
    ASSERT_TRUE(AttractFrame());
    Expect("attract");
    EndFrame();
}

TEST_P(ScreensGolden, StartCountdown) {
    SetUpRound();
    game_screen = TScreen::COUNTDOWN;
    // Frame 45 of the countdown: "THREE" half faded in over the frozen bases.
    bool shot = false;
    int j = 0;
    SetBeforeFlipHook([&](long) {
        if (++j == 45) {
            Expect("countdown");
            shot = true;
        }
    });
    RunStartCountdown();
    SetBeforeFlipHook(nullptr);
    EXPECT_TRUE(shot);
}

TEST_P(ScreensGolden, RoundInPlay) {
    ExpectRoundAt160("round");
}

// The same round with colour-safe players: the other palette, and each base
// and score box marked with its player's number.
TEST_P(ScreensGolden, RoundWithColourSafePlayers) {
    UseColourSafePalette(true);
    ExpectRoundAt160("round_colour_safe");
    UseColourSafePalette(false);
}

TEST_P(ScreensGolden, ResultsPanel) {
    humans[1] = humans[3] = 1;
    SetUpRound();
    tick_time = game_.clock->Millis();
    for (int k = 1; k < 120; ++k) {
        RoundFrame();
        EndFrame();
    }
    // The clock has run out; a last volley ranked the players.
    players[1]->score += 250;
    players[3]->score += 120;
    RankResults();
    seconds = -1;
    game_screen = TScreen::RESULTS;
    for (int j = 1; j < 80; ++j) {
        ResultsFrame(j);
        EndFrame();
    }
    ResultsFrame(80);
    Expect("results");
    EndFrame();
}

TEST(ScreensGoldenSim, CaptureWritesTheFrameBeforeItsFlipAndTheScreenFadesIn) {
    const std::string dir = SimTempDir("golden_capture");
    for (const char* f : {"/frame-3.png", "/frame-60.png"})
        std::filesystem::remove(dir + f);
    SimRun r = RunSim("golden_capture",
                      "--renderer gl --frames 60 --capture 3,60 --capture-dir '" + dir + "'", "", false);
    ASSERT_EQ(r.status, 0) << r.err;
    auto brightest = [&](const char* file) {
        int w = 0, h = 0;
        std::vector<uint8_t> rgb;
        EXPECT_TRUE(ReadPngRgb(dir + file, w, h, rgb)) << file;
        EXPECT_EQ(w, 1024);
        EXPECT_EQ(h, 768);
        int most = 0;
        for (uint8_t v : rgb)
            most = std::max<int>(most, v);
        return most;
    };
    // In the first second the whole screen is covered in black; in the second
    // the cover is at half strength, so the white menu text shows at half brightness.
    EXPECT_EQ(brightest("/frame-3.png"), 0);
    const int half = brightest("/frame-60.png");
    EXPECT_GT(half, 100);
    EXPECT_LT(half, 200);

    // The same frames raw, through a range with a step, are the pictures' pixels.
    const std::string raw = dir + "/frames.raw";
    std::filesystem::remove(raw);
    SimRun rr = RunSim("golden_capture_raw",
                       "--renderer gl --frames 60 --capture 3-60/57 --capture-raw '" + raw + "'", "", false);
    ASSERT_EQ(rr.status, 0) << rr.err;
    const std::string bytes = ReadFile(raw);
    ASSERT_EQ(bytes.size(), 2u * 1024u * 768u * 3u);
    std::size_t at = 0;
    for (const char* file : {"/frame-3.png", "/frame-60.png"}) {
        int w = 0, h = 0;
        std::vector<uint8_t> rgb;
        ASSERT_TRUE(ReadPngRgb(dir + file, w, h, rgb));
        EXPECT_TRUE(std::equal(rgb.begin(), rgb.end(), reinterpret_cast<const uint8_t*>(bytes.data()) + at))
            << file;
        at += rgb.size();
    }
}

} // namespace
