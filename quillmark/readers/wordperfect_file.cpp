#include "quillmark/readers/wordperfect_file.h"

#include "quillmark/framework/compound_file.h"
#include "quillmark/framework/exception.h"
#include "quillmark/framework/stream.h"

namespace quillmark {

namespace {

// The header, with bytes missing from a short file read as zero.
TWPDFileHeader ParseHeader(std::string_view data) {
    ByteReader r(data.substr(0, kWPDFileHeaderSize));
    TWPDFileHeader h;
    for (auto& b : h.Ident) b = r.u8_or_zero();
    h.DocumentPointerPosition = r.u32le_or_zero();
    h.ProductID = r.u8_or_zero();
    h.FileType = r.u8_or_zero();
    h.MajorVersion = r.u8_or_zero();
    h.MinorVersion = r.u8_or_zero();
    h.EncryptionPosition = r.u16le_or_zero();
    h.IndexHeaderPosition = r.u16le_or_zero();
    h.Reserved = r.u32le_or_zero();
    h.DocumentEnd = r.u32le_or_zero();
    return h;
}

}  // namespace

TWordPerfectFile::~TWordPerfectFile() = default;

bool TWordPerfectFile::IsWordPerfectData(std::string_view bytes) {
    return bytes.substr(0, 4) == std::string_view(kWordPerfectSignature, 4);
}

void TWordPerfectFile::ClearInternalLists() {
    TMSWBaseDocument::ClearInternalLists();
    fontDescriptorList_.clear();
    headerPacketList_.clear();
    undoOn_ = false;
    fontChanged_ = false;
    lastJustify_.clear();
    textPackets_.clear();
    noteDepth_ = 0;
    footnoteCount_ = endnoteCount_ = 0;
    pendingFootnotes_.clear();
    pendingEndnotes_.clear();
    footNoteText_.Clear();
    endNoteText_.Clear();
}

const TWideStrings* TWordPerfectFile::PartText(TDocumentPart part) const {
    if (part == TDocumentPart::Footnotes) return &footNoteText_;
    if (part == TDocumentPart::Endnotes) return &endNoteText_;
    return TMSWBaseDocument::PartText(part);
}

bool TWordPerfectFile::IsPasswordProtected() { return header_.EncryptionPosition != 0; }

void TWordPerfectFile::LoadFromFile(const std::string& fileName) {
    TMSWBaseDocument::LoadFromFile(fileName);
    // A file load starts from empty results, as every stream load does.
    ClearInternalLists();
    TFileStream stream(fileName, TFileMode::fmOpenRead);
    stream.SetPosition(0);
    LoadBytes(stream.ReadRest());
}

void TWordPerfectFile::LoadFromStream(TStream& stream) {
    TMSWBaseDocument::LoadFromStream(stream);
    LoadBytes(stream.ReadRest());
}

void TWordPerfectFile::LoadBytes(const std::string& bytes) {
    header_ = TWPDFileHeader{};
    if (TCompoundFile::IsCompoundFile(bytes)) {
        auto file = TCompoundFile::Open(bytes);
        LoadIStorage(file->Root());
        return;
    }
    ReadDocFromStream(bytes);
}

void TWordPerfectFile::LoadIStorage(const TCompoundStorage& storage) {
    for (const auto& element : storage.Elements()) {
        if (element.Type != TStorageElementType::Stream || element.Name != kWordPerfectStreamName)
            continue;
        ReadDocFromStream(storage.ReadStream(element.Name));
    }
}

void TWordPerfectFile::ReadDocFromStream(std::string_view data) {
    if (!IsWordPerfectData(data)) throw EUnsupportedFormat(strWPDNotWordPerfect);
    header_ = ParseHeader(data);
    if (IsPasswordProtected()) throw EPasswordError(strWPDPasswordProtected);

    ByteReader reader(data);
    // Version 5 has no packet index (its prefix area is laid out otherwise,
    // and the header's later fields are not an index offset).
    if (!IsVersion5() && header_.IndexHeaderPosition != 0) ReadIndex(reader);

    if (ParseItems().Contains(wpiText)) WithFrame([&] { ReadText(data); });
    textPackets_.clear();  // views of `data`, which the caller owns
}

void TWordPerfectFile::ReadIndex(const ByteReader& data) {
    const size_t indexPos = header_.IndexHeaderPosition;
    if (!data.in_range(indexPos, kWPDIndexEntrySize)) return;  // index outside the file
    const uint16_t count = data.at_u16le(indexPos + kWPDIndexCountOffset);
    for (uint32_t i = 1; i < count; ++i) {
        const size_t entry = indexPos + kWPDIndexEntrySize * i;
        // The index is bounded by the file: a count larger than the entries
        // the file holds ends the list.
        if (!data.in_range(entry, kWPDIndexEntrySize)) break;
        ByteReader e = data.sub(entry, kWPDIndexEntrySize);
        TWPDIndexItem item;
        item.Flags = e.u8();
        item.PacketType = e.u8();
        item.UseCount = e.u16le();
        item.HiddenCount = e.u16le();
        item.DataPacketSize = e.u32le();
        item.DataPointer = e.u32le();
        // A packet whose data lies outside the file is skipped.
        if (!data.in_range(item.DataPointer, item.DataPacketSize)) continue;
        const auto pid = static_cast<uint16_t>(i);
        if (item.PacketType == kTextPacket) {
            textPackets_.resize(pid);
            textPackets_[pid - 1].Data = data.data().substr(item.DataPointer, item.DataPacketSize);
        }
        if (item.PacketType == kFontDescriptorPacket || item.PacketType == kFontDescriptorPacketAlt)
            ParseFontDescriptor(data, pid, item.DataPacketSize, item.DataPointer);
        auto packet = std::make_unique<TWPDHeaderPacket>();
        packet->PID = pid;
        packet->PacketType = item.PacketType;
        packet->PacketPosition = item.DataPointer;
        packet->HasChildren = (item.Flags & 1) != 0;
        headerPacketList_.push_back(std::move(packet));
    }
}

void TWordPerfectFile::ParseFontDescriptor(const ByteReader& data, uint16_t packetID,
                                           uint32_t dataPacketSize, uint32_t dataPointer) {
    // The descriptor is read from its packet only: a descriptor whose fields
    // or name run past the packet's size is not a descriptor and is skipped.
    if (!data.in_range(dataPointer, dataPacketSize)) return;
    ByteReader p = data.sub(dataPointer, dataPacketSize);
    if (!p.can_read(kWPDFontDescriptorFixedSize + 2)) return;
    auto d = std::make_unique<TWPDFontDescriptor>();
    d->PacketID = packetID;
    d->CharacterWidth = p.u16le();
    d->AscenderHeight = p.u16le();
    d->xHeight = p.u16le();
    d->DescenderHeight = p.u16le();
    d->ItalicsAdjust = p.u16le();
    d->PrimaryFamilyId = p.u8();
    d->PrimaryFamilyMemberId = p.u8();
    d->ScriptingSystem = p.u8();
    d->PrimaryCharacterSet = p.u8();
    d->Width = p.u8();
    d->Weight = p.u8();
    d->Attributes = p.u8();
    d->GeneralCharacteristics = p.u8();
    d->Classification = p.u8();
    d->FillByte = p.u8();
    d->FontType = p.u8();
    d->FontSourceFileType = p.u8();
    const uint16_t nameLength = p.u16le();
    if (!p.can_read(nameLength)) return;
    std::string_view name = p.bytes(nameLength);
    d->FontName.reserve(name.size() / 2);
    for (size_t i = 0; i + 1 < name.size(); i += 2)
        d->FontName.push_back(static_cast<char16_t>(static_cast<uint8_t>(name[i]) |
                                                    (static_cast<uint8_t>(name[i + 1]) << 8)));
    // The stored name ends with a NUL unit; it is not part of the name.
    while (!d->FontName.empty() && d->FontName.back() == u'\0') d->FontName.pop_back();
    fontDescriptorList_.push_back(std::move(d));
}

}  // namespace quillmark
