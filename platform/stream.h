#pragma once
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/error.h"

// Byte streams: every resource the program loads is read through these.
// Multi-byte values are little-endian; characters of lines and strings are
// single bytes.

class TStream;
class TBank;

// A URL object: a string ("scheme::path" or a plain file path), a stream, or
// a byte bank. Loaders take one of these and open it with StreamOpen.
struct TUrl {
    std::string text;
    std::shared_ptr<TStream> stream;
    std::shared_ptr<TBank> bank;

    TUrl() = default;
    TUrl(const char* s) : text(s ? s : "") {}
    TUrl(std::string s) : text(std::move(s)) {}
    TUrl(std::shared_ptr<TStream> s) : stream(std::move(s)) {}
    TUrl(std::shared_ptr<TBank> b) : bank(std::move(b)) {}
};

// Raised when a typed or block read runs out of data.
class TStreamException : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};
class TStreamReadException : public TStreamException {
  public:
    TStreamReadException() : TStreamException("Error reading from stream") {}
};
class TStreamWriteException : public TStreamException {
  public:
    TStreamWriteException() : TStreamException("Error writing to stream") {}
};

class TIO {
  public:
    virtual ~TIO() = default;
    virtual int Eof();
    virtual int Pos();
    virtual int Size();
    virtual int Seek(int pos);
    virtual int Flush();
    virtual int Close();
    virtual int Read(void* buf, int count);
    virtual int Write(const void* buf, int count);
};

class TStream : public TIO {
  public:
    virtual int ReadBytes(void* buf, int count);
    virtual int WriteBytes(const void* buf, int count);
    virtual int SkipBytes(int count);
    virtual int ReadByte();
    virtual int WriteByte(int n);
    virtual int ReadShort();
    virtual int WriteShort(int n);
    virtual int ReadInt();
    virtual int WriteInt(int n);
    virtual int64_t ReadLong();
    virtual int WriteLong(int64_t n);
    virtual float ReadFloat();
    virtual int WriteFloat(float n);
    virtual double ReadDouble();
    virtual int WriteDouble(double n);
    virtual std::string ReadLine();
    virtual int WriteLine(const std::string& text);
    virtual std::string ReadString(int count);
    virtual int WriteString(const std::string& text);
    virtual std::shared_ptr<void> ReadObject();
    virtual int WriteObject(const std::shared_ptr<void>& object);
};

// Forwards everything to an inner stream.
class TStreamWrapper : public TStream {
  public:
    int Eof() override;
    int Pos() override;
    int Size() override;
    int Seek(int pos) override;
    int Flush() override;
    int Close() override;
    int Read(void* buf, int count) override;
    int Write(const void* buf, int count) override;
    int ReadByte() override;
    int WriteByte(int n) override;
    int ReadShort() override;
    int WriteShort(int n) override;
    int ReadInt() override;
    int WriteInt(int n) override;
    float ReadFloat() override;
    int WriteFloat(float n) override;
    double ReadDouble() override;
    int WriteDouble(double n) override;
    std::string ReadLine() override;
    int WriteLine(const std::string& text) override;
    std::string ReadString(int count) override;
    int WriteString(const std::string& text) override;
    std::shared_ptr<void> ReadObject() override;
    int WriteObject(const std::shared_ptr<void>& object) override;
    virtual void SetStream(std::shared_ptr<TStream> stream);

  protected:
    std::shared_ptr<TStream> stream_;
};

// Wraps a caller's stream; closing the wrapper leaves the caller's stream open.
class TStreamStream : public TStreamWrapper {
  public:
    int Close() override;
    static std::shared_ptr<TStreamStream> Create(std::shared_ptr<TStream> stream);
};

// A standard-I/O file stream. Destroying it closes it.
class TCStream : public TStream {
  public:
    static constexpr int MODE_READ = 1;
    static constexpr int MODE_WRITE = 2;
    ~TCStream() override;
    int Pos() override;
    int Size() override;
    int Seek(int pos) override;
    int Read(void* buf, int count) override;
    int Write(const void* buf, int count) override;
    int Flush() override;
    int Close() override;
    static std::shared_ptr<TCStream> OpenFile(const std::string& path, int readable, int writeable);
    static std::shared_ptr<TCStream> CreateWithCStream(std::FILE* file, int mode);

  private:
    int pos_ = 0;
    int size_ = 0;
    std::FILE* cstream_ = nullptr;
    int mode_ = 0;
};

// A stream over memory it does not own (embedded files).
class TRamStream : public TStream {
  public:
    int Pos() override;
    int Size() override;
    int Seek(int pos) override;
    int Read(void* buf, int count) override;
    int Write(const void* buf, int count) override;
    static std::shared_ptr<TRamStream> Create(void* buf, int size, int readable, int writeable);

  private:
    int pos_ = 0;
    int size_ = 0;
    uint8_t* buf_ = nullptr;
    int read_ = 0;
    int write_ = 0;
};

// A growable byte buffer, owned (capacity >= 0) or wrapping memory it does not own (capacity -1).
class TBank {
  public:
    virtual ~TBank();
    TBank(const TBank&) = delete;
    TBank& operator=(const TBank&) = delete;

    virtual uint8_t* Buf();
    virtual uint8_t* Lock();
    virtual void Unlock();
    virtual int Size();
    virtual int Capacity();
    virtual void Resize(int size);
    virtual int Read(TStream& stream, int offset, int count);
    virtual int Write(TStream& stream, int offset, int count);
    virtual int PeekByte(int offset);
    virtual void PokeByte(int offset, int value);
    virtual int PeekShort(int offset);
    virtual void PokeShort(int offset, int value);
    virtual int PeekInt(int offset);
    virtual void PokeInt(int offset, int value);
    virtual int64_t PeekLong(int offset);
    virtual void PokeLong(int offset, int64_t value);
    virtual float PeekFloat(int offset);
    virtual void PokeFloat(int offset, float value);
    virtual double PeekDouble(int offset);
    virtual void PokeDouble(int offset, double value);
    virtual int Save(const TUrl& url);

    static std::shared_ptr<TBank> Load(const TUrl& url);
    static std::shared_ptr<TBank> Create(int size);
    static std::shared_ptr<TBank> CreateStatic(void* buf, int size);

    int Locked() const { return locked_; }

  protected:
    TBank() = default;

  private:
    void CheckRange(int offset, int width) const;
    std::unique_ptr<uint8_t[]> owned_; // the buffer, when the bank owns it
    uint8_t* buf_ = nullptr;
    int size_ = 0;
    int capacity_ = 0;
    int locked_ = 0;
};

class TBankStream : public TStream {
  public:
    int Pos() override;
    int Size() override;
    int Seek(int pos) override;
    int Read(void* buf, int count) override;
    int Write(const void* buf, int count) override;
    static std::shared_ptr<TBankStream> Create(std::shared_ptr<TBank> bank);
    const std::shared_ptr<TBank>& Bank() const { return bank_; }

  private:
    int pos_ = 0;
    std::shared_ptr<TBank> bank_;
};

// Stream factories, asked newest first by StreamOpen.
class TStreamFactory {
  public:
    TStreamFactory();
    virtual ~TStreamFactory() = default;
    TStreamFactory(const TStreamFactory&) = delete;
    TStreamFactory& operator=(const TStreamFactory&) = delete;
    virtual std::shared_ptr<TStream> CreateStream(const TUrl& url, const std::string& scheme,
                                                  const std::string& path, int readable, int writeable) = 0;
    TStreamFactory* _succ = nullptr;
};

class TBankStreamFactory : public TStreamFactory {
  public:
    std::shared_ptr<TStream> CreateStream(const TUrl& url, const std::string& scheme, const std::string& path,
                                          int readable, int writeable) override;
};

// Serves "incbin::NAME" from the embedded-file registry, read only.
class TRamStreamFactory : public TStreamFactory {
  public:
    std::shared_ptr<TStream> CreateStream(const TUrl& url, const std::string& scheme, const std::string& path,
                                          int readable, int writeable) override;
};

// Module operations.
std::shared_ptr<TStream> StreamOpen(const TUrl& url, int readable, int writeable);
std::shared_ptr<TStream> StreamOpenRead(const TUrl& url);
std::shared_ptr<TStream> StreamOpenWrite(const TUrl& url);
std::vector<uint8_t> StreamLoadBytes(const TUrl& url);
std::string StreamLoadText(const TUrl& url);
void StreamSaveText(const std::string& text, const TUrl& url);
void StreamSaveBytes(const std::vector<uint8_t>& bytes, const TUrl& url);
void StreamCopy(TStream& from, TStream& to, int buffer_size = 4096);
void StreamCopyBytes(TStream& from, TStream& to, int count, int buffer_size = 4096);

// A bank stream over the given bank, or over a new empty bank when given none.
std::shared_ptr<TBankStream> CreateBankStream(std::shared_ptr<TBank> bank);
// Copies count bytes between two banks; the caller keeps both ranges inside their banks.
void BankCopy(TBank& src, int src_offset, TBank& dst, int dst_offset, int count);

// Starts the stream module (its factories) once; StreamOpen calls it itself.
void StartStreams();
