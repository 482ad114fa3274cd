#include "platform/event.h"
#include "platform/hook.h"
#include "platform/input.h"
#include "platform/system.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

// A system driver fed by the test: Poll emits what was queued since the last
// pump, as a platform queue would.
class TQueueDriver final : public TSystemDriver {
  public:
    struct TItem {
        int id, data, x, y;
        const void* source;
    };
    void Add(int id, int data = 0, int x = 0, int y = 0, const void* source = nullptr) {
        items.push_back({id, data, x, y, source});
    }
    void Poll() override {
        ++polls;
        auto batch = std::move(items);
        items.clear();
        for (const TItem& i : batch)
            EmitSystemEvent(i.id, i.source, i.data, i.x, i.y);
    }
    void Wait() override { Poll(); }
    std::vector<TItem> items;
    int polls = 0;
};

class Input : public testing::Test {
  protected:
    void SetUp() override {
        driver = std::make_shared<TQueueDriver>();
        UseSystemDriver(driver);
        StopInputTracking();
        StartInputTracking();
        TakeCloseRequest();
    }
    void TearDown() override {
        StopInputTracking();
        UseSystemDriver(nullptr);
    }
    std::shared_ptr<TQueueDriver> driver;
};

} // namespace

TEST_F(Input, AHeldKeyIsOnePressAndStaysDownUntilReleased) {
    driver->Add(EVENT_KEYDOWN, 32);
    for (int i = 0; i < 5; ++i)
        driver->Add(EVENT_KEYREPEAT, 32);
    EXPECT_EQ(TakeKeyHits(32), 1);
    EXPECT_EQ(TakeKeyHits(32), 0);
    for (int frame = 0; frame < 3; ++frame) {
        driver->Add(EVENT_KEYREPEAT, 32);
        EXPECT_EQ(IsKeyDown(32), 1);
        EXPECT_EQ(TakeKeyHits(32), 0);
    }
    driver->Add(EVENT_KEYUP, 32);
    EXPECT_EQ(IsKeyDown(32), 0);
    EXPECT_EQ(TakeKeyHits(32), 0);
}

TEST_F(Input, TwoPressesBetweenFramesCountTwoThenNone) {
    driver->Add(EVENT_KEYDOWN, 13);
    driver->Add(EVENT_KEYUP, 13);
    driver->Add(EVENT_KEYDOWN, 13);
    driver->Add(EVENT_KEYUP, 13);
    EXPECT_EQ(TakeKeyHits(13), 2);
    EXPECT_EQ(TakeKeyHits(13), 0);
    // Other keys keep their own counts.
    driver->Add(EVENT_KEYDOWN, 49);
    driver->Add(EVENT_KEYDOWN, 109);
    EXPECT_EQ(TakeKeyHits(109), 1);
    EXPECT_EQ(TakeKeyHits(49), 1);
}

TEST_F(Input, AKeyDownWhoseKeyUpWasLostAddsNoPress) {
    driver->Add(EVENT_KEYDOWN, 27);
    driver->Add(EVENT_KEYDOWN, 27);
    EXPECT_EQ(TakeKeyHits(27), 1);
}

TEST_F(Input, ClearKeyStatePumpsThenForgetsKeysCountsAndCharacters) {
    driver->Add(EVENT_KEYDOWN, 32);
    driver->Add(EVENT_KEYCHAR, 'a');
    EXPECT_EQ(IsKeyDown(32), 1);
    // Events still waiting in the queue are forgotten too: clearing pumps first.
    driver->Add(EVENT_KEYDOWN, 13);
    ClearKeyState();
    EXPECT_EQ(IsKeyDown(32), 0);
    EXPECT_EQ(IsKeyDown(13), 0);
    EXPECT_EQ(TakeKeyHits(32), 0);
    EXPECT_EQ(TakeKeyHits(13), 0);
    EXPECT_EQ(NextKeyChar(), 0);
    // A key still physically held is up for the game: its repeats do not
    // bring it back, only a new press does.
    driver->Add(EVENT_KEYREPEAT, 32);
    EXPECT_EQ(IsKeyDown(32), 0);
    driver->Add(EVENT_KEYUP, 32);
    driver->Add(EVENT_KEYDOWN, 32);
    EXPECT_EQ(TakeKeyHits(32), 1);
}

TEST_F(Input, SuspendAndResumeForgetEveryState) {
    driver->Add(EVENT_KEYDOWN, 32);
    driver->Add(EVENT_MOUSEDOWN, 1);
    driver->Add(EVENT_KEYCHAR, 'q');
    driver->Add(EVENT_APPSUSPEND);
    EXPECT_EQ(IsAppSuspended(), 1);
    EXPECT_EQ(IsKeyDown(32), 0);
    EXPECT_EQ(TakeKeyHits(32), 0);
    EXPECT_EQ(IsMouseDown(1), 0);
    EXPECT_EQ(TakeMouseHits(1), 0);
    EXPECT_EQ(NextKeyChar(), 0);

    // A key pressed while switched away, then held across the switch back,
    // counts as up until released and pressed again.
    driver->Add(EVENT_KEYDOWN, 13);
    driver->Add(EVENT_APPRESUME);
    EXPECT_EQ(IsAppSuspended(), 0);
    EXPECT_EQ(IsKeyDown(13), 0);
    EXPECT_EQ(TakeKeyHits(13), 0);
    driver->Add(EVENT_KEYREPEAT, 13);
    EXPECT_EQ(TakeKeyHits(13), 0);
}

TEST_F(Input, ACloseRequestOnlySetsTheFlag) {
    driver->Add(EVENT_KEYDOWN, 32);
    driver->Add(EVENT_APPTERMINATE);
    EXPECT_EQ(IsKeyDown(32), 1);
    EXPECT_EQ(IsAppSuspended(), 0);
    EXPECT_EQ(TakeCloseRequest(), 1);
    EXPECT_EQ(TakeCloseRequest(), 0);
    EXPECT_EQ(TakeKeyHits(32), 1);
}

namespace {
std::vector<int> inner_hits;
THookData QueryFromHook(int, const THookData& data, void*) {
    // A query made while the pump runs must not pump again.
    inner_hits.push_back(TakeKeyHits(65));
    return data;
}
} // namespace

TEST_F(Input, EveryQueryPumpsButAPumpIsNotReEntered) {
    const int before = driver->polls;
    TakeKeyHits(1);
    IsKeyDown(1);
    NextKeyChar();
    TakeMouseHits(1);
    MousePosX();
    MouseWheelMove();
    IsAppSuspended();
    TakeCloseRequest();
    EXPECT_EQ(driver->polls - before, 8);

    InsertHook(EmitEventHookId(), QueryFromHook, nullptr, -1);
    driver->Add(EVENT_KEYDOWN, 65);
    driver->Add(EVENT_KEYUP, 66);
    const int polls = driver->polls;
    inner_hits.clear();
    EXPECT_EQ(IsKeyDown(65), 1);
    DeleteHook(EmitEventHookId(), QueryFromHook, nullptr);
    EXPECT_EQ(driver->polls - polls, 1);
    // The hook runs after the tracking hook, once per event: it sees the
    // press of the first event, which is then taken.
    EXPECT_EQ(inner_hits, (std::vector<int>{1, 0}));
    EXPECT_EQ(TakeKeyHits(65), 0);
}

TEST_F(Input, CharactersQueueInOrderAndOverflowIsDropped) {
    for (int i = 0; i < 300; ++i)
        driver->Add(EVENT_KEYCHAR, 1000 + i);
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(NextKeyChar(), 1000 + i) << i;
    EXPECT_EQ(NextKeyChar(), 0);
    // The ring keeps working after wrapping.
    driver->Add(EVENT_KEYCHAR, 'x');
    driver->Add(EVENT_KEYCHAR, 'y');
    EXPECT_EQ(NextKeyChar(), 'x');
    EXPECT_EQ(NextKeyChar(), 'y');
}

TEST_F(Input, OutOfRangeKeysAndButtonsAreIgnored) {
    driver->Add(EVENT_KEYDOWN, 256);
    driver->Add(EVENT_KEYDOWN, -3);
    driver->Add(EVENT_MOUSEDOWN, 4);
    driver->Add(EVENT_MOUSEDOWN, 0);
    EXPECT_EQ(TakeKeyHits(256), 0);
    EXPECT_EQ(IsKeyDown(-3), 0);
    EXPECT_EQ(TakeMouseHits(4), 0);
    EXPECT_EQ(IsMouseDown(0), 0);
    for (int k = 0; k < 256; ++k)
        ASSERT_EQ(IsKeyDown(k), 0) << k;
}

TEST_F(Input, MouseButtonsPositionAndWheel) {
    driver->Add(EVENT_MOUSEMOVE, 0, 100, 50);
    driver->Add(EVENT_MOUSEDOWN, 2, 100, 50);
    driver->Add(EVENT_MOUSEWHEEL, 3);
    EXPECT_EQ(MousePosX(), 100);
    EXPECT_EQ(MousePosY(), 50);
    EXPECT_EQ(IsMouseDown(2), 1);
    EXPECT_EQ(TakeMouseHits(2), 1);
    EXPECT_EQ(MouseWheelPos(), 3);
    MouseMoveX();
    MouseMoveY();
    MouseWheelMove();
    driver->Add(EVENT_MOUSEMOVE, 2, 90, 70);
    driver->Add(EVENT_MOUSEWHEEL, -1);
    EXPECT_EQ(MouseMoveX(), -10);
    EXPECT_EQ(MouseMoveY(), 20);
    EXPECT_EQ(MouseWheelMove(), -1);
    EXPECT_EQ(MouseMoveX(), 0);
    driver->Add(EVENT_MOUSEUP, 2);
    EXPECT_EQ(IsMouseDown(2), 0);
    ClearMouseState();
    EXPECT_EQ(MouseWheelPos(), 0);
}

TEST_F(Input, TrackingFollowsItsSourceAndStartsOnce) {
    StopInputTracking();
    int mine = 0, other = 0;
    StartInputTracking(&mine);
    StartInputTracking(); // already on: ignored, the filter stays
    driver->Add(EVENT_KEYDOWN, 70, 0, 0, &other);
    driver->Add(EVENT_KEYDOWN, 71, 0, 0, &mine);
    driver->Add(EVENT_KEYCHAR, 'z', 0, 0, &mine);
    EXPECT_EQ(TakeKeyHits(70), 0);
    EXPECT_EQ(TakeKeyHits(71), 1);
    // One tracking hook only: the character is queued once.
    EXPECT_EQ(NextKeyChar(), 'z');
    EXPECT_EQ(NextKeyChar(), 0);

    StopInputTracking();
    EXPECT_FALSE(InputTrackingActive());
    driver->Add(EVENT_KEYDOWN, 72);
    EXPECT_EQ(TakeKeyHits(72), 0);
}

TEST_F(Input, WaitAnyKeyClearsThenReturnsTheNextPressedKey) {
    driver->Add(EVENT_KEYDOWN, 40); // pending before the wait: cleared
    driver->Add(EVENT_KEYCHAR, 'k');
    // Queue more only after the clearing pump; the driver's Wait delivers it.
    struct TLater final : TSystemDriver {
        TQueueDriver* inner;
        int waits = 0;
        void Poll() override { inner->Poll(); }
        void Wait() override {
            if (++waits == 2) inner->Add(EVENT_KEYDOWN, 88);
            inner->Poll();
        }
    };
    auto later = std::make_shared<TLater>();
    later->inner = driver.get();
    UseSystemDriver(later);
    EXPECT_EQ(WaitAnyKey(), 88);
    EXPECT_EQ(later->waits, 2);
    EXPECT_EQ(TakeKeyHits(88), 0); // the wait took the press
    EXPECT_EQ(IsKeyDown(40), 0);
}
