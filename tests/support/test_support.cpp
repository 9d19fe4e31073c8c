#include "support/test_support.h"

#include <sys/wait.h>

#include <array>
#include <locale.h>
#include <wctype.h>

#include <cctype>
#include <cstdio>

#include "quillmark/framework/code_pages.h"
#include "quillmark/framework/stream.h"

namespace quillmark::test {

std::string DataPath(const std::string& name) { return std::string(QUILLMARK_TEST_DATA) + "/" + name; }

std::string ReadDataFile(const std::string& name) { return ReadFileBytes(DataPath(name)); }

std::vector<std::string> Words(const std::string& utf8) {
    // Words are runs of letters and digits in any script; punctuation such
    // as dashes and quotation marks separates them.
    static locale_t loc = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    std::vector<std::string> out;
    std::u16string cur;
    for (char16_t c : Utf8ToUtf16(utf8)) {
        bool letter = c < 0x80 ? std::isalnum(c) != 0
                               : (c >= 0xD800 && c <= 0xDFFF) || (loc && iswalnum_l(c, loc));
        if (letter) {
            cur.push_back(c);
        } else if (!cur.empty()) {
            out.push_back(Utf16ToUtf8(cur));
            cur.clear();
        }
    }
    if (!cur.empty()) out.push_back(Utf16ToUtf8(cur));
    return out;
}

double InOrderRecall(const std::string& truthUtf8, const std::string& extractedUtf8) {
    auto truth = Words(truthUtf8);
    auto got = Words(extractedUtf8);
    if (truth.empty()) return 1.0;
    // A word is looked for within a window after the last match, so one
    // missing word cannot make the match jump far ahead and lose the rest.
    const size_t window = 64;
    size_t j = 0, found = 0;
    for (const auto& w : truth) {
        size_t k = j;
        size_t stop = got.size() - j > window ? j + window : got.size();
        while (k < stop && got[k] != w) ++k;
        if (k < stop) {
            ++found;
            j = k + 1;
        }
    }
    return static_cast<double>(found) / static_cast<double>(truth.size());
}

std::string ToHex(std::string_view bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) out += {digits[c >> 4], digits[c & 15]};
    return out;
}

std::string FromHex(std::string_view hex) {
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
    return out;
}

CliResult RunCli(const std::string& args) { return RunShell(std::string(QUILLMARK_CLI) + " " + args + " 2>&1"); }

CliResult RunShell(const std::string& cmd) {
    CliResult r{-1, {}};
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return r;
    std::array<char, 4096> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) r.out.append(buf.data(), n);
    int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

}  // namespace quillmark::test
