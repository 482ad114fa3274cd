#include "audio/virtualdevice.h"

#include <algorithm>
#include <cstring>

#include "platform/clock.h"

virtualdevice::virtualdevice(blocksink sink) : sink_(std::move(sink)) {}

virtualdevice::~virtualdevice() {
    close();
}

int virtualdevice::open() {
    if (!mix) return -1;
    mix->outputrate = 44100;
    mix->outputchannels = 2;
    block_.assign(2 * BLOCKFRAMES, 0);
    start_ = ClockMillis();
    blocks_ = 0;
    open_ = true;
    advance(start_); // the first block plays from now
    return 0;
}

void virtualdevice::close() {
    open_ = false;
}

void virtualdevice::advance(int now) {
    if (!open_) return;
    // Clock readings wrap; only differences count.
    const int64_t elapsed = static_cast<int>(static_cast<unsigned>(now) - static_cast<unsigned>(start_));
    while (blocks_ * BLOCKMS <= elapsed) {
        // Each block starts at its own time, however late the call comes.
        mix->setblocktime(
            static_cast<int>(static_cast<unsigned>(start_) + static_cast<unsigned>(blocks_ * BLOCKMS)));
        mix->mix16(block_.data(), 2 * BLOCKFRAMES);
        ++blocks_;
        if (sink_) sink_(block_.data(), BLOCKFRAMES);
    }
}

// ---- wavwriter --------------------------------------------------------------

wavwriter::~wavwriter() {
    close();
}

bool wavwriter::open(const std::string& path) {
    close();
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) return false;
    frames_ = 0;
    header();
    return true;
}

namespace {
void put16(uint8_t* p, unsigned v) {
    p[0] = static_cast<uint8_t>(v & 0xff);
    p[1] = static_cast<uint8_t>((v >> 8) & 0xff);
}
void put32(uint8_t* p, uint32_t v) {
    put16(p, v & 0xffff);
    put16(p + 2, v >> 16);
}
} // namespace

void wavwriter::header() {
    const uint32_t databytes = static_cast<uint32_t>(std::min<int64_t>(frames_ * 4, 0xffffffffLL - 36));
    uint8_t h[44];
    std::memcpy(h, "RIFF", 4);
    put32(h + 4, 36 + databytes);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    put32(h + 16, 16);
    put16(h + 20, 1);      // PCM
    put16(h + 22, 2);      // stereo
    put32(h + 24, 44100);  // frames per second
    put32(h + 28, 176400); // bytes per second
    put16(h + 32, 4);      // block align
    put16(h + 34, 16);     // bits
    std::memcpy(h + 36, "data", 4);
    put32(h + 40, databytes);
    std::fseek(file_, 0, SEEK_SET);
    std::fwrite(h, 1, sizeof h, file_);
    std::fseek(file_, 0, SEEK_END);
}

void wavwriter::append(const int16_t* values, int frames) {
    if (!file_ || frames <= 0) return;
    std::vector<uint8_t> bytes(static_cast<size_t>(frames) * 4);
    for (size_t i = 0; i < bytes.size() / 2; ++i)
        put16(bytes.data() + 2 * i, static_cast<uint16_t>(values[i]));
    std::fwrite(bytes.data(), 1, bytes.size(), file_);
    frames_ += frames;
    header();
    std::fflush(file_);
}

void wavwriter::close() {
    if (!file_) return;
    header();
    std::fclose(file_);
    file_ = nullptr;
}
