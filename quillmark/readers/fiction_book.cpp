#include "quillmark/readers/fiction_book.h"

#include <vector>

#include "quillmark/framework/exception.h"
#include "quillmark/package/xml_engine.h"
#include "quillmark/package/zip_archive.h"
#include "quillmark/readers/fiction_book_description.h"
#include "quillmark/readers/fiction_book_inline.h"
#include "quillmark/readers/fiction_book_tree.h"

namespace quillmark {

namespace {

// Elements whose content is one line of output: paragraphs (also those of
// titles, epigraphs, cites and annotations), verse lines, subtitles, the
// authors and dates of poems and cites, and table cells.
bool IsLineElement(std::u16string_view name) {
    return name == u"p" || name == u"v" || name == u"subtitle" || name == u"text-author" ||
           name == u"date" || name == u"td" || name == u"th";
}

bool HasSectionChild(const TDTXMLItem& node) {
    for (const auto& child : node.Items)
        if (IsElement(*child, u"section")) return true;
    return false;
}

bool EndsWithFb2(std::string_view name) {
    if (name.size() < 4) return false;
    std::string_view ext = name.substr(name.size() - 4);
    return ext[0] == '.' && (ext[1] | 0x20) == 'f' && (ext[2] | 0x20) == 'b' && ext[3] == '2';
}

bool IsFolderName(std::string_view name) { return !name.empty() && name.back() == '/'; }

// The bytes of the book: the input itself, or the one .fb2 member of a zip.
std::string BookBytes(std::string bytes) {
    if (!IsZipArchiveData(bytes)) return bytes;
    TZipArchive zip;
    zip.LoadFromBytes(std::move(bytes));
    std::vector<std::string> names;
    for (int i = 0; i < zip.Count(); ++i) names.push_back(zip.Files()[i].CentralFileName);
    if (!TFictionBook::IsFictionBookZip(names)) throw EUnsupportedFormat(strNotFictionBookZip);
    for (int i = 0; i < zip.Count(); ++i)
        if (!IsFolderName(names[static_cast<size_t>(i)])) return zip.GetUncompressed(i);
    return {};
}

}  // namespace

bool TFictionBook::IsFictionBookZip(const std::vector<std::string>& memberNames) {
    int files = 0;
    bool book = false;
    for (const std::string& name : memberNames) {
        if (IsFolderName(name)) continue;
        ++files;
        book = EndsWithFb2(name);
    }
    return files == 1 && book;
}

bool TFictionBook::IsFictionBookData(std::string_view bytes) {
    // Markup is ASCII in every 8-bit encoding and in UTF-8, so those are
    // scanned byte by byte; UTF-16 is recognised as the XML engine does, by
    // its mark or by the zero bytes around the "<?" of a declaration.
    constexpr size_t kScanLimit = 64 * 1024;
    auto u8 = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    std::u16string text;
    bool utf16 = (bytes.size() >= 2 && ((u8(0) == 0xFF && u8(1) == 0xFE) || (u8(0) == 0xFE && u8(1) == 0xFF))) ||
                 bytes.substr(0, 4) == std::string_view("<\0?\0", 4) ||
                 bytes.substr(0, 4) == std::string_view("\0<\0?", 4);
    if (utf16) {
        text = DecodeXmlBytes(bytes.substr(0, kScanLimit));
    } else {
        size_t start = bytes.size() >= 3 && u8(0) == 0xEF && u8(1) == 0xBB && u8(2) == 0xBF ? 3 : 0;
        size_t first = bytes.find_first_not_of(" \t\r\n", start);
        if (first == std::string_view::npos || bytes[first] != '<') return false;
        std::string_view prefix = bytes.substr(start, kScanLimit);
        text.assign(prefix.begin(), prefix.end());
        for (char16_t& c : text) c = static_cast<unsigned char>(c);
    }
    std::u16string_view s = text;
    if (!s.empty() && s.front() == u'\uFEFF') s.remove_prefix(1);
    auto skipBlanks = [&] {
        size_t i = s.find_first_not_of(u" \t\r\n");
        s.remove_prefix(i == std::u16string_view::npos ? s.size() : i);
    };
    auto skipPast = [&](std::u16string_view end) {
        size_t i = s.find(end);
        if (i == std::u16string_view::npos) return false;
        s.remove_prefix(i + end.size());
        return true;
    };
    for (;;) {
        skipBlanks();
        if (s.size() < 2 || s[0] != u'<') return false;
        if (s.substr(0, 2) == u"<?") {
            if (!skipPast(u"?>")) return false;
        } else if (s.substr(0, 4) == u"<!--") {
            if (!skipPast(u"-->")) return false;
        } else if (s[1] == u'!') {
            // A document type, possibly with an internal subset in brackets.
            size_t bracket = s.find(u'['), close = s.find(u'>');
            if (bracket != std::u16string_view::npos && bracket < close) {
                if (!skipPast(u"]")) return false;
            }
            if (!skipPast(u">")) return false;
        } else {
            size_t end = s.find_first_of(u" \t\r\n/>", 1);
            if (end == std::u16string_view::npos) return false;
            return LocalName(s.substr(1, end - 1)) == u"FictionBook";
        }
    }
}

void TFictionBook::ClearInternalLists() {
    TMSWBaseDocument::ClearInternalLists();
    FSummaryInformation.Clear();
}

void TFictionBook::LoadFromFile(const std::string& fileName) {
    TMSWBaseDocument::LoadFromFile(fileName);
    TFileStream stream(fileName, TFileMode::fmOpenRead);
    stream.SetPosition(0);
    LoadFromStream(stream);
}

void TFictionBook::LoadFromStream(TStream& stream) {
    TMSWBaseDocument::LoadFromStream(stream);
    WithFrame([&] { LoadXMLFilePart(&stream, *text_); });
}

void TFictionBook::LoadXMLFilePart(TStream* aStream, TWideStrings& target) {
    if (!aStream) return;
    const std::string bytes = BookBytes(aStream->ReadRest());
    TDTXMLEngine engine;
    engine.LoadFromBytes(bytes);
    TDTXMLItem* book = FindElement(&engine.RootItem(), u"FictionBook");
    if (!book) book = engine.GetItemByTag(nullptr, u"FictionBook");
    // Input that is not a book at all is an error, not an empty book.
    if (!book) throw EUnsupportedFormat(strNotFictionBook);

    if (ParseItems().Contains(wpiSummaryInformation))
        if (TDTXMLItem* description = FindElement(book, u"description"))
            ReadFictionBookDescription(*description, FSummaryInformation);
    if (!ParseItems().Contains(wpiText)) return;

    // The bodies in document order: the book, then its notes and comments.
    // A body inside another (unbalanced markup) is read with it.
    std::vector<TDTXMLItem*> bodies, stack{book};
    while (!stack.empty()) {
        TDTXMLItem* node = stack.back();
        stack.pop_back();
        if (IsElement(*node, u"body")) {
            bodies.push_back(node);
            continue;
        }
        if (IsElement(*node, u"binary") || IsElement(*node, u"description")) continue;
        for (int i = node->Items.Count(); i-- > 0;)
            if (node->Items[i]->Kind == ikProperty) stack.push_back(node->Items[i]);
    }
    for (size_t i = 0; i < bodies.size() && !IsCancelExtract; ++i) ReadBody(*bodies[i], target, i > 0);
}

void TFictionBook::ReadBody(TDTXMLItem& body, TWideStrings& target, bool notes) {
    struct Frame {
        TDTXMLItem* node;
        int next;
    };
    std::vector<Frame> stack{{&body, 0}};
    while (!stack.empty() && !IsCancelExtract) {
        Frame& f = stack.back();
        if (f.next >= f.node->Items.Count()) {
            TDTXMLItem* done = f.node;
            stack.pop_back();
            if (done != &body && IsElement(*done, u"section")) AddSectionEnd(target);
            continue;
        }
        TDTXMLItem* child = f.node->Items[f.next++];
        if (child->Kind != ikProperty) continue;
        std::u16string_view name = LocalName(child->TagName);
        if (IsLineElement(name)) {
            AddLine(*child, target);
        } else if (name == u"empty-line") {
            switch (TextFormating()) {
                case tfRTF: AddText(u"\r\n\\line ", target); break;
                case tfHTML: AddText(u"<br>\r\n", target); break;
                default: AddText(u"\r\n", target); break;
            }
        } else if (name == u"image" || name == u"binary") {
            // Pictures have no text; embedded data is never decoded.
        } else if (notes && name == u"section" && !HasSectionChild(*child)) {
            // A note: its number (the title) and its text, as one line.
            AddLine(*child, target);
        } else {
            stack.push_back({child, 0});
        }
    }
}

void TFictionBook::AddLine(const TDTXMLItem& element, TWideStrings& target) {
    std::u16string text;
    if (IsElement(element, u"section")) {
        // Every line element of a note, joined with blanks.
        std::vector<const TDTXMLItem*> stack{&element};
        while (!stack.empty()) {
            const TDTXMLItem* node = stack.back();
            stack.pop_back();
            if (node != &element && IsLineElement(LocalName(node->TagName))) {
                std::u16string part = FictionBookLineText(*node, TextFormating());
                if (part.empty()) continue;
                if (!text.empty()) text += u' ';
                text += part;
                continue;
            }
            for (int i = node->Items.Count(); i-- > 0;)
                if (node->Items[i]->Kind == ikProperty) stack.push_back(node->Items[i]);
        }
    } else {
        text = FictionBookLineText(element, TextFormating());
    }
    if (const auto& handler = OnConvertSysChar()) {
        std::u16string unused;
        handler(*this, scUnknown, text, unused);
    }
    switch (TextFormating()) {
        case tfRTF: AddText(text + u"\\par ", target); break;
        case tfHTML: AddText(u"<p>" + text + u"</p>", target); break;
        default: AddText(text, target); break;
    }
}

void TFictionBook::AddSectionEnd(TWideStrings& target) {
    std::u16string result;
    if (const auto& handler = OnConvertSysChar()) handler(*this, scParagraphEnd, std::u16string(), result);
    AddText(result, target);
}

}  // namespace quillmark
