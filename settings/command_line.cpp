#include "settings/command_line.h"

#include <CLI/CLI.hpp>

#include <vector>

#ifndef ZAP_VERSION
#define ZAP_VERSION "0.0.0"
#endif

namespace {

// CLI11's messages on one line.
std::string OneLine(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    for (char& c : text) {
        if (c == '\n') c = ' ';
    }
    return text;
}

} // namespace

const char* GameVersion() {
    return ZAP_VERSION;
}

std::string GameVersionLine() {
    return std::string("zaptomania ") + GameVersion();
}

TCommandLine ParseGameCommandLine(int argc, const char* const* argv) {
    TCommandLine r;
    CLI::App app{
        "A one-switch arcade party game for one to four players on one shared screen. Settings are read "
        "from settings.toml in the settings folder (made with every setting at its default when "
        "missing); the options below override it for one run.",
        "zaptomania"};
    app.set_version_flag("--version", GameVersionLine(), "Print the version and exit");
    app.set_help_flag("-h,--help", "Print this help and exit");
    app.get_formatter()->column_width(28);

    bool windowed = false, fullscreen = false, mute = false;
    int display = 0, volume = 0;
    std::string window_size, frame_log;
    CLI::Option* o_windowed = app.add_flag("--windowed", windowed, "Play in a window");
    CLI::Option* o_fullscreen = app.add_flag("--fullscreen", fullscreen, "Play full screen (the default)");
    CLI::Option* o_display = app.add_option("--display", display, "Open on display N (from 1)")
                                 ->check(CLI::Range(1, MAX_DISPLAY).description(""));
    o_display->type_name("N");
    CLI::Option* o_size = app.add_option("--window-size", window_size, "The window's size, at least 320x240")
                              ->type_name("WxH")
                              ->check(CLI::Validator(
                                  [](std::string& text) -> std::string {
                                      int w = 0, h = 0;
                                      if (ParseWindowSize(text, w, h)) return {};
                                      return "'" + text + "' is not WIDTHxHEIGHT of at least 320x240";
                                  },
                                  "", ""));
    CLI::Option* o_volume = app.add_option("--volume", volume, "Sound volume, 0 to 100 (50 is half)")
                                ->check(CLI::Range(0, 100).description(""));
    o_volume->type_name("0-100");
    app.add_flag("--mute", mute, "No sound (the mixer still runs)");
    app.add_flag("--colour-safe", r.colour_safe,
                 "Player colours told apart with any colour vision, numbers on the bases");
    app.add_option("--config", r.config, "Read this settings file instead (it is never written)")
        ->type_name("FILE")
        ->check(CLI::ExistingFile.description(""));
    CLI::Option* o_log =
        app.add_option("--frame-log", frame_log, "Write every frame's timing to FILE")->type_name("FILE");

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        r.run = false;
        r.out = app.help();
        return r;
    } catch (const CLI::CallForVersion& e) {
        r.run = false;
        r.out = std::string(e.what()) + "\n";
        return r;
    } catch (const CLI::ParseError& e) {
        r.run = false;
        r.status = 2;
        r.err = "zaptomania: " + OneLine(e.what()) + "\n";
        return r;
    }
    if (*o_windowed && *o_fullscreen) {
        r.run = false;
        r.status = 2;
        r.err = "zaptomania: --windowed and --fullscreen cannot both be given\n";
        return r;
    }
    if (*o_windowed) r.fullscreen = false;
    if (*o_fullscreen) r.fullscreen = true;
    if (*o_display) r.display = display;
    if (*o_size) {
        int w = 0, h = 0;
        ParseWindowSize(window_size, w, h);
        r.window_width = w;
        r.window_height = h;
    }
    if (*o_volume) r.volume = volume;
    r.mute = mute;
    if (*o_log) r.frame_log = frame_log;
    return r;
}

void ApplyCommandLine(const TCommandLine& line, TSettings& s) {
    if (line.fullscreen) s.display.fullscreen = *line.fullscreen;
    if (line.display) s.display.display = *line.display;
    if (line.window_width) s.display.window_width = *line.window_width;
    if (line.window_height) s.display.window_height = *line.window_height;
    if (line.volume) s.audio.volume = *line.volume;
    if (line.mute) s.audio.mute = true;
    if (line.frame_log) s.display.frame_log = *line.frame_log;
    if (line.colour_safe) s.accessibility.colour_safe = true;
}
