#pragma once
#include <functional>

// The end of every game frame, shared by all the screens, and the hooks that
// let a host (the simulator, a benchmark) watch frames go by without the
// screens knowing about it.

enum class TScreen { NONE, ATTRACT, COUNTDOWN, ROUND, RESULTS };

// The screen whose frame loop is running.
extern TScreen game_screen;
const char* ScreenName(TScreen screen);

// Ends a game frame: the before-flip hook, Flip(-1) (which holds the game to
// 50 frames a second), the after-flip hook, then Cls. Frames of the screens
// are counted here; flips made during start-up are not game frames.
void EndFrame();

// Game frames ended so far.
long GameFrameCount();

// Called with the number of the frame being ended. The before-flip hook sees
// the finished picture still in the back buffer; the after-flip hook runs once
// the flip has returned (the clock has moved on) and may throw to stop the
// game. Null removes a hook.
using TFrameHook = std::function<void(long frame)>;
void SetBeforeFlipHook(TFrameHook hook);
void SetAfterFlipHook(TFrameHook hook);
