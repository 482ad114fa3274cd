#include "backends/web/web_audio.h"

#include <SDL.h>

#include "audio/sound.h"
#include "backends/sdl/sdl_audio_spec.h"

namespace {

std::unique_ptr<audiodevice> CreateWebAudioDevice(int) {
    return std::make_unique<webaudiodevice>();
}

} // namespace

webaudiodevice::~webaudiodevice() {
    close();
}

int webaudiodevice::open() {
    if (!mix || !StartSdlAudio()) return -1;
    mix->outputrate = 44100;
    mix->outputchannels = 2;
    // SDL converts to the browser's own rate (often 48000 Hz) behind the
    // callback, which always asks for 44100 Hz blocks of FRAMES.
    SDL_AudioSpec want = GameAudioSpec(webaudiodevice::FRAMES, &webaudiodevice::callback, this);
    SDL_AudioSpec have;
    device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device_ == 0) return -1;
    SDL_PauseAudioDevice(device_, 0);
    return 0;
}

void webaudiodevice::close() {
    if (device_ == 0) return;
    // The callback runs on this same thread: none runs now, and none after this.
    SDL_CloseAudioDevice(device_);
    device_ = 0;
    if (mix) mix->stopall();
}

void webaudiodevice::callback(void* userdata, uint8_t* stream, int len) {
    auto* self = static_cast<webaudiodevice*>(userdata);
    self->mix->mix16(reinterpret_cast<int16_t*>(stream), len / 2);
}

int RegisterWebAudioDrivers() {
    static const int registered = [] {
        StartAudio();
        if (!StartSdlAudio()) return 0;
        TSoftMixAudioDriver::Create("SoftMix DirectSound", 1);
        TSoftMixAudioDriver::Create("SoftMix Multimedia", 0);
        TSoftMixAudioDriver::Create("SoftMix", -1);
        return 3;
    }();
    if (registered) MixUseDeviceFactory(&CreateWebAudioDevice);
    return registered;
}
