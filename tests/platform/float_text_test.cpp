#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include "platform/float_text.h"

namespace {

float FromBits(std::uint32_t bits) {
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

// The native standard library's shortest form, the reference.
std::string Native(float f) {
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, f);
    return std::string(buf, res.ptr);
}

// Counts the floats of [first, last) (as bit patterns, step apart) whose text
// differs from the native one, and reports the first few.
int CountDifferences(std::uint64_t first, std::uint64_t last, std::uint64_t step) {
    int differ = 0;
    for (std::uint64_t b = first; b < last; b += step) {
        const float f = FromBits(static_cast<std::uint32_t>(b));
        if (std::isnan(f)) continue;
        const std::string ours = ShortestFloat(f), native = Native(f);
        if (ours != native && ++differ <= 5)
            ADD_FAILURE() << "bits " << std::hex << b << ": " << ours << " vs " << native;
    }
    return differ;
}

} // namespace

// The cases where the choice of notation or the digits could go wrong, with
// the text they must give.
TEST(FloatText, NotationAndDigits) {
    EXPECT_EQ(ShortestFloat(0.25f), "0.25");
    EXPECT_EQ(ShortestFloat(1500.0f), "1500");
    EXPECT_EQ(ShortestFloat(-0.0f), "-0");
    EXPECT_EQ(ShortestFloat(0.1f), "0.1");
    EXPECT_EQ(ShortestFloat(1e20f), "1e+20");
    EXPECT_EQ(ShortestFloat(2.5e-7f), "2.5e-07");
    EXPECT_EQ(ShortestFloat(0.001f), "0.001"); // fixed on a tie of lengths
    EXPECT_EQ(ShortestFloat(0.0001f), "1e-04");
    EXPECT_EQ(ShortestFloat(123456.0f), "123456"); // fixed while not longer
    EXPECT_EQ(ShortestFloat(1e6f), "1e+06");
    EXPECT_EQ(ShortestFloat(8589934592.0f), "8589934592"); // large whole numbers exactly
    EXPECT_EQ(ShortestFloat(std::numeric_limits<float>::max()), "3.4028235e+38");
    EXPECT_EQ(ShortestFloat(std::numeric_limits<float>::denorm_min()), "1e-45");
    EXPECT_EQ(ShortestFloat(-std::numeric_limits<float>::infinity()), "-inf");
    EXPECT_EQ(ShortestFloat(std::nanf("")), "nan");
    std::string out = "x=";
    AppendShortestFloat(out, -1.5f);
    EXPECT_EQ(out, "x=-1.5");
}

// The same text as the native std::to_chars: every float in the ranges the
// game's positions, speeds, alphas and scales live in, around the switches
// between notations, and a spread over all bit patterns.
TEST(FloatText, SameAsNativeToChars) {
    EXPECT_EQ(CountDifferences(0x3c000000, 0x3c100000, 1), 0);             // 0.0078 .. 0.0088
    EXPECT_EQ(CountDifferences(0x3f700000, 0x3f800000, 1), 0);             // 0.94 .. 1
    EXPECT_EQ(CountDifferences(0x44700000, 0x44800000, 1), 0);             // 960 .. 1024
    EXPECT_EQ(CountDifferences(0xc2000000, 0xc2100000, 1), 0);             // -32 .. -36
    EXPECT_EQ(CountDifferences(0x38d1b700, 0x38d1b800, 1), 0);             // 0.0001
    EXPECT_EQ(CountDifferences(0x49742300, 0x49742500, 1), 0);             // 1e6
    EXPECT_EQ(CountDifferences(0x5af3107a - 256, 0x5af3107a + 256, 1), 0); // 1e16
    EXPECT_EQ(CountDifferences(0, 0x100000000ull, 4093), 0);               // a million more
}
