#pragma once
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include <vorbis/vorbisenc.h>

#include "audio/audiodevice.h"
#include "audio/mixer.h"
#include "platform/clock.h"

// Encodes interleaved 16-bit PCM into an Ogg Vorbis file in memory.
inline std::vector<uint8_t> EncodeOgg(const std::vector<int16_t>& pcm, int channels, int rate,
                                      float quality = 0.4f) {
    std::vector<uint8_t> out;
    vorbis_info vi;
    vorbis_info_init(&vi);
    if (vorbis_encode_init_vbr(&vi, channels, rate, quality) != 0) {
        vorbis_info_clear(&vi);
        return out;
    }
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    vorbis_dsp_state vd;
    vorbis_analysis_init(&vd, &vi);
    vorbis_block vb;
    vorbis_block_init(&vd, &vb);
    ogg_stream_state os;
    ogg_stream_init(&os, 12345);
    ogg_page og;
    ogg_packet op;
    auto put_page = [&out](const ogg_page& page) {
        out.insert(out.end(), page.header, page.header + page.header_len);
        out.insert(out.end(), page.body, page.body + page.body_len);
    };
    {
        ogg_packet header, header_comm, header_code;
        vorbis_analysis_headerout(&vd, &vc, &header, &header_comm, &header_code);
        ogg_stream_packetin(&os, &header);
        ogg_stream_packetin(&os, &header_comm);
        ogg_stream_packetin(&os, &header_code);
        while (ogg_stream_flush(&os, &og) != 0)
            put_page(og);
    }
    const int frames = static_cast<int>(pcm.size()) / channels;
    int done = 0;
    bool eos = false;
    while (!eos) {
        const int chunk = std::min(1024, frames - done);
        if (chunk > 0) {
            float** buffer = vorbis_analysis_buffer(&vd, chunk);
            for (int i = 0; i < chunk; ++i)
                for (int c = 0; c < channels; ++c)
                    buffer[c][i] = pcm[static_cast<size_t>((done + i) * channels + c)] / 32768.0f;
            vorbis_analysis_wrote(&vd, chunk);
            done += chunk;
        } else {
            vorbis_analysis_wrote(&vd, 0);
        }
        while (vorbis_analysis_blockout(&vd, &vb) == 1) {
            vorbis_analysis(&vb, nullptr);
            vorbis_bitrate_addblock(&vb);
            while (vorbis_bitrate_flushpacket(&vd, &op)) {
                ogg_stream_packetin(&os, &op);
                while (!eos && ogg_stream_pageout(&os, &og) != 0) {
                    put_page(og);
                    if (ogg_page_eos(&og)) eos = true;
                }
            }
        }
        if (chunk <= 0 && !eos) {
            while (ogg_stream_flush(&os, &og) != 0)
                put_page(og);
            eos = true;
        }
    }
    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    return out;
}

// A sine tone, interleaved, the same on every channel.
inline std::vector<int16_t> Tone(int frames, int channels, int rate, double hz, double amplitude = 12000) {
    std::vector<int16_t> pcm(static_cast<size_t>(frames * channels));
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            pcm[static_cast<size_t>(i * channels + c)] =
                static_cast<int16_t>(std::lround(amplitude * std::sin(2 * M_PI * hz * i / rate)));
    return pcm;
}

// A clock that moves only when the test says so.
class TTestClock : public TClockSource {
  public:
    explicit TTestClock(int start) : now_(start) {}
    int Millis() override { return now_.load(); }
    void Delay(int ms) override { now_ += ms; }
    void Set(int ms) { now_ = ms; }
    std::atomic<int> now_;
};

// Installs a test clock for one scope.
class TClockScope {
  public:
    explicit TClockScope(int start = 1000) : clock(std::make_shared<TTestClock>(start)) {
        UseClockSource(clock);
    }
    ~TClockScope() { UseClockSource(nullptr); }
    std::shared_ptr<TTestClock> clock;
};

// A device with no thread: the test mixes by hand on its own thread.
class manualdevice : public audiodevice {
  public:
    explicit manualdevice(int values = 1764, bool fail = false) : values_(values), fail_(fail) {}
    int blockvalues() override { return values_; }
    int open() override { return fail_ ? -1 : 0; }
    void close() override { closed = true; }
    bool closed = false;

  private:
    int values_;
    bool fail_;
};

// Opens a manual device for one scope and hands out its mixer.
class TMixerScope {
  public:
    explicit TMixerScope(int values = 1764) {
        MixOpen(std::make_unique<manualdevice>(values));
        m = MixCurrentMixer();
    }
    ~TMixerScope() { MixClose(); }
    // Mixes frames of output into interleaved 16-bit values.
    std::vector<int16_t> Mix(int frames) {
        std::vector<int16_t> out(static_cast<size_t>(frames * 2));
        m->mix16(out.data(), frames * 2);
        return out;
    }
    mixer* m = nullptr;
};

// Mono 16-bit PCM as bytes for MixCreateSound.
inline mixsample* MonoSound(const std::vector<int16_t>& values, int hertz = 44100, int loop = 0) {
    return MixCreateSound(static_cast<int>(values.size()), 16, 1, hertz, values.data(), loop);
}
