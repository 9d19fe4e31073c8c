// quillmark batch: the pieces of the many-documents command. The parent
// process walks the inputs, hands one path at a time to pre-forked worker
// processes over pipes and writes each worker's JSON line as it arrives; a
// worker that crashes, runs out of memory or overruns its time costs only
// the file it was reading.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "quillmark/extract.h"

namespace quillmark::cli {

// How a file ended. The names are the "error_kind" values of the records.
enum class BatchKind : uint8_t {
    Ok,
    Password,     // a password is needed or wrong
    Encrypted,    // encrypted beyond opening
    Unsupported,  // no format claims the content
    Damaged,      // recognised but broken
    Limit,        // a size or work limit was reached
    Other,        // any other failure: the file cannot be opened, a stream error
    Memory,       // the worker's memory limit was reached
    Timeout,      // --timeout elapsed
    Crash,        // the worker died while reading it
};
inline constexpr int kBatchKindCount = 10;
const char* BatchKindName(BatchKind kind);
BatchKind BatchKindOf(const std::exception& e);

struct BatchFile {
    std::string path;
    uint64_t size = 0;
};

// Every regular file named or found below the named directories, in name
// order within each directory. Symbolic links are followed, but a directory
// already on the way (a link loop) or already walked is not entered again.
// Names that cannot be walked are reported through onError and skipped.
std::vector<BatchFile> WalkInputs(const std::vector<std::string>& inputs,
                                  const std::function<void(const std::string&, const std::string&)>& onError);

struct BatchSettings {
    ExtractOptions extract;
    std::string treeDir;      // --tree: texts written below it
    uint64_t maxMemory = 0;   // bytes of address space per worker; 0: no limit
    double timeout = 0;       // seconds per file; 0: none
};

// The worker side: reads requests from inFd until it closes, answers on
// outFd. Never returns.
[[noreturn]] void RunBatchWorker(int inFd, int outFd, const BatchSettings& settings);

// Whole reads and writes on a pipe, retried after signals; false at the end
// of the data or on an error.
bool ReadFull(int fd, void* data, size_t size);
bool WriteFull(int fd, const void* data, size_t size);

// The record of a file no worker could finish (crash, kill after timeout).
std::string FailureRecord(const BatchFile& file, BatchKind kind, const std::string& message, int64_t ms);

// Where --tree puts the text of path: treeDir + the path made relative
// ("/" and ".." parts cannot climb out), with ".txt" appended.
std::string TreeTextPath(const std::string& treeDir, const std::string& path);

// The "path" value of a record line, or "" when the line has none (used by
// --resume to skip files already in the output).
std::string RecordPath(const std::string& line);

struct BatchResult {
    BatchKind kind;
    std::string line;  // the JSON record, without its line end
};

// The pool: runs every file through `workers` processes and calls onResult
// for each (in completion order) in the parent. Stops early when stop
// becomes true (in-flight files are abandoned, their workers killed).
class BatchPool {
public:
    BatchPool(int workers, const BatchSettings& settings, std::vector<int> parentFds);
    ~BatchPool();
    BatchPool(const BatchPool&) = delete;
    BatchPool& operator=(const BatchPool&) = delete;

    // onTick is called at least ten times a second (for the progress line).
    void Run(const std::vector<BatchFile>& files, const std::atomic<bool>& stop,
             const std::function<void(const BatchFile&, const BatchResult&)>& onResult,
             const std::function<void()>& onTick);

private:
    struct Worker;
    void Spawn(Worker& w);
    void Kill(Worker& w);

    BatchSettings settings_;
    std::vector<int> parentFds_;  // closed in each worker (the output file)
    std::vector<Worker> workers_;
};

// The progress line on a terminal's stderr: files done/total, files/s,
// MB/s, errors and the time left, redrawn at most ten times a second.
class BatchProgress {
public:
    BatchProgress(bool enabled, size_t totalFiles, uint64_t totalBytes);
    void Add(uint64_t bytes, bool failed);
    void Draw(bool force = false);
    void Finish();  // ends the line so the next message starts clean

private:
    bool enabled_;
    size_t total_, done_ = 0, errors_ = 0;
    uint64_t totalBytes_, doneBytes_ = 0;
    std::chrono::steady_clock::time_point start_, lastDraw_;
    bool drawn_ = false;
};

}  // namespace quillmark::cli
