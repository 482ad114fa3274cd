#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "graphics/image.h"

// Pixel-accurate overlap of transformed image frames. Frames (and plain rectangles) are placed as quads
// exactly where DrawImageFrame would draw them, into up to 32 collision layers, and tested against the
// quads already there: two quads collide when on some pixel of the display grid both cover the pixel and
// both are solid there (alpha of 128 or more, or a frame without alpha).

// One placed quad.
struct TQuad {
    std::shared_ptr<void> id; // reported on a hit
    TPixmapPtr mask;          // null: solid everywhere
    int frame = 0;
    float minx = 0, miny = 0, maxx = 0, maxy = 0;
    float xyuv[16] = {}; // four corners, each x, y, u, v
};

using TCollisionIds = std::vector<std::shared_ptr<void>>;

// Places the image frame (with the current collision matrix and drawing origin) and returns the ids of
// the quads it hits in the read layers; then adds it to the write layers. Layers are bits of the masks.
TCollisionIds CollideImageQuad(TImage& image, float x, float y, int frame, uint32_t read_layers,
                               uint32_t write_layers, std::shared_ptr<void> id = nullptr);
// The same for a solid rectangle with corners (0, 0) and (w, h) relative to the position.
TCollisionIds CollideRectQuad(float x, float y, float w, float h, uint32_t read_layers, uint32_t write_layers,
                              std::shared_ptr<void> id = nullptr);
// Empties the layers whose bits are set (0: all 32); their quads are recycled.
void ClearCollisionLayers(uint32_t mask);

// True when the two frames, drawn at those positions with the current rotation and scale, share a solid
// pixel. Uses layer 31, which keeps image 1's quad until the next clear.
bool ImagesOverlap(TImage& image1, float x1, float y1, int frame1, TImage& image2, float x2, float y2,
                   int frame2);
// The same with a rotation and scale for each image; the drawing rotation and scale are restored.
bool ImagesOverlapTransformed(TImage& image1, float x1, float y1, int frame1, float rot1, float sx1,
                              float sy1, TImage& image2, float x2, float y2, int frame2, float rot2,
                              float sx2, float sy2);

// The quad-against-quad test on its own (bounding boxes, then the shared scan conversion).
bool QuadsOverlap(const TQuad& a, const TQuad& b);
// Quads in the recycling list and in all layers (for tests of the recycling).
int CollisionFreeQuads();
int CollisionLayerQuads(int layer);
