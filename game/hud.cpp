#include "game/hud.h"

#include <array>
#include <string>

#include "game/globals.h"
#include "game/player.h"
#include "graphics/canvas.h"
#include "graphics/font.h"
#include "graphics/image.h"
#include "platform/clock.h"
#include "platform/random.h"

namespace {

// One dash of the backdrop along x (horizontal) or y (vertical). Both ends
// jitter by a pixel along the dash; the far end's jitter is drawn first.
void Dash(int p, int fixed, bool horizontal) {
    const int j2 = RandomInt(-1, 1);
    const int j1 = RandomInt(-1, 1);
    const float a = static_cast<float>(p + j1);
    const float b = static_cast<float>(p + 16 + j2);
    const float f = static_cast<float>(fixed);
    if (horizontal)
        DrawLine(a, f, b, f, 0);
    else
        DrawLine(f, a, f, b, 0);
}

// The backdrop's dashed guide lines, in drawing order: a colour and two lines
// along the same direction at the given offsets.
struct TGuideLines {
    TRgb col;
    bool horizontal;
    int at1, at2;
};
constexpr TGuideLines guide_lines[4] = {{{255, 255, 0}, true, 32, 576},
                                        {{0, 0, 255}, false, 32, 576},
                                        {{255, 0, 0}, false, 192, 736},
                                        {{0, 255, 0}, true, 192, 736}};

} // namespace

void SetRgb(const TRgb& c) {
    SetColor(c.r, c.g, c.b);
}

void DrawPicture(const std::shared_ptr<TImage>& image, float x, float y, int frame) {
    if (image) DrawImageFrame(*image, x, y, frame);
}

void DrawBackground() {
    SetLineWidth(2);
    SetAlpha(0.25f);
    for (int p = 8; p <= 760; p += 32) {
        for (const TGuideLines& g : guide_lines) {
            SetRgb(g.col);
            Dash(p, g.at1, g.horizontal);
            Dash(p, g.at2, g.horizontal);
        }
    }
    SetAlpha(0.1f);
    SetColor(25, 20, 200);
    DrawRect(32, 0, 704, 576);
    DrawRect(0, 32, 576, 704);
    DrawRect(192, 32, 576, 704);
    DrawRect(32, 192, 704, 576);
    SetAlpha(1);
}

void DrawBlackout(float alpha) {
    SetBlend(BLEND_ALPHA);
    SetColor(0, 0, 0);
    SetAlpha(alpha);
    DrawRect(0, 0, 1024, 768);
    SetColor(255, 255, 255);
    SetAlpha(1);
    SetBlend(BLEND_LIGHT);
}

void DrawBox(int x1, int y1, int x2, int y2) {
    const float l = static_cast<float>(x1), t = static_cast<float>(y1);
    const float r = static_cast<float>(x2), b = static_cast<float>(y2);
    DrawLine(l, t, l, b, 1);
    DrawLine(r, t, r, b, 1);
    DrawLine(l, t, r, t, 1);
    DrawLine(l, b, r, b, 1);
}

void DrawCentred(std::string_view text, int x, int y) {
    DrawString(text, static_cast<float>(x - StringWidth(text) / 2), static_cast<float>(y));
}

void DrawPlayerMark(std::string_view text, int x, int y) {
    int r = 0, g = 0, b = 0;
    GetColor(r, g, b);
    const int blend = GetBlend();
    const float alpha = GetAlpha();
    const float rotation = GetDrawRotation();
    SetDrawRotation(0.0f);
    SetBlend(BLEND_ALPHA);
    SetAlpha(1.0f);
    SelectImageFont(fnt_small);
    const int left = x - StringWidth(text) / 2;
    const int top = y - FontLineHeight() / 2;
    SetColor(0, 0, 0);
    DrawString(text, static_cast<float>(left + 1), static_cast<float>(top + 1));
    SetColor(255, 255, 255);
    DrawString(text, static_cast<float>(left), static_cast<float>(top));
    SetColor(r, g, b);
    SetAlpha(alpha);
    SetBlend(blend);
    SetDrawRotation(rotation);
}

void DrawHud() {
    SetAlpha(1);
    SetBlend(BLEND_ALPHA);
    for (int n = 1; n <= 4; ++n) {
        const TPlayer& p = *players[n];
        const float sy = static_cast<float>(p.score_y);
        SetAlpha(p.human == 1 ? 0.75f : 0.25f);
        SetColor(50, 50, 50);
        DrawRect(800, sy - 24, 200, 48);
        SetRgb(col_dark[n]);
        DrawRect(801, sy - 23, 198, 46);
        // The leader's box blinks its rim in the attract screen and once the round is over.
        if ((attract_mode == 1 || seconds <= 0) && p.score_index == 1 && ClockMillis() % 500 > 250)
            DrawRect(800, sy - 24, 200, 48);
        SetColor(255, 255, 255);
        SelectImageFont(fnt_medium);
        const std::string s = std::to_string(p.score);
        DrawCentred(s, 900, p.score_y - FontLineHeight() / 2 + 3);
        SelectImageFont(fnt_small);
        DrawString(p.human == 1 ? "Human" : "CPU", 810, sy - 20);
        if (colour_safe == 1) {
            const std::string mark = "P" + std::to_string(n);
            DrawPlayerMark(mark, 980, p.score_y - 10);
        }
    }
    if (attract_mode == 0) {
        SetLineWidth(2);
        SetColor(128, 128, 128);
        DrawBox(800, 550, 1000, 720);
        DrawBox(805, 555, 995, 715);
        SetColor(255, 255, 255);
        SelectImageFont(fnt_small);
        DrawCentred("Round Time", 900, 576);
        SelectImageFont(fnt_digital);
        SetAlpha(0.5f);
        SetColor(128, 10, 10);
        DrawCentred("888", 900, 610);
        SetColor(255, 64, 64);
        // Each second's digits fade from full towards half brightness until the next tick.
        const int since_tick = ClockDiff(ClockMillis(), tick_time);
        SetAlpha(seconds < round_length ? 1.0f - 0.0005f * static_cast<float>(since_tick) : 1.0f);
        const std::string s = std::to_string(seconds);
        const int w0 = StringWidth("0");
        if (seconds >= 100) {
            DrawCentred(s, 900, 610);
        } else if (seconds >= 10) {
            DrawString(s, static_cast<float>(900 - w0 / 2), 610);
        } else if (seconds >= 0) {
            DrawString(s, static_cast<float>(900 + w0 / 2), 610);
            // The last ten seconds also stand large in the middle of the playfield.
            SetAlpha(0.5f - 0.0005f * static_cast<float>(since_tick));
            SetDrawScale(2, 2);
            DrawString(s, static_cast<float>(385 - w0), 320);
            SetDrawScale(1, 1);
        }
        SetColor(255, 255, 255);
        SetAlpha(1);
        SelectImageFont(fnt_small);
    }
    SetBlend(BLEND_LIGHT);
}
