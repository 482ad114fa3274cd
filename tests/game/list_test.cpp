#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "game/list.h"

namespace {

struct Item {
    int id;
};

using List = TList<Item>;

std::vector<int> Ids(const List& l) {
    std::vector<int> out;
    for (const auto& p : l.Items())
        out.push_back(p->id);
    return out;
}

std::shared_ptr<Item> Make(int id) {
    return std::make_shared<Item>(Item{id});
}

TEST(GameList, AppendCountClearAndOrder) {
    List l;
    EXPECT_EQ(l.Count(), 0);
    EXPECT_EQ(l.First(), nullptr);
    for (int i = 1; i <= 4; ++i)
        l.Append(Make(i));
    l.Append(nullptr); // null elements are not kept
    EXPECT_EQ(l.Count(), 4);
    EXPECT_EQ(Ids(l), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(l.First()->id, 1);
    l.Clear();
    EXPECT_EQ(l.Count(), 0);
    EXPECT_TRUE(Ids(l).empty());
}

TEST(GameList, RemoveFindsTheElementByIdentity) {
    List l;
    auto a = Make(1), b = Make(1), c = Make(3);
    l.Append(a);
    l.Append(b);
    l.Append(c);
    EXPECT_TRUE(l.Remove(b.get()));
    EXPECT_FALSE(l.Remove(b.get())); // already gone
    EXPECT_TRUE(l.Contains(a.get()));
    EXPECT_FALSE(l.Contains(b.get()));
    EXPECT_EQ(l.Count(), 2);
    EXPECT_EQ(l.Items()[0], a);
    EXPECT_EQ(l.Items()[1], c);
}

TEST(GameList, ElementRemovingItselfDuringWalkContinuesWithSuccessor) {
    List l;
    for (int i = 1; i <= 5; ++i)
        l.Append(Make(i));
    std::vector<int> seen;
    l.ForEach([&](const std::shared_ptr<Item>& p) {
        seen.push_back(p->id);
        if (p->id % 2 == 1) l.Remove(p.get()); // like an effect that expires in its own update
        // The element stays usable after leaving the list (its Draw still follows).
        EXPECT_GE(p->id, 1);
    });
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(Ids(l), (std::vector<int>{2, 4}));
    EXPECT_EQ(l.Count(), 2);
}

TEST(GameList, RemovingTheLastElementHeldOnlyByTheListIsSafe) {
    List l;
    l.Append(Make(7));
    int calls = 0;
    l.ForEach([&](const std::shared_ptr<Item>& p) {
        l.Remove(p.get());
        ++calls;
        EXPECT_EQ(p->id, 7); // still alive: the walk holds a reference
    });
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(l.Count(), 0);
}

TEST(GameList, ElementsRemovedAheadOfTheWalkAreSkipped) {
    List l;
    std::vector<std::shared_ptr<Item>> items;
    for (int i = 1; i <= 4; ++i) {
        items.push_back(Make(i));
        l.Append(items.back());
    }
    std::vector<int> seen;
    l.ForEach([&](const std::shared_ptr<Item>& p) {
        seen.push_back(p->id);
        if (p->id == 1) {
            l.Remove(items[2].get()); // a laser pops a later bubble
            l.Remove(p.get());
        }
    });
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 4}));
    EXPECT_EQ(Ids(l), (std::vector<int>{2, 4}));
}

TEST(GameList, ElementsAppendedDuringAWalkAreReached) {
    List l;
    l.Append(Make(1));
    std::vector<int> seen;
    l.ForEach([&](const std::shared_ptr<Item>& p) {
        seen.push_back(p->id);
        if (p->id < 3) l.Append(Make(p->id + 1)); // a popped bubble splits into new ones
    });
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(l.Count(), 3);
}

TEST(GameList, AppendAfterTheLastElementRemovedItselfIsReached) {
    List l;
    l.Append(Make(1));
    std::vector<int> seen;
    l.ForEach([&](const std::shared_ptr<Item>& p) {
        seen.push_back(p->id);
        if (p->id == 1) {
            l.Remove(p.get());
            l.Append(Make(2));
        }
    });
    EXPECT_EQ(seen, (std::vector<int>{1, 2}));
    EXPECT_EQ(Ids(l), (std::vector<int>{2}));
}

TEST(GameList, ClearDuringAWalkStopsIt) {
    List l;
    for (int i = 1; i <= 3; ++i)
        l.Append(Make(i));
    std::vector<int> seen;
    l.ForEach([&](const std::shared_ptr<Item>& p) {
        seen.push_back(p->id);
        if (p->id == 1) l.Clear();
    });
    EXPECT_EQ(seen, (std::vector<int>{1}));
    EXPECT_EQ(l.Count(), 0);
    l.Append(Make(9));
    EXPECT_EQ(Ids(l), (std::vector<int>{9}));
}

TEST(GameList, NestedWalksAndAnExceptionLeaveTheListConsistent) {
    List l;
    for (int i = 1; i <= 3; ++i)
        l.Append(Make(i));
    int inner = 0;
    l.ForEach([&](const std::shared_ptr<Item>& p) {
        l.ForEach([&](const std::shared_ptr<Item>&) { ++inner; });
        if (p->id == 2) l.Remove(p.get());
    });
    // 3 + 3 + 2 inner visits: the element removed in the second outer step is gone for the third.
    EXPECT_EQ(inner, 8);
    EXPECT_EQ(Ids(l), (std::vector<int>{1, 3}));

    EXPECT_THROW(l.ForEach([&](const std::shared_ptr<Item>& p) {
        l.Remove(p.get());
        throw 1;
    }),
                 int);
    EXPECT_EQ(Ids(l), (std::vector<int>{3}));
    EXPECT_EQ(l.Count(), 1);
}

} // namespace
