// The game's frame loops in virtual time: how fast the simulator runs the
// attract screen and a round with the null renderer, and the CPU time of a
// frame of the real loop (OpenGL, offscreen) without waiting for the display.
#include <benchmark/benchmark.h>

#include <memory>

#include "assets/embedded_assets.h"
#include "backends/sdl/sdl_display.h"
#include "game/attract.h"
#include "game/frame.h"
#include "game/globals.h"
#include "game/round.h"
#include "game/startup.h"
#include "sim/input_script.h"
#include "sim/virtual_clock.h"
#include "sim/virtual_display.h"

namespace {

std::shared_ptr<TVirtualClock> clock_;
std::shared_ptr<TVirtualDisplay> display_;
std::unique_ptr<TScriptedInput> input_;
TVirtualRenderer current_ = TVirtualRenderer::NUL;
bool started_ = false;

// Start-up once per renderer; a second start-up reopens the display with the other one.
bool Start(TVirtualRenderer renderer) {
    if (started_ && current_ == renderer) return true;
    if (!clock_) {
        clock_ = UseVirtualClock(100000);
        input_ = std::make_unique<TScriptedInput>();
        input_->Install();
        RegisterEmbeddedAssets();
    }
    display_ = UseVirtualDisplay(
        renderer, clock_, renderer == TVirtualRenderer::GL ? MakeSdlOffscreenContextBackend() : nullptr);
    if (!display_) return false;
    StartUp(nullptr); // keep the line about the audio driver out of the report
    started_ = true;
    current_ = renderer;
    return true;
}

void Attract(benchmark::State& state, TVirtualRenderer renderer) {
    if (!Start(renderer)) {
        state.SkipWithError("renderer unavailable");
        return;
    }
    EnterAttractScreen();
    for (auto _ : state) {
        AttractFrame();
        EndFrame();
        if (countdown_end < seconds) EnterAttractScreen();
    }
    state.counters["frames/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void Round(benchmark::State& state, TVirtualRenderer renderer) {
    if (!Start(renderer)) {
        state.SkipWithError("renderer unavailable");
        return;
    }
    humans = {0, 1, 0, 0, 0};
    SetUpRound();
    game_screen = TScreen::ROUND;
    tick_time = clock_->Millis();
    for (auto _ : state) {
        RoundFrame();
        EndFrame();
        if (seconds < 0) {
            SetUpRound();
            tick_time = clock_->Millis();
        }
    }
    state.counters["frames/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["bubbles"] = static_cast<double>(bubbles.Count());
}

void BM_SimAttractNull(benchmark::State& s) {
    Attract(s, TVirtualRenderer::NUL);
}
void BM_SimRoundNull(benchmark::State& s) {
    Round(s, TVirtualRenderer::NUL);
}
void BM_GameAttractFrameGL(benchmark::State& s) {
    Attract(s, TVirtualRenderer::GL);
}
void BM_GameRoundFrameGL(benchmark::State& s) {
    Round(s, TVirtualRenderer::GL);
}

} // namespace

// Simulator speed is wall-clock frames per second.
BENCHMARK(BM_SimAttractNull)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_SimRoundNull)->Unit(benchmark::kMicrosecond)->UseRealTime();
// The real loop: the CPU column is the game thread's time per frame; the wall
// time adds the software rasteriser's worker threads (Mesa llvmpipe here).
BENCHMARK(BM_GameAttractFrameGL)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GameRoundFrameGL)->Unit(benchmark::kMillisecond);
