// The Win32 window layer: the window class, full-screen mode changes on focus
// and their refusal, the GL context, and the OpenGL driver on top of it (run
// under Wine on a 1024 x 768 display).
#include <windows.h>
#undef CreateWindow
#include <GL/gl.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "graphics/glgraphics.h"
#include "graphics/graphics.h"
#include "platform/error.h"
#include "platform/system.h"
#include "backends/win32/win32_display.h"
#include "backends/win32/win32_system.h"

namespace {

DEVMODEA CurrentMode() {
    DEVMODEA mode{};
    mode.dmSize = sizeof(mode);
    EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode);
    return mode;
}

class Win32Display : public ::testing::Test {
  protected:
    void SetUp() override {
        UseSystemDriver(std::make_shared<TWin32SystemDriver>());
        desktop_ = CurrentMode();
    }
    void TearDown() override {
        UseGLContextBackend(nullptr);
        UseSystemDriver(nullptr);
        // Whatever happened, the desktop has its mode back.
        const DEVMODEA now = CurrentMode();
        EXPECT_EQ(now.dmPelsWidth, desktop_.dmPelsWidth);
        EXPECT_EQ(now.dmPelsHeight, desktop_.dmPelsHeight);
    }
    DEVMODEA desktop_{};
};

TEST_F(Win32Display, ModesHaveAtLeast16BitsAndIncludeTheDesktop) {
    auto backend = MakeWin32ContextBackend();
    const std::vector<TGraphicsMode> modes = backend->DisplayModes(0);
    ASSERT_FALSE(modes.empty());
    bool desktop = false;
    for (const TGraphicsMode& m : modes) {
        EXPECT_GE(m.depth, 16);
        if (m.width == static_cast<int>(desktop_.dmPelsWidth) &&
            m.height == static_cast<int>(desktop_.dmPelsHeight))
            desktop = true;
    }
    EXPECT_TRUE(desktop);
    EXPECT_LE(modes.size(), 1024u);
}

TEST_F(Win32Display, WindowedWindowIsCentredWithACaptionAndDrawable) {
    auto backend = MakeWin32ContextBackend();
    auto record = backend->CreateWindow(320, 240, 0, 0, GFX_DOUBLE_BUFFER);
    ASSERT_TRUE(record);
    HWND window = static_cast<HWND>(Win32RecordWindow(*record));
    ASSERT_TRUE(window);
    EXPECT_EQ(record->kind, TGLContextRecord::WINDOWED);
    EXPECT_EQ(record->width, 320);
    EXPECT_EQ(record->height, 240);
    char name[64] = {};
    GetClassNameA(window, name, sizeof(name));
    EXPECT_STREQ(name, "Corvex GLGraphics");
    EXPECT_TRUE(GetWindowLongA(window, GWL_STYLE) & WS_CAPTION);
    EXPECT_FALSE(Win32HoldsDisplayMode());

    // The context draws: clear to a colour and read it back.
    backend->MakeCurrent(record.get());
    glClearColor(0.0f, 1.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glFinish();
    unsigned char px[4] = {0, 0, 0, 0};
    glReadPixels(160, 120, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, px);
    EXPECT_EQ(px[0], 0);
    EXPECT_EQ(px[1], 255);
    EXPECT_EQ(px[2], 0);
    backend->Destroy(*record);
    EXPECT_FALSE(IsWindow(window));
    // Destroying again does nothing.
    backend->Destroy(*record);
}

TEST_F(Win32Display, FullScreenTakesTheModeOnFocusAndGivesItBack) {
    auto backend = MakeWin32ContextBackend();
    auto record = backend->CreateWindow(1024, 768, 32, 0, GFX_DOUBLE_BUFFER);
    ASSERT_TRUE(record);
    HWND window = static_cast<HWND>(Win32RecordWindow(*record));
    EXPECT_EQ(record->kind, TGLContextRecord::FULL_SCREEN);
    EXPECT_EQ(record->width, 1024);
    EXPECT_EQ(record->height, 768);
    EXPECT_TRUE(GetWindowLongA(window, GWL_STYLE) & WS_POPUP);
    EXPECT_TRUE(Win32HoldsDisplayMode());
    const DEVMODEA mode = CurrentMode();
    EXPECT_EQ(mode.dmPelsWidth, 1024u);
    EXPECT_EQ(mode.dmPelsHeight, 768u);
    // Alt+F4 goes to the system's handling, which asks for a close; the
    // window itself stays.
    SendMessageA(window, WM_SYSKEYDOWN, VK_F4, 0);
    PumpSystemEvents();
    EXPECT_TRUE(IsWindow(window));
    backend->Destroy(*record);
    EXPECT_FALSE(Win32HoldsDisplayMode());
}

TEST_F(Win32Display, ARefusedModeFailsWithTheDisplayModeError) {
    auto backend = MakeWin32ContextBackend();
    // No display offers this size: neither with nor without the rate.
    try {
        auto record = backend->CreateWindow(1000, 555, 32, 50, GFX_DOUBLE_BUFFER);
        ADD_FAILURE() << "the window was created";
    } catch (const TRuntimeError& e) {
        EXPECT_STREQ(e.what(), "GLGraphicsDriver failed to set display mode");
    }
    EXPECT_FALSE(Win32HoldsDisplayMode());
    EXPECT_EQ(FindWindowA("Corvex GLGraphics", nullptr), nullptr);
}

TEST_F(Win32Display, AttachedWindowsKeepTheirMakersWindow) {
    auto backend = MakeWin32ContextBackend();
    EXPECT_EQ(backend->AttachWindow(nullptr, GFX_DOUBLE_BUFFER), nullptr);
    HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(window);
    auto record = backend->AttachWindow(window, GFX_DOUBLE_BUFFER);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->kind, TGLContextRecord::ATTACHED);
    EXPECT_EQ(record->width, 200);
    EXPECT_EQ(record->height, 100);
    SetWindowPos(window, nullptr, 0, 0, 300, 120, SWP_NOMOVE | SWP_NOZORDER);
    backend->RefreshSize(*record);
    EXPECT_EQ(record->width, 300);
    EXPECT_EQ(record->height, 120);
    backend->MakeCurrent(record.get());
    EXPECT_NE(wglGetCurrentContext(), nullptr);
    backend->Destroy(*record);
    EXPECT_EQ(wglGetCurrentContext(), nullptr);
    EXPECT_TRUE(IsWindow(window)); // not ours to destroy
    DestroyWindow(window);
}

TEST_F(Win32Display, OpenGraphicsThroughTheDriverAndFlip) {
    UseGLContextBackend(MakeWin32ContextBackend());
    SelectGraphicsDriver(TGLGraphicsDriver::Instance(), GFX_DOUBLE_BUFFER);
    // A refused mode is a null display, not an error.
    EXPECT_EQ(OpenGraphics(1000, 555, 32, 50, 0), nullptr);
    auto g = OpenGraphics(1024, 768, 32, 0, 0);
    ASSERT_TRUE(g);
    EXPECT_EQ(DisplayWidth(), 1024);
    EXPECT_EQ(DisplayDepth(), 32);
    glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    Flip(0);
    EXPECT_EQ(GLRememberedSwapInterval(), 0);
    Flip(1);
    EXPECT_EQ(GLRememberedSwapInterval(), 1);
    CloseOpenedGraphics();
    EXPECT_FALSE(Win32HoldsDisplayMode());
}

// A texture made in the shared context is known to a window's context made
// after it (wglShareLists), and reads back the same.
TEST_F(Win32Display, TheSharedContextSharesItsObjects) {
    UseGLContextBackend(MakeWin32OffscreenContextBackend());
    auto shared = GLSharedGraphics();
    ASSERT_TRUE(shared);
    auto driver = TGLGraphicsDriver::Instance();
    driver->SetGraphics(shared);
    const uint8_t picture[4] = {10, 20, 30, 40};
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, picture);
    glBindTexture(GL_TEXTURE_2D, 0);
    glFinish();
    auto window = driver->CreateGraphics(64, 64, 0, 0, GFX_DOUBLE_BUFFER);
    ASSERT_TRUE(window);
    driver->SetGraphics(window);
    ASSERT_TRUE(glIsTexture(name));
    uint8_t read[4] = {};
    glBindTexture(GL_TEXTURE_2D, name);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, read);
    glBindTexture(GL_TEXTURE_2D, 0);
    EXPECT_EQ(std::vector<uint8_t>(read, read + 4), std::vector<uint8_t>(picture, picture + 4));
    driver->SetGraphics(nullptr);
    window->Close();
}

} // namespace
