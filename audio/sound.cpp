#include "audio/sound.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "audio/audiodevice.h"
#include "audio/mixer.h"
#include "audio/sound_log.h"

namespace {

// A sound started while the record is on, and the channel it went to.
struct logrecord {
    TSoundLogEntry entry;
    const TChannel* channel;
};

struct TSoundState {
    std::shared_ptr<TAudioDriver> head;    // registry, newest first
    std::shared_ptr<TAudioDriver> null;    // the "Null" driver, last in the list
    std::shared_ptr<TAudioDriver> current; // none until the first selection
    bool log_enabled = false;              // the record of started sounds
    std::vector<logrecord> log;
};

TSoundState& State() {
    static TSoundState state;
    return state;
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// ---- the record of started sounds -------------------------------------------

void LogPlay(const std::shared_ptr<TSound>& sound, const std::shared_ptr<TChannel>& channel) {
    TSoundState& s = State();
    if (!s.log_enabled || !sound) return;
    logrecord record;
    record.entry.sound = sound.get();
    record.channel = channel.get();
    s.log.push_back(record);
}

// The newest record of this channel: a channel object freed and another made
// at the same address within one frame still finds its own record first.
TSoundLogEntry* LogFind(const std::shared_ptr<TChannel>& channel) {
    TSoundState& s = State();
    if (!s.log_enabled || !channel) return nullptr;
    for (auto it = s.log.rbegin(); it != s.log.rend(); ++it)
        if (it->channel == channel.get()) return &it->entry;
    return nullptr;
}

} // namespace

void SoundLogEnable(bool enabled) {
    TSoundState& s = State();
    s.log_enabled = enabled;
    if (!enabled) s.log.clear();
}

bool SoundLogEnabled() {
    return State().log_enabled;
}

std::vector<TSoundLogEntry> SoundLogDrain() {
    TSoundState& s = State();
    std::vector<TSoundLogEntry> entries;
    entries.reserve(s.log.size());
    for (const auto& record : s.log)
        entries.push_back(record.entry);
    s.log.clear();
    return entries;
}

// ---- module start -----------------------------------------------------------

void StartAudio() {
    static const bool started = [] {
        TSoundState& s = State();
        s.null = TAudioDriver::Create();
        std::atexit(ShutdownAudioDriver);
        return true;
    }();
    (void)started;
}

// ---- TSound / TChannel (silent bases) ---------------------------------------

std::shared_ptr<TChannel> TSound::Play(const std::shared_ptr<TChannel>&) {
    return std::make_shared<TChannel>();
}
std::shared_ptr<TChannel> TSound::Cue(const std::shared_ptr<TChannel>&) {
    return std::make_shared<TChannel>();
}

std::shared_ptr<TSound> TSound::Load(const TUrl& url, int flags) {
    std::shared_ptr<TAudioSample> sample = SampleLoad(url);
    if (!sample) return nullptr;
    return CurrentAudioDriver()->CreateSound(sample, flags);
}

std::shared_ptr<TSound> TSound::Load(const std::shared_ptr<TAudioSample>& sample, int flags) {
    if (!sample) return nullptr;
    return CurrentAudioDriver()->CreateSound(sample, flags);
}

int TChannel::Stop() {
    return 0;
}
int TChannel::SetPaused(int) {
    return 0;
}
int TChannel::SetVolume(float) {
    return 0;
}
int TChannel::SetPan(float) {
    return 0;
}
int TChannel::SetDepth(float) {
    return 0;
}
int TChannel::SetRate(float) {
    return 0;
}
int TChannel::Playing() {
    return 0;
}

// ---- TAudioDriver -----------------------------------------------------------

std::string TAudioDriver::Name() {
    return "Null";
}
int TAudioDriver::Startup() {
    return 1;
}
int TAudioDriver::Shutdown() {
    return 0;
}
std::shared_ptr<TSound> TAudioDriver::CreateSound(const std::shared_ptr<TAudioSample>&, int) {
    return std::make_shared<TSound>();
}
std::shared_ptr<TChannel> TAudioDriver::AllocChannel() {
    return std::make_shared<TChannel>();
}
std::shared_ptr<TSound> TAudioDriver::LoadSound(const TUrl& url, int flags) {
    return TSound::Load(url, flags);
}

void TAudioDriver::Register(const std::shared_ptr<TAudioDriver>& driver) {
    TSoundState& s = State();
    driver->_succ = s.head;
    s.head = driver;
}

std::shared_ptr<TAudioDriver> TAudioDriver::Create() {
    std::shared_ptr<TAudioDriver> driver(new TAudioDriver());
    Register(driver);
    return driver;
}

// ---- TSoftMixAudioDriver ----------------------------------------------------

std::shared_ptr<TSoftMixAudioDriver> TSoftMixAudioDriver::Create(const std::string& name, int mode) {
    StartAudio(); // the "Null" driver always comes first, hence last in the list
    std::shared_ptr<TSoftMixAudioDriver> driver(new TSoftMixAudioDriver());
    driver->_name = name;
    driver->_mode = mode;
    Register(driver);
    return driver;
}

std::string TSoftMixAudioDriver::Name() {
    return _name;
}

int TSoftMixAudioDriver::Startup() {
    if (_mode != -1) return MixStartDevice(_mode) == 0 ? 1 : 0;
    if (MixStartDevice(0) == 0) return 1;
    return MixStartDevice(1) == 0 ? 1 : 0;
}

int TSoftMixAudioDriver::Shutdown() {
    MixClose();
    return 0;
}

std::shared_ptr<TSound> TSoftMixAudioDriver::CreateSound(const std::shared_ptr<TAudioSample>& sample_in,
                                                         int flags) {
    if (!sample_in) return nullptr;
    std::shared_ptr<TAudioSample> sample = sample_in;
    // The mixer reads little-endian data only.
    if (sample->format == SampleMono16BE)
        sample = sample->Convert(SampleMono16LE);
    else if (sample->format == SampleStereo16BE)
        sample = sample->Convert(SampleStereo16LE);
    const int loop = (flags & SoundLoop) ? -1 : 0;
    if (sample->format < 0 || sample->format > 6) return nullptr;
    const int channels = SampleChannels[sample->format];
    if (channels == 0) return nullptr;
    const int bits = SampleBytes[sample->format] * 8 / channels;
    mixsample* handle = MixCreateSound(sample->length, bits, channels, sample->hertz, sample->samples, loop);
    return TSoftMixSound::CreateWithSound(handle, sample);
}

std::shared_ptr<TChannel> TSoftMixAudioDriver::AllocChannel() {
    const int handle = MixAllocChannel();
    if (!handle) return nullptr;
    return TSoftMixChannel::CreateWithChannel(handle);
}

// ---- TSoftMixSound ----------------------------------------------------------

TSoftMixSound::~TSoftMixSound() {
    if (sm_sound) MixFreeSound(sm_sound);
}

std::shared_ptr<TSoftMixSound> TSoftMixSound::CreateWithSound(mixsample* handle,
                                                              const std::shared_ptr<TAudioSample>&) {
    auto sound = std::make_shared<TSoftMixSound>();
    sound->sm_sound = handle;
    return sound;
}

std::shared_ptr<TChannel> TSoftMixSound::Start(const std::shared_ptr<TChannel>& channel, int paused) {
    int requested = 0;
    std::shared_ptr<TSoftMixChannel> given;
    if (channel) {
        given = std::dynamic_pointer_cast<TSoftMixChannel>(channel);
        if (!given) return nullptr;
        requested = given->sm_channel;
    }
    const int result = MixPlaySound(sm_sound, paused, requested);
    if (result == 0) return nullptr;
    if (given && given->sm_channel == result) return given;
    return TSoftMixChannel::CreateWithChannel(result);
}

std::shared_ptr<TChannel> TSoftMixSound::Play(const std::shared_ptr<TChannel>& channel) {
    return Start(channel, 0);
}
std::shared_ptr<TChannel> TSoftMixSound::Cue(const std::shared_ptr<TChannel>& channel) {
    return Start(channel, 1);
}

// ---- TSoftMixChannel --------------------------------------------------------

TSoftMixChannel::~TSoftMixChannel() {
    if (sm_channel) MixFreeChannel(sm_channel);
}

std::shared_ptr<TSoftMixChannel> TSoftMixChannel::CreateWithChannel(int handle) {
    auto channel = std::make_shared<TSoftMixChannel>();
    channel->sm_channel = handle;
    return channel;
}

int TSoftMixChannel::Stop() {
    MixStopChannel(sm_channel);
    sm_channel = 0;
    return 0;
}

int TSoftMixChannel::SetPaused(int paused) {
    MixPauseChannel(sm_channel, paused);
    return 0;
}

int TSoftMixChannel::SetVolume(float volume) {
    MixSetChannelVolume(sm_channel, volume);
    return 0;
}

int TSoftMixChannel::SetPan(float pan) {
    MixSetChannelPan(sm_channel, pan);
    return 0;
}

int TSoftMixChannel::SetDepth(float depth) {
    MixSetChannelDepth(sm_channel, depth);
    return 0;
}

int TSoftMixChannel::SetRate(float rate) {
    MixSetChannelRate(sm_channel, rate);
    return 0;
}

int TSoftMixChannel::Playing() {
    const int status = MixChannelStatus(sm_channel);
    if (status == 0 || (status & MIX_STOPPED) || (status & MIX_PAUSED)) return 0;
    return 1;
}

int TSoftMixChannel::Position() {
    return MixChannelPosition(sm_channel);
}

// ---- module operations ------------------------------------------------------

std::shared_ptr<TSound> SoundLoad(const TUrl& url, int flags) {
    return CurrentAudioDriver()->LoadSound(url, flags);
}

std::shared_ptr<TSound> SoundLoad(const std::shared_ptr<TAudioSample>& sample, int flags) {
    return TSound::Load(sample, flags);
}

std::shared_ptr<TChannel> SoundPlay(const std::shared_ptr<TSound>& sound,
                                    const std::shared_ptr<TChannel>& channel) {
    if (!sound) return nullptr;
    std::shared_ptr<TChannel> result = sound->Play(channel);
    LogPlay(sound, result);
    return result;
}

std::shared_ptr<TChannel> SoundCue(const std::shared_ptr<TSound>& sound,
                                   const std::shared_ptr<TChannel>& channel) {
    if (!sound) return nullptr;
    return sound->Cue(channel);
}

std::shared_ptr<TChannel> ChannelAlloc() {
    return CurrentAudioDriver()->AllocChannel();
}

void ChannelStop(const std::shared_ptr<TChannel>& channel) {
    if (channel) channel->Stop();
}

int ChannelIsPlaying(const std::shared_ptr<TChannel>& channel) {
    return channel ? channel->Playing() : 0;
}

void ChannelSetVolume(const std::shared_ptr<TChannel>& channel, float volume) {
    if (!channel) return;
    channel->SetVolume(volume);
    if (TSoundLogEntry* entry = LogFind(channel)) entry->volume = volume;
}

void ChannelSetPan(const std::shared_ptr<TChannel>& channel, float pan) {
    if (!channel) return;
    channel->SetPan(pan);
    if (TSoundLogEntry* entry = LogFind(channel)) entry->pan = pan;
}

void ChannelSetDepth(const std::shared_ptr<TChannel>& channel, float depth) {
    if (channel) channel->SetDepth(depth);
}

void ChannelSetRate(const std::shared_ptr<TChannel>& channel, float rate) {
    if (!channel) return;
    channel->SetRate(rate);
    if (TSoundLogEntry* entry = LogFind(channel)) entry->rate = rate;
}

void ChannelPause(const std::shared_ptr<TChannel>& channel) {
    if (channel) channel->SetPaused(1);
}

void ChannelResume(const std::shared_ptr<TChannel>& channel) {
    if (channel) channel->SetPaused(0);
}

std::vector<std::string> AudioDriverNames() {
    StartAudio();
    std::vector<std::string> names;
    for (auto driver = State().head; driver && names.size() < 100; driver = driver->_succ)
        names.push_back(driver->Name());
    return names;
}

int AudioDriverRegistered(const std::string& name) {
    StartAudio();
    const std::string wanted = Lower(name);
    for (auto driver = State().head; driver; driver = driver->_succ)
        if (Lower(driver->Name()) == wanted) return 1;
    return 0;
}

int SelectAudioDriver(const std::string& name) {
    StartAudio();
    const std::string wanted = Lower(name);
    ShutdownAudioDriver();
    TSoundState& s = State();
    s.current = s.null;
    std::shared_ptr<TAudioDriver> candidate;
    for (auto driver = s.head; driver; driver = driver->_succ) {
        if (Lower(driver->Name()) == wanted) {
            candidate = driver;
            break;
        }
    }
    if (!candidate) return 0;
    if (!candidate->Startup()) return 0;
    s.current = candidate;
    return 1;
}

std::shared_ptr<TAudioDriver> CurrentAudioDriver() {
    StartAudio();
    TSoundState& s = State();
    if (!s.current) {
        if (!SelectAudioDriver("SoftMix")) SelectAudioDriver("Null");
    }
    return s.current;
}

void ShutdownAudioDriver() {
    TSoundState& s = State();
    if (!s.current) return;
    std::shared_ptr<TAudioDriver> driver = std::move(s.current);
    s.current.reset();
    driver->Shutdown();
}
