#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "platform/embed.h"
#include "platform/stream.h"

namespace {
const uint8_t kLines[] = {'a', 'b', 13, 10, 'c', 'd'};

std::shared_ptr<TStream> RamOver(std::vector<uint8_t>& bytes, int readable = 1, int writeable = 0) {
    return TRamStream::Create(bytes.data(), static_cast<int>(bytes.size()), readable, writeable);
}

// Registers a test file once; the registry keeps entries for the whole process.
void RegisterTestFiles() {
    static const uint8_t first[6006] = {1};
    static const uint8_t second[10] = {2};
    EmbedRegister("test_pop.ogg", first, sizeof first);
    EmbedRegister("test_pop.ogg", second, sizeof second);
}
} // namespace

TEST(StreamOpen, IncbinOpensAReadOnlyMemoryStreamOfTheRegisteredSize) {
    RegisterTestFiles();
    auto s = StreamOpenRead("incbin::test_pop.ogg");
    ASSERT_TRUE(s);
    EXPECT_EQ(s->Size(), 6006); // the first registration stands
    EXPECT_EQ(s->Pos(), 0);
    EXPECT_EQ(s->ReadByte(), 1);
    EXPECT_EQ(s->Eof(), 0);
    s->Seek(6005);
    s->ReadByte();
    EXPECT_EQ(s->Eof(), 1);
    EXPECT_EQ(s->Write("x", 1), 0);
    EXPECT_EQ(EmbedRegister("test_pop.ogg", nullptr, 3), 0);
    EXPECT_EQ(EmbedSize("test_pop.ogg"), 6006);
}

TEST(StreamOpen, SchemeCaseRulesAndMissingNames) {
    RegisterTestFiles();
    EXPECT_TRUE(StreamOpenRead("INCBIN::test_pop.ogg")); // the scheme ignores case
    EXPECT_TRUE(StreamOpenRead("InCbIn::test_pop.ogg"));
    EXPECT_FALSE(StreamOpenRead("incbin::TEST_POP.ogg")); // the name does not
    EXPECT_FALSE(StreamOpenRead("incbin::nothing.png"));
    EXPECT_FALSE(StreamOpenWrite("incbin::test_pop.ogg"));
    EXPECT_FALSE(StreamOpen("incbin::test_pop.ogg", 1, 1));
    EXPECT_FALSE(StreamOpenRead("::test_pop.ogg"));
    EXPECT_FALSE(StreamOpenRead("nosuchscheme::x"));
    EXPECT_FALSE(StreamOpenRead(""));
    EXPECT_FALSE(StreamOpenRead("/definitely/not/a/file/here.bin"));
}

TEST(StreamOpen, PlainPathsAreFilesAndWriteReadBack) {
    const auto path = std::filesystem::temp_directory_path() / "zap_stream_test.bin";
    {
        auto w = StreamOpenWrite(path.string());
        ASSERT_TRUE(w);
        w->WriteInt(0x12345678);
        w->WriteLine("hello");
        w->WriteDouble(2.5);
        EXPECT_EQ(w->Size(), 4 + 7 + 8);
        w->Close();
        EXPECT_EQ(w->Size(), 0);
    }
    auto r = StreamOpenRead(path.string());
    ASSERT_TRUE(r);
    EXPECT_EQ(r->Size(), 19);
    EXPECT_EQ(r->ReadInt(), 0x12345678);
    EXPECT_EQ(r->ReadLine(), "hello");
    EXPECT_EQ(r->ReadDouble(), 2.5);
    EXPECT_EQ(r->Eof(), 1);
    EXPECT_THROW(r->ReadByte(), TStreamReadException);
    r->Close();
    EXPECT_EQ(StreamLoadBytes(path.string()).size(), 19u);
    std::filesystem::remove(path);
}

TEST(StreamOpen, WrappedCallerStreamSurvivesClose) {
    std::vector<uint8_t> bytes = {1, 2, 3, 4};
    auto inner = RamOver(bytes);
    auto outer = StreamOpenRead(inner);
    ASSERT_TRUE(outer);
    EXPECT_EQ(outer->ReadByte(), 1);
    outer->Close();
    EXPECT_EQ(inner->ReadByte(), 2); // the caller's stream is still usable, position kept
    // The closed wrapper no longer reaches the inner stream.
    EXPECT_THROW(outer->ReadByte(), TRuntimeError);
}

TEST(RamStream, SeekClampsAndShortReads) {
    std::vector<uint8_t> bytes(50, 7);
    auto s = RamOver(bytes);
    EXPECT_EQ(s->Seek(-5), 0);
    EXPECT_EQ(s->Seek(60), 50);
    s->Seek(40);
    uint8_t buf[100];
    EXPECT_EQ(s->Read(buf, 100), 10);
    s->Seek(40);
    EXPECT_THROW(s->ReadBytes(buf, 100), TStreamReadException);
    s->Seek(40);
    EXPECT_THROW(s->SkipBytes(11), TStreamReadException);
    EXPECT_EQ(s->Read(buf, 0), 0);
    EXPECT_EQ(s->Read(buf, -3), 0);
}

TEST(RamStream, WritesOnlyWhenWriteableAndNeverPastTheEnd) {
    std::vector<uint8_t> bytes(4, 0);
    auto ro = RamOver(bytes, 1, 0);
    EXPECT_EQ(ro->Write("abcd", 4), 0);
    auto rw = RamOver(bytes, 1, 1);
    rw->Seek(2);
    EXPECT_EQ(rw->Write("xyz", 3), 2);
    EXPECT_EQ(bytes[3], 'y');
    EXPECT_THROW(rw->WriteByte(1), TStreamWriteException);
}

TEST(Stream, TypedValuesAreLittleEndianAndUnsignedWhereSmall) {
    std::vector<uint8_t> bytes = {0xff, 0xfe, 0xff, 0x01, 0x02, 0x03, 0x04};
    auto s = RamOver(bytes);
    EXPECT_EQ(s->ReadByte(), 255);
    EXPECT_EQ(s->ReadShort(), 0xfffe);
    EXPECT_EQ(s->ReadInt(), 0x04030201);
}

TEST(Stream, ReadLineHandlesCrLfNulAndEnd) {
    std::vector<uint8_t> bytes(kLines, kLines + sizeof kLines);
    auto s = RamOver(bytes);
    EXPECT_EQ(s->ReadLine(), "ab");
    EXPECT_EQ(s->ReadLine(), "cd");
    EXPECT_EQ(s->ReadLine(), "");

    std::vector<uint8_t> mixed = {'x', 13, 'y', 0, 'z', 10, 10};
    auto m = RamOver(mixed);
    EXPECT_EQ(m->ReadLine(), "xy"); // carriage returns dropped anywhere, NUL ends the line
    EXPECT_EQ(m->ReadLine(), "z");
    EXPECT_EQ(m->ReadLine(), "");

    std::vector<uint8_t> longline(5000, 'q');
    auto l = RamOver(longline);
    EXPECT_EQ(l->ReadLine().size(), 5000u);
}

TEST(Stream, BaseStreamRefusesReadAndWrite) {
    TStream nothing;
    uint8_t b;
    EXPECT_THROW(nothing.Read(&b, 1), TRuntimeError);
    EXPECT_THROW(nothing.Write(&b, 1), TRuntimeError);
    EXPECT_EQ(nothing.Pos(), -1);
    EXPECT_EQ(nothing.Seek(3), -1);
    EXPECT_THROW(nothing.ReadObject(), TRuntimeError);
}

TEST(Bank, StreamWritesGrowTheBank) {
    auto bank = TBank::Create(4);
    auto s = CreateBankStream(bank);
    s->Seek(2);
    s->WriteInt(0x01020304);
    EXPECT_EQ(bank->Size(), 6);
    EXPECT_EQ(bank->PeekInt(2), 0x01020304);
    EXPECT_GE(bank->Capacity(), 6);
    EXPECT_EQ(s->Seek(100), 6);
    EXPECT_EQ(s->Seek(-1), 0);

    auto empty = CreateBankStream(nullptr);
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->Size(), 0);
    EXPECT_EQ(empty->Write("abc", 3), 3);
    EXPECT_EQ(empty->Bank()->Size(), 3);
}

TEST(Bank, ResizeGrowsByHalfAgainAndKeepsContents) {
    auto bank = TBank::Create(100);
    bank->PokeByte(99, 42);
    bank->Resize(101);
    EXPECT_EQ(bank->Capacity(), 150);
    EXPECT_EQ(bank->PeekByte(99), 42);
    bank->Resize(10);
    EXPECT_EQ(bank->Size(), 10);
    EXPECT_EQ(bank->Capacity(), 150);
    bank->Resize(400);
    EXPECT_EQ(bank->Capacity(), 400);
}

TEST(Bank, GrowingAStaticBankCopiesAndLeavesTheWrappedMemoryAlone) {
    uint8_t memory[4] = {9, 8, 7, 6};
    auto bank = TBank::CreateStatic(memory, 4);
    EXPECT_EQ(bank->Capacity(), -1);
    bank->Resize(8);
    EXPECT_NE(bank->Buf(), memory);
    EXPECT_EQ(bank->PeekByte(3), 6);
    bank->PokeByte(0, 1);
    EXPECT_EQ(memory[0], 9);

    // Shrinking one copies only what fits (AddressSanitizer saw the old size copied).
    uint8_t block[100];
    for (int i = 0; i < 100; ++i)
        block[i] = static_cast<uint8_t>(i);
    auto shrunk = TBank::CreateStatic(block, 100);
    shrunk->Resize(10);
    EXPECT_EQ(shrunk->Size(), 10);
    EXPECT_NE(shrunk->Buf(), block);
    EXPECT_EQ(shrunk->PeekByte(9), 9);
}

TEST(Bank, PeekAndPokeOutsideTheBankAreRefused) {
    auto bank = TBank::Create(8);
    EXPECT_THROW(bank->PeekInt(5), TRuntimeError);
    EXPECT_THROW(bank->PokeLong(1, 0), TRuntimeError);
    EXPECT_THROW(bank->PeekByte(-1), TRuntimeError);
    EXPECT_NO_THROW(bank->PokeDouble(0, 1.5));
    EXPECT_EQ(bank->PeekDouble(0), 1.5);
    bank->PokeFloat(4, 0.25f);
    EXPECT_EQ(bank->PeekFloat(4), 0.25f);
    auto other = TBank::Create(4);
    EXPECT_THROW(BankCopy(*bank, 6, *other, 0, 4), TRuntimeError);
    BankCopy(*bank, 4, *other, 0, 4);
    EXPECT_EQ(other->PeekFloat(0), 0.25f);
}

TEST(Bank, OpensAsAUrlAndSavesAndLoads) {
    auto bank = TBank::Create(3);
    bank->PokeByte(0, 'z');
    auto s = StreamOpenRead(bank);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->ReadByte(), 'z');

    const auto path = (std::filesystem::temp_directory_path() / "zap_bank_test.bin").string();
    EXPECT_EQ(bank->Save(path), 1);
    auto loaded = TBank::Load(path);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->Size(), 3);
    EXPECT_EQ(loaded->PeekByte(0), 'z');
    std::filesystem::remove(path);
    EXPECT_FALSE(TBank::Load("/no/such/bank"));
    EXPECT_EQ(bank->Save("incbin::x"), 0);
}

TEST(Stream, LoadBytesAndCopy) {
    std::vector<uint8_t> bytes(5000);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(i * 7);
    auto src = RamOver(bytes);
    EXPECT_EQ(StreamLoadBytes(src), bytes);
    EXPECT_THROW(StreamLoadBytes("incbin::missing"), TStreamReadException);
    EXPECT_THROW(StreamSaveText("x", "incbin::missing"), TStreamWriteException);

    src->Seek(0);
    auto dst = CreateBankStream(nullptr);
    StreamCopy(*src, *dst, 333);
    ASSERT_EQ(dst->Bank()->Size(), 5000);
    EXPECT_EQ(std::memcmp(dst->Bank()->Buf(), bytes.data(), 5000), 0);

    src->Seek(10);
    auto part = CreateBankStream(nullptr);
    StreamCopyBytes(*src, *part, 100, 30);
    EXPECT_EQ(part->Bank()->Size(), 100);
    EXPECT_EQ(part->Bank()->PeekByte(0), bytes[10]);
    EXPECT_THROW(StreamCopyBytes(*src, *part, 100000, 64), TStreamReadException);
}
