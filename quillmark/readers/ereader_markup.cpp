#include "quillmark/readers/ereader_markup.h"

#include "quillmark/framework/code_pages.h"

namespace quillmark {

namespace {

constexpr int kEReaderCodePage = 1252;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

class PmlLines {
public:
    explicit PmlLines(std::string_view pml) : s_(pml) {}

    std::vector<std::u16string> Run() {
        while (i_ < s_.size()) {
            char c = s_[i_];
            if (c == '\\') {
                Command();
            } else if (c == '\n') {
                ++i_;
                if (!hidden_) EndLine();
            } else if (c == '\r') {
                ++i_;
            } else {
                ++i_;
                if (!hidden_) bytes_ += c;
            }
        }
        if (!bytes_.empty() || !line_.empty()) EndLine();
        return std::move(lines_);
    }

private:
    // Skips ="value" after a command, if it is there.
    void SkipValue() {
        if (i_ + 1 < s_.size() && s_[i_] == '=' && s_[i_ + 1] == '"') {
            size_t close = s_.find('"', i_ + 2);
            i_ = close == std::string_view::npos ? s_.size() : close + 1;
        }
    }

    void Command() {
        ++i_;  // the backslash
        if (i_ >= s_.size()) return;
        char c = s_[i_++];
        switch (c) {
            case '\\':
                if (!hidden_) bytes_ += '\\';
                return;
            case 'v':  // hidden text, up to the next \v
                hidden_ = !hidden_;
                return;
            case 'p':  // page break
                if (!hidden_) EndLine();
                return;
            case 'x':  // chapter title on a new page: a line of its own
            case 'c':  // centred block
            case 'r':  // right-aligned block
                if (!hidden_ && (!bytes_.empty() || !line_.empty())) EndLine();
                return;
            case 'X':  // \X0 .. \X4: chapter title at a level
                if (i_ < s_.size() && IsDigit(s_[i_])) ++i_;
                if (!hidden_ && (!bytes_.empty() || !line_.empty())) EndLine();
                return;
            case 'C':  // \C0="title": a chapter entry for the index, not shown
                if (i_ < s_.size() && IsDigit(s_[i_])) ++i_;
                SkipValue();
                return;
            case 'a': {  // \aNNN: a Windows-1252 character by its decimal code
                int code = 0, n = 0;
                while (n < 3 && i_ < s_.size() && IsDigit(s_[i_])) code = code * 10 + (s_[i_++] - '0'), ++n;
                if (n == 3 && code < 256 && !hidden_) bytes_ += static_cast<char>(code);
                return;
            }
            case 'U': {  // \UXXXX: a Unicode character
                int code = 0, n = 0;
                while (n < 4 && i_ < s_.size() && HexValue(s_[i_]) >= 0) code = code * 16 + HexValue(s_[i_++]), ++n;
                if (n == 4 && !hidden_) {
                    Flush();
                    line_ += static_cast<char16_t>(code);
                }
                return;
            }
            case 'S':  // \Sp \Sb super/subscript; \Sd="id" a sidebar link
            case 'F':  // \Fn="id" a footnote link
                if (i_ < s_.size() && (s_[i_] == 'p' || s_[i_] == 'b' || s_[i_] == 'd' || s_[i_] == 'n')) ++i_;
                SkipValue();
                return;
            case 'T':  // \T="50%" indent
            case 'w':  // \w="50%" horizontal rule
            case 'm':  // \m="image.png"
            case 'Q':  // \Q="anchor"
            case 'q':  // \q="#anchor" link ... \q
                SkipValue();
                return;
            default:  // \i \u \o \b \B \l \k \n \s \t \I \- and the unknown: formatting only
                return;
        }
    }

    void Flush() {
        if (bytes_.empty()) return;
        line_ += MultiByteToWide(bytes_, kEReaderCodePage);
        bytes_.clear();
    }

    void EndLine() {
        Flush();
        lines_.push_back(std::move(line_));
        line_.clear();
    }

    std::string_view s_;
    size_t i_ = 0;
    bool hidden_ = false;
    std::string bytes_;     // undecoded Windows-1252 bytes of the current line
    std::u16string line_;
    std::vector<std::u16string> lines_;
};

}  // namespace

std::vector<std::u16string> PmlToLines(std::string_view pml) { return PmlLines(pml).Run(); }

}  // namespace quillmark
