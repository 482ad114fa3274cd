#include "graphics/glimage.h"

#include <GL/gl.h>

#include "graphics/canvas.h"
#include "graphics/gldraw.h"
#include "graphics/graphics.h"
#include "platform/error.h"

void GLTextureSize(int w, int h, int& tw, int& th) {
    auto pow2 = [](int n) {
        int p = 1;
        while (p < n && p < (1 << 30))
            p <<= 1;
        return p;
    };
    tw = pow2(w);
    th = pow2(h);
    for (;;) {
        glTexImage2D(GL_PROXY_TEXTURE_2D, 0, 4, tw, th, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
        GLint got = 0;
        glGetTexLevelParameteriv(GL_PROXY_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &got);
        if (got != 0) return;
        if (tw == 1 && th == 1) throw TRuntimeError("Unable to calculate tex size");
        if (tw > 1) tw /= 2;
        if (th > 1) th /= 2;
    }
}

std::shared_ptr<TGLImageFrame> TGLImageFrame::CreateFromPixmap(const TPixmapPtr& source, int flags) {
    if (!source || source->width <= 0 || source->height <= 0) return nullptr;
    TGLTexture texture(source, flags);
    // Leave GL with the binding the renderer believes is current (a deleted texture's name may just have
    // been handed out again, and the renderer must then see this new texture under it).
    if (const TCanvasDriver* driver = CurrentCanvasDriver())
        glBindTexture(GL_TEXTURE_2D, driver->BoundTexture());

    auto frame = std::make_shared<TGLImageFrame>();
    frame->u0 = frame->v0 = 0;
    frame->u1 = texture.U1();
    frame->v1 = texture.V1();
    frame->name = texture.Release();
    frame->seq = GraphicsGeneration();
    return frame;
}

TGLImageFrame::~TGLImageFrame() {
    // A texture of a display that has been closed is not deleted: its context is gone.
    if (seq != 0 && seq == GraphicsGeneration()) {
        GLuint n = name;
        glDeleteTextures(1, &n);
    }
    seq = 0;
}

namespace {

// One textured quad: texture corners (u0, v0)-(u1, v1) over the local rectangle (x0, y0)-(x1, y1), each
// corner transformed by the renderer's matrix and moved by (tx, ty).
void TexturedQuad(unsigned name, float x0, float y0, float x1, float y1, float tx, float ty, float u0,
                  float v0, float u1, float v1) {
    TCanvasDriver* driver = CurrentCanvasDriver();
    if (!driver) return;
    driver->BindTexture(name);
    if (driver->DroppingFrame()) return;
    const TDrawMatrix& m = driver->Matrix();
    const float ix = m.ix, iy = m.iy, jx = m.jx, jy = m.jy;
    glBegin(GL_QUADS);
    glTexCoord2f(u0, v0);
    glVertex2f(x0 * ix + y0 * iy + tx, x0 * jx + y0 * jy + ty);
    glTexCoord2f(u1, v0);
    glVertex2f(x1 * ix + y0 * iy + tx, x1 * jx + y0 * jy + ty);
    glTexCoord2f(u1, v1);
    glVertex2f(x1 * ix + y1 * iy + tx, x1 * jx + y1 * jy + ty);
    glTexCoord2f(u0, v1);
    glVertex2f(x0 * ix + y1 * iy + tx, x0 * jx + y1 * jy + ty);
    glEnd();
}

} // namespace

void TGLImageFrame::Draw(float x0, float y0, float x1, float y1, float tx, float ty) {
    TexturedQuad(name, x0, y0, x1, y1, tx, ty, u0, v0, u1, v1);
}

void TGLImageFrame::DrawPart(float x0, float y0, float x1, float y1, float tx, float ty, float s0, float t0,
                             float s1, float t1) {
    const float du = u1 - u0, dv = v1 - v0;
    TexturedQuad(name, x0, y0, x1, y1, tx, ty, u0 + s0 * du, v0 + t0 * dv, u0 + s1 * du, v0 + t1 * dv);
}
