#include "platform/system.h"

#include "platform/event.h"
#include "platform/hook.h"

#include <chrono>
#include <thread>
#include <utility>

namespace {

// The driver current until the game or the simulator installs one: there is
// no platform to pump.
class TNullSystemDriver final : public TSystemDriver {
  public:
    void Poll() override {}
    // Nothing will ever arrive; sleep a little so a waiting loop does not spin.
    void Wait() override { std::this_thread::sleep_for(std::chrono::milliseconds(1)); }
};

struct TSystemState {
    std::shared_ptr<TSystemDriver> driver = std::make_shared<TNullSystemDriver>();
    bool pumping = false;
    int mods = 0;
    bool mouse_visible = true;
};

TSystemState& State() {
    static TSystemState state;
    return state;
}

// Clears the pump's guard however the pump ends (a hook may throw).
class TPumpGuard {
  public:
    explicit TPumpGuard(bool& flag) : flag_(flag) { flag_ = true; }
    ~TPumpGuard() { flag_ = false; }
    TPumpGuard(const TPumpGuard&) = delete;
    TPumpGuard& operator=(const TPumpGuard&) = delete;

  private:
    bool& flag_;
};

} // namespace

void UseSystemDriver(std::shared_ptr<TSystemDriver> driver) {
    TSystemState& s = State();
    s.driver = driver ? std::move(driver) : std::make_shared<TNullSystemDriver>();
    s.driver->SetMouseVisible(s.mouse_visible);
}

TSystemDriver& CurrentSystemDriver() {
    return *State().driver;
}

void PumpSystemEvents() {
    TSystemState& s = State();
    if (s.pumping) return;
    TPumpGuard guard(s.pumping);
    // Keep the driver alive even if a hook installs another one meanwhile.
    const std::shared_ptr<TSystemDriver> driver = s.driver;
    driver->Poll();
    CallHooks(PollHookId(), {});
}

void WaitSystemEvent() {
    TSystemState& s = State();
    if (s.pumping) return;
    TPumpGuard guard(s.pumping);
    const std::shared_ptr<TSystemDriver> driver = s.driver;
    driver->Wait();
    CallHooks(PollHookId(), {});
}

int PollHookId() {
    static const int id = NewHookId();
    return id;
}

int CurrentModifiers() {
    return State().mods;
}
void SetCurrentModifiers(int mods) {
    State().mods = mods;
}

void EmitSystemEvent(int id, const void* source, int data, int x, int y) {
    TEvent event;
    event.id = id;
    event.source = source;
    event.data = data;
    event.mods = State().mods;
    event.x = x;
    event.y = y;
    event.Emit();
}

void MoveMouse(int x, int y) {
    State().driver->MoveMouse(x, y);
}

void SetMouseVisible(bool visible) {
    TSystemState& s = State();
    s.mouse_visible = visible;
    s.driver->SetMouseVisible(visible);
}

void ShowMouse() {
    SetMouseVisible(true);
}
void HideMouse() {
    SetMouseVisible(false);
}
bool MouseVisible() {
    return State().mouse_visible;
}
