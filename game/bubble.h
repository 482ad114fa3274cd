#pragma once
#include <memory>

// A target: drifts in a straight line, bounces off the playfield walls and
// breathes as it is drawn. A new bubble fades in and can neither be hit nor
// short-circuit a base until it has. Bubbles live in `bubbles`, in creation
// order; the game walks the list every frame calling Update then Draw.
class TBubble {
  public:
    float x = 0.0f, y = 0.0f;   // centre
    float dx = 0.0f, dy = 0.0f; // movement per frame
    int size = 0;               // 1 (largest) to 3 (smallest)
    int fadein = 0;             // falls by 2 per frame to 0
    int owned = 0;              // player whose colour the bubble wears, 0 for none
    int owntime = 0;            // frames of ownership left
    int wobble = 0;             // breathing phase in degrees

    void Update();
    void Draw();
};

// Makes a bubble and appends it to `bubbles`. A speed of exactly 0 asks for a
// random one (1 to 5 either way); a speed below 1 in magnitude is raised to 1.
std::shared_ptr<TBubble> CreateBubble(float x, float y, int size, int owned, float dx, float dy);

// How many pixel-accurate overlap tests the bubbles have run since start-up:
// the expensive part of a bubble's update, counted for measurements.
long long ShortCircuitTests();
