#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "assets/embedded_assets.h"
#include "graphics/overlap.h"
#include "image_fixture.h"

using image_test::RecordingContext;

namespace {

TImagePtr Solid(int w, int h, int format = PIXEL_RGB24) {
    auto p = TPixmap::Create(w, h, format);
    p->ClearPixels(0xFF000000); // black, and not masked: solid all over
    return LoadImageSingle(p, 0);
}

// An RGBA image whose alpha is given per pixel.
TImagePtr WithAlpha(int w, int h, const std::vector<uint8_t>& alpha) {
    auto p = TPixmap::Create(w, h, PIXEL_RGBA32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            p->WritePixel(x, y, static_cast<uint32_t>(alpha[y * w + x]) << 24 | 0xFFFFFF);
    return LoadImageSingle(p, IMAGE_MASKED);
}

class OverlapTest : public ::testing::Test {
  protected:
    void SetUp() override { SetAutoMidHandle(false); }
    RecordingContext ctx;
};

TEST_F(OverlapTest, NeighbouringSquaresShareAColumnOnlyWhenTheyOverlap) {
    auto a = Solid(32, 32), b = Solid(32, 32);
    EXPECT_TRUE(ImagesOverlap(*a, 0, 0, 0, *b, 31, 0, 0));
    EXPECT_FALSE(ImagesOverlap(*a, 0, 0, 0, *b, 32, 0, 0)); // bounding boxes touch, no shared pixel
    EXPECT_FALSE(ImagesOverlap(*a, 0, 0, 0, *b, 0, 32, 0));
    EXPECT_TRUE(ImagesOverlap(*a, 0, 0, 0, *b, 31, 31, 0));
    EXPECT_FALSE(ImagesOverlap(*a, 0, 0, 0, *b, 32, 31, 0));
    EXPECT_TRUE(ImagesOverlap(*a, 10, 10, 0, *b, -21, -21, 0));
    EXPECT_FALSE(ImagesOverlap(*a, 10, 10, 0, *b, 200, 10, 0));
}

TEST_F(OverlapTest, OnlySolidPixelsCount) {
    // Opaque only in the top-left and bottom-right quarters respectively.
    std::vector<uint8_t> tl(16 * 16, 0), br(16 * 16, 0);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            tl[y * 16 + x] = 255, br[(y + 8) * 16 + x + 8] = 255;
    auto a = WithAlpha(16, 16, tl), b = WithAlpha(16, 16, br);
    // b's solid part sits at 8..15; with b at (-8, -8) it is at 0..7, exactly over a's.
    EXPECT_TRUE(ImagesOverlap(*a, 0, 0, 0, *b, -8, -8, 0));
    EXPECT_FALSE(ImagesOverlap(*a, 0, 0, 0, *b, 0, 0, 0));  // same box, solid parts apart
    EXPECT_FALSE(ImagesOverlap(*a, 0, 0, 0, *b, 0, -1, 0)); // b's solid part at x 8..15, y 7..14
    EXPECT_TRUE(ImagesOverlap(*a, 0, 0, 0, *b, -1, -8, 0)); // shares column 7

    // The threshold is alpha 128.
    auto half = WithAlpha(1, 1, {127}), solid = Solid(1, 1);
    EXPECT_FALSE(ImagesOverlap(*half, 5, 5, 0, *solid, 5, 5, 0));
    auto more = WithAlpha(1, 1, {128});
    EXPECT_TRUE(ImagesOverlap(*more, 5, 5, 0, *solid, 5, 5, 0));
}

TEST_F(OverlapTest, AFrameWithoutAlphaIsSolidEvenWhereBlack) {
    auto black = Solid(8, 8, PIXEL_RGB24);
    ASSERT_FALSE(black->pixmaps[0]->HasAlpha());
    auto grey = Solid(8, 8, PIXEL_LUMINANCE8);
    EXPECT_TRUE(ImagesOverlap(*black, 0, 0, 0, *grey, 7, 7, 0));
    // The same picture loaded masked turns black transparent.
    auto masked = LoadImageSingle(black->pixmaps[0], IMAGE_MASKED);
    EXPECT_FALSE(ImagesOverlap(*masked, 0, 0, 0, *grey, 7, 7, 0));
}

TEST_F(OverlapTest, OneByteAlphaMasksAreReadInsideTheirBounds) {
    auto p = TPixmap::Create(2, 2, PIXEL_ALPHA8);
    p->ClearPixels(0);
    p->WritePixel(1, 1, 0xC8000000);
    auto image = LoadImageSingle(p, 0);
    auto dot = Solid(1, 1);
    EXPECT_TRUE(ImagesOverlap(*image, 0, 0, 0, *dot, 1, 1, 0));
    EXPECT_FALSE(ImagesOverlap(*image, 0, 0, 0, *dot, 0, 1, 0));
    // Scaled up, every column and row up to the far edge samples a texel inside the mask.
    auto big = Solid(200, 200);
    EXPECT_TRUE(ImagesOverlapTransformed(*image, 0, 0, 0, 0, 50, 50, *big, 0, 0, 0, 0, 1, 1));
    EXPECT_FALSE(ImagesOverlapTransformed(*image, 0, 0, 0, 0, 50, 50, *dot, 49, 49, 0, 0, 1, 1));
    EXPECT_TRUE(ImagesOverlapTransformed(*image, 0, 0, 0, 0, 50, 50, *dot, 99, 99, 0, 0, 1, 1));
    EXPECT_FALSE(ImagesOverlapTransformed(*image, 0, 0, 0, 0, 50, 50, *dot, 100, 99, 0, 0, 1, 1));
}

TEST_F(OverlapTest, BlankFramesAndUnplaceablePositionsNeverHit) {
    auto blank = CreateBlankImage(16, 16, 1, 0); // never drawn into: transparent
    auto solid = Solid(16, 16);
    EXPECT_FALSE(ImagesOverlap(*blank, 0, 0, 0, *solid, 0, 0, 0));
    EXPECT_FALSE(ImagesOverlap(*solid, std::nanf(""), 0, 0, *solid, 0, 0, 0));
    EXPECT_FALSE(ImagesOverlap(*solid, 0, 0, 0, *solid, 3e9f, 3e9f, 0));
    EXPECT_FALSE(ImagesOverlapTransformed(*solid, 0, 0, 0, 0, 1e30f, 1e30f, *solid, 0, 0, 0, 0, 1, 1));
    EXPECT_FALSE(ImagesOverlapTransformed(*solid, 0, 0, 0, 0, 0, 0, *solid, 0, 0, 0, 0, 1, 1)); // no area
}

TEST_F(OverlapTest, RotationAndScaleAreRestored) {
    SetDrawRotation(33);
    SetDrawScale(2, 3);
    const TDrawMatrix before = CollisionMatrix();
    auto a = Solid(16, 16), b = Solid(16, 16);
    ImagesOverlapTransformed(*a, 0, 0, 0, 90, 0.5f, 0.5f, *b, 4, 4, 0, 180, 1, 1);
    EXPECT_FLOAT_EQ(GetDrawRotation(), 33);
    float sx = 0, sy = 0;
    GetDrawScale(sx, sy);
    EXPECT_FLOAT_EQ(sx, 2);
    EXPECT_FLOAT_EQ(sy, 3);
    EXPECT_EQ(CollisionMatrix().ix, before.ix);
    EXPECT_EQ(CollisionMatrix().jy, before.jy);
    EXPECT_EQ(ctx.driver->Matrix().iy, before.iy);
    SetDrawRotation(0);
    SetDrawScale(1, 1);
}

TEST_F(OverlapTest, MirroredQuadsAreWoundTheSameWay) {
    auto a = Solid(32, 32), dot = Solid(1, 1);
    // Mirrored in x, a covers -32..-1.
    EXPECT_TRUE(ImagesOverlapTransformed(*a, 0, 0, 0, 0, -1, 1, *dot, -5, 10, 0, 0, 1, 1));
    EXPECT_TRUE(ImagesOverlapTransformed(*a, 0, 0, 0, 0, -1, 1, *dot, -32, 31, 0, 0, 1, 1));
    EXPECT_FALSE(ImagesOverlapTransformed(*a, 0, 0, 0, 0, -1, 1, *dot, 0, 10, 0, 0, 1, 1));
    // Mirrored in both axes is a half turn.
    EXPECT_TRUE(ImagesOverlapTransformed(*a, 0, 0, 0, 0, -1, -1, *dot, -1, -1, 0, 0, 1, 1));
    EXPECT_FALSE(ImagesOverlapTransformed(*a, 0, 0, 0, 0, -1, -1, *dot, 0, -1, 0, 0, 1, 1));
}

TEST_F(OverlapTest, LargeMirroredQuadsAreWoundTheSameWay) {
    // Mirrored and 64000 pixels on a side: the winding products reach about 4e9, beyond an int.
    auto a = Solid(32, 32), dot = Solid(1, 1);
    EXPECT_TRUE(ImagesOverlapTransformed(*a, 0, 0, 0, 0, -2000, 2000, *dot, -100, 100, 0, 0, 1, 1));
    EXPECT_TRUE(ImagesOverlapTransformed(*a, 0, 0, 0, 0, 2000, -2000, *dot, 100, -100, 0, 0, 1, 1));
    EXPECT_FALSE(ImagesOverlapTransformed(*a, 0, 0, 0, 0, -2000, 2000, *dot, 100, 100, 0, 0, 1, 1));
    // Unmirrored, the same size.
    EXPECT_TRUE(ImagesOverlapTransformed(*a, 0, 0, 0, 0, 2000, 2000, *dot, 100, 100, 0, 0, 1, 1));
}

TEST_F(OverlapTest, WorksWithoutAContext) {
    CloseOpenedGraphics();
    SetGraphics(nullptr);
    auto a = Solid(32, 32), dot = Solid(1, 1);
    EXPECT_TRUE(ImagesOverlapTransformed(*a, 0, 0, 0, 90, 1, 1, *dot, -20, 5, 0, 0, 1, 1));
    EXPECT_FALSE(ImagesOverlapTransformed(*a, 0, 0, 0, 90, 1, 1, *dot, 5, 5, 0, 0, 1, 1));
}

// Brute force over pixel centres, for rotations by quarter turns at whole-pixel positions, where the
// scan conversion covers exactly the pixels whose centres fall inside each quad.
bool Reference(const TImage& a, int ax, int ay, int ra, const TImage& b, int bx, int by, int rb) {
    auto solid = [](const TImage& im, int x, int y, int rot, int px, int py) {
        const double cx = px + 0.5 - x, cy = py + 0.5 - y;
        const double r = -rot * 3.14159265358979323846 / 180;
        const double c = std::round(std::cos(r)), s = std::round(std::sin(r));
        const double lx = cx * c - cy * s + im.handle_x, ly = cx * s + cy * c + im.handle_y;
        if (lx < 0 || ly < 0 || lx >= im.width || ly >= im.height) return false;
        const TPixmap& p = *im.pixmaps[0];
        return !p.HasAlpha() || (p.ReadPixel(static_cast<int>(lx), static_cast<int>(ly)) >> 24) >= 128;
    };
    for (int py = -80; py < 80; ++py)
        for (int px = -80; px < 80; ++px)
            if (solid(a, ax, ay, ra, px, py) && solid(b, bx, by, rb, px, py)) return true;
    return false;
}

TEST_F(OverlapTest, AgreesWithPixelCentresAtQuarterTurns) {
    std::mt19937 rng(12345);
    auto rnd = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    int hits = 0, misses = 0;
    for (int trial = 0; trial < 300; ++trial) {
        const int wa = rnd(1, 20), ha = rnd(1, 20), wb = rnd(1, 20), hb = rnd(1, 20);
        std::vector<uint8_t> alpha(static_cast<size_t>(wa * ha));
        for (auto& v : alpha)
            v = rnd(0, 3) == 0 ? 0 : 255;
        auto a = WithAlpha(wa, ha, alpha);
        auto b = Solid(wb, hb);
        PlaceImageHandle(*a, static_cast<float>(rnd(0, wa)), static_cast<float>(rnd(0, ha)));
        PlaceImageHandle(*b, static_cast<float>(rnd(0, wb)), static_cast<float>(rnd(0, hb)));
        const int ax = rnd(-20, 20), ay = rnd(-20, 20), bx = rnd(-20, 20), by = rnd(-20, 20);
        const int ra = rnd(0, 3) * 90, rb = rnd(0, 3) * 90;
        const bool want = Reference(*a, ax, ay, ra, *b, bx, by, rb);
        const bool got = ImagesOverlapTransformed(*a, static_cast<float>(ax), static_cast<float>(ay), 0,
                                                  static_cast<float>(ra), 1, 1, *b, static_cast<float>(bx),
                                                  static_cast<float>(by), 0, static_cast<float>(rb), 1, 1);
        ASSERT_EQ(got, want) << "trial " << trial << ": " << wa << "x" << ha << " at " << ax << "," << ay
                             << " rot " << ra << " vs " << wb << "x" << hb << " at " << bx << "," << by
                             << " rot " << rb;
        (want ? hits : misses)++;
    }
    // Both outcomes were exercised.
    EXPECT_GT(hits, 30);
    EXPECT_GT(misses, 30);
}

TEST_F(OverlapTest, LayersCollectIdsAndRecycleTheirQuads) {
    ClearCollisionLayers(0);
    auto a = Solid(10, 10);
    auto id1 = std::make_shared<int>(1), id2 = std::make_shared<int>(2);
    EXPECT_TRUE(CollideImageQuad(*a, 0, 0, 0, 0, 0b11, id1).empty());
    EXPECT_TRUE(CollideImageQuad(*a, 5, 5, 0, 0, 0b01, id2).empty());
    EXPECT_EQ(CollisionLayerQuads(0), 2);
    EXPECT_EQ(CollisionLayerQuads(1), 1);

    auto hits = CollideImageQuad(*a, 3, 3, 0, 0b01, 0);
    ASSERT_EQ(hits.size(), 2u);
    EXPECT_EQ(hits[0], id2); // newest first
    EXPECT_EQ(hits[1], id1);
    EXPECT_EQ(CollideImageQuad(*a, 12, 12, 0, 0b11, 0).size(), 1u); // only id2 reaches 12..14
    EXPECT_TRUE(CollideImageQuad(*a, 3, 3, 0, 0, 0).empty());       // empty read mask
    EXPECT_EQ(CollideRectQuad(-5, -5, 6, 6, 0b10, 0).size(), 1u);

    const int free0 = CollisionFreeQuads();
    ClearCollisionLayers(0b01);
    EXPECT_EQ(CollisionLayerQuads(0), 0);
    EXPECT_EQ(CollisionLayerQuads(1), 1);
    EXPECT_EQ(CollisionFreeQuads(), free0 + 2);
    ClearCollisionLayers(0);
    EXPECT_EQ(CollisionFreeQuads(), free0 + 3);
    hits.clear();
    EXPECT_EQ(id1.use_count(), 1); // recycled quads let go of their ids

    // The two-image test reuses the recycled quads instead of making new ones.
    ImagesOverlap(*a, 0, 0, 0, *a, 1, 1, 0);
    const int free1 = CollisionFreeQuads();
    for (int i = 0; i < 10; ++i)
        ImagesOverlap(*a, 0, 0, 0, *a, 1, 1, 0);
    EXPECT_EQ(CollisionLayerQuads(31), 1);
    EXPECT_EQ(CollisionFreeQuads(), free1);
    EXPECT_EQ(free1, free0 + 2);
}

TEST_F(OverlapTest, BubblesAgainstTheGameBase) {
    RegisterEmbeddedAssets();
    SetAutoMidHandle(true);
    auto bubble = LoadImageSingle(TUrl("incbin::gfx_bubble.png"), IMAGE_MASKED | IMAGE_FILTERED);
    auto base = LoadImageSingle(TUrl("incbin::gfx_base.png"), IMAGE_MASKED | IMAGE_FILTERED);
    ASSERT_TRUE(bubble && base);
    // Moving the bubble in from the right, it first touches the base inside the two bounding boxes'
    // reach (the bubble is round and transparent in its corners), and a smaller bubble touches later.
    for (int rot : {0, 90, 180, 270}) {
        int previous = 1000;
        for (float scale : {1.0f, 0.6f, 0.3f}) {
            int touch = -1;
            for (int d = 200; d >= 0; --d) {
                if (ImagesOverlapTransformed(*bubble, 400.0f + d, 300, 0, 0, scale, scale, *base, 400, 300, 0,
                                             static_cast<float>(rot), 1, 1)) {
                    touch = d;
                    break;
                }
            }
            ASSERT_GE(touch, 0) << scale << " " << rot;
            const float boxes = 64 * scale + ((rot % 180 == 0) ? 32.0f : 16.0f);
            EXPECT_LT(touch, boxes) << scale << " " << rot;
            EXPECT_GT(touch, boxes - 12) << scale << " " << rot;
            EXPECT_LT(touch, previous);
            previous = touch;
        }
    }
    // Diagonally the boxes meet long before the round bubble reaches the base.
    // At (+90, +75) the boxes overlap, but the base's corner (432, 316) is 83 pixels from the centre.
    EXPECT_FALSE(ImagesOverlapTransformed(*bubble, 490, 375, 0, 0, 1, 1, *base, 400, 300, 0, 0, 1, 1));
    EXPECT_TRUE(ImagesOverlapTransformed(*bubble, 440, 330, 0, 0, 1, 1, *base, 400, 300, 0, 0, 1, 1));
}

} // namespace
