#include <gtest/gtest.h>

#include <cstdint>

#include "platform/clock.h"

namespace {
class FakeClock : public TClockSource {
  public:
    explicit FakeClock(int start) : now(start) {}
    int Millis() override { return now; }
    void Delay(int ms) override {
        now = static_cast<int>(static_cast<uint32_t>(now) + static_cast<uint32_t>(ms));
    }
    int now;
};
} // namespace

TEST(Clock, InstalledSourceReplacesTheSystemClock) {
    auto fake = std::make_shared<FakeClock>(1000);
    UseClockSource(fake);
    EXPECT_EQ(ClockMillis(), 1000);
    DelayMillis(25);
    EXPECT_EQ(ClockMillis(), 1025);
    DelayMillis(0);
    DelayMillis(-40); // nothing happens
    EXPECT_EQ(ClockMillis(), 1025);
    UseClockSource(nullptr);
}

TEST(Clock, DifferencesStayRightAcrossTheWrap) {
    auto fake = std::make_shared<FakeClock>(static_cast<int>(0xfffffff0u));
    UseClockSource(fake);
    const int before = ClockMillis();
    DelayMillis(40);
    const int after = ClockMillis();
    EXPECT_LT(after, 100); // wrapped past 2^32
    EXPECT_EQ(static_cast<int>(static_cast<uint32_t>(after) - static_cast<uint32_t>(before)), 40);
    UseClockSource(nullptr);
}

TEST(Clock, SystemClockMovesForwardAndDelaySleeps) {
    const int a = ClockMillis();
    DelayMillis(15);
    const int b = ClockMillis();
    EXPECT_GE(static_cast<int>(static_cast<uint32_t>(b) - static_cast<uint32_t>(a)), 14);
}
