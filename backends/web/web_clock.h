#pragma once

// The page's clock: the browser's monotonic clock, and a delay that hands
// control back to the browser for its length (Asyncify) instead of blocking
// the page's only thread. The game's frame loops stay as they are written.
void UseWebClock();
