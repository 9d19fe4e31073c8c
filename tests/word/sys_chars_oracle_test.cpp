// The reader converts runs of ordinary text in one step; this checks it
// against a character-by-character transcription of the conversion on many
// generated strings, in all three renderings.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "quillmark/framework/markup_escape.h"
#include "quillmark/word/word_bin_file.h"

namespace quillmark {
namespace {

// One character at a time: the replacement of each character, the field
// collector and the 200-piece flush, with no shortcuts.
class SlowConverter {
public:
    explicit SlowConverter(TMSTextFormating f) : f_(f) {}

    std::u16string Run(std::u16string s) {
        std::u16string out;
        for (size_t i = 0; i < s.size(); ++i) {
            char16_t ch = s[i];
            bool isLast = i + 1 == s.size();
            char16_t next = isLast ? 0 : s[i + 1];
            if (len_ > 0 && ch == 19) out += Finish();
            if (len_ > 200) Flush(out);
            std::u16string r = Process(ch, isLast, next);
            if (!field_.empty() || ch == 19) {
                field_ += r;
                ++len_;
            } else {
                out += r;
            }
            if (!isLast) s[i + 1] = next;
        }
        if (!field_.empty()) Flush(out);
        return out;
    }

private:
    std::u16string By(const char16_t* rtf, const char16_t* html, const char16_t* plain) const {
        return f_ == tfRTF ? rtf : f_ == tfHTML ? html : plain;
    }
    void Flush(std::u16string& out) {
        out += EscapeText(u"\u2013", f_);
        if (!field_.empty()) out += field_.substr(1);
        field_.clear();
        len_ = 0;
    }
    std::u16string Process(char16_t ch, bool isLast, char16_t& next) {
        switch (ch) {
            case 0: case 1: case 2: case 3: case 5: case 6: case 8: case 12: case 31: return u"";
            case 7:
                if (isLast || next != 7) return u" ";
                next = 10;
                return By(u"\r\n\\par ", u"<br>\r\n", u"\r");
            case 9: return u"\t";
            case 11: return By(u"\r\n\\par ", u"<br>\r\n", u"\r\n");
            case 13: return By(u"\r\n\\par ", u"<p></p>\r\n", u"\r\n");
            case 19: field_.clear(); len_ = 0; return u"\x13";
            case 20: return u"\x14";
            case 21: return Finish();
            default: return EscapeText(std::u16string(1, ch), f_);
        }
    }
    std::u16string Finish() {
        std::u16string result, code = field_;
        if (!code.empty() && code[0] == 19) code.erase(0, 1);
        if (!code.empty() && code[0] == u' ') code.erase(0, 1);
        size_t sep = code.find(u'\x14');
        size_t end = sep != std::u16string::npos ? sep : code.find(u" \\");
        if (end != std::u16string::npos && end > 0 && sep != std::u16string::npos) {
            size_t from = sep + 1;
            if (from < code.size() && code[from] == 20) ++from;
            // EMBED fields (the only keyword in this alphabet that shows
            // nothing) are not generated below.
            result = code.substr(from);
        }
        field_.clear();
        len_ = 0;
        return result;
    }

    TMSTextFormating f_;
    std::u16string field_;
    int len_ = 0;
};

TEST(SysCharsOracle, FastConversionMatchesCharacterByCharacter) {
    const std::u16string alphabet = u"ab PAGE\\<&{\u00E9\u0416\x07\x07\x0D\x0B\x09\x13\x13\x14\x15\x15\x01\x1E";
    std::mt19937 rng(1234);
    for (int round = 0; round < 3000; ++round) {
        size_t n = rng() % (round % 10 == 0 ? 600 : 60);
        std::u16string s;
        for (size_t i = 0; i < n; ++i) s += alphabet[rng() % alphabet.size()];
        for (auto f : {tfPlainText, tfRTF, tfHTML}) {
            TWordBinFile doc;
            doc.SetTextFormating(f);
            doc.AddText(s, doc.Text());
            ASSERT_EQ(doc.Text().Get(0), SlowConverter(f).Run(s)) << "round " << round << " format " << int(f);
        }
    }
}

}  // namespace
}  // namespace quillmark
