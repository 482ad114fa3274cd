#include "platform/event.h"

#include "platform/hook.h"

#include <cstdint>
#include <map>
#include <utility>

namespace {

struct TEventState {
    std::map<int, std::string> names;
    std::uint32_t next_user = 0x80000001u;

    TEventState() {
        const std::pair<int, const char*> table[] = {
            {257, "AppSuspend"},
            {258, "AppResume"},
            {259, "AppTerminate"},
            {260, "AppOpenFile"},
            {261, "AppIdle"},
            {513, "KeyDown"},
            {514, "KeyUp"},
            {515, "KeyChar"},
            {516, "KeyRepeat"},
            {1025, "MouseDown"},
            {1026, "MouseUp"},
            {1027, "MouseMove"},
            {1028, "MouseWheel"},
            {1029, "MouseEnter"},
            {1030, "MouseLeave"},
            {2049, "TimerTick"},
            {4097, "HotkeyHit"},
            {8193, "GadgetAction"},
            {8194, "GadgetPaint"},
            {8195, "GadgetSelect"},
            {8196, "GadgetMenu"},
            {8197, "GadgetOpen"},
            {8198, "GadgetClose"},
            {8199, "GadgetDone"},
            {8200, "GadgetLostFocus"},
            {8201, "GadgetShape"},
            {16385, "WindowMove"},
            {16386, "WindowSize"},
            {16387, "WindowClose"},
            {16388, "WindowActivate"},
            {16389, "WindowAccept"},
            {32769, "MenuAction"},
            {65537, "StreamEof"},
            {65538, "StreamAvail"},
            {131073, "ProcessExit"},
        };
        for (const auto& [id, name] : table)
            names[id] = name;
    }
};

TEventState& State() {
    static TEventState state;
    return state;
}

} // namespace

std::shared_ptr<TEvent> TEvent::Create(int id, const void* source, int data, int mods, int x, int y,
                                       std::any extra) {
    auto event = std::make_shared<TEvent>();
    event->id = id;
    event->source = source;
    event->data = data;
    event->mods = mods;
    event->x = x;
    event->y = y;
    event->extra = std::move(extra);
    return event;
}

int EmitEventHookId() {
    static const int id = NewHookId();
    return id;
}

std::any TEvent::Emit() const {
    // Hooks receive their own shared copy: a hook that keeps the event keeps
    // a stable object, whatever the caller does with this one.
    return CallHooks(EmitEventHookId(), std::any(std::make_shared<TEvent>(*this)));
}

std::string TEvent::ToString() const {
    std::string text = DescriptionForId(id);
    text += ": data=" + std::to_string(data);
    text += ", mods=" + std::to_string(mods);
    text += ", x=" + std::to_string(x);
    text += ", y=" + std::to_string(y);
    text += ", extra=\"";
    if (const auto* s = std::any_cast<std::string>(&extra)) text += *s;
    text += "\"";
    return text;
}

int TEvent::AllocUserId() {
    // Ids are ints with the top bit set: the unsigned count wraps into the
    // negative ints by two's complement, which is well defined since C++20.
    return static_cast<int>(State().next_user++);
}

void TEvent::RegisterId(int id, const std::string& name) {
    State().names[id] = name;
}

std::string TEvent::DescriptionForId(int id) {
    const auto& names = State().names;
    if (auto it = names.find(id); it != names.end()) return it->second;
    const auto bits = static_cast<std::uint32_t>(id);
    if (bits & 0x80000000u) return "UserEvent" + std::to_string(bits - 0x80000000u);
    return "Unknown Event, id=" + std::to_string(id);
}
