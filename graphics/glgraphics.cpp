#include "graphics/glgraphics.h"

#include <algorithm>

namespace {

struct TWindowLayer {
    std::shared_ptr<TGLContextBackend> backend;
    // Newest first.
    std::vector<std::shared_ptr<TGLContextRecord>> contexts;
    TGLContextRecord* current = nullptr;
    int swap_interval = -1; // unknown until the first flip sets it
};

TWindowLayer& L() {
    static TWindowLayer* layer = new TWindowLayer; // outlives the at-exit close
    return *layer;
}

void MakeCurrent(TGLContextRecord* record) {
    auto& l = L();
    if (record == l.current) return;
    l.current = record;
    if (l.backend) l.backend->MakeCurrent(record);
}

void DestroyRecord(const std::shared_ptr<TGLContextRecord>& record) {
    auto& l = L();
    auto it = std::find(l.contexts.begin(), l.contexts.end(), record);
    if (it == l.contexts.end()) return;
    if (l.current == record.get()) MakeCurrent(nullptr);
    auto keep = *it;
    l.contexts.erase(it);
    if (l.backend) l.backend->Destroy(*keep);
}

void PushRecord(const std::shared_ptr<TGLContextRecord>& record) {
    auto& l = L();
    l.contexts.insert(l.contexts.begin(), record);
}

} // namespace

void SetGLContextBackend(std::shared_ptr<TGLContextBackend> backend) {
    auto& l = L();
    if (l.backend == backend) return;
    // Contexts belong to the backend that made them.
    while (!l.contexts.empty())
        DestroyRecord(l.contexts.front());
    l.current = nullptr;
    l.swap_interval = -1;
    l.backend = std::move(backend);
}

std::shared_ptr<TGLContextBackend> GetGLContextBackend() {
    return L().backend;
}

TGLContextRecord* GLCurrentContext() {
    return L().current;
}
int GLContextCount() {
    return static_cast<int>(L().contexts.size());
}
int GLRememberedSwapInterval() {
    return L().swap_interval;
}

std::shared_ptr<TGLGraphicsDriver> TGLGraphicsDriver::Instance() {
    static std::shared_ptr<TGLGraphicsDriver> instance = std::make_shared<TGLGraphicsDriver>();
    return instance;
}

std::vector<TGraphicsMode> TGLGraphicsDriver::GraphicsModes() {
    auto& l = L();
    if (!l.backend) return {};
    auto modes = l.backend->DisplayModes();
    // Palette modes are of no use to a GL context.
    std::erase_if(modes, [](const TGraphicsMode& m) { return m.depth != 0 && m.depth < 16; });
    if (modes.size() > 1024) modes.resize(1024);
    return modes;
}

std::shared_ptr<TGraphics> TGLGraphicsDriver::AttachGraphics(void* window_handle, int flags) {
    auto& l = L();
    if (!l.backend) return nullptr;
    auto record = l.backend->AttachWindow(window_handle, flags);
    if (!record) return nullptr;
    record->kind = TGLContextRecord::ATTACHED;
    PushRecord(record);
    return std::make_shared<TGLGraphics>(record);
}

std::shared_ptr<TGraphics> TGLGraphicsDriver::CreateGraphics(int width, int height, int depth, int hertz,
                                                             int flags) {
    auto& l = L();
    if (!l.backend || width <= 0 || height <= 0) return nullptr;
    auto record = l.backend->CreateWindow(width, height, depth, hertz, flags);
    if (!record) return nullptr;
    PushRecord(record);
    return std::make_shared<TGLGraphics>(record);
}

void TGLGraphicsDriver::SetGraphics(const std::shared_ptr<TGraphics>& graphics) {
    auto gl = std::dynamic_pointer_cast<TGLGraphics>(graphics);
    MakeCurrent(gl && gl->_context ? gl->_context.get() : nullptr);
}

void TGLGraphicsDriver::Flip(int sync) {
    auto& l = L();
    if (!l.current || !l.backend) return;
    const int s = sync != 0 ? 1 : 0;
    if (s != l.swap_interval) {
        l.swap_interval = s;
        l.backend->SetSwapInterval(s);
    }
    l.backend->SwapBuffers(*l.current);
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
    if (_context->kind == TGLContextRecord::ATTACHED && L().backend) L().backend->RefreshSize(*_context);
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
