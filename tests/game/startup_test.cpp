// Start-up: a damaged embedded file stops the game with a message naming it.
#include <gtest/gtest.h>

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

TEST(Startup, DamagedEmbeddedFileStopsStartUpNamingTheFile) {
    // The first registration of a name stands, so a damaged picture registered
    // before the real files takes the real one's place.
    if (EmbedData("gfx_bubble.png") != nullptr) GTEST_SKIP() << "the real files are already registered";
    static const unsigned char damaged[] = {0x89, 'P', 'N', 'G', 0x0d, 0x0a, 0x1a,
                                            0x0a, 0,   0,   0,   13,   'I',  'H'};
    EmbedRegister("gfx_bubble.png", damaged, sizeof damaged);
    RegisterEmbeddedAssets();

    auto clock = InstallVirtualClock(100000);
    auto display = UseVirtualDisplay(TVirtualRenderer::NUL, clock);
    ASSERT_TRUE(display);
    TScriptedInput input;
    input.Install();
    try {
        StartUp();
        FAIL() << "start-up went on with a damaged picture";
    } catch (const TRuntimeError& e) {
        const std::string what = e.what();
        EXPECT_NE(what.find("gfx_bubble.png"), std::string::npos) << what;
        EXPECT_EQ(what.find('\n'), std::string::npos);
    }
}

} // namespace
