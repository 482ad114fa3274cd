#include "backends/web/web_display.h"

#include <SDL.h>

#include <memory>

#include "backends/sdl/sdl_display.h"
#include "graphics/glgraphics.h"

namespace {

struct TWebContextRecord : TGLContextRecord {
    SDL_Window* window = nullptr;
    SDL_GLContext context = nullptr;
};

class TWebContextBackend final : public TGLContextBackend {
  public:
    std::vector<TGraphicsMode> DisplayModes(int display) override {
        // The canvas takes any size: the picture's own is the one mode.
        if (display != 0) return {};
        return {{1024, 768, 32, 0}};
    }

    std::shared_ptr<TGLContextRecord> CreateWindow(int width, int height, int depth, int hertz,
                                                   int flags) override {
        if (window_ || SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return nullptr;
        SDL_GL_ResetAttributes();
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_ES);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
        SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
        SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
        SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
        SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, (flags & GFX_ALPHA_BUFFER) ? 8 : 0);
        SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, (flags & GFX_DEPTH_BUFFER) ? 16 : 0);
        SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, (flags & GFX_STENCIL_BUFFER) ? 8 : 0);
        SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
        // Never resizable or full screen through SDL: either would make the
        // canvas the window's size, and the page scales it instead.
        SDL_Window* window = SDL_CreateWindow("Zaptomania", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                              width, height, SDL_WINDOW_OPENGL | SDL_WINDOW_SHOWN);
        SDL_GLContext context = window ? SDL_GL_CreateContext(window) : nullptr;
        if (!context) {
            // No WebGL in this browser: the display does not open.
            if (window) SDL_DestroyWindow(window);
            SDL_QuitSubSystem(SDL_INIT_VIDEO);
            return nullptr;
        }
        auto record = std::make_shared<TWebContextRecord>();
        record->SetMode(width, height, depth, hertz, flags);
        record->window = window;
        record->context = context;
        window_ = record.get();
        Restore();
        return record;
    }

    void Destroy(TGLContextRecord& base) override {
        auto& r = static_cast<TWebContextRecord&>(base);
        if (!r.window) return;
        if (current_ == &r) current_ = nullptr;
        if (window_ == &r) window_ = nullptr;
        SDL_GL_MakeCurrent(nullptr, nullptr);
        SDL_GL_DeleteContext(r.context);
        SDL_DestroyWindow(r.window);
        r.window = nullptr;
        r.context = nullptr;
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }

    void MakeCurrent(TGLContextRecord* base) override {
        current_ = static_cast<TWebContextRecord*>(base);
        Restore();
    }

    // The browser composites at its own rate; asking SDL for an interval
    // would set up a main loop the game does not have.
    void SetSwapInterval(int) override {}

    void* ProcAddress(const char* name) override { return SDL_GL_GetProcAddress(name); }

    void SwapBuffers(TGLContextRecord& base) override {
        auto& r = static_cast<TWebContextRecord&>(base);
        if (!r.window) return;
        // SDL's swap hands control back to the browser (emscripten_sleep(0)
        // under Asyncify), which shows the finished frame at its next repaint.
        SDL_GL_SwapWindow(r.window);
    }

  private:
    void Restore() {
        if (current_)
            SDL_GL_MakeCurrent(current_->window, current_->context);
        else
            SDL_GL_MakeCurrent(nullptr, nullptr);
    }

    TWebContextRecord* window_ = nullptr;
    TWebContextRecord* current_ = nullptr;
};

} // namespace

void UseWebGraphicsDriver() {
    UseGLContextBackend(std::make_shared<TWebContextBackend>());
}

// ---- What the SDL event layer asks of a window layer ----------------------

// The canvas shows the picture one to one in its own pixels, which is what SDL
// reports the mouse in: nothing to map.
void SdlPictureToWindow(SDL_Window*, int&, int&) {}
void SdlWindowToPicture(SDL_Window*, int&, int&) {}
// Alt+Enter and F11: the browser's full screen needs the page's button (a
// request outside the page's own event handler is refused).
bool SdlToggleFullScreen(SDL_Window*) {
    return false;
}
bool SdlMinimizesOnFocusLoss() {
    return false;
}
