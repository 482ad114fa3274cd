#pragma once
#include <memory>

// The system driver pumps the platform's events, turning them into TEvents
// that it emits (TEvent::Emit). The game installs the SDL driver at
// start-up (UseSdlInput); the simulator and tests install a scripted one.
class TSystemDriver {
  public:
    virtual ~TSystemDriver() = default;
    // Processes every pending platform event.
    virtual void Poll() = 0;
    // Blocks until at least one event arrives, then polls.
    virtual void Wait() = 0;
    // Puts the pointer at client point (x, y) of the active window.
    virtual void MoveMouse(int x, int y) {
        (void)x;
        (void)y;
    }
    // Shows or hides the pointer while it is over the program's window.
    virtual void SetMouseVisible(bool visible) { (void)visible; }
};

// The current system driver. Until one is installed a driver that has
// nothing to pump is current. Installing null goes back to it.
void UseSystemDriver(std::shared_ptr<TSystemDriver> driver);
TSystemDriver& CurrentSystemDriver();

// Polls the current driver. A pump already under way (a query made from
// inside a hook) is not re-entered: the inner call returns at once.
void PumpSystemEvents();
// Waits for events, then pumps (same guard).
void WaitSystemEvent();
// The hook chain run after every poll of the driver, inside the pump's guard
// (inputs that are read rather than sent, such as joypad buttons acting as
// keys, emit their events here).
int PollHookId();

// The modifier mask (MODIFIER_* sum) that drivers put into the events they
// emit; drivers keep it up to date as modifier keys go down and up.
int CurrentModifiers();
void SetCurrentModifiers(int mods);

// Makes an event with the current modifier mask and emits it.
void EmitSystemEvent(int id, const void* source = nullptr, int data = 0, int x = 0, int y = 0);

// Pointer helpers through the current driver; the visibility flag is kept
// here so that a newly installed driver can apply it.
void MoveMouse(int x, int y);
void SetMouseVisible(bool visible);
void ShowMouse();
void HideMouse();
bool MouseVisible();
