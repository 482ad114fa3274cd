#pragma once
#include <cstdint>
#include <memory>

#include "audio/audiodevice.h"

// Sound on the page. A page served from a game host is not cross-origin
// isolated, so it has no threads: SDL's audio callback runs on the page's one
// thread (a Web Audio script processor asking for the next buffer while the
// game sleeps between frames), and the device mixes right there, one mixer
// block a callback.
//
// The lead: a callback's buffer of 2048 frames (about 46 ms) while the browser
// plays the one before it, so about 93 ms, the order the streamed output keeps
// on the desktop; every new sound starts 20 ms after its request as there.
class webaudiodevice final : public audiodevice {
  public:
    static constexpr int FRAMES = 2048;

    ~webaudiodevice() override;
    int blockvalues() override { return FRAMES * 2; }
    int open() override;
    void close() override;

  private:
    static void callback(void* userdata, uint8_t* stream, int len);

    uint32_t device_ = 0;
};

// Starts SDL's audio and, when an output opens here, registers "SoftMix
// DirectSound", "SoftMix Multimedia" and "SoftMix" as the desktop does, each
// with the page's device behind it, so that start-up selects it the same way.
// Returns the number of drivers registered (0 without audio output).
int RegisterWebAudioDrivers();
