// The full-screen display on a bare X server (no window manager), as kiosks
// and party machines run it. Disabled in the ordinary run: ctest starts it
// through tools/with-xvfb.sh on a 1920 x 1080 screen.
#include <gtest/gtest.h>

#include "backends/sdl/sdl_display.h"
#include "graphics/canvas.h"
#include "graphics/glcanvas.h"
#include "graphics/graphics.h"

// After the engine's headers: Xlib's macros would rename their functions.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

// The screen's pixel at (x, y) as 0xRRGGBB.
unsigned long ScreenPixel(Display* display, int x, int y) {
    XImage* image = XGetImage(display, DefaultRootWindow(display), x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image) return 0xdeadbeef;
    const unsigned long pixel = XGetPixel(image, 0, 0) & 0xffffff;
    XDestroyImage(image);
    return pixel;
}

} // namespace

TEST(SdlKiosk, DISABLED_FullScreenWithoutAWindowManagerCoversTheScreen) {
    Display* x = XOpenDisplay(nullptr);
    ASSERT_TRUE(x) << "no X display";
    const int sw = XDisplayWidth(x, XDefaultScreen(x)), sh = XDisplayHeight(x, XDefaultScreen(x));
    ASSERT_EQ(sw * 10000 + sh, 1920 * 10000 + 1080);

    UseGLContextBackend(MakeSdlContextBackend());
    SelectGraphicsDriver(GLCanvasDriver(), GFX_DOUBLE_BUFFER);
    ASSERT_TRUE(OpenGraphics(1024, 768, 32, 0, 0));
    for (int i = 0; i < 3; ++i) {
        SetClsColor(0, 0, 128);
        Cls();
        SetBlend(BLEND_SOLID);
        SetColor(255, 0, 0);
        DrawRect(0, 0, 16, 16); // the picture's top-left corner
        SetColor(0, 255, 0);
        DrawRect(1008, 752, 16, 16); // and its bottom-right one
        Flip(0);
    }
    // 1024 x 768 scaled into 1920 x 1080: 1440 x 1080 with 240-pixel bars.
    EXPECT_EQ(ScreenPixel(x, 240 + 4, 4), 0xff0000u);
    EXPECT_EQ(ScreenPixel(x, 1920 - 240 - 5, 1080 - 5), 0x00ff00u);
    EXPECT_EQ(ScreenPixel(x, 960, 540), 0x000080u);
    EXPECT_EQ(ScreenPixel(x, 120, 540), 0x000000u);
    EXPECT_EQ(ScreenPixel(x, 1800, 540), 0x000000u);

    CloseOpenedGraphics();
    SelectGraphicsDriver(nullptr, 0);
    UseGLContextBackend(nullptr);
    XCloseDisplay(x);
}
