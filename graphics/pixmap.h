#pragma once
#include <cstdint>
#include <memory>

#include "platform/stream.h"

// Pixmaps: rectangles of pixels in main memory in one of six byte layouts.
// Every picture travels as a pixmap from its file to a texture.

constexpr int PIXEL_LUMINANCE8 = 1; // grey
constexpr int PIXEL_ALPHA8 = 2;     // alpha
constexpr int PIXEL_BGR24 = 3;      // blue, green, red
constexpr int PIXEL_RGB24 = 4;      // red, green, blue
constexpr int PIXEL_BGRA32 = 5;     // blue, green, red, alpha
constexpr int PIXEL_RGBA32 = 6;     // red, green, blue, alpha (the working format)

// Bytes per pixel of a format (0 for an unknown format).
constexpr int BytesPerPixel(int format) {
    constexpr int bpp[] = {0, 1, 1, 3, 3, 4, 4};
    return format >= 1 && format <= 6 ? bpp[format] : 0;
}
// True when the format carries an alpha channel.
constexpr bool FormatHasAlpha(int format) {
    return format == PIXEL_ALPHA8 || format == PIXEL_BGRA32 || format == PIXEL_RGBA32;
}

// Converts n pixels from one format to another. Equal formats are copied;
// anything else goes through RGBA.
void ConvertPixels(const uint8_t* src, int src_format, uint8_t* dst, int dst_format, int n);

class TPixmap;
using TPixmapPtr = std::shared_ptr<TPixmap>;

// Colours passed as one integer are 0xAARRGGBB.
class TPixmap : public std::enable_shared_from_this<TPixmap> {
  public:
    uint8_t* pixels = nullptr; // first byte of row 0
    int width = 0;
    int height = 0;
    int pitch = 0;      // bytes from one row to the next
    int format = 0;     // PIXEL_...
    int capacity = -1;  // bytes owned, -1 when the memory belongs to someone else
    TPixmapPtr _source; // keeps the owner of the memory alive (windows)

    ~TPixmap();
    TPixmap(const TPixmap&) = delete;
    TPixmap& operator=(const TPixmap&) = delete;

    // pixels + y * pitch + x * bytes per pixel; no bounds check.
    uint8_t* PixelPtr(int x, int y) const;
    // A pixmap sharing this one's memory, starting at (x, y); keeps this one alive.
    TPixmapPtr Window(int x, int y, int w, int h);
    // An independent copy (rows aligned to 4 bytes).
    TPixmapPtr Copy() const;
    // Converts each row of source into this pixmap at (x, y). No bounds check.
    void Paste(const TPixmap& source, int x, int y);
    // A new pixmap (rows aligned to 4 bytes) holding this one's pixels in another format.
    TPixmapPtr Convert(int new_format) const;
    uint32_t ReadPixel(int x, int y) const;
    void WritePixel(int x, int y, uint32_t argb);
    void ClearPixels(uint32_t argb);

    int BytesPerPixel() const { return ::BytesPerPixel(format); }
    bool HasAlpha() const { return FormatHasAlpha(format); }

    // Owns pitch * h bytes, 16-byte aligned and not cleared; pitch = w * bpp rounded up to align.
    // Raises TRuntimeError for a negative size, an unknown format or more than 2 GB.
    static TPixmapPtr Create(int w, int h, int format, int align = 4);
    // Wraps memory the pixmap does not own (capacity -1).
    static TPixmapPtr CreateStatic(uint8_t* pixels, int w, int h, int pitch, int format);

  private:
    TPixmap() = default;
};

// Module operations.
TPixmapPtr CreatePixmap(int width, int height, int format, int align = 4);
// A new RGBA pixmap: pixels of the mask colour become transparent with the average colour of their
// unmasked neighbours; all others become opaque.
TPixmapPtr MaskPixmap(const TPixmap& pixmap, int mask_r, int mask_g, int mask_b);
// Bilinear resample to w x h, in the source's format.
TPixmapPtr ResizePixmap(const TPixmap& pixmap, int w, int h);
TPixmapPtr FlipPixmapVertically(const TPixmap& pixmap);
TPixmapPtr FlipPixmapHorizontally(const TPixmap& pixmap);

// Pixmap loaders, asked newest first. Constructing one links it at the head.
class TPixmapLoader {
  public:
    TPixmapLoader();
    virtual ~TPixmapLoader();
    TPixmapLoader(const TPixmapLoader&) = delete;
    TPixmapLoader& operator=(const TPixmapLoader&) = delete;
    // A pixmap, or null when the data is not of this loader's kind or is damaged.
    virtual TPixmapPtr LoadPixmap(TStream& stream) = 0;
    TPixmapLoader* _succ = nullptr;
};

// Opens the URL (or uses the stream it carries), asks each loader in turn, and returns the first pixmap
// or null. Never throws for bad data.
TPixmapPtr LoadPixmapFrom(const TUrl& url);

// Starts the PNG module: creates its one loader. Called by LoadPixmapFrom; safe to call again.
void StartPixmapPNG();

// The largest picture the PNG loader accepts, in each dimension and in total pixels: larger declared
// sizes are refused before any pixel memory is taken.
constexpr int PNG_MAX_DIMENSION = 16384;
constexpr int64_t PNG_MAX_PIXELS = 16LL * 1024 * 1024; // 64 MB as RGBA
// The most memory the PNG loader lets one chunk take: a damaged length field is not allocated.
constexpr unsigned PNG_MAX_CHUNK_BYTES = 1u << 20;
