#include "graphics/graphics.h"

#include <cstdlib>
#include <exception>
#include <map>

#include "graphics/framelog.h"
#include "platform/clock.h"
#include "platform/hook.h"
#include "platform/input.h"
#include "platform/system.h"

std::string TGraphicsMode::ToString() const {
    return std::to_string(width) + "," + std::to_string(height) + "," + std::to_string(depth) + " " +
           std::to_string(hertz) + "Hz";
}

namespace {

struct TGraphicsState {
    std::shared_ptr<TGraphicsDriver> driver;
    int default_flags = 0;
    std::shared_ptr<TGraphics> current;
    int width = 0, height = 0, depth = 0, hertz = 0, flags = 0;
    std::map<int, std::vector<TGraphicsMode>> modes; // by display

    std::shared_ptr<TGraphics> opened;
    bool soft_sync = false;
    int pace_hertz = 0;
    int frame_ms = 0;
    int remainder = 0;
    int accumulator = 0;
    int due = 0;
    bool drop_late = true;
    bool dropping = false; // the frame being drawn is dropped
    long dropped = 0;
    long frames = 0; // Flip(-1) calls
    int generation = 1;
    bool exit_registered = false;
};

TGraphicsState& State() {
    // Never destroyed: CloseOpenedGraphics runs from the at-exit list and must find it.
    static TGraphicsState* state = new TGraphicsState;
    return *state;
}

void ZeroSettings() {
    TGraphicsState& s = State();
    s.width = s.height = s.depth = s.hertz = s.flags = 0;
}

void BumpGeneration() {
    TGraphicsState& s = State();
    // Unsigned so that the wrap is defined; 0 is kept for "no texture".
    s.generation = static_cast<int>(static_cast<unsigned>(s.generation) + 1u);
    if (s.generation == 0) s.generation = 1;
}

// Tells the driver whether the frame that starts now is dropped.
void SetDropping(TGraphicsState& s, bool dropping) {
    if (dropping == s.dropping) return;
    s.dropping = dropping;
    if (s.driver) s.driver->SetFrameDropped(dropping);
}

// Switches to another driver: the old one lets go of its context first.
void SwitchDriver(const std::shared_ptr<TGraphicsDriver>& driver) {
    TGraphicsState& s = State();
    if (driver == s.driver) return;
    SetDropping(s, false);
    if (s.driver && s.current) s.driver->SetGraphics(nullptr);
    s.modes.clear();
    s.driver = driver;
}

void CloseOpenedGraphicsAtExit() {
    CloseOpenedGraphics();
}

// Whole milliseconds per frame; the remainder is carried so that rates that do
// not divide 1000 keep their average exactly.
void AdvanceDueTime(TGraphicsState& s) {
    s.due = ClockAdd(s.due, s.frame_ms);
    s.accumulator += s.remainder;
    if (s.accumulator >= s.pace_hertz) {
        s.accumulator -= s.pace_hertz;
        s.due = ClockAdd(s.due, 1);
    }
}

// Further behind than this the game has stalled (a dragged window, a debugger):
// catching up would fast-forward, so the lost time is forgotten.
constexpr int STALL_MS = 250;

// After a paced flip that returned `late` ms past its due time (dropping on):
// a whole frame behind, the next frame is dropped to catch up.
void JudgeLateness(TGraphicsState& s, int late) {
    if (late > STALL_MS) {
        s.due = ClockMillis();
        late = 0;
    }
    SetDropping(s, late >= s.frame_ms);
}

} // namespace

void SelectGraphicsDriver(std::shared_ptr<TGraphicsDriver> driver, int default_flags) {
    TGraphicsState& s = State();
    SwitchDriver(driver);
    s.default_flags = default_flags;
    s.current.reset();
    ZeroSettings();
}

std::shared_ptr<TGraphicsDriver> GetGraphicsDriver() {
    return State().driver;
}
int GraphicsDriverDefaultFlags() {
    return State().default_flags;
}

const std::vector<TGraphicsMode>& GraphicsModes(int display) {
    TGraphicsState& s = State();
    auto& modes = s.modes[display];
    if (modes.empty() && s.driver) modes = s.driver->GraphicsModes(display);
    return modes;
}

int CountGraphicsModes(int display) {
    return static_cast<int>(GraphicsModes(display).size());
}

bool GetGraphicsMode(int index, int& width, int& height, int& depth, int& hertz, int display) {
    const auto& modes = GraphicsModes(display);
    width = height = depth = hertz = 0;
    if (index < 0 || index >= static_cast<int>(modes.size())) return false;
    const auto& m = modes[static_cast<size_t>(index)];
    width = m.width;
    height = m.height;
    depth = m.depth;
    hertz = m.hertz;
    return true;
}

bool GraphicsModeExists(int width, int height, int depth, int hertz, int display) {
    for (const auto& m : GraphicsModes(display)) {
        if (width && m.width != width) continue;
        if (height && m.height != height) continue;
        if (depth && m.depth != depth) continue;
        if (hertz && m.hertz != hertz) continue;
        return true;
    }
    return false;
}

std::shared_ptr<TGraphics> CreateGraphics(int width, int height, int depth, int hertz, int flags) {
    TGraphicsState& s = State();
    if (!s.driver) return nullptr;
    try {
        return s.driver->CreateGraphics(width, height, depth, hertz, flags | s.default_flags);
    } catch (const std::exception&) {
        return nullptr;
    }
}

std::shared_ptr<TGraphics> AttachGraphics(void* window_handle, int flags) {
    TGraphicsState& s = State();
    if (!s.driver) return nullptr;
    try {
        return s.driver->AttachGraphics(window_handle, flags | s.default_flags);
    } catch (const std::exception&) {
        return nullptr;
    }
}

void SetGraphics(const std::shared_ptr<TGraphics>& graphics) {
    TGraphicsState& s = State();
    if (!graphics) {
        if (s.driver && s.current) s.driver->SetGraphics(nullptr);
        s.current.reset();
        ZeroSettings();
        return;
    }
    auto d = graphics->Driver();
    if (d != s.driver) {
        SwitchDriver(d);
        s.current.reset();
    }
    graphics->GetSettings(s.width, s.height, s.depth, s.hertz, s.flags);
    if (d) d->SetGraphics(graphics);
    s.current = graphics;
}

std::shared_ptr<TGraphics> CurrentGraphics() {
    return State().current;
}

void CloseGraphicsContext(const std::shared_ptr<TGraphics>& graphics) {
    if (!graphics) return;
    TGraphicsState& s = State();
    auto keep = graphics; // the caller may pass a reference to one of our own fields
    if (keep == s.opened) s.opened.reset();
    if (keep == s.current) SetGraphics(nullptr);
    keep->Close();
}

int DisplayWidth() {
    return State().width;
}
int DisplayHeight() {
    return State().height;
}
int DisplayDepth() {
    return State().depth;
}
int DisplayHertz() {
    return State().hertz;
}
int DisplayFlags() {
    return State().flags;
}

std::shared_ptr<TGraphics> OpenGraphics(int width, int height, int depth, int hertz, int flags) {
    TGraphicsState& s = State();
    CloseOpenedGraphics();
    auto g = CreateGraphics(width, height, depth, hertz, flags | s.default_flags);
    if (!g) return nullptr;
    BumpGeneration();
    try {
        SetGraphics(g);
    } catch (const std::exception&) {
        // A context that cannot be made current is as good as none.
        SetGraphics(nullptr);
        g->Close();
        return nullptr;
    }

    // Soft sync is needed unless the display itself keeps the requested rate:
    // three flips in a row within a millisecond of the frame time prove it does.
    if (hertz == 0) {
        s.soft_sync = false;
    } else if (depth == 0) {
        s.soft_sync = true;
    } else {
        s.soft_sync = true;
        const int target = 1000 / hertz;
        const int start = ClockMillis();
        int hits = 0;
        // The flip count bound only matters for a clock that does not move while
        // flipping (a display that never waits): the second would never pass.
        for (int flips = 0; flips < 100000 && ClockDiff(ClockMillis(), start) < 1000; ++flips) {
            const int t0 = ClockMillis();
            if (s.driver) s.driver->Flip(1);
            const int diff = ClockDiff(ClockMillis(), t0) - target;
            if (diff >= -1 && diff <= 1) {
                if (++hits == 3) {
                    s.soft_sync = false;
                    break;
                }
            } else {
                hits = 0;
            }
        }
    }

    s.pace_hertz = hertz;
    s.frame_ms = hertz ? 1000 / hertz : 0;
    s.remainder = hertz ? 1000 - (1000 / hertz) * hertz : 0;
    s.accumulator = 0;
    s.due = ClockMillis();
    SetDropping(s, false);
    s.opened = g;
    if (depth != 0) MoveMouse(width / 2, height / 2);
    StartInputTracking();
    if (!s.exit_registered) {
        s.exit_registered = true;
        std::atexit(CloseOpenedGraphicsAtExit);
    }
    return g;
}

std::shared_ptr<TGraphics> OpenedGraphics() {
    return State().opened;
}

void Flip(int sync) {
    TGraphicsState& s = State();
    CallHooks(OnFlipHook, THookData{});
    if (!s.driver) return;
    if (sync != -1) {
        s.driver->Flip(sync);
        return;
    }
    ++s.frames;
    const bool shown = !s.dropping;
    if (!shown) ++s.dropped;
    const bool paced = s.opened && s.current == s.opened && s.pace_hertz > 0;
    if (!paced || !s.soft_sync) {
        if (shown) s.driver->Flip(s.depth != 0 ? 1 : 0);
        if (paced && s.drop_late) {
            // The vertical blank keeps the pace; the schedule only tells how far
            // behind the game is. A display a little faster than the clock does not
            // put the game ahead.
            AdvanceDueTime(s);
            const int late = ClockDiff(ClockMillis(), s.due);
            if (late < 0) s.due = ClockMillis();
            JudgeLateness(s, late);
        } else {
            SetDropping(s, false);
        }
        LogFrame(s.frames, shown);
        return;
    }
    AdvanceDueTime(s);
    int now = ClockMillis();
    int wait = ClockDiff(s.due, now);
    if (wait > 0 && shown) {
        // The frame is finished before the wait, so that the flip after it only shows it:
        // what the player sees then comes as close to its due time as the display allows.
        s.driver->FinishFrame();
        now = ClockMillis();
        wait = ClockDiff(s.due, now);
    }
    if (wait > 0) {
        DelayMillis(wait);
    } else if (!s.drop_late) {
        s.due = now; // an overrun is not made up later
    }
    if (shown) s.driver->Flip(0);
    if (s.drop_late) JudgeLateness(s, ClockDiff(ClockMillis(), s.due));
    LogFrame(s.frames, shown);
}

void CloseOpenedGraphics() {
    TGraphicsState& s = State();
    if (!s.opened) return;
    SetDropping(s, false);
    BumpGeneration();
    StopInputTracking();
    auto g = s.opened;
    CloseGraphicsContext(g);
}

int GraphicsGeneration() {
    return State().generation;
}
bool SoftSyncActive() {
    return State().soft_sync;
}

void SetDropLateFrames(bool on) {
    TGraphicsState& s = State();
    s.drop_late = on;
    if (!on) SetDropping(s, false);
}
bool DropLateFrames() {
    return State().drop_late;
}
bool FrameDropped() {
    return State().dropping;
}
long DroppedFrameCount() {
    return State().dropped;
}

const int OnFlipHook = NewHookId();
