#include "support/gl_fixture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "assets/embedded_assets.h"
#include "game/globals.h"
#include "game/startup.h"
#include "graphics/canvas.h"
#include "graphics/font.h"
#include "graphics/glcanvas.h"
#include "graphics/graphics.h"
#include "sim/virtual_clock.h"
#include "sim/virtual_display.h"
#include "support/golden.h"
#include "support/test_support.h"
#ifdef _WIN32
#include "backends/win32/win32_display.h"
#else
#include "backends/sdl/sdl_display.h"
#endif

namespace {

std::string GoldenPath(const std::string& name) {
    return SourceDir() + "/tests/golden/data/" + name + ".png";
}

} // namespace

std::shared_ptr<TGLContextBackend> MakeOffscreenGLBackend() {
#ifdef _WIN32
    return MakeWin32OffscreenContextBackend();
#else
    return MakeSdlOffscreenContextBackend();
#endif
}

bool OpenOffscreenGL() {
    auto backend = MakeOffscreenGLBackend();
    if (!backend) return false;
    UseGLContextBackend(std::move(backend));
    SelectGraphicsDriver(GLCanvasDriver(), GFX_DOUBLE_BUFFER);
    return OpenGraphics(1024, 768, 0, 0, 0) != nullptr;
}

void CloseOffscreenGL() {
    CloseOpenedGraphics();
    SelectGraphicsDriver(nullptr, 0);
    UseGLContextBackend(nullptr);
}

void ResetOffscreenGL(int blend) {
    SetGraphics(OpenedGraphics());
    SetClsColor(0, 0, 0);
    SetViewport(0, 0, 1024, 768);
    SetBlend(blend);
    SetColor(255, 255, 255);
    SetAlpha(1);
    SetLineWidth(1);
    SetRotationScale(0, 1, 1);
    SetDrawHandle(0, 0);
    SetDrawOrigin(0, 0);
    Cls();
}

void ExpectOffscreenGolden(const std::string& name, int w, int h, int tolerance) {
    std::vector<uint8_t> rgb;
    ASSERT_TRUE(GLCanvasDriver()->ReadPixelsRGB(0, 0, w, h, rgb));
    const auto r = CompareGolden(GoldenPath(name), w, h, rgb, tolerance, w * h / 200);
    EXPECT_TRUE(r.ok) << r.message;
}

TGameOnGL UseVirtualGL() {
    TGameOnGL game;
    game.clock = UseVirtualClock(100000);
    game.display = UseVirtualDisplay(TVirtualRenderer::GL, game.clock, MakeOffscreenGLBackend());
    return game;
}

void StartGameQuietly() {
    RegisterEmbeddedAssets();
    StartUp(nullptr);
}

void ResetGameDrawState() {
    SelectImageFont(fnt_small);
    SetColor(255, 255, 255);
    SetAlpha(1);
    SetLineWidth(2);
    SetDrawScale(1, 1);
    SetDrawRotation(0);
    SetBlend(BLEND_LIGHT);
}

void ExpectFrameGolden(const TVirtualDisplay& display, const std::string& name) {
    std::vector<uint8_t> rgb;
    ASSERT_TRUE(display.ReadFrameRGB(rgb));
    const auto r = CompareGolden(GoldenPath(name), 1024, 768, rgb, 8, 400);
    EXPECT_TRUE(r.ok) << r.message;
}
