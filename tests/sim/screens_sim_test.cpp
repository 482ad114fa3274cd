// Whole-game runs of the front end, round and results in virtual time.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "sim/sim_runner.h"

namespace {

std::string Screen(const JValue& f) {
    return f["screen"].str;
}
int Num(const JValue& f, const char* key) {
    return f[key].Int();
}
int Human(const JValue& f, int n) {
    return f["humans"][static_cast<std::size_t>(n - 1)].Int();
}
int Joined(const JValue& f) {
    return Human(f, 1) + Human(f, 2) + Human(f, 3) + Human(f, 4);
}
bool Played(const JValue& f, const std::string& snd) {
    for (const JValue& s : f["sounds"].arr)
        if (s["snd"].str == snd) return true;
    return false;
}

// The first frame of `screen` after frame `from`.
long FirstOf(const SimRun& r, const std::string& screen, long from = 1) {
    return r.Find([&](const JValue& f) { return Screen(f) == screen; }, from);
}

TEST(SimAttract, IdleScreenNeverStartsTheCountdown) {
    SimRun r = RunSim("idle", "--frames 1500");
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(r.frames.size(), 1500u);
    EXPECT_NE(r.out.find("DIRECT SOUND AUDIO SET"), std::string::npos);
    EXPECT_EQ(r.header["seed"].Int(), r.header["clock"].Int());
    int last_seconds = 1;
    for (const JValue& f : r.frames) {
        ASSERT_EQ(Screen(f), "attract");
        EXPECT_EQ(Num(f, "attract_mode"), 1);
        EXPECT_EQ(Num(f, "countdown_end"), Num(f, "seconds") + 5);
        EXPECT_EQ(Joined(f), 0);
        EXPECT_FLOAT_EQ(static_cast<float>(f["fade"].num), 1.0f);
        EXPECT_GE(f["bubbles"].Size(), 5u); // topped up to five at once
        EXPECT_GE(Num(f, "seconds"), last_seconds);
        last_seconds = Num(f, "seconds");
    }
    EXPECT_EQ(last_seconds, 1 + 1499 / 51);
    // The line figures trace one stroke per frame; each figure's end steps logo_count on by one.
    EXPECT_EQ(Num(r.Frame(1), "logo_count"), 0);
    std::vector<int> logos{0};
    for (const JValue& f : r.frames)
        if (Num(f, "logo_count") != logos.back()) logos.push_back(Num(f, "logo_count"));
    ASSERT_GE(logos.size(), 11u);
    for (std::size_t i = 1; i < logos.size(); ++i)
        EXPECT_EQ(logos[i], (logos[i - 1] + 1) % 10);
    // One message line per tick: the first carries slot 1.
    const long tick = r.Find([](const JValue& f) { return Num(f, "seconds") == 2; });
    ASSERT_GT(tick, 0);
    bool found = false;
    for (const JValue& p : r.Frame(tick)["particles"].arr)
        if (p["kind"].str == "text" && p["text"].str == "*** ZAPTOMANIA ***") found = true;
    EXPECT_TRUE(found);
}

TEST(SimAttract, PressesInTheFirstSecondAreSwallowed) {
    SimRun r = RunSim("first_second", "--frames 300",
                      "5 key-down 32\n7 key-up 32\n20 key-down 13\n21 key-up 13\n40 joypads 1\n"
                      "41 joy-down 0 1\n43 joy-up 0 1\n");
    ASSERT_EQ(r.status, 0) << r.err;
    for (const JValue& f : r.frames)
        ASSERT_EQ(Joined(f), 0) << "frame " << Num(f, "f");
}

TEST(SimAttract, TapJoinsCountdownRunsAndTheRoundStartsWithTheJoinedPlayers) {
    // P1 taps, P3 taps twice (joins and leaves), P2 joins by joypad.
    SimRun r =
        RunSim("join", "--frames 900",
               "60 key-down 32\n62 key-up 32\n70 key-down 49\n71 key-up 49\n80 key-down 49\n81 key-up 49\n"
               "85 joypads 2\n90 joy-down 1 2\n92 joy-up 1 2\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Human(r.Frame(59), 1), 0);
    EXPECT_EQ(Human(r.Frame(60), 1), 1);
    EXPECT_EQ(Human(r.Frame(70), 3), 1);
    EXPECT_EQ(Human(r.Frame(80), 3), 0);
    EXPECT_EQ(Human(r.Frame(95), 2), 1);
    // The countdown number (countdown_end - seconds) runs 5, 4, 3, 2, 1, 0, one step per tick.
    const long countdown = FirstOf(r, "countdown");
    ASSERT_GT(countdown, 0);
    std::vector<int> shown;
    // (The screen's last frame ticks past zero after its panels are drawn.)
    for (long k = 60; k < countdown - 1; ++k) {
        const int n = Num(r.Frame(k), "countdown_end") - Num(r.Frame(k), "seconds");
        if (shown.empty() || shown.back() != n) shown.push_back(n);
    }
    EXPECT_EQ(shown, (std::vector<int>{5, 4, 3, 2, 1, 0}));
    // The 50-frame fade to black runs while zero shows, then one more tick ends the screen.
    const long zero =
        r.Find([](const JValue& f) { return Num(f, "countdown_end") == Num(f, "seconds"); }, 60);
    EXPECT_NEAR(r.Frame(zero)["fade"].num, 0.98, 1e-6);
    EXPECT_NEAR(r.Frame(zero + 49)["fade"].num, 0.0, 1e-6);
    EXPECT_EQ(countdown - zero, 52);
    // The round is set up with exactly the joined players.
    const JValue& c = r.Frame(countdown);
    EXPECT_EQ(Num(c, "attract_mode"), 0);
    EXPECT_EQ(Num(c, "seconds"), 180);
    EXPECT_EQ(c["players"][0]["human"].Int(), 1);
    EXPECT_EQ(c["players"][1]["human"].Int(), 1);
    EXPECT_EQ(c["players"][2]["human"].Int(), 0);
    EXPECT_EQ(c["players"][3]["human"].Int(), 0);
    // Human score rows first, then the computer's; boxes start above the screen.
    EXPECT_EQ(c["players"][0]["score_index"].Int(), 1);
    EXPECT_EQ(c["players"][1]["score_index"].Int(), 2);
    EXPECT_EQ(c["players"][0]["score_y"].Int(), -32);
    EXPECT_EQ(c["bubbles"].Size(), 5u);
    EXPECT_EQ(c["particles"].Size(), 0u);
    // The start countdown: 150 frames, blips at 29, 59, 89, 119, nothing moves.
    for (long j = 1; j <= 150; ++j) {
        const JValue& f = r.Frame(countdown + j - 1);
        ASSERT_EQ(Screen(f), "countdown");
        EXPECT_EQ(Played(f, "blip"), j == 29 || j == 59 || j == 89 || j == 119) << j;
        EXPECT_EQ(f["players"][0]["x"].Int(), 384);
    }
    EXPECT_EQ(Screen(r.Frame(countdown + 150)), "round");
}

TEST(SimOptions, HoldingP1OpensTheMenuAndRoundLengthStepsWithAClick) {
    SimRun r = RunSim("menu", "--frames 500", "60 key-down 32\n");
    ASSERT_EQ(r.status, 0) << r.err;
    // The press that starts the hold also joins P1 for the first second.
    EXPECT_EQ(Human(r.Frame(60), 1), 1);
    EXPECT_EQ(Num(r.Frame(108), "hold_count"), 49);
    EXPECT_EQ(Num(r.Frame(108), "option_sel"), 0);
    EXPECT_EQ(Num(r.Frame(109), "hold_count"), 50);
    EXPECT_EQ(Num(r.Frame(109), "option_sel"), 1);
    EXPECT_EQ(Joined(r.Frame(109)), 0); // opening the menu drops everybody
    std::vector<std::pair<long, int>> steps;
    for (long k = 110; k <= 500; ++k) {
        if (Num(r.Frame(k), "round_length") != Num(r.Frame(k - 1), "round_length")) {
            steps.push_back({k, Num(r.Frame(k), "round_length")});
            EXPECT_TRUE(Played(r.Frame(k), "click"));
        }
        EXPECT_EQ(Num(r.Frame(k), "option_sel"), 1); // a still-held key is no new tap
        EXPECT_EQ(Joined(r.Frame(k)), 0);
    }
    ASSERT_EQ(steps.size(), 5u);
    EXPECT_EQ(steps[0].second, 60);
    EXPECT_EQ(steps[1].second, 120);
    EXPECT_EQ(steps[2].second, 180);
    EXPECT_EQ(steps[3].second, 60);
    // 1.5 s must be strictly exceeded: every 76 frames, counted from the frame the menu opened.
    EXPECT_EQ(steps[0].first, 109 + 76);
    for (std::size_t i = 1; i < steps.size(); ++i)
        EXPECT_EQ(steps[i].first - steps[i - 1].first, 76);
}

TEST(SimOptions, TapsAcceptOptionsAndCloseTheMenu) {
    SimRun r = RunSim("menu_taps", "--frames 400",
                      "60 key-down 32\n120 key-up 32\n190 key-down 32\n191 key-up 32\n200 key-down 32\n"
                      "201 key-up 32\n210 key-down 32\n211 key-up 32\n260 key-down 13\n261 key-up 13\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Num(r.Frame(185), "round_length"), 60);
    EXPECT_EQ(Num(r.Frame(190), "option_sel"), 2);
    EXPECT_EQ(Num(r.Frame(200), "option_sel"), 3);
    EXPECT_EQ(Num(r.Frame(210), "option_sel"), 0);
    EXPECT_EQ(Num(r.Frame(211), "hold_count"), 0);
    // Nothing else changed: the taps came before another 1.5 s passed.
    EXPECT_EQ(Num(r.Frame(400), "round_length"), 60);
    EXPECT_EQ(Num(r.Frame(400), "cpu_active"), 1);
    EXPECT_EQ(Num(r.Frame(400), "catchup_active"), 0);
    // With the menu closed, joining works again.
    EXPECT_EQ(Human(r.Frame(260), 2), 1);
    EXPECT_EQ(Human(r.Frame(260), 1), 0);
}

TEST(SimOptions, JoypadHeldMenuOpeningMovesStraightOnToOption2) {
    SimRun r = RunSim("menu_joy", "--frames 200", "1 joypads 1\n60 joy-down 0 1\n");
    ASSERT_EQ(r.status, 0) << r.err;
    const long open = r.Find([](const JValue& f) { return Num(f, "option_sel") != 0; });
    ASSERT_GT(open, 0);
    EXPECT_EQ(Num(r.Frame(open), "option_sel"), 1);
    EXPECT_EQ(Num(r.Frame(open + 1), "option_sel"), 2);
    EXPECT_EQ(Num(r.Frame(200), "option_sel"), 2);
}

// Sets the round length to one minute through the menu, then joins P1.
const char* kOneMinuteRound =
    "60 key-down 32\n120 key-up 32\n190 key-down 32\n191 key-up 32\n200 key-down 32\n"
    "201 key-up 32\n210 key-down 32\n211 key-up 32\n230 key-down 32\n232 key-up 32\n";

TEST(SimRound, EscDuringTheStartCountdownEndsTheRoundAfterItsFirstFrame) {
    SimRun base = RunSim("esc_countdown_probe", "--frames 700", kOneMinuteRound);
    ASSERT_EQ(base.status, 0) << base.err;
    const long countdown = FirstOf(base, "countdown");
    ASSERT_GT(countdown, 0);
    const std::string script = std::string(kOneMinuteRound) + std::to_string(countdown + 20) +
                               " key-down 27\n" + std::to_string(countdown + 21) + " key-up 27\n";
    SimRun r = RunSim("esc_countdown", "--frames 700", script);
    ASSERT_EQ(r.status, 0) << r.err;
    const long round = FirstOf(r, "round");
    EXPECT_EQ(round, countdown + 150);
    EXPECT_EQ(Screen(r.Frame(round + 1)), "attract");
    EXPECT_EQ(Num(r.Frame(round + 1), "seconds"), 1);
}

TEST(SimRound, OneMinuteRoundTicksEvery51FramesAndEscAtZeroLeadsToResults) {
    SimRun r = RunSim("round60", "--frames 4100", kOneMinuteRound);
    ASSERT_EQ(r.status, 0) << r.err;
    const long round = FirstOf(r, "round");
    ASSERT_GT(round, 0);
    EXPECT_EQ(Num(r.Frame(round), "seconds"), 60);
    // Ticks every 51 frames; a bubble arrives at 50, 40, ..., 0; a click at every tick.
    std::vector<long> ticks;
    for (long k = round + 1; Screen(r.Frame(k)) == "round"; ++k) {
        const JValue& f = r.Frame(k);
        if (Num(f, "seconds") != Num(r.Frame(k - 1), "seconds")) {
            ticks.push_back(k);
            EXPECT_EQ(Num(f, "seconds"), Num(r.Frame(k - 1), "seconds") - 1);
            EXPECT_TRUE(Played(f, "click"));
            if (Num(f, "seconds") % 10 == 0) {
                const JValue& last = f["bubbles"].arr.back();
                EXPECT_EQ(last["size"].Int(), 1);
                EXPECT_EQ(last["fadein"].Int(), 100) << "seconds " << Num(f, "seconds");
            }
        }
    }
    ASSERT_EQ(ticks.size(), 61u); // 60 down to 0, and one more to -1
    EXPECT_EQ(ticks[0] - round, 51);
    for (std::size_t i = 1; i < ticks.size(); ++i)
        EXPECT_EQ(ticks[i] - ticks[i - 1], 51);
    const long results = ticks.back() + 1;
    EXPECT_EQ(Screen(r.Frame(results)), "results");
    EXPECT_EQ(Num(r.Frame(results), "seconds"), -1);
    // The click of the last tick plays at rate 0.8, the others tick and tock at 1.2 and 1.0.
    for (const JValue& s : r.Frame(ticks.back())["sounds"].arr)
        if (s["snd"].str == "click") {
            EXPECT_NEAR(s["rate"].num, 0.8, 1e-6);
        }
    // Results: 300 frames, then the attract screen again.
    for (long j = 0; j < 300; ++j)
        ASSERT_EQ(Screen(r.Frame(results + j)), "results");
    EXPECT_EQ(Screen(r.Frame(results + 300)), "attract");
    // Every shown player gets a results line naming them by colour.
    const char* names[] = {"Green", "Yellow", "Blue", "Red"};
    const JValue& last = r.Frame(results + 299);
    for (int n = 0; n < 4; ++n) {
        const std::string res = last["players"][static_cast<std::size_t>(n)]["result"].str;
        if (!res.empty()) {
            EXPECT_NE(res.find(names[n]), std::string::npos) << res;
        }
        EXPECT_EQ(res.find('$'), std::string::npos);
    }

    // ESC read at the end of the frame whose clock shows 0 leads to the results ...
    const long zero = r.Find([](const JValue& f) { return Screen(f) == "round" && Num(f, "seconds") == 0; });
    ASSERT_GT(zero, 0);
    SimRun at_zero = RunSim("round60_esc0", "--frames " + std::to_string(zero + 5),
                            std::string(kOneMinuteRound) + std::to_string(zero + 1) + " key-down 27\n");
    ASSERT_EQ(at_zero.status, 0) << at_zero.err;
    EXPECT_EQ(Screen(at_zero.Frame(zero + 1)), "results");
    // ... one frame earlier, with 1 on the clock, it abandons the round.
    SimRun at_one = RunSim("round60_esc1", "--frames " + std::to_string(zero + 5),
                           std::string(kOneMinuteRound) + std::to_string(zero) + " key-down 27\n");
    ASSERT_EQ(at_one.status, 0) << at_one.err;
    EXPECT_EQ(Screen(at_one.Frame(zero)), "attract");
}

TEST(SimResults, EscJumpsToTheLastResultsFrame) {
    SimRun probe = RunSim("results_probe", "--frames 3800", kOneMinuteRound);
    ASSERT_EQ(probe.status, 0) << probe.err;
    const long results = FirstOf(probe, "results");
    ASSERT_GT(results, 0);
    // Delivered after results frame 10, read at the start of frame 11, which becomes frame 300.
    SimRun r = RunSim("results_esc", "--frames " + std::to_string(results + 20),
                      std::string(kOneMinuteRound) + std::to_string(results + 10) + " key-down 27\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Screen(r.Frame(results + 10)), "results");
    EXPECT_EQ(Screen(r.Frame(results + 11)), "attract");
    // The attract screen starts afresh, and its first second swallows the ESC's friends.
    EXPECT_EQ(Num(r.Frame(results + 11), "seconds"), 1);
    EXPECT_EQ(Num(r.Frame(results + 11), "attract_mode"), 1);
}

TEST(SimRun, RunsRepeatExactlyAndEscInTheAttractScreenEndsTheGame) {
    SimRun a = RunSim("repeat_a", "--frames 400 --clock-start 5000", "100 key-down 13\n101 key-up 13\n");
    SimRun b = RunSim("repeat_b", "--frames 400 --clock-start 5000", "100 key-down 13\n101 key-up 13\n");
    ASSERT_EQ(a.status, 0);
    ASSERT_EQ(a.frames.size(), b.frames.size());
    EXPECT_EQ(ReadFile(SimTempDir("repeat_a") + "/trace.jsonl"),
              ReadFile(SimTempDir("repeat_b") + "/trace.jsonl"));
    EXPECT_EQ(a.header["clock"].Int(), a.Frame(1)["clock"].Int() - 20);

    SimRun esc = RunSim("esc_attract", "--frames 400", "30 key-down 27\n");
    EXPECT_EQ(esc.status, 0);
    EXPECT_EQ(esc.frames.size(), 29u); // read at the start of frame 30, which is never flipped
}

} // namespace

namespace {

// A whole three-minute round at the default length, with one human player.
TEST(SimRound, ThreeMinuteRoundLastsAbout184Seconds) {
    SimRun r = RunSim("round180", "--frames 10200", "60 key-down 32\n62 key-up 32\n");
    ASSERT_EQ(r.status, 0) << r.err;
    const long round = FirstOf(r, "round");
    const long results = FirstOf(r, "results");
    ASSERT_GT(round, 0);
    ASSERT_GT(results, round);
    EXPECT_EQ(Num(r.Frame(round), "seconds"), 180);
    // 181 ticks of 51 frames after the round's first frame: 9232 frames, 184.64 s of play.
    EXPECT_EQ(results - round, 181 * 51 + 1);
    const int ms = r.Frame(results)["clock"].Int() - r.Frame(round)["clock"].Int();
    EXPECT_EQ(ms, (181 * 51 + 1) * 20);
    // One bubble at 170, 160, ..., 10 and 0: count the tick frames whose newest bubble is brand new.
    int added = 0;
    for (long k = round + 1; k < results; ++k) {
        const JValue& f = r.Frame(k);
        const int s = Num(f, "seconds");
        if (s != Num(r.Frame(k - 1), "seconds") && s % 10 == 0 && s >= 0) {
            EXPECT_EQ(f["bubbles"].arr.back()["fadein"].Int(), 100) << s;
            ++added;
        }
    }
    EXPECT_EQ(added, 18);
    // The melody starts again with the round and moves on with every volley.
    EXPECT_EQ(Num(r.Frame(round - 1), "melody_pos"), 0);
}

TEST(SimRun, WavHoldsTheMixInVirtualTime) {
    const std::string dir = SimTempDir("wav");
    const std::string wav = dir + "/mix.wav";
    std::filesystem::remove(wav);
    SimRun r = RunSim("wav", "--frames 700 --wav '" + wav + "'", "60 key-down 32\n62 key-up 32\n");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string data = ReadFile(wav);
    ASSERT_GT(data.size(), 44u);
    EXPECT_EQ(data.substr(0, 4), "RIFF");
    EXPECT_EQ(data.substr(8, 4), "WAVE");
    auto u16 = [&](std::size_t at) {
        return static_cast<unsigned char>(data[at]) | static_cast<unsigned char>(data[at + 1]) << 8;
    };
    EXPECT_EQ(u16(22), 2); // stereo
    EXPECT_EQ(u16(20), 1); // PCM
    const std::size_t frames = (data.size() - 44) / 4;
    // 882 frames for every 20 ms of virtual time since the device opened: about 700 game frames' worth.
    EXPECT_NEAR(static_cast<double>(frames), 700.0 * 882, 10.0 * 882);
    // The countdown's blips and the round's clock make it anything but silent.
    int peak = 0;
    for (std::size_t i = 44; i + 1 < data.size(); i += 2) {
        const int v = static_cast<int16_t>(u16(i));
        peak = std::max(peak, v < 0 ? -v : v);
    }
    EXPECT_GT(peak, 1000);
    SimRun bad = RunSim("wav_bad", "--frames 5 --wav /nonexistent/dir/x.wav", "", false);
    EXPECT_EQ(bad.status, 2);
}

} // namespace

namespace {

TEST(SimAttract, JoinRulesForLeavingSimultaneousHitsAndPressesWhileTheMenuIsOpen) {
    // P1 joins and leaves again; P2's key and joypad hit in the same frame cancel.
    SimRun r = RunSim("join_rules", "--frames 200",
                      "60 key-down 32\n61 key-up 32\n80 joypads 2\n100 key-down 13\n100 joy-down 1 2\n"
                      "101 key-up 13\n101 joy-up 1 2\n170 key-down 32\n171 key-up 32\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Human(r.Frame(60), 1), 1);
    EXPECT_EQ(Human(r.Frame(100), 2), 0);
    EXPECT_EQ(Human(r.Frame(101), 2), 0);
    const JValue& before = r.Frame(169);
    EXPECT_LT(Num(before, "countdown_end") - Num(before, "seconds"), 5);
    const JValue& left = r.Frame(170);
    EXPECT_EQ(Joined(left), 0);
    EXPECT_EQ(Num(left, "countdown_end") - Num(left, "seconds"), 5); // back to five at once

    // P3 presses three times while the menu is open: one toggle when it closes.
    SimRun m = RunSim("menu_presses", "--frames 200",
                      "60 key-down 32\n120 key-up 32\n130 key-down 49\n131 key-up 49\n133 key-down 49\n"
                      "134 key-up 49\n136 key-down 49\n137 key-up 49\n150 key-down 32\n151 key-up 32\n"
                      "155 key-down 32\n156 key-up 32\n160 key-down 32\n161 key-up 32\n");
    ASSERT_EQ(m.status, 0) << m.err;
    EXPECT_EQ(Human(m.Frame(159), 3), 0);
    EXPECT_EQ(Num(m.Frame(160), "option_sel"), 0);
    EXPECT_EQ(Human(m.Frame(160), 3), 1);
    EXPECT_EQ(Human(m.Frame(160), 1), 0); // the tap that closed the menu is no join
    EXPECT_EQ(Human(m.Frame(200), 3), 1);
}

} // namespace

namespace {

// The newest text line in a frame's effects, or "(none)".
std::string NewestText(const JValue& f) {
    std::string text = "(none)";
    for (const JValue& p : f["particles"].arr)
        if (p["kind"].str == "text") text = p["text"].str;
    return text;
}

TEST(SimAttract, MessageLinesFollowTheSlotsAndSlotZeroFollowsSlot39) {
    SimRun r = RunSim("message_wrap", "--frames 2150");
    ASSERT_EQ(r.status, 0) << r.err;
    // Each tick adds the line of slot (seconds before the tick) mod 40.
    std::vector<std::string> lines;
    for (long k = 2; k <= 2150; ++k)
        if (Num(r.Frame(k), "seconds") != Num(r.Frame(k - 1), "seconds")) {
            EXPECT_EQ(Num(r.Frame(k), "seconds"), Num(r.Frame(k - 1), "seconds") + 1);
            lines.push_back(NewestText(r.Frame(k)));
        }
    ASSERT_GE(lines.size(), 42u); // slots 1 .. 39, 0, 1, 2
    EXPECT_EQ(lines[0], "*** ZAPTOMANIA ***");
    EXPECT_EQ(lines[1], "Coded for BLINKFEST (shame it wasn't chosen)");
    EXPECT_EQ(lines[7], "will flip your current movement direction. ");
    EXPECT_EQ(lines[36], "-------------------MESSAGE ENDS-------------------");
    EXPECT_EQ(lines[38], ""); // slot 39
    EXPECT_EQ(lines[39], ""); // slot 0
    EXPECT_EQ(lines[40], "*** ZAPTOMANIA ***");
    EXPECT_EQ(lines[41], "Coded for BLINKFEST (shame it wasn't chosen)");
}

TEST(SimRound, WithoutComputerPlayersTheEmptySeatsStayOffAllRound) {
    // Menu: round length steps to 1 min, a tap moves on to the CPU option,
    // which steps to "NO" 1.5 s later; two taps close the menu; P1 joins.
    SimRun r = RunSim("cpu_off", "--frames 4150",
                      "60 key-down 32\n120 key-up 32\n190 key-down 32\n191 key-up 32\n270 key-down 32\n"
                      "271 key-up 32\n280 key-down 32\n281 key-up 32\n300 key-down 32\n302 key-up 32\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Num(r.Frame(190), "round_length"), 60);
    EXPECT_EQ(Num(r.Frame(269), "cpu_active"), 0);
    EXPECT_EQ(Num(r.Frame(280), "option_sel"), 0);
    const long countdown = FirstOf(r, "countdown");
    const long results = FirstOf(r, "results");
    ASSERT_GT(countdown, 0);
    ASSERT_GT(results, countdown);
    EXPECT_EQ(Num(r.Frame(countdown), "cpu_active"), 0);
    for (long k = countdown; k < results + 300; ++k) {
        const JValue& f = r.Frame(k);
        ASSERT_EQ(f["players"][0]["human"].Int(), 1);
        for (std::size_t n = 1; n < 4; ++n) {
            ASSERT_EQ(f["players"][n]["charge"].Int(), -1) << "frame " << k << " player " << n + 1;
            ASSERT_EQ(f["players"][n]["score"].Int(), 0) << "frame " << k << " player " << n + 1;
            // Idle seats rank below the human from the start.
            ASSERT_GT(f["players"][n]["score_index"].Int(), 1);
        }
    }
}

} // namespace
