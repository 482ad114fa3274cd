#include "sim/virtual_clock.h"

std::shared_ptr<TVirtualClock> UseVirtualClock(int start_ms) {
    auto clock = std::make_shared<TVirtualClock>(start_ms);
    UseClockSource(clock);
    return clock;
}
