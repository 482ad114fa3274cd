// The HUD, the score table order, the ranking, the attract screen's options
// menu and the results panel, run against the recording 2D driver in virtual
// time.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "assets/embedded_assets.h"
#include "game/attract.h"
#include "game/globals.h"
#include "game/hud.h"
#include "game/ranking.h"
#include "game/player.h"
#include "game/results.h"
#include "game/startup.h"
#include "graphics/canvas.h"
#include "graphics/font.h"
#include "graphics/recording_canvas.h"
#include "platform/event.h"
#include "platform/input.h"
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

// The values of the last `op` entry before entry `at` of the log: the colour
// or blend in force when that entry was drawn.
std::vector<float> InForce(const TRecordingCanvasDriver& rec, std::size_t at, const std::string& op) {
    std::vector<float> v;
    for (std::size_t i = 0; i < at && i < rec.log.size(); ++i)
        if (rec.log[i].op == op) v = rec.log[i].v;
    return v;
}

std::vector<float> Rgb(const std::vector<float>& colour) {
    return colour.size() >= 3 ? std::vector<float>(colour.begin(), colour.begin() + 3) : colour;
}

// Log positions of the quads whose first corner is (x, y).
std::vector<std::size_t> QuadsFrom(const TRecordingCanvasDriver& rec, float x, float y) {
    std::vector<std::size_t> out;
    for (std::size_t i = 0; i < rec.log.size(); ++i)
        if (rec.log[i].op == "quads" && rec.log[i].v[0] == x && rec.log[i].v[1] == y) out.push_back(i);
    return out;
}

// Log positions where the glyph pictures of `text`, drawn in `font` with its
// top-left at (x, y), follow one another. The glyphs it should give are drawn
// aside (the log is kept); the current font is put back.
std::vector<std::size_t> TextAt(TRecordingCanvasDriver& rec, const std::shared_ptr<TImageFont>& font,
                                const std::string& text, float x, float y) {
    const std::vector<TCanvasRecord> kept = rec.log;
    const TImageFontPtr was = CurrentImageFont();
    SelectImageFont(font);
    rec.logging = true;
    rec.ClearLog();
    DrawString(text, x, y);
    std::vector<TCanvasRecord> glyphs = rec.Entries("image");
    rec.logging = false;
    rec.log = kept;
    SelectImageFont(was);
    std::vector<std::size_t> out;
    if (glyphs.empty()) return out;
    for (std::size_t i = 0; i < rec.log.size(); ++i) {
        if (rec.log[i].op != "image") continue;
        std::size_t at = i, g = 0;
        for (; at < rec.log.size() && g < glyphs.size(); ++at) {
            if (rec.log[at].op != "image") continue;
            if (rec.log[at].v != glyphs[g].v) break;
            ++g;
        }
        if (g == glyphs.size()) out.push_back(i);
    }
    return out;
}

// Where DrawCentred puts `text` in `font` about x.
float CentredX(const std::shared_ptr<TImageFont>& font, const std::string& text, int x) {
    const TImageFontPtr was = CurrentImageFont();
    SelectImageFont(font);
    const int w = StringWidth(text);
    SelectImageFont(was);
    return static_cast<float>(x - w / 2);
}

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

TEST_F(Hud, OptionsMenuDrawsTheHoldBarTheTapHintAndTheBlinkingMark) {
    TRecordingCanvasDriver* rec = Recorder();
    ASSERT_NE(rec, nullptr);
    clock_->Set(100000);
    EnterAttractScreen();
    seconds = 3; // past the first second, which swallows every press
    countdown_end = seconds + 5;
    SelectImageFont(fnt_small);
    auto frame = [&](int ms) {
        clock_->Set(ms);
        rec->logging = true;
        rec->ClearLog();
        AttractFrame();
        rec->logging = false;
    };
    const std::vector<float> dim{0, 128, 0}, bright{0, 255, 0};
    // The marks of the current values: 3 minutes, computer players on, catch-up off.
    auto mark = [&](float x, float y) {
        const std::vector<std::size_t> at = QuadsFrom(*rec, x, y);
        return at.size() == 1 ? Rgb(InForce(*rec, at[0], "color")) : std::vector<float>{};
    };

    // P1 held: the bar grows 4.6 pixels a frame, drawn before the frame counts its hold.
    input_->Driver().Push(EVENT_KEYDOWN, KEY_SPACE);
    for (int k = 0; k < 50; ++k) {
        frame(100000 + 20 * k);
        const std::vector<std::size_t> bar = QuadsFrom(*rec, 780, 700);
        ASSERT_EQ(bar.size(), 1u) << k;
        const std::vector<float>& v = rec->log[bar[0]].v;
        EXPECT_NEAR(v[2] - 780, 4.6 * k, 0.01) << k;
        EXPECT_EQ(v[5] - 700, 25) << k;
        EXPECT_EQ(Rgb(InForce(*rec, bar[0], "color")), dim) << k;
        EXPECT_EQ(TextAt(*rec, fnt_small, "Hold P1 for options.", 790, 705).size(), 1u) << k;
        EXPECT_TRUE(TextAt(*rec, fnt_small, "Tap P1 to select.", 805, 705).empty()) << k;
        // The press joined P1 (seen from the next frame on); the join hint gives way
        // once the hold is half done.
        const std::size_t hint = k >= 1 && k < 25 ? 1 : 0;
        EXPECT_EQ(TextAt(*rec, fnt_small, "Quick: Join before", 794, 600).size(), hint) << k;
        EXPECT_EQ(mark(935, 345), dim) << k; // nothing blinks while the menu is closed
    }
    ASSERT_EQ(option_sel, 1);

    // Open: the tap hint, the bar across the whole hold box, and the round-length
    // mark bright for the first 250 ms of every half second, dim for the rest.
    const struct {
        int ms;
        bool lit;
    } phases[] = {{101000, true}, {101249, true}, {101250, false}, {101499, false}, {101500, true}};
    for (const auto& ph : phases) {
        frame(ph.ms);
        EXPECT_EQ(TextAt(*rec, fnt_small, "Tap P1 to select.", 805, 705).size(), 1u) << ph.ms;
        EXPECT_TRUE(TextAt(*rec, fnt_small, "Hold P1 for options.", 790, 705).empty()) << ph.ms;
        const std::vector<std::size_t> bar = QuadsFrom(*rec, 780, 700);
        ASSERT_EQ(bar.size(), 1u);
        EXPECT_NEAR(rec->log[bar[0]].v[2], 1010, 0.01);
        EXPECT_EQ(mark(935, 345), ph.lit ? bright : dim) << ph.ms;
        EXPECT_EQ(mark(830, 425), dim) << ph.ms;
        EXPECT_EQ(mark(900, 505), dim) << ph.ms;
    }
    EXPECT_EQ(option_sel, 1);
    EXPECT_EQ(round_length, 180); // no step yet: 1.5 s have not passed
    input_->Driver().Push(EVENT_KEYUP, KEY_SPACE);
    ClearKeyState();
}

TEST_F(Hud, ResultsFrameDrawsThePanelTimeUpAndEachPlayersLine) {
    TRecordingCanvasDriver* rec = Recorder();
    ASSERT_NE(rec, nullptr);
    humans = {0, 0, 1, 0, 0};
    CreatePlayers();
    SortScoreRows(); // player 2 in place 1, then the computer's 1, 3, 4
    seconds = -1;
    for (int n = 1; n <= 4; ++n)
        players[n]->result = "Line of player " + std::to_string(n);
    auto frame = [&](int j) {
        rec->logging = true;
        rec->ClearLog();
        const int drawn = ResultsFrame(j);
        rec->logging = false;
        return drawn;
    };
    // The panel fades in over 50 frames, stands at 0.75 and fades out over the last 50.
    const struct {
        int j;
        float alpha;
    } fades[] = {{20, 0.3f}, {100, 0.75f}, {280, 0.3f}};
    for (const auto& f : fades) {
        EXPECT_EQ(frame(f.j), f.j);
        const std::vector<std::size_t> panel = QuadsFrom(*rec, 50, 230);
        ASSERT_EQ(panel.size(), 1u) << f.j;
        EXPECT_EQ(rec->log[panel[0]].v[4], 718);
        EXPECT_EQ(rec->log[panel[0]].v[5], 520);
        const std::vector<float> colour = InForce(*rec, panel[0], "color");
        ASSERT_EQ(colour.size(), 4u);
        EXPECT_EQ(Rgb(colour), (std::vector<float>{25, 0, 25})) << f.j;
        EXPECT_NEAR(colour[3], f.alpha * 255, 1) << f.j;
        EXPECT_EQ(InForce(*rec, panel[0], "blend"), std::vector<float>{BLEND_ALPHA}) << f.j;
    }

    frame(100);
    // Two cyan outlines, one 4 pixels outside the other: eight edges in all.
    float x0 = 1e9f, y0 = 1e9f, x1 = -1e9f, y1 = -1e9f;
    int edges = 0;
    for (std::size_t i = 0; i < rec->log.size(); ++i) {
        if (rec->log[i].op != "lines" || Rgb(InForce(*rec, i, "color")) != std::vector<float>{0, 255, 255})
            continue;
        ++edges;
        const std::vector<float>& v = rec->log[i].v;
        x0 = std::min({x0, v[0], v[2]}), x1 = std::max({x1, v[0], v[2]});
        y0 = std::min({y0, v[1], v[3]}), y1 = std::max({y1, v[1], v[3]});
    }
    EXPECT_EQ(edges, 8);
    EXPECT_EQ(x0, 46.5f);
    EXPECT_EQ(y0, 226.5f);
    EXPECT_EQ(x1, 722.5f);
    EXPECT_EQ(y1, 524.5f);
    // TIME UP! twice in red in the digital font, centred over the playfield.
    const std::vector<std::size_t> time_up =
        TextAt(*rec, fnt_digital, "TIME UP!", CentredX(fnt_digital, "TIME UP!", 384), 250);
    ASSERT_EQ(time_up.size(), 2u);
    for (std::size_t at : time_up)
        EXPECT_EQ(Rgb(InForce(*rec, at, "color")), (std::vector<float>{255, 0, 0}));
    // Each shown player's line in its bright colour, on the row of its place.
    for (int n = 1; n <= 4; ++n) {
        const std::string& line = players[n]->result;
        const std::vector<std::size_t> at = TextAt(*rec, fnt_medium, line, CentredX(fnt_medium, line, 384),
                                                   static_cast<float>(players[n]->score_index * 40 + 310));
        ASSERT_EQ(at.size(), 1u) << n;
        const TRgb& c = col_bright[n];
        EXPECT_EQ(
            Rgb(InForce(*rec, at[0], "color")),
            (std::vector<float>{static_cast<float>(c.r), static_cast<float>(c.g), static_cast<float>(c.b)}))
            << n;
    }

    // ESC jumps to the last frame, whose panel has faded out completely.
    input_->Driver().Push(EVENT_KEYDOWN, KEY_ESCAPE);
    input_->Driver().Push(EVENT_KEYUP, KEY_ESCAPE);
    EXPECT_EQ(frame(100), 300);
    const std::vector<std::size_t> panel = QuadsFrom(*rec, 50, 230);
    ASSERT_EQ(panel.size(), 1u);
    const std::vector<float> colour = InForce(*rec, panel[0], "color");
    ASSERT_EQ(colour.size(), 4u);
    EXPECT_EQ(colour[3], 0);
    SetAlpha(1);
}

} // namespace
