#include "cli/json.h"

#include <cstdio>

#include "quillmark/framework/code_pages.h"
#include "quillmark/summary_properties.h"

namespace quillmark::cli {

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

void JsonObject::Key(const char* key) {
    out_ += out_.empty() ? "{" : ",";
    AppendJsonString(out_, key);
    out_ += ':';
}

void JsonObject::Str(const char* key, const std::string& utf8) {
    Key(key);
    AppendJsonString(out_, utf8);
}

void JsonObject::Str(const char* key, const std::u16string& text) { Str(key, Utf16ToUtf8(text)); }

void JsonObject::Int(const char* key, int64_t v) {
    Key(key);
    out_ += std::to_string(v);
}

void JsonObject::Bool(const char* key, bool v) {
    Key(key);
    out_ += v ? "true" : "false";
}

void JsonObject::Date(const char* key, TDateTime v) {
    Key(key);
    if (v == 0) out_ += "null";
    else AppendJsonString(out_, DateTimeToIso8601(v));
}

void JsonObject::Raw(const char* key, const std::string& json) {
    Key(key);
    out_ += json;
}

void PutSummary(JsonObject& j, const TDTWordSummaryInformation& s) {
    for (const auto& p : SummaryProperties(s)) {
        switch (p.Type) {
            case TSummaryProperty::Text: j.Str(p.Name, p.TextValue); break;
            case TSummaryProperty::Number: j.Int(p.Name, p.NumberValue); break;
            case TSummaryProperty::Date: j.Date(p.Name, p.DateValue); break;
        }
    }
}

}  // namespace quillmark::cli
