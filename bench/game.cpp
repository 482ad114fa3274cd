// The game's frame loops in virtual time: how fast the simulator runs the
// attract screen and a round with the null renderer, and what a frame of the
// real loop costs with OpenGL (offscreen, every frame finished on the GPU)
// over a whole attract cycle and a busy round.
#include <benchmark/benchmark.h>

#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

#include "assets/embedded_assets.h"
#include "backends/sdl/sdl_display.h"
#include "game/attract.h"
#include "game/frame.h"
#include "game/globals.h"
#include "game/round.h"
#include "game/startup.h"
#include "graphics/gles2canvas.h"
#include "sim/input_script.h"
#include "sim/virtual_clock.h"
#include "sim/virtual_display.h"

namespace {

std::shared_ptr<TVirtualClock> clock_;
std::shared_ptr<TVirtualDisplay> display_;
std::unique_ptr<TScriptedInput> input_;
TVirtualRenderer current_ = TVirtualRenderer::NUL;
int current_driver_ = -1;
bool started_ = false;

// Start-up once per renderer and OpenGL driver (0: immediate mode, 1: shaders,
// 2: shaders without their pixel savings); another start-up reopens the display.
bool Start(TVirtualRenderer renderer, int driver = 1) {
    if (started_ && current_ == renderer && (renderer != TVirtualRenderer::GL || current_driver_ == driver))
        return true;
    UseGLRenderer(driver == 0 ? TGLRenderer::IMMEDIATE : TGLRenderer::ES2);
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
    if (auto* es2 = dynamic_cast<TGLES2CanvasDriver*>(CurrentCanvasDriver())) es2->SetSavings(driver != 2);
    started_ = true;
    current_ = renderer;
    current_driver_ = driver;
    return true;
}

// The shader-based driver's counters (zero for the immediate-mode one).
TGLES2CanvasDriver::TCounters DriverCounters() {
    auto* es2 = dynamic_cast<TGLES2CanvasDriver*>(CurrentCanvasDriver());
    return es2 ? es2->Counters() : TGLES2CanvasDriver::TCounters{};
}

// What the shader-based driver did per frame since `before`.
void ReportDriver(benchmark::State& state, const TGLES2CanvasDriver::TCounters& before, double frames) {
    const auto c = DriverCounters();
    if (frames <= 0 || c.primitives == before.primitives) return;
    state.counters["draws/frame"] = static_cast<double>(c.draw_calls - before.draw_calls) / frames;
    state.counters["cut/frame"] = static_cast<double>(c.trimmed - before.trimmed) / frames;
    state.counters["skipped/frame"] = static_cast<double>(c.skipped - before.skipped) / frames;
    state.counters["merged/frame"] = static_cast<double>(c.merged - before.merged) / frames;
    state.counters["Mpx/frame"] = (c.fill - before.fill) / frames / 1e6;
    state.counters["blended Mpx/frame"] = (c.blended - before.blended) / frames / 1e6;
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

// Wall time of each frame of a GL run, every frame finished on the GPU (with
// a software rasteriser the drawing is otherwise left to its worker threads
// and the frame looks cheaper than it is).
class TFrameTimes {
  public:
    template <typename Step> void Frame(Step step) {
        const auto t0 = std::chrono::steady_clock::now();
        step();
        EndFrame();
        const auto t1 = std::chrono::steady_clock::now();
        glFinish();
        finish_ += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t1).count();
        ms_.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    }
    void Report(benchmark::State& state) {
        if (ms_.empty()) return;
        std::sort(ms_.begin(), ms_.end());
        double total = 0;
        for (double m : ms_)
            total += m;
        state.counters["frames"] = static_cast<double>(ms_.size());
        // Of which waiting for the rasteriser once the frame is handed over.
        state.counters["finish ms"] = finish_ / static_cast<double>(ms_.size());
        state.counters["ms/frame"] = total / static_cast<double>(ms_.size());
        state.counters["p90 ms"] = ms_[ms_.size() * 9 / 10];
        state.counters["p99 ms"] = ms_[ms_.size() * 99 / 100];
        state.counters["max ms"] = ms_.back();
        state.counters["frames/s"] = 1000.0 * static_cast<double>(ms_.size()) / total;
        ms_.clear();
        finish_ = 0;
    }

  private:
    std::vector<double> ms_;
    double finish_ = 0;
};

// One whole attract cycle: the ten line figures from the first back to the first.
void BM_GameAttractCycleGL(benchmark::State& state) {
    if (!Start(TVirtualRenderer::GL, static_cast<int>(state.range(0)))) {
        state.SkipWithError("no offscreen OpenGL");
        return;
    }
    TFrameTimes times;
    const auto before = DriverCounters();
    long frames = 0;
    for (auto _ : state) {
        EnterAttractScreen();
        int figures = 0;
        while (figures < 10) {
            const int logo = logo_count;
            times.Frame([] { AttractFrame(); });
            ++frames;
            if (logo_count != logo) ++figures;
            // Nobody joins, but the countdown is held only while it shows five.
            if (countdown_end < seconds) countdown_end = seconds + 5;
        }
    }
    times.Report(state);
    ReportDriver(state, before, static_cast<double>(frames));
}

// A busy round: the computer plays all four seats, 1000 frames (20 s) from the start.
void BM_GameBusyRoundGL(benchmark::State& state) {
    if (!Start(TVirtualRenderer::GL, static_cast<int>(state.range(0)))) {
        state.SkipWithError("no offscreen OpenGL");
        return;
    }
    TFrameTimes times;
    const auto before = DriverCounters();
    size_t most_bubbles = 0;
    for (auto _ : state) {
        humans = {0, 0, 0, 0, 0};
        cpu_active = 1;
        SetUpRound();
        game_screen = TScreen::ROUND;
        tick_time = clock_->Millis();
        for (int k = 0; k < 1000; ++k) {
            times.Frame([] { RoundFrame(); });
            most_bubbles = std::max(most_bubbles, static_cast<size_t>(bubbles.Count()));
        }
    }
    times.Report(state);
    ReportDriver(state, before, 1000.0 * static_cast<double>(state.iterations()));
    state.counters["most bubbles"] = static_cast<double>(most_bubbles);
}

void BM_SimAttractNull(benchmark::State& s) {
    Attract(s, TVirtualRenderer::NUL);
}
void BM_SimRoundNull(benchmark::State& s) {
    Round(s, TVirtualRenderer::NUL);
}

} // namespace

// Simulator speed is wall-clock frames per second.
BENCHMARK(BM_SimAttractNull)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_SimRoundNull)->Unit(benchmark::kMicrosecond)->UseRealTime();
// The real loop with OpenGL: one iteration is a whole run; the counters give
// the wall time of a frame including the rasteriser's worker threads (Mesa
// llvmpipe here), the drawing finished with glFinish.
// Each with the immediate-mode driver (0), the shader-based one (1) and that
// without its pixel savings (2), one after the other in the same run.
BENCHMARK(BM_GameAttractCycleGL)
    ->ArgName("driver")
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->UseRealTime();
BENCHMARK(BM_GameBusyRoundGL)
    ->ArgName("driver")
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->UseRealTime();
