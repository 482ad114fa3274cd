// The bases: set-up, charge and volleys, catch-up, the switch, movement and
// the demonstration rules.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <utility>

#include "objects_fixture.h"
#include "platform/event.h"
#include "platform/input.h"
#include "platform/joystick.h"
#include "platform/system.h"

using objects_test::ObjectsTest;

namespace {

// Joypads whose buttons the test holds and releases.
class FakePads : public TJoypadBackend {
  public:
    int count = 0;
    unsigned buttons[4] = {0, 0, 0, 0};
    int reads = 0;
    // When set, gives the buttons held at each read from the running read count.
    std::function<unsigned(int)> script;
    int Enumerate() override { return count; }
    bool Caps(int port, TJoypadCaps& caps) override {
        if (port >= count) return false;
        caps.name = "pad";
        caps.buttons = 16;
        return true;
    }
    bool Read(int port, TJoypadRaw& raw) override {
        if (port >= count) return false;
        ++reads;
        raw.buttons = script ? script(reads) : buttons[port];
        return true;
    }
};

void PressKey(int key) {
    EmitSystemEvent(EVENT_KEYDOWN, nullptr, key);
    EmitSystemEvent(EVENT_KEYUP, nullptr, key);
}

class Player : public ObjectsTest {
  protected:
    void SetUp() override {
        ObjectsTest::SetUp();
        StartInputTracking();
        ClearKeyState();
        pads = std::make_shared<FakePads>();
        UseJoypadBackend(pads);
    }
    void TearDown() override {
        UseJoypadBackend(nullptr);
        StopInputTracking();
        ObjectsTest::TearDown();
    }
    // Seats a human at base n (on top of those already joined) and remakes the bases.
    static TPlayer& HumanBase(int n) {
        humans[static_cast<std::size_t>(n)] = 1;
        CreatePlayers();
        return P(n);
    }
    // Base n fires from place `place`; returns its catch-up for the next cycle.
    static int CatchupAfterVolley(int n, int place) {
        P(n).score_index = place;
        P(n).charge = 99;
        P(n).Update();
        return P(n).catchup;
    }
    // One frame of the bases, as a screen runs them.
    static void BasesFrame() {
        for (int n = 1; n <= 4; ++n) {
            P(n).Draw();
            P(n).Update();
        }
    }
    std::shared_ptr<FakePads> pads;
};

} // namespace

TEST_F(Player, CreatePlayersSetsTheFourBases) {
    humans = {0, 0, 1, 0, 1};
    CreatePlayers();
    struct Want {
        int x, y, dx, dy, rot, key, charge, human;
        std::array<int, 3> col;
    };
    const Want want[5] = {{},
                          {384, 752, 4, 0, 0, 32, 10, 0, {64, 255, 64}},
                          {384, 16, -4, 0, 180, 13, 60, 1, {255, 255, 64}},
                          {16, 384, 0, 4, 90, 49, 85, 0, {64, 64, 255}},
                          {752, 384, 0, -4, 270, 109, 35, 1, {255, 64, 64}}};
    for (int n = 1; n <= 4; ++n) {
        const TPlayer& p = P(n);
        const Want& w = want[n];
        EXPECT_EQ(p.index, n);
        EXPECT_EQ(p.x, w.x);
        EXPECT_EQ(p.y, w.y);
        EXPECT_EQ(p.dx, w.dx);
        EXPECT_EQ(p.dy, w.dy);
        EXPECT_EQ(p.rotation, w.rot);
        EXPECT_EQ(p.keyswitch, w.key);
        EXPECT_EQ(p.charge, w.charge);
        EXPECT_EQ(p.human, w.human);
        EXPECT_EQ(p.col, w.col);
        EXPECT_EQ(p.score, 0);
        EXPECT_EQ(p.score_index, n);
        EXPECT_EQ(p.score_y, -32);
        EXPECT_EQ(p.catchup, 0);
        EXPECT_EQ(p.result, "");
    }
}

TEST_F(Player, BaseClampsAt704AndReversesOnTheNextFrame) {
    TPlayer& p = HumanBase(1);
    p.x = 700;
    p.Update();
    EXPECT_EQ(p.x, 704);
    EXPECT_EQ(p.dx, 4);
    p.Update();
    EXPECT_EQ(p.x, 704);
    EXPECT_EQ(p.dx, -4);
    p.Update();
    EXPECT_EQ(p.x, 700);
    // The low end, on a vertical track.
    TPlayer& q = HumanBase(3);
    q.y = 66;
    q.dy = -4;
    q.Update();
    EXPECT_EQ(q.y, 64);
    EXPECT_EQ(q.dy, 4);
    EXPECT_EQ(q.x, 16);
}

TEST_F(Player, SwitchKeyReversesAHumanBase) {
    TPlayer& p = HumanBase(2);
    PressKey(13);
    p.Update();
    EXPECT_EQ(p.dx, 4);
    EXPECT_EQ(p.x, 388);
    // No press: keeps going.
    p.Update();
    EXPECT_EQ(p.x, 392);
    // Another player's key does nothing here.
    PressKey(32);
    p.Update();
    EXPECT_EQ(p.x, 396);
}

TEST_F(Player, JoypadIsAskedOnlyWhenTheKeyHasNoPress) {
    TPlayer& p = HumanBase(2);
    pads->count = 2;
    CountJoypads();
    // Button 3 of the second joypad is player 2's switch.
    pads->buttons[1] = 1u << 3;
    p.Update();
    EXPECT_EQ(p.dx, 4);
    pads->buttons[1] = 0;
    p.Update();
    EXPECT_EQ(p.dx, 4);

    // Key and button pressed in the same frame: the key flips, the joypad is
    // not sampled, and the still-held button flips again in the next frame.
    PressKey(13);
    pads->buttons[1] = 1u << 0;
    const int reads = pads->reads;
    p.Update();
    EXPECT_EQ(p.dx, -4);
    EXPECT_EQ(pads->reads, reads);
    p.Update();
    EXPECT_EQ(p.dx, 4);
    // Held on: no new press.
    p.Update();
    EXPECT_EQ(p.dx, 4);

    // With only one joypad present, player 2 has none.
    pads->buttons[1] = 0;
    p.Update();
    pads->count = 1;
    pads->buttons[1] = 1u << 1;
    p.Update();
    EXPECT_EQ(p.dx, 4);
}

TEST_F(Player, JoypadButtonsAreAskedInTheOrder1230) {
    TPlayer& p = HumanBase(2);
    p.charge = -1000; // no volley in this test
    pads->count = 2;
    // A button that goes down at the k-th read of a frame is taken in that
    // frame when it is asked k-th, and only in the next frame when it is
    // asked before that.
    const int order[4] = {1, 2, 3, 0};
    for (int k = 1; k <= 4; ++k) {
        for (int late = 0; late <= 1; ++late) {
            pads->script = nullptr;
            pads->buttons[1] = 0;
            p.Update(); // everything released
            const int dx = p.dx;
            const int first = pads->reads;
            const unsigned bit = 1u << order[k - 1];
            pads->script = [=](int read) { return read - first >= k + late ? bit : 0u; };
            p.Update();
            EXPECT_EQ(p.dx, late ? dx : -dx) << "button " << order[k - 1] << " late " << late;
            p.Update();
            EXPECT_EQ(p.dx, -dx) << "button " << order[k - 1] << " late " << late;
        }
    }
}

TEST_F(Player, OnlyButtons0To3OfAPadAreItsSwitch) {
    pads->count = 2;
    for (int b = 0; b < 8; ++b) {
        pads->buttons[1] = 0;
        EXPECT_EQ(JoypadSwitchHits(1), 0);
        pads->buttons[1] = 1u << b;
        EXPECT_EQ(JoypadSwitchDown(1), b < 4) << "button " << b;
        EXPECT_EQ(JoypadSwitchHits(1), b < 4 ? 1 : 0) << "button " << b;
        EXPECT_FALSE(JoypadSwitchDown(0)) << "button " << b; // the other pad
    }
    pads->buttons[1] = 0;
    JoypadSwitchHits(1);
    pads->buttons[1] = 0xfu;
    EXPECT_EQ(JoypadSwitchHits(1), 4); // one press of each
    EXPECT_EQ(JoypadSwitchHits(1), 0);
}

TEST_F(Player, ComputerTurnIsDrawnAfterTheVolleysPieces) {
    // A computer base pops a bubble: the pieces' wobbles take the first two
    // numbers, and the 1-in-500 turn the third.
    TPlayer& p = P(1);
    p.charge = 99;
    PutBubble(static_cast<float>(p.x), 500.0f, 1, 3.0f, 4.0f);
    const int state = GetRandomSeed();
    p.Update();
    const auto pieces = bubbles.Items();
    ASSERT_EQ(pieces.size(), 2u);
    SetRandomSeed(state);
    EXPECT_EQ(pieces[0]->wobble, RandomInt(1, 360));
    EXPECT_EQ(pieces[1]->wobble, RandomInt(1, 360));
}

TEST_F(Player, ComputerBaseReversesAtRandomOneFrameIn500) {
    TPlayer& p = P(1);
    p.charge = -1000; // no volley in this test
    int flips = 0;
    for (int i = 0; i < 20000; ++i) {
        p.x = 384; // keep clear of the track ends
        const int before = p.dx;
        const int state = GetRandomSeed();
        p.Update();
        // Replay the one draw: the base turns exactly when it is 333.
        const int after_state = GetRandomSeed();
        SetRandomSeed(state);
        const bool drawn_333 = RandomInt(1, 500) == 333;
        ASSERT_EQ(GetRandomSeed(), after_state);
        ASSERT_EQ(p.dx == -before, drawn_333) << i;
        flips += drawn_333 ? 1 : 0;
    }
    EXPECT_GT(flips, 10);
    EXPECT_LT(flips, 80);
}

TEST_F(Player, IdleSeatsStandStillAndAreNeverShortCircuited) {
    cpu_active = 0;
    humans[1] = 1;
    CreatePlayers();
    // A bubble right on base 2 (idle) and one on base 1 (human).
    auto on2 = PutBubble(384.0f, 28.0f, 3, 0.0f, 0.0f);
    on2->dx = on2->dy = 0.0f;
    for (int frame = 0; frame < 300; ++frame) {
        BasesFrame();
        bubbles.ForEach([](const std::shared_ptr<TBubble>& b) {
            b->Update();
            b->Draw();
        });
        for (int n = 2; n <= 4; ++n) {
            EXPECT_EQ(P(n).charge, -1);
        }
        if (HasFailure()) break;
    }
    EXPECT_EQ(P(2).x, 384);
    EXPECT_EQ(P(2).y, 16);
    EXPECT_EQ(P(3).y, 384);
    EXPECT_EQ(P(4).y, 384);
    EXPECT_NE(P(1).x, 384);
    // Nobody gets catch-up with a single human.
    EXPECT_EQ(P(1).catchup, 0);
}

TEST_F(Player, VolleyAtExactly100PlaysTheNextNoteFlashesAndSweeps) {
    objects_test::TSoundRecording sounds;
    TPlayer& p = P(3);
    p.charge = 99;
    melody_pos = 31;
    p.Update();
    EXPECT_EQ(p.charge, 0);
    EXPECT_EQ(melody_pos, 0);
    // The last note of the tune, 7 semitones up.
    auto plays = sounds.Plays();
    ASSERT_EQ(plays.size(), 1u);
    EXPECT_EQ(plays[0].sound, snd_fiddle.get());
    EXPECT_FLOAT_EQ(plays[0].rate, static_cast<float>(std::pow(2.0, 7.0 / 12.0)));
    // The afterglow of the beam and the full-playfield flash.
    ASSERT_EQ(particles.Count(), 1);
    auto glow = std::dynamic_pointer_cast<TLaserAfterglow>(particles.First());
    ASSERT_TRUE(glow);
    EXPECT_EQ(glow->index, 3);
    EXPECT_EQ(glow->x, 30.0f);
    EXPECT_EQ(glow->y, 384.0f);
    EXPECT_EQ(glow->x2, 576.0f);
    EXPECT_EQ(glow->y2, 384.0f);
    const auto quads = Log("quads");
    bool flash = false;
    for (const auto& q : quads)
        if (q.v.size() >= 8 && q.v[0] == 0.0f && q.v[1] == 0.0f && q.v[4] == 768.0f && q.v[5] == 768.0f)
            flash = true;
    EXPECT_TRUE(flash);
    // No volley at other charges.
    p.charge = 50;
    p.Update();
    EXPECT_EQ(p.charge, 51);
    EXPECT_EQ(melody_pos, 0);
    EXPECT_EQ(particles.Count(), 1);
    EXPECT_TRUE(sounds.Plays().empty());
    // Whoever fires next plays the next notes: 0, then 2 semitones up.
    for (int n : {1, 2}) {
        P(n).charge = 99;
        P(n).Update();
    }
    plays = sounds.Plays();
    ASSERT_EQ(plays.size(), 2u);
    EXPECT_FLOAT_EQ(plays[0].rate, 1.0f);
    EXPECT_FLOAT_EQ(plays[1].rate, static_cast<float>(std::pow(2.0, 2.0 / 12.0)));
    EXPECT_EQ(melody_pos, 2);
}

TEST_F(Player, BasesFireAtTheirOwnMomentsAndTwoFiringTogetherSweepInOrder) {
    // From the start charges: base 3 after 15 frames, 2 after 40, 4 after 65, 1 after 90.
    std::vector<int> first_volley(5, 0);
    for (int frame = 1; frame <= 90; ++frame) {
        for (int n = 1; n <= 4; ++n) {
            P(n).Update();
            if (P(n).charge == 0 && first_volley[n] == 0) first_volley[n] = frame;
        }
    }
    EXPECT_EQ(first_volley[3], 15);
    EXPECT_EQ(first_volley[2], 40);
    EXPECT_EQ(first_volley[4], 65);
    EXPECT_EQ(first_volley[1], 90);

    // Bases 1 and 4 both fire in this frame, over one bubble in both beams:
    // base 1 pops it, base 4 finds only its fading pieces.
    CreatePlayers();
    particles.Clear();
    P(1).charge = 99;
    P(4).charge = 99;
    P(2).charge = 1;
    P(3).charge = 1;
    P(1).x = 500;
    P(4).y = 500;
    auto b = PutBubble(500.0f, 500.0f, 2, 0.0f, 0.0f);
    for (int n = 1; n <= 4; ++n)
        P(n).Update();
    EXPECT_EQ(P(1).score, 20);
    EXPECT_EQ(P(4).score, 0);
    EXPECT_FALSE(bubbles.Contains(b.get()));
    EXPECT_EQ(bubbles.Count(), 2);
    const auto items = particles.Items();
    ASSERT_EQ(items.size(), 3u);
    EXPECT_STREQ(items[0]->Kind(), "glow");
    EXPECT_STREQ(items[1]->Kind(), "ring");
    EXPECT_STREQ(items[2]->Kind(), "glow");
    EXPECT_EQ(std::dynamic_pointer_cast<TLaserAfterglow>(items[0])->index, 1);
    EXPECT_EQ(std::dynamic_pointer_cast<TLaserAfterglow>(items[2])->index, 4);
    // The hit re-ranked the players: base 1 leads.
    EXPECT_EQ(P(1).score_index, 1);
    EXPECT_FALSE(P(1).result.empty());
}

TEST_F(Player, CatchUpGoesToFourthPlaceFromItsOwnNextVolley) {
    catchup_active = 1;
    TPlayer& p = P(2);
    EXPECT_EQ(CatchupAfterVolley(2, 4), 1);
    EXPECT_EQ(p.charge, 4);
    // Two steps a frame: 48 frames to the next volley, passing exactly 100.
    p.score_index = 1; // meanwhile it has gone into the lead
    int frames = 0;
    do {
        p.Update();
        ++frames;
    } while (p.charge != 0 && p.charge != 4 && frames < 200);
    EXPECT_EQ(frames, 48);
    // At that volley it is first, so the next cycle is normal again.
    EXPECT_EQ(p.catchup, 0);
    EXPECT_EQ(p.charge, 0);

    // A player who drops to fourth between volleys keeps its normal rate
    // until its own next volley.
    TPlayer& q = P(3);
    q.charge = 50;
    q.score_index = 4;
    q.Update();
    EXPECT_EQ(q.catchup, 0);
    EXPECT_EQ(q.charge, 51);
}

TEST_F(Player, CatchUpWithoutComputerPlayersGoesToTheLastHuman) {
    catchup_active = 1;
    cpu_active = 0;
    humans = {0, 1, 0, 1, 1};
    CreatePlayers();
    // Three humans: last among them is place 3.
    EXPECT_EQ(CatchupAfterVolley(3, 3), 1);
    EXPECT_EQ(CatchupAfterVolley(4, 2), 0);
    // One human: nobody.
    humans = {0, 1, 0, 0, 0};
    CreatePlayers();
    EXPECT_EQ(CatchupAfterVolley(1, 1), 0);
    // Option off: nobody.
    catchup_active = 0;
    humans = {0, 1, 1, 0, 0};
    CreatePlayers();
    EXPECT_EQ(CatchupAfterVolley(2, 2), 0);
}

TEST_F(Player, ScoreBoxGlidesFromAboveTheScreenToItsRow) {
    TPlayer& p = P(1);
    p.charge = -1000;
    for (int i = 0; i < 20; ++i)
        p.Update();
    EXPECT_EQ(p.score_y, 48);
    p.Update();
    EXPECT_EQ(p.score_y, 52);
    p.Update();
    EXPECT_EQ(p.score_y, 52);
    p.score_index = 3;
    p.Update();
    EXPECT_EQ(p.score_y, 56);
}

TEST_F(Player, DemonstrationIgnoresSwitchesScoresAndTheTune) {
    attract_mode = 1;
    cpu_active = 0;
    humans[1] = 1;
    CreatePlayers();
    // Computer seats play even with computer players off.
    P(2).Update();
    EXPECT_EQ(P(2).charge, 61);
    // The human seat ignores its key.
    PressKey(32);
    P(1).Update();
    EXPECT_EQ(P(1).dx, 4);
    EXPECT_EQ(TakeKeyHits(32), 1); // still pending: nobody asked
    // A volley pops but scores nothing and plays no note.
    P(1).charge = 99;
    PutBubble(static_cast<float>(P(1).x), 400.0f, 1);
    P(1).Update();
    EXPECT_EQ(P(1).score, 0);
    EXPECT_EQ(melody_pos, 0);
    EXPECT_EQ(bubbles.Count(), 2);
    EXPECT_EQ(P(1).result, "");
}

TEST_F(Player, DrawShowsChargeFrameOrDimStatic) {
    TPlayer& p = P(1);
    p.charge = 50;
    p.Draw();
    // Base drawn in its colour, then the overlay in white at full alpha.
    int r, g, b;
    GetColor(r, g, b);
    EXPECT_EQ(r, 255);
    EXPECT_EQ(GetAlpha(), 1.0f);
    EXPECT_EQ(GetDrawRotation(), 0.0f);
    objects_test::Recorder().ClearLog();
    p.charge = -100;
    p.Draw();
    // Dim base: alpha byte 63 for a quarter.
    bool dim = false;
    for (const auto& c : Log("color"))
        dim = dim || (c.v.size() == 4 && c.v[3] == 63.0f);
    EXPECT_TRUE(dim);
}

TEST_F(Player, OverlayFrameIsChargeOver17OrRandomStatic) {
    // The texture bound last by a drawing: every drawing below starts with
    // the base picture, so the overlay's frame always binds anew.
    auto last_bind = [](const std::function<void()>& draw) {
        objects_test::Recorder().ClearLog();
        draw();
        const auto binds = Log("bind");
        return binds.empty() ? -1.0f : binds.back().v[0];
    };
    auto frame_of = [&](const std::shared_ptr<TImage>& strip, int frame) {
        return last_bind([&] {
            DrawImageFrame(*img_base, 384.0f, 752.0f, 0);
            DrawImageFrame(*strip, 384.0f, 752.0f, frame);
        });
    };
    ASSERT_NE(frame_of(img_base_charge, 0), frame_of(img_base_charge, 5));
    TPlayer& p = P(1);
    const std::pair<int, int> charge_frame[] = {{1, 0},  {16, 0}, {17, 1}, {50, 2},
                                                {84, 4}, {85, 5}, {100, 5}};
    for (const auto& [charge, frame] : charge_frame) {
        p.charge = charge;
        EXPECT_EQ(last_bind([&] { p.Draw(); }), frame_of(img_base_charge, frame)) << charge;
    }
    // At 0 or below: a static frame drawn anew each time.
    for (int charge : {0, -1, -150}) {
        p.charge = charge;
        const int state = GetRandomSeed();
        const float bound = last_bind([&] { p.Draw(); });
        const int after = GetRandomSeed();
        SetRandomSeed(state);
        const int frame = RandomInt(0, 5);
        EXPECT_EQ(GetRandomSeed(), after);
        EXPECT_EQ(bound, frame_of(img_base_static, frame)) << charge;
    }
}
