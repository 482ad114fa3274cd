#pragma once
#include <memory>
#include <string>

// Joypads, polled like the keyboard: ports 0, 1, 2 ... are the joypads
// present, in a stable order; every query reads the device anew, and a press
// is a button going from up to held between two samples of its port.
// Per-port state exists for ports 0..15; other ports are answered with 0.

// Axis slots of JoypadAxisValue.
enum : int {
    JOYPAD_AXIS_X = 0,
    JOYPAD_AXIS_Y = 1,
    JOYPAD_AXIS_Z = 2,
    JOYPAD_AXIS_R = 3,
    JOYPAD_AXIS_U = 4,
    JOYPAD_AXIS_V = 5,
    JOYPAD_AXIS_HAT = 9,
};

// Hat reading that means "centred" (anything above 36000 is centred).
constexpr int JOYPAD_HAT_CENTRED = 65535;

// What a backend reports about a device.
struct TJoypadCaps {
    std::string name;
    int buttons = 0; // number of buttons
    int axes = 0;    // number of axes, at most 6 (x, y, z, r, u, v)
    bool hat = false;
    // Range of each axis: value = 2 * (pos - min) / max - 1.
    int axis_min[6] = {0, 0, 0, 0, 0, 0};
    int axis_max[6] = {65535, 65535, 65535, 65535, 65535, 65535};
};

// One raw reading of a device.
struct TJoypadRaw {
    unsigned buttons = 0;                 // bit b while button b is held
    int axis_pos[6] = {0, 0, 0, 0, 0, 0}; // x, y, z, r, u, v positions
    int hat = JOYPAD_HAT_CENTRED;         // hundredths of a degree clockwise from forward
};

// Reads raw joypad state. The portable layer keeps the per-port state and
// counts presses; the backend only enumerates and reads.
class TJoypadBackend {
  public:
    virtual ~TJoypadBackend() = default;
    // Finds the devices present and renumbers the ports 0..n-1; returns n.
    virtual int Enumerate() = 0;
    // Capabilities of the device at port (as last enumerated); false if they
    // cannot be read (no such port, unplugged).
    virtual bool Caps(int port, TJoypadCaps& caps) = 0;
    // Current state of the device at port; false if it cannot be read.
    virtual bool Read(int port, TJoypadRaw& raw) = 0;
};

// Changes what the buttons read before the joypad layer keeps them (the
// switch-timing filters of platform/switch_timing.h are one).
class TJoypadButtonFilter {
  public:
    virtual ~TJoypadButtonFilter() = default;
    // The buttons the port counts as held, from the ones read now.
    virtual unsigned Filter(int port, unsigned buttons) = 0;
    // ClearJoypads cleared the port: its state is to be forgotten.
    virtual void Forget(int port) = 0;
};
// Installs one (null: none, the buttons as read).
void UseJoypadButtonFilter(std::shared_ptr<TJoypadButtonFilter> filter);

// Installs the joypad backend (null: none, no joypads present).
void UseJoypadBackend(std::shared_ptr<TJoypadBackend> backend);

int CountJoypads();
int JoypadPresent(int port);
// Product name, empty if the capabilities cannot be read.
std::string JoypadName(int port);
int JoypadButtonMask(int port);
int JoypadAxisMask(int port);
// Reads the device now and counts new presses.
void SampleJoypad(int port);
// Reads the device's buttons (bit b while button b is held) without counting
// presses or changing what the queries answer; false if it cannot be read.
bool ReadJoypadButtons(int port, unsigned& buttons);
// Samples; 1 while the button is held.
int IsJoyButtonDown(int button, int port);
// Samples; presses of the button (0..15) not yet taken, then 0.
int TakeJoyButtonHits(int button, int port);
// Samples; the value of an axis slot 0..10: -1..1, the hat as a fraction of a
// turn clockwise from forward (-1 centred).
float JoypadAxisValue(int port, int slot);
// Samples; -1, 0 or 1: the sign of an axis slot beyond a dead zone of 0.5.
int JoypadAxisDirection(int port, int slot);
// For every present port in port_mask (bit p = port p): samples it, then
// forgets its held buttons and pending presses, so that a button still held
// counts as a new press at the next sample.
void ClearJoypads(int port_mask = -1);

// Short names for the button queries.
inline int JoyHit(int button, int port) {
    return TakeJoyButtonHits(button, port);
}
inline int JoyDown(int button, int port) {
    return IsJoyButtonDown(button, port);
}
