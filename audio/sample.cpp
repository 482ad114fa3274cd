#include "audio/sample.h"

#include <cstring>
#include <vector>

#include "platform/error.h"

const int SampleChannels[7] = {0, 1, 1, 1, 2, 2, 2};
const int SampleBytes[7] = {0, 1, 2, 2, 2, 4, 4};

namespace {

[[noreturn]] void Unimplemented() {
    throw TRuntimeError("Unimplemented sample format conversion");
}

bool ValidFormat(int format) {
    return format >= 1 && format <= 6;
}

// The common form is big-endian stereo 16-bit: L high, L low, R high, R low.
void PutCommon(uint8_t* dst, int left, int right) {
    dst[0] = static_cast<uint8_t>((left >> 8) & 0xff);
    dst[1] = static_cast<uint8_t>(left & 0xff);
    dst[2] = static_cast<uint8_t>((right >> 8) & 0xff);
    dst[3] = static_cast<uint8_t>(right & 0xff);
}

int Signed16(int high, int low) {
    return static_cast<int16_t>(static_cast<uint16_t>((high << 8) | low));
}

void ToCommon(const uint8_t* src, int format, uint8_t* dst, int frames) {
    for (int i = 0; i < frames; ++i, dst += 4) {
        switch (format) {
        case SampleMono8: {
            const int v = src[i] * 257 - 32768;
            PutCommon(dst, v, v);
            break;
        }
        case SampleMono16LE: {
            const int v = Signed16(src[2 * i + 1], src[2 * i]);
            PutCommon(dst, v, v);
            break;
        }
        case SampleMono16BE: {
            const int v = Signed16(src[2 * i], src[2 * i + 1]);
            PutCommon(dst, v, v);
            break;
        }
        case SampleStereo8:
            PutCommon(dst, src[2 * i] * 257 - 32768, src[2 * i + 1] * 257 - 32768);
            break;
        case SampleStereo16LE: {
            const uint8_t* s = src + 4 * i;
            PutCommon(dst, Signed16(s[1], s[0]), Signed16(s[3], s[2]));
            break;
        }
        default:
            Unimplemented();
        }
    }
}

void FromCommon(const uint8_t* src, uint8_t* dst, int format, int frames) {
    for (int i = 0; i < frames; ++i, src += 4) {
        const int left = Signed16(src[0], src[1]);
        const int right = Signed16(src[2], src[3]);
        const int mono = (left + right) / 2; // C division truncates toward zero
        switch (format) {
        case SampleMono8:
            dst[i] = static_cast<uint8_t>((mono + 32768) / 257);
            break;
        case SampleMono16LE:
            dst[2 * i] = static_cast<uint8_t>(mono & 0xff);
            dst[2 * i + 1] = static_cast<uint8_t>((mono >> 8) & 0xff);
            break;
        case SampleMono16BE:
            dst[2 * i] = static_cast<uint8_t>((mono >> 8) & 0xff);
            dst[2 * i + 1] = static_cast<uint8_t>(mono & 0xff);
            break;
        case SampleStereo8:
            dst[2 * i] = static_cast<uint8_t>((left + 32768) / 257);
            dst[2 * i + 1] = static_cast<uint8_t>((right + 32768) / 257);
            break;
        case SampleStereo16LE: {
            uint8_t* d = dst + 4 * i;
            d[0] = src[1];
            d[1] = src[0];
            d[2] = src[3];
            d[3] = src[2];
            break;
        }
        default:
            Unimplemented();
        }
    }
}

} // namespace

TAudioSample::~TAudioSample() {
    if (capacity >= 0) delete[] samples;
}

int TAudioSample::ByteCount() const {
    if (format < 0 || format > 6 || length <= 0) return 0;
    return length * SampleBytes[format];
}

std::shared_ptr<TAudioSample> TAudioSample::Create(int length, int hertz, int format) {
    if (format < 0 || format > 6) Unimplemented();
    if (length < 0) length = 0;
    std::shared_ptr<TAudioSample> sample(new TAudioSample());
    sample->length = length;
    sample->hertz = hertz;
    sample->format = format;
    sample->capacity = length * SampleBytes[format];
    sample->samples = new uint8_t[sample->capacity > 0 ? sample->capacity : 1];
    return sample;
}

std::shared_ptr<TAudioSample> TAudioSample::CreateStatic(void* samples, int length, int hertz, int format) {
    std::shared_ptr<TAudioSample> sample(new TAudioSample());
    sample->samples = static_cast<uint8_t*>(samples);
    sample->length = length;
    sample->hertz = hertz;
    sample->format = format;
    sample->capacity = -1;
    return sample;
}

std::shared_ptr<TAudioSample> TAudioSample::Copy() const {
    auto copy = Create(length, hertz, format);
    const int bytes = ByteCount();
    if (bytes > 0) std::memcpy(copy->samples, samples, static_cast<size_t>(bytes));
    return copy;
}

std::shared_ptr<TAudioSample> TAudioSample::Convert(int new_format) const {
    auto converted = Create(length, hertz, new_format);
    ConvertSamples(samples, format, converted->samples, new_format, length);
    return converted;
}

std::shared_ptr<TAudioSample> CreateAudioSample(int length, int hertz, int format) {
    return TAudioSample::Create(length, hertz, format);
}

std::shared_ptr<TAudioSample> CreateStaticAudioSample(void* samples, int length, int hertz, int format) {
    return TAudioSample::CreateStatic(samples, length, hertz, format);
}

void ConvertSamples(const uint8_t* src, int src_format, uint8_t* dst, int dst_format, int frames) {
    if (frames <= 0) return;
    if (src_format == dst_format) {
        if (src_format < 0 || src_format > 6) Unimplemented();
        std::memcpy(dst, src, static_cast<size_t>(frames) * static_cast<size_t>(SampleBytes[src_format]));
        return;
    }
    if (src_format == SampleStereo16BE) {
        FromCommon(src, dst, dst_format, frames);
        return;
    }
    if (dst_format == SampleStereo16BE) {
        ToCommon(src, src_format, dst, frames);
        return;
    }
    // Check the destination before the work, so a bad request fails whole.
    if (!ValidFormat(dst_format)) Unimplemented();
    std::vector<uint8_t> common(static_cast<size_t>(frames) * 4);
    ToCommon(src, src_format, common.data(), frames);
    FromCommon(common.data(), dst, dst_format, frames);
}

// ---- The loader registry ----------------------------------------------------

namespace {

struct TSampleState {
    TAudioSampleLoader* loaders = nullptr; // newest first
};

TSampleState& State() {
    static TSampleState state;
    return state;
}

} // namespace

TAudioSampleLoader::TAudioSampleLoader() {
    TSampleState& s = State();
    _succ = s.loaders;
    s.loaders = this;
}

void StartSampleLoaders() {
    // The one loader this program has lives for the whole run.
    static TAudioSampleLoaderOGG ogg_loader;
}

std::shared_ptr<TAudioSample> SampleLoad(const TUrl& url) {
    StartSampleLoaders();
    std::shared_ptr<TStream> stream = StreamOpenRead(url);
    if (!stream) return nullptr;
    const int start = stream->Pos();
    if (start == -1) {
        stream->Close();
        throw TRuntimeError("Stream is not seekable");
    }
    std::shared_ptr<TAudioSample> sample;
    try {
        for (TAudioSampleLoader* loader = State().loaders; loader && !sample; loader = loader->_succ) {
            stream->Seek(start);
            try {
                sample = loader->LoadAudioSample(*stream);
            } catch (const TStreamException&) {
                // Ran out of data in this loader's eyes: let the next one try.
            }
        }
    } catch (...) {
        stream->Close();
        throw;
    }
    stream->Close();
    return sample;
}
