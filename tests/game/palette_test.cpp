// The player colours, told apart by people with the common colour-vision
// deficiencies. Differences are CIEDE2000 (unit weights, D65 white) between
// colours as seen with normal vision and through the Machado, Oliveira and
// Fernandes (2009) simulations of protanopia, deuteranopia and tritanopia at
// severity 1 (applied to linear sRGB, clipped to 0..1).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <string>

#include "game/globals.h"
#include "game/ranking.h"

namespace {

using TMatrix = std::array<std::array<double, 3>, 3>;
struct TLab {
    double l, a, b;
};

constexpr std::array<const char*, 4> VISION = {"normal", "protanopia", "deuteranopia", "tritanopia"};
constexpr std::array<TMatrix, 4> SIMULATION = {{
    {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}},
    {{{0.152286, 1.052583, -0.204868}, {0.114503, 0.786281, 0.099216}, {-0.003882, -0.048116, 1.051998}}},
    {{{0.367322, 0.860646, -0.227968}, {0.280085, 0.672501, 0.047413}, {-0.011820, 0.042940, 0.968881}}},
    {{{1.255528, -0.076749, -0.178779}, {-0.078411, 0.930809, 0.147602}, {0.004733, 0.691367, 0.303900}}},
}};

double Linear(int c) {
    const double v = c / 255.0;
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

TLab LabSeen(const TRgb& c, int vision) {
    const std::array<double, 3> in{Linear(c.r), Linear(c.g), Linear(c.b)};
    std::array<double, 3> l{};
    for (int i = 0; i < 3; ++i) {
        double v = 0;
        for (int j = 0; j < 3; ++j)
            v += SIMULATION[vision][i][j] * in[j];
        l[i] = std::clamp(v, 0.0, 1.0);
    }
    const double x = (0.4124564 * l[0] + 0.3575761 * l[1] + 0.1804375 * l[2]) / 0.95047;
    const double y = 0.2126729 * l[0] + 0.7151522 * l[1] + 0.0721750 * l[2];
    const double z = (0.0193339 * l[0] + 0.1191920 * l[1] + 0.9503041 * l[2]) / 1.08883;
    const auto f = [](double t) { return t > 216.0 / 24389 ? std::cbrt(t) : (24389.0 / 27 * t + 16) / 116; };
    return {116 * f(y) - 16, 500 * (f(x) - f(y)), 200 * (f(y) - f(z))};
}

double Rad(double degrees) {
    return degrees * 3.14159265358979323846 / 180;
}

double Ciede2000(const TLab& p, const TLab& q) {
    const double c_mean = (std::hypot(p.a, p.b) + std::hypot(q.a, q.b)) / 2;
    const double c7 = std::pow(c_mean, 7);
    const double g = 0.5 * (1 - std::sqrt(c7 / (c7 + std::pow(25.0, 7))));
    const double a1 = (1 + g) * p.a, a2 = (1 + g) * q.a;
    const double c1 = std::hypot(a1, p.b), c2 = std::hypot(a2, q.b);
    const auto hue = [](double b, double a) {
        const double h = std::atan2(b, a) * 180 / 3.14159265358979323846;
        return h < 0 ? h + 360 : h;
    };
    const double h1 = c1 == 0 ? 0 : hue(p.b, a1), h2 = c2 == 0 ? 0 : hue(q.b, a2);
    double dh = 0;
    if (c1 * c2 != 0) {
        dh = h2 - h1;
        if (dh > 180) dh -= 360;
        if (dh < -180) dh += 360;
    }
    const double d_l = q.l - p.l, d_c = c2 - c1;
    const double d_h = 2 * std::sqrt(c1 * c2) * std::sin(Rad(dh / 2));
    const double l_mean = (p.l + q.l) / 2, c_mean_p = (c1 + c2) / 2;
    double h_mean = h1 + h2;
    if (c1 * c2 != 0) {
        if (std::abs(h1 - h2) <= 180)
            h_mean = (h1 + h2) / 2;
        else
            h_mean = h1 + h2 < 360 ? (h1 + h2 + 360) / 2 : (h1 + h2 - 360) / 2;
    }
    const double t = 1 - 0.17 * std::cos(Rad(h_mean - 30)) + 0.24 * std::cos(Rad(2 * h_mean)) +
                     0.32 * std::cos(Rad(3 * h_mean + 6)) - 0.20 * std::cos(Rad(4 * h_mean - 63));
    const double d_theta = 30 * std::exp(-std::pow((h_mean - 275) / 25, 2));
    const double cp7 = std::pow(c_mean_p, 7);
    const double r_c = 2 * std::sqrt(cp7 / (cp7 + std::pow(25.0, 7)));
    const double s_l = 1 + 0.015 * std::pow(l_mean - 50, 2) / std::sqrt(20 + std::pow(l_mean - 50, 2));
    const double s_c = 1 + 0.045 * c_mean_p, s_h = 1 + 0.015 * c_mean_p * t;
    const double r_t = -std::sin(Rad(2 * d_theta)) * r_c;
    return std::sqrt(std::pow(d_l / s_l, 2) + std::pow(d_c / s_c, 2) + std::pow(d_h / s_h, 2) +
                     r_t * (d_c / s_c) * (d_h / s_h));
}

double Difference(const TRgb& p, const TRgb& q, int vision) {
    return Ciede2000(LabSeen(p, vision), LabSeen(q, vision));
}

// The brightest part of the backdrop: its four translucent panels overlapping
// (alpha 0.1 of 25, 20, 200, added four times).
constexpr TRgb BACKDROP{10, 8, 80};
constexpr TRgb BLACK{0, 0, 0};

// The smallest difference within a colour set (players 1..4) and between any
// of its colours and black or the backdrop, over the four kinds of vision;
// prints them all so the figures can be quoted.
double SmallestDifference(const std::array<TRgb, 5>& set, const char* name) {
    double smallest = 1e9;
    for (int v = 0; v < 4; ++v) {
        double pairs = 1e9, ground = 1e9;
        for (int i = 1; i <= 4; ++i) {
            for (int j = i + 1; j <= 4; ++j)
                pairs = std::min(pairs, Difference(set[i], set[j], v));
            ground = std::min({ground, Difference(set[i], BLACK, v), Difference(set[i], BACKDROP, v)});
        }
        std::printf("  %-6s %-12s players %5.1f  black/backdrop %5.1f\n", name, VISION[v], pairs, ground);
        smallest = std::min({smallest, pairs, ground});
    }
    return smallest;
}

TEST(Palette, MeasuresTheStandardColoursAsPublished) {
    // Published figures for the standard palette: the measure itself is right.
    const TPalette& s = standard_palette;
    EXPECT_NEAR(Difference(s.base[1], s.base[2], 0), 22.6, 0.05);
    EXPECT_NEAR(Difference(s.base[1], s.base[2], 1), 3.8, 0.05);
    EXPECT_NEAR(Difference(s.base[1], s.base[2], 2), 8.4, 0.05);
    EXPECT_NEAR(Difference(s.base[1], s.base[4], 2), 17.6, 0.05);
    EXPECT_NEAR(Difference(s.bright[1], s.bright[4], 1), 6.8, 0.05);
    EXPECT_NEAR(Difference(s.dark[1], s.dark[2], 1), 3.0, 0.05);
    // A known CIEDE2000 pair (Sharma, Wu and Dalal 2005, pair 1).
    EXPECT_NEAR(Ciede2000({50, 2.6772, -79.7751}, {50, 0, -82.7485}), 2.0425, 1e-4);
}

TEST(Palette, ColourSafePlayersDifferByAtLeast20UnderEveryVision) {
    const TPalette& c = colour_safe_palette;
    std::printf("colour-safe palette, smallest CIEDE2000 differences:\n");
    EXPECT_GE(SmallestDifference(c.base, "base"), 20.0);
    EXPECT_GE(SmallestDifference(c.bright, "bright"), 20.0);
    EXPECT_GE(SmallestDifference(c.dark, "dark"), 20.0);
    EXPECT_GE(SmallestDifference({c.tint[0], c.tint[1], c.tint[2], c.tint[3], c.tint[4]}, "tint"), 20.0);
    std::printf("standard palette, for comparison:\n");
    SmallestDifference(standard_palette.base, "base");
    SmallestDifference(standard_palette.bright, "bright");
    SmallestDifference(standard_palette.dark, "dark");
}

TEST(Palette, TheOptionSwitchesColoursAndNamesAndSurvivesAReset) {
    UseColourSafePalette(true);
    ResetGameState();
    EXPECT_EQ(colour_safe, 1);
    EXPECT_EQ(col_base[1].r, colour_safe_palette.base[1].r);
    EXPECT_EQ(col_dark[3].g, colour_safe_palette.dark[3].g);
    EXPECT_EQ(col_name[1], "P1 (Orange)");
    EXPECT_EQ(FillResultMessage("Well done $!", col_name[2]), "Well done P2 (Sky Blue)!");
    UseColourSafePalette(false);
    ResetGameState();
    EXPECT_EQ(col_name[1], "Green");
    EXPECT_EQ(col_tint[1].g, 255);
    EXPECT_EQ(col_bright[4].r, 255);
}

} // namespace
