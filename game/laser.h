#pragma once
#include <array>

class TPlayer;

// A point in single precision: first and second coordinate.
struct TPointF {
    float x = 0.0f;
    float y = 0.0f;
    bool operator==(const TPointF&) const = default;
};

// Up to two crossings of a line and a circle, in order.
struct TCircleHits {
    int count = 0;
    std::array<TPointF, 2> pt{};

    const TPointF* begin() const { return pt.data(); }
    const TPointF* end() const { return pt.data() + count; }
    bool Empty() const { return count == 0; }
};

// Where the infinite line through p1 and p2 meets the circle (centre c,
// radius r): two points, the one with the larger first coordinate first, one
// point when the line only touches, none when it misses. p1 and p2 must
// differ in their first coordinate.
TCircleHits LineCircleHits(TPointF p1, TPointF p2, TPointF c, float r);

// The crossings of LineCircleHits that lie strictly inside the bounding box
// of p1 and p2, in the same order.
TCircleHits SegmentCircleHits(TPointF p1, TPointF p2, TPointF c, float r);

// The beam of player `index` (1..4) fired from a base at (x, y), in whole
// pixels: from the base's end across the playfield to the far end. The beam's
// afterglow is drawn along it.
struct TBeamLine {
    int near_x, near_y;
    int far_x, far_y;
};
TBeamLine BeamLine(int index, int x, int y);

// The ends of that beam as the hit test takes them: its far end and its near
// end, each moved 0.1 off the base's line (to either side) so that the segment
// is never exactly vertical.
void BeamEnds(int index, int x, int y, TPointF& far_end, TPointF& near_end);

// Fires player p's beam: every bubble it crosses pops, scores for p (outside
// the demonstration), leaves a ring, splits into two pieces owned by p unless
// it was of the smallest size, and plays a pop. Returns whether anything was hit.
bool SweepLaser(TPlayer& p);
