// quillmark extract: detect each file's format, run its reader, print the text.
#include <cstdio>
#include <string>

#include "cli/commands.h"
#include "cli/options.h"
#include "cli/output.h"
#include "quillmark/extract.h"
#include "quillmark/framework/exception.h"
#include "quillmark/framework/stream.h"

namespace quillmark::cli {

const char* const kExtractUsage =
    "usage: quillmark extract [OPTIONS] FILE...\n"
    "Print the text of each document as UTF-8; FILE '-' is standard input.\n"
    "  --format text|rtf|html   rendering (default text)\n"
    "  --max-length N           stop after N characters (0: no limit)\n"
    "  -o, --output FILE        write to FILE instead of standard output\n"
    "  --utf16                  with --output: UTF-16LE with a byte-order mark\n"
    "  --crlf                   keep CR LF line ends (default LF)\n"
    "  --password PW            password of an encrypted document\n"
    "  --part NAME              main, footnotes, headers, footers, annotations,\n"
    "                           endnotes, textboxes, notes or macros\n"
    "  -q, --quiet              no '==> FILE <==' line before each file's text\n"
    "Exit status: 0 ok, 1 a file could not be read, 2 bad usage, 3 password\n"
    "needed or wrong.\n";

namespace {

struct CommandOptions {
    ExtractOptions extract;
    std::string output;
    bool quiet = false;
};

std::string ParseOption(CommandOptions& o, const std::string& name, const std::string& v) {
    if (name == "format") {
        if (v == "text" || v == "plain") o.extract.Format = tfPlainText;
        else if (v == "rtf") o.extract.Format = tfRTF;
        else if (v == "html") o.extract.Format = tfHTML;
        else return "unknown format '" + v + "'";
    } else if (name == "max-length") {
        long long n = 0;
        if (!ParseCount(v, INT32_MAX, n)) return "--max-length takes a whole number";
        o.extract.MaxLength = static_cast<int32_t>(n);
    } else if (name == "output") {
        o.output = v;
    } else if (name == "utf16") {
        o.extract.Utf16 = true;
    } else if (name == "crlf") {
        o.extract.Crlf = true;
    } else if (name == "password") {
        o.extract.Password = v;
    } else if (name == "part") {
        auto part = ParseDocumentPart(v);
        if (!part) return "unknown part '" + v + "'";
        o.extract.Part = *part;
    } else if (name == "quiet") {
        o.quiet = true;
    }
    return "";
}

}  // namespace

int RunExtract(const Args& args) {
    CommandOptions o;
    ParsedArgs parsed = ParseArgs(
        args,
        {{"format", 0, true}, {"max-length", 0, true}, {"output", 'o', true}, {"utf16", 0, false},
         {"crlf", 0, false}, {"password", 0, true}, {"part", 0, true}, {"quiet", 'q', false}},
        "extract", kExtractUsage, [&](const std::string& n, const std::string& v) { return ParseOption(o, n, v); });
    if (parsed.exitStatus >= 0) return parsed.exitStatus;
    if (parsed.files.empty()) return UsageError("extract", kExtractUsage, "no input files");
    if (o.extract.Utf16 && o.output.empty()) return UsageError("extract", kExtractUsage, "--utf16 needs --output");

    // With --output everything is gathered first, so a file that fails
    // leaves the others' text intact in one write.
    bool toFile = !o.output.empty();
    bool headers = parsed.files.size() > 1 && !o.quiet && !o.extract.Utf16;
    std::string gathered;
    std::u16string gathered16;
    int status = kExitOk;
    bool first = true;
    for (const auto& file : parsed.files) {
        try {
            ExtractResult r = Extract(file, o.extract);
            std::string head;
            if (headers) head = std::string(first ? "" : "\n") + "==> " + file + " <==\n";
            first = false;
            if (o.extract.Utf16) gathered16 += r.Text16;
            else if (toFile) gathered += head + r.Text;
            else {
                WriteOut(head);
                WriteOut(r.Text);
            }
        } catch (const std::exception& e) {
            status = WorseStatus(status, ReportFailure(file, e));
        }
    }
    if (toFile) {
        try {
            TFileStream out(o.output, TFileMode::fmCreate);
            if (o.extract.Utf16) {
                out.WriteBytes("\xFF\xFE");
                std::string le;
                le.reserve(gathered16.size() * 2);
                for (char16_t c : gathered16) {
                    le += static_cast<char>(c & 0xFF);
                    le += static_cast<char>(c >> 8);
                }
                out.WriteBytes(le);
            } else {
                out.WriteBytes(gathered);
            }
            out.Close();
        } catch (const std::exception& e) {
            std::fprintf(stderr, "quillmark: %s\n", e.what());  // the message names the file
            status = WorseStatus(status, kExitReadError);
        }
    }
    if (!FinishOutput()) status = WorseStatus(status, kExitReadError);
    return status;
}

}  // namespace quillmark::cli
