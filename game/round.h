#pragma once

// The screens of a round: set-up (no frame), the 150-frame start countdown,
// and the round itself.

// New bases from `humans`, fresh bubbles, empty effects, the clock at the
// round length, score rows sorted.
void SetUpRound();

// THREE, TWO, ONE, GO! over 150 frames; nothing moves and no input is read.
void RunStartCountdown();

// Plays the round until ESC or the clock passes zero. Returns true when the
// results should follow (the clock ran out, or ESC came with the clock at 0),
// false for a round abandoned with ESC.
bool RunRound();

// One round frame without its EndFrame (for tests and benchmarks).
void RoundFrame();
