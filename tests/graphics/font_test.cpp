#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "assets/embedded_assets.h"
#include "graphics/font.h"
#include "image_fixture.h"
#include "platform/embed.h"
#include "support/test_support.h"

using image_test::RecordingContext;

namespace {

class FontTest : public ::testing::Test {
  protected:
    void SetUp() override {
        RegisterEmbeddedAssets();
        SelectImageFont(nullptr);
    }
    void TearDown() override { SelectImageFont(nullptr); }
};

TEST_F(FontTest, TheBuiltInFontMeasuresEightPixelsACharacter) {
    EXPECT_EQ(StringWidth("AB"), 16);
    EXPECT_EQ(StringWidth(""), 0);
    EXPECT_EQ(StringWidth("A\tB\x7f"), 24); // tab skipped, 127 has a glyph
    EXPECT_EQ(StringWidth("A\xC3\xA9"), 8); // U+00E9 is beyond the font: skipped
    EXPECT_EQ(FontLineHeight(), 16);
    auto font = DefaultImageFont();
    EXPECT_EQ(font->CountGlyphs(), 96);
    EXPECT_EQ(font->CharToGlyph(31), -1);
    EXPECT_EQ(font->CharToGlyph(32), 0);
    EXPECT_EQ(font->CharToGlyph(127), 95);
    EXPECT_EQ(font->CharToGlyph(128), -1);
    EXPECT_EQ(font->Style(), 0);
}

TEST_F(FontTest, TheBuiltInBitmapHasADistinctPictureForEveryCharacter) {
    std::set<std::vector<uint8_t>> seen;
    for (int j = 0; j < 96; ++j) {
        std::vector<uint8_t> glyph;
        for (int row = 0; row < 16; ++row)
            glyph.push_back(DEFAULT_FONT_BITS[row * 96 + j]);
        const bool blank = std::all_of(glyph.begin(), glyph.end(), [](uint8_t b) { return b == 0; });
        EXPECT_EQ(blank, j == 0) << "character " << (32 + j);
        EXPECT_TRUE(seen.insert(glyph).second) << "character " << (32 + j) << " repeats another";
    }
    // Glyph images: set bits opaque white, clear bits transparent, bit k is column k.
    auto g = DefaultImageFont()->LoadGlyph('A' - 32);
    ASSERT_TRUE(g && g->_image);
    EXPECT_EQ(g->_advance, 8);
    const TPixmap& p = *g->_image->pixmaps[0];
    for (int row = 0; row < 16; ++row)
        for (int k = 0; k < 8; ++k)
            EXPECT_EQ(p.ReadPixel(k, row), (DEFAULT_FONT_BITS[row * 96 + 33] >> k) & 1 ? 0xFFFFFFFFu : 0u);
}

TEST_F(FontTest, DrawStringFollowsTheMatrixHandleAndOrigin) {
    RecordingContext ctx;
    SelectImageFont(nullptr);
    DrawString("AB", 100, 50);
    auto quads = ctx.driver->Entries("image");
    ASSERT_EQ(quads.size(), 2u);
    EXPECT_EQ(quads[0].v, (std::vector<float>{100, 50, 108, 50, 108, 66, 100, 66}));
    EXPECT_EQ(quads[1].v[0], 108);

    // At rotation 90 the text runs down the screen.
    ctx.driver->ClearLog();
    SetDrawRotation(90);
    DrawString("A B", 100, 50);
    SetDrawRotation(0);
    quads = ctx.driver->Entries("image");
    ASSERT_EQ(quads.size(), 3u); // the space has a (blank) picture too
    EXPECT_NEAR(quads[1].v[1], 58, 1e-4);
    EXPECT_NEAR(quads[2].v[0], 100, 1e-4);
    EXPECT_NEAR(quads[2].v[1], 66, 1e-4);

    // Handle and origin; characters without a glyph do not move the pen.
    ctx.driver->ClearLog();
    SetDrawHandle(4, 8);
    SetDrawOrigin(1, 2);
    DrawString("\x01Z", 100, 50);
    SetDrawHandle(0, 0);
    SetDrawOrigin(0, 0);
    quads = ctx.driver->Entries("image");
    ASSERT_EQ(quads.size(), 1u);
    EXPECT_EQ(quads[0].v[0], 97);
    EXPECT_EQ(quads[0].v[1], 44);
}

TEST_F(FontTest, TheGameFontsLoadFromTheEmbeddedFiles) {
    auto small = LoadTextFont(TUrl("incbin::fnt_manaspc.ttf"), 16, 0);
    auto medium = LoadTextFont(TUrl("incbin::fnt_manaspc.ttf"), 24, 0);
    auto digital = LoadTextFont(TUrl("incbin::fnt_digital.ttf"), 128, FONT_SMOOTH);
    ASSERT_TRUE(small && medium && digital);
    EXPECT_GT(medium->Height(), small->Height());
    EXPECT_GT(digital->Height(), 64);
    EXPECT_EQ(digital->Style(), FONT_SMOOTH);
    EXPECT_EQ(digital->_imageFlags, IMAGE_FILTERED | IMAGE_MIPMAPPED);
    EXPECT_EQ(small->_imageFlags, 0);
    EXPECT_GE(small->CharToGlyph('A'), 0);
    EXPECT_EQ(small->CharToGlyph(0x4E00), -1); // a CJK character the face lacks

    SelectImageFont(small);
    const int w = StringWidth("SCORE");
    EXPECT_GT(w, 5 * 5);
    EXPECT_EQ(StringWidth("SCORE\xE4\xB8\x80"), w); // the missing character adds nothing
    EXPECT_EQ(FontLineHeight(), small->Height());

    // The results panel is 668 pixels wide.
    SelectImageFont(digital);
    const int time_up = StringWidth("TIME UP!");
    RecordProperty("time_up_width", time_up);
    std::printf("\"TIME UP!\" in the digital font at 128 px: %d px\n", time_up);
    EXPECT_LE(time_up, 668);
    EXPECT_GT(StringWidth("888"), 0);
}

TEST_F(FontTest, SmoothGlyphsGetATransparentBorder) {
    auto plain = LoadFontFrom(TUrl("incbin::fnt_digital.ttf"), 128, 0);
    auto smooth = LoadFontFrom(TUrl("incbin::fnt_digital.ttf"), 128, FONT_SMOOTH);
    ASSERT_TRUE(plain && smooth);
    const int n = plain->CharToGlyph('8');
    ASSERT_GE(n, 0);
    auto a = plain->LoadGlyph(n), b = smooth->LoadGlyph(n);
    ASSERT_TRUE(a && b && a->Pixels() && b->Pixels());
    int ax, ay, aw, ah, bx, by, bw, bh;
    a->GetRect(ax, ay, aw, ah);
    b->GetRect(bx, by, bw, bh);
    EXPECT_EQ(bx, ax - 1);
    EXPECT_EQ(by, ay - 1);
    EXPECT_EQ(bw, aw + 2);
    EXPECT_EQ(bh, ah + 2);
    EXPECT_EQ(a->Advance(), b->Advance());
    const TPixmap& pa = *a->Pixels();
    const TPixmap& pb = *b->Pixels();
    ASSERT_EQ(pb.width, aw + 2);
    ASSERT_EQ(pb.height, ah + 2);
    EXPECT_EQ(pb.format, PIXEL_ALPHA8);
    // The ink stays where FreeType put it; the border is clear.
    for (int y = 0; y < pb.height; ++y) {
        for (int x = 0; x < pb.width; ++x) {
            const bool border = x == 0 || y == 0 || x == pb.width - 1 || y == pb.height - 1;
            const uint8_t want = border ? 0 : *pa.PixelPtr(x - 1, y - 1);
            ASSERT_EQ(*pb.PixelPtr(x, y), want) << x << "," << y;
        }
    }
    // Grey levels are kept (anti-aliased), not thresholded.
    std::set<int> levels;
    for (int y = 0; y < pa.height; ++y)
        for (int x = 0; x < pa.width; ++x)
            levels.insert(*pa.PixelPtr(x, y));
    EXPECT_GT(levels.size(), 2u);
}

// A bitmap face with one fixed size of 10 pixels.
const char FIXED_BDF[] =
    "STARTFONT 2.1\n"
    "FONT -zap-fixed-medium-r-normal--10-100-75-75-c-60-iso10646-1\n"
    "SIZE 10 75 75\n"
    "FONTBOUNDINGBOX 6 10 0 -2\n"
    "STARTPROPERTIES 4\n"
    "PIXEL_SIZE 10\n"
    "FONT_ASCENT 8\n"
    "FONT_DESCENT 2\n"
    "DEFAULT_CHAR 32\n"
    "ENDPROPERTIES\n"
    "CHARS 2\n"
    "STARTCHAR space\nENCODING 32\nSWIDTH 600 0\nDWIDTH 6 0\nBBX 1 1 0 0\nBITMAP\n00\nENDCHAR\n"
    "STARTCHAR A\nENCODING 65\nSWIDTH 600 0\nDWIDTH 6 0\nBBX 6 8 0 0\nBITMAP\n"
    "30\n48\n84\n84\nFC\n84\n84\n84\nENDCHAR\n"
    "ENDFONT\n";

TEST_F(FontTest, ARefusedSizeFallsBackToTheLargestAccepted) {
    EmbedRegister("zap_test_fixed.bdf", FIXED_BDF, static_cast<int>(std::strlen(FIXED_BDF)));
    auto exact = LoadFontFrom(TUrl("incbin::zap_test_fixed.bdf"), 10, 0);
    ASSERT_TRUE(exact) << "FreeType reads BDF faces";
    auto larger = LoadFontFrom(TUrl("incbin::zap_test_fixed.bdf"), 14, 0);
    ASSERT_TRUE(larger);
    EXPECT_EQ(larger->Height(), exact->Height());
    EXPECT_FALSE(LoadFontFrom(TUrl("incbin::zap_test_fixed.bdf"), 9, 0)); // nothing at or below 9

    // A one-bit glyph becomes 255 and 0 per pixel, most significant bit first.
    const int n = larger->CharToGlyph('A');
    ASSERT_GE(n, 0);
    auto g = larger->LoadGlyph(n);
    ASSERT_TRUE(g && g->Pixels());
    const TPixmap& p = *g->Pixels();
    EXPECT_EQ(p.width, 6);
    EXPECT_EQ(*p.PixelPtr(2, 0), 255); // 0x30: columns 2 and 3
    EXPECT_EQ(*p.PixelPtr(1, 0), 0);
    EXPECT_EQ(*p.PixelPtr(5, 4), 255); // 0xFC
    EXPECT_EQ(g->Advance(), 6);
}

TEST_F(FontTest, LoadFailuresGiveNull) {
    EXPECT_FALSE(LoadTextFont(TUrl("incbin::no-such-font.ttf"), 16, 0));
    EXPECT_FALSE(LoadTextFont(TUrl("/no/such/font.ttf"), 16, 0));
    EXPECT_FALSE(LoadTextFont(TUrl(""), 16, 0));
    static const char junk[] = "this is not a font at all, just some text to read";
    EmbedRegister("zap_test_junk.ttf", junk, sizeof junk);
    EXPECT_FALSE(LoadTextFont(TUrl("incbin::zap_test_junk.ttf"), 16, 0));
    EXPECT_FALSE(LoadTextFont(TUrl("incbin::fnt_manaspc.ttf"), 0, 0));
    // A truncated face.
    const int size = EmbedSize("fnt_manaspc.ttf");
    ASSERT_GT(size, 100);
    EmbedRegister("zap_test_cut.ttf", EmbedData("fnt_manaspc.ttf"), 100);
    EXPECT_FALSE(LoadTextFont(TUrl("incbin::zap_test_cut.ttf"), 16, 0));
}

// A face found by fuzzing: one glyph's damaged outline spans thousands of times its size, and
// rendering it whole would take hundreds of megabytes.
TEST_F(FontTest, AGlyphFarLargerThanItsFaceStaysEmpty) {
    auto bank = TBank::Load(TUrl(SourceDir() + "/fuzz/corpus/freetype/huge_glyph_outline.bin"));
    ASSERT_TRUE(bank && bank->Size() > 1);
    const int size = 8 + (bank->Buf()[0] & 0x3F);
    auto font = LoadFreeTypeFontFromMemory(bank->Buf() + 1, static_cast<size_t>(bank->Size() - 1), size, 0);
    ASSERT_TRUE(font);
    int rendered = 0;
    for (int c = 32; c < 128; ++c) {
        const int n = font->CharToGlyph(c);
        if (n < 0) continue;
        auto g = font->LoadGlyph(n);
        ASSERT_TRUE(g);
        if (auto p = g->Pixels()) {
            ++rendered;
            EXPECT_LE(p->width, FONT_MAX_GLYPH_SPAN * size) << "character " << c;
            EXPECT_LE(p->height, FONT_MAX_GLYPH_SPAN * size) << "character " << c;
        }
    }
    EXPECT_GT(rendered, 0) << "the sound glyphs of the face still render";
}

TEST(FontText, DecodesUtf8AndKeepsStrayBytes) {
    EXPECT_EQ(DecodeText("A\xC3\xA9\xE2\x82\xAC"), (std::u32string{U'A', 0xE9, 0x20AC}));
    EXPECT_EQ(DecodeText("\xFF"
                         "a"),
              (std::u32string{0xFF, U'a'}));
    EXPECT_EQ(DecodeText("\xC3"), (std::u32string{0xC3})); // cut short
}

} // namespace
