#pragma once
#include <memory>
#include <vector>

#include "graphics/pixmap.h"
#include "platform/stream.h"

// Images: drawable pictures of one or more equally sized frames. Each frame keeps its pixels in a
// pixmap and, lazily, a driver-side frame (a texture) made for the display open at the time.

constexpr int IMAGE_MASKED = 1;    // frames without alpha: pixels of the mask colour become transparent
constexpr int IMAGE_FILTERED = 2;  // bilinear filtering, else nearest
constexpr int IMAGE_MIPMAPPED = 4; // a full mipmap chain
constexpr int IMAGE_DYNAMIC = 8;   // added by CreateBlankImage

// A driver-side frame.
class TImageFrame {
  public:
    virtual ~TImageFrame() = default;
    // Draws the frame's picture over the local rectangle (x0, y0)-(x1, y1), each corner transformed by the
    // current matrix and moved by (tx, ty).
    virtual void Draw(float x0, float y0, float x1, float y1, float tx, float ty) = 0;
    // The same for a part of the picture: (s0, t0)-(s1, t1) in fractions of the frame's width and height
    // ((0, 0) its top-left corner, (1, 1) its bottom-right) is drawn over the rectangle. A part reaching
    // outside the frame repeats the frame's edge pixels.
    virtual void DrawPart(float x0, float y0, float x1, float y1, float tx, float ty, float s0, float t0,
                          float s1, float t1) = 0;
};
using TImageFramePtr = std::shared_ptr<TImageFrame>;

// Builds the RGBA picture uploaded as texture level 0 for a pixmap and texture size: resampled down
// when the texture is smaller, padded with one repeated row and column when it is larger.
// Sets w and h to the size of the picture inside the texture.
TPixmapPtr PadPixmapForTexture(const TPixmapPtr& pixmap, int tw, int th, int& w, int& h);

class TImage;
using TImagePtr = std::shared_ptr<TImage>;

class TImage {
  public:
    int width = 0, height = 0;
    int flags = 0;
    int mask_r = 0, mask_g = 0, mask_b = 0;
    float handle_x = 0, handle_y = 0;
    std::vector<TPixmapPtr> pixmaps;
    std::vector<TImageFramePtr> frames;
    std::vector<int> seqs;

    int FrameCount() const { return static_cast<int>(pixmaps.size()); }

    // The driver frame for the current display, made on first use (null when it cannot be made or
    // the index is out of range).
    TImageFramePtr Frame(int index);
    // The frame's pixmap (a transparent RGBA pixmap of the image's size is created when there is none).
    // Writing drops the cached driver frame. Null for an index out of range.
    TPixmapPtr Lock(int index, bool read, bool write);
    void Unlock(int /*index*/) {}
    void SetPixmap(int index, TPixmapPtr pixmap);

    static TImagePtr Create(int width, int height, int frame_count, int flags, int mask_r, int mask_g,
                            int mask_b);
    static TImagePtr Load(const TUrl& url, int flags, int mask_r, int mask_g, int mask_b);
    static TImagePtr Load(const TPixmapPtr& pixmap, int flags, int mask_r, int mask_g, int mask_b);
    static TImagePtr LoadAnim(const TUrl& url, int cell_width, int cell_height, int first_cell,
                              int cell_count, int flags, int mask_r, int mask_g, int mask_b);
    static TImagePtr LoadAnim(const TPixmapPtr& pixmap, int cell_width, int cell_height, int first_cell,
                              int cell_count, int flags, int mask_r, int mask_g, int mask_b);
};

// Module operations. flags -1 means the automatic image flags.
TImagePtr LoadImageSingle(const TUrl& url, int flags = -1);
TImagePtr LoadImageSingle(const TPixmapPtr& pixmap, int flags = -1);
TImagePtr LoadImageCells(const TUrl& url, int cell_width, int cell_height, int first_cell, int cell_count,
                         int flags = -1);
TImagePtr LoadImageCells(const TPixmapPtr& pixmap, int cell_width, int cell_height, int first_cell,
                         int cell_count, int flags = -1);
TImagePtr CreateBlankImage(int width, int height, int frame_count = 1, int flags = -1);
void CentreImageHandle(TImage& image);
void PlaceImageHandle(TImage& image, float x, float y);
void SetAutoMidHandle(bool on);
bool AutoMidHandle();
void SetAutoImageFlags(int flags); // -1 changes nothing
int AutoImageFlags();
void SetImageMaskColour(int r, int g, int b);
int ImageWidth(const TImage& image);
int ImageHeight(const TImage& image);
TPixmapPtr LockImage(TImage& image, int frame = 0, bool read = true, bool write = true);
void UnlockImage(TImage& image, int frame = 0);
// Reads the screen rectangle at (x, y) of the image's size into a frame (masked first when the image is).
void GrabImage(TImage& image, int x, int y, int frame = 0);

// Draws the frame with the image's handle at (x, y) plus the drawing origin, through the current
// colour, alpha, blend, rotation and scale. Does nothing without a current 2D context.
void DrawImageFrame(TImage& image, float x, float y, int frame = 0);
// The same under its shorter name.
inline void DrawImage(TImage& image, float x, float y, int frame = 0) {
    DrawImageFrame(image, x, y, frame);
}

// Draws the part of a frame that starts at (sx, sy) in its pixels and is sw x sh big, stretched over a
// w x h picture of its own, through the same state as DrawImageFrame. That picture's handle is the
// image's handle scaled by w / sw and h / sh, so the whole frame at its own size (sx = sy = 0, sw = w =
// width, sh = h = height) draws exactly as DrawImageFrame. A part reaching outside the frame repeats its
// edge pixels; with filtering, texels just outside the part blend into its border. Nothing is drawn when
// sw or sh is 0.
void DrawSubImageRect(TImage& image, float x, float y, float w, float h, float sx, float sy, float sw,
                      float sh, int frame = 0);

// Covers the viewport with copies of a frame, at its own size whatever the rotation and scale (the
// drawing matrix is set aside for the tiles and put back after). The copies lie on a grid of the image's
// width and height through the place DrawImageFrame(image, x, y) would draw the frame: top-left corners at
// (x + origin x - handle x + i * width, y + origin y - handle y + j * height) for whole numbers i and j.
// Exactly the copies that overlap the viewport are drawn, row by row from the top, each row from the
// left; the viewport clips the outer ones. Colour, alpha and blend apply as for DrawImageFrame.
void TileImage(TImage& image, float x = 0, float y = 0, int frame = 0);
