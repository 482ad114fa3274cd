#pragma once
#include <optional>

#include "platform/bindings.h"

// The attract screen: the game playing itself behind a veil, the scrolling
// help message, the line figures, the options menu and the join countdown.
// Runs until the join countdown has run out (returns true: a round follows)
// or ESC is hit (returns false: the program ends).
bool RunAttractScreen();

// An extra switch that opens the options menu as holding P1's switch does
// (nullopt: none, the default).
void UseOptionsSwitch(std::optional<TInputSource> source);

// The state the attract screen starts from (also used by tests).
void EnterAttractScreen();

// One attract frame without its final EndFrame. Returns false when ESC ended the program.
bool AttractFrame();
