// The SDL system driver and joypad backend, driven through SDL's own event
// queue (SDL_PushEvent) and SDL's virtual joysticks. Pushed key events do not
// change SDL's keyboard state, which the driver does not rely on.
#include "platform/event.h"
#include "platform/hook.h"
#include "platform/input.h"
#include "platform/joystick.h"
#include "platform/system.h"
#include "backends/sdl/sdl_events.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct TSeen {
    int id, data, mods, x, y;
    bool operator==(const TSeen&) const = default;
};

std::vector<TSeen> seen;

THookData Record(int, const THookData& data, void*) {
    if (const auto* e = std::any_cast<std::shared_ptr<TEvent>>(&data))
        seen.push_back({(*e)->id, (*e)->data, (*e)->mods, (*e)->x, (*e)->y});
    return data;
}

void PushKey(Uint32 type, SDL_Scancode sc, SDL_Keycode sym, Uint16 mod = KMOD_NONE, bool repeat = false) {
    SDL_Event e;
    std::memset(&e, 0, sizeof e);
    e.type = type;
    e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.key.repeat = repeat ? 1 : 0;
    e.key.keysym.scancode = sc;
    e.key.keysym.sym = sym;
    e.key.keysym.mod = mod;
    ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError();
}

void Tap(SDL_Scancode sc, SDL_Keycode sym, Uint16 mod = KMOD_NONE) {
    PushKey(SDL_KEYDOWN, sc, sym, mod);
    PushKey(SDL_KEYUP, sc, sym, mod);
}

void PushWindow(SDL_WindowEventID what) {
    SDL_Event e;
    std::memset(&e, 0, sizeof e);
    e.type = SDL_WINDOWEVENT;
    e.window.event = what;
    ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError();
}

void PushText(const char* utf8) {
    SDL_Event e;
    std::memset(&e, 0, sizeof e);
    e.type = SDL_TEXTINPUT;
    std::strncpy(e.text.text, utf8, sizeof e.text.text - 1);
    ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError();
}

void PushEvent(SDL_Event e) {
    ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError();
}

class SdlInput : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
        // Only video: the joypad backend starts SDL's joystick part itself.
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
    }
    static void TearDownTestSuite() {
        UseJoypadBackend(nullptr);
        UseSystemDriver(nullptr);
        SDL_Quit();
    }
    void SetUp() override {
        UseSdlInput();
        StopInputTracking();
        StartInputTracking();
        SDL_PumpEvents();
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        seen.clear();
        InsertHook(EmitEventHookId(), Record, nullptr, 100);
    }
    void TearDown() override {
        DeleteHook(EmitEventHookId(), Record, nullptr);
        StopInputTracking();
    }
};

} // namespace

TEST_F(SdlInput, KeysArriveInTheVirtualKeyNumbering) {
    Tap(SDL_SCANCODE_SPACE, SDLK_SPACE);
    Tap(SDL_SCANCODE_RETURN, SDLK_RETURN);
    Tap(SDL_SCANCODE_1, SDLK_AMPERSAND); // the digit-1 key of a French layout
    Tap(SDL_SCANCODE_KP_MINUS, SDLK_KP_MINUS);
    Tap(SDL_SCANCODE_ESCAPE, SDLK_ESCAPE);
    Tap(SDL_SCANCODE_A, SDLK_q); // letters follow the layout
    Tap(SDL_SCANCODE_F1, SDLK_F1);
    Tap(SDL_SCANCODE_UP, SDLK_UP);
    Tap(SDL_SCANCODE_KP_ENTER, SDLK_KP_ENTER);
    Tap(SDL_SCANCODE_0, SDLK_0);
    EXPECT_EQ(TakeKeyHits(32), 1);
    EXPECT_EQ(TakeKeyHits(13), 2); // both enter keys
    EXPECT_EQ(TakeKeyHits(49), 1);
    EXPECT_EQ(TakeKeyHits(109), 1);
    EXPECT_EQ(TakeKeyHits(27), 1);
    EXPECT_EQ(TakeKeyHits('Q'), 1);
    EXPECT_EQ(TakeKeyHits('A'), 0);
    EXPECT_EQ(TakeKeyHits(112), 1);
    EXPECT_EQ(TakeKeyHits(38), 1);
    EXPECT_EQ(TakeKeyHits(48), 1);
}

// The window shortcuts belong to the desktop: the Enter of Alt+Enter (down,
// repeats and up, even when Alt goes up first) and F11 never reach the game;
// a plain Enter and Alt itself do.
TEST_F(SdlInput, AltEnterAndF11NeverReachTheGame) {
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_LALT, SDLK_LALT, KMOD_LALT);
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_RETURN, SDLK_RETURN, KMOD_LALT);
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_RETURN, SDLK_RETURN, KMOD_LALT, true);
    PushKey(SDL_KEYUP, SDL_SCANCODE_LALT, SDLK_LALT);
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_RETURN, SDLK_RETURN, KMOD_NONE, true);
    PushKey(SDL_KEYUP, SDL_SCANCODE_RETURN, SDLK_RETURN);
    Tap(SDL_SCANCODE_KP_ENTER, SDLK_KP_ENTER, KMOD_RALT);
    Tap(SDL_SCANCODE_F11, SDLK_F11);
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_F11, SDLK_F11, KMOD_NONE, true);
    EXPECT_EQ(TakeKeyHits(164), 1);
    EXPECT_EQ(TakeKeyHits(13), 0);
    EXPECT_EQ(TakeKeyHits(122), 0);
    EXPECT_EQ(
        std::count_if(seen.begin(), seen.end(), [](const TSeen& s) { return s.data == 13 || s.data == 122; }),
        0);
    Tap(SDL_SCANCODE_RETURN, SDLK_RETURN); // a plain Enter is player 2's again
    EXPECT_EQ(TakeKeyHits(13), 1);
    EXPECT_EQ(IsKeyDown(13), 0);
}

// The pointer shows only while the player moves it: hidden at first, shown
// by a move, hidden again two seconds after; the game's own hiding wins.
TEST_F(SdlInput, ThePointerShowsOnlyForAWhileAfterItMoved) {
    auto move = [] {
        SDL_Event e{};
        e.type = SDL_MOUSEMOTION;
        e.motion.x = 5;
        e.motion.y = 7;
        PushEvent(e);
        PumpSystemEvents();
    };
    PumpSystemEvents();
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
    move();
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_ENABLE);
    SetMouseVisible(false);
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
    SetMouseVisible(true);
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_ENABLE);
    SDL_Delay(TSdlSystemDriver::POINTER_SHOW_MS + 100);
    PumpSystemEvents();
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
}

TEST_F(SdlInput, LeftAndRightModifiersHaveTheirOwnCodesAndSetTheMask) {
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_LSHIFT, SDLK_LSHIFT, KMOD_LSHIFT);
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_RCTRL, SDLK_RCTRL, KMOD_LSHIFT | KMOD_RCTRL);
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_RALT, SDLK_RALT, KMOD_LSHIFT | KMOD_RCTRL | KMOD_RALT);
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_LGUI, SDLK_LGUI, KMOD_LSHIFT | KMOD_RCTRL | KMOD_RALT | KMOD_LGUI);
    PushKey(SDL_KEYUP, SDL_SCANCODE_LSHIFT, SDLK_LSHIFT, KMOD_RCTRL | KMOD_RALT | KMOD_LGUI);
    EXPECT_EQ(IsKeyDown(160), 0);
    EXPECT_EQ(TakeKeyHits(160), 1);
    EXPECT_EQ(TakeKeyHits(16), 0); // never the shared shift code
    EXPECT_EQ(IsKeyDown(163), 1);
    EXPECT_EQ(IsKeyDown(165), 1);
    EXPECT_EQ(IsKeyDown(91), 1);
    const std::vector<TSeen> expected = {
        {EVENT_KEYDOWN, 160, 1, 0, 0}, {EVENT_KEYDOWN, 163, 3, 0, 0}, {EVENT_KEYDOWN, 165, 7, 0, 0},
        {EVENT_KEYDOWN, 91, 15, 0, 0}, {EVENT_KEYUP, 160, 14, 0, 0},
    };
    EXPECT_EQ(seen, expected);
}

TEST_F(SdlInput, RepeatsAreKeyRepeatAndNoPress) {
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_SPACE, SDLK_SPACE);
    for (int i = 0; i < 3; ++i)
        PushKey(SDL_KEYDOWN, SDL_SCANCODE_SPACE, SDLK_SPACE, KMOD_NONE, true);
    EXPECT_EQ(TakeKeyHits(32), 1);
    EXPECT_EQ(IsKeyDown(32), 1);
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[0].id, EVENT_KEYDOWN);
    for (int i = 1; i < 4; ++i)
        EXPECT_EQ(seen[i].id, EVENT_KEYREPEAT);
    // Two more taps before the next frame: two presses, then none.
    PushKey(SDL_KEYUP, SDL_SCANCODE_SPACE, SDLK_SPACE);
    Tap(SDL_SCANCODE_SPACE, SDLK_SPACE);
    Tap(SDL_SCANCODE_SPACE, SDLK_SPACE);
    EXPECT_EQ(TakeKeyHits(32), 2);
    EXPECT_EQ(TakeKeyHits(32), 0);
}

TEST_F(SdlInput, ClearKeyStateForgetsWhatIsStillQueued) {
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_RETURN, SDLK_RETURN);
    ClearKeyState();
    EXPECT_EQ(IsKeyDown(13), 0);
    EXPECT_EQ(TakeKeyHits(13), 0);
    EXPECT_EQ(NextKeyChar(), 0);
}

TEST_F(SdlInput, TextBecomesCharactersInUtf16Units) {
    PushText("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"); // a, e acute, euro sign, a grinning face
    PushText("\xFF");                                  // a stray byte is skipped
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_BACKSPACE, SDLK_BACKSPACE);
    std::vector<int> chars;
    while (const int c = NextKeyChar())
        chars.push_back(c);
    EXPECT_EQ(chars, (std::vector<int>{'a', 0xE9, 0x20AC, 0xD83D, 0xDE00, 8}));
}

TEST_F(SdlInput, FocusLossSuspendsAndForgetsEverything) {
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_SPACE, SDLK_SPACE);
    PushText("x");
    PushWindow(SDL_WINDOWEVENT_FOCUS_LOST);
    EXPECT_EQ(IsAppSuspended(), 1);
    EXPECT_EQ(IsKeyDown(32), 0);
    EXPECT_EQ(TakeKeyHits(32), 0);
    EXPECT_EQ(NextKeyChar(), 0);
    PushWindow(SDL_WINDOWEVENT_FOCUS_GAINED);
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_SPACE, SDLK_SPACE, KMOD_NONE, true);
    EXPECT_EQ(IsAppSuspended(), 0);
    EXPECT_EQ(IsKeyDown(32), 0); // still held from before: up until pressed again
    EXPECT_EQ(seen.front().id, EVENT_KEYDOWN);
    EXPECT_NE(std::find_if(seen.begin(), seen.end(), [](const TSeen& s) { return s.id == EVENT_APPSUSPEND; }),
              seen.end());
}

TEST_F(SdlInput, WindowCloseOnlyRequests) {
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_1, SDLK_1);
    PushWindow(SDL_WINDOWEVENT_CLOSE);
    EXPECT_EQ(IsKeyDown(49), 1);
    EXPECT_EQ(TakeCloseRequest(), 1);
    EXPECT_EQ(TakeCloseRequest(), 0);
    EXPECT_EQ(seen.back().id, EVENT_APPTERMINATE);
}

TEST_F(SdlInput, MouseButtonsMovesWheelAndCrossings) {
    SDL_Event e;
    std::memset(&e, 0, sizeof e);
    e.type = SDL_WINDOWEVENT;
    e.window.event = SDL_WINDOWEVENT_ENTER;
    PushEvent(e);
    std::memset(&e, 0, sizeof e);
    e.type = SDL_MOUSEBUTTONDOWN;
    e.button.button = SDL_BUTTON_RIGHT;
    e.button.x = 10;
    e.button.y = 20;
    PushEvent(e);
    std::memset(&e, 0, sizeof e);
    e.type = SDL_MOUSEMOTION;
    e.motion.state = SDL_BUTTON_LMASK | SDL_BUTTON_MMASK;
    e.motion.x = 30;
    e.motion.y = 40;
    PushEvent(e);
    std::memset(&e, 0, sizeof e);
    e.type = SDL_MOUSEWHEEL;
    e.wheel.y = 2;
    e.wheel.direction = SDL_MOUSEWHEEL_FLIPPED;
    e.wheel.mouseX = 30;
    e.wheel.mouseY = 40;
    PushEvent(e);
    std::memset(&e, 0, sizeof e);
    e.type = SDL_MOUSEBUTTONUP;
    e.button.button = SDL_BUTTON_MIDDLE;
    PushEvent(e);
    std::memset(&e, 0, sizeof e);
    e.type = SDL_WINDOWEVENT;
    e.window.event = SDL_WINDOWEVENT_LEAVE;
    PushEvent(e);

    EXPECT_EQ(TakeMouseHits(2), 1);
    EXPECT_EQ(IsMouseDown(2), 1);
    EXPECT_EQ(MousePosX(), 30);
    EXPECT_EQ(MousePosY(), 40);
    EXPECT_EQ(MouseWheelPos(), -2);
    std::vector<int> ids;
    for (const TSeen& s : seen)
        ids.push_back(s.id);
    EXPECT_EQ(ids, (std::vector<int>{EVENT_MOUSEENTER, EVENT_MOUSEDOWN, EVENT_MOUSEMOVE, EVENT_MOUSEWHEEL,
                                     EVENT_MOUSEUP, EVENT_MOUSELEAVE}));
    ASSERT_EQ(seen.size(), 6u);
    EXPECT_EQ(seen[1], (TSeen{EVENT_MOUSEDOWN, 2, 0, 10, 20}));
    EXPECT_EQ(seen[2], (TSeen{EVENT_MOUSEMOVE, 4, 0, 30, 40})); // middle wins over left
    EXPECT_EQ(seen[3], (TSeen{EVENT_MOUSEWHEEL, -2, 0, 30, 40}));
    EXPECT_EQ(seen[4].data, 3);
}

namespace {

// One SDL virtual joystick with 2 axes, 4 buttons and a hat, plugged in for
// the test's lifetime or until Unplug.
class TVirtualPad {
  public:
    TVirtualPad() {
        const int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 2, 4, 1);
        if (index < 0) return;
        joy_ = SDL_JoystickOpen(index);
        if (joy_) id_ = SDL_JoystickInstanceID(joy_);
    }
    ~TVirtualPad() { Unplug(); }
    TVirtualPad(const TVirtualPad&) = delete;
    TVirtualPad& operator=(const TVirtualPad&) = delete;

    bool Ok() const { return joy_ != nullptr; }
    void Button(int b, bool down) { SDL_JoystickSetVirtualButton(joy_, b, down ? 1 : 0); }
    void Axis(int a, Sint16 v) { SDL_JoystickSetVirtualAxis(joy_, a, v); }
    void Hat(Uint8 v) { SDL_JoystickSetVirtualHat(joy_, 0, v); }
    void Unplug() {
        if (!joy_) return;
        SDL_JoystickClose(joy_);
        joy_ = nullptr;
        for (int i = 0; i < SDL_NumJoysticks(); ++i) {
            if (SDL_JoystickGetDeviceInstanceID(i) == id_) {
                SDL_JoystickDetachVirtual(i);
                break;
            }
        }
    }

  private:
    SDL_Joystick* joy_ = nullptr;
    SDL_JoystickID id_ = -1;
};

} // namespace

TEST_F(SdlInput, VirtualPadsArePortsInOrderAndCountPressesPerSample) {
    const int base = CountJoypads(); // starts SDL's joystick part
    EXPECT_NE(SDL_WasInit(SDL_INIT_JOYSTICK), 0u);
    TVirtualPad first;
    ASSERT_TRUE(first.Ok()) << SDL_GetError();
    EXPECT_EQ(CountJoypads(), base + 1);
    const int p = base;
    EXPECT_EQ(JoypadPresent(p), 1);
    EXPECT_FALSE(JoypadName(p).empty());
    EXPECT_EQ(JoypadButtonMask(p), 15);
    EXPECT_EQ(JoypadAxisMask(p), 3 + 512);

    first.Button(1, true);
    EXPECT_EQ(TakeJoyButtonHits(1, p), 1);
    EXPECT_EQ(TakeJoyButtonHits(1, p), 0); // held across samples: one press
    EXPECT_EQ(IsJoyButtonDown(1, p), 1);
    ClearJoypads();
    EXPECT_EQ(TakeJoyButtonHits(1, p), 1); // still held after clearing: a new press
    first.Button(1, false);
    EXPECT_EQ(IsJoyButtonDown(1, p), 0);

    first.Axis(0, -32768);
    first.Axis(1, 32767);
    first.Hat(SDL_HAT_RIGHT);
    EXPECT_FLOAT_EQ(JoypadAxisValue(p, JOYPAD_AXIS_X), -1.0f);
    EXPECT_FLOAT_EQ(JoypadAxisValue(p, JOYPAD_AXIS_Y), 1.0f);
    EXPECT_FLOAT_EQ(JoypadAxisValue(p, JOYPAD_AXIS_HAT), 0.25f);
    first.Hat(SDL_HAT_CENTERED);
    EXPECT_FLOAT_EQ(JoypadAxisValue(p, JOYPAD_AXIS_HAT), -1.0f);

    // A pad plugged in while running is found at the next count, after the
    // first one.
    TVirtualPad second;
    ASSERT_TRUE(second.Ok()) << SDL_GetError();
    EXPECT_EQ(CountJoypads(), base + 2);
    second.Button(0, true);
    EXPECT_EQ(TakeJoyButtonHits(0, p + 1), 1);
    EXPECT_EQ(TakeJoyButtonHits(0, p), 0);
    second.Button(0, false);
    EXPECT_EQ(IsJoyButtonDown(0, p + 1), 0);
}

TEST_F(SdlInput, AnUnpluggedPadKeepsItsLastStateAndCountsNoPresses) {
    const int base = CountJoypads();
    auto pad = std::make_unique<TVirtualPad>();
    ASSERT_TRUE(pad->Ok()) << SDL_GetError();
    ASSERT_EQ(CountJoypads(), base + 1);
    pad->Button(2, true);
    EXPECT_EQ(TakeJoyButtonHits(2, base), 1);
    pad->Unplug();
    EXPECT_EQ(IsJoyButtonDown(2, base), 1); // the last state it answered with
    EXPECT_EQ(TakeJoyButtonHits(2, base), 0);
    EXPECT_EQ(JoypadButtonMask(base), 0);
    EXPECT_EQ(CountJoypads(), base);
    EXPECT_EQ(JoypadPresent(base), 0);
    EXPECT_EQ(TakeJoyButtonHits(0, 16), 0);
}

// A pad SDL has a mapping for (here from the player's mappings file) is the
// switch on its face buttons A, B, X, Y, wherever they are wired; a pad that
// Steam Input doubles counts once; pads plugged in are there at the next count.
TEST_F(SdlInput, MappedPadsSwitchOnTheirFaceButtonsAndSteamTwinsCountOnce) {
    auto attach = [](Uint16 vendor, Uint16 product, int buttons) {
        SDL_VirtualJoystickDesc desc{};
        desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
        desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
        desc.nbuttons = static_cast<Uint16>(buttons);
        desc.vendor_id = vendor;
        desc.product_id = product;
        desc.name = "Test Pad";
        return SDL_JoystickAttachVirtualEx(&desc);
    };
    auto detach = [](SDL_JoystickID id) {
        for (int i = 0; i < SDL_NumJoysticks(); ++i)
            if (SDL_JoystickGetDeviceInstanceID(i) == id) SDL_JoystickDetachVirtual(i);
    };
    const int base = CountJoypads();
    const int index = attach(0x1209, 0x0001, 8);
    ASSERT_GE(index, 0) << SDL_GetError();
    const SDL_JoystickID pad_id = SDL_JoystickGetDeviceInstanceID(index);
    char guid[64];
    SDL_JoystickGetGUIDString(SDL_JoystickGetDeviceGUID(index), guid, sizeof guid);
    const std::string file = testing::TempDir() + "/gamecontrollerdb.txt";
    std::FILE* f = std::fopen(file.c_str(), "w");
    ASSERT_TRUE(f);
    std::fprintf(f, "# wired backwards\n%s,Test Pad,a:b7,b:b6,x:b5,y:b4,platform:%s,\n", guid,
                 SDL_GetPlatform());
    std::fclose(f);
    UseSdlInput(file);
    ASSERT_EQ(CountJoypads(), base + 1);
    SDL_Joystick* joy = SDL_JoystickFromInstanceID(pad_id);
    ASSERT_TRUE(joy);
    SDL_JoystickSetVirtualButton(joy, 7, 1); // A
    EXPECT_EQ(TakeJoyButtonHits(0, base), 1);
    SDL_JoystickSetVirtualButton(joy, 7, 0);
    SDL_JoystickSetVirtualButton(joy, 0, 1); // raw 0 is no face button
    SDL_JoystickSetVirtualButton(joy, 4, 1); // Y
    EXPECT_EQ(TakeJoyButtonHits(0, base), 0);
    EXPECT_EQ(TakeJoyButtonHits(3, base), 1);

    SDL_SetHint(SDL_HINT_GAMECONTROLLER_IGNORE_DEVICES, "0x045e/0x028e");
    const SDL_JoystickID physical = SDL_JoystickGetDeviceInstanceID(attach(0x045e, 0x028e, 4));
    const SDL_JoystickID steam = SDL_JoystickGetDeviceInstanceID(attach(0x28de, 0x11ff, 4));
    EXPECT_EQ(CountJoypads(), base + 2);
    detach(steam);
    EXPECT_EQ(CountJoypads(), base + 2); // without Steam the physical pad is used
    detach(physical);
    detach(pad_id);
    SDL_SetHint(SDL_HINT_GAMECONTROLLER_IGNORE_DEVICES, "");
    EXPECT_EQ(CountJoypads(), base);
    std::remove(file.c_str());
}
