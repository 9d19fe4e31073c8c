// The quillmark command's subcommands. Each takes its arguments (without the
// subcommand name) and returns the process exit status (see cli/output.h):
// 0 success, 1 a file could not be read, 2 bad usage, 3 password.
#pragma once

#include <string>
#include <vector>

namespace quillmark::cli {

using Args = std::vector<std::string>;

int RunExtract(const Args& args);
int RunPdfObjects(const Args& args);
int RunInfo(const Args& args);
int RunLs(const Args& args);
int RunBatch(const Args& args);
int RunMacros(const Args& args);

// Each command's usage text, printed by "COMMAND --help" and "help COMMAND".
extern const char* const kExtractUsage;
extern const char* const kPdfObjectsUsage;
extern const char* const kInfoUsage;
extern const char* const kLsUsage;
extern const char* const kBatchUsage;
extern const char* const kMacrosUsage;

// Prints "quillmark: FILE: MESSAGE" on stderr.
void ReportError(const std::string& file, const std::string& message);

}  // namespace quillmark::cli
