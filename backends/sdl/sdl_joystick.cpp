#include "backends/sdl/sdl_joystick.h"

#include <SDL.h>

#include <algorithm>

namespace {

constexpr int AXES = 6;

// Hundredths of a degree clockwise from forward, as the hat's readers expect.
int HatHundredths(Uint8 hat) {
    switch (hat) {
    case SDL_HAT_UP:
        return 0;
    case SDL_HAT_RIGHTUP:
        return 4500;
    case SDL_HAT_RIGHT:
        return 9000;
    case SDL_HAT_RIGHTDOWN:
        return 13500;
    case SDL_HAT_DOWN:
        return 18000;
    case SDL_HAT_LEFTDOWN:
        return 22500;
    case SDL_HAT_LEFT:
        return 27000;
    case SDL_HAT_LEFTUP:
        return 31500;
    default:
        return JOYPAD_HAT_CENTRED;
    }
}

} // namespace

TSdlJoypadBackend::~TSdlJoypadBackend() {
    if (SDL_WasInit(SDL_INIT_JOYSTICK) == 0) return;
    for (int id : opened_) {
        if (SDL_Joystick* joy = SDL_JoystickFromInstanceID(id)) SDL_JoystickClose(joy);
    }
}

bool TSdlJoypadBackend::Ready() {
    if (SDL_WasInit(SDL_INIT_JOYSTICK) != 0) return true;
    // Pads are read whether or not the window has the focus, like the
    // keyboard's own state, and headless runs have no focus at all.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    return SDL_InitSubSystem(SDL_INIT_JOYSTICK) == 0;
}

int TSdlJoypadBackend::Enumerate() {
    ports_.clear();
    if (!Ready()) return 0;
    // Lets SDL notice pads plugged in or pulled out since the last look.
    SDL_JoystickUpdate();
    std::vector<int> still_open;
    const int n = SDL_NumJoysticks();
    for (int index = 0; index < n && ports_.size() < 256; ++index) {
        const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(index);
        if (id < 0) continue;
        if (std::find(opened_.begin(), opened_.end(), id) == opened_.end()) {
            if (!SDL_JoystickOpen(index)) continue;
        }
        still_open.push_back(id);
        ports_.push_back(id);
    }
    // Pads that are gone are closed; SDL keeps nothing of them after that.
    for (int id : opened_) {
        if (std::find(still_open.begin(), still_open.end(), id) != still_open.end()) continue;
        if (SDL_Joystick* joy = SDL_JoystickFromInstanceID(id)) SDL_JoystickClose(joy);
    }
    opened_ = std::move(still_open);
    return static_cast<int>(ports_.size());
}

bool TSdlJoypadBackend::Caps(int port, TJoypadCaps& caps) {
    if (port < 0 || port >= static_cast<int>(ports_.size())) return false;
    if (SDL_WasInit(SDL_INIT_JOYSTICK) == 0) return false;
    SDL_Joystick* joy = SDL_JoystickFromInstanceID(ports_[port]);
    if (!joy || !SDL_JoystickGetAttached(joy)) return false;
    const char* name = SDL_JoystickName(joy);
    caps.name = name ? name : "";
    caps.buttons = std::max(0, SDL_JoystickNumButtons(joy));
    caps.axes = std::clamp(SDL_JoystickNumAxes(joy), 0, AXES);
    caps.hat = SDL_JoystickNumHats(joy) > 0;
    // SDL reports -32768..32767; shifted to 0..65535 the usual scaling gives
    // -1..1.
    for (int a = 0; a < AXES; ++a) {
        caps.axis_min[a] = 0;
        caps.axis_max[a] = 65535;
    }
    return true;
}

bool TSdlJoypadBackend::Read(int port, TJoypadRaw& raw) {
    if (port < 0 || port >= static_cast<int>(ports_.size())) return false;
    if (SDL_WasInit(SDL_INIT_JOYSTICK) == 0) return false;
    // Every read looks at the device anew.
    SDL_JoystickUpdate();
    SDL_Joystick* joy = SDL_JoystickFromInstanceID(ports_[port]);
    if (!joy || !SDL_JoystickGetAttached(joy)) return false;
    raw = TJoypadRaw{};
    const int buttons = std::min(SDL_JoystickNumButtons(joy), 32);
    for (int b = 0; b < buttons; ++b) {
        if (SDL_JoystickGetButton(joy, b)) raw.buttons |= 1u << b;
    }
    const int axes = std::clamp(SDL_JoystickNumAxes(joy), 0, AXES);
    for (int a = 0; a < AXES; ++a)
        raw.axis_pos[a] = a < axes ? SDL_JoystickGetAxis(joy, a) + 32768 : 32768;
    raw.hat = SDL_JoystickNumHats(joy) > 0 ? HatHundredths(SDL_JoystickGetHat(joy, 0)) : JOYPAD_HAT_CENTRED;
    return true;
}
