#include "quillmark/framework/compound_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "quillmark/framework/byte_reader.h"
#include "quillmark/framework/code_pages.h"
#include "quillmark/framework/exception.h"
#include "quillmark/framework/work_budget.h"

namespace quillmark {

namespace {

[[noreturn]] void Damaged(const std::string& what) {
    throw EDamagedDocument("Compound file is damaged: " + what);
}

std::string Num(uint64_t v) { return std::to_string(v); }

// The format compares names by length first, then by upper-cased units; a
// lookup key is the upper-cased name.
std::u16string UpperName(std::u16string_view name) {
    std::u16string out(name);
    for (auto& c : out) c = WideUpperCase(c);
    return out;
}

bool HeaderLooksValid(std::string_view bytes) {
    if (bytes.size() < cfb::kHeaderSize || bytes.substr(0, 8) != cfb::kSignature) return false;
    TCompoundFileHeader h = ParseCompoundFileHeader(bytes.substr(0, cfb::kHeaderSize));
    return (h.SectorShift == 9 || h.SectorShift == 12) && h.MiniSectorShift == 6;
}

}  // namespace

TCompoundFile::~TCompoundFile() = default;

bool TCompoundFile::IsCompoundFile(std::string_view bytes) { return HeaderLooksValid(bytes); }

bool TCompoundFile::IsCompoundFileName(const std::string& fileName) {
    std::FILE* f = std::fopen(fileName.c_str(), "rb");
    if (!f) return false;
    char buf[cfb::kHeaderSize];
    size_t n = std::fread(buf, 1, sizeof buf, f);
    std::fclose(f);
    return HeaderLooksValid(std::string_view(buf, n));
}

std::unique_ptr<TCompoundFile> TCompoundFile::OpenFile(const std::string& fileName) {
    return Open(ReadFileBytes(fileName));
}

std::unique_ptr<TCompoundFile> TCompoundFile::Open(std::string bytes) {
    if (bytes.size() < cfb::kSignature.size() ||
        std::string_view(bytes).substr(0, cfb::kSignature.size()) != cfb::kSignature)
        throw Exception("Not a compound file");
    std::unique_ptr<TCompoundFile> file(new TCompoundFile());
    file->bytes_ = std::move(bytes);
    file->Parse();
    return file;
}

void TCompoundFile::Parse() {
    if (bytes_.size() < cfb::kHeaderSize)
        Damaged("header truncated at " + Num(bytes_.size()) + " of 512 bytes");
    header_ = ParseCompoundFileHeader(std::string_view(bytes_).substr(0, cfb::kHeaderSize));
    if (header_.SectorShift != 9 && header_.SectorShift != 12)
        Damaged("unsupported sector shift " + Num(header_.SectorShift) + " in the header");
    if (header_.MiniSectorShift != 6)
        Damaged("unsupported mini sector shift " + Num(header_.MiniSectorShift) + " in the header");
    sectorSize_ = size_t{1} << header_.SectorShift;
    miniSectorSize_ = size_t{1} << header_.MiniSectorShift;
    // Sector n starts at (n + 1) * sector size: the header occupies sector -1.
    // A short last sector still counts; reads from it are cut at the end.
    size_t body = bytes_.size() > sectorSize_ ? bytes_.size() - sectorSize_ : 0;
    uint64_t count = (uint64_t{body} + sectorSize_ - 1) / sectorSize_;
    sectorCount_ = static_cast<uint32_t>(std::min<uint64_t>(count, cfb::kMaxRegSect));
    BuildFat();
    ReadDirectory();
    BuildTrees();
    const StorageInfo& root = storages_.at(0);
    if (!root.error.empty()) throw EDamagedDocument(root.error);
}

std::string_view TCompoundFile::SectorBytes(uint32_t sector) const {
    size_t off = (size_t{sector} + 1) * sectorSize_;
    if (sector >= sectorCount_ || off >= bytes_.size()) return {};
    return std::string_view(bytes_).substr(off, sectorSize_);
}

void TCompoundFile::BuildFat() {
    const size_t perSector = sectorSize_ / 4;
    // Only entries for sectors that exist are useful: stop collecting FAT
    // sectors once they cover the file (this also bounds the FAT's memory).
    const size_t needed = (size_t{sectorCount_} + perSector - 1) / perSector;
    size_t limit = needed;
    if (header_.NumFatSectors != 0 && header_.NumFatSectors < limit) limit = header_.NumFatSectors;
    std::vector<uint32_t> fatSectors;
    bool done = false;
    auto take = [&](uint32_t s) {
        if (s > cfb::kMaxRegSect - 1 || fatSectors.size() >= limit) {
            done = true;
            return;
        }
        if (s >= sectorCount_)
            Damaged("FAT sector " + Num(s) + " lies beyond the end of the file (" +
                    Num(sectorCount_) + " sectors)");
        fatSectors.push_back(s);
    };
    for (uint32_t s : header_.Difat) {
        take(s);
        if (done) break;
    }
    // Further FAT sector numbers come from the chained DIFAT sectors: each
    // holds perSector - 1 numbers and then the number of the next one.
    uint32_t difat = header_.FirstDifatSector;
    uint64_t steps = 0;
    while (!done && difat <= cfb::kMaxRegSect - 1 && steps < header_.NumDifatSectors) {
        if (difat >= sectorCount_)
            Damaged("DIFAT sector " + Num(difat) + " lies beyond the end of the file");
        if (++steps > sectorCount_) Damaged("DIFAT chain loops at sector " + Num(difat));
        ByteReader r(SectorBytes(difat));
        for (size_t i = 0; i + 1 < perSector && !done && r.can_read(4); ++i) take(r.u32le());
        // A short last sector has no link to a next one.
        difat = r.size() == sectorSize_ ? r.at_u32le(sectorSize_ - 4) : cfb::kEndOfChain;
    }
    if (fatSectors.empty() && sectorCount_ > 0) Damaged("the header lists no FAT sectors");

    fat_.assign(sectorCount_, cfb::kFreeSect);
    size_t i = 0;
    for (uint32_t s : fatSectors) {
        ByteReader r(SectorBytes(s));
        for (size_t k = 0; k < perSector && i < fat_.size(); ++k, ++i)
            if (r.can_read(4)) fat_[i] = r.u32le();
    }
}

void TCompoundFile::NextPass() const {
    if (++pass_ != 0) return;
    std::fill(visit_.begin(), visit_.end(), 0);
    std::fill(miniVisit_.begin(), miniVisit_.end(), 0);
    pass_ = 1;
}

void TCompoundFile::ReadChain(uint32_t start, uint64_t size, uint32_t owner,
                              std::string& out) const {
    // One pass number per chain walk: a sector seen twice in the same walk
    // means the chain loops. Each sector also remembers the first directory
    // entry that used it; a second stream claiming it is damage (otherwise
    // crossed chains could multiply the file's bytes).
    if (visit_.size() != sectorCount_) {
        visit_.assign(sectorCount_, 0);
        owner_.assign(sectorCount_, 0);
    }
    NextPass();
    out.clear();
    uint64_t cap = uint64_t{sectorCount_} * sectorSize_;
    out.reserve(static_cast<size_t>(std::min(size, cap)));
    uint64_t remaining = size;
    uint32_t sector = start;
    size_t runOff = 0, runLen = 0;  // consecutive sectors are copied at once
    auto flush = [&] {
        if (runLen) out.append(bytes_, runOff, runLen);
        runLen = 0;
    };
    while (remaining > 0 && sector < sectorCount_) {
        if (visit_[sector] == pass_) Damaged("sector chain loops at sector " + Num(sector));
        visit_[sector] = pass_;
        if (owner != 0) {
            if (owner_[sector] != 0 && owner_[sector] != owner)
                Damaged("sector " + Num(sector) + " belongs to directory entries " +
                        Num(owner_[sector] - 1) + " and " + Num(owner - 1));
            owner_[sector] = owner;
        }
        size_t off = (size_t{sector} + 1) * sectorSize_;
        size_t avail = std::min(sectorSize_, bytes_.size() - off);
        size_t take = static_cast<size_t>(std::min<uint64_t>(remaining, avail));
        if (runLen && runOff + runLen == off) {
            runLen += take;
        } else {
            flush();
            runOff = off;
            runLen = take;
        }
        remaining -= take;
        if (avail < sectorSize_) break;  // the file ends inside this sector
        sector = fat_[sector];
    }
    flush();
}

void TCompoundFile::ReadDirectory() {
    std::string raw;
    ReadChain(header_.FirstDirectorySector, UINT64_MAX, 0, raw);
    bool is512 = sectorSize_ == 512;
    size_t count = raw.size() / cfb::kDirectoryEntrySize;
    if (count == 0) Damaged("the directory is empty (first sector " +
                            Num(header_.FirstDirectorySector) + ")");
    dir_.reserve(count);
    for (size_t i = 0; i < count; ++i)
        dir_.push_back(ParseCompoundDirectoryEntry(
            std::string_view(raw).substr(i * cfb::kDirectoryEntrySize, cfb::kDirectoryEntrySize),
            is512));
    if (dir_[0].ObjectType != cfb::kTypeRoot && dir_[0].ObjectType != cfb::kTypeStorage)
        Damaged("directory entry 0 is not the root entry (type " + Num(dir_[0].ObjectType) + ")");
}

void TCompoundFile::BuildTrees() {
    // Every entry may be reached once from the whole directory; the walks
    // use explicit stacks, so deep or degenerate trees cannot overflow ours.
    const uint32_t n = static_cast<uint32_t>(dir_.size());
    std::vector<uint8_t> seen(n, 0);
    seen[0] = 1;
    std::vector<uint32_t> pending{0}, stack;
    while (!pending.empty()) {
        uint32_t storage = pending.back();
        pending.pop_back();
        StorageInfo& info = storages_[storage];
        auto check = [&](uint32_t from, uint32_t to) {
            if (to == cfb::kNoStream) return false;
            if (to >= n)
                throw EDamagedDocument("Compound file is damaged: directory entry " + Num(from) +
                                " links to entry " + Num(to) + " outside the directory (" +
                                Num(n) + " entries)");
            if (seen[to])
                throw EDamagedDocument("Compound file is damaged: directory links loop at entry " +
                                Num(to) + " (from entry " + Num(from) + ")");
            seen[to] = 1;
            return true;
        };
        try {
            stack.clear();
            uint32_t node = dir_[storage].Child;
            if (!check(storage, node)) node = cfb::kNoStream;
            // In-order walk: left subtree, the node, right subtree.
            while (node != cfb::kNoStream || !stack.empty()) {
                while (node != cfb::kNoStream) {
                    stack.push_back(node);
                    uint32_t left = dir_[node].LeftSibling;
                    node = check(node, left) ? left : cfb::kNoStream;
                }
                node = stack.back();
                stack.pop_back();
                const TCompoundDirectoryEntry& e = dir_[node];
                if (e.ObjectType == cfb::kTypeStorage || e.ObjectType == cfb::kTypeStream) {
                    info.children.push_back(node);
                    info.byUpperName.emplace(UpperName(e.Name), node);
                    if (e.ObjectType == cfb::kTypeStorage) pending.push_back(node);
                }
                uint32_t right = e.RightSibling;
                node = check(node, right) ? right : cfb::kNoStream;
            }
        } catch (const Exception& ex) {
            info.error = ex.what();
        }
    }
}

const cfb::StorageInfo& TCompoundStorage::Info() const {
    if (!file_) throw Exception("Compound storage is not open");
    return file_->Storage(entry_);
}

const TCompoundFile::StorageInfo& TCompoundFile::Storage(uint32_t entry) const {
    auto it = storages_.find(entry);
    if (it == storages_.end()) Damaged("directory entry " + Num(entry) + " is not a storage");
    if (!it->second.error.empty()) throw EDamagedDocument(it->second.error);
    return it->second;
}

void TCompoundFile::LoadMiniStream() const {
    if (miniLoaded_) return;
    // The mini stream lives in the root entry's chain; the mini FAT in its own
    // chain of regular sectors.
    std::string container, table;
    ReadChain(dir_[0].StartSector, dir_[0].Size, 1, container);
    ReadChain(header_.FirstMiniFatSector, UINT64_MAX, 0, table);
    size_t miniCount = (container.size() + miniSectorSize_ - 1) / miniSectorSize_;
    ByteReader r(table);
    std::vector<uint32_t> miniFat;
    miniFat.reserve(std::min(miniCount, table.size() / 4));
    while (miniFat.size() < miniCount && r.can_read(4)) miniFat.push_back(r.u32le());
    miniFat.resize(miniCount, cfb::kFreeSect);
    miniStream_ = std::move(container);
    miniFat_ = std::move(miniFat);
    miniVisit_.assign(miniFat_.size(), 0);
    miniOwner_.assign(miniFat_.size(), 0);
    miniLoaded_ = true;
}

void TCompoundFile::ReadMiniChain(uint32_t start, uint64_t size, uint32_t owner,
                                  std::string& out) const {
    LoadMiniStream();
    NextPass();
    out.clear();
    out.reserve(static_cast<size_t>(std::min<uint64_t>(size, miniStream_.size())));
    uint64_t remaining = size;
    uint32_t sector = start;
    while (remaining > 0 && sector < miniFat_.size()) {
        if (miniVisit_[sector] == pass_)
            Damaged("mini sector chain loops at mini sector " + Num(sector));
        miniVisit_[sector] = pass_;
        if (miniOwner_[sector] != 0 && miniOwner_[sector] != owner)
            Damaged("mini sector " + Num(sector) + " belongs to directory entries " +
                    Num(miniOwner_[sector] - 1) + " and " + Num(owner - 1));
        miniOwner_[sector] = owner;
        size_t off = size_t{sector} * miniSectorSize_;
        size_t avail = std::min(miniSectorSize_, miniStream_.size() - off);
        size_t take = static_cast<size_t>(std::min<uint64_t>(remaining, avail));
        out.append(miniStream_, off, take);
        remaining -= take;
        if (avail < miniSectorSize_) break;
        sector = miniFat_[sector];
    }
}

std::string TCompoundFile::ReadEntry(uint32_t entry) const {
    const TCompoundDirectoryEntry& e = dir_[entry];
    std::string out;
    if (e.Size == 0) return out;
    if (e.Size < header_.MiniStreamCutoff)
        ReadMiniChain(e.StartSector, e.Size, entry + 1, out);
    else
        ReadChain(e.StartSector, e.Size, entry + 1, out);
    // One read is bounded by the file, but any number of directory entries
    // may share the same sectors: every read counts.
    ChargeDecodedBytes(out.size(), "compound file streams");
    return out;
}

// ---- TCompoundStorage ------------------------------------------------------

std::vector<TStorageElement> TCompoundStorage::Elements() const {
    const auto& info = Info();
    std::vector<TStorageElement> out;
    out.reserve(info.children.size());
    for (uint32_t i : info.children) {
        const TCompoundDirectoryEntry& e = file_->dir_[i];
        bool isStream = e.ObjectType == cfb::kTypeStream;
        out.push_back({e.Name, isStream ? TStorageElementType::Stream : TStorageElementType::Storage,
                       isStream ? e.Size : 0});
    }
    return out;
}

uint32_t TCompoundStorage::Find(std::u16string_view name, uint8_t type) const {
    const auto& info = Info();
    auto it = info.byUpperName.find(UpperName(name));
    if (it == info.byUpperName.end() || file_->dir_[it->second].ObjectType != type)
        return cfb::kNoStream;
    return it->second;
}

bool TCompoundStorage::HasStream(std::u16string_view name) const {
    return Find(name, cfb::kTypeStream) != cfb::kNoStream;
}

bool TCompoundStorage::HasStorage(std::u16string_view name) const {
    return Find(name, cfb::kTypeStorage) != cfb::kNoStream;
}

std::string TCompoundStorage::ReadStream(std::u16string_view name) const {
    uint32_t i = Find(name, cfb::kTypeStream);
    if (i == cfb::kNoStream)
        throw Exception("Compound file has no stream \"" + Utf16ToUtf8(name) + "\"");
    return file_->ReadEntry(i);
}

std::unique_ptr<TStream> TCompoundStorage::OpenStream(std::u16string_view name) const {
    return std::make_unique<TMemoryStream>(ReadStream(name));
}

TCompoundStorage TCompoundStorage::OpenStorage(std::u16string_view name) const {
    uint32_t i = Find(name, cfb::kTypeStorage);
    if (i == cfb::kNoStream)
        throw Exception("Compound file has no storage \"" + Utf16ToUtf8(name) + "\"");
    return TCompoundStorage(file_, i);
}

std::u16string TCompoundStorage::Name() const {
    return file_ ? file_->dir_[entry_].Name : std::u16string();
}

}  // namespace quillmark
