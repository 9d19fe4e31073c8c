// Record layouts of Palm database (PDB) e-books: the database header, the
// PalmDoc record 0 and the Peanut record 0. All integers are big-endian.
#pragma once

#include <cstdint>
#include <string>

namespace quillmark {

// The 78-byte database header at offset 0; the record list follows it, one
// 8-byte entry per record (a 32-bit file offset, then attributes and id).
struct TPDBHeader {
    std::string Name;               // 32 bytes, not used
    uint16_t Attributes = 0;
    uint16_t Version = 0;
    uint32_t CreateTime = 0;
    uint32_t ModifyTime = 0;
    uint32_t BackupTime = 0;
    uint32_t ModificationNumber = 0;
    uint32_t AppInfoIDc = 0;
    uint32_t SortInfoID = 0;
    std::string PDBType;            // 4 bytes: "TEXt" (PalmDoc) or "PNRD" (Peanut)
    std::string Creator;            // 4 bytes: "REAd" (PalmDoc) or "PPRS" (Peanut)
    uint32_t IDSeed = 0;
    uint32_t NextRecordList = 0;
    uint16_t NumRecords = 0;        // after loading: the number of text records
};

inline constexpr size_t kPDBHeaderSize = 78;
inline constexpr size_t kPDBRecordEntrySize = 8;

// Record 0 of a PalmDoc book (16 bytes).
struct TPDB_DocRecord0 {
    uint16_t Version = 0;    // 2 = PalmDoc compression; anything else = stored
    uint16_t spare = 0;
    uint32_t DocSize = 0;    // uncompressed text length
    uint16_t NumRecords = 0; // number of text records
    uint16_t RecSize = 0;    // maximum uncompressed record size (usually 4096)
    uint32_t Position = 0;
};

inline constexpr size_t kDocRecord0Size = 16;

// Record 0 of a Peanut book (116 bytes); only these fields are meaningful.
struct TPDB_PeanutHeader {
    uint16_t Version = 0;     // compression, as in TPDB_DocRecord0
    uint16_t NumRecords = 0;  // first non-text record; text records are 1..NumRecords-1
};

inline constexpr size_t kPeanutHeaderSize = 116;

// Record 0 of an eReader book ("PNRd"/"PPrs"), 132 bytes; the fields read.
struct TEReaderRecord0 {
    uint16_t Compression = 0;     // offset 0: 2 PalmDoc, 10 zlib, 260/272 DRM
    uint16_t NonTextRecord = 0;   // offset 12: the first record after the text
    uint16_t FootnoteCount = 0;   // offset 28: footnote records (an index, then one per note)
    uint16_t SidebarCount = 0;    // offset 30: sidebar records, likewise
    uint16_t MetadataRecord = 0;  // offset 44: title, author, rights, publisher, ISBN
    uint16_t FootnoteRecord = 0;  // offset 48: the first footnote record
    uint16_t SidebarRecord = 0;   // offset 50: the first sidebar record
};

inline constexpr uint16_t kEReaderPalmDoc = 2;
inline constexpr uint16_t kEReaderZlib = 10;
inline constexpr uint16_t kEReaderDrm1 = 260;
inline constexpr uint16_t kEReaderDrm2 = 272;

// Mobipocket-style PalmDoc books keep an encryption type in the 16 bits at
// offset 12 of record 0 (1 old Mobipocket, 2 Mobipocket DRM; 0 none).
inline constexpr size_t kDocRecord0EncryptionOffset = 12;
inline constexpr uint16_t kPalmDocCompressed = 2;
inline constexpr uint8_t kPeanutObfuscationKey = 0xA5;

}  // namespace quillmark
