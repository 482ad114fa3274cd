#include "graphics/glcanvas.h"

#include <GL/gl.h>

#include <cstring>

#include "graphics/glimage.h"
#include "graphics/pixmap.h"

std::shared_ptr<TGLCanvasDriver> TGLCanvasDriver::Instance() {
    static std::shared_ptr<TGLCanvasDriver> instance =
        std::make_shared<TGLCanvasDriver>(TGLGraphicsDriver::Instance());
    return instance;
}

std::shared_ptr<TGLCanvasDriver> GLCanvasDriver() {
    return TGLCanvasDriver::Instance();
}

TGLCanvasDriver::TGLCanvasDriver(std::shared_ptr<TGraphicsDriver> display)
    : TCanvasDriver(std::move(display)) {}

std::shared_ptr<TImageFrame> TGLCanvasDriver::CreateFrameFromPixmap(const std::shared_ptr<TPixmap>& pixmap,
                                                                    int flags) {
    if (!pixmap) return nullptr;
    return TGLImageFrame::CreateFromPixmap(pixmap, flags);
}

void TGLCanvasDriver::DrawPixmap(const std::shared_ptr<TPixmap>& pixmap, int x, int y) {
    if (!pixmap || pixmap->width <= 0 || pixmap->height <= 0) return;
    const int saved = LastBlend();
    DisableTextures();
    SetBlend(BLEND_SOLID);
    if (DroppingFrame()) {
        if (saved) SetBlend(saved);
        return;
    }
    // GL rows run bottom-up.
    TPixmapPtr src = pixmap->format == PIXEL_RGBA32 ? pixmap : pixmap->Convert(PIXEL_RGBA32);
    TPixmapPtr flipped = FlipPixmapVertically(*src);
    glRasterPos2i(0, 0);
    // Moving the raster position with a null bitmap lets it start outside the viewport.
    glBitmap(0, 0, 0, 0, static_cast<float>(x), static_cast<float>(-y - flipped->height), nullptr);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, flipped->pitch / 4);
    glDrawPixels(flipped->width, flipped->height, GL_RGBA, GL_UNSIGNED_BYTE, flipped->pixels);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    if (saved) SetBlend(saved);
}

std::shared_ptr<TPixmap> TGLCanvasDriver::GrabPixmap(int x, int y, int w, int h) {
    if (w <= 0 || h <= 0) return nullptr;
    const int saved = LastBlend();
    SetBlend(BLEND_SOLID);
    TPixmapPtr pixmap = CreatePixmap(w, h, PIXEL_RGBA32, 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(x, ContextHeight() - h - y, w, h, GL_RGBA, GL_UNSIGNED_BYTE, pixmap->pixels);
    if (saved) SetBlend(saved);
    return FlipPixmapVertically(*pixmap);
}

bool TGLCanvasDriver::ReadPixelsRGB(int x, int y, int w, int h, std::vector<uint8_t>& rgb) {
    if (w <= 0 || h <= 0) return false;
    std::vector<uint8_t> rows(static_cast<size_t>(w) * h * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, ContextHeight() - h - y, w, h, GL_RGB, GL_UNSIGNED_BYTE, rows.data());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    rgb.resize(rows.size());
    const size_t stride = static_cast<size_t>(w) * 3;
    for (int r = 0; r < h; ++r) {
        std::memcpy(rgb.data() + static_cast<size_t>(r) * stride,
                    rows.data() + static_cast<size_t>(h - 1 - r) * stride, stride);
    }
    return glGetError() == GL_NO_ERROR;
}

void TGLCanvasDriver::ResetGLContext(TCanvasGraphics& graphics) {
    TCanvasDriver::ResetContext(graphics);
}

void TGLCanvasDriver::ApplyReset(int width, int height) {
    glDisable(GL_TEXTURE_2D);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, width, height, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glViewport(0, 0, width, height);
}

void TGLCanvasDriver::ApplyBlend(int mode) {
    ++state_calls_;
    switch (mode) {
    case BLEND_MASK:
        glDisable(GL_BLEND);
        glEnable(GL_ALPHA_TEST);
        glAlphaFunc(GL_GEQUAL, 0.5f);
        break;
    case BLEND_SOLID:
        glDisable(GL_BLEND);
        glDisable(GL_ALPHA_TEST);
        break;
    case BLEND_ALPHA:
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glDisable(GL_ALPHA_TEST);
        break;
    case BLEND_LIGHT:
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE);
        glDisable(GL_ALPHA_TEST);
        break;
    case BLEND_SHADE:
        glEnable(GL_BLEND);
        glBlendFunc(GL_DST_COLOR, GL_ZERO);
        glDisable(GL_ALPHA_TEST);
        break;
    default:
        glDisable(GL_BLEND);
        glDisable(GL_ALPHA_TEST);
        break;
    }
}

void TGLCanvasDriver::ApplyColor(const uint8_t rgba[4]) {
    ++state_calls_;
    glColor4ubv(rgba);
}

void TGLCanvasDriver::ApplyClsColor(int r, int g, int b) {
    ++state_calls_;
    glClearColor(static_cast<float>(r) / 255.0f, static_cast<float>(g) / 255.0f,
                 static_cast<float>(b) / 255.0f, 1.0f);
}

void TGLCanvasDriver::ApplyScissor(bool enable, int x, int y, int w, int h) {
    ++state_calls_;
    if (!enable) {
        glDisable(GL_SCISSOR_TEST);
        return;
    }
    glEnable(GL_SCISSOR_TEST);
    glScissor(x, y, w < 0 ? 0 : w, h < 0 ? 0 : h);
}

void TGLCanvasDriver::ApplyLineWidth(float width) {
    ++state_calls_;
    glLineWidth(width);
}

void TGLCanvasDriver::ApplyTexturing(bool enable) {
    ++state_calls_;
    if (enable) {
        glEnable(GL_TEXTURE_2D);
    } else {
        glDisable(GL_TEXTURE_2D);
    }
}

void TGLCanvasDriver::ApplyBindTexture(unsigned name) {
    ++state_calls_;
    glBindTexture(GL_TEXTURE_2D, name);
}

// A dropped frame changes the GL state as a shown one would, so the next frame
// starts from the same state, but clears and draws nothing.
void TGLCanvasDriver::ClearBuffer() {
    if (DroppingFrame()) return;
    glClear(GL_COLOR_BUFFER_BIT);
}

void TGLCanvasDriver::EmitPrimitive(TPrimitive kind, const float* xy, int vertex_count) {
    if (DroppingFrame()) return;
    GLenum mode = GL_POINTS;
    switch (kind) {
    case TPrimitive::POINTS:
        mode = GL_POINTS;
        break;
    case TPrimitive::LINES:
        mode = GL_LINES;
        break;
    case TPrimitive::QUADS:
        mode = GL_QUADS;
        break;
    case TPrimitive::POLYGON:
        mode = GL_POLYGON;
        break;
    }
    glBegin(mode);
    for (int i = 0; i < vertex_count; ++i)
        glVertex2f(xy[i * 2], xy[i * 2 + 1]);
    glEnd();
}
