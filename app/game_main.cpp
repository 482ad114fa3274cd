// zaptomania: a one-switch arcade party game for one to four players.
#include <cstdio>
#include <exception>

#include "assets/embedded_assets.h"
#include "game/startup.h"
#include "graphics/gles2canvas.h"
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

} // namespace

int main(int argc, char** argv) {
    if (argc > 1) {
        std::fprintf(stderr, "zaptomania: unexpected argument '%s' (the game takes none)\n", argv[1]);
        return 2;
    }
    try {
        RegisterEmbeddedAssets();
        UsePlatformBackends();
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
