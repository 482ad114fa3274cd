#pragma once
#include <memory>
#include <string>

// Short-lived drawings that animate and then remove themselves from
// `particles`: the floating text lines of the attract screen, the rings left
// by popped bubbles and the afterglow of a laser beam. Each frame the game
// walks `particles` and calls Update then Draw on every effect; an effect that
// leaves the list in its Update is still drawn once in that frame.
class TParticle {
  public:
    // Rings and afterglows keep their centre/first end and opacity here too,
    // so every effect has one x, y and alpha.
    float x = 0.0f;
    float y = 0.0f;
    float alpha = 0.0f;
    float decay = 0.0f;

    virtual ~TParticle() = default;
    virtual void Draw() = 0;
    virtual void Update() = 0;
    // "text", "ring" or "glow": lets a trace writer tell the effects apart.
    virtual const char* Kind() const = 0;
};

// A line of the scrolling message: floats up the middle of the playfield,
// fading in at the bottom and out at the top.
class TTextLine : public TParticle {
  public:
    std::string text;

    void Draw() override;
    void Update() override;
    const char* Kind() const override { return "text"; }
};

// Spreads where a bubble popped, in the colour of the bubble's owner, with
// the points written over it in the shooter's colour.
class TRing : public TParticle {
  public:
    int index = 0;       // owner of the popped bubble (0..4): the ring's colour
    float scale = 0.0f;  // current drawing scale of the ring picture
    float scale2 = 0.0f; // size of the popped bubble: divides the growth rate
    std::string s_text;  // the points scored
    int s_col = 0;       // the shooter (1..4): the text's colour

    TRing() { alpha = 0.5f; }
    void Draw() override;
    void Update() override;
    const char* Kind() const override { return "ring"; }
};

// A fading line with a spark at its second end: the trace of a laser beam, and
// the strokes of the attract screen's line drawings.
class TLaserAfterglow : public TParticle {
  public:
    float x2 = 0.0f;
    float y2 = 0.0f;
    int index = 0; // colour: 0 white, 1..4 a player

    TLaserAfterglow() { alpha = 1.0f; }
    void Draw() override;
    void Update() override;
    const char* Kind() const override { return "glow"; }
};

// Appends the afterglow of player i's beam, from the base's current position.
std::shared_ptr<TLaserAfterglow> SpawnLaserAfterglow(int i);
// Appends an afterglow from (x, y) to (x2, y2) in colour `index`.
std::shared_ptr<TLaserAfterglow> CreateLaserAfterglow(int index, int x, int y, int x2, int y2);
