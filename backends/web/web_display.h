#pragma once

// The browser page's window layer for the OpenGL display driver: a WebGL 1
// context on the page's canvas through SDL. The canvas has exactly the size
// the game asked for and the page scales it to the window with CSS (its
// aspect kept), so the picture is drawn straight into it. There is no vertical
// blank to wait for: the display paces itself on the clock, and every swap
// hands control back to the browser (Asyncify), which shows the frame at its
// next repaint. Full screen is the page's own button.
//
// The mouse needs no mapping: SDL already reports it in the canvas's pixels.

// Installs the page's window layer as the GL context backend.
void UseWebGraphicsDriver();
