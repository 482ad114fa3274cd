#include "sim/virtual_audio.h"

#include <cstdlib>
#include <memory>

#include "audio/mixer.h"
#include "audio/sound.h"
#include "audio/virtualdevice.h"
#include "platform/clock.h"

namespace {

struct TVirtualAudioState {
    wavwriter recorder;
};

TVirtualAudioState& State() {
    static TVirtualAudioState state;
    return state;
}

virtualdevice* OpenDevice() {
    return dynamic_cast<virtualdevice*>(MixCurrentDevice());
}

std::unique_ptr<audiodevice> CreateVirtualDevice(int) {
    return std::make_unique<virtualdevice>([](const int16_t* values, int frames) {
        wavwriter& recorder = State().recorder;
        if (recorder.isopen()) recorder.append(values, frames);
    });
}

} // namespace

void RegisterVirtualAudioDriver() {
    static const bool registered = [] {
        StartAudio();
        MixUseDeviceFactory(&CreateVirtualDevice);
        TSoftMixAudioDriver::Create("SoftMix DirectSound", 1);
        TSoftMixAudioDriver::Create("SoftMix Multimedia", 0);
        TSoftMixAudioDriver::Create("SoftMix", -1);
        return true;
    }();
    (void)registered;
}

bool VirtualAudioRecord(const std::string& path) {
    static const bool closes_at_exit = [] {
        // After the audio driver's own shutdown (registered earlier), so the
        // last blocks are in.
        std::atexit(VirtualAudioStopRecording);
        return true;
    }();
    (void)closes_at_exit;
    return State().recorder.open(path);
}

void VirtualAudioStopRecording() {
    State().recorder.close();
}

void VirtualAudioAdvance() {
    if (virtualdevice* device = OpenDevice()) device->advance(ClockMillis());
}

int64_t VirtualAudioFrames() {
    virtualdevice* device = OpenDevice();
    return device ? device->frames() : 0;
}
