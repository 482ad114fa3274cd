#include "backends/sdl/sdl_display.h"

#include <SDL.h>
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "backends/sdl/sdl_x11.h"

namespace {

// Framebuffer-object entry points, looked up once a context exists.
struct TFboApi {
    PFNGLGENFRAMEBUFFERSPROC GenFramebuffers = nullptr;
    PFNGLDELETEFRAMEBUFFERSPROC DeleteFramebuffers = nullptr;
    PFNGLBINDFRAMEBUFFERPROC BindFramebuffer = nullptr;
    PFNGLGENRENDERBUFFERSPROC GenRenderbuffers = nullptr;
    PFNGLDELETERENDERBUFFERSPROC DeleteRenderbuffers = nullptr;
    PFNGLBINDRENDERBUFFERPROC BindRenderbuffer = nullptr;
    PFNGLRENDERBUFFERSTORAGEPROC RenderbufferStorage = nullptr;
    PFNGLFRAMEBUFFERRENDERBUFFERPROC FramebufferRenderbuffer = nullptr;
    PFNGLCHECKFRAMEBUFFERSTATUSPROC CheckFramebufferStatus = nullptr;
    PFNGLBLITFRAMEBUFFERPROC BlitFramebuffer = nullptr;

    bool Load() {
        auto get = [](const char* name) { return SDL_GL_GetProcAddress(name); };
        GenFramebuffers = reinterpret_cast<PFNGLGENFRAMEBUFFERSPROC>(get("glGenFramebuffers"));
        DeleteFramebuffers = reinterpret_cast<PFNGLDELETEFRAMEBUFFERSPROC>(get("glDeleteFramebuffers"));
        BindFramebuffer = reinterpret_cast<PFNGLBINDFRAMEBUFFERPROC>(get("glBindFramebuffer"));
        GenRenderbuffers = reinterpret_cast<PFNGLGENRENDERBUFFERSPROC>(get("glGenRenderbuffers"));
        DeleteRenderbuffers = reinterpret_cast<PFNGLDELETERENDERBUFFERSPROC>(get("glDeleteRenderbuffers"));
        BindRenderbuffer = reinterpret_cast<PFNGLBINDRENDERBUFFERPROC>(get("glBindRenderbuffer"));
        RenderbufferStorage = reinterpret_cast<PFNGLRENDERBUFFERSTORAGEPROC>(get("glRenderbufferStorage"));
        FramebufferRenderbuffer =
            reinterpret_cast<PFNGLFRAMEBUFFERRENDERBUFFERPROC>(get("glFramebufferRenderbuffer"));
        CheckFramebufferStatus =
            reinterpret_cast<PFNGLCHECKFRAMEBUFFERSTATUSPROC>(get("glCheckFramebufferStatus"));
        BlitFramebuffer = reinterpret_cast<PFNGLBLITFRAMEBUFFERPROC>(get("glBlitFramebuffer"));
        return GenFramebuffers && DeleteFramebuffers && BindFramebuffer && GenRenderbuffers &&
               DeleteRenderbuffers && BindRenderbuffer && RenderbufferStorage && FramebufferRenderbuffer &&
               CheckFramebufferStatus && BlitFramebuffer;
    }
};

struct TSdlContextRecord : TGLContextRecord {
    SDL_Window* window = nullptr;
    SDL_GLContext context = nullptr;
    TFboApi fbo_api;
    GLuint fbo = 0;
    GLuint color_rb = 0;
    GLuint depth_rb = 0;
    bool has_fbo = false;
    bool presented = false; // the frame is already in the window's back buffer
};

// Every window with a context, of any backend: the mouse's coordinates are
// mapped through the picture's place in its window.
struct TSdlDisplayState {
    std::vector<TSdlContextRecord*> records;
    bool minimize_on_focus_loss = true;
    int window_width = 0, window_height = 0;
};

TSdlDisplayState& State() {
    static auto* state = new TSdlDisplayState; // events may still arrive during exit
    return *state;
}

TSdlContextRecord* RecordOf(SDL_Window* window) {
    if (!window) return nullptr;
    for (TSdlContextRecord* r : State().records)
        if (r->window == window) return r;
    return nullptr;
}

// The window's size in pixels. On X11 SDL claims the desktop's size for a
// full-screen window even when the window never became that big, so the X
// server is asked.
void WindowPixels(const TSdlContextRecord& r, int& w, int& h) {
    w = h = 0;
    if (!X11WindowSize(r.window, w, h)) SDL_GL_GetDrawableSize(r.window, &w, &h);
}

// Where the picture goes in a window of dw x dh pixels: scaled to fit with its
// aspect kept, centred, black bars filling the rest.
SDL_Rect PictureRect(const TSdlContextRecord& r, int dw, int dh) {
    if (dw == r.width && dh == r.height) return {0, 0, dw, dh};
    int w = dw, h = dh;
    if (static_cast<long>(dw) * r.height > static_cast<long>(dh) * r.width) {
        w = static_cast<int>(static_cast<long>(dh) * r.width / r.height);
    } else {
        h = static_cast<int>(static_cast<long>(dw) * r.height / r.width);
    }
    return {(dw - w) / 2, (dh - h) / 2, w, h};
}

// The picture's place in the window in the window's own coordinates (which
// differ from pixels on high-density screens); false when the window shows
// the picture one to one.
bool PictureInWindow(const TSdlContextRecord& r, double& x0, double& y0, double& sx, double& sy) {
    if (!r.has_fbo || r.width <= 0 || r.height <= 0) return false;
    int dw = 0, dh = 0, ww = 0, wh = 0;
    WindowPixels(r, dw, dh);
    SDL_GetWindowSize(r.window, &ww, &wh);
    if (dw <= 0 || dh <= 0 || ww <= 0 || wh <= 0) return false;
    const SDL_Rect p = PictureRect(r, dw, dh);
    if (p.w <= 0 || p.h <= 0) return false;
    const double kx = static_cast<double>(ww) / dw, ky = static_cast<double>(wh) / dh;
    x0 = p.x * kx;
    y0 = p.y * ky;
    sx = p.w * kx / r.width;
    sy = p.h * ky / r.height;
    return true;
}

class TSdlContextBackend final : public TGLContextBackend {
  public:
    explicit TSdlContextBackend(const TSdlDisplayOptions& options) : options_(options) {}
    ~TSdlContextBackend() override {
        if (watching_) SDL_DelEventWatch(&TSdlContextBackend::WatchEvents, this);
    }

    std::vector<TGraphicsMode> DisplayModes(int display) override {
        std::vector<TGraphicsMode> modes;
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return modes;
        const int n =
            display >= 0 && display < SDL_GetNumVideoDisplays() ? SDL_GetNumDisplayModes(display) : 0;
        for (int i = 0; i < n && modes.size() < 1024; ++i) {
            SDL_DisplayMode m;
            if (SDL_GetDisplayMode(display, i, &m) != 0) break;
            const int depth = SdlModeDepth(m.format);
            if (depth < 16) continue;
            modes.push_back({m.w, m.h, depth, m.refresh_rate});
        }
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return modes;
    }

    std::shared_ptr<TGLContextRecord> CreateWindow(int width, int height, int depth, int hertz,
                                                   int flags) override {
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return nullptr;
        // A full-screen window that loses the focus gets out of the way, as the
        // desktop expects of a game that does not change the monitor's mode.
        SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, options_.minimize_on_focus_loss ? "1" : "0");
        State().minimize_on_focus_loss = options_.minimize_on_focus_loss;
        State().window_width = options_.window_width > 0 ? options_.window_width : width;
        State().window_height = options_.window_height > 0 ? options_.window_height : height;
        SDL_GL_ResetAttributes();
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
        SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
        SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
        SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
        SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, (flags & GFX_DOUBLE_BUFFER) ? 1 : 0);
        SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, (flags & GFX_ALPHA_BUFFER) ? 1 : 0);
        SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, (flags & GFX_DEPTH_BUFFER) ? 1 : 0);
        SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, (flags & GFX_STENCIL_BUFFER) ? 1 : 0);
        SDL_GL_SetAttribute(SDL_GL_ACCUM_RED_SIZE, (flags & GFX_ACCUM_BUFFER) ? 1 : 0);

        const bool full = depth != 0 && options_.fullscreen && !options_.hidden;
        Uint32 wflags = SDL_WINDOW_OPENGL | SDL_WINDOW_ALLOW_HIGHDPI;
        if (depth != 0 && !options_.hidden) wflags |= SDL_WINDOW_RESIZABLE;
        wflags |= options_.hidden ? SDL_WINDOW_HIDDEN : SDL_WINDOW_SHOWN;
        if (full) wflags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
        const int display =
            options_.display >= 0 && options_.display < SDL_GetNumVideoDisplays() ? options_.display : 0;
        // A display window that starts as a window has the size the player chose.
        const bool sized = depth != 0 && !full && !options_.hidden;
        SDL_Window* window = SDL_CreateWindow(
            options_.title, SDL_WINDOWPOS_CENTERED_DISPLAY(display), SDL_WINDOWPOS_CENTERED_DISPLAY(display),
            sized ? State().window_width : width, sized ? State().window_height : height, wflags);
        if (!window) {
            SDL_QuitSubSystem(SDL_INIT_VIDEO);
            return nullptr;
        }
        // With no window manager (a bare X server, as kiosks and party set-ups
        // run), nobody makes the window full screen: cover the display
        // ourselves.
        if (full && !X11HasWindowManager(window)) {
            SDL_Rect bounds;
            const int display = SDL_GetWindowDisplayIndex(window);
            if (display >= 0 && SDL_GetDisplayBounds(display, &bounds) == 0)
                X11PlaceWindow(window, bounds.x, bounds.y, bounds.w, bounds.h);
        }
        SDL_GLContext context = CreateContext(window);
        if (!context) {
            SDL_DestroyWindow(window);
            SDL_QuitSubSystem(SDL_INIT_VIDEO);
            return nullptr;
        }
        auto record = std::make_shared<TSdlContextRecord>();
        record->SetMode(width, height, depth, hertz, flags);
        record->window = window;
        record->context = context;
        // Creating a context makes it current: set up the drawing framebuffer now,
        // then give the current context back to whoever had it.
        SetUpFramebuffer(*record);
        if (!options_.hidden) SDL_GL_SetSwapInterval(RateMatches(*record) ? 1 : 0);
        Restore();
        if (!watching_) {
            SDL_AddEventWatch(&TSdlContextBackend::WatchEvents, this);
            watching_ = true;
        }
        windows_.push_back(record.get());
        State().records.push_back(record.get());
        return record;
    }

    std::shared_ptr<TGLContextRecord> CreateSharedContext() override {
        if (shared_) return shared_;
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return nullptr;
        SDL_GL_ResetAttributes();
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
        SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 0);
        SDL_Window* window = SDL_CreateWindow("Corvex Application", 0, 0, 1, 1,
                                              SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS);
        SDL_GLContext context = window ? SDL_GL_CreateContext(window) : nullptr;
        if (!context) {
            if (window) SDL_DestroyWindow(window);
            SDL_QuitSubSystem(SDL_INIT_VIDEO);
            return nullptr;
        }
        auto record = std::make_shared<TSdlContextRecord>();
        record->kind = TGLContextRecord::HIDDEN_SHARED;
        record->width = record->height = 1;
        record->window = window;
        record->context = context;
        shared_ = record;
        Restore();
        return record;
    }

    void Destroy(TGLContextRecord& base) override {
        auto& record = static_cast<TSdlContextRecord&>(base);
        if (!record.window) return;
        if (shared_.get() == &record) shared_.reset();
        std::erase(windows_, &record);
        std::erase(State().records, &record);
        if (record.has_fbo) {
            SDL_GL_MakeCurrent(record.window, record.context);
            record.fbo_api.BindFramebuffer(GL_FRAMEBUFFER, 0);
            record.fbo_api.DeleteFramebuffers(1, &record.fbo);
            record.fbo_api.DeleteRenderbuffers(1, &record.color_rb);
            if (record.depth_rb) record.fbo_api.DeleteRenderbuffers(1, &record.depth_rb);
            record.has_fbo = false;
        }
        if (current_ == &record) current_ = nullptr;
        SDL_GL_MakeCurrent(nullptr, nullptr);
        SDL_GL_DeleteContext(record.context);
        SDL_DestroyWindow(record.window);
        record.window = nullptr;
        record.context = nullptr;
        Restore();
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }

    void MakeCurrent(TGLContextRecord* base) override {
        current_ = static_cast<TSdlContextRecord*>(base);
        Restore();
    }

    void SetSwapInterval(int interval) override {
        // A hidden window is never shown, so it has no vertical blank to wait for.
        if (current_ && !options_.hidden) SDL_GL_SetSwapInterval(interval);
    }

    void* ProcAddress(const char* name) override { return SDL_GL_GetProcAddress(name); }

    // The picture is scaled into the window's back buffer before the pacing's
    // wait, with the frame's drawing finished: after the wait only the swap is left.
    void FinishFrame(TGLContextRecord& base) override {
        auto& r = static_cast<TSdlContextRecord&>(base);
        if (r.window && r.has_fbo && !options_.hidden) {
            Present(r);
            r.fbo_api.BindFramebuffer(GL_FRAMEBUFFER, r.fbo);
            r.presented = true;
        }
        glFinish();
    }

    void SwapBuffers(TGLContextRecord& base) override {
        auto& r = static_cast<TSdlContextRecord&>(base);
        if (!r.window) return;
        if (options_.hidden && r.has_fbo) {
            // Nobody looks at a hidden window: the picture stays in the framebuffer
            // for read-back, and presenting it would only cost time.
            glFlush();
            return;
        }
        if (r.has_fbo && !r.presented) Present(r);
        r.presented = false;
        SDL_GL_SwapWindow(r.window);
        if (r.has_fbo) r.fbo_api.BindFramebuffer(GL_FRAMEBUFFER, r.fbo);
    }

  private:
    // A context for the window, sharing the shared context's objects when
    // there is one. Leaves the new context current.
    SDL_GLContext CreateContext(SDL_Window* window) {
        if (shared_) {
            SDL_GL_MakeCurrent(shared_->window, shared_->context);
            SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 1);
        }
        SDL_GLContext context = SDL_GL_CreateContext(window);
        SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 0);
        return context;
    }

    void Restore() {
        if (current_) {
            SDL_GL_MakeCurrent(current_->window, current_->context);
        } else {
            SDL_GL_MakeCurrent(nullptr, nullptr);
        }
    }

    int DisplayRate(TGLContextRecord& base) override {
        auto& r = static_cast<TSdlContextRecord&>(base);
        SDL_DisplayMode mode;
        const int display = r.window ? SDL_GetWindowDisplayIndex(r.window) : -1;
        if (display < 0 || SDL_GetCurrentDisplayMode(display, &mode) != 0) return 0;
        return mode.refresh_rate;
    }

    bool RateMatches(TSdlContextRecord& r) { return r.hertz == 0 || DisplayRate(r) == r.hertz; }

    // The game draws into a framebuffer of exactly the size it asked for; the
    // window, whatever its size, shows it scaled.
    static void SetUpFramebuffer(TSdlContextRecord& r) {
        if (!r.fbo_api.Load()) return;
        auto& f = r.fbo_api;
        f.GenFramebuffers(1, &r.fbo);
        f.BindFramebuffer(GL_FRAMEBUFFER, r.fbo);
        f.GenRenderbuffers(1, &r.color_rb);
        f.BindRenderbuffer(GL_RENDERBUFFER, r.color_rb);
        f.RenderbufferStorage(GL_RENDERBUFFER, (r.flags & GFX_ALPHA_BUFFER) ? GL_RGBA8 : GL_RGB8, r.width,
                              r.height);
        f.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, r.color_rb);
        if (r.flags & (GFX_DEPTH_BUFFER | GFX_STENCIL_BUFFER)) {
            f.GenRenderbuffers(1, &r.depth_rb);
            f.BindRenderbuffer(GL_RENDERBUFFER, r.depth_rb);
            f.RenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, r.width, r.height);
            f.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER,
                                      r.depth_rb);
        }
        f.BindRenderbuffer(GL_RENDERBUFFER, 0);
        if (f.CheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
            // Draw straight into the window instead.
            f.BindFramebuffer(GL_FRAMEBUFFER, 0);
            f.DeleteFramebuffers(1, &r.fbo);
            f.DeleteRenderbuffers(1, &r.color_rb);
            if (r.depth_rb) f.DeleteRenderbuffers(1, &r.depth_rb);
            r.fbo = r.color_rb = r.depth_rb = 0;
            return;
        }
        r.has_fbo = true;
    }

    // Scales the finished picture into the window with its aspect kept, black
    // bars filling the rest. The game's scissor and clear colour are put back.
    static void Present(TSdlContextRecord& r) {
        int dw = 0, dh = 0;
        WindowPixels(r, dw, dh);
        auto& f = r.fbo_api;
        GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
        GLfloat clear[4];
        glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
        if (scissor) glDisable(GL_SCISSOR_TEST);
        f.BindFramebuffer(GL_READ_FRAMEBUFFER, r.fbo);
        f.BindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
        if (dw == r.width && dh == r.height) {
            f.BlitFramebuffer(0, 0, r.width, r.height, 0, 0, dw, dh, GL_COLOR_BUFFER_BIT, GL_NEAREST);
        } else if (dw > 0 && dh > 0) {
            const SDL_Rect p = PictureRect(r, dw, dh);
            const int x = p.x, y = p.y, w = p.w, h = p.h;
            glClearColor(0, 0, 0, 1);
            glClear(GL_COLOR_BUFFER_BIT);
            f.BlitFramebuffer(0, 0, r.width, r.height, x, y, x + w, y + h, GL_COLOR_BUFFER_BIT, GL_LINEAR);
            glClearColor(clear[0], clear[1], clear[2], clear[3]);
        }
        if (scissor) glEnable(GL_SCISSOR_TEST);
    }

    // Focus changes of a full-screen window: no vertical sync while in the
    // background (the window is minimised); back in front, the interval the
    // last flip set, whatever rate SDL reports (it may say 0, or 59 for a
    // display the start-up measurement timed at 60).
    static int WatchEvents(void* self_ptr, SDL_Event* event) {
        auto* self = static_cast<TSdlContextBackend*>(self_ptr);
        if (event->type != SDL_WINDOWEVENT) return 0;
        const auto id = event->window.windowID;
        for (TSdlContextRecord* r : self->windows_) {
            if (SDL_GetWindowID(r->window) != id || r->kind != TGLContextRecord::FULL_SCREEN) continue;
            if (event->window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
                const bool full = (SDL_GetWindowFlags(r->window) & SDL_WINDOW_FULLSCREEN) != 0;
                // A window left on screen (windowed, or not minimised by
                // choice) keeps its vertical sync.
                if (!full || !self->options_.minimize_on_focus_loss) continue;
                if (!self->options_.hidden) SDL_MinimizeWindow(r->window);
                GLWindowFocusChanged(*r, false, true);
            } else if (event->window.event == SDL_WINDOWEVENT_FOCUS_GAINED) {
                GLWindowFocusChanged(*r, true, true);
            }
        }
        return 0;
    }

    TSdlDisplayOptions options_;
    TSdlContextRecord* current_ = nullptr;
    std::shared_ptr<TSdlContextRecord> shared_;
    std::vector<TSdlContextRecord*> windows_;
    bool watching_ = false;
};

} // namespace

int SdlModeDepth(uint32_t pixel_format) {
    const int bits = static_cast<int>(SDL_BITSPERPIXEL(pixel_format));
    // A 24-bit colour kept in a 32-bit pixel is what the game calls depth 32.
    if (bits == 24 && SDL_BYTESPERPIXEL(pixel_format) == 4) return 32;
    return bits;
}

std::shared_ptr<TGLContextBackend> MakeSdlContextBackend(const TSdlDisplayOptions& options) {
    return std::make_shared<TSdlContextBackend>(options);
}

void SdlPictureToWindow(SDL_Window* window, int& x, int& y) {
    const TSdlContextRecord* r = RecordOf(window);
    double x0 = 0, y0 = 0, sx = 1, sy = 1;
    if (!r || !PictureInWindow(*r, x0, y0, sx, sy)) return;
    // The middle of the picture's pixel, so that the way back lands on it.
    x = static_cast<int>(std::floor(x0 + (x + 0.5) * sx));
    y = static_cast<int>(std::floor(y0 + (y + 0.5) * sy));
}

void SdlWindowToPicture(SDL_Window* window, int& x, int& y) {
    const TSdlContextRecord* r = RecordOf(window);
    double x0 = 0, y0 = 0, sx = 1, sy = 1;
    if (!r || !PictureInWindow(*r, x0, y0, sx, sy)) return;
    x = static_cast<int>(std::floor((x + 0.5 - x0) / sx));
    y = static_cast<int>(std::floor((y + 0.5 - y0) / sy));
}

bool SdlToggleFullScreen(SDL_Window* window) {
    const TSdlContextRecord* r = RecordOf(window);
    if (!r || r->kind != TGLContextRecord::FULL_SCREEN) return false;
    const int display = std::max(0, SDL_GetWindowDisplayIndex(window));
    if (SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN) {
        if (SDL_SetWindowFullscreen(window, 0) != 0) return false;
        SDL_SetWindowResizable(window, SDL_TRUE);
        SDL_SetWindowSize(window, State().window_width, State().window_height);
        SDL_SetWindowPosition(window, SDL_WINDOWPOS_CENTERED_DISPLAY(display),
                              SDL_WINDOWPOS_CENTERED_DISPLAY(display));
        return true;
    }
    if (SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP) != 0) return false;
    SDL_Rect bounds;
    if (!X11HasWindowManager(window) && SDL_GetDisplayBounds(display, &bounds) == 0)
        X11PlaceWindow(window, bounds.x, bounds.y, bounds.w, bounds.h);
    return true;
}

bool SdlMinimizesOnFocusLoss() {
    return State().minimize_on_focus_loss;
}

int SdlDisplayCount() {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return 0;
    const int n = std::max(0, SDL_GetNumVideoDisplays());
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return n;
}

void UseSdlGraphicsDriver(const TSdlDisplayOptions& options) {
    if (options.app_id) {
        // Read by SDL when it starts video and makes windows; the player's own
        // choice in the environment wins.
        setenv("SDL_VIDEO_X11_WMCLASS", options.app_id, 0);
        setenv("SDL_VIDEO_WAYLAND_WMCLASS", options.app_id, 0);
    }
    UseGLContextBackend(MakeSdlContextBackend(options));
}

std::shared_ptr<TGLContextBackend> MakeSdlOffscreenContextBackend() {
    // Always SDL's offscreen video driver: nothing is ever shown.
    SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "offscreen", SDL_HINT_OVERRIDE);
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return nullptr;
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    TSdlDisplayOptions options;
    options.hidden = true;
    options.fullscreen = false;
    return MakeSdlContextBackend(options);
}
