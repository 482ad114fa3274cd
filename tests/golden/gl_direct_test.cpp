// Drawing straight into GL next to the 2D renderer, and the image operations
// built on frame drawing, on a real GL context (Mesa, offscreen): exact pixel
// checks, since every shape here lies on whole pixels.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <array>
#include <vector>

#include "graphics/canvas.h"
#include "graphics/font.h"
#include "graphics/glcanvas.h"
#include "graphics/gldraw.h"
#include "graphics/image.h"
#include "support/gl_fixture.h"
#include "support/test_support.h"

namespace {

class GLDirect : public ::testing::TestWithParam<TGLRenderer> {
  protected:
    static void TearDownTestSuite() { CloseOffscreenGL(); }
    void SetUp() override {
        ZAP_REQUIRE_GL(OpenOffscreenGL(GetParam()));
        ResetOffscreenGL(BLEND_SOLID);
    }
    // The pixel at (x, y) as 0xRRGGBB.
    static unsigned Pixel(int x, int y) {
        std::vector<uint8_t> rgb;
        EXPECT_TRUE(CurrentCanvasDriver()->ReadPixelsRGB(x, y, 1, 1, rgb));
        return rgb.size() == 3 ? (rgb[0] << 16u) | (rgb[1] << 8u) | rgb[2] : 0xDEADu;
    }
};

ZAP_FOR_BOTH_GL_DRIVERS(GLDirect);

// Everything a helper may touch, read back from GL.
struct TGLSnapshot {
    std::array<GLfloat, 4> color{};
    std::array<GLfloat, 16> projection{}, modelview{};
    std::array<GLint, 4> scissor_box{}, viewport{};
    GLint matrix_mode = 0, binding = 0, blend_src = 0, blend_dst = 0, env_mode = 0, unpack_alignment = 0;
    GLboolean blend = 0, scissor = 0, texturing = 0, depth = 0;

    static TGLSnapshot Take() {
        TGLSnapshot s;
        glGetFloatv(GL_CURRENT_COLOR, s.color.data());
        glGetFloatv(GL_PROJECTION_MATRIX, s.projection.data());
        glGetFloatv(GL_MODELVIEW_MATRIX, s.modelview.data());
        glGetIntegerv(GL_SCISSOR_BOX, s.scissor_box.data());
        glGetIntegerv(GL_VIEWPORT, s.viewport.data());
        glGetIntegerv(GL_MATRIX_MODE, &s.matrix_mode);
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &s.binding);
        glGetIntegerv(GL_BLEND_SRC, &s.blend_src);
        glGetIntegerv(GL_BLEND_DST, &s.blend_dst);
        glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &s.env_mode);
        glGetIntegerv(GL_UNPACK_ALIGNMENT, &s.unpack_alignment);
        s.blend = glIsEnabled(GL_BLEND);
        s.scissor = glIsEnabled(GL_SCISSOR_TEST);
        s.texturing = glIsEnabled(GL_TEXTURE_2D);
        s.depth = glIsEnabled(GL_DEPTH_TEST);
        return s;
    }
    bool operator==(const TGLSnapshot&) const = default;
};

TPixmapPtr Quadrants() {
    // 8 x 8: red, green / blue, white.
    auto p = TPixmap::Create(8, 8, PIXEL_RGBA32);
    p->Window(0, 0, 4, 4)->ClearPixels(0xFFFF0000u);
    p->Window(4, 0, 4, 4)->ClearPixels(0xFF00FF00u);
    p->Window(0, 4, 4, 4)->ClearPixels(0xFF0000FFu);
    p->Window(4, 4, 4, 4)->ClearPixels(0xFFFFFFFFu);
    return p;
}

} // namespace

// The helpers draw where they say, in the pixel projection, and leave every
// piece of GL state as the 2D renderer set it.
TEST_P(GLDirect, HelpersDrawInPixelsAndRestoreTheGLState) {
    // State a renderer might have: a bound texture, alpha blending, a scissor,
    // a colour, texturing on, odd matrices.
    SetBlend(BLEND_ALPHA);
    SetViewport(0, 0, 600, 400);
    SetColor(10, 20, 30);
    auto image = LoadImageSingle(Quadrants(), 0);
    DrawImage(*image, 900, 700); // binds its texture and turns texturing on
    glMatrixMode(GL_MODELVIEW);
    glTranslatef(3, 4, 0);
    glColor4f(1, 1, 0, 1);
    const TGLSnapshot before = TGLSnapshot::Take();
    ASSERT_NE(before.binding, 0);

    GLDrawRect(10, 20, 30, 40);
    GLDrawText("A\nA", 100, 100);
    auto sprite = TPixmap::Create(6, 3, PIXEL_RGBA32);
    sprite->ClearPixels(0xFF00FFFFu);
    sprite->WritePixel(0, 0, 0x00000000u); // transparent: the background shows
    GLDrawPixmap(sprite, 200, 50);
    GLDrawPixmap(sprite, -3, 300); // half off the left edge
    const TGLSnapshot after = TGLSnapshot::Take();
    EXPECT_TRUE(before == after);
    glTranslatef(-3, -4, 0);
    glColor4ub(10, 20, 30, 255); // what the renderer believes

    // The rectangle covers exactly [10, 40) x [20, 60), in the GL colour.
    EXPECT_EQ(Pixel(10, 20), 0xFFFF00u);
    EXPECT_EQ(Pixel(39, 59), 0xFFFF00u);
    EXPECT_EQ(Pixel(9, 20), 0u);
    EXPECT_EQ(Pixel(40, 59), 0u);
    EXPECT_EQ(Pixel(39, 60), 0u);
    // "A" as the built-in font has it, twice, 16 rows apart.
    for (int row = 0; row < 16; ++row)
        for (int k = 0; k < 8; ++k) {
            const bool set = (DEFAULT_FONT_BITS[row * 96 + ('A' - 32)] >> k) & 1;
            EXPECT_EQ(Pixel(100 + k, 100 + row), set ? 0xFFFF00u : 0u) << k << "," << row;
            EXPECT_EQ(Pixel(100 + k, 116 + row), set ? 0xFFFF00u : 0u) << k << "," << row;
        }
    // The pixmap one to one in its own colours; its transparent pixel lets the background through.
    EXPECT_EQ(Pixel(200, 50), 0u);
    EXPECT_EQ(Pixel(201, 50), 0x00FFFFu);
    EXPECT_EQ(Pixel(205, 52), 0x00FFFFu);
    EXPECT_EQ(Pixel(206, 52), 0u);
    EXPECT_EQ(Pixel(0, 300), 0x00FFFFu);
    EXPECT_EQ(Pixel(2, 302), 0x00FFFFu);
    EXPECT_EQ(Pixel(3, 302), 0u);
}

TEST_P(GLDirect, TexturesFromPixmapsAreSizedPaddedAndOwned) {
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    auto pixmap = TPixmap::Create(20, 12, PIXEL_RGBA32);
    pixmap->ClearPixels(0xFF102030u);
    unsigned released = 0;
    {
        TGLTexture texture(pixmap, IMAGE_FILTERED);
        EXPECT_EQ(texture.Width(), 32);
        EXPECT_EQ(texture.Height(), 16);
        EXPECT_FLOAT_EQ(texture.U1(), 0.625f);
        EXPECT_FLOAT_EQ(texture.V1(), 0.75f);
        GLint now = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &now);
        EXPECT_EQ(now, bound);
        ASSERT_TRUE(glIsTexture(texture.Name()));
        // The padding column repeats the last one.
        std::vector<uint8_t> texels(32 * 16 * 4);
        glBindTexture(GL_TEXTURE_2D, texture.Name());
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
        glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(bound));
        EXPECT_EQ(texels[(5 * 32 + 20) * 4 + 2], 0x30);
        TGLTexture moved = std::move(texture);
        EXPECT_EQ(texture.Name(), 0u);
        EXPECT_TRUE(glIsTexture(moved.Name()));
        TGLTexture kept(pixmap, 0);
        released = kept.Release();
        const unsigned gone = moved.Name();
        moved = TGLTexture();
        EXPECT_FALSE(glIsTexture(gone));
    }
    EXPECT_TRUE(glIsTexture(released));
    const GLuint n = released;
    glDeleteTextures(1, &n);
    EXPECT_EQ(TGLTexture(TPixmapPtr(), 0).Name(), 0u);
}

// A sub-rectangle samples its part of the texture: the white quadrant of the
// quadrant picture, stretched four times, and the tiles of a viewport.
TEST_P(GLDirect, SubRectanglesAndTilesSampleTheRightTexels) {
    auto image = LoadImageSingle(Quadrants(), 0); // nearest sampling, handle (0, 0)
    DrawSubImageRect(*image, 100, 100, 16, 16, 4, 4, 4, 4);
    EXPECT_EQ(Pixel(100, 100), 0xFFFFFFu);
    EXPECT_EQ(Pixel(115, 115), 0xFFFFFFu);
    EXPECT_EQ(Pixel(116, 115), 0u);
    DrawSubImageRect(*image, 200, 100, 8, 4, 4, 0, 4, 4); // the green one, half as high
    EXPECT_EQ(Pixel(200, 100), 0x00FF00u);
    EXPECT_EQ(Pixel(207, 103), 0x00FF00u);
    EXPECT_EQ(Pixel(207, 104), 0u);

    SetViewport(50, 300, 21, 10);
    TileImage(*image, 2, 0);
    SetViewport(0, 0, 1024, 768);
    // Tiles start at x = 2 + 8 i, y = 8 j: (50, 300) lies at (0, 4) of a tile (blue), (54, 300) at (4, 4)
    // (white), (70, 309) at (4, 5); nothing outside the viewport.
    EXPECT_EQ(Pixel(50, 300), 0x0000FFu);
    EXPECT_EQ(Pixel(54, 300), 0xFFFFFFu);
    EXPECT_EQ(Pixel(70, 309), 0xFFFFFFu);
    EXPECT_EQ(Pixel(70, 304), 0x00FF00u);
    EXPECT_EQ(Pixel(49, 300), 0u);
    EXPECT_EQ(Pixel(71, 300), 0u);
    EXPECT_EQ(Pixel(60, 310), 0u);
}
