#include "backends/sdl/sdl_joystick.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <system_error>

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

// Steam Input's virtual gamepad.
constexpr Uint16 STEAM_VENDOR = 0x28DE, STEAM_VIRTUAL_PAD = 0x11FF;

bool IsSteamVirtualPad(int index) {
    return SDL_JoystickGetDeviceVendor(index) == STEAM_VENDOR &&
           SDL_JoystickGetDeviceProduct(index) == STEAM_VIRTUAL_PAD;
}

// Whether the device is in the list of "0xVVVV/0xPPPP" pairs that Steam gives
// the games it starts, of the physical pads its virtual ones stand for.
bool ListedAsIgnored(int index) {
    const char* list = SDL_GetHint(SDL_HINT_GAMECONTROLLER_IGNORE_DEVICES);
    if (!list) return false;
    const unsigned vendor = SDL_JoystickGetDeviceVendor(index), product = SDL_JoystickGetDeviceProduct(index);
    for (const char* p = list; *p;) {
        char* end = nullptr;
        const unsigned long v = std::strtoul(p, &end, 16);
        if (end != p && *end == '/') {
            const char* q = end + 1;
            const unsigned long pr = std::strtoul(q, &end, 16);
            if (end != q && v == vendor && pr == product) return true;
        }
        p = end && end != p ? end : p + 1;
        while (*p == ',' || *p == ' ')
            ++p;
    }
    return false;
}

void CloseDevice(int id) {
    if (SDL_GameController* pad = SDL_GameControllerFromInstanceID(id)) {
        SDL_GameControllerClose(pad);
    } else if (SDL_Joystick* joy = SDL_JoystickFromInstanceID(id)) {
        SDL_JoystickClose(joy);
    }
}

} // namespace

TSdlJoypadBackend::~TSdlJoypadBackend() {
    if (SDL_WasInit(SDL_INIT_JOYSTICK) == 0) return;
    for (int id : opened_)
        CloseDevice(id);
}

bool TSdlJoypadBackend::Ready() {
    if (SDL_WasInit(SDL_INIT_JOYSTICK) == 0) {
        // Pads are read whether or not the window has the focus, like the
        // keyboard's own state, and headless runs have no focus at all.
        SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
        if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) return false;
    }
    if (controllers_started_) return true;
    // The controller part brings SDL's own mappings; the player's file adds
    // to them.
    controllers_started_ = true;
    if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) return true;
    std::error_code ec;
    if (!mappings_.empty() && std::filesystem::exists(mappings_, ec) &&
        SDL_GameControllerAddMappingsFromFile(mappings_.string().c_str()) < 0)
        std::fprintf(stderr, "controller mappings %s: %s\n", mappings_.string().c_str(), SDL_GetError());
    return true;
}

int TSdlJoypadBackend::Enumerate() {
    ports_.clear();
    if (!Ready()) return 0;
    // Lets SDL notice pads plugged in or pulled out since the last look.
    SDL_JoystickUpdate();
    std::vector<int> still_open;
    const int n = SDL_NumJoysticks();
    bool steam = false;
    for (int index = 0; index < n; ++index)
        steam = steam || IsSteamVirtualPad(index);
    for (int index = 0; index < n && ports_.size() < 256; ++index) {
        const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(index);
        if (id < 0) continue;
        if (steam && !IsSteamVirtualPad(index) && ListedAsIgnored(index)) continue; // Steam's twin is used
        if (std::find(opened_.begin(), opened_.end(), id) == opened_.end()) {
            const bool mapped = SDL_WasInit(SDL_INIT_GAMECONTROLLER) != 0 && SDL_IsGameController(index);
            if (!(mapped ? SDL_GameControllerOpen(index) != nullptr : SDL_JoystickOpen(index) != nullptr))
                continue;
        }
        still_open.push_back(id);
        ports_.push_back(id);
    }
    // Pads that are gone are closed; SDL keeps nothing of them after that.
    for (int id : opened_) {
        if (std::find(still_open.begin(), still_open.end(), id) == still_open.end()) CloseDevice(id);
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
    if (SDL_GameController* pad = SDL_GameControllerFromInstanceID(ports_[port])) {
        // A mapped pad's switch is its face buttons, wherever they are wired.
        raw.buttons &= ~15u;
        const SDL_GameControllerButton face[] = {SDL_CONTROLLER_BUTTON_A, SDL_CONTROLLER_BUTTON_B,
                                                 SDL_CONTROLLER_BUTTON_X, SDL_CONTROLLER_BUTTON_Y};
        for (unsigned b = 0; b < 4; ++b) {
            if (SDL_GameControllerGetButton(pad, face[b])) raw.buttons |= 1u << b;
        }
    }
    const int axes = std::clamp(SDL_JoystickNumAxes(joy), 0, AXES);
    for (int a = 0; a < AXES; ++a)
        raw.axis_pos[a] = a < axes ? SDL_JoystickGetAxis(joy, a) + 32768 : 32768;
    raw.hat = SDL_JoystickNumHats(joy) > 0 ? HatHundredths(SDL_JoystickGetHat(joy, 0)) : JOYPAD_HAT_CENTRED;
    return true;
}
