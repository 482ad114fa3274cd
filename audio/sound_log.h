#pragma once
#include <vector>

class TSound;

// A record of the sounds started with SoundPlay, for the simulator's trace.
// Each entry carries the rate, pan and volume its channel was given (through
// ChannelSetRate / ChannelSetPan / ChannelSetVolume) since it was started;
// 1.0, 0.0 and 1.0 when not set. Works whatever driver is current, "Null"
// included. Game thread only.
struct TSoundLogEntry {
    const TSound* sound = nullptr;
    float rate = 1.0f;
    float pan = 0.0f;
    float volume = 1.0f;
};

// Off by default; turning it off drops what was recorded.
void SoundLogEnable(bool enabled);
bool SoundLogEnabled();
// The entries since the last drain, in play order; clears them.
std::vector<TSoundLogEntry> SoundLogDrain();
