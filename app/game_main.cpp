// zaptomania: a one-switch arcade party game for one to four players.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string_view>

#include "assets/embedded_assets.h"
#include "game/startup.h"
#include "graphics/framelog.h"
#include "graphics/gles2canvas.h"
#include "graphics/graphics.h"
#include "platform/error.h"
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
void UsePlatformBackends() {
#ifdef _WIN32
    UseWin32Clock();
    UseWin32GraphicsDriver();
    UseWin32Input();
    RegisterWin32AudioDrivers();
#else
    UseSdlGraphicsDriver();
    UseSdlInput();
    RegisterSdlAudioDrivers();
#endif
}

// The frame-pacing knobs a developer or a player with a slow display can set
// in the environment: ZAPTOMANIA_DROP_LATE_FRAMES=0 keeps every frame however
// late, ZAPTOMANIA_FRAME_LOG=FILE writes a line per frame.
void ApplyPacingEnvironment() {
    if (const char* drop = std::getenv("ZAPTOMANIA_DROP_LATE_FRAMES"); drop && *drop) {
        const std::string_view value(drop);
        if (value == "0" || value == "1") {
            SetDropLateFrames(value == "1");
        } else {
            std::fprintf(stderr, "zaptomania: ZAPTOMANIA_DROP_LATE_FRAMES must be 0 or 1, not '%s'\n", drop);
        }
    }
    if (const char* path = std::getenv("ZAPTOMANIA_FRAME_LOG"); path && *path) {
        if (!OpenFrameLog(path)) std::fprintf(stderr, "zaptomania: cannot write the frame log '%s'\n", path);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1) {
        std::fprintf(stderr, "zaptomania: unexpected argument '%s' (the game takes none)\n", argv[1]);
        return 2;
    }
    try {
        RegisterEmbeddedAssets();
        UsePlatformBackends();
        ApplyPacingEnvironment();
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
