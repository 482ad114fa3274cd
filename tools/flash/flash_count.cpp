#include "flash/flash_count.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

constexpr float GENERAL_CHANGE = 0.1f; // of the maximum relative luminance, 1
constexpr float DARKER_BELOW = 0.8f;
constexpr float RED_CHANGE = 20.0f; // of 320 * (R - G - B)
constexpr float SATURATED_RED = 0.8f;

const std::array<float, 256>& LinearTable() {
    static const std::array<float, 256> table = [] {
        std::array<float, 256> t{};
        for (int i = 0; i < 256; ++i) {
            const double c = i / 255.0;
            t[static_cast<std::size_t>(i)] =
                static_cast<float>(c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
        }
        return t;
    }();
    return table;
}

// One pixel's step of the hysteresis: +1 for an increase counted now, -1 for
// a decrease, 0 for none. sat tells whether the value is saturated red (only
// the red track asks; the general one checks the darker state instead).
template <bool RED>
int Step(float v, bool sat, float& lo, float& hi, std::int8_t& dir, std::uint8_t& lo_sat,
         std::uint8_t& hi_sat) {
    if (dir >= 0 && v > hi) {
        hi = v;
        hi_sat = sat;
    }
    if (dir <= 0 && v < lo) {
        lo = v;
        lo_sat = sat;
    }
    bool up = false, down = false;
    if constexpr (RED) {
        down = dir >= 0 && hi - v > RED_CHANGE && (hi_sat || sat);
        up = !down && dir <= 0 && v - lo > RED_CHANGE && (lo_sat || sat);
    } else {
        down = dir >= 0 && hi - v >= GENERAL_CHANGE && v < DARKER_BELOW;
        up = !down && dir <= 0 && v - lo >= GENERAL_CHANGE && lo < DARKER_BELOW;
    }
    if (!up && !down) return 0;
    dir = up ? 1 : -1;
    lo = hi = v;
    lo_sat = hi_sat = sat;
    return dir;
}

} // namespace

TFlashCounter::TFlashCounter(int width, int height, int frames_per_second)
    : width_(std::max(1, width)), height_(std::max(1, height)), fps_(std::max(1, frames_per_second)),
      rect_w_(std::max(1, width_ / 3)), rect_h_(std::max(1, height_ / 3)) {
    const std::size_t pixels = static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_);
    Start(general_, pixels);
    Start(red_, pixels);
}

void TFlashCounter::Start(TTrack& t, std::size_t pixels) {
    t.lo.assign(pixels, 0);
    t.hi.assign(pixels, 0);
    t.dir.assign(pixels, 0);
    t.lo_sat.assign(pixels, 0);
    t.hi_sat.assign(pixels, 0);
    t.up.assign(pixels, 0);
    t.down.assign(pixels, 0);
}

TFlashFrame TFlashCounter::AddFrame(const std::uint8_t* rgb) {
    const std::array<float, 256>& lin = LinearTable();
    const std::size_t pixels = general_.lo.size();
    const bool first = figures_.frames == 0;
    long gen_up = 0, gen_down = 0, red_up = 0, red_down = 0;
    for (std::size_t i = 0; i < pixels; ++i) {
        const float r = lin[rgb[3 * i]], g = lin[rgb[3 * i + 1]], b = lin[rgb[3 * i + 2]];
        const float lum = 0.2126f * r + 0.7152f * g + 0.0722f * b;
        const float q = 320.0f * std::max(0.0f, r - g - b);
        const float sum = r + g + b;
        const bool sat = sum > 0 && r >= SATURATED_RED * sum;
        if (first) {
            general_.lo[i] = general_.hi[i] = lum;
            red_.lo[i] = red_.hi[i] = q;
            red_.lo_sat[i] = red_.hi_sat[i] = sat;
            continue;
        }
        const int g_step = Step<false>(lum, true, general_.lo[i], general_.hi[i], general_.dir[i],
                                       general_.lo_sat[i], general_.hi_sat[i]);
        general_.up[i] = g_step > 0;
        general_.down[i] = g_step < 0;
        gen_up += g_step > 0;
        gen_down += g_step < 0;
        const int r_step =
            Step<true>(q, sat, red_.lo[i], red_.hi[i], red_.dir[i], red_.lo_sat[i], red_.hi_sat[i]);
        red_.up[i] = r_step > 0;
        red_.down[i] = r_step < 0;
        red_up += r_step > 0;
        red_down += r_step < 0;
    }
    const long f = ++figures_.frames;
    TFlashFrame frame;
    frame.general_transitions = ScreenStep(general_, gen_up, gen_down, frame.general_area);
    frame.red_transitions = ScreenStep(red_, red_up, red_down, frame.red_area);
    if (frame.general_transitions > figures_.general_transitions) {
        figures_.general_transitions = frame.general_transitions;
        figures_.general_frame = f;
    }
    if (frame.red_transitions > figures_.red_transitions) {
        figures_.red_transitions = frame.red_transitions;
        figures_.red_frame = f;
    }
    figures_.general_area = std::max(figures_.general_area, frame.general_area);
    figures_.red_area = std::max(figures_.red_area, frame.red_area);
    return frame;
}

int TFlashCounter::LargestArea(const std::vector<std::uint8_t>& map, long count) {
    if (count == 0) return 0;
    // Sums of rect_h_ rows in every column, slid down the frame; then sums of
    // rect_w_ of those along each band.
    int best = 0;
    column_sums_.assign(static_cast<std::size_t>(width_), 0);
    for (int y = 0; y < height_; ++y) {
        const std::uint8_t* row = map.data() + static_cast<std::size_t>(y) * width_;
        for (int x = 0; x < width_; ++x)
            column_sums_[static_cast<std::size_t>(x)] += row[x];
        if (y >= rect_h_) {
            const std::uint8_t* gone = map.data() + static_cast<std::size_t>(y - rect_h_) * width_;
            for (int x = 0; x < width_; ++x)
                column_sums_[static_cast<std::size_t>(x)] -= gone[x];
        }
        if (y < rect_h_ - 1) continue;
        int band = 0;
        for (int x = 0; x < width_; ++x) {
            band += column_sums_[static_cast<std::size_t>(x)];
            if (x >= rect_w_) band -= column_sums_[static_cast<std::size_t>(x - rect_w_)];
            if (x >= rect_w_ - 1) best = std::max(best, band);
        }
    }
    return best;
}

int TFlashCounter::ScreenStep(TTrack& t, long up_count, long down_count, double& area) {
    const long rect = static_cast<long>(rect_w_) * rect_h_;
    const int up = LargestArea(t.up, up_count);
    const int down = LargestArea(t.down, down_count);
    area = static_cast<double>(std::max(up, down)) / static_cast<double>(rect);
    // A quarter of the rectangle is allowed.
    const bool screen_up = static_cast<long>(up) * 4 > rect;
    const bool screen_down = static_cast<long>(down) * 4 > rect;
    const long f = figures_.frames;
    // In the order that alternates with the last one counted.
    const int order[2] = {t.screen_dir > 0 ? -1 : 1, t.screen_dir > 0 ? 1 : -1};
    for (const int d : order) {
        if ((d > 0 && !screen_up) || (d < 0 && !screen_down) || d == t.screen_dir) continue;
        t.screen_dir = d;
        t.screen.push_back(f);
    }
    while (!t.screen.empty() && t.screen.front() <= f - fps_)
        t.screen.pop_front();
    return static_cast<int>(t.screen.size());
}
