// The Windows message pump and the translation of the display window's
// messages, through real windows and the real thread message hook (run under
// Wine with a display).
#include <windows.h>
#undef CreateWindow

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "graphics/glgraphics.h"
#include "platform/event.h"
#include "platform/hook.h"
#include "platform/input.h"
#include "platform/system.h"
#include "backends/win32/win32_display.h"
#include "backends/win32/win32_system.h"

namespace {

// lparam of a key message: repeat count 1, scan code, extended bit, previous state.
LPARAM KeyParam(int scan, bool extended = false, bool was_down = false, bool up = false) {
    LPARAM l = 1 | (static_cast<LPARAM>(scan & 0xFF) << 16);
    if (extended) l |= LPARAM(1) << 24;
    if (was_down || up) l |= LPARAM(1) << 30;
    if (up) l |= LPARAM(1) << 31;
    return l;
}

struct TSeen {
    int id, data, x, y;
};

std::vector<TSeen>* g_seen = nullptr;

THookData RecordEvents(int, const THookData& data, void*) {
    if (const auto* e = std::any_cast<std::shared_ptr<TEvent>>(&data); e && *e && g_seen)
        g_seen->push_back({(*e)->id, (*e)->data, (*e)->x, (*e)->y});
    return data;
}

// A hidden display window of the Win32 window layer, with the Windows system
// driver current and input tracking on, as after the game opens its display.
class Win32Input : public ::testing::Test {
  protected:
    void SetUp() override {
        driver_ = std::make_shared<TWin32SystemDriver>();
        UseSystemDriver(driver_);
        TWin32DisplayOptions options;
        options.hidden = true;
        backend_ = MakeWin32ContextBackend(options);
        record_ = backend_->CreateWindow(320, 200, 0, 0, GFX_DOUBLE_BUFFER);
        ASSERT_TRUE(record_);
        window_ = static_cast<HWND>(Win32RecordWindow(*record_));
        ASSERT_TRUE(window_);
        StartInputTracking(nullptr);
        g_seen = &seen_;
        InsertHook(EmitEventHookId(), &RecordEvents, nullptr, -1);
        ClearKeyState();
        ClearMouseState();
        seen_.clear();
    }
    void TearDown() override {
        DeleteHook(EmitEventHookId(), &RecordEvents, nullptr);
        g_seen = nullptr;
        StopInputTracking();
        if (record_) backend_->Destroy(*record_);
        record_.reset();
        backend_.reset();
        UseSystemDriver(nullptr);
    }

    void Post(UINT message, WPARAM wparam, LPARAM lparam) {
        ASSERT_TRUE(PostMessageA(window_, message, wparam, lparam));
    }

    std::shared_ptr<TWin32SystemDriver> driver_;
    std::shared_ptr<TGLContextBackend> backend_;
    std::shared_ptr<TGLContextRecord> record_;
    HWND window_ = nullptr;
    std::vector<TSeen> seen_;
};

TEST(Win32KeyCodes, SidedModifiersFromScanCodeAndExtendedBit) {
    EXPECT_EQ(Win32KeyCode(VK_SHIFT, KeyParam(42)), 160);
    EXPECT_EQ(Win32KeyCode(VK_SHIFT, KeyParam(54)), 161);
    EXPECT_EQ(Win32KeyCode(VK_CONTROL, KeyParam(29)), 162);
    EXPECT_EQ(Win32KeyCode(VK_CONTROL, KeyParam(29, true)), 163);
    EXPECT_EQ(Win32KeyCode(VK_MENU, KeyParam(56)), 164);
    EXPECT_EQ(Win32KeyCode(VK_MENU, KeyParam(56, true)), 165);
    // Other keys keep their virtual-key code, whatever the extended bit says.
    EXPECT_EQ(Win32KeyCode(VK_SPACE, KeyParam(57)), 32);
    EXPECT_EQ(Win32KeyCode(VK_SUBTRACT, KeyParam(74)), 109);
    EXPECT_EQ(Win32KeyCode(VK_RETURN, KeyParam(28, true)), 13);
    EXPECT_EQ(Win32KeyCode('1', KeyParam(2)), 49);
    // Outside 1..255 there is no key.
    EXPECT_EQ(Win32KeyCode(0, KeyParam(0)), 0);
    EXPECT_EQ(Win32KeyCode(256, KeyParam(0)), 0);
}

TEST_F(Win32Input, PostedKeysArePressesOnceAndRepeatsAreNot) {
    Post(WM_KEYDOWN, VK_SPACE, KeyParam(57));
    Post(WM_KEYDOWN, VK_SPACE, KeyParam(57, false, true)); // auto-repeat
    Post(WM_KEYDOWN, VK_SPACE, KeyParam(57, false, true));
    EXPECT_EQ(IsKeyDown(32), 1);
    EXPECT_EQ(TakeKeyHits(32), 1);
    EXPECT_EQ(TakeKeyHits(32), 0);
    Post(WM_KEYUP, VK_SPACE, KeyParam(57, false, true, true));
    EXPECT_EQ(IsKeyDown(32), 0);
    // Two presses between two reads count twice.
    Post(WM_KEYDOWN, VK_ESCAPE, KeyParam(1));
    Post(WM_KEYUP, VK_ESCAPE, KeyParam(1, false, true, true));
    Post(WM_KEYDOWN, VK_ESCAPE, KeyParam(1));
    EXPECT_EQ(TakeKeyHits(27), 2);

    std::vector<int> ids;
    for (const TSeen& s : seen_)
        if (s.data == 32 && s.id != EVENT_KEYCHAR) ids.push_back(s.id); // the space key typed ' ' too
    EXPECT_EQ(ids, (std::vector<int>{EVENT_KEYDOWN, EVENT_KEYREPEAT, EVENT_KEYREPEAT, EVENT_KEYUP}));
}

TEST_F(Win32Input, LeftShiftIsReportedAs160AndSystemKeysAsKeys) {
    Post(WM_KEYDOWN, VK_SHIFT, KeyParam(42));
    Post(WM_SYSKEYDOWN, VK_MENU, KeyParam(56, true));
    EXPECT_EQ(TakeKeyHits(160), 1);
    EXPECT_EQ(TakeKeyHits(16), 0);
    EXPECT_EQ(TakeKeyHits(165), 1);
    Post(WM_SYSKEYUP, VK_MENU, KeyParam(56, true, true, true));
    EXPECT_EQ(IsKeyDown(165), 0);
}

TEST_F(Win32Input, CharactersQueueInOrder) {
    Post(WM_CHAR, 'z', KeyParam(44));
    Post(WM_CHAR, 0x00E9, KeyParam(0));
    EXPECT_EQ(NextKeyChar(), 'z');
    EXPECT_EQ(NextKeyChar(), 0xE9);
    EXPECT_EQ(NextKeyChar(), 0);
}

TEST_F(Win32Input, CloseIsOnlyARequestAndTheWindowStays) {
    Post(WM_CLOSE, 0, 0);
    EXPECT_EQ(TakeCloseRequest(), 1);
    EXPECT_EQ(TakeCloseRequest(), 0);
    EXPECT_TRUE(IsWindow(window_));
    // The screen saver and monitor power-down are refused; other commands are not.
    EXPECT_EQ(SendMessageA(window_, WM_SYSCOMMAND, SC_SCREENSAVE, 0), 1);
    EXPECT_EQ(SendMessageA(window_, WM_SYSCOMMAND, SC_MONITORPOWER, 2), 1);
}

TEST_F(Win32Input, SwitchingAwayForgetsHeldKeysAndPresses) {
    Post(WM_KEYDOWN, VK_SPACE, KeyParam(57));
    Post(WM_ACTIVATEAPP, FALSE, 0);
    EXPECT_EQ(IsAppSuspended(), 1);
    EXPECT_EQ(TakeKeyHits(32), 0);
    EXPECT_EQ(IsKeyDown(32), 0);
    Post(WM_ACTIVATEAPP, TRUE, 0);
    EXPECT_EQ(IsAppSuspended(), 0);
}

TEST_F(Win32Input, MouseButtonsPositionAndWheel) {
    Post(WM_MOUSEMOVE, 0, MAKELPARAM(10, 20));
    Post(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(11, 21));
    Post(WM_MOUSEMOVE, MK_LBUTTON | MK_RBUTTON, MAKELPARAM(12, 22));
    Post(WM_LBUTTONUP, 0, MAKELPARAM(12, 22));
    Post(WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(12, 22));
    EXPECT_EQ(TakeMouseHits(1), 1);
    EXPECT_EQ(IsMouseDown(1), 0);
    EXPECT_EQ(IsMouseDown(2), 1);
    EXPECT_EQ(MousePosX(), 12);
    EXPECT_EQ(MousePosY(), 22);
    Post(WM_RBUTTONUP, 0, MAKELPARAM(12, 22));
    POINT origin{0, 0};
    ClientToScreen(window_, &origin);
    Post(WM_MOUSEWHEEL, MAKEWPARAM(0, 2 * WHEEL_DELTA), MAKELPARAM(origin.x + 5, origin.y + 6));
    Post(WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)),
         MAKELPARAM(origin.x + 5, origin.y + 6));
    EXPECT_EQ(MouseWheelPos(), 1);

    // The held-button code of a move: right wins over left.
    bool found_move = false;
    for (const TSeen& s : seen_) {
        if (s.id == EVENT_MOUSEMOVE && s.x == 12) {
            EXPECT_EQ(s.data, 2);
            found_move = true;
        }
        if (s.id == EVENT_MOUSEWHEEL) {
            EXPECT_EQ(s.x, 5); // converted to client coordinates
            EXPECT_EQ(s.y, 6);
        }
    }
    EXPECT_TRUE(found_move);
    // The first move inside the client area entered the window.
    ASSERT_FALSE(seen_.empty());
    EXPECT_EQ(seen_.front().id, EVENT_MOUSEENTER);
}

// A call posted from another thread runs on the pumping thread, from the
// thread's message hook, and the first argument is released afterwards.
struct TCallProbe {
    std::atomic<DWORD> thread{0};
    std::atomic<int> calls{0};
    std::atomic<int> released{0};
    int b_seen = 0;
};

void ProbeCall(void* a, void* b) {
    auto* p = static_cast<TCallProbe*>(a);
    p->thread = GetCurrentThreadId();
    p->b_seen = *static_cast<int*>(b);
    ++p->calls;
}
void ProbeRelease(void* a) {
    ++static_cast<TCallProbe*>(a)->released;
}

TEST_F(Win32Input, CallsFromOtherThreadsRunInThePumpThroughTheMessageHook) {
    ASSERT_TRUE(driver_->HookInstalled());
    TCallProbe probe;
    int b = 41;
    std::thread other([&] { EXPECT_TRUE(Win32CallOnMainThread(&ProbeCall, &probe, &b, &ProbeRelease)); });
    other.join();
    EXPECT_EQ(probe.calls.load(), 0); // nothing runs until the pump
    PumpSystemEvents();
    EXPECT_EQ(probe.calls.load(), 1);
    EXPECT_EQ(probe.released.load(), 1);
    EXPECT_EQ(probe.thread.load(), GetCurrentThreadId());
    EXPECT_EQ(probe.b_seen, 41);
    PumpSystemEvents();
    EXPECT_EQ(probe.calls.load(), 1);
}

// A query made from inside an event hook does not pump again: the events
// posted behind the one being handled wait for the outer pump.
int g_inner_hits = -1;
THookData QueryInsideHook(int, const THookData& data, void*) {
    if (const auto* e = std::any_cast<std::shared_ptr<TEvent>>(&data);
        e && *e && (*e)->id == EVENT_KEYDOWN && (*e)->data == 'A')
        g_inner_hits = TakeKeyHits('B');
    return data;
}

TEST_F(Win32Input, APumpUnderWayIsNotReentered) {
    InsertHook(EmitEventHookId(), &QueryInsideHook, nullptr, -2);
    Post(WM_KEYDOWN, 'A', KeyParam(30));
    Post(WM_KEYDOWN, 'B', KeyParam(48));
    PumpSystemEvents();
    DeleteHook(EmitEventHookId(), &QueryInsideHook, nullptr);
    EXPECT_EQ(g_inner_hits, 0);
    EXPECT_EQ(TakeKeyHits('B'), 1);
}

} // namespace
