#pragma once

// The playfield: the square on the left of the screen where the bases run
// round the edges and the bubbles bounce, in pixels from the top-left corner.
constexpr int PLAYFIELD_SIZE = 768;
constexpr int PLAYFIELD_MIDDLE = PLAYFIELD_SIZE / 2; // its centre line, either way

// The playfield objects' part of a frame, shared by every screen. The order
// is fixed because it decides the order of random draws and so the course of
// the game: bases 1 to 4, then every bubble, then every effect, each list
// walked first to last.

// Bases 1 to 4: Draw, then Update, of each.
void StepBases();

// Every effect in `particles`: Update, then Draw.
void StepEffects();

// A live frame of the playfield: StepBases, then every bubble's Update and
// Draw, then StepEffects.
void StepPlayfield();

// Bases 1 to 4 drawn only (nothing moves).
void DrawBases();

// The frozen scene: the bases, every bubble and every effect drawn only.
void DrawStillPlayfield();

// Adds a size-1 bubble with random speeds at a point whose y and then x are
// each drawn from lo..hi (y first: the order of the draws matters).
void AddCentreBubble(int lo, int hi);

// The five bubbles that every start begins with (program start and each
// round set-up), near the very middle of the playfield.
void AddStartingBubbles();
