#pragma once
#include <SDL_stdinc.h>

#include <filesystem>

#include "platform/system.h"

union SDL_Event;

// Installs the SDL system driver and the SDL joypad backend, which adds the
// controller mappings of controller_mappings (gamecontrollerdb.txt format)
// when that file exists. The game calls this once at start-up, before it
// opens the display.
void UseSdlInput(const std::filesystem::path& controller_mappings = {});

// Virtual-key code (1..255) of an SDL key, 0 for keys the game's numbering
// has no code for. Letters follow the keyboard layout (the key's symbol),
// everything else the key's position (so the digit row gives 48-57 on every
// layout); left and right modifiers get their own codes 160-165.
int SdlVirtualKey(int scancode, int keycode);

// The system driver of the game: pumps SDL's event queue and turns each
// event into the TEvent the tracking hook and the other hooks expect.
class TSdlSystemDriver final : public TSystemDriver {
  public:
    void Poll() override;
    void Wait() override;
    void MoveMouse(int x, int y) override;
    void SetMouseVisible(bool visible) override;

    // Emits the events for one SDL event (none for kinds the game ignores).
    void Translate(const SDL_Event& event);

    // The pointer shows over the window only for this long after the player
    // last moved it.
    static constexpr Uint32 POINTER_SHOW_MS = 2000;

  private:
    // The window shortcuts (Alt+Enter, F11) switch between full screen and a
    // window; true when the key event was one and the game must not see it.
    bool WindowShortcut(const SDL_Event& event);
    void UpdatePointer();

    bool text_input_started_ = false;
    bool mouse_inside_ = false;
    bool enter_swallowed_[2] = {false, false}; // Return, keypad Enter: key-up still to swallow
    bool closing_ = false;                     // a window was closed: escape until the game ends
    bool game_shows_pointer_ = true;
    bool pointer_shown_ = true;
    Uint32 pointer_moved_at_ = 0;
    bool pointer_moved_ = false;
    bool warped_ = false; // the next motion to warp_x_, warp_y_ is the game's own
    int warp_x_ = 0, warp_y_ = 0;
};
