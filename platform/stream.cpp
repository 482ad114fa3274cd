#include "platform/stream.h"

#include <algorithm>
#include <cstring>

#include "platform/embed.h"

// Sections, in order:
//   TIO: a stream that can do nothing
//   TStream: typed and block operations built on Read and Write
//   TStreamWrapper
//   TStreamStream
//   TCStream
//   TRamStream
//   TBank
//   TBankStream
//   Factories
//   Module operations

// ---- TIO: a stream that can do nothing --------------------------------------

int TIO::Eof() {
    return Pos() == Size();
}
int TIO::Pos() {
    return -1;
}
int TIO::Size() {
    return 0;
}
int TIO::Seek(int) {
    return -1;
}
int TIO::Flush() {
    return 0;
}
int TIO::Close() {
    return 0;
}
int TIO::Read(void*, int) {
    throw TRuntimeError("Stream is not readable");
}
int TIO::Write(const void*, int) {
    throw TRuntimeError("Stream is not writeable");
}

// ---- TStream: typed and block operations built on Read and Write ------------

int TStream::ReadBytes(void* buf, int count) {
    auto* p = static_cast<uint8_t*>(buf);
    int left = count;
    while (left > 0) {
        const int n = Read(p, left);
        if (n <= 0) throw TStreamReadException();
        p += n;
        left -= n;
    }
    return count;
}

int TStream::WriteBytes(const void* buf, int count) {
    const auto* p = static_cast<const uint8_t*>(buf);
    int left = count;
    while (left > 0) {
        const int n = Write(p, left);
        if (n <= 0) throw TStreamWriteException();
        p += n;
        left -= n;
    }
    return count;
}

int TStream::SkipBytes(int count) {
    uint8_t buf[1024];
    int left = count;
    while (left > 0) {
        const int n = Read(buf, std::min(left, 1024));
        if (n <= 0) throw TStreamReadException();
        left -= n;
    }
    return count;
}

namespace {
template <typename T> T ReadValue(TStream& s) {
    T v;
    s.ReadBytes(&v, sizeof v);
    return v;
}
template <typename T> int WriteValue(TStream& s, T v) {
    s.WriteBytes(&v, sizeof v);
    return 0;
}
} // namespace

int TStream::ReadByte() {
    return ReadValue<uint8_t>(*this);
}
int TStream::WriteByte(int n) {
    return WriteValue(*this, static_cast<uint8_t>(n));
}
int TStream::ReadShort() {
    return ReadValue<uint16_t>(*this);
}
int TStream::WriteShort(int n) {
    return WriteValue(*this, static_cast<uint16_t>(n));
}
int TStream::ReadInt() {
    return ReadValue<int32_t>(*this);
}
int TStream::WriteInt(int n) {
    return WriteValue(*this, static_cast<int32_t>(n));
}
int64_t TStream::ReadLong() {
    return ReadValue<int64_t>(*this);
}
int TStream::WriteLong(int64_t n) {
    return WriteValue(*this, n);
}
float TStream::ReadFloat() {
    return ReadValue<float>(*this);
}
int TStream::WriteFloat(float n) {
    return WriteValue(*this, n);
}
double TStream::ReadDouble() {
    return ReadValue<double>(*this);
}
int TStream::WriteDouble(double n) {
    return WriteValue(*this, n);
}

std::string TStream::ReadLine() {
    std::string line;
    line.reserve(1024);
    for (;;) {
        uint8_t c = 0;
        if (Read(&c, 1) != 1) break;
        if (c == 0 || c == 10) break;
        if (c != 13) line.push_back(static_cast<char>(c));
    }
    return line;
}

int TStream::WriteLine(const std::string& text) {
    const int n = static_cast<int>(text.size());
    if (Write(text.data(), n) != n) return 0;
    static const uint8_t crlf[2] = {13, 10};
    return Write(crlf, 2) == 2 ? 1 : 0;
}

std::string TStream::ReadString(int count) {
    if (count <= 0) return {};
    std::string s(static_cast<size_t>(count), '\0');
    ReadBytes(s.data(), count);
    return s;
}

int TStream::WriteString(const std::string& text) {
    WriteBytes(text.data(), static_cast<int>(text.size()));
    return 0;
}

std::shared_ptr<void> TStream::ReadObject() {
    throw TRuntimeError("Unable to read object");
}
int TStream::WriteObject(const std::shared_ptr<void>&) {
    throw TRuntimeError("Unable to write object");
}

// ---- TStreamWrapper ---------------------------------------------------------
// A wrapper whose inner stream is gone (closed TStreamStream) behaves like a
// stream that can do nothing, instead of following a null pointer.

int TStreamWrapper::Eof() {
    return stream_ ? stream_->Eof() : TStream::Eof();
}
int TStreamWrapper::Pos() {
    return stream_ ? stream_->Pos() : TStream::Pos();
}
int TStreamWrapper::Size() {
    return stream_ ? stream_->Size() : TStream::Size();
}
int TStreamWrapper::Seek(int pos) {
    return stream_ ? stream_->Seek(pos) : TStream::Seek(pos);
}
int TStreamWrapper::Flush() {
    return stream_ ? stream_->Flush() : TStream::Flush();
}
int TStreamWrapper::Close() {
    return stream_ ? stream_->Close() : TStream::Close();
}
int TStreamWrapper::Read(void* buf, int count) {
    return stream_ ? stream_->Read(buf, count) : TStream::Read(buf, count);
}
int TStreamWrapper::Write(const void* buf, int count) {
    return stream_ ? stream_->Write(buf, count) : TStream::Write(buf, count);
}
int TStreamWrapper::ReadByte() {
    return stream_ ? stream_->ReadByte() : TStream::ReadByte();
}
int TStreamWrapper::WriteByte(int n) {
    return stream_ ? stream_->WriteByte(n) : TStream::WriteByte(n);
}
int TStreamWrapper::ReadShort() {
    return stream_ ? stream_->ReadShort() : TStream::ReadShort();
}
int TStreamWrapper::WriteShort(int n) {
    return stream_ ? stream_->WriteShort(n) : TStream::WriteShort(n);
}
int TStreamWrapper::ReadInt() {
    return stream_ ? stream_->ReadInt() : TStream::ReadInt();
}
int TStreamWrapper::WriteInt(int n) {
    return stream_ ? stream_->WriteInt(n) : TStream::WriteInt(n);
}
float TStreamWrapper::ReadFloat() {
    return stream_ ? stream_->ReadFloat() : TStream::ReadFloat();
}
int TStreamWrapper::WriteFloat(float n) {
    return stream_ ? stream_->WriteFloat(n) : TStream::WriteFloat(n);
}
double TStreamWrapper::ReadDouble() {
    return stream_ ? stream_->ReadDouble() : TStream::ReadDouble();
}
int TStreamWrapper::WriteDouble(double n) {
    return stream_ ? stream_->WriteDouble(n) : TStream::WriteDouble(n);
}
std::string TStreamWrapper::ReadLine() {
    return stream_ ? stream_->ReadLine() : TStream::ReadLine();
}
int TStreamWrapper::WriteLine(const std::string& text) {
    return stream_ ? stream_->WriteLine(text) : TStream::WriteLine(text);
}
std::string TStreamWrapper::ReadString(int count) {
    return stream_ ? stream_->ReadString(count) : TStream::ReadString(count);
}
int TStreamWrapper::WriteString(const std::string& text) {
    return stream_ ? stream_->WriteString(text) : TStream::WriteString(text);
}
std::shared_ptr<void> TStreamWrapper::ReadObject() {
    return stream_ ? stream_->ReadObject() : TStream::ReadObject();
}
int TStreamWrapper::WriteObject(const std::shared_ptr<void>& object) {
    return stream_ ? stream_->WriteObject(object) : TStream::WriteObject(object);
}
void TStreamWrapper::SetStream(std::shared_ptr<TStream> stream) {
    stream_ = std::move(stream);
}

// ---- TStreamStream ----------------------------------------------------------

int TStreamStream::Close() {
    SetStream(nullptr);
    return 0;
}

std::shared_ptr<TStreamStream> TStreamStream::Create(std::shared_ptr<TStream> stream) {
    auto s = std::make_shared<TStreamStream>();
    s->SetStream(std::move(stream));
    return s;
}

// ---- TCStream ---------------------------------------------------------------

TCStream::~TCStream() {
    Close();
}
int TCStream::Pos() {
    return pos_;
}
int TCStream::Size() {
    return size_;
}

int TCStream::Seek(int pos) {
    if (!cstream_) return pos_;
    std::fseek(cstream_, pos, SEEK_SET);
    pos_ = static_cast<int>(std::ftell(cstream_));
    return pos_;
}

int TCStream::Read(void* buf, int count) {
    if (!cstream_ || count <= 0) return 0;
    const int n = static_cast<int>(std::fread(buf, 1, static_cast<size_t>(count), cstream_));
    pos_ += n;
    return n;
}

int TCStream::Write(const void* buf, int count) {
    if (!cstream_ || count <= 0) return 0;
    const int n = static_cast<int>(std::fwrite(buf, 1, static_cast<size_t>(count), cstream_));
    pos_ += n;
    size_ = std::max(size_, pos_);
    return n;
}

int TCStream::Flush() {
    if (cstream_) std::fflush(cstream_);
    return 0;
}

int TCStream::Close() {
    if (!cstream_) return 0;
    Flush();
    std::fclose(cstream_);
    cstream_ = nullptr;
    pos_ = 0;
    size_ = 0;
    return 0;
}

std::shared_ptr<TCStream> TCStream::OpenFile(const std::string& path, int readable, int writeable) {
    int mode = MODE_READ;
    const char* fmode = "rb";
    if (readable && writeable) {
        mode = MODE_READ | MODE_WRITE;
        fmode = "r+b";
    } else if (writeable) {
        mode = MODE_WRITE;
        fmode = "wb";
    }
    std::string p = path;
    std::replace(p.begin(), p.end(), '\\', '/');
    std::FILE* f = std::fopen(p.c_str(), fmode);
    if (!f) return nullptr;
    return CreateWithCStream(f, mode);
}

std::shared_ptr<TCStream> TCStream::CreateWithCStream(std::FILE* file, int mode) {
    auto s = std::make_shared<TCStream>();
    s->cstream_ = file;
    s->pos_ = static_cast<int>(std::ftell(file));
    std::fseek(file, 0, SEEK_END);
    s->size_ = static_cast<int>(std::ftell(file));
    std::fseek(file, s->pos_, SEEK_SET);
    s->mode_ = mode;
    return s;
}

// ---- TRamStream -------------------------------------------------------------

int TRamStream::Pos() {
    return pos_;
}
int TRamStream::Size() {
    return size_;
}

int TRamStream::Seek(int pos) {
    pos_ = std::clamp(pos, 0, size_);
    return pos_;
}

int TRamStream::Read(void* buf, int count) {
    if (count <= 0 || !read_) return 0;
    count = std::min(count, size_ - pos_);
    if (count <= 0) return 0;
    std::memcpy(buf, buf_ + pos_, static_cast<size_t>(count));
    pos_ += count;
    return count;
}

int TRamStream::Write(const void* buf, int count) {
    if (count <= 0 || !write_) return 0;
    count = std::min(count, size_ - pos_);
    if (count <= 0) return 0;
    std::memcpy(buf_ + pos_, buf, static_cast<size_t>(count));
    pos_ += count;
    return count;
}

std::shared_ptr<TRamStream> TRamStream::Create(void* buf, int size, int readable, int writeable) {
    auto s = std::make_shared<TRamStream>();
    s->buf_ = static_cast<uint8_t*>(buf);
    s->size_ = std::max(size, 0);
    s->read_ = readable;
    s->write_ = writeable;
    return s;
}

// ---- TBank ------------------------------------------------------------------

TBank::~TBank() = default;
uint8_t* TBank::Buf() {
    return buf_;
}
uint8_t* TBank::Lock() {
    ++locked_;
    return buf_;
}
void TBank::Unlock() {
    --locked_;
}
int TBank::Size() {
    return size_;
}
int TBank::Capacity() {
    return capacity_;
}

void TBank::Resize(int size) {
    size = std::max(size, 0);
    if (size > capacity_) {
        // Grow by half again, so that a run of small writes stays cheap. A
        // static bank's memory is copied, never written past or freed.
        const int cap = std::max(capacity_ > 0 ? capacity_ * 3 / 2 : 0, size);
        auto fresh = std::make_unique<uint8_t[]>(static_cast<size_t>(cap));
        // A static bank may shrink into a copy smaller than what it wrapped.
        const int keep = std::min(size_, size);
        if (keep > 0) std::memcpy(fresh.get(), buf_, static_cast<size_t>(keep));
        owned_ = std::move(fresh);
        buf_ = owned_.get();
        capacity_ = cap;
    }
    size_ = size;
}

int TBank::Read(TStream& stream, int offset, int count) {
    if (offset < 0 || count <= 0 || offset > size_) return 0;
    return stream.Read(buf_ + offset, std::min(count, size_ - offset));
}

int TBank::Write(TStream& stream, int offset, int count) {
    if (offset < 0 || count <= 0 || offset > size_) return 0;
    return stream.Write(buf_ + offset, std::min(count, size_ - offset));
}

// Peeks and pokes outside the bank would read or write someone else's memory.
void TBank::CheckRange(int offset, int width) const {
    if (offset < 0 || offset > size_ - width) throw TRuntimeError("Bank offset out of range");
}

namespace {
template <typename T> T Peek(const uint8_t* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
template <typename T> void Poke(uint8_t* p, T v) {
    std::memcpy(p, &v, sizeof v);
}
} // namespace

int TBank::PeekByte(int offset) {
    CheckRange(offset, 1);
    return buf_[offset];
}
void TBank::PokeByte(int offset, int value) {
    CheckRange(offset, 1);
    buf_[offset] = static_cast<uint8_t>(value);
}
int TBank::PeekShort(int offset) {
    CheckRange(offset, 2);
    return Peek<uint16_t>(buf_ + offset);
}
void TBank::PokeShort(int offset, int value) {
    CheckRange(offset, 2);
    Poke(buf_ + offset, static_cast<uint16_t>(value));
}
int TBank::PeekInt(int offset) {
    CheckRange(offset, 4);
    return Peek<int32_t>(buf_ + offset);
}
void TBank::PokeInt(int offset, int value) {
    CheckRange(offset, 4);
    Poke(buf_ + offset, static_cast<int32_t>(value));
}
int64_t TBank::PeekLong(int offset) {
    CheckRange(offset, 8);
    return Peek<int64_t>(buf_ + offset);
}
void TBank::PokeLong(int offset, int64_t value) {
    CheckRange(offset, 8);
    Poke(buf_ + offset, value);
}
float TBank::PeekFloat(int offset) {
    CheckRange(offset, 4);
    return Peek<float>(buf_ + offset);
}
void TBank::PokeFloat(int offset, float value) {
    CheckRange(offset, 4);
    Poke(buf_ + offset, value);
}
double TBank::PeekDouble(int offset) {
    CheckRange(offset, 8);
    return Peek<double>(buf_ + offset);
}
void TBank::PokeDouble(int offset, double value) {
    CheckRange(offset, 8);
    Poke(buf_ + offset, value);
}

int TBank::Save(const TUrl& url) {
    auto stream = StreamOpenWrite(url);
    if (!stream) return 0;
    stream->WriteBytes(buf_, size_);
    stream->Close();
    return 1;
}

std::shared_ptr<TBank> TBank::Load(const TUrl& url) {
    auto stream = StreamOpenRead(url);
    if (!stream) return nullptr;
    std::vector<uint8_t> bytes;
    uint8_t chunk[4096];
    for (;;) {
        const int n = stream->Read(chunk, sizeof chunk);
        if (n <= 0) break;
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    stream->Close();
    auto bank = Create(static_cast<int>(bytes.size()));
    if (!bytes.empty()) std::memcpy(bank->buf_, bytes.data(), bytes.size());
    return bank;
}

std::shared_ptr<TBank> TBank::Create(int size) {
    std::shared_ptr<TBank> bank(new TBank());
    size = std::max(size, 0);
    bank->owned_ = std::make_unique<uint8_t[]>(static_cast<size_t>(size) + 1);
    bank->buf_ = bank->owned_.get();
    bank->size_ = size;
    bank->capacity_ = size;
    return bank;
}

std::shared_ptr<TBank> TBank::CreateStatic(void* buf, int size) {
    std::shared_ptr<TBank> bank(new TBank());
    bank->buf_ = static_cast<uint8_t*>(buf);
    bank->size_ = std::max(size, 0);
    bank->capacity_ = -1;
    return bank;
}

// ---- TBankStream ------------------------------------------------------------

int TBankStream::Pos() {
    return pos_;
}
int TBankStream::Size() {
    return bank_->Size();
}

int TBankStream::Seek(int pos) {
    pos_ = std::clamp(pos, 0, bank_->Size());
    return pos_;
}

int TBankStream::Read(void* buf, int count) {
    const int size = bank_->Size();
    if (count < 1 || pos_ >= size) return 0;
    count = std::min(count, size - pos_);
    std::memcpy(buf, bank_->Buf() + pos_, static_cast<size_t>(count));
    pos_ += count;
    return count;
}

int TBankStream::Write(const void* buf, int count) {
    if (count < 1 || pos_ > bank_->Size()) return 0;
    if (pos_ + count > bank_->Size()) bank_->Resize(pos_ + count);
    std::memcpy(bank_->Buf() + pos_, buf, static_cast<size_t>(count));
    pos_ += count;
    return count;
}

std::shared_ptr<TBankStream> TBankStream::Create(std::shared_ptr<TBank> bank) {
    if (!bank) return nullptr;
    auto s = std::make_shared<TBankStream>();
    s->bank_ = std::move(bank);
    return s;
}

std::shared_ptr<TBankStream> CreateBankStream(std::shared_ptr<TBank> bank) {
    return TBankStream::Create(bank ? std::move(bank) : TBank::Create(0));
}

void BankCopy(TBank& src, int src_offset, TBank& dst, int dst_offset, int count) {
    if (count <= 0) return;
    if (src_offset < 0 || dst_offset < 0 || src_offset > src.Size() - count ||
        dst_offset > dst.Size() - count)
        throw TRuntimeError("Bank offset out of range");
    std::memmove(dst.Buf() + dst_offset, src.Buf() + src_offset, static_cast<size_t>(count));
}

// ---- Factories --------------------------------------------------------------

namespace {

struct TStreamState {
    TStreamFactory* factories = nullptr; // newest first
};

TStreamState& State() {
    static TStreamState state;
    return state;
}

} // namespace

TStreamFactory::TStreamFactory() {
    TStreamState& s = State();
    _succ = s.factories;
    s.factories = this;
}

std::shared_ptr<TStream> TBankStreamFactory::CreateStream(const TUrl& url, const std::string&,
                                                          const std::string&, int, int) {
    if (url.bank) return TBankStream::Create(url.bank);
    return nullptr;
}

std::shared_ptr<TStream> TRamStreamFactory::CreateStream(const TUrl&, const std::string& scheme,
                                                         const std::string& path, int readable,
                                                         int writeable) {
    if (scheme != "incbin" || writeable) return nullptr;
    const void* data = EmbedData(path.c_str());
    if (!data) return nullptr;
    // Embedded files are never written: the stream is opened read-only.
    return TRamStream::Create(const_cast<void*>(data), EmbedSize(path.c_str()), readable, 0);
}

void StartStreams() {
    // Module state lives to the end of the process.
    static TBankStreamFactory bank_factory;
    static TRamStreamFactory ram_factory;
}

// ---- Module operations ------------------------------------------------------

std::shared_ptr<TStream> StreamOpen(const TUrl& url, int readable, int writeable) {
    StartStreams();
    if (url.stream) return TStreamStream::Create(url.stream);
    std::string scheme, path;
    const std::string& s = url.text;
    if (!s.empty()) {
        const auto sep = s.find("::");
        if (sep == std::string::npos) return TCStream::OpenFile(s, readable, writeable);
        scheme = s.substr(0, sep);
        std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        path = s.substr(sep + 2);
    }
    for (TStreamFactory* f = State().factories; f; f = f->_succ)
        if (auto stream = f->CreateStream(url, scheme, path, readable, writeable)) return stream;
    return nullptr;
}

std::shared_ptr<TStream> StreamOpenRead(const TUrl& url) {
    return StreamOpen(url, 1, 0);
}
std::shared_ptr<TStream> StreamOpenWrite(const TUrl& url) {
    return StreamOpen(url, 0, 1);
}

std::vector<uint8_t> StreamLoadBytes(const TUrl& url) {
    auto stream = StreamOpenRead(url);
    if (!stream) throw TStreamReadException();
    std::vector<uint8_t> buf(1024);
    size_t used = 0;
    while (!stream->Eof()) {
        if (used == buf.size()) buf.resize(buf.size() * 3 / 2);
        const int n = stream->Read(buf.data() + used, static_cast<int>(buf.size() - used));
        if (n <= 0) break; // a stream that cannot tell its end stops at the first empty read
        used += static_cast<size_t>(n);
    }
    stream->Close();
    buf.resize(used);
    return buf;
}

std::string StreamLoadText(const TUrl& url) {
    const auto bytes = StreamLoadBytes(url);
    return std::string(bytes.begin(), bytes.end());
}

void StreamSaveText(const std::string& text, const TUrl& url) {
    auto stream = StreamOpenWrite(url);
    if (!stream) throw TStreamWriteException();
    stream->WriteBytes(text.data(), static_cast<int>(text.size()));
    stream->Close();
}

void StreamSaveBytes(const std::vector<uint8_t>& bytes, const TUrl& url) {
    auto stream = StreamOpenWrite(url);
    if (!stream) throw TStreamWriteException();
    stream->WriteBytes(bytes.data(), static_cast<int>(bytes.size()));
    stream->Close();
}

void StreamCopy(TStream& from, TStream& to, int buffer_size) {
    std::vector<uint8_t> buf(static_cast<size_t>(std::max(buffer_size, 1)));
    while (!from.Eof()) {
        const int n = from.Read(buf.data(), static_cast<int>(buf.size()));
        if (n <= 0) break;
        to.WriteBytes(buf.data(), n);
    }
}

void StreamCopyBytes(TStream& from, TStream& to, int count, int buffer_size) {
    std::vector<uint8_t> buf(static_cast<size_t>(std::max(buffer_size, 1)));
    while (count > 0) {
        const int n = std::min(count, static_cast<int>(buf.size()));
        from.ReadBytes(buf.data(), n);
        to.WriteBytes(buf.data(), n);
        count -= n;
    }
}
