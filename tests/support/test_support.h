// Helpers shared by the tests: test data paths and the "all words of the
// truth text appear, in order" check used against real documents.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillmark::test {

std::string DataPath(const std::string& name);
std::string ReadDataFile(const std::string& name);

// Splits UTF-8 text into words (runs of letters and digits).
std::vector<std::string> Words(const std::string& utf8);

// Fraction of the truth's words found in the extracted text in order (a
// greedy subsequence match within a window); 1.0 means every word is there
// in order.
double InOrderRecall(const std::string& truthUtf8, const std::string& extractedUtf8);

// Lower-case hexadecimal text of bytes, and back (pairs of hex digits).
std::string ToHex(std::string_view bytes);
std::string FromHex(std::string_view hex);

// Runs the built quillmark command with the given arguments (a shell
// command line), capturing stdout and stderr together.
struct CliResult {
    int status;  // exit code, -1 when it did not exit normally
    std::string out;
};
CliResult RunCli(const std::string& args);
// Runs a shell command line as it stands, capturing its stdout only.
CliResult RunShell(const std::string& command);

}  // namespace quillmark::test
