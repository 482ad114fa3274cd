#pragma once

// The results: the last scene of the round stands still under the TIME UP!
// panel with one message per shown player, for 300 frames (ESC jumps to the
// last of them).
void RunResults();

// Results frame j (1..300) without its EndFrame; returns the frame number
// actually drawn (300 when ESC was hit).
int ResultsFrame(int j);
