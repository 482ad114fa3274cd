// Audio benchmarks: the mixer's cost per voice against SDL's own mixing
// routine, the decode speed of the game's sounds, and the latency from
// SoundPlay to the first sample that reaches the output.
#include <benchmark/benchmark.h>

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <thread>
#include <vector>

#include "assets/embedded_assets.h"
#include "audio/audiodevice.h"
#include "audio/mixer.h"
#include "audio/sample.h"
#include "audio/sound.h"
#include "audio/virtualdevice.h"
#include "platform/clock.h"
#include "backends/sdl/sdl_audio.h"

namespace {

using steady = std::chrono::steady_clock;

// The machine is shared: CPU time of this thread is steadier than wall time.
double ThreadSeconds() {
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

constexpr int BLOCKVALUES = 1024; // one fragment of the ring device: 512 frames
constexpr int SECONDBLOCKS = 44100 / (BLOCKVALUES / 2) + 1;

// A device without a thread; the benchmark mixes on its own.
class benchdevice : public audiodevice {
  public:
    int blockvalues() override { return BLOCKVALUES; }
    int open() override { return 0; }
    void close() override {}
};

std::vector<int16_t> Noise(int frames, int channels, unsigned seed) {
    std::vector<int16_t> pcm(static_cast<size_t>(frames * channels));
    for (auto& v : pcm) {
        seed = seed * 1664525u + 1013904223u;
        v = static_cast<int16_t>(static_cast<int>(seed >> 16) - 32768) / 8;
    }
    return pcm;
}

// SDL_MixAudioFormat summing the same number of already-stereo voices: the
// cheapest possible mix (no resampling, no pan), as the yardstick.
double SdlSecondsPerSecond(int voices) {
    std::vector<std::vector<int16_t>> sources;
    for (int v = 0; v < voices; ++v)
        sources.push_back(Noise(BLOCKVALUES / 2 * 8, 2, 77u + static_cast<unsigned>(v)));
    std::vector<int16_t> out(BLOCKVALUES);
    double best = 1e9;
    for (int run = 0; run < 3; ++run) {
        const double start = ThreadSeconds();
        for (int b = 0; b < SECONDBLOCKS; ++b) {
            std::fill(out.begin(), out.end(), int16_t{0});
            for (int v = 0; v < voices; ++v) {
                const int16_t* src = sources[static_cast<size_t>(v)].data() + (b % 8) * BLOCKVALUES;
                SDL_MixAudioFormat(reinterpret_cast<Uint8*>(out.data()), reinterpret_cast<const Uint8*>(src),
                                   AUDIO_S16SYS, BLOCKVALUES * 2, SDL_MIX_MAXVOLUME);
            }
            benchmark::DoNotOptimize(out.data());
        }
        best = std::min(best, ThreadSeconds() - start);
    }
    return best;
}

// One iteration mixes one second of output with `voices` looping mono voices.
void BM_Mix(benchmark::State& state) {
    const int voices = static_cast<int>(state.range(0));
    const bool ramped = state.range(1) != 0;
    const float rate = state.range(2) ? 1.37f : 1.0f;
    const double sdl = SdlSecondsPerSecond(voices);

    MixOpen(std::make_unique<benchdevice>());
    mixer* m = MixCurrentMixer();
    auto pcm = Noise(44100, 1, 5u);
    mixsample* data = MixCreateSound(44100, 16, 1, 44100, pcm.data(), -1);
    std::vector<int> handles;
    for (int v = 0; v < voices; ++v) {
        const int h = MixAllocChannel();
        MixSetChannelRate(h, rate);
        MixSetChannelPan(h, static_cast<float>(v % 9 - 4) / 4.0f);
        MixSetChannelVolume(h, 0.5f);
        MixPlaySound(data, 0, h);
        handles.push_back(h);
    }
    std::vector<int16_t> out(BLOCKVALUES);
    DelayMillis(25);
    for (int b = 0; b < 4; ++b)
        m->mix16(out.data(), BLOCKVALUES); // past the start delay

    double seconds = 0;
    int64_t iterations = 0;
    for (auto _ : state) {
        const double start = ThreadSeconds();
        for (int b = 0; b < SECONDBLOCKS; ++b) {
            if (ramped) {
                // A new volume on every voice for every block: all blocks ramp.
                const float volume = (b & 1) ? 0.5f : 0.45f;
                for (int h : handles)
                    MixSetChannelVolume(h, volume);
            }
            m->mix16(out.data(), BLOCKVALUES);
            benchmark::DoNotOptimize(out.data());
        }
        seconds += ThreadSeconds() - start;
        ++iterations;
    }
    const double per_second = seconds / static_cast<double>(std::max<int64_t>(1, iterations));
    state.counters["pct_of_realtime"] = 100.0 * per_second;
    state.counters["ns_per_voice_frame"] = per_second * 1e9 / (44100.0 * voices);
    state.counters["ratio_vs_SDL_MixAudioFormat"] = per_second / sdl;
    for (int h : handles)
        MixStopChannel(h);
    MixFreeSound(data);
    MixClose();
}
BENCHMARK(BM_Mix)
    ->ArgsProduct({{16, 64, 256}, {0, 1}, {0, 1}})
    ->ArgNames({"voices", "ramped", "rate137"})
    ->Unit(benchmark::kMillisecond);

void BM_DecodeGameSounds(benchmark::State& state) {
    RegisterEmbeddedAssets();
    int64_t frames = 0;
    for (auto _ : state) {
        for (const char* name : {"incbin::snd_fiddle.ogg", "incbin::snd_pop.ogg", "incbin::snd_click.ogg",
                                 "incbin::snd_blip.ogg"}) {
            auto sample = SampleLoad(name);
            if (!sample) {
                state.SkipWithError("a game sound failed to decode");
                return;
            }
            frames += sample->length;
        }
    }
    state.counters["audio_seconds_per_second"] =
        benchmark::Counter(static_cast<double>(frames) / 44100.0, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DecodeGameSounds)->Unit(benchmark::kMillisecond);

// ---- latency ----

class TStepClock : public TClockSource {
  public:
    int Millis() override { return now; }
    void Delay(int ms) override { now += ms; }
    int now = 100000;
};

// Virtual device: sounds started in the middle of a frame's 20 ms, as the
// game does; latency in output time.
void BM_LatencyVirtual(benchmark::State& state) {
    auto clock = std::make_shared<TStepClock>();
    UseClockSource(clock);
    std::vector<double> latencies;
    for (auto _ : state) {
        for (int offset : {0, 7, 13}) {
            std::vector<int16_t> recorded;
            const int t0 = clock->now;
            MixOpen(std::make_unique<virtualdevice>(
                [&](const int16_t* v, int frames) { recorded.insert(recorded.end(), v, v + 2 * frames); }));
            auto* device = dynamic_cast<virtualdevice*>(MixCurrentDevice());
            std::vector<int16_t> dc(4410, 1000);
            mixsample* data = MixCreateSound(4410, 16, 1, 44100, dc.data(), 0);
            clock->now += 100 + offset;
            device->advance(clock->now);
            const int played_at = clock->now;
            MixPlaySound(data, 0, 0);
            for (int i = 0; i < 10; ++i) {
                clock->now += 20;
                device->advance(clock->now);
            }
            const auto it = std::find_if(recorded.begin(), recorded.end(), [](int16_t v) { return v != 0; });
            const double heard_ms = static_cast<double>((it - recorded.begin()) / 2) / 44.1;
            latencies.push_back(heard_ms - (played_at - t0));
            MixFreeSound(data);
            MixClose();
        }
    }
    UseClockSource(nullptr);
    state.counters["latency_ms_min"] = *std::min_element(latencies.begin(), latencies.end());
    state.counters["latency_ms_max"] = *std::max_element(latencies.begin(), latencies.end());
}
BENCHMARK(BM_LatencyVirtual)->Iterations(1);

std::atomic<int64_t> g_heard_ns{0};

int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(steady::now().time_since_epoch()).count();
}

// Notes when the first non-zero sample is handed to SDL.
class watcheddsound : public sdldsoundbackend {
  protected:
    void deliver(uint8_t* stream, int len) override {
        sdldsoundbackend::deliver(stream, len);
        if (g_heard_ns.load(std::memory_order_relaxed) != 0) return;
        const auto* v = reinterpret_cast<const int16_t*>(stream);
        for (int i = 0; i < len / 2; ++i)
            if (v[i] != 0) {
                // The time of that sample: this callback's time plus its offset in the block.
                g_heard_ns.store(NowNs() + static_cast<int64_t>(i / 2) * 1000000000LL / 44100,
                                 std::memory_order_relaxed);
                return;
            }
    }
};

// Notes when SDL has played up to the first non-zero byte that was queued.
class watchedwaveout : public sdlwaveoutbackend {
  public:
    int position(int64_t& bytes) override {
        const int result = sdlwaveoutbackend::position(bytes);
        if (result == 0 && nonzero_at_ >= 0 && bytes > nonzero_at_ && g_heard_ns.load() == 0)
            g_heard_ns.store(NowNs());
        return result;
    }

  protected:
    void queue(const void* data, int bytes) override {
        if (nonzero_at_ < 0) {
            const auto* v = static_cast<const int16_t*>(data);
            for (int i = 0; i < bytes / 2; ++i)
                if (v[i] != 0) {
                    nonzero_at_ = queued_ + 2 * i;
                    break;
                }
        }
        queued_ += bytes;
        sdlwaveoutbackend::queue(data, bytes);
    }

  private:
    int64_t queued_ = 0;
    int64_t nonzero_at_ = -1;
};

void SdlLatency(benchmark::State& state, int mode) {
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        state.SkipWithError("no SDL audio");
        return;
    }
    std::vector<double> latencies;
    for (auto _ : state) {
        for (int round = 0; round < 5; ++round) {
            std::unique_ptr<audiodevice> device;
            if (mode == 1)
                device = std::make_unique<dsounddevice>(std::make_unique<watcheddsound>());
            else
                device = std::make_unique<winmmdevice>(std::make_unique<watchedwaveout>());
            if (MixOpen(std::move(device)) != 0) {
                state.SkipWithError("the SDL device did not open");
                return;
            }
            std::vector<int16_t> dc(4410, 1000);
            mixsample* data = MixCreateSound(4410, 16, 1, 44100, dc.data(), 0);
            std::this_thread::sleep_for(std::chrono::milliseconds(300 + 17 * round));
            g_heard_ns.store(0);
            const int64_t played = NowNs();
            MixPlaySound(data, 0, 0);
            for (int i = 0; i < 200 && g_heard_ns.load() == 0; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            if (g_heard_ns.load() != 0)
                latencies.push_back(static_cast<double>(g_heard_ns.load() - played) / 1e6);
            MixClose();
            MixFreeSound(data);
        }
    }
    if (latencies.empty()) {
        state.SkipWithError("nothing was heard");
        return;
    }
    double sum = 0;
    for (double l : latencies)
        sum += l;
    state.counters["latency_ms_mean"] = sum / static_cast<double>(latencies.size());
    state.counters["latency_ms_min"] = *std::min_element(latencies.begin(), latencies.end());
    state.counters["latency_ms_max"] = *std::max_element(latencies.begin(), latencies.end());
}

void BM_LatencySdlStream(benchmark::State& state) {
    SdlLatency(state, 1);
}
void BM_LatencySdlRing(benchmark::State& state) {
    SdlLatency(state, 0);
}
BENCHMARK(BM_LatencySdlStream)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LatencySdlRing)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
