#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "graphics/image.h"
#include "graphics/pixmap.h"
#include "platform/stream.h"

// Fonts and text. A source font (FreeType, or the built-in 8 x 16 bitmap font) supplies glyph pictures;
// an image font turns each glyph into a small image the first time it is needed and draws strings glyph
// by glyph through the current 2D state.

constexpr int FONT_SMOOTH = 4; // glyph images filtered and mipmapped, with a 1-pixel transparent border

// A glyph of a source font.
class TGlyph {
  public:
    virtual ~TGlyph() = default;
    virtual TPixmapPtr Pixels() = 0; // null for an empty glyph
    virtual float Advance() = 0;
    // Offset of the picture's top-left from the pen position (y measured down from the line top), and
    // its size.
    virtual void GetRect(int& x, int& y, int& w, int& h) = 0;
};
using TGlyphPtr = std::shared_ptr<TGlyph>;

class TFont {
  public:
    virtual ~TFont() = default;
    virtual int Style() = 0;
    virtual int Height() = 0;
    virtual int CountGlyphs() = 0;
    virtual int CharToGlyph(int c) = 0; // -1 when the font has no glyph for c
    virtual TGlyphPtr LoadGlyph(int index) = 0;
};
using TFontPtr = std::shared_ptr<TFont>;

// Font loaders, asked newest first.
class TFontLoader {
  public:
    virtual ~TFontLoader() = default;
    virtual TFontPtr LoadFont(const TUrl& source, int size, int style) = 0;
    TFontLoader* _succ = nullptr;
    bool _linked = false;
};

// Links the loader at the head of the registry unless it is linked already.
void AddFontLoader(TFontLoader* loader);
// The first font a loader makes, or null.
TFontPtr LoadFontFrom(const TUrl& source, int size, int style);
// Starts the FreeType module: registers its loader. Called by LoadFontFrom; safe to call again.
void StartFreeTypeFonts();
// A FreeType face read from a copy of the bytes; null when FreeType cannot open it or set any size up to
// pixel_size.
TFontPtr LoadFreeTypeFontFromMemory(const uint8_t* data, size_t size, int pixel_size, int style);
// The widest or tallest glyph the FreeType loader renders, in multiples of the face's pixel size (real
// glyphs, swashes included, stay within a few); a larger glyph stays empty.
constexpr int FONT_MAX_GLYPH_SPAN = 16;

class TImageGlyph {
  public:
    TImagePtr _image;
    float _advance = 0;
    int _x = 0, _y = 0, _w = 0, _h = 0;

    TImagePtr Pixels() const { return _image; }
    float Advance() const { return _advance; }
    void GetRect(int& x, int& y, int& w, int& h) const { x = _x, y = _y, w = _w, h = _h; }
};
using TImageGlyphPtr = std::shared_ptr<TImageGlyph>;

class TImageFont;
using TImageFontPtr = std::shared_ptr<TImageFont>;

class TImageFont {
  public:
    TFontPtr _src_font; // null for the built-in font
    std::vector<TImageGlyphPtr> _glyphs;
    int _imageFlags = 0;

    int Style() const;
    int Height() const;
    int CountGlyphs() const { return static_cast<int>(_glyphs.size()); }
    int CharToGlyph(int c) const;
    // The glyph's image and metrics, made on first use; null for an index out of range.
    TImageGlyph* LoadGlyph(int index);
    // Draws text with the pen starting at (x, y) and moving along (ix, jx) per advance; each glyph is
    // rotated and scaled by the matrix about the pen position.
    void Draw(std::u32string_view text, float x, float y, float ix, float iy, float jx, float jy);
    // Sum of the advances, truncated after each character; characters without a glyph add nothing.
    int Width(std::u32string_view text);

    static TImageFontPtr Load(const TUrl& source, int size, int style);
    static TImageFontPtr CreateDefault();
};

// The built-in font's bitmap: 16 rows of 96 bytes; byte j of row i holds row i of character 32 + j, bit k
// being column k from the left.
extern const std::array<uint8_t, 1536> DEFAULT_FONT_BITS;
// The built-in font, made on first need and kept.
TImageFontPtr DefaultImageFont();

// Text is UTF-8; each code point is one character.
std::u32string DecodeText(std::string_view text);

// Module operations on the current 2D context.
TImageFontPtr LoadTextFont(const TUrl& source, int size, int style = 0);
// Null selects the built-in font.
void SelectImageFont(TImageFontPtr font);
// The font DrawString uses: the current context's, else the built-in font.
TImageFontPtr CurrentImageFont();
// Draws text with its line's top-left at (x, y), through the current matrix, origin and handle.
void DrawString(std::string_view text, float x, float y);
int StringWidth(std::string_view text);
int FontLineHeight();
// The same under their shorter names.
inline void DrawText(std::string_view text, float x, float y) {
    DrawString(text, x, y);
}
inline int TextWidth(std::string_view text) {
    return StringWidth(text);
}
inline int TextHeight() {
    return FontLineHeight();
}
