// A bounds-checked cursor over a span of bytes. All binary parsing goes
// through it: every read checks `n <= size - pos` (which cannot overflow), and
// a short read throws an exception that names the offset. Where a format says
// that missing bytes read as zero, the `_or_zero` variants say so explicitly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "quillmark/framework/exception.h"

namespace quillmark {

class ByteReader {
public:
    ByteReader() = default;
    explicit ByteReader(std::string_view data) : data_(data) {}
    // A reader only views its bytes: it must not be built over a temporary.
    explicit ByteReader(std::string&&) = delete;
    ByteReader(const void* data, size_t size)
        : data_(static_cast<const char*>(data), size) {}

    size_t size() const { return data_.size(); }
    size_t pos() const { return pos_; }
    size_t remaining() const { return data_.size() - pos_; }
    bool eof() const { return pos_ >= data_.size(); }
    std::string_view data() const { return data_; }

    // Moves the cursor; a position past the end throws.
    void seek(size_t pos) {
        if (pos > data_.size()) fail(pos, 0);
        pos_ = pos;
    }
    void skip(size_t n) {
        require(n);
        pos_ += n;
    }
    bool can_read(size_t n) const { return n <= data_.size() - pos_; }
    bool in_range(size_t off, size_t n) const {
        return off <= data_.size() && n <= data_.size() - off;
    }

    uint8_t u8() {
        require(1);
        return static_cast<uint8_t>(data_[pos_++]);
    }
    uint16_t u16le() { return static_cast<uint16_t>(take_le(2)); }
    uint32_t u32le() { return static_cast<uint32_t>(take_le(4)); }
    uint64_t u64le() { return take_le(8); }
    uint16_t u16be() { return static_cast<uint16_t>(take_be(2)); }
    uint32_t u32be() { return static_cast<uint32_t>(take_be(4)); }
    int16_t i16le() { return static_cast<int16_t>(u16le()); }
    int32_t i32le() { return static_cast<int32_t>(u32le()); }

    // Reads that give zero for bytes beyond the end (formats that pad short
    // records with zeros). The cursor still advances by the full width, capped
    // at the end.
    uint8_t u8_or_zero() { return static_cast<uint8_t>(take_le_or_zero(1)); }
    uint16_t u16le_or_zero() { return static_cast<uint16_t>(take_le_or_zero(2)); }
    uint32_t u32le_or_zero() { return static_cast<uint32_t>(take_le_or_zero(4)); }
    uint16_t u16be_or_zero() { return static_cast<uint16_t>(take_be_or_zero(2)); }
    uint32_t u32be_or_zero() { return static_cast<uint32_t>(take_be_or_zero(4)); }

    std::string_view bytes(size_t n) {
        require(n);
        std::string_view out = data_.substr(pos_, n);
        pos_ += n;
        return out;
    }
    // As many of the n bytes as remain.
    std::string_view bytes_upto(size_t n) {
        size_t take = n < remaining() ? n : remaining();
        std::string_view out = data_.substr(pos_, take);
        pos_ += take;
        return out;
    }

    // A fenced child reader over [offset, offset + length) of this reader's data.
    ByteReader sub(size_t offset, size_t length) const {
        if (!in_range(offset, length)) fail(offset, length);
        return ByteReader(data_.substr(offset, length));
    }

    // Peeks at absolute offsets without moving the cursor.
    uint8_t at_u8(size_t off) const {
        if (!in_range(off, 1)) fail(off, 1);
        return static_cast<uint8_t>(data_[off]);
    }
    uint16_t at_u16le(size_t off) const { return static_cast<uint16_t>(peek_le(off, 2)); }
    uint32_t at_u32le(size_t off) const { return static_cast<uint32_t>(peek_le(off, 4)); }
    uint16_t at_u16be(size_t off) const { return static_cast<uint16_t>(peek_be(off, 2)); }
    uint32_t at_u32be(size_t off) const { return static_cast<uint32_t>(peek_be(off, 4)); }

    [[noreturn]] void fail(size_t off, size_t n) const;

private:
    void require(size_t n) const {
        if (n > data_.size() - pos_) fail(pos_, n);
    }
    uint64_t take_le(size_t n) {
        uint64_t v = peek_le(pos_, n);
        pos_ += n;
        return v;
    }
    uint64_t take_be(size_t n) {
        uint64_t v = peek_be(pos_, n);
        pos_ += n;
        return v;
    }
    uint64_t peek_le(size_t off, size_t n) const {
        if (!in_range(off, n)) fail(off, n);
        uint64_t v = 0;
        for (size_t i = 0; i < n; ++i)
            v |= uint64_t{static_cast<uint8_t>(data_[off + i])} << (8 * i);
        return v;
    }
    uint64_t peek_be(size_t off, size_t n) const {
        if (!in_range(off, n)) fail(off, n);
        uint64_t v = 0;
        for (size_t i = 0; i < n; ++i) v = (v << 8) | static_cast<uint8_t>(data_[off + i]);
        return v;
    }
    uint64_t take_le_or_zero(size_t n) {
        uint64_t v = 0;
        for (size_t i = 0; i < n && pos_ < data_.size(); ++i, ++pos_)
            v |= uint64_t{static_cast<uint8_t>(data_[pos_])} << (8 * i);
        return v;
    }
    uint64_t take_be_or_zero(size_t n) {
        uint64_t v = 0;
        for (size_t i = 0; i < n; ++i) {
            uint8_t b = pos_ < data_.size() ? static_cast<uint8_t>(data_[pos_++]) : 0;
            v = (v << 8) | b;
        }
        return v;
    }

    std::string_view data_;
    size_t pos_ = 0;
};

}  // namespace quillmark
