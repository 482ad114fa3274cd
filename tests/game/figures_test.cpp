#include <gtest/gtest.h>

#include <string>

#include "game/figures.h"
#include "game/globals.h"

namespace {

struct Bounds {
    int x_lo, x_hi, y_lo, y_hi, col_a, col_b;
};

void ExpectFigureWithin(int figure, const Bounds& b) {
    const auto& t = FigureTable(figure);
    ASSERT_GE(t.size(), 10u);
    const TFigureRecord& last = t.back();
    EXPECT_EQ(last.col, 1);
    EXPECT_EQ(last.x1, -100);
    EXPECT_EQ(last.y2, -100);
    for (std::size_t i = 0; i + 1 < t.size(); ++i) {
        const TFigureRecord& r = t[i];
        SCOPED_TRACE(i);
        EXPECT_TRUE(r.col == b.col_a || r.col == b.col_b);
        for (int x : {r.x1, r.x2}) {
            EXPECT_GE(x, b.x_lo);
            EXPECT_LE(x, b.x_hi);
        }
        for (int y : {r.y1, r.y2}) {
            EXPECT_GE(y, b.y_lo);
            EXPECT_LE(y, b.y_hi);
        }
        // Only the sentinel may look like one: the reader stops at an x1 below 1.
        EXPECT_GE(r.x1, 1);
    }
}

TEST(Figures, StrokesStayWithinTheirBoundsAndColours) {
    ExpectFigureWithin(FIGURE_A, {40, 730, 50, 150, 2, 4});
    ExpectFigureWithin(FIGURE_B, {85, 685, 50, 175, 1, 3});
}

TEST(Figures, ReadCursorWalksOneFigureAndStopsAtTheSentinel) {
    RestoreFigure(FIGURE_B);
    const auto& b = FigureTable(FIGURE_B);
    for (std::size_t i = 0; i < b.size(); ++i) {
        TFigureRecord r = ReadFigureRecord();
        EXPECT_EQ(r.x1, b[i].x1);
        EXPECT_EQ(r.y2, b[i].y2);
    }
    EXPECT_LT(ReadFigureRecord().x1, 1); // past the end it keeps giving the sentinel
    RestoreFigure(FIGURE_A);
    EXPECT_EQ(ReadFigureRecord().x1, FigureTable(FIGURE_A)[0].x1);
}

TEST(Figures, TablesAreFilledAsTheGameReadsThem) {
    FillTables();
    FillMessage();
    EXPECT_EQ(result_msg[1][0], "Way to go, $! Awesome playing!");
    EXPECT_EQ(result_msg[2][3], "$: 'Today 2nd, tomorrow the world!'");
    EXPECT_EQ(result_msg[4][4], "Popping just isn't $'s thing.");
    for (int place = 1; place <= 4; ++place)
        for (int v = 0; v <= 4; ++v)
            EXPECT_NE(result_msg[place][v].find('$'), std::string::npos);
    EXPECT_EQ(message[8], "will flip your current movement direction. ");
    EXPECT_EQ(message[35], CREDIT_LINE);
    EXPECT_FALSE(message[35].empty());
    for (int empty : {0, 3, 5, 15, 24, 26, 31, 32, 33, 34, 36, 38, 39})
        EXPECT_EQ(message[empty], "");
    EXPECT_EQ(melody[23], 12);
    EXPECT_EQ(base_rotation[3], 90);
    EXPECT_EQ(col_name[4], "Red");
}

} // namespace
