#include "game/effects.h"

#include <array>
#include <cmath>

#include "game/globals.h"
#include "game/hud.h"
#include "game/laser.h"
#include "game/player.h"
#include "game/playfield.h"
#include "graphics/canvas.h"
#include "graphics/font.h"
#include "graphics/image.h"

namespace {

// Ring colour by the popped bubble's owner: the players' tints (col_tint),
// except that blue is deeper here, so this table is kept apart.
constexpr std::array<TRgb, 5> ring_col{
    {{255, 255, 255}, {8, 255, 8}, {255, 255, 8}, {8, 8, 255}, {255, 64, 64}}};

} // namespace

// ---- TTextLine --------------------------------------------------------------

void TTextLine::Update() {
    y -= 0.5f;
    if (y < 190.0f) particles.Remove(this);
}

void TTextLine::Draw() {
    SetColor(255, 255, 255);
    SetAlpha(1.0f);
    // Fade in over the bottom 60 pixels of the run and out over the top 60.
    if (y > 505.0f) SetAlpha(1.0f - 0.015f * (y - 505.0f));
    if (y < 250.0f) SetAlpha(1.0f - 0.015f * (250.0f - y));
    // Centred like DrawCentred, but at a height between whole pixels.
    const int w = StringWidth(text);
    DrawString(text, static_cast<float>(PLAYFIELD_MIDDLE - w / 2), y);
}

// ---- TRing ------------------------------------------------------------------

void TRing::Update() {
    // Small bubbles leave slower-growing rings.
    scale += 0.02f / scale2;
    alpha -= 0.005f;
    if (alpha <= 0.0f) particles.Remove(this);
}

void TRing::Draw() {
    if (index >= 0 && index <= 4) SetRgb(ring_col[static_cast<std::size_t>(index)]);
    SetDrawScale(scale, scale);
    SetAlpha(alpha);
    DrawPicture(img_ring, x, y, 0);
    SetDrawScale(1.0f, 1.0f);
    // The demonstration scores nothing, so its rings carry no points.
    if (attract_mode == 0) {
        if (s_col >= 1 && s_col <= 4) SetRgb(col_base[static_cast<std::size_t>(s_col)]);
        SelectImageFont(fnt_medium);
        // Centred on the ring's centre, which lies between whole pixels (so not DrawCentred).
        const int w = StringWidth(s_text);
        const int h = FontLineHeight();
        DrawString(s_text, x - static_cast<float>(w / 2), y - static_cast<float>(h / 2) + 3.0f);
        SelectImageFont(fnt_small);
    }
}

// ---- TLaserAfterglow --------------------------------------------------------

void TLaserAfterglow::Update() {
    // A short bright flash, then a long dim fade.
    if (alpha > 0.5f)
        alpha -= 0.075f;
    else
        alpha -= 0.01f;
    if (alpha <= 0.0f) particles.Remove(this);
}

void TLaserAfterglow::Draw() {
    if (index >= 0 && index <= 4) SetRgb(col_tint[static_cast<std::size_t>(index)]);
    if (alpha < 0.5f) SetColor(32, 32, 32);
    SetAlpha(alpha);
    // A thin core and a wide halo.
    SetLineWidth(2.0f);
    DrawLine(x, y, x2, y2, false);
    SetLineWidth(6.0f);
    DrawLine(x, y, x2, y2, false);
    SetDrawScale(1.0f, 1.0f);
    // The spark's turn depends only on where the line starts, so it is steady
    // for the life of the glow. Drawn twice: additive blending doubles it.
    SetDrawRotation(std::fmod(x + y, 360.0f));
    DrawPicture(img_spark1, x2, y2, 0);
    DrawPicture(img_spark1, x2, y2, 0);
    SetDrawRotation(0.0f);
}

// ---- creation ---------------------------------------------------------------

std::shared_ptr<TLaserAfterglow> CreateLaserAfterglow(int index, int x, int y, int x2, int y2) {
    auto glow = std::make_shared<TLaserAfterglow>();
    glow->index = index;
    glow->x = static_cast<float>(x);
    glow->y = static_cast<float>(y);
    glow->x2 = static_cast<float>(x2);
    glow->y2 = static_cast<float>(y2);
    particles.Append(glow);
    return glow;
}

std::shared_ptr<TLaserAfterglow> SpawnLaserAfterglow(int i) {
    if (i < 1 || i > 4 || !players[static_cast<std::size_t>(i)]) return nullptr;
    const TPlayer& p = *players[static_cast<std::size_t>(i)];
    // The beam's own line, from the base's end to the far end, in whole
    // pixels: the hit test's 0.1 offsets are no part of the picture.
    const TBeamLine beam = BeamLine(i, p.x, p.y);
    return CreateLaserAfterglow(i, beam.near_x, beam.near_y, beam.far_x, beam.far_y);
}
