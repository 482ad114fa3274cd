// The 2D render state and primitives through the recording driver: clamping,
// the vertex transform with handle, origin, rotation and scale, oval segment
// counts, scissor rows, and the state changes that reach the driver's output.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "graphics/canvas.h"
#include "graphics/graphics.h"
#include "graphics/image.h"
#include "graphics/pixmap.h"
#include "graphics/recording_canvas.h"

namespace {

class CanvasTest : public ::testing::Test {
  protected:
    void SetUp() override {
        canvas = std::make_shared<TRecordingCanvasDriver>();
        SelectGraphicsDriver(canvas, GFX_DOUBLE_BUFFER);
        context = CreateGraphics(1024, 768, 0, 0, 0);
        ASSERT_TRUE(context);
        SetGraphics(context);
        canvas->ClearLog();
    }
    void TearDown() override {
        CloseGraphicsContext(context);
        SelectGraphicsDriver(nullptr, 0);
    }
    // Corner coordinates of the only entry of `op`.
    std::vector<float> Only(const std::string& op) {
        auto e = canvas->Entries(op);
        EXPECT_EQ(e.size(), 1u) << op;
        return e.empty() ? std::vector<float>{} : e[0].v;
    }
    static void ExpectBox(const std::vector<float>& v, float minx, float miny, float maxx, float maxy) {
        ASSERT_GE(v.size(), 2u);
        float lx = v[0], hx = v[0], ly = v[1], hy = v[1];
        for (size_t i = 0; i < v.size(); i += 2) {
            lx = std::min(lx, v[i]);
            hx = std::max(hx, v[i]);
            ly = std::min(ly, v[i + 1]);
            hy = std::max(hy, v[i + 1]);
        }
        EXPECT_NEAR(lx, minx, 1e-4);
        EXPECT_NEAR(ly, miny, 1e-4);
        EXPECT_NEAR(hx, maxx, 1e-4);
        EXPECT_NEAR(hy, maxy, 1e-4);
    }

    std::shared_ptr<TRecordingCanvasDriver> canvas;
    std::shared_ptr<TGraphics> context;
};

} // namespace

TEST_F(CanvasTest, OvalSegmentCounts) {
    DrawOval(0, 0, 100, 60);
    DrawOval(0, 0, 10, 10);
    DrawOval(0, 0, 15, 15);  // radii 7.5 + 7.5 = 15 -> 12
    DrawOval(0, 0, -30, 20); // negative width counts by size: 15 + 10 = 25 -> 24
    DrawOval(0, 0, 27, 27);  // 27 -> 24
    const auto ovals = canvas->Entries("polygon");
    ASSERT_EQ(ovals.size(), 5u);
    EXPECT_EQ(ovals[0].v.size() / 2, 80u);
    EXPECT_EQ(ovals[1].v.size() / 2, 12u);
    EXPECT_EQ(ovals[2].v.size() / 2, 12u);
    EXPECT_EQ(ovals[3].v.size() / 2, 24u);
    EXPECT_EQ(ovals[4].v.size() / 2, 24u);
    // First point at angle 0 (the right end), y growing downward as the angle grows.
    EXPECT_NEAR(ovals[0].v[0], 100, 1e-4);
    EXPECT_NEAR(ovals[0].v[1], 30, 1e-4);
    EXPECT_LT(ovals[0].v[3], 30); // the second point is above the first
    ExpectBox(ovals[0].v, 0, 0, 100, 60);
}

TEST_F(CanvasTest, HandleOriginRotationAndScale) {
    SetDrawHandle(16, 16);
    float hx, hy;
    GetDrawHandle(hx, hy);
    EXPECT_EQ(hx, 16);
    EXPECT_EQ(TCanvasGraphics::Current()->handle_x, -16);
    DrawRect(100, 100, 32, 32);
    ExpectBox(Only("quads"), 84, 84, 116, 116);

    // A quarter turn about the handle point keeps the square in place, corners rotated:
    // the first corner (local top-left) goes to the top-right.
    canvas->ClearLog();
    SetDrawRotation(90);
    DrawRect(100, 100, 32, 32);
    auto v = Only("quads");
    ExpectBox(v, 84, 84, 116, 116);
    EXPECT_NEAR(v[0], 116, 1e-4);
    EXPECT_NEAR(v[1], 84, 1e-4);

    // Scale about the handle, then the origin moves everything.
    canvas->ClearLog();
    SetRotationScale(0, 2, 0.5f);
    SetDrawOrigin(10, 20);
    DrawRect(100, 100, 32, 32);
    ExpectBox(Only("quads"), 110 - 32, 120 - 8, 110 + 32, 120 + 8);

    const auto& m = CollisionMatrix();
    EXPECT_FLOAT_EQ(m.ix, 2);
    EXPECT_FLOAT_EQ(m.jy, 0.5f);
    SetRotationScale(30, 2, 3);
    auto* c = TCanvasGraphics::Current();
    EXPECT_FLOAT_EQ(c->tform_ix, static_cast<float>(std::cos(M_PI / 6)) * 2);
    EXPECT_FLOAT_EQ(c->tform_iy, -static_cast<float>(std::sin(M_PI / 6)) * 3);
    EXPECT_FLOAT_EQ(c->tform_jx, static_cast<float>(std::sin(M_PI / 6)) * 2);
    EXPECT_FLOAT_EQ(CollisionMatrix().jy, c->tform_jy);
    EXPECT_FLOAT_EQ(canvas->Matrix().iy, c->tform_iy);
}

TEST_F(CanvasTest, LinesAndPlotsSitOnPixelCentres) {
    SetDrawOrigin(5, 5);
    Plot(1, 2);
    EXPECT_EQ(Only("points"), (std::vector<float>{6.5f, 7.5f}));
    canvas->ClearLog();
    DrawLine(10, 10, 30, 20, 0);
    EXPECT_EQ(Only("lines"), (std::vector<float>{15.5f, 15.5f, 35.5f, 25.5f}));
    EXPECT_TRUE(canvas->Entries("points").empty());
    canvas->ClearLog();
    DrawLine(10, 10, 30, 20); // last pixel drawn too
    EXPECT_EQ(Only("points"), (std::vector<float>{35.5f, 25.5f}));
    // Rotated: the end point is plotted where the rotated line ends.
    canvas->ClearLog();
    SetDrawOrigin(0, 0);
    SetDrawRotation(90);
    DrawLine(100, 100, 120, 100, 1);
    auto line = Only("lines");
    auto end = Only("points");
    EXPECT_NEAR(line[2], 100.5f, 1e-4);
    EXPECT_NEAR(line[3], 120.5f, 1e-4);
    EXPECT_NEAR(end[0], line[2], 1e-4);
    EXPECT_NEAR(end[1], line[3], 1e-4);
}

TEST_F(CanvasTest, PolygonsNeedThreeWholePoints) {
    DrawPoly({0, 0, 10, 0});
    DrawPoly({0, 0, 10, 0, 10, 10, 5});
    DrawPoly({});
    EXPECT_TRUE(canvas->Entries("polygon").empty());
    SetDrawHandle(1, 2);
    SetDrawOrigin(100, 200);
    DrawPoly({0, 0, 10, 0, 10, 10});
    EXPECT_EQ(Only("polygon"), (std::vector<float>{99, 198, 109, 198, 109, 208}));
}

TEST_F(CanvasTest, ColoursAndAlphasAreClampedIntoBytes) {
    SetColor(300, -5, 128);
    EXPECT_EQ(Only("color"), (std::vector<float>{255, 0, 128, 255}));
    int r, g, b;
    GetColor(r, g, b); // the context keeps what it was given
    EXPECT_EQ(r, 300);
    EXPECT_EQ(g, -5);
    const float alphas[] = {1.5f, 0.25f, -1.0f, std::numeric_limits<float>::quiet_NaN(), 1.0f, 0.5f};
    const float bytes[] = {255, 63, 0, 0, 255, 127};
    for (int i = 0; i < 6; ++i) {
        canvas->ClearLog();
        SetAlpha(alphas[i]);
        EXPECT_EQ(Only("color")[3], bytes[i]) << alphas[i];
    }
    canvas->ClearLog();
    SetClsColor(-1, 256, 7);
    EXPECT_EQ(Only("clscolor"), (std::vector<float>{0, 255, 7}));
}

TEST_F(CanvasTest, ViewportScissorsFromTheBottomRow) {
    SetViewport(10, 20, 100, 50);
    EXPECT_EQ(Only("scissor"), (std::vector<float>{1, 10, 698, 100, 50}));
    canvas->ClearLog();
    SetViewport(0, 0, 1024, 768);
    EXPECT_EQ(Only("scissor"), (std::vector<float>{0}));
    canvas->ClearLog();
    SetViewport(0, 0, 1024, 767); // not the whole display
    EXPECT_EQ(Only("scissor"), (std::vector<float>{1, 0, 1, 1024, 767}));
}

TEST_F(CanvasTest, RepeatedBlendModeIsNotSentAgain) {
    SetBlend(BLEND_LIGHT);
    SetBlend(BLEND_LIGHT);
    SetBlend(BLEND_ALPHA);
    SetBlend(BLEND_ALPHA);
    SetBlend(BLEND_LIGHT);
    const auto blends = canvas->Entries("blend");
    ASSERT_EQ(blends.size(), 3u);
    EXPECT_EQ(blends[0].v[0], BLEND_LIGHT);
    EXPECT_EQ(blends[2].v[0], BLEND_LIGHT);
    EXPECT_EQ(GetBlend(), BLEND_LIGHT);
    // Becoming current again forgets the cache and pushes the whole state.
    canvas->ClearLog();
    SetGraphics(context);
    EXPECT_EQ(canvas->Entries("blend").size(), 1u);
    canvas->ClearLog();
    SetBlend(BLEND_LIGHT);
    EXPECT_EQ(canvas->StateChanges(), 0u);
}

TEST_F(CanvasTest, MakingCurrentPushesEveryFieldInOrderAndClearsOnce) {
    SetColor(1, 2, 3);
    SetAlpha(0.5f);
    SetClsColor(4, 5, 6);
    SetLineWidth(3);
    SetBlend(BLEND_ALPHA);
    SetViewport(1, 2, 3, 4);
    canvas->ClearLog();
    SetGraphics(context);
    std::vector<std::string> ops;
    for (const auto& e : canvas->log)
        ops.push_back(e.op);
    EXPECT_EQ(ops, (std::vector<std::string>{"reset", "blend", "color", "color", "clscolor", "linewidth",
                                             "scissor"}));
    EXPECT_EQ(canvas->Entries("color")[1].v, (std::vector<float>{1, 2, 3, 127}));

    // A fresh context clears both buffers the first time it becomes current, only then.
    auto fresh = CreateGraphics(320, 200, 0, 0, 0);
    canvas->ClearLog();
    SetGraphics(fresh);
    auto n = [&](const std::string& op) { return canvas->Entries(op).size(); };
    EXPECT_EQ(n("cls"), 2u);
    EXPECT_EQ(n("flip"), 2u);
    EXPECT_EQ(canvas->Entries("flip")[0].v[0], 0);
    // Defaults of a new context: white, opaque, mask blend, viewport = display.
    EXPECT_EQ(canvas->Entries("color").back().v, (std::vector<float>{255, 255, 255, 255}));
    EXPECT_EQ(canvas->Entries("blend")[0].v[0], BLEND_MASK);
    int x, y, w, h;
    GetViewport(x, y, w, h);
    EXPECT_EQ(w * 1000 + h, 320 * 1000 + 200);
    canvas->ClearLog();
    SetGraphics(fresh);
    EXPECT_EQ(n("cls"), 0u);
    CloseGraphicsContext(fresh);
    EXPECT_EQ(TCanvasGraphics::Current(), nullptr);
}

TEST_F(CanvasTest, ImagesDrawThroughTheSameStateWithTexturingCached) {
    auto pixmap = CreatePixmap(64, 48, PIXEL_RGBA32);
    pixmap->ClearPixels(0xFFFFFFFFu);
    auto image = LoadImageSingle(pixmap, 0);
    ASSERT_TRUE(image);
    CentreImageHandle(*image);
    DrawImageFrame(*image, 100, 100, 0);
    ExpectBox(Only("image"), 68, 76, 132, 124);
    DrawImageFrame(*image, 10, 10, 0);
    EXPECT_EQ(canvas->Entries("frame").size(), 1u); // the frame is made once
    EXPECT_EQ(canvas->Entries("bind").size(), 1u);
    EXPECT_EQ(canvas->Entries("texturing").size(), 1u);
    // A primitive turns texturing off once; the next one does not touch it.
    DrawRect(0, 0, 1, 1);
    DrawRect(0, 0, 1, 1);
    auto tex = canvas->Entries("texturing");
    ASSERT_EQ(tex.size(), 2u);
    EXPECT_EQ(tex[1].v[0], 0);
}

TEST_F(CanvasTest, NoCurrentContextFailsSafely) {
    TCanvasGraphics::ClearCurrent();
    SetColor(1, 2, 3);
    SetBlend(BLEND_SHADE);
    SetDrawRotation(45);
    Cls();
    Plot(1, 1);
    DrawLine(0, 0, 5, 5);
    DrawRect(0, 0, 5, 5);
    DrawOval(0, 0, 5, 5);
    DrawPoly({0, 0, 1, 0, 1, 1});
    DrawPixmap(CreatePixmap(2, 2, PIXEL_RGBA32), 0, 0);
    EXPECT_FALSE(GrabPixmap(0, 0, 4, 4));
    EXPECT_TRUE(canvas->log.empty());
    EXPECT_EQ(GetBlend(), 0);
}

TEST_F(CanvasTest, PixelTransfersUseSolidBlendAndRestoreIt) {
    SetBlend(BLEND_LIGHT);
    canvas->ClearLog();
    DrawPixmap(CreatePixmap(8, 4, PIXEL_RGB24), 3, 4);
    auto grabbed = GrabPixmap(0, 0, 5, 6);
    ASSERT_TRUE(grabbed);
    EXPECT_EQ(grabbed->width * 100 + grabbed->height, 506);
    std::vector<float> blends;
    for (const auto& e : canvas->Entries("blend"))
        blends.push_back(e.v[0]);
    EXPECT_EQ(blends, (std::vector<float>{BLEND_SOLID, BLEND_LIGHT, BLEND_SOLID, BLEND_LIGHT}));
    EXPECT_EQ(Only("pixmap"), (std::vector<float>{3, 4, 8, 4}));
}
