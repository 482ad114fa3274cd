#pragma once
#include <array>
#include <string>
#include <vector>

// The game's read-only record tables: the two line figures that the attract
// screen traces with laser light, the twenty results messages and the texts of
// the scrolling message.

// One stroke: colour index (a player number), then the two ends.
struct TFigureRecord {
    int col, x1, y1, x2, y2;
};

// Closes each figure; its x1 below 1 tells the reader the figure is done.
inline constexpr TFigureRecord FIGURE_SENTINEL{1, -100, -100, -100, -100};

enum { FIGURE_A = 0, FIGURE_B = 1 };

// The strokes of a figure in table order, closing sentinel included.
const std::vector<TFigureRecord>& FigureTable(int figure);

// The shared read cursor over the figure tables: RestoreFigure puts it at the
// start of a figure, ReadFigureRecord returns the record under it and moves on.
void RestoreFigure(int figure);
TFigureRecord ReadFigureRecord();

// Results message i (0..19), in the order places 1..4, variants 0..4.
std::string ResultMessageRecord(int i);

// The credit line of message slot 35.
extern const char* const CREDIT_LINE;
