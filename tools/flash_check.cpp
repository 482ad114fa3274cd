// flash-check: counts general and red flashes per second in raw RGB frames
// (the simulator's --capture-raw output) by the rule of flash/flash_count.h,
// and fails when any second has more than three of either.
//
// usage: flash-check [--size WxH] [--fps N] [--label TEXT] FILE   ('-': standard input)
// exit status: 0 below the threshold, 1 above it, 2 bad arguments or input.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "flash/flash_count.h"

namespace {

int Usage(const std::string& why) {
    std::fprintf(stderr, "flash-check: %s\nusage: flash-check [--size WxH] [--fps N] [--label TEXT] FILE|-\n",
                 why.c_str());
    return 2;
}

bool ParsePositive(const std::string& text, int& out) {
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || v < 1 || v > 100000) return false;
    out = static_cast<int>(v);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    int width = 1024, height = 768, fps = 50;
    std::string label = "frames", input;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool has_value = i + 1 < argc;
        if (arg == "--size" && has_value) {
            const std::string v = argv[++i];
            const std::size_t x = v.find('x');
            if (x == std::string::npos || !ParsePositive(v.substr(0, x), width) ||
                !ParsePositive(v.substr(x + 1), height))
                return Usage("--size: '" + v + "' is not WxH");
        } else if (arg == "--fps" && has_value) {
            if (!ParsePositive(argv[++i], fps)) return Usage("--fps: not a positive number");
        } else if (arg == "--label" && has_value) {
            label = argv[++i];
        } else if (input.empty() && (arg == "-" || arg[0] != '-')) {
            input = arg;
        } else {
            return Usage("unexpected '" + arg + "'");
        }
    }
    if (input.empty()) return Usage("no input named");
    std::unique_ptr<FILE, int (*)(FILE*)> owned(nullptr, std::fclose);
    FILE* in = stdin;
    if (input != "-") {
        owned.reset(std::fopen(input.c_str(), "rb"));
        in = owned.get();
        if (!in) return Usage("cannot read '" + input + "'");
    }
    TFlashCounter counter(width, height, fps);
    std::vector<std::uint8_t> frame(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
    for (;;) {
        const std::size_t got = std::fread(frame.data(), 1, frame.size(), in);
        if (got == 0) break;
        if (got != frame.size()) return Usage("the input ends inside a frame");
        counter.AddFrame(frame.data());
    }
    const TFlashFigures& f = counter.Figures();
    if (f.frames == 0) return Usage("no frames in the input");
    std::printf("%s: %ld frames; general flashes: at most %.1f a second (second ending at frame %ld), "
                "largest area changing at once %.1f%% of a field; red flashes: at most %.1f a second "
                "(frame %ld), %.1f%%; %s\n",
                label.c_str(), f.frames, f.GeneralFlashesPerSecond(), f.general_frame, 100.0 * f.general_area,
                f.RedFlashesPerSecond(), f.red_frame, 100.0 * f.red_area,
                f.Passes() ? "passes (three a second or fewer)" : "FAILS (more than three a second)");
    return f.Passes() ? 0 : 1;
}
