// Standard output with its failures reported: a full disk or a closed pipe
// (when SIGPIPE is ignored) is an error with exit status 1, never a silent
// success. Also the exit status of a failed document by its error kind.
#pragma once

#include <exception>
#include <string>
#include <string_view>

namespace quillmark::cli {

// Exit statuses: 0 every file read, 1 a file could not be read or written,
// 2 bad usage, 3 a password is needed or was wrong.
inline constexpr int kExitOk = 0;
inline constexpr int kExitReadError = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitPassword = 3;

// The status for a file that failed with this exception.
int ExitStatusFor(const std::exception& e);
// With several files the worst status wins: password over a read error.
int WorseStatus(int a, int b);
// Reports a file that failed (after what was already written to stdout)
// and gives its status.
int ReportFailure(const std::string& file, const std::exception& e);

// Writes to stdout; a failure is remembered (and later writes skipped).
void WriteOut(std::string_view bytes);
// Flushes stdout; false (with the message printed) when any write failed.
bool FinishOutput();

}  // namespace quillmark::cli
