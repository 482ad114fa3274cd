#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "graphics/pixmap.h"
#include "pixmap_png_writer.h"

using namespace pixmap_test;

namespace {

constexpr int ALL_FORMATS[] = {PIXEL_LUMINANCE8, PIXEL_ALPHA8, PIXEL_BGR24,
                               PIXEL_RGB24,      PIXEL_BGRA32, PIXEL_RGBA32};

TEST(Pixmap, PitchAndCapacityRoundRowsUpToTheAlignment) {
    auto p = TPixmap::Create(3, 2, PIXEL_RGB24, 4);
    EXPECT_EQ(p->pitch, 12);
    EXPECT_EQ(p->capacity, 24);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(p->pixels) % 16, 0u);
    auto q = TPixmap::Create(5, 3, PIXEL_LUMINANCE8, 8);
    EXPECT_EQ(q->pitch, 8);
    EXPECT_EQ(q->capacity, 24);
    auto r = TPixmap::Create(7, 1, PIXEL_RGBA32, 1);
    EXPECT_EQ(r->pitch, 28);
    EXPECT_THROW(TPixmap::Create(-1, 2, PIXEL_RGBA32), TRuntimeError);
    EXPECT_THROW(TPixmap::Create(70000, 70000, PIXEL_RGBA32), TRuntimeError);
    EXPECT_THROW(TPixmap::Create(2, 2, 9), TRuntimeError);
}

TEST(Pixmap, ReadAndWritePixelKeepTheChannelsEachFormatHas) {
    // 0x80102030: alpha 0x80, red 0x10, green 0x20, blue 0x30.
    const struct {
        int format;
        uint32_t read_back;
    } cases[] = {
        {PIXEL_LUMINANCE8, 0xFF202020}, // (16 + 32 + 48) / 3 = 32 into all three
        {PIXEL_ALPHA8, 0x80FFFFFF},     {PIXEL_BGR24, 0xFF102030},  {PIXEL_RGB24, 0xFF102030},
        {PIXEL_BGRA32, 0x80102030},     {PIXEL_RGBA32, 0x80102030},
    };
    for (const auto& c : cases) {
        auto p = TPixmap::Create(4, 3, c.format);
        p->ClearPixels(0);
        p->WritePixel(2, 1, 0x80102030);
        EXPECT_EQ(p->ReadPixel(2, 1), c.read_back) << "format " << c.format;
        // Neighbours untouched.
        EXPECT_EQ(p->ReadPixel(1, 1) & 0x00FFFFFF, c.format == PIXEL_ALPHA8 ? 0xFFFFFFu : 0u);
        EXPECT_EQ(p->ReadPixel(3, 1) & 0x00FFFFFF, c.format == PIXEL_ALPHA8 ? 0xFFFFFFu : 0u);
    }
    auto lum = TPixmap::Create(1, 1, PIXEL_LUMINANCE8);
    lum->WritePixel(0, 0, 0x80102030);
    EXPECT_EQ(lum->pixels[0], 32);

    auto rgb = TPixmap::Create(11, 21, PIXEL_RGB24);
    uint8_t* px = rgb->PixelPtr(10, 20);
    px[0] = 10, px[1] = 20, px[2] = 30;
    EXPECT_EQ(rgb->ReadPixel(10, 20), 0xFF0A141Eu);
    // Byte order in memory.
    auto bgra = TPixmap::Create(1, 1, PIXEL_BGRA32);
    bgra->WritePixel(0, 0, 0x11223344);
    EXPECT_EQ(bgra->pixels[0], 0x44);
    EXPECT_EQ(bgra->pixels[2], 0x22);
    EXPECT_EQ(bgra->pixels[3], 0x11);
}

TEST(Pixmap, ConvertGoesThroughRGBAForEveryPairOfFormats) {
    for (int from : ALL_FORMATS) {
        for (int to : ALL_FORMATS) {
            auto src = TPixmap::Create(3, 2, from);
            src->WritePixel(0, 0, 0x80102030);
            src->WritePixel(1, 0, 0xFFFFFFFF);
            src->WritePixel(2, 0, 0x00000000);
            src->WritePixel(0, 1, 0xC0906030);
            src->WritePixel(1, 1, 0x01020304);
            src->WritePixel(2, 1, 0x7F7F7F7F);
            auto dst = src->Convert(to);
            ASSERT_EQ(dst->format, to);
            for (int y = 0; y < 2; ++y) {
                for (int x = 0; x < 3; ++x) {
                    // What the source holds, written into the target format directly.
                    auto ref = TPixmap::Create(1, 1, to);
                    ref->WritePixel(0, 0, src->ReadPixel(x, y));
                    EXPECT_EQ(dst->ReadPixel(x, y), ref->ReadPixel(0, 0))
                        << from << "->" << to << " at " << x;
                }
            }
        }
    }
    // Through RGBA: grey 90 becomes (90, 90, 90) and BGR keeps its order.
    auto grey = TPixmap::Create(1, 1, PIXEL_LUMINANCE8);
    grey->pixels[0] = 90;
    auto bgr = grey->Convert(PIXEL_BGR24);
    EXPECT_EQ(bgr->pixels[0], 90);
    EXPECT_EQ(bgr->pixels[2], 90);
}

TEST(Pixmap, WindowSharesMemoryAndKeepsItsSourceAlive) {
    std::shared_ptr<TPixmap> win;
    {
        auto big = TPixmap::Create(8, 8, PIXEL_RGBA32);
        big->ClearPixels(0xFF000000);
        big->WritePixel(5, 6, 0xFFABCDEF);
        win = big->Window(4, 4, 3, 3);
        EXPECT_EQ(win->capacity, -1);
        EXPECT_EQ(win->pitch, big->pitch);
        win->WritePixel(0, 0, 0xFF010203);
        EXPECT_EQ(big->ReadPixel(4, 4), 0xFF010203u);
    }
    EXPECT_EQ(win->ReadPixel(1, 2), 0xFFABCDEFu); // the source is still alive
    auto copy = win->Copy();
    EXPECT_GE(copy->capacity, 0);
    copy->WritePixel(1, 2, 0);
    EXPECT_EQ(win->ReadPixel(1, 2), 0xFFABCDEFu); // independent
}

TEST(Pixmap, ClearingAWindowStaysInsideIt) {
    auto big = TPixmap::Create(6, 4, PIXEL_RGB24);
    big->ClearPixels(0xFF112233);
    big->Window(1, 1, 3, 2)->ClearPixels(0);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 6; ++x) {
            const bool inside = x >= 1 && x < 4 && y >= 1 && y < 3;
            EXPECT_EQ(big->ReadPixel(x, y), inside ? 0xFF000000u : 0xFF112233u) << x << "," << y;
        }
    }
    auto lum = TPixmap::Create(3, 3, PIXEL_ALPHA8);
    lum->ClearPixels(0x7F000000);
    EXPECT_EQ(lum->ReadPixel(2, 2), 0x7FFFFFFFu);
}

TEST(Pixmap, PasteConvertsIntoPlace) {
    auto dst = TPixmap::Create(4, 4, PIXEL_RGBA32);
    dst->ClearPixels(0);
    auto src = TPixmap::Create(2, 2, PIXEL_LUMINANCE8);
    src->ClearPixels(0xFF646464);
    dst->Paste(*src, 1, 2);
    EXPECT_EQ(dst->ReadPixel(1, 2), 0xFF646464u);
    EXPECT_EQ(dst->ReadPixel(2, 3), 0xFF646464u);
    EXPECT_EQ(dst->ReadPixel(0, 2), 0u);
    EXPECT_EQ(dst->ReadPixel(1, 1), 0u);
}

TEST(Pixmap, MaskingAveragesTheVisibleNeighbours) {
    auto p = TPixmap::Create(3, 3, PIXEL_RGB24);
    // Four red and four green around a black centre.
    const uint32_t ring[8] = {0xFFFF0000, 0xFF00FF00, 0xFFFF0000, 0xFF00FF00,
                              0xFF00FF00, 0xFFFF0000, 0xFF00FF00, 0xFFFF0000};
    int k = 0;
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x)
            p->WritePixel(x, y, (x == 1 && y == 1) ? 0xFF000000 : ring[k++]);
    auto m = MaskPixmap(*p, 0, 0, 0);
    EXPECT_EQ(m->format, PIXEL_RGBA32);
    EXPECT_EQ(m->ReadPixel(1, 1), 0x007F7F00u);
    EXPECT_EQ(m->ReadPixel(0, 0), 0xFFFF0000u); // visible pixels become opaque

    auto black = TPixmap::Create(3, 3, PIXEL_RGB24);
    black->ClearPixels(0xFF000000);
    auto mb = MaskPixmap(*black, 0, 0, 0);
    EXPECT_EQ(mb->ReadPixel(1, 1), 0u);

    // A corner pixel looks only at the neighbours inside the pixmap: one white, two masked.
    auto corner = TPixmap::Create(2, 2, PIXEL_RGBA32);
    corner->ClearPixels(0x00102030); // the mask colour; alpha is ignored
    corner->WritePixel(1, 1, 0x80FFFFFF);
    auto mc = MaskPixmap(*corner, 0x10, 0x20, 0x30);
    EXPECT_EQ(mc->ReadPixel(0, 0), 0x00FFFFFFu);
    EXPECT_EQ(mc->ReadPixel(1, 1), 0xFFFFFFFFu);

    // Exact comparison: a colour one step from the mask stays visible.
    auto near = TPixmap::Create(1, 1, PIXEL_RGB24);
    near->WritePixel(0, 0, 0xFF000001);
    EXPECT_EQ(MaskPixmap(*near, 0, 0, 0)->ReadPixel(0, 0), 0xFF000001u);
}

TEST(Pixmap, ResizeSamplesBilinearlyAtPixelCentres) {
    auto row = TPixmap::Create(4, 1, PIXEL_LUMINANCE8);
    const uint8_t v[4] = {0, 100, 200, 255};
    std::memcpy(row->pixels, v, 4);
    auto half = ResizePixmap(*row, 2, 1);
    EXPECT_EQ(half->format, PIXEL_LUMINANCE8);
    EXPECT_EQ(half->pixels[0], 50);
    EXPECT_EQ(half->pixels[1], 227);

    // Enlarging: positions -0.25 and 1.25 clamp to the edge pixels without a neighbour.
    auto two = TPixmap::Create(2, 1, PIXEL_RGBA32);
    two->WritePixel(0, 0, 0xFF000000);
    two->WritePixel(1, 0, 0xFFC8C8C8);
    auto four = ResizePixmap(*two, 4, 1);
    EXPECT_EQ(four->ReadPixel(0, 0), 0xFF000000u);
    EXPECT_EQ(four->ReadPixel(1, 0), 0xFF323232u); // 0.25 of the way
    EXPECT_EQ(four->ReadPixel(2, 0), 0xFF969696u); // 0.75
    EXPECT_EQ(four->ReadPixel(3, 0), 0xFFC8C8C8u);

    // Both axes at once; alpha is mixed like the colours.
    auto sq = TPixmap::Create(2, 2, PIXEL_RGBA32);
    sq->WritePixel(0, 0, 0x00000000);
    sq->WritePixel(1, 0, 0xFF000000);
    sq->WritePixel(0, 1, 0xFF000000);
    sq->WritePixel(1, 1, 0xFF000000);
    auto one = ResizePixmap(*sq, 1, 1);
    EXPECT_EQ(one->ReadPixel(0, 0) >> 24, 191u); // (0 + 255 * 3) / 4, truncated
}

TEST(Pixmap, FlipsReverseRowsOrColumns) {
    auto p = TPixmap::Create(3, 2, PIXEL_RGB24);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            p->WritePixel(x, y, 0xFF000000 | (y * 16 + x));
    auto v = FlipPixmapVertically(*p);
    auto h = FlipPixmapHorizontally(*p);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(v->ReadPixel(x, y), p->ReadPixel(x, 1 - y));
            EXPECT_EQ(h->ReadPixel(x, y), p->ReadPixel(2 - x, y));
        }
    }
    EXPECT_EQ(v->format, PIXEL_RGB24);
}

// ---------------------------------------------------------------------------------------------------
// PNG loading

std::vector<uint8_t> Rgb2x2() {
    PngSpec s;
    s.width = 2, s.height = 2;
    return WritePng(s, {{255, 0, 0, 0, 255, 0}, {0, 0, 255, 10, 20, 30}});
}

TEST(PixmapPng, LoadsTheAcceptedColourTypes) {
    auto rgb = LoadPixmapFrom(BytesUrl(Rgb2x2()));
    ASSERT_TRUE(rgb);
    EXPECT_EQ(rgb->format, PIXEL_RGB24);
    EXPECT_EQ(rgb->ReadPixel(0, 0), 0xFFFF0000u);
    EXPECT_EQ(rgb->ReadPixel(1, 1), 0xFF0A141Eu);

    PngSpec rgba;
    rgba.width = 1, rgba.height = 1, rgba.color_type = PNG_COLOR_TYPE_RGB_ALPHA;
    auto p = LoadPixmapFrom(BytesUrl(WritePng(rgba, {{1, 2, 3, 4}})));
    ASSERT_TRUE(p);
    EXPECT_EQ(p->format, PIXEL_RGBA32);
    EXPECT_EQ(p->ReadPixel(0, 0), 0x04010203u);

    PngSpec grey;
    grey.width = 3, grey.height = 1, grey.color_type = PNG_COLOR_TYPE_GRAY;
    p = LoadPixmapFrom(BytesUrl(WritePng(grey, {{0, 128, 255}})));
    ASSERT_TRUE(p);
    EXPECT_EQ(p->format, PIXEL_LUMINANCE8);
    EXPECT_EQ(p->ReadPixel(1, 0), 0xFF808080u);

    PngSpec ga;
    ga.width = 2, ga.height = 1, ga.color_type = PNG_COLOR_TYPE_GRAY_ALPHA;
    p = LoadPixmapFrom(BytesUrl(WritePng(ga, {{200, 10, 50, 255}})));
    ASSERT_TRUE(p);
    EXPECT_EQ(p->format, PIXEL_RGBA32);
    EXPECT_EQ(p->ReadPixel(0, 0), 0x0AC8C8C8u);
    EXPECT_EQ(p->ReadPixel(1, 0), 0xFF323232u);
}

TEST(PixmapPng, ExpandsPalettesLowBitGreysAndSixteenBitSamples) {
    PngSpec pal;
    pal.width = 2, pal.height = 1, pal.color_type = PNG_COLOR_TYPE_PALETTE;
    pal.palette = {{10, 20, 30}, {40, 50, 60}};
    auto p = LoadPixmapFrom(BytesUrl(WritePng(pal, {{1, 0}})));
    ASSERT_TRUE(p);
    EXPECT_EQ(p->format, PIXEL_RGB24);
    EXPECT_EQ(p->ReadPixel(0, 0), 0xFF28323Cu);

    pal.trns = {0, 255}; // entry 0 transparent: the picture gains alpha
    p = LoadPixmapFrom(BytesUrl(WritePng(pal, {{1, 0}})));
    ASSERT_TRUE(p);
    EXPECT_EQ(p->format, PIXEL_RGBA32);
    EXPECT_EQ(p->ReadPixel(1, 0), 0x000A141Eu);
    EXPECT_EQ(p->ReadPixel(0, 0), 0xFF28323Cu);

    PngSpec bits;
    bits.width = 8, bits.height = 1, bits.color_type = PNG_COLOR_TYPE_GRAY, bits.bit_depth = 1;
    p = LoadPixmapFrom(BytesUrl(WritePng(bits, {{0xA0}})));
    ASSERT_TRUE(p);
    EXPECT_EQ(p->format, PIXEL_LUMINANCE8);
    EXPECT_EQ(p->pixels[0], 255);
    EXPECT_EQ(p->pixels[1], 0);
    EXPECT_EQ(p->pixels[2], 255);

    PngSpec deep;
    deep.width = 1, deep.height = 1, deep.bit_depth = 16;
    p = LoadPixmapFrom(BytesUrl(WritePng(deep, {{0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC}})));
    ASSERT_TRUE(p);
    EXPECT_EQ(p->ReadPixel(0, 0), 0xFF12569Au);

    PngSpec inter;
    inter.width = 9, inter.height = 9, inter.interlaced = true, inter.color_type = PNG_COLOR_TYPE_GRAY;
    std::vector<std::vector<uint8_t>> rows(9, std::vector<uint8_t>(9));
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 9; ++x)
            rows[y][x] = static_cast<uint8_t>(y * 9 + x);
    p = LoadPixmapFrom(BytesUrl(WritePng(inter, rows)));
    ASSERT_TRUE(p);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 9; ++x)
            ASSERT_EQ(*p->PixelPtr(x, y), y * 9 + x);
}

TEST(PixmapPng, TheColourKeyOfGreyAndRgbPicturesBecomesAlpha) {
    // Exactly the pixels equal to the key turn transparent, keeping their colour.
    PngSpec grey;
    grey.width = 3, grey.height = 1, grey.color_type = PNG_COLOR_TYPE_GRAY;
    grey.has_key = true, grey.key.gray = 77;
    auto p = LoadPixmapFrom(BytesUrl(WritePng(grey, {{0, 77, 78}})));
    ASSERT_TRUE(p);
    EXPECT_EQ(p->format, PIXEL_RGBA32);
    EXPECT_EQ(p->ReadPixel(0, 0), 0xFF000000u);
    EXPECT_EQ(p->ReadPixel(1, 0), 0x004D4D4Du);
    EXPECT_EQ(p->ReadPixel(2, 0), 0xFF4E4E4Eu);

    // A 2-bit grey's key is in 2-bit units: 2 is the expanded 170.
    grey.width = 4, grey.bit_depth = 2, grey.key.gray = 2;
    p = LoadPixmapFrom(BytesUrl(WritePng(grey, {{0x1B}}))); // samples 0, 1, 2, 3
    ASSERT_TRUE(p);
    EXPECT_EQ(p->format, PIXEL_RGBA32);
    EXPECT_EQ(p->ReadPixel(1, 0), 0xFF555555u);
    EXPECT_EQ(p->ReadPixel(2, 0), 0x00AAAAAAu);
    EXPECT_EQ(p->ReadPixel(3, 0), 0xFFFFFFFFu);

    // RGB: all three channels must match; one differing channel keeps a pixel opaque.
    PngSpec rgb;
    rgb.width = 3, rgb.height = 1;
    rgb.has_key = true, rgb.key.red = 10, rgb.key.green = 20, rgb.key.blue = 30;
    p = LoadPixmapFrom(BytesUrl(WritePng(rgb, {{10, 20, 30, 10, 20, 31, 30, 20, 10}})));
    ASSERT_TRUE(p);
    EXPECT_EQ(p->format, PIXEL_RGBA32);
    EXPECT_EQ(p->ReadPixel(0, 0), 0x000A141Eu);
    EXPECT_EQ(p->ReadPixel(1, 0), 0xFF0A141Fu);
    EXPECT_EQ(p->ReadPixel(2, 0), 0xFF1E140Au);

    // 16-bit samples are compared with the key before they are cut to 8 bits: both pixels
    // read back as the same colour, only the exact match is transparent.
    rgb.width = 2, rgb.bit_depth = 16;
    rgb.key.red = 0x1234, rgb.key.green = 0x5678, rgb.key.blue = 0x9ABC;
    p = LoadPixmapFrom(
        BytesUrl(WritePng(rgb, {{0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0x12, 0x35, 0x56, 0x78, 0x9A, 0xBC}})));
    ASSERT_TRUE(p);
    EXPECT_EQ(p->format, PIXEL_RGBA32);
    EXPECT_EQ(p->ReadPixel(0, 0), 0x0012569Au);
    EXPECT_EQ(p->ReadPixel(1, 0), 0xFF12569Au);
}

TEST(PixmapPng, RefusesDataThatIsNotAPng) {
    EXPECT_FALSE(LoadPixmapFrom(BytesUrl({})));
    EXPECT_FALSE(LoadPixmapFrom(BytesUrl({0x89, 'P', 'N', 'G'})));
    std::vector<uint8_t> text(100, 'x');
    EXPECT_FALSE(LoadPixmapFrom(BytesUrl(text)));
    EXPECT_FALSE(LoadPixmapFrom(TUrl("incbin::no-such-picture.png")));
    EXPECT_FALSE(LoadPixmapFrom(TUrl("/no/such/file.png")));
}

TEST(PixmapPng, DamagedDataAfterTheSignatureGivesNull) {
    const auto good = Rgb2x2();
    ASSERT_TRUE(LoadPixmapFrom(BytesUrl(good)));
    // Cut anywhere after the signature.
    for (size_t n = 8; n < good.size(); n += 3) {
        std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<long>(n));
        EXPECT_FALSE(LoadPixmapFrom(BytesUrl(cut))) << "cut at " << n;
    }
    // Flip one bit in each byte after the signature: every chunk is CRC-checked.
    for (size_t i = 8; i < good.size(); ++i) {
        auto bad = good;
        bad[i] ^= 0x10;
        EXPECT_FALSE(LoadPixmapFrom(BytesUrl(bad))) << "byte " << i;
    }
}

// A 1 x 1 picture whose header is rewritten to declare another size, with a correct CRC.
std::vector<uint8_t> WithDeclaredSize(uint32_t w, uint32_t h) {
    PngSpec s;
    auto bytes = WritePng(s, {{1, 2, 3}});
    PutBE32(bytes, 16, w);
    PutBE32(bytes, 20, h);
    PutBE32(bytes, 29, Crc32(bytes.data() + 12, 17));
    return bytes;
}

TEST(PixmapPng, RefusesEnormousDeclaredSizes) {
    EXPECT_FALSE(LoadPixmapFrom(BytesUrl(WithDeclaredSize(1000000, 1000000))));
    EXPECT_FALSE(LoadPixmapFrom(BytesUrl(WithDeclaredSize(PNG_MAX_DIMENSION + 1, 1))));
    // Within each side's limit but too many pixels in all.
    EXPECT_FALSE(LoadPixmapFrom(BytesUrl(WithDeclaredSize(PNG_MAX_DIMENSION, PNG_MAX_DIMENSION))));
    // An honest size with too little data is damaged, not refused for size; still null.
    EXPECT_FALSE(LoadPixmapFrom(BytesUrl(WithDeclaredSize(64, 64))));
}

// Reads through to a bank and remembers the largest single request: libpng asks for a whole chunk at
// once only when it holds that chunk in memory.
class TRequestMeter : public TStreamWrapper {
  public:
    int Read(void* buf, int count) override {
        largest = std::max(largest, count);
        return TStreamWrapper::Read(buf, count);
    }
    int largest = 0;
};

// A 1 x 1 picture with an ancillary chunk after the header that declares `declared` bytes and carries
// `carried` bytes of 's' (with a CRC over what it carries).
std::vector<uint8_t> WithLargeChunk(uint32_t declared, uint32_t carried) {
    auto bytes = WritePng(PngSpec{}, {{1, 2, 3}});
    std::vector<uint8_t> chunk(12 + carried, 's');
    PutBE32(chunk, 0, declared);
    std::memcpy(chunk.data() + 4, "sPLT", 4);
    PutBE32(chunk, 8 + carried, Crc32(chunk.data() + 4, 4 + carried));
    bytes.insert(bytes.begin() + 33, chunk.begin(), chunk.end());
    return bytes;
}

TEST(PixmapPng, AChunkLengthIsNotTakenOnTrust) {
    StartPixmapPNG();
    // Declared near 2 GB: no buffer of that size is asked for, and the picture is damaged.
    auto lie = WithLargeChunk(0x7ffffff0u, 16);
    auto meter = std::make_shared<TRequestMeter>();
    meter->SetStream(TBankStream::Create(BytesUrl(lie).bank));
    EXPECT_FALSE(LoadPixmapFrom(TUrl(std::shared_ptr<TStream>(meter))));
    EXPECT_LE(meter->largest, static_cast<int>(PNG_MAX_CHUNK_BYTES));

    // An honest chunk beyond the limit is skipped, and the picture still loads.
    auto honest = WithLargeChunk(PNG_MAX_CHUNK_BYTES + 1, PNG_MAX_CHUNK_BYTES + 1);
    auto p = LoadPixmapFrom(BytesUrl(honest));
    ASSERT_TRUE(p);
    EXPECT_EQ(p->ReadPixel(0, 0), 0xFF010203u);
}

TEST(PixmapPng, LoadsFromAStreamAtItsCurrentPosition) {
    const auto png = Rgb2x2();
    auto bank = TBank::Create(static_cast<int>(png.size()) + 5);
    std::memset(bank->Buf(), 0, 5);
    std::memcpy(bank->Buf() + 5, png.data(), png.size());
    auto stream = TBankStream::Create(bank);
    stream->Seek(5);
    auto p = LoadPixmapFrom(TUrl(std::shared_ptr<TStream>(stream)));
    ASSERT_TRUE(p);
    EXPECT_EQ(p->ReadPixel(0, 0), 0xFFFF0000u);
}

} // namespace
