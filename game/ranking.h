#pragma once
#include <string>
#include <string_view>

// The places of the four score rows and the results messages.

// Round set-up: human players' score rows first (in player order), then the
// computer's; switches computer bases off when computer players are disabled.
void SortScoreRows();

// Live ranking after a scoring volley: places by score (ties keep their old
// order) and a freshly picked results message for every player.
void RankResults();

// Replaces the first "$" of a results message with a colour name.
std::string FillResultMessage(std::string_view msg, std::string_view name);
