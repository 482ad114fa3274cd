#include "platform/switch_timing.h"

#include <algorithm>
#include <any>
#include <map>
#include <memory>
#include <utility>

#include "platform/clock.h"
#include "platform/event.h"
#include "platform/hook.h"
#include "platform/input.h"
#include "platform/joystick.h"
#include "platform/system.h"

// ---- One switch -----------------------------------------------------------

bool TSwitchFilter::Update(bool raw_down, int now_ms) {
    if (raw_down && !raw_) {
        raw_ = true;
        raw_since_ = now_ms;
        ignored_ = released_ && ClockDiff(now_ms, released_at_) < timing_.release_ms;
    } else if (!raw_down && raw_) {
        raw_ = false;
        ignored_ = false;
        if (down_) {
            down_ = false;
            released_ = true;
            released_at_ = now_ms;
        }
    }
    if (raw_ && !down_ && !ignored_ && ClockDiff(now_ms, raw_since_) >= timing_.accept_ms) down_ = true;
    return down_;
}

void TSwitchFilter::Forget() {
    *this = TSwitchFilter(timing_);
}

// ---- The filters of the keys and buttons ------------------------------------

namespace {

constexpr int KEYS = 256;

struct TKeyFilter {
    TSwitchFilter filter;
    const void* source = nullptr; // of the press being held back
};

struct TTimingState {
    std::map<int, TKeyFilter> keys;
    std::map<std::pair<int, int>, TSwitchFilter> buttons; // (port, button)
    bool keys_installed = false;
};

TTimingState& State() {
    static TTimingState state;
    return state;
}

// A press that waited out its acceptance time goes down now, for the hooks
// after the filters only.
void Deliver(int key, const void* source) {
    TEvent::Create(EVENT_KEYDOWN, source, key, CurrentModifiers(), 0, 0,
                   TForwardedInput{INPUT_PRIORITY_FILTERS})
        ->Emit();
}

THookData FilterHook(int, const THookData& data, void*) {
    const auto* held = std::any_cast<std::shared_ptr<TEvent>>(&data);
    if (!held || !*held) return data;
    const TEvent& e = **held;
    if (ForwardedPast(e, INPUT_PRIORITY_FILTERS)) return data;
    TTimingState& s = State();
    switch (e.id) {
    case EVENT_KEYDOWN:
    case EVENT_KEYUP:
    case EVENT_KEYREPEAT: {
        const auto it = s.keys.find(e.data);
        if (it == s.keys.end()) return data;
        TKeyFilter& k = it->second;
        if (e.id == EVENT_KEYREPEAT) return k.filter.Down() ? data : THookData{};
        const bool was = k.filter.Down();
        if (e.id == EVENT_KEYDOWN) k.source = e.source;
        const bool now = k.filter.Update(e.id == EVENT_KEYDOWN, ClockMillis());
        return was != now ? data : THookData{};
    }
    case EVENT_APPSUSPEND:
    case EVENT_APPRESUME:
        ForgetSwitchKeys();
        return data;
    default:
        return data;
    }
}

THookData AcceptPollHook(int, const THookData& data, void*) {
    const int now = ClockMillis();
    for (auto& [key, k] : State().keys) {
        if (k.filter.RawDown() && !k.filter.Down() && k.filter.Update(true, now)) Deliver(key, k.source);
    }
    return data;
}

class TButtonTiming final : public TJoypadButtonFilter {
  public:
    unsigned Filter(int port, unsigned buttons) override {
        const int now = ClockMillis();
        for (auto& [where, filter] : State().buttons) {
            if (where.first != port) continue;
            const unsigned bit = 1u << where.second;
            buttons = filter.Update((buttons & bit) != 0, now) ? buttons | bit : buttons & ~bit;
        }
        return buttons;
    }
    void Forget(int port) override {
        for (auto& [where, filter] : State().buttons)
            if (where.first == port) filter.Forget();
    }
};

} // namespace

void UseSwitchTimings(const std::vector<TSwitchTimingBinding>& bindings) {
    TTimingState& s = State();
    if (s.keys_installed) {
        DeleteHook(EmitEventHookId(), FilterHook, nullptr);
        DeleteHook(PollHookId(), AcceptPollHook, nullptr);
        s.keys_installed = false;
    }
    s.keys.clear();
    s.buttons.clear();
    for (const TSwitchTimingBinding& b : bindings) {
        if (!b.timing.Active()) continue;
        const TSwitchTiming t{std::clamp(b.timing.accept_ms, 0, MAX_SWITCH_TIMING_MS),
                              std::clamp(b.timing.release_ms, 0, MAX_SWITCH_TIMING_MS)};
        if (b.source.kind == TInputSource::Kind::Key && b.source.code >= 1 && b.source.code < KEYS)
            s.keys.try_emplace(b.source.code, TKeyFilter{TSwitchFilter(t), nullptr});
        else if (b.source.kind == TInputSource::Kind::PadButton && b.source.code >= 0 && b.source.code < 32 &&
                 b.source.port >= 0)
            s.buttons.try_emplace({b.source.port, b.source.code}, TSwitchFilter(t));
    }
    if (!s.keys.empty()) {
        InsertHook(EmitEventHookId(), FilterHook, nullptr, INPUT_PRIORITY_FILTERS);
        InsertHook(PollHookId(), AcceptPollHook, nullptr, 0);
        s.keys_installed = true;
    }
    UseJoypadButtonFilter(s.buttons.empty() ? nullptr : std::make_shared<TButtonTiming>());
}

void ForgetSwitchKeys() {
    for (auto& [key, k] : State().keys)
        k.filter.Forget();
}
