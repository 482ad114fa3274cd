#include "graphics/image.h"

#include <GL/gl.h>

#include <algorithm>

#include "graphics/canvas.h"
#include "graphics/graphics.h"
#include "platform/error.h"

#ifndef GL_CLAMP_TO_EDGE
#define GL_CLAMP_TO_EDGE 0x812F
#endif

// ---------------------------------------------------------------------------------------------------
// Module settings

namespace {
int auto_image_flags = IMAGE_MASKED | IMAGE_FILTERED;
int mask_red = 0, mask_green = 0, mask_blue = 0;
bool auto_mid_handle = false;

int ResolveFlags(int flags) { return flags == -1 ? auto_image_flags : flags; }

TImagePtr AfterLoad(TImagePtr image) {
    if (image && auto_mid_handle) CentreImageHandle(*image);
    return image;
}
}  // namespace

void SetAutoMidHandle(bool on) { auto_mid_handle = on; }
bool AutoMidHandle() { return auto_mid_handle; }
void SetAutoImageFlags(int flags) {
    if (flags != -1) auto_image_flags = flags;
}
int AutoImageFlags() { return auto_image_flags; }
void SetImageMaskColour(int r, int g, int b) {
    mask_red = r;
    mask_green = g;
    mask_blue = b;
}

// ---------------------------------------------------------------------------------------------------
// Textures

void GLTextureSize(int w, int h, int& tw, int& th) {
    auto pow2 = [](int n) {
        int p = 1;
        while (p < n && p < (1 << 30)) p <<= 1;
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

TPixmapPtr PadPixmapForTexture(const TPixmapPtr& source, int tw, int th, int& w, int& h) {
    TPixmapPtr pixmap = source;
    w = std::min(pixmap->width, tw);
    h = std::min(pixmap->height, th);
    if (w != pixmap->width || h != pixmap->height) pixmap = ResizePixmap(*pixmap, w, h);
    if (w < tw || h < th) {
        // One extra row and column repeating the frame's edge keeps filtering at the border from
        // pulling in unrelated texels. The rest of the padding is never sampled.
        // The rest of the padding is cleared to transparent: mipmap levels average it into the edge.
        TPixmapPtr padded = TPixmap::Create(tw, th, PIXEL_RGBA32, 4);
        padded->ClearPixels(0);
        padded->Paste(*pixmap, 0, 0);
        if (w < tw && w > 0) {
            for (int y = 0; y < h; ++y) ConvertPixels(pixmap->PixelPtr(w - 1, y), pixmap->format,
                                                      padded->PixelPtr(w, y), PIXEL_RGBA32, 1);
        }
        if (h < th && h > 0) {
            ConvertPixels(pixmap->PixelPtr(0, h - 1), pixmap->format, padded->PixelPtr(0, h), PIXEL_RGBA32, w);
            if (w < tw && w > 0)
                ConvertPixels(pixmap->PixelPtr(w - 1, h - 1), pixmap->format, padded->PixelPtr(w, h),
                              PIXEL_RGBA32, 1);
        }
        return padded;
    }
    if (pixmap->format != PIXEL_RGBA32) return pixmap->Convert(PIXEL_RGBA32);
    return pixmap;
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
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, mipmapped ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR);
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

// ---------------------------------------------------------------------------------------------------
// TImage

TImagePtr TImage::Create(int width, int height, int n, int flags, int r, int g, int b) {
    auto image = std::make_shared<TImage>();
    image->width = width;
    image->height = height;
    image->flags = flags;
    image->mask_r = r;
    image->mask_g = g;
    image->mask_b = b;
    n = std::max(n, 0);
    image->pixmaps.resize(static_cast<size_t>(n));
    image->frames.resize(static_cast<size_t>(n));
    image->seqs.assign(static_cast<size_t>(n), 0);
    return image;
}

TImagePtr TImage::Load(const TPixmapPtr& pixmap, int flags, int r, int g, int b) {
    if (!pixmap) return nullptr;
    TImagePtr image = Create(pixmap->width, pixmap->height, 1, flags, r, g, b);
    image->SetPixmap(0, pixmap);
    return image;
}

TImagePtr TImage::Load(const TUrl& url, int flags, int r, int g, int b) {
    return Load(LoadPixmapFrom(url), flags, r, g, b);
}

TImagePtr TImage::LoadAnim(const TPixmapPtr& pixmap, int cw, int ch, int first, int n, int flags, int r, int g,
                           int b) {
    if (!pixmap || cw <= 0 || ch <= 0 || first < 0 || n < 0) return nullptr;
    const int across = pixmap->width / cw, down = pixmap->height / ch;
    if (static_cast<int64_t>(first) + n > static_cast<int64_t>(across) * down) return nullptr;
    TImagePtr image = Create(cw, ch, n, flags, r, g, b);
    for (int c = first; c < first + n; ++c) {
        TPixmapPtr cell = pixmap->Window((c % across) * cw, (c / across) * ch, cw, ch)->Copy();
        image->SetPixmap(c - first, std::move(cell));
    }
    return image;
}

TImagePtr TImage::LoadAnim(const TUrl& url, int cw, int ch, int first, int n, int flags, int r, int g, int b) {
    return LoadAnim(LoadPixmapFrom(url), cw, ch, first, n, flags, r, g, b);
}

void TImage::SetPixmap(int i, TPixmapPtr pixmap) {
    if (i < 0 || i >= FrameCount()) return;
    if ((flags & IMAGE_MASKED) && pixmap && !pixmap->HasAlpha())
        pixmap = MaskPixmap(*pixmap, mask_r, mask_g, mask_b);
    pixmaps[i] = std::move(pixmap);
    seqs[i] = 0;
    frames[i] = nullptr;
}

TPixmapPtr TImage::Lock(int i, bool /*read*/, bool write) {
    if (i < 0 || i >= FrameCount()) return nullptr;
    if (write) {
        seqs[i] = 0;
        frames[i] = nullptr;
    }
    if (!pixmaps[i]) {
        // Cleared, so that a frame nobody has drawn into is transparent and tests the same every run.
        pixmaps[i] = TPixmap::Create(width, height, PIXEL_RGBA32, 4);
        pixmaps[i]->ClearPixels(0);
    }
    return pixmaps[i];
}

TImageFramePtr TImage::Frame(int i) {
    if (i < 0 || i >= FrameCount()) return nullptr;
    const int generation = GraphicsGeneration();
    if (seqs[i] != generation) {
        TCanvasDriver* driver = CurrentCanvasDriver();
        frames[i] = driver ? driver->CreateFrameFromPixmap(Lock(i, true, false), flags) : nullptr;
        seqs[i] = frames[i] ? generation : 0;
    }
    return frames[i];
}

// ---------------------------------------------------------------------------------------------------
// Module operations

TImagePtr LoadImageSingle(const TUrl& url, int flags) {
    return AfterLoad(TImage::Load(url, ResolveFlags(flags), mask_red, mask_green, mask_blue));
}
TImagePtr LoadImageSingle(const TPixmapPtr& pixmap, int flags) {
    return AfterLoad(TImage::Load(pixmap, ResolveFlags(flags), mask_red, mask_green, mask_blue));
}
TImagePtr LoadImageCells(const TUrl& url, int cw, int ch, int first, int n, int flags) {
    return AfterLoad(TImage::LoadAnim(url, cw, ch, first, n, ResolveFlags(flags), mask_red, mask_green, mask_blue));
}
TImagePtr LoadImageCells(const TPixmapPtr& pixmap, int cw, int ch, int first, int n, int flags) {
    return AfterLoad(
        TImage::LoadAnim(pixmap, cw, ch, first, n, ResolveFlags(flags), mask_red, mask_green, mask_blue));
}
TImagePtr CreateBlankImage(int width, int height, int n, int flags) {
    return AfterLoad(
        TImage::Create(width, height, n, ResolveFlags(flags) | IMAGE_DYNAMIC, mask_red, mask_green, mask_blue));
}

void CentreImageHandle(TImage& image) {
    image.handle_x = static_cast<float>(image.width) * 0.5f;
    image.handle_y = static_cast<float>(image.height) * 0.5f;
}
void PlaceImageHandle(TImage& image, float x, float y) {
    image.handle_x = x;
    image.handle_y = y;
}
int ImageWidth(const TImage& image) { return image.width; }
int ImageHeight(const TImage& image) { return image.height; }
TPixmapPtr LockImage(TImage& image, int frame, bool read, bool write) { return image.Lock(frame, read, write); }
void UnlockImage(TImage& image, int frame) { image.Unlock(frame); }

void GrabImage(TImage& image, int x, int y, int frame) {
    TCanvasDriver* driver = CurrentCanvasDriver();
    if (!driver || frame < 0 || frame >= image.FrameCount()) return;
    TPixmapPtr grabbed = driver->GrabPixmap(x, y, image.width, image.height);
    if (!grabbed) return;
    // SetPixmap masks when the image is masked and the pixmap has no alpha; a grab always has alpha, so
    // mask it here first.
    if (image.flags & IMAGE_MASKED) grabbed = MaskPixmap(*grabbed, image.mask_r, image.mask_g, image.mask_b);
    image.SetPixmap(frame, grabbed);
}

void DrawImageFrame(TImage& image, float x, float y, int frame) {
    TCanvasGraphics* canvas = TCanvasGraphics::Current();
    if (!canvas) return;
    const float x0 = -image.handle_x, y0 = -image.handle_y;
    const float x1 = x0 + static_cast<float>(image.width), y1 = y0 + static_cast<float>(image.height);
    TImageFramePtr f = image.Frame(frame);
    if (f) f->Draw(x0, y0, x1, y1, x + canvas->origin_x, y + canvas->origin_y);
}
