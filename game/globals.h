#pragma once
#include <array>
#include <memory>
#include <string>

#include "game/list.h"

// The game's state: module-level globals owned by the game's one thread.
// Players are numbered 1 to 4; per-player arrays have five slots and slot 0
// is never used.

class TPlayer;
class TBubble;
class TParticle;
class TImage;
class TImageFont;
class TSound;

// Playfield objects.
extern std::array<std::shared_ptr<TPlayer>, 5> players; // rebuilt at every round set-up
extern TList<TBubble> bubbles;                          // live bubbles, in creation order
extern TList<TParticle> particles;                      // live effects: text lines, rings, afterglows

// Loaded once at start-up and kept for the whole run.
extern std::shared_ptr<TImageFont> fnt_small;
extern std::shared_ptr<TImageFont> fnt_medium;
extern std::shared_ptr<TImageFont> fnt_digital;
extern std::shared_ptr<TImage> img_base;
extern std::shared_ptr<TImage> img_base_charge;
extern std::shared_ptr<TImage> img_base_static;
extern std::shared_ptr<TImage> img_bubble;
extern std::shared_ptr<TImage> img_ring;
extern std::shared_ptr<TImage> img_spark1;
extern std::shared_ptr<TImage> img_spark2; // loaded with the others, never drawn
extern std::shared_ptr<TImage> img_ring_dark;
extern std::shared_ptr<TImage> img_ring_light;
extern std::shared_ptr<TSound> snd_fiddle;
extern std::shared_ptr<TSound> snd_pop;
extern std::shared_ptr<TSound> snd_click;
extern std::shared_ptr<TSound> snd_blip;

// Constant tables (filled at start-up by FillTables).
extern std::array<int, 5> base_rotation;    // 0, 0, 180, 90, 270
extern std::array<int, 4> bubble_radius;    // by bubble size 1..3: 64, 32, 16
extern std::array<float, 4> bubble_scale;   // by bubble size 1..3: 1.0, 0.6, 0.3
extern std::array<std::string, 5> col_name; // "null", "Green", "Yellow", "Blue", "Red"
extern std::string result_msg[5][5];        // [place 1..4][variant 0..4]
extern std::array<std::string, 40> message; // the attract screen's scrolling lines
extern std::array<int, 32> melody;          // semitone offsets of the shot tune
extern int melody_pos;                      // next note of melody, 0..31

// Per-player colours, RGB 0..255, slot 0 unused.
struct TRgb {
    int r, g, b;
};
// The colours in use (the standard palette unless colour-safe players are on).
extern std::array<TRgb, 5> col_bright; // labels and results lines
extern std::array<TRgb, 5> col_dark;   // score box fill
extern std::array<TRgb, 5> col_base;   // the bases' own colour
// The players' colours as light: the tint of the bubbles a player owns and
// the afterglow of a player's beam. Slot 0 is white: nobody's bubble, and the
// attract screen's line drawings.
extern std::array<TRgb, 5> col_tint;

// A full set of player colours and the names the results messages use.
struct TPalette {
    std::array<TRgb, 5> bright, dark, base, tint;
    std::array<const char*, 5> name;
};
extern const TPalette standard_palette;
// Colours told apart under the common colour-vision deficiencies as well:
// they differ in lightness as well as hue.
extern const TPalette colour_safe_palette;
// The accessibility option: 1 when the colour-safe palette is in use, and
// each base and score box carries its player's number. Kept across resets.
extern int colour_safe;
// Switches the palette (and the colour names) in use; set before the
// screens begin.
void UseColourSafePalette(bool on);

// Screen and option state.
extern std::array<int, 5> humans; // 1 for each player who has joined the next round
extern int attract_mode;          // 1 while the attract screen runs
extern int cpu_active;            // option: computer players fill the empty seats
extern int catchup_active;        // option: last place fires twice as fast
extern int round_length;          // option: 60, 120 or 180 seconds
extern int seconds;               // attract: seconds since it began (from 1); round: seconds left
extern int tick_time;             // clock reading of the last whole-second tick
extern int countdown_end;         // value of seconds at which the join countdown shows zero
extern int option_sel;            // options cursor: 0 closed, 1..3 the option under it
extern int hold_count;            // frames the player 1 switch has been held in the attract screen
extern int option_time;           // clock reading of the last options tap or step
extern int logo_count;            // which line drawing the attract screen is tracing, 0..9
extern float fade;                // level of the fade to black that ends the join countdown

// Fills the constant tables above (start-up): rotations, bubble sizes,
// colour names, the results messages, the melody and humans all 0.
void FillTables();
// The game's state as start-up leaves it before the screens begin, whatever
// ran before: the tables filled (FillTables), no bubbles or effects, the
// options at their defaults (computer players on, catch-up off, rounds of
// 180 seconds), every screen counter at its start, fade 1, the melody at its
// first note, the figure reader at the start of figure A, no screen running
// and four new computer bases. The random generator is left alone.
void ResetGameState();
// Fills the scrolling message (start-up, last step before the screen cycle).
void FillMessage();
