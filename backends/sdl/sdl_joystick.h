#pragma once
#include "platform/joystick.h"

#include <filesystem>
#include <vector>

// Joypads through SDL's joystick interface. Ports are the devices present in
// SDL's device order as of the last Enumerate; a pad plugged in later gets a
// port at the next Enumerate. A pad unplugged since then still owns its port
// but cannot be read. Initialises SDL's joystick subsystem on first use.
//
// Pads SDL knows a controller mapping for (its own database, and the player's
// mappings file when given) have their four face buttons A, B, X, Y as
// buttons 0-3, whatever their raw numbers; other pads give raw buttons. A pad
// that Steam Input doubles (its virtual gamepad beside the physical device it
// asks games to ignore) counts once.
class TSdlJoypadBackend final : public TJoypadBackend {
  public:
    explicit TSdlJoypadBackend(std::filesystem::path mappings = {}) : mappings_(std::move(mappings)) {}
    ~TSdlJoypadBackend() override;
    TSdlJoypadBackend(const TSdlJoypadBackend&) = delete;
    TSdlJoypadBackend& operator=(const TSdlJoypadBackend&) = delete;

    int Enumerate() override;
    bool Caps(int port, TJoypadCaps& caps) override;
    bool Read(int port, TJoypadRaw& raw) override;

  private:
    bool Ready();
    std::filesystem::path mappings_;
    bool controllers_started_ = false;
    // SDL instance ids: the joysticks are looked up by id on every use, so a
    // restart of SDL's joystick subsystem leaves nothing dangling.
    std::vector<int> ports_;
    std::vector<int> opened_;
};
