#include "quillmark/package/zip_archive.h"

#include <algorithm>
#include <map>

#include "quillmark/framework/code_pages.h"
#include "quillmark/framework/limits.h"
#include "quillmark/framework/work_budget.h"
#include "quillmark/package/crc32.h"
#include "quillmark/package/raw_inflate.h"

namespace quillmark {

namespace {

constexpr uint32_t k32BitMarker = 0xFFFFFFFF;  // "the value is in the Zip64 extra field"

std::string Damaged(const std::string& what) { return "Zip archive is damaged: " + what; }

std::string LowerAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

TCommonFileHeader ReadCommonFileHeader(ByteReader& r) {
    TCommonFileHeader h;
    h.VersionNeededToExtract = r.u16le();
    h.GeneralPurposeBitFlag = r.u16le();
    h.CompressionMethod = r.u16le();
    h.LastModFileTimeDate = r.u32le();
    h.Crc32 = r.u32le();
    h.CompressedSize = r.u32le();
    h.UncompressedSize = r.u32le();
    h.FilenameLength = r.u16le();
    h.ExtraFieldLength = r.u16le();
    return h;
}

// Replaces the 32-bit sizes (and the local header offset, when given) that
// are marked 0xFFFFFFFF by the 64-bit values of a Zip64 extra field. The
// field holds only the values that overflowed, in this order.
void ApplyZip64Extra(std::string_view extra, TCommonFileHeader& h, uint64_t* localOffset,
                     bool offsetMarked) {
    ByteReader r(extra);
    while (r.remaining() >= 4) {
        uint16_t tag = r.u16le();
        uint16_t size = r.u16le();
        ByteReader field(r.bytes_upto(size));
        if (tag != kZip64ExtraFieldTag) continue;
        if (h.UncompressedSize == k32BitMarker && field.remaining() >= 8)
            h.UncompressedSize = field.u64le();
        if (h.CompressedSize == k32BitMarker && field.remaining() >= 8)
            h.CompressedSize = field.u64le();
        if (localOffset && offsetMarked && field.remaining() >= 8) *localOffset = field.u64le();
        return;
    }
}

std::string FormatMethod(uint16_t method, const std::string& name) {
    std::string s = FormatMessage(strZipUnsupportedMethod, name);
    size_t at = s.find("%d");
    return s.replace(at, 2, std::to_string(method));
}

}  // namespace

std::string_view TLocalFile::CompressedData() const {
    if (!archive_) return {};
    return std::string_view(*archive_).substr(dataOffset_, dataSize_);
}

bool IsZipArchiveData(std::string_view bytes) {
    // Any version and flags: LibreOffice writes 14 00 08 08, Word 14 00 06 00,
    // other tools 0A 00 00 00 or 2D 00 (Zip64).
    return bytes.size() >= 4 && bytes.substr(0, 4) == std::string_view("PK\3\4", 4);
}

bool FileIsZipArchive(const std::string& fileName) {
    TFileStream file(fileName, TFileMode::fmOpenRead);
    char head[4];
    return file.Read(head, sizeof head) == sizeof head && IsZipArchiveData(std::string_view(head, 4));
}

void TZipArchive::LoadFromFile(const std::string& fileName) { LoadFromBytes(ReadFileBytes(fileName)); }

void TZipArchive::LoadFromStream(TStream& zipFileStream) {
    int64_t start = zipFileStream.Position();
    zipFileStream.SetPosition(0);
    std::string bytes;
    try {
        bytes = zipFileStream.ReadRest();
    } catch (...) {
        zipFileStream.SetPosition(start);
        throw;
    }
    zipFileStream.SetPosition(start);
    LoadFromBytes(std::move(bytes));
}

bool TZipArchive::FindEndOfCentralDir(std::string_view bytes, size_t& endPos) {
    if (bytes.size() < kEndOfCentralDirSize) return false;
    // The end record is followed only by the archive comment; search back
    // from the last possible place over the longest possible comment.
    size_t last = bytes.size() - kEndOfCentralDirSize;
    size_t first = last > kMaxArchiveCommentLength ? last - kMaxArchiveCommentLength : 0;
    ByteReader r(bytes);
    // The record whose comment ends exactly at the end of the archive wins;
    // failing that (bytes appended after the archive), the last one whose
    // comment fits and whose directory lies before it.
    bool haveFallback = false;
    TEndOfCentralDir fallback;
    size_t fallbackPos = 0;
    for (size_t pos = last + 1; pos-- > first;) {
        if (bytes[pos] != 'P' || r.at_u32le(pos) != kEndOfCentralDirSignature) continue;
        ByteReader e = r.sub(pos, kEndOfCentralDirSize);
        TEndOfCentralDir d;
        d.EndOfCentralDirSignature = e.u32le();
        d.NumberOfThisDisk = e.u16le();
        d.NumberOfTheDiskWithTheStart = e.u16le();
        d.TotalNumberOfEntriesOnThisDisk = e.u16le();
        d.TotalNumberOfEntries = e.u16le();
        d.SizeOfTheCentralDirectory = e.u32le();
        d.OffsetOfStartOfCentralDirectory = e.u32le();
        d.ZipfileCommentLength = e.u16le();
        size_t after = bytes.size() - pos - kEndOfCentralDirSize;
        if (d.ZipfileCommentLength == after) {
            endOfCentralDir_ = d;
            endPos = pos;
            return true;
        }
        bool before = d.SizeOfTheCentralDirectory <= pos ||
                      d.SizeOfTheCentralDirectory == 0xFFFFFFFF;
        if (!haveFallback && d.ZipfileCommentLength < after && before) {
            haveFallback = true;
            fallback = d;
            fallbackPos = pos;
        }
    }
    if (!haveFallback) return false;
    endOfCentralDir_ = fallback;
    endPos = fallbackPos;
    return true;
}

void TZipArchive::ReadZip64End(std::string_view bytes, size_t endPos) {
    // Zip64: a locator right before the end record points to a larger end
    // record with 64-bit counts, size and offset.
    if (endPos < kZip64LocatorSize) return;
    ByteReader r(bytes);
    size_t locator = endPos - kZip64LocatorSize;
    if (r.at_u32le(locator) != kZip64EndOfCentralDirLocatorSignature) return;
    uint64_t recordPos = r.sub(locator + 8, 8).u64le();
    if (!r.in_range(static_cast<size_t>(std::min<uint64_t>(recordPos, SIZE_MAX)), kZip64EndOfCentralDirSize) ||
        recordPos > locator || r.at_u32le(recordPos) != kZip64EndOfCentralDirSignature)
        return;
    ByteReader e = r.sub(recordPos + 16, 40);
    endOfCentralDir_.NumberOfThisDisk = static_cast<uint16_t>(e.u32le());
    endOfCentralDir_.NumberOfTheDiskWithTheStart = static_cast<uint16_t>(e.u32le());
    endOfCentralDir_.TotalNumberOfEntriesOnThisDisk = e.u64le();
    endOfCentralDir_.TotalNumberOfEntries = e.u64le();
    endOfCentralDir_.SizeOfTheCentralDirectory = e.u64le();
    endOfCentralDir_.OffsetOfStartOfCentralDirectory = e.u64le();
}

// Where the central directory starts. Normally at the recorded offset; when
// the archive has bytes in front of it (a self-extractor stub, a container
// header) the recorded offsets are all short by that many bytes, which the
// directory's size tells: it ends where the end record begins.
size_t TZipArchive::LocateCentralDirectory(std::string_view bytes, size_t endPos, int64_t& shift) const {
    ByteReader r(bytes);
    uint64_t offset = endOfCentralDir_.OffsetOfStartOfCentralDirectory;
    uint64_t size = endOfCentralDir_.SizeOfTheCentralDirectory;
    shift = 0;
    auto isCentral = [&](uint64_t pos) {
        return pos <= bytes.size() && r.in_range(static_cast<size_t>(pos), 4) &&
               r.at_u32le(static_cast<size_t>(pos)) == kCentralFileHeaderSignature;
    };
    if (isCentral(offset)) return static_cast<size_t>(offset);
    // The directory ends at the Zip64 end record when there is one.
    size_t dirEnd = endPos;
    if (endPos >= kZip64LocatorSize &&
        r.at_u32le(endPos - kZip64LocatorSize) == kZip64EndOfCentralDirLocatorSignature) {
        uint64_t recordPos = r.sub(endPos - kZip64LocatorSize + 8, 8).u64le();
        if (recordPos < endPos) dirEnd = static_cast<size_t>(recordPos);
    }
    if (size <= dirEnd && isCentral(dirEnd - size)) {
        shift = static_cast<int64_t>(dirEnd - size) - static_cast<int64_t>(offset);
        return dirEnd - static_cast<size_t>(size);
    }
    if (offset > bytes.size())
        throw EDamagedDocument(Damaged("central directory at offset " + std::to_string(offset) +
                                " lies outside the archive of " + std::to_string(bytes.size()) +
                                " bytes"));
    return static_cast<size_t>(offset);
}

void TZipArchive::ReadCentralRecord(ByteReader& r, TLocalFile& f) const {
    f.CentralVersionMadeBy = r.u16le();
    f.CentralCommonFileHeader = ReadCommonFileHeader(r);
    f.CentralFileCommentLength = r.u16le();
    f.CentralDiskNumberStart = r.u16le();
    f.CentralInternalFileAttributes = r.u16le();
    f.CentralExternalFileAttributes = r.u32le();
    f.CentralRelativeOffsetOfLocalHeader = r.u32le();
    f.CentralFileName = std::string(r.bytes(f.CentralCommonFileHeader.FilenameLength));
    f.CentralExtraField = std::string(r.bytes(f.CentralCommonFileHeader.ExtraFieldLength));
    f.CentralFileComment = std::string(r.bytes(f.CentralFileCommentLength));
    ApplyZip64Extra(f.CentralExtraField, f.CentralCommonFileHeader, &f.CentralRelativeOffsetOfLocalHeader,
                    f.CentralRelativeOffsetOfLocalHeader == k32BitMarker);
}

bool TZipArchive::TMemberSpans::Claim(uint64_t begin, uint64_t end) {
    if (end <= begin) end = begin + 1;
    auto next = spans_.lower_bound(begin);
    if (next != spans_.end() && next->first < end) return false;
    if (next != spans_.begin() && std::prev(next)->second > begin) return false;
    spans_.emplace_hint(next, begin, end);
    return true;
}

void TZipArchive::ReadLocalHeader(std::string_view bytes, int64_t shift, TLocalFile& f,
                                  TMemberSpans& spans) const {
    ByteReader r(bytes);
    const std::string& name = f.CentralFileName;
    uint64_t offset = f.CentralRelativeOffsetOfLocalHeader + static_cast<uint64_t>(shift);
    if (offset > bytes.size() || !r.in_range(static_cast<size_t>(offset), kLocalFileHeaderSize)) {
        f.damage_ = "local header of \"" + name + "\" at offset " + std::to_string(offset) +
                    " lies outside the archive";
        return;
    }
    r.seek(static_cast<size_t>(offset));
    if (r.u32le() != kLocalFileHeaderSignature) {
        f.damage_ = "no local header for \"" + name + "\" at offset " + std::to_string(offset);
        return;
    }
    TCommonFileHeader h = ReadCommonFileHeader(r);
    if (!r.can_read(size_t{h.FilenameLength} + h.ExtraFieldLength)) {
        f.damage_ = "local header of \"" + name + "\" runs past the end of the archive";
        return;
    }
    // A member owns the bytes from its local header to the end of its data.
    // Members never share bytes in an archive a program wrote; ones that do
    // are the way a small zip expands to gigabytes (every member inflating
    // the same compressed block) or makes the reader copy the same long
    // header once per directory entry. The first member keeps the bytes.
    uint64_t claimed = h.CompressedSize;
    if (claimed == 0 || claimed == k32BitMarker) claimed = f.CentralCommonFileHeader.CompressedSize;
    uint64_t spanEnd = r.pos() + uint64_t{h.FilenameLength} + h.ExtraFieldLength + claimed;
    if (!spans.Claim(offset, spanEnd)) {
        f.damage_ = "\"" + name + "\" at offset " + std::to_string(offset) +
                    " overlaps another member of the archive";
        return;
    }
    f.FileName = std::string(r.bytes(h.FilenameLength));
    f.ExtraField = std::string(r.bytes(h.ExtraFieldLength));
    ApplyZip64Extra(f.ExtraField, h, nullptr, false);
    f.CommonFileHeader = h;
    f.FHeaderRead = true;
    // Sizes deferred to a data descriptor are 0 in the local header (or
    // still marked for Zip64); the central record has them then.
    uint64_t size = h.CompressedSize;
    if (size == 0 || size == k32BitMarker) size = f.CentralCommonFileHeader.CompressedSize;
    if (size > r.remaining()) {
        f.damage_ = "data of \"" + f.FileName + "\" (" + std::to_string(size) +
                    " bytes) runs past the end of the archive";
        return;
    }
    f.archive_ = bytes_;
    f.dataOffset_ = r.pos();
    f.dataSize_ = static_cast<size_t>(size);
}

void TZipArchive::LoadFromBytes(std::string bytesIn) {
    files_.Clear();
    firstByLowerName_.clear();
    endOfCentralDir_ = TEndOfCentralDir();
    bytes_ = std::make_shared<const std::string>(std::move(bytesIn));
    std::string_view bytes(*bytes_);

    size_t endPos = 0;
    if (!FindEndOfCentralDir(bytes, endPos)) return;  // not an archive: no members
    ReadZip64End(bytes, endPos);
    uint64_t total = endOfCentralDir_.TotalNumberOfEntries;
    if (total == 0) return;
    int64_t shift = 0;
    size_t start = LocateCentralDirectory(bytes, endPos, shift);

    ByteReader r(bytes);
    r.seek(start);
    TMemberSpans spans;
    // Every record takes at least 4 bytes, so the loop ends within the
    // archive's size whatever count the end record claims.
    for (uint64_t i = 0; i < total; ++i) {
        if (r.remaining() < 4)
            throw EDamagedDocument(Damaged("central directory ends after " + std::to_string(files_.Count()) +
                                    " of " + std::to_string(total) + " entries"));
        uint32_t signature = r.u32le();
        // A record with a wrong signature is skipped (only its 4 bytes).
        if (signature != kCentralFileHeaderSignature) continue;
        TLocalFile& f = files_.Add();
        f.CentralFileHeaderSignature = signature;
        try {
            ReadCentralRecord(r, f);
        } catch (const EReadError&) {
            throw EDamagedDocument(Damaged("central directory entry " + std::to_string(files_.Count()) +
                                    " runs past the end of the archive"));
        }
        ReadLocalHeader(bytes, shift, f, spans);
        std::string key = LowerAscii(f.FHeaderRead ? f.FileName : f.CentralFileName);
        firstByLowerName_.emplace(std::move(key), files_.Count() - 1);
    }
}

void TZipArchive::GetFileNames(TWideStrings& lstFiles) const {
    for (int i = 0; i < files_.Count(); ++i) lstFiles.Add(ZipNameToWide(files_[i]));
}

int TZipArchive::GetIndexByFileName(std::string_view aFileName) const {
    auto it = firstByLowerName_.find(LowerAscii(aFileName));
    return it == firstByLowerName_.end() ? -1 : it->second;
}

std::string TZipArchive::GetUncompressed(int index) const {
    if (index < 0 || index >= files_.Count()) throw Exception(strZipIndexOutOfRange);
    const TLocalFile& f = files_[index];
    const std::string& name = f.DisplayName();
    if (!f.damage_.empty()) throw EDamagedDocument(Damaged(f.damage_));
    const TCommonFileHeader& h = f.CommonFileHeader;
    const TCommonFileHeader& c = f.CentralCommonFileHeader;
    if ((h.GeneralPurposeBitFlag | c.GeneralPurposeBitFlag) & kFlagEncrypted)
        throw Exception("\"" + name + "\" is encrypted; encrypted zip members are not supported.");
    uint64_t expected = h.UncompressedSize != 0 && h.UncompressedSize != k32BitMarker
                            ? h.UncompressedSize
                            : c.UncompressedSize;
    if (expected > MaxOutputBytes())
        throw Exception("\"" + name + "\" is too large: " + std::to_string(expected) +
                        " bytes exceed the limit of " + std::to_string(MaxOutputBytes()) + " bytes");
    // Members whose headers share one block of compressed data would
    // otherwise inflate it once per member.
    ChargeDecodedBytes(expected, "zip members");
    std::string out;
    std::string_view data = f.CompressedData();
    switch (h.CompressionMethod) {
        case kMethodStored: out.assign(data.substr(0, static_cast<size_t>(expected))); break;
        case kMethodDeflated: out = InflateRaw(data, static_cast<size_t>(expected), name); break;
        default: throw Exception(FormatMethod(h.CompressionMethod, name));
    }
    // Short output fails like a wrong CRC.
    if (out.size() != expected) throw EZipFileCRCError(FormatMessage(strZipCRCError, name));
    uint32_t crc = Crc32(out);
    if (crc != h.Crc32 && crc != c.Crc32) throw EZipFileCRCError(FormatMessage(strZipCRCError, name));
    return out;
}

std::string TZipArchive::DecompressFileName(std::string_view aFileName) const {
    int index = GetIndexByFileName(aFileName);
    return index < 0 ? std::string() : GetUncompressed(index);
}

std::u16string ZipNameToWide(const TLocalFile& file) {
    const std::string& name = file.DisplayName();
    uint16_t flags = file.HeaderRead() ? file.CommonFileHeader.GeneralPurposeBitFlag
                                       : file.CentralCommonFileHeader.GeneralPurposeBitFlag;
    return (flags & kFlagUtf8Names) ? Utf8ToUtf16(name) : MultiByteToWide(name, CP_ACP);
}

}  // namespace quillmark
