#include "backends/sdl/sdl_x11.h"

#include <SDL.h>
#include <SDL_syswm.h>

namespace {

#if defined(SDL_VIDEO_DRIVER_X11)
struct TX11Window {
    Display* display = nullptr;
    Window window = 0;
};

bool GetX11Window(SDL_Window* window, TX11Window& out) {
    if (!window) return false;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return false;
    out.display = info.info.x11.display;
    out.window = info.info.x11.window;
    return out.display != nullptr && out.window != 0;
}
#endif

} // namespace

bool X11WindowSize(SDL_Window* window, int& width, int& height) {
#if defined(SDL_VIDEO_DRIVER_X11)
    TX11Window x;
    if (!GetX11Window(window, x)) return false;
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(x.display, x.window, &attributes)) return false;
    width = attributes.width;
    height = attributes.height;
    return true;
#else
    (void)window;
    (void)width;
    (void)height;
    return false;
#endif
}

bool X11HasWindowManager(SDL_Window* window) {
#if defined(SDL_VIDEO_DRIVER_X11)
    TX11Window x;
    if (!GetX11Window(window, x)) return false;
    // A window manager that follows the desktop conventions names a window of
    // its own in this root property.
    const Atom check = XInternAtom(x.display, "_NET_SUPPORTING_WM_CHECK", True);
    if (check == 0) return false;
    Atom type = 0;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    const int status = XGetWindowProperty(x.display, DefaultRootWindow(x.display), check, 0, 1, False,
                                          XA_WINDOW, &type, &format, &items, &after, &data);
    const bool found = status == Success && type == XA_WINDOW && items == 1;
    if (data) XFree(data);
    return found;
#else
    (void)window;
    return false;
#endif
}

void X11PlaceWindow(SDL_Window* window, int x, int y, int width, int height) {
#if defined(SDL_VIDEO_DRIVER_X11)
    TX11Window w;
    if (!GetX11Window(window, w) || width <= 0 || height <= 0) return;
    XMoveResizeWindow(w.display, w.window, x, y, static_cast<unsigned>(width), static_cast<unsigned>(height));
    XRaiseWindow(w.display, w.window);
    XSync(w.display, False);
#else
    (void)window;
    (void)x;
    (void)y;
    (void)width;
    (void)height;
#endif
}
