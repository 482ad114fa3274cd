#include "platform/event.h"
#include "platform/hook.h"
#include "platform/input.h"
#include "platform/joystick.h"
#include "platform/system.h"
#include "sim/input_script.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace {

std::string ErrorOf(const std::string& text) {
    try {
        ParseInputScript(text);
    } catch (const TInputScriptError& e) {
        return e.what();
    }
    return "(accepted)";
}

using Kind = TScriptEvent::Kind;

} // namespace

TEST(InputScript, ParsesEventsSkippingBlanksAndComments) {
    const TInputScript s = ParseInputScript("# a round with two players\n"
                                            "\n"
                                            "1 key-down 32\r\n"
                                            "  # indented comment\n"
                                            "1\tjoypads   2\n"
                                            "5 joy-down 1 3\n"
                                            "7 joy-up 1 3\n"
                                            "9 key-up 32"); // no final newline
    ASSERT_EQ(s.events.size(), 5u);
    EXPECT_EQ(s.events[0].kind, Kind::KeyDown);
    EXPECT_EQ(s.events[0].a, 32);
    EXPECT_EQ(s.events[0].line, 3);
    EXPECT_EQ(s.events[1].kind, Kind::Joypads);
    EXPECT_EQ(s.events[1].a, 2);
    EXPECT_EQ(s.events[2].kind, Kind::JoyDown);
    EXPECT_EQ(s.events[2].frame, 5);
    EXPECT_EQ(s.events[2].a, 1);
    EXPECT_EQ(s.events[2].b, 3);
    EXPECT_EQ(s.events[3].kind, Kind::JoyUp);
    EXPECT_EQ(s.events[4].kind, Kind::KeyUp);
    EXPECT_EQ(s.events[4].line, 8);
    EXPECT_TRUE(ParseInputScript("").events.empty());
}

TEST(InputScript, ErrorsNameTheLineAndTheProblem) {
    EXPECT_EQ(ErrorOf("1 key-down 32\n2 key-press 32\n"), "line 2: unknown event \"key-press\"");
    EXPECT_EQ(ErrorOf("1 key-down 256"), "line 1: key code 256 is not in 1..255");
    EXPECT_EQ(ErrorOf("1 key-down 0"), "line 1: key code 0 is not in 1..255");
    EXPECT_EQ(ErrorOf("1 key-down 3x"), "line 1: key code \"3x\" is not a number");
    EXPECT_EQ(ErrorOf("0 key-down 32"), "line 1: frame 0 is not in 1..1073741824");
    EXPECT_EQ(ErrorOf("-1 key-down 32"), "line 1: frame -1 is not in 1..1073741824");
    EXPECT_EQ(ErrorOf("5 key-down 32\n# gap\n4 key-up 32"), "line 3: frame 4 comes after frame 5");
    EXPECT_EQ(ErrorOf("2 joypads 5"), "line 1: joypad count 5 is not in 0..4");
    EXPECT_EQ(ErrorOf("2 joy-down 16 0"), "line 1: joypad port 16 is not in 0..15");
    EXPECT_EQ(ErrorOf("2 joy-down 0 16"), "line 1: button 16 is not in 0..15");
    EXPECT_EQ(ErrorOf("2 joy-down 0"), "line 1: \"joy-down\" takes 2 arguments, not 1");
    EXPECT_EQ(ErrorOf("2 key-up 1 2"), "line 1: \"key-up\" takes 1 argument, not 2");
    EXPECT_EQ(ErrorOf("7"), "line 1: no event after the frame");
    EXPECT_EQ(ErrorOf("99999999999 key-up 1"), "line 1: frame \"99999999999\" is not a number");
}

TEST(InputScript, LoadingReportsTheLineOrAnUnreadableFile) {
    const std::string path = BinaryDir() + "/input_script_test.txt";
    {
        std::ofstream out(path);
        out << "1 key-down 13\n2 key-dwn 13\n";
    }
    try {
        LoadInputScript(path);
        ADD_FAILURE() << "accepted";
    } catch (const TInputScriptError& e) {
        EXPECT_EQ(std::string(e.what()), "line 2: unknown event \"key-dwn\"");
    }
    std::remove(path.c_str());
    try {
        LoadInputScript(path);
        ADD_FAILURE() << "a missing file was accepted";
    } catch (const TInputScriptError& e) {
        EXPECT_EQ(std::string(e.what()), "cannot be read");
    }
    EXPECT_THROW(LoadInputScript(BinaryDir()), TInputScriptError); // a directory
}

namespace {

class ScriptedInput : public testing::Test {
  protected:
    void Play(const std::string& text) {
        input = std::make_unique<TScriptedInput>(ParseInputScript(text));
        input->Install();
        StopInputTracking();
        StartInputTracking();
    }
    void TearDown() override {
        StopInputTracking();
        UseSystemDriver(nullptr);
        UseJoypadBackend(nullptr);
    }
    std::unique_ptr<TScriptedInput> input;
};

} // namespace

TEST_F(ScriptedInput, KeysReachTheGameAtTheNextPump) {
    Play("1 key-down 32\n1 key-up 32\n1 key-down 32\n3 key-up 32\n");
    EXPECT_EQ(input->LastFrame(), 3);
    input->DeliverFrame(1);
    EXPECT_EQ(input->Driver().Pending(), 3u);
    EXPECT_EQ(TakeKeyHits(32), 2);
    EXPECT_EQ(input->Driver().Pending(), 0u);
    input->DeliverFrame(2); // nothing in frame 2
    EXPECT_EQ(IsKeyDown(32), 1);
    input->DeliverFrame(3);
    EXPECT_EQ(IsKeyDown(32), 0);
}

TEST_F(ScriptedInput, RepeatsAreJudgedByTheScriptsOwnKeyState) {
    Play("1 key-down 13\n"
         "3 key-down 13\n" // still held by the script: a repeat
         "4 key-up 99\n"   // never down: delivered, changes nothing
         "5 key-up 13\n"
         "6 key-down 13\n");
    input->DeliverFrame(1);
    EXPECT_EQ(TakeKeyHits(13), 1);
    input->DeliverFrame(2);
    ClearKeyState(); // the game forgets the held key
    input->DeliverFrame(3);
    EXPECT_EQ(IsKeyDown(13), 0);
    EXPECT_EQ(TakeKeyHits(13), 0);
    input->DeliverFrame(4);
    EXPECT_EQ(IsKeyDown(99), 0);
    input->DeliverFrame(5);
    input->DeliverFrame(6);
    EXPECT_EQ(TakeKeyHits(13), 1);
}

namespace {
std::vector<int> mods_seen;
THookData RecordMods(int, const THookData& data, void*) {
    if (const auto* e = std::any_cast<std::shared_ptr<TEvent>>(&data)) mods_seen.push_back((*e)->mods);
    return data;
}

// The modifier masks of the events that frame 1 of the script emits.
std::vector<int> ModsOfFrame1(TScriptedInput& input) {
    mods_seen.clear();
    InsertHook(EmitEventHookId(), RecordMods, nullptr, 1);
    input.DeliverFrame(1);
    PumpSystemEvents();
    DeleteHook(EmitEventHookId(), RecordMods, nullptr);
    return mods_seen;
}
} // namespace

TEST_F(ScriptedInput, ModifierKeysSetTheMaskOfLaterEvents) {
    Play("1 key-down 160\n1 key-down 65\n1 key-up 160\n1 key-up 65\n");
    EXPECT_EQ(ModsOfFrame1(*input), (std::vector<int>{1, 1, 0, 0}));
    EXPECT_EQ(TakeKeyHits(160), 1);
}

TEST_F(ScriptedInput, EachModifierKeySetsItsOwnBitWhicheverSide) {
    // Virtual-key codes: shift, control, alt as one key and left/right, the system keys; 20 is no modifier.
    const std::pair<int, int> keys[] = {{16, 1}, {160, 1}, {161, 1}, {17, 2}, {162, 2}, {163, 2},
                                        {18, 4}, {164, 4}, {165, 4}, {91, 8}, {92, 8},  {20, 0}};
    for (const auto& [key, bit] : keys) {
        Play("1 key-down " + std::to_string(key) + "\n1 key-down 65\n");
        EXPECT_EQ(ModsOfFrame1(*input), (std::vector<int>{bit, bit})) << "key " << key;
        SetCurrentModifiers(0);
    }
}

TEST_F(ScriptedInput, JoypadsAppearAndRememberButtonsOfAbsentPorts) {
    Play("1 joypads 1\n"
         "1 joy-down 0 1\n"
         "1 joy-down 1 2\n" // port 1 is not present yet
         "2 joy-up 0 1\n"
         "4 joypads 2\n"
         "6 joypads 0\n");
    EXPECT_EQ(CountJoypads(), 0);
    input->DeliverFrame(1);
    EXPECT_EQ(CountJoypads(), 1);
    EXPECT_EQ(TakeJoyButtonHits(1, 0), 1);
    EXPECT_EQ(TakeJoyButtonHits(2, 1), 0); // reads of port 1 fail
    input->DeliverFrame(2);
    EXPECT_EQ(IsJoyButtonDown(1, 0), 0);
    input->DeliverFrame(4);
    EXPECT_EQ(CountJoypads(), 2);
    EXPECT_EQ(TakeJoyButtonHits(2, 1), 1); // its first sample counts the press
    EXPECT_EQ(JoypadButtonMask(1), 0xFFFF);
    input->DeliverFrame(6);
    EXPECT_EQ(CountJoypads(), 0);
    EXPECT_EQ(IsJoyButtonDown(2, 1), 1); // unplugged: keeps its last state
}

TEST_F(ScriptedInput, DeliveringALaterFrameCatchesUpInFileOrder) {
    Play("1 key-down 49\n2 key-up 49\n3 key-down 49\n");
    input->DeliverFrame(3);
    EXPECT_EQ(TakeKeyHits(49), 2);
    EXPECT_EQ(IsKeyDown(49), 1);
    input->DeliverFrame(3); // nothing twice
    EXPECT_EQ(input->Driver().Pending(), 0u);
}
