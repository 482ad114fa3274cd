#pragma once
#include <memory>

#include "graphics/image.h"

// Image frames of the OpenGL 2D driver: textures made from pixmaps.

// An OpenGL texture made from a pixmap. Deleting the frame deletes the texture only while the display
// that made it is still open (same GraphicsGeneration).
class TGLImageFrame : public TImageFrame {
  public:
    float u0 = 0, v0 = 0, u1 = 1, v1 = 1;
    unsigned name = 0; // GL texture name
    int seq = 0;       // GraphicsGeneration at creation

    ~TGLImageFrame() override;
    void Draw(float x0, float y0, float x1, float y1, float tx, float ty) override;
    void DrawPart(float x0, float y0, float x1, float y1, float tx, float ty, float s0, float t0, float s1,
                  float t1) override;

    // Needs a current GL context. Raises TRuntimeError("Unable to calculate tex size") when no texture
    // size down to 1 x 1 is accepted.
    static std::shared_ptr<TGLImageFrame> CreateFromPixmap(const TPixmapPtr& pixmap, int flags);
};

// The texture size a pixmap of w x h gets: powers of two at or above each side, halved while the GL
// proxy refuses them. Needs a current GL context.
void GLTextureSize(int w, int h, int& tw, int& th);
