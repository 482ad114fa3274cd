#pragma once
// Counting flashes in a sequence of frames, by the flash thresholds of the
// Web Content Accessibility Guidelines (WCAG 2.1 and 2.2, success criterion
// 2.3.1 "Three Flashes or Below Threshold", with the definitions of "general
// flash and red flash thresholds", "relative luminance" and the note on
// saturated red; the 10-degree field as a 341 x 256 rectangle of a 1024 x 768
// screen comes from the criterion's "Understanding" document).
//
// The rule, exactly as counted here:
//
// 1. Each pixel's state is its relative luminance L = 0.2126 R + 0.7152 G +
//    0.0722 B of the linearised sRGB components (c / 12.92 up to 0.04045,
//    else ((c + 0.055) / 1.055) ^ 2.4), and its red value
//    Q = 320 * max(0, R - G - B) of the same components; the state is
//    saturated red when R / (R + G + B) >= 0.8.
// 2. A transition of a pixel is a change between a peak and a trough of its
//    luminance: it is counted at the first frame where the luminance has
//    fallen by 0.1 or more from the highest value since the pixel's last
//    counted transition with the lower state below 0.8 (a decrease), or risen
//    by 0.1 or more from the lowest one with that lowest value below 0.8 (an
//    increase). After a decrease only an increase can follow, and the other
//    way round; the first transition may go either way. So smaller wiggles and
//    the slow steps of a fade count once, and a transition's two states are
//    always the adjacent peak and trough.
// 3. Red transitions are counted the same way on Q, with a change of more than
//    20 (not 20 itself), and only where the state at one end of the
//    transition is saturated red.
// 4. A frame has a general increase (decrease) on the screen when, in some
//    341 x 256 rectangle (a third of the frame's width and height), the pixels
//    counting an increase (decrease) in that frame cover more than a quarter
//    of the rectangle: they are the area flashing together. The screen's own
//    sequence alternates the same way as a pixel's: an increase counts after a
//    decrease or as the first, and a frame may count both (a pattern inverting
//    counts twice). Red likewise.
// 5. A flash is a pair of opposing transitions, so the flashes of any second
//    (any run of frames_per_second consecutive frames) are half its screen
//    transitions; more than three (seven transitions or more) fails.
//
// The criterion's exact counting is left to tools by its authors; where a
// choice had to be made (the hysteresis of 2, the rectangle of 4), it is the
// stricter reading.

#include <cstdint>
#include <deque>
#include <vector>

struct TFlashFigures {
    long frames = 0;
    // Most screen transitions in any one second, and the last frame (from 1)
    // of the first second that reached it.
    int general_transitions = 0;
    long general_frame = 0;
    int red_transitions = 0;
    long red_frame = 0;
    // The largest fraction of a rectangle that changed together in one frame.
    double general_area = 0;
    double red_area = 0;

    double GeneralFlashesPerSecond() const { return general_transitions / 2.0; }
    double RedFlashesPerSecond() const { return red_transitions / 2.0; }
    bool Passes() const { return general_transitions <= 6 && red_transitions <= 6; }
};

// What one frame adds: the screen transitions of the second that ends with
// it, and the largest fractions of a rectangle that changed in it.
struct TFlashFrame {
    int general_transitions = 0;
    int red_transitions = 0;
    double general_area = 0;
    double red_area = 0;
};

class TFlashCounter {
  public:
    TFlashCounter(int width, int height, int frames_per_second = 50);
    // One frame: width * height RGB triples, top row first.
    TFlashFrame AddFrame(const std::uint8_t* rgb);
    const TFlashFigures& Figures() const { return figures_; }

  private:
    // One kind of transition (general or red) for every pixel, and the
    // screen's sequence of it.
    struct TTrack {
        std::vector<float> lo, hi;
        std::vector<std::int8_t> dir; // the last counted transition: +1 up, -1 down, 0 none
        std::vector<std::uint8_t> lo_sat, hi_sat;
        std::vector<std::uint8_t> up, down; // this frame's transitions
        int screen_dir = 0;
        std::deque<long> screen; // frames of the screen transitions within the last second
    };
    void Start(TTrack& t, std::size_t pixels);
    // The most pixels of one map inside any rectangle.
    int LargestArea(const std::vector<std::uint8_t>& map, long count);
    // Counts the screen's transitions of one kind; returns those of the last
    // second, and the frame's largest area in area.
    int ScreenStep(TTrack& t, long up_count, long down_count, double& area);

    int width_, height_, fps_;
    int rect_w_, rect_h_;
    TTrack general_, red_;
    std::vector<int> column_sums_;
    TFlashFigures figures_;
};
