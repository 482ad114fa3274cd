// Late frames dropped while the game plays: the game runs every step of a
// dropped frame, so its state is the same frame by frame as in a run where
// nothing was late, and a long stall is not fast-forwarded.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "audio/sound_log.h"
#include "game/attract.h"
#include "game/frame.h"
#include "game/globals.h"
#include "game/playfield.h"
#include "game/round.h"
#include "graphics/graphics.h"
#include "platform/random.h"
#include "sim/input_script.h"
#include "sim/trace.h"
#include "sim/virtual_clock.h"
#include "sim/virtual_display.h"
#include "support/gl_fixture.h"

namespace {

class DroppedFrames : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        clock_ = UseVirtualClock(100000);
        display_ = UseVirtualDisplay(TVirtualRenderer::NUL, clock_);
        input_ = std::make_unique<TScriptedInput>();
        input_->Install();
        StartGameQuietly();
        SoundLogEnable(true); // the sounds each frame starts are part of its record
    }

    struct TRun {
        std::vector<std::string> trace; // the game state after each frame
        std::vector<int> clock;         // the clock during each frame
        std::set<int> dropped;          // frames neither rasterised nor presented
        long presented = 0;
    };

    // An attract screen then a round with two joined players, from the same
    // start every time. Frame k (from 1) of `late` takes `late[k]` ms more
    // than a display frame.
    static TRun Play(const std::map<int, int>& late) {
        clock_->Set(100000);
        SetRandomSeed(1234);
        ResetGameState();
        FillMessage();
        AddStartingBubbles();
        SoundLogDrain();
        EnterAttractScreen();
        TRun run;
        int k = 0;
        SetBeforeFlipHook([&](long) {
            if (auto it = late.find(k); it != late.end()) clock_->Advance(it->second);
        });
        const long flips = display_->display->flips;
        auto frame = [&](auto step) {
            ++k;
            if (FrameDropped()) run.dropped.insert(k);
            run.clock.push_back(clock_->Millis());
            step();
            EndFrame();
            std::string state = TraceFrame(k);
            run.trace.push_back(std::move(state));
        };
        for (int i = 0; i < 150; ++i)
            frame([] { AttractFrame(); });
        humans = {0, 1, 0, 1, 0};
        SetUpRound();
        game_screen = TScreen::ROUND;
        tick_time = clock_->Millis();
        for (int i = 0; i < 250; ++i)
            frame([] { RoundFrame(); });
        SetBeforeFlipHook(nullptr);
        run.presented = display_->display->flips - flips;
        return run;
    }

    static inline std::shared_ptr<TVirtualClock> clock_;
    static inline std::shared_ptr<TVirtualDisplay> display_;
    static inline std::unique_ptr<TScriptedInput> input_;
};

// The trace without its clock field: the one thing a late frame changes.
std::string WithoutClock(const std::string& record) {
    static const std::regex clock_field("\"clock\":-?[0-9]+,?");
    return std::regex_replace(record, clock_field, "");
}

TEST_F(DroppedFrames, DroppedFramesChangeNoGameState) {
    const TRun reference = Play({});
    EXPECT_TRUE(reference.dropped.empty()); // the virtual display never runs late
    EXPECT_EQ(reference.presented, 400);
    // A frame one display frame late in the attract screen, one two frames
    // late in the round; both clear of the one-second ticks, which read the
    // clock (ahead of schedule, a tick could come a frame early).
    const std::set<int> late_frames = {60, 220};
    const TRun late = Play({{60, 20}, {220, 40}});
    EXPECT_EQ(late.dropped, (std::set<int>{61, 221, 222}));
    EXPECT_EQ(late.presented, 397);
    ASSERT_EQ(late.trace.size(), reference.trace.size());
    for (size_t i = 0; i < reference.trace.size(); ++i) {
        const int k = static_cast<int>(i) + 1;
        // The frames after a late one read the clock ahead of schedule; every
        // other frame is exactly on schedule again.
        if (late.dropped.count(k)) {
            EXPECT_GT(late.clock[i], reference.clock[i]) << "frame " << k;
        } else {
            EXPECT_EQ(late.clock[i], reference.clock[i]) << "frame " << k;
        }
        // The records hold the clock after the flip: ahead from a late frame
        // until the game has caught up.
        if (late_frames.count(k) || late.dropped.count(k)) {
            EXPECT_EQ(WithoutClock(late.trace[i]), WithoutClock(reference.trace[i])) << "frame " << k;
        } else {
            EXPECT_EQ(late.trace[i], reference.trace[i]) << "frame " << k;
        }
    }
}

TEST_F(DroppedFrames, AStallOfASecondIsNotFastForwarded) {
    const TRun stalled = Play({{200, 1000}});
    EXPECT_TRUE(stalled.dropped.empty());
    // After the stall the frames go on one display frame apart.
    for (size_t i = 200; i + 1 < stalled.clock.size(); ++i)
        EXPECT_EQ(stalled.clock[i + 1] - stalled.clock[i], 20) << "frame " << i + 1;
}

} // namespace
