#pragma once
// Shared set-up of the tests that draw with real OpenGL (Mesa, offscreen).
//
// Every golden fixture runs with both OpenGL 2D drivers: its tests are TEST_P
// with the driver as parameter, instantiated with ZAP_FOR_BOTH_GL_DRIVERS(Suite).
//
// Two ways in:
//  - the 2D driver on a hidden SDL offscreen window (graphics-level pictures):
//      static void TearDownTestSuite() { CloseOffscreenGL(); }
//      void SetUp() override { ZAP_REQUIRE_GL(OpenOffscreenGL(GetParam())); ResetOffscreenGL(BLEND_SOLID); }
//      ExpectOffscreenGolden("lines", 256, 256, 2);
//  - the whole game started on the simulator's virtual GL display in virtual
//    time (screens and playfield pictures):
//      TGameOnGL game = UseVirtualGL(GetParam());  // then install any input, then
//      StartGameQuietly();
//      ...
//      ExpectFrameGolden(*game.display, "screens_round");
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "graphics/gles2canvas.h"

class TGLContextBackend;
class TVirtualClock;
class TVirtualDisplay;

// The window layer's hidden GL contexts (SDL's offscreen video driver, or a
// hidden Win32 window); null when this machine cannot make GL contexts.
std::shared_ptr<TGLContextBackend> MakeOffscreenGLBackend();
// Opens a 1024 x 768 display through an OpenGL 2D driver on a hidden, windowed
// offscreen context, unless one is open with that driver already. False when
// none can be had, or when the shader-based driver was asked for and the
// context went to the immediate-mode one.
bool OpenOffscreenGL(TGLRenderer renderer = TGLRenderer::IMMEDIATE);
void CloseOffscreenGL();
// Makes that display current again with the render state of a new context:
// black clear colour, the whole viewport, the given blend, white at alpha 1,
// line width 1, no rotation or scale, handle and origin at 0; then clears it.
void ResetOffscreenGL(int blend);
// Compares the top-left w x h of the frame drawn so far with
// tests/golden/data/<name>.png: each channel within `tolerance`, and at most
// 0.5% of the pixels outside that; and that GL reported no error.
void ExpectOffscreenGolden(const std::string& name, int w, int h, int tolerance);
// No GL error since the last check.
void ExpectNoGLError();

struct TGameOnGL {
    std::shared_ptr<TVirtualClock> clock;
    std::shared_ptr<TVirtualDisplay> display; // null: no offscreen OpenGL here
};
// Installs a virtual clock (at 100000 ms) and the virtual GL display drawing
// with the given driver.
TGameOnGL UseVirtualGL(TGLRenderer renderer = TGLRenderer::IMMEDIATE);
// Registers the embedded files and runs the game's start-up, keeping the line
// that names the audio driver out of the test log.
void StartGameQuietly();
// The game's resting render state: the small font, white at alpha 1, line
// width 2, no rotation or scale, light blending.
void ResetGameDrawState();
// Compares the whole 1024 x 768 frame drawn so far (before its flip) with
// tests/golden/data/<name>.png. Mesa's rasteriser is deterministic; the
// allowance (each channel within 8, at most 400 pixels outside that) covers
// rounding differences between Mesa versions along line and glyph edges.
// GL must have reported no error.
void ExpectFrameGolden(const TVirtualDisplay& display, const std::string& name);

// Test names end in the driver's name.
std::string GLDriverName(const ::testing::TestParamInfo<TGLRenderer>& info);
#define ZAP_FOR_BOTH_GL_DRIVERS(Suite)                                                                       \
    INSTANTIATE_TEST_SUITE_P(Drivers, Suite, ::testing::Values(TGLRenderer::IMMEDIATE, TGLRenderer::ES2),    \
                             GLDriverName)
