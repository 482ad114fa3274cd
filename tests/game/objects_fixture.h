#pragma once
// Shared set-up for the tests of the bases, the laser, the bubbles and the
// effects: a recording 2D driver as the current context (so draws can be
// checked), the real embedded pictures, and the game's globals in the state
// of a fresh round.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "assets/embedded_assets.h"
#include "audio/sound.h"
#include "audio/sound_log.h"
#include "game/bubble.h"
#include "game/effects.h"
#include "game/globals.h"
#include "game/player.h"
#include "graphics/canvas.h"
#include "graphics/font.h"
#include "graphics/graphics.h"
#include "graphics/image.h"
#include "graphics/recording_canvas.h"
#include "platform/random.h"

namespace objects_test {

// One recording context for the whole test program, made current again for
// every test (other suites in the same program install their own drivers).
struct TRecordingSetup {
    std::shared_ptr<TRecordingCanvasDriver> driver = std::make_shared<TRecordingCanvasDriver>();
    std::shared_ptr<TGraphics> graphics;
};

inline TRecordingSetup& RecordingSetup() {
    static TRecordingSetup setup;
    return setup;
}

inline TRecordingCanvasDriver& Recorder() {
    return *RecordingSetup().driver;
}

inline void MakeRecorderCurrent() {
    TRecordingSetup& s = RecordingSetup();
    SelectGraphicsDriver(s.driver);
    if (!s.graphics) s.graphics = CreateGraphics(1024, 768, 0, 60, 0);
    SetGraphics(s.graphics);
}

// Pictures keep the driver frames made for the context current at the time;
// drop them so they are made anew for the recorder.
inline void ForgetFrames(const std::shared_ptr<TImage>& image) {
    if (image) std::fill(image->seqs.begin(), image->seqs.end(), 0);
}

inline void ForgetFrames(const std::shared_ptr<TImageFont>& font) {
    if (!font) return;
    for (const auto& glyph : font->_glyphs)
        if (glyph) ForgetFrames(glyph->_image);
}

inline void LoadPictures() {
    static bool loaded = false;
    if (loaded) return;
    loaded = true;
    RegisterEmbeddedAssets();
    SetAutoMidHandle(true);
    img_base = LoadImageSingle(std::string("incbin::gfx_base.png"));
    img_base_charge = LoadImageCells(std::string("incbin::gfx_base_charge.png"), 32, 32, 0, 6);
    img_base_static = LoadImageCells(std::string("incbin::gfx_base_static.png"), 32, 32, 0, 6);
    img_bubble = LoadImageSingle(std::string("incbin::gfx_bubble.png"));
    img_ring = LoadImageSingle(std::string("incbin::gfx_ring.png"));
    img_spark1 = LoadImageSingle(std::string("incbin::gfx_spark1.png"));
    // The game's two interface fonts, unless a start-up in this program has loaded them.
    if (!fnt_small) fnt_small = LoadTextFont(std::string("incbin::fnt_manaspc.ttf"), 16, 0);
    if (!fnt_medium) fnt_medium = LoadTextFont(std::string("incbin::fnt_manaspc.ttf"), 24, 0);
}

// For the life of this object the game's fiddle and pop are silent sounds
// and every play is logged with its channel's rate, pan and volume.
class TSoundRecording {
  public:
    TSoundRecording() : fiddle_(snd_fiddle), pop_(snd_pop) {
        snd_fiddle = std::make_shared<TSound>();
        snd_pop = std::make_shared<TSound>();
        SoundLogEnable(true);
        SoundLogDrain();
    }
    ~TSoundRecording() {
        SoundLogEnable(false);
        snd_fiddle = fiddle_;
        snd_pop = pop_;
    }
    TSoundRecording(const TSoundRecording&) = delete;
    TSoundRecording& operator=(const TSoundRecording&) = delete;

    // The plays since the last call.
    static std::vector<TSoundLogEntry> Plays() { return SoundLogDrain(); }

  private:
    std::shared_ptr<TSound> fiddle_, pop_;
};

// The game's globals as at the start of a round with four computer players.
class ObjectsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // Other suites of this program keep their own display current; give it back afterwards.
        prev_driver_ = GetGraphicsDriver();
        prev_flags_ = GraphicsDriverDefaultFlags();
        prev_graphics_ = CurrentGraphics();
        MakeRecorderCurrent();
        LoadPictures();
        for (const auto& image :
             {img_base, img_base_charge, img_base_static, img_bubble, img_ring, img_spark1})
            ForgetFrames(image);
        for (const auto& font : {fnt_small, fnt_medium, DefaultImageFont(), CurrentImageFont()})
            ForgetFrames(font);
        ResetGameState();
        SetRandomSeed(12345);
        SelectImageFont(fnt_small); // the game's resting font
        SetBlend(BLEND_LIGHT);
        SetColor(255, 255, 255);
        SetAlpha(1.0f);
        SetDrawRotation(0.0f);
        SetDrawScale(1.0f, 1.0f);
        Recorder().ClearLog();
    }
    void TearDown() override {
        bubbles.Clear();
        particles.Clear();
        SelectGraphicsDriver(prev_driver_, prev_flags_);
        SetGraphics(prev_graphics_);
    }

    // A bubble placed exactly, already faded in, with no random draws.
    static std::shared_ptr<TBubble> PutBubble(float x, float y, int size, float dx = 1.0f, float dy = 1.0f,
                                              int owned = 0) {
        auto b = std::make_shared<TBubble>();
        b->x = x;
        b->y = y;
        b->size = size;
        b->dx = dx;
        b->dy = dy;
        b->owned = owned;
        b->owntime = owned != 0 ? 500 : 0;
        b->fadein = 0;
        b->wobble = 0;
        bubbles.Append(b);
        return b;
    }

    // Runs the effects as a frame does: Update then Draw on each, in order.
    static void EffectsFrame() {
        particles.ForEach([](const std::shared_ptr<TParticle>& p) {
            p->Update();
            p->Draw();
        });
    }

    static TPlayer& P(int n) { return *players[static_cast<std::size_t>(n)]; }

    static std::vector<TCanvasRecord> Log(const std::string& op) { return Recorder().Entries(op); }

  private:
    std::shared_ptr<TGraphicsDriver> prev_driver_;
    int prev_flags_ = 0;
    std::shared_ptr<TGraphics> prev_graphics_;
};

} // namespace objects_test
