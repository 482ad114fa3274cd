#pragma once
#include "platform/joystick.h"
#include "platform/system.h"

#include <deque>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// The input script of a simulated run: one event per line, `FRAME EVENT ARGS`,
//   key-down K | key-up K      key code 1..255
//   joypads N                  N joypads (0..4) present from then on
//   joy-down P B | joy-up P B  button B (0..15) of port P (0..15)
// Blank lines and lines starting with '#' are ignored; frames start at 1 and
// never go down.

// A script that cannot be used; the message names the line and the problem
// ("line 3: key code 300 is not in 1..255").
class TInputScriptError : public std::runtime_error {
  public:
    explicit TInputScriptError(const std::string& message) : std::runtime_error(message) {}
};

struct TScriptEvent {
    enum class Kind { KeyDown, KeyUp, Joypads, JoyDown, JoyUp };
    int frame = 1;
    Kind kind = Kind::KeyDown;
    int a = 0; // key, joypad count or port
    int b = 0; // button
    int line = 0;
};

struct TInputScript {
    std::vector<TScriptEvent> events; // in file order
};

// Throws TInputScriptError.
TInputScript ParseInputScript(std::string_view text);
// Reads and parses a file; an unreadable file is a TInputScriptError too
// ("cannot be read"). The messages do not repeat the file's name: the caller
// puts it in front.
TInputScript LoadInputScript(const std::string& path);

// System driver whose events come from a queue: pushed events are emitted,
// in order, by the next Poll. Keeps the modifier mask from the modifier keys
// it has seen go down and up.
class TScriptedSystemDriver final : public TSystemDriver {
  public:
    void Push(int id, int data);
    void Poll() override;
    void Wait() override { Poll(); }
    std::size_t Pending() const { return queue_.size(); }

  private:
    struct TQueued {
        int id;
        int data;
    };
    std::deque<TQueued> queue_;
    bool modifier_down_[256] = {};
};

// Joypads whose buttons are set by hand. Ports below the present count can be
// read; the others remember their buttons and fail to read until enough
// joypads are present.
class TScriptedJoypadBackend final : public TJoypadBackend {
  public:
    static constexpr int PORTS = 16;

    void SetPresent(int count);
    void SetButton(int port, int button, bool down);
    int Present() const { return present_; }

    int Enumerate() override { return present_; }
    bool Caps(int port, TJoypadCaps& caps) override;
    bool Read(int port, TJoypadRaw& raw) override;

  private:
    int present_ = 0;
    unsigned buttons_[PORTS] = {};
};

// A script being played: DeliverFrame(k) hands over the events of frame k
// (and of any earlier frame not yet delivered). Key events go into the
// driver's queue, to be seen by the next pump; a key-down of a key the script
// already holds is a repeat. Joypad events change what the next sample reads.
class TScriptedInput {
  public:
    explicit TScriptedInput(TInputScript script = {});

    // Makes the scripted driver and joypads the current ones.
    void Install();
    void DeliverFrame(int frame);
    // The frame of the last event, 0 for an empty script.
    int LastFrame() const;

    TScriptedSystemDriver& Driver() { return *driver_; }
    TScriptedJoypadBackend& Joypads() { return *joypads_; }
    const std::shared_ptr<TScriptedSystemDriver>& DriverPtr() const { return driver_; }
    const std::shared_ptr<TScriptedJoypadBackend>& JoypadsPtr() const { return joypads_; }

  private:
    TInputScript script_;
    std::size_t next_ = 0;
    bool key_held_[256] = {};
    std::shared_ptr<TScriptedSystemDriver> driver_;
    std::shared_ptr<TScriptedJoypadBackend> joypads_;
};
