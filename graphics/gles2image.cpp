#include "graphics/gles2image.h"

#include <GL/gl.h>
// On Windows the GL header brings the system's CreateWindow macro; the window layer's is ours.
#undef CreateWindow

#include <algorithm>
#include <cstring>
#include <vector>

#include "graphics/canvas.h"
#include "graphics/gldraw.h"
#include "graphics/gles2canvas.h"
#include "graphics/graphics.h"
#include "platform/error.h"

#ifndef GL_CLAMP_TO_EDGE
#define GL_CLAMP_TO_EDGE 0x812F
#endif

namespace {

int PowerOfTwoAtLeast(int n) {
    int p = 1;
    while (p < n && p < (1 << 30))
        p <<= 1;
    return p;
}

// Uploads a level from an RGBA pixmap, its rows packed first when they are not already.
void UploadLevel(int level, const TPixmap& pixmap) {
    const size_t row = static_cast<size_t>(pixmap.width) * 4;
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    if (static_cast<size_t>(pixmap.pitch) == row) {
        glTexSubImage2D(GL_TEXTURE_2D, level, 0, 0, pixmap.width, pixmap.height, GL_RGBA, GL_UNSIGNED_BYTE,
                        pixmap.pixels);
    } else {
        std::vector<uint8_t> packed(row * static_cast<size_t>(pixmap.height));
        for (int y = 0; y < pixmap.height; ++y)
            std::memcpy(packed.data() + row * static_cast<size_t>(y),
                        static_cast<const uint8_t*>(pixmap.pixels) + static_cast<size_t>(pixmap.pitch) * y,
                        row);
        glTexSubImage2D(GL_TEXTURE_2D, level, 0, 0, pixmap.width, pixmap.height, GL_RGBA, GL_UNSIGNED_BYTE,
                        packed.data());
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
}

// Where the picture (w x h at the top-left of an RGBA pixmap) is not fully transparent, widened by one
// texel, in fractions of w and h.
void VisiblePart(const TPixmap& pixmap, int w, int h, float& s0, float& t0, float& s1, float& t1) {
    int x_lo = w, y_lo = h, x_hi = -1, y_hi = -1;
    for (int y = 0; y < h; ++y) {
        const auto* p = static_cast<const uint8_t*>(pixmap.pixels) + static_cast<size_t>(pixmap.pitch) * y;
        for (int x = 0; x < w; ++x) {
            if (p[x * 4 + 3] == 0) continue;
            x_lo = std::min(x_lo, x);
            x_hi = std::max(x_hi, x);
            y_lo = std::min(y_lo, y);
            y_hi = std::max(y_hi, y);
        }
    }
    if (x_hi < 0) {
        s0 = t0 = 1;
        s1 = t1 = 0;
        return;
    }
    s0 = static_cast<float>(std::max(x_lo - 1, 0)) / static_cast<float>(w);
    t0 = static_cast<float>(std::max(y_lo - 1, 0)) / static_cast<float>(h);
    s1 = static_cast<float>(std::min(x_hi + 2, w)) / static_cast<float>(w);
    t1 = static_cast<float>(std::min(y_hi + 2, h)) / static_cast<float>(h);
}

TGLES2CanvasDriver* Driver() {
    return dynamic_cast<TGLES2CanvasDriver*>(CurrentCanvasDriver());
}

} // namespace

std::shared_ptr<TGLES2ImageFrame> TGLES2ImageFrame::CreateFromPixmap(const TPixmapPtr& source, int flags,
                                                                     int max_size) {
    if (!source || source->width <= 0 || source->height <= 0) return nullptr;
    int tw = PowerOfTwoAtLeast(source->width), th = PowerOfTwoAtLeast(source->height);
    if (max_size < 1) throw TRuntimeError("Unable to calculate tex size");
    while (tw > max_size || th > max_size) {
        if (tw > 1) tw /= 2;
        if (th > 1) th /= 2;
    }
    int w = 0, h = 0;
    TPixmapPtr pixmap = PadPixmapForTexture(source, tw, th, w, h);

    auto frame = std::make_shared<TGLES2ImageFrame>();
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    const bool mipmapped = SetUpTextureLevels(tw, th, flags, GL_RGBA);
    VisiblePart(*pixmap, w, h, frame->visible_s0, frame->visible_t0, frame->visible_s1, frame->visible_t1);
    for (int level = 0;; ++level) {
        UploadLevel(level, *pixmap);
        if (!mipmapped || (pixmap->width == 1 && pixmap->height == 1)) break;
        const int nw = pixmap->width >= 2 ? pixmap->width / 2 : 1;
        const int nh = pixmap->height >= 2 ? pixmap->height / 2 : 1;
        pixmap = ResizePixmap(*pixmap, nw, nh);
    }
    frame->name = name;
    frame->seq = GraphicsGeneration();
    frame->flags = flags;
    frame->texture_w = tw;
    frame->texture_h = th;
    frame->picture_w = w;
    frame->picture_h = h;
    frame->u1 = static_cast<float>(w) / static_cast<float>(tw);
    frame->v1 = static_cast<float>(h) / static_cast<float>(th);
    return frame;
}

TGLES2ImageFrame::~TGLES2ImageFrame() {
    // A texture of a display that has been closed is not deleted: its context is gone.
    if (seq != 0 && seq == GraphicsGeneration()) {
        if (TGLES2CanvasDriver* driver = Driver()) driver->ForgetTexture(name);
        const GLuint n = name;
        glDeleteTextures(1, &n);
    }
    seq = 0;
}

void TGLES2ImageFrame::Draw(float x0, float y0, float x1, float y1, float tx, float ty) {
    if (TGLES2CanvasDriver* driver = Driver()) driver->DrawFrame(*this, x0, y0, x1, y1, tx, ty, 0, 0, 1, 1);
}

void TGLES2ImageFrame::DrawPart(float x0, float y0, float x1, float y1, float tx, float ty, float s0,
                                float t0, float s1, float t1) {
    if (TGLES2CanvasDriver* driver = Driver())
        driver->DrawFrame(*this, x0, y0, x1, y1, tx, ty, s0, t0, s1, t1);
}

unsigned GLES2PixelTexture(const TPixmap& source) {
    TPixmapPtr converted;
    const TPixmap* pixmap = &source;
    if (source.format != PIXEL_RGBA32) {
        converted = source.Convert(PIXEL_RGBA32);
        pixmap = converted.get();
    }
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, pixmap->width, pixmap->height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 nullptr);
    UploadLevel(0, *pixmap);
    return name;
}
