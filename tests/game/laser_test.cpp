// The laser: line/circle crossings, the beam of each base and the sweep that
// pops, scores, rings and splits.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "game/laser.h"
#include "objects_fixture.h"

using objects_test::ObjectsTest;

class LaserSweep : public ObjectsTest {};

namespace {

std::vector<std::shared_ptr<TRing>> Rings() {
    std::vector<std::shared_ptr<TRing>> out;
    for (const auto& p : particles.Items())
        if (auto r = std::dynamic_pointer_cast<TRing>(p)) out.push_back(r);
    return out;
}

} // namespace

TEST(LaserGeometry, LineThroughCircleGivesBothCrossingsLargerFirstCoordinateFirst) {
    // The line v = 0.5 u + 1 through a circle of radius 10 round (2, 3).
    const TCircleHits hits = LineCircleHits({-20.0f, -9.0f}, {20.0f, 11.0f}, {2.0f, 3.0f}, 10.0f);
    ASSERT_EQ(hits.count, 2);
    EXPECT_GT(hits.pt[0].x, hits.pt[1].x);
    for (const TPointF& p : hits) {
        EXPECT_NEAR(p.y, 0.5f * p.x + 1.0f, 1e-4f);
        EXPECT_NEAR(std::hypot(p.x - 2.0f, p.y - 3.0f), 10.0f, 1e-3f);
    }
    // A line that passes by gives nothing.
    EXPECT_EQ(LineCircleHits({-20.0f, 40.0f}, {20.0f, 41.0f}, {2.0f, 3.0f}, 10.0f).count, 0);
}

TEST(LaserGeometry, TouchingLineGivesOneCrossingAndCountsWithinTheSegment) {
    // v = 0.75 u + 5 touches the circle of radius 4 round the origin at
    // (-2.4, 3.2); every intermediate value is exact, so the discriminant is 0.
    const TCircleHits line = LineCircleHits({-8.0f, -1.0f}, {8.0f, 11.0f}, {0.0f, 0.0f}, 4.0f);
    ASSERT_EQ(line.count, 1);
    EXPECT_FLOAT_EQ(line.pt[0].x, -2.4f);
    EXPECT_FLOAT_EQ(line.pt[0].y, 3.2f);
    const TCircleHits seg = SegmentCircleHits({-8.0f, -1.0f}, {8.0f, 11.0f}, {0.0f, 0.0f}, 4.0f);
    ASSERT_EQ(seg.count, 1);
    EXPECT_EQ(seg.pt[0], line.pt[0]);
    // The same touch beyond the end of a shorter segment is not a hit.
    EXPECT_EQ(SegmentCircleHits({0.0f, 5.0f}, {8.0f, 11.0f}, {0.0f, 0.0f}, 4.0f).count, 0);
}

TEST(LaserGeometry, SegmentKeepsOnlyCrossingsStrictlyInsideItsBox) {
    // Segment from u = 0 to u = 10 on v = 0.01 u; circle of radius 3 round
    // (10, 0.1) crosses at u = 13 (beyond) and u = 7 (inside).
    const TCircleHits hits = SegmentCircleHits({0.0f, 0.0f}, {10.0f, 0.1f}, {10.0f, 0.1f}, 3.0f);
    ASSERT_EQ(hits.count, 1);
    EXPECT_NEAR(hits.pt[0].x, 7.0f, 1e-3f);
    // Both inside: order kept, larger first coordinate first.
    const TCircleHits both = SegmentCircleHits({0.0f, 0.0f}, {20.0f, 0.2f}, {10.0f, 0.1f}, 3.0f);
    ASSERT_EQ(both.count, 2);
    EXPECT_NEAR(both.pt[0].x, 13.0f, 1e-3f);
    EXPECT_NEAR(both.pt[1].x, 7.0f, 1e-3f);
}

TEST(LaserGeometry, BeamEndsPerBase) {
    TPointF f, n;
    BeamEnds(1, 300, 752, f, n);
    EXPECT_EQ(f, (TPointF{300.0f - 0.1f, 192.0f}));
    EXPECT_EQ(n, (TPointF{300.0f + 0.1f, 738.0f}));
    BeamEnds(2, 300, 16, f, n);
    EXPECT_EQ(f, (TPointF{300.0f - 0.1f, 576.0f}));
    EXPECT_EQ(n, (TPointF{300.0f + 0.1f, 30.0f}));
    BeamEnds(3, 16, 500, f, n);
    EXPECT_EQ(f, (TPointF{576.0f, 500.0f - 0.1f}));
    EXPECT_EQ(n, (TPointF{30.0f, 500.0f + 0.1f}));
    BeamEnds(4, 752, 500, f, n);
    EXPECT_EQ(f, (TPointF{192.0f, 500.0f - 0.1f}));
    EXPECT_EQ(n, (TPointF{738.0f, 500.0f + 0.1f}));
}

TEST_F(LaserSweep, StraddlingBubbleIsHitAtTheCrossingInsideTheBeam) {
    // Base 1 at x = 384 reaches up to y = 192; a size-1 bubble centred there
    // crosses the beam at y = 256 (inside) and y = 128 (beyond).
    auto b = PutBubble(384.0f, 192.0f, 1, 2.0f, 0.0f);
    b->dy = 0.0f;
    EXPECT_TRUE(SweepLaser(P(1)));
    EXPECT_FALSE(bubbles.Contains(b.get()));
    EXPECT_EQ(P(1).score, 10);
    const auto items = bubbles.Items();
    ASSERT_EQ(items.size(), 2u);
    for (const auto& piece : items) {
        // The pieces start at the hit point, truncated to whole pixels.
        EXPECT_EQ(piece->x, 383.0f);
        EXPECT_TRUE(piece->y == 255.0f || piece->y == 256.0f) << piece->y;
        EXPECT_EQ(piece->size, 2);
        EXPECT_EQ(piece->owned, 1);
        EXPECT_EQ(piece->owntime, 500);
        EXPECT_EQ(piece->fadein, 30);
    }
}

TEST_F(LaserSweep, IgnoresBubbleWhollyBeyondTheFarEnd) {
    // Lowest point at y = 164, above the far end (192): passes the quick test only.
    auto b = PutBubble(384.0f, 100.0f, 1);
    EXPECT_FALSE(SweepLaser(P(1)));
    EXPECT_TRUE(bubbles.Contains(b.get()));
    EXPECT_EQ(P(1).score, 0);
    EXPECT_TRUE(particles.Empty());
}

TEST_F(LaserSweep, HitPointIsTheEntrySeenFromEachBase) {
    // One bubble across the middle of each beam: the pieces start on the
    // bubble's edge facing the base that fired.
    struct Case {
        int player;
        float bx, by;
        float ex, ey; // expected entry point
    };
    P(1).x = 400;
    P(2).x = 400;
    P(3).y = 400;
    P(4).y = 400;
    const Case cases[] = {{1, 400.0f, 400.0f, 400.0f, 432.0f},
                          {2, 400.0f, 400.0f, 400.0f, 368.0f},
                          {3, 400.0f, 400.0f, 368.0f, 400.0f},
                          {4, 400.0f, 400.0f, 432.0f, 400.0f}};
    for (const Case& c : cases) {
        bubbles.Clear();
        PutBubble(c.bx, c.by, 2);
        ASSERT_TRUE(SweepLaser(P(c.player))) << c.player;
        const auto pieces = bubbles.Items();
        ASSERT_EQ(pieces.size(), 2u);
        EXPECT_NEAR(pieces[0]->x, c.ex, 1.0f) << c.player;
        EXPECT_NEAR(pieces[0]->y, c.ey, 1.0f) << c.player;
    }
}

TEST_F(LaserSweep, PointsBySizeAndOwnership) {
    struct Case {
        int size, owned, points;
    };
    const Case cases[] = {{1, 0, 10}, {2, 0, 20}, {3, 0, 30}, {1, 1, 20}, {2, 1, 40},
                          {3, 1, 60}, {1, 3, 5},  {2, 4, 10}, {3, 2, 15}};
    for (const Case& c : cases) {
        bubbles.Clear();
        particles.Clear();
        P(1).score = 100;
        PutBubble(384.0f, 500.0f, c.size, 1.0f, 1.0f, c.owned);
        ASSERT_TRUE(SweepLaser(P(1)));
        EXPECT_EQ(P(1).score, 100 + c.points) << c.size << " " << c.owned;
        const auto rings = Rings();
        ASSERT_EQ(rings.size(), 1u);
        EXPECT_EQ(rings[0]->s_text, std::to_string(c.points));
        EXPECT_EQ(rings[0]->index, c.owned);
        EXPECT_EQ(rings[0]->s_col, 1);
        EXPECT_EQ(rings[0]->scale, bubble_scale[static_cast<std::size_t>(c.size)]);
        EXPECT_EQ(rings[0]->scale2, static_cast<float>(c.size));
        EXPECT_EQ(rings[0]->x, 384.0f);
        EXPECT_EQ(rings[0]->y, 500.0f);
    }
}

TEST_F(LaserSweep, SmallestBubblePopsWithoutPiecesOthersLeaveImmunePieces) {
    PutBubble(384.0f, 400.0f, 3);
    EXPECT_TRUE(SweepLaser(P(1)));
    EXPECT_TRUE(bubbles.Empty());

    PutBubble(384.0f, 400.0f, 1, 3.0f, -2.0f);
    EXPECT_TRUE(SweepLaser(P(1)));
    ASSERT_EQ(bubbles.Count(), 2);
    // The pieces lie on the beam, but a second shot passes through them
    // while they fade in.
    P(1).score = 0;
    EXPECT_FALSE(SweepLaser(P(1)));
    EXPECT_EQ(bubbles.Count(), 2);
    EXPECT_EQ(P(1).score, 0);
}

TEST_F(LaserSweep, PiecesFlyAwayFromTheShooterAtTheOldSpeed) {
    // Hit from below (base 1): the direction towards the shooter is 0 degrees
    // (straight down), so the pieces leave at +-140 degrees across and 120
    // degrees up: dx = +-2 sin 140, dy = 2 cos 120 for a bubble of speed 2.
    PutBubble(384.0f, 400.0f, 1, 0.0f, 2.0f);
    const int state = GetRandomSeed();
    ASSERT_TRUE(SweepLaser(P(1)));
    const auto pieces = bubbles.Items();
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_NEAR(pieces[0]->dx, 2.0 * std::sin(140.0 * std::numbers::pi / 180.0), 1e-5);
    EXPECT_NEAR(pieces[1]->dx, -2.0 * std::sin(140.0 * std::numbers::pi / 180.0), 1e-5);
    // 2 cos 120 is a hair above -1 in double and rounds to -1 in single
    // precision: a speed, not a request for a random one.
    EXPECT_EQ(pieces[0]->dy, -1.0f);
    EXPECT_EQ(pieces[1]->dy, -1.0f);
    // Only the two wobbles were drawn from the generator.
    const int after = GetRandomSeed();
    SetRandomSeed(state);
    RandomInt(1, 360);
    RandomInt(1, 360);
    EXPECT_EQ(after, GetRandomSeed());
}

TEST_F(LaserSweep, SeveralBubblesOnOneBeamAllPopInOrder) {
    auto a = PutBubble(384.0f, 300.0f, 3);
    auto b = PutBubble(390.0f, 450.0f, 2);
    auto c = PutBubble(380.0f, 600.0f, 3);
    auto off = PutBubble(500.0f, 450.0f, 3); // 116 pixels beside the beam
    EXPECT_TRUE(SweepLaser(P(1)));
    EXPECT_EQ(P(1).score, 30 + 20 + 30);
    const auto rings = Rings();
    ASSERT_EQ(rings.size(), 3u);
    EXPECT_EQ(rings[0]->y, 300.0f);
    EXPECT_EQ(rings[1]->y, 450.0f);
    EXPECT_EQ(rings[2]->y, 600.0f);
    EXPECT_TRUE(bubbles.Contains(off.get()));
    EXPECT_EQ(bubbles.Count(), 1 + 2); // the survivor and the size-2 bubble's pieces
}

TEST_F(LaserSweep, InAttractModeSplitsButScoresNothing) {
    attract_mode = 1;
    PutBubble(384.0f, 400.0f, 1);
    EXPECT_TRUE(SweepLaser(P(1)));
    EXPECT_EQ(P(1).score, 0);
    EXPECT_EQ(bubbles.Count(), 2);
    ASSERT_EQ(Rings().size(), 1u);
    EXPECT_EQ(Rings()[0]->s_text, "10");
}

TEST_F(LaserSweep, EachPopPlaysLowForBigBubblesPannedToWhereItWas) {
    objects_test::TSoundRecording sounds;
    // Base 4's beam along y = 384 crosses three bubbles, one of each size.
    P(4).y = 384;
    PutBubble(600.0f, 384.0f, 3);
    PutBubble(300.0f, 384.0f, 1);
    PutBubble(450.0f, 384.0f, 2);
    ASSERT_TRUE(SweepLaser(P(4)));
    const auto plays = sounds.Plays();
    ASSERT_EQ(plays.size(), 3u);
    const float rate[] = {1.2f, 0.5f, 0.9f};
    const float x[] = {600.0f, 300.0f, 450.0f};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(plays[i].sound, snd_pop.get());
        EXPECT_FLOAT_EQ(plays[i].rate, rate[i]) << i;
        EXPECT_FLOAT_EQ(plays[i].pan, 0.0026f * (x[i] - 384.0f)) << i;
        EXPECT_EQ(plays[i].volume, 1.0f) << i;
    }
    // The demonstration pops in silence.
    attract_mode = 1;
    PutBubble(500.0f, 384.0f, 3);
    ASSERT_TRUE(SweepLaser(P(4)));
    EXPECT_TRUE(sounds.Plays().empty());
}

TEST_F(LaserSweep, PieceAtASineOf180DegreesKeepsItsTinySpeedRaisedTo1) {
    // Base 1 at x = 384 enters this bubble at (383, 448): the direction to the
    // hit point is atan2(41, 47.75) = 40.65 degrees, truncated to 40, so the
    // first piece's dx is 5 sin(180 degrees). Through double radians that is
    // 6e-16, not 0: raised to +1 like any slow speed, with no random draw.
    P(1).x = 384;
    PutBubble(342.0f, 400.25f, 1, 3.0f, 4.0f);
    const int state = GetRandomSeed();
    ASSERT_TRUE(SweepLaser(P(1)));
    const auto pieces = bubbles.Items();
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(pieces[0]->x, 383.0f);
    EXPECT_EQ(pieces[0]->y, 448.0f);
    EXPECT_EQ(pieces[0]->dx, 1.0f);
    EXPECT_FLOAT_EQ(pieces[0]->dy, static_cast<float>(5.0 * std::cos(160.0 * std::numbers::pi / 180.0)));
    EXPECT_FLOAT_EQ(pieces[1]->dx, static_cast<float>(5.0 * std::sin(-100.0 * std::numbers::pi / 180.0)));
    EXPECT_EQ(pieces[1]->dy, 1.0f); // 5 cos(-80 degrees), below 1
    const int after = GetRandomSeed();
    SetRandomSeed(state);
    RandomInt(1, 360);
    RandomInt(1, 360);
    EXPECT_EQ(after, GetRandomSeed());
}
