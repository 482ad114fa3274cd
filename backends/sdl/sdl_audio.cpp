#include "backends/sdl/sdl_audio.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstring>

#include "audio/sound.h"
#include "backends/sdl/sdl_audio_spec.h"

namespace {

constexpr int BUFFERFRAMES = dsounddevice::BUFFERBYTES / 4;
constexpr int CHUNKFRAMES = dsounddevice::CHUNKBYTES / 4;

// SDL's own buffer: 512 frames (about 12 ms) between callbacks.
constexpr int SDLFRAMES = 512;

} // namespace

// ---- mode 1: the notified stream --------------------------------------------

sdldsoundbackend::~sdldsoundbackend() {
    close();
}

int sdldsoundbackend::open() {
    if (!StartSdlAudio()) return -1;
    frames_ = std::make_unique<std::atomic<uint32_t>[]>(BUFFERFRAMES);
    for (int i = 0; i < BUFFERFRAMES; ++i)
        frames_[i].store(0, std::memory_order_relaxed);
    cursor_.store(0, std::memory_order_relaxed);
    SDL_AudioSpec want = GameAudioSpec(SDLFRAMES, &sdldsoundbackend::callback, this);
    SDL_AudioSpec have;
    device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device_ == 0) {
        frames_.reset();
        return -1;
    }
    return 0;
}

int sdldsoundbackend::clear() {
    if (!frames_) return -1;
    for (int i = 0; i < BUFFERFRAMES; ++i)
        frames_[i].store(0, std::memory_order_relaxed);
    return 0;
}

int sdldsoundbackend::play() {
    if (!device_) return -1;
    playing_.store(true, std::memory_order_release);
    SDL_PauseAudioDevice(device_, 0);
    return 0;
}

int sdldsoundbackend::cursor(int& bytes) {
    if (!device_) return -1;
    bytes = cursor_.load(std::memory_order_acquire);
    return 0;
}

int sdldsoundbackend::write(int offset, const int16_t* data, int bytes) {
    if (!frames_ || offset < 0 || bytes < 0 || offset + bytes > dsounddevice::BUFFERBYTES) return -1;
    const int first = offset / 4;
    const int count = bytes / 4;
    for (int i = 0; i < count; ++i) {
        uint32_t frame;
        std::memcpy(&frame, data + 2 * i, 4);
        frames_[first + i].store(frame, std::memory_order_relaxed);
    }
    return 0;
}

int sdldsoundbackend::wait(int timeoutms) {
    return event_.try_acquire_for(std::chrono::milliseconds(timeoutms)) ? 1 : 0;
}

void sdldsoundbackend::wake() {
    signal();
}

void sdldsoundbackend::signal() {
    event_.release();
}

void sdldsoundbackend::stop() {
    playing_.store(false, std::memory_order_release);
    if (device_) SDL_PauseAudioDevice(device_, 1);
}

void sdldsoundbackend::close() {
    if (device_) {
        // Returns once SDL's audio thread has finished with our buffer.
        SDL_CloseAudioDevice(device_);
        device_ = 0;
    }
    frames_.reset();
}

void sdldsoundbackend::callback(void* userdata, uint8_t* stream, int len) {
    static_cast<sdldsoundbackend*>(userdata)->deliver(stream, len);
}

void sdldsoundbackend::deliver(uint8_t* stream, int len) {
    if (!playing_.load(std::memory_order_acquire) || !frames_) {
        std::memset(stream, 0, static_cast<size_t>(len));
        return;
    }
    int frame = cursor_.load(std::memory_order_relaxed) / 4;
    bool boundary = false;
    const int count = len / 4;
    for (int i = 0; i < count; ++i) {
        const uint32_t value = frames_[frame].load(std::memory_order_relaxed);
        std::memcpy(stream + 4 * i, &value, 4);
        frame = (frame + 1) % BUFFERFRAMES;
        if (frame % CHUNKFRAMES == 0) boundary = true;
    }
    cursor_.store(frame * 4, std::memory_order_release);
    // Like a position notification: the mixing thread wakes and tops up.
    if (boundary) signal();
}

// ---- mode 0: the fragment ring ----------------------------------------------

sdlwaveoutbackend::~sdlwaveoutbackend() {
    stoptimer();
    close();
}

int sdlwaveoutbackend::open() {
    if (!StartSdlAudio()) return -1;
    SDL_AudioSpec want = GameAudioSpec(SDLFRAMES, nullptr, nullptr); // queue mode
    SDL_AudioSpec have;
    device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    return device_ ? 0 : -1;
}

bool sdlwaveoutbackend::lost() {
    return device_ != 0 && SDL_GetAudioDeviceStatus(device_) == SDL_AUDIO_STOPPED;
}

bool sdlwaveoutbackend::reopen() {
    // A lost device's queue is what it never played.
    const int64_t left = device_ ? std::min<int64_t>(SDL_GetQueuedAudioSize(device_), queued_) : 0;
    if (device_) SDL_CloseAudioDevice(device_);
    device_ = 0;
    SDL_AudioSpec want = GameAudioSpec(SDLFRAMES, nullptr, nullptr);
    SDL_AudioSpec have;
    device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (!device_) return false;
    if (!ring_ || ringbytes_ <= 0) return true;
    int64_t from = queued_ - std::min<int64_t>(left, ringbytes_);
    while (from < queued_) {
        const int offset = static_cast<int>(from % ringbytes_);
        const int bytes = static_cast<int>(std::min<int64_t>(queued_ - from, ringbytes_ - offset));
        queue(reinterpret_cast<const uint8_t*>(ring_) + offset, bytes);
        from += bytes;
    }
    SDL_PauseAudioDevice(device_, 0);
    return true;
}

int sdlwaveoutbackend::write(const int16_t* ring, int values) {
    if (!device_ || !ring || values <= 0) return -1;
    SDL_ClearQueuedAudio(device_);
    ring_ = ring;
    ringbytes_ = values * 2;
    queued_ = 0;
    SDL_PauseAudioDevice(device_, 0);
    return 0;
}

int sdlwaveoutbackend::position(int64_t& bytes) {
    if (!device_) return -1;
    if (!ring_) {
        bytes = 0;
        return 0;
    }
    // What SDL has taken off the queue: when the mix falls behind, the queue
    // runs dry and the position comes up to what was written, as the
    // underrun rule expects of a real output.
    const int64_t played = queued_ - static_cast<int64_t>(SDL_GetQueuedAudioSize(device_));
    bytes = std::max<int64_t>(0, played);
    return 0;
}

void sdlwaveoutbackend::written(int64_t values) {
    // The queue holds exactly what the mixer has written and SDL has not yet
    // played: the device's lead.
    if (!device_ || !ring_ || ringbytes_ <= 0) return;
    int64_t want = std::min<int64_t>(values * 2 - queued_, ringbytes_);
    while (want > 0) {
        const int offset = static_cast<int>(queued_ % ringbytes_);
        const int bytes = static_cast<int>(std::min<int64_t>(want, ringbytes_ - offset));
        queue(reinterpret_cast<const uint8_t*>(ring_) + offset, bytes);
        queued_ += bytes;
        want -= bytes;
    }
}

void sdlwaveoutbackend::queue(const void* data, int bytes) {
    SDL_QueueAudio(device_, data, static_cast<Uint32>(bytes));
}

void sdlwaveoutbackend::reset() {
    if (!device_) return;
    SDL_PauseAudioDevice(device_, 1);
    SDL_ClearQueuedAudio(device_);
    ring_ = nullptr;
    queued_ = 0;
}

void sdlwaveoutbackend::close() {
    if (device_) {
        SDL_CloseAudioDevice(device_);
        device_ = 0;
    }
    ring_ = nullptr;
}

void sdlwaveoutbackend::starttimer(std::function<void()> tick) {
    stoptimer();
    ticking_.store(true, std::memory_order_release);
    timer_ = std::thread([this, tick = std::move(tick)] {
        using clock = std::chrono::steady_clock;
        auto next = clock::now();
        auto check = next;
        while (ticking_.load(std::memory_order_acquire)) {
            // A device that went away is replaced by the default one; the
            // mixer, on this same thread, never sees the change.
            if (next >= check) {
                check = next + std::chrono::milliseconds(CHECK_MS);
                if (lost()) reopen();
            }
            tick();
            next += std::chrono::milliseconds(5);
            const auto now = clock::now();
            // After a long stall, tick from now on rather than in a burst.
            if (next < now - std::chrono::milliseconds(50)) next = now;
            std::this_thread::sleep_until(next);
        }
    });
}

void sdlwaveoutbackend::stoptimer() {
    ticking_.store(false, std::memory_order_release);
    if (timer_.joinable()) timer_.join();
}

// ---- devices and drivers ----------------------------------------------------

std::unique_ptr<audiodevice> CreateSdlAudioDevice(int mode) {
    if (mode == 0) return std::make_unique<winmmdevice>(std::make_unique<sdlwaveoutbackend>());
    return std::make_unique<dsounddevice>(std::make_unique<sdldsoundbackend>());
}

int RegisterSdlAudioDrivers() {
    // The drivers are registered once; the factory is installed again by every
    // call, so the SDL devices are behind the drivers whatever came before.
    static const int registered = [] {
        StartAudio();
        if (!StartSdlAudio()) return 0;
        // Registered exactly when an output device opens on this machine.
        SDL_AudioSpec want = GameAudioSpec(SDLFRAMES, nullptr, nullptr);
        SDL_AudioSpec have;
        const SDL_AudioDeviceID probe = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        if (probe == 0) return 0;
        SDL_CloseAudioDevice(probe);
        TSoftMixAudioDriver::Create("SoftMix DirectSound", 1);
        TSoftMixAudioDriver::Create("SoftMix Multimedia", 0);
        TSoftMixAudioDriver::Create("SoftMix", -1);
        return 3;
    }();
    if (registered) MixUseDeviceFactory(&CreateSdlAudioDevice);
    return registered;
}
