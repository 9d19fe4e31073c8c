// Writes small compound files for tests: a root, storages and streams, in
// version 3 (512-byte sectors) or 4 (4096-byte sectors), with the mini stream
// for small streams and chained DIFAT sectors when the FAT needs more than
// the header's 109 entries. After Build the layout is known, so tests can
// damage chosen fields (FAT entries, directory links, sizes) in the bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillmark::test {

class CompoundFileBuilder {
public:
    explicit CompoundFileBuilder(int majorVersion = 3);

    // Directory index of the new entry (the root is 0).
    uint32_t AddStorage(const std::u16string& name, uint32_t parent = 0);
    uint32_t AddStream(const std::u16string& name, std::string data, uint32_t parent = 0);

    std::string Build();

    // Layout of the last Build.
    size_t SectorSize() const { return sectorSize_; }
    size_t SectorOffset(uint32_t sector) const { return (size_t{sector} + 1) * sectorSize_; }
    size_t FatEntryOffset(uint32_t sector) const;
    size_t DirEntryOffset(uint32_t entry) const;
    size_t MiniFatEntryOffset(uint32_t miniSector) const;
    uint32_t StartSector(uint32_t entry) const { return entries_[entry].start; }
    const std::vector<uint32_t>& FatSectors() const { return fatSectors_; }
    const std::vector<uint32_t>& DifatSectors() const { return difatSectors_; }

    // Helpers to damage a built file.
    static void Put32(std::string& bytes, size_t offset, uint32_t value);
    static void Put16(std::string& bytes, size_t offset, uint16_t value);

private:
    struct Entry {
        std::u16string name;
        uint8_t type;  // 1 storage, 2 stream, 5 root
        uint32_t parent;
        std::string data;
        uint32_t start = 0xFFFFFFFE;
        uint32_t left = 0xFFFFFFFF, right = 0xFFFFFFFF, child = 0xFFFFFFFF;
    };
    uint32_t Tree(std::vector<uint32_t>& sorted, size_t lo, size_t hi);

    int version_;
    size_t sectorSize_;
    std::vector<Entry> entries_;
    std::vector<uint32_t> fatSectors_, difatSectors_, miniFatSectors_;
    uint32_t dirStart_ = 0;
};

}  // namespace quillmark::test
