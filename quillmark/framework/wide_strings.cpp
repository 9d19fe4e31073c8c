#include "quillmark/framework/wide_strings.h"

#include "quillmark/framework/code_pages.h"
#include "quillmark/framework/exception.h"
#include "quillmark/framework/messages.h"

namespace quillmark {

int TWideStrings::Add(const std::u16string& s) {
    textLength_ += s.size() + 2;
    lines_.push_back(s);
    return Count() - 1;
}

int TWideStrings::Add(std::u16string&& s) {
    textLength_ += s.size() + 2;
    lines_.push_back(std::move(s));
    return Count() - 1;
}

void TWideStrings::Insert(int index, const std::u16string& s) {
    if (index < 0 || index > Count()) throw Exception(strWideStringsIndex);
    lines_.insert(lines_.begin() + index, s);
    textLength_ += s.size() + 2;
}

std::u16string TWideStrings::Get(int index) const {
    if (index < 0 || index >= Count()) return {};
    return lines_[static_cast<size_t>(index)];
}

int TWideStrings::IndexOf(const std::u16string& s) const {
    for (size_t i = 0; i < lines_.size(); ++i)
        if (lines_[i] == s) return static_cast<int>(i);
    return -1;
}

int TWideStrings::IndexOfIgnoreCase(const std::u16string& s) const {
    for (size_t i = 0; i < lines_.size(); ++i)
        if (WideCompareText(s, lines_[i]) == 0) return static_cast<int>(i);
    return -1;
}

std::u16string TWideStrings::GetTextStr() const {
    size_t total = 0;
    for (const auto& line : lines_) total += line.size() + 2;
    std::u16string out;
    out.reserve(total);
    for (const auto& line : lines_) {
        out += line;
        out += u"\r\n";
    }
    return out;
}

void TWideStrings::SaveToStream(TStream& stream) const {
    std::u16string text = GetTextStr();
    if (saveUnicode_) {
        std::string bytes;
        bytes.reserve(2 + text.size() * 2);
        bytes += "\xFF\xFE";
        for (char16_t c : text) {
            bytes.push_back(static_cast<char>(c & 0xFF));
            bytes.push_back(static_cast<char>(c >> 8));
        }
        stream.WriteBytes(bytes);
    } else if (!text.empty()) {
        stream.WriteBytes(WideToMultiByte(text, CP_ACP));
    }
}

void TWideStrings::SaveToFile(const std::string& fileName) const {
    TFileStream file(fileName, TFileMode::fmCreate);
    SaveToStream(file);
}

void TWideStrings::AppendToLast(std::u16string_view s) {
    if (lines_.empty()) {
        lines_.emplace_back();
        textLength_ += 2;
    }
    lines_.back().append(s);
    textLength_ += s.size();
}

}  // namespace quillmark
