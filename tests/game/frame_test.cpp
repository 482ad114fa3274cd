// The end of a game frame: hooks around the flip, frame numbers, virtual time.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game/frame.h"
#include "graphics/canvas.h"
#include "graphics/graphics.h"
#include "sim/virtual_clock.h"
#include "sim/virtual_display.h"

namespace {

TEST(Frame, EndFrameFlipsBetweenItsHooksAndCountsGameFrames) {
    auto clock = UseVirtualClock(5000);
    auto display = UseVirtualDisplay(TVirtualRenderer::NUL, clock);
    ASSERT_TRUE(display);
    SelectGraphicsDriver(Canvas2DDriver(), GFX_DOUBLE_BUFFER);
    ASSERT_TRUE(OpenGraphics(1024, 768, 32, 50, 0));

    std::vector<std::string> seen;
    const long first = GameFrameCount() + 1;
    SetBeforeFlipHook([&](long k) {
        seen.push_back("before " + std::to_string(k - first) + " " + std::to_string(clock->Millis()));
    });
    SetAfterFlipHook([&](long k) {
        seen.push_back("after " + std::to_string(k - first) + " " + std::to_string(clock->Millis()));
    });
    const int t = clock->Millis();
    EndFrame();
    EndFrame();
    SetBeforeFlipHook(nullptr);
    SetAfterFlipHook(nullptr);
    EndFrame(); // no hooks: still a frame
    EXPECT_EQ(GameFrameCount(), first + 2);
    // Each game frame's flip is one 50 Hz display frame: 20 ms between the hooks.
    const std::vector<std::string> want = {
        "before 0 " + std::to_string(t), "after 0 " + std::to_string(t + 20),
        "before 1 " + std::to_string(t + 20), "after 1 " + std::to_string(t + 40)};
    EXPECT_EQ(seen, want);
    EXPECT_STREQ(ScreenName(TScreen::RESULTS), "results");
    EXPECT_STREQ(ScreenName(TScreen::COUNTDOWN), "countdown");
}

TEST(Frame, AnAfterFlipHookMayStopTheGame) {
    struct Stop {};
    SetAfterFlipHook([](long) { throw Stop{}; });
    EXPECT_THROW(EndFrame(), Stop);
    SetAfterFlipHook(nullptr);
    EXPECT_NO_THROW(EndFrame());
}

} // namespace
