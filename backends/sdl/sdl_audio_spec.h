#pragma once
// What the SDL sound outputs (the desktop's and the browser page's) ask SDL for.
#include <SDL.h>

// 44.1 kHz 16-bit stereo, as the mixer makes it, with `frames` frames between
// callbacks.
inline SDL_AudioSpec GameAudioSpec(int frames, SDL_AudioCallback callback, void* userdata) {
    SDL_AudioSpec want;
    SDL_zero(want);
    want.freq = 44100;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = static_cast<Uint16>(frames);
    want.callback = callback;
    want.userdata = userdata;
    return want;
}

// SDL's sound subsystem, started once; false when it cannot start.
inline bool StartSdlAudio() {
    if (SDL_WasInit(SDL_INIT_AUDIO)) return true;
    return SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
}
