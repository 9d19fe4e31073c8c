#include "quillmark/readers/palmdoc_file.h"

#include "quillmark/framework/byte_reader.h"
#include "quillmark/framework/code_pages.h"
#include "quillmark/framework/exception.h"
#include "quillmark/framework/limits.h"
#include "quillmark/framework/work_budget.h"
#include "quillmark/package/raw_inflate.h"
#include "quillmark/readers/ereader_markup.h"
#include "quillmark/readers/palmdoc_compression.h"

#include <algorithm>
#include <vector>

namespace quillmark {

namespace {

TPDBHeader ParseHeader(std::string_view data) {
    // A short header is not itself an error: missing bytes read as zero, and
    // the type check below then rejects the file.
    std::string padded(data.substr(0, kPDBHeaderSize));
    padded.resize(kPDBHeaderSize, '\0');
    ByteReader r(padded);
    TPDBHeader h;
    h.Name = std::string(r.bytes(32));
    h.Attributes = r.u16be();
    h.Version = r.u16be();
    h.CreateTime = r.u32be();
    h.ModifyTime = r.u32be();
    h.BackupTime = r.u32be();
    h.ModificationNumber = r.u32be();
    h.AppInfoIDc = r.u32be();
    h.SortInfoID = r.u32be();
    h.PDBType = std::string(r.bytes(4));
    h.Creator = std::string(r.bytes(4));
    h.IDSeed = r.u32be();
    h.NextRecordList = r.u32be();
    h.NumRecords = r.u16be();
    return h;
}

// The file offset of record i, or nothing when its list entry is missing.
bool RecordOffset(const ByteReader& r, size_t i, uint32_t& offset) {
    size_t entry = kPDBHeaderSize + kPDBRecordEntrySize * i;
    if (!r.in_range(entry, 4)) return false;
    offset = r.at_u32be(entry);
    return true;
}

// Record i's bytes: from its offset to the next listed record's (the last
// record runs to the end of the file); empty when the list entry is missing
// or the offsets are out of order.
std::string_view RecordBytes(std::string_view data, const ByteReader& r, uint32_t i, uint32_t count) {
    uint32_t start = 0, next = 0;
    if (i >= count || !RecordOffset(r, i, start) || start > data.size()) return {};
    uint32_t end = static_cast<uint32_t>(data.size());
    if (i + 1 < count && RecordOffset(r, i + 1, next) && next >= start && next <= data.size()) end = next;
    return data.substr(start, end - start);
}

// A zlib stream (2-byte header, deflate data, Adler-32), inflated up to limit.
std::string InflateZlib(std::string_view record, size_t limit) {
    if (record.size() < 2) return {};
    unsigned cmf = static_cast<unsigned char>(record[0]), flg = static_cast<unsigned char>(record[1]);
    if ((cmf & 0x0F) != 8 || ((cmf << 8) | flg) % 31 != 0 || (flg & 0x20)) return {};
    return InflateRaw(record.substr(2), limit, "eReader record");
}

}  // namespace

bool TPalmDocFile::IsPalmDocData(std::string_view bytes) {
    if (bytes.size() < kPDBHeaderSize) return false;
    std::string_view type = bytes.substr(60, 4), creator = bytes.substr(64, 4);
    return (type == "TEXt" && creator == "REAd") || (type == "PNRD" && creator == "PPRS") ||
           (type == "PNRd" && creator == "PPrs");
}

bool TPalmDocFile::IsEReaderFile() const { return header_.PDBType == "PNRd" && header_.Creator == "PPrs"; }

bool TPalmDocFile::IsPeanutFile() const {
    return header_.PDBType == "PNRD" && header_.Creator == "PPRS";
}

void TPalmDocFile::LoadFromFile(const std::string& fileName) {
    TMSWBaseDocument::LoadFromFile(fileName);
    TFileStream stream(fileName, TFileMode::fmOpenRead);
    stream.SetPosition(0);
    LoadFromStream(stream);
}

void TPalmDocFile::LoadFromStream(TStream& stream) {
    TMSWBaseDocument::LoadFromStream(stream);
    header_ = TPDBHeader{};
    record0_ = TPDB_DocRecord0{};

    const std::string data = stream.ReadRest();
    header_ = ParseHeader(data);
    bool palmDoc = header_.PDBType == "TEXt" && header_.Creator == "REAd";
    if (!palmDoc && !IsPeanutFile() && !IsEReaderFile()) throw Exception(strNotValidPalmDoc);

    const uint16_t pdbCount = header_.NumRecords;
    ByteReader r(data);
    // Records listed after record 0; a database that lists none is an empty book.
    uint16_t available = pdbCount > 0 ? static_cast<uint16_t>(pdbCount - 1) : 0;
    uint16_t textCount = available;

    uint32_t rec0 = 0;
    if (IsEReaderFile()) {
        if (pdbCount == 0 || !RecordOffset(r, 0, rec0) || rec0 >= data.size()) throw Exception(strNotValidPalmDoc);
        ReadEReader(data, pdbCount, rec0);
        return;
    }
    if (pdbCount > 0 && RecordOffset(r, 0, rec0) && rec0 < data.size()) {
        if (IsPeanutFile()) {
            ByteReader p(std::string_view(data).substr(rec0));
            TPDB_PeanutHeader peanut;
            peanut.Version = p.u16be_or_zero();
            p.skip(p.remaining() < 6 ? p.remaining() : 6);
            peanut.NumRecords = p.u16be_or_zero();
            record0_.Version = peanut.Version;
            record0_.RecSize = 4096;
            // The text records are 1 .. NumRecords-1.
            if (peanut.NumRecords >= 2 && peanut.NumRecords - 1 <= available)
                textCount = static_cast<uint16_t>(peanut.NumRecords - 1);
        } else {
            ByteReader p(std::string_view(data).substr(rec0));
            record0_.Version = p.u16be_or_zero();
            record0_.spare = p.u16be_or_zero();
            record0_.DocSize = p.u32be_or_zero();
            record0_.NumRecords = p.u16be_or_zero();
            record0_.RecSize = p.u16be_or_zero();
            record0_.Position = p.u32be_or_zero();
            // Mobipocket DRM: decoding would give garbage reported as text.
            uint16_t encryption = static_cast<uint16_t>(record0_.Position >> 16);
            if (encryption == 1 || encryption == 2) throw EEncryptedError(strEBookEncrypted);
            // Record 0 counts the text records; bookmark, image and metadata
            // records that follow them are not text.
            if (record0_.NumRecords >= 1 && record0_.NumRecords <= available)
                textCount = record0_.NumRecords;
        }
    } else {
        textCount = 0;
    }
    header_.NumRecords = textCount;

    if (!ParseItems().Contains(wpiText)) return;
    WithFrame([&] { ReadText(data, pdbCount); });
}

void TPalmDocFile::ReadEReader(std::string_view data, uint16_t pdbCount, uint32_t rec0) {
    ByteReader p(data.substr(rec0));
    TEReaderRecord0 h;
    h.Compression = p.u16be_or_zero();
    auto at = [&](size_t offset) { return p.in_range(offset, 2) ? p.at_u16be(offset) : uint16_t{0}; };
    h.NonTextRecord = at(12);
    h.FootnoteCount = at(28);
    h.SidebarCount = at(30);
    h.MetadataRecord = at(44);
    h.FootnoteRecord = at(48);
    h.SidebarRecord = at(50);
    record0_.Version = h.Compression;
    if (h.Compression == kEReaderDrm1 || h.Compression == kEReaderDrm2) throw EEncryptedError(strEBookEncrypted);
    if (h.Compression != kEReaderPalmDoc && h.Compression != kEReaderZlib)
        throw Exception("Unknown eReader compression " + std::to_string(h.Compression));
    ByteReader r(data);
    uint32_t textEnd = std::min<uint32_t>(h.NonTextRecord, pdbCount);
    header_.NumRecords = static_cast<uint16_t>(textEnd > 1 ? textEnd - 1 : 0);
    // Every record's output is bounded by the library's cap on the whole.
    size_t budget = MaxOutputBytes();
    auto decode = [&](uint32_t i) {
        std::string_view rec = RecordBytes(data, r, i, pdbCount);
        std::string out = h.Compression == kEReaderZlib ? InflateZlib(rec, budget) : DecompressText(rec, 4096);
        ChargeDecodedBytes(out.size(), "eReader records");
        if (out.size() > budget) throw ELimitError("eReader text is larger than the output limit");
        budget -= out.size();
        return out;
    };

    if (ParseItems().Contains(wpiSummaryInformation) && h.MetadataRecord > 0) {
        // NUL-separated: title, author, rights, publisher, ISBN.
        std::string_view meta = RecordBytes(data, r, h.MetadataRecord, pdbCount);
        std::vector<std::u16string> fields;
        size_t from = 0;
        while (from <= meta.size() && fields.size() < 5) {
            size_t nul = meta.find('\0', from);
            if (nul == std::string_view::npos) nul = meta.size();
            fields.push_back(MultiByteToWide(meta.substr(from, nul - from), 1252));
            from = nul + 1;
        }
        fields.resize(5);
        FSummaryInformation.SetTitle(fields[0]);
        FSummaryInformation.SetAuthor(fields[1]);
        FSummaryInformation.SetComments(fields[2]);
        FSummaryInformation.SetCompany(fields[3]);
    }
    if (!ParseItems().Contains(wpiText)) return;
    WithFrame([&] {
        // The text records are one PML text cut into pieces (a command may
        // straddle two), so they are joined before conversion.
        std::string pml;
        for (uint32_t i = 1; i < textEnd && !IsCancelExtract; ++i) pml += decode(i);
        for (auto& line : PmlToLines(pml)) AddText(Escape(line), *text_);
        // Footnotes, then sidebars, after the text: their first record is
        // an index of names, each following one a note's PML.
        for (auto [first, count] : {std::pair{h.FootnoteRecord, h.FootnoteCount},
                                    std::pair{h.SidebarRecord, h.SidebarCount}}) {
            if (first == 0 || count < 2) continue;
            uint32_t end = std::min<uint32_t>(uint32_t{first} + count, pdbCount);
            for (uint32_t i = uint32_t{first} + 1; i < end && !IsCancelExtract; ++i)
                for (auto& line : PmlToLines(decode(i))) AddText(Escape(line), *text_);
        }
    });
}

void TPalmDocFile::ReadText(std::string_view data, uint16_t pdbCount) {
    // The records are consecutive slices of one text: a word (or a double-byte
    // character) may straddle two records, so their bytes are joined and
    // decoded as one piece rather than added as separate lines.
    ByteReader r(data);
    const bool peanut = IsPeanutFile();
    const size_t limit = MaxTextLength() > 0 ? static_cast<size_t>(MaxTextLength()) : 0;
    std::string text;
    // Each byte of the file belongs to one record at most: a record that
    // starts inside one already read is skipped. Offsets that run backwards
    // would otherwise give every other record the whole tail of the file.
    uint32_t consumed = 0;
    for (uint32_t i = 1; i <= header_.NumRecords; ++i) {
        if (limit > 0 && text.size() >= limit) break;  // enough for the length limit
        uint32_t start = 0, end = static_cast<uint32_t>(data.size());
        if (!RecordOffset(r, i, start)) break;
        // A record ends where the next listed record starts; only the last
        // record of the database runs to the end of the file.
        uint32_t next = 0;
        if (i + 1 < pdbCount && RecordOffset(r, i + 1, next) && next >= start && next <= data.size())
            end = next;
        // Offsets outside the file or running backwards give empty records.
        if (start < consumed || start > data.size()) continue;
        consumed = end;
        std::string bytes(data.substr(start, end - start));
        if (peanut)
            for (auto& c : bytes) c = static_cast<char>(c ^ kPeanutObfuscationKey);
        if (record0_.Version == kPalmDocCompressed) bytes = DecompressText(bytes, record0_.RecSize);
        ChargeDecodedBytes(bytes.size(), "PalmDoc records");
        text += bytes;
    }
    AddText(Escape(MultiByteToWide(text, CP_ACP)), *text_);
}

}  // namespace quillmark
