#pragma once
#include <memory>

#include "graphics/glgraphics.h"

// A GL context backend whose windows are never shown and never change the
// display mode, for drawing offscreen (the simulator's captures). Each window
// layer provides it; null when this machine cannot make GL contexts.
std::shared_ptr<TGLContextBackend> MakeOffscreenContextBackend();
