// Runs a piece of test work in a forked child, so that its own peak memory
// and processor time can be read back (wait4), untouched by whatever the
// test process did before.
#pragma once

#include <functional>
#include <string>

namespace quillmark::test {

// Time and memory bounds are asserted only in an optimised build without
// sanitizers; the others run the same work and print the figures.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__) || defined(__SANITIZE_UNDEFINED__) || \
    !defined(NDEBUG)
inline constexpr bool kMeasuredBuild = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kMeasuredBuild = false;
#else
inline constexpr bool kMeasuredBuild = true;
#endif
#else
inline constexpr bool kMeasuredBuild = true;
#endif

struct ChildRun {
    int exitCode = -1;    // what work returned; -1 when the child did not exit normally
    std::string message;  // what work wrote to its message
    double seconds = 0;   // processor time, user and system (the machine may be shared)
    long peakKiB = 0;     // peak resident memory
};

// Runs work in a child process. An exception escaping work gives exit code 98.
ChildRun RunInChild(const std::function<int(std::string& message)>& work);

}  // namespace quillmark::test
