#pragma once
#include <memory>

#include "graphics/image.h"

// Image frames of the shader-based 2D driver: textures made as OpenGL ES 2
// makes them (no proxy textures, no row length: the largest side comes from
// GL_MAX_TEXTURE_SIZE, rows are packed before upload), with the same texture
// sizes, padding, filtering and mipmaps as the immediate-mode driver's frames.
class TGLES2ImageFrame : public TImageFrame {
  public:
    float u0 = 0, v0 = 0, u1 = 1, v1 = 1;
    unsigned name = 0; // GL texture name
    int seq = 0;       // GraphicsGeneration at creation
    int flags = 0;
    int texture_w = 0, texture_h = 0; // the texture's size in texels
    int picture_w = 0, picture_h = 0; // the frame's picture inside it, in texels
    // The part of the picture that is not fully transparent, with one texel of margin for
    // filtering, in fractions of the frame (s across, t down); empty (s0 >= s1) when all of it is.
    float visible_s0 = 0, visible_t0 = 0, visible_s1 = 1, visible_t1 = 1;

    ~TGLES2ImageFrame() override;
    void Draw(float x0, float y0, float x1, float y1, float tx, float ty) override;
    void DrawPart(float x0, float y0, float x1, float y1, float tx, float ty, float s0, float t0, float s1,
                  float t1) override;

    // Needs a current GL context; max_size is its largest texture side. Leaves the new texture bound.
    static std::shared_ptr<TGLES2ImageFrame> CreateFromPixmap(const TPixmapPtr& pixmap, int flags,
                                                              int max_size);
};

// A texture of exactly the pixmap's size (unfiltered, clamped: OpenGL ES 2 takes any size so) for
// copying pixels to the screen. Leaves it bound; the caller deletes it.
unsigned GLES2PixelTexture(const TPixmap& pixmap);
