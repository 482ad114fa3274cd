// The flash count on synthetic sequences whose flashes are known: frames of
// 60 x 48, so the field is a 20 x 16 rectangle of 320 pixels and more than 80
// of them must change together.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "flash/flash_count.h"

namespace {

constexpr int W = 60, H = 48;

struct TRgb {
    std::uint8_t r, g, b;
};
constexpr TRgb BLACK{0, 0, 0}, WHITE{255, 255, 255};

// A frame of one colour with a patch of another: pixels [x0, x1) x [y0, y1).
struct TPatch {
    int x0, y0, x1, y1;
};

std::vector<std::uint8_t> Frame(TRgb ground, TRgb patch_colour, const std::vector<TPatch>& patches) {
    std::vector<std::uint8_t> f(static_cast<std::size_t>(W) * H * 3);
    for (int y = 0; y < H; ++y) {
        for (int x = 0; x < W; ++x) {
            TRgb c = ground;
            for (const TPatch& p : patches)
                if (x >= p.x0 && x < p.x1 && y >= p.y0 && y < p.y1) c = patch_colour;
            std::uint8_t* px = f.data() + 3 * (static_cast<std::size_t>(y) * W + x);
            px[0] = c.r;
            px[1] = c.g;
            px[2] = c.b;
        }
    }
    return f;
}

// frames frames in which the patches swap between a and b every period
// frames (the first period shows a).
TFlashFigures Toggle(TRgb ground, TRgb a, TRgb b, const std::vector<TPatch>& patches, int period,
                     int frames = 150) {
    const std::vector<std::uint8_t> fa = Frame(ground, a, patches), fb = Frame(ground, b, patches);
    TFlashCounter counter(W, H, 50);
    for (int i = 0; i < frames; ++i)
        counter.AddFrame((i / period) % 2 == 0 ? fa.data() : fb.data());
    return counter.Figures();
}

const std::vector<TPatch> WHOLE{{0, 0, W, H}};

TEST(FlashCount, CountsTransitionsPerSecondAtTheThreshold) {
    // A swap every 5 frames: 10 transitions in every second, 5 flashes.
    TFlashFigures f = Toggle(BLACK, BLACK, WHITE, WHOLE, 5);
    EXPECT_EQ(f.frames, 150);
    EXPECT_EQ(f.general_transitions, 10);
    EXPECT_EQ(f.GeneralFlashesPerSecond(), 5.0);
    EXPECT_DOUBLE_EQ(f.general_area, 1.0);
    EXPECT_FALSE(f.Passes());
    // Every 8 frames: some second holds 7 transitions, 3.5 flashes: too many.
    f = Toggle(BLACK, BLACK, WHITE, WHOLE, 8);
    EXPECT_EQ(f.general_transitions, 7);
    EXPECT_FALSE(f.Passes());
    // Every 9 frames: at most 6, three flashes, which is allowed.
    f = Toggle(BLACK, BLACK, WHITE, WHOLE, 9);
    EXPECT_EQ(f.general_transitions, 6);
    EXPECT_TRUE(f.Passes());
    // Grey to white and back is a flash (the darker state is below 0.8) ...
    EXPECT_EQ(Toggle(BLACK, {225, 225, 225}, WHITE, WHOLE, 5).general_transitions, 10);
    // ... but not from a grey brighter than 0.8, nor a change under 0.1.
    EXPECT_EQ(Toggle(BLACK, {235, 235, 235}, WHITE, WHOLE, 5).general_transitions, 0);
    EXPECT_EQ(Toggle(BLACK, {100, 100, 100}, {110, 110, 110}, WHOLE, 5).general_transitions, 0);
    EXPECT_EQ(f.red_transitions, 0); // grey and white have no red
}

TEST(FlashCount, AFadeIsOneTransitionEachWay) {
    // Up over 40 frames, down over 40, twice: small steps, one transition each way.
    TFlashCounter counter(W, H, 50);
    for (int i = 0; i < 160; ++i) {
        const int phase = i % 80;
        const auto v = static_cast<std::uint8_t>(phase < 40 ? phase * 255 / 39 : (79 - phase) * 255 / 39);
        const std::vector<std::uint8_t> f = Frame({v, v, v}, {v, v, v}, {});
        counter.AddFrame(f.data());
    }
    EXPECT_EQ(counter.Figures().general_transitions, 2);
}

TEST(FlashCount, OnlyAreaBeyondAQuarterOfOneFieldCounts) {
    // 10 x 8 = 80 pixels: exactly a quarter of the field, allowed.
    EXPECT_EQ(Toggle(BLACK, BLACK, WHITE, {{0, 0, 10, 8}}, 5).general_transitions, 0);
    // One pixel more in the same field.
    const TFlashFigures f = Toggle(BLACK, BLACK, WHITE, {{0, 0, 10, 8}, {10, 0, 11, 1}}, 5);
    EXPECT_EQ(f.general_transitions, 10);
    EXPECT_DOUBLE_EQ(f.general_area, 81.0 / 320.0);
    // Two patches of 60 count together only when one field holds both.
    EXPECT_EQ(Toggle(BLACK, BLACK, WHITE, {{0, 0, 6, 10}, {10, 4, 16, 14}}, 5).general_transitions, 10);
    EXPECT_EQ(Toggle(BLACK, BLACK, WHITE, {{0, 0, 6, 10}, {50, 36, 56, 46}}, 5).general_transitions, 0);
}

TEST(FlashCount, RedFlashesNeedASaturatedRed) {
    // Saturated red against the grey of the same luminance: no general flash, red ones.
    const TFlashFigures red = Toggle(BLACK, {255, 0, 0}, {127, 127, 127}, WHOLE, 5);
    EXPECT_EQ(red.general_transitions, 0);
    EXPECT_EQ(red.red_transitions, 10);
    EXPECT_FALSE(red.Passes());
    // Pink is red enough to change 320 * (R - G - B) by more than 20, but not saturated.
    const TFlashFigures pink = Toggle(BLACK, {255, 160, 160}, {180, 180, 180}, WHOLE, 5);
    EXPECT_EQ(pink.general_transitions, 0);
    EXPECT_EQ(pink.red_transitions, 0);
}

} // namespace
