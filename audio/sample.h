#pragma once
#include <cstdint>
#include <memory>

#include "platform/stream.h"

// Sample formats: the values stored in TAudioSample::format.
constexpr int SampleMono8 = 1;      // unsigned 8-bit, silence 128
constexpr int SampleMono16LE = 2;   // signed 16-bit, low byte first
constexpr int SampleMono16BE = 3;   // signed 16-bit, high byte first
constexpr int SampleStereo8 = 4;    // left, right: unsigned 8-bit each
constexpr int SampleStereo16LE = 5; // left, right: signed 16-bit, low byte first
constexpr int SampleStereo16BE = 6; // left, right: signed 16-bit, high byte first

// Channels and bytes per frame, indexed by format (0 is the invalid format).
extern const int SampleChannels[7];
extern const int SampleBytes[7];

// A block of PCM in memory with its rate and format. The bytes are owned
// (capacity >= 0) or borrowed from someone else (capacity -1).
class TAudioSample {
  public:
    virtual ~TAudioSample();
    TAudioSample(const TAudioSample&) = delete;
    TAudioSample& operator=(const TAudioSample&) = delete;

    uint8_t* samples = nullptr;
    int length = 0; // frames
    int hertz = 0;  // frames per second
    int format = 0;
    int capacity = 0;

    virtual std::shared_ptr<TAudioSample> Copy() const;
    virtual std::shared_ptr<TAudioSample> Convert(int format) const;

    // length * SampleBytes[format] bytes, not cleared. A format outside 0..6
    // raises "Unimplemented sample format conversion".
    static std::shared_ptr<TAudioSample> Create(int length, int hertz, int format);
    // Wraps memory that stays the caller's; it must outlive the sample.
    static std::shared_ptr<TAudioSample> CreateStatic(void* samples, int length, int hertz, int format);

    // Bytes of PCM this sample describes.
    int ByteCount() const;

  protected:
    TAudioSample() = default;
};

std::shared_ptr<TAudioSample> CreateAudioSample(int length, int hertz, int format);
std::shared_ptr<TAudioSample> CreateStaticAudioSample(void* samples, int length, int hertz, int format);

// Converts frames between any two formats through big-endian stereo 16-bit.
// Raises TRuntimeError "Unimplemented sample format conversion" for a format
// outside 1..6 on a side that has to be converted.
void ConvertSamples(const uint8_t* src, int src_format, uint8_t* dst, int dst_format, int frames);

// Sample loaders, asked newest first. Constructing one registers it for the
// rest of the run.
class TAudioSampleLoader {
  public:
    TAudioSampleLoader();
    virtual ~TAudioSampleLoader() = default;
    TAudioSampleLoader(const TAudioSampleLoader&) = delete;
    TAudioSampleLoader& operator=(const TAudioSampleLoader&) = delete;
    virtual std::shared_ptr<TAudioSample> LoadAudioSample(TStream& stream) = 0;
    TAudioSampleLoader* _succ = nullptr;
};

// Ogg Vorbis through vorbisfile, decoded into 16-bit little-endian PCM.
class TAudioSampleLoaderOGG : public TAudioSampleLoader {
  public:
    std::shared_ptr<TAudioSample> LoadAudioSample(TStream& stream) override;
};

// Starts the sample module (the Ogg loader) once; SampleLoad calls it itself.
void StartSampleLoaders();

// Decodes a sample from anything StreamOpenRead can open; null when nothing
// could. A stream without a position raises "Stream is not seekable".
std::shared_ptr<TAudioSample> SampleLoad(const TUrl& url);
