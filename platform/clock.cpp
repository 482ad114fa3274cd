#include "platform/clock.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <thread>

namespace {

struct TClockState {
    std::shared_ptr<TClockSource> source_holder;
    std::atomic<TClockSource*> source{nullptr};
    TProcessCpuClock cpu_clock = nullptr;
};

TClockState& State() {
    // Never destroyed: the audio thread may read the clock until the at-exit
    // shutdown has stopped it, which can be after a local static is gone.
    static TClockState* state = new TClockState;
    return *state;
}

} // namespace

int SystemClockMillis() {
    using namespace std::chrono;
    const auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    // Truncate to 32 bits and reinterpret as signed: differences stay right across the wrap.
    return static_cast<int>(static_cast<uint32_t>(static_cast<uint64_t>(ms)));
}

int ClockMillis() {
    if (TClockSource* source = State().source.load(std::memory_order_acquire)) return source->Millis();
    return SystemClockMillis();
}

void DelayMillis(int ms) {
    if (ms <= 0) return;
    if (TClockSource* source = State().source.load(std::memory_order_acquire)) {
        source->Delay(ms);
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void UseClockSource(std::shared_ptr<TClockSource> source) {
    TClockState& s = State();
    s.source.store(source.get(), std::memory_order_release);
    s.source_holder = std::move(source);
}

int64_t ProcessCpuMicros() {
    if (TProcessCpuClock clock = State().cpu_clock) return clock();
    const auto ticks = static_cast<int64_t>(std::clock());
    if (ticks < 0) return 0; // not available
    constexpr int64_t per_second = CLOCKS_PER_SEC;
    return ticks / per_second * 1000000 + ticks % per_second * 1000000 / per_second;
}

void UseProcessCpuClock(TProcessCpuClock clock) {
    State().cpu_clock = clock;
}
