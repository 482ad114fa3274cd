// The PNG pixmap loader on arbitrary bytes: it must return a pixmap or null, never crash, hang or leak.
// Pixmaps that do load go through the steps every picture takes to a texture.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "graphics/image.h"
#include "graphics/pixmap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1 << 20)) return 0;
    auto bank = TBank::Create(static_cast<int>(size));
    if (size) std::memcpy(bank->Buf(), data, size);
    TPixmapPtr p = LoadPixmapFrom(TUrl(bank));
    if (!p) return 0;
    if (p->width <= 0 || p->height <= 0 || p->width > PNG_MAX_DIMENSION || p->height > PNG_MAX_DIMENSION)
        __builtin_trap();
    if (static_cast<int64_t>(p->width) * p->height > 4096 * 4096) return 0;
    auto masked = MaskPixmap(*p, 0, 0, 0);
    int w = 0, h = 0;
    PadPixmapForTexture(masked, 64, 64, w, h);
    auto cells = LoadImageCells(p, 8, 8, 0, 2, IMAGE_MASKED);
    (void)cells;
    return 0;
}
