#pragma once
#include <cstddef>
#include <iterator>
#include <list>
#include <memory>
#include <vector>

// The game's object list: shared elements kept in insertion order and walked
// first to last. Bubbles pop and effects expire in the middle of a walk, so the
// list is built for that:
//  - an element may remove itself (or any other element) while a walk is on it;
//    the walk goes on with the element that followed it;
//  - elements appended during a walk are reached by that same walk;
//  - a removed element is never visited again, by this walk or a later one.
// While a walk is running, removed entries are only marked and stay linked, so
// the walk's position is never invalidated; the marked entries are dropped
// when the outermost walk ends.
template <class T> class TList {
  public:
    using Ptr = std::shared_ptr<T>;

    TList() = default;
    TList(const TList&) = delete;
    TList& operator=(const TList&) = delete;

    void Append(Ptr value) {
        if (!value) return;
        _entries.push_back(Entry{std::move(value), false});
        ++_count;
    }

    // Removes the first live entry holding `value`. Returns whether one was found.
    bool Remove(const T* value) {
        for (auto it = _entries.begin(); it != _entries.end(); ++it) {
            if (!it->dead && it->value.get() == value) {
                Kill(it);
                return true;
            }
        }
        return false;
    }
    bool Remove(const Ptr& value) { return Remove(value.get()); }

    void Clear() {
        if (_walks == 0) {
            _entries.clear();
        } else {
            for (Entry& e : _entries)
                e.dead = true;
        }
        _count = 0;
    }

    int Count() const { return _count; }
    bool Empty() const { return _count == 0; }
    bool Contains(const T* value) const {
        for (const Entry& e : _entries)
            if (!e.dead && e.value.get() == value) return true;
        return false;
    }

    // Calls fn(const Ptr&) for every live element, first to last, under the
    // rules above. fn may Append, Remove and Clear, and may start a nested walk.
    template <class Fn> void ForEach(Fn&& fn) {
        WalkGuard guard(*this);
        for (auto it = _entries.begin(); it != _entries.end(); ++it) {
            if (it->dead) continue;
            // Hold a reference: the element may drop the list's one while we call it.
            Ptr keep = it->value;
            fn(keep);
        }
    }

    // A copy of the live elements, in order (for inspection, traces and tests).
    std::vector<Ptr> Items() const {
        std::vector<Ptr> out;
        out.reserve(static_cast<std::size_t>(_count));
        for (const Entry& e : _entries)
            if (!e.dead) out.push_back(e.value);
        return out;
    }

    Ptr First() const {
        for (const Entry& e : _entries)
            if (!e.dead) return e.value;
        return nullptr;
    }

  private:
    struct Entry {
        Ptr value;
        bool dead;
    };
    using Iter = typename std::list<Entry>::iterator;

    void Kill(Iter it) {
        it->dead = true;
        --_count;
        if (_walks == 0) _entries.erase(it);
    }

    void Purge() {
        for (auto it = _entries.begin(); it != _entries.end();) {
            if (it->dead)
                it = _entries.erase(it);
            else
                ++it;
        }
    }

    struct WalkGuard {
        explicit WalkGuard(TList& l) : list(l) { ++list._walks; }
        ~WalkGuard() {
            if (--list._walks == 0) list.Purge();
        }
        WalkGuard(const WalkGuard&) = delete;
        WalkGuard& operator=(const WalkGuard&) = delete;
        TList& list;
    };

    std::list<Entry> _entries;
    int _count = 0;
    int _walks = 0;
};
