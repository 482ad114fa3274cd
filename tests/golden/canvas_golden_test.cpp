// The OpenGL 2D driver on a real GL context (Mesa, offscreen), compared with
// stored pictures. Tolerance: each channel within 2 of the stored value, and at
// most 0.5% of a picture's pixels outside that (rasterisers may round a few edge
// pixels differently). ZAP_UPDATE_GOLDEN=1 rewrites the pictures.
#include <gtest/gtest.h>

#include <cstdlib>

#include "game/hud.h"
#include "graphics/font.h"
#include "graphics/glcanvas.h"
#include "graphics/graphics.h"
#include "graphics/pixmap.h"
#include "platform/clock.h"
#include "platform/random.h"
#include "support/gl_fixture.h"
#include "support/golden.h"
#include "support/test_support.h"

namespace {

class CanvasGolden : public ::testing::TestWithParam<TGLRenderer> {
  protected:
    static void TearDownTestSuite() { CloseOffscreenGL(); }
    void SetUp() override {
        ZAP_REQUIRE_GL(OpenOffscreenGL(GetParam()));
        // Every picture starts from the state of a new context.
        ResetOffscreenGL(BLEND_SOLID);
    }
    std::vector<uint8_t> Read(int w, int h) {
        std::vector<uint8_t> rgb;
        EXPECT_TRUE(CurrentCanvasDriver()->ReadPixelsRGB(0, 0, w, h, rgb));
        return rgb;
    }
    void ExpectGolden(const std::string& name, int w, int h) { ExpectOffscreenGolden(name, w, h, 2); }
    static int Pixel(const std::vector<uint8_t>& rgb, int w, int x, int y, int c) {
        return rgb[(static_cast<size_t>(y) * w + x) * 3 + c];
    }
};

} // namespace

ZAP_FOR_BOTH_GL_DRIVERS(CanvasGolden);

TEST_P(CanvasGolden, BackgroundAtAFixedSeed) {
    SetRandomSeed(12345);
    SetBlend(BLEND_LIGHT);
    DrawBackground();
    ExpectGolden("background", 1024, 768);
}

TEST_P(CanvasGolden, LinesWithAndWithoutTheLastPixelAndWidths) {
    // Width 1: the last pixel of a line is drawn only on request.
    DrawLine(10, 10, 40, 10, 0);
    DrawLine(10, 20, 40, 20, 1);
    DrawLine(10, 30, 10, 60, 0);
    DrawLine(20, 30, 20, 60, 1);
    DrawLine(50, 10, 90, 50, 0);
    SetLineWidth(2);
    SetColor(255, 255, 0);
    DrawLine(100, 10, 200, 40, 0);
    SetLineWidth(6);
    SetColor(0, 255, 255);
    DrawLine(100, 60, 200, 120, 0);
    DrawLine(20, 100, 80, 100, 0);
    ExpectGolden("lines", 256, 128);

    const auto rgb = Read(256, 128);
    EXPECT_EQ(Pixel(rgb, 256, 39, 10, 0), 255);
    EXPECT_EQ(Pixel(rgb, 256, 40, 10, 0), 0);   // no last pixel
    EXPECT_EQ(Pixel(rgb, 256, 40, 20, 0), 255); // last pixel
    EXPECT_EQ(Pixel(rgb, 256, 10, 60, 0), 0);
    EXPECT_EQ(Pixel(rgb, 256, 20, 60, 0), 255);
    int thick = 0; // rows covered by the 6-pixel line at x = 50
    for (int y = 90; y < 110; ++y)
        thick += Pixel(rgb, 256, 50, y, 2) > 0;
    EXPECT_EQ(thick, 6);
}

TEST_P(CanvasGolden, RectanglesAndOvalsUnderEachBlendMode) {
    // A grey backdrop on the left half so that shading and masking show.
    SetColor(128, 128, 128);
    DrawRect(0, 0, 128, 256);
    const int modes[] = {BLEND_MASK, BLEND_SOLID, BLEND_ALPHA, BLEND_LIGHT, BLEND_SHADE};
    for (int i = 0; i < 5; ++i) {
        SetBlend(modes[i]);
        SetColor(255, 128, 0);
        SetAlpha(0.6f);
        DrawRect(8, 8 + i * 48.0f, 100, 20);
        DrawRect(140, 8 + i * 48.0f, 100, 20);
        SetColor(0, 128, 255);
        SetAlpha(0.4f); // below the mask threshold: masked shapes vanish
        DrawOval(60, 20 + i * 48.0f, 100, 24);
        SetBlend(BLEND_SOLID);
    }
    ExpectGolden("blend_modes", 256, 256);

    const auto rgb = Read(256, 256);
    EXPECT_EQ(Pixel(rgb, 256, 20, 10, 0), 255);      // mask, alpha 0.6: drawn as is
    EXPECT_EQ(Pixel(rgb, 256, 20, 10 + 96, 0), 204); // alpha: 0.6 * 255 + 0.4 * 128
}

TEST_P(CanvasGolden, RotationScaleAndHandle) {
    SetDrawHandle(16, 8);
    for (int i = 0; i < 6; ++i) {
        SetColor(255 - i * 40, 60 + i * 30, 255);
        SetRotationScale(i * 30.0f, 1 + i * 0.25f, 1);
        DrawRect(64, 64, 32, 16);
    }
    SetRotationScale(45, 2, 0.5f);
    SetColor(255, 0, 0);
    DrawOval(180, 64, 40, 40);
    SetRotationScale(-20, 1, 1);
    SetDrawHandle(0, 0);
    SetColor(0, 255, 0);
    DrawPoly({0, 0, 40, 0, 20, 30});
    SetDrawOrigin(150, 150);
    DrawLine(0, 0, 60, 0, 0);
    ExpectGolden("transforms", 256, 256);
}

TEST_P(CanvasGolden, AlphaIsClamped) {
    SetColor(100, 100, 100);
    DrawRect(0, 0, 64, 64);
    SetBlend(BLEND_ALPHA);
    SetColor(255, 0, 0);
    SetAlpha(1.5f); // as 1
    DrawRect(0, 0, 32, 32);
    SetAlpha(-2.0f); // as 0
    DrawRect(32, 0, 32, 32);
    SetBlend(BLEND_LIGHT);
    SetAlpha(7.0f);
    DrawRect(0, 32, 32, 32);
    ExpectGolden("alpha_clamp", 64, 64);
    const auto rgb = Read(64, 64);
    EXPECT_EQ(Pixel(rgb, 64, 10, 10, 0), 255);
    EXPECT_EQ(Pixel(rgb, 64, 10, 10, 1), 0);
    EXPECT_EQ(Pixel(rgb, 64, 40, 10, 0), 100);
    EXPECT_EQ(Pixel(rgb, 64, 10, 40, 0), 255);
    EXPECT_EQ(Pixel(rgb, 64, 10, 40, 1), 100);
}

TEST_P(CanvasGolden, ViewportClipsDrawingAndClearing) {
    SetViewport(10, 20, 30, 15);
    SetClsColor(0, 0, 200);
    Cls();
    SetColor(255, 255, 255);
    DrawRect(0, 0, 64, 64);
    const auto rgb = Read(64, 64);
    EXPECT_EQ(Pixel(rgb, 64, 10, 20, 0), 255);
    EXPECT_EQ(Pixel(rgb, 64, 39, 34, 0), 255);
    EXPECT_EQ(Pixel(rgb, 64, 9, 20, 0), 0);
    EXPECT_EQ(Pixel(rgb, 64, 40, 34, 0), 0);
    EXPECT_EQ(Pixel(rgb, 64, 10, 35, 0), 0);
    SetViewport(0, 0, 1024, 768);
    SetClsColor(0, 0, 0);
}

TEST_P(CanvasGolden, PixmapsRoundTripAndRepeatedStateCostsNothing) {
    auto pixmap = CreatePixmap(7, 5, PIXEL_RGB24);
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 7; ++x)
            pixmap->WritePixel(x, y, 0xFF000000u | (x * 30) << 16 | (y * 50) << 8 | 77);
    }
    SetBlend(BLEND_LIGHT);
    DrawPixmap(pixmap, 11, 13);
    auto back = GrabPixmap(11, 13, 7, 5);
    ASSERT_TRUE(back);
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 7; ++x)
            EXPECT_EQ(back->ReadPixel(x, y), pixmap->ReadPixel(x, y)) << x << "," << y;
    }
    EXPECT_EQ(CurrentCanvasDriver()->LastBlend(), BLEND_LIGHT);

    if (GetParam() == TGLRenderer::IMMEDIATE) {
        const long before = GLCanvasDriver()->StateCalls();
        SetBlend(BLEND_LIGHT);
        DrawRect(0, 0, 2, 2);
        DrawRect(0, 0, 2, 2);
        EXPECT_EQ(GLCanvasDriver()->StateCalls(), before);
    } else {
        // The same state again breaks no batch: both rectangles and a third in
        // another colour are one draw.
        auto* driver = dynamic_cast<TGLES2CanvasDriver*>(CurrentCanvasDriver());
        ASSERT_TRUE(driver);
        driver->Flush();
        const long before = driver->Counters().draw_calls;
        SetBlend(BLEND_LIGHT);
        DrawRect(0, 0, 2, 2);
        DrawRect(0, 0, 2, 2);
        SetColor(10, 20, 30);
        DrawRect(4, 0, 2, 2);
        driver->Flush();
        EXPECT_EQ(driver->Counters().draw_calls, before + 1);
    }
}

TEST_P(CanvasGolden, DroppedFrameChangesTheStateButDrawsNothing) {
    SetColor(0, 0, 255);
    DrawRect(0, 0, 16, 16);
    TCanvasDriver* driver = CurrentCanvasDriver();
    driver->SetFrameDropped(true);
    const bool immediate = GetParam() == TGLRenderer::IMMEDIATE;
    const long state_calls = immediate ? GLCanvasDriver()->StateCalls() : 0;
    // Every kind of output: clearing, primitives, a pixmap, text (textures).
    SetClsColor(0, 255, 0);
    Cls();
    SetColor(255, 0, 0);
    DrawRect(0, 0, 8, 8);
    DrawLine(0, 10, 15, 10, 1);
    Plot(12, 12);
    DrawOval(0, 0, 16, 16);
    DrawPoly({0, 0, 15, 0, 0, 15});
    auto pixmap = CreatePixmap(4, 4, PIXEL_RGBA32, 4);
    pixmap->ClearPixels(0xFFFFFFFFu);
    DrawPixmap(pixmap, 2, 2);
    DrawString("MMMM", 0, 0);
    if (immediate) {
        EXPECT_GT(GLCanvasDriver()->StateCalls(), state_calls); // the state still reaches GL
    }
    auto rgb = Read(16, 16);
    int changed = 0; // pixels no longer the blue square's
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x)
            changed += Pixel(rgb, 16, x, y, 0) != 0 || Pixel(rgb, 16, x, y, 1) != 0 ||
                       Pixel(rgb, 16, x, y, 2) != 255;
    }
    EXPECT_EQ(changed, 0);
    // Shown again, drawing goes on in the state the dropped frame left: red.
    driver->SetFrameDropped(false);
    DrawRect(0, 0, 8, 8);
    rgb = Read(16, 16);
    EXPECT_EQ(Pixel(rgb, 16, 4, 4, 0), 255);
    EXPECT_EQ(Pixel(rgb, 16, 4, 4, 2), 0);
    Cls();
    EXPECT_EQ(Pixel(Read(16, 16), 16, 12, 12, 1), 255); // cleared in the dropped frame's colour
}

TEST_P(CanvasGolden, GameDisplayOpensAndPacesFrames) {
    // The game's own request: full screen at 50 Hz. Offscreen there is no vertical
    // blank, so the measurement fails and sleeping keeps the pace.
    ASSERT_TRUE(OpenGraphics(1024, 768, 32, 50, 0));
    EXPECT_EQ(DisplayWidth(), 1024);
    EXPECT_EQ(DisplayDepth(), 32);
    EXPECT_TRUE(SoftSyncActive());
    const int gen = GraphicsGeneration();
    SetColor(255, 0, 0);
    DrawRect(0, 0, 8, 8);
    const auto rgb = Read(16, 16);
    EXPECT_EQ(Pixel(rgb, 16, 4, 4, 0), 255);
    Flip(-1);
    // Back to the suite's windowed display.
    ASSERT_TRUE(OpenGraphics(1024, 768, 0, 0, 0));
    EXPECT_EQ(GraphicsGeneration(), gen + 2);
    ExpectNoGLError();
}

// ---- the simulator's display: 50 Hz in virtual time, with and without GL ----

#include "sim/virtual_display.h"

namespace {

class VirtualDisplay : public ::testing::Test {
  protected:
    void TearDown() override {
        CloseOpenedGraphics();
        SelectGraphicsDriver(nullptr, 0);
        UseCanvas2DDriver(nullptr);
        UseGLContextBackend(nullptr);
        UseClockSource(nullptr);
    }
};

} // namespace

TEST_F(VirtualDisplay, NullRendererPacesInVirtualTime) {
    auto clock = UseVirtualClock(100000);
    auto vd = UseVirtualDisplay(TVirtualRenderer::NUL, clock);
    ASSERT_TRUE(vd);
    EXPECT_EQ(Canvas2DDriver(), vd->canvas);
    SelectGraphicsDriver(Canvas2DDriver(), GFX_DOUBLE_BUFFER);
    ASSERT_TRUE(OpenGraphics(1024, 768, 32, 50, 0));
    // The refresh measurement saw three 20 ms flips and trusts the display.
    EXPECT_FALSE(SoftSyncActive());
    EXPECT_EQ(ClockMillis(), 100000 + 3 * 20);
    for (int i = 1; i <= 10; ++i) {
        DrawRect(0, 0, 10, 10);
        Flip(-1);
        EXPECT_EQ(ClockMillis(), 100060 + i * 20);
    }
    Flip(0);
    DelayMillis(0);
    DelayMillis(-5);
    EXPECT_EQ(ClockMillis(), 100260);
    DelayMillis(7);
    EXPECT_EQ(ClockMillis(), 100267);
    std::vector<uint8_t> rgb;
    EXPECT_FALSE(vd->ReadFrameRGB(rgb));
    EXPECT_EQ(vd->display->synced_flips, 13);
}

TEST_F(VirtualDisplay, GLRendererCapturesFramesBeforeTheFlip) {
    auto clock = UseVirtualClock(5000);
    auto vd = UseVirtualDisplay(TVirtualRenderer::GL, clock, MakeOffscreenGLBackend());
    ZAP_REQUIRE_GL(vd);
    SelectGraphicsDriver(Canvas2DDriver(), GFX_DOUBLE_BUFFER);
    ASSERT_TRUE(OpenGraphics(1024, 768, 32, 50, 0));
    EXPECT_FALSE(SoftSyncActive());
    EXPECT_EQ(ClockMillis(), 5060);
    SetBlend(BLEND_SOLID);
    SetColor(0, 255, 0);
    DrawRect(1000, 700, 24, 68);
    std::vector<uint8_t> rgb;
    ASSERT_TRUE(vd->ReadFrameRGB(rgb));
    ASSERT_EQ(rgb.size(), 1024u * 768 * 3);
    EXPECT_EQ(rgb[(767u * 1024 + 1023) * 3 + 1], 255); // bottom-right corner, top row first
    EXPECT_EQ(rgb[(699u * 1024 + 1023) * 3 + 1], 0);
    Flip(-1);
    EXPECT_EQ(ClockMillis(), 5080);

    const std::string path = BinaryDir() + "/virtual_capture.png";
    ASSERT_TRUE(WriteRgbPng(path, 1024, 768, rgb));
    int w = 0, h = 0;
    std::vector<uint8_t> back;
    ASSERT_TRUE(ReadPngRgb(path, w, h, back));
    EXPECT_EQ(w, 1024);
    EXPECT_EQ(back, rgb);
    EXPECT_FALSE(WriteRgbPng(path, 1024, 768, std::vector<uint8_t>(10)));
}
