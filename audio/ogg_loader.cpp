#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <exception>
#include <vector>

#include <vorbis/vorbisfile.h>

#include "audio/sample.h"
#include "platform/error.h"

// ---- Ogg Vorbis through vorbisfile ------------------------------------------

namespace {

// What the callbacks work on. vorbisfile is C: an exception must not unwind
// through it, so the callbacks keep the first one and the loader rethrows it
// once the decoder has returned.
//
// The decoder is shown the stream's first link only: the data ends, for it,
// where a page of a new link begins. A sample is the first link's frames in
// any case, and vorbisfile loses a later link's whole header set (some 34 KB)
// when it opens a chained stream whose later link turns out damaged.
struct TOggSource {
    TStream* stream;
    std::exception_ptr error;
    int start = 0;        // where the Ogg data begins
    int limit = -1;       // where the first link ends; -1 until the decoder first asks for the end
    bool damaged = false; // no use: the decoder is told so when it asks where it is
    // Bytes the decoder may still read. On some damaged data vorbisfile seeks
    // back and reads the same stretch for ever; once the budget is spent,
    // seeks fail and reads find nothing, which ends every such loop.
    int64_t budget = 0;
};

uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// Reads exactly count bytes at pos; false when the stream has fewer.
bool ReadAt(TStream& stream, int pos, uint8_t* buffer, int count) {
    if (stream.Seek(pos) != pos) return false;
    return stream.Read(buffer, count) == count;
}

// The next Ogg page capture pattern at or after pos, or -1.
int FindCapture(TStream& stream, int pos, int size) {
    uint8_t chunk[4096];
    while (pos + 4 <= size) {
        const int n = std::min(static_cast<int>(sizeof chunk), size - pos);
        if (!ReadAt(stream, pos, chunk, n)) return -1;
        for (int i = 0; i + 4 <= n; ++i)
            if (std::memcmp(chunk + i, "OggS", 4) == 0) return pos + i;
        pos += n - 3; // a pattern may straddle two chunks
    }
    return -1;
}

// Where the first link of the Ogg data from start to size ends: at the first
// page, after the link's opening pages, that starts a logical stream or
// belongs to one the link did not open, or where the data stops being whole
// pages once every stream of the link has ended. Damage (bytes that are no
// page, or a page whose checksum is wrong) before that makes the data no use:
// -1. vorbisfile loses memory on some damaged data, and a hole in the data
// gives no sample anyway.
int FirstLinkEnd(TStream& stream, int start, int size) {
    std::vector<uint32_t> serials, ended;
    bool opening = true; // still among the link's opening (BOS) pages
    std::vector<uint8_t> page;
    int pos = start;
    while (pos + 27 <= size) {
        uint8_t header[27];
        if (!ReadAt(stream, pos, header, 27)) break;
        const int segments = header[26];
        bool whole = std::memcmp(header, "OggS", 4) == 0 && header[4] == 0 && pos + 27 + segments <= size;
        int length = 0;
        if (whole) {
            page.resize(static_cast<size_t>(27 + segments));
            whole = ReadAt(stream, pos, page.data(), 27 + segments);
            length = 27 + segments;
            for (int i = 0; whole && i < segments; ++i)
                length += page[static_cast<size_t>(27 + i)];
            if (whole && pos + length > size) break; // cut short at the end: the pages before it stand
            page.resize(static_cast<size_t>(length));
            whole = whole && ReadAt(stream, pos, page.data(), length);
        }
        if (whole) {
            ogg_page og{page.data(), 27 + segments, page.data() + 27 + segments, length - 27 - segments};
            const uint32_t stored = Le32(page.data() + 22);
            ogg_page_checksum_set(&og);
            whole = Le32(page.data() + 22) == stored;
        }
        if (!whole && serials.empty()) {
            // Bytes before the first page (a tag, say) are skipped, as the
            // decoder skips them.
            pos = FindCapture(stream, pos + 1, size);
            if (pos < 0) return size;
            continue;
        }
        if (!whole) {
            // Damage: after the link's last page it only ends the link.
            const bool done = !serials.empty() && ended.size() == serials.size();
            return done ? pos : -1;
        }
        const bool bos = (header[5] & 2) != 0;
        const bool eos = (header[5] & 4) != 0;
        const uint32_t serial = Le32(header + 14);
        const bool known = std::find(serials.begin(), serials.end(), serial) != serials.end();
        if (bos && opening && !known) {
            serials.push_back(serial);
        } else if (bos || !known) {
            return pos; // a new link starts here
        } else {
            opening = false;
        }
        if (eos && std::find(ended.begin(), ended.end(), serial) == ended.end()) ended.push_back(serial);
        pos += length;
    }
    return pos < size ? pos : size;
}

size_t OggRead(void* buffer, size_t size, size_t count, void* datasource) {
    auto* source = static_cast<TOggSource*>(datasource);
    if (source->error || size == 0 || count == 0) return 0;
    try {
        // Every call costs a block, so that reads finding nothing count too;
        // a spent budget is a read error (errno), which ends the decoder's
        // loops where an end of data would not.
        source->budget -= 2048;
        if (source->budget <= 0) {
            errno = EIO;
            return 0;
        }
        size_t wanted = std::min(size * count, static_cast<size_t>(INT_MAX)) / size * size;
        if (source->limit >= 0) {
            const int left = source->limit - source->stream->Pos();
            wanted = left > 0 ? std::min(wanted, static_cast<size_t>(left)) / size * size : 0;
            if (wanted == 0) return 0;
        }
        const int got = source->stream->Read(buffer, static_cast<int>(wanted));
        if (got > 0) source->budget -= got;
        return got > 0 ? static_cast<size_t>(got) / size : 0;
    } catch (...) {
        source->error = std::current_exception();
        return 0;
    }
}

int OggSeek(void* datasource, ogg_int64_t offset, int whence) {
    auto* source = static_cast<TOggSource*>(datasource);
    if (source->error || source->budget <= 0) return -1;
    try {
        // Positions are 32-bit here; only the low half of the offset counts.
        const int low = static_cast<int>(static_cast<uint32_t>(static_cast<uint64_t>(offset)));
        int target = 0;
        switch (whence) {
        case SEEK_SET:
            target = low;
            break;
        case SEEK_CUR:
            target =
                static_cast<int>(static_cast<unsigned>(source->stream->Pos()) + static_cast<unsigned>(low));
            break;
        case SEEK_END:
            // The decoder asks for the end once it has the first link's
            // headers: the end it sees is the first link's.
            if (source->limit < 0) {
                source->limit = FirstLinkEnd(*source->stream, source->start, source->stream->Size());
                source->damaged = source->limit < 0;
                if (source->damaged) source->limit = source->start;
            }
            target = static_cast<int>(static_cast<unsigned>(source->limit) + static_cast<unsigned>(low));
            break;
        default:
            return -1;
        }
        return source->stream->Seek(target) >= 0 ? 0 : -1;
    } catch (...) {
        source->error = std::current_exception();
        return -1;
    }
}

int OggClose(void*) {
    return 0; // SampleLoad closes the stream
}

long OggTell(void* datasource) {
    auto* source = static_cast<TOggSource*>(datasource);
    if (source->error || source->damaged) return -1;
    try {
        return source->stream->Pos();
    } catch (...) {
        source->error = std::current_exception();
        return -1;
    }
}

// Releases the decoder on every way out.
struct TVorbisFile {
    OggVorbis_File vf;
    bool open = false;
    ~TVorbisFile() {
        if (open) ov_clear(&vf);
    }
};

} // namespace

std::shared_ptr<TAudioSample> TAudioSampleLoaderOGG::LoadAudioSample(TStream& stream) {
    TOggSource source{&stream, nullptr};
    source.start = stream.Pos();
    // Decoding reads the data a few times over (the link's end, the length,
    // then the frames); far more than that is a decoder going round in circles.
    source.budget = 16 * static_cast<int64_t>(std::max(0, stream.Size() - source.start)) + (1 << 20);
    const ov_callbacks callbacks{OggRead, OggSeek, OggClose, OggTell};
    TVorbisFile file;
    std::memset(&file.vf, 0, sizeof file.vf);
    const int opened = ov_open_callbacks(&source, &file.vf, nullptr, 0, callbacks);
    if (opened != 0) {
        // A failed open has released its own state already.
        if (source.error) std::rethrow_exception(source.error);
        return nullptr;
    }
    file.open = true;

    const ogg_int64_t frames = ov_pcm_total(&file.vf, 0);
    const vorbis_info* info = ov_info(&file.vf, -1);
    if (source.error) std::rethrow_exception(source.error);
    // More than two channels is beyond what the mixer plays.
    if (!info || info->channels < 1 || info->channels > 2 || info->rate <= 0 || info->rate > INT_MAX)
        return nullptr;
    const int channels = info->channels;
    const int hertz = static_cast<int>(info->rate);
    if (frames < 0 || frames > INT_MAX / (2 * channels)) return nullptr;
    const int total = static_cast<int>(frames) * 2 * channels;

    // The announced length may be a lie in damaged data, so the buffer grows
    // with what really decodes instead of trusting it up front.
    std::vector<uint8_t> pcm;
    pcm.reserve(static_cast<size_t>(std::min(total, 1 << 20)));
    int filled = 0;
    while (filled < total) {
        const int want = std::min(total - filled, 1 << 16);
        pcm.resize(static_cast<size_t>(filled + want));
        int link = 0;
        const long got =
            ov_read(&file.vf, reinterpret_cast<char*>(pcm.data() + filled), want, 0, 2, 1, &link);
        if (source.error) std::rethrow_exception(source.error);
        if (got < 0) return nullptr;
        // The stream ended before its announced length: damaged, so no sample.
        if (got == 0) return nullptr;
        // A chained stream whose next link changes the layout would scramble
        // the frames: refuse it.
        const vorbis_info* now = ov_info(&file.vf, link);
        if (!now || now->channels != channels) return nullptr;
        filled += static_cast<int>(got);
    }

    auto sample = TAudioSample::Create(static_cast<int>(frames), hertz,
                                       channels == 1 ? SampleMono16LE : SampleStereo16LE);
    if (total > 0) std::memcpy(sample->samples, pcm.data(), static_cast<size_t>(total));
    return sample;
}
