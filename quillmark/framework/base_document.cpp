#include "quillmark/framework/base_document.h"

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <system_error>
#include <vector>

#include "quillmark/framework/code_pages.h"
#include "quillmark/framework/exception.h"
#include "quillmark/framework/markup_escape.h"
#include "quillmark/framework/messages.h"

namespace quillmark {

namespace {
constexpr TDocumentPart kAllParts[] = {
    TDocumentPart::Main,        TDocumentPart::Footnotes, TDocumentPart::Headers,
    TDocumentPart::Footers,     TDocumentPart::Annotations, TDocumentPart::Endnotes,
    TDocumentPart::Textboxes,   TDocumentPart::Notes,     TDocumentPart::Macros,
};
}  // namespace

TMSWBaseDocument::TMSWBaseDocument() : text_(std::make_unique<TWideStrings>()) {}

TMSWBaseDocument::~TMSWBaseDocument() = default;

void TMSWBaseDocument::ClearInternalLists() {
    if (text_) text_->Clear();
    IsCancelExtract = false;
}

void TMSWBaseDocument::AddText(const std::u16string& value, TWideStrings& list) {
    list.Add(value);
    // The stop flag is raised once the limit is reached, not on every call:
    // raising it on the first call would stop every reader after its opening
    // text, however large the limit.
    if (maxTextLength_ > 0 && list.TextLength() >= static_cast<size_t>(maxTextLength_)) {
        IsCancelExtract = true;
        std::u16string all = list.Text();
        if (all.size() > static_cast<size_t>(maxTextLength_)) all.resize(static_cast<size_t>(maxTextLength_));
        list.Clear();
        list.Add(std::move(all));
    }
}

void TMSWBaseDocument::InternalLoadFromOLEStream(TStream& stream) { LoadFromStream(stream); }

void TMSWBaseDocument::LoadFromStream(TStream&) { ClearInternalLists(); }

void TMSWBaseDocument::LoadFromOLEStream(TStream& stream) {
    unsigned char header[12];
    stream.ReadBuffer(header, sizeof header);
    // A 12-byte container header that starts with "BDOC" precedes the document.
    bool bdoc = header[0] == 'B' && header[1] == 'D' && header[2] == 'O' && header[3] == 'C';
    if (!bdoc) stream.Seek(-12, TSeekOrigin::soCurrent);
    InternalLoadFromOLEStream(stream);
}

void TMSWBaseDocument::LoadFromFile(const std::string& fileName) {
    if (!FileExists(fileName)) throw Exception(FormatMessage(strFileNotFound, fileName));
}

bool TMSWBaseDocument::IsPasswordProtected() { return false; }

void TMSWBaseDocument::Execute() {
    if (onBeforeExecute_) onBeforeExecute_(*this);
    std::error_code ec;
    uint64_t size = std::filesystem::file_size(fileName_, ec);
    TWorkBudgetScope budget(workLimits_, ec ? 0 : size);
    LoadFromFile(fileName_);
    if (onAfterExecute_) onAfterExecute_(*this);
}

std::string RtfCreationDate(int year, int month, int day, int hour, int minute, int second) {
    std::string s = "yr" + std::to_string(year) + "\\mo" + std::to_string(month) + "\\dy" +
                    std::to_string(day);
    if (hour != 0 || minute != 0 || second != 0)
        s += "\\hr" + std::to_string(hour) + "\\min" + std::to_string(minute);
    return s;
}

std::u16string TMSWBaseDocument::GetTextStart() {
    std::string acp = std::to_string(GetACP());
    std::string name = kGeneratorName;
    std::string s;
    switch (textFormating_) {
        case tfPlainText: break;
        case tfRTF: {
            std::time_t now = std::time(nullptr);
            std::tm tm{};
            localtime_r(&now, &tm);
            std::string date = RtfCreationDate(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                                               tm.tm_hour, tm.tm_min, tm.tm_sec);
            s = "{\\rtf1\\ansi\\ansicpg" + acp + "\\uc1\r\n{\\*\\generator " + name + ";}" +
                "{\\info{\\operator " + name + "}{\\*\\company Quillmark Software}{\\creatim\\" + date +
                "}{\\title " + name + "}}\r\n";
            break;
        }
        case tfHTML:
            s = "<html>\r\n<head>\r\n<meta http-equiv=\"Content-Type\"\r\ncontent=\"text/html; "
                "charset=windows-" + acp + "\">\r\n<meta name=\"GENERATOR\" content=\"" + name +
                "\">\r\n<title>" + name + "</title>\r\n</head>\r\n\r\n<body bgcolor=\"#FFFFFF\">\r\n";
            break;
    }
    std::u16string text = Latin1ToUtf16(s);
    if (onBeforeText_) onBeforeText_(*this, text);
    return text;
}

std::u16string TMSWBaseDocument::GetTextFinish() {
    std::u16string text;
    switch (textFormating_) {
        case tfPlainText: break;
        case tfRTF: text = u"\r\n}"; break;
        case tfHTML: text = u"\r\n</body>\r\n</html>"; break;
    }
    if (onAfterText_) onAfterText_(*this, text);
    return text;
}

std::u16string TMSWBaseDocument::Escape(std::u16string_view text) const {
    return EscapeText(text, textFormating_);
}

void TMSWBaseDocument::WithFrame(const std::function<void()>& body) {
    AddText(GetTextStart(), *text_);
    body();
    AddText(GetTextFinish(), *text_);
    FrameParts();
}

void TMSWBaseDocument::FrameList(TWideStrings& list) {
    list.Insert(0, GetTextStart());
    list.Add(GetTextFinish());
}

void TMSWBaseDocument::FrameParts() {
    if (textFormating_ == tfPlainText) return;
    std::vector<const TWideStrings*> framed{text_.get()};
    for (TDocumentPart part : kAllParts) {
        const TWideStrings* list = PartText(part);
        if (!list || std::find(framed.begin(), framed.end(), list) != framed.end()) continue;
        framed.push_back(list);
        // The lists are the reader's own members; PartText only gives them
        // out read-only.
        FrameList(*const_cast<TWideStrings*>(list));
    }
}

const TWideStrings* TMSWBaseDocument::PartText(TDocumentPart part) const {
    return part == TDocumentPart::Main ? text_.get() : nullptr;
}

const TWideStrings& TMSWBaseDocument::SelectedText() const {
    static const TWideStrings empty;
    const TWideStrings* list = PartText(part_);
    return list ? *list : empty;
}

void TMSWBaseDocument::LoadFromBytes(std::string_view bytes) {
    TBytesViewStream stream(bytes);
    TWorkBudgetScope budget(workLimits_, bytes.size());
    LoadFromStream(stream);
}

const char* DocumentPartName(TDocumentPart part) {
    switch (part) {
        case TDocumentPart::Main: return "main";
        case TDocumentPart::Footnotes: return "footnotes";
        case TDocumentPart::Headers: return "headers";
        case TDocumentPart::Footers: return "footers";
        case TDocumentPart::Annotations: return "annotations";
        case TDocumentPart::Endnotes: return "endnotes";
        case TDocumentPart::Textboxes: return "textboxes";
        case TDocumentPart::Notes: return "notes";
        case TDocumentPart::Macros: return "macros";
    }
    return "main";
}

std::optional<TDocumentPart> ParseDocumentPart(std::string_view name) {
    for (TDocumentPart part : kAllParts)
        if (name == DocumentPartName(part)) return part;
    return std::nullopt;
}

std::string GetHTMLFontSize(int size) {
    if (size >= 6 && size <= 7) return "1";
    if (size >= 8 && size <= 9) return "2";
    if (size >= 14 && size <= 17) return "4";
    if (size >= 18 && size <= 23) return "5";
    if (size >= 24 && size <= 35) return "6";
    return "-1";
}

}  // namespace quillmark
