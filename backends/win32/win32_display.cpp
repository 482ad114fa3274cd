#include "backends/win32/win32_display.h"

#include <windows.h>
#include <GL/gl.h>
// The window layer's CreateWindow is ours, not the system's macro.
#undef CreateWindow

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/error.h"
#include "backends/win32/win32_system.h"

namespace {

struct TWin32ContextRecord : TGLContextRecord {
    HWND window = nullptr;
    HDC dc = nullptr;
    HGLRC context = nullptr;
};

class TWin32ContextBackend;

struct TWin32DisplayState {
    // The one window layer whose windows the window procedure serves.
    TWin32ContextBackend* layer = nullptr;
    bool class_registered = false;
    bool unicode = false;
};

TWin32DisplayState& State() {
    static TWin32DisplayState state;
    return state;
}

// Sets the swap interval of the current context, looking the extension up on
// every use: it belongs to the context's driver.
void ApplySwapInterval(int interval) {
    using TSwapIntervalProc = BOOL(WINAPI*)(int);
    const PROC proc = wglGetProcAddress("wglSwapIntervalEXT");
    if (!proc) return;
    reinterpret_cast<TSwapIntervalProc>(reinterpret_cast<void (*)()>(proc))(interval);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

void RegisterWindowClass() {
    TWin32DisplayState& s = State();
    if (s.class_registered) return;
    // Every Windows this program runs on is of the NT family; the wide
    // interfaces are used where the system offers them.
    s.unicode = GetVersion() < 0x80000000u;
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    ATOM atom = 0;
    if (s.unicode) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.style = CS_HREDRAW | CS_VREDRAW | CS_OWNDC;
        wc.lpfnWndProc = &WindowProc;
        wc.hInstance = instance;
        wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        wc.lpszClassName = L"Corvex GLGraphics";
        atom = RegisterClassExW(&wc);
    } else {
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.style = CS_HREDRAW | CS_VREDRAW | CS_OWNDC;
        wc.lpfnWndProc = &WindowProc;
        wc.hInstance = instance;
        wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
        wc.lpszClassName = WIN32_GL_WINDOW_CLASS;
        atom = RegisterClassExA(&wc);
    }
    if (!atom) std::exit(-1);
    s.class_registered = true;
}

// The pixel format asked for by the graphics flags: at least one bit of each
// buffer that a flag asks for; the driver picks the best colour match.
int ChooseFormat(HDC dc, int flags) {
    PIXELFORMATDESCRIPTOR pfd{};
    pfd.nSize = sizeof(pfd);
    pfd.nVersion = 1;
    pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL;
    if (flags & GFX_DOUBLE_BUFFER) pfd.dwFlags |= PFD_DOUBLEBUFFER;
    pfd.iPixelType = PFD_TYPE_RGBA;
    pfd.cColorBits = 1;
    pfd.cAlphaBits = (flags & GFX_ALPHA_BUFFER) ? 1 : 0;
    pfd.cDepthBits = (flags & GFX_DEPTH_BUFFER) ? 1 : 0;
    pfd.cStencilBits = (flags & GFX_STENCIL_BUFFER) ? 1 : 0;
    pfd.cAccumBits = (flags & GFX_ACCUM_BUFFER) ? 1 : 0;
    pfd.iLayerType = PFD_MAIN_PLANE;
    const int format = ChoosePixelFormat(dc, &pfd);
    if (format == 0) return 0;
    if (!SetPixelFormat(dc, format, &pfd)) return 0;
    return format;
}

class TWin32ContextBackend final : public TGLContextBackend {
  public:
    explicit TWin32ContextBackend(const TWin32DisplayOptions& options) : options_(options) {
        State().layer = this;
    }
    ~TWin32ContextBackend() override {
        for (TWin32ContextRecord* r : std::vector<TWin32ContextRecord*>(records_))
            Destroy(*r);
        if (shared_) Destroy(*shared_);
        TWin32DisplayState& s = State();
        if (s.layer == this) s.layer = nullptr;
    }

    std::vector<TGraphicsMode> DisplayModes(int display) override {
        std::vector<TGraphicsMode> modes;
        // The first display is the primary one; the others by their device names.
        DISPLAY_DEVICEA device{};
        device.cb = sizeof(device);
        const char* name = nullptr;
        if (display < 0) return modes;
        if (display > 0) {
            if (!EnumDisplayDevicesA(nullptr, static_cast<DWORD>(display), &device, 0)) return modes;
            name = device.DeviceName;
        }
        for (DWORD i = 0; modes.size() < 1024; ++i) {
            DEVMODEA mode{};
            mode.dmSize = 156; // the classic size: no driver-specific extra
            if (!EnumDisplaySettingsA(name, i, &mode)) break;
            if (mode.dmBitsPerPel < 16) continue;
            modes.push_back({static_cast<int>(mode.dmPelsWidth), static_cast<int>(mode.dmPelsHeight),
                             static_cast<int>(mode.dmBitsPerPel), static_cast<int>(mode.dmDisplayFrequency)});
        }
        return modes;
    }

    std::shared_ptr<TGLContextRecord> CreateWindow(int width, int height, int depth, int hertz,
                                                   int flags) override {
        RegisterWindowClass();
        RECT rect{0, 0, width, height};
        int kind = TGLContextRecord::FULL_SCREEN;
        DWORD style = WS_POPUP;
        if (depth == 0 || options_.hidden) {
            RECT desktop{};
            GetWindowRect(GetDesktopWindow(), &desktop);
            rect.left = desktop.right / 2 - width / 2;
            rect.top = desktop.bottom / 2 - height / 2;
            rect.right = rect.left + width;
            rect.bottom = rect.top + height;
            kind = TGLContextRecord::WINDOWED;
            style = WS_CAPTION | WS_SYSMENU;
        }
        AdjustWindowRectEx(&rect, style, FALSE, 0);
        const HINSTANCE instance = GetModuleHandleA(nullptr);
        HWND window = nullptr;
        if (State().unicode) {
            window = CreateWindowExW(0, L"Corvex GLGraphics", L"Corvex Application", style, rect.left,
                                     rect.top, rect.right - rect.left, rect.bottom - rect.top, nullptr,
                                     nullptr, instance, nullptr);
        } else {
            window = CreateWindowExA(0, WIN32_GL_WINDOW_CLASS, WIN32_APP_TITLE, style, rect.left, rect.top,
                                     rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr,
                                     instance, nullptr);
        }
        if (!window) return nullptr;

        auto record = std::make_shared<TWin32ContextRecord>();
        RECT client{};
        GetClientRect(window, &client);
        record->kind = kind;
        record->width = client.right - client.left;
        record->height = client.bottom - client.top;
        record->depth = depth; // as asked: a hidden window still reports the game's display
        record->hertz = hertz;
        record->flags = flags;
        record->window = window;
        record->dc = GetDC(window);
        if (!record->dc || ChooseFormat(record->dc, flags) == 0) {
            DestroyWindow(window);
            return nullptr;
        }
        record->context = wglCreateContext(record->dc);
        if (!record->context) {
            DestroyWindow(window);
            return nullptr;
        }
        Share(*record);
        records_.insert(records_.begin(), record.get());
        if (!options_.hidden) {
            // Showing the window gives it the focus, which changes the display
            // mode of a full-screen window; a refusal comes back from there.
            ShowWindow(window, SW_SHOW);
            try {
                Win32RethrowDeferredError();
            } catch (...) {
                Destroy(*record);
                throw;
            }
        }
        return record;
    }

    // A context over a window made elsewhere (kind 1): not shown, not
    // destroyed with the record, sized from its client area.
    std::shared_ptr<TGLContextRecord> AttachWindow(void* window_handle, int flags) override {
        RegisterWindowClass();
        HWND window = static_cast<HWND>(window_handle);
        if (!window || !IsWindow(window)) return nullptr;
        auto record = std::make_shared<TWin32ContextRecord>();
        record->kind = TGLContextRecord::ATTACHED;
        record->flags = flags;
        record->window = window;
        record->dc = GetDC(window);
        if (!record->dc) return nullptr;
        if (ChooseFormat(record->dc, flags) == 0 || !(record->context = wglCreateContext(record->dc))) {
            ReleaseDC(window, record->dc);
            return nullptr;
        }
        Share(*record);
        RefreshSize(*record);
        records_.insert(records_.begin(), record.get());
        return record;
    }

    void RefreshSize(TGLContextRecord& base) override {
        auto& record = static_cast<TWin32ContextRecord&>(base);
        RECT client{};
        if (record.window && GetClientRect(record.window, &client)) {
            record.width = client.right - client.left;
            record.height = client.bottom - client.top;
        }
    }

    // A hidden 1 x 1 pop-up window of the game's class with a context of the
    // plainest pixel format; never in the list, so the window procedure
    // leaves it to the default handling.
    std::shared_ptr<TGLContextRecord> CreateSharedContext() override {
        if (shared_) return shared_;
        RegisterWindowClass();
        const HINSTANCE instance = GetModuleHandleA(nullptr);
        HWND window = State().unicode ? CreateWindowExW(0, L"Corvex GLGraphics", L"", WS_POPUP, 0, 0, 1, 1,
                                                        nullptr, nullptr, instance, nullptr)
                                      : CreateWindowExA(0, WIN32_GL_WINDOW_CLASS, "", WS_POPUP, 0, 0, 1, 1,
                                                        nullptr, nullptr, instance, nullptr);
        if (!window) return nullptr;
        auto record = std::make_shared<TWin32ContextRecord>();
        record->kind = TGLContextRecord::HIDDEN_SHARED;
        record->width = record->height = 1;
        record->window = window;
        record->dc = GetDC(window);
        if (!record->dc || ChooseFormat(record->dc, 0) == 0 ||
            !(record->context = wglCreateContext(record->dc))) {
            DestroyWindow(window);
            return nullptr;
        }
        shared_ = record;
        return record;
    }

    void Destroy(TGLContextRecord& base) override {
        auto& record = static_cast<TWin32ContextRecord&>(base);
        if (shared_.get() == &record) {
            if (current_ == &record) MakeCurrent(nullptr);
            wglDeleteContext(record.context);
            DestroyWindow(record.window);
            record.context = nullptr;
            record.window = nullptr;
            record.dc = nullptr;
            shared_.reset();
            return;
        }
        const auto it = std::find(records_.begin(), records_.end(), &record);
        if (it == records_.end()) return;
        if (current_ == &record) MakeCurrent(nullptr);
        wglDeleteContext(record.context);
        record.context = nullptr;
        records_.erase(it);
        // Destroying the window gives the desktop its mode back (WM_DESTROY).
        holding_destroyed_ = &record;
        if (record.kind == TGLContextRecord::WINDOWED || record.kind == TGLContextRecord::FULL_SCREEN)
            DestroyWindow(record.window);
        else if (record.kind == TGLContextRecord::ATTACHED)
            ReleaseDC(record.window, record.dc); // the window is its maker's
        if (mode_holder_ == record.window) ReleaseDisplayMode(record.window);
        holding_destroyed_ = nullptr;
        record.window = nullptr;
        record.dc = nullptr;
    }

    void MakeCurrent(TGLContextRecord* base) override {
        auto* record = static_cast<TWin32ContextRecord*>(base);
        if (record == current_) return;
        current_ = record;
        if (record)
            wglMakeCurrent(record->dc, record->context);
        else
            wglMakeCurrent(nullptr, nullptr);
    }

    void SetSwapInterval(int interval) override {
        if (current_) ApplySwapInterval(interval);
    }

    // The current context's driver has the entry points beyond OpenGL 1.1.
    void* ProcAddress(const char* name) override {
        const PROC proc = wglGetProcAddress(name);
        // Some drivers answer small numbers or -1 instead of null for a name they lack.
        const auto value = reinterpret_cast<intptr_t>(proc);
        if (value >= -1 && value <= 3) return nullptr;
        return reinterpret_cast<void*>(value);
    }

    void SwapBuffers(TGLContextRecord& base) override {
        auto& record = static_cast<TWin32ContextRecord&>(base);
        if (record.dc) ::SwapBuffers(record.dc);
    }

    TWin32ContextRecord* Find(HWND window) {
        for (TWin32ContextRecord* r : records_)
            if (r->window == window) return r;
        if (holding_destroyed_ && holding_destroyed_->window == window) return holding_destroyed_;
        return nullptr;
    }

    // The full-screen window got the focus: change to its mode, with the
    // requested rate if the display takes it, else without.
    void TakeDisplayMode(TWin32ContextRecord& r) {
        if (mode_holder_ == r.window) return;
        DEVMODEA mode{};
        mode.dmSize = 156;
        mode.dmPelsWidth = static_cast<DWORD>(r.width);
        mode.dmPelsHeight = static_cast<DWORD>(r.height);
        mode.dmBitsPerPel = static_cast<DWORD>(r.depth);
        mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
        bool rate = false;
        if (r.hertz != 0) {
            mode.dmDisplayFrequency = static_cast<DWORD>(r.hertz);
            mode.dmFields |= DM_DISPLAYFREQUENCY;
            rate = true;
        }
        if (ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN) == DISP_CHANGE_SUCCESSFUL) {
            mode_holder_ = r.window;
        } else if (rate) {
            mode.dmDisplayFrequency = 0;
            mode.dmFields &= ~static_cast<DWORD>(DM_DISPLAYFREQUENCY);
            rate = false;
            if (ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN) == DISP_CHANGE_SUCCESSFUL)
                mode_holder_ = r.window;
        }
        if (!mode_holder_) {
            Win32DeferError("GLGraphicsDriver failed to set display mode");
            return;
        }
        SetIntervalFor(r, rate ? 1 : 0);
    }

    void ReleaseDisplayMode(HWND window) {
        if (mode_holder_ != window) return;
        ChangeDisplaySettingsA(nullptr, CDS_FULLSCREEN);
        ShowWindow(window, SW_MINIMIZE);
        if (TWin32ContextRecord* r = Find(window)) SetIntervalFor(*r, 0);
        mode_holder_ = nullptr;
    }

    bool HoldsMode() const { return mode_holder_ != nullptr; }
    const TWin32DisplayOptions& Options() const { return options_; }

  private:
    // A new context shares the shared context's objects, when there is one.
    void Share(const TWin32ContextRecord& record) {
        if (shared_ && shared_->context) wglShareLists(shared_->context, record.context);
    }

    // The interval belongs to a context: set it on the window's own context,
    // then give the current one back. (A flip's remembered interval is not
    // touched: the next flip that wants a different one sets it again.)
    void SetIntervalFor(TWin32ContextRecord& r, int interval) {
        if (!r.context) return;
        const HGLRC old_context = wglGetCurrentContext();
        const HDC old_dc = wglGetCurrentDC();
        if (old_context != r.context) wglMakeCurrent(r.dc, r.context);
        ApplySwapInterval(interval);
        if (old_context != r.context) wglMakeCurrent(old_dc, old_context);
    }

    TWin32DisplayOptions options_;
    std::vector<TWin32ContextRecord*> records_; // newest first
    TWin32ContextRecord* current_ = nullptr;
    TWin32ContextRecord* holding_destroyed_ = nullptr;
    HWND mode_holder_ = nullptr;
    std::shared_ptr<TWin32ContextRecord> shared_;
};

LRESULT DefaultProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    return State().unicode ? DefWindowProcW(window, message, wparam, lparam)
                           : DefWindowProcA(window, message, wparam, lparam);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    TWin32DisplayState& s = State();
    TWin32ContextRecord* record = s.layer ? s.layer->Find(window) : nullptr;
    if (!record) return DefaultProc(window, message, wparam, lparam);
    Win32TranslateWindowMessage(window, message, wparam, lparam, nullptr);
    switch (message) {
    case WM_PAINT:
        ValidateRect(window, nullptr);
        return 0;
    case WM_CLOSE:
        // Only a request (reported above); the game decides whether to end.
        return 0;
    case WM_SYSKEYDOWN:
        if (wparam == VK_F4) return DefaultProc(window, message, wparam, lparam);
        return 0;
    case WM_SYSCOMMAND:
        // No screen saver and no monitor power-down while the game runs.
        if (wparam == SC_SCREENSAVE || wparam == SC_MONITORPOWER) return 1;
        return DefaultProc(window, message, wparam, lparam);
    case WM_SETFOCUS:
        if (record->kind == TGLContextRecord::FULL_SCREEN && !s.layer->Options().hidden)
            s.layer->TakeDisplayMode(*record);
        return 0;
    case WM_KILLFOCUS:
    case WM_DESTROY:
        s.layer->ReleaseDisplayMode(window);
        return 0;
    default:
        return DefaultProc(window, message, wparam, lparam);
    }
}

} // namespace

std::shared_ptr<TGLContextBackend> MakeWin32ContextBackend(const TWin32DisplayOptions& options) {
    return std::make_shared<TWin32ContextBackend>(options);
}

void UseWin32GraphicsDriver() {
    UseGLContextBackend(MakeWin32ContextBackend());
}

void* Win32RecordWindow(const TGLContextRecord& record) {
    const auto* r = dynamic_cast<const TWin32ContextRecord*>(&record);
    return r ? r->window : nullptr;
}

bool Win32HoldsDisplayMode() {
    TWin32DisplayState& s = State();
    return s.layer && s.layer->HoldsMode();
}

std::shared_ptr<TGLContextBackend> MakeWin32OffscreenContextBackend() {
    // A hidden window that never changes the display mode.
    TWin32DisplayOptions options;
    options.hidden = true;
    return MakeWin32ContextBackend(options);
}
