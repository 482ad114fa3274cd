// The playfield objects of a busy round: four computer bases, about 40
// bubbles of all sizes and the effects they leave, updated and drawn as a
// round frame does (bases, then bubbles, then effects) through the
// simulator's null renderer, which makes every state change and measurement
// of the real one but draws nothing. Reports the CPU time of one frame of
// objects and, in a second run, the share of it spent in the pixel-accurate
// short-circuit tests of bubbles against bases.
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

#include "assets/embedded_assets.h"
#include "game/bubble.h"
#include "game/globals.h"
#include "game/player.h"
#include "game/playfield.h"
#include "game/startup.h"
#include "platform/random.h"
#include "sim/virtual_clock.h"
#include "sim/virtual_display.h"

namespace {

constexpr int BUBBLES = 40;

bool Start() {
    static bool started = false;
    static bool ok = false;
    if (started) return ok;
    started = true;
    static auto clock = UseVirtualClock(100000);
    static auto display = UseVirtualDisplay(TVirtualRenderer::NUL, clock);
    if (!display) return false;
    RegisterEmbeddedAssets();
    StartUp(nullptr); // keep the line about the audio driver out of the report
    ok = true;
    return true;
}

// A bubble anywhere on the playfield, already faded in.
void AddBubble(int size) {
    const int r = bubble_radius[static_cast<std::size_t>(size)];
    const float x = static_cast<float>(RandomInt(r, PLAYFIELD_SIZE - r));
    const float y = static_cast<float>(RandomInt(r, PLAYFIELD_SIZE - r));
    auto b = CreateBubble(x, y, size, RandomInt(0, 4), 0.0f, 0.0f);
    b->fadein = 0;
}

// A round in full swing: four computer bases, scores to rank, 40 bubbles.
void SetUpBusyRound() {
    SetRandomSeed(2024);
    ResetGameState();
    catchup_active = 1;
    for (int i = 0; i < BUBBLES; ++i)
        AddBubble(1 + i % 3);
}

// Volleys pop and split bubbles; keep the count near 40 as a long round would.
void KeepBubbleCount() {
    while (bubbles.Count() < BUBBLES)
        AddBubble(1 + RandomInt(0, 2));
    while (bubbles.Count() > BUBBLES + 4)
        bubbles.Remove(bubbles.First());
}

void BM_ObjectsFrame(benchmark::State& state) {
    if (!Start()) {
        state.SkipWithError("null renderer unavailable");
        return;
    }
    SetUpBusyRound();
    long long bubble_sum = 0, particle_sum = 0;
    const long long tests0 = ShortCircuitTests();
    for (auto _ : state) {
        StepPlayfield();
        KeepBubbleCount();
        bubble_sum += bubbles.Count();
        particle_sum += particles.Count();
    }
    const double frames = static_cast<double>(state.iterations());
    state.counters["bubbles"] = static_cast<double>(bubble_sum) / frames;
    state.counters["effects"] = static_cast<double>(particle_sum) / frames;
    state.counters["sc_tests/frame"] = static_cast<double>(ShortCircuitTests() - tests0) / frames;
}

// The same frames, with every bubble update timed on its own: the updates
// that ran a short-circuit test are charged to it (the test is all but the
// whole cost of such an update). The extra clock readings make this run's
// frame time a little longer than the plain one's.
void BM_ObjectsFrameShortCircuitShare(benchmark::State& state) {
    if (!Start()) {
        state.SkipWithError("null renderer unavailable");
        return;
    }
    using Clock = std::chrono::steady_clock;
    SetUpBusyRound();
    Clock::duration total{}, in_tests{}, test_updates_plain{};
    long long updates_with_test = 0, updates_plain = 0;
    const long long tests0 = ShortCircuitTests();
    for (auto _ : state) {
        const auto t0 = Clock::now();
        StepBases();
        bubbles.ForEach([&](const std::shared_ptr<TBubble>& b) {
            const long long before = ShortCircuitTests();
            const auto u0 = Clock::now();
            b->Update();
            const auto u1 = Clock::now();
            if (ShortCircuitTests() != before) {
                in_tests += u1 - u0;
                ++updates_with_test;
            } else {
                test_updates_plain += u1 - u0;
                ++updates_plain;
            }
            b->Draw();
        });
        StepEffects();
        total += Clock::now() - t0;
        KeepBubbleCount();
    }
    // Take off what an update without a test costs, leaving the tests themselves.
    const double plain_avg = updates_plain ? std::chrono::duration<double>(test_updates_plain).count() /
                                                 static_cast<double>(updates_plain)
                                           : 0.0;
    const double tests_s =
        std::chrono::duration<double>(in_tests).count() - plain_avg * static_cast<double>(updates_with_test);
    const double total_s = std::chrono::duration<double>(total).count();
    const double frames = static_cast<double>(state.iterations());
    state.counters["sc_share_%"] = total_s > 0.0 ? 100.0 * tests_s / total_s : 0.0;
    state.counters["sc_us/frame"] = 1e6 * tests_s / frames;
    const long long tests = ShortCircuitTests() - tests0;
    state.counters["us/test"] = tests ? 1e6 * tests_s / static_cast<double>(tests) : 0.0;
}

} // namespace

BENCHMARK(BM_ObjectsFrame)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ObjectsFrameShortCircuitShare)->Unit(benchmark::kMicrosecond);
