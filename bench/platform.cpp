#include <benchmark/benchmark.h>

#include "platform/random.h"
#include "platform/stream.h"

static void BM_RandomInt(benchmark::State& state) {
    SetRandomSeed(1234);
    int sum = 0;
    for (auto _ : state) {
        sum += RandomInt(-1, 1);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RandomInt);

static void BM_RamStreamReadLine(benchmark::State& state) {
    std::string text;
    for (int i = 0; i < 1000; ++i)
        text += "a line of text for the stream benchmark\r\n";
    for (auto _ : state) {
        auto s = TRamStream::Create(text.data(), static_cast<int>(text.size()), 1, 0);
        int lines = 0;
        while (!s->Eof())
            lines += !s->ReadLine().empty();
        benchmark::DoNotOptimize(lines);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_RamStreamReadLine);
