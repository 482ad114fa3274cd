#include "support/gl_fixture.h"

#include <gtest/gtest.h>

#include <GL/gl.h>
// On Windows the GL header brings the system's CreateWindow macro; the window layer's is ours.
#undef CreateWindow

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

struct TOffscreenState {
    bool open = false;
    TGLRenderer renderer = TGLRenderer::IMMEDIATE;
};

TOffscreenState& Offscreen() {
    static TOffscreenState state;
    return state;
}

// The driver that draws the current context is the one asked for.
bool DrawsWith(TGLRenderer renderer) {
    const TCanvasDriver* driver = CurrentCanvasDriver();
    if (!driver) return false;
    return driver->ToString() == (renderer == TGLRenderer::ES2 ? "OpenGL ES 2" : "OpenGL");
}

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

bool OpenOffscreenGL(TGLRenderer renderer) {
    TOffscreenState& s = Offscreen();
    if (s.open && s.renderer == renderer && OpenedGraphics()) return DrawsWith(renderer);
    if (s.open) CloseOffscreenGL();
    auto backend = MakeOffscreenGLBackend();
    if (!backend) return false;
    UseGLContextBackend(std::move(backend));
    UseGLRenderer(renderer);
    UseCanvas2DDriver(nullptr); // not one a virtual display installed
    SelectGraphicsDriver(Canvas2DDriver(), GFX_DOUBLE_BUFFER);
    s.open = OpenGraphics(1024, 768, 0, 0, 0) != nullptr;
    s.renderer = renderer;
    glGetError();
    return s.open && DrawsWith(renderer);
}

void CloseOffscreenGL() {
    Offscreen().open = false;
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
    ASSERT_TRUE(CurrentCanvasDriver());
    ASSERT_TRUE(CurrentCanvasDriver()->ReadPixelsRGB(0, 0, w, h, rgb));
    const auto r = CompareGolden(GoldenPath(name), w, h, rgb, tolerance, w * h / 200);
    EXPECT_TRUE(r.ok) << r.message;
    ExpectNoGLError();
}

void ExpectNoGLError() {
    const GLenum error = glGetError();
    EXPECT_EQ(error, static_cast<GLenum>(GL_NO_ERROR)) << "GL error 0x" << std::hex << error;
}

TGameOnGL UseVirtualGL(TGLRenderer renderer) {
    TGameOnGL game;
    UseGLRenderer(renderer);
    game.clock = UseVirtualClock(100000);
    game.display = UseVirtualDisplay(TVirtualRenderer::GL, game.clock, MakeOffscreenGLBackend());
    return game;
}

std::string GLDriverName(const ::testing::TestParamInfo<TGLRenderer>& info) {
    return info.param == TGLRenderer::ES2 ? "ES2" : "Immediate";
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
    ExpectNoGLError();
}
