// Writes OLE property-set streams for tests: one section holding the given
// properties in order, each value preceded by its type word.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillmark::test::property_set {

inline constexpr uint64_t kTicksPerSecond = 10000000ULL;
// FILETIME of a UTC instant given as seconds since 1970.
uint64_t FileTimeOfUnix(int64_t unixSeconds);

std::string Le32(uint32_t v);
std::string Le64(uint64_t v);

struct Prop {
    uint32_t id;
    std::string value;  // type word and value bytes
};
Prop I4(uint32_t id, int32_t v);
Prop Str(uint32_t id, const std::string& bytes);  // VT_LPSTR of exactly these bytes
Prop WStr(uint32_t id, const std::u16string& text);  // VT_LPWSTR with its terminating zero
Prop Time(uint32_t id, uint64_t fileTime);
Prop CodePage(uint16_t cp);

// The section starts at byte 48.
std::string PropertySet(const std::vector<Prop>& props);

}  // namespace quillmark::test::property_set
