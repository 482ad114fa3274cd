#include "platform/event.h"
#include "platform/hook.h"
#include "platform/system.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

TEST(Event, ToStringNamesTheIdAndEveryField) {
    auto e = TEvent::Create(EVENT_KEYDOWN, nullptr, 32, MODIFIER_SHIFT | MODIFIER_OPTION, 0, 0);
    EXPECT_EQ(e->ToString(), "KeyDown: data=32, mods=5, x=0, y=0, extra=\"\"");

    auto m = TEvent::Create(EVENT_MOUSEMOVE, nullptr, 2, 0, -4, 700, std::string("panel"));
    EXPECT_EQ(m->ToString(), "MouseMove: data=2, mods=0, x=-4, y=700, extra=\"panel\"");

    // An extra object that is not text shows nothing between the quotes.
    auto o = TEvent::Create(EVENT_APPTERMINATE, nullptr, 0, 0, 0, 0, 42);
    EXPECT_EQ(o->ToString(), "AppTerminate: data=0, mods=0, x=0, y=0, extra=\"\"");
}

TEST(Event, EveryRegisteredIdHasItsName) {
    const std::vector<std::pair<int, std::string>> names = {
        {257, "AppSuspend"},    {258, "AppResume"},      {259, "AppTerminate"}, {260, "AppOpenFile"},
        {261, "AppIdle"},       {513, "KeyDown"},        {514, "KeyUp"},        {515, "KeyChar"},
        {516, "KeyRepeat"},     {1025, "MouseDown"},     {1026, "MouseUp"},     {1027, "MouseMove"},
        {1028, "MouseWheel"},   {1029, "MouseEnter"},    {1030, "MouseLeave"},  {2049, "TimerTick"},
        {4097, "HotkeyHit"},    {8193, "GadgetAction"},  {8201, "GadgetShape"}, {8200, "GadgetLostFocus"},
        {16385, "WindowMove"},  {16389, "WindowAccept"}, {32769, "MenuAction"}, {65537, "StreamEof"},
        {65538, "StreamAvail"}, {131073, "ProcessExit"},
    };
    for (const auto& [id, name] : names)
        EXPECT_EQ(TEvent::DescriptionForId(id), name) << id;
}

TEST(Event, UnnamedIdsAreDescribedByKind) {
    EXPECT_EQ(TEvent::DescriptionForId(600), "Unknown Event, id=600");
    EXPECT_EQ(TEvent::DescriptionForId(0), "Unknown Event, id=0");
    EXPECT_EQ(TEvent::DescriptionForId(static_cast<int>(0x80000000u + 7u)), "UserEvent7");
    EXPECT_EQ(TEvent::DescriptionForId(static_cast<int>(0xFFFFFFFFu)), "UserEvent2147483647");
}

TEST(Event, UserIdsCountUpWithTheTopBitSet) {
    const int a = TEvent::AllocUserId();
    const int b = TEvent::AllocUserId();
    EXPECT_LT(a, 0); // top bit set
    EXPECT_GE(static_cast<std::uint32_t>(a), 0x80000001u);
    EXPECT_EQ(static_cast<std::uint32_t>(b), static_cast<std::uint32_t>(a) + 1u);
    EXPECT_EQ(TEvent::DescriptionForId(b),
              "UserEvent" + std::to_string(static_cast<std::uint32_t>(b) - 0x80000000u));
    TEvent::RegisterId(b, "ScoreChanged");
    EXPECT_EQ(TEvent::DescriptionForId(b), "ScoreChanged");
    EXPECT_EQ(TEvent::Create(b)->ToString(), "ScoreChanged: data=0, mods=0, x=0, y=0, extra=\"\"");
}

namespace {
std::vector<std::string> seen;

THookData Recorder(int, const THookData& data, void*) {
    if (const auto* e = std::any_cast<std::shared_ptr<TEvent>>(&data)) seen.push_back((*e)->ToString());
    return data;
}
} // namespace

TEST(Event, EmitRunsTheEmitHooksBeforeReturning) {
    seen.clear();
    InsertHook(EmitEventHookId(), Recorder, nullptr, 5);
    SetCurrentModifiers(MODIFIER_CONTROL);
    EmitSystemEvent(EVENT_KEYUP, nullptr, 65);
    TEvent::Create(EVENT_MOUSEWHEEL, nullptr, -1, 0, 3, 4)->Emit();
    DeleteHook(EmitEventHookId(), Recorder, nullptr);
    SetCurrentModifiers(0);
    TEvent::Create(EVENT_KEYUP)->Emit(); // no longer recorded
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], "KeyUp: data=65, mods=2, x=0, y=0, extra=\"\"");
    EXPECT_EQ(seen[1], "MouseWheel: data=-1, mods=0, x=3, y=4, extra=\"\"");
}
