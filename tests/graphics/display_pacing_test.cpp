// The display module: driver selection, opening and closing, the refresh
// measurement and the software frame pacing, on a recording display with a
// hand-driven clock.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <numeric>
#include <sstream>
#include <string>

#include "graphics/canvas.h"
#include "graphics/framelog.h"
#include "graphics/graphics.h"
#include "platform/hook.h"
#include "graphics/recording_canvas.h"
#include "platform/clock.h"
#include "support/test_support.h"

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
        SetDropLateFrames(true);
        CloseFrameLog();
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

    // Runs one frame of `work_ms` per entry; 1 for each frame presented, 0 for
    // each dropped. The 2D driver must know of every dropped frame.
    std::vector<int> PresentedFrames(const std::vector<int>& work_ms) {
        std::vector<int> presented;
        for (int work : work_ms) {
            EXPECT_EQ(canvas->DroppingFrame(), FrameDropped());
            clock->Advance(work);
            const size_t before = display->flips.size();
            Flip(-1);
            presented.push_back(static_cast<int>(display->flips.size() - before));
        }
        return presented;
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
    SetDropLateFrames(false);
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

TEST_F(DisplayTest, LateFramesAreDroppedToKeepTheSchedule) {
    ASSERT_TRUE(OpenGraphics(640, 480, 0, 50, 0)); // sleeping keeps the pace
    const int start = clock->now;
    const long dropped = DroppedFrameCount();
    // Frame 2 ends 25 ms late: frame 3 is dropped, and it catches up. Frame 6
    // ends 45 ms late: two frames are dropped before one is on time again.
    const std::vector<int> work = {5, 45, 5, 5, 5, 65, 5, 5, 5, 5};
    EXPECT_EQ(PresentedFrames(work), (std::vector<int>{1, 1, 0, 1, 1, 1, 0, 0, 1, 1}));
    EXPECT_EQ(DroppedFrameCount() - dropped, 3);
    EXPECT_EQ(clock->now - start, 10 * 20); // the lost time was made up
    EXPECT_FALSE(FrameDropped());

    // A frame less than a whole frame late is shown; the next is due on the schedule.
    clock->delays.clear();
    EXPECT_EQ(PresentedFrames({39, 0}), (std::vector<int>{1, 1}));
    EXPECT_EQ(clock->delays, (std::vector<int>{1}));

    // Turned off, the same frames are all shown and the lost time stays lost.
    SetDropLateFrames(false);
    const int off_start = clock->now;
    EXPECT_EQ(PresentedFrames(work), std::vector<int>(10, 1));
    EXPECT_EQ(clock->now - off_start, 270);
}

TEST_F(DisplayTest, AShownFrameIsFinishedBeforeItsWaitAndTheWaitCountsTheFinishing) {
    ASSERT_TRUE(OpenGraphics(640, 480, 0, 50, 0));
    display->on_finish = [this] { clock->Advance(4); }; // finishing a frame takes 4 ms
    RunFrames(2, 5);
    clock->delays.clear();
    const int finished = display->finished;
    // On time: finished, then the rest of the slot waited. Late: no wait, nothing to finish
    // early; the dropped frame after it is never finished. Then on time again with 5 ms left.
    EXPECT_EQ(PresentedFrames({5, 45, 5, 5}), (std::vector<int>{1, 1, 0, 1}));
    EXPECT_EQ(display->finished - finished, 2);
    EXPECT_EQ(clock->delays, (std::vector<int>{11, 1}));
    // Turned off, finishing still comes before the wait; a frame that finishing makes late
    // is not waited for, and the schedule starts again from then.
    SetDropLateFrames(false);
    clock->delays.clear();
    EXPECT_EQ(RunFrames(2, 17), (std::vector<int>{21, 21}));
    EXPECT_TRUE(clock->delays.empty());
}

TEST_F(DisplayTest, AStallIsForgottenNotFastForwarded) {
    ASSERT_TRUE(OpenGraphics(640, 480, 0, 50, 0));
    RunFrames(3, 5);
    // A second without frames (a dragged window): nothing is dropped after it,
    // and the frames go on 20 ms apart from where the stall ended.
    EXPECT_EQ(PresentedFrames({1000, 5}), (std::vector<int>{1, 1}));
    EXPECT_FALSE(FrameDropped());
    clock->delays.clear();
    EXPECT_EQ(RunFrames(3, 5), (std::vector<int>{20, 20, 20}));
    EXPECT_EQ(clock->delays, (std::vector<int>{15, 15, 15}));
    // Just under the stall limit the game catches up: fifteen 5 ms frames in a
    // row are dropped to make up 240 ms.
    std::vector<int> work(20, 5);
    work[0] = 260; // 240 ms late
    const auto presented = PresentedFrames(work);
    EXPECT_EQ(std::count(presented.begin(), presented.end(), 0), 15);
    EXPECT_EQ(std::count(presented.begin() + 1, presented.begin() + 16, 0), 15);
}

TEST_F(DisplayTest, VerticalSyncPacingDropsAgainstTheClock) {
    VsyncTakes({20});
    ASSERT_TRUE(OpenGraphics(1024, 768, 32, 50, 0));
    ASSERT_FALSE(SoftSyncActive());
    // A frame that works 20 ms before waiting on the display is a whole frame
    // late: the next one is not presented, so it does not wait on the display.
    EXPECT_EQ(PresentedFrames({0, 20, 3, 0, 0}), (std::vector<int>{1, 1, 0, 1, 1}));
    EXPECT_TRUE(clock->delays.empty());
    // A display slightly faster than the clock never puts the game ahead of
    // schedule, so a late frame after many early ones still counts as late.
    VsyncTakes({19});
    PresentedFrames(std::vector<int>(100, 0));
    EXPECT_EQ(PresentedFrames({21, 0, 0}), (std::vector<int>{1, 0, 1}));
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

TEST_F(DisplayTest, FrameLogHasALinePerPacedFrame) {
    EXPECT_FALSE(OpenFrameLog(BinaryDir() + "/no-such-folder/frames.log"));
    EXPECT_FALSE(FrameLogOpen());
    const std::string path = BinaryDir() + "/display_pacing_frames.log";
    ASSERT_TRUE(OpenFrameLog(path));
    ASSERT_TRUE(OpenGraphics(640, 480, 0, 50, 0));
    Flip(0); // not a paced frame: no line
    // The third frame burns 20 ms of CPU, which its line must show.
    clock->Advance(5);
    Flip(-1);
    clock->Advance(45);
    Flip(-1);
    const int64_t cpu0 = ProcessCpuMicros();
    const int wall0 = SystemClockMillis();
    while (ProcessCpuMicros() - cpu0 < 20000 && ClockDiff(SystemClockMillis(), wall0) < 5000) {
    }
    Flip(-1);
    Flip(-1);
    CloseFrameLog();
    Flip(-1); // closed: no line

    std::ifstream in(path);
    std::string line;
    ASSERT_TRUE(std::getline(in, line));
    EXPECT_EQ(line, "# frame flip_us shown cpu_us");
    std::vector<long> frames;
    std::vector<int> shown;
    std::vector<long long> times, cpu;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        long frame = 0;
        int drawn = -1;
        long long t = 0, c = -1;
        ASSERT_TRUE(fields >> frame >> t >> drawn >> c) << line;
        frames.push_back(frame);
        times.push_back(t);
        shown.push_back(drawn);
        cpu.push_back(c);
    }
    ASSERT_EQ(frames.size(), 4u);
    for (size_t i = 1; i < frames.size(); ++i) {
        EXPECT_EQ(frames[i], frames[i - 1] + 1);
        EXPECT_GE(times[i], times[i - 1]);
    }
    EXPECT_EQ(shown, (std::vector<int>{1, 1, 0, 1}));
    EXPECT_GE(cpu[2], 20000);
    for (long long c : cpu)
        EXPECT_GE(c, 0);
    std::remove(path.c_str());
}
