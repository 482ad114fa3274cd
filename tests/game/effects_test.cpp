// Effects: the floating text line, the ring of a popped bubble and the laser
// afterglow, with their lifetimes and their last drawing.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "objects_fixture.h"

using objects_test::ObjectsTest;

class Effects : public ObjectsTest {};

namespace {

// The colour record (r, g, b, alpha byte) in force at the first picture or
// primitive drawn after the log was cleared.
std::vector<float> ColourAtFirstDraw() {
    std::vector<float> colour;
    for (const TCanvasRecord& r : objects_test::Recorder().log) {
        if (r.op == "color") colour = r.v;
        if (r.op == "image" || r.op == "lines" || r.op == "quads") return colour;
    }
    return {};
}

std::vector<float> Rgba(float r, float g, float b, float a) {
    return {r, g, b, a};
}

// The glyph quads DrawString records for `text` in `font`, placed at
// (x - w / 2, y + dy) with w its width (halved with integer division) and dy
// given the line height: where a centred label is expected to land.
std::vector<std::vector<float>> CentredText(const std::shared_ptr<TImageFont>& font, const std::string& text,
                                            float x, float y, int (*dy)(int line_height)) {
    SelectImageFont(font);
    const int w = StringWidth(text);
    objects_test::Recorder().ClearLog();
    DrawString(text, x - static_cast<float>(w / 2), y + static_cast<float>(dy(FontLineHeight())));
    std::vector<std::vector<float>> quads;
    for (const TCanvasRecord& r : objects_test::Recorder().Entries("image"))
        quads.push_back(r.v);
    SelectImageFont(fnt_small);
    return quads;
}

} // namespace

TEST_F(Effects, AfterglowShinesSixFramesThenFadesGrey) {
    auto glow = CreateLaserAfterglow(1, 100, 700, 100, 200);
    SetColor(0, 0, 0); // so that the first colour is recorded
    // Alpha bytes of the bright phase: 0.925, 0.85, ..., 0.55 of 255.
    const float bright[] = {235, 216, 197, 178, 159, 140};
    int frames = 0;
    while (particles.Count() == 1 && frames < 200) {
        objects_test::Recorder().ClearLog();
        EffectsFrame();
        ++frames;
        const auto colour = ColourAtFirstDraw();
        ASSERT_EQ(colour.size(), 4u) << frames;
        if (frames <= 6) {
            EXPECT_EQ(colour, Rgba(8, 255, 8, bright[frames - 1])) << frames;
        } else {
            EXPECT_EQ(colour[0], 32.0f) << frames;
            EXPECT_EQ(colour[1], 32.0f);
            EXPECT_EQ(colour[2], 32.0f);
        }
        // Every frame: the line twice (thin and wide) and the spark twice.
        EXPECT_EQ(Log("lines").size(), 2u);
        EXPECT_EQ(Log("image").size(), 2u);
    }
    // 7 bright-phase steps to 0.475, then 48 of 0.01 past zero; the frame in
    // which it left the list still drew it, at alpha 0.
    EXPECT_EQ(frames, 55);
    EXPECT_TRUE(particles.Empty());
    EXPECT_LE(glow->alpha, 0.0f);
    EXPECT_EQ(ColourAtFirstDraw()[3], 0.0f);
    EXPECT_EQ(GetLineWidth(), 6.0f);
    EXPECT_EQ(GetDrawRotation(), 0.0f);
}

TEST_F(Effects, AfterglowSparkTurnsWithTheFirstEndOnly) {
    // (x + y) mod 360 = (300 + 500) mod 360 = 80 degrees; a glow with both
    // ends equal still draws both lines and the spark.
    auto glow = CreateLaserAfterglow(0, 300, 500, 300, 500);
    EffectsFrame();
    const auto images = Log("image");
    ASSERT_EQ(images.size(), 2u);
    // The spark is a 128 x 128 picture centred on (x2, y2), turned by 80
    // degrees: its first corner (-64, -64) lands at R(80) * (-64, -64).
    const double a = 80.0 * std::numbers::pi / 180.0;
    const double cx = 300.0 + (-64.0 * std::cos(a) - -64.0 * std::sin(a));
    const double cy = 500.0 + (-64.0 * std::sin(a) + -64.0 * std::cos(a));
    EXPECT_NEAR(images[0].v[0], cx, 0.01);
    EXPECT_NEAR(images[0].v[1], cy, 0.01);
    EXPECT_EQ(images[0].v, images[1].v);
    const auto lines = Log("lines");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].v[0], lines[0].v[2]);
    EXPECT_EQ(lines[0].v[1], lines[0].v[3]);
    EXPECT_EQ(Log("linewidth").back().v[0], 6.0f);
}

TEST_F(Effects, SpawnLaserAfterglowFollowsEachBeam) {
    P(1).x = 100;
    P(2).x = 200;
    P(3).y = 300;
    P(4).y = 400;
    struct Want {
        float x, y, x2, y2;
    };
    const Want want[5] = {
        {}, {100, 738, 100, 192}, {200, 30, 200, 576}, {30, 300, 576, 300}, {738, 400, 192, 400}};
    for (int i = 1; i <= 4; ++i) {
        auto g = SpawnLaserAfterglow(i);
        ASSERT_TRUE(g);
        EXPECT_EQ(g->index, i);
        EXPECT_EQ(g->alpha, 1.0f);
        EXPECT_EQ(g->x, want[i].x);
        EXPECT_EQ(g->y, want[i].y);
        EXPECT_EQ(g->x2, want[i].x2);
        EXPECT_EQ(g->y2, want[i].y2);
    }
    EXPECT_EQ(particles.Count(), 4);
}

TEST_F(Effects, TextLineFloatsUpAndIsDrawnOnceMoreAfterLeaving) {
    auto line = std::make_shared<TTextLine>();
    line->y = 565.0f;
    line->text = "Shoot the bubbles";
    particles.Append(line);
    // A neighbour behind it shows that the walk goes on after the removal.
    auto after = std::make_shared<TTextLine>();
    after->y = 600.0f;
    particles.Append(after);
    for (int i = 1; i <= 750; ++i)
        EffectsFrame();
    EXPECT_EQ(line->y, 190.0f);
    EXPECT_TRUE(particles.Contains(line.get()));
    objects_test::Recorder().ClearLog();
    EffectsFrame();
    EXPECT_EQ(line->y, 189.5f);
    EXPECT_FALSE(particles.Contains(line.get()));
    EXPECT_EQ(after->y, 224.5f);
    // Its last drawing: white at alpha 1 - 0.015 * 60.5, about 0.09 (byte 23).
    const auto colour = ColourAtFirstDraw();
    ASSERT_EQ(colour.size(), 4u);
    EXPECT_EQ(colour, Rgba(255, 255, 255, 23));
    EXPECT_FALSE(Log("image").empty());
}

TEST_F(Effects, TextLineFadesInAtTheBottom) {
    auto line = std::make_shared<TTextLine>();
    line->y = 565.5f;
    line->text = "X";
    particles.Append(line);
    SetColor(0, 0, 0);
    objects_test::Recorder().ClearLog();
    EffectsFrame();
    // y = 565: alpha 1 - 0.015 * 60 = 0.1 (byte 25).
    EXPECT_EQ(ColourAtFirstDraw()[3], 25.0f);
    // Centred on x = 384, at its own y.
    std::vector<std::vector<float>> glyphs;
    for (const TCanvasRecord& r : Log("image"))
        glyphs.push_back(r.v);
    ASSERT_FALSE(glyphs.empty());
    EXPECT_EQ(glyphs, CentredText(fnt_small, "X", 384.0f, 565.0f, [](int) { return 0; }));
}

TEST_F(Effects, RingGrowsFadesAndShowsPointsOutsideTheDemonstration) {
    auto ring = std::make_shared<TRing>();
    ring->x = 300.0f;
    ring->y = 400.0f;
    ring->index = 3;
    ring->scale = 0.3f;
    ring->scale2 = 3.0f;
    ring->s_col = 2;
    ring->s_text = "60";
    particles.Append(ring);
    EXPECT_EQ(ring->alpha, 0.5f);

    objects_test::Recorder().ClearLog();
    EffectsFrame();
    // The ring in the owner's colour (deep blue), then the points in the
    // shooter's colour (yellow), both at the ring's alpha.
    const auto colours = Log("color");
    ASSERT_GE(colours.size(), 2u);
    EXPECT_EQ(ColourAtFirstDraw(), Rgba(8, 8, 255, 126));
    bool yellow = false;
    for (const auto& c : colours)
        yellow = yellow || c.v == Rgba(255, 255, 64, 126);
    EXPECT_TRUE(yellow);
    // Ring picture 128 x 128 at scale 0.3 + 0.02 / 3.
    const auto images = Log("image");
    ASSERT_GE(images.size(), 2u);
    EXPECT_NEAR(images[0].v[2] - images[0].v[0], 128.0f * (0.3f + 0.02f / 3.0f), 1e-3f);
    // The points centred on the ring in the medium font, 3 pixels below the
    // middle of a line: at (x - w / 2, y - h / 2 + 3).
    ASSERT_TRUE(fnt_medium && fnt_small);
    ASSERT_NE(fnt_medium, fnt_small);
    std::vector<std::vector<float>> text;
    for (std::size_t i = 1; i < images.size(); ++i)
        text.push_back(images[i].v);
    EXPECT_EQ(text, CentredText(fnt_medium, "60", 300.0f, 400.0f, [](int h) { return -(h / 2) + 3; }));

    int frames = 1;
    while (particles.Contains(ring.get()) && frames < 200) {
        EffectsFrame();
        ++frames;
    }
    // 100 steps of 0.005 in single precision leave it a hair above 0, so it
    // goes in the 101st update, just below 0.
    EXPECT_EQ(frames, 101);
    EXPECT_LE(ring->alpha, 0.0f);
    EXPECT_GT(ring->alpha, -0.005f);
    EXPECT_NEAR(ring->scale, 0.3f + frames * 0.02f / 3.0f, 1e-3f);

    // In the demonstration only the ring is drawn.
    attract_mode = 1;
    auto quiet = std::make_shared<TRing>();
    quiet->scale = 1.0f;
    quiet->scale2 = 1.0f;
    quiet->s_col = 1;
    quiet->s_text = "10";
    particles.Append(quiet);
    objects_test::Recorder().ClearLog();
    EffectsFrame();
    EXPECT_EQ(Log("image").size(), 1u);
}

TEST_F(Effects, SeveralLeavingInOneWalkAreAllDrawnAndTheRestUpdated) {
    std::vector<std::shared_ptr<TRing>> rings;
    for (int i = 0; i < 4; ++i) {
        auto r = std::make_shared<TRing>();
        r->scale2 = 1.0f;
        r->alpha = (i % 2 == 0) ? 0.004f : 0.3f; // the 1st and 3rd leave now
        attract_mode = 1;
        particles.Append(r);
        rings.push_back(r);
    }
    objects_test::Recorder().ClearLog();
    EffectsFrame();
    EXPECT_EQ(particles.Count(), 2);
    EXPECT_EQ(Log("image").size(), 4u);
    EXPECT_FLOAT_EQ(rings[1]->alpha, 0.295f);
    EXPECT_FLOAT_EQ(rings[3]->alpha, 0.295f);
}

TEST_F(Effects, ColoursByIndex) {
    // Ring by the popped bubble's owner, its points by the shooter, afterglow by player.
    const std::vector<float> ring[5] = {Rgba(255, 255, 255, 126), Rgba(8, 255, 8, 126),
                                        Rgba(255, 255, 8, 126), Rgba(8, 8, 255, 126), Rgba(255, 64, 64, 126)};
    const std::vector<float> points[5] = {
        {}, Rgba(64, 255, 64, 126), Rgba(255, 255, 64, 126), Rgba(64, 64, 255, 126), Rgba(255, 64, 64, 126)};
    const std::vector<float> glow[5] = {Rgba(255, 255, 255, 235), Rgba(8, 255, 8, 235),
                                        Rgba(255, 255, 8, 235), Rgba(64, 64, 255, 235),
                                        Rgba(255, 64, 64, 235)};
    for (int i = 0; i <= 4; ++i) {
        particles.Clear();
        auto r = std::make_shared<TRing>();
        r->index = i;
        r->s_col = i == 0 ? 1 : i;
        r->scale = r->scale2 = 1.0f;
        r->s_text = "10";
        particles.Append(r);
        SetColor(1, 1, 1);
        objects_test::Recorder().ClearLog();
        EffectsFrame();
        EXPECT_EQ(ColourAtFirstDraw(), ring[i]) << i;
        if (i > 0) {
            EXPECT_EQ(Log("color").back().v, points[i]) << i;
        }

        particles.Clear();
        CreateLaserAfterglow(i, 10, 10, 100, 10);
        SetColor(1, 1, 1);
        objects_test::Recorder().ClearLog();
        EffectsFrame();
        EXPECT_EQ(ColourAtFirstDraw(), glow[i]) << i;
    }
}
