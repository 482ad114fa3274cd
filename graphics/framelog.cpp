#include "graphics/framelog.h"

#include <chrono>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <memory>

#include "platform/clock.h"

namespace {

struct TFileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

struct TFrameLogState {
    std::unique_ptr<std::FILE, TFileCloser> file;
    int64_t last_cpu_us = 0;
};

TFrameLogState& State() {
    static TFrameLogState state;
    return state;
}

int64_t MonotonicMicros() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

bool OpenFrameLog(const std::string& path) {
    TFrameLogState& s = State();
    s.file.reset();
    std::unique_ptr<std::FILE, TFileCloser> file(std::fopen(path.c_str(), "w"));
    if (!file) return false;
    // On disk at once: a game stopped before its first frame still leaves a log that says so.
    if (std::fputs("# frame flip_us shown cpu_us\n", file.get()) < 0 || std::fflush(file.get()) != 0)
        return false;
    s.file = std::move(file);
    s.last_cpu_us = ProcessCpuMicros();
    return true;
}

void CloseFrameLog() {
    State().file.reset();
}

bool FrameLogOpen() {
    return State().file != nullptr;
}

void LogFrame(long frame, bool shown) {
    TFrameLogState& s = State();
    if (!s.file) return;
    const int64_t now_us = MonotonicMicros();
    const int64_t cpu_us = ProcessCpuMicros();
    std::fprintf(s.file.get(), "%ld %" PRId64 " %d %" PRId64 "\n", frame, now_us, shown ? 1 : 0,
                 cpu_us - s.last_cpu_us);
    // Written out at once: a game that is killed still leaves its log whole.
    std::fflush(s.file.get());
    s.last_cpu_us = cpu_us;
}
