// Builds small zip archives for the zip, .docx and OpenDocument tests, with
// every field that a reader must distrust under the test's control.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillmark::test {

struct ZipMember {
    std::string name;
    std::string data;
    uint16_t method = 8;          // 0 stored, 8 deflated, anything else as written
    uint16_t version = 20;        // version needed to extract
    uint16_t flags = 0;           // general-purpose flags (bit 3 is set by dataDescriptor)
    bool dataDescriptor = false;  // local CRC and sizes 0, a descriptor after the data
    bool zip64 = false;           // sizes (and offset) in Zip64 extra fields
    std::optional<uint32_t> crc;               // replaces the CRC in both headers
    std::optional<uint64_t> uncompressedSize;  // replaces the size in both headers
    std::optional<uint32_t> centralSignature;  // replaces "PK\1\2" of this member
    std::optional<uint32_t> localOffset;       // replaces the central record's offset
};

struct ZipBuilder {
    std::vector<ZipMember> members;
    std::string comment;           // archive comment after the end record
    std::string prefix;            // bytes before the archive (offsets not adjusted)
    bool zip64End = false;         // Zip64 end record and locator, 32-bit fields marked
    std::optional<uint64_t> declaredEntries;  // replaces the entry counts

    ZipBuilder& Add(std::string name, std::string data, uint16_t method = 8) {
        ZipMember m;
        m.name = std::move(name);
        m.data = std::move(data);
        m.method = method;
        members.push_back(std::move(m));
        return *this;
    }
    std::string Build() const;
};

// A .docx package of one document part (and its content types).
std::string DocxOfDocument(std::string documentXml);

// Raw deflate (no zlib wrapper), as zip members store it.
std::string RawDeflate(std::string_view data);

}  // namespace quillmark::test
