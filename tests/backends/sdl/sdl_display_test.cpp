// The SDL window layer of the OpenGL display driver, on SDL's offscreen video driver.
#include <gtest/gtest.h>

#include <SDL.h>
#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdlib>
#include <vector>

#include "backends/sdl/sdl_display.h"
#include "graphics/canvas.h"
#include "graphics/glcanvas.h"
#include "graphics/graphics.h"
#include "platform/input.h"
#include "platform/joystick.h"
#include "platform/system.h"
#include "backends/sdl/sdl_events.h"

namespace {

// A windowed 1024 x 768 display on SDL's offscreen driver, its window made
// 1280 x 600: the picture shows as 800 x 600 at x 240.
class SdlDisplay : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        TSdlDisplayOptions options;
        options.fullscreen = false;
        UseGLContextBackend(MakeSdlContextBackend(options));
        SelectGraphicsDriver(GLCanvasDriver(), GFX_DOUBLE_BUFFER);
        ASSERT_TRUE(OpenGraphics(1024, 768, 0, 0, 0));
        window = SDL_GL_GetCurrentWindow();
        ASSERT_TRUE(window);
        SDL_SetWindowSize(window, 1280, 600);
    }
    void TearDown() override {
        CloseOpenedGraphics();
        SelectGraphicsDriver(nullptr, 0);
        UseGLContextBackend(nullptr);
    }
    SDL_Window* window = nullptr;
};

} // namespace

// The window shows the 1024 x 768 picture scaled to its own size with the aspect
// kept; presenting leaves the game's clear colour and scissor as they were.
TEST_F(SdlDisplay, FlipScalesThePictureIntoTheWindowWithBars) {
    int dw = 0, dh = 0;
    SDL_GL_GetDrawableSize(window, &dw, &dh);
    ASSERT_EQ(dw * 10000 + dh, 1280 * 10000 + 600);

    SetClsColor(40, 40, 40);
    Cls();
    SetBlend(BLEND_SOLID);
    SetColor(255, 0, 0);
    DrawRect(0, 0, 1024, 8);
    SetViewport(0, 0, 512, 768); // scissor on while presenting
    Flip(0);

    auto bind = reinterpret_cast<PFNGLBINDFRAMEBUFFERPROC>(SDL_GL_GetProcAddress("glBindFramebuffer"));
    ASSERT_TRUE(bind);
    GLint game_fb = 0;
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &game_fb);
    EXPECT_NE(game_fb, 0); // the game draws offscreen
    bind(GL_READ_FRAMEBUFFER, 0);
    glReadBuffer(GL_FRONT);
    std::vector<uint8_t> rgb(static_cast<size_t>(dw) * dh * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, dw, dh, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    auto at = [&](int x, int y_from_top, int c) {
        return rgb[(static_cast<size_t>(dh - 1 - y_from_top) * dw + x) * 3 + c];
    };
    // 1024 x 768 into 1280 x 600: 800 x 600 in the middle, 240-pixel bars each side.
    EXPECT_EQ(at(100, 300, 0), 0);
    EXPECT_EQ(at(236, 300, 0), 0);
    EXPECT_EQ(at(245, 300, 0), 40); // scissor did not clip the picture
    EXPECT_EQ(at(1000, 300, 0), 40);
    // (The offscreen driver keeps its surface 1024 wide, so the right bar cannot be read.)
    EXPECT_EQ(at(640, 2, 0), 255);
    EXPECT_EQ(at(640, 300, 0), 40);
    glReadBuffer(GL_BACK);
    bind(GL_READ_FRAMEBUFFER, static_cast<GLuint>(game_fb));

    // Drawing goes on into the game's framebuffer with the game's state.
    SetViewport(0, 0, 1024, 768);
    Cls();
    std::vector<uint8_t> frame;
    ASSERT_TRUE(GLCanvasDriver()->ReadPixelsRGB(0, 0, 4, 4, frame));
    EXPECT_EQ(frame[0], 40);
}

// The mouse in a window that shows the picture scaled: placed and reported in
// the picture's own pixels.
TEST_F(SdlDisplay, TheMouseIsPlacedAndReportedInThePicturesPixels) {

    int x = 512, y = 384;
    SdlPictureToWindow(window, x, y);
    EXPECT_EQ(x * 10000 + y, 640 * 10000 + 300);
    SdlWindowToPicture(window, x, y);
    EXPECT_EQ(x * 10000 + y, 512 * 10000 + 384);
    x = 240, y = 0;
    SdlWindowToPicture(window, x, y);
    EXPECT_EQ(x * 10000 + y, 0);
    x = 1039, y = 599;
    SdlWindowToPicture(window, x, y);
    EXPECT_EQ(x * 10000 + y, 1023 * 10000 + 767);
    for (int px : {0, 1, 100, 511, 1023}) { // every picture pixel comes back as itself
        int wx = px, wy = px * 767 / 1023;
        SdlPictureToWindow(window, wx, wy);
        SdlWindowToPicture(window, wx, wy);
        EXPECT_EQ(wx, px);
        EXPECT_EQ(wy, px * 767 / 1023);
    }

    // Through the system driver: the pointer put at (512, 384) reads back there.
    UseSdlInput();
    MoveMouse(512, 384);
    EXPECT_EQ(MousePosX(), 512);
    EXPECT_EQ(MousePosY(), 384);
    UseSystemDriver(nullptr);
    UseJoypadBackend(nullptr);
}

// A texture made in the shared context is one object in every context made
// after it: its name is a texture there and its texels read back the same.
// Contexts made without a shared context share nothing.
TEST(SdlSharedContext, ObjectsAreSharedByTheContextsMadeAfterIt) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    auto texels_of = [](GLuint name) {
        std::vector<uint8_t> texels(4 * 4 * 4, 0);
        if (!glIsTexture(name)) return std::vector<uint8_t>{};
        glBindTexture(GL_TEXTURE_2D, name);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
        glBindTexture(GL_TEXTURE_2D, 0);
        return texels;
    };
    auto driver = TGLGraphicsDriver::Instance();
    {
        // No shared context: a texture of one context is unknown to the next.
        TSdlDisplayOptions options;
        options.hidden = true;
        UseGLContextBackend(MakeSdlContextBackend(options));
        auto a = driver->CreateGraphics(64, 64, 0, 0, 0);
        ASSERT_TRUE(a);
        driver->SetGraphics(a);
        GLuint name = 0;
        glGenTextures(1, &name);
        glBindTexture(GL_TEXTURE_2D, name);
        glBindTexture(GL_TEXTURE_2D, 0);
        auto b = driver->CreateGraphics(64, 64, 0, 0, 0);
        driver->SetGraphics(b);
        EXPECT_FALSE(glIsTexture(name));
    }
    TSdlDisplayOptions options;
    options.hidden = true;
    UseGLContextBackend(MakeSdlContextBackend(options));
    auto shared = GLSharedGraphics();
    ASSERT_TRUE(shared);
    EXPECT_EQ(GLSharedGraphics(), shared); // made once
    int w, h, d, hz, f;
    shared->GetSettings(w, h, d, hz, f);
    EXPECT_EQ(w * 10 + h, 11);
    driver->SetGraphics(shared);
    std::vector<uint8_t> picture(4 * 4 * 4);
    for (size_t i = 0; i < picture.size(); ++i)
        picture[i] = static_cast<uint8_t>(i * 7);
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 4, 4, 0, GL_RGBA, GL_UNSIGNED_BYTE, picture.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    glFinish();

    auto a = driver->CreateGraphics(64, 64, 0, 0, 0);
    auto b = driver->CreateGraphics(32, 32, 0, 0, 0);
    ASSERT_TRUE(a && b);
    driver->SetGraphics(a);
    EXPECT_EQ(texels_of(name), picture);
    driver->SetGraphics(b);
    EXPECT_EQ(texels_of(name), picture);
    shared->Close(); // closing it leaves it to the window layer
    driver->SetGraphics(shared);
    EXPECT_EQ(GLCurrentContext()->kind, TGLContextRecord::HIDDEN_SHARED);
    EXPECT_EQ(texels_of(name), picture);
    driver->SetGraphics(nullptr);
    a->Close();
    b->Close();
    UseGLContextBackend(nullptr);
}

TEST(SdlDisplayModes, TwentyFourBitColourInThirtyTwoBitPixelsListsAsDepth32) {
    EXPECT_EQ(SdlModeDepth(SDL_PIXELFORMAT_RGB888), 32);
    EXPECT_EQ(SdlModeDepth(SDL_PIXELFORMAT_ARGB8888), 32);
    EXPECT_EQ(SdlModeDepth(SDL_PIXELFORMAT_RGB24), 24);
    EXPECT_EQ(SdlModeDepth(SDL_PIXELFORMAT_RGB565), 16);
    EXPECT_EQ(SdlModeDepth(SDL_PIXELFORMAT_INDEX8), 8);
}

// Alt+Enter and F11 switch the same open display between full screen and a
// window of the chosen size: nothing is reopened. The window's close button
// then ends the game through its escape key; in full screen it does not.
TEST(SdlDisplayToggle, ShortcutsSwitchFullScreenAndAWindowWithoutReopening) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    TSdlDisplayOptions options;
    options.window_width = 800;
    options.window_height = 600;
    UseGLContextBackend(MakeSdlContextBackend(options));
    SelectGraphicsDriver(GLCanvasDriver(), GFX_DOUBLE_BUFFER);
    ASSERT_TRUE(OpenGraphics(1024, 768, 32, 0, 0));
    SDL_Window* window = SDL_GL_GetCurrentWindow();
    ASSERT_TRUE(window);
    UseSdlInput();
    StartInputTracking();
    const int generation = GraphicsGeneration();
    auto full = [&] { return (SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN) != 0; };
    auto push = [&](Uint32 type, SDL_Scancode sc, Uint16 mod) {
        SDL_Event e{};
        e.type = type;
        e.key.windowID = SDL_GetWindowID(window);
        e.key.keysym.scancode = sc;
        e.key.keysym.mod = mod;
        SDL_PushEvent(&e);
        PumpSystemEvents();
    };
    auto close = [&] {
        SDL_Event e{};
        e.type = SDL_WINDOWEVENT;
        e.window.event = SDL_WINDOWEVENT_CLOSE;
        e.window.windowID = SDL_GetWindowID(window);
        SDL_PushEvent(&e);
        PumpSystemEvents();
    };
    EXPECT_TRUE(full());
    close(); // full screen: ignored
    PumpSystemEvents();
    EXPECT_EQ(TakeKeyHits(27), 0);

    push(SDL_KEYDOWN, SDL_SCANCODE_RETURN, KMOD_LALT);
    push(SDL_KEYUP, SDL_SCANCODE_RETURN, KMOD_NONE);
    EXPECT_FALSE(full());
    int w = 0, h = 0;
    SDL_GetWindowSize(window, &w, &h);
    EXPECT_EQ(w * 10000 + h, 800 * 10000 + 600);
    push(SDL_KEYDOWN, SDL_SCANCODE_F11, KMOD_NONE);
    push(SDL_KEYUP, SDL_SCANCODE_F11, KMOD_NONE);
    EXPECT_TRUE(full());
    push(SDL_KEYDOWN, SDL_SCANCODE_F11, KMOD_NONE);
    EXPECT_FALSE(full());
    EXPECT_EQ(GraphicsGeneration(), generation);
    EXPECT_EQ(SDL_GL_GetCurrentWindow(), window);
    EXPECT_EQ(TakeKeyHits(13), 0);
    EXPECT_EQ(TakeKeyHits(122), 0);

    close(); // a window: escape, frame after frame, until the game has ended
    EXPECT_GE(TakeKeyHits(27), 1);
    PumpSystemEvents();
    EXPECT_GE(TakeKeyHits(27), 1);

    StopInputTracking();
    UseSystemDriver(nullptr);
    UseJoypadBackend(nullptr);
    CloseOpenedGraphics();
    SelectGraphicsDriver(nullptr, 0);
    UseGLContextBackend(nullptr);
}
