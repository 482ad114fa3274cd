// The settings file and the game's command line: every key and flag with
// good and bad values, the generated file, where the file lives and how it
// is made.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "settings/command_line.h"
#include "settings/settings.h"
#include "support/test_support.h"

namespace {

TSettings Parse(const std::string& text, TSettingsWarnings& w) {
    return ParseSettings(text, "s.toml", w);
}

TEST(SettingsFile, EveryKeyReadsItsValue) {
    TSettingsWarnings w;
    const TSettings s = Parse("[display]\n"
                              "fullscreen = false\n"
                              "display = 2\n"
                              "window_size = \"800x600\"\n"
                              "minimize_on_focus_loss = false\n"
                              "drop_late_frames = false\n"
                              "frame_log = \"frames.log\"\n"
                              "[audio]\n"
                              "volume = 35\n"
                              "mute = true\n"
                              "[input]\n"
                              "preset = \"switch-access\"\n"
                              "p1 = [\"A\", \"Pad 3 Button 7\"]\n"
                              "p2 = \"left ctrl\"\n"
                              "p3 = [\"Mouse Middle\", \"F5\"]\n"
                              "p4 = [\"Keypad 5\", \"Pad 4 Button 2\"]\n"
                              "[accessibility]\n"
                              "colour_safe = true\n"
                              "accept_ms = [100, 0, 0, 2000]\n"
                              "release_ms = 250\n"
                              "options_key = \"F2\"\n",
                              w);
    EXPECT_TRUE(w.empty()) << w.front();
    EXPECT_FALSE(s.display.fullscreen);
    EXPECT_EQ(s.display.display, 2);
    EXPECT_EQ(s.display.window_width, 800);
    EXPECT_EQ(s.display.window_height, 600);
    EXPECT_FALSE(s.display.minimize_on_focus_loss);
    EXPECT_FALSE(s.display.drop_late_frames);
    EXPECT_EQ(s.display.frame_log, "frames.log");
    EXPECT_EQ(s.audio.volume, 35);
    EXPECT_TRUE(s.audio.mute);
    EXPECT_EQ(s.input.preset, "switch-access");
    EXPECT_TRUE(s.accessibility.colour_safe);
    EXPECT_EQ(s.accessibility.timing[0], (TSwitchTiming{100, 250}));
    EXPECT_EQ(s.accessibility.timing[3], (TSwitchTiming{2000, 250}));
    using K = TInputSource::Kind;
    const std::vector<TInputSource> p1 = {{K::Key, 'A', 0}, {K::PadButton, 7, 2}};
    EXPECT_EQ(s.input.extra[0], p1);
    EXPECT_EQ(s.input.extra[1], (std::vector<TInputSource>{{K::Key, 162, 0}}));
    EXPECT_EQ(s.input.extra[2], (std::vector<TInputSource>{{K::Mouse, 3, 0}, {K::Key, 116, 0}}));
    // Button 2 of pad 4 is player 4's own switch already: nothing to add.
    EXPECT_EQ(s.input.extra[3], (std::vector<TInputSource>{{K::Key, 101, 0}}));

    // The preset first, then each player's extras, each pressing its player's key.
    const std::vector<TKeyAlias> aliases = SettingsKeyAliases(s);
    ASSERT_EQ(aliases.size(), 8u);
    EXPECT_EQ(aliases[0].source, (TInputSource{K::Mouse, 1, 0}));
    EXPECT_EQ(aliases[0].key, 32);
    EXPECT_EQ(aliases[1].source, (TInputSource{K::Mouse, 2, 0}));
    EXPECT_EQ(aliases[1].key, 13);
    EXPECT_EQ(aliases[7].key, 109);
    EXPECT_EQ(s.accessibility.options_switch, (TInputSource{K::Key, 113, 0}));
    // Each player's key and the four switch buttons of its pad are filtered.
    const std::vector<TSwitchTimingBinding> timings = SettingsSwitchTimings(s);
    ASSERT_EQ(timings.size(), 20u);
    EXPECT_EQ(timings[0].source, (TInputSource{K::Key, 32, 0}));
    EXPECT_EQ(timings[19].source, (TInputSource{K::PadButton, 3, 3}));
    EXPECT_EQ(timings[19].timing, (TSwitchTiming{2000, 250}));
}

TEST(SettingsFile, BadValuesAndUnknownKeysWarnWithFileLineAndKeyAndKeepTheDefault) {
    struct Case {
        const char* text;
        const char* where; // the start of the one warning
    };
    const Case cases[] = {
        {"[display]\nfullscreen = \"yes\"\n", "s.toml:2: display.fullscreen: "},
        {"[display]\n\ndisplay = 0\n", "s.toml:3: display.display: "},
        {"[display]\ndisplay = 1.5\n", "s.toml:2: display.display: "},
        {"[display]\nwindow_size = \"319x240\"\n", "s.toml:2: display.window_size: "},
        {"[display]\nwindow_size = \"1024*768\"\n", "s.toml:2: display.window_size: "},
        {"[display]\nminimize_on_focus_loss = 1\n", "s.toml:2: display.minimize_on_focus_loss: "},
        {"[display]\ndrop_late_frames = \"false\"\n", "s.toml:2: display.drop_late_frames: "},
        {"[display]\nframe_log = 3\n", "s.toml:2: display.frame_log: "},
        {"[audio]\nvolume = 101\n", "s.toml:2: audio.volume: "},
        {"[audio]\nvolume = -1\n", "s.toml:2: audio.volume: "},
        {"[audio]\nmute = \"on\"\n", "s.toml:2: audio.mute: "},
        {"[input]\npreset = \"switch\"\n", "s.toml:2: input.preset: "},
        {"[accessibility]\ncolour_safe = 1\n", "s.toml:2: accessibility.colour_safe: "},
        {"[input]\np1 = [\"A\", \"Nokey\"]\n", "s.toml:2: input.p1: "},
        {"[input]\np2 = 7\n", "s.toml:2: input.p2: "},
        {"[input]\np3 = [\"Pad 0 Button 1\"]\n", "s.toml:2: input.p3: "},
        {"[accessibility]\naccept_ms = 2001\n", "s.toml:2: accessibility.accept_ms: "},
        {"[accessibility]\nrelease_ms = [1, 2, 3]\n", "s.toml:2: accessibility.release_ms: "},
        {"[accessibility]\noptions_key = \"Space\"\n", "s.toml:2: accessibility.options_key: "},
        {"[accessibility]\noptions_key = \"Pad 2 Button 0\"\n", "s.toml:2: accessibility.options_key: "},
        {"[audio]\nvolum = 50\n", "s.toml:2: audio.volum: unknown key"},
        {"colour = 1\n", "s.toml:1: colour: unknown key"},
        {"[video]\nx = 1\n", "s.toml:1: video: unknown section"},
    };
    for (const Case& c : cases) {
        TSettingsWarnings w;
        const TSettings s = Parse(c.text, w);
        ASSERT_EQ(w.size(), 1u) << c.text;
        EXPECT_EQ(w[0].rfind(c.where, 0), 0u) << w[0];
        EXPECT_EQ(w[0].find('\n'), std::string::npos);
        // Every key stays at its default.
        const TSettings d;
        EXPECT_EQ(s.display.fullscreen, d.display.fullscreen);
        EXPECT_EQ(s.display.display, d.display.display);
        EXPECT_EQ(s.display.window_width, d.display.window_width);
        EXPECT_EQ(s.audio.volume, d.audio.volume);
        EXPECT_EQ(s.audio.mute, d.audio.mute);
        EXPECT_EQ(s.accessibility.colour_safe, d.accessibility.colour_safe);
        EXPECT_EQ(s.input.preset, d.input.preset);
        EXPECT_FALSE(s.accessibility.timing[0].Active());
        EXPECT_FALSE(s.accessibility.options_switch);
        for (const auto& extra : s.input.extra)
            EXPECT_TRUE(extra.empty()) << c.text;
    }
    // One bad key leaves the good ones of the same file.
    TSettingsWarnings w;
    const TSettings s = Parse("[audio]\nvolume = 500\nmute = true\n", w);
    EXPECT_EQ(w.size(), 1u);
    EXPECT_TRUE(s.audio.mute);
    EXPECT_EQ(s.audio.volume, 100);
}

TEST(SettingsFile, ADamagedFileGivesOneWarningAndTheDefaults) {
    for (const char* text : {"[display\nfullscreen = false\n", "[audio]\nvolume = = 3\n", "\xff\xfe[audio]\n",
                             "[audio]\nvolume = 1\nvolume = 2\n"}) {
        TSettingsWarnings w;
        const TSettings s = Parse(text, w);
        ASSERT_EQ(w.size(), 1u) << text;
        EXPECT_EQ(w[0].rfind("s.toml:", 0), 0u) << w[0];
        EXPECT_TRUE(s.display.fullscreen);
        EXPECT_EQ(s.audio.volume, 100);
    }
}

TEST(SettingsFile, RefusedBindingsAreDroppedOneByOne) {
    TSettingsWarnings w;
    const TSettings s =
        Parse("[input]\n"
              "preset = \"switch-access\"\n"
              "p1 = [\"Escape\", \"F11\", \"Left Alt\", \"Right Alt\", \"Return\", \"Keypad -\", "
              "\"Pad 2 Button 0\", \"B\", \"Space\", \"Pad 1 Button 3\"]\n"
              "p2 = [\"B\", \"Mouse Left\", \"1\", \"C\"]\n"
              "p3 = [\"Keypad Enter\", \"Mouse Right\", \"Pad 2 Button 4\"]\n",
              w);
    // Escape, F11, two Alts, Return (player 2), keypad minus (player 4), pad 2's
    // switch button; B already player 1's, the left mouse button the preset's
    // player 1, 1 is player 3's key; Keypad Enter is Return; the right button
    // is the preset's player 2.
    EXPECT_EQ(w.size(), 12u);
    for (const std::string& line : w)
        EXPECT_NE(line.find("refused"), std::string::npos) << line;
    using K = TInputSource::Kind;
    // Player 1's own Space and pad-1 button are already its switch.
    EXPECT_EQ(s.input.extra[0], (std::vector<TInputSource>{{K::Key, 'B', 0}}));
    EXPECT_EQ(s.input.extra[1], (std::vector<TInputSource>{{K::Key, 'C', 0}}));
    EXPECT_EQ(s.input.extra[2], (std::vector<TInputSource>{{K::PadButton, 4, 1}}));
}

TEST(SettingsFile, InputSourceNamesGoBothWays) {
    for (const char* name : {"A",
                             "Z",
                             "0",
                             "9",
                             "F1",
                             "F24",
                             "Space",
                             "Return",
                             "Left Ctrl",
                             "Right GUI",
                             "Keypad -",
                             "Keypad 0",
                             "Keypad .",
                             "PageDown",
                             "`",
                             "\\",
                             "Mouse Left",
                             "Mouse Middle",
                             "Pad 1 Button 0",
                             "Pad 16 Button 31"}) {
        TInputSource src;
        ASSERT_TRUE(ParseInputSource(name, src)) << name;
        EXPECT_EQ(InputSourceName(src), name);
    }
    TInputSource src;
    EXPECT_TRUE(ParseInputSource("keypad  enter", src));
    EXPECT_EQ(src.code, 13);
    for (const char* bad : {"", "F0", "F25", "F01", "Mouse", "Mouse Side", "Pad 17 Button 0",
                            "Pad 1 Button 32", "Pad 1", "AB", "Pad x Button 1", "Keypad"})
        EXPECT_FALSE(ParseInputSource(bad, src)) << bad;
}

TEST(SettingsFile, TheNewFileNamesEveryKeyAtItsDefault) {
    const std::string text = DefaultSettingsText();
    TSettingsWarnings w;
    const TSettings s = Parse(text, w);
    EXPECT_TRUE(w.empty());
    // With every setting line uncommented it is still the defaults.
    std::istringstream in(text);
    std::string line, uncommented;
    int settings = 0;
    while (std::getline(in, line)) {
        if (line.size() > 1 && line[0] == '#' && line[1] != ' ') {
            line.erase(0, 1);
            ++settings;
        }
        uncommented += line + "\n";
    }
    EXPECT_EQ(settings, static_cast<int>(SettingKeys().size()));
    const TSettings u = Parse(uncommented, w);
    EXPECT_TRUE(w.empty()) << w.front();
    const TSettings d;
    EXPECT_EQ(u.display.fullscreen, d.display.fullscreen);
    EXPECT_EQ(u.display.display, d.display.display);
    EXPECT_EQ(u.display.window_width, d.display.window_width);
    EXPECT_EQ(u.display.window_height, d.display.window_height);
    EXPECT_EQ(u.display.minimize_on_focus_loss, d.display.minimize_on_focus_loss);
    EXPECT_EQ(u.display.drop_late_frames, d.display.drop_late_frames);
    EXPECT_EQ(u.display.frame_log, d.display.frame_log);
    EXPECT_EQ(u.audio.volume, d.audio.volume);
    EXPECT_EQ(u.audio.mute, d.audio.mute);
    EXPECT_EQ(u.input.preset, d.input.preset);
    EXPECT_EQ(u.accessibility.colour_safe, d.accessibility.colour_safe);
}

TEST(SettingsFile, TheFolderFollowsXdgHomeAndAppData) {
    std::map<std::string, std::filesystem::path> env;
    const TEnvLookup lookup = [&env](const char* name) { return env[name]; };
    env["HOME"] = "/home/p";
    EXPECT_EQ(SettingsFolderFrom(lookup, false), "/home/p/.config/zaptomania");
    env["XDG_CONFIG_HOME"] = "/x/cfg";
    EXPECT_EQ(SettingsFolderFrom(lookup, false), "/x/cfg/zaptomania");
    env["XDG_CONFIG_HOME"] = "relative/cfg"; // not absolute: ignored
    EXPECT_EQ(SettingsFolderFrom(lookup, false), "/home/p/.config/zaptomania");
    env["HOME"] = "";
    EXPECT_EQ(SettingsFolderFrom(lookup, false), "");
    EXPECT_EQ(SettingsFolderFrom(lookup, true), "");
    env["APPDATA"] = "C:/Users/p/AppData/Roaming";
    EXPECT_EQ(SettingsFolderFrom(lookup, true),
              std::filesystem::path("C:/Users/p/AppData/Roaming") / "zaptomania");
}

TEST(SettingsFile, IsMadeOnceAndNeverOverwritten) {
    const std::filesystem::path dir = std::filesystem::path(BinaryDir()) / "settings-test-tmp";
    std::filesystem::remove_all(dir);
    const std::filesystem::path file = dir / "new" / "zaptomania" / SETTINGS_FILE_NAME;
    TSettingsWarnings w;
    ASSERT_TRUE(CreateSettingsFile(file, w));
    EXPECT_TRUE(w.empty());
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    in.close();
    EXPECT_EQ(text.str(), DefaultSettingsText());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(file.parent_path()), {}),
              1); // no temporary left

    std::ofstream(file, std::ios::trunc) << "[audio]\nvolume = 7\n";
    ASSERT_TRUE(CreateSettingsFile(file, w));
    const TSettings s = LoadSettingsFile(file, w);
    EXPECT_EQ(s.audio.volume, 7);
    EXPECT_TRUE(w.empty());

    // A folder that cannot be made (a file stands in its way): one warning.
    std::ofstream(dir / "blocked") << "x";
    EXPECT_FALSE(CreateSettingsFile(dir / "blocked" / "zaptomania" / SETTINGS_FILE_NAME, w));
    ASSERT_EQ(w.size(), 1u);
    EXPECT_NE(w[0].find("cannot write"), std::string::npos) << w[0];
    // A file that is not there reads as the defaults, with a warning.
    w.clear();
    EXPECT_EQ(LoadSettingsFile(dir / "missing.toml", w).audio.volume, 100);
    EXPECT_EQ(w.size(), 1u);
    std::filesystem::remove_all(dir);
}

// ---- The command line -------------------------------------------------------

TCommandLine Line(std::vector<std::string> args) {
    args.insert(args.begin(), "zaptomania");
    std::vector<const char*> argv;
    for (const std::string& a : args)
        argv.push_back(a.c_str());
    return ParseGameCommandLine(static_cast<int>(argv.size()), argv.data());
}

TEST(GameCommandLine, FlagsOverrideTheFile) {
    const std::string config = BinaryDir() + "/settings-test-config.toml";
    std::ofstream(config) << "\n";
    const TCommandLine l = Line({"--windowed", "--display", "3", "--window-size=640x480", "--volume", "50",
                                 "--mute", "--config", config, "--frame-log", "f.log", "--colour-safe"});
    ASSERT_TRUE(l.run) << l.err;
    EXPECT_EQ(l.config, config);
    TSettings s;
    s.audio.volume = 80;
    s.display.frame_log = "other";
    ApplyCommandLine(l, s);
    EXPECT_FALSE(s.display.fullscreen);
    EXPECT_EQ(s.display.display, 3);
    EXPECT_EQ(s.display.window_width, 640);
    EXPECT_EQ(s.display.window_height, 480);
    EXPECT_EQ(s.audio.volume, 50);
    EXPECT_TRUE(s.audio.mute);
    EXPECT_EQ(s.display.frame_log, "f.log");
    EXPECT_TRUE(s.accessibility.colour_safe);
    std::filesystem::remove(config);

    // Without flags the file's values stand.
    TSettings t;
    t.display.fullscreen = false;
    t.audio.volume = 80;
    ApplyCommandLine(Line({}), t);
    EXPECT_FALSE(t.display.fullscreen);
    EXPECT_EQ(t.audio.volume, 80);
    ApplyCommandLine(Line({"--fullscreen"}), t);
    EXPECT_TRUE(t.display.fullscreen);
}

TEST(GameCommandLine, HelpAndVersionPrintAndEndWithStatus0) {
    const TCommandLine help = Line({"--help"});
    EXPECT_FALSE(help.run);
    EXPECT_EQ(help.status, 0);
    for (const char* flag : {"--windowed", "--fullscreen", "--display", "--window-size", "--volume", "--mute",
                             "--config", "--frame-log", "--colour-safe", "--version"})
        EXPECT_NE(help.out.find(flag), std::string::npos) << flag;
    const TCommandLine version = Line({"--version", "--volume", "500"});
    EXPECT_FALSE(version.run);
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, GameVersionLine() + "\n");
}

TEST(GameCommandLine, EveryErrorIsOneLineAndStatus2) {
    const std::vector<std::vector<std::string>> bad = {
        {"--windowed", "--fullscreen"}, {"--display", "0"},  {"--display", "x"}, {"--window-size", "319x240"},
        {"--window-size", "big"},       {"--volume", "101"}, {"--volume", "-1"}, {"--volume"},
        {"--config", "/no/such/file"},  {"--frame-log"},     {"--nosuch"},       {"extra"},
    };
    for (const auto& args : bad) {
        const TCommandLine l = Line(args);
        EXPECT_FALSE(l.run) << args[0];
        EXPECT_EQ(l.status, 2) << args[0];
        EXPECT_TRUE(l.out.empty());
        ASSERT_EQ(l.err.rfind("zaptomania: ", 0), 0u) << l.err;
        EXPECT_EQ(l.err.find('\n'), l.err.size() - 1) << l.err;
        EXPECT_EQ(l.err.find("--help"), std::string::npos) << l.err;
    }
}

} // namespace
