#include "audio/mixer.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include "platform/clock.h"

// Sections, in order:
//   sound (one voice)
//   mixer
//   channel table
//   the flat interface

namespace {

// Every new voice waits this long after its request before it sounds, so
// that sounds started in one game frame keep their spacing in the output.
constexpr int START_DELAY_MS = 20;

void dropreference(mixsample* data) {
    if (data && data->references.fetch_sub(1, std::memory_order_acq_rel) == 1) delete data;
}

// Per-frame gains of one voice: the far side is attenuated linearly by the
// pan, the near side keeps the full volume; a negative depth flips the
// right side's polarity.
inline void gains(int volume, int pan, int depth, int& left, int& right) {
    left = right = volume;
    if (pan > 0) left = (volume * (4096 - pan)) >> 12;
    if (pan < 0) right = (volume * (4096 + pan)) >> 12;
    if (depth < 0) right = -right;
}

// Reads the (interpolated) value(s) at a 32.32 position counted in sample
// values. f is the upper half of the fraction; the guard frame makes the
// read one frame ahead always safe.
template <int Bits, int Channels> struct reader {
    static inline void at(const uint8_t* data, int64_t pos, int& left, int& right) {
        int64_t framepos = Channels == 2 ? (pos >> 1) : pos;
        const int64_t index = (framepos >> 32) * Channels;
        const int f = static_cast<int>(static_cast<uint32_t>(framepos) >> 16);
        if constexpr (Bits == 16) {
            const int16_t* s = reinterpret_cast<const int16_t*>(data) + index;
            left = s[0] + static_cast<int>((static_cast<int64_t>(s[Channels] - s[0]) * f) >> 16);
            if constexpr (Channels == 2)
                right = s[1] + static_cast<int>((static_cast<int64_t>(s[3] - s[1]) * f) >> 16);
            else
                right = left;
        } else {
            const uint8_t* s = data + index;
            left = s[0] * 256 - 32768 + (((s[Channels] - s[0]) * f) >> 8);
            if constexpr (Channels == 2)
                right = s[1] * 256 - 32768 + (((s[3] - s[1]) * f) >> 8);
            else
                right = left;
        }
    }
};

struct voiceblock {
    int32_t* out;
    int frames;
    int64_t pos;
    int64_t played;
    int64_t end; // 32.32
    bool looped;
    int pan;
    int depth;
};

// Returns true when a one-shot voice reached its end inside the block (the
// rest of the block is left alone), with pos and played updated either way.
template <int Bits, int Channels>
bool steady(voiceblock& b, const uint8_t* data, int volume, int64_t advance) {
    int gl, gr;
    gains(volume, b.pan, b.depth, gl, gr);
    int64_t pos = b.pos;
    int32_t* out = b.out;
    for (int i = 0; i < b.frames; ++i) {
        int vl, vr;
        reader<Bits, Channels>::at(data, pos, vl, vr);
        out[0] += (gl * vl) >> 8;
        out[1] += (gr * vr) >> 8;
        out += 2;
        pos += advance;
        if (pos >= b.end) {
            if (!b.looped) {
                b.played += advance * (i + 1);
                b.pos = pos;
                return true;
            }
            pos %= b.end;
        }
    }
    b.played += advance * b.frames;
    b.pos = pos;
    return false;
}

template <int Bits, int Channels>
bool ramped(voiceblock& b, const uint8_t* data, int volnow, int voltarget, int64_t stepnow,
            int64_t steptarget) {
    // Volume held times 256 and the step in 32.32 so both move a little every frame.
    int64_t vol = static_cast<int64_t>(volnow) * 256;
    const int64_t volinc = static_cast<int64_t>(voltarget - volnow) * 256 / b.frames;
    int64_t step = stepnow << 16;
    const int64_t stepinc = ((steptarget - stepnow) << 16) / b.frames;
    int64_t pos = b.pos;
    int64_t played = b.played;
    int32_t* out = b.out;
    for (int i = 0; i < b.frames; ++i) {
        int gl, gr;
        gains(static_cast<int>(vol >> 8), b.pan, b.depth, gl, gr);
        int vl, vr;
        reader<Bits, Channels>::at(data, pos, vl, vr);
        out[0] += (gl * vl) >> 8;
        out[1] += (gr * vr) >> 8;
        out += 2;
        const int64_t advance = step * Channels;
        pos += advance;
        played += advance;
        vol += volinc;
        step = std::max<int64_t>(0, step + stepinc);
        if (pos >= b.end) {
            if (!b.looped) {
                b.pos = pos;
                b.played = played;
                return true;
            }
            pos %= b.end;
        }
    }
    b.pos = pos;
    b.played = played;
    return false;
}

template <int Bits, int Channels>
bool mixblock(voiceblock& b, const uint8_t* data, int volnow, int voltarget, int64_t stepnow,
              int64_t steptarget) {
    if (stepnow == steptarget && volnow == voltarget) {
        const int64_t advance = (stepnow << 16) * Channels;
        if (volnow == 0) {
            // Silent: only the position moves, the end test still applies.
            const int64_t moved = advance * b.frames;
            b.pos += moved;
            b.played += moved;
            if (b.pos >= b.end) {
                if (!b.looped) return true;
                b.pos %= b.end;
            }
            return false;
        }
        return steady<Bits, Channels>(b, data, volnow, advance);
    }
    return ramped<Bits, Channels>(b, data, volnow, voltarget, stepnow, steptarget);
}

int16_t fixed16(float value, double scale) {
    double x = static_cast<double>(value) * scale;
    if (std::isnan(x)) return 0;
    x = std::clamp(x, static_cast<double>(INT_MIN), static_cast<double>(INT_MAX));
    // Values that do not fit 16 bits are outside the supported range; they
    // wrap as a 16-bit store would.
    return static_cast<int16_t>(static_cast<int>(x));
}

int32_t fixed32(float value, double scale) {
    double x = static_cast<double>(value) * scale;
    if (std::isnan(x)) return 0;
    x = std::clamp(x, static_cast<double>(INT_MIN), static_cast<double>(INT_MAX));
    return static_cast<int32_t>(x);
}

} // namespace

// ---- sound (one voice) ------------------------------------------------------

sound::sound(mixer* owner_) : owner(owner_) {}

void sound::setrate(int value) {
    ratetarget.store(value, std::memory_order_relaxed);
    if (status.load(std::memory_order_relaxed) & MIX_PAUSED) ratenow.store(value, std::memory_order_relaxed);
}
void sound::setvolume(int value) {
    volumetarget.store(static_cast<int16_t>(value), std::memory_order_relaxed);
    if (status.load(std::memory_order_relaxed) & MIX_PAUSED)
        volumenow.store(static_cast<int16_t>(value), std::memory_order_relaxed);
}
void sound::setpan(int value) {
    pantarget.store(static_cast<int16_t>(value), std::memory_order_relaxed);
    if (status.load(std::memory_order_relaxed) & MIX_PAUSED)
        pannow.store(static_cast<int16_t>(value), std::memory_order_relaxed);
}
void sound::setdepth(int value) {
    depthtarget.store(static_cast<int16_t>(value), std::memory_order_relaxed);
}

int sound::rate(int which) {
    return (which ? ratetarget : ratenow).load(std::memory_order_relaxed);
}
int sound::volume(int which) {
    return (which ? volumetarget : volumenow).load(std::memory_order_relaxed);
}
int sound::pan(int which) {
    return (which ? pantarget : pannow).load(std::memory_order_relaxed);
}
int sound::depth(int which) {
    return (which ? depthtarget : depthnow).load(std::memory_order_relaxed);
}

int sound::position() {
    if (!data) return 0;
    return static_cast<int>((played.load(std::memory_order_relaxed) >> 32) / data->channels);
}

int sound::mixinto(int32_t* accumulator, int count) {
    const int s = status.load(std::memory_order_relaxed);
    if (s & MIX_STOPPED) return 1;
    if (s & MIX_PAUSED) return -2;
    if (s == 0) return -1;
    const mixsample* d = data;
    if (!d || d->length <= 0) return 1;

    const int frames = count / 2;
    int first = 0;
    if (delay >= frames) {
        delay -= frames;
        return 0;
    }
    if (delay > 0) {
        first = delay;
        delay = 0;
    }

    const int32_t rnow = ratenow.load(std::memory_order_relaxed);
    const int32_t rtarget = ratetarget.load(std::memory_order_relaxed);
    const int vnow = volumenow.load(std::memory_order_relaxed);
    const int vtarget = volumetarget.load(std::memory_order_relaxed);
    // A negative rate would walk off the front of the data: hold it at 0.
    const int64_t stepnow = std::max<int64_t>(0, static_cast<int64_t>(rnow) * d->hertz / owner->outputrate);
    const int64_t steptarget =
        std::max<int64_t>(0, static_cast<int64_t>(rtarget) * d->hertz / owner->outputrate);
    if (stepnow != steptarget || vnow != vtarget) {
        // The next block starts where this one's ramp ends.
        ratenow.store(rtarget, std::memory_order_relaxed);
        volumenow.store(static_cast<int16_t>(vtarget), std::memory_order_relaxed);
    }

    voiceblock b;
    b.out = accumulator + 2 * first;
    b.frames = frames - first;
    b.pos = pos;
    b.played = played.load(std::memory_order_relaxed);
    b.end = (static_cast<int64_t>(d->channels) * d->length) << 32;
    b.looped = (s & MIX_LOOPED) != 0;
    b.pan = pantarget.load(std::memory_order_relaxed);
    b.depth = depthtarget.load(std::memory_order_relaxed);

    bool ended;
    if (d->bits == 16)
        ended = d->channels == 2 ? mixblock<16, 2>(b, d->data, vnow, vtarget, stepnow, steptarget)
                                 : mixblock<16, 1>(b, d->data, vnow, vtarget, stepnow, steptarget);
    else
        ended = d->channels == 2 ? mixblock<8, 2>(b, d->data, vnow, vtarget, stepnow, steptarget)
                                 : mixblock<8, 1>(b, d->data, vnow, vtarget, stepnow, steptarget);
    pos = b.pos;
    played.store(b.played, std::memory_order_relaxed);
    return ended ? 1 : 0;
}

// ---- mixer ------------------------------------------------------------------

mixer::mixer(int size_)
    : accumulator(static_cast<size_t>(std::max(2, size_)), 0), accumulatorsize(std::max(2, size_)) {}

void mixer::resize(int size_) {
    accumulatorsize = std::max(2, size_);
    accumulator.assign(static_cast<size_t>(accumulatorsize), 0);
}

mixer::~mixer() {
    // The output thread is gone by now: every voice gives its data back.
    for (auto& voice : pool) {
        dropreference(voice->data);
        voice->data = nullptr;
    }
}

sound* mixer::AllocVoice(sound* templ, int keep) {
    sound* v = nullptr;
    if (sparelist) {
        v = sparelist;
        sparelist = v->spare;
        v->spare = nullptr;
    } else {
        const int r = reuseread.load(std::memory_order_relaxed);
        if (r != reusewrite.load(std::memory_order_acquire)) {
            v = reusering[static_cast<size_t>(r)];
            reuseread.store((r + 1) & (RING - 1), std::memory_order_release);
        }
    }
    if (!v) {
        pool.push_back(std::make_unique<sound>(this));
        v = pool.back().get();
    }
    // The output thread let go of this voice's data when it finished; the
    // reference is dropped here, on the game's thread, so the output thread
    // never frees memory.
    dropreference(v->data);
    v->data = nullptr;
    // An old channel object must never reach a voice that now plays
    // something else: its slot goes back (unless it is the one being reused).
    if (v->handle && v->handle != keep && table && table->inuse(v->handle) && table->voice(v->handle) == v)
        table->release(v->handle & 0xfff);
    v->handle = 0;
    if (templ) {
        const int32_t r = templ->ratetarget.load(std::memory_order_relaxed);
        const int16_t vol = templ->volumetarget.load(std::memory_order_relaxed);
        const int16_t pan = templ->pantarget.load(std::memory_order_relaxed);
        const int16_t depth = templ->depthtarget.load(std::memory_order_relaxed);
        v->ratenow = r;
        v->ratetarget = r;
        v->volumenow = vol;
        v->volumetarget = vol;
        v->pannow = pan;
        v->pantarget = pan;
        v->depthnow = depth;
        v->depthtarget = depth;
    } else {
        v->ratenow = 65536;
        v->ratetarget = 65536;
        v->volumenow = 4096;
        v->volumetarget = 4096;
        v->pannow = 0;
        v->pantarget = 0;
        v->depthnow = 0;
        v->depthtarget = 0;
    }
    v->status.store(MIX_STOPPED, std::memory_order_relaxed);
    v->selfrelease.store(0, std::memory_order_relaxed);
    v->next = nullptr;
    v->pos = 0;
    v->played.store(0, std::memory_order_relaxed);
    v->delay = 0;
    v->started = false;
    return v;
}

sound* mixer::play(mixsample* data, sound* templ, int status, int keep) {
    const int w = startwrite.load(std::memory_order_relaxed);
    const int next = (w + 1) & (RING - 1);
    // A mixer that stopped draining (a dead output) must not lose voices
    // silently by overrunning its ring: refuse to start more.
    if (next == startread.load(std::memory_order_acquire)) return nullptr;
    sound* v = AllocVoice(templ, keep);
    data->references.fetch_add(1, std::memory_order_relaxed);
    v->data = data;
    v->status.store(status, std::memory_order_relaxed);
    v->pos = 0;
    v->played.store(0, std::memory_order_relaxed);
    v->starttime = ClockMillis();
    v->started = true;
    startring[static_cast<size_t>(w)] = v;
    startwrite.store(next, std::memory_order_release);
    return v;
}

int mixer::voicesplaying() const {
    int n = 0;
    for (const auto& voice : pool)
        if (voice->status.load(std::memory_order_relaxed) & (MIX_ONCE | MIX_LOOPED)) ++n;
    return n;
}

void mixer::unused(sound* voice) {
    voice->handle = 0;
    voice->spare = sparelist;
    sparelist = voice;
}

void mixer::recycle(sound* voice) {
    voice->next = recycled;
    recycled = voice;
    flushrecycled();
}

void mixer::flushrecycled() {
    while (recycled) {
        const int w = reusewrite.load(std::memory_order_relaxed);
        const int next = (w + 1) & (RING - 1);
        if (next == reuseread.load(std::memory_order_acquire)) return; // full: try again next block
        sound* v = recycled;
        recycled = v->next;
        v->next = nullptr;
        reusering[static_cast<size_t>(w)] = v;
        reusewrite.store(next, std::memory_order_release);
    }
}

template <class Each> void mixer::drainstarts(Each&& each) {
    int r = startread.load(std::memory_order_relaxed);
    const int w = startwrite.load(std::memory_order_acquire);
    while (r != w) {
        sound* v = startring[static_cast<size_t>(r)];
        r = (r + 1) & (RING - 1);
        v->next = active;
        active = v;
        each(v);
    }
    startread.store(r, std::memory_order_release);
}

void mixer::mix(int count) {
    count = std::clamp(count, 0, accumulatorsize) & ~1;
    if (count == 0) return;
    const int now = useblocktime ? blocktime : ClockMillis();

    drainstarts([&](sound* v) {
        int ms = static_cast<int>(static_cast<unsigned>(v->starttime) + START_DELAY_MS -
                                  static_cast<unsigned>(now));
        // Never more than a second: a clock that was swapped under a voice
        // must not keep it silent for good.
        ms = std::clamp(ms, 0, 1000);
        v->delay = static_cast<int>(static_cast<int64_t>(ms) * outputrate / 1000);
    });
    flushrecycled();

    int32_t* acc = accumulator.data();
    sound** link = &active;
    while (sound* v = *link) {
        const int answer = v->mixinto(acc, count);
        bool remove = false;
        if (answer == 1) {
            if (v->selfrelease.load(std::memory_order_relaxed)) {
                v->status.store(0, std::memory_order_relaxed);
                remove = true;
            } else {
                v->status.store(MIX_STOPPED, std::memory_order_relaxed);
            }
        } else if (answer == -1) {
            remove = true;
        }
        if (remove) {
            *link = v->next;
            recycle(v);
        } else {
            link = &v->next;
        }
    }
}

void mixer::mix16(int16_t* destination, int count) {
    if (count <= 0) count = accumulatorsize;
    while (count > 0) {
        const int block = std::min(count, accumulatorsize);
        mix(block);
        int32_t* acc = accumulator.data();
        const int gain = mastergain.load(std::memory_order_relaxed);
        if (gain == MASTER_UNITY) {
            for (int i = 0; i < block; ++i) {
                destination[i] = static_cast<int16_t>(std::clamp(acc[i] >> 4, -32768, 32767));
                acc[i] = 0;
            }
        } else {
            // The accumulator's 4 fraction bits and the gain's 12 in one shift.
            for (int i = 0; i < block; ++i) {
                const int64_t v = (static_cast<int64_t>(acc[i]) * gain) >> 16;
                destination[i] = static_cast<int16_t>(std::clamp<int64_t>(v, -32768, 32767));
                acc[i] = 0;
            }
        }
        destination += block;
        count -= block;
    }
}

void mixer::stopall() {
    // Voices still waiting to start go too.
    drainstarts([](sound*) {});
    while (sound* v = active) {
        active = v->next;
        v->status.store(0, std::memory_order_relaxed);
        recycle(v);
    }
}

// ---- channel table ----------------------------------------------------------

channeltable::channeltable(mixer* owner_) : owner(owner_) {
    for (int i = 0; i < SLOTS; ++i) {
        link[static_cast<size_t>(i)] = i + 1;
        generation[static_cast<size_t>(i)] = 4096;
    }
    link[SLOTS - 1] = 0;
}

int channeltable::alloc() {
    const int slot = link[0];
    if (slot == 0) return 0;
    link[0] = link[static_cast<size_t>(slot)];
    link[static_cast<size_t>(slot)] = -1;          // handed out
    generation[static_cast<size_t>(slot)] += 4096; // wraps after 2^20 uses of one slot
    return static_cast<int>(static_cast<uint32_t>(slot) | generation[static_cast<size_t>(slot)]);
}

bool channeltable::valid(int handle) const {
    const int slot = handle & 0xfff;
    return handle != 0 && slot != 0 &&
           (static_cast<uint32_t>(handle) & ~0xfffu) == generation[static_cast<size_t>(slot)];
}

bool channeltable::inuse(int handle) const {
    return valid(handle) && link[static_cast<size_t>(handle & 0xfff)] == -1;
}

void channeltable::release(int slot) {
    // Only a slot that is handed out goes back: releasing twice must not
    // put one slot on the free list twice (two channels would share it).
    if (slot <= 0 || slot >= SLOTS || link[static_cast<size_t>(slot)] != -1) return;
    voices[static_cast<size_t>(slot)] = nullptr;
    link[static_cast<size_t>(slot)] = link[0];
    link[0] = slot;
}

bool channeltable::reclaim(int handle) {
    const int slot = handle & 0xfff;
    if (!valid(handle) || link[static_cast<size_t>(slot)] == -1) return false;
    for (int at = 0; link[static_cast<size_t>(at)] != 0; at = link[static_cast<size_t>(at)]) {
        if (link[static_cast<size_t>(at)] == slot) {
            link[static_cast<size_t>(at)] = link[static_cast<size_t>(slot)];
            link[static_cast<size_t>(slot)] = -1;
            return true;
        }
    }
    return false;
}

int channeltable::inusecount() const {
    int n = 0;
    for (int slot = 1; slot < SLOTS; ++slot)
        if (link[static_cast<size_t>(slot)] == -1) ++n;
    return n;
}

sound* channeltable::lookup(int handle) {
    if (!inuse(handle)) return nullptr;
    sound*& v = voices[static_cast<size_t>(handle & 0xfff)];
    if (!v) {
        // Parameters may be set on a channel before anything plays on it.
        sound* idle = owner->AllocVoice(nullptr, handle);
        idle->handle = handle;
        v = idle;
    }
    return v;
}

void channeltable::orphan(sound* voice) {
    if (!voice->started) {
        owner->unused(voice);
        return;
    }
    // Nobody can address it any more: it leaves the mixer when it stops.
    voice->selfrelease.store(1, std::memory_order_relaxed);
    voice->handle = 0;
}

// ---- the flat interface -----------------------------------------------------

namespace {

// The open mixer and the handles of its channels.
struct TMixerState {
    std::unique_ptr<mixer> mix;
    std::unique_ptr<channeltable> table;
    // The last table's slot generations: handles kept from an earlier mixer
    // must never address a channel of a later one.
    std::unique_ptr<std::array<uint32_t, channeltable::SLOTS>> generations;
    // The player's master gain (MixSetMasterVolume), given to every mixer opened.
    int mastergain = mixer::MASTER_UNITY;
};

// Never destroyed: the audio driver is shut down from an exit handler, which
// may run after function-local statics made later than its registration.
TMixerState& State() {
    static auto* state = new TMixerState;
    return *state;
}

mixer* openmixer() {
    return State().mix.get();
}

sound* voiceof(int handle) {
    auto& st = State();
    if (!st.table || !st.mix || handle == 0) return nullptr;
    return st.table->lookup(handle);
}

// Game thread. Marks a voice stopped; one that the output thread has already
// made dead (0) stays so, whenever that happens.
void stopvoice(sound* v) {
    int s = v->status.load(std::memory_order_relaxed);
    while (s != 0 && !v->status.compare_exchange_weak(s, MIX_STOPPED, std::memory_order_relaxed)) {
    }
}
} // namespace

mixer* MixCurrentMixer() {
    return openmixer();
}

mixer* MixOpenMixer(int values) {
    auto& st = State();
    if (st.mix) {
        st.mix->resize(values);
        return st.mix.get();
    }
    st.mix = std::make_unique<mixer>(values);
    st.table = std::make_unique<channeltable>(st.mix.get());
    if (st.generations) st.table->carryon(*st.generations);
    st.mix->table = st.table.get();
    st.mix->mastergain.store(st.mastergain, std::memory_order_relaxed);
    return st.mix.get();
}

void MixSetMasterVolume(int percent, bool mute) {
    auto& st = State();
    // Rounded to the nearest step of the gain: 100 is exactly 4096, 50 exactly 2048.
    st.mastergain = mute ? 0 : (std::clamp(percent, 0, 100) * mixer::MASTER_UNITY + 50) / 100;
    if (st.mix) st.mix->mastergain.store(st.mastergain, std::memory_order_relaxed);
}

void MixCloseMixer() {
    auto& st = State();
    if (!st.mix) return;
    st.mix->stopall();
    st.mix->table = nullptr;
    st.generations = std::make_unique<std::array<uint32_t, channeltable::SLOTS>>(st.table->generations());
    st.table.reset();
    st.mix.reset();
}

mixsample* MixCreateSound(int length, int bits, int channels, int hertz, const void* data, int loop) {
    if (!openmixer()) return nullptr;
    if ((bits != 8 && bits != 16) || (channels != 1 && channels != 2) || length < 0 || hertz <= 0)
        return nullptr;
    const int framebytes = channels * bits / 8;
    if (length > (INT_MAX - framebytes) / framebytes) return nullptr;
    auto s = std::make_unique<mixsample>();
    s->hertz = hertz;
    s->channels = channels;
    s->bits = bits;
    s->length = length;
    s->framebytes = framebytes;
    s->databytes = length * framebytes;
    s->loop = loop ? -1 : 0;
    s->owned = s->databytes + framebytes; // one guard frame
    s->buffer = std::make_unique<uint8_t[]>(static_cast<size_t>(s->owned));
    s->data = s->buffer.get();
    if (bits == 8) std::memset(s->data, 128, static_cast<size_t>(s->owned)); // silence until written
    if (data && s->databytes > 0) {
        std::memcpy(s->data, data, static_cast<size_t>(s->databytes));
        s->written = length;
    }
    s->write = s->data + static_cast<size_t>(s->written) * static_cast<size_t>(framebytes);
    if (length > 0) {
        const uint8_t* guard = s->loop ? s->data : s->data + s->databytes - framebytes;
        std::memcpy(s->data + s->databytes, guard, static_cast<size_t>(framebytes));
    }
    return s.release(); // owned by its reference count from here on
}

void MixFreeSound(mixsample* data) {
    // Voices hold references of their own, and a closed mixer has already
    // given back those of its voices, so the last reference can always go.
    dropreference(data);
}

int MixPlaySound(mixsample* data, int paused, int handle) {
    channeltable* table = State().table.get();
    mixer* m = openmixer();
    if (!data || !m || !table) return handle;
    sound* templ = nullptr;
    int h = handle;
    if (handle != 0) {
        // A kept channel whose slot went back to the free list (its voice was
        // reused) takes the slot back rather than playing nothing.
        if (!table->inuse(handle)) table->reclaim(handle);
        templ = table->lookup(handle);
        if (!templ) return handle;
    } else {
        h = table->alloc();
    }
    int status = data->loop ? MIX_LOOPED : MIX_ONCE;
    if (paused) status |= MIX_PAUSED;
    sound* v = m->play(data, templ, status, h);
    if (!v) {
        if (handle == 0 && h) table->release(h & 0xfff);
        return handle;
    }
    if (h) {
        sound*& slot = table->voice(h);
        sound* old = slot;
        if (old && old != v) {
            stopvoice(old);
            table->orphan(old);
        }
        slot = v;
    }
    v->handle = h;
    v->selfrelease.store(handle == 0 ? 1 : 0, std::memory_order_relaxed);
    return h;
}

int MixAllocChannel() {
    channeltable* table = State().table.get();
    if (!table || !openmixer()) return 0;
    return table->alloc();
}

void MixFreeChannel(int handle) {
    channeltable* table = State().table.get();
    if (!table || !openmixer() || !table->inuse(handle)) return;
    if (sound* v = table->voice(handle)) table->orphan(v);
    table->release(handle & 0xfff);
}

void MixStopChannel(int handle) {
    channeltable* table = State().table.get();
    if (!table || !openmixer() || !table->inuse(handle)) return;
    sound* v = table->voice(handle);
    if (v) {
        v->selfrelease.store(1, std::memory_order_relaxed);
        stopvoice(v);
        table->orphan(v);
    }
    table->release(handle & 0xfff);
}

void MixPauseChannel(int handle, int paused) {
    if (sound* v = voiceof(handle)) {
        if (paused)
            v->status.fetch_or(MIX_PAUSED, std::memory_order_relaxed);
        else
            v->status.fetch_and(~MIX_PAUSED, std::memory_order_relaxed);
    }
}

void MixSetChannelVolume(int handle, float volume) {
    if (sound* v = voiceof(handle)) v->setvolume(fixed16(volume, 4096.0));
}

void MixSetChannelPan(int handle, float pan) {
    if (sound* v = voiceof(handle)) v->setpan(fixed16(pan, 4096.0));
}

void MixSetChannelDepth(int handle, float depth) {
    if (sound* v = voiceof(handle)) v->setdepth(fixed16(depth, 4096.0));
}

void MixSetChannelRate(int handle, float rate) {
    if (sound* v = voiceof(handle)) v->setrate(fixed32(rate, 65536.0));
}

int MixChannelStatus(int handle) {
    sound* v = voiceof(handle);
    return v ? v->status.load(std::memory_order_relaxed) : 0;
}

int MixChannelPosition(int handle) {
    sound* v = voiceof(handle);
    return v ? v->position() : 0;
}

MixCounts MixGetCounts() {
    channeltable* table = State().table.get();
    MixCounts counts;
    const mixer* m = openmixer();
    if (!m || !table) return counts;
    counts.handles = table->inusecount();
    counts.voices = m->voicesmade();
    counts.playing = m->voicesplaying();
    return counts;
}
