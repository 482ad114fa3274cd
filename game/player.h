#pragma once
#include <array>
#include <string>

// One of the four laser bases. A base runs along one edge of the playfield,
// turns round at the ends of its track and whenever its player presses the
// switch; its laser charges one step a frame and fires a volley across the
// playfield when the charge reaches exactly 100. Seats without a human are
// driven by the computer, or stand idle when computer players are off.
class TPlayer {
  public:
    int index = 0;            // player number 1..4, the slot in `players`
    int keyswitch = 0;        // key code of the player's switch
    int human = 0;            // 1 for a human, 0 for the computer
    int rotation = 0;         // drawing rotation in degrees
    std::array<int, 3> col{}; // drawing colour
    int x = 0, y = 0;         // centre of the base
    int dx = 0, dy = 0;       // movement per frame (one of them is +-4)
    int score = 0;            // points this round
    int score_y = 0;          // score box position, gliding towards score_index * 52
    int score_index = 0;      // current place 1..4
    int charge = 0;           // fires at exactly 100; negative when short-circuited; -1 idle
    std::string result;       // results message
    int catchup = 0;          // 1 while the charge rises two steps a frame

    void Draw();
    void Update();
    // One frame of the score box's glide: 4 pixels towards its row.
    void GlideScoreBox();
};

// Player n's switch key (n = 1..4); 0 for other n.
int PlayerSwitchKey(int player);

// Buttons 0 to 3 of a joypad all act as its player's switch (port n - 1 for
// player n).
constexpr int JOYPAD_SWITCH_BUTTONS = 4;
// The presses of those buttons not yet taken, summed:
int JoypadSwitchHits(int port);
// Whether any of those buttons is held.
bool JoypadSwitchDown(int port);

// Replaces all four bases in `players` with new ones; a base is human when
// its `humans` slot is 1.
void CreatePlayers();
