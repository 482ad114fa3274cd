#include "platform/error.h"
#include "platform/hook.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Each hook appends its context's tag to the text it is handed.
THookData Append(int, const THookData& data, void* context) {
    return std::any_cast<std::string>(data) + *static_cast<const char*>(context);
}

THookData Other(int, const THookData& data, void*) {
    return std::any_cast<std::string>(data) + "!";
}

} // namespace

TEST(Hook, ChainsRunInDescendingPriorityOlderFirstAmongEquals) {
    const int id = NewHookId();
    char a = 'a', b = 'b', c = 'c', d = 'd', e = 'e';
    InsertHook(id, Append, &a, 0);
    InsertHook(id, Append, &b, 10);
    InsertHook(id, Append, &c, 0); // after a: equal priorities keep their age
    InsertHook(id, Append, &d, -5);
    InsertHook(id, Append, &e, 10); // after b
    EXPECT_EQ(std::any_cast<std::string>(CallHooks(id, std::string(">"))), ">beacd");
}

TEST(Hook, EmptyChainGivesItsDataBack) {
    const int id = NewHookId();
    EXPECT_EQ(std::any_cast<std::string>(CallHooks(id, std::string("same"))), "same");
    // Ids outside the table are not chains at all.
    InsertHook(300, Other, nullptr, 0);
    EXPECT_EQ(std::any_cast<std::string>(CallHooks(300, std::string("x"))), "x");
    EXPECT_EQ(std::any_cast<std::string>(CallHooks(-1, std::string("y"))), "y");
}

TEST(Hook, DeleteRemovesTheFirstMatchOfFuncAndContext) {
    const int id = NewHookId();
    char a = 'a', b = 'b';
    InsertHook(id, Append, &a, 0);
    InsertHook(id, Append, &b, 0);
    InsertHook(id, Append, &a, 0);
    InsertHook(id, Other, &a, 0);
    DeleteHook(id, Append, &a);
    EXPECT_EQ(std::any_cast<std::string>(CallHooks(id, std::string())), "ba!");
    DeleteHook(id, Other, &b); // no such pair: nothing changes
    EXPECT_EQ(std::any_cast<std::string>(CallHooks(id, std::string())), "ba!");
    DeleteHook(id, Append, &a);
    DeleteHook(id, Append, &b);
    DeleteHook(id, Other, &a);
    EXPECT_EQ(std::any_cast<std::string>(CallHooks(id, std::string("-"))), "-");
}

namespace {
int chain_id = 0;
int late_calls = 0;
THookData Late(int, const THookData& data, void*) {
    ++late_calls;
    return data;
}
THookData RemoveLate(int, const THookData& data, void*) {
    DeleteHook(chain_id, Late, nullptr);
    return data;
}
} // namespace

TEST(Hook, AHookDeletedWhileTheChainRunsIsNotCalled) {
    chain_id = NewHookId();
    late_calls = 0;
    InsertHook(chain_id, RemoveLate, nullptr, 1);
    InsertHook(chain_id, Late, nullptr, 0);
    CallHooks(chain_id, 0);
    EXPECT_EQ(late_calls, 0);
    DeleteHook(chain_id, RemoveLate, nullptr);
}

TEST(Hook, TheTwoHundredFiftySixthIdFails) {
    // Runs in a child process: the ids are used up for good.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            int last = 0;
            try {
                for (;;)
                    last = NewHookId();
            } catch (const TRuntimeError& e) {
                std::exit(last == 255 && std::string(e.what()) == "Too many hook ids" ? 0 : 1);
            }
        },
        testing::ExitedWithCode(0), "");
}
