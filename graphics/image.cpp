#include "graphics/image.h"

#include <algorithm>
#include <cmath>

#include "graphics/canvas.h"
#include "graphics/graphics.h"

// ---- Module settings --------------------------------------------------------

namespace {

struct TImageState {
    int auto_image_flags = IMAGE_MASKED | IMAGE_FILTERED;
    int mask_red = 0, mask_green = 0, mask_blue = 0;
    bool auto_mid_handle = false;
};

TImageState& State() {
    static TImageState state;
    return state;
}

int ResolveFlags(int flags) {
    return flags == -1 ? State().auto_image_flags : flags;
}

TImagePtr AfterLoad(TImagePtr image) {
    if (image && State().auto_mid_handle) CentreImageHandle(*image);
    return image;
}

} // namespace

void SetAutoMidHandle(bool on) {
    State().auto_mid_handle = on;
}
bool AutoMidHandle() {
    return State().auto_mid_handle;
}
void SetAutoImageFlags(int flags) {
    if (flags != -1) State().auto_image_flags = flags;
}
int AutoImageFlags() {
    return State().auto_image_flags;
}
void SetImageMaskColour(int r, int g, int b) {
    TImageState& s = State();
    s.mask_red = r;
    s.mask_green = g;
    s.mask_blue = b;
}

// ---- Textures ---------------------------------------------------------------

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
            for (int y = 0; y < h; ++y)
                ConvertPixels(pixmap->PixelPtr(w - 1, y), pixmap->format, padded->PixelPtr(w, y),
                              PIXEL_RGBA32, 1);
        }
        if (h < th && h > 0) {
            ConvertPixels(pixmap->PixelPtr(0, h - 1), pixmap->format, padded->PixelPtr(0, h), PIXEL_RGBA32,
                          w);
            if (w < tw && w > 0)
                ConvertPixels(pixmap->PixelPtr(w - 1, h - 1), pixmap->format, padded->PixelPtr(w, h),
                              PIXEL_RGBA32, 1);
        }
        return padded;
    }
    if (pixmap->format != PIXEL_RGBA32) return pixmap->Convert(PIXEL_RGBA32);
    return pixmap;
}

// ---- TImage -----------------------------------------------------------------

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

TImagePtr TImage::LoadAnim(const TPixmapPtr& pixmap, int cw, int ch, int first, int n, int flags, int r,
                           int g, int b) {
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

TImagePtr TImage::LoadAnim(const TUrl& url, int cw, int ch, int first, int n, int flags, int r, int g,
                           int b) {
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

// ---- Module operations ------------------------------------------------------

TImagePtr LoadImageSingle(const TUrl& url, int flags) {
    TImageState& s = State();
    return AfterLoad(TImage::Load(url, ResolveFlags(flags), s.mask_red, s.mask_green, s.mask_blue));
}
TImagePtr LoadImageSingle(const TPixmapPtr& pixmap, int flags) {
    TImageState& s = State();
    return AfterLoad(TImage::Load(pixmap, ResolveFlags(flags), s.mask_red, s.mask_green, s.mask_blue));
}
TImagePtr LoadImageCells(const TUrl& url, int cw, int ch, int first, int n, int flags) {
    TImageState& s = State();
    return AfterLoad(
        TImage::LoadAnim(url, cw, ch, first, n, ResolveFlags(flags), s.mask_red, s.mask_green, s.mask_blue));
}
TImagePtr LoadImageCells(const TPixmapPtr& pixmap, int cw, int ch, int first, int n, int flags) {
    TImageState& s = State();
    return AfterLoad(TImage::LoadAnim(pixmap, cw, ch, first, n, ResolveFlags(flags), s.mask_red, s.mask_green,
                                      s.mask_blue));
}
TImagePtr CreateBlankImage(int width, int height, int n, int flags) {
    TImageState& s = State();
    return AfterLoad(TImage::Create(width, height, n, ResolveFlags(flags) | IMAGE_DYNAMIC, s.mask_red,
                                    s.mask_green, s.mask_blue));
}

void CentreImageHandle(TImage& image) {
    image.handle_x = static_cast<float>(image.width) * 0.5f;
    image.handle_y = static_cast<float>(image.height) * 0.5f;
}
void PlaceImageHandle(TImage& image, float x, float y) {
    image.handle_x = x;
    image.handle_y = y;
}
int ImageWidth(const TImage& image) {
    return image.width;
}
int ImageHeight(const TImage& image) {
    return image.height;
}
TPixmapPtr LockImage(TImage& image, int frame, bool read, bool write) {
    return image.Lock(frame, read, write);
}
void UnlockImage(TImage& image, int frame) {
    image.Unlock(frame);
}

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

void DrawSubImageRect(TImage& image, float x, float y, float w, float h, float sx, float sy, float sw,
                      float sh, int frame) {
    TCanvasGraphics* canvas = TCanvasGraphics::Current();
    if (!canvas || sw == 0 || sh == 0 || image.width <= 0 || image.height <= 0) return;
    const float x0 = -image.handle_x * w / sw, y0 = -image.handle_y * h / sh;
    const float fw = static_cast<float>(image.width), fh = static_cast<float>(image.height);
    TImageFramePtr f = image.Frame(frame);
    if (f)
        f->DrawPart(x0, y0, x0 + w, y0 + h, x + canvas->origin_x, y + canvas->origin_y, sx / fw, sy / fh,
                    (sx + sw) / fw, (sy + sh) / fh);
}

void TileImage(TImage& image, float x, float y, int frame) {
    TCanvasGraphics* canvas = TCanvasGraphics::Current();
    TCanvasDriver* driver = CurrentCanvasDriver();
    if (!canvas || !driver || image.width <= 0 || image.height <= 0) return;
    const int vx = canvas->viewport_x, vy = canvas->viewport_y;
    const int vw = canvas->viewport_w, vh = canvas->viewport_h;
    if (vw <= 0 || vh <= 0) return;
    TImageFramePtr f = image.Frame(frame);
    if (!f) return;
    // The grid's origin, and the first and last tiles that reach into the viewport (in double, so that
    // far-away origins still count tiles exactly).
    const double w = image.width, h = image.height;
    const double px = static_cast<double>(x) + canvas->origin_x - image.handle_x;
    const double py = static_cast<double>(y) + canvas->origin_y - image.handle_y;
    const double i0 = std::floor((vx - px) / w), i1 = std::ceil((vx + static_cast<double>(vw) - px) / w);
    const double j0 = std::floor((vy - py) / h), j1 = std::ceil((vy + static_cast<double>(vh) - py) / h);
    const TDrawMatrix kept = driver->Matrix();
    driver->SetTransform(1, 0, 0, 1);
    for (double j = j0; j < j1; ++j) {
        for (double i = i0; i < i1; ++i) {
            const auto tx = static_cast<float>(px + i * w), ty = static_cast<float>(py + j * h);
            f->Draw(0, 0, static_cast<float>(w), static_cast<float>(h), tx, ty);
        }
    }
    driver->SetTransform(kept.ix, kept.iy, kept.jx, kept.jy);
}

void DrawImageFrame(TImage& image, float x, float y, int frame) {
    TCanvasGraphics* canvas = TCanvasGraphics::Current();
    if (!canvas) return;
    const float x0 = -image.handle_x, y0 = -image.handle_y;
    const float x1 = x0 + static_cast<float>(image.width), y1 = y0 + static_cast<float>(image.height);
    TImageFramePtr f = image.Frame(frame);
    if (f) f->Draw(x0, y0, x1, y1, x + canvas->origin_x, y + canvas->origin_y);
}
