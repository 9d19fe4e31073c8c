#include "support/test_support.h"

#include <cctype>

#include "quillmark/framework/code_pages.h"
#include "quillmark/framework/stream.h"

namespace quillmark::test {

std::string DataPath(const std::string& name) { return std::string(QUILLMARK_TEST_DATA) + "/" + name; }

std::string ReadDataFile(const std::string& name) { return ReadFileBytes(DataPath(name)); }

std::vector<std::string> Words(const std::string& utf8) {
    // Non-ASCII bytes count as letters so words in any script survive.
    std::vector<std::string> out;
    std::string cur;
    for (unsigned char c : utf8) {
        if (std::isalnum(c) || c >= 0x80) {
            cur.push_back(static_cast<char>(c));
        } else if (!cur.empty()) {
            out.push_back(std::move(cur));
            cur.clear();
        }
    }
    if (!cur.empty()) out.push_back(cur);
    return out;
}

double InOrderRecall(const std::string& truthUtf8, const std::string& extractedUtf8) {
    auto truth = Words(truthUtf8);
    auto got = Words(extractedUtf8);
    if (truth.empty()) return 1.0;
    size_t j = 0, found = 0;
    for (const auto& w : truth) {
        size_t k = j;
        while (k < got.size() && got[k] != w) ++k;
        if (k < got.size()) {
            ++found;
            j = k + 1;
        }
    }
    return static_cast<double>(found) / static_cast<double>(truth.size());
}

}  // namespace quillmark::test
