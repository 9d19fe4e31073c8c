#include "support/compound_file_builder.h"

#include <algorithm>

namespace quillmark::test {

namespace {
constexpr uint32_t kEnd = 0xFFFFFFFE, kFree = 0xFFFFFFFF, kFatSect = 0xFFFFFFFD,
                   kDifSect = 0xFFFFFFFC;
constexpr size_t kCutoff = 4096, kMini = 64;

bool CfbLess(const std::u16string& a, const std::u16string& b) {
    if (a.size() != b.size()) return a.size() < b.size();
    for (size_t i = 0; i < a.size(); ++i) {
        char16_t x = a[i] >= u'a' && a[i] <= u'z' ? a[i] - 32 : a[i];
        char16_t y = b[i] >= u'a' && b[i] <= u'z' ? b[i] - 32 : b[i];
        if (x != y) return x < y;
    }
    return false;
}
}  // namespace

CompoundFileBuilder::CompoundFileBuilder(int majorVersion)
    : version_(majorVersion), sectorSize_(majorVersion == 4 ? 4096 : 512) {
    entries_.push_back({u"Root Entry", 5, 0, {}});
}

uint32_t CompoundFileBuilder::AddStorage(const std::u16string& name, uint32_t parent) {
    entries_.push_back({name, 1, parent, {}});
    return static_cast<uint32_t>(entries_.size() - 1);
}

uint32_t CompoundFileBuilder::AddStream(const std::u16string& name, std::string data,
                                        uint32_t parent) {
    entries_.push_back({name, 2, parent, std::move(data)});
    return static_cast<uint32_t>(entries_.size() - 1);
}

void CompoundFileBuilder::Put32(std::string& b, size_t off, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[off + i] = static_cast<char>(v >> (8 * i));
}
void CompoundFileBuilder::Put16(std::string& b, size_t off, uint16_t v) {
    b[off] = static_cast<char>(v);
    b[off + 1] = static_cast<char>(v >> 8);
}

size_t CompoundFileBuilder::FatEntryOffset(uint32_t sector) const {
    size_t per = sectorSize_ / 4;
    return SectorOffset(fatSectors_[sector / per]) + (sector % per) * 4;
}
size_t CompoundFileBuilder::DirEntryOffset(uint32_t entry) const {
    return SectorOffset(dirStart_) + size_t{entry} * 128;
}
size_t CompoundFileBuilder::MiniFatEntryOffset(uint32_t miniSector) const {
    size_t per = sectorSize_ / 4;
    return SectorOffset(miniFatSectors_[miniSector / per]) + (miniSector % per) * 4;
}

uint32_t CompoundFileBuilder::Tree(std::vector<uint32_t>& sorted, size_t lo, size_t hi) {
    if (lo >= hi) return kFree;
    size_t mid = lo + (hi - lo) / 2;
    uint32_t node = sorted[mid];
    entries_[node].left = Tree(sorted, lo, mid);
    entries_[node].right = Tree(sorted, mid + 1, hi);
    return node;
}

std::string CompoundFileBuilder::Build() {
    const size_t ss = sectorSize_, per = ss / 4;
    // Sibling trees: balanced over each storage's children in format order.
    for (uint32_t s = 0; s < entries_.size(); ++s) {
        if (entries_[s].type == 2) continue;
        std::vector<uint32_t> kids;
        for (uint32_t i = 1; i < entries_.size(); ++i)
            if (entries_[i].parent == s) kids.push_back(i);
        std::sort(kids.begin(), kids.end(),
                  [&](uint32_t a, uint32_t b) { return CfbLess(entries_[a].name, entries_[b].name); });
        entries_[s].child = Tree(kids, 0, kids.size());
    }
    // Mini stream: small streams, 64-byte sectors, in the root's chain.
    std::string mini;
    std::vector<uint32_t> miniFat;
    for (auto& e : entries_) {
        if (e.type != 2 || e.data.empty() || e.data.size() >= kCutoff) continue;
        uint32_t first = static_cast<uint32_t>(mini.size() / kMini);
        size_t n = (e.data.size() + kMini - 1) / kMini;
        for (size_t i = 0; i < n; ++i)
            miniFat.push_back(i + 1 < n ? first + static_cast<uint32_t>(i) + 1 : kEnd);
        e.start = first;
        mini += e.data;
        mini.resize(mini.size() + (kMini - mini.size() % kMini) % kMini, '\0');
    }
    auto sectorsFor = [&](size_t bytes) { return (bytes + ss - 1) / ss; };
    size_t dirSectors = sectorsFor(entries_.size() * 128);
    size_t miniFatSectors = sectorsFor(miniFat.size() * 4);
    size_t miniStreamSectors = sectorsFor(mini.size());
    size_t dataSectors = 0;
    for (auto& e : entries_)
        if (e.type == 2 && e.data.size() >= kCutoff) dataSectors += sectorsFor(e.data.size());
    size_t body = dirSectors + miniFatSectors + miniStreamSectors + dataSectors;
    size_t fatCount = 0, difatCount = 0;
    for (;;) {  // FAT and DIFAT sectors must also be covered by the FAT
        size_t total = body + fatCount + difatCount;
        size_t needFat = (total + per - 1) / per;
        size_t needDifat = needFat > 109 ? (needFat - 109 + per - 2) / (per - 1) : 0;
        if (needFat == fatCount && needDifat == difatCount) break;
        fatCount = needFat;
        difatCount = needDifat;
    }
    size_t total = body + fatCount + difatCount;
    std::vector<uint32_t> fat(fatCount * per, kFree);
    uint32_t next = 0;
    auto chain = [&](size_t n) {
        uint32_t first = next;
        for (size_t i = 0; i < n; ++i, ++next) fat[next] = i + 1 < n ? next + 1 : kEnd;
        return n ? first : kEnd;
    };
    fatSectors_.clear();
    difatSectors_.clear();
    miniFatSectors_.clear();
    for (size_t i = 0; i < fatCount; ++i) {
        fatSectors_.push_back(next);
        fat[next++] = kFatSect;
    }
    for (size_t i = 0; i < difatCount; ++i) {
        difatSectors_.push_back(next);
        fat[next++] = kDifSect;
    }
    dirStart_ = chain(dirSectors);
    uint32_t miniFatStart = chain(miniFatSectors);
    for (size_t i = 0; i < miniFatSectors; ++i) miniFatSectors_.push_back(miniFatStart + i);
    entries_[0].start = chain(miniStreamSectors);
    entries_[0].data.clear();
    for (auto& e : entries_)
        if (e.type == 2 && e.data.size() >= kCutoff) e.start = chain(sectorsFor(e.data.size()));

    std::string out((total + 1) * ss, '\0');
    // Header.
    out.replace(0, 8, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    Put16(out, 24, 0x3E);
    Put16(out, 26, static_cast<uint16_t>(version_));
    Put16(out, 28, 0xFFFE);
    Put16(out, 30, version_ == 4 ? 12 : 9);
    Put16(out, 32, 6);
    Put32(out, 40, version_ == 4 ? static_cast<uint32_t>(dirSectors) : 0);
    Put32(out, 44, static_cast<uint32_t>(fatCount));
    Put32(out, 48, dirStart_);
    Put32(out, 56, kCutoff);
    Put32(out, 60, miniFatSectors ? miniFatStart : kEnd);
    Put32(out, 64, static_cast<uint32_t>(miniFatSectors));
    Put32(out, 68, difatCount ? difatSectors_[0] : kEnd);
    Put32(out, 72, static_cast<uint32_t>(difatCount));
    for (size_t i = 0; i < 109; ++i)
        Put32(out, 76 + 4 * i, i < fatCount ? fatSectors_[i] : kFree);
    for (size_t d = 0; d < difatCount; ++d) {
        size_t off = SectorOffset(difatSectors_[d]);
        for (size_t i = 0; i + 1 < per; ++i) {
            size_t k = 109 + d * (per - 1) + i;
            Put32(out, off + 4 * i, k < fatCount ? fatSectors_[k] : kFree);
        }
        Put32(out, off + ss - 4, d + 1 < difatCount ? difatSectors_[d + 1] : kEnd);
    }
    for (size_t i = 0; i < fat.size(); ++i) Put32(out, FatEntryOffset(static_cast<uint32_t>(i)), fat[i]);
    for (size_t i = 0; i < miniFatSectors * per; ++i)
        Put32(out, MiniFatEntryOffset(static_cast<uint32_t>(i)), i < miniFat.size() ? miniFat[i] : kFree);
    if (!mini.empty()) out.replace(SectorOffset(entries_[0].start), mini.size(), mini);
    for (uint32_t i = 0; i < entries_.size(); ++i) {
        const Entry& e = entries_[i];
        size_t off = DirEntryOffset(i);
        for (size_t k = 0; k < e.name.size() && k < 31; ++k) Put16(out, off + 2 * k, e.name[k]);
        Put16(out, off + 64, static_cast<uint16_t>((std::min<size_t>(e.name.size(), 31) + 1) * 2));
        out[off + 66] = static_cast<char>(e.type);
        out[off + 67] = 1;  // black
        Put32(out, off + 68, e.left);
        Put32(out, off + 72, e.right);
        Put32(out, off + 76, e.child);
        uint64_t size = i == 0 ? mini.size() : e.data.size();
        Put32(out, off + 116, e.type == 1 ? 0 : (size ? e.start : kEnd));
        Put32(out, off + 120, static_cast<uint32_t>(size));
        Put32(out, off + 124, static_cast<uint32_t>(size >> 32));
        if (e.type == 2 && e.data.size() >= kCutoff) out.replace(SectorOffset(e.start), e.data.size(), e.data);
    }
    // Unused directory slots are empty entries with no links.
    for (size_t i = entries_.size(); i < dirSectors * ss / 128; ++i) {
        size_t off = DirEntryOffset(static_cast<uint32_t>(i));
        Put32(out, off + 68, kFree);
        Put32(out, off + 72, kFree);
        Put32(out, off + 76, kFree);
    }
    return out;
}

}  // namespace quillmark::test
