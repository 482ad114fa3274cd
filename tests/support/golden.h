#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Golden-image comparison for tests that render.
//
//   std::vector<uint8_t> rgb = ...;   // width * height * 3 bytes, top row first
//   auto r = CompareGolden(SourceDir() + "/tests/golden/data/lines.png", width, height, rgb);
//   EXPECT_TRUE(r.ok) << r.message;
//
// A pixel matches when each of its channels is within `tolerance` of the stored one;
// the image matches when no more than `max_bad_pixels` pixels do not. On a mismatch
// (or a missing or unreadable expected file) the actual picture is written beside the
// expected one as <name>.actual.png, with <name>.diff.png showing every mismatching
// pixel in red over a dimmed grey copy of the expected picture, and r.message says
// where they are. Run with ZAP_UPDATE_GOLDEN=1 to (re)write the expected files instead;
// the comparison then passes.

struct TGoldenResult {
    bool ok = false;
    int bad_pixels = 0;  // pixels outside the tolerance
    int max_diff = 0;    // largest channel difference seen
    std::string message; // what went wrong and where the actual/diff images are
};

TGoldenResult CompareGolden(const std::string& expected_png, int width, int height,
                            const std::vector<uint8_t>& rgb, int tolerance = 2, int max_bad_pixels = 0);

// PNG input/output of 8-bit RGB pictures (alpha, grey and palettes are converted on reading).
bool ReadPngRgb(const std::string& path, int& width, int& height, std::vector<uint8_t>& rgb);
bool WritePngRgb(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb);
