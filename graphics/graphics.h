#pragma once
#include <memory>
#include <string>
#include <vector>

// The display: driver selection, opening and closing the one display the game
// uses, frame pacing. Everything here runs on the main thread.

// Graphics flags, OR-ed with the driver's default flags when a context is made.
constexpr int GFX_DOUBLE_BUFFER = 2;
constexpr int GFX_ALPHA_BUFFER = 4;
constexpr int GFX_DEPTH_BUFFER = 8;
constexpr int GFX_STENCIL_BUFFER = 16;
constexpr int GFX_ACCUM_BUFFER = 32;

// A display mode; its text form is "1024,768,32 60Hz".
struct TGraphicsMode {
    int width = 0;
    int height = 0;
    int depth = 0;
    int hertz = 0;
    std::string ToString() const;
    bool operator==(const TGraphicsMode&) const = default;
};

class TGraphicsDriver;

// A graphics context: one display (window + rendering context).
class TGraphics : public std::enable_shared_from_this<TGraphics> {
  public:
    virtual ~TGraphics() = default;
    virtual std::shared_ptr<TGraphicsDriver> Driver() = 0;
    virtual void GetSettings(int& width, int& height, int& depth, int& hertz, int& flags) = 0;
    virtual void Close() = 0;
};

// Makes, switches and presents graphics contexts.
class TGraphicsDriver : public std::enable_shared_from_this<TGraphicsDriver> {
  public:
    virtual ~TGraphicsDriver() = default;
    // The modes of a display (0, the first); none for a display that does not exist.
    virtual std::vector<TGraphicsMode> GraphicsModes(int display) = 0;
    // Wraps a window the program did not create; null when that is not possible.
    virtual std::shared_ptr<TGraphics> AttachGraphics(void* window_handle, int flags) = 0;
    // A new context; null on failure. May raise TRuntimeError (the module guard catches it).
    virtual std::shared_ptr<TGraphics> CreateGraphics(int width, int height, int depth, int hertz,
                                                      int flags) = 0;
    // Makes a context current (null: none).
    virtual void SetGraphics(const std::shared_ptr<TGraphics>& graphics) = 0;
    // Presents the back buffer; sync non-zero waits for the vertical blank.
    virtual void Flip(int sync) = 0;
    // Completes the frame drawn since the last flip (and what can be prepared of
    // its presenting) before the software pacing waits for the frame's due time,
    // so that the flip after the wait has only to show it.
    virtual void FinishFrame() {}
    // The frame drawn from now until the next Flip(-1) is dropped (true) or shown:
    // a dropped frame's drawing calls still arrive and change every state, but the
    // driver rasterises nothing. The display module sets it when the game runs late.
    virtual void SetFrameDropped(bool dropped) { (void)dropped; }
};

// ---- module operations ------------------------------------------------------
// They act on the current driver and current graphics.

// Makes `driver` current (switching away from the old one's context) and stores its default flags.
void SelectGraphicsDriver(std::shared_ptr<TGraphicsDriver> driver, int default_flags = 0);
std::shared_ptr<TGraphicsDriver> GetGraphicsDriver();
int GraphicsDriverDefaultFlags();

// The modes of a display (0, the first), asked of the driver once per display
// and kept until the driver changes.
const std::vector<TGraphicsMode>& GraphicsModes(int display = 0);
int CountGraphicsModes(int display = 0);
// Out-of-range indexes leave the outputs at 0 and return false.
bool GetGraphicsMode(int index, int& width, int& height, int& depth, int& hertz, int display = 0);
// A zero argument matches anything.
bool GraphicsModeExists(int width, int height, int depth = 0, int hertz = 0, int display = 0);

// The driver's context creation behind an error guard: any error gives null.
std::shared_ptr<TGraphics> CreateGraphics(int width, int height, int depth, int hertz, int flags);
std::shared_ptr<TGraphics> AttachGraphics(void* window_handle, int flags);
void SetGraphics(const std::shared_ptr<TGraphics>& graphics);
std::shared_ptr<TGraphics> CurrentGraphics();
void CloseGraphicsContext(const std::shared_ptr<TGraphics>& graphics);

// Cached settings of the current graphics (0 when none is current).
int DisplayWidth();
int DisplayHeight();
int DisplayDepth();
int DisplayHertz();
int DisplayFlags();

// Closes any display opened before, creates a new one, measures the refresh and
// prepares the pacing. depth 0 = windowed; hertz 0 = any rate. Null on failure.
std::shared_ptr<TGraphics> OpenGraphics(int width, int height, int depth = 0, int hertz = 60, int flags = 0);
// The display made by OpenGraphics (null when none is open).
std::shared_ptr<TGraphics> OpenedGraphics();
// Presents the frame. -1 paces to the opened display's rate (vertical sync or sleeping).
void Flip(int sync = -1);
// Closes the display made by OpenGraphics; runs at exit once a display was opened.
void CloseOpenedGraphics();

// Bumped on every open and close of a display; never 0 (textures made for an older
// display carry an older value and are stale).
int GraphicsGeneration();

// True while Flip(-1) paces by sleeping rather than by the vertical sync.
bool SoftSyncActive();

// Dropping of late frames (on unless turned off). With it on, Flip(-1) keeps
// the display's schedule of frames instead of counting the next frame from
// now: when a Flip(-1) finds the game a whole frame or more behind schedule,
// the next frame runs as usual but is neither rasterised nor presented, so the
// game keeps its speed on a display too slow to draw every frame. More than
// 250 ms behind (a stall) the lost time is forgotten instead. Lateness is
// judged on ClockMillis(), so a virtual clock never drops a frame. With it
// off, an overrun only moves the next frame's due time to now.
void SetDropLateFrames(bool on);
bool DropLateFrames();
// True while the frame being drawn is a dropped one.
bool FrameDropped();
// Frames dropped since the program started.
long DroppedFrameCount();

// The hook chain run with no data at the start of every module Flip
// (platform/hook.h: InsertHook(OnFlipHook, ...)); allocated at start-up.
extern const int OnFlipHook;
