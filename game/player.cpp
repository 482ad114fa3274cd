#include "game/player.h"

#include <cmath>
#include <memory>
#include <string>

#include "audio/sound.h"
#include "game/effects.h"
#include "game/globals.h"
#include "game/hud.h"
#include "game/ranking.h"
#include "game/laser.h"
#include "game/playfield.h"
#include "graphics/canvas.h"
#include "graphics/image.h"
#include "platform/input.h"
#include "platform/joystick.h"
#include "platform/random.h"

namespace {

// Where each base starts and how it is set up. The different start charges
// make the four bases fire at different moments.
struct TBaseSetup {
    int x, y, dx, dy, keyswitch, charge;
};
constexpr TBaseSetup base_setup[5] = {
    {0, 0, 0, 0, 0, 0},                      // slot 0 is never used
    {384, 752, 4, 0, KEY_SPACE, 10},         // bottom
    {384, 16, -4, 0, KEY_ENTER, 60},         // top
    {16, 384, 0, 4, KEY_DIGIT_1, 85},        // left
    {752, 384, 0, -4, KEY_NUMPAD_MINUS, 35}, // right
};

// The track ends: a base is kept 64 pixels clear of the playfield's corners.
constexpr int TRACK_MIN = 64;
constexpr int TRACK_MAX = PLAYFIELD_SIZE - TRACK_MIN;

// Moves along one axis, turning round at either end of the track.
void MoveAxis(int& pos, int& speed) {
    pos += speed;
    if (pos < TRACK_MIN) {
        pos = TRACK_MIN;
        speed = -speed;
    }
    if (pos > TRACK_MAX) {
        pos = TRACK_MAX;
        speed = -speed;
    }
}

// Joypad buttons that act as a player's switch, in the order they are asked.
// Each query samples the pad, so they are asked one by one in this order.
constexpr int SWITCH_BUTTONS[4] = {1, 2, 3, 0};

} // namespace

int PlayerSwitchKey(int player) {
    return player >= 1 && player <= 4 ? base_setup[player].keyswitch : 0;
}

int JoypadSwitchHits(int port) {
    int hits = 0;
    for (const int button : SWITCH_BUTTONS)
        hits += TakeJoyButtonHits(button, port);
    return hits;
}

bool JoypadSwitchDown(int port) {
    int down = 0;
    for (const int button : SWITCH_BUTTONS)
        down += IsJoyButtonDown(button, port);
    return down != 0;
}

void CreatePlayers() {
    for (int n = 1; n <= 4; ++n) {
        const auto i = static_cast<std::size_t>(n);
        auto p = std::make_shared<TPlayer>();
        const TBaseSetup& s = base_setup[n];
        p->index = n;
        p->keyswitch = s.keyswitch;
        p->human = humans[i];
        p->rotation = base_rotation[i];
        p->col = {col_base[i].r, col_base[i].g, col_base[i].b};
        p->x = s.x;
        p->y = s.y;
        p->dx = s.dx;
        p->dy = s.dy;
        p->score = 0;
        p->score_index = n;
        p->score_y = -32;
        p->charge = s.charge;
        p->catchup = 0;
        p->result.clear();
        players[i] = std::move(p);
    }
}

void TPlayer::Draw() {
    SetColor(col[0], col[1], col[2]);
    SetDrawRotation(static_cast<float>(rotation));
    SetDrawScale(1.0f, 1.0f);
    // A short-circuited or idle base is dim.
    if (charge < 0) SetAlpha(0.25f);
    DrawPicture(img_base, x, y, 0);
    SetColor(255, 255, 255);
    SetAlpha(1.0f);
    if (charge > 0)
        DrawPicture(img_base_charge, x, y, charge / 17);
    else
        DrawPicture(img_base_static, x, y, RandomInt(0, 5));
    SetDrawRotation(0.0f);
    if (colour_safe == 1) DrawPlayerMark(std::to_string(index), static_cast<int>(x), static_cast<int>(y));
}

void TPlayer::GlideScoreBox() {
    const int target = score_index * 52;
    if (score_y < target)
        score_y += 4;
    else if (score_y > target)
        score_y -= 4;
}

void TPlayer::Update() {
    // An empty seat with computer players switched off stands still, dimmed,
    // for the whole round. The demonstration plays every seat.
    if (human == 0 && cpu_active == 0 && attract_mode == 0) {
        charge = -1;
        return;
    }

    charge += catchup + 1;

    GlideScoreBox();

    if (charge == 100) {
        // Successive volleys, whoever fires them, play the tune note by note.
        if (attract_mode != 1) {
            auto channel = SoundPlay(snd_fiddle, nullptr);
            const int note = melody[static_cast<std::size_t>(melody_pos)];
            ChannelSetRate(channel, static_cast<float>(std::pow(2.0, note / 12.0)));
            melody_pos = (melody_pos + 1) % 32;
        }

        // Catch-up is decided at the volley and holds for the whole next cycle.
        if (catchup_active == 1 && attract_mode == 0) {
            if (cpu_active == 1) {
                catchup = score_index == 4 ? 1 : 0;
            } else {
                // Without computer players the idle seats rank below every
                // human, so last place among the humans is place n.
                const int n = humans[1] + humans[2] + humans[3] + humans[4];
                catchup = (n > 1 && score_index == n) ? 1 : 0;
            }
        } else {
            catchup = 0;
        }

        SpawnLaserAfterglow(index);
        // The shot lights up the whole playfield for a frame (additive blend).
        SetColor(32, 32, 32);
        DrawRect(0.0f, 0.0f, PLAYFIELD_SIZE, PLAYFIELD_SIZE);
        const bool hit = SweepLaser(*this);
        if (hit && attract_mode == 0) RankResults();

        // With catch-up the charge restarts at 4 and climbs by 2, so it still
        // passes through exactly 100.
        charge = catchup == 1 ? 4 : 0;
    }

    bool flip = false;
    if (human == 1) {
        // The demonstration ignores the switches.
        if (attract_mode == 0) {
            flip = TakeKeyHits(keyswitch) != 0;
            if (!flip && CountJoypads() >= index) flip = JoypadSwitchHits(index - 1) != 0;
        }
    } else {
        // The computer turns round now and then, at random.
        flip = RandomInt(1, 500) == 333;
    }
    if (flip) {
        dx = -dx;
        dy = -dy;
    }

    if (dx != 0)
        MoveAxis(x, dx);
    else
        MoveAxis(y, dy);
}
