#pragma once
#include <vector>

#include "platform/joystick.h"

// Joypads through the multimedia joystick interface (joyGetNumDevs,
// joyGetPos, joyGetDevCapsA, joyGetPosEx). Ports are the joystick ids that
// answered at the last Enumerate, in id order; before the first Enumerate
// every port refers to joystick id 0. A joystick that is unplugged, or an id
// the system rejects, reads as failure, so its last state is kept.
class TWin32JoypadBackend final : public TJoypadBackend {
  public:
    int Enumerate() override;
    bool Caps(int port, TJoypadCaps& caps) override;
    bool Read(int port, TJoypadRaw& raw) override;

    // The joystick id behind a port.
    unsigned JoystickId(int port) const;

  private:
    static constexpr int MAXPORTS = 256;
    std::vector<unsigned> ids_;
    bool enumerated_ = false;
};
