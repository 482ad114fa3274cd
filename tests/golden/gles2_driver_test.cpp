// What only the shader-based OpenGL 2D driver does: handing a context it cannot
// draw on to the immediate-mode driver, wide lines as quads, and the pixels it
// saves without changing the picture.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "assets/embedded_assets.h"
#include "graphics/canvas.h"
#include "graphics/gles2canvas.h"
#include "graphics/glgraphics.h"
#include "graphics/image.h"
#include "support/gl_fixture.h"
#include "support/test_support.h"

namespace {

// A window layer whose driver offers nothing beyond OpenGL 1.1.
class TOldDriverBackend final : public TGLContextBackend {
  public:
    explicit TOldDriverBackend(std::shared_ptr<TGLContextBackend> inner) : inner_(std::move(inner)) {}
    std::vector<TGraphicsMode> DisplayModes(int d) override { return inner_->DisplayModes(d); }
    std::shared_ptr<TGLContextRecord> CreateWindow(int w, int h, int d, int hz, int f) override {
        return inner_->CreateWindow(w, h, d, hz, f);
    }
    void Destroy(TGLContextRecord& r) override { inner_->Destroy(r); }
    void MakeCurrent(TGLContextRecord* r) override { inner_->MakeCurrent(r); }
    void SetSwapInterval(int i) override { inner_->SetSwapInterval(i); }
    void SwapBuffers(TGLContextRecord& r) override { inner_->SwapBuffers(r); }
    void* ProcAddress(const char*) override { return nullptr; }

  private:
    std::shared_ptr<TGLContextBackend> inner_;
};

std::vector<uint8_t> Read() {
    std::vector<uint8_t> rgb;
    EXPECT_TRUE(CurrentCanvasDriver()->ReadPixelsRGB(0, 0, 256, 256, rgb));
    return rgb;
}

TGLES2CanvasDriver& Driver() {
    return dynamic_cast<TGLES2CanvasDriver&>(*CurrentCanvasDriver());
}

class GLES2Driver : public ::testing::Test {
  protected:
    static void TearDownTestSuite() { CloseOffscreenGL(); }
    void SetUp() override {
        ZAP_REQUIRE_GL(OpenOffscreenGL(TGLRenderer::ES2));
        ResetOffscreenGL(BLEND_LIGHT);
        Driver().SetWideLinesAsQuads(false);
        Driver().SetSavings(true);
    }
    // The same drawing with a setting off and on, in the top-left 256 x 256.
    static void ExpectSame(const std::function<void(bool)>& setting, const std::function<void()>& scene,
                           int allowed = 0) {
        std::vector<uint8_t> pictures[2];
        for (int on = 0; on < 2; ++on) {
            ResetOffscreenGL(BLEND_LIGHT);
            setting(on != 0);
            scene();
            pictures[on] = Read();
        }
        int apart = 0;
        for (size_t i = 0; i < pictures[0].size(); i += 3)
            apart += pictures[0][i] != pictures[1][i] || pictures[0][i + 1] != pictures[1][i + 1] ||
                     pictures[0][i + 2] != pictures[1][i + 2];
        EXPECT_LE(apart, allowed);
        ExpectNoGLError();
    }
};

} // namespace

TEST_F(GLES2Driver, AContextWithoutShadersGoesToTheImmediateModeDriverWithOneLine) {
    CloseOffscreenGL();
    auto backend = MakeOffscreenGLBackend();
    ZAP_REQUIRE_GL(backend);
    UseGLContextBackend(std::make_shared<TOldDriverBackend>(backend));
    UseGLRenderer(TGLRenderer::ES2);
    UseCanvas2DDriver(nullptr);
    SelectGraphicsDriver(Canvas2DDriver(), GFX_DOUBLE_BUFFER);
    ::testing::internal::CaptureStderr();
    ASSERT_TRUE(OpenGraphics(1024, 768, 0, 0, 0));
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(
        err,
        "OpenGL ES 2 renderer: the driver lacks glGenBuffers; drawing with the immediate-mode renderer\n");
    ASSERT_TRUE(CurrentCanvasDriver());
    EXPECT_EQ(CurrentCanvasDriver()->ToString(), "OpenGL");
    // It draws, and goes on drawing after the context is made current again.
    SetGraphics(OpenedGraphics());
    SetBlend(BLEND_SOLID);
    SetColor(0, 200, 0);
    DrawRect(10, 10, 20, 20);
    const auto rgb = Read();
    EXPECT_EQ(rgb[(15 * 256 + 15) * 3 + 1], 200);
    CloseOffscreenGL();
}

// Along the lines the quads cover what GL covers; at an end they may take one
// row or column of pixels more or less than this rasteriser does (19 of about
// 3000 pixels here).
TEST_F(GLES2Driver, WideLinesAsQuadsCoverWhatGLCovers) {
    ExpectSame([](bool on) { Driver().SetWideLinesAsQuads(on); },
               [] {
                   for (int w : {2, 3, 6}) {
                       SetLineWidth(static_cast<float>(w));
                       SetColor(255, 40 * w, 0);
                       DrawLine(10, 10.0f + w * 20, 240, 10.0f + w * 20, 0);  // across
                       DrawLine(30.0f + w * 25, 150, 30.0f + w * 25, 250, 0); // down
                       DrawLine(200, 150, 250, 150.0f + w * 8, 0);            // mostly across
                       DrawLine(150, 160, 150.0f + w * 5, 250, 0);            // mostly down
                   }
                   SetLineWidth(1);
               },
               24);
}

TEST_F(GLES2Driver, SavedPixelsDoNotChangeThePicture) {
    RegisterEmbeddedAssets();
    SetAutoMidHandle(true);
    auto spark = LoadImageSingle(TUrl("incbin::gfx_spark1.png"), IMAGE_MASKED | IMAGE_FILTERED);
    auto ring = LoadImageSingle(TUrl("incbin::gfx_ring.png"), IMAGE_MASKED | IMAGE_FILTERED);
    ASSERT_TRUE(spark && ring);
    auto scene = [&] {
        SetBlend(BLEND_LIGHT);
        for (int i = 0; i < 12; ++i) {
            SetColor(255, 20 * i, 100);
            SetRotationScale(0, 0.5f + i * 0.1f, 0.5f + i * 0.1f);
            DrawImage(*spark, 20.0f + i * 19.3f, 60.0f + i * 7.7f);
            SetRotationScale(0, 1, 1);
        }
        SetBlend(BLEND_ALPHA);
        SetAlpha(0.6f);
        DrawImage(*ring, 128, 180);
        SetAlpha(0); // nothing to see
        DrawRect(0, 0, 256, 256);
        SetAlpha(1);
        SetBlend(BLEND_LIGHT);
        SetColor(0, 0, 0); // adds nothing
        DrawImage(*ring, 60, 200);
        SetColor(255, 255, 255);
    };
    ExpectSame([](bool on) { Driver().SetSavings(on); }, scene);
    // With the savings on, the scene above was cut and skipped.
    const auto before = Driver().Counters();
    scene();
    Driver().Flush();
    const auto after = Driver().Counters();
    EXPECT_GE(after.trimmed - before.trimmed, 12);
    EXPECT_EQ(after.skipped - before.skipped, 2);
    SetAutoMidHandle(false);
}

// Overlapping additive rectangles of one colour are drawn as one pass over their union
// adding each pixel's sum (straight after a clear, written as the clear colour plus the sum
// under what was batched before them): the same bytes over any background, up to white; and
// additive draws too dim to add anything are left out. Every drawing after them is as before.
TEST_F(GLES2Driver, OverlappingAdditiveRectanglesAddWhatEachWouldHave) {
    auto rects = [] {
        SetBlend(BLEND_LIGHT);
        SetColor(25, 20, 200); // four overlapping, as the playfield's backdrop
        SetAlpha(0.1f);
        DrawRect(8, 0, 176, 144);
        DrawRect(0, 8, 144, 176);
        DrawRect(48, 8, 144, 176);
        DrawRect(8, 48, 176, 144);
        SetColor(200, 90, 30); // a colour change starts another group
        SetAlpha(0.35f);
        DrawRect(100, 100, 120, 50);
        DrawRect(150, 120, 60, 120);
        DrawRect(150, 120, 60, 120);
        SetColor(255, 255, 255); // sums beyond white: drawn one by one
        SetAlpha(0.5f);
        DrawRect(20, 200, 60, 40);
        DrawRect(30, 190, 60, 40);
        DrawRect(40, 180, 60, 40);
        SetAlpha(0.2f); // alone, and then off the pixel grid
        DrawRect(200, 10, 40, 40);
        DrawRect(200.5f, 60, 40, 40);
        DrawRect(210.5f, 70, 40, 40);
        SetColor(60, 90, 60); // too dim to add anything, then the additive blend as it was
        SetAlpha(1.0f / 255);
        DrawOval(100, 20, 90, 70);
        SetAlpha(0.6f);
        DrawOval(60, 60, 90, 70);
        SetAlpha(1);
        SetColor(255, 255, 255);
    };
    auto over_colours = [&] {
        SetBlend(BLEND_SOLID);
        for (int i = 0; i < 16; ++i) {
            SetColor(16 * i, 255 - 16 * i, (i * 77) % 256);
            DrawRect(static_cast<float>(16 * i), 0, 16, 256);
        }
        rects();
    };
    auto after_clear = [&] {
        SetClsColor(30, 60, 240);
        Cls();
        SetBlend(BLEND_LIGHT);
        SetAlpha(0.25f);
        for (int i = 0; i < 12; ++i) {
            SetColor(255, 20 * i, 0);
            DrawLine(0, 10.0f + 20 * i, 256, 20.0f + 20 * i, 0);
        }
        rects();
        SetClsColor(0, 0, 0);
    };
    for (int cleared = 0; cleared < 2; ++cleared) {
        const std::function<void()> scene = cleared ? std::function<void()>(after_clear) : over_colours;
        ExpectSame([](bool on) { Driver().SetSavings(on); }, scene);
        const auto before = Driver().Counters();
        scene();
        Driver().Flush();
        const auto after = Driver().Counters();
        EXPECT_EQ(after.merged - before.merged, 7);
        EXPECT_EQ(after.skipped - before.skipped, 1);
        // Unblended: the background of colours, or after the clear the first group's union.
        int first_union = 0;
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x)
                first_union += (x >= 8 && x < 184 && y < 144) || (x < 144 && y >= 8 && y < 184) ||
                               (x >= 48 && x < 192 && y >= 8 && y < 184) ||
                               (x >= 8 && x < 184 && y >= 48 && y < 192);
        EXPECT_EQ(after.fill - after.blended - (before.fill - before.blended),
                  cleared ? first_union : 256 * 256);
    }
}
