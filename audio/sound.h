#pragma once
#include <memory>
#include <string>
#include <vector>

#include "audio/sample.h"
#include "platform/stream.h"

// Sounds and channels as the game sees them, behind one current audio driver
// chosen by name. Everything here runs on the game's thread.

class TChannel;
struct mixsample;

// The one sound flag: the sound loops until its channel is stopped.
constexpr int SoundLoop = 1;

class TSound {
  public:
    virtual ~TSound() = default;
    // Plays the sound, on the given channel or (null) on a fresh one.
    virtual std::shared_ptr<TChannel> Play(const std::shared_ptr<TChannel>& channel);
    // The same, but the voice starts paused.
    virtual std::shared_ptr<TChannel> Cue(const std::shared_ptr<TChannel>& channel);

    // Decodes the url (SampleLoad) and makes a sound of it with the current
    // driver; null when nothing could be decoded.
    static std::shared_ptr<TSound> Load(const TUrl& url, int flags);
    // Makes a sound of a sample already in memory.
    static std::shared_ptr<TSound> Load(const std::shared_ptr<TAudioSample>& sample, int flags);
};

class TChannel {
  public:
    virtual ~TChannel() = default;
    virtual int Stop();
    virtual int SetPaused(int paused);
    virtual int SetVolume(float volume); // 1.0 full level
    virtual int SetPan(float pan);       // -1 left only .. +1 right only
    virtual int SetDepth(float depth);   // below 0 inverts the right side
    virtual int SetRate(float rate);     // factor on the sample's own rate
    virtual int Playing();
};

class TAudioDriver {
  public:
    virtual ~TAudioDriver() = default;
    TAudioDriver(const TAudioDriver&) = delete;
    TAudioDriver& operator=(const TAudioDriver&) = delete;

    virtual std::string Name();
    virtual int Startup();
    virtual int Shutdown();
    virtual std::shared_ptr<TSound> CreateSound(const std::shared_ptr<TAudioSample>& sample, int flags);
    virtual std::shared_ptr<TChannel> AllocChannel();
    virtual std::shared_ptr<TSound> LoadSound(const TUrl& url, int flags);

    // The next (older) driver of the registry.
    std::shared_ptr<TAudioDriver> _succ;

    // Creates a base ("Null") driver and puts it at the head of the registry.
    static std::shared_ptr<TAudioDriver> Create();

  protected:
    TAudioDriver() = default;
    // Puts a new driver at the head of the registry (newest first).
    static void Register(const std::shared_ptr<TAudioDriver>& driver);
};

// Hands sample data to the software mixer; _mode picks the output device:
// 0 the fragment ring pumped by a timer, 1 the notification-driven stream,
// -1 the first, falling back to the second.
class TSoftMixAudioDriver : public TAudioDriver {
  public:
    std::string _name;
    int _mode = 0;

    std::string Name() override;
    int Startup() override;
    int Shutdown() override;
    std::shared_ptr<TSound> CreateSound(const std::shared_ptr<TAudioSample>& sample, int flags) override;
    std::shared_ptr<TChannel> AllocChannel() override;

    // Constructs one and registers it at the head of the registry.
    static std::shared_ptr<TSoftMixAudioDriver> Create(const std::string& name, int mode);

  protected:
    TSoftMixAudioDriver() = default;
};

class TSoftMixSound : public TSound {
  public:
    ~TSoftMixSound() override;
    mixsample* sm_sound = nullptr; // the mixer's copy of the PCM, null for none

    std::shared_ptr<TChannel> Play(const std::shared_ptr<TChannel>& channel) override;
    std::shared_ptr<TChannel> Cue(const std::shared_ptr<TChannel>& channel) override;

    static std::shared_ptr<TSoftMixSound> CreateWithSound(mixsample* handle,
                                                          const std::shared_ptr<TAudioSample>& sample);

  private:
    std::shared_ptr<TChannel> Start(const std::shared_ptr<TChannel>& channel, int paused);
};

class TSoftMixChannel : public TChannel {
  public:
    ~TSoftMixChannel() override;
    int sm_channel = 0; // mixer channel handle, 0 for none

    int Stop() override;
    int SetPaused(int paused) override;
    int SetVolume(float volume) override;
    int SetPan(float pan) override;
    int SetDepth(float depth) override;
    int SetRate(float rate) override;
    int Playing() override;
    // Play position in sample frames.
    int Position();

    static std::shared_ptr<TSoftMixChannel> CreateWithChannel(int handle);
};

// Module operations. A null sound or channel is ignored (null / 0 results).
std::shared_ptr<TSound> SoundLoad(const TUrl& url, int flags);
std::shared_ptr<TSound> SoundLoad(const std::shared_ptr<TAudioSample>& sample, int flags);
std::shared_ptr<TChannel> SoundPlay(const std::shared_ptr<TSound>& sound,
                                    const std::shared_ptr<TChannel>& channel = nullptr);
std::shared_ptr<TChannel> SoundCue(const std::shared_ptr<TSound>& sound,
                                   const std::shared_ptr<TChannel>& channel = nullptr);
std::shared_ptr<TChannel> ChannelAlloc();
void ChannelStop(const std::shared_ptr<TChannel>& channel);
int ChannelIsPlaying(const std::shared_ptr<TChannel>& channel);
void ChannelSetVolume(const std::shared_ptr<TChannel>& channel, float volume);
void ChannelSetPan(const std::shared_ptr<TChannel>& channel, float pan);
void ChannelSetDepth(const std::shared_ptr<TChannel>& channel, float depth);
void ChannelSetRate(const std::shared_ptr<TChannel>& channel, float rate);
void ChannelPause(const std::shared_ptr<TChannel>& channel);
void ChannelResume(const std::shared_ptr<TChannel>& channel);

// Names of the registered drivers, newest first, at most 100.
std::vector<std::string> AudioDriverNames();
// 1 if a driver of that name (ignoring case) is registered.
int AudioDriverRegistered(const std::string& name);
// Shuts the current driver down and starts the one of that name (whole name,
// ignoring case); 1 on success. On failure the "Null" driver is current.
int SelectAudioDriver(const std::string& name);
// The current driver; with none yet, "SoftMix" or else "Null" is selected.
std::shared_ptr<TAudioDriver> CurrentAudioDriver();
// Shuts the current driver down and clears it; also runs at program exit.
void ShutdownAudioDriver();

// Starts the audio module once: creates the "Null" driver and registers the
// shutdown for program exit. Every operation above calls it itself.
void StartAudio();
