// The FreeType font loader: TrueType (and any other face FreeType reads) from files or, for stream URLs
// such as "incbin::...", from the stream's bytes kept in one owned buffer for the face's lifetime.

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <cstring>
#include <vector>

#include "graphics/font.h"

namespace {

struct TFreeTypeState {
    FT_Library library = nullptr;
};

TFreeTypeState& State() {
    static TFreeTypeState state;
    return state;
}

bool StartLibrary() {
    TFreeTypeState& s = State();
    if (s.library) return true;
    if (FT_Init_FreeType(&s.library) != 0) {
        s.library = nullptr; // the next load tries again
        return false;
    }
    return true;
}

class TFreeTypeGlyph : public TGlyph {
  public:
    TPixmapPtr Pixels() override { return _pixmap; }
    float Advance() override { return _advance; }
    void GetRect(int& x, int& y, int& w, int& h) override { x = _x, y = _y, w = _w, h = _h; }
    TPixmapPtr _pixmap;
    float _advance = 0;
    int _x = 0, _y = 0, _w = 0, _h = 0;
};

class TFreeTypeFont : public TFont {
  public:
    ~TFreeTypeFont() override {
        if (_ft_face) FT_Done_Face(_ft_face);
        // _buf is freed after the face that reads it.
    }

    int Style() override { return _style; }
    int Height() override { return _height; }
    int CountGlyphs() override { return static_cast<int>(_glyphs.size()); }
    int CharToGlyph(int c) override {
        if (c < 0) return -1;
        // FreeType's glyph 0 is "missing", so this font's glyph i is FreeType's i + 1.
        return static_cast<int>(FT_Get_Char_Index(_ft_face, static_cast<FT_ULong>(c))) - 1;
    }
    TGlyphPtr LoadGlyph(int index) override;

    // Takes ownership of the bytes (may be empty for a file face).
    static TFontPtr Open(FT_Face face, std::vector<uint8_t> buf, int size, int style);

    FT_Face _ft_face = nullptr;
    int _style = 0, _height = 0, _ascend = 0, _descend = 0;
    int _pixel_size = 0; // the size the face accepted
    std::vector<std::shared_ptr<TFreeTypeGlyph>> _glyphs;
    std::vector<uint8_t> _buf;
};

TFontPtr TFreeTypeFont::Open(FT_Face face, std::vector<uint8_t> buf, int size, int style) {
    auto font = std::make_shared<TFreeTypeFont>();
    font->_ft_face = face; // from here on the font owns the face
    font->_buf = std::move(buf);
    // A size the face refuses (a face with fixed bitmap sizes) falls back one pixel at a time.
    while (size > 0 && FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(size)) != 0)
        --size;
    if (size <= 0) return nullptr;
    const FT_Size_Metrics& m = face->size->metrics;
    // Arithmetic shifts of 26.6 values: negative values round toward minus infinity.
    font->_height = static_cast<int>(m.height >> 6);
    font->_ascend = static_cast<int>(m.ascender >> 6);
    font->_descend = static_cast<int>(m.descender >> 6);
    font->_style = style;
    font->_pixel_size = size;
    font->_glyphs.resize(static_cast<size_t>(face->num_glyphs > 0 ? face->num_glyphs : 0));
    return font;
}

TGlyphPtr TFreeTypeFont::LoadGlyph(int index) {
    if (index < 0 || index >= CountGlyphs()) return nullptr;
    auto& slot = _glyphs[static_cast<size_t>(index)];
    if (slot) return slot;
    // Stored first: a glyph that fails to render stays an empty glyph with no advance.
    slot = std::make_shared<TFreeTypeGlyph>();
    TFreeTypeGlyph& g = *slot;
    if (FT_Load_Glyph(_ft_face, static_cast<FT_UInt>(index + 1), FT_LOAD_DEFAULT) != 0) return slot;
    const FT_GlyphSlot gs = _ft_face->glyph;
    // A damaged outline may span far more than the face's size, and rendering it would take memory in
    // proportion: such a glyph stays empty.
    if (gs->format == FT_GLYPH_FORMAT_OUTLINE) {
        FT_BBox box;
        FT_Outline_Get_CBox(&gs->outline, &box);
        const int64_t limit = static_cast<int64_t>(FONT_MAX_GLYPH_SPAN) * _pixel_size * 64;
        if (static_cast<int64_t>(box.xMax) - box.xMin > limit ||
            static_cast<int64_t>(box.yMax) - box.yMin > limit)
            return slot;
    }
    if (FT_Render_Glyph(gs, FT_RENDER_MODE_NORMAL) != 0) return slot;
    const FT_Bitmap& bm = gs->bitmap;
    g._x = gs->bitmap_left;
    g._y = _ascend - gs->bitmap_top;
    g._w = static_cast<int>(bm.width);
    g._h = static_cast<int>(bm.rows);
    g._advance = static_cast<float>(gs->advance.x >> 6);
    if (bm.width == 0 || bm.rows == 0 || !bm.buffer) return slot; // spaces have no picture

    const int w = static_cast<int>(bm.width), h = static_cast<int>(bm.rows);
    // Rows run downward by pitch; an upward-flowing bitmap starts at its last row in memory.
    const int pitch = bm.pitch;
    const uint8_t* top = pitch < 0 ? bm.buffer + static_cast<ptrdiff_t>(-pitch) * (h - 1) : bm.buffer;
    TPixmapPtr pixmap;
    if (bm.pixel_mode == FT_PIXEL_MODE_GRAY) {
        pixmap = TPixmap::Create(w, h, PIXEL_ALPHA8, 4);
        for (int y = 0; y < h; ++y)
            std::memcpy(pixmap->PixelPtr(0, y), top + static_cast<ptrdiff_t>(pitch) * y,
                        static_cast<size_t>(w));
    } else if (bm.pixel_mode == FT_PIXEL_MODE_MONO) {
        pixmap = TPixmap::Create(w, h, PIXEL_ALPHA8, 4);
        for (int y = 0; y < h; ++y) {
            const uint8_t* row = top + static_cast<ptrdiff_t>(pitch) * y;
            uint8_t* out = pixmap->PixelPtr(0, y);
            for (int x = 0; x < w; ++x)
                out[x] = (row[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
        }
    } else {
        return slot; // colour and sub-pixel bitmaps are not used for text here
    }
    if (_style & FONT_SMOOTH) {
        // A transparent border lets filtering and mipmaps fade the glyph's edge instead of clamping it.
        TPixmapPtr padded = TPixmap::Create(w + 2, h + 2, PIXEL_ALPHA8, 4);
        padded->ClearPixels(0);
        padded->Paste(*pixmap, 1, 1);
        pixmap = std::move(padded);
        g._x -= 1;
        g._y -= 1;
        g._w += 2;
        g._h += 2;
    }
    g._pixmap = std::move(pixmap);
    return slot;
}

TFontPtr LoadFreeTypeFromMemory(std::vector<uint8_t> bytes, int size, int style) {
    if (bytes.empty() || !StartLibrary()) return nullptr;
    FT_Face face = nullptr;
    if (FT_New_Memory_Face(State().library, bytes.data(), static_cast<FT_Long>(bytes.size()), 0, &face) != 0)
        return nullptr;
    return TFreeTypeFont::Open(face, std::move(bytes), size, style);
}

class TFreeTypeFontLoader : public TFontLoader {
  public:
    TFontPtr LoadFont(const TUrl& source, int size, int style) override {
        const std::string& url = source.text;
        if (url.empty() || source.stream || source.bank) return nullptr;
        if (url.find("::", 1) != std::string::npos) {
            std::vector<uint8_t> bytes;
            try {
                bytes = StreamLoadBytes(source);
            } catch (const TStreamException&) {
                return nullptr;
            }
            return LoadFreeTypeFromMemory(std::move(bytes), size, style);
        }
        if (!StartLibrary()) return nullptr;
        FT_Face face = nullptr;
        if (FT_New_Face(State().library, url.c_str(), 0, &face) != 0) return nullptr;
        return TFreeTypeFont::Open(face, {}, size, style);
    }
};

} // namespace

TFontPtr LoadFreeTypeFontFromMemory(const uint8_t* data, size_t size, int pixel_size, int style) {
    if (!data || size == 0) return nullptr;
    return LoadFreeTypeFromMemory(std::vector<uint8_t>(data, data + size), pixel_size, style);
}

void StartFreeTypeFonts() {
    static TFreeTypeFontLoader loader;
    AddFontLoader(&loader);
}
