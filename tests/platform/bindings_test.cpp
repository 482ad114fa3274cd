// Extra switches: keys, mouse buttons and pad buttons pressing another key,
// merged with it, before the key tracking.
#include "platform/bindings.h"
#include "platform/event.h"
#include "platform/input.h"
#include "platform/joystick.h"
#include "platform/system.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

class TQueueDriver final : public TSystemDriver {
  public:
    void Add(int id, int data) { items.push_back({id, data}); }
    void Poll() override {
        auto batch = std::move(items);
        items.clear();
        for (const auto& [id, data] : batch)
            EmitSystemEvent(id, nullptr, data);
    }
    void Wait() override { Poll(); }
    std::vector<std::pair<int, int>> items;
};

// Two pads whose buttons the test holds.
class TPads final : public TJoypadBackend {
  public:
    int Enumerate() override { return 2; }
    bool Caps(int port, TJoypadCaps& caps) override {
        caps.buttons = 16;
        return port < 2;
    }
    bool Read(int port, TJoypadRaw& raw) override {
        if (port >= 2) return false;
        raw.buttons = buttons[port];
        return true;
    }
    unsigned buttons[2] = {};
};

using K = TInputSource::Kind;

class Bindings : public testing::Test {
  protected:
    void SetUp() override {
        driver = std::make_shared<TQueueDriver>();
        pads = std::make_shared<TPads>();
        UseSystemDriver(driver);
        UseJoypadBackend(pads);
        StopInputTracking();
        StartInputTracking();
    }
    void TearDown() override {
        UseKeyAliases({});
        StopInputTracking();
        UseJoypadBackend(nullptr);
        UseSystemDriver(nullptr);
    }
    std::shared_ptr<TQueueDriver> driver;
    std::shared_ptr<TPads> pads;
};

TEST_F(Bindings, KeyMouseAndPadSourcesPressTheirKeyAndNotThemselves) {
    UseKeyAliases({{{K::Key, 'A', 0}, 32}, {{K::Mouse, 2, 0}, 13}, {{K::PadButton, 5, 1}, 49}});
    driver->Add(EVENT_KEYDOWN, 'A');
    EXPECT_EQ(TakeKeyHits(32), 1);
    EXPECT_EQ(IsKeyDown(32), 1);
    EXPECT_EQ(IsKeyDown('A'), 0);
    driver->Add(EVENT_KEYUP, 'A');
    EXPECT_EQ(IsKeyDown(32), 0);

    driver->Add(EVENT_MOUSEDOWN, 2);
    EXPECT_EQ(TakeKeyHits(13), 1);
    EXPECT_EQ(TakeMouseHits(2), 0);
    driver->Add(EVENT_MOUSEUP, 2);
    EXPECT_EQ(IsKeyDown(13), 0);

    // Pad 2's button 5, read at the pump; the pad's own presses are untouched.
    pads->buttons[1] = 1u << 5;
    EXPECT_EQ(TakeKeyHits(49), 1);
    EXPECT_EQ(TakeKeyHits(49), 0);
    EXPECT_EQ(IsKeyDown(49), 1);
    EXPECT_EQ(TakeJoyButtonHits(5, 1), 1);
    pads->buttons[1] = 0;
    EXPECT_EQ(IsKeyDown(49), 0);
    // Other inputs pass as before.
    driver->Add(EVENT_KEYDOWN, 'Q');
    driver->Add(EVENT_MOUSEDOWN, 1);
    EXPECT_EQ(TakeKeyHits('Q'), 1);
    EXPECT_EQ(TakeMouseHits(1), 1);
}

TEST_F(Bindings, SourcesOfOneKeyAreMergedUntilTheLastIsReleased) {
    UseKeyAliases({{{K::Key, 'A', 0}, 32}, {{K::Mouse, 1, 0}, 32}, {{K::PadButton, 0, 0}, 32}});
    driver->Add(EVENT_KEYDOWN, 32);
    driver->Add(EVENT_KEYDOWN, 'A');
    driver->Add(EVENT_MOUSEDOWN, 1);
    EXPECT_EQ(TakeKeyHits(32), 1);
    pads->buttons[0] = 1;
    EXPECT_EQ(TakeKeyHits(32), 0); // held already
    driver->Add(EVENT_KEYUP, 32);
    driver->Add(EVENT_KEYUP, 'A');
    driver->Add(EVENT_MOUSEUP, 1);
    EXPECT_EQ(IsKeyDown(32), 1); // the pad button still holds it
    pads->buttons[0] = 0;
    EXPECT_EQ(IsKeyDown(32), 0);
    EXPECT_EQ(TakeKeyHits(32), 0);
    // After a clear a held source counts again only when pressed anew.
    driver->Add(EVENT_KEYDOWN, 'A');
    EXPECT_EQ(TakeKeyHits(32), 1);
    ClearKeyState();
    driver->Add(EVENT_KEYDOWN, 32);
    EXPECT_EQ(TakeKeyHits(32), 1);
    // Switching away forgets them all, as it forgets the keys.
    driver->Add(EVENT_APPSUSPEND, 0);
    driver->Add(EVENT_APPRESUME, 0);
    driver->Add(EVENT_KEYDOWN, 'A');
    driver->Add(EVENT_KEYUP, 'A');
    EXPECT_EQ(TakeKeyHits(32), 1);
    EXPECT_EQ(IsKeyDown(32), 0);
}

TEST_F(Bindings, NoAliasesIsNoHookAndBadOnesAreIgnored) {
    UseKeyAliases({{{K::Key, 300, 0}, 32}, {{K::Mouse, 4, 0}, 32}, {{K::Key, 'A', 0}, 0}});
    EXPECT_TRUE(KeyAliases().empty());
    driver->Add(EVENT_KEYDOWN, 'A');
    EXPECT_EQ(TakeKeyHits('A'), 1);
    EXPECT_EQ(TakeKeyHits(32), 0);
    UseKeyAliases({{{K::Key, 'A', 0}, 32}});
    UseKeyAliases({});
    driver->Add(EVENT_KEYUP, 'A');
    driver->Add(EVENT_KEYDOWN, 'A');
    EXPECT_EQ(TakeKeyHits('A'), 1);
    EXPECT_EQ(TakeKeyHits(32), 0);
}

} // namespace
