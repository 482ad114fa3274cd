#include "platform/clock.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

namespace {
std::shared_ptr<TClockSource> g_source_holder;
std::atomic<TClockSource*> g_source{nullptr};
} // namespace

int SystemClockMillis() {
    using namespace std::chrono;
    const auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    // Truncate to 32 bits and reinterpret as signed: differences stay right across the wrap.
    return static_cast<int>(static_cast<uint32_t>(static_cast<uint64_t>(ms)));
}

int ClockMillis() {
    if (TClockSource* source = g_source.load(std::memory_order_acquire)) return source->Millis();
    return SystemClockMillis();
}

void DelayMillis(int ms) {
    if (ms <= 0) return;
    if (TClockSource* source = g_source.load(std::memory_order_acquire)) {
        source->Delay(ms);
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void SetClockSource(std::shared_ptr<TClockSource> source) {
    g_source.store(source.get(), std::memory_order_release);
    g_source_holder = std::move(source);
}
