#include "game/startup.h"

#include <cstdio>
#include <string>

#include "audio/sample.h"
#include "audio/sound.h"
#include "game/attract.h"
#include "game/bubble.h"
#include "game/effects.h"
#include "game/globals.h"
#include "game/player.h"
#include "game/playfield.h"
#include "game/results.h"
#include "game/round.h"
#include "graphics/canvas.h"
#include "graphics/font.h"
#include "graphics/graphics.h"
#include "graphics/image.h"
#include "platform/clock.h"
#include "platform/error.h"
#include "platform/random.h"

namespace {

int startup_seed = 0;

// Every file is compiled into the program, but a damaged one would otherwise
// only show up later as a crash in the middle of a frame: stop here instead,
// naming the file.
template <class T> T Need(T loaded, const char* file) {
    if (!loaded) throw TRuntimeError(std::string("cannot load embedded file ") + file);
    return loaded;
}

std::shared_ptr<TImageFont> Font(const char* file, int size, int style) {
    return Need(LoadTextFont(std::string("incbin::") + file, size, style), file);
}

std::shared_ptr<TImage> Image(const char* file) {
    return Need(LoadImageSingle(std::string("incbin::") + file, -1), file);
}

std::shared_ptr<TImage> Strip(const char* file) {
    return Need(LoadImageCells(std::string("incbin::") + file, 32, 32, 0, 6, -1), file);
}

// The sound is decoded whatever the driver; with the silent "Null" driver the
// sound itself may be null, which every sound operation ignores.
std::shared_ptr<TSound> Sound(const char* file) {
    auto sample = Need(SampleLoad(std::string("incbin::") + file), file);
    return SoundLoad(sample, 0);
}

} // namespace

int StartupSeed() {
    return startup_seed;
}

void StartUp(std::FILE* report) {
    SelectGraphicsDriver(Canvas2DDriver(), GFX_DOUBLE_BUFFER);
    if (!OpenGraphics(1024, 768, 32, 50, 0)) throw TRuntimeError("cannot open the 1024 x 768 display");

    const char* audio_line = "OPENAL AUDIO SET";
    if (!SelectAudioDriver("OpenAL")) {
        // Without DirectSound output the "Null" driver stays and the game runs silently.
        SelectAudioDriver("SoftMix DirectSound");
        audio_line = "DIRECT SOUND AUDIO SET";
    }
    if (report) {
        std::fprintf(report, "%s\n", audio_line);
        std::fflush(report);
    }

    SetAutoMidHandle(true);
    startup_seed = ClockMillis();
    SetRandomSeed(startup_seed);

    fnt_small = Font("fnt_manaspc.ttf", 16, 0);
    fnt_medium = Font("fnt_manaspc.ttf", 24, 0);
    fnt_digital = Font("fnt_digital.ttf", 128, FONT_SMOOTH);
    SelectImageFont(fnt_small);

    img_base = Image("gfx_base.png");
    img_base_charge = Strip("gfx_base_charge.png");
    img_base_static = Strip("gfx_base_static.png");
    img_bubble = Image("gfx_bubble.png");
    img_ring = Image("gfx_ring.png");
    img_spark1 = Image("gfx_spark1.png");
    img_spark2 = Image("gfx_spark2.png");
    img_ring_dark = Image("gfx_ring_dark.png");
    img_ring_light = Image("gfx_ring_light.png");

    ResetGameState();

    snd_fiddle = Sound("snd_fiddle.ogg");
    snd_pop = Sound("snd_pop.ogg");
    snd_click = Sound("snd_click.ogg");
    snd_blip = Sound("snd_blip.ogg");

    AddStartingBubbles();

    SetLineWidth(2);
    SetBlend(BLEND_LIGHT);
    FillMessage();
}

void RunScreenCycle() {
    for (;;) {
        if (!RunAttractScreen()) return;
        SetUpRound();
        RunStartCountdown();
        if (!RunRound()) continue; // abandoned with ESC
        RunResults();
    }
}
