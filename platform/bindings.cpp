#include "platform/bindings.h"

#include <algorithm>
#include <any>
#include <memory>
#include <utility>

#include "platform/event.h"
#include "platform/hook.h"
#include "platform/input.h"
#include "platform/joystick.h"
#include "platform/system.h"

namespace {

constexpr int KEYS = 256;

struct TBindingState {
    std::vector<TKeyAlias> aliases;
    std::vector<char> held;      // per alias
    bool native_held[KEYS] = {}; // the target keys' own state
    bool installed = false;
    bool forwarding = false; // a pad alias's key event is on its way through the chain
};

TBindingState& State() {
    static TBindingState state;
    return state;
}

bool ValidAlias(const TKeyAlias& a) {
    if (a.key < 1 || a.key >= KEYS) return false;
    switch (a.source.kind) {
    case TInputSource::Kind::Key:
        return a.source.code >= 1 && a.source.code < KEYS;
    case TInputSource::Kind::Mouse:
        return a.source.code >= 1 && a.source.code <= 3;
    case TInputSource::Kind::PadButton:
        return a.source.code >= 0 && a.source.code < 32 && a.source.port >= 0;
    }
    return false;
}

bool IsTarget(const TBindingState& s, int key) {
    return std::any_of(s.aliases.begin(), s.aliases.end(),
                       [key](const TKeyAlias& a) { return a.key == key; });
}

// Whether key is still held through any of its sources.
bool AnyHeld(const TBindingState& s, int key) {
    if (s.native_held[key]) return true;
    for (std::size_t i = 0; i < s.aliases.size(); ++i) {
        if (s.aliases[i].key == key && s.held[i]) return true;
    }
    return false;
}

void ForgetHeld(TBindingState& s) {
    std::fill(s.held.begin(), s.held.end(), 0);
    std::fill(std::begin(s.native_held), std::end(s.native_held), false);
}

// The event one source's change becomes; empty (swallowed) for a release
// while another source still holds the key.
THookData SourceChange(TBindingState& s, std::size_t i, int id, const TEvent& e) {
    const int key = s.aliases[i].key;
    if (id == EVENT_KEYUP) {
        s.held[i] = 0;
        if (AnyHeld(s, key)) return {};
    } else if (id == EVENT_KEYDOWN) {
        s.held[i] = 1;
    }
    return TEvent::Create(id, e.source, key, e.mods, e.x, e.y);
}

std::size_t FindAlias(const TBindingState& s, TInputSource::Kind kind, int code) {
    for (std::size_t i = 0; i < s.aliases.size(); ++i) {
        if (s.aliases[i].source.kind == kind && s.aliases[i].source.code == code) return i;
    }
    return s.aliases.size();
}

THookData AliasHook(int, const THookData& data, void*) {
    TBindingState& s = State();
    const auto* held = std::any_cast<std::shared_ptr<TEvent>>(&data);
    if (s.forwarding || !held || !*held) return data;
    const TEvent& e = **held;
    if (ForwardedPast(e, INPUT_PRIORITY_BINDINGS)) return data;
    switch (e.id) {
    case EVENT_KEYDOWN:
    case EVENT_KEYREPEAT:
    case EVENT_KEYUP: {
        const std::size_t i = FindAlias(s, TInputSource::Kind::Key, e.data);
        if (i < s.aliases.size()) return SourceChange(s, i, e.id, e);
        if (e.data >= 0 && e.data < KEYS && IsTarget(s, e.data) && e.id != EVENT_KEYREPEAT) {
            s.native_held[e.data] = e.id == EVENT_KEYDOWN;
            if (e.id == EVENT_KEYUP && AnyHeld(s, e.data)) return {};
        }
        return data;
    }
    case EVENT_MOUSEDOWN:
    case EVENT_MOUSEUP: {
        const std::size_t i = FindAlias(s, TInputSource::Kind::Mouse, e.data);
        if (i < s.aliases.size())
            return SourceChange(s, i, e.id == EVENT_MOUSEDOWN ? EVENT_KEYDOWN : EVENT_KEYUP, e);
        return data;
    }
    case EVENT_APPSUSPEND:
    case EVENT_APPRESUME:
        // The tracking forgets every key here; so do the aliases.
        ForgetHeld(s);
        return data;
    default:
        return data;
    }
}

// After every pump: pad buttons that changed since the last read press or
// release their key.
THookData PadPollHook(int, const THookData& data, void*) {
    TBindingState& s = State();
    for (std::size_t i = 0; i < s.aliases.size(); ++i) {
        const TKeyAlias& a = s.aliases[i];
        if (a.source.kind != TInputSource::Kind::PadButton) continue;
        unsigned buttons = 0;
        const bool down = ReadJoypadButtons(a.source.port, buttons) && ((buttons >> a.source.code) & 1u) != 0;
        if (down == (s.held[i] != 0)) continue;
        s.held[i] = down ? 1 : 0;
        if (!down && AnyHeld(s, a.key)) continue;
        s.forwarding = true;
        EmitSystemEvent(down ? EVENT_KEYDOWN : EVENT_KEYUP, nullptr, a.key);
        s.forwarding = false;
    }
    return data;
}

} // namespace

void UseKeyAliases(std::vector<TKeyAlias> aliases) {
    TBindingState& s = State();
    if (s.installed) {
        DeleteHook(EmitEventHookId(), AliasHook, nullptr);
        DeleteHook(PollHookId(), PadPollHook, nullptr);
        s.installed = false;
    }
    std::erase_if(aliases, [](const TKeyAlias& a) { return !ValidAlias(a); });
    s.aliases = std::move(aliases);
    s.held.assign(s.aliases.size(), 0);
    ForgetHeld(s);
    if (s.aliases.empty()) return;
    InsertHook(EmitEventHookId(), AliasHook, nullptr, INPUT_PRIORITY_BINDINGS);
    const bool pads = std::any_of(s.aliases.begin(), s.aliases.end(), [](const TKeyAlias& a) {
        return a.source.kind == TInputSource::Kind::PadButton;
    });
    if (pads) InsertHook(PollHookId(), PadPollHook, nullptr, 0);
    s.installed = true;
}

const std::vector<TKeyAlias>& KeyAliases() {
    return State().aliases;
}
