#include "sim/virtual_clock.h"

std::shared_ptr<TVirtualClock> InstallVirtualClock(int start_ms) {
    auto clock = std::make_shared<TVirtualClock>(start_ms);
    SetClockSource(clock);
    return clock;
}
