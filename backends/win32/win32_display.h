#pragma once
#include <memory>

#include "graphics/glgraphics.h"

// The Win32 window layer of the OpenGL display driver: windows of the class
// "Corvex GLGraphics" with a WGL context each. A full-screen window changes
// the display mode when it gets the focus and puts the desktop's mode back
// when it loses it (or is destroyed); a windowed one is centred on the
// desktop with a caption.
//
// Game start-up:
//   UseWin32GraphicsDriver();
//   SelectGraphicsDriver(Canvas2DDriver(), GFX_DOUBLE_BUFFER);
//   OpenGraphics(1024, 768, 32, 50, 0);

struct TWin32DisplayOptions {
    // Never show the window and never change the display mode (offscreen
    // drawing for the simulator's captures).
    bool hidden = false;
};

// Installs the Win32 window layer as the GL context backend.
void UseWin32GraphicsDriver();
std::shared_ptr<TGLContextBackend> MakeWin32ContextBackend(const TWin32DisplayOptions& options = {});
// A context backend whose hidden windows never change the display mode, for
// drawing offscreen: the simulator's captures.
std::shared_ptr<TGLContextBackend> MakeWin32OffscreenContextBackend();

// The window class name and the caption of the game's window.
inline constexpr const char* WIN32_GL_WINDOW_CLASS = "Corvex GLGraphics";
inline constexpr const char* WIN32_APP_TITLE = "Corvex Application";

// The window handle (HWND) of a record made by the Win32 window layer; null
// for records of other layers.
void* Win32RecordWindow(const TGLContextRecord& record);

// Whether a window currently holds a full-screen display mode of ours.
bool Win32HoldsDisplayMode();
