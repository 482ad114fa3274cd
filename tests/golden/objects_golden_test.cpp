// Golden frames of the playfield objects, drawn with real OpenGL (Mesa,
// offscreen) at a fixed seed: a volley in progress (flash, beam afterglow,
// popped bubbles' rings and pieces) and, a little later, the rings spreading
// with their score text. Tolerance: each channel within 8 of the stored
// picture and at most 400 pixels outside that (edge rounding of lines and
// glyphs between Mesa versions). ZAP_UPDATE_GOLDEN=1 rewrites the pictures.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "game/bubble.h"
#include "game/effects.h"
#include "game/frame.h"
#include "game/globals.h"
#include "game/hud.h"
#include "game/playfield.h"
#include "game/player.h"
#include "graphics/canvas.h"
#include "graphics/font.h"
#include "graphics/graphics.h"
#include "platform/random.h"
#include "sim/virtual_clock.h"
#include "sim/virtual_display.h"
#include "support/gl_fixture.h"
#include "support/test_support.h"

namespace {

class ObjectsGolden : public ::testing::TestWithParam<TGLRenderer> {
  protected:
    // The game starts again when the driver changes.
    static void Start(TGLRenderer renderer) {
        if (game_.display && renderer_ == renderer) return;
        game_ = UseVirtualGL(renderer);
        renderer_ = renderer;
        if (game_.display) StartGameQuietly();
    }

    void SetUp() override {
        Start(GetParam());
        ZAP_REQUIRE_GL(game_.display);
        game_.clock->Set(200000);
        SetRandomSeed(777);
        ResetGameState();
        humans = {0, 1, 0, 1, 0};
        seconds = 120;
        tick_time = game_.clock->Millis();
        CreatePlayers();
        ResetGameDrawState();
        Cls();
    }

    // Base 1 fires in the next frame from x = 300, under three bubbles of
    // each size (one of them in its own colour, one in an enemy's); base 3
    // is short-circuited by a bubble sitting on it.
    static void SetUpVolley() {
        players[1]->x = 300;
        players[1]->charge = 99;
        players[2]->charge = 40;
        players[3]->y = 600;
        players[3]->charge = 30;
        players[4]->charge = 70;
        for (int n = 1; n <= 4; ++n)
            players[n]->score_y = players[n]->score_index * 52;
        Place(305.0f, 620.0f, 3, 1.5f, -2.0f, 0);
        Place(290.0f, 470.0f, 2, -2.0f, 1.0f, 1);
        Place(310.0f, 300.0f, 1, 1.0f, 1.5f, 4);
        Place(560.0f, 250.0f, 1, -1.5f, -1.25f, 0);
        Place(40.0f, 600.0f, 3, -1.0f, 1.0f, 0);
        Place(600.0f, 560.0f, 2, 2.0f, 2.0f, 2);
    }

    static void Place(float x, float y, int size, float dx, float dy, int owned) {
        auto b = CreateBubble(x, y, size, owned, dx, dy);
        b->fadein = 0;
        b->wobble = 45;
    }

    // One round frame of the playfield: backdrop, bases, bubbles, effects, HUD.
    static void PlayfieldFrame() {
        DrawBackground();
        StepPlayfield();
        DrawHud();
    }

    static void Expect(const char* name) {
        ExpectFrameGolden(*game_.display, std::string("objects_") + name);
    }

    static inline TGameOnGL game_;
    static inline TGLRenderer renderer_ = TGLRenderer::IMMEDIATE;
};

ZAP_FOR_BOTH_GL_DRIVERS(ObjectsGolden);

TEST_P(ObjectsGolden, VolleyInProgress) {
    SetUpVolley();
    PlayfieldFrame();
    // The volley popped the three bubbles on the beam and nothing else.
    ASSERT_EQ(players[1]->score, 30 + 40 + 5);
    ASSERT_LT(players[3]->charge, 0);
    Expect("volley");
    EndFrame();
}

TEST_P(ObjectsGolden, RingsWithScoreText) {
    SetUpVolley();
    for (int k = 0; k < 24; ++k) {
        PlayfieldFrame();
        EndFrame();
    }
    PlayfieldFrame();
    Expect("rings");
    EndFrame();
}

} // namespace
