#include "game/bubble.h"

#include <cmath>

#include "game/angles.h"
#include "game/globals.h"
#include "game/hud.h"
#include "game/player.h"
#include "game/playfield.h"
#include "graphics/canvas.h"
#include "graphics/image.h"
#include "graphics/overlap.h"
#include "platform/random.h"

namespace {

long long short_circuit_tests = 0;

// A component of exactly 0 asks for a random speed; the draws for it happen
// only then, magnitude first, then the sign. Anything slower than 1 pixel a
// frame is raised to 1 so that no bubble crawls.
float StartSpeed(float d) {
    if (d == 0.0f) {
        float v = static_cast<float>(RandomReal(1.0, 5.0));
        if (RandomInt(0, 1) != 0) v = -v;
        return v;
    }
    if (std::fabs(d) < 1.0f) return d < 0.0f ? -1.0f : 1.0f;
    return d;
}

// The far walls; the near ones are at 0.
constexpr float WALL = PLAYFIELD_SIZE;

// One axis of the move: a bubble that crosses a wall is put back against it
// and turns round in the same frame.
void MoveAxis(float& pos, float& speed, float r) {
    pos += speed;
    if (pos - r < 0.0f) {
        pos = r;
        speed = -speed;
    }
    if (pos + r > WALL) {
        pos = WALL - r;
        speed = -speed;
    }
}

} // namespace

long long ShortCircuitTests() {
    return short_circuit_tests;
}

std::shared_ptr<TBubble> CreateBubble(float x, float y, int size, int owned, float dx, float dy) {
    auto b = std::make_shared<TBubble>();
    b->x = x;
    b->y = y;
    b->size = size;
    b->fadein = size == 1 ? 100 : 30;
    b->wobble = RandomInt(1, 360);
    b->owned = owned;
    if (owned != 0) b->owntime = 500;
    b->dx = StartSpeed(dx);
    b->dy = StartSpeed(dy);
    bubbles.Append(b);
    return b;
}

void TBubble::Update() {
    if (size < 1 || size > 3) return;
    const auto sz = static_cast<std::size_t>(size);
    const float r = static_cast<float>(bubble_radius[sz]);
    MoveAxis(x, dx, r);
    MoveAxis(y, dy, r);
    // Small bubbles wobble faster.
    wobble = (wobble + size * 5) % 360;

    if (fadein != 0) {
        // Harmless until fully faded in.
        fadein -= 2;
    } else {
        // Short circuit: a charged base that touches the bubble loses 200 of
        // its charge. A base at 0 or below is immune, so it is hit once.
        for (std::size_t n = 1; n <= 4; ++n) {
            TPlayer* p = players[n].get();
            if (!p || p->charge <= 0) continue;
            if (!(std::fabs(static_cast<float>(p->x) - x) < r + 10.0f)) continue;
            if (!(std::fabs(static_cast<float>(p->y) - y) < r + 10.0f)) continue;
            if (!img_bubble || !img_base) continue;
            ++short_circuit_tests;
            const float s = bubble_scale[sz];
            // The bubble is tested at whole pixels.
            if (ImagesOverlapTransformed(*img_bubble, static_cast<float>(static_cast<int>(x)),
                                         static_cast<float>(static_cast<int>(y)), 0, 0.0f, s, s, *img_base,
                                         static_cast<float>(p->x), static_cast<float>(p->y), 0,
                                         static_cast<float>(p->rotation), 1.0f, 1.0f))
                p->charge -= 200;
        }
    }

    if (owned != 0) {
        --owntime;
        if (owntime == 0) owned = 0;
    }
}

void TBubble::Draw() {
    if (size < 1 || size > 3) return;
    const double s = bubble_scale[static_cast<std::size_t>(size)];
    // Breathing: the two axes swell a quarter turn apart.
    const double sx = s + 0.025 * SinDeg(wobble);
    const double sy = s + 0.025 * CosDeg(wobble);
    if (fadein != 0) {
        // Grows from nothing (or from 70% for a piece) while fading in.
        const double f = 0.01 * (100 - fadein);
        SetDrawScale(static_cast<float>(f * sx), static_cast<float>(f * sy));
        SetAlpha(static_cast<float>(f));
    } else {
        SetDrawScale(static_cast<float>(sx), static_cast<float>(sy));
        SetAlpha(1.0f);
    }

    if (owned != 0) {
        // The owner's tint, so the board shows whose bubbles pay double.
        const TRgb& c = col_tint[static_cast<std::size_t>(owned >= 0 && owned <= 4 ? owned : 0)];
        SetRgb(c);
        // Ownership running out: blink white, faster in the last second.
        const int m = owntime % 5;
        const bool white = (owntime >= 50 && owntime < 100 && m == 4) || (owntime < 50 && m >= 2);
        if (white) SetColor(255, 255, 255);
    } else {
        SetColor(255, 255, 255);
    }
    // Black draws nothing under additive blending: a flicker while fading in.
    if (fadein % 5 == 3) SetColor(0, 0, 0);

    DrawPicture(img_bubble, x, y, 0);
    SetDrawScale(1.0f, 1.0f);
}
