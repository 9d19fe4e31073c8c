#include "quillmark/extract.h"

#include "quillmark/framework/code_pages.h"
#include "quillmark/framework/exception.h"
#include "quillmark/framework/html_charset.h"
#include "quillmark/framework/messages.h"
#include "quillmark/framework/stream.h"

namespace quillmark {

namespace {

// Appends s as UTF-8, dropping the CR of every CR LF pair unless crlf.
void AppendUtf8(std::string& out, const std::u16string& s, bool crlf) {
    std::string utf8 = Utf16ToUtf8(s);
    if (crlf) {
        out += utf8;
        return;
    }
    size_t from = 0, cr;
    while ((cr = utf8.find("\r\n", from)) != std::string::npos) {
        out.append(utf8, from, cr - from);
        from = cr + 1;
    }
    out.append(utf8, from, std::string::npos);
}

}  // namespace

std::string ListToUtf8(const TWideStrings& list, bool crlf) {
    // The empty lines at the ends are the frame of plain text (its opening
    // and closing texts are empty); they are the reader's, not the document's.
    const auto& lines = list.Lines();
    size_t first = 0, last = lines.size();
    while (first < last && lines[first].empty()) ++first;
    while (last > first && lines[last - 1].empty()) --last;
    std::string out;
    out.reserve(list.TextLength() + list.TextLength() / 2);
    const char* eol = crlf ? "\r\n" : "\n";
    for (size_t i = first; i < last; ++i) {
        AppendUtf8(out, lines[i], crlf);
        out += eol;
    }
    return out;
}

ExtractResult ExtractBytes(std::string_view bytes, const ExtractOptions& options) {
    // The detection's parsed containers (a copy of the bytes among them)
    // are freed before the reader makes its own.
    const TFormatEntry* format = nullptr;
    std::unique_ptr<TMSWBaseDocument> reader;
    {
        TDetectionInput input(bytes);
        format = DetectFormat(input);
        if (!format) throw EUnsupportedFormat(strUnrecognisedFormat);
        reader = CreateReader(format);
        if (!reader) {
            // A container with no text of ours: a damaged one reports its damage.
            TDTWordSummaryInformation ignored;
            if (format->ReadInfo) format->ReadInfo(input, options.Password, ignored);
            throw EUnsupportedFormat(FormatMessage(strNoTextReader, format->Name));
        }
    }
    reader->SetTextFormating(options.Format);
    reader->SetMaxTextLength(options.MaxLength);
    reader->SetPassword(options.Password);
    reader->SetPart(options.Part);
    reader->SetCancelFlag(options.Cancel);
    reader->SetWorkLimits(options.WorkLimits);
    TDTWParseItems items{wpiText};
    if (options.Summary) items.Include(wpiSummaryInformation);
    if (options.Part == TDocumentPart::Macros) items.Include(wpiVBA);
    reader->SetParseItems(items);
    reader->LoadFromBytes(bytes);

    ExtractResult result;
    result.FormatName = format->Name;
    const TWideStrings& list = reader->SelectedText();
    result.Text = ListToUtf8(list, options.Crlf);
    // The list's prologue names the ANSI code page its UTF-16 text was made
    // for; this text is UTF-8 and must say so, or browsers show mojibake.
    if (options.Format == tfHTML) result.Text = DeclareUtf8Charset(std::move(result.Text));
    if (options.Utf16) result.Text16 = list.Text();
    if (options.Summary) result.Summary = reader->SummaryInformation();
    return result;
}

ExtractResult Extract(const std::filesystem::path& path, const ExtractOptions& options) {
    std::string bytes = ReadInputBytes(path.string(), options.MaxInputBytes);
    return ExtractBytes(bytes, options);
}

}  // namespace quillmark
