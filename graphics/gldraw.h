#pragma once
#include <string_view>

#include "graphics/pixmap.h"

// Drawing straight into the current GL context, outside the 2D renderer: for
// tools, tests and debugging overlays over any GL display. Each helper saves
// the GL state it could touch (every server attribute, the client pixel-store
// state, the projection and model-view matrices), sets a pixel projection over
// the current viewport (x to the right, y down, (0, 0) the top-left corner of
// the top-left pixel), draws, and puts everything back, so the 2D renderer's
// cached state stays true. Nothing happens without a current GL context.
//
// Rectangles and text use the current GL colour and blending, with texturing,
// depth test, lighting and face culling off. Pixmaps keep their own colours
// and are blended by their alpha.

// A w x h rectangle filled from (x, y).
void GLDrawRect(int x, int y, int w, int h);
// The pixmap's pixels with its top-left corner at (x, y), one to one.
void GLDrawPixmap(const TPixmapPtr& pixmap, int x, int y);
// Text in the built-in 8 x 16 font, the first character's cell at (x, y):
// characters 8 pixels apart, "\n" starting a line 16 pixels further down.
// Characters outside 32-127 are drawn as spaces.
void GLDrawText(std::string_view text, int x, int y);

// For the texture bound now, of tw x th (powers of two): edges clamped,
// linear or nearest sampling as the image flags ask, and every level
// allocated in internal_format (one, or all down to 1 x 1 when mipmapped),
// left for the caller to fill. Tells whether it is mipmapped.
bool SetUpTextureLevels(int tw, int th, int flags, int internal_format);

// A texture made from a pixmap in the current GL context. Its sides are the
// powers of two at or above the pixmap's (halved while GL refuses them); the
// pixmap lies at its top-left, from texture coordinates (0, 0) to (u1, v1),
// with one repeated row and column past its edges. The texture binding is
// left as it was. The texture is deleted with this object, while the display
// that was open when it was made is still open (as image frames are); Release
// hands the name over instead.
class TGLTexture {
  public:
    TGLTexture() = default;
    // flags: IMAGE_FILTERED (bilinear, else nearest) and IMAGE_MIPMAPPED. An
    // empty pixmap gives an empty texture (name 0). Raises TRuntimeError
    // ("Unable to calculate tex size") when GL takes no size down to 1 x 1.
    TGLTexture(const TPixmapPtr& pixmap, int flags);
    TGLTexture(TGLTexture&& other) noexcept;
    TGLTexture& operator=(TGLTexture&& other) noexcept;
    TGLTexture(const TGLTexture&) = delete;
    TGLTexture& operator=(const TGLTexture&) = delete;
    ~TGLTexture();

    unsigned Name() const { return name_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    float U1() const { return u1_; }
    float V1() const { return v1_; }
    // Gives up ownership: the caller deletes the texture.
    unsigned Release();

  private:
    unsigned name_ = 0;
    int width_ = 0, height_ = 0;
    float u1_ = 0, v1_ = 0;
    int seq_ = 0; // GraphicsGeneration when made
};
