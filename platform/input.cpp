#include "platform/input.h"

#include "platform/event.h"
#include "platform/hook.h"
#include "platform/switch_timing.h"
#include "platform/system.h"

#include <algorithm>
#include <any>
#include <cstdint>
#include <memory>

namespace {

constexpr int KEYS = 256;
constexpr int CHAR_QUEUE = 256;
constexpr int MOUSE_BUTTONS = 4; // indexed by button 1..3

struct TInputState {
    int key_states[KEYS] = {};
    int key_hits[KEYS] = {};
    int chars[CHAR_QUEUE] = {};
    std::uint64_t char_put = 0, char_get = 0;
    int mouse_states[MOUSE_BUTTONS] = {};
    int mouse_hits[MOUSE_BUTTONS] = {};
    int mouse_x = 0, mouse_y = 0, mouse_z = 0;
    int last_x = 0, last_y = 0, last_z = 0;
    bool suspended = false;
    bool close_requested = false;
    bool tracking = false;
    const void* source_filter = nullptr;
};

TInputState& State() {
    static TInputState state;
    return state;
}

void ForgetKeys(TInputState& s) {
    std::fill(std::begin(s.key_states), std::end(s.key_states), 0);
    std::fill(std::begin(s.key_hits), std::end(s.key_hits), 0);
    s.char_put = s.char_get = 0;
}

void ForgetMouse(TInputState& s) {
    std::fill(std::begin(s.mouse_states), std::end(s.mouse_states), 0);
    std::fill(std::begin(s.mouse_hits), std::end(s.mouse_hits), 0);
    s.mouse_z = 0;
}

// A press counts only when the key goes from up to down: a key whose key-up
// was lost does not count again.
void Press(int* states, int* hits, int index) {
    if (states[index] == 0) {
        states[index] = 1;
        ++hits[index];
    }
}

THookData TrackingHook(int, const THookData& data, void*) {
    const auto* held = std::any_cast<std::shared_ptr<TEvent>>(&data);
    if (!held || !*held) return data;
    const TEvent& e = **held;
    TInputState& s = State();
    if (s.source_filter && e.source != s.source_filter) return data;
    switch (e.id) {
    case EVENT_KEYDOWN:
        if (e.data >= 0 && e.data < KEYS) Press(s.key_states, s.key_hits, e.data);
        break;
    case EVENT_KEYUP:
        if (e.data >= 0 && e.data < KEYS) s.key_states[e.data] = 0;
        break;
    case EVENT_KEYCHAR:
        if (s.char_put - s.char_get < CHAR_QUEUE) s.chars[s.char_put++ % CHAR_QUEUE] = e.data;
        break;
    case EVENT_MOUSEDOWN:
        if (e.data >= 1 && e.data < MOUSE_BUTTONS) Press(s.mouse_states, s.mouse_hits, e.data);
        break;
    case EVENT_MOUSEUP:
        if (e.data >= 1 && e.data < MOUSE_BUTTONS) s.mouse_states[e.data] = 0;
        break;
    case EVENT_MOUSEMOVE:
        s.mouse_x = e.x;
        s.mouse_y = e.y;
        break;
    case EVENT_MOUSEWHEEL:
        s.mouse_z += e.data;
        break;
    case EVENT_APPSUSPEND:
        // Whatever happens while another window has the focus is not ours:
        // a key held across the switch counts as up until pressed again.
        ForgetKeys(s);
        ForgetMouse(s);
        s.suspended = true;
        break;
    case EVENT_APPRESUME:
        ForgetKeys(s);
        ForgetMouse(s);
        s.suspended = false;
        break;
    case EVENT_APPTERMINATE:
        s.close_requested = true;
        break;
    default:
        break;
    }
    return data;
}

int TakeCount(int* hits, int index) {
    const int n = hits[index];
    hits[index] = 0;
    return n;
}

} // namespace

void StartInputTracking(const void* source) {
    TInputState& s = State();
    if (s.tracking) return;
    s.source_filter = source;
    ForgetKeys(s);
    ForgetMouse(s);
    InsertHook(EmitEventHookId(), TrackingHook, nullptr, INPUT_PRIORITY_TRACKING);
    s.tracking = true;
}

void StopInputTracking() {
    TInputState& s = State();
    DeleteHook(EmitEventHookId(), TrackingHook, nullptr);
    ForgetKeys(s);
    ForgetMouse(s);
    s.source_filter = nullptr;
    s.tracking = false;
}

bool InputTrackingActive() {
    return State().tracking;
}

int TakeKeyHits(int key) {
    PumpSystemEvents();
    if (key < 0 || key >= KEYS) return 0;
    return TakeCount(State().key_hits, key);
}

int IsKeyDown(int key) {
    PumpSystemEvents();
    if (key < 0 || key >= KEYS) return 0;
    return State().key_states[key];
}

int NextKeyChar() {
    PumpSystemEvents();
    TInputState& s = State();
    if (s.char_get == s.char_put) return 0;
    return s.chars[s.char_get++ % CHAR_QUEUE];
}

void ClearKeyState() {
    PumpSystemEvents();
    ForgetKeys(State());
    ForgetSwitchKeys();
}

bool ForwardedPast(const TEvent& e, int priority) {
    const auto* f = std::any_cast<TForwardedInput>(&e.extra);
    return f && priority >= f->priority;
}

int WaitAnyKey() {
    ClearKeyState();
    TInputState& s = State();
    for (;;) {
        for (int k = 1; k < KEYS; ++k) {
            if (s.key_hits[k]) {
                s.key_hits[k] = 0;
                return k;
            }
        }
        WaitSystemEvent();
    }
}

int WaitAnyChar() {
    ClearKeyState();
    for (;;) {
        if (const int c = NextKeyChar()) return c;
        WaitSystemEvent();
    }
}

int TakeMouseHits(int button) {
    PumpSystemEvents();
    if (button < 1 || button >= MOUSE_BUTTONS) return 0;
    return TakeCount(State().mouse_hits, button);
}

int IsMouseDown(int button) {
    PumpSystemEvents();
    if (button < 1 || button >= MOUSE_BUTTONS) return 0;
    return State().mouse_states[button];
}

int MousePosX() {
    PumpSystemEvents();
    return State().mouse_x;
}

int MousePosY() {
    PumpSystemEvents();
    return State().mouse_y;
}

int MouseWheelPos() {
    PumpSystemEvents();
    return State().mouse_z;
}

int MouseMoveX() {
    PumpSystemEvents();
    TInputState& s = State();
    const int d = s.mouse_x - s.last_x;
    s.last_x = s.mouse_x;
    return d;
}

int MouseMoveY() {
    PumpSystemEvents();
    TInputState& s = State();
    const int d = s.mouse_y - s.last_y;
    s.last_y = s.mouse_y;
    return d;
}

int MouseWheelMove() {
    PumpSystemEvents();
    TInputState& s = State();
    const int d = s.mouse_z - s.last_z;
    s.last_z = s.mouse_z;
    return d;
}

void ClearMouseState() {
    PumpSystemEvents();
    ForgetMouse(State());
}

int WaitAnyMouse() {
    ClearMouseState();
    TInputState& s = State();
    for (;;) {
        for (int b = 1; b < MOUSE_BUTTONS; ++b) {
            if (s.mouse_hits[b]) {
                s.mouse_hits[b] = 0;
                return b;
            }
        }
        WaitSystemEvent();
    }
}

int IsAppSuspended() {
    PumpSystemEvents();
    return State().suspended ? 1 : 0;
}

int TakeCloseRequest() {
    PumpSystemEvents();
    TInputState& s = State();
    const int r = s.close_requested ? 1 : 0;
    s.close_requested = false;
    return r;
}
