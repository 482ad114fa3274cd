#pragma once
#include <any>

// Hook chains: numbered lists of callbacks run in priority order. The data
// handed along is any object (an emitted event is a std::shared_ptr<TEvent>);
// what a hook returns is the data given to the next one.
using THookData = std::any;
using THookFunc = THookData (*)(int id, const THookData& data, void* context);

// A new hook id, 1 to 255; the 256th request throws TRuntimeError("Too many hook ids").
int NewHookId();

// Adds a hook to chain id. Chains run in descending priority; among equal
// priorities the older hook runs first. Ids outside 0..255 are ignored.
void InsertHook(int id, THookFunc func, void* context, int priority);

// Removes the first hook of chain id with that func and context. A hook may
// remove itself (or any other) while the chain runs: removed hooks are not
// called again.
void DeleteHook(int id, THookFunc func, void* context);

// Runs chain id with data; returns the last hook's result (data itself when
// the chain is empty).
THookData CallHooks(int id, THookData data);
