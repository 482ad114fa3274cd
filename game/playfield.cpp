#include "game/playfield.h"

#include <memory>

#include "game/bubble.h"
#include "game/effects.h"
#include "game/globals.h"
#include "game/player.h"
#include "platform/random.h"

void StepBases() {
    for (int n = 1; n <= 4; ++n) {
        players[n]->Draw();
        players[n]->Update();
    }
}

void StepEffects() {
    particles.ForEach([](const std::shared_ptr<TParticle>& p) {
        p->Update();
        p->Draw();
    });
}

void StepPlayfield() {
    StepBases();
    bubbles.ForEach([](const std::shared_ptr<TBubble>& b) {
        b->Update();
        b->Draw();
    });
    StepEffects();
}

void DrawBases() {
    for (int n = 1; n <= 4; ++n)
        players[n]->Draw();
}

void DrawStillPlayfield() {
    DrawBases();
    bubbles.ForEach([](const std::shared_ptr<TBubble>& b) { b->Draw(); });
    particles.ForEach([](const std::shared_ptr<TParticle>& p) { p->Draw(); });
}

void AddCentreBubble(int lo, int hi) {
    const int y = RandomInt(lo, hi);
    const int x = RandomInt(lo, hi);
    CreateBubble(static_cast<float>(x), static_cast<float>(y), 1, 0, 0, 0);
}

void AddStartingBubbles() {
    for (int i = 0; i < 5; ++i)
        AddCentreBubble(350, 418);
}
