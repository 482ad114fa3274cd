#pragma once
#include <cstdio>

// The game's one-time start-up and its screen cycle. The embedded files must
// be registered first (the executables do that, since the assets are linked
// into them, not into the game library).

// Start-up after the files are registered: the 2D driver installed as
// Canvas2DDriver() and the display, the audio driver (writing which one to
// standard output), centred image handles, the random seed from the clock,
// fonts, images, the game state (ResetGameState: tables, options, four
// computer bases), sounds, five bubbles, the resting line width and blend,
// the scrolling message.
// The line naming the audio driver goes to `report`: standard output for the
// game, null for hosts that keep their own output clean (benchmarks, tests).
// Throws TRuntimeError with a one-line message when the display cannot be
// opened or an embedded file cannot be loaded.
void StartUp(std::FILE* report = stdout);

// The value the random generator was seeded with, and the clock then.
int StartupSeed();

// Attract screen, round set-up, start countdown, round, results, and again,
// until ESC in the attract screen.
void RunScreenCycle();
