// Bubbles: creation with random speeds, moves and bounces, fade-in, the short
// circuit of a touching base, ownership and how they are drawn.
#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "objects_fixture.h"

using objects_test::ObjectsTest;

class Bubble : public ObjectsTest {};

TEST_F(Bubble, CreationRaisesSlowSpeedsAndDrawsRandomOnesInOrder) {
    auto a = CreateBubble(100.0f, 200.0f, 1, 0, 0.3f, -0.3f);
    EXPECT_EQ(a->dx, 1.0f);
    EXPECT_EQ(a->dy, -1.0f);
    EXPECT_EQ(a->fadein, 100);
    EXPECT_EQ(a->owned, 0);
    EXPECT_EQ(a->owntime, 0);
    auto piece = CreateBubble(100.0f, 200.0f, 2, 3, 2.5f, -1.5f);
    EXPECT_EQ(piece->dx, 2.5f);
    EXPECT_EQ(piece->dy, -1.5f);
    EXPECT_EQ(piece->fadein, 30);
    EXPECT_EQ(piece->owned, 3);
    EXPECT_EQ(piece->owntime, 500);

    // Random speeds: wobble first, then the horizontal magnitude and sign,
    // then the vertical ones.
    for (int seed : {1, 77, 4242, 99999}) {
        SetRandomSeed(seed);
        auto b = CreateBubble(0.0f, 0.0f, 1, 0, 0.0f, 0.0f);
        const int state_after = GetRandomSeed();
        SetRandomSeed(seed);
        const int wobble = RandomInt(1, 360);
        float dx = static_cast<float>(RandomReal(1.0, 5.0));
        if (RandomInt(0, 1) != 0) dx = -dx;
        float dy = static_cast<float>(RandomReal(1.0, 5.0));
        if (RandomInt(0, 1) != 0) dy = -dy;
        EXPECT_EQ(b->wobble, wobble);
        EXPECT_EQ(b->dx, dx);
        EXPECT_EQ(b->dy, dy);
        EXPECT_GE(std::fabs(b->dx), 1.0f);
        EXPECT_LE(std::fabs(b->dx), 5.0f);
        EXPECT_EQ(GetRandomSeed(), state_after);
    }
    // Only the zero component draws: a fixed dx and a random dy.
    SetRandomSeed(5);
    auto c = CreateBubble(0.0f, 0.0f, 1, 0, -2.0f, 0.0f);
    SetRandomSeed(5);
    RandomInt(1, 360);
    float dy = static_cast<float>(RandomReal(1.0, 5.0));
    if (RandomInt(0, 1) != 0) dy = -dy;
    EXPECT_EQ(c->dx, -2.0f);
    EXPECT_EQ(c->dy, dy);
    // A tiny but non-zero speed is raised, with no draws.
    SetRandomSeed(6);
    auto d = CreateBubble(0.0f, 0.0f, 2, 1, 1.2e-16f, -1e-30f);
    SetRandomSeed(6);
    RandomInt(1, 360);
    const int expected = GetRandomSeed();
    EXPECT_EQ(d->dx, 1.0f);
    EXPECT_EQ(d->dy, -1.0f);
    SetRandomSeed(6);
    CreateBubble(0.0f, 0.0f, 2, 1, 1.2e-16f, -1e-30f);
    EXPECT_EQ(GetRandomSeed(), expected);
    EXPECT_EQ(bubbles.Count(), 9);
}

TEST_F(Bubble, BouncesOffTheWallsInTheSameUpdate) {
    struct Case {
        int size;
        float x, y, dx, dy;                     // before the update
        float want_x, want_y, want_dx, want_dy; // after it
    };
    const Case cases[] = {
        // Radius 64 moving to x = 20: put back at 64, turned round.
        {1, 23.0f, 400.0f, -3.0f, 0.0f, 64.0f, 400.0f, 3.0f, 0.0f},
        // Radius 16 moving to x = 760: put at 752.
        {3, 757.0f, 400.0f, 3.0f, 0.0f, 752.0f, 400.0f, -3.0f, 0.0f},
        // The same on the vertical axis, top and bottom.
        {2, 400.0f, 30.0f, 0.0f, -4.5f, 400.0f, 32.0f, 0.0f, 4.5f},
        {1, 400.0f, 700.0f, 0.0f, 5.0f, 400.0f, 704.0f, 0.0f, -5.0f},
        // A bubble well inside just moves.
        {1, 300.0f, 300.0f, 1.5f, -2.25f, 301.5f, 297.75f, 1.5f, -2.25f},
    };
    for (const Case& c : cases) {
        auto b = PutBubble(c.x, c.y, c.size, c.dx, c.dy);
        b->Update();
        EXPECT_EQ(b->x, c.want_x) << c.x << "," << c.y;
        EXPECT_EQ(b->y, c.want_y) << c.x << "," << c.y;
        EXPECT_EQ(b->dx, c.want_dx) << c.x << "," << c.y;
        EXPECT_EQ(b->dy, c.want_dy) << c.x << "," << c.y;
    }
}

TEST_F(Bubble, WobblesFasterWhenSmallAndFadesInByTwo) {
    auto b = PutBubble(400.0f, 400.0f, 3);
    b->wobble = 350;
    b->fadein = 30;
    b->Update();
    EXPECT_EQ(b->wobble, 5);
    EXPECT_EQ(b->fadein, 28);
    auto big = PutBubble(400.0f, 400.0f, 1);
    big->wobble = 355;
    big->Update();
    EXPECT_EQ(big->wobble, 0);
    EXPECT_EQ(big->fadein, 0);
}

TEST_F(Bubble, ShortCircuitsAChargedBaseFrom99ToMinus101) {
    ASSERT_TRUE(img_bubble && img_base) << "embedded pictures missing";
    // Base 1 sits at (384, 752); a size-3 bubble right on top of it.
    P(1).charge = 99;
    auto b = PutBubble(384.0f, 740.0f, 3, 0.0f, 0.0f);
    b->Update();
    EXPECT_EQ(P(1).charge, -101);
    // Not again while the charge is at or below 0.
    b->Update();
    EXPECT_EQ(P(1).charge, -101);
    P(1).charge = 0;
    b->Update();
    EXPECT_EQ(P(1).charge, 0);
    // The bubble itself goes on unchanged.
    EXPECT_TRUE(bubbles.Contains(b.get()));
    EXPECT_EQ(b->x, 384.0f);
}

TEST_F(Bubble, FadingInPassesOverABaseHarmlessly) {
    ASSERT_TRUE(img_bubble && img_base);
    P(1).charge = 50;
    auto b = PutBubble(384.0f, 740.0f, 3, 0.0f, 0.0f);
    b->fadein = 4;
    b->Update();
    b->Update();
    EXPECT_EQ(P(1).charge, 50);
    EXPECT_EQ(b->fadein, 0);
    // Faded in: the next update short-circuits.
    b->Update();
    EXPECT_EQ(P(1).charge, -150);
}

TEST_F(Bubble, NearButNotTouchingLeavesTheBaseAlone) {
    ASSERT_TRUE(img_bubble && img_base);
    // Within the rough distance test (73 < 64 + 10 on both axes) and with
    // overlapping picture rectangles, but the bubble's round outline stays
    // 70 pixels from the corner of the base picture: tested, not touching.
    P(1).charge = 50;
    auto b = PutBubble(384.0f - 73.0f, 752.0f - 73.0f, 1, 0.0f, 0.0f);
    const long long tests = ShortCircuitTests();
    b->Update();
    EXPECT_EQ(ShortCircuitTests(), tests + 1);
    EXPECT_EQ(P(1).charge, 50);
    // Out of the rough range: not even tested.
    b->x = 384.0f - 75.0f;
    b->Update();
    EXPECT_EQ(ShortCircuitTests(), tests + 1);
}

TEST_F(Bubble, ShortCircuitTestsTheBubbleAtWholePixels) {
    ASSERT_TRUE(img_bubble && img_base);
    // At (359.9, 732.9) the small bubble's picture touches base 1's corner,
    // but it is tested at (359, 732), where it does not; one pixel lower, at
    // (359, 733), it does.
    P(1).charge = 50;
    auto b = PutBubble(359.9f, 732.9f, 3, 0.0f, 0.0f);
    b->Update();
    EXPECT_EQ(P(1).charge, 50);
    b->x = 359.0f;
    b->y = 733.0f;
    b->Update();
    EXPECT_EQ(P(1).charge, -150);
}

TEST_F(Bubble, CanShortCircuitTwoBasesAtOnce) {
    ASSERT_TRUE(img_bubble && img_base);
    // Bases 1 (bottom) and 4 (right) near the bottom-right corner.
    P(1).x = 704;
    P(4).y = 704;
    P(1).charge = 30;
    P(4).charge = 31;
    auto b = PutBubble(720.0f, 720.0f, 1, 0.0f, 0.0f);
    b->Update();
    EXPECT_EQ(P(1).charge, -170);
    EXPECT_EQ(P(4).charge, -169);
}

TEST_F(Bubble, OwnershipEndsWhenOwntimeReachesZero) {
    auto b = PutBubble(400.0f, 400.0f, 2, 1.0f, 1.0f, 2);
    b->owntime = 2;
    b->Update();
    EXPECT_EQ(b->owned, 2);
    EXPECT_EQ(b->owntime, 1);
    b->Update();
    EXPECT_EQ(b->owned, 0);
    EXPECT_EQ(b->owntime, 0);
    b->Update();
    EXPECT_EQ(b->owntime, 0);
    // Drawn white from then on.
    objects_test::Recorder().ClearLog();
    b->Draw();
    const auto colours = Log("color");
    ASSERT_FALSE(colours.empty());
    EXPECT_EQ(colours.back().v[0], 255.0f);
    EXPECT_EQ(colours.back().v[1], 255.0f);
    EXPECT_EQ(colours.back().v[2], 255.0f);
    // The timer runs during the fade-in too.
    auto piece = PutBubble(400.0f, 400.0f, 2, 1.0f, 1.0f, 4);
    piece->fadein = 30;
    piece->Update();
    EXPECT_EQ(piece->owntime, 499);
}

TEST_F(Bubble, DrawBlinksAtTheEndOfOwnershipAndFlickersWhileFadingIn) {
    auto b = PutBubble(400.0f, 400.0f, 1, 1.0f, 1.0f, 1);
    auto colour_of = [&](int owntime, int fadein) {
        b->owntime = owntime;
        b->fadein = fadein;
        SetColor(1, 2, 3);
        b->Draw();
        int r, g, bl;
        GetColor(r, g, bl);
        return std::array<int, 3>{r, g, bl};
    };
    const std::array<int, 3> green{8, 255, 8}, white{255, 255, 255}, black{0, 0, 0};
    struct Case {
        int owned, owntime, fadein;
        std::array<int, 3> colour;
    };
    const Case cases[] = {
        // Blinking white on owntime mod 5 = 4 from 99 down to 50, on 2, 3 and 4 below 50.
        {1, 100, 0, green},
        {1, 99, 0, white},
        {1, 98, 0, green},
        {1, 54, 0, white},
        {1, 52, 0, green},
        {1, 49, 0, white},
        {1, 47, 0, white},
        {1, 46, 0, green},
        {1, 1, 0, green},
        {1, 2, 0, white},
        // Fade-in flicker whatever the owner: fadein 98, 88, ..., 8.
        {1, 300, 98, black},
        {1, 300, 8, black},
        {1, 300, 96, green},
        {0, 0, 0, white},
        {0, 0, 38, black},
    };
    for (const Case& c : cases) {
        b->owned = c.owned;
        EXPECT_EQ(colour_of(c.owntime, c.fadein), c.colour)
            << "owned " << c.owned << " owntime " << c.owntime << " fadein " << c.fadein;
    }
}

TEST_F(Bubble, DrawBreathesAndGrowsWhileFadingIn) {
    // Size 2 (scale 0.6) at wobble 90: 0.625 across, 0.6 down, on the
    // 128 x 128 picture.
    auto b = PutBubble(400.0f, 300.0f, 2);
    b->wobble = 90;
    b->Draw();
    auto images = Log("image");
    ASSERT_EQ(images.size(), 1u);
    EXPECT_NEAR(images[0].v[2] - images[0].v[0], 80.0f, 1e-3f);
    EXPECT_NEAR(images[0].v[7] - images[0].v[1], 76.8f, 1e-3f);
    EXPECT_NEAR((images[0].v[0] + images[0].v[2]) / 2.0f, 400.0f, 1e-3f);
    EXPECT_NEAR((images[0].v[1] + images[0].v[7]) / 2.0f, 300.0f, 1e-3f);
    EXPECT_FLOAT_EQ(GetAlpha(), 1.0f);
    float sx, sy;
    GetDrawScale(sx, sy);
    EXPECT_EQ(sx, 1.0f);
    EXPECT_EQ(sy, 1.0f);

    // A piece fading in (30 frames to go) is drawn at 70% of that, at alpha 0.7.
    b->fadein = 30;
    objects_test::Recorder().ClearLog();
    b->Draw();
    images = Log("image");
    ASSERT_EQ(images.size(), 1u);
    EXPECT_NEAR(images[0].v[2] - images[0].v[0], 56.0f, 1e-3f);
    EXPECT_NEAR(images[0].v[7] - images[0].v[1], 53.76f, 1e-3f);
    EXPECT_NEAR(GetAlpha(), 0.7f, 1e-6f);
}

TEST_F(Bubble, TintByOwner) {
    const std::array<int, 3> tint[5] = {
        {255, 255, 255}, {8, 255, 8}, {255, 255, 8}, {64, 64, 255}, {255, 64, 64}};
    for (int owner = 0; owner <= 4; ++owner) {
        auto b = PutBubble(400.0f, 400.0f, 1, 1.0f, 1.0f, owner);
        SetColor(1, 2, 3);
        b->Draw();
        std::array<int, 3> c{};
        GetColor(c[0], c[1], c[2]);
        EXPECT_EQ(c, tint[owner]) << owner;
    }
}
