#pragma once
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

// The system clock's own reading, whatever source is installed.
int SystemClockMillis();
