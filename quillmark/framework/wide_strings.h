// TWideStrings: the ordered list of UTF-16 lines that every reader fills.
// Joining puts CR LF after every line; saving writes UTF-16LE with a BOM.
#pragma once

#include <string>
#include <vector>

#include "quillmark/framework/stream.h"

namespace quillmark {

class TWideStrings {
public:
    TWideStrings() = default;
    virtual ~TWideStrings() = default;

    int Count() const { return static_cast<int>(lines_.size()); }
    void Clear() {
        lines_.clear();
        textLength_ = 0;
    }
    // The length of Text() (every line plus CR LF), kept up to date as lines
    // are added, so limits can be checked without joining the list.
    size_t TextLength() const { return textLength_; }
    int Add(const std::u16string& s);
    int Add(std::u16string&& s);
    // Inserts before Index; Index == Count appends. Outside 0..Count throws
    // "WideStrings index out of bounds".
    void Insert(int index, const std::u16string& s);
    // Out-of-range reads give the empty string.
    std::u16string Get(int index) const;
    const std::u16string& operator[](int index) const { return lines_[static_cast<size_t>(index)]; }
    // Behaves exactly as Insert (the list grows; nothing is replaced).
    void Put(int index, const std::u16string& s) { Insert(index, s); }
    int IndexOf(const std::u16string& s) const;
    int IndexOfIgnoreCase(const std::u16string& s) const;

    // All lines, each followed by CR LF.
    std::u16string Text() const { return GetTextStr(); }
    std::u16string WideText() const { return GetTextStr(); }
    virtual std::u16string GetTextStr() const;

    bool SaveUnicode() const { return saveUnicode_; }
    void SetSaveUnicode(bool v) { saveUnicode_ = v; }

    // With SaveUnicode: FF FE then the text as UTF-16LE. Without: the text
    // in the active ANSI code page, no BOM.
    void SaveToStream(TStream& stream) const;
    void SaveToFile(const std::string& fileName) const;

    // Appends to the last line (adds one when the list is empty). Readers that
    // build one long line use this to stay linear.
    void AppendToLast(std::u16string_view s);

    const std::vector<std::u16string>& Lines() const { return lines_; }

private:
    std::vector<std::u16string> lines_;
    size_t textLength_ = 0;
    bool saveUnicode_ = true;
};

}  // namespace quillmark
