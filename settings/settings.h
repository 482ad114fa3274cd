#pragma once
#include <array>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/bindings.h"
#include "platform/switch_timing.h"

// The player's settings: what settings.toml and the command line change.
// Every default is the game as it is without them.

struct TSettings {
    struct Display {
        bool fullscreen = true;
        int display = 1; // from 1
        int window_width = 1024;
        int window_height = 768;
        bool minimize_on_focus_loss = true;
        bool drop_late_frames = true;
        std::string frame_log; // empty: no frame log
    } display;
    struct Audio {
        int volume = 100; // 0..100, linear
        bool mute = false;
    } audio;
    struct Input {
        // input.p1 .. input.p4: extra switches of each player, beside the
        // specified ones (accepted ones only).
        std::array<std::vector<TInputSource>, 4> extra;
        std::string preset = "none"; // "none" or "switch-access"
    } input;
    struct Accessibility {
        bool colour_safe = false; // players told apart without colour vision
        // Each player's switch timing (accept_ms, release_ms), players 1..4.
        std::array<TSwitchTiming, 4> timing{};
        // A switch that opens the options menu (none: only the hold does).
        std::optional<TInputSource> options_switch;
    } accessibility;
};

// The limits of the values.
constexpr int MIN_WINDOW_WIDTH = 320;
constexpr int MIN_WINDOW_HEIGHT = 240;
constexpr int MAX_WINDOW_SIDE = 16384;
constexpr int MAX_DISPLAY = 64;
constexpr int MAX_PAD = 16;

// One key of the file, for the generated file and the documentation.
struct TSettingInfo {
    const char* name;          // "display.fullscreen"
    const char* default_value; // as TOML: "true", "\"1024x768\"", "[]"
    const char* help;          // one line
};
const std::vector<TSettingInfo>& SettingKeys();

// Problems found, one line each, "FILE:LINE: KEY: what" (no program name).
using TSettingsWarnings = std::vector<std::string>;

// Reads settings from TOML text. A bad value or an unknown key adds a
// warning naming source_name, the line and the key, and that key keeps its
// default; text that is not TOML at all gives one warning and the defaults.
TSettings ParseSettings(std::string_view text, const std::string& source_name, TSettingsWarnings& warnings);
// The same for a file; one that cannot be read gives a warning and the defaults.
TSettings LoadSettingsFile(const std::filesystem::path& file, TSettingsWarnings& warnings);

// The text of a new settings file: every key commented out at its default.
std::string DefaultSettingsText();

// The settings folder: %APPDATA%\zaptomania on Windows; elsewhere
// $XDG_CONFIG_HOME/zaptomania, or ~/.config/zaptomania when that is unset or
// not an absolute path. Empty when the environment names no folder.
using TEnvLookup = std::function<std::filesystem::path(const char* name)>;
std::filesystem::path SettingsFolderFrom(const TEnvLookup& env, bool windows);
std::filesystem::path SettingsFolder(); // from this process's environment
constexpr const char* SETTINGS_FILE_NAME = "settings.toml";

// Writes the default file when none is there (under a temporary name first,
// then renamed), making its folder; an existing file is never touched.
// False, with one warning, when it cannot be written.
bool CreateSettingsFile(const std::filesystem::path& file, TSettingsWarnings& warnings);

// The values the file and the command line share.
// "WxH", each side within the limits above.
bool ParseWindowSize(std::string_view text, int& width, int& height);
// A key as SDL names it ("A", "Left Ctrl"), "Mouse Left" / "Mouse Right" /
// "Mouse Middle", or "Pad N Button B" (N from 1, B from 0); case does not
// matter.
bool ParseInputSource(std::string_view text, TInputSource& source);
std::string InputSourceName(const TInputSource& source);

// Why a source cannot be player's extra switch (player 1..4), or empty: the
// quit key, the window keys (F11, Alt) and another player's switch are
// refused.
std::string RefusedBinding(const TInputSource& source, int player);

// The key aliases the settings make: the preset's, then each player's extras.
std::vector<TKeyAlias> SettingsKeyAliases(const TSettings& settings);
// The switch-timing filters the settings make: each player's key (which its
// extra switches press) and buttons 0..3 of its pad, with its timing.
std::vector<TSwitchTimingBinding> SettingsSwitchTimings(const TSettings& settings);

// Puts the settings that the engine applies by itself into effect: the
// master volume and mute, the extra switches and the switch timing.
void ApplyAudioAndInputSettings(const TSettings& settings);
// Puts the accessibility settings into effect (before the game starts).
void ApplyAccessibilitySettings(const TSettings& settings);
