#include "backends/web/web_clock.h"

#include <emscripten/emscripten.h>

#include <memory>

#include "platform/clock.h"

namespace {

class TWebClockSource final : public TClockSource {
  public:
    int Millis() override { return SystemClockMillis(); }
    // While the game sleeps the browser runs: it paints, delivers input and
    // asks for sound.
    void Delay(int ms) override { emscripten_sleep(static_cast<unsigned>(ms)); }
};

} // namespace

void UseWebClock() {
    UseClockSource(std::make_shared<TWebClockSource>());
}
