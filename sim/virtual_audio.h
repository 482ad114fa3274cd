#pragma once
#include <cstdint>
#include <string>

// The simulator's audio: the software-mixing drivers ("SoftMix DirectSound",
// "SoftMix Multimedia", "SoftMix") with a device that mixes synchronously in
// virtual time, 882 frames for every 20 ms of the clock.

// Registers the three drivers with the virtual device behind every mode.
// Call once at start-up, before the game selects its driver.
void RegisterVirtualAudioDriver();

// Writes the mix from now on into a WAV file (44100 Hz stereo 16-bit);
// false when the file cannot be created.
bool VirtualAudioRecord(const std::string& path);
// Finishes the WAV file (also done at exit).
void VirtualAudioStopRecording();

// Mixes every block that is due at the current clock reading (ClockMillis).
// The simulator calls it whenever the virtual clock has moved (after each
// flip and each delay); calling it more often does no harm.
void VirtualAudioAdvance();

// Frames mixed by the open virtual device (0 when none is open).
int64_t VirtualAudioFrames();
