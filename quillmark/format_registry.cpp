#include "quillmark/format_registry.h"

#include <algorithm>
#include <mutex>


namespace quillmark {

namespace {

struct Registry {
    std::mutex lock;
    std::vector<TFormatEntry> formats;
    bool loaded = false;
};

Registry& TheRegistry() {
    static Registry r;
    std::lock_guard<std::mutex> guard(r.lock);
    if (!r.loaded) {
        r.formats = BuiltinFormats();
        // Fallbacks keep their relative order, after every specific format.
        std::stable_partition(r.formats.begin(), r.formats.end(),
                              [](const TFormatEntry& e) { return !e.Fallback; });
        r.loaded = true;
    }
    return r;
}

}  // namespace

const std::vector<TFormatEntry>& RegisteredFormats() { return TheRegistry().formats; }

void RegisterFormat(TFormatEntry entry) {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.lock);
    auto& v = r.formats;
    v.erase(std::remove_if(v.begin(), v.end(), [&](const TFormatEntry& e) { return e.Name == entry.Name; }),
            v.end());
    auto at = entry.Fallback ? v.end()
                             : std::find_if(v.begin(), v.end(), [](const TFormatEntry& e) { return e.Fallback; });
    v.insert(at, std::move(entry));
}

bool UnregisterFormat(std::string_view name) {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> guard(r.lock);
    auto& v = r.formats;
    auto it = std::find_if(v.begin(), v.end(), [&](const TFormatEntry& e) { return e.Name == name; });
    if (it == v.end()) return false;
    v.erase(it);
    return true;
}

const TFormatEntry* FindFormat(std::string_view name) {
    for (const TFormatEntry& e : RegisteredFormats())
        if (e.Name == name) return &e;
    return nullptr;
}

const TFormatEntry* DetectFormat(const TDetectionInput& input) {
    for (const TFormatEntry& e : RegisteredFormats())
        if (e.Detect && e.Detect(input)) return &e;
    return nullptr;
}

const TFormatEntry* DetectFormat(std::string_view bytes) {
    TDetectionInput input(bytes);
    return DetectFormat(input);
}

const char* FormatName(const TFormatEntry* format) { return format ? format->Name.c_str() : "unknown"; }

std::unique_ptr<TMSWBaseDocument> CreateReader(const TFormatEntry* format) {
    if (!format || !format->Create) return nullptr;
    return format->Create();
}

}  // namespace quillmark
