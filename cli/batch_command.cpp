// quillmark batch: extract many documents with a pool of worker processes
// and write one JSON record per file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unordered_set>

#include "cli/batch.h"
#include "cli/commands.h"
#include "cli/options.h"
#include "cli/output.h"

namespace quillmark::cli {

const char* const kBatchUsage =
    "usage: quillmark batch [OPTIONS] DIR|FILE...\n"
    "Extract every file named or found below the directories, several at a time,\n"
    "and write one JSON object per line and file: path, size, format, text (or\n"
    "text_path with --tree), metadata and ms; or error_kind and error when the\n"
    "file could not be read. A file that crashes or exhausts its worker process\n"
    "costs only that file.\n"
    "  -o, --output FILE   write the records to FILE instead of standard output\n"
    "  --tree DIR          write each text to DIR/PATH.txt; records give text_path\n"
    "  -j, --jobs N        worker processes (default: the number of processors)\n"
    "  --timeout S         seconds per file (decimals allowed): the reader is asked\n"
    "                      to stop, then its worker is killed\n"
    "  --max-memory MB     address-space limit of each worker\n"
    "  --resume            with -o: skip the files already in FILE and append\n"
    "  --format text|rtf|html, --password PW, --max-length N   as for extract\n"
    "  -q, --quiet         no progress line and no summary unless files failed\n"
    "Error kinds: password, encrypted, unsupported, damaged, limit, memory,\n"
    "timeout, crash, other. Exit status: 0 every file read, 1 some failed or the\n"
    "output could not be written, 2 bad usage, 130 interrupted.\n";

namespace {

std::atomic<bool> gStop{false};
extern "C" void OnStopSignal(int) { gStop.store(true); }

struct BatchOptions {
    BatchSettings settings;
    std::string output;
    long long jobs = 0;
    bool resume = false, quiet = false;
};

std::string ParseOption(BatchOptions& o, const std::string& name, const std::string& v) {
    long long n = 0;
    if (name == "output") {
        o.output = v;
    } else if (name == "tree") {
        if (v.empty()) return "--tree takes a directory";
        o.settings.treeDir = v;
    } else if (name == "jobs") {
        if (!ParseCount(v, 1024, n) || n < 1) return "--jobs takes a number from 1 to 1024";
        o.jobs = n;
    } else if (name == "timeout") {
        char* end = nullptr;
        double s = std::strtod(v.c_str(), &end);
        if (v.empty() || *end || !(s > 0) || s > 1e6) return "--timeout takes a positive number of seconds";
        o.settings.timeout = s;
    } else if (name == "max-memory") {
        if (!ParseCount(v, 1 << 30, n) || n < 16) return "--max-memory takes a number of megabytes (16 or more)";
        o.settings.maxMemory = static_cast<uint64_t>(n) << 20;
    } else if (name == "resume") {
        o.resume = true;
    } else if (name == "quiet") {
        o.quiet = true;
    } else if (name == "format") {
        if (v == "text" || v == "plain") o.settings.extract.Format = tfPlainText;
        else if (v == "rtf") o.settings.extract.Format = tfRTF;
        else if (v == "html") o.settings.extract.Format = tfHTML;
        else return "unknown format '" + v + "'";
    } else if (name == "password") {
        o.settings.extract.Password = v;
    } else if (name == "max-length") {
        if (!ParseCount(v, INT32_MAX, n)) return "--max-length takes a whole number";
        o.settings.extract.MaxLength = static_cast<int32_t>(n);
    }
    return "";
}

// Reads the records already in the output, cuts off a last line left
// incomplete (the run before was killed while writing it) and returns the
// paths done.
bool LoadDone(const std::string& output, std::unordered_set<std::string>& done) {
    FILE* f = std::fopen(output.c_str(), "rb");
    if (!f) return errno == ENOENT;
    std::string line;
    long complete = 0, offset = 0;
    int c;
    while ((c = std::fgetc(f)) != EOF) {
        ++offset;
        if (c != '\n') {
            line += static_cast<char>(c);
            continue;
        }
        complete = offset;
        std::string path = RecordPath(line);
        if (!path.empty()) done.insert(std::move(path));
        line.clear();
    }
    std::fclose(f);
    if (offset != complete && ::truncate(output.c_str(), complete) != 0) return false;
    return true;
}

}  // namespace

int RunBatch(const Args& args) {
    BatchOptions o;
    o.settings.extract.Summary = true;
    ParsedArgs parsed = ParseArgs(
        args,
        {{"output", 'o', true}, {"tree", 0, true}, {"jobs", 'j', true}, {"timeout", 0, true},
         {"max-memory", 0, true}, {"resume", 0, false}, {"quiet", 'q', false}, {"format", 0, true},
         {"password", 0, true}, {"max-length", 0, true}},
        "batch", kBatchUsage, [&](const std::string& n, const std::string& v) { return ParseOption(o, n, v); });
    if (parsed.exitStatus >= 0) return parsed.exitStatus;
    if (parsed.files.empty()) return UsageError("batch", kBatchUsage, "no input files or directories");
    if (o.resume && o.output.empty()) return UsageError("batch", kBatchUsage, "--resume needs --output");
#if defined(__SANITIZE_ADDRESS__)
    // The address sanitizer reserves terabytes of shadow address space.
    if (o.settings.maxMemory) {
        std::fprintf(stderr, "quillmark batch: --max-memory is ignored in a sanitizer build\n");
        o.settings.maxMemory = 0;
    }
#endif
    if (o.jobs == 0) o.jobs = std::max(1L, sysconf(_SC_NPROCESSORS_ONLN));

    std::vector<BatchFile> files = WalkInputs(parsed.files, [](const std::string& path, const std::string& why) {
        ReportError(path, why);
    });
    size_t skipped = 0;
    if (o.resume) {
        std::unordered_set<std::string> done;
        if (!LoadDone(o.output, done)) {
            std::fprintf(stderr, "quillmark batch: cannot resume %s: %s\n", o.output.c_str(), std::strerror(errno));
            return kExitReadError;
        }
        std::vector<BatchFile> left;
        for (auto& f : files)
            if (!done.count(f.path)) left.push_back(std::move(f));
        skipped = files.size() - left.size();
        files = std::move(left);
    }

    int outFd = STDOUT_FILENO;
    std::vector<int> parentFds;
    if (!o.output.empty()) {
        outFd = ::open(o.output.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | (o.resume ? O_APPEND : O_TRUNC), 0666);
        if (outFd < 0) {
            std::fprintf(stderr, "quillmark batch: cannot write %s: %s\n", o.output.c_str(), std::strerror(errno));
            return kExitReadError;
        }
        parentFds.push_back(outFd);
    }

    struct sigaction sa {};
    sa.sa_handler = OnStopSignal;  // no SA_RESTART: poll() returns at once
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);

    uint64_t totalBytes = 0;
    for (const auto& f : files) totalBytes += f.size;
    BatchProgress progress(!o.quiet && isatty(STDERR_FILENO), files.size(), totalBytes);
    size_t counts[kBatchKindCount] = {};
    size_t written = 0;
    bool writeFailed = false;
    std::string lineBuffer;
    try {
        BatchPool pool(static_cast<int>(o.jobs), o.settings, parentFds);
        pool.Run(
            files, gStop,
            [&](const BatchFile& file, const BatchResult& r) {
                if (writeFailed) return;
                lineBuffer.assign(r.line);
                lineBuffer += '\n';
                // One write per record: an interrupted batch leaves whole lines.
                if (!WriteFull(outFd, lineBuffer.data(), lineBuffer.size())) {
                    std::fprintf(stderr, "\nquillmark batch: write error: %s\n", std::strerror(errno));
                    writeFailed = true;
                    gStop.store(true);
                    return;
                }
                ++written;
                ++counts[static_cast<size_t>(r.kind) < kBatchKindCount ? static_cast<size_t>(r.kind) : 0];
                progress.Add(file.size, r.kind != BatchKind::Ok);
                progress.Draw();
            },
            [&] { progress.Draw(); });
    } catch (const std::exception& e) {
        progress.Finish();
        std::fprintf(stderr, "quillmark batch: %s\n", e.what());
        return kExitReadError;
    }
    progress.Finish();
    if (outFd != STDOUT_FILENO && ::close(outFd) != 0 && !writeFailed) {
        std::fprintf(stderr, "quillmark batch: write error: %s\n", std::strerror(errno));
        writeFailed = true;
    }

    size_t failed = written - counts[0];
    bool interrupted = gStop.load() && !writeFailed;
    if (failed > 0 || !o.quiet || interrupted) {
        std::string summary = "quillmark batch: " + std::to_string(written) + " files, " +
                              std::to_string(counts[0]) + " read, " + std::to_string(failed) + " failed";
        std::string kinds;
        for (int k = 1; k < kBatchKindCount; ++k)
            if (counts[k])
                kinds += (kinds.empty() ? "" : ", ") + std::string(BatchKindName(static_cast<BatchKind>(k))) + " " +
                         std::to_string(counts[k]);
        if (!kinds.empty()) summary += " (" + kinds + ")";
        if (skipped) summary += "; " + std::to_string(skipped) + " already done";
        if (interrupted) summary += "; interrupted, " + std::to_string(files.size() - written) + " not done";
        std::fprintf(stderr, "%s\n", summary.c_str());
    }
    if (interrupted) return 130;
    if (writeFailed || failed > 0) return kExitReadError;
    return kExitOk;
}

}  // namespace quillmark::cli
