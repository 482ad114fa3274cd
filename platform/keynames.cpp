#include "platform/keynames.h"

#include <cctype>

namespace {

struct TKeyName {
    const char* name;
    int key;
};

// Named keys beyond the letters, digits and function keys. Where two names
// give one code (both Enter keys), the first is the one shown.
constexpr TKeyName NAMED_KEYS[] = {
    {"Return", 13},      {"Keypad Enter", 13}, {"Escape", 27},    {"Backspace", 8},    {"Tab", 9},
    {"Space", 32},       {"-", 189},           {"=", 187},        {"[", 219},          {"]", 221},
    {"\\", 220},         {"#", 222},           {";", 186},        {"'", 222},          {"`", 192},
    {",", 188},          {".", 190},           {"/", 191},        {"CapsLock", 20},    {"PrintScreen", 44},
    {"ScrollLock", 145}, {"Pause", 19},        {"Insert", 45},    {"Home", 36},        {"PageUp", 33},
    {"Delete", 46},      {"End", 35},          {"PageDown", 34},  {"Right", 39},       {"Left", 37},
    {"Down", 40},        {"Up", 38},           {"Numlock", 144},  {"Keypad /", 111},   {"Keypad *", 106},
    {"Keypad -", 109},   {"Keypad +", 107},    {"Keypad 0", 96},  {"Keypad 1", 97},    {"Keypad 2", 98},
    {"Keypad 3", 99},    {"Keypad 4", 100},    {"Keypad 5", 101}, {"Keypad 6", 102},   {"Keypad 7", 103},
    {"Keypad 8", 104},   {"Keypad 9", 105},    {"Keypad .", 110}, {"Application", 93}, {"Left Ctrl", 162},
    {"Left Shift", 160}, {"Left Alt", 164},    {"Left GUI", 91},  {"Right Ctrl", 163}, {"Right Shift", 161},
    {"Right Alt", 165},  {"Right GUI", 92},
};

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

// "F1".."F24": 112..135; 0 for anything else.
int FunctionKey(std::string_view name) {
    if (name.size() < 2 || name.size() > 3 || (name[0] != 'F' && name[0] != 'f')) return 0;
    int n = 0;
    for (const char c : name.substr(1)) {
        if (c < '0' || c > '9') return 0;
        n = n * 10 + (c - '0');
    }
    if (name[1] == '0' || n < 1 || n > 24) return 0;
    return 111 + n;
}

} // namespace

int KeyCodeFromName(std::string_view name) {
    if (name.size() == 1) {
        const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
        if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return c;
    }
    if (const int f = FunctionKey(name)) return f;
    for (const TKeyName& k : NAMED_KEYS) {
        if (SameName(name, k.name)) return k.key;
    }
    return 0;
}

std::string KeyNameFromCode(int key) {
    if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9'))
        return std::string(1, static_cast<char>(key));
    if (key >= 112 && key <= 135) return "F" + std::to_string(key - 111);
    for (const TKeyName& k : NAMED_KEYS) {
        if (k.key == key) return k.name;
    }
    return {};
}
