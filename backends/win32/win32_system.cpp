#include "backends/win32/win32_system.h"

#include <windows.h>
#include <mmsystem.h>

#include <memory>
#include <string>

#include "platform/error.h"
#include "platform/event.h"
#include "platform/joystick.h"
#include "backends/win32/win32_joystick.h"

namespace {

struct TWin32SystemState {
    // The thread whose messages the driver pumps (and the target of posted calls).
    DWORD main_thread = 0;

    // The window under the mouse (null: none of ours), and whether the pointer is
    // meant to be visible over our windows.
    HWND mouse_window = nullptr;
    bool mouse_visible = true;
    bool cursor_hidden = false;

    std::string deferred_error;
    bool has_deferred_error = false;
};

TWin32SystemState& State() {
    // Never destroyed: the system driver, released with the platform's own state
    // at exit, still clears main_thread from its destructor.
    static TWin32SystemState* state = new TWin32SystemState;
    return *state;
}

struct TCallRecord {
    TWin32CallFunc fn;
    void* a;
    void* b;
    TWin32ReleaseFunc release;
};

// The cursor shows while the pointer may be seen or is over none of our
// windows; the system's show counter only ever moves between 0 and -1.
void UpdateCursor() {
    TWin32SystemState& s = State();
    const bool hide = !s.mouse_visible && s.mouse_window != nullptr;
    if (hide == s.cursor_hidden) return;
    s.cursor_hidden = hide;
    ShowCursor(hide ? FALSE : TRUE);
}

// Calls carried over from other threads run as their message is taken from
// the queue; the message then goes on to the rest of the hook chain.
LRESULT CALLBACK GetMessageHook(int code, WPARAM wparam, LPARAM lparam) {
    if (code == HC_ACTION && wparam == PM_REMOVE) {
        MSG* msg = reinterpret_cast<MSG*>(lparam);
        if (msg && msg->hwnd == nullptr && msg->message == WIN32_CALL_MESSAGE && msg->lParam != 0) {
            std::unique_ptr<TCallRecord> call(reinterpret_cast<TCallRecord*>(msg->lParam));
            msg->lParam = 0; // taken: a second look at this message does nothing
            call->fn(call->a, call->b);
            if (call->release) call->release(call->a);
        }
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}

bool IsChildControl(HWND window) {
    const LONG_PTR style = GetWindowLongPtrA(window, GWL_STYLE);
    return (style & WS_CHILD) && (style & WS_TABSTOP);
}

bool IsModifierKey(WPARAM vk) {
    return (vk >= 16 && vk <= 18) || vk == 91 || vk == 92;
}

POINT ClientPoint(LPARAM lparam) {
    POINT p;
    p.x = static_cast<short>(LOWORD(lparam));
    p.y = static_cast<short>(HIWORD(lparam));
    return p;
}

void TrackMouse(HWND window, POINT p, const void* source) {
    TWin32SystemState& s = State();
    RECT client;
    HWND now = window;
    if (!GetClientRect(window, &client) || p.x < client.left || p.y < client.top || p.x >= client.right ||
        p.y >= client.bottom)
        now = nullptr;
    if (now == s.mouse_window) return;
    if (s.mouse_window) {
        POINT old{0, 0};
        GetCursorPos(&old);
        ScreenToClient(s.mouse_window, &old);
        EmitSystemEvent(EVENT_MOUSELEAVE, source, 0, old.x, old.y);
    }
    s.mouse_window = now;
    UpdateCursor();
    if (now) {
        EmitSystemEvent(EVENT_MOUSEENTER, source, 0, p.x, p.y);
        TRACKMOUSEEVENT track{};
        track.cbSize = sizeof(track);
        track.dwFlags = TME_LEAVE;
        track.hwndTrack = now;
        TrackMouseEvent(&track);
    }
}

} // namespace

int Win32ModifierMask() {
    int mask = 0;
    if (GetKeyState(VK_SHIFT) < 0) mask |= MODIFIER_SHIFT;
    if (GetKeyState(VK_CONTROL) < 0) mask |= MODIFIER_CONTROL;
    if (GetKeyState(VK_MENU) < 0) mask |= MODIFIER_OPTION;
    if (GetKeyState(VK_LWIN) < 0 || GetKeyState(VK_RWIN) < 0) mask |= MODIFIER_SYSTEM;
    return mask;
}

int Win32KeyCode(uintptr_t wparam, intptr_t lparam) {
    const int vk = static_cast<int>(wparam);
    if (vk < 1 || vk > 255) return 0;
    const int scan = static_cast<int>((lparam >> 16) & 0x7F);
    const bool extended = (lparam >> 24) & 1;
    switch (scan) {
    case 42:
        return 160;
    case 54:
        return 161;
    case 29:
        return extended ? 163 : 162;
    case 56:
        return extended ? 165 : 164;
    default:
        return vk;
    }
}

void Win32TranslateWindowMessage(void* window_ptr, unsigned message, uintptr_t wparam, intptr_t lparam,
                                 const void* source) {
    HWND window = static_cast<HWND>(window_ptr);
    switch (message) {
    case WM_CLOSE:
        EmitSystemEvent(EVENT_APPTERMINATE, source);
        return;
    case WM_ACTIVATEAPP:
        EmitSystemEvent(wparam ? EVENT_APPRESUME : EVENT_APPSUSPEND, source);
        return;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
        if (wparam < 1 || wparam > 255) return;
        const bool repeat = (lparam >> 30) & 1;
        EmitSystemEvent(repeat ? EVENT_KEYREPEAT : EVENT_KEYDOWN, source, Win32KeyCode(wparam, lparam));
        return;
    }
    case WM_KEYUP:
    case WM_SYSKEYUP:
        if (wparam < 1 || wparam > 255) return;
        EmitSystemEvent(EVENT_KEYUP, source, Win32KeyCode(wparam, lparam));
        return;
    case WM_CHAR:
    case WM_SYSCHAR:
        EmitSystemEvent(EVENT_KEYCHAR, source, static_cast<int>(wparam));
        return;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN: {
        const int button = message == WM_LBUTTONDOWN ? 1 : message == WM_RBUTTONDOWN ? 2 : 3;
        if (window) SetCapture(window);
        const POINT p = ClientPoint(lparam);
        EmitSystemEvent(EVENT_MOUSEDOWN, source, button, p.x, p.y);
        return;
    }
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP: {
        const int button = message == WM_LBUTTONUP ? 1 : message == WM_RBUTTONUP ? 2 : 3;
        ReleaseCapture();
        const POINT p = ClientPoint(lparam);
        EmitSystemEvent(EVENT_MOUSEUP, source, button, p.x, p.y);
        return;
    }
    case WM_MOUSEMOVE: {
        const POINT p = ClientPoint(lparam);
        if (window) TrackMouse(window, p, source);
        int held = 0;
        if (wparam & MK_RBUTTON)
            held = 2;
        else if (wparam & MK_MBUTTON)
            held = 4;
        else if (wparam & MK_LBUTTON)
            held = 1;
        EmitSystemEvent(EVENT_MOUSEMOVE, source, held, p.x, p.y);
        return;
    }
    case WM_MOUSEWHEEL: {
        POINT p = ClientPoint(lparam); // screen coordinates for this message
        if (window) ScreenToClient(window, &p);
        EmitSystemEvent(EVENT_MOUSEWHEEL, source, GET_WHEEL_DELTA_WPARAM(wparam) / WHEEL_DELTA, p.x, p.y);
        return;
    }
    case WM_MOUSELEAVE:
        if (window && window == State().mouse_window) {
            POINT p{0, 0};
            GetCursorPos(&p);
            ScreenToClient(window, &p);
            State().mouse_window = nullptr;
            UpdateCursor();
            EmitSystemEvent(EVENT_MOUSELEAVE, source, 0, p.x, p.y);
        }
        return;
    default:
        return;
    }
}

TWin32SystemDriver::TWin32SystemDriver() {
    thread_id_ = GetCurrentThreadId();
    State().main_thread = thread_id_;
    hook_ = SetWindowsHookExA(WH_GETMESSAGE, &GetMessageHook, nullptr, thread_id_);
    // Sleep and the multimedia timers to the millisecond, for the frame pacing.
    timer_period_raised_ = timeBeginPeriod(1) == TIMERR_NOERROR;
    // Make sure the thread has a message queue, so calls can be posted to it
    // before the first pump.
    MSG msg;
    PeekMessageA(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
}

TWin32SystemDriver::~TWin32SystemDriver() {
    TWin32SystemState& s = State();
    if (hook_) UnhookWindowsHookEx(static_cast<HHOOK>(hook_));
    if (timer_period_raised_) timeEndPeriod(1);
    if (s.main_thread == thread_id_) s.main_thread = 0;
}

void TWin32SystemDriver::Poll() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        const bool key = msg.message == WM_KEYDOWN || msg.message == WM_KEYUP ||
                         msg.message == WM_SYSKEYDOWN || msg.message == WM_SYSKEYUP;
        if (key && IsModifierKey(msg.wParam)) SetCurrentModifiers(Win32ModifierMask());
        if (msg.hwnd && IsChildControl(msg.hwnd)) {
            // Keyboard navigation between the controls of a dialog-like window.
            HWND top = msg.hwnd;
            while (top && IsChildControl(top))
                top = GetParent(top);
            if (top && IsDialogMessageA(top, &msg)) continue;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
        Win32RethrowDeferredError();
    }
}

void TWin32SystemDriver::Wait() {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, INFINITE, QS_ALLINPUT);
    Poll();
}

void TWin32SystemDriver::MoveMouse(int x, int y) {
    HWND window = GetActiveWindow();
    POINT p{x, y};
    if (window) ClientToScreen(window, &p);
    SetCursorPos(p.x, p.y);
}

void TWin32SystemDriver::SetMouseVisible(bool visible) {
    State().mouse_visible = visible;
    UpdateCursor();
}

void UseWin32Input() {
    UseSystemDriver(std::make_shared<TWin32SystemDriver>());
    UseJoypadBackend(std::make_shared<TWin32JoypadBackend>());
}

bool Win32CallOnMainThread(TWin32CallFunc fn, void* a, void* b, TWin32ReleaseFunc release) {
    TWin32SystemState& s = State();
    if (!fn || s.main_thread == 0) return false;
    auto call = std::make_unique<TCallRecord>(TCallRecord{fn, a, b, release});
    if (!PostThreadMessageA(s.main_thread, WIN32_CALL_MESSAGE, 0, reinterpret_cast<LPARAM>(call.get())))
        return false;
    call.release(); // the hook owns it now
    return true;
}

void Win32DeferError(const char* message) {
    TWin32SystemState& s = State();
    if (s.has_deferred_error) return; // the first failure is the one reported
    s.deferred_error = message;
    s.has_deferred_error = true;
}

void Win32RethrowDeferredError() {
    TWin32SystemState& s = State();
    if (!s.has_deferred_error) return;
    s.has_deferred_error = false;
    throw TRuntimeError(s.deferred_error);
}
