#include "support/test_support.h"

#include <sys/wait.h>

#include <array>
#include <cctype>
#include <cstdio>

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

CliResult RunCli(const std::string& args) {
    std::string cmd = std::string(QUILLMARK_CLI) + " " + args + " 2>&1";
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
