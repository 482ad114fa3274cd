#pragma once
#include <cstdint>
#include <memory>

#include "platform/clock.h"

// The system's millisecond clock: timeGetTime (a 32-bit count that wraps
// after about 49.7 days) and Sleep. With the system driver's 1 ms timer
// resolution both are good to the millisecond.
class TWin32ClockSource final : public TClockSource {
  public:
    int Millis() override;
    void Delay(int ms) override;
};

// The CPU time of the whole process, kernel and user, from GetProcessTimes.
int64_t Win32ProcessCpuMicros();

// Installs TWin32ClockSource as the clock, and Win32ProcessCpuMicros as the
// process's CPU clock.
void UseWin32Clock();
