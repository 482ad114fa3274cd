#pragma once
#include <memory>

#include "platform/clock.h"

// A clock that only moves when told: by a display-level Flip with a non-zero sync
// (the virtual display adds one 50 Hz frame, 20 ms) and by DelayMillis(n > 0), which
// adds n at once. Deterministic, so runs in virtual time repeat exactly.
class TVirtualClock : public TClockSource {
  public:
    explicit TVirtualClock(int start_ms = 100000) : now_(start_ms) {}
    int Millis() override { return now_; }
    void Delay(int ms) override {
        if (ms > 0) Advance(ms);
    }
    void Advance(int ms) { now_ = static_cast<int>(static_cast<unsigned>(now_) + static_cast<unsigned>(ms)); }
    void Set(int ms) { now_ = ms; }

  private:
    int now_;
};

// Makes a virtual clock starting at start_ms and installs it with UseClockSource.
std::shared_ptr<TVirtualClock> UseVirtualClock(int start_ms = 100000);
