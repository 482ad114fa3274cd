// Drives the stream and bank operations with arbitrary data: the first bytes
// choose operations, the rest is the stream's content. Nothing may read or
// write outside a buffer, whatever the input.
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 8) return 0;
    const size_t ops = std::min<size_t>(size / 2, 64);
    std::vector<uint8_t> content(data + ops, data + size);
    auto ram = TRamStream::Create(content.data(), static_cast<int>(content.size()), 1, data[0] & 1);
    auto bank = TBank::Create(static_cast<int>(content.size()));
    if (!content.empty()) std::memcpy(bank->Buf(), content.data(), content.size());
    auto bank_stream = CreateBankStream(bank);
    uint8_t buf[4096];
    for (size_t i = 1; i + 1 < ops; i += 2) {
        TStream& s = (data[i] & 0x80) ? static_cast<TStream&>(*bank_stream) : static_cast<TStream&>(*ram);
        const int arg =
            static_cast<int>(data[i + 1]) * ((data[i] & 0x40) ? 37 : 1) - ((data[i] & 0x20) ? 200 : 0);
        try {
            switch (data[i] & 0x0f) {
            case 0:
                s.ReadLine();
                break;
            case 1:
                s.ReadBytes(buf, std::min(std::max(arg, 0), 4096));
                break;
            case 2:
                s.SkipBytes(arg);
                break;
            case 3:
                s.Seek(arg);
                break;
            case 4:
                s.Read(buf, std::min(arg, 4096));
                break;
            case 5:
                s.Write(buf, std::min(arg, 4096));
                break;
            case 6:
                bank->Resize(arg);
                break;
            case 7:
                bank->PeekInt(arg);
                break;
            case 8:
                bank->PokeLong(arg, arg);
                break;
            case 9:
                bank->PeekDouble(arg);
                break;
            case 10:
                bank->PokeByte(arg, arg);
                break;
            case 11:
                s.ReadString(std::min(arg, 4096));
                break;
            case 12:
                s.ReadInt();
                s.ReadShort();
                s.ReadDouble();
                break;
            case 13:
                s.WriteLine("line");
                break;
            case 14:
                bank_stream->Write(buf, std::min(std::max(arg, 0), 4096));
                break;
            default:
                s.Eof();
                s.Pos();
                s.Size();
                break;
            }
        } catch (const TStreamException&) {
        } catch (const TRuntimeError&) {
        }
    }
    return 0;
}
