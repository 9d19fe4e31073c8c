#include "quillmark/framework/stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "quillmark/framework/exception.h"
#include "quillmark/framework/messages.h"

namespace quillmark {

void TStream::ReadBuffer(void* buffer, size_t count) {
    if (Read(buffer, count) != count) throw EReadError(strStreamRead);
}

void TStream::WriteBuffer(const void* buffer, size_t count) {
    if (Write(buffer, count) != count) throw Exception("Stream write error");
}

std::string TStream::ReadRest() {
    std::string out;
    int64_t size = Size(), pos = Position();
    if (size > pos) out.reserve(static_cast<size_t>(size - pos));
    char buf[65536];
    size_t n;
    while ((n = Read(buf, sizeof buf)) > 0) out.append(buf, n);
    return out;
}

namespace {

// The reading and seeking of the two in-memory streams: positions past the
// end read nothing, positions before the start are clamped at 0.
size_t ReadAt(std::string_view data, size_t& pos, void* buffer, size_t count) {
    if (pos >= data.size()) return 0;
    size_t n = std::min(count, data.size() - pos);
    std::memcpy(buffer, data.data() + pos, n);
    pos += n;
    return n;
}

std::string_view TakeRest(std::string_view data, size_t& pos) {
    std::string_view rest = pos < data.size() ? data.substr(pos) : std::string_view();
    pos = std::max(pos, data.size());
    return rest;
}

int64_t MovePosition(size_t& pos, size_t size, int64_t offset, TSeekOrigin origin) {
    int64_t base = origin == TSeekOrigin::soBeginning ? 0
                   : origin == TSeekOrigin::soCurrent ? static_cast<int64_t>(pos)
                                                       : static_cast<int64_t>(size);
    int64_t target = base + offset;
    pos = target < 0 ? 0 : static_cast<size_t>(target);
    return static_cast<int64_t>(pos);
}

}  // namespace

size_t TMemoryStream::Read(void* buffer, size_t count) { return ReadAt(data_, pos_, buffer, count); }

size_t TMemoryStream::Write(const void* buffer, size_t count) {
    if (pos_ > data_.size()) data_.resize(pos_, '\0');
    size_t overlap = std::min(count, data_.size() - pos_);
    data_.replace(pos_, overlap, static_cast<const char*>(buffer), count);
    pos_ += count;
    return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
    return MovePosition(pos_, data_.size(), offset, origin);
}

std::string TMemoryStream::ReadRest() {
    if (pos_ >= data_.size()) return {};
    std::string out = data_.substr(pos_);
    pos_ = data_.size();
    return out;
}

std::optional<std::string_view> TMemoryStream::ViewRest() { return TakeRest(data_, pos_); }

size_t TBytesViewStream::Read(void* buffer, size_t count) { return ReadAt(data_, pos_, buffer, count); }

int64_t TBytesViewStream::Seek(int64_t offset, TSeekOrigin origin) {
    return MovePosition(pos_, data_.size(), offset, origin);
}

std::string TBytesViewStream::ReadRest() {
    if (pos_ >= data_.size()) return {};
    std::string out(data_.substr(pos_));
    pos_ = data_.size();
    return out;
}

std::optional<std::string_view> TBytesViewStream::ViewRest() { return TakeRest(data_, pos_); }

std::string_view ViewOrReadRest(TStream& stream, std::string& scratch) {
    if (auto view = stream.ViewRest()) return *view;
    scratch = stream.ReadRest();
    return scratch;
}

TFileStream::TFileStream(const std::string& fileName, TFileMode mode) : mode_(mode) {
    if (mode == TFileMode::fmOpenRead) {
        in_ = TMemoryStream(ReadFileBytes(fileName));
    } else {
        out_ = std::fopen(fileName.c_str(), "wb");
        if (!out_)
            throw Exception("Cannot create file \"" + fileName + "\". " + std::strerror(errno));
    }
}

TFileStream::~TFileStream() {
    if (out_) std::fclose(out_);
}

void TFileStream::Close() {
    if (!out_) return;
    bool failed = std::fflush(out_) != 0 || std::ferror(out_);
    int err = errno;
    if (std::fclose(out_) != 0 && !failed) {
        failed = true;
        err = errno;
    }
    out_ = nullptr;
    if (failed) throw Exception(std::string("Stream write error: ") + std::strerror(err));
}

size_t TFileStream::Read(void* buffer, size_t count) {
    return mode_ == TFileMode::fmOpenRead ? in_.Read(buffer, count) : 0;
}

size_t TFileStream::Write(const void* buffer, size_t count) {
    if (!out_) return 0;
    return std::fwrite(buffer, 1, count, out_);
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
    if (mode_ == TFileMode::fmOpenRead) return in_.Seek(offset, origin);
    int whence = origin == TSeekOrigin::soBeginning ? SEEK_SET
                 : origin == TSeekOrigin::soCurrent ? SEEK_CUR
                                                     : SEEK_END;
    if (std::fseek(out_, offset, whence) != 0) return std::ftell(out_);
    return std::ftell(out_);
}

int64_t TFileStream::Size() {
    if (mode_ == TFileMode::fmOpenRead) return in_.Size();
    long pos = std::ftell(out_);
    std::fseek(out_, 0, SEEK_END);
    long end = std::ftell(out_);
    std::fseek(out_, pos, SEEK_SET);
    return end;
}

std::string TFileStream::ReadRest() {
    return mode_ == TFileMode::fmOpenRead ? in_.ReadRest() : std::string();
}

std::optional<std::string_view> TFileStream::ViewRest() {
    if (mode_ != TFileMode::fmOpenRead) return std::nullopt;
    return in_.ViewRest();
}

std::string ReadFileBytes(const std::string& fileName) {
    std::FILE* f = std::fopen(fileName.c_str(), "rb");
    if (!f) throw Exception("Cannot open file \"" + fileName + "\". " + std::strerror(errno));
    std::string out;
    struct stat st {};
    if (fstat(fileno(f), &st) == 0 && st.st_size > 0) out.reserve(static_cast<size_t>(st.st_size));
    char buf[1 << 16];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    bool failed = std::ferror(f);
    std::fclose(f);
    if (failed) throw Exception("Cannot read file \"" + fileName + "\".");
    return out;
}

std::string ReadInputBytes(const std::string& path, uint64_t limit) {
    int fd = path == "-" ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw Exception(std::strerror(errno));
    struct Closer {
        int fd;
        ~Closer() {
            if (fd != STDIN_FILENO) ::close(fd);
        }
    } closer{fd};
    struct stat st {};
    if (fstat(fd, &st) != 0) throw Exception(std::strerror(errno));
    if (S_ISDIR(st.st_mode)) throw Exception(std::strerror(EISDIR));
    auto tooLarge = [&] {
        return ELimitError("input is larger than the limit of " + std::to_string(limit) + " bytes");
    };
    std::string out;
    size_t expected = 0;
    if (S_ISREG(st.st_mode) && st.st_size > 0) {
        if (static_cast<uint64_t>(st.st_size) > limit) throw tooLarge();
        expected = static_cast<size_t>(st.st_size);
    }
    // Read as a stream whatever the kind of file: sizes of pipes and devices
    // mean nothing, and a regular file may grow while it is read. The bytes
    // go straight into the string, sized for a regular file's whole length
    // plus one byte to see its end, and grown as needed for the rest.
    size_t have = 0;
    out.resize(expected + 1);
    for (;;) {
        if (have == out.size()) {
            if (have > limit) throw tooLarge();
            // Never more than one byte past the limit, which is enough to see
            // that the input goes beyond it.
            uint64_t grown = std::max<uint64_t>(uint64_t{have} * 2, 1 << 16);
            out.resize(static_cast<size_t>(std::min<uint64_t>(grown, std::min<uint64_t>(limit, SIZE_MAX - 1) + 1)));
        }
        ssize_t n = ::read(fd, out.data() + have, out.size() - have);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw Exception(std::strerror(errno));
        }
        if (n == 0) break;
        have += static_cast<size_t>(n);
        if (have > limit) throw tooLarge();
    }
    out.resize(have);
    return out;
}

bool FileExists(const std::string& fileName) {
    struct stat st {};
    return stat(fileName.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

}  // namespace quillmark
