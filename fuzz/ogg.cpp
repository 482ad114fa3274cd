// The Ogg Vorbis sample loader on arbitrary bytes: a sample or null, never a
// crash, hang or leak. What loads is converted and played through the mixer
// the way a sound would be.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "audio/audiodevice.h"
#include "audio/mixer.h"
#include "audio/sample.h"
#include "platform/stream.h"

namespace {
class fuzzdevice : public audiodevice {
  public:
    int blockvalues() override { return 1024; }
    int open() override { return 0; }
    void close() override {}
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1 << 20)) return 0;
    auto bank = TBank::Create(static_cast<int>(size));
    if (size) std::memcpy(bank->Buf(), data, size);
    std::shared_ptr<TAudioSample> sample = SampleLoad(TUrl(bank));
    if (!sample) return 0;
    if (sample->format != SampleMono16LE && sample->format != SampleStereo16LE) __builtin_trap();
    if (sample->length < 0 || sample->hertz <= 0) __builtin_trap();
    if (sample->capacity != sample->length * SampleBytes[sample->format]) __builtin_trap();
    if (static_cast<int64_t>(sample->length) > 4 * 44100) return 0; // keep each run short

    auto common = sample->Convert(SampleStereo16BE);
    auto mono8 = common->Convert(SampleMono8);

    if (!MixCurrentMixer()) MixOpen(std::make_unique<fuzzdevice>());
    const int channels = SampleChannels[sample->format];
    mixsample* s16 =
        MixCreateSound(sample->length, 16, channels, sample->hertz, sample->samples, size & 1 ? -1 : 0);
    mixsample* s8 = MixCreateSound(mono8->length, 8, 1, mono8->hertz, mono8->samples, 0);
    const int h = MixPlaySound(s16, 0, 0);
    MixSetChannelRate(h, 0.25f + static_cast<float>(size % 16) / 4.0f);
    MixSetChannelPan(h, -1.0f + static_cast<float>(size % 5) / 2.0f);
    const int h8 = MixPlaySound(s8, 0, 0);
    std::vector<int16_t> out(1024);
    for (int i = 0; i < 8; ++i)
        MixCurrentMixer()->mix16(out.data(), 1024);
    MixStopChannel(h);
    MixStopChannel(h8);
    MixFreeSound(s16);
    MixFreeSound(s8);
    return 0;
}
