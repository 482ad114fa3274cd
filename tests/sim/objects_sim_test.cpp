// Whole-game runs of the simulator, read back from the trace: the bases,
// bubbles and effects of real rounds and of the attract screen's
// demonstration follow their rules frame after frame, and runs repeat.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "sim_runner.h"

namespace {

const int melody[32] = {0, 2, 4, 5, 7, 4, 7, 7,  6, 3, 6, 6, 5, 2, 5, 5,
                        0, 2, 4, 5, 7, 4, 7, 12, 7, 4, 0, 4, 7, 7, 7, 7};
const float bubble_scale[4] = {0.0f, 1.0f, 0.6f, 0.3f};
const int bubble_radius[4] = {0, 64, 32, 16};

// Player 1 joins at frame 60; the round starts about 450 frames later (join
// countdown, fade, start countdown). Player 1 then taps the switch now and
// again, only once the round is under way.
std::string JoinAndTapScript(std::vector<long>& taps) {
    std::string s = "60 key-down 32\n61 key-up 32\n";
    for (long k = 700; k < 2400; k += 37 + (k % 11)) {
        taps.push_back(k);
        s += std::to_string(k) + " key-down 32\n" + std::to_string(k + 1) + " key-up 32\n";
    }
    return s;
}

// Rings and glows made in this frame have been updated exactly once.
bool NewRing(const JValue& p) {
    return p["kind"].str == "ring" && std::fabs(p["alpha"].num - 0.495) < 1e-6;
}
bool NewGlow(const JValue& p) {
    return p["kind"].str == "glow" && std::fabs(p["alpha"].num - 0.925) < 1e-6;
}

std::vector<const JValue*> Sounds(const JValue& f, const std::string& name) {
    std::vector<const JValue*> out;
    for (const JValue& s : f["sounds"].arr)
        if (s["snd"].str == name) out.push_back(&s);
    return out;
}

// Where a base should be after one move from (pos, speed), turned first when `flip`.
void Move(int pos, int speed, bool flip, int& new_pos, int& new_speed) {
    const int step = flip ? -speed : speed;
    const int raw = pos + step;
    new_speed = (raw < 64 || raw > 704) ? -step : step;
    new_pos = raw < 64 ? 64 : (raw > 704 ? 704 : raw);
}

} // namespace

TEST(SimObjects, RoundFollowsTheRulesOfBasesLaserBubblesAndEffects) {
    std::vector<long> taps;
    SimRun run = RunSim("objects_round", "--frames 2400 --clock-start 30000", JoinAndTapScript(taps));
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_EQ(run.frames.size(), 2400u);
    const long start = run.Find([](const JValue& f) { return f["screen"].str == "round"; });
    ASSERT_GT(start, 0);

    int volleys = 0, pops = 0, short_circuits = 0, human_flips = 0, pieces_seen = 0;
    for (long k = start + 1; k <= 2400; ++k) {
        const JValue& prev = run.Frame(k - 1);
        const JValue& f = run.Frame(k);
        if (f["screen"].str != "round") break;
        SCOPED_TRACE("frame " + std::to_string(k));
        const bool tapped = std::find(taps.begin(), taps.end(), k) != taps.end();

        // Bases: charge, volleys, movement.
        std::vector<int> firing;
        for (int n = 0; n < 4; ++n) {
            const JValue& a = prev["players"][n];
            const JValue& b = f["players"][n];
            int charge = a["charge"].Int() + a["catchup"].Int() + 1;
            if (charge == 100) {
                firing.push_back(n + 1);
                charge = b["catchup"].Int() == 1 ? 4 : 0;
            }
            // Bubbles may then have short-circuited it, 200 at a time.
            const int lost = charge - b["charge"].Int();
            ASSERT_GE(lost, 0);
            ASSERT_EQ(lost % 200, 0);
            if (lost > 0) {
                ASSERT_GT(charge, 0) << "a base at 0 or below is immune";
                ++short_circuits;
            }
            const bool horizontal = n < 2;
            const int pos = horizontal ? a["x"].Int() : a["y"].Int();
            const int speed = horizontal ? a["dx"].Int() : a["dy"].Int();
            const int new_pos = horizontal ? b["x"].Int() : b["y"].Int();
            const int new_speed = horizontal ? b["dx"].Int() : b["dy"].Int();
            EXPECT_EQ(horizontal ? b["y"].Int() : b["x"].Int(), (n == 0 || n == 3) ? 752 : 16);
            int p0, s0, p1, s1;
            Move(pos, speed, false, p0, s0);
            Move(pos, speed, true, p1, s1);
            if (n == 0) {
                // The human base turns exactly when its switch was tapped.
                EXPECT_EQ(new_pos, tapped ? p1 : p0);
                EXPECT_EQ(new_speed, tapped ? s1 : s0);
                human_flips += tapped ? 1 : 0;
            } else {
                EXPECT_TRUE((new_pos == p0 && new_speed == s0) || (new_pos == p1 && new_speed == s1));
            }
        }

        // The tune: one note per volley, in order.
        const auto notes = Sounds(f, "fiddle");
        ASSERT_EQ(notes.size(), firing.size());
        int pos = prev["melody_pos"].Int();
        for (const JValue* note : notes) {
            EXPECT_NEAR(note->operator[]("rate").num, std::pow(2.0, melody[pos] / 12.0), 1e-6);
            pos = (pos + 1) % 32;
        }
        EXPECT_EQ(f["melody_pos"].Int(), pos);
        volleys += static_cast<int>(firing.size());

        // Each volley leaves its glow, in firing order.
        std::vector<int> glows;
        std::vector<const JValue*> rings;
        for (const JValue& p : f["particles"].arr) {
            if (NewGlow(p)) glows.push_back(p["index"].Int());
            if (NewRing(p)) rings.push_back(&p);
        }
        EXPECT_EQ(glows, firing);

        // Each popped bubble: a ring with the points, a pop at its place, the
        // points on the shooter's score, two pieces unless it was smallest.
        const auto pop_sounds = Sounds(f, "pop");
        ASSERT_EQ(pop_sounds.size(), rings.size());
        int points[5] = {0, 0, 0, 0, 0};
        int expected_pieces[5] = {0, 0, 0, 0, 0};
        for (std::size_t i = 0; i < rings.size(); ++i) {
            const JValue& r = *rings[i];
            const int size = static_cast<int>(r["scale2"].num);
            ASSERT_GE(size, 1);
            ASSERT_LE(size, 3);
            const int shooter = r["s_col"].Int();
            ASSERT_NE(std::find(firing.begin(), firing.end(), shooter), firing.end());
            const int owner = r["index"].Int();
            const int base = size * 10;
            const int want = owner == 0 ? base : (owner == shooter ? base * 2 : base / 2);
            EXPECT_EQ(r["s_text"].str, std::to_string(want));
            points[shooter] += want;
            if (size < 3) expected_pieces[shooter] += 2;
            EXPECT_NEAR(r["scale"].num, bubble_scale[size] + 0.02 / size, 1e-5);
            EXPECT_NEAR(pop_sounds[i]->operator[]("rate").num, 1.5 - bubble_scale[size], 1e-6);
            EXPECT_NEAR(pop_sounds[i]->operator[]("pan").num, 0.0026 * (r["x"].num - 384.0), 1e-5);
        }
        pops += static_cast<int>(rings.size());
        for (int n = 0; n < 4; ++n)
            EXPECT_EQ(f["players"][n]["score"].Int() - prev["players"][n]["score"].Int(), points[n + 1]);

        // Bubbles: in bounds, speeds of at least 1, counters in range; the
        // pieces of this frame's pops have faded in by one step.
        int pieces[5] = {0, 0, 0, 0, 0};
        for (const JValue& b : f["bubbles"].arr) {
            const int size = b["size"].Int();
            ASSERT_GE(size, 1);
            ASSERT_LE(size, 3);
            const double r = bubble_radius[size];
            EXPECT_GE(b["x"].num, r);
            EXPECT_LE(b["x"].num, 768 - r);
            EXPECT_GE(b["y"].num, r);
            EXPECT_LE(b["y"].num, 768 - r);
            EXPECT_GE(std::fabs(b["dx"].num), 1.0);
            EXPECT_GE(std::fabs(b["dy"].num), 1.0);
            const int fadein = b["fadein"].Int();
            EXPECT_EQ(fadein % 2, 0);
            // A size-1 bubble added at the end of the frame has not moved yet.
            EXPECT_LE(fadein, size == 1 ? 100 : 28);
            const int owned = b["owned"].Int();
            if (owned != 0) {
                EXPECT_GE(b["owntime"].Int(), 1);
                EXPECT_LE(b["owntime"].Int(), 499);
            }
            EXPECT_LT(b["wobble"].Int(), 360);
            if (size > 1 && fadein == 28 && b["owntime"].Int() == 499) ++pieces[owned];
        }
        for (int n = 1; n <= 4; ++n)
            EXPECT_EQ(pieces[n], expected_pieces[n]);
        pieces_seen += pieces[1] + pieces[2] + pieces[3] + pieces[4];
        if (HasFailure()) break;
    }
    // The run really exercised what it checks.
    RecordProperty("volleys", volleys);
    RecordProperty("pops", pops);
    EXPECT_GT(volleys, 20);
    EXPECT_GT(pops, 10);
    EXPECT_GT(pieces_seen, 4);
    EXPECT_GT(short_circuits, 0);
    EXPECT_GT(human_flips, 20);
}

TEST(SimObjects, IdleSeatsWithComputerPlayersOffStayPutForTheWholeRound) {
    // Hold P1 to open the options, move to "CPU Players active?", let it step
    // to NO, move on twice to close the menu, then join as player 1.
    const std::string script =
        "60 key-down 32\n112 key-up 32\n120 key-down 32\n121 key-up 32\n210 key-down 32\n211 key-up 32\n"
        "220 key-down 32\n221 key-up 32\n240 key-down 32\n241 key-up 32\n";
    SimRun run = RunSim("objects_idle", "--frames 1700", script);
    ASSERT_EQ(run.status, 0) << run.err;
    const long start = run.Find([](const JValue& f) { return f["screen"].str == "round"; });
    ASSERT_GT(start, 0);
    ASSERT_EQ(run.Frame(start)["cpu_active"].Int(), 0);
    const int home[4][2] = {{384, 752}, {384, 16}, {16, 384}, {752, 384}};
    int player1_volleys = 0;
    for (long k = start; k <= static_cast<long>(run.frames.size()); ++k) {
        const JValue& f = run.Frame(k);
        for (int n = 1; n < 4; ++n) {
            const JValue& p = f["players"][n];
            ASSERT_EQ(p["charge"].Int(), -1) << "frame " << k << " base " << n + 1;
            ASSERT_EQ(p["x"].Int(), home[n][0]);
            ASSERT_EQ(p["y"].Int(), home[n][1]);
            ASSERT_EQ(p["score"].Int(), 0);
        }
        for (const JValue& p : f["particles"].arr)
            if (NewGlow(p)) {
                EXPECT_EQ(p["index"].Int(), 1);
                ++player1_volleys;
            }
        EXPECT_EQ(f["players"][0]["catchup"].Int(), 0);
    }
    EXPECT_GT(player1_volleys, 5);
}

TEST(SimObjects, DemonstrationPopsAndSplitsButScoresAndSoundsNothing) {
    SimRun run = RunSim("objects_demo", "--frames 1500 --clock-start 7777");
    ASSERT_EQ(run.status, 0) << run.err;
    int rings = 0, glows = 0;
    for (const JValue& f : run.frames) {
        ASSERT_EQ(f["screen"].str, "attract");
        EXPECT_TRUE(Sounds(f, "fiddle").empty());
        EXPECT_TRUE(Sounds(f, "pop").empty());
        EXPECT_EQ(f["melody_pos"].Int(), 0);
        for (const JValue& p : f["players"].arr)
            EXPECT_EQ(p["score"].Int(), 0);
        for (const JValue& p : f["particles"].arr) {
            if (NewRing(p)) ++rings;
            if (NewGlow(p) && p["index"].Int() != 0) ++glows;
        }
    }
    EXPECT_GT(rings, 3);
    EXPECT_GT(glows, 20);
}

TEST(SimObjects, RoundsWithPopsRepeatExactly) {
    std::vector<long> taps;
    const std::string script = JoinAndTapScript(taps);
    SimRun a = RunSim("objects_repeat_a", "--frames 2400 --clock-start 424242", script);
    SimRun b = RunSim("objects_repeat_b", "--frames 2400 --clock-start 424242", script);
    ASSERT_EQ(a.status, 0) << a.err;
    ASSERT_EQ(b.status, 0) << b.err;
    const std::string ta = ReadFile(SimTempDir("objects_repeat_a") + "/trace.jsonl");
    EXPECT_FALSE(ta.empty());
    EXPECT_EQ(ta, ReadFile(SimTempDir("objects_repeat_b") + "/trace.jsonl"));
    // Another clock start seeds another game.
    SimRun c = RunSim("objects_repeat_c", "--frames 2400 --clock-start 424243", script);
    EXPECT_NE(ta, ReadFile(SimTempDir("objects_repeat_c") + "/trace.jsonl"));
}
