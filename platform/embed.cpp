#include "platform/embed.h"

#include <memory>
#include <string>

namespace {

// Newest first; entries are never removed, so lookups can hand out plain pointers.
struct EmbedEntry {
    std::string name;
    const void* data;
    int size;
    std::unique_ptr<EmbedEntry> next;
};

struct TEmbedState {
    std::unique_ptr<EmbedEntry> head;
};

TEmbedState& State() {
    static TEmbedState state;
    return state;
}

const EmbedEntry* Find(const char* name) {
    if (!name) return nullptr;
    for (const EmbedEntry* e = State().head.get(); e; e = e->next.get())
        if (e->name == name) return e;
    return nullptr;
}

} // namespace

int EmbedRegister(const char* name, const void* data, int size) {
    if (!name || Find(name)) return 0;
    TEmbedState& s = State();
    auto entry = std::make_unique<EmbedEntry>(EmbedEntry{name, data, size < 0 ? 0 : size, std::move(s.head)});
    s.head = std::move(entry);
    return 1;
}

const void* EmbedData(const char* name) {
    const EmbedEntry* e = Find(name);
    return e ? e->data : nullptr;
}

int EmbedSize(const char* name) {
    const EmbedEntry* e = Find(name);
    return e ? e->size : 0;
}
