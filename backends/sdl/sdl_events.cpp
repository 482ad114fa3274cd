#include "backends/sdl/sdl_events.h"

#include "backends/sdl/sdl_display.h"

#include "platform/event.h"
#include "platform/joystick.h"
#include "backends/sdl/sdl_joystick.h"

#include <SDL.h>

#include <memory>
#include <string_view>

namespace {

// Windows virtual-key codes by SDL scancode, for the keys whose code does not
// depend on the layout.
int ScancodeVirtualKey(int sc) {
    if (sc >= SDL_SCANCODE_A && sc <= SDL_SCANCODE_Z) return 'A' + (sc - SDL_SCANCODE_A);
    if (sc >= SDL_SCANCODE_1 && sc <= SDL_SCANCODE_9) return '1' + (sc - SDL_SCANCODE_1);
    if (sc >= SDL_SCANCODE_F1 && sc <= SDL_SCANCODE_F12) return 112 + (sc - SDL_SCANCODE_F1);
    if (sc >= SDL_SCANCODE_F13 && sc <= SDL_SCANCODE_F24) return 124 + (sc - SDL_SCANCODE_F13);
    if (sc >= SDL_SCANCODE_KP_1 && sc <= SDL_SCANCODE_KP_9) return 97 + (sc - SDL_SCANCODE_KP_1);
    switch (sc) {
    case SDL_SCANCODE_0:
        return '0';
    case SDL_SCANCODE_RETURN:
        return 13;
    case SDL_SCANCODE_RETURN2:
        return 13;
    case SDL_SCANCODE_KP_ENTER:
        return 13;
    case SDL_SCANCODE_ESCAPE:
        return 27;
    case SDL_SCANCODE_BACKSPACE:
        return 8;
    case SDL_SCANCODE_TAB:
        return 9;
    case SDL_SCANCODE_SPACE:
        return 32;
    case SDL_SCANCODE_MINUS:
        return 189;
    case SDL_SCANCODE_EQUALS:
        return 187;
    case SDL_SCANCODE_LEFTBRACKET:
        return 219;
    case SDL_SCANCODE_RIGHTBRACKET:
        return 221;
    case SDL_SCANCODE_BACKSLASH:
        return 220;
    case SDL_SCANCODE_NONUSHASH:
        return 222;
    case SDL_SCANCODE_SEMICOLON:
        return 186;
    case SDL_SCANCODE_APOSTROPHE:
        return 222;
    case SDL_SCANCODE_GRAVE:
        return 192;
    case SDL_SCANCODE_COMMA:
        return 188;
    case SDL_SCANCODE_PERIOD:
        return 190;
    case SDL_SCANCODE_SLASH:
        return 191;
    case SDL_SCANCODE_CAPSLOCK:
        return 20;
    case SDL_SCANCODE_PRINTSCREEN:
        return 44;
    case SDL_SCANCODE_SCROLLLOCK:
        return 145;
    case SDL_SCANCODE_PAUSE:
        return 19;
    case SDL_SCANCODE_INSERT:
        return 45;
    case SDL_SCANCODE_HOME:
        return 36;
    case SDL_SCANCODE_PAGEUP:
        return 33;
    case SDL_SCANCODE_DELETE:
        return 46;
    case SDL_SCANCODE_END:
        return 35;
    case SDL_SCANCODE_PAGEDOWN:
        return 34;
    case SDL_SCANCODE_RIGHT:
        return 39;
    case SDL_SCANCODE_LEFT:
        return 37;
    case SDL_SCANCODE_DOWN:
        return 40;
    case SDL_SCANCODE_UP:
        return 38;
    case SDL_SCANCODE_NUMLOCKCLEAR:
        return 144;
    case SDL_SCANCODE_KP_DIVIDE:
        return 111;
    case SDL_SCANCODE_KP_MULTIPLY:
        return 106;
    case SDL_SCANCODE_KP_MINUS:
        return 109;
    case SDL_SCANCODE_KP_PLUS:
        return 107;
    case SDL_SCANCODE_KP_0:
        return 96;
    case SDL_SCANCODE_KP_PERIOD:
        return 110;
    case SDL_SCANCODE_NONUSBACKSLASH:
        return 226;
    case SDL_SCANCODE_APPLICATION:
        return 93;
    case SDL_SCANCODE_LCTRL:
        return 162;
    case SDL_SCANCODE_LSHIFT:
        return 160;
    case SDL_SCANCODE_LALT:
        return 164;
    case SDL_SCANCODE_LGUI:
        return 91;
    case SDL_SCANCODE_RCTRL:
        return 163;
    case SDL_SCANCODE_RSHIFT:
        return 161;
    case SDL_SCANCODE_RALT:
        return 165;
    case SDL_SCANCODE_RGUI:
        return 92;
    default:
        return 0;
    }
}

int ModifierMask(Uint16 mod) {
    int mask = 0;
    if (mod & KMOD_SHIFT) mask |= MODIFIER_SHIFT;
    if (mod & KMOD_CTRL) mask |= MODIFIER_CONTROL;
    if (mod & KMOD_ALT) mask |= MODIFIER_OPTION;
    if (mod & KMOD_GUI) mask |= MODIFIER_SYSTEM;
    return mask;
}

// The character a key sends by itself besides its key-down (no text-input
// event carries these).
int ControlCharacter(int vk) {
    switch (vk) {
    case 8:
    case 9:
    case 13:
    case 27:
        return vk;
    default:
        return 0;
    }
}

int MouseButton(Uint8 button) {
    switch (button) {
    case SDL_BUTTON_LEFT:
        return 1;
    case SDL_BUTTON_RIGHT:
        return 2;
    case SDL_BUTTON_MIDDLE:
        return 3;
    default:
        return 0;
    }
}

// The button held during a move: right wins over middle over left.
int HeldButton(Uint32 state) {
    if (state & SDL_BUTTON_RMASK) return 2;
    if (state & SDL_BUTTON_MMASK) return 4;
    if (state & SDL_BUTTON_LMASK) return 1;
    return 0;
}

// Emits one KeyChar per UTF-16 unit of a UTF-8 text; malformed bytes are
// skipped.
void EmitText(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto b0 = static_cast<unsigned char>(text[i]);
        int len = 0;
        unsigned cp = 0;
        if (b0 < 0x80) {
            len = 1;
            cp = b0;
        } else if ((b0 & 0xE0) == 0xC0) {
            len = 2;
            cp = b0 & 0x1F;
        } else if ((b0 & 0xF0) == 0xE0) {
            len = 3;
            cp = b0 & 0x0F;
        } else if ((b0 & 0xF8) == 0xF0) {
            len = 4;
            cp = b0 & 0x07;
        } else {
            ++i;
            continue;
        }
        bool ok = i + len <= text.size();
        for (int k = 1; ok && k < len; ++k) {
            const auto b = static_cast<unsigned char>(text[i + k]);
            if ((b & 0xC0) != 0x80)
                ok = false;
            else
                cp = (cp << 6) | (b & 0x3F);
        }
        if (!ok || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            ++i;
            continue;
        }
        i += len;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            EmitSystemEvent(EVENT_KEYCHAR, nullptr, static_cast<int>(0xD800 + (cp >> 10)));
            EmitSystemEvent(EVENT_KEYCHAR, nullptr, static_cast<int>(0xDC00 + (cp & 0x3FF)));
        } else {
            EmitSystemEvent(EVENT_KEYCHAR, nullptr, static_cast<int>(cp));
        }
    }
}

SDL_Window* ActiveWindow() {
    if (SDL_Window* w = SDL_GetKeyboardFocus()) return w;
    if (SDL_Window* w = SDL_GetMouseFocus()) return w;
    // Without focus (headless, or before the window is shown) the window the
    // game draws into, or else the program's first window, is the one meant.
    if (SDL_Window* w = SDL_GL_GetCurrentWindow()) return w;
    return SDL_GetWindowFromID(1);
}

// The window a mouse event happened in; events without one (no focus) are
// taken as the active window's.
SDL_Window* EventWindow(Uint32 id) {
    if (SDL_Window* w = SDL_GetWindowFromID(id)) return w;
    return ActiveWindow();
}

} // namespace

int SdlVirtualKey(int scancode, int keycode) {
    if (keycode >= SDLK_a && keycode <= SDLK_z) return 'A' + (keycode - SDLK_a);
    return ScancodeVirtualKey(scancode);
}

void UseSdlInput(const std::filesystem::path& controller_mappings) {
    // The game ends only through its own escape handling; let an interrupt
    // from the terminal end the process as usual instead of turning it into
    // a close request nobody reads.
    if (SDL_WasInit(0) == 0) SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    UseSystemDriver(std::make_shared<TSdlSystemDriver>());
    UseJoypadBackend(std::make_shared<TSdlJoypadBackend>(controller_mappings));
}

void TSdlSystemDriver::Poll() {
    if (SDL_WasInit(SDL_INIT_EVENTS) == 0) return;
    if (!text_input_started_ && SDL_WasInit(SDL_INIT_VIDEO) != 0) {
        SDL_StartTextInput();
        text_input_started_ = true;
    }
    SDL_Event event;
    while (SDL_PollEvent(&event))
        Translate(event);
    if (closing_) {
        // The game ends through its own escape handling: a closed window
        // presses escape until it has (a round gives up, the attract screen
        // ends the game).
        EmitSystemEvent(EVENT_KEYDOWN, nullptr, 27);
        EmitSystemEvent(EVENT_KEYCHAR, nullptr, 27);
        EmitSystemEvent(EVENT_KEYUP, nullptr, 27);
    }
    UpdatePointer();
}

void TSdlSystemDriver::UpdatePointer() {
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0) return;
    const bool recent = pointer_moved_ && SDL_GetTicks() - pointer_moved_at_ < POINTER_SHOW_MS;
    const bool show = game_shows_pointer_ && recent;
    if (show == pointer_shown_) return;
    pointer_shown_ = show;
    SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

bool TSdlSystemDriver::WindowShortcut(const SDL_Event& e) {
    const SDL_Scancode sc = e.key.keysym.scancode;
    if (sc == SDL_SCANCODE_F11) {
        if (e.type == SDL_KEYDOWN && !e.key.repeat) SdlToggleFullScreen(ActiveWindow());
        return true;
    }
    const int enter = sc == SDL_SCANCODE_RETURN ? 0 : sc == SDL_SCANCODE_KP_ENTER ? 1 : -1;
    if (enter < 0) return false;
    if (e.type == SDL_KEYUP) {
        // Swallowed even when Alt went up first.
        const bool swallow = enter_swallowed_[enter];
        enter_swallowed_[enter] = false;
        return swallow;
    }
    if (enter_swallowed_[enter]) return true; // its repeats
    if (!(e.key.keysym.mod & KMOD_ALT)) return false;
    enter_swallowed_[enter] = true;
    if (!e.key.repeat) SdlToggleFullScreen(ActiveWindow());
    return true;
}

void TSdlSystemDriver::Wait() {
    if (SDL_WasInit(SDL_INIT_EVENTS) == 0) {
        SDL_Delay(1);
        return;
    }
    // Waits without taking the event; Poll then handles everything pending.
    SDL_WaitEventTimeout(nullptr, 100);
    Poll();
}

void TSdlSystemDriver::MoveMouse(int x, int y) {
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0) return;
    if (SDL_Window* w = ActiveWindow()) {
        SdlPictureToWindow(w, x, y);
        warped_ = true;
        warp_x_ = x;
        warp_y_ = y;
        SDL_WarpMouseInWindow(w, x, y);
    }
}

void TSdlSystemDriver::SetMouseVisible(bool visible) {
    // SDL hides the pointer only while it is over the program's windows,
    // which is the behaviour wanted.
    // The pointer also hides while the player leaves it still.
    game_shows_pointer_ = visible;
    UpdatePointer();
}

void TSdlSystemDriver::Translate(const SDL_Event& e) {
    switch (e.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        SetCurrentModifiers(ModifierMask(e.key.keysym.mod));
        if (WindowShortcut(e)) return;
        const int vk = SdlVirtualKey(e.key.keysym.scancode, e.key.keysym.sym);
        if (vk < 1 || vk > 255) return;
        if (e.type == SDL_KEYUP) {
            EmitSystemEvent(EVENT_KEYUP, nullptr, vk);
            return;
        }
        EmitSystemEvent(e.key.repeat ? EVENT_KEYREPEAT : EVENT_KEYDOWN, nullptr, vk);
        if (const int c = ControlCharacter(vk)) EmitSystemEvent(EVENT_KEYCHAR, nullptr, c);
        return;
    }
    case SDL_TEXTINPUT:
        EmitText(e.text.text);
        return;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        const int button = MouseButton(e.button.button);
        if (button == 0) return;
        int x = e.button.x, y = e.button.y;
        SdlWindowToPicture(EventWindow(e.button.windowID), x, y);
        EmitSystemEvent(e.type == SDL_MOUSEBUTTONDOWN ? EVENT_MOUSEDOWN : EVENT_MOUSEUP, nullptr, button, x,
                        y);
        return;
    }
    case SDL_MOUSEMOTION: {
        if (warped_ && e.motion.x == warp_x_ && e.motion.y == warp_y_) {
            warped_ = false; // the game put the pointer there
        } else {
            pointer_moved_ = true;
            pointer_moved_at_ = e.motion.timestamp;
        }
        int x = e.motion.x, y = e.motion.y;
        SdlWindowToPicture(EventWindow(e.motion.windowID), x, y);
        EmitSystemEvent(EVENT_MOUSEMOVE, nullptr, HeldButton(e.motion.state), x, y);
        return;
    }
    case SDL_MOUSEWHEEL: {
        int delta = e.wheel.y;
        if (e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) delta = -delta;
        int x = e.wheel.mouseX, y = e.wheel.mouseY;
        SdlWindowToPicture(EventWindow(e.wheel.windowID), x, y);
        if (delta != 0) EmitSystemEvent(EVENT_MOUSEWHEEL, nullptr, delta, x, y);
        return;
    }
    case SDL_WINDOWEVENT:
        switch (e.window.event) {
        case SDL_WINDOWEVENT_CLOSE: {
            // Only a request: the window stays open. A full-screen game ignores
            // it; a window's close button ends the game as escape does.
            SDL_Window* w = SDL_GetWindowFromID(e.window.windowID);
            if (w && !(SDL_GetWindowFlags(w) & SDL_WINDOW_FULLSCREEN)) closing_ = true;
            EmitSystemEvent(EVENT_APPTERMINATE);
            return;
        }
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            EmitSystemEvent(EVENT_APPRESUME);
            return;
        case SDL_WINDOWEVENT_FOCUS_LOST: {
            EmitSystemEvent(EVENT_APPSUSPEND);
            // A full-screen game gets out of the way when the player switches
            // to another program.
            SDL_Window* w = SDL_GetWindowFromID(e.window.windowID);
            if (w && (SDL_GetWindowFlags(w) & SDL_WINDOW_FULLSCREEN) && SdlMinimizesOnFocusLoss())
                SDL_MinimizeWindow(w);
            return;
        }
#ifdef __EMSCRIPTEN__
        // A browser tab the player leaves is hidden, focus or not: the game
        // suspends as for a window that lost the focus, and resumes on return.
        case SDL_WINDOWEVENT_HIDDEN:
            EmitSystemEvent(EVENT_APPSUSPEND);
            return;
        case SDL_WINDOWEVENT_SHOWN:
            EmitSystemEvent(EVENT_APPRESUME);
            return;
#endif
        case SDL_WINDOWEVENT_ENTER: {
            if (mouse_inside_) return;
            mouse_inside_ = true;
            int x = 0, y = 0;
            SDL_GetMouseState(&x, &y);
            SdlWindowToPicture(EventWindow(e.window.windowID), x, y);
            EmitSystemEvent(EVENT_MOUSEENTER, nullptr, 0, x, y);
            return;
        }
        case SDL_WINDOWEVENT_LEAVE: {
            if (!mouse_inside_) return;
            mouse_inside_ = false;
            int x = 0, y = 0;
            SDL_GetMouseState(&x, &y);
            SdlWindowToPicture(EventWindow(e.window.windowID), x, y);
            EmitSystemEvent(EVENT_MOUSELEAVE, nullptr, 0, x, y);
            return;
        }
        default:
            return;
        }
    default:
        return;
    }
}
