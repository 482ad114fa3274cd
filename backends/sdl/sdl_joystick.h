#pragma once
#include "platform/joystick.h"

#include <vector>

// Joypads through SDL's joystick interface. Ports are the devices present in
// SDL's device order as of the last Enumerate; a pad plugged in later gets a
// port at the next Enumerate. A pad unplugged since then still owns its port
// but cannot be read. Initialises SDL's joystick subsystem on first use.
class TSdlJoypadBackend final : public TJoypadBackend {
  public:
    TSdlJoypadBackend() = default;
    ~TSdlJoypadBackend() override;
    TSdlJoypadBackend(const TSdlJoypadBackend&) = delete;
    TSdlJoypadBackend& operator=(const TSdlJoypadBackend&) = delete;

    int Enumerate() override;
    bool Caps(int port, TJoypadCaps& caps) override;
    bool Read(int port, TJoypadRaw& raw) override;

  private:
    bool Ready();
    // SDL instance ids: the joysticks are looked up by id on every use, so a
    // restart of SDL's joystick subsystem leaves nothing dangling.
    std::vector<int> ports_;
    std::vector<int> opened_;
};
