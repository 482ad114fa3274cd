#pragma once

struct SDL_Window;

// What SDL does not tell about a window on X11. SDL keeps its own idea of a
// full-screen window's size, which is the desktop's even where no window
// manager has made the window that big (a kiosk or party set-up with a bare X
// server); these ask the X server itself. Every call is a no-op (or false)
// where the window is not on X11.

// The window's size in pixels as the X server has it; false when not on X11.
bool X11WindowSize(SDL_Window* window, int& width, int& height);

// True when a window manager runs on the window's X screen (it advertises
// itself on the root window), so that full-screen requests are honoured.
bool X11HasWindowManager(SDL_Window* window);

// Moves and sizes the window over the given rectangle of the screen and
// raises it; for when no window manager does it.
void X11PlaceWindow(SDL_Window* window, int x, int y, int width, int height);
