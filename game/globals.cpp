#include "game/globals.h"

#include "game/figures.h"
#include "game/frame.h"
#include "game/player.h"

std::array<std::shared_ptr<TPlayer>, 5> players;
TList<TBubble> bubbles;
TList<TParticle> particles;

std::shared_ptr<TImageFont> fnt_small;
std::shared_ptr<TImageFont> fnt_medium;
std::shared_ptr<TImageFont> fnt_digital;
std::shared_ptr<TImage> img_base;
std::shared_ptr<TImage> img_base_charge;
std::shared_ptr<TImage> img_base_static;
std::shared_ptr<TImage> img_bubble;
std::shared_ptr<TImage> img_ring;
std::shared_ptr<TImage> img_spark1;
std::shared_ptr<TImage> img_spark2;
std::shared_ptr<TImage> img_ring_dark;
std::shared_ptr<TImage> img_ring_light;
std::shared_ptr<TSound> snd_fiddle;
std::shared_ptr<TSound> snd_pop;
std::shared_ptr<TSound> snd_click;
std::shared_ptr<TSound> snd_blip;

std::array<int, 5> base_rotation{};
std::array<int, 4> bubble_radius{};
std::array<float, 4> bubble_scale{};
std::array<std::string, 5> col_name;
std::string result_msg[5][5];
std::array<std::string, 40> message;
std::array<int, 32> melody{};
int melody_pos;

const TPalette standard_palette{{{{0, 0, 0}, {32, 128, 32}, {180, 180, 32}, {32, 32, 255}, {255, 32, 32}}},
                                {{{0, 0, 0}, {8, 128, 8}, {128, 128, 8}, {8, 8, 128}, {128, 8, 8}}},
                                {{{0, 0, 0}, {64, 255, 64}, {255, 255, 64}, {64, 64, 255}, {255, 64, 64}}},
                                {{{255, 255, 255}, {8, 255, 8}, {255, 255, 8}, {64, 64, 255}, {255, 64, 64}}},
                                {"null", "Green", "Yellow", "Blue", "Red"}};
// Found by a search that kept every pair of players at least 20 apart
// (CIEDE2000) for normal vision and under protanopia, deuteranopia and
// tritanopia, and every colour as far from black and from the backdrop;
// tests/game/palette_test.cpp measures them. Labels use the base colours.
const TPalette colour_safe_palette{
    {{{0, 0, 0}, {220, 169, 55}, {71, 209, 255}, {4, 98, 48}, {186, 41, 169}}},
    {{{0, 0, 0}, {206, 151, 23}, {59, 163, 228}, {0, 99, 0}, {115, 91, 107}}},
    {{{0, 0, 0}, {220, 169, 55}, {71, 209, 255}, {4, 98, 48}, {186, 41, 169}}},
    {{{255, 255, 255}, {220, 169, 55}, {71, 209, 255}, {4, 98, 48}, {186, 41, 169}}},
    {"null", "P1 (Orange)", "P2 (Sky Blue)", "P3 (Green)", "P4 (Purple)"}};

std::array<TRgb, 5> col_bright = standard_palette.bright;
std::array<TRgb, 5> col_dark = standard_palette.dark;
std::array<TRgb, 5> col_base = standard_palette.base;
std::array<TRgb, 5> col_tint = standard_palette.tint;
int colour_safe = 0;

void UseColourSafePalette(bool on) {
    colour_safe = on ? 1 : 0;
    const TPalette& p = on ? colour_safe_palette : standard_palette;
    col_bright = p.bright;
    col_dark = p.dark;
    col_base = p.base;
    col_tint = p.tint;
    for (std::size_t n = 0; n < col_name.size(); ++n)
        col_name[n] = p.name[n];
}

// Their starting values are set by ResetGameState.
std::array<int, 5> humans{};
int attract_mode;
int cpu_active;
int catchup_active;
int round_length;
int seconds;
int tick_time;
int countdown_end;
int option_sel;
int hold_count;
int option_time;
int logo_count;
float fade;

void FillTables() {
    base_rotation = {0, 0, 180, 90, 270};
    bubble_radius = {0, 64, 32, 16};
    bubble_scale = {0.0f, 1.0f, 0.6f, 0.3f};
    const TPalette& palette = colour_safe == 1 ? colour_safe_palette : standard_palette;
    for (std::size_t n = 0; n < col_name.size(); ++n)
        col_name[n] = palette.name[n];
    // The results messages are read row by row: places 1 to 4, variants 0 to 4.
    for (int place = 1; place <= 4; ++place)
        for (int variant = 0; variant <= 4; ++variant)
            result_msg[place][variant] = ResultMessageRecord((place - 1) * 5 + variant);
    humans = {0, 0, 0, 0, 0};
    melody = {0, 2, 4, 5, 7, 4, 7, 7,  6, 3, 6, 6, 5, 2, 5, 5,
              0, 2, 4, 5, 7, 4, 7, 12, 7, 4, 0, 4, 7, 7, 7, 7};
}

void ResetGameState() {
    FillTables();
    bubbles.Clear();
    particles.Clear();
    attract_mode = 0;
    cpu_active = 1;
    catchup_active = 0;
    round_length = 180;
    seconds = 0;
    tick_time = 0;
    countdown_end = 0;
    option_sel = 0;
    hold_count = 0;
    option_time = 0;
    logo_count = 0;
    fade = 1.0f;
    melody_pos = 0;
    RestoreFigure(FIGURE_A);
    game_screen = TScreen::NONE;
    CreatePlayers();
}
