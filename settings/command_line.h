#pragma once
#include <optional>
#include <string>

#include "settings/settings.h"

// The game's command line. Flags override the settings file for one run.
struct TCommandLine {
    // false: the program ends now with `status`, after printing `out` on
    // standard output (--help, --version) or `err` on standard error (one
    // line naming the problem; status 2).
    bool run = true;
    int status = 0;
    std::string out, err;

    std::string config; // --config FILE: read this file instead, never write it
    std::optional<bool> fullscreen;
    std::optional<int> display;
    std::optional<int> window_width, window_height;
    std::optional<int> volume;
    bool mute = false;
    std::optional<std::string> frame_log;
    bool colour_safe = false;
};

// Parses argv (argv[0] is the program). Nothing is opened, read or written.
TCommandLine ParseGameCommandLine(int argc, const char* const* argv);

// The flags given, put over the settings.
void ApplyCommandLine(const TCommandLine& line, TSettings& settings);

// "0.1.0", and "zaptomania 0.1.0"
const char* GameVersion();
std::string GameVersionLine();
