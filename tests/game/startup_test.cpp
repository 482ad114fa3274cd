// Start-up: a damaged embedded file stops the game with a message naming it.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "assets/embedded_assets.h"
#include "game/startup.h"
#include "platform/embed.h"
#include "platform/error.h"
#include "sim/input_script.h"
#include "sim/virtual_clock.h"
#include "sim/virtual_display.h"

namespace {

// Runs in a child process of its own (the death-test style that starts the
// program again), so the damaged picture is registered before the real files
// whatever this process registered already. Exits 0 when start-up stopped
// with a one-line message naming the file.
[[noreturn]] void StartUpWithDamagedBubble() {
    // The first registration of a name stands, so a damaged picture registered
    // before the real files takes the real one's place.
    static const unsigned char damaged[] = {0x89, 'P', 'N', 'G', 0x0d, 0x0a, 0x1a,
                                            0x0a, 0,   0,   0,   13,   'I',  'H'};
    EmbedRegister("gfx_bubble.png", damaged, sizeof damaged);
    RegisterEmbeddedAssets();

    auto clock = UseVirtualClock(100000);
    auto display = UseVirtualDisplay(TVirtualRenderer::NUL, clock);
    TScriptedInput input;
    input.Install();
    try {
        StartUp(nullptr);
        std::fprintf(stderr, "start-up went on with a damaged picture\n");
    } catch (const TRuntimeError& e) {
        const std::string what = e.what();
        std::fprintf(stderr, "stopped: %s\n", what.c_str());
        if (what.find("gfx_bubble.png") != std::string::npos && what.find('\n') == std::string::npos)
            std::exit(0);
    }
    std::exit(1);
}

TEST(Startup, DamagedEmbeddedFileStopsStartUpNamingTheFile) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(StartUpWithDamagedBubble(), ::testing::ExitedWithCode(0), "stopped: .*gfx_bubble.png");
}

} // namespace
