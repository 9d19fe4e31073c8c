// quillmark extract: detect each file's format, run its reader, print the text.
#include <cstdio>
#include <memory>
#include <string>

#include "cli/commands.h"
#include "quillmark/quillmark.h"
#include "quillmark/pdf/pdf_reader.h"

namespace quillmark::cli {

namespace {

struct ExtractOptions {
    TMSTextFormating format = tfPlainText;
    int32_t maxLength = 0;
    std::string output;
    std::string password;
    bool utf16 = false;
    bool crlf = false;
    std::string part = "main";  // which list of a Word document to print
    std::vector<std::string> files;
};

int Usage(const std::string& why) {
    std::fprintf(stderr,
                 "quillmark extract: %s\n"
                 "usage: quillmark extract [--format text|rtf|html] [--max-length N] "
                 "[--output FILE [--utf16]] [--crlf] [--password PW] "
                 "[--part main|footnotes|headers|annotations|endnotes|textboxes] FILE...\n",
                 why.c_str());
    return 2;
}

// The list of a Word document that --part names (null for "main" or an
// unknown name; with a null document, only the name is checked).
const TWideStrings* PartList(const TCustomWordFile* doc, const std::string& part) {
    static const TCustomWordFile probe;
    const TCustomWordFile& d = doc ? *doc : probe;
    const TWideStrings* list = nullptr;
    if (part == "footnotes") list = &d.FootNoteText();
    else if (part == "headers") list = &d.HeaderText();
    else if (part == "annotations") list = &d.AnnotationText();
    else if (part == "endnotes") list = &d.EndNoteText();
    else if (part == "textboxes") list = &d.TextBoxText();
    return list;
}

// Parses the options; returns -1 when they are good, else the exit code.
int Parse(const Args& args, ExtractOptions& o) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) return false;
            out = args[++i];
            return true;
        };
        std::string v;
        if (a == "--format") {
            if (!value(v)) return Usage("--format needs a value");
            if (v == "text" || v == "plain") o.format = tfPlainText;
            else if (v == "rtf") o.format = tfRTF;
            else if (v == "html") o.format = tfHTML;
            else return Usage("unknown format '" + v + "'");
        } else if (a == "--max-length") {
            if (!value(v)) return Usage("--max-length needs a value");
            try {
                size_t used = 0;
                long n = std::stol(v, &used);
                if (used != v.size() || n < 0 || n > INT32_MAX) throw std::invalid_argument(v);
                o.maxLength = static_cast<int32_t>(n);
            } catch (const std::exception&) {
                return Usage("--max-length takes a whole number");
            }
        } else if (a == "--output" || a == "-o") {
            if (!value(o.output)) return Usage("--output needs a file name");
        } else if (a == "--part") {
            if (!value(v)) return Usage("--part needs a value");
            if (!PartList(nullptr, v) && v != "main") return Usage("unknown part '" + v + "'");
            o.part = v;
        } else if (a == "--password") {
            if (!value(o.password)) return Usage("--password needs a value");
        } else if (a == "--utf16") {
            o.utf16 = true;
        } else if (a == "--crlf") {
            o.crlf = true;
        } else if (a == "--help" || a == "-h") {
            Usage("help");
            return 0;
        } else if (a.size() > 1 && a[0] == '-' && a != "-") {
            return Usage("unknown option '" + a + "'");
        } else {
            o.files.push_back(a);
        }
    }
    if (o.files.empty()) return Usage("no input files");
    if (o.utf16 && o.output.empty()) return Usage("--utf16 needs --output");
    return -1;
}

std::string ToUtf8Output(const std::u16string& text, bool crlf) {
    std::string s = Utf16ToUtf8(text);
    if (crlf) return s;
    // Drop the CR of every CR LF pair, copying the runs between them whole.
    std::string out;
    out.reserve(s.size());
    size_t from = 0, cr;
    while ((cr = s.find("\r\n", from)) != std::string::npos) {
        out.append(s, from, cr - from);
        from = cr + 1;
    }
    out.append(s, from, std::string::npos);
    return out;
}

}  // namespace

int RunExtract(const Args& args) {
    ExtractOptions o;
    int rc = Parse(args, o);
    if (rc >= 0) return rc;

    TWideStrings collected;
    std::string utf8Out;
    int status = 0;
    for (const auto& file : o.files) {
        try {
            std::string bytes = ReadFileBytes(file);
            DocumentFormat format = DetectFormat(bytes);
            auto reader = CreateReader(format);
            if (!reader) throw Exception("unrecognised document format");
            reader->SetTextFormating(o.format);
            reader->SetMaxTextLength(o.maxLength);
            // Only encrypted PDF documents take a password.
            if (auto* pdf = dynamic_cast<TDTPDFReader*>(reader.get())) pdf->SetPassword(o.password);
            if (auto* odf = dynamic_cast<TCustomOpenOfficeDocument*>(reader.get())) odf->SetPassword(o.password);
            reader->LoadFromFile(file);
            const TWideStrings* list = &reader->Text();
            if (o.part != "main") {
                auto* word = dynamic_cast<const TCustomWordFile*>(reader.get());
                if (!word) throw Exception("--part " + o.part + " needs a Word document");
                list = PartList(word, o.part);
            }
            if (o.utf16) {
                for (const auto& line : list->Lines()) collected.Add(line);
            } else if (o.output.empty()) {
                std::string s = ToUtf8Output(list->Text(), o.crlf);
                std::fwrite(s.data(), 1, s.size(), stdout);
            } else {
                utf8Out += ToUtf8Output(list->Text(), o.crlf);
            }
        } catch (const std::exception& e) {
            std::fflush(stdout);
            ReportError(file, e.what());
            status = 1;
        }
    }
    try {
        if (o.utf16) {
            collected.SaveToFile(o.output);
        } else if (!o.output.empty()) {
            TFileStream out(o.output, TFileMode::fmCreate);
            out.WriteBytes(utf8Out);
        }
    } catch (const std::exception& e) {
        ReportError(o.output, e.what());
        status = 1;
    }
    return status;
}

}  // namespace quillmark::cli
