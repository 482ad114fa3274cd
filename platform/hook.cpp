#include "platform/hook.h"

#include "platform/error.h"

#include <memory>
#include <vector>

namespace {

struct THook {
    int priority = 0;
    THookFunc func = nullptr;
    void* context = nullptr;
    bool removed = false;
};

constexpr int HOOK_CHAINS = 256;

struct THookState {
    int next_id = 1;
    // Hooks are shared so that a chain being run keeps the ones it is about
    // to call alive even when a hook deletes them.
    std::vector<std::shared_ptr<THook>> chains[HOOK_CHAINS];
};

THookState& State() {
    static THookState state;
    return state;
}

bool ValidId(int id) {
    return id >= 0 && id < HOOK_CHAINS;
}

} // namespace

int NewHookId() {
    THookState& s = State();
    if (s.next_id >= HOOK_CHAINS) throw TRuntimeError("Too many hook ids");
    return s.next_id++;
}

void InsertHook(int id, THookFunc func, void* context, int priority) {
    if (!ValidId(id) || !func) return;
    auto& chain = State().chains[id];
    auto hook = std::make_shared<THook>(THook{priority, func, context, false});
    // After every hook of greater or equal priority: equal priorities run
    // oldest first.
    auto at = chain.begin();
    while (at != chain.end() && (*at)->priority >= priority)
        ++at;
    chain.insert(at, std::move(hook));
}

void DeleteHook(int id, THookFunc func, void* context) {
    if (!ValidId(id)) return;
    auto& chain = State().chains[id];
    for (auto it = chain.begin(); it != chain.end(); ++it) {
        if ((*it)->func == func && (*it)->context == context) {
            (*it)->removed = true;
            chain.erase(it);
            return;
        }
    }
}

THookData CallHooks(int id, THookData data) {
    if (!ValidId(id)) return data;
    // A hook may insert or delete hooks while the chain runs; walk a copy and
    // skip the ones removed meanwhile.
    const std::vector<std::shared_ptr<THook>> chain = State().chains[id];
    for (const auto& hook : chain) {
        if (hook->removed) continue;
        data = hook->func(id, data, hook->context);
    }
    return data;
}
