// The fifteen files compiled into the program: each is registered under its
// name with the size and bytes of the file in assets/, and has the header of
// the kind the game loads it as. Only the headers are parsed here; decoding is
// covered by the picture, font and sound loaders' own tests.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "assets/embedded_assets.h"
#include "platform/embed.h"
#include "platform/stream.h"
#include "support/test_support.h"

namespace {

enum class Kind { Font, Png, Ogg };

struct Asset {
    const char* name;
    Kind kind;
    uint32_t width = 0, height = 0; // pictures
    int colourType = 0;             // PNG colour type: 0 grey, 2 RGB, 6 RGB with alpha
};

const Asset kAssets[] = {
    {"fnt_manaspc.ttf", Kind::Font},
    {"fnt_digital.ttf", Kind::Font},
    {"gfx_base.png", Kind::Png, 64, 32, 2},
    {"gfx_base_charge.png", Kind::Png, 192, 32, 2},
    {"gfx_base_static.png", Kind::Png, 192, 32, 2},
    {"gfx_bubble.png", Kind::Png, 128, 128, 6},
    {"gfx_ring.png", Kind::Png, 128, 128, 2},
    {"gfx_spark1.png", Kind::Png, 128, 128, 2},
    {"gfx_spark2.png", Kind::Png, 128, 128, 2},
    {"gfx_ring_dark.png", Kind::Png, 128, 128, 0},
    {"gfx_ring_light.png", Kind::Png, 128, 128, 2},
    {"snd_fiddle.ogg", Kind::Ogg},
    {"snd_pop.ogg", Kind::Ogg},
    {"snd_click.ogg", Kind::Ogg},
    {"snd_blip.ogg", Kind::Ogg},
};

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t Be32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}
uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

// The registered bytes of one file (empty when it is not registered).
std::vector<uint8_t> Embedded(const char* name) {
    const auto* data = static_cast<const uint8_t*>(EmbedData(name));
    const int size = EmbedSize(name);
    if (!data || size <= 0) return {};
    return {data, data + size};
}

void CheckPng(const Asset& a, const std::vector<uint8_t>& b) {
    static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 13, 10, 26, 10};
    ASSERT_GE(b.size(), 33u) << a.name;
    EXPECT_EQ(0, std::memcmp(b.data(), kSignature, 8)) << a.name;
    // The first chunk is IHDR: length 13, width, height, bit depth, colour type.
    EXPECT_EQ(13u, Be32(&b[8])) << a.name;
    EXPECT_EQ(0, std::memcmp(&b[12], "IHDR", 4)) << a.name;
    EXPECT_EQ(a.width, Be32(&b[16])) << a.name;
    EXPECT_EQ(a.height, Be32(&b[20])) << a.name;
    EXPECT_EQ(8, b[24]) << a.name << " bit depth";
    EXPECT_EQ(a.colourType, b[25]) << a.name << " colour type";
    // The file ends with the IEND chunk, so it was not cut short.
    ASSERT_GE(b.size(), 45u);
    EXPECT_EQ(0, std::memcmp(&b[b.size() - 8], "IEND", 4)) << a.name;
}

void CheckOgg(const Asset& a, const std::vector<uint8_t>& b) {
    // First page: "OggS", stream version 0, beginning-of-stream flag, then the
    // segment table and the Vorbis identification packet.
    ASSERT_GE(b.size(), 58u) << a.name;
    EXPECT_EQ(0, std::memcmp(b.data(), "OggS", 4)) << a.name;
    EXPECT_EQ(0, b[4]) << a.name;
    EXPECT_TRUE(b[5] & 0x02) << a.name << " first page lacks the beginning-of-stream flag";
    const size_t segments = b[26];
    const size_t packet = 27 + segments;
    ASSERT_GE(b.size(), packet + 16) << a.name;
    EXPECT_EQ(1, b[packet]) << a.name << " first packet is not the identification header";
    EXPECT_EQ(0, std::memcmp(&b[packet + 1], "vorbis", 6)) << a.name;
    EXPECT_EQ(0u, Le32(&b[packet + 7])) << a.name << " Vorbis version";
    EXPECT_EQ(1, b[packet + 11]) << a.name << " channels";
    EXPECT_EQ(44100u, Le32(&b[packet + 12])) << a.name << " sample rate";
    // The last page carries the end-of-stream flag.
    size_t last = std::string::npos;
    for (size_t i = 0; i + 27 <= b.size(); ++i)
        if (std::memcmp(&b[i], "OggS", 4) == 0) last = i;
    ASSERT_NE(std::string::npos, last);
    EXPECT_TRUE(b[last + 5] & 0x04) << a.name << " last page lacks the end-of-stream flag";
}

void CheckFont(const Asset& a, const std::vector<uint8_t>& b) {
    ASSERT_GE(b.size(), 12u) << a.name;
    const uint32_t version = Be32(b.data());
    EXPECT_TRUE(version == 0x00010000u || version == 0x74727565u) << a.name << " is not TrueType";
    // The table directory lists the tables a glyph renderer needs, each within the file.
    const unsigned tables = unsigned(b[4]) << 8 | b[5];
    ASSERT_GE(b.size(), 12u + 16u * tables) << a.name;
    int needed = 0;
    for (unsigned i = 0; i < tables; ++i) {
        const uint8_t* rec = &b[12 + 16 * i];
        const std::string tag(reinterpret_cast<const char*>(rec), 4);
        const uint64_t end = uint64_t(Be32(rec + 8)) + Be32(rec + 12);
        EXPECT_LE(end, b.size()) << a.name << " table " << tag;
        for (const char* t : {"cmap", "glyf", "head", "hhea", "hmtx", "loca", "maxp"})
            if (tag == t) ++needed;
    }
    EXPECT_EQ(7, needed) << a.name;
}

} // namespace

TEST(EmbeddedAssets, RegistersEveryFileWithItsSizeAndBytes) {
    EXPECT_EQ(15, RegisterEmbeddedAssets());
    for (const Asset& a : kAssets) {
        const std::vector<uint8_t> onDisk = ReadFile(SourceDir() + "/assets/" + a.name);
        ASSERT_FALSE(onDisk.empty()) << "assets/" << a.name << " is missing";
        EXPECT_EQ(int(onDisk.size()), EmbedSize(a.name)) << a.name;
        EXPECT_TRUE(Embedded(a.name) == onDisk) << a.name << " differs from the file on disk";
    }
    // Names are matched exactly.
    EXPECT_EQ(0, EmbedSize("GFX_BASE.PNG"));
    EXPECT_EQ(0, EmbedSize("assets/gfx_base.png"));
}

TEST(EmbeddedAssets, FilesHaveTheHeadersOfTheirKind) {
    RegisterEmbeddedAssets();
    for (const Asset& a : kAssets) {
        const std::vector<uint8_t> b = Embedded(a.name);
        ASSERT_FALSE(b.empty()) << a.name << " is not registered";
        switch (a.kind) {
        case Kind::Png:
            CheckPng(a, b);
            break;
        case Kind::Ogg:
            CheckOgg(a, b);
            break;
        case Kind::Font:
            CheckFont(a, b);
            break;
        }
    }
}

TEST(EmbeddedAssets, OpenAsIncbinStreams) {
    RegisterEmbeddedAssets();
    for (const Asset& a : kAssets) {
        const std::vector<uint8_t> bytes = StreamLoadBytes(std::string("incbin::") + a.name);
        EXPECT_EQ(Embedded(a.name), bytes) << a.name;
    }
}
