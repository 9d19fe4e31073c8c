// Streams: the byte sources and sinks that readers load from and lists save
// to. `TMemoryStream` owns its bytes; `TFileStream` opens a file for reading
// (the whole file is read once into memory) or for writing.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace quillmark {

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
public:
    virtual ~TStream() = default;

    // Reads up to count bytes; returns how many were read.
    virtual size_t Read(void* buffer, size_t count) = 0;
    // Writes count bytes; returns how many were written.
    virtual size_t Write(const void* buffer, size_t count) = 0;
    // Moves the position and returns the new one. Positions are clamped at 0.
    virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
    virtual int64_t Size() = 0;

    int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
    void SetPosition(int64_t pos) { Seek(pos, TSeekOrigin::soBeginning); }

    // Reads exactly count bytes or throws "Stream read error".
    void ReadBuffer(void* buffer, size_t count);
    // Writes exactly count bytes or throws "Stream write error".
    void WriteBuffer(const void* buffer, size_t count);
    void WriteBytes(std::string_view bytes) { WriteBuffer(bytes.data(), bytes.size()); }

    // Everything from the current position to the end, moving to the end.
    virtual std::string ReadRest();
    // The same without a copy, for streams that hold their bytes in memory:
    // a view valid while the stream lives and is not written to. Other
    // streams give nothing and keep their position.
    virtual std::optional<std::string_view> ViewRest() { return std::nullopt; }
};

class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::string bytes) : data_(std::move(bytes)) {}

    size_t Read(void* buffer, size_t count) override;
    size_t Write(const void* buffer, size_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override { return static_cast<int64_t>(data_.size()); }
    std::string ReadRest() override;
    std::optional<std::string_view> ViewRest() override;

    const std::string& Bytes() const { return data_; }
    std::string& Bytes() { return data_; }

private:
    std::string data_;
    size_t pos_ = 0;
};

// A read-only stream over bytes the caller keeps alive for the stream's
// lifetime: loading from memory without a copy of the whole input.
class TBytesViewStream : public TStream {
public:
    explicit TBytesViewStream(std::string_view bytes) : data_(bytes) {}

    size_t Read(void* buffer, size_t count) override;
    size_t Write(const void*, size_t) override { return 0; }
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override { return static_cast<int64_t>(data_.size()); }
    std::string ReadRest() override;
    std::optional<std::string_view> ViewRest() override;

private:
    std::string_view data_;
    size_t pos_ = 0;
};

// The rest of the stream without a copy when it is in memory (ViewRest),
// else read into scratch: a view of one or the other.
std::string_view ViewOrReadRest(TStream& stream, std::string& scratch);

enum class TFileMode { fmOpenRead, fmCreate };

class TFileStream : public TStream {
public:
    // fmOpenRead reads the whole file into memory once (a missing or
    // unreadable file throws); fmCreate creates or truncates it for writing.
    TFileStream(const std::string& fileName, TFileMode mode);
    ~TFileStream() override;
    // Flushes and closes a file opened for writing; throws with the
    // system's reason when the data could not all be written (disk full).
    void Close();
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    size_t Read(void* buffer, size_t count) override;
    size_t Write(const void* buffer, size_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override;
    std::string ReadRest() override;
    std::optional<std::string_view> ViewRest() override;

private:
    TFileMode mode_;
    std::FILE* out_ = nullptr;
    TMemoryStream in_;
};

// Reads a whole file; throws with the system's reason when it cannot.
std::string ReadFileBytes(const std::string& fileName);
bool FileExists(const std::string& fileName);
// Reads one input: "-" is standard input; a regular file, pipe or device is
// read as a stream up to limit bytes (ELimitError beyond it). The message of
// a failure is the system's reason alone ("No such file or directory", "Is a
// directory"), for callers that print the name beside it.
std::string ReadInputBytes(const std::string& path, uint64_t limit);

}  // namespace quillmark
