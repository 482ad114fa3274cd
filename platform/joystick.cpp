#include "platform/joystick.h"

#include <algorithm>
#include <utility>

namespace {

constexpr int PORTS = 16;
constexpr int SLOTS = 16;
constexpr int COUNTED_BUTTONS = 16;
constexpr int AXES = 6;

struct TPortState {
    unsigned buttons = 0;
    float axes[SLOTS] = {};
    int hits[COUNTED_BUTTONS] = {};
};

struct TJoypadState {
    std::shared_ptr<TJoypadBackend> backend;
    std::shared_ptr<TJoypadButtonFilter> filter;
    TPortState ports[PORTS];
};

TJoypadState& State() {
    static TJoypadState state;
    return state;
}

bool ValidPort(int port) {
    return port >= 0 && port < PORTS;
}

bool ReadCaps(int port, TJoypadCaps& caps) {
    TJoypadState& s = State();
    return s.backend && s.backend->Caps(port, caps);
}

// Reads the device into the port's state; on failure nothing is stored.
bool ReadPort(int port) {
    TJoypadState& s = State();
    if (!s.backend) return false;
    TJoypadCaps caps;
    TJoypadRaw raw;
    if (!s.backend->Caps(port, caps) || !s.backend->Read(port, raw)) return false;
    TPortState& p = s.ports[port];
    p.buttons = s.filter ? s.filter->Filter(port, raw.buttons) : raw.buttons;
    for (int a = 0; a < AXES; ++a) {
        // A device reporting a zero range has nothing to scale; it reads -1
        // rather than dividing by zero.
        const int max = caps.axis_max[a];
        p.axes[a] = max != 0 ? 2.0f * static_cast<float>(raw.axis_pos[a] - caps.axis_min[a]) /
                                       static_cast<float>(max) -
                                   1.0f
                             : -1.0f;
    }
    p.axes[JOYPAD_AXIS_HAT] =
        (raw.hat < 0 || raw.hat > 36000) ? -1.0f : static_cast<float>(raw.hat) / 36000.0f;
    return true;
}

} // namespace

void UseJoypadButtonFilter(std::shared_ptr<TJoypadButtonFilter> filter) {
    State().filter = std::move(filter);
}

void UseJoypadBackend(std::shared_ptr<TJoypadBackend> backend) {
    TJoypadState& s = State();
    s.backend = std::move(backend);
    for (TPortState& p : s.ports)
        p = TPortState{};
}

int CountJoypads() {
    TJoypadState& s = State();
    if (!s.backend) return 0;
    return std::max(0, s.backend->Enumerate());
}

int JoypadPresent(int port) {
    return port >= 0 && port < CountJoypads() ? 1 : 0;
}

std::string JoypadName(int port) {
    TJoypadCaps caps;
    if (!ValidPort(port) || !ReadCaps(port, caps)) return {};
    return caps.name;
}

int JoypadButtonMask(int port) {
    TJoypadCaps caps;
    if (!ValidPort(port) || !ReadCaps(port, caps)) return 0;
    const int n = std::clamp(caps.buttons, 0, 31);
    return static_cast<int>((1u << n) - 1u);
}

int JoypadAxisMask(int port) {
    TJoypadCaps caps;
    if (!ValidPort(port) || !ReadCaps(port, caps)) return 0;
    const int n = std::clamp(caps.axes, 0, AXES);
    return static_cast<int>((1u << n) - 1u) + (caps.hat ? 512 : 0);
}

void SampleJoypad(int port) {
    if (!ValidPort(port)) return;
    TPortState& p = State().ports[port];
    const unsigned before = p.buttons;
    if (!ReadPort(port)) return;
    const unsigned pressed = p.buttons & ~before;
    for (int b = 0; b < COUNTED_BUTTONS; ++b) {
        if (pressed & (1u << b)) ++p.hits[b];
    }
}

bool ReadJoypadButtons(int port, unsigned& buttons) {
    TJoypadState& s = State();
    TJoypadRaw raw;
    if (!ValidPort(port) || !s.backend || !s.backend->Read(port, raw)) return false;
    buttons = raw.buttons;
    return true;
}

int IsJoyButtonDown(int button, int port) {
    if (!ValidPort(port)) return 0;
    SampleJoypad(port);
    if (button < 0 || button >= 32) return 0;
    return (State().ports[port].buttons >> button) & 1u ? 1 : 0;
}

int TakeJoyButtonHits(int button, int port) {
    if (!ValidPort(port)) return 0;
    SampleJoypad(port);
    if (button < 0 || button >= COUNTED_BUTTONS) return 0;
    int& hits = State().ports[port].hits[button];
    const int n = hits;
    hits = 0;
    return n;
}

float JoypadAxisValue(int port, int slot) {
    if (!ValidPort(port)) return 0.0f;
    SampleJoypad(port);
    if (slot < 0 || slot >= SLOTS) return 0.0f;
    return State().ports[port].axes[slot];
}

int JoypadAxisDirection(int port, int slot) {
    const float v = JoypadAxisValue(port, slot);
    if (v < -0.5f) return -1;
    if (v > 0.5f) return 1;
    return 0;
}

void ClearJoypads(int port_mask) {
    const int n = std::min(CountJoypads(), PORTS);
    for (int port = 0; port < n; ++port) {
        if (!((static_cast<unsigned>(port_mask) >> port) & 1u)) continue;
        SampleJoypad(port);
        TPortState& p = State().ports[port];
        p.buttons = 0;
        if (State().filter) State().filter->Forget(port);
        std::fill(std::begin(p.hits), std::end(p.hits), 0);
    }
}
