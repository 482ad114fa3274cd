// The two OpenGL 2D drivers side by side on the same frames: a whole attract
// cycle of the real game loop (offscreen, every frame finished with glFinish),
// and what the shader-based driver's pixel savings are worth.
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
#include "game/startup.h"
#include "graphics/gles2canvas.h"
#include "platform/random.h"
#include "sim/input_script.h"
#include "sim/virtual_clock.h"
#include "sim/virtual_display.h"

namespace {

std::shared_ptr<TVirtualClock> clock_;
std::unique_ptr<TScriptedInput> input_;

// 0: immediate mode; 1: shaders; 2: shaders without the pixel savings.
std::shared_ptr<TVirtualDisplay> Start(int variant) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    if (!clock_) {
        clock_ = UseVirtualClock(100000);
        input_ = std::make_unique<TScriptedInput>();
        input_->Install();
        RegisterEmbeddedAssets();
    }
    UseGLRenderer(variant == 0 ? TGLRenderer::IMMEDIATE : TGLRenderer::ES2);
    auto display = UseVirtualDisplay(TVirtualRenderer::GL, clock_, MakeSdlOffscreenContextBackend());
    if (!display) return nullptr;
    StartUp(nullptr);
    if (auto* es2 = dynamic_cast<TGLES2CanvasDriver*>(CurrentCanvasDriver())) es2->SetSavings(variant != 2);
    return display;
}

void BM_AttractCycle(benchmark::State& state) {
    auto display = Start(static_cast<int>(state.range(0)));
    if (!display) {
        state.SkipWithError("no offscreen OpenGL");
        return;
    }
    std::vector<double> ms;
    for (auto _ : state) {
        clock_->Set(200000);
        SetRandomSeed(4242);
        ResetGameState();
        EnterAttractScreen();
        int figures = 0;
        while (figures < 10) {
            const int logo = logo_count;
            const auto t0 = std::chrono::steady_clock::now();
            AttractFrame();
            EndFrame();
            glFinish();
            ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
            if (logo_count != logo) ++figures;
            if (countdown_end < seconds) countdown_end = seconds + 5;
        }
    }
    std::sort(ms.begin(), ms.end());
    double total = 0;
    for (double m : ms)
        total += m;
    state.counters["frames"] = static_cast<double>(ms.size());
    state.counters["ms/frame"] = total / static_cast<double>(ms.size());
    state.counters["median ms"] = ms[ms.size() / 2];
    state.counters["p99 ms"] = ms[ms.size() * 99 / 100];
    if (auto* es2 = dynamic_cast<TGLES2CanvasDriver*>(CurrentCanvasDriver())) {
        const auto& c = es2->Counters();
        state.counters["draws/frame"] = static_cast<double>(c.draw_calls) / static_cast<double>(ms.size());
        state.counters["cut/frame"] = static_cast<double>(c.trimmed) / static_cast<double>(ms.size());
        state.counters["skipped/frame"] = static_cast<double>(c.skipped) / static_cast<double>(ms.size());
    }
    CloseOpenedGraphics();
}

} // namespace

// Interleaved so that a busy machine weighs on both drivers alike.
BENCHMARK(BM_AttractCycle)
    ->ArgName("driver")
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->UseRealTime();
