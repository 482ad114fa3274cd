// The display module: driver selection, opening and closing, the refresh
// measurement and the software frame pacing, on a recording display with a
// hand-driven clock.
#include <gtest/gtest.h>

#include <numeric>

#include "graphics/canvas.h"
#include "graphics/graphics.h"
#include "platform/hook.h"
#include "graphics/recording_canvas.h"
#include "platform/clock.h"

namespace {

// A clock that moves only when the test, a flip or a delay moves it.
class TManualClock : public TClockSource {
  public:
    int now = 5000;
    std::vector<int> delays;
    int Millis() override { return now; }
    void Delay(int ms) override {
        delays.push_back(ms);
        Advance(ms);
    }
    // Readings wrap at 2^32 like the real clock's.
    void Advance(int ms) { now = static_cast<int>(static_cast<unsigned>(now) + static_cast<unsigned>(ms)); }
};

class DisplayTest : public ::testing::Test {
  protected:
    void SetUp() override {
        clock = std::make_shared<TManualClock>();
        UseClockSource(clock);
        canvas = std::make_shared<TRecordingCanvasDriver>();
        display = canvas->RecordingDisplay();
        SelectGraphicsDriver(canvas, GFX_DOUBLE_BUFFER);
    }
    void TearDown() override {
        CloseOpenedGraphics();
        SelectGraphicsDriver(nullptr, 0);
        UseClockSource(nullptr);
    }
    // Every synced flip of the display takes `ms`; unsynced flips take no time.
    void VsyncTakes(std::vector<int> ms_sequence) {
        auto seq = std::make_shared<std::vector<int>>(std::move(ms_sequence));
        auto index = std::make_shared<size_t>(0);
        display->on_flip = [this, seq, index](int sync) {
            if (sync == 0 || seq->empty()) return;
            clock->Advance((*seq)[std::min(*index, seq->size() - 1)]);
            ++*index;
        };
    }
    // Frame intervals seen by a game loop whose frames take `work_ms` of drawing.
    std::vector<int> RunFrames(int n, int work_ms = 0) {
        std::vector<int> intervals;
        int last = clock->now;
        for (int i = 0; i < n; ++i) {
            clock->Advance(work_ms);
            Flip(-1);
            intervals.push_back(
                static_cast<int>(static_cast<unsigned>(clock->now) - static_cast<unsigned>(last)));
            last = clock->now;
        }
        return intervals;
    }

    std::shared_ptr<TManualClock> clock;
    std::shared_ptr<TRecordingCanvasDriver> canvas;
    TRecordingDisplayDriver* display = nullptr;
};

} // namespace

TEST(DisplayMode, TextFormAndExistence) {
    EXPECT_EQ((TGraphicsMode{1024, 768, 32, 60}).ToString(), "1024,768,32 60Hz");
    auto canvas = std::make_shared<TRecordingCanvasDriver>();
    SelectGraphicsDriver(canvas, 0);
    EXPECT_EQ(CountGraphicsModes(), 3);
    EXPECT_TRUE(GraphicsModeExists(1024, 768, 32, 50));
    EXPECT_TRUE(GraphicsModeExists(800, 0, 0, 0));
    EXPECT_FALSE(GraphicsModeExists(800, 600, 32, 0));
    int w, h, d, hz;
    EXPECT_TRUE(GetGraphicsMode(2, w, h, d, hz));
    EXPECT_EQ(w * 10000 + h, 800 * 10000 + 600);
    EXPECT_FALSE(GetGraphicsMode(3, w, h, d, hz));
    EXPECT_EQ(w, 0);
    SelectGraphicsDriver(nullptr, 0);
}

TEST_F(DisplayTest, SixtyHertzPacingCarriesTheRemainder) {
    ASSERT_TRUE(OpenGraphics(640, 480, 0, 60, 0)); // windowed: soft sync on
    EXPECT_TRUE(SoftSyncActive());
    const auto intervals = RunFrames(120);
    for (int frames = 0; frames < 120; frames += 60) {
        const auto first = intervals.begin() + frames;
        EXPECT_EQ(std::count(first, first + 60, 17), 40);
        EXPECT_EQ(std::count(first, first + 60, 16), 20);
        EXPECT_EQ(std::accumulate(first, first + 60, 0), 1000);
    }
    // Presented without waiting for the vertical blank.
    EXPECT_EQ(display->flips.back(), 0);
}

TEST_F(DisplayTest, PacingCarriesOnAcrossTheClockWrap) {
    clock->now = 2147483647 - 50; // the signed reading turns negative 50 ms in
    VsyncTakes({16});
    ASSERT_TRUE(OpenGraphics(1024, 768, 32, 50, 0)); // measures across the wrap
    EXPECT_TRUE(SoftSyncActive());
    const auto intervals = RunFrames(10, 3);
    EXPECT_EQ(intervals, std::vector<int>(10, 20));
}

TEST_F(DisplayTest, OverrunningFrameIsNotMadeUpLater) {
    ASSERT_TRUE(OpenGraphics(640, 480, 0, 50, 0));
    RunFrames(3, 5);
    clock->delays.clear();
    clock->now += 70; // a long frame: 50 ms past its slot
    Flip(-1);
    EXPECT_TRUE(clock->delays.empty());
    // The next frames are full 20 ms frames counted from the late one.
    const auto intervals = RunFrames(3, 5);
    EXPECT_EQ(intervals, (std::vector<int>{20, 20, 20}));
    EXPECT_EQ(clock->delays, (std::vector<int>{15, 15, 15}));
}

TEST_F(DisplayTest, RefreshMeasurementTurnsSoftSyncOffAndOn) {
    // Three 20 ms flips in a row (after a miss) prove the display keeps 50 Hz.
    VsyncTakes({20, 20, 35, 21, 19, 20, 20});
    ASSERT_TRUE(OpenGraphics(1024, 768, 32, 50, 0));
    EXPECT_FALSE(SoftSyncActive());
    clock->delays.clear();
    const int before = clock->now;
    display->flips.clear();
    RunFrames(5);
    EXPECT_EQ(display->flips, (std::vector<int>{1, 1, 1, 1, 1}));
    EXPECT_TRUE(clock->delays.empty());
    EXPECT_EQ(clock->now - before, 5 * 20); // each frame waits on the display

    // A 60 Hz monitor never measures 19-21 ms: a second of trying, then sleeping.
    VsyncTakes({16, 17});
    const int start = clock->now;
    ASSERT_TRUE(OpenGraphics(1024, 768, 32, 50, 0));
    EXPECT_TRUE(SoftSyncActive());
    EXPECT_GE(clock->now - start, 1000);
    display->flips.clear();
    RunFrames(4);
    EXPECT_EQ(display->flips, (std::vector<int>{0, 0, 0, 0}));
}

TEST_F(DisplayTest, HertzZeroMeansNoPacing) {
    ASSERT_TRUE(OpenGraphics(1024, 768, 32, 0, 0));
    EXPECT_FALSE(SoftSyncActive());
    display->flips.clear();
    RunFrames(2);
    EXPECT_EQ(display->flips, (std::vector<int>{1, 1})); // full screen: vertical sync
    ASSERT_TRUE(OpenGraphics(640, 480, 0, 0, 0));
    display->flips.clear();
    RunFrames(2);
    EXPECT_EQ(display->flips, (std::vector<int>{0, 0})); // windowed: none
    EXPECT_TRUE(clock->delays.empty());
    // Explicit sync values go straight to the display.
    display->flips.clear();
    Flip(0);
    Flip(1);
    Flip(2);
    EXPECT_EQ(display->flips, (std::vector<int>{0, 1, 2}));
}

TEST_F(DisplayTest, SecondOpenBumpsGenerationTwiceAndClosesTheFirst) {
    const int g0 = GraphicsGeneration();
    auto first = OpenGraphics(640, 480, 0, 50, 0);
    ASSERT_TRUE(first);
    EXPECT_EQ(GraphicsGeneration(), g0 + 1);
    auto second = OpenGraphics(800, 600, 0, 50, 0);
    ASSERT_TRUE(second);
    EXPECT_EQ(GraphicsGeneration(), g0 + 3);
    EXPECT_EQ(display->closed, 1);
    EXPECT_EQ(OpenedGraphics(), second);
    EXPECT_EQ(DisplayWidth(), 800);
    EXPECT_EQ(DisplayHeight(), 600);
    EXPECT_EQ(DisplayHertz(), 50);
    EXPECT_EQ(DisplayFlags(), GFX_DOUBLE_BUFFER);
    CloseOpenedGraphics();
    EXPECT_EQ(GraphicsGeneration(), g0 + 4);
    EXPECT_EQ(display->closed, 2);
    EXPECT_FALSE(OpenedGraphics());
    EXPECT_FALSE(CurrentGraphics());
    EXPECT_EQ(DisplayWidth(), 0);
    EXPECT_EQ(TCanvasGraphics::Current(), nullptr);
    CloseOpenedGraphics(); // nothing open: no change
    EXPECT_EQ(GraphicsGeneration(), g0 + 4);
}

TEST_F(DisplayTest, CreationErrorsGiveNull) {
    const int g0 = GraphicsGeneration();
    display->throw_on_create = true;
    EXPECT_FALSE(OpenGraphics(1024, 768, 32, 50, 0));
    EXPECT_FALSE(CreateGraphics(1024, 768, 32, 50, 0));
    display->throw_on_create = false;
    display->fail_create = true;
    EXPECT_FALSE(OpenGraphics(1024, 768, 32, 50, 0));
    EXPECT_EQ(GraphicsGeneration(), g0);
    EXPECT_FALSE(CurrentGraphics());
    // Drawing with no context does nothing and does not crash.
    Flip(-1);
    DrawRect(0, 0, 10, 10);
    EXPECT_TRUE(canvas->Entries("quads").empty());
}

TEST_F(DisplayTest, SelectingAnotherDriverLetsGoOfTheContext) {
    ASSERT_TRUE(OpenGraphics(640, 480, 0, 50, 0));
    EXPECT_TRUE(TCanvasGraphics::Current());
    EXPECT_FALSE(display->current.expired());
    auto other = std::make_shared<TRecordingCanvasDriver>();
    SelectGraphicsDriver(other, 0);
    EXPECT_EQ(TCanvasGraphics::Current(), nullptr);
    EXPECT_TRUE(display->current.expired());
    EXPECT_FALSE(CurrentGraphics());
    EXPECT_EQ(DisplayWidth(), 0);
    EXPECT_EQ(GraphicsDriverDefaultFlags(), 0);
    // Making the old context current again switches the driver back.
    SetGraphics(OpenedGraphics());
    EXPECT_EQ(GetGraphicsDriver(), canvas);
    EXPECT_EQ(DisplayWidth(), 640);
    EXPECT_TRUE(TCanvasGraphics::Current());
}

namespace {
THookData CountFlip(int id, const THookData& data, void* context) {
    EXPECT_EQ(id, OnFlipHook);
    EXPECT_FALSE(data.has_value()); // run with no data
    ++*static_cast<int*>(context);
    return data;
}
} // namespace

TEST_F(DisplayTest, FlipHooksRunOnEveryFlip) {
    EXPECT_GT(OnFlipHook, 0); // a hook id of the platform's hook system
    int runs = 0;
    InsertHook(OnFlipHook, &CountFlip, &runs, 0);
    Flip(0); // no display: hooks still run
    ASSERT_TRUE(OpenGraphics(640, 480, 0, 50, 0));
    Flip(-1);
    DeleteHook(OnFlipHook, &CountFlip, &runs);
    Flip(-1);
    EXPECT_EQ(runs, 2);
}
