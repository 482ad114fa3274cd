#include "audio/audiodevice.h"

#include <algorithm>
#include <cstdio>

namespace {
void reportwriteerror() {
    std::printf("waveOutWrite error\n");
    std::fflush(stdout);
}

// The open output device and the factory that makes new ones.
struct TDeviceState {
    audiodevicefactory factory = nullptr;
    std::unique_ptr<audiodevice> device;
};

// Never destroyed: the audio driver is shut down from an exit handler, which
// may run after function-local statics made later than its registration.
TDeviceState& State() {
    static auto* state = new TDeviceState;
    return *state;
}

// Opens the device on the open mixer; false (and no device) on failure.
bool OpenOnMixer(std::unique_ptr<audiodevice> device, mixer* m) {
    device->mix = m;
    if (device->open() != 0) {
        device->close();
        return false;
    }
    State().device = std::move(device);
    return true;
}

void CloseDevice() {
    auto& st = State();
    if (!st.device) return;
    st.device->close();
    st.device.reset();
}
} // namespace

// ---- opening and closing the output -----------------------------------------

void MixUseDeviceFactory(audiodevicefactory factory) {
    State().factory = factory;
}

audiodevice* MixCurrentDevice() {
    return State().device.get();
}

int MixStartDevice(int mode) {
    auto& st = State();
    if (!st.factory) return -1;
    std::unique_ptr<audiodevice> device = st.factory(mode);
    if (!device) return -1;
    return MixOpen(std::move(device));
}

int MixOpen(std::unique_ptr<audiodevice> device) {
    if (!device) return -1;
    MixClose(); // one device at a time
    mixer* m = MixOpenMixer(device->blockvalues());
    if (!OpenOnMixer(std::move(device), m)) {
        MixCloseMixer();
        return -1;
    }
    return 0;
}

int MixClose() {
    CloseDevice();
    MixCloseMixer();
    return 0;
}

int MixReplaceDevice(std::unique_ptr<audiodevice> device) {
    if (!device) return -1;
    if (!MixCurrentMixer()) return MixOpen(std::move(device));
    CloseDevice(); // no output thread mixes after this
    mixer* m = MixOpenMixer(device->blockvalues());
    return OpenOnMixer(std::move(device), m) ? 0 : -1;
}

// ---- the fragment ring ------------------------------------------------------

winmmdevice::winmmdevice(std::unique_ptr<waveoutbackend> backend) : backend_(std::move(backend)) {}

winmmdevice::~winmmdevice() {
    close();
}

int winmmdevice::blockvalues() {
    return std::max(2, backend_->fragmentvalues()) & ~1;
}

int winmmdevice::open() {
    fragment_ = blockvalues();
    if (!mix) return -1;
    if (backend_->open() != 0) return -1;
    opened_ = true;
    mix->outputrate = 44100;
    mix->outputchannels = 2;
    ring_.assign(static_cast<size_t>(fragment_) * RINGFRAGMENTS, 0);
    restart_.store(0, std::memory_order_relaxed);
    writepos_.store(0, std::memory_order_relaxed);
    base_.store(0, std::memory_order_relaxed);
    lead_.store(STARTLEAD, std::memory_order_relaxed);
    running_.store(true, std::memory_order_release);
    // Prime the ring with the first fragments before playback starts.
    fill(0);
    restart();
    backend_->starttimer([this] { tick(); });
    return 0;
}

void winmmdevice::close() {
    if (!opened_) return;
    running_.store(false, std::memory_order_release);
    backend_->stoptimer(); // no tick runs after this
    backend_->reset();
    backend_->close();
    opened_ = false;
    ring_.clear();
    ring_.shrink_to_fit();
}

void winmmdevice::restart() {
    base_.store(0, std::memory_order_relaxed);
    if (backend_->write(ring_.data(), static_cast<int>(ring_.size())) != 0) reportwriteerror();
    backend_->written(writepos_.load(std::memory_order_relaxed));
}

void winmmdevice::tick() {
    if (!running_.load(std::memory_order_acquire)) return;
    const int countdown = restart_.load(std::memory_order_relaxed);
    if (countdown != 0) {
        restart_.store(countdown - 1, std::memory_order_relaxed);
        if (countdown - 1 != 0) return; // still muted
        restart();
    }

    int64_t bytes = 0;
    bool usable = backend_->position(bytes) == 0 && bytes >= 0;
    if (usable) {
        bytes -= base_.load(std::memory_order_relaxed) * 2;
        const int64_t ringvalues = static_cast<int64_t>(ring_.size());
        const int64_t written = writepos_.load(std::memory_order_relaxed);
        if (bytes > MAXPOSITION && bytes / 2 <= written && ringvalues > 0) {
            // The play position has run long while the sound flows: count on
            // from a whole number of rings later instead of starting again
            // from the top, so that playback goes on without a break.
            const int64_t shift = bytes / 2 - (bytes / 2) % ringvalues;
            base_.store(base_.load(std::memory_order_relaxed) + shift, std::memory_order_relaxed);
            writepos_.store(written - shift, std::memory_order_relaxed);
            bytes -= shift * 2;
        }
        usable = bytes >= 0 && bytes <= MAXPOSITION;
    }
    if (!usable) {
        // The position is no use: start again from the top of the ring.
        backend_->reset();
        writepos_.store(0, std::memory_order_relaxed);
        std::fill(ring_.begin(), ring_.end(), int16_t{0});
        restart();
        return;
    }
    const int64_t played = bytes / 2;
    const int64_t written = writepos_.load(std::memory_order_relaxed);
    if (played != 0 && played + 2 * static_cast<int64_t>(fragment_) > written) {
        // The output caught up with the mix: whatever it plays now is stale.
        // Mute for a while and come back with a longer lead.
        restart_.store(MUTETICKS, std::memory_order_relaxed);
        std::fill(ring_.begin(), ring_.end(), int16_t{0});
        backend_->reset();
        int lead = lead_.load(std::memory_order_relaxed);
        if (lead <= MAXLEAD - 1) lead += 2;
        lead_.store(lead, std::memory_order_relaxed);
        writepos_.store(static_cast<int64_t>(lead) * fragment_ * 2, std::memory_order_relaxed);
        return;
    }
    fill(played);
}

void winmmdevice::fill(int64_t played) {
    int64_t written = writepos_.load(std::memory_order_relaxed);
    const int64_t target = played + static_cast<int64_t>(lead_.load(std::memory_order_relaxed)) * fragment_;
    while (written < target) {
        const int64_t index = (written / fragment_) % RINGFRAGMENTS;
        mix->mix16(ring_.data() + index * fragment_, fragment_);
        written += fragment_;
    }
    writepos_.store(written, std::memory_order_relaxed);
    backend_->written(written + base_.load(std::memory_order_relaxed));
}

// ---- the notification-driven stream -----------------------------------------

dsounddevice::dsounddevice(std::unique_ptr<dsoundbackend> backend) : backend_(std::move(backend)) {}

dsounddevice::~dsounddevice() {
    close();
}

int dsounddevice::open() {
    running_.store(true, std::memory_order_release);
    alive_.store(false, std::memory_order_release);
    if (!mix) {
        running_.store(false, std::memory_order_release);
        return -1;
    }
    mix->outputrate = 44100;
    mix->outputchannels = 2;
    if (backend_->open() != 0) {
        running_.store(false, std::memory_order_release);
        return -1;
    }
    opened_ = true;
    scratch_.assign(2 * CHUNKBYTES / 2, 0);
    written_.store(0, std::memory_order_relaxed);
    wraps_.store(0, std::memory_order_relaxed);
    thread_ = std::thread([this] { run(); });
    return 0;
}

void dsounddevice::run() {
    if (backend_->clear() != 0 || backend_->play() != 0) {
        backend_->stop();
        return;
    }
    alive_.store(true, std::memory_order_release);
    int last = 0;
    int64_t wraps = 0;
    int64_t written = 0;
    while (running_.load(std::memory_order_acquire)) {
        int cursor = 0;
        if (backend_->cursor(cursor) != 0) break;
        if (cursor < last) ++wraps;
        last = cursor;
        int64_t ahead = (wraps * BUFFERBYTES + cursor + 2 * CHUNKBYTES - written) / CHUNKBYTES;
        if (ahead > 0) {
            ahead = std::min<int64_t>(ahead, 2);
            const int offset = static_cast<int>(written % BUFFERBYTES);
            const int total = static_cast<int>(ahead) * CHUNKBYTES;
            const int first = std::min(total, BUFFERBYTES - offset);
            mix->mix16(scratch_.data(), first / 2);
            if (backend_->write(offset, scratch_.data(), first) != 0) break;
            if (total > first) {
                mix->mix16(scratch_.data(), (total - first) / 2);
                if (backend_->write(0, scratch_.data(), total - first) != 0) break;
            }
            written += total;
            written_.store(written, std::memory_order_relaxed);
        }
        wraps_.store(static_cast<int>(wraps), std::memory_order_relaxed);
        if (!running_.load(std::memory_order_acquire)) break;
        if (backend_->wait(1000) != 1) break;
    }
    wraps_.store(static_cast<int>(wraps), std::memory_order_relaxed);
    alive_.store(false, std::memory_order_release);
    backend_->stop();
}

void dsounddevice::close() {
    if (running_.exchange(false, std::memory_order_acq_rel)) backend_->wake();
    // Waiting for the thread itself (not for a flag with a timeout) means the
    // buffer is never released under a thread that still writes into it.
    if (thread_.joinable()) thread_.join();
    if (opened_) {
        backend_->close();
        opened_ = false;
    }
}
