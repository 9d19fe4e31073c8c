// Reading the text of a page's content stream (TDTPDFPages::ParseContents):
// each operator's operands are read once onto a typed stack, a text state
// (text and line matrices, leading, font, Tc, Tw, Tz, rise, the CTM with q/Q)
// follows them, and every text-showing operator adds one positioned text
// item. Also here: helpers on operator lines ("operands operator" text) for
// callers that keep content as such lines.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillmark {

class TDTPDFFont;

// One line per operator: the operand text followed by the operator.
class TDTWTagValues {
public:
    void Add(std::string line) { lines_.push_back(std::move(line)); }
    void Clear() { lines_.clear(); }
    // Moves the last line into line (which is emptied when there is none)
    // and removes it from the list.
    void TakeLast(std::string& line) {
        line.clear();
        if (lines_.empty()) return;
        line.swap(lines_.back());
        lines_.pop_back();
    }
    int Count() const { return static_cast<int>(lines_.size()); }
    const std::string& operator[](int i) const { return lines_[static_cast<size_t>(i)]; }
    // The operands of the first line whose operator is tag (ASCII case
    // ignored unless caseSensitive), trimmed; empty when there is none.
    std::string GetValue(std::string_view tag, bool caseSensitive) const;
    // The operands of every text-showing line (Tj, TJ, ' and "), joined.
    std::string GetAllTextTags() const;
    // Trims trailing white space from every line and drops empty lines.
    void RemoveEmptyStrings();

private:
    std::vector<std::string> lines_;
};

// The operator of a line (its last word).
std::string_view PdfLineOperator(std::string_view line);

// The text shown by the operands of Tj, TJ, ' or ": every string decoded
// through font (null: WinAnsi), joined. A TJ adjustment more negative than
// -150 thousandths of the font size stands for a word space.
std::u16string PdfShownText(std::string_view operands, const TDTPDFFont* font, bool addSpace);

}  // namespace quillmark
