#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>

#include "assets/embedded_assets.h"
#include "audio/sample.h"
#include "audio_test_support.h"
#include "platform/embed.h"
#include "platform/error.h"
#include "platform/stream.h"
#include "support/test_support.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#define ZAP_LEAK_CHECK 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#include <sanitizer/lsan_interface.h>
#define ZAP_LEAK_CHECK 1
#endif
#endif

namespace {

int16_t Be16(const uint8_t* p) {
    return static_cast<int16_t>((p[0] << 8) | p[1]);
}
int16_t Le16(const uint8_t* p) {
    return static_cast<int16_t>((p[1] << 8) | p[0]);
}

std::vector<uint8_t> Stereo16BE(std::initializer_list<std::pair<int, int>> frames) {
    std::vector<uint8_t> out;
    for (auto [l, r] : frames) {
        out.push_back(static_cast<uint8_t>((l >> 8) & 0xff));
        out.push_back(static_cast<uint8_t>(l & 0xff));
        out.push_back(static_cast<uint8_t>((r >> 8) & 0xff));
        out.push_back(static_cast<uint8_t>(r & 0xff));
    }
    return out;
}

double Rms(const int16_t* v, int count, int stride) {
    double sum = 0;
    for (int i = 0; i < count; ++i)
        sum += double(v[i * stride]) * v[i * stride];
    return std::sqrt(sum / count);
}

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::shared_ptr<TAudioSample> LoadBytes(std::vector<uint8_t>& bytes) {
    return SampleLoad(TUrl(TBank::CreateStatic(bytes.data(), static_cast<int>(bytes.size()))));
}

} // namespace

TEST(Sample, Mono8ThroughTheCommonFormAndBack) {
    const uint8_t mono[3] = {0, 128, 255};
    uint8_t common[12];
    ConvertSamples(mono, SampleMono8, common, SampleStereo16BE, 3);
    const int expected[3] = {-32768, 128, 32767};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Be16(common + 4 * i), expected[i]) << i;
        EXPECT_EQ(Be16(common + 4 * i + 2), expected[i]) << i;
    }
    uint8_t back[3] = {9, 9, 9};
    ConvertSamples(common, SampleStereo16BE, back, SampleMono8, 3);
    EXPECT_EQ(back[0], 0);
    EXPECT_EQ(back[1], 128);
    EXPECT_EQ(back[2], 255);
}

TEST(Sample, StereoToMonoTruncatesTowardZero) {
    auto src = Stereo16BE({{1, 2}, {-1, -2}, {32767, 32767}, {-32768, -32767}});
    uint8_t mono[8];
    ConvertSamples(src.data(), SampleStereo16BE, mono, SampleMono16LE, 4);
    EXPECT_EQ(Le16(mono + 0), 1);
    EXPECT_EQ(Le16(mono + 2), -1);
    EXPECT_EQ(Le16(mono + 4), 32767);
    EXPECT_EQ(Le16(mono + 6), -32767);
}

TEST(Sample, ByteSwapsAndTheTemporaryBuffer) {
    // Big- to little-endian mono swaps every pair (through the common form).
    const uint8_t be[4] = {0x12, 0x34, 0xfe, 0xdc};
    uint8_t le[4];
    ConvertSamples(be, SampleMono16BE, le, SampleMono16LE, 2);
    EXPECT_EQ(le[0], 0x34);
    EXPECT_EQ(le[1], 0x12);
    EXPECT_EQ(le[2], 0xdc);
    EXPECT_EQ(le[3], 0xfe);

    // Stereo 8-bit to mono 16-bit goes through a temporary common buffer.
    const uint8_t st8[6] = {0, 255, 255, 255, 128, 0};
    uint8_t m16[6];
    ConvertSamples(st8, SampleStereo8, m16, SampleMono16LE, 3);
    EXPECT_EQ(Le16(m16 + 0), 0); // (-32768 + 32767) / 2
    EXPECT_EQ(Le16(m16 + 2), 32767);
    EXPECT_EQ(Le16(m16 + 4), (128 + -32768) / 2);

    // Little-endian stereo to big-endian and back is exact.
    const uint8_t st16[4] = {0x01, 0x80, 0xff, 0x7f}; // -32767, 32767
    uint8_t common[4], again[4];
    ConvertSamples(st16, SampleStereo16LE, common, SampleStereo16BE, 1);
    EXPECT_EQ(Be16(common), -32767);
    EXPECT_EQ(Be16(common + 2), 32767);
    ConvertSamples(common, SampleStereo16BE, again, SampleStereo16LE, 1);
    EXPECT_EQ(0, std::memcmp(st16, again, 4));
}

TEST(Sample, SameFormatCopiesAndBadFormatsRaise) {
    auto sample = TAudioSample::Create(5, 22050, SampleStereo8);
    for (int i = 0; i < 10; ++i)
        sample->samples[i] = static_cast<uint8_t>(i * 25 + 3);
    auto same = sample->Convert(SampleStereo8);
    EXPECT_EQ(0, std::memcmp(sample->samples, same->samples, 10));
    auto copy = sample->Copy();
    EXPECT_NE(copy->samples, sample->samples);
    EXPECT_EQ(0, std::memcmp(sample->samples, copy->samples, 10));
    EXPECT_EQ(copy->length, 5);
    EXPECT_EQ(copy->hertz, 22050);
    EXPECT_EQ(copy->capacity, 10);

    auto mono = sample->Convert(SampleMono16BE);
    EXPECT_EQ(mono->format, SampleMono16BE);
    EXPECT_EQ(mono->length, 5);
    EXPECT_EQ(sample->samples[0], 3); // the source is unchanged

    uint8_t out[16];
    try {
        ConvertSamples(sample->samples, 7, out, SampleMono8, 1);
        FAIL() << "no error";
    } catch (const TRuntimeError& e) {
        EXPECT_STREQ(e.what(), "Unimplemented sample format conversion");
    }
    EXPECT_THROW(ConvertSamples(sample->samples, SampleMono8, out, 0, 1), TRuntimeError);
    EXPECT_THROW(ConvertSamples(sample->samples, SampleMono8, out, 9, 1), TRuntimeError);

    uint8_t borrowed[4] = {1, 2, 3, 4};
    auto view = TAudioSample::CreateStatic(borrowed, 2, 8000, SampleMono16LE);
    EXPECT_EQ(view->capacity, -1);
    EXPECT_EQ(view->samples, borrowed);
}

TEST(Ogg, MonoAndStereoDecodeIntoTheirFormats) {
    const auto mono_pcm = Tone(4410, 1, 22050, 440.0);
    auto mono_ogg = EncodeOgg(mono_pcm, 1, 22050);
    ASSERT_FALSE(mono_ogg.empty());
    auto mono = LoadBytes(mono_ogg);
    ASSERT_TRUE(mono);
    EXPECT_EQ(mono->format, SampleMono16LE);
    EXPECT_EQ(mono->hertz, 22050);
    EXPECT_EQ(mono->length, 4410);
    // Lossy, but the tone's level survives.
    const auto* m = reinterpret_cast<const int16_t*>(mono->samples);
    EXPECT_NEAR(Rms(m + 1000, 2000, 1), Rms(mono_pcm.data() + 1000, 2000, 1), 1000.0);

    // Stereo: a tone on the left, silence on the right.
    auto stereo_pcm = Tone(3000, 2, 44100, 1000.0);
    for (size_t i = 1; i < stereo_pcm.size(); i += 2)
        stereo_pcm[i] = 0;
    auto stereo_ogg = EncodeOgg(stereo_pcm, 2, 44100);
    auto stereo = LoadBytes(stereo_ogg);
    ASSERT_TRUE(stereo);
    EXPECT_EQ(stereo->format, SampleStereo16LE);
    EXPECT_EQ(stereo->hertz, 44100);
    EXPECT_EQ(stereo->length, 3000);
    const auto* s = reinterpret_cast<const int16_t*>(stereo->samples);
    EXPECT_GT(Rms(s + 1000, 1000, 2), 5000.0);
    EXPECT_LT(Rms(s + 1001, 1000, 2), 500.0);
}

TEST(Ogg, DamagedOrUnsupportedDataGivesNull) {
    std::vector<uint8_t> garbage(5000);
    for (size_t i = 0; i < garbage.size(); ++i)
        garbage[i] = static_cast<uint8_t>((i * 2654435761u) >> 13);
    EXPECT_FALSE(LoadBytes(garbage));

    std::vector<uint8_t> empty;
    EXPECT_FALSE(LoadBytes(empty));

    auto ogg = EncodeOgg(Tone(4000, 1, 44100, 300.0), 1, 44100);
    std::vector<uint8_t> headonly(ogg.begin(), ogg.begin() + 40);
    EXPECT_FALSE(LoadBytes(headonly));

    // Three channels: more than the mixer plays.
    auto three = EncodeOgg(Tone(2000, 3, 44100, 300.0), 3, 44100);
    ASSERT_FALSE(three.empty());
    EXPECT_FALSE(LoadBytes(three));

    // Nothing under that name.
    EXPECT_FALSE(SampleLoad("incbin::no_such_sound.ogg"));
}

namespace {
// Serves an Ogg whole while it is looked over: the loader reads it through to
// find where its first link ends, and the decoder then reads up to the end to
// learn the length. Once it comes back to the start after that to decode,
// the data runs dry at the middle, before the announced number of frames.
class TCutStream : public TStream {
  public:
    explicit TCutStream(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
    int Pos() override { return pos_; }
    int Size() override { return static_cast<int>(bytes_.size()); }
    int Seek(int pos) override {
        pos_ = std::clamp(pos, 0, Size());
        return pos_;
    }
    int Read(void* buf, int count) override {
        const int half = Size() / 2;
        if (phase == 1 && pos_ < half) phase = 2;
        int end = std::min(Size(), pos_ + std::max(0, count));
        if (phase == 2) end = std::min(end, half);
        const int n = std::max(0, end - pos_);
        std::memcpy(buf, bytes_.data() + pos_, static_cast<size_t>(n));
        pos_ += n;
        if (phase == 2) decoded_bytes += n;
        if (phase == 0 && pos_ == Size() && ++ends_seen == 2) phase = 1; // the decoder has seen the end
        return n;
    }
    int phase = 0;
    int ends_seen = 0;
    int decoded_bytes = 0;

  private:
    std::vector<uint8_t> bytes_;
    int pos_ = 0;
};
} // namespace

TEST(Ogg, StreamEndingEarlyGivesNull) {
    auto ogg = EncodeOgg(Tone(400000, 1, 44100, 300.0), 1, 44100);
    ASSERT_TRUE(LoadBytes(ogg));
    auto cut = std::make_shared<TCutStream>(ogg);
    auto sample = SampleLoad(TUrl(std::shared_ptr<TStream>(cut)));
    EXPECT_FALSE(sample);
    EXPECT_EQ(cut->phase, 2);           // the decoder had opened it...
    EXPECT_GT(cut->decoded_bytes, 100); // ...and was decoding when the data stopped
}

namespace {
// A stream that cannot tell where it is.
class TNoPosStream : public TStream {
  public:
    int Pos() override { return -1; }
    int Read(void*, int) override { return 0; }
};
} // namespace

TEST(Ogg, StreamWithoutPositionRaises) {
    auto stream = std::make_shared<TNoPosStream>();
    try {
        SampleLoad(TUrl(std::shared_ptr<TStream>(stream)));
        FAIL() << "no error";
    } catch (const TRuntimeError& e) {
        EXPECT_STREQ(e.what(), "Stream is not seekable");
    }
}

TEST(Ogg, DamagedChainsLoadTheFirstLinkOrNothingAndLeakNothing) {
    // Two links, the second cut off in the middle of its data: the decoder
    // used to lose the second link's header set on every load. The sample is
    // the first link.
    auto bytes = ReadFile(SourceDir() + "/fuzz/corpus/ogg/damaged_later_link.ogg");
    ASSERT_EQ(bytes.size(), 10719u);
    for (int i = 0; i < 3; ++i) {
        auto sample = LoadBytes(bytes);
        ASSERT_TRUE(sample);
        EXPECT_EQ(sample->length, 13230); // the first link's frames
        EXPECT_EQ(sample->format, SampleMono16LE);
    }
    // Damage inside the first link and between the links: no sample, and the
    // decoder's list of serial numbers is not lost either.
    bytes = ReadFile(SourceDir() + "/fuzz/corpus/ogg/garbage_between_links.ogg");
    ASSERT_EQ(bytes.size(), 5111u);
    EXPECT_FALSE(LoadBytes(bytes));
    // Data on which the decoder would seek back and read the same stretch for
    // ever: it gives up once it has read far more than there is.
    bytes = ReadFile(SourceDir() + "/fuzz/corpus/ogg/decoder_loop.ogg");
    ASSERT_EQ(bytes.size(), 10502u);
    EXPECT_FALSE(LoadBytes(bytes));
#ifdef ZAP_LEAK_CHECK
    EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0);
#endif
}

TEST(Ogg, TheGameSoundsDecode) {
    RegisterEmbeddedAssets();
    for (const char* name :
         {"incbin::snd_fiddle.ogg", "incbin::snd_pop.ogg", "incbin::snd_click.ogg", "incbin::snd_blip.ogg"}) {
        auto sample = SampleLoad(name);
        ASSERT_TRUE(sample) << name;
        EXPECT_EQ(sample->format, SampleMono16LE) << name;
        EXPECT_EQ(sample->hertz, 44100) << name;
        EXPECT_GT(sample->length, 441) << name;
        const auto* v = reinterpret_cast<const int16_t*>(sample->samples);
        EXPECT_GT(Rms(v, sample->length, 1), 100.0) << name; // not silence
    }
}
