// Cost of a typical background frame through the 2D layer, and how steadily
// Flip(-1) paces frames by sleeping.
#include <benchmark/benchmark.h>

#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <vector>

#include "game/hud.h"
#include "graphics/canvas.h"
#include "graphics/glcanvas.h"
#include "graphics/gles2canvas.h"
#include "graphics/graphics.h"
#include "graphics/recording_canvas.h"
#include "platform/random.h"
#include "backends/sdl/sdl_display.h"

namespace {

// A frame of the game's backdrop (192 jittered dashes in four colours at
// alpha 0.25, then four large translucent rectangles, under the light blend),
// drawn by the game's own DrawBackground.
void BackgroundFrame() {
    Cls();
    DrawBackground();
}

void BM_BackgroundFrame_Recording(benchmark::State& state) {
    auto canvas = std::make_shared<TRecordingCanvasDriver>(nullptr, state.range(0) != 0);
    SelectGraphicsDriver(canvas, GFX_DOUBLE_BUFFER);
    auto g = OpenGraphics(1024, 768, 0, 0, 0);
    SetBlend(BLEND_LIGHT);
    SetRandomSeed(1);
    for (auto _ : state) {
        BackgroundFrame();
        canvas->ClearLog();
    }
    CloseOpenedGraphics();
    SelectGraphicsDriver(nullptr, 0);
}
BENCHMARK(BM_BackgroundFrame_Recording)->Arg(0)->Arg(1)->ArgNames({"logging"});

// An offscreen 1024 x 768 OpenGL display drawn by the immediate-mode driver (0) or the
// shader-based one (1); false when there is none.
bool OpenGL(int driver) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    TSdlDisplayOptions options;
    options.hidden = true;
    options.fullscreen = false;
    UseGLContextBackend(MakeSdlContextBackend(options));
    UseGLRenderer(driver == 0 ? TGLRenderer::IMMEDIATE : TGLRenderer::ES2);
    SelectGraphicsDriver(MakeGLCanvasDriver(TGLGraphicsDriver::Instance()), GFX_DOUBLE_BUFFER);
    return OpenGraphics(1024, 768, 0, 0, 0) != nullptr;
}

void CloseGL() {
    CloseOpenedGraphics();
    SelectGraphicsDriver(nullptr, 0);
    UseGLContextBackend(nullptr);
    UseGLRenderer(TGLRenderer::ES2);
}

void BM_BackgroundFrame_GL(benchmark::State& state) {
    if (!OpenGL(static_cast<int>(state.range(0)))) {
        state.SkipWithError("no OpenGL context");
        return;
    }
    SetBlend(BLEND_LIGHT);
    SetRandomSeed(1);
    for (auto _ : state) {
        BackgroundFrame();
        glFinish(); // count the rasterising, not just the queueing
    }
    CloseGL();
}
BENCHMARK(BM_BackgroundFrame_GL)->ArgName("driver")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// What the rasteriser fills a second: ten 768 x 768 untextured rectangles a frame under the
// light blend (each of its own colour, so that none is drawn together with another), the
// alpha blend or none, or ten clears of the whole 1024 x 768 screen.
void BM_FillGL(benchmark::State& state) {
    if (!OpenGL(static_cast<int>(state.range(0)))) {
        state.SkipWithError("no OpenGL context");
        return;
    }
    const int kind = static_cast<int>(state.range(1));
    for (auto _ : state) {
        for (int i = 0; i < 10; ++i) {
            if (kind == 3) {
                SetClsColor(i, 0, 0);
                Cls();
                continue;
            }
            SetBlend(kind == 0 ? BLEND_LIGHT : kind == 1 ? BLEND_ALPHA : BLEND_SOLID);
            SetColor(20 + i, 10, 30);
            SetAlpha(0.1f);
            DrawRect(0, 0, 768, 768);
        }
        std::vector<uint8_t> rgb; // reading a pixel back draws what is batched and waits for it
        CurrentCanvasDriver()->ReadPixelsRGB(0, 0, 1, 1, rgb);
    }
    const double pixels = kind == 3 ? 1024.0 * 768 : 768.0 * 768;
    state.counters["Mpx/s"] = benchmark::Counter(10 * pixels / 1e6 * static_cast<double>(state.iterations()),
                                                 benchmark::Counter::kIsRate);
    SetClsColor(0, 0, 0);
    CloseGL();
}
BENCHMARK(BM_FillGL)
    ->ArgNames({"driver", "light/alpha/solid/clear"})
    ->ArgsProduct({{0, 1}, {0, 1, 2, 3}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// 500 frames of Flip(-1) with sleep-based pacing on the real clock; a little
// drawing work per frame. Reports the median and 99th-percentile interval in ms.
void BM_FlipPacing50Hz(benchmark::State& state) {
    auto canvas = std::make_shared<TRecordingCanvasDriver>(nullptr, false);
    SelectGraphicsDriver(canvas, GFX_DOUBLE_BUFFER);
    OpenGraphics(1024, 768, 0, 50, 0); // windowed: soft sync
    std::vector<double> intervals;
    for (auto _ : state) {
        intervals.clear();
        auto last = std::chrono::steady_clock::now();
        for (int i = 0; i < 500; ++i) {
            BackgroundFrame();
            Flip(-1);
            const auto now = std::chrono::steady_clock::now();
            intervals.push_back(std::chrono::duration<double, std::milli>(now - last).count());
            last = now;
        }
    }
    std::sort(intervals.begin(), intervals.end());
    state.counters["median_ms"] = intervals[intervals.size() / 2];
    state.counters["p99_ms"] = intervals[intervals.size() * 99 / 100];
    state.counters["max_ms"] = intervals.back();
    state.counters["min_ms"] = intervals.front();
    CloseOpenedGraphics();
    SelectGraphicsDriver(nullptr, 0);
}
BENCHMARK(BM_FlipPacing50Hz)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
