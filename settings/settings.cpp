#include "settings/settings.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>

#include <toml++/toml.h>

#include "audio/mixer.h"
#include "game/attract.h"
#include "game/globals.h"
#include "game/player.h"
#include "platform/input.h"
#include "platform/keynames.h"

// Sections, in order:
//   values shared with the command line
//   the keys of the file
//   reading a file
//   where the file lives, and the new file
//   applying

// ---- Values shared with the command line ------------------------------------

namespace {

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// A whole decimal number in lo..hi; false for anything else.
bool ParseInt(std::string_view text, int lo, int hi, int& value) {
    if (text.empty() || text.size() > 9) return false;
    int v = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    if (v < lo || v > hi) return false;
    value = v;
    return true;
}

std::vector<std::string> Words(std::string_view text) {
    std::vector<std::string> words;
    std::istringstream in{std::string(text)};
    for (std::string w; in >> w;)
        words.push_back(w);
    return words;
}

constexpr const char* MOUSE_BUTTON_NAMES[] = {"", "Left", "Right", "Middle"};

} // namespace

bool ParseWindowSize(std::string_view text, int& width, int& height) {
    const std::size_t x = text.find_first_of("xX");
    if (x == std::string_view::npos) return false;
    int w = 0, h = 0;
    if (!ParseInt(text.substr(0, x), MIN_WINDOW_WIDTH, MAX_WINDOW_SIDE, w) ||
        !ParseInt(text.substr(x + 1), MIN_WINDOW_HEIGHT, MAX_WINDOW_SIDE, h))
        return false;
    width = w;
    height = h;
    return true;
}

bool ParseInputSource(std::string_view text, TInputSource& source) {
    const std::vector<std::string> w = Words(text);
    if (w.size() == 2 && Lower(w[0]) == "mouse") {
        for (int b = 1; b <= 3; ++b) {
            if (Lower(w[1]) == Lower(MOUSE_BUTTON_NAMES[b])) {
                source = {TInputSource::Kind::Mouse, b, 0};
                return true;
            }
        }
        return false;
    }
    if (w.size() == 4 && Lower(w[0]) == "pad" && Lower(w[2]) == "button") {
        int pad = 0, button = 0;
        if (!ParseInt(w[1], 1, MAX_PAD, pad) || !ParseInt(w[3], 0, 31, button)) return false;
        source = {TInputSource::Kind::PadButton, button, pad - 1};
        return true;
    }
    std::string joined; // "Keypad  Enter" is "Keypad Enter"
    for (const std::string& word : w)
        joined += (joined.empty() ? "" : " ") + word;
    if (const int key = KeyCodeFromName(joined)) {
        source = {TInputSource::Kind::Key, key, 0};
        return true;
    }
    return false;
}

std::string InputSourceName(const TInputSource& source) {
    switch (source.kind) {
    case TInputSource::Kind::Key:
        return KeyNameFromCode(source.code);
    case TInputSource::Kind::Mouse:
        return source.code >= 1 && source.code <= 3 ? std::string("Mouse ") + MOUSE_BUTTON_NAMES[source.code]
                                                    : "";
    case TInputSource::Kind::PadButton:
        return "Pad " + std::to_string(source.port + 1) + " Button " + std::to_string(source.code);
    }
    return {};
}

std::string RefusedBinding(const TInputSource& source, int player) {
    if (source.kind == TInputSource::Kind::Key) {
        const int k = source.code;
        if (k == KEY_ESCAPE) return "Escape quits the game";
        if (k == 122) return "F11 belongs to the window";
        if (k == KEY_ALT || k == KEY_LEFT_ALT || k == KEY_RIGHT_ALT) return "Alt belongs to the window";
        for (int n = 1; n <= 4; ++n) {
            if (n != player && PlayerSwitchKey(n) == k)
                return "it is player " + std::to_string(n) + "'s switch";
        }
    }
    if (source.kind == TInputSource::Kind::PadButton && source.code < JOYPAD_SWITCH_BUTTONS &&
        source.port + 1 != player && source.port < 4)
        return "it is player " + std::to_string(source.port + 1) + "'s switch";
    return {};
}

namespace {

// The specified switches of player n: its key and buttons 0..3 of its pad.
bool IsOwnSwitch(const TInputSource& source, int player) {
    if (source.kind == TInputSource::Kind::Key) return source.code == PlayerSwitchKey(player);
    return source.kind == TInputSource::Kind::PadButton && source.port == player - 1 &&
           source.code < JOYPAD_SWITCH_BUTTONS;
}

// The preset's sources: the one-switch convention of switch-access hardware,
// player 1 on the left mouse button and player 2 on the right one.
std::vector<TKeyAlias> PresetAliases(const std::string& preset) {
    if (preset != "switch-access") return {};
    return {{{TInputSource::Kind::Mouse, 1, 0}, PlayerSwitchKey(1)},
            {{TInputSource::Kind::Mouse, 2, 0}, PlayerSwitchKey(2)}};
}

} // namespace

std::vector<TKeyAlias> SettingsKeyAliases(const TSettings& settings) {
    std::vector<TKeyAlias> aliases = PresetAliases(settings.input.preset);
    for (int n = 1; n <= 4; ++n) {
        for (const TInputSource& s : settings.input.extra[static_cast<std::size_t>(n - 1)])
            aliases.push_back({s, PlayerSwitchKey(n)});
    }
    return aliases;
}

std::vector<TSwitchTimingBinding> SettingsSwitchTimings(const TSettings& settings) {
    std::vector<TSwitchTimingBinding> out;
    for (int n = 1; n <= 4; ++n) {
        const TSwitchTiming t = settings.accessibility.timing[static_cast<std::size_t>(n - 1)];
        if (!t.Active()) continue;
        out.push_back({{TInputSource::Kind::Key, PlayerSwitchKey(n), 0}, t});
        for (int b = 0; b < JOYPAD_SWITCH_BUTTONS; ++b)
            out.push_back({{TInputSource::Kind::PadButton, b, n - 1}, t});
    }
    return out;
}

// ---- The keys of the file ---------------------------------------------------

namespace {

// One key: where it is, its default and how a value is read. read returns
// an empty string for a good value, else what is wrong with it.
struct TKeySpec {
    TSettingInfo info;
    std::function<std::string(const toml::node&, TSettings&)> read;
};

std::string ReadBool(const toml::node& node, bool& out) {
    if (const auto v = node.value_exact<bool>()) {
        out = *v;
        return {};
    }
    return "must be true or false";
}

std::string ReadInt(const toml::node& node, int lo, int hi, int& out) {
    const auto v = node.value_exact<int64_t>();
    if (!v || *v < lo || *v > hi)
        return "must be a whole number from " + std::to_string(lo) + " to " + std::to_string(hi);
    out = static_cast<int>(*v);
    return {};
}

std::string ReadString(const toml::node& node, std::string& out) {
    if (const auto v = node.value_exact<std::string>()) {
        out = *v;
        return {};
    }
    return "must be a string";
}

// One time in milliseconds for every player, or a list of one for each of
// players 1 to 4.
std::string ReadTimes(const toml::node& node, TSettings& s, int TSwitchTiming::*field) {
    const char* what = "must be milliseconds from 0 to 2000, or a list of four of them (players 1 to 4)";
    std::array<int, 4> times{};
    if (const toml::array* list = node.as_array()) {
        if (list->size() != 4) return what;
        for (std::size_t i = 0; i < 4; ++i)
            if (!ReadInt((*list)[i], 0, MAX_SWITCH_TIMING_MS, times[i]).empty()) return what;
    } else {
        int v = 0;
        if (!ReadInt(node, 0, MAX_SWITCH_TIMING_MS, v).empty()) return what;
        times.fill(v);
    }
    for (std::size_t i = 0; i < 4; ++i)
        s.accessibility.timing[i].*field = times[i];
    return {};
}

const std::vector<TKeySpec>& Keys() {
    static const std::vector<TKeySpec> keys = [] {
        std::vector<TKeySpec> k;
        k.push_back({{"display.fullscreen", "true", "full screen (true) or a window (false)"},
                     [](const toml::node& n, TSettings& s) { return ReadBool(n, s.display.fullscreen); }});
        k.push_back({{"display.display", "1", "the display the game opens on, from 1"},
                     [](const toml::node& n, TSettings& s) {
                         return ReadInt(n, 1, MAX_DISPLAY, s.display.display);
                     }});
        k.push_back(
            {{"display.window_size", "\"1024x768\"", "the window's size in windowed mode, at least 320x240"},
             [](const toml::node& n, TSettings& s) -> std::string {
                 std::string text;
                 if (!ReadString(n, text).empty() ||
                     !ParseWindowSize(text, s.display.window_width, s.display.window_height))
                     return "must be \"WIDTHxHEIGHT\", at least 320x240";
                 return {};
             }});
        k.push_back({{"display.minimize_on_focus_loss", "true",
                      "full screen: minimise when another window takes the focus"},
                     [](const toml::node& n, TSettings& s) {
                         return ReadBool(n, s.display.minimize_on_focus_loss);
                     }});
        k.push_back(
            {{"display.drop_late_frames", "true", "skip drawing a frame that is already late"},
             [](const toml::node& n, TSettings& s) { return ReadBool(n, s.display.drop_late_frames); }});
        k.push_back({{"display.frame_log", "\"\"", "a file to log every frame's timing to (empty: none)"},
                     [](const toml::node& n, TSettings& s) { return ReadString(n, s.display.frame_log); }});
        k.push_back({{"audio.volume", "100", "the volume, 0 to 100 (50 is half)"},
                     [](const toml::node& n, TSettings& s) { return ReadInt(n, 0, 100, s.audio.volume); }});
        k.push_back({{"audio.mute", "false", "silence"},
                     [](const toml::node& n, TSettings& s) { return ReadBool(n, s.audio.mute); }});
        k.push_back({{"input.preset", "\"none\"",
                      "\"switch-access\": player 1 also on the left mouse button, player 2 on the right one"},
                     [](const toml::node& n, TSettings& s) -> std::string {
                         std::string text;
                         if (!ReadString(n, text).empty() || (text != "none" && text != "switch-access"))
                             return "must be \"none\" or \"switch-access\"";
                         s.input.preset = text;
                         return {};
                     }});
        // input.p1 .. input.p4 are read apart (ReadBindings): each binding is
        // judged on its own.
        for (const char* name : {"input.p1", "input.p2", "input.p3", "input.p4"})
            k.push_back({{name, "[]",
                          "extra switches: keys as SDL names them (\"A\", \"Left Ctrl\"), \"Mouse Left\", "
                          "\"Pad 2 Button 5\""},
                         nullptr});
        k.push_back(
            {{"accessibility.colour_safe", "false",
              "player colours told apart with any colour vision, and player numbers on the "
              "bases and score boxes"},
             [](const toml::node& n, TSettings& s) { return ReadBool(n, s.accessibility.colour_safe); }});
        k.push_back(
            {{"accessibility.accept_ms", "0",
              "how long a switch must stay down before the press counts, in ms (0 to 2000); "
              "one number, or [P1, P2, P3, P4]"},
             [](const toml::node& n, TSettings& s) { return ReadTimes(n, s, &TSwitchTiming::accept_ms); }});
        k.push_back(
            {{"accessibility.release_ms", "0",
              "presses within this long after a release are ignored, in ms (0 to 2000); "
              "one number, or [P1, P2, P3, P4]"},
             [](const toml::node& n, TSettings& s) { return ReadTimes(n, s, &TSwitchTiming::release_ms); }});
        // Read apart, after the extra switches it must not take (ReadOptionsSwitch).
        k.push_back({{"accessibility.options_key", "\"\"",
                      "a key, mouse button or pad button that opens the options menu as holding P1's "
                      "switch does (\"\": none)"},
                     nullptr});
        return k;
    }();
    return keys;
}

} // namespace

const std::vector<TSettingInfo>& SettingKeys() {
    static const std::vector<TSettingInfo> infos = [] {
        std::vector<TSettingInfo> v;
        for (const TKeySpec& k : Keys())
            v.push_back(k.info);
        return v;
    }();
    return infos;
}

// ---- Reading a file ---------------------------------------------------------

namespace {

std::string Where(const std::string& source_name, const toml::node& node, std::string_view key) {
    return source_name + ":" + std::to_string(node.source().begin.line) + ": " + std::string(key) + ": ";
}

std::string Shown(const toml::node& node) {
    if (node.is_table()) return "a table";
    if (node.is_array() && node.as_array()->size() > 8) return "a long array";
    std::ostringstream out;
    node.visit([&out](const auto& value) { out << value; });
    return out.str();
}

// One player's extra switches: an array of names (or one name). A value that
// is not that, or a name that means nothing, leaves the player with none; a
// binding that is refused is dropped alone.
void ReadBindings(const toml::node& node, int player, const std::string& where, TSettings& s,
                  std::vector<TKeyAlias>& taken, TSettingsWarnings& warnings) {
    std::vector<std::string> names;
    bool good = true;
    if (const auto one = node.value_exact<std::string>()) {
        names.push_back(*one);
    } else if (const toml::array* list = node.as_array()) {
        for (const toml::node& item : *list) {
            const auto name = item.value_exact<std::string>();
            if (!name)
                good = false;
            else
                names.push_back(*name);
        }
    } else {
        good = false;
    }
    std::vector<TInputSource> sources;
    for (const std::string& name : names) {
        TInputSource src;
        if (!ParseInputSource(name, src)) {
            warnings.push_back(where + "'" + name +
                               "' is not a key, a mouse button or a pad button; using none");
            return;
        }
        sources.push_back(src);
    }
    if (!good) {
        warnings.push_back(where + "must be a list of names such as [\"A\", \"Mouse Left\"]; using none");
        return;
    }
    auto& extra = s.input.extra[static_cast<std::size_t>(player - 1)];
    const int key = PlayerSwitchKey(player);
    for (const TInputSource& src : sources) {
        const std::string name = InputSourceName(src);
        std::string why = RefusedBinding(src, player);
        for (const TKeyAlias& t : taken) {
            if (why.empty() && t.source == src && t.key != key)
                for (int n = 1; n <= 4; ++n)
                    if (PlayerSwitchKey(n) == t.key) why = "it is already player " + std::to_string(n) + "'s";
        }
        if (!why.empty()) {
            warnings.push_back(where + "'" + name + "' refused: " + why);
            continue;
        }
        const bool known =
            IsOwnSwitch(src, player) ||
            std::any_of(taken.begin(), taken.end(), [&](const TKeyAlias& t) { return t.source == src; });
        if (known) continue;
        extra.push_back(src);
        taken.push_back({src, key});
    }
}

// The switch that opens the options menu: a name, which must not be a
// player's switch, the quit or window keys, or an extra switch.
void ReadOptionsSwitch(const toml::node& node, const std::string& where, TSettings& s,
                       const std::vector<TKeyAlias>& taken, TSettingsWarnings& warnings) {
    const auto name = node.value_exact<std::string>();
    if (!name) {
        warnings.push_back(where + Shown(node) +
                           " must be a name such as \"F2\" or \"Pad 1 Button 5\"; using none");
        return;
    }
    if (name->empty()) return;
    TInputSource src;
    if (!ParseInputSource(*name, src)) {
        warnings.push_back(where + "'" + *name +
                           "' is not a key, a mouse button or a pad button; using none");
        return;
    }
    std::string why = RefusedBinding(src, 0);
    if (why.empty() &&
        std::any_of(taken.begin(), taken.end(), [&](const TKeyAlias& t) { return t.source == src; }))
        why = "it is an extra switch";
    if (!why.empty()) {
        warnings.push_back(where + "'" + InputSourceName(src) + "' refused: " + why + "; using none");
        return;
    }
    s.accessibility.options_switch = src;
}

} // namespace

TSettings ParseSettings(std::string_view text, const std::string& source_name, TSettingsWarnings& warnings) {
    TSettings s;
    toml::table root;
    try {
        root = toml::parse(text, source_name);
    } catch (const toml::parse_error& e) {
        warnings.push_back(source_name + ":" + std::to_string(e.source().begin.line) + ": " +
                           std::string(e.description()) + "; using the defaults");
        return s;
    }
    // Unknown keys and sections first, in the file's order of lines.
    for (const auto& [section, node] : root) {
        const toml::table* table = node.as_table();
        bool known_section = false;
        for (const TKeySpec& k : Keys()) {
            const std::string_view name = k.info.name;
            if (name.substr(0, name.find('.')) == section.str()) known_section = true;
        }
        if (!table || !known_section) {
            warnings.push_back(Where(source_name, node, section.str()) + "unknown " +
                               (table ? "section" : "key"));
            continue;
        }
        for (const auto& [key, value] : *table) {
            const std::string full = std::string(section.str()) + "." + std::string(key.str());
            const bool known = std::any_of(Keys().begin(), Keys().end(),
                                           [&](const TKeySpec& k) { return full == k.info.name; });
            if (!known) warnings.push_back(Where(source_name, value, full) + "unknown key");
        }
    }
    // Then every known key, the preset before the players' bindings.
    for (const TKeySpec& k : Keys()) {
        const toml::node* node = root.at_path(k.info.name).node();
        if (!node || !k.read) continue;
        const std::string problem = k.read(*node, s);
        if (!problem.empty())
            warnings.push_back(Where(source_name, *node, k.info.name) + Shown(*node) + " " + problem +
                               "; using " + k.info.default_value);
    }
    std::vector<TKeyAlias> taken = PresetAliases(s.input.preset);
    for (int n = 1; n <= 4; ++n) {
        const std::string name = "input.p" + std::to_string(n);
        if (const toml::node* node = root.at_path(name).node())
            ReadBindings(*node, n, Where(source_name, *node, name), s, taken, warnings);
    }
    const char* options = "accessibility.options_key";
    if (const toml::node* node = root.at_path(options).node())
        ReadOptionsSwitch(*node, Where(source_name, *node, options), s, taken, warnings);
    return s;
}

TSettings LoadSettingsFile(const std::filesystem::path& file, TSettingsWarnings& warnings) {
    constexpr std::uintmax_t MAX_BYTES = 1 << 20;
    const std::string name = file.string();
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(file, ec);
    if (!ec && size > MAX_BYTES) {
        warnings.push_back(name + ":1: larger than 1 MB, not a settings file; using the defaults");
        return {};
    }
    std::ifstream in(file, std::ios::binary);
    std::string text;
    if (in) text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (!in.is_open() || in.bad()) {
        warnings.push_back(name + ":1: cannot be read; using the defaults");
        return {};
    }
    return ParseSettings(text, name, warnings);
}

// ---- Where the file lives, and the new file ---------------------------------

std::filesystem::path SettingsFolderFrom(const TEnvLookup& env, bool windows) {
    if (windows) {
        const std::filesystem::path appdata = env("APPDATA");
        return appdata.empty() ? appdata : appdata / "zaptomania";
    }
    // Absolute in the POSIX sense, whatever system the rule is computed on.
    const std::filesystem::path xdg = env("XDG_CONFIG_HOME");
    if (xdg.generic_string().starts_with('/')) return xdg / "zaptomania";
    const std::filesystem::path home = env("HOME");
    if (home.empty()) return {};
    return home / ".config" / "zaptomania";
}

std::filesystem::path SettingsFolder() {
#ifdef _WIN32
    // The wide environment: a user folder may have any name.
    return SettingsFolderFrom(
        [](const char* name) {
            const std::wstring wide(name, name + std::char_traits<char>::length(name));
            const wchar_t* v = _wgetenv(wide.c_str());
            return v ? std::filesystem::path(v) : std::filesystem::path();
        },
        true);
#else
    return SettingsFolderFrom(
        [](const char* name) {
            const char* v = std::getenv(name);
            return v ? std::filesystem::path(v) : std::filesystem::path();
        },
        false);
#endif
}

std::string DefaultSettingsText() {
    std::string out = "# Zaptomania settings. Every setting is shown at its default, commented out:\n"
                      "# remove the '#' in front of one to change it. The command line overrides\n"
                      "# this file for one run (zaptomania --help). This file is never overwritten;\n"
                      "# delete it to get a fresh one.\n";
    std::string section;
    for (const TKeySpec& k : Keys()) {
        const std::string_view name = k.info.name;
        const std::string_view sec = name.substr(0, name.find('.'));
        if (sec != section) {
            section = sec;
            out += "\n[" + section + "]\n";
        }
        out += "# " + std::string(k.info.help) + "\n";
        out += "#" + std::string(name.substr(sec.size() + 1)) + " = " + k.info.default_value + "\n";
    }
    return out;
}

bool CreateSettingsFile(const std::filesystem::path& file, TSettingsWarnings& warnings) {
    std::error_code ec;
    if (std::filesystem::exists(file, ec)) return true;
    auto fail = [&](const std::string& why) {
        warnings.push_back(file.string() + ": cannot write the settings file (" + why +
                           "); playing with the defaults");
        return false;
    };
    std::filesystem::create_directories(file.parent_path(), ec);
    if (ec) return fail(ec.message());
    std::filesystem::path temp = file;
    temp += ".new";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << DefaultSettingsText();
        out.close();
        if (!out) {
            std::filesystem::remove(temp, ec);
            return fail("the folder cannot be written");
        }
    }
    // Another copy of the game may have made the file meanwhile: keep theirs.
    if (std::filesystem::exists(file, ec)) {
        std::filesystem::remove(temp, ec);
        return true;
    }
    std::filesystem::rename(temp, file, ec);
    if (ec) {
        std::error_code ignored;
        std::filesystem::remove(temp, ignored);
        return fail(ec.message());
    }
    return true;
}

// ---- Applying ---------------------------------------------------------------

void ApplyAudioAndInputSettings(const TSettings& settings) {
    MixSetMasterVolume(settings.audio.volume, settings.audio.mute);
    UseKeyAliases(SettingsKeyAliases(settings));
    UseSwitchTimings(SettingsSwitchTimings(settings));
}

void ApplyAccessibilitySettings(const TSettings& settings) {
    UseColourSafePalette(settings.accessibility.colour_safe);
    UseOptionsSwitch(settings.accessibility.options_switch);
}
