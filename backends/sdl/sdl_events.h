#pragma once
#include "platform/system.h"

union SDL_Event;

// Installs the SDL system driver and the SDL joypad backend. The game calls
// this once at start-up, before it opens the display.
void UseSdlInput();

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

  private:
    bool text_input_started_ = false;
    bool mouse_inside_ = false;
};
