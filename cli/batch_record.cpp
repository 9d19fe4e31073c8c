// The records of a batch: error kinds, the JSON line of a failed file, the
// --tree file names, and reading a record's path back for --resume.
#include <unistd.h>

#include <cerrno>
#include <new>

#include "cli/batch.h"
#include "cli/json.h"
#include "quillmark/framework/code_pages.h"
#include "quillmark/framework/exception.h"

namespace quillmark::cli {

const char* BatchKindName(BatchKind kind) {
    static const char* const kNames[kBatchKindCount] = {"ok",     "password", "encrypted", "unsupported", "damaged",
                                                        "limit",  "other",    "memory",    "timeout",     "crash"};
    auto i = static_cast<size_t>(kind);
    return i < kBatchKindCount ? kNames[i] : "other";
}

BatchKind BatchKindOf(const std::exception& e) {
    if (dynamic_cast<const EPasswordError*>(&e)) return BatchKind::Password;
    if (dynamic_cast<const EEncryptedError*>(&e)) return BatchKind::Encrypted;
    if (dynamic_cast<const EUnsupportedFormat*>(&e)) return BatchKind::Unsupported;
    if (dynamic_cast<const EDamagedDocument*>(&e)) return BatchKind::Damaged;
    if (dynamic_cast<const ELimitError*>(&e)) return BatchKind::Limit;
    if (dynamic_cast<const std::bad_alloc*>(&e)) return BatchKind::Memory;
    return BatchKind::Other;
}

bool ReadFull(int fd, void* data, size_t size) {
    auto* p = static_cast<char*>(data);
    while (size > 0) {
        ssize_t n = ::read(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool WriteFull(int fd, const void* data, size_t size) {
    auto* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = ::write(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

std::string FailureRecord(const BatchFile& file, BatchKind kind, const std::string& message, int64_t ms) {
    JsonObject j;
    j.Str("path", file.path);
    j.Int("size", static_cast<int64_t>(file.size));
    j.Str("format", "unknown");
    j.Str("error_kind", BatchKindName(kind));
    j.Str("error", message);
    j.Int("ms", ms);
    return j.Close();
}

std::string TreeTextPath(const std::string& treeDir, const std::string& path) {
    std::string rel;
    size_t i = 0;
    while (i <= path.size()) {
        size_t slash = path.find('/', i);
        if (slash == std::string::npos) slash = path.size();
        std::string part = path.substr(i, slash - i);
        i = slash + 1;
        if (part.empty() || part == ".") continue;
        if (part == "..") part = "_up_";  // stays below treeDir
        if (!rel.empty()) rel += '/';
        rel += part;
    }
    std::string dir = treeDir.empty() || treeDir.back() == '/' ? treeDir : treeDir + "/";
    return dir + rel + ".txt";
}

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string RecordPath(const std::string& line) {
    static const std::string kStart = "{\"path\":\"";
    if (line.compare(0, kStart.size(), kStart) != 0) return "";
    std::string out;
    for (size_t i = kStart.size(); i < line.size(); ++i) {
        char c = line[i];
        if (c == '"') return out;
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++i >= line.size()) return "";
        switch (line[i]) {
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'u': {
                if (i + 4 >= line.size()) return "";
                int v = 0;
                for (int k = 1; k <= 4; ++k) {
                    int h = HexValue(line[i + k]);
                    if (h < 0) return "";
                    v = v * 16 + h;
                }
                i += 4;
                out += Utf16ToUtf8(std::u16string(1, static_cast<char16_t>(v)));
                break;
            }
            default: out += line[i];  // \" \\ \/
        }
    }
    return "";  // the line ends inside the string: an incomplete record
}

}  // namespace quillmark::cli
