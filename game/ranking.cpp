#include "game/ranking.h"

#include <array>
#include <string>
#include <utility>

#include "game/globals.h"
#include "game/player.h"
#include "platform/random.h"

namespace {

// Sorts the four score rows (place 1..4 -> player number) in descending order
// of key[player]: whole bubble-sort sweeps of (1,2), (2,3), (3,4) until one
// makes no swap; only a strictly greater lower row swaps, so ties keep order.
template <class Key> void SortRows(std::array<int, 5>& rows, Key key) {
    bool swapped = true;
    while (swapped) {
        swapped = false;
        for (int i = 1; i <= 3; ++i) {
            if (key(rows[i + 1]) > key(rows[i])) {
                std::swap(rows[i], rows[i + 1]);
                swapped = true;
            }
        }
    }
}

// Rows 1..4 named by each base's current place.
std::array<int, 5> RowsByPlace() {
    std::array<int, 5> rows{0, 1, 2, 3, 4};
    for (int n = 1; n <= 4; ++n) {
        const int place = players[n]->score_index;
        if (place >= 1 && place <= 4) rows[place] = n;
    }
    return rows;
}

} // namespace

void SortScoreRows() {
    std::array<int, 5> rows = RowsByPlace();
    SortRows(rows, [](int n) { return players[n]->human; });
    for (int i = 1; i <= 4; ++i)
        players[rows[i]]->score_index = i;
    for (int n = 1; n <= 4; ++n)
        if (cpu_active == 0 && players[n]->human == 0) players[n]->charge = -1;
}

std::string FillResultMessage(std::string_view msg, std::string_view name) {
    const std::size_t d = msg.find('$');
    if (d == std::string_view::npos) return std::string(msg);
    std::string out(msg.substr(0, d));
    out += name;
    out += msg.substr(d + 1);
    return out;
}

void RankResults() {
    std::array<int, 5> rows = RowsByPlace();
    SortRows(rows, [](int n) { return players[n]->score; });
    for (int i = 1; i <= 4; ++i) {
        TPlayer& b = *players[rows[i]];
        b.score_index = i;
        const std::string& m = result_msg[i][RandomInt(0, 4)];
        const int idx = (b.index >= 1 && b.index <= 4) ? b.index : 0;
        b.result = FillResultMessage(m, col_name[idx]);
    }
}
