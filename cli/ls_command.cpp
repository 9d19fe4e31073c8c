// quillmark ls: the storages and streams of a compound file as a tree, with
// stream sizes, for people looking inside a damaged or unknown file.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/options.h"
#include "cli/output.h"
#include "quillmark/framework/limits.h"
#include "quillmark/framework/code_pages.h"
#include "quillmark/framework/compound_file.h"
#include "quillmark/framework/stream.h"
#include "quillmark/framework/work_budget.h"
#include "quillmark/package/zip_archive.h"

namespace quillmark::cli {

namespace {

constexpr int kMaxDepth = 64;

// Control characters in names (the property-set streams start with \005)
// are shown as \ooo escapes.
std::string PrintableName(const std::u16string& name) {
    std::u16string out;
    for (char16_t c : name) {
        if (c < 0x20 || c == 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\%03o", static_cast<unsigned>(c));
            out += Latin1ToUtf16(buf);
        } else {
            out += c;
        }
    }
    return Utf16ToUtf8(out);
}

// With read set, every stream is also read: a stream that comes back shorter
// than its directory size, or cannot be read, is marked.
void PrintStorage(const TCompoundStorage& storage, int depth, bool read) {
    std::string indent(size_t(depth) * 2, ' ');
    for (const TStorageElement& e : storage.Elements()) {
        if (e.Type == TStorageElementType::Storage) {
            std::printf("%s%s/\n", indent.c_str(), PrintableName(e.Name).c_str());
            if (depth + 1 >= kMaxDepth) {
                std::printf("%s  ... (nested too deeply)\n", indent.c_str());
                continue;
            }
            PrintStorage(storage.OpenStorage(e.Name), depth + 1, read);
            continue;
        }
        std::string note;
        if (read) {
            try {
                size_t got = storage.ReadStream(e.Name).size();
                if (got != e.Size) note = "  (truncated: " + std::to_string(got) + " bytes readable)";
            } catch (const std::exception& ex) {
                note = std::string("  (unreadable: ") + ex.what() + ")";
            }
        }
        std::printf("%s%s  %llu%s\n", indent.c_str(), PrintableName(e.Name).c_str(),
                    static_cast<unsigned long long>(e.Size), note.c_str());
    }
}

// The members of a zip archive, in directory order, with their sizes
// (uncompressed, then stored). With read set every member is also extracted
// and a failure (bad CRC, damage, unsupported method) is marked.
void PrintZip(std::string bytes, bool read) {
    TZipArchive zip;
    zip.LoadFromBytes(std::move(bytes));
    for (int i = 0; i < zip.Count(); ++i) {
        const TLocalFile& f = zip.Files()[i];
        std::string note;
        if (!f.Damage().empty()) {
            note = "  (damaged: " + f.Damage() + ")";
        } else if (read) {
            try {
                zip.GetUncompressed(i);
            } catch (const std::exception& ex) {
                note = std::string("  (unreadable: ") + ex.what() + ")";
            }
        }
        std::printf("%s  %llu  %llu%s\n", PrintableName(ZipNameToWide(f)).c_str(),
                    static_cast<unsigned long long>(f.CentralCommonFileHeader.UncompressedSize),
                    static_cast<unsigned long long>(f.CentralCommonFileHeader.CompressedSize),
                    note.c_str());
    }
}

}  // namespace

const char* const kLsUsage =
    "usage: quillmark ls [--read] FILE...\n"
    "List the storages and streams (with sizes) of a compound (OLE) file, or the\n"
    "members of a zip archive (uncompressed and stored sizes).\n"
    "  --read   also read every stream or member and mark damaged ones\n";

int RunLs(const Args& args) {
    bool read = false;
    ParsedArgs parsed = ParseArgs(args, {{"read", 0, false}}, "ls", kLsUsage,
                                  [&](const std::string&, const std::string&) {
                                      read = true;
                                      return std::string();
                                  });
    if (parsed.exitStatus >= 0) return parsed.exitStatus;
    const auto& files = parsed.files;
    if (files.empty()) return UsageError("ls", kLsUsage, "no input files");
    int status = kExitOk;
    for (const std::string& file : files) {
        try {
            std::string bytes = ReadInputBytes(file, kDefaultMaxInputBytes);
            // --read decodes every member: overlapping members of a small
            // archive must not inflate the same data without end.
            TWorkBudgetScope budget(TWorkLimits{}, bytes.size());
            if (IsZipArchiveData(bytes)) {
                if (files.size() > 1) std::printf("%s:\n", file.c_str());
                PrintZip(std::move(bytes), read);
                continue;
            }
            auto cf = TCompoundFile::Open(std::move(bytes));
            if (files.size() > 1) std::printf("%s:\n", file.c_str());
            PrintStorage(cf->Root(), 0, read);
        } catch (const std::exception& e) {
            status = WorseStatus(status, ReportFailure(file, e));
        }
    }
    if (!FinishOutput()) status = WorseStatus(status, kExitReadError);
    return status;
}

}  // namespace quillmark::cli
