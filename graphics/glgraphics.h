#pragma once
#include <memory>
#include <vector>

#include "graphics/graphics.h"

// The OpenGL display driver. The portable part here keeps the context list, the
// current context and the swap interval; a small native backend makes windows and
// GL contexts (SDL in the game: backends/sdl/sdl_display.h).

// One record per window with a GL context. Backends derive from it to keep their handles.
struct TGLContextRecord {
    enum Kind { HIDDEN_SHARED = 0, ATTACHED = 1, WINDOWED = 2, FULL_SCREEN = 3 };
    virtual ~TGLContextRecord() = default;
    int kind = FULL_SCREEN;
    int width = 0; // drawable size the game sees
    int height = 0;
    int depth = 0; // requested depth (0 for windowed)
    int hertz = 0; // requested rate (0 = any)
    int flags = 0;

    // Notes the mode a window was made for: full screen when a depth was asked for.
    void SetMode(int width_, int height_, int depth_, int hertz_, int flags_) {
        kind = depth_ != 0 ? FULL_SCREEN : WINDOWED;
        width = width_;
        height = height_;
        depth = depth_;
        hertz = hertz_;
        flags = flags_;
    }
};

// The native window/context layer.
class TGLContextBackend {
  public:
    virtual ~TGLContextBackend() = default;
    // The modes of a display (0, the first); none when it does not exist.
    virtual std::vector<TGraphicsMode> DisplayModes(int display) = 0;
    // A window with a GL context of the given drawable size, shown. Null on failure;
    // may raise TRuntimeError ("GLGraphicsDriver failed to set display mode").
    virtual std::shared_ptr<TGLContextRecord> CreateWindow(int width, int height, int depth, int hertz,
                                                           int flags) = 0;
    // A context over a window made elsewhere; null when not supported.
    virtual std::shared_ptr<TGLContextRecord> AttachWindow(void* window_handle, int flags) {
        (void)window_handle;
        (void)flags;
        return nullptr;
    }
    // Re-reads the size of an attached window.
    virtual void RefreshSize(TGLContextRecord& record) { (void)record; }
    // Deletes the context and (windowed, full screen) the window.
    virtual void Destroy(TGLContextRecord& record) = 0;
    // Makes the record's context current on this thread (null: none).
    virtual void MakeCurrent(TGLContextRecord* record) = 0;
    // Sets the swap interval of the current context; ignored when unsupported.
    virtual void SetSwapInterval(int interval) = 0;
    // The refresh rate of the display the record's window is on, in hertz;
    // 0 when unknown.
    virtual int DisplayRate(TGLContextRecord& record) {
        (void)record;
        return 0;
    }
    virtual void SwapBuffers(TGLContextRecord& record) = 0;
    // Completes the record's frame before the pacing's wait (glFinish); a layer
    // that presents through a copy may make the copy here, so that SwapBuffers
    // after the wait only swaps.
    virtual void FinishFrame(TGLContextRecord& record);
    // The shared context: a hidden 1 x 1 context (kind HIDDEN_SHARED, flags 0)
    // whose objects every context made after it shares. Made once, on
    // request; null when this layer cannot make one. Destroy ends it.
    virtual std::shared_ptr<TGLContextRecord> CreateSharedContext() { return nullptr; }
    // The address of a GL entry point beyond OpenGL 1.1 in the current
    // context's driver (SDL_GL_GetProcAddress, wglGetProcAddress); null when
    // the driver has none or this layer cannot look entry points up.
    virtual void* ProcAddress(const char* name) {
        (void)name;
        return nullptr;
    }
};

// Installs the native layer (null: none; creating a display then fails).
void UseGLContextBackend(std::shared_ptr<TGLContextBackend> backend);
std::shared_ptr<TGLContextBackend> GetGLContextBackend();

class TGLGraphics;

class TGLGraphicsDriver : public TGraphicsDriver {
  public:
    // The one shared instance, made on first use.
    static std::shared_ptr<TGLGraphicsDriver> Instance();

    std::vector<TGraphicsMode> GraphicsModes(int display) override;
    std::shared_ptr<TGraphics> AttachGraphics(void* window_handle, int flags) override;
    std::shared_ptr<TGraphics> CreateGraphics(int width, int height, int depth, int hertz,
                                              int flags) override;
    void SetGraphics(const std::shared_ptr<TGraphics>& graphics) override;
    void Flip(int sync) override;
    void FinishFrame() override;
};

class TGLGraphics : public TGraphics {
  public:
    explicit TGLGraphics(std::shared_ptr<TGLContextRecord> context) : _context(std::move(context)) {}
    ~TGLGraphics() override;
    std::shared_ptr<TGraphicsDriver> Driver() override;
    void GetSettings(int& width, int& height, int& depth, int& hertz, int& flags) override;
    void Close() override;

    std::shared_ptr<TGLContextRecord> _context;
};

// Selects the plain OpenGL display driver (no 2D renderer) with the default
// flags GFX_DOUBLE_BUFFER and opens the display (OpenGraphics). Null on failure.
std::shared_ptr<TGraphics> OpenGLGraphics(int width, int height, int depth = 0, int hertz = 60,
                                          int flags = 0);

// The shared context, made on the first request: a hidden 1 x 1 context whose
// textures and other objects are shared by every context the window layer
// makes after it (so pictures can be loaded once, before or between
// displays). SetGraphics with it makes it current; closing it does nothing.
// Null, with one line on standard error, when the window layer cannot make
// one. It lives as long as the window layer.
std::shared_ptr<TGraphics> GLSharedGraphics();

// An entry point of the current context's driver, asked of the window layer
// (null without one).
void* GLProcAddress(const char* name);

// Window-layer queries (tests and diagnostics).
TGLContextRecord* GLCurrentContext();
int GLContextCount();
// The interval last set by a flip; -1 until the first flip.
int GLRememberedSwapInterval();

// A full-screen window lost or regained the focus (the window layer calls
// this). In the background the current context gets no vertical sync, and
// flips do not turn it back on. Back in front it gets, with restore_last_flip,
// the interval the last flip asked for whatever rate the display reports;
// otherwise (or before any flip) vertical sync only when the display runs at
// the rate asked for.
void GLWindowFocusChanged(TGLContextRecord& record, bool gained, bool restore_last_flip);
