#include "graphics/font.h"

#include <array>
#include <cmath>

#include "graphics/canvas.h"

// ---- The built-in 8 x 16 font -----------------------------------------------
// Drawn here as 5 x 9 pictures (7 rows above the baseline, 2 for descenders), sixteen characters to a
// band, and packed at compile time into the 1536-byte layout: 16 rows of 96 bytes, byte j of row i
// holding row i of character 32 + j, bit k being column k from the left. Each picture sits at columns
// 1-5 and rows 4-12 of its cell, which leaves clear space between lines and characters.

namespace {

constexpr int ART_ROWS = 9;
constexpr int ART_TOP = 4;
constexpr int ART_LEFT = 1;

// Six bands of sixteen characters (32-47, 48-63, ..., 112-127), each row "ccccc ccccc ...".
constexpr const char* FONT_ART[6][ART_ROWS] = {
    {
        // space !     "     #     $     %     &     '     (     )     *     +     ,     -     .     /
        "..... ..#.. .#.#. .#.#. ..#.. ##... .##.. ..#.. ...#. .#... ..... ..... ..... ..... ..... ....#",
        "..... ..#.. .#.#. .#.#. .#### ##..# #..#. ..#.. ..#.. ..#.. ..#.. ..#.. ..... ..... ..... ...#.",
        "..... ..#.. ..... ##### #.#.. ...#. #.#.. .#... .#... ...#. #.#.# ..#.. ..... ..... ..... ...#.",
        "..... ..#.. ..... .#.#. .###. ..#.. .#... ..... .#... ...#. .###. ##### ..... ##### ..... ..#..",
        "..... ..#.. ..... ##### ..#.# .#... #.#.# ..... .#... ...#. #.#.# ..#.. ..... ..... ..... .#...",
        "..... ..... ..... .#.#. ####. #..## #..#. ..... ..#.. ..#.. ..#.. ..#.. .##.. ..... .##.. .#...",
        "..... ..#.. ..... .#.#. ..#.. ...## .##.# ..... ...#. .#... ..... ..... ..#.. ..... .##.. #....",
        "..... ..... ..... ..... ..... ..... ..... ..... ..... ..... ..... ..... .#... ..... ..... .....",
        "..... ..... ..... ..... ..... ..... ..... ..... ..... ..... ..... ..... ..... ..... ..... .....",
    },
    {
        // 0   1     2     3     4     5     6     7     8     9     :     ;     <     =     >     ?
        ".###. ..#.. .###. ##### ...#. ##### ..##. ##### .###. .###. ..... ..... ...#. ..... .#... .###.",
        "#...# .##.. #...# ...#. ..##. #.... .#... ....# #...# #...# .##.. .##.. ..#.. ..... ..#.. #...#",
        "#..## ..#.. ....# ..#.. .#.#. ####. #.... ...#. #...# #...# .##.. .##.. .#... ##### ...#. ....#",
        "#.#.# ..#.. ...#. ...#. #..#. ....# ####. ..#.. .###. .#### ..... ..... #.... ..... ....# ...#.",
        "##..# ..#.. ..#.. ....# ##### ....# #...# .#... #...# ....# .##.. .##.. .#... ##### ...#. ..#..",
        "#...# ..#.. .#... #...# ...#. #...# #...# .#... #...# ...#. .##.. ..#.. ..#.. ..... ..#.. .....",
        ".###. .###. ##### .###. ...#. .###. .###. .#... .###. .##.. ..... .#... ...#. ..... .#... ..#..",
        "..... ..... ..... ..... ..... ..... ..... ..... ..... ..... ..... ..... ..... ..... ..... .....",
        "..... ..... ..... ..... ..... ..... ..... ..... ..... ..... ..... ..... ..... ..... ..... .....",
    },
    {
        // @   A     B     C     D     E     F     G     H     I     J     K     L     M     N     O
        ".###. .###. ####. .###. ###.. ##### ##### .###. #...# .###. ..### #...# #.... #...# #...# .###.",
        "#...# #...# #...# #...# #..#. #.... #.... #...# #...# ..#.. ...#. #..#. #.... ##.## #...# #...#",
        "....# #...# #...# #.... #...# #.... #.... #.... #...# ..#.. ...#. #.#.. #.... #.#.# ##..# #...#",
        ".##.# ##### ####. #.... #...# ####. ####. #.### ##### ..#.. ...#. ##... #.... #.#.# #.#.# #...#",
        "#.#.# #...# #...# #.... #...# #.... #.... #...# #...# ..#.. ...#. #.#.. #.... #...# #..## #...#",
        "#.#.# #...# #...# #...# #..#. #.... #.... #...# #...# ..#.. #..#. #..#. #.... #...# #...# #...#",
        ".###. #...# ####. .###. ###.. ##### #.... .#### #...# .###. .##.. #...# ##### #...# #...# .###.",
        "..... ..... ..... ..... ..... ..... ..... ..... ..... ..... ..... ..... ..... ..... ..... .....",
        "..... ..... ..... ..... ..... ..... ..... ..... ..... ..... ..... ..... ..... ..... ..... .....",
    },
    {
        // P   Q     R     S     T     U     V     W     X     Y     Z     [     \     ]     ^     _
        "####. .###. ####. .#### ##### #...# #...# #...# #...# #...# ##### .###. #.... .###. ..#.. .....",
        "#...# #...# #...# #.... ..#.. #...# #...# #...# #...# #...# ....# .#... .#... ...#. .#.#. .....",
        "#...# #...# #...# #.... ..#.. #...# #...# #...# .#.#. .#.#. ...#. .#... .#... ...#. #...# .....",
        "####. #...# ####. .###. ..#.. #...# #...# #.#.# ..#.. ..#.. ..#.. .#... ..#.. ...#. ..... .....",
        "#.... #.#.# #.#.. ....# ..#.. #...# #...# #.#.# .#.#. ..#.. .#... .#... ...#. ...#. ..... .....",
        "#.... #..#. #..#. ....# ..#.. #...# .#.#. #.#.# #...# ..#.. #.... .#... ...#. ...#. ..... .....",
        "#.... .##.# #...# ####. ..#.. .###. ..#.. .#.#. #...# ..#.. ##### .###. ....# .###. ..... .....",
        "..... ..... ..... ..... ..... ..... ..... ..... ..... ..... ..... ..... ..... ..... ..... .....",
        "..... ..... ..... ..... ..... ..... ..... ..... ..... ..... ..... ..... ..... ..... ..... #####",
    },
    {
        // `   a     b     c     d     e     f     g     h     i     j     k     l     m     n     o
        ".#... ..... #.... ..... ....# ..... ..##. ..... #.... ..#.. ...#. #.... .##.. ..... ..... .....",
        "..#.. ..... #.... ..... ....# ..... .#..# ..... #.... ..... ..... #.... ..#.. ..... ..... .....",
        "..... .###. #.##. .###. .##.# .###. .#... .#### #.##. .##.. ..##. #..#. ..#.. ##.#. #.##. .###.",
        "..... ....# ##..# #.... #..## #...# ###.. #...# ##..# ..#.. ...#. #.#.. ..#.. #.#.# ##..# #...#",
        "..... .#### #...# #.... #...# ##### .#... #...# #...# ..#.. ...#. ##... ..#.. #.#.# #...# #...#",
        "..... #...# #...# #...# #...# #.... .#... #...# #...# ..#.. ...#. #.#.. ..#.. #.#.# #...# #...#",
        "..... .#### ####. .###. .#### .###. .#... .#### #...# .###. ...#. #..#. .###. #.#.# #...# .###.",
        "..... ..... ..... ..... ..... ..... ..... ....# ..... ..... #..#. ..... ..... ..... ..... .....",
        "..... ..... ..... ..... ..... ..... ..... .###. ..... ..... .##.. ..... ..... ..... ..... .....",
    },
    {
        // p   q     r     s     t     u     v     w     x     y     z     {     |     }     ~     DEL
        "..... ..... ..... ..... .#... ..... ..... ..... ..... ..... ..... ...#. ..#.. .#... ..... #####",
        "..... ..... ..... ..... .#... ..... ..... ..... ..... ..... ..... ..#.. ..#.. ..#.. ..... #...#",
        "####. .#### #.##. .###. ###.. #...# #...# #...# #...# #...# ##### ..#.. ..#.. ..#.. .#... #...#",
        "#...# #...# ##..# #.... .#... #...# #...# #...# .#.#. #...# ...#. .#... ..#.. ...#. #.#.# #...#",
        "#...# #...# #.... .###. .#... #...# #...# #.#.# ..#.. #...# ..#.. ..#.. ..#.. ..#.. ...#. #...#",
        "#...# #...# #.... ....# .#..# #..## .#.#. #.#.# .#.#. #...# .#... ..#.. ..#.. ..#.. ..... #...#",
        "####. .#### #.... ####. ..##. .##.# ..#.. .#.#. #...# .#### ##### ...#. ..#.. .#... ..... #####",
        "#.... ....# ..... ..... ..... ..... ..... ..... ..... ....# ..... ..... ..#.. ..... ..... .....",
        "#.... ....# ..... ..... ..... ..... ..... ..... ..... .###. ..... ..... ..#.. ..... ..... .....",
    },
};

constexpr std::array<uint8_t, 1536> PackFont() {
    std::array<uint8_t, 1536> bits{};
    for (int band = 0; band < 6; ++band) {
        for (int r = 0; r < ART_ROWS; ++r) {
            const char* line = FONT_ART[band][r];
            // A malformed picture row stops the build here rather than drawing garbage.
            for (int i = 0; i < 95; ++i) {
                const char ch = line[i];
                if (i % 6 == 5 ? ch != ' ' : ch != '#' && ch != '.') throw "malformed font picture";
            }
            if (line[95] != 0) throw "malformed font picture";
            for (int k = 0; k < 16; ++k) {
                uint8_t byte = 0;
                for (int c = 0; c < 5; ++c)
                    if (line[k * 6 + c] == '#') byte |= static_cast<uint8_t>(1 << (c + ART_LEFT));
                bits[(ART_TOP + r) * 96 + band * 16 + k] = byte;
            }
        }
    }
    return bits;
}

} // namespace

const std::array<uint8_t, 1536> DEFAULT_FONT_BITS = PackFont();

// ---- Font loader registry ---------------------------------------------------

namespace {

struct TFontState {
    TFontLoader* loaders = nullptr;
    // The font used when no 2D context holds one (measuring text before a display is open).
    TImageFontPtr selected_font;
};

TFontState& State() {
    static TFontState state;
    return state;
}

} // namespace

void AddFontLoader(TFontLoader* loader) {
    if (!loader || loader->_linked) return;
    TFontState& s = State();
    loader->_succ = s.loaders;
    loader->_linked = true;
    s.loaders = loader;
}

TFontPtr LoadFontFrom(const TUrl& source, int size, int style) {
    StartFreeTypeFonts();
    for (TFontLoader* loader = State().loaders; loader; loader = loader->_succ)
        if (TFontPtr font = loader->LoadFont(source, size, style)) return font;
    return nullptr;
}

// ---- TImageFont -------------------------------------------------------------

int TImageFont::Style() const {
    return _src_font ? _src_font->Style() : 0;
}
int TImageFont::Height() const {
    return _src_font ? _src_font->Height() : 16;
}

int TImageFont::CharToGlyph(int c) const {
    if (_src_font) return _src_font->CharToGlyph(c);
    return c >= 32 && c < 128 ? c - 32 : -1;
}

TImageGlyph* TImageFont::LoadGlyph(int index) {
    if (index < 0 || index >= CountGlyphs()) return nullptr;
    TImageGlyphPtr& slot = _glyphs[static_cast<size_t>(index)];
    if (!slot) {
        auto glyph = std::make_shared<TImageGlyph>();
        if (_src_font) {
            if (TGlyphPtr src = _src_font->LoadGlyph(index)) {
                glyph->_advance = src->Advance();
                src->GetRect(glyph->_x, glyph->_y, glyph->_w, glyph->_h);
                if (TPixmapPtr pixels = src->Pixels())
                    glyph->_image = TImage::Load(pixels->Copy(), _imageFlags, 0, 0, 0);
            }
        }
        slot = std::move(glyph);
    }
    return slot.get();
}

void TImageFont::Draw(std::u32string_view text, float x, float y, float ix, float iy, float jx, float jy) {
    for (char32_t c : text) {
        const int n = CharToGlyph(static_cast<int>(c));
        if (n < 0) continue;
        TImageGlyph* g = LoadGlyph(n);
        if (!g) continue;
        if (g->_image) {
            if (TImageFramePtr f = g->_image->Frame(0)) {
                const float gx = static_cast<float>(g->_x), gy = static_cast<float>(g->_y);
                f->Draw(0, 0, static_cast<float>(g->_image->width), static_cast<float>(g->_image->height),
                        x + gx * ix + gy * iy, y + gx * jx + gy * jy);
            }
        }
        x += ix * g->_advance;
        y += jx * g->_advance;
    }
}

int TImageFont::Width(std::u32string_view text) {
    int w = 0;
    for (char32_t c : text) {
        const int n = CharToGlyph(static_cast<int>(c));
        if (n < 0) continue;
        if (TImageGlyph* g = LoadGlyph(n)) w = static_cast<int>(static_cast<float>(w) + g->_advance);
    }
    return w;
}

TImageFontPtr TImageFont::Load(const TUrl& source, int size, int style) {
    TFontPtr src = LoadFontFrom(source, size, style);
    if (!src) return nullptr;
    auto font = std::make_shared<TImageFont>();
    font->_src_font = std::move(src);
    font->_glyphs.resize(static_cast<size_t>(std::max(font->_src_font->CountGlyphs(), 0)));
    font->_imageFlags = (style & FONT_SMOOTH) ? IMAGE_FILTERED | IMAGE_MIPMAPPED : 0;
    return font;
}

TImageFontPtr TImageFont::CreateDefault() {
    // Expand the bitmap: set bits opaque white, clear bits fully transparent.
    TPixmapPtr sheet = TPixmap::Create(768, 16, PIXEL_RGBA32, 4);
    for (int row = 0; row < 16; ++row) {
        uint32_t* out = reinterpret_cast<uint32_t*>(sheet->PixelPtr(0, row));
        for (int j = 0; j < 96; ++j) {
            const uint8_t bits = DEFAULT_FONT_BITS[row * 96 + j];
            for (int k = 0; k < 8; ++k)
                out[j * 8 + k] = (bits >> k) & 1 ? 0xFFFFFFFFu : 0u;
        }
    }
    auto font = std::make_shared<TImageFont>();
    font->_glyphs.resize(96);
    for (int i = 0; i < 96; ++i) {
        auto g = std::make_shared<TImageGlyph>();
        g->_advance = 8;
        g->_x = g->_y = 0;
        g->_w = 8;
        g->_h = 16;
        g->_image = TImage::Load(sheet->Window(8 * i, 0, 8, 16)->Copy(), 0, 0, 0, 0);
        font->_glyphs[static_cast<size_t>(i)] = std::move(g);
    }
    return font;
}

TImageFontPtr DefaultImageFont() {
    static TImageFontPtr font = TImageFont::CreateDefault();
    return font;
}

// ---- Text -------------------------------------------------------------------

std::u32string DecodeText(std::string_view s) {
    std::u32string out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        const auto b = static_cast<unsigned char>(s[i]);
        int len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
        char32_t c = len == 1 ? b : len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
        bool ok = len > 0 && i + len <= s.size();
        for (int k = 1; ok && k < len; ++k) {
            const auto cb = static_cast<unsigned char>(s[i + k]);
            if ((cb & 0xC0) != 0x80) ok = false;
            c = (c << 6) | (cb & 0x3F);
        }
        if (ok) {
            out.push_back(c);
            i += static_cast<size_t>(len);
        } else {
            // A byte that does not start valid UTF-8 stands for itself (Latin-1).
            out.push_back(b);
            ++i;
        }
    }
    return out;
}

TImageFontPtr LoadTextFont(const TUrl& source, int size, int style) {
    return TImageFont::Load(source, size, style);
}

void SelectImageFont(TImageFontPtr font) {
    if (!font) font = DefaultImageFont();
    State().selected_font = font;
    if (TCanvasGraphics* canvas = TCanvasGraphics::Current()) canvas->image_font = std::move(font);
}

TImageFontPtr CurrentImageFont() {
    if (TCanvasGraphics* canvas = TCanvasGraphics::Current())
        if (canvas->image_font) return canvas->image_font;
    TFontState& s = State();
    return s.selected_font ? s.selected_font : DefaultImageFont();
}

void DrawString(std::string_view text, float x, float y) {
    TCanvasGraphics* canvas = TCanvasGraphics::Current();
    if (!canvas) return;
    TImageFontPtr font = CurrentImageFont();
    const float ix = canvas->tform_ix, iy = canvas->tform_iy, jx = canvas->tform_jx, jy = canvas->tform_jy;
    const float hx = canvas->handle_x, hy = canvas->handle_y;
    const float px = x + canvas->origin_x + hx * ix + hy * iy;
    const float py = y + canvas->origin_y + hx * jx + hy * jy;
    font->Draw(DecodeText(text), px, py, ix, iy, jx, jy);
}

int StringWidth(std::string_view text) {
    return CurrentImageFont()->Width(DecodeText(text));
}

int FontLineHeight() {
    return CurrentImageFont()->Height();
}
