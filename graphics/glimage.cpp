#include "graphics/glimage.h"

#include <GL/gl.h>

#include "graphics/canvas.h"
#include "graphics/graphics.h"
#include "platform/error.h"

#ifndef GL_CLAMP_TO_EDGE
#define GL_CLAMP_TO_EDGE 0x812F
#endif

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
    int tw = 0, th = 0;
    GLTextureSize(source->width, source->height, tw, th);
    int w = 0, h = 0;
    TPixmapPtr pixmap = PadPixmapForTexture(source, tw, th, w, h);

    // The renderer caches the bound texture; its cache must stay true after this.
    GLint previous = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);

    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    const bool mipmapped = (flags & IMAGE_MIPMAPPED) != 0;
    if (flags & IMAGE_FILTERED) {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER,
                        mipmapped ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR);
    } else {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER,
                        mipmapped ? GL_NEAREST_MIPMAP_NEAREST : GL_NEAREST);
    }
    // Allocate every level first, then fill them.
    for (int level = 0, lw = tw, lh = th;; ++level) {
        glTexImage2D(GL_TEXTURE_2D, level, GL_RGBA8, lw, lh, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
        if (!mipmapped || (lw == 1 && lh == 1)) break;
        if (lw >= 2) lw /= 2;
        if (lh >= 2) lh /= 2;
    }
    for (int level = 0;; ++level) {
        glPixelStorei(GL_UNPACK_ROW_LENGTH, pixmap->pitch / pixmap->BytesPerPixel());
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glTexSubImage2D(GL_TEXTURE_2D, level, 0, 0, pixmap->width, pixmap->height, GL_RGBA, GL_UNSIGNED_BYTE,
                        pixmap->pixels);
        if (!mipmapped || (pixmap->width == 1 && pixmap->height == 1)) break;
        const int nw = pixmap->width >= 2 ? pixmap->width / 2 : 1;
        const int nh = pixmap->height >= 2 ? pixmap->height / 2 : 1;
        pixmap = ResizePixmap(*pixmap, nw, nh);
    }
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    // Leave GL with the binding the renderer believes is current (a deleted texture's name may just have
    // been handed out again, and the renderer must then see this new texture under it).
    const TCanvasDriver* driver = CurrentCanvasDriver();
    glBindTexture(GL_TEXTURE_2D, driver ? driver->BoundTexture() : static_cast<GLuint>(previous));

    auto frame = std::make_shared<TGLImageFrame>();
    frame->name = name;
    frame->seq = GraphicsGeneration();
    frame->u0 = frame->v0 = 0;
    frame->u1 = static_cast<float>(w) / static_cast<float>(tw);
    frame->v1 = static_cast<float>(h) / static_cast<float>(th);
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

void TGLImageFrame::Draw(float x0, float y0, float x1, float y1, float tx, float ty) {
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
