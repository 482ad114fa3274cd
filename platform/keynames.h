#pragma once
#include <string>
#include <string_view>

// Key names for settings files and messages: the names SDL gives the keys
// ("A", "Space", "Left Ctrl", "Keypad -", "F5"), for every key the input
// layer numbers. The same table serves every system, so a settings file
// means the same keys on Linux and on Windows.

// The virtual-key code of a key name (case does not matter); 0 if unknown.
int KeyCodeFromName(std::string_view name);
// The name of a virtual-key code; empty if the code has none.
std::string KeyNameFromCode(int key);
