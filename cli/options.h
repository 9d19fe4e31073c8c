// Command-line option parsing shared by every subcommand: "--name value",
// "--name=value", short "-o value", "--" ending the options, "-" as a file
// name (standard input), and "--help"/"-h" for the command's usage. Unknown
// options and missing values are usage errors (exit status 2).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "cli/commands.h"

namespace quillmark::cli {

struct OptionSpec {
    const char* longName;  // without the dashes: "format"
    char shortName;        // 0 when there is none
    bool takesValue;
};

struct ParsedArgs {
    // -1: go on; otherwise the exit status to return at once (0 after
    // --help, 2 after a usage error, whose message is already printed).
    int exitStatus = -1;
    std::vector<std::string> files;
};

// Calls onOption(longName, value) for each option in order; onOption
// returns an error text ("" when the value is good).
ParsedArgs ParseArgs(const Args& args, const std::vector<OptionSpec>& specs, const char* command,
                     const char* usage,
                     const std::function<std::string(const std::string&, const std::string&)>& onOption);

// Prints "quillmark COMMAND: WHY" and the usage on stderr; returns 2.
int UsageError(const char* command, const char* usage, const std::string& why);

// Parses a whole non-negative decimal number (no sign, no trailing text).
bool ParseCount(const std::string& text, long long max, long long& out);

}  // namespace quillmark::cli
