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

int64_t Win32ProcessCpuMicros() {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
    // Both times count 100 ns units, over every thread of the process.
    const auto units = [](const FILETIME& t) {
        return static_cast<int64_t>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
    };
    return (units(kernel) + units(user)) / 10;
}

void UseWin32Clock() {
    UseClockSource(std::make_shared<TWin32ClockSource>());
    UseProcessCpuClock(&Win32ProcessCpuMicros);
}
