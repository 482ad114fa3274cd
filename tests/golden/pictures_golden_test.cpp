// The game's pictures and fonts drawn through real OpenGL (Mesa, offscreen), rotated and scaled, and
// compared with stored pictures. Tolerance: each channel within 3 of the stored value, and at most 0.5%
// of a picture's pixels outside that (filtering and rasterisers may round a few edge pixels differently).
// ZAP_UPDATE_GOLDEN=1 rewrites the pictures.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cstdlib>

#include "assets/embedded_assets.h"
#include "graphics/font.h"
#include "graphics/glimage.h"
#include "graphics/glcanvas.h"
#include "graphics/gles2image.h"
#include "graphics/graphics.h"
#include "graphics/image.h"
#include "graphics/overlap.h"
#include "support/gl_fixture.h"
#include "support/golden.h"
#include "support/test_support.h"

namespace {

class PicturesGolden : public ::testing::TestWithParam<TGLRenderer> {
  protected:
    static void SetUpTestSuite() {
        // Mesa hands out the name of a deleted texture again only when asked to, as many other
        // drivers always do; the texture-binding cache must cope with it.
        setenv("force_gl_names_reuse", "true", 0);
        RegisterEmbeddedAssets();
    }
    static void TearDownTestSuite() { CloseOffscreenGL(); }
    void SetUp() override {
        ZAP_REQUIRE_GL(OpenOffscreenGL(GetParam()));
        ResetOffscreenGL(BLEND_ALPHA);
        SelectImageFont(nullptr);
        // As the game loads them.
        SetAutoImageFlags(IMAGE_MASKED | IMAGE_FILTERED);
        SetImageMaskColour(0, 0, 0);
        SetAutoMidHandle(true);
    }
    void TearDown() override {
        SetRotationScale(0, 1, 1);
        SetAutoMidHandle(false);
    }
    void ExpectGolden(const std::string& name, int w, int h) { ExpectOffscreenGolden(name, w, h, 3); }
    static TImagePtr Single(const char* name) {
        return LoadImageSingle(TUrl(std::string("incbin::") + name), -1);
    }
    static TImagePtr Strip(const char* name) {
        return LoadImageCells(TUrl(std::string("incbin::") + name), 32, 32, 0, 6, -1);
    }
    static void Draw(TImage& image, float x, float y, float rot = 0, float scale = 1, int frame = 0) {
        SetRotationScale(rot, scale, scale);
        DrawImageFrame(image, x, y, frame);
        SetRotationScale(0, 1, 1);
    }

    // What either driver's frames keep: the texture, the display it was made for, its corner.
    struct TFrameInfo {
        GLuint name = 0;
        int seq = 0;
        float u1 = 0, v1 = 0;
    };
    static TFrameInfo Info(const TImageFramePtr& frame) {
        if (auto* f = dynamic_cast<TGLImageFrame*>(frame.get())) return {f->name, f->seq, f->u1, f->v1};
        if (auto* f = dynamic_cast<TGLES2ImageFrame*>(frame.get())) return {f->name, f->seq, f->u1, f->v1};
        ADD_FAILURE() << "not a GL frame";
        return {};
    }
    static TImageFramePtr MakeFrame(const TPixmapPtr& pixmap, int flags) {
        return CurrentCanvasDriver()->CreateFrameFromPixmap(pixmap, flags);
    }
};

ZAP_FOR_BOTH_GL_DRIVERS(PicturesGolden);

TEST_P(PicturesGolden, TheNineGamePicturesRotatedAndScaled) {
    auto base = Single("gfx_base.png"), charge = Strip("gfx_base_charge.png"),
         stat = Strip("gfx_base_static.png");
    auto bubble = Single("gfx_bubble.png"), ring = Single("gfx_ring.png"), spark1 = Single("gfx_spark1.png");
    auto spark2 = Single("gfx_spark2.png"), dark = Single("gfx_ring_dark.png"),
         light = Single("gfx_ring_light.png");
    ASSERT_TRUE(base && charge && stat && bubble && ring && spark1 && spark2 && dark && light);

    // Row 1: the base at the four player rotations, and both strips frame by frame.
    for (int i = 0; i < 4; ++i)
        Draw(*base, 60.0f + i * 90, 60, static_cast<float>(i * 90));
    for (int f = 0; f < 6; ++f) {
        Draw(*charge, 420.0f + f * 44, 40, 0, 1, f);
        Draw(*stat, 420.0f + f * 44, 84, 0, 1, f);
        Draw(*charge, 720.0f + f * 44, 60, static_cast<float>(f * 30), 1.25f, f);
    }
    // Row 2: the bubble at the game's three scales, one rotated; light blend as the game draws it.
    SetBlend(BLEND_LIGHT);
    Draw(*bubble, 90, 220, 0, 1.0f);
    Draw(*bubble, 230, 220, 30, 0.6f);
    Draw(*bubble, 320, 220, 0, 0.3f);
    SetColor(255, 64, 64);
    Draw(*bubble, 430, 220, 0, 0.6f);
    SetColor(64, 255, 64);
    SetAlpha(0.5f);
    Draw(*bubble, 470, 220, 0, 0.6f);
    SetAlpha(1);
    SetColor(255, 255, 255);
    Draw(*ring, 620, 220, 0, 1.0f);
    Draw(*spark1, 780, 220, 45, 0.8f);
    Draw(*spark2, 920, 220, 0, 0.7f);
    // Row 3: the dark ring in alpha blend over a grey patch, the light ring at each player's angle.
    SetBlend(BLEND_SOLID);
    SetColor(90, 90, 90);
    DrawRect(20, 380, 250, 250);
    SetColor(255, 255, 255);
    SetBlend(BLEND_ALPHA);
    Draw(*dark, 145, 505, 0, 1.5f);
    SetBlend(BLEND_LIGHT);
    for (int i = 0; i < 4; ++i)
        Draw(*light, 360.0f + i * 150, 505, static_cast<float>(i * 90), 1.0f);
    // A mirrored base and a stretched bubble.
    SetRotationScale(0, -1.5f, 1.5f);
    DrawImageFrame(*base, 140, 700, 0);
    SetRotationScale(20, 2.0f, 0.5f);
    DrawImageFrame(*bubble, 500, 700, 0);
    SetRotationScale(0, 1, 1);
    ExpectGolden("pictures_images", 1024, 768);
}

TEST_P(PicturesGolden, TextInTheThreeFonts) {
    auto small = LoadTextFont(TUrl("incbin::fnt_manaspc.ttf"), 16, 0);
    auto medium = LoadTextFont(TUrl("incbin::fnt_manaspc.ttf"), 24, 0);
    auto digital = LoadTextFont(TUrl("incbin::fnt_digital.ttf"), 128, FONT_SMOOTH);
    ASSERT_TRUE(small && medium && digital);
    SetBlend(BLEND_LIGHT);

    // The results panel (668 px) with "TIME UP!" centred in it, drawn twice as the results screen does.
    SetBlend(BLEND_SOLID);
    SetColor(40, 40, 80);
    DrawRect(50, 20, 668, 150);
    SetBlend(BLEND_LIGHT);
    SelectImageFont(digital);
    SetColor(255, 0, 0);
    const int w = StringWidth("TIME UP!");
    EXPECT_LE(w, 668);
    DrawString("TIME UP!", 384.0f - w / 2, 30);
    DrawString("TIME UP!", 384.0f - w / 2, 30);
    // The clock's ghost digits and a countdown word, the second turned and shrunk.
    SetColor(128, 10, 10);
    SetAlpha(0.5f);
    DrawString("888", 740, 30);
    SetAlpha(1);
    SetColor(255, 64, 64);
    DrawString("42", 740, 30);
    SetColor(255, 255, 0);
    SetRotationScale(-12, 0.6f, 0.6f);
    DrawString("THREE", 60, 230);
    SetRotationScale(0, 1, 1);

    // Menu texts in the UI fonts.
    SetColor(255, 255, 255);
    SelectImageFont(medium);
    DrawString("OPTIONS", 600, 320);
    DrawString("1234567", 600, 350);
    SelectImageFont(small);
    const char* lines[] = {"Round Time",
                           "Computer Players: ON",
                           "Catch-up Mode: OFF",
                           "Round Length: 2 Minutes",
                           "Press your switch to join!",
                           "Green wins the round"};
    for (int i = 0; i < 6; ++i)
        DrawString(lines[i], 600, 400.0f + i * 22);
    // Rotated a quarter turn the text runs downward; scaled, it grows about its start.
    SetRotationScale(90, 1, 1);
    DrawString("Human CPU", 560, 320);
    SetRotationScale(0, 2, 2);
    SelectImageFont(medium);
    DrawString("Yellow", 40, 560);
    SetRotationScale(0, 1, 1);
    // The built-in font.
    SelectImageFont(nullptr);
    SetColor(160, 255, 160);
    DrawString(" !\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_", 20, 680);
    DrawString("`abcdefghijklmnopqrstuvwxyz{|}~\x7f  The quick brown fox jumps over the lazy dog.", 20, 700);
    SetRotationScale(0, 2, 2);
    DrawString("AaBbGgJjQq 0123 !?@&", 260, 580);
    SetRotationScale(30, 2, 2);
    DrawString("8x16", 850, 620);
    SetRotationScale(0, 1, 1);
    ExpectGolden("pictures_text", 1024, 768);
}

TEST_P(PicturesGolden, TexturesArePowerOfTwoWithARepeatedEdge) {
    auto p = TPixmap::Create(20, 12, PIXEL_RGBA32);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 20; ++x)
            p->WritePixel(x, y, 0xFF000000u | (x * 12u) << 16 | (y * 20u) << 8 | 7u);
    auto frame = MakeFrame(p, 0);
    ASSERT_TRUE(frame);
    const TFrameInfo info = Info(frame);
    EXPECT_NE(info.name, 0u);
    EXPECT_EQ(info.seq, GraphicsGeneration());
    EXPECT_FLOAT_EQ(info.u1, 0.625f);
    EXPECT_FLOAT_EQ(info.v1, 0.75f);
    glBindTexture(GL_TEXTURE_2D, info.name);
    GLint tw = 0, th = 0, min_filter = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &tw);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &th);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &min_filter);
    EXPECT_EQ(tw, 32);
    EXPECT_EQ(th, 16);
    EXPECT_EQ(min_filter, GL_NEAREST);
    std::vector<uint8_t> texels(32 * 16 * 4);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    auto texel = [&](int x, int y) {
        const uint8_t* t = &texels[(y * 32 + x) * 4];
        return static_cast<uint32_t>(t[3]) << 24 | t[0] << 16 | t[1] << 8 | t[2];
    };
    EXPECT_EQ(texel(5, 6), p->ReadPixel(5, 6));
    for (int y = 0; y < 12; ++y)
        EXPECT_EQ(texel(20, y), p->ReadPixel(19, y));
    for (int x = 0; x < 20; ++x)
        EXPECT_EQ(texel(x, 12), p->ReadPixel(x, 11));
    EXPECT_EQ(texel(20, 12), p->ReadPixel(19, 11));

    auto square = MakeFrame(TPixmap::Create(32, 32, PIXEL_RGB24), IMAGE_FILTERED | IMAGE_MIPMAPPED);
    ASSERT_TRUE(square);
    EXPECT_FLOAT_EQ(Info(square).u1, 1.0f);
    EXPECT_FLOAT_EQ(Info(square).v1, 1.0f);
    glBindTexture(GL_TEXTURE_2D, Info(square).name);
    GLint w5 = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 5, GL_TEXTURE_WIDTH, &w5);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &min_filter);
    EXPECT_EQ(w5, 1); // the whole mipmap chain down to 1 x 1
    EXPECT_EQ(min_filter, GL_LINEAR_MIPMAP_LINEAR);
    glBindTexture(GL_TEXTURE_2D, CurrentCanvasDriver()->BoundTexture());

    // Deleting the frame deletes its texture while its display is open.
    const GLuint name = info.name;
    frame.reset();
    EXPECT_FALSE(glIsTexture(name));
}

TEST_P(PicturesGolden, ANewTextureUnderTheNameOfTheDeletedBoundOneIsDrawn) {
    // Two 8 x 8 pictures, red then green, drawn without filtering or masking.
    auto solid = [](uint32_t argb) {
        auto p = TPixmap::Create(8, 8, PIXEL_RGBA32);
        p->ClearPixels(argb);
        return LoadImageSingle(p, 0);
    };
    // The centre pixel of the 8 x 8 picture drawn centred on (x, 20).
    auto centre = [](int x) {
        std::vector<uint8_t> rgb;
        EXPECT_TRUE(CurrentCanvasDriver()->ReadPixelsRGB(x, 20, 1, 1, rgb));
        return rgb;
    };
    SetBlend(BLEND_SOLID);
    auto red = solid(0xFFFF0000u);
    DrawImageFrame(*red, 20, 20, 0);
    EXPECT_EQ(centre(20), (std::vector<uint8_t>{255, 0, 0}));
    const GLuint name = Info(red->Frame(0)).name;
    ASSERT_EQ(CurrentCanvasDriver()->BoundTexture(), name);

    // Deleting the bound texture unbinds it in GL; the driver still believes the name is bound.
    red.reset();
    ASSERT_FALSE(glIsTexture(name));
    auto green = solid(0xFF00FF00u);
    ASSERT_TRUE(green->Frame(0));
    ASSERT_EQ(Info(green->Frame(0)).name, name) << "GL did not hand the name out again";
    DrawImageFrame(*green, 60, 20, 0);
    EXPECT_EQ(centre(60), (std::vector<uint8_t>{0, 255, 0}));
}

TEST_P(PicturesGolden, TextureSizesHalveUntilTheDriverAcceptsThem) {
    GLint max = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max);
    ASSERT_GT(max, 0);
    // A frame wider than any texture is resampled to fit.
    auto wide = TPixmap::Create(max + 5, 2, PIXEL_RGBA32);
    wide->ClearPixels(0xFF336699);
    auto frame = MakeFrame(wide, 0);
    ASSERT_TRUE(frame);
    EXPECT_FLOAT_EQ(Info(frame).u1, 1.0f);
    EXPECT_FLOAT_EQ(Info(frame).v1, 1.0f);
    // The immediate-mode driver asks a proxy texture (OpenGL ES has none: the largest side is the limit).
    if (GetParam() != TGLRenderer::IMMEDIATE) return;
    int tw = 0, th = 0;
    GLTextureSize(1, 1, tw, th);
    EXPECT_EQ(tw, 1);
    EXPECT_EQ(th, 1);
    GLTextureSize(33, 128, tw, th);
    EXPECT_EQ(tw, 64);
    EXPECT_EQ(th, 128);
    // Far beyond the limit: both sides are halved together until the proxy accepts.
    GLTextureSize(max * 4, 8, tw, th);
    EXPECT_LE(tw, max);
    EXPECT_EQ(tw & (tw - 1), 0);
    EXPECT_EQ(th, std::max(1, 8 >> (__builtin_ctz(static_cast<unsigned>(max * 4)) -
                                    __builtin_ctz(static_cast<unsigned>(tw)))));
}

TEST_P(PicturesGolden, ImagesAreRebuiltForANewDisplay) {
    auto image = LoadImageSingle(TPixmap::Create(8, 8, PIXEL_RGBA32), 0);
    auto first = image->Frame(0);
    ASSERT_TRUE(first);
    const int seq = image->seqs[0];
    ASSERT_TRUE(OpenGraphics(1024, 768, 0, 0, 0));
    auto second = image->Frame(0);
    ASSERT_TRUE(second);
    EXPECT_NE(second, first);
    EXPECT_NE(image->seqs[0], seq);
    // The old frame belongs to a closed display: dropping it must not touch the new context's textures.
    const GLuint new_name = Info(second).name;
    first.reset();
    EXPECT_TRUE(glIsTexture(new_name));
}

} // namespace
