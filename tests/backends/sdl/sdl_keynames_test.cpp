// The settings' key names are SDL's: each name, looked up by SDL, gives the
// key code that the SDL backend sends for that key.
#include <gtest/gtest.h>

#include <SDL.h>

#include <string>

#include "backends/sdl/sdl_events.h"
#include "platform/keynames.h"

TEST(SdlKeyNames, EveryNamedKeyIsTheCodeSdlSends) {
    int named = 0;
    for (int code = 1; code < 256; ++code) {
        const std::string name = KeyNameFromCode(code);
        if (name.empty()) continue;
        ++named;
        const SDL_Scancode sc = SDL_GetScancodeFromName(name.c_str());
        ASSERT_NE(sc, SDL_SCANCODE_UNKNOWN) << name;
        EXPECT_EQ(SdlVirtualKey(sc, SDL_GetKeyFromScancode(sc)), code) << name;
        EXPECT_EQ(KeyCodeFromName(name), code) << name;
    }
    EXPECT_GT(named, 100);
    // The second names of a code, and SDL's own spelling in another case.
    for (const char* name : {"Keypad Enter", "#", "left ctrl", "KEYPAD -"}) {
        const SDL_Scancode sc = SDL_GetScancodeFromName(name);
        ASSERT_NE(sc, SDL_SCANCODE_UNKNOWN) << name;
        EXPECT_EQ(SdlVirtualKey(sc, SDL_GetKeyFromScancode(sc)), KeyCodeFromName(name)) << name;
    }
}
