// flash-check: counts general and red flashes per second in raw RGB frames
// (the simulator's --capture-raw output) by the rule of flash/flash_count.h,
// and fails when any second has more than three of either.
//
// usage: flash-check [--size WxH] [--fps N] [--label TEXT] [--part NAME:A-B]... FILE|-
// FILE '-' is standard input. Each --part also reports the frames A to B
// (from 1) apart: the seconds that end in them, counted in the whole stream.
// exit status: 0 below the threshold, 1 above it, 2 bad arguments or input.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "flash/flash_count.h"

namespace {

int Usage(const std::string& why) {
    std::fprintf(
        stderr,
        "flash-check: %s\nusage: flash-check [--size WxH] [--fps N] [--label TEXT] [--part NAME:A-B]... "
        "FILE|-\n",
        why.c_str());
    return 2;
}

bool ParsePositive(const std::string& text, int& out) {
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || v < 1 || v > 1000000) return false;
    out = static_cast<int>(v);
    return true;
}

// Figures over a run of frames.
struct TPart {
    std::string name;
    long first = 1, last = 0;
    TFlashFigures figures;

    void Add(long frame, const TFlashFrame& f) {
        if (frame < first || frame > last) return;
        ++figures.frames;
        if (f.general_transitions > figures.general_transitions) {
            figures.general_transitions = f.general_transitions;
            figures.general_frame = frame;
        }
        if (f.red_transitions > figures.red_transitions) {
            figures.red_transitions = f.red_transitions;
            figures.red_frame = frame;
        }
        figures.general_area = std::max(figures.general_area, f.general_area);
        figures.red_area = std::max(figures.red_area, f.red_area);
    }
};

bool ParsePart(const std::string& text, TPart& part) {
    const std::size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0) return false;
    const std::size_t dash = text.find('-', colon);
    if (dash == std::string::npos) return false;
    int a = 0, b = 0;
    if (!ParsePositive(text.substr(colon + 1, dash - colon - 1), a) ||
        !ParsePositive(text.substr(dash + 1), b) || b < a)
        return false;
    part.name = text.substr(0, colon);
    part.first = a;
    part.last = b;
    return true;
}

// "at most 2.5 a second (the second ending at frame 130)", or "none".
std::string Most(int transitions, long frame) {
    if (transitions == 0) return "none";
    char text[96];
    std::snprintf(text, sizeof text, "at most %.1f a second (the second ending at frame %ld)",
                  transitions / 2.0, frame);
    return text;
}

void Report(const std::string& name, const TFlashFigures& f) {
    std::printf("%s: %ld frames; general flashes %s, largest area changing at once %.1f%% of a field; "
                "red flashes %s, %.1f%%; %s\n",
                name.c_str(), f.frames, Most(f.general_transitions, f.general_frame).c_str(),
                100.0 * f.general_area, Most(f.red_transitions, f.red_frame).c_str(), 100.0 * f.red_area,
                f.Passes() ? "passes (three a second or fewer)" : "FAILS (more than three a second)");
}

} // namespace

int main(int argc, char** argv) {
    int width = 1024, height = 768, fps = 50;
    std::string label = "frames", input;
    std::vector<TPart> parts;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool has_value = i + 1 < argc;
        if (arg == "--size" && has_value) {
            const std::string v = argv[++i];
            const std::size_t x = v.find('x');
            if (x == std::string::npos || !ParsePositive(v.substr(0, x), width) ||
                !ParsePositive(v.substr(x + 1), height) || width > 16384 || height > 16384)
                return Usage("--size: '" + v + "' is not WxH");
        } else if (arg == "--fps" && has_value) {
            if (!ParsePositive(argv[++i], fps)) return Usage("--fps: not a positive number");
        } else if (arg == "--part" && has_value) {
            TPart part;
            const std::string v = argv[++i];
            if (!ParsePart(v, part)) return Usage("--part: '" + v + "' is not NAME:A-B");
            parts.push_back(part);
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
        const TFlashFrame added = counter.AddFrame(frame.data());
        for (TPart& part : parts)
            part.Add(counter.Figures().frames, added);
    }
    const TFlashFigures& f = counter.Figures();
    if (f.frames == 0) return Usage("no frames in the input");
    for (const TPart& part : parts)
        Report(label + ", " + part.name, part.figures);
    Report(label, f);
    return f.Passes() ? 0 : 1;
}
