// A read-only reader of compound files (OLE structured storage, the Compound
// File Binary format): Word, Excel and PowerPoint binaries, MSI packages, and
// the OLE wrappers of WordPerfect documents and embedded .docx packages.
//
// The whole file is held in memory (owned, or a view of the caller's bytes).
// Open parses the header, builds the FAT once (header DIFAT plus the chained
// DIFAT sectors), reads the directory and checks its trees; streams are then
// copied out of their sector chains on demand (runs of consecutive sectors
// with one copy), or given as views of the file's bytes when their sectors
// follow each other, so reading every stream is linear in the file size.
//
// Hostile files: every sector number, link and size is checked. A damaged
// structure throws quillmark::Exception "Compound file is damaged: <what,
// where>"; a stream whose chain ends early, leaves the file or is cut by a
// bad FAT entry is returned truncated at its last valid sector. Chains that
// loop, or a sector claimed by two streams, are reported as damage, so no
// file can make the reader produce more bytes than it holds.
//
// A TCompoundFile and its storages are for one thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "quillmark/framework/compound_file_header.h"
#include "quillmark/framework/stream.h"

namespace quillmark {

enum class TStorageElementType { Storage, Stream };

struct TStorageElement {
    std::u16string Name;
    TStorageElementType Type;
    uint64_t Size;  // stream size in bytes (0 for storages)
};

class TCompoundFile;

namespace cfb {
// A storage's children, found once when the file is opened.
struct StorageInfo {
    std::vector<uint32_t> children;                            // in-order
    std::unordered_map<std::u16string, uint32_t> byUpperName;  // first of each name
    std::string error;  // set when the storage's tree is damaged
};
}  // namespace cfb

// A lightweight handle to one storage (the root or a sub-storage); valid
// while its TCompoundFile lives.
class TCompoundStorage {
public:
    TCompoundStorage() = default;

    // The children, in the order of an in-order walk of the storage's
    // red-black tree (the format's own order: shorter names first, then by
    // upper-cased name).
    std::vector<TStorageElement> Elements() const;
    // Names are compared as the format compares them: ignoring case.
    bool HasStream(std::u16string_view name) const;
    bool HasStorage(std::u16string_view name) const;
    // The whole stream; throws when there is no such stream.
    std::string ReadStream(std::u16string_view name) const;
    // The same bytes without a copy when the stream's sectors lie one after
    // the other in the file (the usual case for the large streams): a view
    // of the file's bytes, valid while the file lives. Otherwise the stream
    // is copied into scratch and the view is of scratch.
    std::string_view ReadStreamView(std::u16string_view name, std::string& scratch) const;
    std::unique_ptr<TStream> OpenStream(std::u16string_view name) const;
    // Throws when there is no such storage.
    TCompoundStorage OpenStorage(std::u16string_view name) const;

    // The storage's own name ("Root Entry" for the root).
    std::u16string Name() const;
    bool IsValid() const { return file_ != nullptr; }

private:
    friend class TCompoundFile;
    TCompoundStorage(const TCompoundFile* file, uint32_t entry) : file_(file), entry_(entry) {}
    // The storage's children; throws for a default-constructed handle or a
    // damaged tree.
    const cfb::StorageInfo& Info() const;
    // The directory index of a child of the given type, or kNoStream.
    uint32_t Find(std::u16string_view name, uint8_t type) const;

    const TCompoundFile* file_ = nullptr;
    uint32_t entry_ = 0;
};

class TCompoundFile {
public:
    // True when the bytes start with the compound-file signature and a
    // header whose version and sector sizes are ones this reader handles.
    static bool IsCompoundFile(std::string_view bytes);
    // Tests a file on disk (reads only its header); false when unreadable.
    static bool IsCompoundFileName(const std::string& fileName);

    // Throws quillmark::Exception "Not a compound file" when the signature is
    // absent (callers then read the bytes as a plain file), "Compound file is
    // damaged: ..." for a broken structure.
    static std::unique_ptr<TCompoundFile> Open(std::string bytes);
    // As Open over bytes that the caller keeps alive, unchanged, for as long
    // as the file, its storages and the views it gave out are used.
    static std::unique_ptr<TCompoundFile> OpenView(std::string_view bytes);
    // As Open, after reading the file (a missing file throws with the reason).
    static std::unique_ptr<TCompoundFile> OpenFile(const std::string& fileName);

    TCompoundStorage Root() const { return TCompoundStorage(this, 0); }

    const TCompoundFileHeader& Header() const { return header_; }
    size_t SectorSize() const { return sectorSize_; }
    const std::vector<TCompoundDirectoryEntry>& Directory() const { return dir_; }

    TCompoundFile(const TCompoundFile&) = delete;
    TCompoundFile& operator=(const TCompoundFile&) = delete;
    ~TCompoundFile();

private:
    friend class TCompoundStorage;
    TCompoundFile() = default;

    using StorageInfo = cfb::StorageInfo;

    void Parse();
    void BuildFat();
    void ReadDirectory();
    void BuildTrees();
    void LoadMiniStream() const;
    std::string ReadEntry(uint32_t entry) const;
    std::string_view EntryView(uint32_t entry, std::string& scratch) const;
    // The byte runs (offset, length in bytes_) of up to size bytes of a chain
    // of regular sectors, consecutive sectors merged; see the .cpp.
    using Runs = std::vector<std::pair<size_t, size_t>>;
    Runs ChainRuns(uint32_t start, uint64_t size, uint32_t owner) const;
    // The chain's bytes: a view of bytes_ when they form one run, else
    // copied into scratch.
    std::string_view ChainView(uint32_t start, uint64_t size, uint32_t owner, std::string& scratch) const;
    void ReadChain(uint32_t start, uint64_t size, uint32_t owner, std::string& out) const;
    void ReadMiniChain(uint32_t start, uint64_t size, uint32_t owner, std::string& out) const;
    const StorageInfo& Storage(uint32_t entry) const;
    void NextPass() const;
    std::string_view SectorBytes(uint32_t sector) const;

    std::string owned_;       // the bytes when Open was given them
    std::string_view bytes_;  // the file: owned_ or the caller's bytes
    TCompoundFileHeader header_;
    size_t sectorSize_ = 512;
    size_t miniSectorSize_ = 64;
    uint32_t sectorCount_ = 0;       // sectors present (a short last one counts)
    std::vector<uint32_t> fat_;      // one entry per sector present
    std::vector<TCompoundDirectoryEntry> dir_;
    std::unordered_map<uint32_t, StorageInfo> storages_;

    // Loaded on first use of a stream below the cutoff.
    mutable bool miniLoaded_ = false;
    mutable std::string_view miniStream_;  // a view of bytes_ or of miniScratch_
    mutable std::string miniScratch_;
    mutable std::vector<uint32_t> miniFat_;
    // Chain bookkeeping: which directory entry (plus one) a sector belongs
    // to, and the read pass that last visited it (loop detection).
    mutable std::vector<uint32_t> owner_, miniOwner_, visit_, miniVisit_;
    mutable uint32_t pass_ = 0;
};

}  // namespace quillmark
