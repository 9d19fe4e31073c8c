#include "quillmark/word/vba_project.h"

#include <cstdio>
#include <memory>
#include <unordered_map>
#include <unordered_set>

#include "quillmark/framework/byte_reader.h"
#include "quillmark/framework/code_pages.h"
#include "quillmark/framework/exception.h"
#include "quillmark/framework/limits.h"
#include "quillmark/word/vba_decompression.h"

namespace quillmark {

namespace {

// Record identifiers of the "dir" stream.
constexpr uint16_t kDirCodePage = 0x0003;
constexpr uint16_t kDirProjectVersion = 0x0009;
constexpr uint16_t kDirTerminator = 0x0010;
constexpr uint16_t kDirModuleName = 0x0019;
constexpr uint16_t kDirModuleStreamName = 0x001A;
constexpr uint16_t kDirModuleOffset = 0x0031;
constexpr uint16_t kDirModuleStreamNameUnicode = 0x0032;
constexpr uint16_t kDirModuleNameUnicode = 0x0047;

// Sub-storages nest; the fallback walk visits them all, to this depth.
constexpr int kMaxStorageDepth = 16;

std::u16string Utf16LE(std::string_view bytes) {
    std::u16string s(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < s.size(); ++i)
        s[i] = static_cast<char16_t>(static_cast<uint8_t>(bytes[2 * i]) |
                                     static_cast<uint8_t>(bytes[2 * i + 1]) << 8);
    return s;
}

// What a project may decompress in all: one cap for the sum of its module
// sources, so many modules cannot multiply the library's output limit.
class OutputBudget {
public:
    OutputBudget() : left_(MaxOutputBytes()) {}
    size_t Left() const { return left_; }
    void Spend(size_t n) { left_ -= n < left_ ? n : left_; }

private:
    size_t left_;
};

// Decompresses the source part of a module stream into its item.
void DecompressModule(std::string_view stream, TVBAProjectItem& item, OutputBudget& budget) {
    item.Body.clear();
    item.Damage.clear();
    if (budget.Left() == 0) {
        item.Damage = "the project's sources exceed the output limit";
        return;
    }
    if (item.Offset >= stream.size()) {
        item.Damage = "source offset " + std::to_string(item.Offset) + " is past the end of the " +
                      std::to_string(stream.size()) + "-byte module stream";
        return;
    }
    try {
        DecompressVBAContainer(stream.substr(item.Offset), item.Body, budget.Left());
    } catch (const Exception& e) {
        item.Damage = e.what();
    }
    budget.Spend(item.Body.size());
}

std::u16string LowerAscii(std::u16string_view s) {
    std::u16string out(s);
    for (char16_t& c : out)
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
    return out;
}

// The fallback: every stream below `storage` whose name is a module's name
// gets that module's source.
void DecompressMatchingStreams(const TCompoundStorage& storage, TVBAProjectItems& items,
                               const std::unordered_map<std::u16string, size_t>& byName, OutputBudget& budget,
                               int depth) {
    if (depth > kMaxStorageDepth) return;
    for (const TStorageElement& e : storage.Elements()) {
        if (e.Type == TStorageElementType::Storage) {
            TCompoundStorage sub;
            try {
                sub = storage.OpenStorage(e.Name);
            } catch (const Exception&) {
                continue;  // a storage that does not open is skipped
            }
            DecompressMatchingStreams(sub, items, byName, budget, depth + 1);
            continue;
        }
        auto found = byName.find(LowerAscii(e.Name));
        if (found != byName.end()) DecompressModule(storage.ReadStream(e.Name), *items[found->second], budget);
    }
}

// The fallback: finds "_VBA_PROJECT" anywhere below `storage`.
bool FindProjectTable(const TCompoundStorage& storage, TVBAProjectItems& items, int depth) {
    if (depth > kMaxStorageDepth) return false;
    if (storage.HasStream(u"_VBA_PROJECT")) {
        ReadVBAProjectStream(storage.ReadStream(u"_VBA_PROJECT"), items);
        return true;
    }
    for (const TStorageElement& e : storage.Elements()) {
        if (e.Type != TStorageElementType::Storage) continue;
        try {
            if (FindProjectTable(storage.OpenStorage(e.Name), items, depth + 1)) return true;
        } catch (const Exception&) {
        }
    }
    return false;
}

bool ReadFromDir(const TCompoundStorage& storage, TVBAProject& project) {
    if (!storage.HasStorage(u"VBA")) return false;
    TCompoundStorage vba = storage.OpenStorage(u"VBA");
    if (!vba.HasStream(u"dir")) return false;
    TVBADirInfo dir;
    try {
        dir = ParseVBADirStream(DecompressVBAContainer(vba.ReadStream(u"dir")));
    } catch (const Exception&) {
        return false;  // unreadable: the module table of "_VBA_PROJECT" is tried instead
    }
    project.CodePage = dir.CodePage;
    project.FromDir = true;
    OutputBudget budget;
    // Each stream is read once: a list that names one stream for many
    // modules cannot make the work grow beyond the file.
    std::unordered_set<std::u16string> used;
    for (TVBADirModule& m : dir.Modules) {
        auto item = std::make_unique<TVBAProjectItem>();
        item->ModuleName = std::move(m.Name);
        item->StreamName = std::move(m.StreamName);
        item->Offset = m.Offset;
        const std::string stream = Utf16ToUtf8(item->StreamName);
        if (!vba.HasStream(item->StreamName))
            item->Damage = "module stream \"" + stream + "\" is missing";
        else if (!used.insert(LowerAscii(item->StreamName)).second)
            item->Damage = "module stream \"" + stream + "\" belongs to an earlier module";
        else
            DecompressModule(vba.ReadStream(item->StreamName), *item, budget);
        project.Items.push_back(std::move(item));
    }
    return true;
}

}  // namespace

TVBADirInfo ParseVBADirStream(std::string_view dir) {
    TVBADirInfo info;
    ByteReader r(dir);
    TVBADirModule* module = nullptr;
    std::u16string unicodeName, unicodeStream;
    // Each record is a 2-byte identifier, a 4-byte size and that many bytes.
    // Names come twice: in the project's code page and as UTF-16; the UTF-16
    // form is preferred when present.
    while (r.remaining() >= 6) {
        const size_t at = r.pos();
        const uint16_t id = r.u16le();
        const uint32_t size = r.u32le();
        // The project version record declares 4 bytes but holds 6 (a
        // 4-byte major and a 2-byte minor version).
        const size_t length = id == kDirProjectVersion ? 6 : size;
        if (!r.can_read(length)) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "%04X", id);
            throw EDamagedDocument("VBA \"dir\" stream is damaged: record 0x" + std::string(hex) + " at offset " +
                            std::to_string(at) + " runs past the end");
        }
        std::string_view data = r.bytes(length);
        if (id == kDirTerminator) break;
        switch (id) {
            case kDirCodePage:
                if (data.size() >= 2)
                    info.CodePage = static_cast<uint8_t>(data[0]) | static_cast<uint8_t>(data[1]) << 8;
                break;
            case kDirModuleName:
                module = &info.Modules.emplace_back();
                module->Name = MultiByteToWide(data, info.CodePage);
                break;
            case kDirModuleNameUnicode:
                if (module && data.size() >= 2) module->Name = Utf16LE(data);
                break;
            case kDirModuleStreamName:
                if (module) module->StreamName = MultiByteToWide(data, info.CodePage);
                break;
            case kDirModuleStreamNameUnicode:
                if (module && data.size() >= 2) module->StreamName = Utf16LE(data);
                break;
            case kDirModuleOffset:
                if (module && data.size() >= 4) module->Offset = ByteReader(data).u32le();
                break;
            default:
                break;
        }
    }
    for (TVBADirModule& m : info.Modules)
        if (m.StreamName.empty()) m.StreamName = m.Name;
    return info;
}

void ReadVBAProjectStream(std::string_view stream, TVBAProjectItems& items) {
    ByteReader r(stream);
    // Stops at the first read that finds too few bytes: what was read stays.
    try {
        r.skip(34);
        // Reference records, each a length and UTF-16 text; some carry 12
        // more bytes (a "*\G" or "*\H" record always, "*\C" and "*\D" every
        // other time).
        bool toggle = true;
        for (;;) {
            if (!r.can_read(2)) break;
            const uint16_t length = r.u16le();
            if (length < 6) {
                r.seek(r.pos() - 2);
                break;
            }
            if (!r.can_read(length)) break;
            auto item = std::make_unique<TVBAProjectItem>();
            item->Entry = Utf16LE(r.bytes(length));
            std::u16string_view head = std::u16string_view(item->Entry).substr(0, 3);
            items.push_back(std::move(item));
            if (head == u"*\\G" || head == u"*\\H") {
                r.skip(r.remaining() < 12 ? r.remaining() : 12);
            } else if (head == u"*\\C" || head == u"*\\D") {
                if (!toggle) r.skip(r.remaining() < 12 ? r.remaining() : 12);
                toggle = !toggle;
            }
        }
        r.skip(132);
        const uint16_t count = r.u16le();
        for (size_t i = 0; i < count; ++i) {
            if (i == items.size()) items.push_back(std::make_unique<TVBAProjectItem>());
            TVBAProjectItem& item = *items[i];
            uint16_t n = r.u16le();
            if (n > 0) item.ModuleName = Utf16LE(r.bytes(n));
            n = r.u16le();
            if (n > 0) item.ModuleID = Utf16LE(r.bytes(n));
            const uint16_t w = r.u16le();
            if (w == 0xFFFF) {
                r.skip(2);
                r.skip(r.u16le());
            } else {
                r.skip(size_t{w} + 2);
            }
            r.skip(8);
            r.skip(size_t{r.u8()} * 8 + 6);
            item.Offset = r.u32le();
            r.skip(2);
        }
    } catch (const Exception&) {
        // the table ends early; the items read so far are kept
    }
}

void ReadVBAProject(const TCompoundStorage& storage, TVBAProject& project) {
    project = TVBAProject();
    if (storage.HasStream(u"PROJECT")) project.Project = storage.ReadStream(u"PROJECT");
    if (ReadFromDir(storage, project)) return;
    if (!FindProjectTable(storage, project.Items, 0)) return;
    // A stream gets the source of the first module of its name.
    std::unordered_map<std::u16string, size_t> byName;
    for (size_t i = 0; i < project.Items.size(); ++i)
        if (!project.Items[i]->ModuleName.empty()) byName.emplace(LowerAscii(project.Items[i]->ModuleName), i);
    OutputBudget budget;
    DecompressMatchingStreams(storage, project.Items, byName, budget, 0);
}

TCompoundStorage FindVBAProjectStorage(const TCompoundStorage& root) {
    for (const char16_t* name : {u"Macros", u"_VBA_PROJECT_CUR"})
        if (root.HasStorage(name)) return root.OpenStorage(name);
    if (root.HasStorage(u"VBA")) return root;
    return TCompoundStorage();
}

void AppendMacroListing(const TVBAProjectItems& items, int codePage, TWideStrings& out,
                        const std::function<std::u16string(std::u16string_view)>& escape) {
    static const std::u16string kRule = u"'===================================";
    for (const auto& item : items) {
        if (item->Body.empty() && item->Damage.empty()) continue;
        out.Add(kRule);
        std::u16string title = u"'  Macro(s) from " + item->ModuleName;
        out.Add(escape ? escape(title) : title);
        out.Add(kRule);
        std::u16string source = MultiByteToWide(item->Body, codePage);
        if (!item->Damage.empty())
            source += u"\r\n'  (the source is damaged here: " + Utf8ToUtf16(item->Damage) + u")";
        out.Add((escape ? escape(source) : source) + u"\r\n");
    }
}

}  // namespace quillmark
