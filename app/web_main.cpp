// The game in a browser page: the SDL event and joypad layers, and the page's
// own window layer, clock and sound (backends/web). The page (index.html)
// starts it, shows what it draws and tells the player when it has ended.
#include <emscripten/emscripten.h>

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "assets/embedded_assets.h"
#include "audio/sound.h"
#include "backends/sdl/sdl_events.h"
#include "backends/web/web_audio.h"
#include "backends/web/web_clock.h"
#include "backends/web/web_display.h"
#include "game/frame.h"
#include "game/globals.h"
#include "game/startup.h"
#include "graphics/gles2canvas.h"
#include "graphics/graphics.h"
#include "platform/error.h"
#include "settings/settings.h"

namespace {

// The screens the game has run, each with the first frame it ended, the
// latest last (a frame hook keeps it; the game never sees it).
struct TScreenEntry {
    TScreen screen;
    long frame;
};
std::vector<TScreenEntry> screens_run;

void NoteScreen(long frame) {
    if (!screens_run.empty() && screens_run.back().screen == game_screen) return;
    if (screens_run.size() == 16) screens_run.erase(screens_run.begin());
    screens_run.push_back({game_screen, frame});
}

} // namespace

// What the page may read while the game runs (its tests do), as JSON: the
// screen whose loop is running, who has joined, the game frames ended so far,
// and the last screens run with the first frame each ended. Reading changes
// nothing.
extern "C" EMSCRIPTEN_KEEPALIVE const char* zap_state() {
    static std::string text;
    text = std::string("{\"screen\":\"") + ScreenName(game_screen) + "\",\"humans\":[";
    for (int n = 1; n <= 4; ++n)
        text += std::to_string(humans[n]) + (n < 4 ? "," : "");
    text += "],\"frames\":" + std::to_string(GameFrameCount()) + ",\"screens\":[";
    for (size_t i = 0; i < screens_run.size(); ++i)
        text += std::string(i ? "," : "") + "[\"" + ScreenName(screens_run[i].screen) + "\"," +
                std::to_string(screens_run[i].frame) + "]";
    text += "]}";
    return text.c_str();
}

// Calls the page's handler of that name with a text (backends/web/page_lib.js).
extern "C" void zap_tell_page(const char* handler, const char* text);

int main() {
    try {
        // The page plays with the default settings: there is no settings file
        // in a browser.
        const TSettings settings;
        RegisterEmbeddedAssets();
        UseWebClock();
        UseWebGraphicsDriver();
        UseSdlInput();
        RegisterWebAudioDrivers();
        ApplyAudioAndInputSettings(settings);
        SetDropLateFrames(settings.display.drop_late_frames);
        UseGLRenderer(TGLRenderer::ES2);
        SetBeforeFlipHook(NoteScreen);
        StartUp();
        RunScreenCycle();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zaptomania: %s\n", e.what());
        zap_tell_page("onGameFailed", e.what());
        return 1;
    }
    // ESC in the attract screen: the game is over, and the page says so
    // instead of leaving the last frame standing.
    SelectAudioDriver("Null");
    zap_tell_page("onGameEnded", "");
    return 0;
}
