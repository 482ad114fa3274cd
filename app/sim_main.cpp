// zaptomania-sim: the game in virtual time, with scripted input, a JSON Lines
// trace, optional frame captures and the mixed audio as a WAV file.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "assets/embedded_assets.h"
#include "audio/mixer.h"
#include "audio/sound_log.h"
#include "game/figures.h"
#include "game/frame.h"
#include "game/startup.h"
#include "graphics/gles2canvas.h"
#include "platform/clock.h"
#include "platform/error.h"
#include "settings/command_line.h"
#include "settings/settings.h"
#include "sim/input_script.h"
#include "sim/trace.h"
#include "sim/virtual_audio.h"
#include "sim/virtual_clock.h"
#include "sim/virtual_display.h"
#if defined(__EMSCRIPTEN__)
// Under Node.js there is no OpenGL: the web simulator only records.
#include <unistd.h>
#elif defined(_WIN32)
#include <fcntl.h>
#include <io.h>

#include "backends/win32/win32_display.h"
#else
#include <unistd.h>

#include "backends/sdl/sdl_display.h"
#endif

namespace {

struct TSimOptions {
    long frames = -1;
    int clock_start = 100000;
    std::string input;
    std::string trace;
    bool gl = false;
    std::set<long> capture;
    std::string capture_dir;
    std::string capture_raw;
    std::string wav;
    std::string stats;
    std::string config;
    bool dump_tables = false;
    bool help = false;
    bool version = false;
};

// Frames between two lines of --stats (5 s of virtual time).
constexpr long STATS_EVERY = 250;

const char* const USAGE = "usage: zaptomania-sim --frames N [options]\n"
                          "  --frames N          stop after game frame N (required)\n"
                          "  --clock-start MS    first reading of the virtual clock (default 100000)\n"
                          "  --input FILE        input script: lines of FRAME EVENT ARGS\n"
                          "  --trace FILE        JSON Lines trace, one record per game frame\n"
                          "  --renderer R        null: draw nothing (default); gl: OpenGL offscreen with\n"
                          "                      the default driver (ZAPTOMANIA_RENDERER may choose);\n"
                          "                      gl-es2, gl-immediate: with that driver\n"
                          "  --capture LIST      comma-separated frames to write as PNG (gl only); an\n"
                          "                      item may be a range A-B, or every S-th frame of one, A-B/S\n"
                          "  --capture-dir DIR   where captures go, as frame-K.png\n"
                          "  --capture-raw FILE  instead, the captured frames one after another in FILE\n"
                          "                      ('-': standard output), raw 1024 x 768 RGB, top row first\n"
                          "  --wav FILE          the mixed audio, 44100 Hz stereo 16-bit\n"
                          "  --stats FILE        every 250 frames a JSON line: memory in use and the\n"
                          "                      mixer's channel handles and voices\n"
                          "  --config FILE       settings file to play with (volume, mute, extra switches);\n"
                          "                      without it the simulator reads no settings at all\n"
                          "  --dump-tables       print the line figures and the credit line as JSON\n"
                          "  --version           print the version and exit\n"
                          "  -h, --help          print this help and exit\n";

// A bad command line or input file: reported on one line, exit status 2.
struct TUsageError {
    std::string message;
};

// The window layer's hidden GL contexts, for --renderer gl: nothing is shown.
std::shared_ptr<TGLContextBackend> MakeOffscreenContextBackend() {
#if defined(__EMSCRIPTEN__)
    return nullptr; // never asked for: ParseArgs refuses --renderer gl
#elif defined(_WIN32)
    return MakeWin32OffscreenContextBackend();
#else
    return MakeSdlOffscreenContextBackend();
#endif
}

#ifdef __EMSCRIPTEN__
constexpr bool HAVE_GL = false;
#else
constexpr bool HAVE_GL = true;
#endif

// Thrown from the frame hook once the last asked-for frame is traced.
struct TSimStop {};

long ParseNumber(const std::string& option, const std::string& text, long lo, long hi) {
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || v < lo || v > hi)
        throw TUsageError{option + ": '" + text + "' is not a number in " + std::to_string(lo) + ".." +
                          std::to_string(hi)};
    return v;
}

std::set<long> ParseCaptureList(const std::string& text) {
    std::set<long> frames;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = text.find(',', start);
        const std::string item =
            text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        // K, or a range A-B, or every S-th frame of one: A-B/S.
        const std::size_t dash = item.find('-');
        if (dash == std::string::npos) {
            frames.insert(ParseNumber("--capture", item, 1, 1000000000L));
        } else {
            const std::size_t slash = item.find('/', dash);
            const long first = ParseNumber("--capture", item.substr(0, dash), 1, 1000000000L);
            const long last = ParseNumber(
                "--capture",
                item.substr(dash + 1, slash == std::string::npos ? std::string::npos : slash - dash - 1),
                first, 1000000000L);
            const long step = slash == std::string::npos
                                  ? 1
                                  : ParseNumber("--capture", item.substr(slash + 1), 1, 1000000000L);
            if ((last - first) / step >= 100000)
                throw TUsageError{"--capture: '" + item + "' is too many frames"};
            for (long k = first; k <= last; k += step)
                frames.insert(k);
        }
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return frames;
}

TSimOptions ParseArgs(int argc, char** argv) {
    TSimOptions o;
    bool have_frames = false, have_capture = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        bool inline_value = false;
        if (const std::size_t eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
            inline_value = true;
        }
        auto need = [&]() -> std::string {
            if (inline_value) return value;
            if (i + 1 >= argc) throw TUsageError{arg + " needs a value"};
            return argv[++i];
        };
        if (arg == "--frames") {
            o.frames = ParseNumber(arg, need(), 1, 2000000000L);
            have_frames = true;
        } else if (arg == "--clock-start") {
            o.clock_start = static_cast<int>(ParseNumber(arg, need(), -2147483647L - 1, 2147483647L));
        } else if (arg == "--input") {
            o.input = need();
        } else if (arg == "--trace") {
            o.trace = need();
        } else if (arg == "--renderer") {
            const std::string r = need();
            if (r == "null") {
                o.gl = false;
            } else if ((r == "gl" || r == "gl-es2" || r == "gl-immediate") && !HAVE_GL) {
                throw TUsageError{"--renderer " + r +
                                  ": there is no OpenGL under Node.js (only --renderer null)"};
            } else if (r == "gl") {
                o.gl = true;
                UseGLRendererFromEnvironment();
            } else if (r == "gl-es2" || r == "gl-immediate") {
                o.gl = true;
                UseGLRenderer(r == "gl-es2" ? TGLRenderer::ES2 : TGLRenderer::IMMEDIATE);
            } else {
                throw TUsageError{"--renderer: '" + r + "' is not null, gl, gl-es2 or gl-immediate"};
            }
        } else if (arg == "--capture") {
            if (!HAVE_GL)
                throw TUsageError{"--capture: there is no OpenGL under Node.js to draw frames with"};
            o.capture = ParseCaptureList(need());
            have_capture = true;
        } else if (arg == "--capture-dir") {
            o.capture_dir = need();
        } else if (arg == "--capture-raw") {
            o.capture_raw = need();
        } else if (arg == "--wav") {
            o.wav = need();
        } else if (arg == "--stats") {
            o.stats = need();
        } else if (arg == "--config") {
            o.config = need();
            std::error_code ec;
            if (!std::filesystem::is_regular_file(o.config, ec))
                throw TUsageError{"--config: '" + o.config + "' is not a file"};
        } else if ((arg == "--help" || arg == "-h") && !inline_value) {
            o.help = true;
            return o;
        } else if (arg == "--version" && !inline_value) {
            o.version = true;
            return o;
        } else if (arg == "--dump-tables" && !inline_value) {
            o.dump_tables = true;
        } else {
            throw TUsageError{"unknown option '" + std::string(argv[i]) + "'"};
        }
        if (o.input.empty() && arg == "--input") throw TUsageError{"--input needs a file name"};
    }
    if (o.dump_tables) return o;
    if (!have_frames) throw TUsageError{"--frames N is required"};
    if (have_capture && !o.gl) throw TUsageError{"--capture needs an OpenGL --renderer"};
    if (!o.capture_raw.empty() && !have_capture) throw TUsageError{"--capture-raw needs --capture LIST"};
    if (!o.capture_raw.empty() && !o.capture_dir.empty())
        throw TUsageError{"--capture-raw and --capture-dir exclude each other"};
    if (have_capture && o.capture_dir.empty() && o.capture_raw.empty())
        throw TUsageError{"--capture needs --capture-dir DIR or --capture-raw FILE"};
    // Found out now rather than after a long run whose pictures all went nowhere.
    std::error_code ec;
    if (have_capture && o.capture_raw.empty() && !std::filesystem::is_directory(o.capture_dir, ec))
        throw TUsageError{"--capture-dir: '" + o.capture_dir + "' is not a folder"};
    return o;
}

std::string FigureJson(int figure) {
    std::string out = "[";
    for (const TFigureRecord& r : FigureTable(figure)) {
        if (r.x1 < 1) break; // the closing sentinel is not part of the figure
        if (out.size() > 1) out += ',';
        out += "[" + std::to_string(r.col) + "," + std::to_string(r.x1) + "," + std::to_string(r.y1) + "," +
               std::to_string(r.x2) + "," + std::to_string(r.y2) + "]";
    }
    return out + "]";
}

int DumpTables() {
    std::string out =
        "{\"figure_a\":" + FigureJson(FIGURE_A) + ",\"figure_b\":" + FigureJson(FIGURE_B) + ",\"credit\":";
    JsonString(out, CREDIT_LINE);
    out += "}\n";
    std::fputs(out.c_str(), stdout);
    return 0;
}

// A field of /proc/self/status in kB ("VmRSS", "VmHWM"), -1 when unknown.
long ProcStatusKb(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field + ":", 0) == 0) return std::strtol(line.c_str() + field.size() + 1, nullptr, 10);
    return -1;
}

// One line of --stats: what a long run must keep bounded.
std::string StatsLine(long k) {
    const MixCounts mix = MixGetCounts();
    return "{\"f\":" + std::to_string(k) + ",\"clock\":" + std::to_string(ClockMillis()) +
           ",\"rss_kb\":" + std::to_string(ProcStatusKb("VmRSS")) +
           ",\"hwm_kb\":" + std::to_string(ProcStatusKb("VmHWM")) +
           ",\"handles\":" + std::to_string(mix.handles) + ",\"voices\":" + std::to_string(mix.voices) +
           ",\"playing\":" + std::to_string(mix.playing) + "}";
}

int Run(const TSimOptions& o) {
    TInputScript script;
    if (!o.input.empty()) {
        try {
            script = LoadInputScript(o.input);
        } catch (const TInputScriptError& e) {
            throw TUsageError{o.input + ": " + e.what()};
        }
    }
    TTraceWriter trace;
    if (!o.trace.empty() && !trace.Open(o.trace))
        throw TUsageError{"cannot write trace file '" + o.trace + "'"};
    TTraceWriter stats; // JSON Lines as well, through the same writer
    if (!o.stats.empty() && !stats.Open(o.stats))
        throw TUsageError{"cannot write stats file '" + o.stats + "'"};

    // Raw captures: a plain stream of frames, for tools that read them through a pipe.
    std::unique_ptr<FILE, int (*)(FILE*)> raw_file(nullptr, std::fclose);
    FILE* raw = nullptr;
    if (o.capture_raw == "-") {
        // The frames take standard output; what the game prints goes to
        // standard error instead.
        std::fflush(stdout);
        const int frames_fd = dup(1);
        if (frames_fd < 0 || dup2(2, 1) < 0) throw TUsageError{"cannot set standard output aside for frames"};
#ifdef _WIN32
        _setmode(frames_fd, _O_BINARY);
#endif
        raw_file.reset(fdopen(frames_fd, "wb"));
        raw = raw_file.get();
        if (!raw) throw TUsageError{"cannot write frames to standard output"};
    } else if (!o.capture_raw.empty()) {
        raw_file.reset(std::fopen(o.capture_raw.c_str(), "wb"));
        raw = raw_file.get();
        if (!raw) throw TUsageError{"cannot write raw capture file '" + o.capture_raw + "'"};
    }
    auto clock = UseVirtualClock(o.clock_start);
    auto display = o.gl ? UseVirtualDisplay(TVirtualRenderer::GL, clock, MakeOffscreenContextBackend())
                        : UseVirtualDisplay(TVirtualRenderer::NUL, clock);
    if (!display) {
        std::fprintf(stderr, "zaptomania-sim: cannot set up the offscreen OpenGL renderer\n");
        return 1;
    }
    TScriptedInput input(std::move(script));
    input.Install();
    if (!o.config.empty()) {
        TSettingsWarnings warnings;
        const TSettings settings = LoadSettingsFile(o.config, warnings);
        for (const std::string& w : warnings)
            std::fprintf(stderr, "zaptomania-sim: %s\n", w.c_str());
        ApplyAudioAndInputSettings(settings);
        ApplyAccessibilitySettings(settings);
    }

    RegisterEmbeddedAssets();
    // The mixer's drivers, with a device that mixes in step with the virtual clock.
    RegisterVirtualAudioDriver();
    if (!o.wav.empty() && !VirtualAudioRecord(o.wav))
        throw TUsageError{"cannot write WAV file '" + o.wav + "'"};
    SoundLogEnable(true);
    StartUp();
    SoundLogDrain(); // nothing plays during start-up; frame 1's record starts clean
    if (trace.IsOpen()) trace.WriteLine(TraceHeader(StartupSeed(), StartupSeed()));

    std::vector<uint8_t> rgb;
    bool capture_failed = false;
    SetBeforeFlipHook([&](long k) {
        if (!o.capture.count(k)) return;
        if (raw) {
            if (capture_failed) return;
            if (!display->ReadFrameRGB(rgb) || std::fwrite(rgb.data(), 1, rgb.size(), raw) != rgb.size()) {
                std::fprintf(stderr, "zaptomania-sim: cannot write frame %ld to %s\n", k,
                             o.capture_raw.c_str());
                capture_failed = true;
            }
            return;
        }
        const std::string path = o.capture_dir + "/frame-" + std::to_string(k) + ".png";
        if (!display->ReadFrameRGB(rgb) || !WriteRgbPng(path, 1024, 768, rgb)) {
            std::fprintf(stderr, "zaptomania-sim: cannot write %s\n", path.c_str());
            capture_failed = true;
        }
    });
    SetAfterFlipHook([&](long k) {
        VirtualAudioAdvance();
        if (trace.IsOpen())
            trace.WriteLine(TraceFrame(k));
        else
            SoundLogDrain();
        if (stats.IsOpen() && (k % STATS_EVERY == 0 || k >= o.frames)) stats.WriteLine(StatsLine(k));
        if (k >= o.frames) throw TSimStop{};
        input.DeliverFrame(static_cast<int>(k + 1));
    });
    input.DeliverFrame(1);
    try {
        RunScreenCycle();
    } catch (const TSimStop&) {
    }
    SetBeforeFlipHook(nullptr);
    SetAfterFlipHook(nullptr);
    VirtualAudioStopRecording();
    // The run itself went to the end, but what it was asked to write is incomplete.
    bool failed = capture_failed;
    if (raw && std::fflush(raw) != 0) {
        std::fprintf(stderr, "zaptomania-sim: cannot write all of '%s'\n", o.capture_raw.c_str());
        failed = true;
    }
    if (!trace.Close()) {
        std::fprintf(stderr, "zaptomania-sim: cannot write all of the trace file '%s'\n", o.trace.c_str());
        failed = true;
    }
    if (!stats.Close()) {
        std::fprintf(stderr, "zaptomania-sim: cannot write all of the stats file '%s'\n", o.stats.c_str());
        failed = true;
    }
    return failed ? 1 : 0;
}

} // namespace

int main(int argc, char** argv) {
    try {
        const TSimOptions o = ParseArgs(argc, argv);
        if (o.help) {
            std::fputs(USAGE, stdout);
            return 0;
        }
        if (o.version) {
            std::printf("zaptomania-sim %s\n", GameVersion());
            return 0;
        }
        if (o.dump_tables) return DumpTables();
        return Run(o);
    } catch (const TUsageError& e) {
        std::fprintf(stderr, "zaptomania-sim: %s\n", e.message.c_str());
        return 2;
    } catch (const TRuntimeError& e) {
        std::fprintf(stderr, "zaptomania-sim: %s\n", e.what());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zaptomania-sim: %s\n", e.what());
        return 1;
    }
}
