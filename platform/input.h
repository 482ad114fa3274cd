#pragma once

// Polled keyboard and mouse state, kept by the input-tracking hook.
// Opening the display starts tracking; the game only queries.
void StartInputTracking(const void* source = nullptr);
void StopInputTracking();
