// The document area of a WordPerfect file: the byte loops of the two code
// sets and the renderings of their function codes.
#include "quillmark/framework/code_pages.h"
#include "quillmark/framework/exception.h"
#include "quillmark/framework/markup_escape.h"
#include "quillmark/readers/wordperfect_charsets.h"
#include "quillmark/readers/wordperfect_file.h"

namespace quillmark {

namespace {

// Sizes of the fixed-length functions 0xF4..0xFE of version 6 (code bytes
// included); 0xFF stands alone.
constexpr uint8_t kWp6FixedLength[] = {3, 3, 4, 4, 4, 5, 5, 6, 6, 8, 8};

void AppendAscii(std::u16string& out, std::string_view s) {
    for (char c : s) out.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
}

}  // namespace

// ---------------------------------------------------------------- renderings

void TWordPerfectFile::AppendCharacter(std::u16string& out, std::u16string_view text) const {
    AppendEscaped(out, text, TextFormating());
}

void TWordPerfectFile::AppendExtendedCharacter(std::u16string& out, uint8_t character,
                                               uint8_t set) const {
    std::u16string_view text = WordPerfectCharacter(IsVersion5(), set, character);
    // A character outside the known sets is still a character of the text.
    AppendCharacter(out, text.empty() ? std::u16string_view(u"\uFFFD") : text);
}

void TWordPerfectFile::AppendLineBreak(std::u16string& out) const {
    switch (TextFormating()) {
        case tfRTF: out += u"\r\n\\line "; break;
        case tfHTML: out += u"<br>\r\n"; break;
        case tfPlainText: out += u"\r\n"; break;
    }
}

void TWordPerfectFile::AppendParagraphEnd(std::u16string& out) {
    switch (TextFormating()) {
        case tfRTF: out += u"\r\n\\par "; break;
        case tfHTML: out += u"<p></p>\r\n"; break;
        case tfPlainText: out += u"\r\n"; break;
    }
    // Footnotes follow the paragraph that refers to them.
    if (noteDepth_ == 0 && !pendingFootnotes_.empty()) {
        out += pendingFootnotes_;
        pendingFootnotes_.clear();
    }
}

void TWordPerfectFile::AppendNoteReference(uint8_t subfunction, ByteReader& group) {
    // A footnote (subfunction 0) or endnote (1) keeps its text in a text
    // packet of the index, named by the first packet id of the group.
    const uint8_t flags = group.at_u8(wp6::GroupHeaderSize - 1);
    if (subfunction > 1 || (flags & 0x80) == 0 || noteDepth_ > 0) return;
    if (group.u8() == 0) return;
    const uint16_t pid = group.u16le();
    // Each packet is shown once, which keeps the work linear however many
    // references a file makes to one packet.
    if (pid == 0 || pid > textPackets_.size() || !textPackets_[pid - 1].Data.data() ||
        textPackets_[pid - 1].Shown)
        return;
    auto& packet = textPackets_[pid - 1];
    packet.Shown = true;

    const int number = subfunction == 0 ? ++footnoteCount_ : ++endnoteCount_;
    // The reference itself is in the text (the note number the document
    // shows after this group); the note's own paragraph repeats it.
    const std::u16string mark = u"[" + Latin1ToUtf16(std::to_string(number)) + u"]";

    // Text packet: a 16-bit block count and 8 bytes per block, then the
    // text in the document-area code set.
    ByteReader data(packet.Data);
    const uint16_t blocks = data.u16le_or_zero();
    const size_t textStart = 2 + size_t{8} * blocks;
    if (textStart > data.size()) return;
    data.seek(textStart);

    std::u16string note = mark + u" ";
    const bool undo = undoOn_;
    undoOn_ = false;
    ++noteDepth_;
    ReadText6(data, note);
    AddText(note.substr(mark.size() + 1), subfunction == 0 ? footNoteText_ : endNoteText_);
    AppendParagraphEnd(note);
    --noteDepth_;
    undoOn_ = undo;
    (subfunction == 0 ? pendingFootnotes_ : pendingEndnotes_) += note;
}

void TWordPerfectFile::AppendPageBreak(std::u16string& out) const {
    switch (TextFormating()) {
        case tfRTF: out += u"\r\n\\page "; break;
        case tfHTML: out += u"<br>\r\n"; break;
        case tfPlainText: out += u"\r\n"; break;
    }
}

void TWordPerfectFile::AppendGroupBreak(std::u16string& out) const {
    out += TextFormating() == tfHTML ? u"<br>\r\n" : u"\r\n";
}

void TWordPerfectFile::AppendTab(std::u16string& out) const {
    out += TextFormating() == tfRTF ? u"\\pard\\tab " : u"\t";
}

void TWordPerfectFile::AppendAttribute(std::u16string& out, uint8_t attribute, bool on) const {
    // Attribute numbers are shared by both versions: 5 superscript,
    // 6 subscript, 8 italic, 12 bold, 13 strikeout, 14 underline.
    const char16_t* rtf = nullptr;
    const char16_t* html = nullptr;
    switch (attribute) {
        case 5: html = on ? u"<sup>" : u"</sup>"; break;
        case 6: html = on ? u"<sub>" : u"</sub>"; break;
        case 8: rtf = on ? u"\\i " : u"\\i0 "; html = on ? u"<i>" : u"</i>"; break;
        case 12: rtf = on ? u"\\b " : u"\\b0 "; html = on ? u"<b>" : u"</b>"; break;
        case 13: rtf = on ? u"\\strike " : u"\\strike0 "; html = on ? u"<s>" : u"</s>"; break;
        case 14: rtf = on ? u"\\ul " : u"\\ul0 "; html = on ? u"<u>" : u"</u>"; break;
        default: break;
    }
    if (TextFormating() == tfRTF && rtf) out += rtf;
    if (TextFormating() == tfHTML && html) out += html;
}

void TWordPerfectFile::AppendJustification(std::u16string& out, uint8_t justification) {
    // HTML: one <div> per alignment, closed before the next one opens.
    if (!lastJustify_.empty()) {
        if (TextFormating() == tfHTML) out += u"</div>";
        lastJustify_.clear();
    }
    if (undoOn_) return;
    static constexpr const char* kNames[] = {"left", "justify", "center", "right"};
    static constexpr const char16_t* kRtf[] = {u"\\pard\\ql ", u"\\pard\\qj ", u"\\pard\\qc ",
                                               u"\\pard\\qr "};
    if (justification >= std::size(kNames)) return;
    if (TextFormating() == tfRTF) out += kRtf[justification];
    if (TextFormating() == tfHTML) {
        lastJustify_ = kNames[justification];
        AppendAscii(out, "<div style=\"text-align:" + lastJustify_ + "\">");
    }
}

void TWordPerfectFile::AppendFontChange(std::u16string& out, uint16_t fontNumber, uint16_t size) {
    // The size is in fiftieths of a point; RTF wants half-points.
    if (fontChanged_ && TextFormating() == tfHTML) out += u"</font>";
    fontChanged_ = true;
    if (TextFormating() == tfRTF) {
        AppendAscii(out, "\\pard\\f" + std::to_string(fontNumber) + "\\fs" +
                             std::to_string(size * 2 / 50) + " ");
    } else if (TextFormating() == tfHTML) {
        // Normal sizes get a plain element, so that every font change still
        // closes exactly one element.
        std::string htmlSize = GetHTMLFontSize(size / 50);
        AppendAscii(out, htmlSize == "-1" ? "<font>" : "<font size=\"" + htmlSize + "\">");
    }
}

void TWordPerfectFile::AppendIndent(std::u16string& out, uint8_t subfunction, uint16_t value) const {
    // The value is in WordPerfect units (1/1200 inch); RTF measures in twips.
    if (TextFormating() != tfRTF || subfunction > 1) return;
    const uint32_t twips = uint32_t{value} * 1440 / 1200;
    AppendAscii(out, (subfunction == 0 ? "\\pard\\fi" : "\\pard\\ri") + std::to_string(twips) + " ");
}

void TWordPerfectFile::CloseOpenElements(std::u16string& out) {
    out += pendingFootnotes_;
    out += pendingEndnotes_;
    pendingFootnotes_.clear();
    pendingEndnotes_.clear();
    if (TextFormating() != tfHTML) return;
    if (!lastJustify_.empty()) out += u"</div>";
    if (fontChanged_) out += u"</font>";
}

// ---------------------------------------------------------------- byte loop

void TWordPerfectFile::ReadText(std::string_view data) {
    // The document area: from the document pointer to the document end (6.x)
    // or the end of the data (5.x, whose header has no end offset).
    size_t end = data.size();
    if (!IsVersion5() && header_.DocumentEnd < end) end = header_.DocumentEnd;
    std::u16string out;
    if (header_.DocumentPointerPosition < end) {
        ByteReader doc(data.substr(0, end));
        doc.seek(header_.DocumentPointerPosition);
        if (IsVersion5())
            ReadText5(doc, out);
        else
            ReadText6(doc, out);
    }
    CloseOpenElements(out);
    AddText(out, *text_);
}

void TWordPerfectFile::ReadText6(ByteReader& doc, std::u16string& out) {
    const size_t limit = MaxTextLength() > 0 ? static_cast<size_t>(MaxTextLength()) : 0;
    const bool plain = TextFormating() == tfPlainText;
    while (!doc.eof() && !IsCancelExtract) {
        if (limit > 0 && out.size() >= limit) break;  // the list keeps only `limit` anyway
        const uint8_t b = doc.u8();
        if (!undoOn_ && b >= 0x21 && b <= 0x7E) {
            const char16_t c = b;
            if (plain)
                out.push_back(c);
            else
                AppendCharacter(out, std::u16string_view(&c, 1));
        } else if (!undoOn_ && b >= 0x01 && b <= 0x1F) {
            AppendCharacter(out, WordPerfectDefaultExtended(b));
        } else if (!ProcessSysCharacter(doc, b, out)) {
            break;
        }
    }
}

bool TWordPerfectFile::ProcessSysCharacter(ByteReader& doc, uint8_t code, std::u16string& out) {
    const size_t codePos = doc.pos() - 1;
    const bool show = !undoOn_;
    if (code >= 0xD0 && code <= 0xEF) {
        // A variable-length group: code, subfunction (0xE0: flags), 16-bit
        // size counted from the code, then the group's data. A group that
        // does not end after its code or runs past the document area ends
        // the loop.
        if (!doc.can_read(3)) return false;
        const uint8_t subfunction = doc.u8();
        const uint16_t size = doc.u16le();
        if (size == 0 || size > doc.size() - codePos) return false;
        ByteReader group = doc.sub(codePos, size);
        try {
            group.seek(wp6::GroupHeaderSize);  // past the flags byte
            ProcessGroup6(code, subfunction, group, out);
        } catch (const EReadError&) {
            // The group is shorter than the fields its code carries: it is
            // skipped like any group this reader does not render.
        }
        doc.seek(codePos + size);
        return true;
    }
    switch (code) {
        case wp6::SoftSpace: if (show) out += u' '; return true;
        case wp6::HardSpace: if (show) AppendCharacter(out, u"\u00A0"); return true;
        case wp6::HardHyphen: if (show) out += u'-'; return true;
        case wp6::SoftHyphen:
        case wp6::SoftHyphenEol:
            if (show) AppendCharacter(out, u"\u00AD");
            return true;
        case wp6::DormantHardReturn:
        case wp6::HardEol:
            AppendParagraphEnd(out);
            return true;
        case wp6::SoftEol:
        case 0xCD:
        case 0xCE:
            // Soft returns of the line, column and page ends.
            if (show) AppendLineBreak(out);
            return true;
        case 0xB4: case 0xB5: case 0xB6: case 0xB7: case 0xB8: case 0xB9:
        case 0xBD: case 0xBE: case 0xBF: case 0xC0: case 0xC1: case 0xC2:
        case 0xC7: case 0xC8: case 0xC9: case 0xCA: case 0xCB:
            // Hard returns at column, page and table ends.
            if (show) AppendParagraphEnd(out);
            return true;
        case wp6::ExtendedCharacter: {
            if (!doc.can_read(3)) return false;
            const uint8_t character = doc.u8();
            const uint8_t set = doc.u8();
            if (show) AppendExtendedCharacter(out, character, set);
            if (doc.u8() != wp6::ExtendedCharacter) throw EDamagedDocument(strWPDIncorrectExtendedChar);
            return true;
        }
        case wp6::UndoGroup: {
            if (!doc.can_read(4)) return false;
            const uint8_t type = doc.u8();
            if (type == 0) undoOn_ = true;
            if (type == 1) undoOn_ = false;
            doc.seek(codePos + 5);
            return true;
        }
        case wp6::AttributeOn:
        case wp6::AttributeOff: {
            if (!doc.can_read(2)) return false;
            const uint8_t attribute = doc.u8();
            if (show) AppendAttribute(out, attribute, code == wp6::AttributeOn);
            doc.seek(codePos + 3);
            return true;
        }
        default: break;
    }
    if (code >= 0xF4 && code <= 0xFE) {
        // Fixed-length functions this reader does not render: skipped whole
        // when closed by their own code, otherwise only the code is taken.
        const size_t length = kWp6FixedLength[code - 0xF4];
        if (doc.in_range(codePos, length) && doc.at_u8(codePos + length - 1) == code)
            doc.seek(codePos + length);
    }
    return true;  // 0x00, 0x20, 0x7F, other one-byte codes, and text in undo
}

void TWordPerfectFile::ProcessGroup6(uint8_t code, uint8_t subfunction, ByteReader& group,
                                     std::u16string& out) {
    const bool show = !undoOn_;
    switch (code) {
        case wp6::EolGroup:
            if (!show) return;
            switch (subfunction) {
                case 1: case 2: case 3:
                    AppendLineBreak(out);
                    break;
                case 4: case 5: case 6: case 8:
                case 23: case 24: case 25: case 26: case 27:
                    AppendParagraphEnd(out);
                    break;
                case 10: case 11: case 12: case 13: case 14: case 15: case 16:
                case 17: case 18: case 19:
                    // Table cells, rows and the table's end: each cell
                    // is a paragraph of its own.
                    AppendParagraphEnd(out);
                    break;
                case 20: case 21: case 22:
                    // The line end after an automatic hyphenation: the
                    // word continues on the next line, so nothing is shown.
                    break;
                case 7: out += u' '; break;
                case 9: case 28: AppendPageBreak(out); break;
                default: break;
            }
            return;
        case wp6::ColumnGroup: {
            if (!show || subfunction > 1) return;
            group.u16le();
            AppendIndent(out, subfunction, group.u16le());
            return;
        }
        case wp6::ParagraphGroup:
            // Every paragraph group ends a line of its own. A note's own
            // alignment is not rendered: its elements would cross the main
            // text's.
            if (subfunction == 5 && noteDepth_ == 0) {
                group.u16le();
                const uint8_t justification = group.u8_or_zero();
                AppendJustification(out, justification);
            }
            AppendGroupBreak(out);
            return;
        case wp6::CharacterGroup: {
            if ((subfunction != 26 && subfunction != 27) || noteDepth_ > 0) return;
            group.u8();
            for (int i = 0; i < 4; ++i) group.u16le();
            const uint16_t fontNumber = group.u16le();
            const uint16_t size = group.u16le();
            AppendFontChange(out, fontNumber, size);
            return;
        }
        case wp6::NoteGroup:
            if (show) AppendNoteReference(subfunction, group);
            return;
        case wp6::BoxGroup:
        case wp6::TableGroup:
            AppendGroupBreak(out);
            return;
        case wp6::StyleGroup:
            if (group.u8() == 0) throw EDamagedDocument(strWPDIncorrectNumPIDs);
            return;
        case wp6::TabGroup: {
            // `subfunction` holds the flags byte: its high bits name the kind
            // of tab; centred and right-aligned tabs are tabs as well.
            if (!show || subfunction >= 0xD8) return;
            switch (subfunction & 0xF8) {
                case 0x00: case 0x08: case 0x10: case 0x20: case 0x30: case 0x38:
                case 0x48: case 0x50: case 0x90: case 0xD0:
                    AppendTab(out);
                    break;
                case 0x40:
                    if (TextFormating() == tfRTF) out += u"\\pard\\qc ";
                    else out += u'\t';
                    break;
                case 0x80:
                    if (TextFormating() == tfRTF) out += u"\\pard\\qr ";
                    else out += u'\t';
                    break;
                default: break;
            }
            return;
        }
        default:
            return;  // every other group is skipped
    }
}

// WordPerfect 5.x: 0x20-0x7E are characters (0x20 the space), 0x00-0x1F and
// 0x80-0xBF one-byte codes, 0xC0-0xCF fixed-length functions closed by their
// own code, 0xD0-0xFF variable-length functions (code, subfunction, 16-bit
// length of the rest, which ends with the length, subfunction and code again).
void TWordPerfectFile::ReadText5(ByteReader& doc, std::u16string& out) {
    const size_t limit = MaxTextLength() > 0 ? static_cast<size_t>(MaxTextLength()) : 0;
    const bool plain = TextFormating() == tfPlainText;
    while (!doc.eof() && !IsCancelExtract) {
        if (limit > 0 && out.size() >= limit) break;
        const uint8_t b = doc.u8();
        if (b >= 0x20 && b <= 0x7E) {
            const char16_t c = b;
            if (plain)
                out.push_back(c);
            else
                AppendCharacter(out, std::u16string_view(&c, 1));
        } else if (!ProcessSysCharacter5(doc, b, out)) {
            break;
        }
    }
}

bool TWordPerfectFile::ProcessSysCharacter5(ByteReader& doc, uint8_t code, std::u16string& out) {
    const size_t codePos = doc.pos() - 1;
    if (code >= wp5::FirstVariable) {
        if (!doc.can_read(3)) return false;
        const uint8_t subfunction = doc.u8();
        const uint16_t length = doc.u16le();
        const size_t end = codePos + wp5::GroupHeaderSize + length;
        if (end > doc.size()) return false;
        ByteReader group = doc.sub(codePos, end - codePos);
        group.seek(wp5::GroupHeaderSize);
        try {
            ProcessGroup5(code, subfunction, group, out);
        } catch (const EReadError&) {
        }
        doc.seek(end);
        return true;
    }
    if (code >= wp5::FirstFixed) {
        const size_t length = wp5::FixedLength[code - wp5::FirstFixed];
        // A function not closed by its own code (or cut by the end of the
        // document) is taken as the code alone; an extended character must
        // be closed.
        if (!doc.in_range(codePos, length)) return true;
        if (doc.at_u8(codePos + length - 1) != code) {
            if (code == wp5::ExtendedCharacter) throw EDamagedDocument(strWPDIncorrectExtendedChar);
            return true;
        }
        switch (code) {
            case wp5::ExtendedCharacter:
                AppendExtendedCharacter(out, doc.at_u8(codePos + 1), doc.at_u8(codePos + 2));
                break;
            case wp5::TabAlign:
            case wp5::Indent:
                AppendTab(out);
                break;
            case wp5::AttributeOn:
            case wp5::AttributeOff:
                AppendAttribute(out, doc.at_u8(codePos + 1), code == wp5::AttributeOn);
                break;
            default: break;
        }
        doc.seek(codePos + length);
        return true;
    }
    switch (code) {
        case wp5::HardReturn:
        case wp5::HardReturnSoftPage:
        case wp5::DormantHardReturn:
            AppendParagraphEnd(out);
            break;
        case wp5::SoftReturn:
        case wp5::SoftPage:
        case wp5::DeletableReturn:
            AppendLineBreak(out);
            break;
        case wp5::HardPage: AppendPageBreak(out); break;
        case 0x93: case 0x94: case 0x95: out += u' '; break;  // invisible soft returns
        case wp5::HardSpace: AppendCharacter(out, u"\u00A0"); break;
        case 0xA9: case 0xAA: case 0xAB: out += u'-'; break;  // hard hyphens
        case 0xAC: case 0xAD: case 0xAE: AppendCharacter(out, u"\u00AD"); break;  // soft hyphens
        default: break;  // codes with no text
    }
    return true;
}

void TWordPerfectFile::ProcessGroup5(uint8_t, uint8_t, ByteReader&, std::u16string&) {
    // Version 5 groups hold formatting, headers, footers and notes, none of
    // which is part of the main text.
}

}  // namespace quillmark
