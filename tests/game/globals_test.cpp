// ResetGameState: the one reset that every game test fixture starts from, so
// that no test depends on what ran before it in the same program.
#include <gtest/gtest.h>

#include <array>
#include <memory>

#include "game/bubble.h"
#include "game/effects.h"
#include "game/figures.h"
#include "game/frame.h"
#include "game/globals.h"
#include "game/player.h"

TEST(GameState, ResetGameStateUndoesWhateverRanBefore) {
    ResetGameState();
    // Everything that the screens, the options and the playfield change, changed.
    bubble_radius = {};
    melody = {};
    humans = {0, 1, 1, 1, 1};
    attract_mode = 1;
    cpu_active = 0;
    catchup_active = 1;
    round_length = 60;
    seconds = -1;
    tick_time = 1234;
    countdown_end = 9;
    option_sel = 2;
    hold_count = 50;
    option_time = 777;
    logo_count = 7;
    fade = 0.3f;
    melody_pos = 17;
    game_screen = TScreen::RESULTS;
    RestoreFigure(FIGURE_B);
    ReadFigureRecord();
    CreateBubble(100.0f, 100.0f, 1, 0, 1.0f, 1.0f);
    particles.Append(std::make_shared<TRing>());
    players[1]->score = 500;
    players[1]->score_index = 4;
    players[2]->human = 1;

    ResetGameState();
    EXPECT_EQ(bubble_radius[1], 64);
    EXPECT_EQ(melody[23], 12);
    EXPECT_EQ(humans, (std::array<int, 5>{0, 0, 0, 0, 0}));
    EXPECT_EQ(attract_mode, 0);
    EXPECT_EQ(cpu_active, 1);
    EXPECT_EQ(catchup_active, 0);
    EXPECT_EQ(round_length, 180);
    EXPECT_EQ(seconds, 0);
    EXPECT_EQ(tick_time, 0);
    EXPECT_EQ(countdown_end, 0);
    EXPECT_EQ(option_sel, 0);
    EXPECT_EQ(hold_count, 0);
    EXPECT_EQ(option_time, 0);
    EXPECT_EQ(logo_count, 0);
    EXPECT_EQ(fade, 1.0f);
    EXPECT_EQ(melody_pos, 0);
    EXPECT_EQ(game_screen, TScreen::NONE);
    const TFigureRecord first = ReadFigureRecord();
    EXPECT_EQ(first.x1, FigureTable(FIGURE_A)[0].x1);
    EXPECT_EQ(first.y1, FigureTable(FIGURE_A)[0].y1);
    EXPECT_TRUE(bubbles.Empty());
    EXPECT_TRUE(particles.Empty());
    for (int n = 1; n <= 4; ++n) {
        ASSERT_TRUE(players[n]) << n;
        EXPECT_EQ(players[n]->human, 0) << n;
        EXPECT_EQ(players[n]->score, 0) << n;
        EXPECT_EQ(players[n]->score_index, n) << n;
    }
    ResetGameState(); // the figure reader moved on above
}
