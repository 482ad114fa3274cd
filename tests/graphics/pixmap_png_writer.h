#pragma once
// Writes small PNG files in memory for the loader tests, and turns bytes into URLs.
#include <png.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/stream.h"

namespace pixmap_test {

struct PngSpec {
    int width = 1, height = 1;
    int color_type = PNG_COLOR_TYPE_RGB;
    int bit_depth = 8;
    bool interlaced = false;
    std::vector<png_color> palette;
    std::vector<png_byte> trns; // palette alpha
    bool has_key = false;       // a tRNS colour key for a grey or RGB picture:
    png_color_16 key{};         // .gray, or .red/.green/.blue, at the picture's bit depth
};

inline void AppendBytes(png_structp png, png_bytep data, png_size_t n) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + n);
}
inline void NoFlush(png_structp) {}

// rows: packed sample bytes of each row, laid out as libpng expects for that description.
inline std::vector<uint8_t> WritePng(const PngSpec& spec, const std::vector<std::vector<uint8_t>>& rows) {
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, AppendBytes, NoFlush);
    png_set_IHDR(png, info, spec.width, spec.height, spec.bit_depth, spec.color_type,
                 spec.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!spec.palette.empty())
        png_set_PLTE(png, info, spec.palette.data(), static_cast<int>(spec.palette.size()));
    if (!spec.trns.empty())
        png_set_tRNS(png, info, spec.trns.data(), static_cast<int>(spec.trns.size()), nullptr);
    if (spec.has_key) {
        png_color_16 key = spec.key;
        png_set_tRNS(png, info, nullptr, 0, &key);
    }
    std::vector<png_bytep> ptrs;
    for (auto& r : rows)
        ptrs.push_back(const_cast<png_bytep>(r.data()));
    png_set_rows(png, info, ptrs.data());
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

// A URL over a copy of the bytes (a bank stream).
inline TUrl BytesUrl(const std::vector<uint8_t>& bytes) {
    auto bank = TBank::Create(static_cast<int>(bytes.size()));
    if (!bytes.empty()) std::memcpy(bank->Buf(), bytes.data(), bytes.size());
    return TUrl(bank);
}

// Big-endian 32-bit value, as PNG chunks store them.
inline void PutBE32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    b[at] = v >> 24, b[at + 1] = (v >> 16) & 255, b[at + 2] = (v >> 8) & 255, b[at + 3] = v & 255;
}

// The CRC-32 PNG chunks carry (over the chunk type and data).
inline uint32_t Crc32(const uint8_t* p, size_t n) {
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; ++i) {
        c ^= p[i];
        for (int k = 0; k < 8; ++k)
            c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return ~c;
}

} // namespace pixmap_test
