#pragma once
#include <cstdint>
#include <memory>

#include "graphics/glgraphics.h"

// The SDL2 window layer for the OpenGL display driver. The game sees a 1024 x 768
// (or whatever it asked for) double-buffered GL compatibility context; the window is
// full-screen-desktop (the monitor's mode never changes), drawing goes to an offscreen
// framebuffer of the requested size, and every swap scales it to the window with its
// aspect kept. Losing focus minimises the window.
//
// Game start-up:
//   UseSdlGraphicsDriver();
//   SelectGraphicsDriver(Canvas2DDriver(), GFX_DOUBLE_BUFFER);
//   if (!OpenGraphics(1024, 768, 32, 50, 0)) { /* one line on stderr, exit 1 */ }

struct TSdlDisplayOptions {
    bool hidden = false;    // never show the window (offscreen rendering, captures)
    bool fullscreen = true; // full-screen-desktop for depth != 0 (else a window of the drawable size)
    int display = 0;        // the display to open on, from 0; one that does not exist means the first
    int window_width = 0;   // the window's size when not full screen; 0: the picture's size
    int window_height = 0;
    bool minimize_on_focus_loss = true; // a full-screen window that loses the focus is minimised
    const char* title = "Corvex Application";
    // The desktop's name for the program (its desktop file's id): the window's
    // X11 class and Wayland app id. Null leaves SDL's own choice.
    const char* app_id = nullptr;
};

// The number of displays SDL finds, 0 when video cannot start.
int SdlDisplayCount();

// The depth a display mode of this SDL pixel format lists with: its bits per
// pixel, except that 24 bits of colour in a 32-bit pixel count as 32.
int SdlModeDepth(uint32_t pixel_format);

struct SDL_Window;

// Maps a point between the game's picture (its pixels) and a window's own
// coordinates, through the scale and offset at which the window shows the
// picture. A window the display does not know, or one that shows the picture
// one to one, leaves the point as it is. For the mouse: the pointer is placed
// and reported in the picture's pixels.
void SdlPictureToWindow(SDL_Window* window, int& x, int& y);
void SdlWindowToPicture(SDL_Window* window, int& x, int& y);

// Switches a display window between full screen (desktop-sized) and a
// resizable window of the options' size. The display stays open as it is: its
// mode, context and picture do not change. False for a window the display does
// not know.
bool SdlToggleFullScreen(SDL_Window* window);
// Whether a full-screen window is minimised when it loses the focus.
bool SdlMinimizesOnFocusLoss();

// Installs the SDL window layer as the GL context backend.
void UseSdlGraphicsDriver(const TSdlDisplayOptions& options = {});
std::shared_ptr<TGLContextBackend> MakeSdlContextBackend(const TSdlDisplayOptions& options = {});
// A context backend whose windows are never shown and never change the display
// mode (SDL's offscreen video driver), for drawing offscreen: the simulator's
// captures. Null when this machine cannot make GL contexts.
std::shared_ptr<TGLContextBackend> MakeSdlOffscreenContextBackend();
