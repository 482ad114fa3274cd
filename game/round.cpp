#include "game/round.h"

#include <cstdlib>

#include "audio/sound.h"
#include "game/frame.h"
#include "game/globals.h"
#include "game/hud.h"
#include "game/ranking.h"
#include "game/player.h"
#include "game/playfield.h"
#include "graphics/canvas.h"
#include "graphics/font.h"
#include "platform/clock.h"
#include "platform/input.h"

namespace {
constexpr int COUNTDOWN_FRAMES = 150;
} // namespace

void SetUpRound() {
    CreatePlayers();
    bubbles.Clear();
    particles.Clear();
    AddStartingBubbles();
    seconds = round_length;
    attract_mode = 0;
    SortScoreRows();
    melody_pos = 0;
}

void RunStartCountdown() {
    game_screen = TScreen::COUNTDOWN;
    for (int j = 1; j <= COUNTDOWN_FRAMES; ++j) {
        DrawBackground();
        DrawBases();
        DrawHud();
        SetColor(255, 0, 0);
        SelectImageFont(fnt_digital);
        SetAlpha(0.033f * static_cast<float>(j % 30));
        if (j % 30 == 29 && j / 30 < 4) SoundPlay(snd_blip);
        static const char* const words[] = {nullptr, "THREE", "TWO", "ONE", "GO!"};
        const int w = j / 30;
        if (w >= 1 && w <= 4) DrawCentred(words[w], PLAYFIELD_MIDDLE, 350);
        SelectImageFont(fnt_small);
        // The scene comes up from black over the first 100 frames.
        DrawBlackout(1.0f - 0.01f * static_cast<float>(j));
        EndFrame();
    }
}

void RoundFrame() {
    DrawBackground();
    StepPlayfield();
    DrawHud();

    // A tick needs strictly more than a second since the frame that saw the
    // last one, so ticks land every 51 frames.
    if (std::abs(ClockDiff(tick_time, ClockMillis())) > 1000) {
        --seconds;
        tick_time = ClockMillis();
        if (seconds % 10 == 0) AddCentreBubble(300, 468);
        // Tick and tock: rates 1.2 and 1.0 (0.8 for the last tick, to -1).
        auto ch = SoundPlay(snd_click);
        ChannelSetRate(ch, 1.0f + 0.2f * static_cast<float>(seconds % 2));
        ChannelSetVolume(ch, 0.5f);
    }
    if (bubbles.Count() < 5) AddCentreBubble(300, 468);
}

bool RunRound() {
    game_screen = TScreen::ROUND;
    tick_time = ClockMillis();
    for (;;) {
        RoundFrame();
        EndFrame();
        if (TakeKeyHits(KEY_ESCAPE) != 0) break;
        if (seconds < 0) break;
    }
    return seconds <= 0;
}
