// A batch worker process: reads one path at a time from its request pipe,
// extracts it and answers with the file's JSON record.
//
// Request: u32 length, the path bytes, u64 size as walked.
// Answer:  u8 kind (BatchKind), u32 length, the JSON record.
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>
#include <thread>
#include <vector>

#include "cli/batch.h"
#include "cli/huge_pages.h"
#include "cli/json.h"
#include "quillmark/format_registry.h"
#include "quillmark/framework/exception.h"
#include "quillmark/framework/stream.h"

namespace quillmark::cli {

namespace {

// Raised by SIGUSR1, which the parent sends when the file's time is up;
// the reader sees it through its cancel flag and stops at its next check.
std::atomic<bool> gCancel{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the flag is set from a signal handler");

extern "C" void OnCancelSignal(int) { gCancel.store(true, std::memory_order_relaxed); }

constexpr uint32_t kMaxPathBytes = 1 << 20;
constexpr size_t kMaxAnswerBytes = UINT32_MAX;

// QUILLMARK_BATCH_TEST_HOOK="ACTION:NAME" makes the worker misbehave on the
// file whose last path component is NAME, so the tests can check that the
// pool survives it: "abort" (the worker dies), "hang" (ignores the cancel
// flag until it is killed), "stall" (waits for the cancel flag, as a slow
// reader that checks it would), "alloc" (allocates until its memory runs
// out). Nothing happens when the variable is not set.
void RunTestHook(const char* hook, const std::string& path) {
    if (!hook) return;
    const char* colon = std::strchr(hook, ':');
    if (!colon) return;
    std::string action(hook, colon);
    if (std::filesystem::path(path).filename() != colon + 1) return;
    if (action == "abort") std::abort();
    if (action == "hang")
        for (;;) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (action == "stall")
        while (!gCancel.load()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (action == "alloc") {
        std::vector<std::unique_ptr<char[]>> blocks;
        for (;;) {
            blocks.emplace_back(new char[1 << 20]);
            std::memset(blocks.back().get(), 1, 1 << 20);  // really use it
        }
    }
}

BatchResult ProcessFile(const BatchFile& walked, const BatchSettings& settings, const char* hook) {
    auto start = std::chrono::steady_clock::now();
    auto elapsedMs = [&] {
        return static_cast<int64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now() - start)
                                        .count());
    };
    BatchFile file = walked;
    std::string formatName = "unknown";
    JsonObject j;
    j.Str("path", file.path);
    BatchKind kind = BatchKind::Ok;
    std::string error;
    try {
        std::string bytes = ReadInputBytes(file.path, settings.extract.MaxInputBytes);
        file.size = bytes.size();
        if (const TFormatEntry* format = DetectFormat(TDetectionInput(bytes))) formatName = format->Name;
        RunTestHook(hook, file.path);
        ExtractOptions options = settings.extract;
        options.Cancel = &gCancel;
        ExtractResult r = ExtractBytes(bytes, options);
        bytes = std::string();
        if (gCancel.load()) {
            kind = BatchKind::Timeout;
            error = "stopped after the time limit";
        } else {
            j.Int("size", static_cast<int64_t>(file.size));
            j.Str("format", r.FormatName);
            if (!settings.treeDir.empty()) {
                std::string target = TreeTextPath(settings.treeDir, file.path);
                std::filesystem::create_directories(std::filesystem::path(target).parent_path());
                // Written under a temporary name and renamed, so a worker
                // killed half-way never leaves a truncated text behind.
                std::string partial = target + ".partial";
                {
                    TFileStream out(partial, TFileMode::fmCreate);
                    out.WriteBytes(r.Text);
                    out.Close();
                }
                std::filesystem::rename(partial, target);
                j.Str("text_path", target);
            } else {
                j.Str("text", r.Text);
            }
            JsonObject metadata;
            PutSummary(metadata, r.Summary);
            j.Raw("metadata", metadata.Close());
        }
    } catch (const std::exception& e) {
        kind = BatchKindOf(e);
        error = e.what();
    }
    if (kind != BatchKind::Ok) {
        j = JsonObject();
        j.Str("path", file.path);
        j.Int("size", static_cast<int64_t>(file.size));
        j.Str("format", formatName);
        j.Str("error_kind", BatchKindName(kind));
        j.Str("error", error);
    }
    j.Int("ms", elapsedMs());
    return {kind, j.Close()};
}

}  // namespace

void RunBatchWorker(int inFd, int outFd, const BatchSettings& settings) {
    // Ctrl-C reaches the whole process group; the parent decides what
    // stops, and kills its workers itself.
    std::signal(SIGINT, SIG_IGN);
    std::signal(SIGTERM, SIG_DFL);
    std::signal(SIGPIPE, SIG_DFL);
    struct sigaction sa {};
    sa.sa_handler = OnCancelSignal;
    sa.sa_flags = SA_RESTART;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGUSR1, &sa, nullptr);
    if (settings.maxMemory > 0) {
        UseDefaultHeapGrowth();  // the limit counts what documents take, not heap padding
        struct rlimit limit {};
        limit.rlim_cur = limit.rlim_max = settings.maxMemory;
        setrlimit(RLIMIT_AS, &limit);
    }
    const char* hook = std::getenv("QUILLMARK_BATCH_TEST_HOOK");
    for (;;) {
        uint32_t length = 0;
        if (!ReadFull(inFd, &length, sizeof length) || length > kMaxPathBytes) _exit(0);
        BatchFile file;
        file.path.resize(length);
        if (!ReadFull(inFd, file.path.data(), length) || !ReadFull(inFd, &file.size, sizeof file.size)) _exit(0);
        gCancel.store(false);
        BatchResult result;
        try {
            result = ProcessFile(file, settings, hook);
        } catch (const std::bad_alloc&) {
            result = {BatchKind::Memory, FailureRecord(file, BatchKind::Memory, "out of memory", 0)};
        }
        if (result.line.size() > kMaxAnswerBytes) {
            // The answer's length field is 32 bits.
            result = {BatchKind::Limit, FailureRecord(file, BatchKind::Limit, "record larger than 4 GiB", 0)};
        }
        uint8_t kind = static_cast<uint8_t>(result.kind);
        uint32_t size = static_cast<uint32_t>(result.line.size());
        if (!WriteFull(outFd, &kind, 1) || !WriteFull(outFd, &size, sizeof size) ||
            !WriteFull(outFd, result.line.data(), size))
            _exit(0);
    }
}

}  // namespace quillmark::cli
