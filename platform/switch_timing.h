#pragma once
#include <vector>

#include "platform/bindings.h"

// Switch timing for players whose presses are not clean: an acceptance time
// (a switch must stay down this long before its press counts) and a release
// time (a press that starts within this long after a counted release is
// ignored, with its release). Filters act per key and per joypad button, in
// the input chain after the extra switches (which have become the key they
// stand for by then) and before the key tracking (INPUT_PRIORITY_FILTERS of
// platform/input.h); a press held past its acceptance time goes down at the
// first pump after that. Joypad buttons are filtered where the joypad layer
// samples them. Clearing the key state (ClearKeyState, losing the focus) and
// clearing a pad (ClearJoypads) forget the filters' state too. With no timing
// set nothing is installed: events and samples pass exactly as before.

struct TSwitchTiming {
    int accept_ms = 0;  // 0..MAX_SWITCH_TIMING_MS
    int release_ms = 0; // 0..MAX_SWITCH_TIMING_MS
    bool Active() const { return accept_ms > 0 || release_ms > 0; }
    bool operator==(const TSwitchTiming&) const = default;
};
constexpr int MAX_SWITCH_TIMING_MS = 2000;

// One switch's filter, on the millisecond clock readings handed to it.
class TSwitchFilter {
  public:
    explicit TSwitchFilter(TSwitchTiming timing = {}) : timing_(timing) {}
    // The switch is physically down (or up) at now_ms; returns whether it
    // counts as down.
    bool Update(bool raw_down, int now_ms);
    bool Down() const { return down_; }
    bool RawDown() const { return raw_; }
    // Forgets the switch: up, nothing pending, no release to wait after.
    void Forget();

  private:
    TSwitchTiming timing_;
    bool raw_ = false, down_ = false;
    bool ignored_ = false;  // this press came within the release time
    bool released_ = false; // a counted press has been released, at released_at_
    int raw_since_ = 0, released_at_ = 0;
};

struct TSwitchTimingBinding {
    TInputSource source; // a key, or a joypad button (Mouse sources are ignored)
    TSwitchTiming timing;
};

// Replaces the filters (sources listed twice: the first one counts; inactive
// timings are dropped). An empty list removes them.
void UseSwitchTimings(const std::vector<TSwitchTimingBinding>& bindings);
// Forgets the state of the key filters (ClearKeyState calls it).
void ForgetSwitchKeys();
