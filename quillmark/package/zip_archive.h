// TZipArchive: a read-only zip reader. Loading reads the archive into memory
// once, finds the end record (searching back over an archive comment, and
// following a Zip64 locator), reads the central directory and every member's
// local header; members are inflated on request and their CRC-32 checked.
//
// Hostile archives: every count, offset and size is checked against the
// bytes. A central directory that runs out of bytes makes the load fail; a
// member whose local header or data lies outside the archive loads as damaged
// and raises its damage when it is extracted, so one bad member does not hide
// the others. Inflation stops at the member's declared size and at the
// library-wide output cap (MaxOutputBytes), so a zip bomb ends with an error.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "quillmark/framework/byte_reader.h"
#include "quillmark/framework/exception.h"
#include "quillmark/framework/stream.h"
#include "quillmark/framework/wide_strings.h"
#include "quillmark/package/zip_records.h"

namespace quillmark {

// A member's data did not have the CRC its headers promise, or was short.
class EZipFileCRCError : public Exception {
public:
    using Exception::Exception;
};

inline constexpr const char* strZipCRCError = "CRC Error in \"%s\".";
inline constexpr const char* strZipIndexOutOfRange = "Index out of range.";
inline constexpr const char* strZipUnsupportedMethod = "Unsupported compression method %d in \"%s\".";

// True when the file begins with a local file header signature ("PK\3\4").
// Files shorter than that are not archives; an unreadable file throws.
bool FileIsZipArchive(const std::string& fileName);
bool IsZipArchiveData(std::string_view bytes);

// One member: its local header (with its data) and its central record.
class TLocalFile {
public:
    // Local header. The signature is left 0, as the loader has never stored it.
    uint32_t LocalFileHeaderSignature = 0;
    TCommonFileHeader CommonFileHeader;
    std::string FileName;
    std::string ExtraField;
    // The member's raw (compressed) bytes, a view into the loaded archive.
    std::string_view CompressedData() const;

    // Central directory record.
    uint32_t CentralFileHeaderSignature = 0;
    uint16_t CentralVersionMadeBy = 0;
    TCommonFileHeader CentralCommonFileHeader;
    uint16_t CentralFileCommentLength = 0;
    uint16_t CentralDiskNumberStart = 0;
    uint16_t CentralInternalFileAttributes = 0;
    uint32_t CentralExternalFileAttributes = 0;
    uint64_t CentralRelativeOffsetOfLocalHeader = 0;
    std::string CentralFileName;
    std::string CentralExtraField;
    std::string CentralFileComment;

    void Assign(const TLocalFile& source) { *this = source; }

    // Why the local header or the data could not be read ("" when intact).
    const std::string& Damage() const { return damage_; }
    bool HeaderRead() const { return FHeaderRead; }
    // The name to show: the local one, or the central one when the local
    // header is missing.
    const std::string& DisplayName() const { return FHeaderRead ? FileName : CentralFileName; }

private:
    friend class TZipArchive;
    bool FHeaderRead = false;
    std::string damage_;
    std::shared_ptr<const std::string> archive_;
    size_t dataOffset_ = 0;
    size_t dataSize_ = 0;
};

class TLocalFiles {
public:
    TLocalFile& Add() { return items_.emplace_back(); }
    int Count() const { return static_cast<int>(items_.size()); }
    const TLocalFile& operator[](int index) const { return items_.at(static_cast<size_t>(index)); }
    TLocalFile& operator[](int index) { return items_.at(static_cast<size_t>(index)); }
    void SetItem(int index, const TLocalFile& value) { (*this)[index].Assign(value); }
    void Clear() { items_.clear(); }

private:
    std::vector<TLocalFile> items_;
};

class TZipArchive {
public:
    TZipArchive() = default;

    void LoadFromFile(const std::string& fileName);
    // Reads the whole stream (offsets in an archive count from its start);
    // the stream's position is restored afterwards.
    void LoadFromStream(TStream& zipFileStream);
    void LoadFromBytes(std::string bytes);

    int Count() const { return files_.Count(); }
    const TLocalFiles& Files() const { return files_; }
    TLocalFiles& Files() { return files_; }
    const TEndOfCentralDir& EndOfCentralDirectory() const { return endOfCentralDir_; }

    // Appends every member's name, in directory order, to the list.
    void GetFileNames(TWideStrings& lstFiles) const;
    // Index of the first member whose name equals the given one ignoring
    // ASCII letter case; -1 when there is none.
    int GetIndexByFileName(std::string_view aFileName) const;
    // The member's bytes, inflated (or stored) and CRC-checked.
    std::string GetUncompressed(int index) const;
    // GetUncompressed by name; empty when no member has the name.
    std::string DecompressFileName(std::string_view aFileName) const;

private:
    bool FindEndOfCentralDir(std::string_view bytes, size_t& endPos);
    void ReadZip64End(std::string_view bytes, size_t endPos);
    size_t LocateCentralDirectory(std::string_view bytes, size_t endPos, int64_t& shift) const;
    void ReadCentralRecord(ByteReader& r, TLocalFile& file) const;
    // The byte ranges the members read so far occupy, local header to end
    // of data; a member whose range meets one of them is damaged.
    class TMemberSpans {
    public:
        bool Claim(uint64_t begin, uint64_t end);

    private:
        std::map<uint64_t, uint64_t> spans_;
    };
    void ReadLocalHeader(std::string_view bytes, int64_t shift, TLocalFile& file, TMemberSpans& spans) const;

    TLocalFiles files_;
    TEndOfCentralDir endOfCentralDir_;
    std::shared_ptr<const std::string> bytes_;
    std::unordered_map<std::string, int> firstByLowerName_;
};

// Member names are 8-bit text: UTF-8 when the member says so (flag bit 11),
// otherwise the active ANSI code page.
std::u16string ZipNameToWide(const TLocalFile& file);

}  // namespace quillmark
