#include "graphics/glgraphics.h"

#include <GL/gl.h>
// On Windows the GL header brings the system's CreateWindow macro; the window layer's is ours.
#undef CreateWindow

#include <algorithm>
#include <cstdio>

namespace {

// The window layer: the backend, its contexts and the current one.
struct TGLGraphicsState {
    std::shared_ptr<TGLContextBackend> backend;
    // Newest first.
    std::vector<std::shared_ptr<TGLContextRecord>> contexts;
    // The hidden shared context (not in the list), once requested.
    std::shared_ptr<TGLContextRecord> shared_record;
    std::shared_ptr<TGraphics> shared;
    TGLContextRecord* current = nullptr;
    int swap_interval = -1;  // the last flip's; unknown until the first flip sets it
    int applied = -1;        // the interval the backend has now
    bool background = false; // a full-screen window without the focus: no vertical sync
};

void ApplySwapInterval(TGLGraphicsState& s, int interval) {
    if (interval == s.applied || !s.backend) return;
    s.applied = interval;
    s.backend->SetSwapInterval(interval);
}

TGLGraphicsState& State() {
    static TGLGraphicsState* state = new TGLGraphicsState; // outlives the at-exit close
    return *state;
}

void MakeCurrent(TGLContextRecord* record) {
    TGLGraphicsState& s = State();
    if (record == s.current) return;
    s.current = record;
    if (s.backend) s.backend->MakeCurrent(record);
}

void DestroyRecord(const std::shared_ptr<TGLContextRecord>& record) {
    TGLGraphicsState& s = State();
    auto it = std::find(s.contexts.begin(), s.contexts.end(), record);
    if (it == s.contexts.end()) return;
    if (s.current == record.get()) MakeCurrent(nullptr);
    auto keep = *it;
    s.contexts.erase(it);
    if (s.backend) s.backend->Destroy(*keep);
}

// The shared context's graphics: closing it leaves the context to the window layer.
class TGLSharedGraphics final : public TGLGraphics {
  public:
    using TGLGraphics::TGLGraphics;
    void Close() override {}
};

void PushRecord(const std::shared_ptr<TGLContextRecord>& record) {
    TGLGraphicsState& s = State();
    s.contexts.insert(s.contexts.begin(), record);
}

} // namespace

void UseGLContextBackend(std::shared_ptr<TGLContextBackend> backend) {
    TGLGraphicsState& s = State();
    if (s.backend == backend) return;
    // Contexts belong to the backend that made them.
    while (!s.contexts.empty())
        DestroyRecord(s.contexts.front());
    if (s.shared_record) {
        if (s.current == s.shared_record.get()) MakeCurrent(nullptr);
        if (s.backend) s.backend->Destroy(*s.shared_record);
        s.shared_record.reset();
        s.shared.reset();
    }
    s.current = nullptr;
    s.swap_interval = -1;
    s.applied = -1;
    s.background = false;
    s.backend = std::move(backend);
}

std::shared_ptr<TGLContextBackend> GetGLContextBackend() {
    return State().backend;
}

std::shared_ptr<TGraphics> OpenGLGraphics(int width, int height, int depth, int hertz, int flags) {
    SelectGraphicsDriver(TGLGraphicsDriver::Instance(), GFX_DOUBLE_BUFFER);
    return OpenGraphics(width, height, depth, hertz, flags);
}

std::shared_ptr<TGraphics> GLSharedGraphics() {
    TGLGraphicsState& s = State();
    if (s.shared) return s.shared;
    auto record = s.backend ? s.backend->CreateSharedContext() : nullptr;
    if (!record) {
        std::fprintf(stderr, "GLGraphicsDriver could not make the shared context\n");
        return nullptr;
    }
    record->kind = TGLContextRecord::HIDDEN_SHARED;
    s.shared_record = record;
    s.shared = std::make_shared<TGLSharedGraphics>(record);
    return s.shared;
}

void* GLProcAddress(const char* name) {
    TGLGraphicsState& s = State();
    return s.backend ? s.backend->ProcAddress(name) : nullptr;
}

TGLContextRecord* GLCurrentContext() {
    return State().current;
}
int GLContextCount() {
    return static_cast<int>(State().contexts.size());
}
void GLWindowFocusChanged(TGLContextRecord& record, bool gained, bool restore_last_flip) {
    TGLGraphicsState& s = State();
    if (&record != s.current || record.kind != TGLContextRecord::FULL_SCREEN) return;
    if (!gained) {
        s.background = true;
        ApplySwapInterval(s, 0);
        return;
    }
    s.background = false;
    int interval = s.swap_interval;
    if (!restore_last_flip || interval < 0) {
        // Vertical sync only when the display runs at the rate asked for.
        const int rate = s.backend ? s.backend->DisplayRate(record) : 0;
        interval = record.hertz == 0 || rate == record.hertz ? 1 : 0;
    }
    ApplySwapInterval(s, interval);
}

int GLRememberedSwapInterval() {
    return State().swap_interval;
}

std::shared_ptr<TGLGraphicsDriver> TGLGraphicsDriver::Instance() {
    static std::shared_ptr<TGLGraphicsDriver> instance = std::make_shared<TGLGraphicsDriver>();
    return instance;
}

std::vector<TGraphicsMode> TGLGraphicsDriver::GraphicsModes(int display) {
    TGLGraphicsState& s = State();
    if (!s.backend || display < 0) return {};
    auto modes = s.backend->DisplayModes(display);
    // Palette modes are of no use to a GL context, and a mode without a depth
    // is no mode to open.
    std::erase_if(modes, [](const TGraphicsMode& m) { return m.depth < 16; });
    if (modes.size() > 1024) modes.resize(1024);
    return modes;
}

std::shared_ptr<TGraphics> TGLGraphicsDriver::AttachGraphics(void* window_handle, int flags) {
    TGLGraphicsState& s = State();
    if (!s.backend) return nullptr;
    auto record = s.backend->AttachWindow(window_handle, flags);
    if (!record) return nullptr;
    record->kind = TGLContextRecord::ATTACHED;
    PushRecord(record);
    return std::make_shared<TGLGraphics>(record);
}

std::shared_ptr<TGraphics> TGLGraphicsDriver::CreateGraphics(int width, int height, int depth, int hertz,
                                                             int flags) {
    TGLGraphicsState& s = State();
    if (!s.backend || width <= 0 || height <= 0) return nullptr;
    auto record = s.backend->CreateWindow(width, height, depth, hertz, flags);
    if (!record) return nullptr;
    PushRecord(record);
    return std::make_shared<TGLGraphics>(record);
}

void TGLGraphicsDriver::SetGraphics(const std::shared_ptr<TGraphics>& graphics) {
    auto gl = std::dynamic_pointer_cast<TGLGraphics>(graphics);
    MakeCurrent(gl && gl->_context ? gl->_context.get() : nullptr);
}

void TGLGraphicsDriver::Flip(int sync) {
    TGLGraphicsState& state = State();
    if (!state.current || !state.backend) return;
    state.swap_interval = sync != 0 ? 1 : 0;
    if (!state.background) ApplySwapInterval(state, state.swap_interval);
    state.backend->SwapBuffers(*state.current);
}

void TGLGraphicsDriver::FinishFrame() {
    TGLGraphicsState& state = State();
    if (state.current && state.backend) state.backend->FinishFrame(*state.current);
}

void TGLContextBackend::FinishFrame(TGLContextRecord&) {
    glFinish();
}

TGLGraphics::~TGLGraphics() {
    Close();
}

std::shared_ptr<TGraphicsDriver> TGLGraphics::Driver() {
    return TGLGraphicsDriver::Instance();
}

void TGLGraphics::GetSettings(int& width, int& height, int& depth, int& hertz, int& flags) {
    if (!_context) {
        width = height = depth = hertz = flags = 0;
        return;
    }
    TGLGraphicsState& s = State();
    if (_context->kind == TGLContextRecord::ATTACHED && s.backend) s.backend->RefreshSize(*_context);
    width = _context->width;
    height = _context->height;
    depth = _context->depth;
    hertz = _context->hertz;
    flags = _context->flags;
}

void TGLGraphics::Close() {
    if (!_context) return;
    auto context = std::move(_context);
    _context.reset();
    DestroyRecord(context);
}
