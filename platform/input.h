#pragma once

// Polled keyboard and mouse state, kept by the input-tracking hook from the
// emitted events. Opening the display starts tracking; the game only queries.
// Keys are numbered as virtual-key codes (the KEY_* names below).
// Every query first pumps the system events (PumpSystemEvents), so reading a
// key in a frame also handles what arrived since the last read.

// The virtual-key codes of the keys the game and the simulator name.
constexpr int KEY_ENTER = 13;
constexpr int KEY_SHIFT = 16; // either shift, when the side is not known
constexpr int KEY_CONTROL = 17;
constexpr int KEY_ALT = 18;
constexpr int KEY_ESCAPE = 27;
constexpr int KEY_SPACE = 32;
constexpr int KEY_DIGIT_1 = 49; // the 1 above the letters
constexpr int KEY_LEFT_SYSTEM = 91;
constexpr int KEY_RIGHT_SYSTEM = 92;
constexpr int KEY_NUMPAD_MINUS = 109;
constexpr int KEY_LEFT_SHIFT = 160;
constexpr int KEY_RIGHT_SHIFT = 161;
constexpr int KEY_LEFT_CONTROL = 162;
constexpr int KEY_RIGHT_CONTROL = 163;
constexpr int KEY_LEFT_ALT = 164;
constexpr int KEY_RIGHT_ALT = 165;

// The order of the input hooks in the emit chain (higher runs first): the
// window shortcuts stay in the backends, then extra bindings turn other
// inputs into the players' keys (platform/bindings.h), then the
// switch-timing filters, then the key and pad tracking the game queries.
constexpr int INPUT_PRIORITY_BINDINGS = 200;
constexpr int INPUT_PRIORITY_FILTERS = 100;
constexpr int INPUT_PRIORITY_TRACKING = 0;

// An input hook that sends an event on later (a press the switch-timing
// filters held back) marks it with this in the event's extra: the hooks at
// its priority and above, which have seen the event already, pass it as it is.
struct TForwardedInput {
    int priority = 0; // of the hook that sent it
};
class TEvent;
// Whether e was sent on by a hook at priority or below it.
bool ForwardedPast(const TEvent& e, int priority);

// Starts tracking the events of source (null: of every source); does nothing
// when tracking is already on. Clears key and mouse state.
void StartInputTracking(const void* source = nullptr);
// Stops tracking and forgets all key and mouse state.
void StopInputTracking();
bool InputTrackingActive();

// Presses of key (0..255) since the last call for it; clears the count.
// Key repeats are not presses. Keys outside 0..255 give 0.
int TakeKeyHits(int key);
// 1 while the key is down, else 0.
int IsKeyDown(int key);
// Next typed character (UTF-16 unit), 0 if none.
int NextKeyChar();
// Pumps, then forgets all key states, counts and queued characters.
void ClearKeyState();
// Clears key state, then waits until some key 1..255 has a press; returns it.
int WaitAnyKey();
// Clears key state, then waits until a character is typed; returns it.
int WaitAnyChar();

// Mouse buttons 1 left, 2 right, 3 middle.
int TakeMouseHits(int button);
int IsMouseDown(int button);
int MousePosX();
int MousePosY();
int MouseWheelPos();
// Change since the last call of the same query.
int MouseMoveX();
int MouseMoveY();
int MouseWheelMove();
// Forgets mouse button states and counts; the wheel position becomes 0.
void ClearMouseState();
// Clears mouse state, then waits until a button 1..3 has a press; returns it.
int WaitAnyMouse();

// 1 while the application is switched away from (focus lost).
int IsAppSuspended();
// 1 once after the window was asked to close; clears the flag.
int TakeCloseRequest();

// Short names for the key queries.
inline int KeyHit(int key) {
    return TakeKeyHits(key);
}
inline int KeyDown(int key) {
    return IsKeyDown(key);
}
