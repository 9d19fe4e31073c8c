// Record layouts of the Compound File Binary format (OLE structured storage,
// [MS-CFB]): the 512-byte header and the 128-byte directory entry, with the
// special sector numbers. Parsing goes field by field through ByteReader.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace quillmark {

namespace cfb {

// The eight signature bytes every compound file starts with.
inline constexpr std::string_view kSignature{"\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8};
inline constexpr size_t kHeaderSize = 512;
inline constexpr size_t kHeaderDifatEntries = 109;
inline constexpr size_t kDirectoryEntrySize = 128;

// Sector numbers above kMaxRegSect are markers, not sectors.
inline constexpr uint32_t kMaxRegSect = 0xFFFFFFFA;
inline constexpr uint32_t kDifSect = 0xFFFFFFFC;     // a FAT entry of a DIFAT sector
inline constexpr uint32_t kFatSect = 0xFFFFFFFD;     // a FAT entry of a FAT sector
inline constexpr uint32_t kEndOfChain = 0xFFFFFFFE;  // last sector of a chain
inline constexpr uint32_t kFreeSect = 0xFFFFFFFF;    // unused sector
inline constexpr uint32_t kNoStream = 0xFFFFFFFF;    // directory link: none

// Directory entry object types.
inline constexpr uint8_t kTypeUnknown = 0;
inline constexpr uint8_t kTypeStorage = 1;
inline constexpr uint8_t kTypeStream = 2;
inline constexpr uint8_t kTypeRoot = 5;

}  // namespace cfb

struct TCompoundFileHeader {
    uint16_t MinorVersion = 0;
    uint16_t MajorVersion = 0;        // 3 (512-byte sectors) or 4 (4096-byte sectors)
    uint16_t ByteOrder = 0;           // 0xFFFE
    uint16_t SectorShift = 0;         // 9 or 12
    uint16_t MiniSectorShift = 0;     // 6
    uint32_t NumDirectorySectors = 0; // 0 in version 3
    uint32_t NumFatSectors = 0;
    uint32_t FirstDirectorySector = 0;
    uint32_t TransactionSignature = 0;
    uint32_t MiniStreamCutoff = 0;    // 4096: smaller streams live in the mini stream
    uint32_t FirstMiniFatSector = 0;
    uint32_t NumMiniFatSectors = 0;
    uint32_t FirstDifatSector = 0;
    uint32_t NumDifatSectors = 0;
    std::array<uint32_t, cfb::kHeaderDifatEntries> Difat{};  // the first 109 FAT sector numbers
};

struct TCompoundDirectoryEntry {
    std::u16string Name;      // up to 31 UTF-16 units, without the terminating zero
    uint8_t ObjectType = 0;   // cfb::kType*
    uint8_t Color = 0;        // red-black tree colour (0 red, 1 black); not needed for reading
    uint32_t LeftSibling = cfb::kNoStream;
    uint32_t RightSibling = cfb::kNoStream;
    uint32_t Child = cfb::kNoStream;
    std::array<uint8_t, 16> Clsid{};
    uint32_t StateBits = 0;
    uint64_t CreationTime = 0;  // FILETIME
    uint64_t ModifiedTime = 0;  // FILETIME
    uint32_t StartSector = cfb::kEndOfChain;
    uint64_t Size = 0;
};

// Reads the header from the first 512 bytes (the caller checks that they
// exist and that the signature matches).
TCompoundFileHeader ParseCompoundFileHeader(std::string_view first512);

// Reads one directory entry from its 128 bytes. In version 3 files the high
// 32 bits of the size are not defined and are dropped (pass is512 = true).
TCompoundDirectoryEntry ParseCompoundDirectoryEntry(std::string_view entry128, bool is512);

}  // namespace quillmark
