#pragma once
#include <cstdint>

#include "platform/system.h"

// The Windows system driver: pumps the thread's window messages and turns the
// messages of the display window into events (EmitSystemEvent). The window
// procedure of the display hands every message to Win32TranslateWindowMessage
// before its own handling.

// The private thread message that carries a call over to the main thread.
inline constexpr unsigned WIN32_CALL_MESSAGE = 28673;

class TWin32SystemDriver final : public TSystemDriver {
  public:
    // Notes the thread, installs the thread's message hook and raises the
    // system timer resolution to 1 ms (restored when the driver goes).
    TWin32SystemDriver();
    ~TWin32SystemDriver() override;
    TWin32SystemDriver(const TWin32SystemDriver&) = delete;
    TWin32SystemDriver& operator=(const TWin32SystemDriver&) = delete;

    void Poll() override;
    void Wait() override;
    void MoveMouse(int x, int y) override;
    void SetMouseVisible(bool visible) override;

    // Whether the thread's message hook is installed (for diagnostics and tests).
    bool HookInstalled() const { return hook_ != nullptr; }
    unsigned long ThreadId() const { return thread_id_; }

  private:
    void* hook_ = nullptr;
    unsigned long thread_id_ = 0;
    bool timer_period_raised_ = false;
};

// Installs the Windows system driver and the multimedia-joystick backend.
void UseWin32Input();

// Makes the event (if any) for one window message and emits it with the
// current modifier mask. window is an HWND; source is the event's source.
void Win32TranslateWindowMessage(void* window, unsigned message, uintptr_t wparam, intptr_t lparam,
                                 const void* source = nullptr);

// The game's key code of a key message: the virtual key, except that the
// left and right shift, control and alt keys get 160-165 from the scan code
// and the extended-key bit of lparam. 0 for keys outside 1..255.
int Win32KeyCode(uintptr_t wparam, intptr_t lparam);

// The modifier mask (MODIFIER_* sum) from the keyboard state as GetKeyState
// reports it.
int Win32ModifierMask();

// Runs fn(a, b) on the thread that created the system driver, from its
// message pump (posted as WIN32_CALL_MESSAGE; the thread's message hook makes
// the call when the message is taken from the queue). When release is set,
// release(a) is called after fn. False when the message cannot be posted.
using TWin32CallFunc = void (*)(void* a, void* b);
using TWin32ReleaseFunc = void (*)(void* a);
bool Win32CallOnMainThread(TWin32CallFunc fn, void* a, void* b, TWin32ReleaseFunc release = nullptr);

// A failure raised inside the window procedure (the display-mode change on a
// focus change) cannot unwind through the system's code: it is kept here and
// thrown again by the pump, or by the window layer after ShowWindow.
void Win32DeferError(const char* message);
void Win32RethrowDeferredError();
