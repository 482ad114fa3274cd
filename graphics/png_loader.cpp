// The PNG pixmap loader, built on libpng.
//
// libpng reports errors by longjmp. Every libpng call that can fail runs inside a small C-style function
// that owns the jump buffer and holds no C++ object with a destructor, so a jump never skips one. The
// read callback turns stream exceptions into libpng errors instead of letting them unwind through C.

#include <png.h>

#include <csetjmp>
#include <cstring>
#include <vector>

#include "graphics/pixmap.h"

namespace {

struct PngSource {
    TStream* stream;
};

// The error handler prints nothing: a damaged picture simply fails to load.
void PngError(png_structp png, png_const_charp /*message*/) {
    png_longjmp(png, 1);
}
void PngWarning(png_structp, png_const_charp) {}

void PngRead(png_structp png, png_bytep data, png_size_t length) {
    auto* src = static_cast<PngSource*>(png_get_io_ptr(png));
    bool ok = false;
    try {
        ok = length <= 0x7fffffff &&
             src->stream->Read(data, static_cast<int>(length)) == static_cast<int>(length);
    } catch (...) {
        ok = false;
    }
    // Outside the try block: png_error jumps, and no C++ object is alive in this frame.
    if (!ok) png_error(png, "read error");
}

struct PngHeader {
    png_uint_32 width;
    png_uint_32 height;
    int bit_depth;
    int color_type;
};

// Reads the chunks up to the image data and sets up the transforms: 16-bit samples reduced to 8,
// palettes and low-bit greys expanded, transparency chunks expanded to alpha, interlacing undone.
int PngReadHeader(png_structp png, png_infop info, PngHeader* header) {
    if (setjmp(png_jmpbuf(png))) return 0;
    png_read_info(png, info);
    png_set_strip_16(png);
    png_set_expand(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    int interlace = 0, compression = 0, filter = 0;
    png_get_IHDR(png, info, &header->width, &header->height, &header->bit_depth, &header->color_type,
                 &interlace, &compression, &filter);
    return 1;
}

int PngReadImage(png_structp png, png_infop info, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png))) return 0;
    png_read_image(png, rows);
    png_read_end(png, info);
    return 1;
}

// Owns the libpng read structures for one load.
class PngReader {
  public:
    PngReader() {
        png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, PngError, PngWarning);
        if (png) info = png_create_info_struct(png);
    }
    ~PngReader() {
        if (png) png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    }
    PngReader(const PngReader&) = delete;
    PngReader& operator=(const PngReader&) = delete;
    png_structp png = nullptr;
    png_infop info = nullptr;
};

class TPixmapLoaderPNG : public TPixmapLoader {
  public:
    TPixmapPtr LoadPixmap(TStream& stream) override {
        png_byte sig[8];
        if (stream.Read(sig, 8) != 8 || png_sig_cmp(sig, 0, 8) != 0) return nullptr;

        PngReader reader;
        if (!reader.png || !reader.info) return nullptr;
        PngSource source{&stream};
        png_set_sig_bytes(reader.png, 8);
        png_set_read_fn(reader.png, &source, PngRead);
        // A damaged or hostile header may declare any size: refuse large pictures before any pixel
        // memory is taken.
        png_set_user_limits(reader.png, PNG_MAX_DIMENSION, PNG_MAX_DIMENSION);
        // Ancillary chunks (text, profiles, suggested palettes...) are read whole into memory at the
        // length they declare, so a few damaged bytes could ask for gigabytes. Only the palette, the
        // transparency and the image data matter here: every other chunk is skipped as it streams past,
        // and any chunk libpng would still hold is capped.
        png_set_keep_unknown_chunks(reader.png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
        png_set_chunk_malloc_max(reader.png, PNG_MAX_CHUNK_BYTES);

        PngHeader h{};
        if (!PngReadHeader(reader.png, reader.info, &h)) return nullptr;
        if (h.bit_depth != 8 || h.width == 0 || h.height == 0) return nullptr;
        if (static_cast<int64_t>(h.width) * h.height > PNG_MAX_PIXELS) return nullptr;
        const int w = static_cast<int>(h.width), ht = static_cast<int>(h.height);

        int format = 0;
        switch (h.color_type) {
        case PNG_COLOR_TYPE_GRAY:
            format = PIXEL_LUMINANCE8;
            break;
        case PNG_COLOR_TYPE_RGB:
            format = PIXEL_RGB24;
            break;
        case PNG_COLOR_TYPE_RGB_ALPHA:
            format = PIXEL_RGBA32;
            break;
        case PNG_COLOR_TYPE_GRAY_ALPHA:
            format = PIXEL_RGBA32;
            break;
        default:
            return nullptr;
        }
        // The row size libpng will write must be what we expect, or it would overrun our rows.
        const size_t bytes_in = h.color_type == PNG_COLOR_TYPE_GRAY_ALPHA ? 2 : BytesPerPixel(format);
        if (png_get_rowbytes(reader.png, reader.info) != bytes_in * static_cast<size_t>(w)) return nullptr;

        TPixmapPtr pixmap = TPixmap::Create(w, ht, format, 4);
        std::vector<png_bytep> rows(static_cast<size_t>(ht));
        std::vector<png_byte> grey_alpha;
        if (h.color_type == PNG_COLOR_TYPE_GRAY_ALPHA) {
            grey_alpha.resize(static_cast<size_t>(w) * 2 * ht);
            for (int y = 0; y < ht; ++y)
                rows[y] = grey_alpha.data() + static_cast<size_t>(y) * w * 2;
        } else {
            for (int y = 0; y < ht; ++y)
                rows[y] = pixmap->PixelPtr(0, y);
        }
        if (!PngReadImage(reader.png, reader.info, rows.data())) return nullptr;

        if (h.color_type == PNG_COLOR_TYPE_GRAY_ALPHA) {
            // Grey with alpha becomes RGBA: the grey sample goes to red, green and blue.
            for (int y = 0; y < ht; ++y) {
                const png_byte* s = rows[y];
                uint8_t* d = pixmap->PixelPtr(0, y);
                for (int x = 0; x < w; ++x, s += 2, d += 4)
                    d[0] = d[1] = d[2] = s[0], d[3] = s[1];
            }
        }
        return pixmap;
    }
};

} // namespace

void StartPixmapPNG() {
    static TPixmapLoaderPNG loader;
}
