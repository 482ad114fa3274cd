#include <gtest/gtest.h>

#include "assets/embedded_assets.h"
#include "graphics/image.h"
#include "image_fixture.h"

using image_test::RecordingContext;

namespace {

// A strip of cells, each filled with its own colour: cell c is 0xFF0000c0 + c.
TPixmapPtr CellSheet(int across, int down, int cell, int format = PIXEL_RGB24) {
    auto p = TPixmap::Create(across * cell, down * cell, format);
    for (int cy = 0; cy < down; ++cy)
        for (int cx = 0; cx < across; ++cx)
            p->Window(cx * cell, cy * cell, cell, cell)->ClearPixels(0xFF0000C0u + cy * across + cx);
    return p;
}

class ImageTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetAutoMidHandle(false);
        SetAutoImageFlags(IMAGE_MASKED | IMAGE_FILTERED);
        SetImageMaskColour(0, 0, 0);
    }
    void TearDown() override { SetAutoMidHandle(false); }
};

TEST_F(ImageTest, CellsAreWindowsNumberedAcrossThenDown) {
    auto strip = CellSheet(6, 1, 32);
    auto image = LoadImageCells(strip, 32, 32, 0, 6, 0);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, 32);
    EXPECT_EQ(image->FrameCount(), 6);
    // Cell 4 is the window at (128, 0).
    EXPECT_EQ(image->pixmaps[4]->ReadPixel(0, 0), strip->ReadPixel(128, 0));
    EXPECT_EQ(image->pixmaps[4]->ReadPixel(31, 31), 0xFF0000C4u);
    // Frames are copies that own their memory.
    EXPECT_GE(image->pixmaps[4]->capacity, 0);
    strip->ClearPixels(0);
    EXPECT_EQ(image->pixmaps[4]->ReadPixel(0, 0), 0xFF0000C4u);

    EXPECT_FALSE(LoadImageCells(CellSheet(6, 1, 32), 32, 32, 0, 7, 0)); // too few cells
    EXPECT_FALSE(LoadImageCells(CellSheet(6, 1, 32), 32, 32, 5, 2, 0));

    auto sheet = CellSheet(2, 2, 16); // cells 0 1 / 2 3
    auto part = LoadImageCells(sheet, 16, 16, 1, 3, 0);
    ASSERT_TRUE(part);
    EXPECT_EQ(part->pixmaps[0]->ReadPixel(5, 5), 0xFF0000C1u);
    EXPECT_EQ(part->pixmaps[1]->ReadPixel(5, 5), 0xFF0000C2u); // second row starts at (0, 16)
    EXPECT_EQ(part->pixmaps[2]->ReadPixel(5, 5), 0xFF0000C3u);
    // A sheet that is not a whole number of cells: the remainder is ignored.
    EXPECT_TRUE(LoadImageCells(CellSheet(1, 1, 40), 32, 32, 0, 1, 0));
    EXPECT_FALSE(LoadImageCells(TPixmapPtr(), 32, 32, 0, 1, 0));
}

TEST_F(ImageTest, FramesWithoutAlphaAreMaskedWhenAsked) {
    auto rgb = TPixmap::Create(2, 1, PIXEL_RGB24);
    rgb->WritePixel(0, 0, 0xFF000000);
    rgb->WritePixel(1, 0, 0xFF804020);
    auto masked = LoadImageSingle(rgb, IMAGE_MASKED);
    ASSERT_TRUE(masked);
    EXPECT_EQ(masked->pixmaps[0]->format, PIXEL_RGBA32);
    EXPECT_EQ(masked->pixmaps[0]->ReadPixel(0, 0), 0x00804020u);
    EXPECT_EQ(masked->pixmaps[0]->ReadPixel(1, 0), 0xFF804020u);

    auto plain = LoadImageSingle(rgb, IMAGE_FILTERED);
    EXPECT_EQ(plain->pixmaps[0], rgb); // kept as it is

    auto rgba = TPixmap::Create(1, 1, PIXEL_RGBA32);
    rgba->WritePixel(0, 0, 0x80000000);
    auto with_alpha = LoadImageSingle(rgba, IMAGE_MASKED);
    EXPECT_EQ(with_alpha->pixmaps[0]->ReadPixel(0, 0), 0x80000000u); // has alpha: not masked

    SetImageMaskColour(0x80, 0x40, 0x20);
    auto other = LoadImageSingle(rgb, -1);
    EXPECT_EQ(other->mask_r, 0x80);
    EXPECT_EQ(other->pixmaps[0]->ReadPixel(1, 0), 0x00000000u); // the mask colour, no visible neighbour
    EXPECT_EQ(other->pixmaps[0]->ReadPixel(0, 0), 0xFF000000u);
}

TEST_F(ImageTest, AutomaticFlagsAndHandles) {
    SetAutoImageFlags(-1);
    EXPECT_EQ(AutoImageFlags(), IMAGE_MASKED | IMAGE_FILTERED);
    auto blank = CreateBlankImage(64, 48, 2, -1);
    EXPECT_EQ(blank->flags, IMAGE_MASKED | IMAGE_FILTERED | IMAGE_DYNAMIC);
    EXPECT_EQ(blank->handle_x, 0);
    SetAutoMidHandle(true);
    blank = CreateBlankImage(64, 48, 1, IMAGE_FILTERED);
    EXPECT_EQ(blank->flags, IMAGE_FILTERED | IMAGE_DYNAMIC);
    EXPECT_FLOAT_EQ(blank->handle_x, 32);
    EXPECT_FLOAT_EQ(blank->handle_y, 24);
    auto odd = LoadImageSingle(TPixmap::Create(5, 3, PIXEL_RGBA32), -1);
    EXPECT_FLOAT_EQ(odd->handle_x, 2.5f);
    EXPECT_FLOAT_EQ(odd->handle_y, 1.5f);

    // Lock makes a pixmap of the image's size when there is none.
    auto p = blank->Lock(0, true, true);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->width, 64);
    EXPECT_EQ(p->format, PIXEL_RGBA32);
    EXPECT_EQ(p->ReadPixel(63, 47), 0u);
    EXPECT_EQ(blank->Lock(0, true, false), p);
    EXPECT_FALSE(blank->Lock(1, true, false));
    EXPECT_FALSE(blank->Frame(-1));
}

TEST_F(ImageTest, DrawPlacesTheHandleAtThePosition) {
    RecordingContext ctx;
    SetAutoMidHandle(true);
    auto image = CreateBlankImage(64, 48, 1, 0);
    DrawImageFrame(*image, 100, 100, 0);
    auto quads = ctx.driver->Entries("image");
    ASSERT_EQ(quads.size(), 1u);
    EXPECT_EQ(quads[0].v, (std::vector<float>{68, 76, 132, 76, 132, 124, 68, 124}));

    // The origin moves it; the drawing handle does not.
    ctx.driver->ClearLog();
    SetDrawOrigin(10, 5);
    SetDrawHandle(100, 100);
    DrawImageFrame(*image, 100, 100, 0);
    quads = ctx.driver->Entries("image");
    ASSERT_EQ(quads.size(), 1u);
    EXPECT_EQ(quads[0].v, (std::vector<float>{78, 81, 142, 81, 142, 129, 78, 129}));
    SetDrawOrigin(0, 0);
    SetDrawHandle(0, 0);

    // Rotation turns it about the position.
    ctx.driver->ClearLog();
    SetDrawRotation(90);
    DrawImageFrame(*image, 100, 100, 0);
    SetDrawRotation(0);
    quads = ctx.driver->Entries("image");
    ASSERT_EQ(quads.size(), 1u);
    const float expect[8] = {124, 68, 124, 132, 76, 132, 76, 68};
    for (int i = 0; i < 8; ++i)
        EXPECT_NEAR(quads[0].v[i], expect[i], 1e-3) << i;
}

// A part of a frame is drawn as a picture of its own with the handle scaled; the whole frame at its own
// size is exactly DrawImageFrame.
TEST_F(ImageTest, SubRectanglesScaleTheHandleAndNameTheirPartOfTheFrame) {
    RecordingContext ctx;
    SetAutoMidHandle(true);
    auto image = CreateBlankImage(64, 48, 1, 0);
    DrawSubImageRect(*image, 100, 100, 64, 48, 0, 0, 64, 48);
    DrawImageFrame(*image, 100, 100);
    auto whole = ctx.driver->Entries("image-part");
    ASSERT_EQ(whole.size(), 1u);
    EXPECT_EQ(whole[0].v, (std::vector<float>{68, 76, 132, 76, 132, 124, 68, 124, 0, 0, 1, 1}));
    EXPECT_EQ(ctx.driver->Entries("image")[0].v,
              std::vector<float>(whole[0].v.begin(), whole[0].v.begin() + 8));

    // The right half (32 x 48 from (32, 0)) stretched to 16 x 24: handle (32, 24) becomes (16, 12).
    ctx.driver->ClearLog();
    SetDrawOrigin(10, 0);
    DrawSubImageRect(*image, 100, 100, 16, 24, 32, 0, 32, 48);
    DrawSubImageRect(*image, 100, 100, 16, 24, 32, 0, 0, 48); // an empty part draws nothing
    SetDrawOrigin(0, 0);
    auto half = ctx.driver->Entries("image-part");
    ASSERT_EQ(half.size(), 1u);
    EXPECT_EQ(half[0].v, (std::vector<float>{94, 88, 110, 88, 110, 112, 94, 112, 0.5f, 0, 1, 1}));
}

// Tiles cover exactly the viewport: the first and last row and column reach into it, none lies wholly
// outside, whatever the rotation (which is put back afterwards).
TEST_F(ImageTest, TilesCoverTheViewportAndNoMore) {
    RecordingContext ctx;
    SetAutoMidHandle(true);
    auto image = CreateBlankImage(32, 32, 1, 0); // handle (16, 16): the grid runs through -16
    auto corners = [&] {
        std::vector<std::pair<float, float>> out;
        for (const auto& e : ctx.driver->Entries("image")) {
            EXPECT_EQ(e.v[2] - e.v[0], 32); // unrotated, unscaled
            EXPECT_EQ(e.v[5] - e.v[3], 32);
            out.emplace_back(e.v[0], e.v[1]);
        }
        ctx.driver->ClearLog();
        return out;
    };
    SetViewport(10, 20, 100, 50);
    SetDrawRotation(30);
    SetDrawScale(2, 2);
    TileImage(*image);
    const auto tiles = corners();
    ASSERT_EQ(tiles.size(), 8u); // columns at -16 16 48 80, rows at 16 48
    EXPECT_EQ(tiles.front(), (std::pair<float, float>{-16, 16}));
    EXPECT_EQ(tiles[3], (std::pair<float, float>{80, 16}));
    EXPECT_EQ(tiles.back(), (std::pair<float, float>{80, 48}));
    DrawImageFrame(*image, 0, 0);
    EXPECT_NE(ctx.driver->Entries("image")[0].v[1], ctx.driver->Entries("image")[0].v[3]); // rotated again
    ctx.driver->ClearLog();
    SetRotationScale(0, 1, 1);

    // Viewport edges on tile edges: the tiles just outside are not drawn. A position far from the
    // viewport gives the same grid.
    SetViewport(16, 16, 96, 32);
    TileImage(*image, 32 * 1000, -32 * 7);
    const auto aligned = corners();
    ASSERT_EQ(aligned.size(), 3u);
    EXPECT_EQ(aligned.front(), (std::pair<float, float>{16, 16}));
    EXPECT_EQ(aligned.back(), (std::pair<float, float>{80, 16}));
    // The origin shifts the grid by half a tile: the viewport now meets four columns and two rows.
    SetDrawOrigin(16, 16);
    TileImage(*image);
    EXPECT_EQ(corners().size(), 8u);
    SetDrawOrigin(0, 0);
    SetViewport(0, 0, 0, 0);
    TileImage(*image);
    EXPECT_TRUE(corners().empty());
}

TEST_F(ImageTest, DriverFramesAreMadeOncePerDisplay) {
    RecordingContext ctx;
    auto image = LoadImageSingle(TPixmap::Create(8, 8, PIXEL_RGBA32), 0);
    auto f1 = image->Frame(0);
    ASSERT_TRUE(f1);
    EXPECT_EQ(image->Frame(0), f1);
    EXPECT_EQ(ctx.driver->Entries("frame").size(), 1u);
    EXPECT_EQ(image->seqs[0], GraphicsGeneration());

    image->Lock(0, true, false); // reading keeps the frame
    EXPECT_EQ(image->Frame(0), f1);
    image->Lock(0, true, true); // writing drops it
    EXPECT_EQ(image->seqs[0], 0);
    auto f2 = image->Frame(0);
    EXPECT_NE(f2, f1);
    image->SetPixmap(0, TPixmap::Create(8, 8, PIXEL_RGBA32));
    EXPECT_FALSE(image->frames[0]);
    image->Frame(0);
    EXPECT_EQ(ctx.driver->Entries("frame").size(), 3u);

    // A new display: the old frame is stale and rebuilt at the next use.
    const int before = GraphicsGeneration();
    OpenGraphics(1024, 768, 0, 0, 0);
    EXPECT_NE(GraphicsGeneration(), before);
    image->Frame(0);
    EXPECT_EQ(image->seqs[0], GraphicsGeneration());
    EXPECT_EQ(ctx.driver->Entries("frame").size(), 4u);
}

TEST_F(ImageTest, NothingIsDrawnWithoutAContext) {
    CloseOpenedGraphics();
    SetGraphics(nullptr);
    auto image = LoadImageSingle(TPixmap::Create(8, 8, PIXEL_RGBA32), 0);
    DrawImageFrame(*image, 1, 2, 0); // must not crash
    EXPECT_FALSE(image->Frame(0));
    EXPECT_EQ(image->seqs[0], 0);
}

TEST(ImageTexture, SmallFramesArePaddedWithTheirLastRowAndColumn) {
    auto p = TPixmap::Create(20, 12, PIXEL_RGB24);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 20; ++x)
            p->WritePixel(x, y, 0xFF000000u | (y << 8) | x);
    int w = 0, h = 0;
    auto t = PadPixmapForTexture(p, 32, 16, w, h);
    EXPECT_EQ(w, 20);
    EXPECT_EQ(h, 12);
    ASSERT_EQ(t->width, 32);
    ASSERT_EQ(t->height, 16);
    EXPECT_EQ(t->format, PIXEL_RGBA32);
    for (int y = 0; y < 12; ++y)
        EXPECT_EQ(t->ReadPixel(20, y), p->ReadPixel(19, y)) << y;
    for (int x = 0; x < 20; ++x)
        EXPECT_EQ(t->ReadPixel(x, 12), p->ReadPixel(x, 11)) << x;
    EXPECT_EQ(t->ReadPixel(20, 12), p->ReadPixel(19, 11));
    EXPECT_EQ(t->ReadPixel(7, 5), p->ReadPixel(7, 5));
    EXPECT_EQ(t->ReadPixel(21, 3), 0u); // beyond the repeated column: transparent
    EXPECT_EQ(t->ReadPixel(31, 15), 0u);

    // Exact sizes need no padding: the pixmap in RGBA.
    auto square = TPixmap::Create(32, 32, PIXEL_RGBA32);
    EXPECT_EQ(PadPixmapForTexture(square, 32, 32, w, h), square);
    auto grey = TPixmap::Create(4, 4, PIXEL_LUMINANCE8);
    grey->ClearPixels(0xFF404040);
    auto conv = PadPixmapForTexture(grey, 4, 4, w, h);
    EXPECT_EQ(conv->format, PIXEL_RGBA32);
    EXPECT_EQ(conv->ReadPixel(3, 3), 0xFF404040u);

    // A texture smaller than the frame: the frame is resampled to fit.
    auto wide = TPixmap::Create(40, 8, PIXEL_RGBA32);
    wide->ClearPixels(0xFF102030);
    auto fit = PadPixmapForTexture(wide, 32, 8, w, h);
    EXPECT_EQ(w, 32);
    EXPECT_EQ(h, 8);
    EXPECT_EQ(fit->width, 32);
    EXPECT_EQ(fit->ReadPixel(31, 7), 0xFF102030u);
}

TEST(ImageAssets, TheGamePicturesLoadWithTheirSizesAndFormats) {
    RegisterEmbeddedAssets();
    SetAutoImageFlags(IMAGE_MASKED | IMAGE_FILTERED);
    SetImageMaskColour(0, 0, 0);
    const struct {
        const char* name;
        int w, h;
    } singles[] = {{"gfx_base.png", 64, 32},        {"gfx_bubble.png", 128, 128},
                   {"gfx_ring.png", 128, 128},      {"gfx_spark1.png", 128, 128},
                   {"gfx_spark2.png", 128, 128},    {"gfx_ring_dark.png", 128, 128},
                   {"gfx_ring_light.png", 128, 128}};
    for (const auto& s : singles) {
        auto image = LoadImageSingle(TUrl(std::string("incbin::") + s.name), -1);
        ASSERT_TRUE(image) << s.name;
        EXPECT_EQ(image->width, s.w) << s.name;
        EXPECT_EQ(image->height, s.h) << s.name;
        // Every picture ends up with alpha: the bubble has its own, the others are masked.
        EXPECT_TRUE(image->pixmaps[0]->HasAlpha()) << s.name;
    }
    for (const char* strip : {"gfx_base_charge.png", "gfx_base_static.png"}) {
        auto image = LoadImageCells(TUrl(std::string("incbin::") + strip), 32, 32, 0, 6, -1);
        ASSERT_TRUE(image) << strip;
        EXPECT_EQ(image->FrameCount(), 6);
    }
    auto raw = LoadPixmapFrom(TUrl("incbin::gfx_bubble.png"));
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->format, PIXEL_RGBA32);
    auto dark = LoadPixmapFrom(TUrl("incbin::gfx_ring_dark.png"));
    ASSERT_TRUE(dark);
    EXPECT_EQ(dark->format, PIXEL_LUMINANCE8);
}

} // namespace
