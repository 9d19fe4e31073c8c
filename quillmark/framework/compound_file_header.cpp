#include "quillmark/framework/compound_file_header.h"

#include "quillmark/framework/byte_reader.h"

namespace quillmark {

TCompoundFileHeader ParseCompoundFileHeader(std::string_view first512) {
    ByteReader r(first512);
    TCompoundFileHeader h;
    r.seek(24);  // signature (8) and the unused class id (16)
    h.MinorVersion = r.u16le();
    h.MajorVersion = r.u16le();
    h.ByteOrder = r.u16le();
    h.SectorShift = r.u16le();
    h.MiniSectorShift = r.u16le();
    r.skip(6);  // reserved
    h.NumDirectorySectors = r.u32le();
    h.NumFatSectors = r.u32le();
    h.FirstDirectorySector = r.u32le();
    h.TransactionSignature = r.u32le();
    h.MiniStreamCutoff = r.u32le();
    h.FirstMiniFatSector = r.u32le();
    h.NumMiniFatSectors = r.u32le();
    h.FirstDifatSector = r.u32le();
    h.NumDifatSectors = r.u32le();
    for (auto& s : h.Difat) s = r.u32le();
    return h;
}

TCompoundDirectoryEntry ParseCompoundDirectoryEntry(std::string_view entry128, bool is512) {
    ByteReader r(entry128);
    TCompoundDirectoryEntry e;
    // The name field holds 32 UTF-16 units; the length counts bytes including
    // the terminating zero. Bad lengths are clamped to the field.
    uint16_t nameBytes = r.at_u16le(64);
    if (nameBytes > 64) nameBytes = 64;
    size_t units = nameBytes >= 2 ? nameBytes / 2 - 1 : 0;
    e.Name.reserve(units);
    for (size_t i = 0; i < units; ++i) e.Name.push_back(static_cast<char16_t>(r.at_u16le(2 * i)));
    r.seek(66);
    e.ObjectType = r.u8();
    e.Color = r.u8();
    e.LeftSibling = r.u32le();
    e.RightSibling = r.u32le();
    e.Child = r.u32le();
    for (auto& b : e.Clsid) b = r.u8();
    e.StateBits = r.u32le();
    e.CreationTime = r.u64le();
    e.ModifiedTime = r.u64le();
    e.StartSector = r.u32le();
    uint64_t low = r.u32le(), high = r.u32le();
    e.Size = is512 ? low : (high << 32 | low);
    return e;
}

}  // namespace quillmark
