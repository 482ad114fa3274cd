#include "platform/joystick.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

// Devices set by the test. A port can be made to fail its reads (unplugged).
class TFakeJoypads final : public TJoypadBackend {
  public:
    int present = 0;
    bool attached[16] = {true, true, true, true, true, true, true, true,
                         true, true, true, true, true, true, true, true};
    TJoypadCaps caps[16];
    TJoypadRaw raw[16];
    int reads = 0;
    int highest_port_asked = -1;

    int Enumerate() override { return present; }
    bool Caps(int port, TJoypadCaps& out) override {
        Note(port);
        if (port < 0 || port >= present || !attached[port]) return false;
        out = caps[port];
        return true;
    }
    bool Read(int port, TJoypadRaw& out) override {
        Note(port);
        ++reads;
        if (port < 0 || port >= present || !attached[port]) return false;
        out = raw[port];
        return true;
    }

  private:
    void Note(int port) {
        if (port > highest_port_asked) highest_port_asked = port;
    }
};

class Joypad : public testing::Test {
  protected:
    void SetUp() override {
        pads = std::make_shared<TFakeJoypads>();
        UseJoypadBackend(pads);
    }
    void TearDown() override { UseJoypadBackend(nullptr); }
    void Hold(int port, int button) { pads->raw[port].buttons |= 1u << button; }
    void Release(int port, int button) { pads->raw[port].buttons &= ~(1u << button); }
    std::shared_ptr<TFakeJoypads> pads;
};

} // namespace

TEST_F(Joypad, NoBackendOrNoPadsMeansNothingPresent) {
    EXPECT_EQ(CountJoypads(), 0);
    EXPECT_EQ(JoypadPresent(0), 0);
    EXPECT_EQ(TakeJoyButtonHits(0, 0), 0);
    UseJoypadBackend(nullptr);
    EXPECT_EQ(CountJoypads(), 0);
    EXPECT_EQ(IsJoyButtonDown(0, 0), 0);
    EXPECT_EQ(JoypadName(0), "");
}

TEST_F(Joypad, PressesAreCountedPerSample) {
    pads->present = 2;
    EXPECT_EQ(CountJoypads(), 2);
    EXPECT_EQ(JoypadPresent(1), 1);
    EXPECT_EQ(JoypadPresent(2), 0);

    // Pressed once: 1, then 0 while still held across samples.
    Hold(0, 1);
    EXPECT_EQ(TakeJoyButtonHits(1, 0), 1);
    EXPECT_EQ(TakeJoyButtonHits(1, 0), 0);
    EXPECT_EQ(IsJoyButtonDown(1, 0), 1);
    EXPECT_EQ(TakeJoyButtonHits(1, 0), 0);

    // Pressed and released between two samples: not seen.
    Release(0, 1);
    EXPECT_EQ(IsJoyButtonDown(1, 0), 0);
    Hold(0, 1);
    Release(0, 1);
    EXPECT_EQ(TakeJoyButtonHits(1, 0), 0);

    // Presses seen by samples taken through other queries add up until
    // taken; each port counts its own buttons.
    Hold(0, 3);
    EXPECT_EQ(IsJoyButtonDown(3, 0), 1);
    Release(0, 3);
    SampleJoypad(0);
    Hold(0, 3);
    SampleJoypad(0);
    EXPECT_EQ(TakeJoyButtonHits(3, 1), 0);
    EXPECT_EQ(TakeJoyButtonHits(3, 0), 2);

    Hold(1, 0);
    EXPECT_EQ(TakeJoyButtonHits(0, 1), 1);
    EXPECT_EQ(TakeJoyButtonHits(0, 0), 0);
}

TEST_F(Joypad, ClearingMakesAHeldButtonANewPress) {
    pads->present = 1;
    Hold(0, 2);
    EXPECT_EQ(TakeJoyButtonHits(2, 0), 1);
    Hold(0, 0);
    SampleJoypad(0); // a pending press of button 0
    ClearJoypads();
    EXPECT_EQ(IsJoyButtonDown(2, 0), 1); // this sample is the new press
    EXPECT_EQ(TakeJoyButtonHits(2, 0), 1);
    EXPECT_EQ(TakeJoyButtonHits(0, 0), 1); // the old pending one was forgotten, then counted anew
    EXPECT_EQ(TakeJoyButtonHits(0, 0), 0);
}

TEST_F(Joypad, ClearingSkipsPortsOutsideTheMaskAndThoseNotPresent) {
    pads->present = 2;
    Hold(0, 0);
    Hold(1, 0);
    SampleJoypad(0);
    SampleJoypad(1);
    ClearJoypads(0b10); // port 1 only
    EXPECT_EQ(TakeJoyButtonHits(0, 0), 1);
    EXPECT_EQ(TakeJoyButtonHits(0, 1), 1); // held through the clear: a new press

    pads->present = 1; // port 1 gone: clearing leaves it alone
    pads->raw[1].buttons = 0;
    ClearJoypads();
    pads->present = 2;
    Hold(1, 0);
    EXPECT_EQ(TakeJoyButtonHits(0, 1), 0); // its stored bits still had the button held
}

TEST_F(Joypad, AnUnpluggedPadKeepsItsStateAndCountsNoPresses) {
    pads->present = 1;
    Hold(0, 1);
    EXPECT_EQ(TakeJoyButtonHits(1, 0), 1);
    pads->attached[0] = false;
    Release(0, 1);
    Hold(0, 2);
    EXPECT_EQ(IsJoyButtonDown(1, 0), 1); // last known state
    EXPECT_EQ(IsJoyButtonDown(2, 0), 0);
    EXPECT_EQ(TakeJoyButtonHits(2, 0), 0);
    EXPECT_EQ(JoypadButtonMask(0), 0);
    EXPECT_EQ(JoypadAxisMask(0), 0);
    EXPECT_EQ(JoypadName(0), "");
    // Answering again: the change since the last good sample is a press.
    pads->attached[0] = true;
    EXPECT_EQ(TakeJoyButtonHits(2, 0), 1);
    EXPECT_EQ(IsJoyButtonDown(1, 0), 0);
}

TEST_F(Joypad, PortsAboveFifteenAreAnsweredWithZero) {
    pads->present = 16;
    for (int p = 0; p < 16; ++p)
        Hold(p, 0);
    EXPECT_EQ(TakeJoyButtonHits(0, 15), 1);
    pads->highest_port_asked = -1;
    EXPECT_EQ(TakeJoyButtonHits(0, 16), 0);
    EXPECT_EQ(IsJoyButtonDown(0, 300), 0);
    EXPECT_EQ(IsJoyButtonDown(0, -1), 0);
    EXPECT_EQ(JoypadAxisValue(16, 0), 0.0f);
    EXPECT_EQ(JoypadButtonMask(99), 0);
    EXPECT_EQ(JoypadName(17), "");
    SampleJoypad(1000);
    EXPECT_EQ(pads->highest_port_asked, -1); // never read
    // Buttons and slots outside their tables give 0 as well.
    EXPECT_EQ(TakeJoyButtonHits(16, 0), 0);
    EXPECT_EQ(TakeJoyButtonHits(-1, 0), 0);
    EXPECT_EQ(IsJoyButtonDown(40, 0), 0);
    EXPECT_EQ(JoypadAxisValue(0, 16), 0.0f);
}

TEST_F(Joypad, EveryQuerySamplesAnew) {
    pads->present = 1;
    const int before = pads->reads;
    IsJoyButtonDown(0, 0);
    TakeJoyButtonHits(0, 0);
    JoypadAxisValue(0, 0);
    JoypadAxisDirection(0, 1);
    EXPECT_EQ(pads->reads - before, 4);
}

TEST_F(Joypad, AxesAreScaledAndTheHatIsAFractionOfATurn) {
    pads->present = 1;
    TJoypadCaps& caps = pads->caps[0];
    caps.axes = 6;
    caps.axis_max[2] = 1000; // a z axis reporting 0..1000
    TJoypadRaw& raw = pads->raw[0];
    raw.axis_pos[0] = 0;
    raw.axis_pos[1] = 65535;
    raw.axis_pos[2] = 250;
    raw.axis_pos[3] = 0;
    caps.axis_max[3] = 0; // a broken range reads -1 rather than failing
    raw.hat = 9000;
    EXPECT_FLOAT_EQ(JoypadAxisValue(0, JOYPAD_AXIS_X), -1.0f);
    EXPECT_FLOAT_EQ(JoypadAxisValue(0, JOYPAD_AXIS_Y), 1.0f);
    EXPECT_FLOAT_EQ(JoypadAxisValue(0, JOYPAD_AXIS_Z), -0.5f);
    EXPECT_FLOAT_EQ(JoypadAxisValue(0, JOYPAD_AXIS_R), -1.0f);
    EXPECT_FLOAT_EQ(JoypadAxisValue(0, JOYPAD_AXIS_HAT), 0.25f);
    EXPECT_EQ(JoypadAxisValue(0, 6), 0.0f); // slots nobody writes stay 0
    raw.hat = 27000;
    EXPECT_FLOAT_EQ(JoypadAxisValue(0, JOYPAD_AXIS_HAT), 0.75f);
    raw.hat = JOYPAD_HAT_CENTRED;
    EXPECT_FLOAT_EQ(JoypadAxisValue(0, JOYPAD_AXIS_HAT), -1.0f);

    EXPECT_EQ(JoypadAxisDirection(0, JOYPAD_AXIS_X), -1);
    EXPECT_EQ(JoypadAxisDirection(0, JOYPAD_AXIS_Y), 1);
    raw.axis_pos[0] = 32768 + 8000; // inside the dead zone
    EXPECT_EQ(JoypadAxisDirection(0, JOYPAD_AXIS_X), 0);
}

TEST_F(Joypad, CapabilitiesGiveNameAndMasks) {
    pads->present = 1;
    pads->caps[0].name = "Arcade Stick";
    pads->caps[0].buttons = 4;
    pads->caps[0].axes = 2;
    EXPECT_EQ(JoypadName(0), "Arcade Stick");
    EXPECT_EQ(JoypadButtonMask(0), 15);
    EXPECT_EQ(JoypadAxisMask(0), 3);
    pads->caps[0].hat = true;
    pads->caps[0].axes = 6;
    pads->caps[0].buttons = 0;
    EXPECT_EQ(JoypadAxisMask(0), 63 + 512);
    EXPECT_EQ(JoypadButtonMask(0), 0);
}
