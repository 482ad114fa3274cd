#include "game/figures.h"

#include <cstddef>
#include <utility>

#include "game/globals.h"

namespace {

// Letters drawn in straight strokes on a 4 x 4 grid: (0,0) top left, (4,4)
// bottom right. Each entry is a list of strokes gx1, gy1, gx2, gy2.
struct TGlyph {
    char letter;
    std::vector<std::array<int, 4>> strokes;
};

const std::vector<TGlyph>& Glyphs() {
    static const std::vector<TGlyph> glyphs = {
        {'Z', {{0, 0, 4, 0}, {4, 0, 0, 4}, {0, 4, 4, 4}}},
        {'A', {{0, 4, 2, 0}, {2, 0, 4, 4}, {1, 2, 3, 2}}},
        {'P', {{0, 4, 0, 0}, {0, 0, 4, 0}, {4, 0, 4, 2}, {4, 2, 0, 2}}},
        {'T', {{0, 0, 4, 0}, {2, 0, 2, 4}}},
        {'O', {{0, 0, 4, 0}, {4, 0, 4, 4}, {4, 4, 0, 4}, {0, 4, 0, 0}}},
        {'M', {{0, 4, 0, 0}, {0, 0, 2, 2}, {2, 2, 4, 0}, {4, 0, 4, 4}}},
        {'N', {{0, 4, 0, 0}, {0, 0, 4, 4}, {4, 4, 4, 0}}},
        {'I', {{1, 0, 3, 0}, {2, 0, 2, 4}, {1, 4, 3, 4}}},
        {'B',
         {{0, 0, 0, 4},
          {0, 0, 3, 0},
          {3, 0, 4, 1},
          {4, 1, 3, 2},
          {3, 2, 0, 2},
          {3, 2, 4, 3},
          {4, 3, 3, 4},
          {3, 4, 0, 4}}},
        {'L', {{0, 0, 0, 4}, {0, 4, 4, 4}}},
        {'K', {{0, 0, 0, 4}, {0, 2, 4, 0}, {0, 2, 4, 4}}},
        {'F', {{0, 0, 0, 4}, {0, 0, 4, 0}, {0, 2, 3, 2}}},
        {'E', {{0, 0, 0, 4}, {0, 0, 4, 0}, {0, 2, 3, 2}, {0, 4, 4, 4}}},
        {'S', {{4, 0, 0, 0}, {0, 0, 0, 2}, {0, 2, 4, 2}, {4, 2, 4, 4}, {4, 4, 0, 4}}},
    };
    return glyphs;
}

// Lays a word out letter by letter: cell left edges at left + i * pitch, each
// cell `width` x `height` from `top`; letters alternate between two colours.
std::vector<TFigureRecord> Spell(const char* word, int left, int top, int pitch, int width, int height,
                                 int col_even, int col_odd) {
    std::vector<TFigureRecord> out;
    for (int i = 0; word[i] != '\0'; ++i) {
        const int x0 = left + i * pitch;
        const int col = (i % 2 == 0) ? col_even : col_odd;
        for (const TGlyph& g : Glyphs()) {
            if (g.letter != word[i]) continue;
            for (const auto& s : g.strokes) {
                out.push_back(TFigureRecord{col, x0 + s[0] * width / 4, top + s[1] * height / 4,
                                            x0 + s[2] * width / 4, top + s[3] * height / 4});
            }
        }
    }
    out.push_back(FIGURE_SENTINEL);
    return out;
}

const char* const kResultMessages[20] = {
    "Way to go, $! Awesome playing!",      "Fantastic, $. You are a natural.",
    "$ has totally owned this game!",      "There is just no stopping $ today!",
    "Gold! It's a good day to be $.",      "Always the bridesmaid, eh $?",
    "Almost, $. Maybe next time!",         "Sooo close to a win, keep trying $!",
    "$: 'Today 2nd, tomorrow the world!'", "It's a result, $. Silver medal!",
    "At least you are not bottom, $.",     "Oh well, $. You got a few points.",
    "Try to hit more bubbles, $.",         "Sorry $, but it could be worse!",
    "You still get a bronze medal, $.",    "Were you asleep at the wheel, $?",
    "Hey $, what happened out there?",     "Wooden spoon, $. Too bad!",
    "Never mind $, it's only a game...",   "Popping just isn't $'s thing.",
};

int figure_cursor_table = FIGURE_A;
std::size_t figure_cursor_pos = 0;

} // namespace

const char* const CREDIT_LINE = "Rebuilt from scratch for Linux. Thanks for playing!";

const std::vector<TFigureRecord>& FigureTable(int figure) {
    // ZAPTOMANIA: ten letters of 56 x 100 at a pitch of 70, x 40..726, y 50..150.
    static const std::vector<TFigureRecord> a = Spell("ZAPTOMANIA", 40, 50, 70, 56, 100, 2, 4);
    // BLINKFEST: nine letters of 52 x 124 at a pitch of 68, x 85..681, y 50..174.
    static const std::vector<TFigureRecord> b = Spell("BLINKFEST", 85, 50, 68, 52, 124, 1, 3);
    return figure == FIGURE_B ? b : a;
}

void RestoreFigure(int figure) {
    figure_cursor_table = figure == FIGURE_B ? FIGURE_B : FIGURE_A;
    figure_cursor_pos = 0;
}

TFigureRecord ReadFigureRecord() {
    const std::vector<TFigureRecord>& table = FigureTable(figure_cursor_table);
    // Reading on past the end keeps answering the sentinel rather than running off the table.
    if (figure_cursor_pos >= table.size()) return FIGURE_SENTINEL;
    return table[figure_cursor_pos++];
}

std::string ResultMessageRecord(int i) {
    if (i < 0 || i >= 20) return "";
    return kResultMessages[i];
}

void FillMessage() {
    for (std::string& m : message)
        m.clear();
    message[1] = "*** ZAPTOMANIA ***";
    message[2] = "Coded for BLINKFEST (shame it wasn't chosen)";
    message[4] = "-= HOW TO PLAY THE GAME =-";
    message[6] = "Each player laser charges and fires automatically.";
    message[7] = "Movement can be controlled with your switch which will";
    message[8] = "will flip your current movement direction. ";
    message[9] = " ";
    message[10] = "Shoot the bubbles for points. Bubbles in your colour will";
    message[11] = "score more points, bubbles which are in an enemy colour";
    message[12] = "will score less points! AIM CAREFULLY TO SCORE BIG!";
    message[13] = " ";
    message[14] = "Touching a bubble will short circuit your base briefly.";
    message[16] = "Be careful out there. Score more points than everyone else.";
    message[17] = " ";
    message[18] = "TAP A PLAYER SWITCH TO BEGIN THE 'START GAME' COUNTDOWN";
    message[19] = "PARTICIPATING PLAYERS MUST JOIN BEFORE ZERO IS REACHED";
    message[20] = " ";
    message[21] = "HOLD DOWN THE PLAYER 1 SWITCH TO CHANGE THE GAME OPTIONS";
    message[22] = "(The 'catchup' option doubles the rate of fire of the";
    message[23] = "ship in last position during multi-player battles.)";
    message[25] = "-= PLAYER KEYS =-";
    message[27] = "Player 1 = 'SPACE' bar (or joypad 1)";
    message[28] = "Player 2 = 'ENTER' key (or joypad 2)";
    message[29] = "Player 3 = '1' key (or joypad 3)";
    message[30] = "Player 4 = 'minus' on numpad (or joypad 4)";
    message[35] = CREDIT_LINE;
    message[37] = "-------------------MESSAGE ENDS-------------------";
}
