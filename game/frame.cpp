#include "game/frame.h"

#include <utility>

#include "graphics/canvas.h"
#include "graphics/graphics.h"

TScreen game_screen = TScreen::NONE;

namespace {
long frame_count = 0;
TFrameHook before_flip;
TFrameHook after_flip;
} // namespace

const char* ScreenName(TScreen screen) {
    switch (screen) {
    case TScreen::ATTRACT:
        return "attract";
    case TScreen::COUNTDOWN:
        return "countdown";
    case TScreen::ROUND:
        return "round";
    case TScreen::RESULTS:
        return "results";
    case TScreen::NONE:
        break;
    }
    return "none";
}

void EndFrame() {
    const long k = ++frame_count;
    if (before_flip) before_flip(k);
    Flip(-1);
    if (after_flip) after_flip(k);
    Cls();
}

long GameFrameCount() {
    return frame_count;
}

void SetBeforeFlipHook(TFrameHook hook) {
    before_flip = std::move(hook);
}
void SetAfterFlipHook(TFrameHook hook) {
    after_flip = std::move(hook);
}
