#pragma once
#include <memory>
#include <string_view>

// Drawing shared by the screens: the playfield backdrop, box outlines, the
// score boxes and the round clock.

struct TRgb;
class TImage;

// Sets the drawing colour.
void SetRgb(const TRgb& c);

// Draws a frame of a picture at (x, y) in the current drawing state. The
// pictures are loaded at start-up; one that is missing is simply not drawn.
void DrawPicture(const std::shared_ptr<TImage>& image, float x, float y, int frame);

// The playfield backdrop: jittering dashed guide lines and four overlapping
// translucent panels. First thing drawn in every frame. Leaves alpha 1.
void DrawBackground();

// Covers the whole screen in black at `alpha` (alpha blend), then restores
// the resting state: colour white, alpha 1, light blend.
void DrawBlackout(float alpha);

// The outline of an axis-aligned box in the current colour, alpha, blend and
// line width: left, right, top, bottom edge, each including its last pixel.
void DrawBox(int x1, int y1, int x2, int y2);

// Draws text in the current font centred on x (the half width rounded towards zero), top at y.
void DrawCentred(std::string_view text, int x, int y);

// With colour-safe players on: player n's mark, `text` in the small font
// centred on (x, y), white with a black shadow, upright; the drawing state
// (colour, alpha, blend, rotation) is left as it was.
void DrawPlayerMark(std::string_view text, int x, int y);
// The four score boxes (at each base's score_y) and, outside the attract
// screen, the round clock panel. Leaves colour white and the light blend.
void DrawHud();
