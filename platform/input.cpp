#include "platform/input.h"

// Placeholder until the event layer lands: tracking has nothing to track yet.
void StartInputTracking(const void*) {}
void StopInputTracking() {}
