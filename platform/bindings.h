#pragma once
#include <vector>

// Extra switches: keys, mouse buttons and joypad buttons that press another
// key (a player's switch key) as well as their own. They act in the emit
// chain before the switch-timing filters and the key tracking (the
// INPUT_PRIORITY_* order of platform/input.h), so everything after them sees
// only the key they stand for. The sources of one key, the key itself
// included, are merged: the key goes down with the first of them and up with
// the last. Joypad buttons are read at every pump (their ports as the joypad
// layer numbers them) and become key events there. With no aliases nothing
// is installed: events pass exactly as before.

struct TInputSource {
    enum class Kind { Key, Mouse, PadButton };
    Kind kind = Kind::Key;
    int code = 0; // key code 1..255, mouse button 1..3 or pad button 0..31
    int port = 0; // PadButton: the pad's port (0 = the first present pad)
    bool operator==(const TInputSource&) const = default;
};

struct TKeyAlias {
    TInputSource source;
    int key = 0; // the key it presses, 1..255
};

// Replaces the aliases (an empty list removes them). Aliases with a code
// out of range are ignored. Held state starts empty.
void UseKeyAliases(std::vector<TKeyAlias> aliases);
const std::vector<TKeyAlias>& KeyAliases();
