// JSON output of the commands that print records (info, batch): strings
// escaped for JSON (the UTF-8 bytes kept as they are), one object per line.
#pragma once

#include <cstdint>
#include <string>

#include "quillmark/framework/date_time.h"
#include "quillmark/framework/summary_information.h"

namespace quillmark::cli {

void AppendJsonString(std::string& out, const std::string& utf8);

class JsonObject {
public:
    void Key(const char* key);
    void Str(const char* key, const std::string& utf8);
    void Str(const char* key, const std::u16string& text);
    void Int(const char* key, int64_t v);
    void Bool(const char* key, bool v);
    void Date(const char* key, TDateTime v);  // null when not set
    void Raw(const char* key, const std::string& json);  // a value already in JSON
    // The object as it stands, closed ("{}" when empty), without a line end.
    std::string Close() const { return out_.empty() ? "{}" : out_ + "}"; }
    std::string Finish() const { return Close() + "\n"; }

private:
    std::string out_;
};

// The 28 summary properties under their own names.
void PutSummary(JsonObject& j, const TDTWordSummaryInformation& s);

}  // namespace quillmark::cli
