#pragma once
#include <cstdint>
#include <memory>

// The millisecond clock: a 32-bit count that wraps after about 49.7 days,
// handed out as a signed int. Callers only ever subtract two readings.
int ClockMillis();

// Sleeps the calling thread; a negative or zero count returns at once.
void DelayMillis(int ms);

// Where time comes from. The game uses the monotonic system clock; the
// simulator and tests install a virtual clock before anything reads it.
class TClockSource {
  public:
    virtual ~TClockSource() = default;
    virtual int Millis() = 0;
    virtual void Delay(int ms) = 0;
};

// Installs a clock source (null goes back to the system clock). Install it at
// start-up, before any other thread (the audio output) reads the clock.
void UseClockSource(std::shared_ptr<TClockSource> source);

// Clock readings wrap after 2^32 ms: differences and sums are taken modulo
// 2^32, never as an int that would overflow.
inline int ClockDiff(int later, int earlier) {
    return static_cast<int>(static_cast<unsigned>(later) - static_cast<unsigned>(earlier));
}
inline int ClockAdd(int time, int ms) {
    return static_cast<int>(static_cast<unsigned>(time) + static_cast<unsigned>(ms));
}

// The system clock's own reading, whatever source is installed.
int SystemClockMillis();

// CPU time the whole process (all its threads) has used, in microseconds. The
// built-in reading is the C library's processor time, which is the process's
// on POSIX systems; a system whose C library counts something else (Windows:
// wall time) installs its own reader with UseProcessCpuClock (null goes back
// to the built-in one).
int64_t ProcessCpuMicros();
using TProcessCpuClock = int64_t (*)();
void UseProcessCpuClock(TProcessCpuClock clock);
