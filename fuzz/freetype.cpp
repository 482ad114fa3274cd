// The FreeType font loader on arbitrary bytes: a face loads or gives null, and every glyph of the
// printable ASCII range then renders or is empty; never a crash, hang or leak.
#include <cstddef>
#include <cstdint>

#include "graphics/font.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > (1 << 20)) return 0;
    // The first byte picks the size and style, the rest is the face.
    const int pixel_size = 8 + (data[0] & 0x3F);
    const int style = (data[0] & 0x80) ? FONT_SMOOTH : 0;
    TFontPtr font = LoadFreeTypeFontFromMemory(data + 1, size - 1, pixel_size, style);
    if (!font) return 0;
    for (int c = 32; c < 128; ++c) {
        const int n = font->CharToGlyph(c);
        if (n < 0) continue;
        if (TGlyphPtr g = font->LoadGlyph(n)) {
            int x, y, w, h;
            g->GetRect(x, y, w, h);
            if (TPixmapPtr p = g->Pixels())
                if (p->width != w || p->height != h) __builtin_trap();
        }
    }
    return 0;
}
