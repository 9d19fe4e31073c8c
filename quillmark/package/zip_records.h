// Record layouts of the zip format, as stored in the archive (all fields
// little-endian). The reader fills these field by field through a
// ByteReader; nothing is ever cast over file bytes.
#pragma once

#include <cstdint>

namespace quillmark {

inline constexpr uint32_t kLocalFileHeaderSignature = 0x04034B50;    // "PK\3\4"
inline constexpr uint32_t kCentralFileHeaderSignature = 0x02014B50;  // "PK\1\2"
inline constexpr uint32_t kEndOfCentralDirSignature = 0x06054B50;    // "PK\5\6"
inline constexpr uint32_t kZip64EndOfCentralDirSignature = 0x06064B50;
inline constexpr uint32_t kZip64EndOfCentralDirLocatorSignature = 0x07064B50;
inline constexpr uint16_t kZip64ExtraFieldTag = 0x0001;

// Sizes of the fixed parts of the records.
inline constexpr size_t kCommonFileHeaderSize = 26;
inline constexpr size_t kLocalFileHeaderSize = 4 + kCommonFileHeaderSize;
inline constexpr size_t kCentralFileHeaderSize = 46;
inline constexpr size_t kEndOfCentralDirSize = 22;
inline constexpr size_t kZip64LocatorSize = 20;
inline constexpr size_t kZip64EndOfCentralDirSize = 56;
// The archive comment after the end record is at most this long.
inline constexpr size_t kMaxArchiveCommentLength = 0xFFFF;

// General-purpose flag bits the reader looks at.
inline constexpr uint16_t kFlagEncrypted = 0x0001;
inline constexpr uint16_t kFlagDataDescriptor = 0x0008;
inline constexpr uint16_t kFlagUtf8Names = 0x0800;

inline constexpr uint16_t kMethodStored = 0;
inline constexpr uint16_t kMethodDeflated = 8;

// The 26 bytes shared by the local and the central file header.
struct TCommonFileHeader {
    uint16_t VersionNeededToExtract = 0;
    uint16_t GeneralPurposeBitFlag = 0;
    uint16_t CompressionMethod = 0;
    uint32_t LastModFileTimeDate = 0;
    uint32_t Crc32 = 0;
    // Widened to 64 bits: a Zip64 extra field replaces the 32-bit values.
    uint64_t CompressedSize = 0;
    uint64_t UncompressedSize = 0;
    uint16_t FilenameLength = 0;
    uint16_t ExtraFieldLength = 0;
};

// The end of central directory record (the Zip64 record, when present,
// widens the counts and the offset).
struct TEndOfCentralDir {
    uint32_t EndOfCentralDirSignature = 0;
    uint16_t NumberOfThisDisk = 0;
    uint16_t NumberOfTheDiskWithTheStart = 0;
    uint64_t TotalNumberOfEntriesOnThisDisk = 0;
    uint64_t TotalNumberOfEntries = 0;
    uint64_t SizeOfTheCentralDirectory = 0;
    uint64_t OffsetOfStartOfCentralDirectory = 0;
    uint16_t ZipfileCommentLength = 0;
};

}  // namespace quillmark
