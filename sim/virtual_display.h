#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "graphics/canvas.h"
#include "sim/virtual_clock.h"

class TGLContextBackend;

// The simulator's display: a 50 Hz display in virtual time. A display-level Flip
// with a non-zero sync advances the virtual clock by exactly 20 ms, so the refresh
// measurement of OpenGraphics sees three 20 ms flips, turns soft sync off, and every
// Flip(-1) of the game is one such flip.
//
// Usage, before the game's start-up code runs:
//   auto clock = UseVirtualClock(clock_start);            // before anything reads the clock
//   auto display = UseVirtualDisplay(TVirtualRenderer::NUL, clock);  // or ::GL (offscreen OpenGL)
//   if (!display) { /* GL could not be set up: one line on stderr, exit */ }
// The game then selects Canvas2DDriver() and calls OpenGraphics as it always does.
// To capture frame k as it stands before its Flip (GL only):
//   std::vector<uint8_t> rgb; display->ReadFrameRGB(rgb);     // 1024*768*3 bytes, top row first
//   WriteRgbPng(path, 1024, 768, rgb);

enum class TVirtualRenderer { NUL, GL };

// Display driver decorator: contexts and presentation come from `inner` (the OpenGL
// display driver) or, without one, are plain records; a non-zero sync costs 20 ms.
class TVirtualDisplayDriver : public TGraphicsDriver {
  public:
    TVirtualDisplayDriver(std::shared_ptr<TVirtualClock> clock, std::shared_ptr<TGraphicsDriver> inner);
    std::vector<TGraphicsMode> GraphicsModes(int display) override;
    std::shared_ptr<TGraphics> AttachGraphics(void* window_handle, int flags) override;
    std::shared_ptr<TGraphics> CreateGraphics(int width, int height, int depth, int hertz,
                                              int flags) override;
    void SetGraphics(const std::shared_ptr<TGraphics>& graphics) override;
    void Flip(int sync) override;

    static constexpr int FRAME_MS = 20;
    long flips = 0;        // every Flip
    long synced_flips = 0; // those that advanced the clock

  private:
    std::shared_ptr<TVirtualClock> clock_;
    std::shared_ptr<TGraphicsDriver> inner_;
};

class TVirtualDisplay {
  public:
    TVirtualRenderer renderer;
    std::shared_ptr<TVirtualClock> clock;
    std::shared_ptr<TVirtualDisplayDriver> display;
    std::shared_ptr<TCanvasDriver> canvas; // installed as Canvas2DDriver()

    // The frame as drawn so far (before Flip), top row first, RGB. False for NUL.
    bool ReadFrameRGB(std::vector<uint8_t>& rgb, int width = 1024, int height = 768) const;
};

// Sets up and installs the virtual display. For GL it draws with the OpenGL 2D
// driver chosen with UseGLRenderer (graphics/gles2canvas.h) through the given
// offscreen context backend (a window layer's hidden one, chosen by the
// caller); null when GL was asked for without one.
std::shared_ptr<TVirtualDisplay> UseVirtualDisplay(TVirtualRenderer renderer,
                                                   std::shared_ptr<TVirtualClock> clock,
                                                   std::shared_ptr<TGLContextBackend> offscreen = nullptr);

// Writes an RGB image (top row first) as a PNG; false on failure.
bool WriteRgbPng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb);
