#include "game/attract.h"

#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <string>

#include "audio/sound.h"
#include "game/bubble.h"
#include "game/effects.h"
#include "game/figures.h"
#include "game/frame.h"
#include "game/globals.h"
#include "game/hud.h"
#include "game/player.h"
#include "game/playfield.h"
#include "graphics/canvas.h"
#include "graphics/font.h"
#include "graphics/image.h"
#include "platform/clock.h"
#include "platform/input.h"
#include "platform/joystick.h"

namespace {

constexpr int HOLD_FRAMES = 50;

std::optional<TInputSource>& OptionsSwitch() {
    static std::optional<TInputSource> source;
    return source;
}

// Presses of the options switch since the last call (0 when there is none).
int TakeOptionsSwitchHits() {
    const std::optional<TInputSource>& s = OptionsSwitch();
    if (!s) return 0;
    switch (s->kind) {
    case TInputSource::Kind::Key:
        return TakeKeyHits(s->code);
    case TInputSource::Kind::Mouse:
        return TakeMouseHits(s->code);
    case TInputSource::Kind::PadButton:
        return TakeJoyButtonHits(s->code, s->port);
    }
    return 0;
}

bool AnybodyJoined() {
    return humans[1] + humans[2] + humans[3] + humans[4] > 0;
}

struct TLabel {
    const char* text;
    int x, y; // top-left corner of the text
};
struct TFrame {
    int x1, y1, x2, y2;
};

// A panel of the menu column: its texts first, then its boxes.
void DrawPanel(std::initializer_list<TLabel> labels, std::initializer_list<TFrame> boxes) {
    for (const TLabel& l : labels)
        DrawString(l.text, static_cast<float>(l.x), static_cast<float>(l.y));
    for (const TFrame& b : boxes)
        DrawBox(b.x1, b.y1, b.x2, b.y2);
}

// A YES/NO option whose question stands at (x, y): the panel reaches from 10
// above the question to 58 below it, the two value boxes sit 25 below it.
void DrawYesNoOption(const char* question, int x, int y) {
    DrawPanel({{question, x, y}, {"YES", 843, y + 31}, {"NO", 920, y + 31}},
              {{780, y - 10, 1010, y + 58}, {830, y + 25, 890, y + 50}, {900, y + 25, 960, y + 50}});
}

void DrawMenuColumn() {
    SetColor(255, 255, 255);
    if (hold_count >= HOLD_FRAMES) {
        DrawString("Tap P1 to select.", 805, 705);
    } else {
        DrawString("Hold P1 for options.", 790, 705);
        option_time = ClockMillis();
    }
    DrawBox(780, 700, 1010, 725);

    if (hold_count < 25) {
        if (AnybodyJoined())
            DrawPanel({{"Quick: Join before", 794, 600}, {"count reaches zero!", 790, 620}},
                      {{780, 590, 1010, 642}});
        else
            DrawPanel({{"Tap switch to play.", 790, 600}, {"(Countdown begins)", 794, 620}},
                      {{780, 590, 1010, 642}});
    }

    DrawPanel({{"Round Length?", 825, 320}, {"1min", 802, 351}, {"2min", 873, 351}, {"3min", 942, 351}},
              {{780, 310, 1010, 378}, {795, 345, 855, 370}, {935, 345, 995, 370}, {865, 345, 925, 370}});
    DrawYesNoOption("CPU Players active?", 790, 400);
    DrawYesNoOption("Catchup active?", 812, 480);

    // The hold bar fills the hold box after 50 frames.
    SetColor(0, 128, 0);
    DrawRect(780, 700, static_cast<float>(hold_count) * 4.6f, 25);

    // Option marks: the one under the cursor blinks.
    auto mark = [](int option, int x, int y) {
        if (option_sel == option && ClockMillis() % 500 < 250)
            SetColor(0, 255, 0);
        else
            SetColor(0, 128, 0);
        DrawRect(static_cast<float>(x), static_cast<float>(y), 60, 25);
    };
    mark(1, (round_length / 60 - 1) * 70 + 795, 345);
    mark(2, cpu_active ? 830 : 900, 425);
    mark(3, catchup_active ? 830 : 900, 505);
}

void OptionsInput() {
    const int key1 = players[1]->keyswitch;
    bool held = false;
    if (option_sel == 0) {
        held = IsKeyDown(key1) != 0;
        if (!held && CountJoypads() >= 1) held = JoypadSwitchDown(0);
    }
    // The options switch does at once what the hold does. Its presses are
    // taken every frame, and those of the screen's first second (left over
    // from the round) are dropped.
    if (TakeOptionsSwitchHits() != 0 && option_sel == 0 && seconds > 1) {
        hold_count = HOLD_FRAMES - 1;
        held = true;
    }
    if (held) {
        ++hold_count;
        // Exactly 50: a switch still held after the menu closes counts on without reopening it.
        if (hold_count == HOLD_FRAMES) {
            option_sel = 1;
            for (int n = 1; n <= 4; ++n)
                humans[n] = 0;
            ClearKeyState();
            ClearJoypads();
        }
        return;
    }
    if (option_sel != 0) {
        int tap = TakeKeyHits(key1);
        if (tap == 0 && CountJoypads() >= 1) tap = JoypadSwitchHits(0);
        if (tap != 0) {
            option_sel = (option_sel + 1) % 4;
            option_time = ClockMillis();
        }
        if (std::abs(ClockDiff(option_time, ClockMillis())) > 1500) {
            if (option_sel == 1) {
                round_length += 60;
                if (round_length > 180) round_length = 60;
            } else if (option_sel == 2) {
                cpu_active = cpu_active ? 0 : 1;
            } else if (option_sel == 3) {
                catchup_active = catchup_active ? 0 : 1;
            }
            SoundPlay(snd_click);
            option_time = ClockMillis();
        }
        return;
    }
    hold_count = 0;
}

void FigureStep() {
    const TFigureRecord r = ReadFigureRecord();
    if (r.x1 < 1) {
        logo_count = (logo_count + 1) % 10;
        RestoreFigure(logo_count < 5 ? FIGURE_A : FIGURE_B);
    } else {
        CreateLaserAfterglow(r.col, r.x1, r.y1, r.x2, r.y2);
    }
}

void JoinPanel(int n) {
    const int cx = 180 * n - 65;
    SetRgb(col_bright[n]);
    if (option_sel == 0 && seconds > 1) {
        if (TakeKeyHits(players[n]->keyswitch) != 0) humans[n] ^= 1;
        if (CountJoypads() >= n && JoypadSwitchHits(n - 1) != 0) humans[n] ^= 1;
    } else if (seconds < 2) {
        // The screen's first second swallows every press, including the one
        // that ended the results, and forgets keys held from before.
        ClearKeyState();
        ClearJoypads();
    }
    DrawImageFrame(*img_ring_dark, static_cast<float>(cx), 655, 0);
    if (humans[n] == 1) {
        SetAlpha(ClockMillis() % 1000 > 500 ? 1.0f : 0.5f);
        SetDrawRotation(static_cast<float>(90 * (n - 1)));
        DrawImageFrame(*img_ring_light, static_cast<float>(cx), 655, 0);
        SetAlpha(0.5f);
        SetDrawRotation(0);
    }
    DrawString("P" + std::to_string(n), static_cast<float>(180 * n - 75), 625);
    if (!AnybodyJoined()) {
        DrawString("Play?", static_cast<float>(180 * n - 90), 648);
        countdown_end = seconds + 5; // held at five until somebody joins
    } else {
        if (humans[n] == 1)
            DrawString("READY!", static_cast<float>(180 * n - 95), 648);
        else
            DrawString("Join?", static_cast<float>(180 * n - 90), 648);
        const std::string t = std::to_string(countdown_end - seconds);
        DrawCentred(t, cx, 670);
    }
}

} // namespace

void UseOptionsSwitch(std::optional<TInputSource> source) {
    OptionsSwitch() = source;
}

void EnterAttractScreen() {
    game_screen = TScreen::ATTRACT;
    attract_mode = 1;
    logo_count = 0;
    option_sel = 0;
    hold_count = 0;
    seconds = 1;
    tick_time = ClockMillis();
    for (int& h : humans)
        h = 0;
    countdown_end = seconds + 5;
    fade = 1.0f;
    RestoreFigure(FIGURE_A);
}

bool AttractFrame() {
    if (TakeKeyHits(KEY_ESCAPE) != 0) return false;
    DrawBackground();
    DrawMenuColumn();
    OptionsInput();
    FigureStep();

    StepPlayfield();

    // The veil halves the playfield's brightness; the menu column stays clear.
    SetBlend(BLEND_ALPHA);
    SetAlpha(0.5f);
    SetColor(0, 0, 0);
    DrawRect(0, 0, PLAYFIELD_SIZE, PLAYFIELD_SIZE);
    SetBlend(BLEND_LIGHT);

    for (int n = 1; n <= 4; ++n)
        JoinPanel(n);

    SetColor(255, 255, 255);
    if (bubbles.Count() < 5) AddCentreBubble(300, 468);

    if (std::abs(ClockDiff(tick_time, ClockMillis())) > 1000) {
        auto line = std::make_shared<TTextLine>();
        line->text = message[static_cast<std::size_t>(seconds % 40)];
        line->y = 565;
        particles.Append(line);
        ++seconds;
        if (!AnybodyJoined()) countdown_end = seconds + 5;
        tick_time = ClockMillis();
    }

    DrawHud();

    if (seconds < 3) {
        // Up from black in steps of 0.05 every 100 ms over the first two seconds.
        const int k = std::abs(ClockDiff(tick_time, ClockMillis())) / 100;
        DrawBlackout(1.0f - (0.5f * static_cast<float>(seconds - 1) + 0.05f * static_cast<float>(k)));
    }
    if (countdown_end <= seconds) {
        fade -= 0.02f;
        if (fade < 0) fade = 0;
        DrawBlackout(1.0f - fade);
    } else {
        fade = 1.0f;
    }
    return true;
}

bool RunAttractScreen() {
    EnterAttractScreen();
    for (;;) {
        if (!AttractFrame()) return false;
        EndFrame();
        if (countdown_end < seconds) return true;
    }
}
