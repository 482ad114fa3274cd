#include "game/laser.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <utility>

#include "audio/sound.h"
#include "game/angles.h"
#include "game/bubble.h"
#include "game/effects.h"
#include "game/globals.h"
#include "game/player.h"
#include "game/playfield.h"

// The whole game must run the same on every build, so the precision of each
// step below is fixed: the line's slope and offset and the quadratic's first
// two coefficients are single precision, the constant term and discriminant
// double, each root is worked out in double and rounded once.
TCircleHits LineCircleHits(TPointF p1, TPointF p2, TPointF c, float r) {
    const float m = (p2.y - p1.y) / (p2.x - p1.x);
    const float mx = m * p2.x;
    const float b = p2.y - mx;
    const float d = b - c.y;
    const float mm = m * m;
    const float qa = mm + 1.0f;
    const float m2 = 2.0f * m;
    const float m2d = m2 * d;
    const float cx2 = 2.0f * c.x;
    const float qb = m2d - cx2;
    const double qc =
        static_cast<double>(c.x) * c.x + static_cast<double>(d) * d - static_cast<double>(r) * r;
    const double disc = static_cast<double>(qb) * qb - 4.0 * static_cast<double>(qa) * qc;

    TCircleHits hits;
    auto add = [&](float u) {
        const float mu = m * u;
        hits.pt[static_cast<std::size_t>(hits.count++)] = TPointF{u, mu + b};
    };
    if (disc > 0.0) {
        const double s = std::sqrt(disc);
        add(static_cast<float>((-static_cast<double>(qb) + s) / (2.0 * qa)));
        add(static_cast<float>((-static_cast<double>(qb) - s) / (2.0 * qa)));
    } else if (disc == 0.0) {
        add(static_cast<float>(-static_cast<double>(qb) / (2.0 * qa)));
    }
    return hits;
}

TCircleHits SegmentCircleHits(TPointF p1, TPointF p2, TPointF c, float r) {
    const TCircleHits line = LineCircleHits(p1, p2, c, r);
    const float x0 = std::min(p1.x, p2.x), x1 = std::max(p1.x, p2.x);
    const float y0 = std::min(p1.y, p2.y), y1 = std::max(p1.y, p2.y);
    TCircleHits hits;
    for (const TPointF& q : line)
        if (x0 < q.x && q.x < x1 && y0 < q.y && q.y < y1) hits.pt[static_cast<std::size_t>(hits.count++)] = q;
    return hits;
}

namespace {

// Bases 1 and 2 (bottom and top) fire up and down the playfield.
bool VerticalBeam(int index) {
    return index == 1 || index == 2;
}

TPointF Swapped(TPointF p) {
    return TPointF{p.y, p.x};
}

} // namespace

TBeamLine BeamLine(int index, int x, int y) {
    switch (index) {
    case 1:
        return {x, 738, x, 192};
    case 2:
        return {x, 30, x, 576};
    case 3:
        return {30, y, 576, y};
    default:
        return {738, y, 192, y};
    }
}

void BeamEnds(int index, int x, int y, TPointF& far_end, TPointF& near_end) {
    const TBeamLine line = BeamLine(index, x, y);
    far_end = {static_cast<float>(line.far_x), static_cast<float>(line.far_y)};
    near_end = {static_cast<float>(line.near_x), static_cast<float>(line.near_y)};
    if (VerticalBeam(index)) {
        far_end.x -= 0.1f;
        near_end.x += 0.1f;
    } else {
        far_end.y -= 0.1f;
        near_end.y += 0.1f;
    }
}

bool SweepLaser(TPlayer& p) {
    if (p.index < 1 || p.index > 4) return false;
    TPointF far_end, near_end;
    BeamEnds(p.index, p.x, p.y, far_end, near_end);
    // The vertical beams are tested in a frame with the axes swapped, so that
    // the beam always runs along the first coordinate.
    const bool vertical = VerticalBeam(p.index);
    if (vertical) {
        far_end = Swapped(far_end);
        near_end = Swapped(near_end);
    }
    bool hit_any = false;

    // Popped bubbles leave the list during this walk; their pieces are
    // appended to it and reached, but skipped while they fade in.
    bubbles.ForEach([&](const std::shared_ptr<TBubble>& bp) {
        TBubble& b = *bp;
        if (b.fadein != 0 || b.size < 1 || b.size > 3) return;
        const auto sz = static_cast<std::size_t>(b.size);
        const float r = static_cast<float>(bubble_radius[sz]);

        // Quick test across the beam (far_end is already in the working frame,
        // where its second coordinate is the one across the beam).
        const float across = vertical ? b.x : b.y;
        if (!(std::fabs(far_end.y - across) < r)) return;

        const TPointF centre = vertical ? TPointF{b.y, b.x} : TPointF{b.x, b.y};
        TCircleHits hits = SegmentCircleHits(far_end, near_end, centre, r);
        if (hits.Empty()) return;
        if (vertical)
            for (int i = 0; i < hits.count; ++i)
                hits.pt[static_cast<std::size_t>(i)] = Swapped(hits.pt[static_cast<std::size_t>(i)]);

        // The hit point is where the beam enters the bubble seen from the
        // base: the first crossing has the larger first coordinate, which is
        // the base's side for players 1 and 4 only.
        TPointF h = hits.pt[0];
        if ((p.index == 2 || p.index == 3) && hits.count == 2) h = hits.pt[1];
        const int hx = static_cast<int>(h.x);
        const int hy = static_cast<int>(h.y);

        // Smaller bubbles are worth more; the shooter's own colour pays
        // double, an enemy's colour half.
        int points = b.size * 10;
        if (b.owned != 0) {
            if (b.owned == p.index)
                points *= 2;
            else
                points /= 2;
        }
        hit_any = true;
        if (attract_mode == 0) p.score += points;

        auto ring = std::make_shared<TRing>();
        ring->x = b.x;
        ring->y = b.y;
        ring->index = b.owned;
        ring->scale = bubble_scale[sz];
        ring->scale2 = static_cast<float>(b.size);
        ring->s_col = p.index;
        ring->s_text = std::to_string(points);
        particles.Append(ring);

        if (b.size < 3) {
            // The pieces fly off about 130 degrees either side of the
            // direction towards the shooter, at the popped bubble's speed.
            const double s = std::sqrt(static_cast<double>(b.dx) * b.dx + static_cast<double>(b.dy) * b.dy);
            const float ox = static_cast<float>(hx) - b.x;
            const float oy = static_cast<float>(hy) - b.y;
            const double deg =
                std::atan2(static_cast<double>(ox), static_cast<double>(oy)) * 180.0 / std::numbers::pi;
            const int a = static_cast<int>(std::fmod(deg, 360.0));
            const float fhx = static_cast<float>(hx), fhy = static_cast<float>(hy);
            CreateBubble(fhx, fhy, b.size + 1, p.index, static_cast<float>(s * SinDeg(a + 140)),
                         static_cast<float>(s * CosDeg(a + 120)));
            CreateBubble(fhx, fhy, b.size + 1, p.index, static_cast<float>(s * SinDeg(a - 140)),
                         static_cast<float>(s * CosDeg(a - 120)));
        }

        if (attract_mode == 0) {
            // Big bubbles pop low; the pop sits where the bubble was.
            auto channel = SoundPlay(snd_pop, nullptr);
            ChannelSetRate(channel, 1.5f - bubble_scale[sz]);
            ChannelSetPan(channel, 0.0026f * (b.x - PLAYFIELD_MIDDLE));
        }

        bubbles.Remove(bp.get());
    });
    return hit_any;
}
