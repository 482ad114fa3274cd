#include "game/results.h"

#include "game/frame.h"
#include "game/globals.h"
#include "game/hud.h"
#include "game/player.h"
#include "game/playfield.h"
#include "graphics/canvas.h"
#include "graphics/font.h"
#include "platform/input.h"

namespace {
constexpr int RESULTS_FRAMES = 300;
} // namespace

int ResultsFrame(int j) {
    if (TakeKeyHits(KEY_ESCAPE) != 0) j = RESULTS_FRAMES;
    SetAlpha(1);
    DrawBackground();
    DrawStillPlayfield();
    DrawHud();

    // The panel fades in over the first 50 frames and out over the last 50.
    float a = 0.75f;
    if (j < 50) a = 0.015f * static_cast<float>(j);
    if (j > 250) a = 0.75f - 0.015f * static_cast<float>(j - 250);
    SetAlpha(a);
    SetBlend(BLEND_ALPHA);
    SetColor(25, 0, 25);
    DrawRect(50, 230, 668, 290);
    SetColor(0, 255, 255);
    DrawBox(50, 230, 718, 520);
    DrawBox(46, 226, 722, 524);
    SetBlend(BLEND_LIGHT);

    SetColor(255, 0, 0);
    SelectImageFont(fnt_digital);
    // Twice in the same place: the light blend doubles its brightness.
    DrawCentred("TIME UP!", PLAYFIELD_MIDDLE, 250);
    DrawCentred("TIME UP!", PLAYFIELD_MIDDLE, 250);
    SelectImageFont(fnt_medium);
    for (int n = 1; n <= 4; ++n) {
        TPlayer& p = *players[n];
        if (cpu_active != 1 && p.human != 1) continue;
        // The bases stand still here, so the score boxes glide on from this loop.
        p.GlideScoreBox();
        SetRgb(col_bright[n]);
        DrawCentred(p.result, PLAYFIELD_MIDDLE, p.score_index * 40 + 310);
    }
    SetAlpha(1);
    SetColor(255, 255, 255);
    return j;
}

void RunResults() {
    game_screen = TScreen::RESULTS;
    for (int j = 1; j <= RESULTS_FRAMES; ++j) {
        j = ResultsFrame(j);
        EndFrame();
    }
}
