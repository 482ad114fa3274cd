#include "graphics/pixmap.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#include "platform/error.h"

// ---- Row conversion ---------------------------------------------------------

namespace {

void ToRGBA(const uint8_t* s, int format, uint8_t* d, int n) {
    switch (format) {
    case PIXEL_LUMINANCE8:
        for (int i = 0; i < n; ++i, d += 4)
            d[0] = d[1] = d[2] = s[i], d[3] = 255;
        break;
    case PIXEL_ALPHA8:
        for (int i = 0; i < n; ++i, d += 4)
            d[0] = d[1] = d[2] = 255, d[3] = s[i];
        break;
    case PIXEL_BGR24:
        for (int i = 0; i < n; ++i, s += 3, d += 4)
            d[0] = s[2], d[1] = s[1], d[2] = s[0], d[3] = 255;
        break;
    case PIXEL_RGB24:
        for (int i = 0; i < n; ++i, s += 3, d += 4)
            d[0] = s[0], d[1] = s[1], d[2] = s[2], d[3] = 255;
        break;
    case PIXEL_BGRA32:
        for (int i = 0; i < n; ++i, s += 4, d += 4)
            d[0] = s[2], d[1] = s[1], d[2] = s[0], d[3] = s[3];
        break;
    case PIXEL_RGBA32:
        std::memcpy(d, s, static_cast<size_t>(n) * 4);
        break;
    default:
        break;
    }
}

void FromRGBA(const uint8_t* s, uint8_t* d, int format, int n) {
    switch (format) {
    case PIXEL_LUMINANCE8:
        for (int i = 0; i < n; ++i, s += 4)
            d[i] = static_cast<uint8_t>((s[0] + s[1] + s[2]) / 3);
        break;
    case PIXEL_ALPHA8:
        for (int i = 0; i < n; ++i, s += 4)
            d[i] = s[3];
        break;
    case PIXEL_BGR24:
        for (int i = 0; i < n; ++i, s += 4, d += 3)
            d[0] = s[2], d[1] = s[1], d[2] = s[0];
        break;
    case PIXEL_RGB24:
        for (int i = 0; i < n; ++i, s += 4, d += 3)
            d[0] = s[0], d[1] = s[1], d[2] = s[2];
        break;
    case PIXEL_BGRA32:
        for (int i = 0; i < n; ++i, s += 4, d += 4)
            d[0] = s[2], d[1] = s[1], d[2] = s[0], d[3] = s[3];
        break;
    case PIXEL_RGBA32:
        std::memcpy(d, s, static_cast<size_t>(n) * 4);
        break;
    default:
        break;
    }
}

} // namespace

void ConvertPixels(const uint8_t* src, int src_format, uint8_t* dst, int dst_format, int n) {
    if (n <= 0) return;
    if (src_format == dst_format) {
        std::memmove(dst, src, static_cast<size_t>(n) * BytesPerPixel(src_format));
    } else if (dst_format == PIXEL_RGBA32) {
        ToRGBA(src, src_format, dst, n);
    } else if (src_format == PIXEL_RGBA32) {
        FromRGBA(src, dst, dst_format, n);
    } else {
        // Through a temporary RGBA row, a chunk at a time to keep it on the stack.
        uint8_t tmp[256 * 4];
        const int sb = BytesPerPixel(src_format), db = BytesPerPixel(dst_format);
        for (int done = 0; done < n; done += 256) {
            const int k = std::min(256, n - done);
            ToRGBA(src + static_cast<size_t>(done) * sb, src_format, tmp, k);
            FromRGBA(tmp, dst + static_cast<size_t>(done) * db, dst_format, k);
        }
    }
}

// ---- TPixmap ----------------------------------------------------------------

TPixmap::~TPixmap() {
    if (capacity >= 0 && pixels) ::operator delete[](pixels, std::align_val_t(16));
}

TPixmapPtr TPixmap::Create(int w, int h, int format, int align) {
    const int bpp = ::BytesPerPixel(format);
    if (w < 0 || h < 0 || bpp == 0 || align < 1) throw TRuntimeError("Invalid pixmap size or format");
    const int64_t row = static_cast<int64_t>(w) * bpp;
    const int64_t pitch = (row + align - 1) / align * align;
    const int64_t bytes = pitch * h;
    if (bytes > std::numeric_limits<int>::max()) throw TRuntimeError("Pixmap too large");
    TPixmapPtr p(new TPixmap);
    // Always allocate at least one block so that pixels is never null for an owning pixmap.
    p->pixels = static_cast<uint8_t*>(
        ::operator new[](static_cast<size_t>(std::max<int64_t>(bytes, 16)), std::align_val_t(16)));
    p->width = w;
    p->height = h;
    p->pitch = static_cast<int>(pitch);
    p->format = format;
    p->capacity = static_cast<int>(bytes);
    return p;
}

TPixmapPtr TPixmap::CreateStatic(uint8_t* pixels, int w, int h, int pitch, int format) {
    TPixmapPtr p(new TPixmap);
    p->pixels = pixels;
    p->width = w;
    p->height = h;
    p->pitch = pitch;
    p->format = format;
    p->capacity = -1;
    return p;
}

uint8_t* TPixmap::PixelPtr(int x, int y) const {
    return pixels + static_cast<ptrdiff_t>(y) * pitch + static_cast<ptrdiff_t>(x) * BytesPerPixel();
}

TPixmapPtr TPixmap::Window(int x, int y, int w, int h) {
    TPixmapPtr p = CreateStatic(PixelPtr(x, y), w, h, pitch, format);
    p->_source = shared_from_this();
    return p;
}

TPixmapPtr TPixmap::Copy() const {
    TPixmapPtr p = Create(width, height, format, 4);
    const size_t row = static_cast<size_t>(width) * BytesPerPixel();
    for (int y = 0; y < height; ++y)
        std::memcpy(p->PixelPtr(0, y), PixelPtr(0, y), row);
    return p;
}

void TPixmap::Paste(const TPixmap& source, int x, int y) {
    for (int i = 0; i < source.height; ++i)
        ConvertPixels(source.PixelPtr(0, i), source.format, PixelPtr(x, y + i), format, source.width);
}

TPixmapPtr TPixmap::Convert(int new_format) const {
    TPixmapPtr p = Create(width, height, new_format, 4);
    p->Paste(*this, 0, 0);
    return p;
}

uint32_t TPixmap::ReadPixel(int x, int y) const {
    const uint8_t* p = PixelPtr(x, y);
    auto argb = [](uint32_t a, uint32_t r, uint32_t g, uint32_t b) { return a << 24 | r << 16 | g << 8 | b; };
    switch (format) {
    case PIXEL_LUMINANCE8:
        return argb(255, p[0], p[0], p[0]);
    case PIXEL_ALPHA8:
        return argb(p[0], 255, 255, 255);
    case PIXEL_BGR24:
        return argb(255, p[2], p[1], p[0]);
    case PIXEL_RGB24:
        return argb(255, p[0], p[1], p[2]);
    case PIXEL_BGRA32:
        return argb(p[3], p[2], p[1], p[0]);
    case PIXEL_RGBA32:
        return argb(p[3], p[0], p[1], p[2]);
    default:
        return 0;
    }
}

void TPixmap::WritePixel(int x, int y, uint32_t c) {
    uint8_t* p = PixelPtr(x, y);
    const uint8_t a = c >> 24, r = (c >> 16) & 255, g = (c >> 8) & 255, b = c & 255;
    switch (format) {
    case PIXEL_LUMINANCE8:
        p[0] = static_cast<uint8_t>((r + g + b) / 3);
        break;
    case PIXEL_ALPHA8:
        p[0] = a;
        break;
    case PIXEL_BGR24:
        p[0] = b, p[1] = g, p[2] = r;
        break;
    case PIXEL_RGB24:
        p[0] = r, p[1] = g, p[2] = b;
        break;
    case PIXEL_BGRA32:
        p[0] = b, p[1] = g, p[2] = r, p[3] = a;
        break;
    case PIXEL_RGBA32:
        p[0] = r, p[1] = g, p[2] = b, p[3] = a;
        break;
    default:
        break;
    }
}

void TPixmap::ClearPixels(uint32_t argb) {
    const int bpp = BytesPerPixel();
    if (bpp == 0 || width <= 0 || height <= 0) return;
    if (argb == 0 && pitch == width * bpp) {
        std::memset(pixels, 0, static_cast<size_t>(pitch) * height);
        return;
    }
    // One pixel in this format, repeated along a row, then the row copied down.
    WritePixel(0, 0, argb);
    uint8_t* row0 = pixels;
    for (int x = 1; x < width; ++x)
        std::memcpy(row0 + x * bpp, row0, bpp);
    for (int y = 1; y < height; ++y)
        std::memcpy(PixelPtr(0, y), row0, static_cast<size_t>(width) * bpp);
}

// ---- Module operations ------------------------------------------------------

TPixmapPtr CreatePixmap(int width, int height, int format, int align) {
    return TPixmap::Create(width, height, format, align);
}

namespace {
// The pixmap itself when it is RGBA already, else an RGBA copy.
std::shared_ptr<const TPixmap> AsRGBA(const TPixmap& pixmap) {
    if (pixmap.format == PIXEL_RGBA32) return {std::shared_ptr<const TPixmap>(), &pixmap};
    return pixmap.Convert(PIXEL_RGBA32);
}
} // namespace

TPixmapPtr MaskPixmap(const TPixmap& pixmap, int mr, int mg, int mb) {
    const auto src = AsRGBA(pixmap);
    const int w = src->width, h = src->height;
    TPixmapPtr dst = TPixmap::Create(w, h, PIXEL_RGBA32, 4);
    auto is_mask = [&](const uint8_t* p) { return p[0] == mr && p[1] == mg && p[2] == mb; };
    for (int y = 0; y < h; ++y) {
        const uint8_t* s = src->PixelPtr(0, y);
        uint8_t* d = dst->PixelPtr(0, y);
        for (int x = 0; x < w; ++x, s += 4, d += 4) {
            if (!is_mask(s)) {
                d[0] = s[0], d[1] = s[1], d[2] = s[2], d[3] = 255;
                continue;
            }
            // A transparent pixel takes the average colour of its visible neighbours, so that bilinear
            // filtering does not pull black into the edges of masked shapes.
            int r = 0, g = 0, b = 0, n = 0;
            for (int ny = std::max(0, y - 1); ny <= std::min(h - 1, y + 1); ++ny) {
                for (int nx = std::max(0, x - 1); nx <= std::min(w - 1, x + 1); ++nx) {
                    const uint8_t* q = src->PixelPtr(nx, ny);
                    if (is_mask(q)) continue;
                    r += q[0], g += q[1], b += q[2], ++n;
                }
            }
            if (n > 0) r /= n, g /= n, b /= n;
            d[0] = static_cast<uint8_t>(r), d[1] = static_cast<uint8_t>(g), d[2] = static_cast<uint8_t>(b);
            d[3] = 0;
        }
    }
    return dst;
}

namespace {
struct Tap {
    int i0, i1; // sample and neighbour index
    float w;    // weight of the neighbour
};
std::vector<Tap> Taps(int src_n, int dst_n) {
    std::vector<Tap> taps(static_cast<size_t>(dst_n));
    const float ratio = static_cast<float>(src_n) / static_cast<float>(dst_n);
    for (int i = 0; i < dst_n; ++i) {
        const float s = (static_cast<float>(i) + 0.5f) * ratio - 0.5f;
        const float f = std::floor(s);
        const int base = static_cast<int>(f);
        if (base < 0) {
            taps[i] = {0, 0, 0.0f};
        } else if (base >= src_n - 1) {
            taps[i] = {src_n - 1, src_n - 1, 0.0f};
        } else {
            taps[i] = {base, base + 1, s - f};
        }
    }
    return taps;
}
} // namespace

TPixmapPtr ResizePixmap(const TPixmap& pixmap, int w, int h) {
    TPixmapPtr dst = TPixmap::Create(w, h, pixmap.format, 4);
    if (w == 0 || h == 0 || pixmap.width <= 0 || pixmap.height <= 0) return dst;
    const auto src = AsRGBA(pixmap);
    const std::vector<Tap> tx = Taps(src->width, w), ty = Taps(src->height, h);
    std::vector<uint8_t> row(static_cast<size_t>(w) * 4);
    for (int i = 0; i < h; ++i) {
        const uint8_t* r0 = src->PixelPtr(0, ty[i].i0);
        const uint8_t* r1 = src->PixelPtr(0, ty[i].i1);
        const float wy = ty[i].w;
        for (int j = 0; j < w; ++j) {
            const int a = tx[j].i0 * 4, b = tx[j].i1 * 4;
            const float wx = tx[j].w;
            for (int c = 0; c < 4; ++c) {
                const float top = r0[a + c] * (1.0f - wx) + r0[b + c] * wx;
                const float bot = r1[a + c] * (1.0f - wx) + r1[b + c] * wx;
                row[j * 4 + c] = static_cast<uint8_t>(top * (1.0f - wy) + bot * wy);
            }
        }
        ConvertPixels(row.data(), PIXEL_RGBA32, dst->PixelPtr(0, i), dst->format, w);
    }
    return dst;
}

TPixmapPtr FlipPixmapVertically(const TPixmap& pixmap) {
    TPixmapPtr dst = TPixmap::Create(pixmap.width, pixmap.height, pixmap.format, 4);
    const size_t row = static_cast<size_t>(pixmap.width) * pixmap.BytesPerPixel();
    for (int y = 0; y < pixmap.height; ++y)
        std::memcpy(dst->PixelPtr(0, pixmap.height - 1 - y), pixmap.PixelPtr(0, y), row);
    return dst;
}

TPixmapPtr FlipPixmapHorizontally(const TPixmap& pixmap) {
    TPixmapPtr dst = TPixmap::Create(pixmap.width, pixmap.height, pixmap.format, 4);
    const int bpp = pixmap.BytesPerPixel();
    for (int y = 0; y < pixmap.height; ++y) {
        const uint8_t* s = pixmap.PixelPtr(0, y);
        uint8_t* d = dst->PixelPtr(pixmap.width - 1, y);
        for (int x = 0; x < pixmap.width; ++x, s += bpp, d -= bpp)
            std::memcpy(d, s, bpp);
    }
    return dst;
}

// ---- Loader registry --------------------------------------------------------

namespace {

struct TPixmapState {
    TPixmapLoader* loaders = nullptr; // newest first
};

TPixmapState& State() {
    static TPixmapState state;
    return state;
}

} // namespace

TPixmapLoader::TPixmapLoader() {
    TPixmapState& s = State();
    _succ = s.loaders;
    s.loaders = this;
}

TPixmapLoader::~TPixmapLoader() {
    for (TPixmapLoader** p = &State().loaders; *p; p = &(*p)->_succ) {
        if (*p == this) {
            *p = _succ;
            break;
        }
    }
}

TPixmapPtr LoadPixmapFrom(const TUrl& url) {
    StartPixmapPNG();
    std::shared_ptr<TStream> stream;
    try {
        stream = StreamOpen(url, 1, 0);
    } catch (const TStreamException&) {
        return nullptr;
    }
    if (!stream) return nullptr;
    TPixmapPtr result;
    const int pos = stream->Pos();
    if (pos != -1) {
        for (TPixmapLoader* loader = State().loaders; loader && !result; loader = loader->_succ) {
            try {
                if (stream->Seek(pos) != pos) break;
                result = loader->LoadPixmap(*stream);
            } catch (const TStreamException&) {
                result = nullptr;
            }
        }
    }
    stream->Close();
    return result;
}
