// quillmark info: each document's metadata as one JSON object per line.
#include <cstdio>
#include <string>

#include "cli/commands.h"
#include "cli/options.h"
#include "cli/output.h"
#include "quillmark/framework/exception.h"
#include "quillmark/framework/limits.h"
#include "quillmark/document_info.h"
#include "quillmark/framework/code_pages.h"
#include "quillmark/framework/stream.h"

namespace quillmark::cli {

namespace {

void AppendJsonString(std::string& out, const std::string& utf8) {
    out += '"';
    for (unsigned char c : utf8) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            case '\b': out += "\\b"; break;
            case '\f': out += "\\f"; break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", c);
                    out += buf;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    out += '"';
}

class JsonObject {
public:
    void Key(const char* key) {
        out_ += out_.empty() ? "{" : ",";
        AppendJsonString(out_, key);
        out_ += ':';
    }
    void Str(const char* key, const std::string& utf8) {
        Key(key);
        AppendJsonString(out_, utf8);
    }
    void Str(const char* key, const std::u16string& text) { Str(key, Utf16ToUtf8(text)); }
    void Int(const char* key, int32_t v) {
        Key(key);
        out_ += std::to_string(v);
    }
    void Date(const char* key, TDateTime v) {
        Key(key);
        if (v == 0) out_ += "null";
        else AppendJsonString(out_, DateTimeToIso8601(v));
    }
    std::string Finish() { return out_ + "}\n"; }

private:
    std::string out_;
};

void PutSummary(JsonObject& j, const TDTWordSummaryInformation& s) {
    j.Str("Title", s.Title());
    j.Str("Subject", s.Subject());
    j.Str("Author", s.Author());
    j.Str("Keywords", s.Keywords());
    j.Str("Comments", s.Comments());
    j.Str("Template", s.Template());
    j.Str("LastAuthor", s.LastAuthor());
    j.Str("RevNumber", s.RevNumber());
    j.Str("AppName", s.AppName());
    j.Date("Created", s.Created());
    j.Date("LastSaved", s.LastSaved());
    j.Date("LastPrinted", s.LastPrinted());
    j.Int("EditTime", s.EditTime());
    j.Int("PageCount", s.PageCount());
    j.Int("WordCount", s.WordCount());
    j.Int("CharCount", s.CharCount());
    j.Str("Category", s.Category());
    j.Str("PresentationTarget", s.PresentationTarget());
    j.Str("Manager", s.Manager());
    j.Str("Company", s.Company());
    j.Int("ByteCount", s.ByteCount());
    j.Int("LineCount", s.LineCount());
    j.Int("ParagraphCount", s.ParagraphCount());
    j.Int("SlideCount", s.SlideCount());
    j.Int("NoteCount", s.NoteCount());
    j.Int("HiddenSlideCount", s.HiddenSlideCount());
    j.Int("MMClipCount", s.MMClipCount());
    j.Int("CharCount2", s.CharCount2());
}

}  // namespace

const char* const kInfoUsage =
    "usage: quillmark info [--password PW] FILE...\n"
    "Print each document's metadata as one JSON object per line: file, format,\n"
    "the summary properties (dates as local ISO 8601, null when unset) or error.\n"
    "FILE '-' is standard input.\n";

int RunInfo(const Args& args) {
    std::string password;
    ParsedArgs parsed = ParseArgs(args, {{"password", 0, true}}, "info", kInfoUsage,
                                  [&](const std::string&, const std::string& v) {
                                      password = v;
                                      return std::string();
                                  });
    if (parsed.exitStatus >= 0) return parsed.exitStatus;
    if (parsed.files.empty()) return UsageError("info", kInfoUsage, "no input files");
    int status = kExitOk;
    for (const std::string& file : parsed.files) {
        JsonObject j;
        j.Str("file", file);
        try {
            std::string bytes = ReadInputBytes(file, kDefaultMaxInputBytes);
            TDocumentInfo info = ReadDocumentInfo(bytes, password);
            j.Str("format", info.FormatName);
            PutSummary(j, info.Summary);
        } catch (const EUnsupportedFormat& e) {
            j.Str("format", "unknown");
            j.Str("error", e.what());
            status = WorseStatus(status, kExitReadError);
        } catch (const std::exception& e) {
            j.Str("error", e.what());
            status = WorseStatus(status, ExitStatusFor(e));
        }
        WriteOut(j.Finish());
    }
    if (!FinishOutput()) status = WorseStatus(status, kExitReadError);
    return status;
}

}  // namespace quillmark::cli
