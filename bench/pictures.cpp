// Pictures and text: PNG decoding, masking, resampling, measuring text and the overlap test in the
// game's real case.
#include <benchmark/benchmark.h>

#include <random>

#include "assets/embedded_assets.h"
#include "graphics/canvas.h"
#include "graphics/font.h"
#include "graphics/graphics.h"
#include "graphics/image.h"
#include "graphics/overlap.h"
#include "graphics/recording_canvas.h"

namespace {

void Setup() {
    static bool done = false;
    if (done) return;
    done = true;
    RegisterEmbeddedAssets();
    // A 2D context as the game has one, drawing nothing.
    static auto driver = std::make_shared<TRecordingCanvasDriver>(nullptr, false);
    SelectGraphicsDriver(driver, 0);
    OpenGraphics(1024, 768, 0, 0, 0);
    SetAutoMidHandle(true);
}

TPixmapPtr Noise128(int format) {
    std::mt19937 rng(7);
    auto p = TPixmap::Create(128, 128, format);
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x)
            p->WritePixel(x, y, rng() % 4 == 0 ? 0xFF000000u : rng());
    return p;
}

void BM_PngDecodeBubble(benchmark::State& state) {
    Setup();
    for (auto _ : state)
        benchmark::DoNotOptimize(LoadPixmapFrom(TUrl("incbin::gfx_bubble.png")));
}
BENCHMARK(BM_PngDecodeBubble)->Unit(benchmark::kMicrosecond);

void BM_MaskPixmap128(benchmark::State& state) {
    auto p = Noise128(PIXEL_RGB24);
    for (auto _ : state)
        benchmark::DoNotOptimize(MaskPixmap(*p, 0, 0, 0));
}
BENCHMARK(BM_MaskPixmap128)->Unit(benchmark::kMicrosecond);

void BM_ResizePixmap128(benchmark::State& state) {
    auto p = Noise128(PIXEL_RGBA32);
    const int size = static_cast<int>(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(ResizePixmap(*p, size, size));
}
BENCHMARK(BM_ResizePixmap128)->Arg(64)->Arg(96)->Arg(256)->Unit(benchmark::kMicrosecond);

void BM_StringWidth60(benchmark::State& state) {
    Setup();
    static auto font = LoadTextFont(TUrl("incbin::fnt_manaspc.ttf"), 16, 0);
    SelectImageFont(font);
    const std::string line = "Press your switch to join the game! Bubbles pop, bases zap.."; // 60 characters
    StringWidth(line); // glyphs made once, as in the game after the first frame
    for (auto _ : state)
        benchmark::DoNotOptimize(StringWidth(line));
}
BENCHMARK(BM_StringWidth60);

// A bubble at one of the game's three scales against a base at one of the four player rotations, placed
// where it first touches (approaching from the right and from below) or one pixel further out.
void BM_OverlapBubbleBase(benchmark::State& state) {
    Setup();
    static auto bubble = LoadImageSingle(TUrl("incbin::gfx_bubble.png"), -1);
    static auto base = LoadImageSingle(TUrl("incbin::gfx_base.png"), -1);
    const float scales[] = {1.0f, 0.6f, 0.3f};
    const float scale = scales[state.range(0)];
    const float rot = static_cast<float>(state.range(1) * 90);
    const bool touching = state.range(2) != 0;
    // Diagonal approach: both the bounding-box test and the scan have work to do.
    int touch = -1;
    for (int d = 150; d >= 0 && touch < 0; --d)
        if (ImagesOverlapTransformed(*bubble, 400.0f + d, 300.0f + d / 2, 0, 0, scale, scale, *base, 400, 300,
                                     0, rot, 1, 1))
            touch = d;
    const float d = static_cast<float>(touching ? touch : touch + 1);
    int hits = 0;
    for (auto _ : state) {
        hits += ImagesOverlapTransformed(*bubble, 400 + d, 300 + static_cast<float>(static_cast<int>(d) / 2),
                                         0, 0, scale, scale, *base, 400, 300, 0, rot, 1, 1);
    }
    if (touching != (hits > 0)) state.SkipWithError("placement did not give the expected outcome");
    state.SetLabel(std::string(touching ? "touching" : "missing") + " scale " +
                   std::to_string(scale).substr(0, 3) + " rot " + std::to_string(static_cast<int>(rot)));
}
BENCHMARK(BM_OverlapBubbleBase)->ArgsProduct({{0, 1, 2}, {0, 1, 2, 3}, {1, 0}});

} // namespace
