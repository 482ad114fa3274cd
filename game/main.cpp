// zaptomania: a one-switch arcade party game for one to four players.
#include <cstdio>
#include <exception>

#include "assets/embedded_assets.h"
#include "game/startup.h"
#include "platform/error.h"
#include "platform/sdl/sdl_audio.h"
#include "platform/sdl/sdl_display.h"
#include "platform/sdl/sdl_events.h"

int main(int argc, char** argv) {
    if (argc > 1) {
        std::fprintf(stderr, "zaptomania: unexpected argument '%s' (the game takes none)\n", argv[1]);
        return 2;
    }
    try {
        RegisterEmbeddedAssets();
        // The SDL window, events and joypads stand in for the system's own.
        UseSdlGraphicsDriver();
        UseSdlInput();
        RegisterSdlAudioDrivers();
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
