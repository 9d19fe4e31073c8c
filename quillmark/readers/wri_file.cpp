#include "quillmark/readers/wri_file.h"

#include <limits>

#include "quillmark/framework/byte_reader.h"
#include "quillmark/framework/code_pages.h"
#include "quillmark/framework/exception.h"
#include "quillmark/framework/markup_escape.h"
#include "quillmark/readers/wri_markup.h"

namespace quillmark {

namespace {

constexpr uint32_t kNoPageLimit = std::numeric_limits<uint32_t>::max();

}  // namespace

bool TWRIFile::IsWriteData(std::string_view bytes) {
    if (bytes.size() < 6) return false;
    ByteReader r(bytes);
    uint16_t ident = r.at_u16le(0);
    return (ident == kWRIIdent || ident == kWRIIdentOle) && r.at_u16le(4) == kWRITool;
}

void TWRIFile::ClearInternalLists() {
    TMSWBaseDocument::ClearInternalLists();
    fontTable_.Clear();
    headerText_.Clear();
    footerText_.Clear();
}

const TWideStrings* TWRIFile::PartText(TDocumentPart part) const {
    if (part == TDocumentPart::Headers) return &headerText_;
    if (part == TDocumentPart::Footers) return &footerText_;
    return TMSWBaseDocument::PartText(part);
}

void TWRIFile::LoadFromFile(const std::string& fileName) {
    TMSWBaseDocument::LoadFromFile(fileName);
    TFileStream stream(fileName, TFileMode::fmOpenRead);
    stream.SetPosition(0);
    LoadFromStream(stream);
}

void TWRIFile::LoadFromStream(TStream& stream) {
    TMSWBaseDocument::LoadFromStream(stream);
    header_ = TWRIHeader{};
    const std::string data = stream.ReadRest();
    header_ = ParseWRIHeader(data);
    if (!ParseItems().Contains(wpiText)) return;

    // The text ends at fcMac. A value inside the header page means there is
    // no text; one beyond the file cannot be read.
    if (header_.fcMac < kWRIPageSize) header_.fcMac = kWRIPageSize;
    if (header_.fcMac > data.size())
        throw EDamagedDocument("Write document is damaged: the text ends at position " +
                        std::to_string(header_.fcMac) + ", beyond the end of the file (" +
                        std::to_string(data.size()) + " bytes)");

    codePage_ = header_.pnMac == 0 ? kWRIDosCodePage : CP_ACP;
    ReadFontTable(data);
    // The whole body is built before anything is added, so a document whose
    // runs turn out to be broken adds nothing.
    std::u16string head, foot;
    std::u16string body = ReadPAP(data, head, foot);
    WithFrame([&] {
        AddText(body, *text_);
        if (!head.empty()) headerText_.Add(head);
        if (!foot.empty()) footerText_.Add(foot);
    });
}

void TWRIFile::ReadFontTable(std::string_view data) {
    // Files written by Word for DOS leave pnMac at 0 and keep other data
    // where Write keeps its font table; pnFfntb equal to pnMac means none.
    if (header_.pnMac == 0 || header_.pnFfntb >= header_.pnMac) return;
    ByteReader r(data);
    size_t pos = size_t{header_.pnFfntb} * kWRIPageSize;
    if (!r.in_range(pos, 2)) return;
    uint16_t count = r.at_u16le(pos);
    pos += 2;
    for (uint16_t i = 0; i < count; ++i) {
        if (!r.in_range(pos, 2)) return;
        uint16_t size = r.at_u16le(pos);
        if (size == kWRIFontOnNextPage) {
            // The entry did not fit: it starts on the next page. Every jump
            // moves forward, so a run of these ends at the end of the file.
            pos = (pos / kWRIPageSize + 1) * kWRIPageSize;
            --i;
            continue;
        }
        if (size == 0) return;  // the table ends early
        pos += 2;
        if (!r.in_range(pos, size)) return;  // an entry cut off by the end of the file
        auto font = std::make_unique<TWRIFont>();
        font->ID = r.at_u8(pos);
        std::string_view name = data.substr(pos + 1, size - 1u);
        name = name.substr(0, name.find('\0'));
        font->Name = std::string(name.substr(0, kWRIMaxFontName));
        fontTable_.Add(std::move(font));
        pos += size;
    }
}

std::u16string TWRIFile::ReadPAP(std::string_view data, std::u16string& head, std::u16string& foot) {
    const uint32_t fcMac = header_.fcMac;
    // Character runs start on the first page after the text and end where
    // the paragraph runs begin.
    const uint32_t pnChar = static_cast<uint32_t>((uint64_t{fcMac} + kWRIPageSize - 1) / kWRIPageSize);
    const uint32_t charEnd = header_.pnPara > pnChar ? header_.pnPara : kNoPageLimit;
    data_ = data;
    charRuns_.emplace(data, pnChar, charEnd, fcMac);
    charRunsStarted_ = false;
    hasCharRun_ = false;

    const size_t limit = MaxTextLength() > 0 ? static_cast<size_t>(MaxTextLength()) : 0;
    const TMSTextFormating format = TextFormating();
    std::u16string body;
    body.reserve(fcMac - kWRIPageSize);  // at least the text itself
    TWRIRunCursor paragraphs(data, header_.pnPara, kNoPageLimit, fcMac);
    while (!IsCancelExtract && paragraphs.Next()) {
        if (limit > 0 && body.size() >= limit) break;  // the rest would be cut off anyway
        const uint32_t start = paragraphs.Start(), end = paragraphs.End();
        AppendWRIParagraphOpen(body, format);
        TWRIParaProps props = DecodeWRIParaProps(paragraphs.Properties());
        if (props.RunningHeadFoot) {
            // Printed on every page rather than part of the running text.
            std::u16string& part = props.Foot ? foot : head;
            AppendWRIParagraphOpen(part, format);
            ReadCharInfo(start, end, part);
            AppendWRIParagraphClose(part, format);
        } else if (props.Picture && IsWRIPictureHeader(data.substr(start, end - start))) {
            ReadPicture(start, end - start);
        } else {
            ReadCharInfo(start, end, body);
        }
        AppendWRIParagraphClose(body, format);
    }
    charRuns_.reset();
    data_ = {};
    return body;
}

void TWRIFile::ReadCharInfo(uint32_t startFC, uint32_t endFC, std::u16string& out) {
    if (!charRunsStarted_) {
        hasCharRun_ = charRuns_->Next();
        charRunsStarted_ = true;
    }
    const TMSTextFormating format = TextFormating();
    // Runs are consumed in text order: one that ends inside this paragraph
    // is done with; one that goes on past it stays for the next paragraph.
    while (hasCharRun_ && charRuns_->Start() < endFC) {
        if (charRuns_->End() > startFC) {
            uint32_t from = charRuns_->Start() > startFC ? charRuns_->Start() : startFC;
            uint32_t to = charRuns_->End() < endFC ? charRuns_->End() : endFC;
            if (format == tfPlainText) {
                AppendCharacters(from, to, out);
            } else {
                TWRICharProps props = DecodeWRICharProps(charRuns_->Properties());
                // A font index beyond the table names its last font.
                const size_t fonts = fontTable_.Count();
                size_t index = props.FontIndex < fonts ? props.FontIndex : (fonts > 0 ? fonts - 1 : 0);
                const TWRIFont* font = fonts > 0 ? &fontTable_[index] : nullptr;
                AppendWRIRunOpen(out, format, props, index, font);
                AppendCharacters(from, to, out);
                AppendWRIRunClose(out, format, props);
            }
        }
        if (charRuns_->End() > endFC) break;
        hasCharRun_ = charRuns_->Next();
    }
}

void TWRIFile::ReadPicture(uint32_t, uint32_t) {}

char TWRIFile::ProcessSysCharacter(char c) { return c == '\f' ? '\n' : c; }

void TWRIFile::AppendCharacters(uint32_t from, uint32_t to, std::u16string& out) {
    std::string bytes(data_.substr(from, to - from));
    for (char& c : bytes) c = ProcessSysCharacter(c);
    AppendEscaped(out, MultiByteToWide(bytes, codePage_), TextFormating());
}

}  // namespace quillmark
