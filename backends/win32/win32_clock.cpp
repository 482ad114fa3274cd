#include "backends/win32/win32_clock.h"

#include <windows.h>
#include <mmsystem.h>

int TWin32ClockSource::Millis() {
    // The count is unsigned and wraps; as an int it wraps the same way, and
    // callers only subtract two readings.
    return static_cast<int>(timeGetTime());
}

void TWin32ClockSource::Delay(int ms) {
    if (ms > 0) Sleep(static_cast<DWORD>(ms));
}

void UseWin32Clock() {
    UseClockSource(std::make_shared<TWin32ClockSource>());
}
