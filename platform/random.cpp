#include "platform/random.h"

#include <cstdint>

namespace {

constexpr int kModulus = 2147483647;

struct TRandomState {
    int seed = 4660;
};

TRandomState& State() {
    static TRandomState state;
    return state;
}

// One step, by Schrage's method so that nothing overflows 32 bits.
int Step() {
    TRandomState& state = State();
    int s = 48271 * (state.seed % 44488) - 3399 * (state.seed / 44488);
    if (s < 0) s += kModulus;
    state.seed = s;
    return s;
}

} // namespace

void SetRandomSeed(int seed) {
    int s = seed & 0x7fffffff;
    State().seed = (s == 0 || s == kModulus) ? 4660 : s;
}

int GetRandomSeed() {
    return State().seed;
}

float RandomUnitFloat() {
    return static_cast<float>(Step() & 0x0ffffff0) / 268435456.0f;
}

double RandomUnit() {
    const double a = Step() & 0x1ffffffc;
    const double b = Step() & 0x1ffffff8;
    return (a + b / 134217728.0) / 536870912.0;
}

double RandomReal(double a, double b) {
    const double r = RandomUnit();
    return b > a ? a + r * (b - a) : b + r * (a - b);
}

int RandomInt(int a, int b) {
    const double r = RandomUnit();
    // The span is taken in 64 bits: bounds more than 2^31 apart would wrap a
    // 32-bit difference and overflow the sum. Every narrower span gives the
    // same numbers either way.
    const int64_t d = static_cast<int64_t>(b) - a;
    if (d > 0) return static_cast<int>(a + static_cast<int64_t>(r * (static_cast<double>(d) + 1)));
    return static_cast<int>(b + static_cast<int64_t>(r * (1 - static_cast<double>(d))));
}
