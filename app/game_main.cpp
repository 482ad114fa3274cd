// zaptomania: a one-switch arcade party game for one to four players.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "assets/embedded_assets.h"
#include "game/startup.h"
#include "graphics/framelog.h"
#include "graphics/gles2canvas.h"
#include "graphics/graphics.h"
#include "platform/error.h"
#include "settings/command_line.h"
#include "settings/settings.h"
#ifdef _WIN32
#include "backends/win32/win32_audio.h"
#include "backends/win32/win32_clock.h"
#include "backends/win32/win32_display.h"
#include "backends/win32/win32_system.h"
#else
#include "backends/sdl/sdl_audio.h"
#include "backends/sdl/sdl_display.h"
#include "backends/sdl/sdl_events.h"
#endif

namespace {

// The system's own clock, window, messages, joypads and sound on Windows;
// elsewhere SDL stands in for them.
void UsePlatformBackends([[maybe_unused]] const TSettings& settings) {
#ifdef _WIN32
    UseWin32Clock();
    UseWin32GraphicsDriver();
    UseWin32Input();
    RegisterWin32AudioDrivers();
#else
    // The desktop's window: full screen or a window, on the chosen display,
    // named as the desktop file names the program.
    TSdlDisplayOptions display;
    display.fullscreen = settings.display.fullscreen;
    display.window_width = settings.display.window_width;
    display.window_height = settings.display.window_height;
    display.minimize_on_focus_loss = settings.display.minimize_on_focus_loss;
    display.title = "Zaptomania";
    display.app_id = "io.itch.zaptomania";
    display.display = 0;
    if (settings.display.display != 1) {
        const int count = SdlDisplayCount();
        if (settings.display.display <= count)
            display.display = settings.display.display - 1;
        else
            std::fprintf(stderr, "zaptomania: there is no display %d (%d found); opening on display 1\n",
                         settings.display.display, count);
    }
    UseSdlGraphicsDriver(display);
    // The player's own controller mappings beside the settings file.
    const std::filesystem::path folder = SettingsFolder();
    UseSdlInput(folder.empty() ? std::filesystem::path() : folder / "gamecontrollerdb.txt");
    RegisterSdlAudioDrivers();
#endif
}

// The settings file named with --config, or the one in the settings folder,
// made with the defaults when missing; then the command line over it. Every
// problem is one line on standard error, and the game goes on.
TSettings LoadSettings(const TCommandLine& line) {
    TSettingsWarnings warnings;
    TSettings settings;
    if (!line.config.empty()) {
        settings = LoadSettingsFile(line.config, warnings);
    } else if (const std::filesystem::path folder = SettingsFolder(); folder.empty()) {
        warnings.push_back(
            "no settings folder (neither XDG_CONFIG_HOME nor HOME is set); playing with the defaults");
    } else {
        const std::filesystem::path file = folder / SETTINGS_FILE_NAME;
        std::error_code ec;
        if (std::filesystem::exists(file, ec))
            settings = LoadSettingsFile(file, warnings);
        else
            CreateSettingsFile(file, warnings);
    }
    for (const std::string& w : warnings)
        std::fprintf(stderr, "zaptomania: %s\n", w.c_str());
    ApplyCommandLine(line, settings);
    return settings;
}

// Frame pacing: the settings' drop_late_frames and frame_log, under the
// environment's ZAPTOMANIA_DROP_LATE_FRAMES=0|1 and ZAPTOMANIA_FRAME_LOG=FILE
// (for developers), under --frame-log.
void ApplyPacingSettings(const TSettings& settings, const TCommandLine& line) {
    bool drop = settings.display.drop_late_frames;
    if (const char* env = std::getenv("ZAPTOMANIA_DROP_LATE_FRAMES"); env && *env) {
        const std::string_view value(env);
        if (value == "0" || value == "1")
            drop = value == "1";
        else
            std::fprintf(stderr, "zaptomania: ZAPTOMANIA_DROP_LATE_FRAMES must be 0 or 1, not '%s'\n", env);
    }
    SetDropLateFrames(drop);
    std::string log = settings.display.frame_log;
    if (const char* env = std::getenv("ZAPTOMANIA_FRAME_LOG"); env && *env && !line.frame_log) log = env;
    if (!log.empty() && !OpenFrameLog(log))
        std::fprintf(stderr, "zaptomania: cannot write the frame log '%s'\n", log.c_str());
}

} // namespace

int main(int argc, char** argv) {
    // --help, --version and a bad command line end here, before anything opens.
    const TCommandLine line = ParseGameCommandLine(argc, argv);
    if (!line.run) {
        std::fputs(line.out.c_str(), stdout);
        std::fputs(line.err.c_str(), stderr);
        return line.status;
    }
    try {
        const TSettings settings = LoadSettings(line);
        RegisterEmbeddedAssets();
        UsePlatformBackends(settings);
        ApplyAudioAndInputSettings(settings);
        ApplyAccessibilitySettings(settings);
        ApplyPacingSettings(settings, line);
        UseGLRendererFromEnvironment();
        StartUp();
        RunScreenCycle();
    } catch (const TRuntimeError& e) {
        std::fprintf(stderr, "zaptomania: %s\n", e.what());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zaptomania: %s\n", e.what());
        return 1;
    }
    return 0;
}
