#include "backends/win32/win32_audio.h"

#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>

#include <cstring>

#include "audio/sound.h"

namespace {

WAVEFORMATEX PcmFormat() {
    WAVEFORMATEX fmt{};
    fmt.wFormatTag = WAVE_FORMAT_PCM;
    fmt.nChannels = 2;
    fmt.nSamplesPerSec = 44100;
    fmt.nAvgBytesPerSec = 176400;
    fmt.nBlockAlign = 4;
    fmt.wBitsPerSample = 16;
    return fmt;
}

void CALLBACK TimerProc(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
    reinterpret_cast<win32waveoutbackend*>(user)->ontimer();
}

template <class T> void Release(T*& p) {
    if (p) p->Release();
    p = nullptr;
}

} // namespace

// ---- mode 0: waveOut --------------------------------------------------------

struct win32waveoutbackend::state {
    HWAVEOUT out = nullptr;
    WAVEHDR header{};
    bool prepared = false;
    // The output's byte count is 32 bits: it wraps after 6.7 hours of sound.
    DWORD last = 0;
    int64_t wraps = 0;
};

win32waveoutbackend::win32waveoutbackend() : s_(std::make_unique<state>()) {}

win32waveoutbackend::~win32waveoutbackend() {
    stoptimer();
    close();
}

int win32waveoutbackend::fragmentvalues() {
    // Smaller fragments on the NT family (and 9x from version 5 on, which
    // does not exist in 64 bits): 512 frames.
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof(info);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!GetVersionExA(&info)) return 2048;
#pragma GCC diagnostic pop
    if (info.dwPlatformId == VER_PLATFORM_WIN32_NT) return 1024;
    if (info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS && info.dwMajorVersion >= 5) return 1024;
    return 2048;
}

int win32waveoutbackend::open() {
    if (s_->out) return 0;
    WAVEFORMATEX fmt = PcmFormat();
    if (waveOutOpen(&s_->out, WAVE_MAPPER, &fmt, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) {
        s_->out = nullptr;
        return -1;
    }
    return 0;
}

void win32waveoutbackend::unprepare() {
    if (s_->prepared && s_->out) waveOutUnprepareHeader(s_->out, &s_->header, sizeof(WAVEHDR));
    s_->prepared = false;
}

int win32waveoutbackend::write(const int16_t* ring, int values) {
    if (!s_->out || !ring || values <= 0) return -1;
    WAVEHDR& h = s_->header;
    const auto data = reinterpret_cast<LPSTR>(const_cast<int16_t*>(ring));
    const auto bytes = static_cast<DWORD>(values) * 2;
    if (!s_->prepared || h.lpData != data || h.dwBufferLength != bytes) {
        unprepare();
        h = WAVEHDR{};
        h.lpData = data;
        h.dwBufferLength = bytes;
        h.dwFlags = WHDR_BEGINLOOP | WHDR_ENDLOOP;
        h.dwLoops = 2147483647;
        if (waveOutPrepareHeader(s_->out, &h, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) return -1;
        s_->prepared = true;
    }
    // A header that has played (or was reset) keeps its loop flags; ask again.
    h.dwFlags = (h.dwFlags & WHDR_PREPARED) | WHDR_BEGINLOOP | WHDR_ENDLOOP;
    h.dwLoops = 2147483647;
    s_->last = 0;
    s_->wraps = 0;
    return waveOutWrite(s_->out, &h, sizeof(WAVEHDR)) == MMSYSERR_NOERROR ? 0 : -1;
}

int win32waveoutbackend::position(int64_t& bytes) {
    if (!s_->out) return -1;
    MMTIME t{};
    t.wType = TIME_BYTES;
    if (waveOutGetPosition(s_->out, &t, sizeof(t)) != MMSYSERR_NOERROR) return -1;
    if (t.wType != TIME_BYTES) return -1; // the device cannot count bytes
    if (t.u.cb < s_->last) ++s_->wraps;
    s_->last = t.u.cb;
    bytes = (s_->wraps << 32) + static_cast<int64_t>(t.u.cb);
    return 0;
}

void win32waveoutbackend::reset() {
    if (s_->out) waveOutReset(s_->out);
}

void win32waveoutbackend::close() {
    if (!s_->out) return;
    waveOutReset(s_->out);
    unprepare();
    waveOutClose(s_->out);
    s_->out = nullptr;
}

void win32waveoutbackend::arm() {
    timer_ = timeSetEvent(5, 1, &TimerProc, reinterpret_cast<DWORD_PTR>(this),
                          TIME_ONESHOT | TIME_CALLBACK_FUNCTION);
}

void win32waveoutbackend::ontimer() {
    std::function<void()> tick;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        timer_ = 0;
        if (!ticking_) return;
        ++inflight_;
    }
    tick_();
    std::lock_guard<std::mutex> lock(mutex_);
    --inflight_;
    // Re-armed only while running: a stop during the tick ends the chain.
    if (ticking_) arm();
    if (inflight_ == 0) idle_.notify_all();
}

void win32waveoutbackend::starttimer(std::function<void()> tick) {
    stoptimer();
    std::lock_guard<std::mutex> lock(mutex_);
    tick_ = std::move(tick);
    ticking_ = true;
    arm();
}

void win32waveoutbackend::stoptimer() {
    std::unique_lock<std::mutex> lock(mutex_);
    ticking_ = false;
    if (timer_ != 0) {
        timeKillEvent(timer_);
        timer_ = 0;
    }
    // A tick already under way finishes before the ring may go.
    idle_.wait(lock, [this] { return inflight_ == 0; });
}

// ---- mode 1: DirectSound ----------------------------------------------------

struct win32dsoundbackend::state {
    HMODULE library = nullptr;
    LPDIRECTSOUND ds = nullptr;
    LPDIRECTSOUNDBUFFER primary = nullptr;
    LPDIRECTSOUNDBUFFER secondary = nullptr;
    LPDIRECTSOUNDNOTIFY notify = nullptr;
    HANDLE event = nullptr;
};

win32dsoundbackend::win32dsoundbackend(const char* library)
    : s_(std::make_unique<state>()), library_(library) {}

win32dsoundbackend::~win32dsoundbackend() {
    close();
}

int win32dsoundbackend::open() {
    using TCreateProc = HRESULT(WINAPI*)(LPCGUID, LPDIRECTSOUND*, LPUNKNOWN);
    state& s = *s_;
    s.library = LoadLibraryA(library_);
    if (!s.library) return -1;
    const auto create = reinterpret_cast<TCreateProc>(
        reinterpret_cast<void (*)()>(GetProcAddress(s.library, "DirectSoundCreate")));
    if (!create) return -1;
    if (FAILED(create(nullptr, &s.ds, nullptr)) || !s.ds) return -1;
    if (FAILED(s.ds->SetCooperativeLevel(GetDesktopWindow(), DSSCL_PRIORITY))) return -1;
    DSCAPS caps{};
    caps.dwSize = sizeof(caps);
    if (FAILED(s.ds->GetCaps(&caps))) return -1;

    WAVEFORMATEX fmt = PcmFormat();
    DSBUFFERDESC primary{};
    primary.dwSize = sizeof(primary);
    primary.dwFlags = DSBCAPS_PRIMARYBUFFER;
    if (FAILED(s.ds->CreateSoundBuffer(&primary, &s.primary, nullptr))) return -1;
    if (FAILED(s.primary->SetFormat(&fmt))) return -1;

    DSBUFFERDESC secondary{};
    secondary.dwSize = sizeof(secondary);
    secondary.dwFlags = DSBCAPS_GETCURRENTPOSITION2 | DSBCAPS_GLOBALFOCUS | DSBCAPS_CTRLPOSITIONNOTIFY;
    secondary.dwBufferBytes = dsounddevice::BUFFERBYTES;
    secondary.lpwfxFormat = &fmt;
    if (FAILED(s.ds->CreateSoundBuffer(&secondary, &s.secondary, nullptr))) return -1;

    s.event = CreateEventA(nullptr, FALSE, FALSE, "SOUNDEVENT");
    if (!s.event) return -1;
    if (FAILED(s.secondary->QueryInterface(IID_IDirectSoundNotify, reinterpret_cast<void**>(&s.notify))))
        return -1;
    DSBPOSITIONNOTIFY marks[4];
    for (int i = 0; i < 4; ++i) {
        marks[i].dwOffset = static_cast<DWORD>(i * dsounddevice::CHUNKBYTES);
        marks[i].hEventNotify = s.event;
    }
    if (FAILED(s.notify->SetNotificationPositions(4, marks))) return -1;
    return 0;
}

int win32dsoundbackend::clear() {
    if (!s_->secondary) return -1;
    void* p1 = nullptr;
    void* p2 = nullptr;
    DWORD n1 = 0, n2 = 0;
    if (FAILED(s_->secondary->Lock(0, dsounddevice::BUFFERBYTES, &p1, &n1, &p2, &n2, 0))) return -1;
    if (p1) std::memset(p1, 0, n1);
    if (p2) std::memset(p2, 0, n2);
    return FAILED(s_->secondary->Unlock(p1, n1, p2, n2)) ? -1 : 0;
}

int win32dsoundbackend::play() {
    if (!s_->secondary) return -1;
    return FAILED(s_->secondary->Play(0, 0, DSBPLAY_LOOPING)) ? -1 : 0;
}

int win32dsoundbackend::cursor(int& bytes) {
    if (!s_->secondary) return -1;
    DWORD play = 0, write = 0;
    if (FAILED(s_->secondary->GetCurrentPosition(&play, &write))) return -1;
    bytes = static_cast<int>(play % dsounddevice::BUFFERBYTES);
    return 0;
}

int win32dsoundbackend::write(int offset, const int16_t* data, int bytes) {
    if (!s_->secondary || offset < 0 || bytes <= 0 || offset + bytes > dsounddevice::BUFFERBYTES) return -1;
    void* p1 = nullptr;
    void* p2 = nullptr;
    DWORD n1 = 0, n2 = 0;
    if (FAILED(s_->secondary->Lock(static_cast<DWORD>(offset), static_cast<DWORD>(bytes), &p1, &n1, &p2, &n2,
                                   0)))
        return -1;
    const auto* src = reinterpret_cast<const uint8_t*>(data);
    if (p1) std::memcpy(p1, src, n1);
    if (p2) std::memcpy(p2, src + n1, std::min<DWORD>(n2, static_cast<DWORD>(bytes) - n1));
    return FAILED(s_->secondary->Unlock(p1, n1, p2, n2)) ? -1 : 0;
}

int win32dsoundbackend::wait(int timeoutms) {
    if (!s_->event) return 0;
    return WaitForSingleObject(s_->event, static_cast<DWORD>(timeoutms)) == WAIT_OBJECT_0 ? 1 : 0;
}

void win32dsoundbackend::wake() {
    if (s_->event) SetEvent(s_->event);
}

void win32dsoundbackend::stop() {
    if (s_->secondary) s_->secondary->Stop();
}

void win32dsoundbackend::close() {
    state& s = *s_;
    if (s.secondary) s.secondary->Stop();
    Release(s.notify);
    Release(s.secondary);
    Release(s.primary);
    Release(s.ds);
    if (s.event) CloseHandle(s.event);
    s.event = nullptr;
    if (s.library) FreeLibrary(s.library);
    s.library = nullptr;
}

// ---- devices and drivers ----------------------------------------------------

bool Win32DirectSoundAvailable(const char* library) {
    HMODULE module = LoadLibraryA(library);
    if (!module) return false;
    const bool found = GetProcAddress(module, "DirectSoundCreate") != nullptr;
    FreeLibrary(module);
    return found;
}

std::unique_ptr<audiodevice> CreateWin32AudioDevice(int mode) {
    if (mode == 0) return std::make_unique<winmmdevice>(std::make_unique<win32waveoutbackend>());
    return std::make_unique<dsounddevice>(std::make_unique<win32dsoundbackend>());
}

int RegisterWin32AudioDrivers() {
    static const int registered = [] {
        StartAudio();
        int n = 0;
        if (Win32DirectSoundAvailable()) {
            TSoftMixAudioDriver::Create("SoftMix DirectSound", 1);
            ++n;
        }
        TSoftMixAudioDriver::Create("SoftMix Multimedia", 0);
        TSoftMixAudioDriver::Create("SoftMix", -1);
        return n + 2;
    }();
    // Installed by every call, so the Windows devices are the ones behind
    // the drivers after any other factory.
    MixUseDeviceFactory(&CreateWin32AudioDevice);
    return registered;
}
