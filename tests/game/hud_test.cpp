// The HUD, the score table order and the ranking, run against the recording
// 2D driver in virtual time.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "assets/embedded_assets.h"
#include "game/globals.h"
#include "game/hud.h"
#include "game/ranking.h"
#include "game/player.h"
#include "game/results.h"
#include "game/startup.h"
#include "graphics/canvas.h"
#include "graphics/recording_canvas.h"
#include "platform/random.h"
#include "sim/input_script.h"
#include "sim/virtual_clock.h"
#include "sim/virtual_display.h"

namespace {

class Hud : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (started_) return;
        clock_ = UseVirtualClock(100000);
        display_ = UseVirtualDisplay(TVirtualRenderer::NUL, clock_);
        input_ = std::make_unique<TScriptedInput>();
        input_->Install();
        RegisterEmbeddedAssets();
        StartUp(nullptr);
        started_ = true;
    }
    void SetUp() override {
        ASSERT_TRUE(display_);
        ResetGameState();
    }
    TRecordingCanvasDriver* Recorder() {
        return dynamic_cast<TRecordingCanvasDriver*>(display_->canvas.get());
    }

    static inline bool started_ = false;
    static inline std::shared_ptr<TVirtualClock> clock_;
    static inline std::shared_ptr<TVirtualDisplay> display_;
    static inline std::unique_ptr<TScriptedInput> input_;
};

std::vector<int> Places() {
    std::vector<int> out;
    for (int n = 1; n <= 4; ++n)
        out.push_back(players[n]->score_index);
    return out;
}

TEST_F(Hud, SortScoreRowsPutsHumansFirstInPlayerOrder) {
    humans = {0, 0, 1, 0, 1};
    CreatePlayers();
    SortScoreRows();
    // Players 2 and 4 are human: places 1 and 2; then the computer's 1 and 3.
    EXPECT_EQ(Places(), (std::vector<int>{3, 1, 4, 2}));
    for (int n = 1; n <= 4; ++n)
        EXPECT_NE(players[n]->charge, -1);

    cpu_active = 0;
    CreatePlayers();
    SortScoreRows();
    EXPECT_EQ(players[1]->charge, -1);
    EXPECT_EQ(players[3]->charge, -1);
    EXPECT_NE(players[2]->charge, -1);
    EXPECT_NE(players[4]->charge, -1);
}

TEST_F(Hud, RankResultsOrdersByScoreAndTiesKeepTheirPlaces) {
    players[1]->score = 10;
    players[2]->score = 30;
    players[3]->score = 10;
    players[4]->score = 30;
    RankResults();
    EXPECT_EQ(Places(), (std::vector<int>{3, 1, 4, 2}));
    // Player 3 takes the lead; then player 1 draws level with it and stays second.
    players[3]->score = 50;
    RankResults();
    EXPECT_EQ(Places(), (std::vector<int>{4, 2, 1, 3}));
    players[1]->score = 50;
    RankResults();
    EXPECT_EQ(Places(), (std::vector<int>{2, 3, 1, 4}));

    // Every message names its player by colour and comes from the row of the player's place.
    const char* names[] = {"", "Green", "Yellow", "Blue", "Red"};
    for (int n = 1; n <= 4; ++n) {
        const TPlayer& p = *players[n];
        EXPECT_NE(p.result.find(names[n]), std::string::npos) << p.result;
        bool from_row = false;
        for (int v = 0; v <= 4; ++v)
            if (FillResultMessage(result_msg[p.score_index][v], names[n]) == p.result) from_row = true;
        EXPECT_TRUE(from_row) << p.result;
    }
}

TEST_F(Hud, FillResultMessageReplacesOnlyTheFirstDollar) {
    EXPECT_EQ(FillResultMessage("$: 'Today 2nd'", "Blue"), "Blue: 'Today 2nd'");
    EXPECT_EQ(FillResultMessage("Hey $, $", "Red"), "Hey Red, $");
    EXPECT_EQ(FillResultMessage("no mark", "Red"), "no mark");
    EXPECT_EQ(FillResultMessage("", "Red"), "");
}

TEST_F(Hud, DrawHudLeavesTheRestingStateBehind) {
    humans = {0, 1, 0, 0, 0};
    CreatePlayers();
    attract_mode = 1;
    SetBlend(BLEND_ALPHA);
    DrawHud();
    EXPECT_EQ(GetBlend(), BLEND_LIGHT);
    int r = 0, g = 0, b = 0;
    GetColor(r, g, b);
    EXPECT_EQ(r + g + b, 3 * 255);
    // Without the clock panel the alpha stays at the last box's: player 4 is a CPU.
    EXPECT_FLOAT_EQ(GetAlpha(), 0.25f);

    attract_mode = 0;
    seconds = 5; // the big fading copy in the playfield scales the text by 2
    DrawHud();
    EXPECT_FLOAT_EQ(GetAlpha(), 1.0f);
    float sx = 0, sy = 0;
    GetDrawScale(sx, sy);
    EXPECT_FLOAT_EQ(sx, 1.0f);
    EXPECT_FLOAT_EQ(sy, 1.0f);
}

TEST_F(Hud, DrawBoxDrawsLeftRightTopBottomWithTheirLastPixels) {
    TRecordingCanvasDriver* rec = Recorder();
    ASSERT_NE(rec, nullptr);
    SetLineWidth(1);
    rec->logging = true;
    rec->ClearLog();
    DrawBox(10, 20, 110, 220);
    rec->logging = false;
    std::vector<TCanvasRecord> lines = rec->Entries("lines");
    ASSERT_EQ(lines.size(), 4u);
    auto is = [](const TCanvasRecord& e, float x1, float y1, float x2, float y2) {
        return e.v.size() >= 4 && std::abs(e.v[0] - x1) < 1 && std::abs(e.v[1] - y1) < 1 &&
               std::abs(e.v[2] - x2) < 1 && std::abs(e.v[3] - y2) < 1;
    };
    EXPECT_TRUE(is(lines[0], 10, 20, 10, 220)) << lines[0].ToString();
    EXPECT_TRUE(is(lines[1], 110, 20, 110, 220)) << lines[1].ToString();
    EXPECT_TRUE(is(lines[2], 10, 20, 110, 20)) << lines[2].ToString();
    EXPECT_TRUE(is(lines[3], 10, 220, 110, 220)) << lines[3].ToString();
    EXPECT_EQ(rec->Entries("points").size(), 4u); // each edge's last pixel
    SetLineWidth(2);
}

TEST_F(Hud, ResultsGlideOnlyTheShownPlayersBoxes) {
    humans = {0, 1, 0, 0, 0};
    cpu_active = 0;
    CreatePlayers();
    SortScoreRows();
    seconds = -1;
    for (int j = 1; j <= 10; ++j)
        ResultsFrame(j);
    EXPECT_EQ(players[1]->score_y, -32 + 40); // place 1: gliding 4 pixels a frame towards 52
    for (int n = 2; n <= 4; ++n)
        EXPECT_EQ(players[n]->score_y, -32) << n;

    // One step of 4 pixels a frame, even when it passes the row: a box 2
    // pixels short of it must not stand still.
    players[1]->score_y = 52 - 2;
    ResultsFrame(11);
    EXPECT_EQ(players[1]->score_y, 52 + 2);
    ResultsFrame(12);
    EXPECT_EQ(players[1]->score_y, 52 - 2);
    SetAlpha(1);
}

TEST_F(Hud, ResultsShowEmptyLinesWhenNothingWasHitAndNoLinesForIdleSeats) {
    TRecordingCanvasDriver* rec = Recorder();
    ASSERT_NE(rec, nullptr);
    humans = {0, 1, 1, 0, 0};
    cpu_active = 0;
    CreatePlayers();
    SortScoreRows();
    seconds = -1;
    // Glyphs and pictures drawn by one results frame.
    auto drawn = [&]() {
        clock_->Set(100000); // the leader's blink stays in the same phase
        rec->logging = true;
        rec->ClearLog();
        ResultsFrame(100);
        rec->logging = false;
        return rec->Entries("image").size();
    };
    const std::size_t empty = drawn(); // no volley hit anything: every result is ""
    players[3]->result = "A line for an idle seat";
    EXPECT_EQ(drawn(), empty); // computer players are off: no line for player 3
    players[1]->result = "Way to go, Green!";
    EXPECT_GT(drawn(), empty);
    SetAlpha(1);
}

} // namespace
