// The quillmark command's subcommands. Each takes its arguments (without the
// subcommand name) and returns the process exit code: 0 success, 1 when a
// file could not be read, 2 for bad usage.
#pragma once

#include <string>
#include <vector>

namespace quillmark::cli {

using Args = std::vector<std::string>;

int RunExtract(const Args& args);
int RunPdfObjects(const Args& args);
int RunInfo(const Args& args);
int RunLs(const Args& args);
int RunMacros(const Args& args);

// UTF-16 library text as UTF-8 output; line ends become LF unless crlf.
std::string ToUtf8Output(const std::u16string& text, bool crlf);

// Prints "quillmark: FILE: MESSAGE" on stderr.
void ReportError(const std::string& file, const std::string& message);

}  // namespace quillmark::cli
