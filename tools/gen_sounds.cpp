// Build-time tool: synthesises the game's four sound effects and encodes them
// as mono 44100 Hz Ogg Vorbis files.
//
// Usage: zap_gen_sounds OUTDIR
//
// The synthesis uses fixed seeds and the Ogg streams fixed serial numbers, so
// the same library version always writes the same bytes.
#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr double kPi = 3.14159265358979323846;

// The shot note's pitch: C5. The game plays it at rates 2^(n/12) for a melody
// in C major, up to one octave higher.
constexpr double kFiddleHz = 523.2511306;

class Rng {
  public:
    explicit Rng(uint32_t seed) : s_(seed) {}
    // Uniform in -1..1.
    double Noise() {
        s_ = s_ * 1664525u + 1013904223u;
        return double(s_ >> 8) / double(1u << 23) - 1.0;
    }

  private:
    uint32_t s_;
};

std::vector<float> Silence(double seconds) {
    return std::vector<float>(size_t(std::lround(seconds * kRate)), 0.0f);
}

// Scales the sound so that its peak sits at `peakDb` dBFS. The game mixes
// these with no limiter: four lasers popping bubbles while their shot notes
// ring stack many sounds (up to seven start in one frame), some of them the
// same pop at the same rate and in phase. So each sound peaks far below full scale (about -14 dBFS),
// leaving the mix room for those stacks instead of clipping them.
void Normalise(std::vector<float>& s, double peakDb) {
    float peak = 0;
    for (float v : s)
        peak = std::max(peak, std::fabs(v));
    if (peak <= 0) return;
    const float gain = float(std::pow(10.0, peakDb / 20.0) / peak);
    for (float& v : s)
        v *= gain;
}

// Short fades at both ends so that nothing starts or stops with a click.
void Fade(std::vector<float>& s, double inSec, double outSec) {
    const size_t in = size_t(inSec * kRate), out = size_t(outSec * kRate);
    for (size_t i = 0; i < in && i < s.size(); ++i)
        s[i] *= float(i) / float(in);
    for (size_t i = 0; i < out && i < s.size(); ++i)
        s[s.size() - 1 - i] *= float(i) / float(out);
}

// The shot note: a bowed/plucked string. Harmonics with falling strengths,
// the upper ones dying away faster, a quick attack and a smooth release, so
// the pitch is clear at every rate the melody uses.
std::vector<float> Fiddle() {
    auto s = Silence(0.30);
    const double amps[] = {1.0, 0.55, 0.42, 0.25, 0.18, 0.12, 0.08, 0.05};
    for (size_t i = 0; i < s.size(); ++i) {
        const double t = double(i) / kRate;
        double v = 0;
        for (int h = 1; h <= 8; ++h) {
            const double decay = std::exp(-t * (3.0 + 2.2 * h));
            v += amps[h - 1] * decay * std::sin(2 * kPi * kFiddleHz * h * t + 0.3 * h);
        }
        const double attack = std::min(1.0, t / 0.006);
        s[i] = float(v * attack);
    }
    Fade(s, 0.0, 0.04);
    Normalise(s, -14.0);
    return s;
}

// A bubble pop: a short sine that drops quickly in pitch, with a tiny burst of
// noise at the start for the snap.
std::vector<float> Pop() {
    auto s = Silence(0.16);
    Rng rng(0x0B0Bu);
    double phase = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        const double t = double(i) / kRate;
        const double f = 260.0 + 900.0 * std::exp(-t / 0.018);
        phase += 2 * kPi * f / kRate;
        const double body = std::sin(phase) * std::exp(-t / 0.035);
        const double snap = rng.Noise() * std::exp(-t / 0.0025) * 0.6;
        s[i] = float(body + snap);
    }
    // Soften the noise a little with a one-pole low pass.
    float y = 0;
    for (float& v : s) {
        y += 0.55f * (v - y);
        v = y;
    }
    Fade(s, 0.0005, 0.03);
    Normalise(s, -14.0);
    return s;
}

// A clock tick: a woody knock, two damped resonances and a click of noise.
std::vector<float> Click() {
    auto s = Silence(0.06);
    Rng rng(0xC10Cu);
    for (size_t i = 0; i < s.size(); ++i) {
        const double t = double(i) / kRate;
        const double knock = 0.8 * std::sin(2 * kPi * 1850.0 * t) * std::exp(-t / 0.006) +
                             0.5 * std::sin(2 * kPi * 3300.0 * t) * std::exp(-t / 0.003) +
                             0.35 * std::sin(2 * kPi * 620.0 * t) * std::exp(-t / 0.012);
        const double click = rng.Noise() * std::exp(-t / 0.0008) * 0.5;
        s[i] = float(knock + click);
    }
    Fade(s, 0.0003, 0.015);
    Normalise(s, -15.0);
    return s;
}

// The countdown blip: a bright square-ish tone (odd harmonics, band-limited)
// with a short pitch rise at the start.
std::vector<float> Blip() {
    auto s = Silence(0.15);
    double phase = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        const double t = double(i) / kRate;
        const double f = 880.0 * (1.0 + 0.06 * std::exp(-t / 0.01));
        phase += 2 * kPi * f / kRate;
        double v = 0;
        for (int h = 1; h <= 9; h += 2)
            v += std::sin(h * phase) / h;
        const double env = std::min(1.0, t / 0.004) * std::exp(-t / 0.09);
        s[i] = float(v * env);
    }
    Fade(s, 0.0, 0.03);
    Normalise(s, -15.0);
    return s;
}

bool WritePages(FILE* f, ogg_stream_state& os, bool flush) {
    ogg_page page;
    while (flush ? ogg_stream_flush(&os, &page) : ogg_stream_pageout(&os, &page)) {
        if (std::fwrite(page.header, 1, size_t(page.header_len), f) != size_t(page.header_len)) return false;
        if (std::fwrite(page.body, 1, size_t(page.body_len), f) != size_t(page.body_len)) return false;
    }
    return true;
}

bool EncodeOgg(const std::string& path, const std::vector<float>& samples, int serial, float quality) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    vorbis_info vi;
    vorbis_info_init(&vi);
    if (vorbis_encode_init_vbr(&vi, 1, kRate, quality) != 0) {
        vorbis_info_clear(&vi);
        std::fclose(f);
        return false;
    }
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    vorbis_dsp_state vd;
    vorbis_analysis_init(&vd, &vi);
    vorbis_block vb;
    vorbis_block_init(&vd, &vb);
    ogg_stream_state os;
    ogg_stream_init(&os, serial);

    bool ok = true;
    ogg_packet id, comment, code;
    vorbis_analysis_headerout(&vd, &vc, &id, &comment, &code);
    ogg_stream_packetin(&os, &id);
    ogg_stream_packetin(&os, &comment);
    ogg_stream_packetin(&os, &code);
    ok = WritePages(f, os, true);

    const size_t chunk = 1024;
    for (size_t pos = 0; ok; pos += chunk) {
        const size_t n = pos < samples.size() ? std::min(chunk, samples.size() - pos) : 0;
        if (n > 0) {
            float** buf = vorbis_analysis_buffer(&vd, int(n));
            std::copy(samples.begin() + long(pos), samples.begin() + long(pos + n), buf[0]);
        }
        vorbis_analysis_wrote(&vd, int(n)); // 0 marks the end of the stream
        while (vorbis_analysis_blockout(&vd, &vb) == 1) {
            vorbis_analysis(&vb, nullptr);
            vorbis_bitrate_addblock(&vb);
            ogg_packet op;
            while (vorbis_bitrate_flushpacket(&vd, &op)) {
                ogg_stream_packetin(&os, &op);
                ok = ok && WritePages(f, os, false);
            }
        }
        if (n == 0) break;
    }
    ok = ok && WritePages(f, os, true);

    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    return std::fclose(f) == 0 && ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: zap_gen_sounds OUTDIR\n");
        return 2;
    }
    const std::string dir = std::string(argv[1]) + "/";
    struct Out {
        const char* name;
        std::vector<float> samples;
        int serial;
    };
    const std::vector<Out> outs = {
        {"snd_fiddle.ogg", Fiddle(), 0x5A500001},
        {"snd_pop.ogg", Pop(), 0x5A500002},
        {"snd_click.ogg", Click(), 0x5A500003},
        {"snd_blip.ogg", Blip(), 0x5A500004},
    };
    for (const auto& o : outs) {
        if (!EncodeOgg(dir + o.name, o.samples, o.serial, 0.4f)) {
            std::fprintf(stderr, "zap_gen_sounds: cannot write %s%s\n", dir.c_str(), o.name);
            return 1;
        }
    }
    return 0;
}
