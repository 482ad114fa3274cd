// The system clock and the multimedia joystick backend as Windows (Wine,
// with no joystick attached) answers them.
#include <windows.h>
#include <mmsystem.h>

#include <gtest/gtest.h>

#include <memory>

#include "platform/clock.h"
#include "platform/joystick.h"
#include "backends/win32/win32_clock.h"
#include "backends/win32/win32_joystick.h"

namespace {

TEST(Win32Clock, ReadsTheMultimediaTimerAndSleeps) {
    TWin32ClockSource clock;
    const DWORD before = timeGetTime();
    const int reading = clock.Millis();
    const DWORD after = timeGetTime();
    // The reading is timeGetTime's count as a signed int.
    EXPECT_LE(static_cast<DWORD>(reading) - before, after - before);
    clock.Delay(0);
    clock.Delay(-5); // returns at once
    const int start = clock.Millis();
    clock.Delay(30);
    // Sleep may end up to one timer tick early against timeGetTime.
    EXPECT_GE(clock.Millis() - start, 29);
}

TEST(Win32Clock, InstalledItIsTheGamesClock) {
    UseWin32Clock();
    const DWORD before = timeGetTime();
    const int reading = ClockMillis();
    const DWORD after = timeGetTime();
    EXPECT_LE(static_cast<DWORD>(reading) - before, after - before);
    // The process's CPU time comes from the system too (the C library's
    // clock() would count wall time): it stands still while the process sleeps
    // and moves while it works.
    const int64_t cpu = ProcessCpuMicros();
    Sleep(100);
    EXPECT_LT(ProcessCpuMicros() - cpu, 50000);
    const DWORD start = timeGetTime();
    while (ProcessCpuMicros() - cpu < 20000 && timeGetTime() - start < 5000) {
    }
    EXPECT_GE(ProcessCpuMicros() - cpu, 20000);
    UseClockSource(nullptr);
    UseProcessCpuClock(nullptr);
}

TEST(Win32Joypads, NoPadAttachedMeansNoPortsAndFailedReads) {
    TWin32JoypadBackend backend;
    TJoypadRaw raw;
    TJoypadCaps caps;
    // Before the first enumeration every port is joystick id 0, which has no pad.
    EXPECT_EQ(backend.JoystickId(3), 0u);
    EXPECT_FALSE(backend.Read(0, raw));
    EXPECT_EQ(backend.Enumerate(), 0);
    EXPECT_FALSE(backend.Read(0, raw));
    EXPECT_FALSE(backend.Caps(0, caps));
    EXPECT_FALSE(backend.Read(-1, raw));

    // The portable layer on top: nothing present, nothing pressed.
    UseJoypadBackend(std::make_shared<TWin32JoypadBackend>());
    EXPECT_EQ(CountJoypads(), 0);
    EXPECT_EQ(JoypadPresent(0), 0);
    EXPECT_EQ(TakeJoyButtonHits(0, 0), 0);
    EXPECT_EQ(JoypadButtonMask(0), 0);
    EXPECT_EQ(JoypadName(0), "");
    UseJoypadBackend(nullptr);
}

} // namespace
