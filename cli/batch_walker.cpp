// Finding the files of a batch: named files, and every regular file below
// named directories.
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <utility>

#include "cli/batch.h"

namespace quillmark::cli {

namespace {

namespace fs = std::filesystem;
using DirId = std::pair<dev_t, ino_t>;

class Walker {
public:
    Walker(std::vector<BatchFile>& out, const std::function<void(const std::string&, const std::string&)>& onError)
        : out_(out), onError_(onError) {}

    void Visit(const std::string& path, int depth) {
        struct stat st;
        if (::stat(path.c_str(), &st) != 0) {
            // Kept as a file: its worker reports why it cannot be opened,
            // so the name is accounted for in the output like any other.
            out_.push_back({path, 0});
            return;
        }
        if (S_ISREG(st.st_mode)) {
            out_.push_back({path, static_cast<uint64_t>(st.st_size)});
        } else if (S_ISDIR(st.st_mode)) {
            // A directory reached twice (through a link to itself or to an
            // ancestor, or two links to one place) is walked once: a loop
            // would otherwise never end, and a shared folder would be
            // extracted twice.
            if (!walked_.insert({st.st_dev, st.st_ino}).second) return;
            if (depth >= kMaxDepth) {
                onError_(path, "directory nesting too deep");
                return;
            }
            std::vector<std::string> names;
            std::error_code ec;
            for (fs::directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec))
                names.push_back(it->path().filename().string());
            if (ec) onError_(path, ec.message());
            std::sort(names.begin(), names.end());
            std::string prefix = path.empty() || path.back() == '/' ? path : path + "/";
            for (const auto& name : names) Visit(prefix + name, depth + 1);
        }
        // Devices, pipes and sockets are not documents; reading a pipe could
        // block for ever.
    }

private:
    static constexpr int kMaxDepth = 256;
    std::vector<BatchFile>& out_;
    const std::function<void(const std::string&, const std::string&)>& onError_;
    std::set<DirId> walked_;
};

}  // namespace

std::vector<BatchFile> WalkInputs(const std::vector<std::string>& inputs,
                                  const std::function<void(const std::string&, const std::string&)>& onError) {
    std::vector<BatchFile> files;
    Walker walker(files, onError);
    for (const auto& input : inputs) walker.Visit(input, 0);
    return files;
}

}  // namespace quillmark::cli
