// quillmark info: each document's metadata as one JSON object per line.
#include <cstdio>
#include <string>

#include "cli/commands.h"
#include "quillmark/document_info.h"
#include "quillmark/framework/code_pages.h"
#include "quillmark/framework/stream.h"
#include "quillmark/word/vba_project.h"

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
    void Bool(const char* key, bool v) {
        Key(key);
        out_ += v ? "true" : "false";
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

int RunInfo(const Args& args) {
    Args files;
    std::string password;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--password") {
            if (i + 1 >= args.size()) {
                std::fprintf(stderr, "quillmark info: --password needs a value\n");
                return 2;
            }
            password = args[++i];
        } else {
            files.push_back(args[i]);
        }
    }
    if (files.empty()) {
        std::fprintf(stderr, "usage: quillmark info [--password PW] FILE...\n");
        return 2;
    }
    int status = 0;
    for (const std::string& file : files) {
        JsonObject j;
        j.Str("file", file);
        try {
            std::string bytes = ReadFileBytes(file);
            j.Str("format", FormatName(DetectFormat(bytes)));
            // Whether the document carries a VBA project (macros); known
            // also for workbooks and presentations that have no reader.
            j.Bool("Macros", HasVBAProject(bytes));
            PutSummary(j, ReadDocumentInfo(bytes, password).Summary);
        } catch (const std::exception& e) {
            j.Str("error", e.what());
            status = 1;
        }
        std::fputs(j.Finish().c_str(), stdout);
    }
    return status;
}

}  // namespace quillmark::cli
