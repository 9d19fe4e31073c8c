#include "support/property_set_builder.h"

namespace quillmark::test::property_set {

// FILETIME of a UTC instant given as seconds since 1970.
uint64_t FileTimeOfUnix(int64_t unixSeconds) {
    return static_cast<uint64_t>(unixSeconds + 11644473600LL) * kTicksPerSecond;
}

std::string Le32(uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i) s[i] = static_cast<char>(v >> (8 * i));
    return s;
}
std::string Le64(uint64_t v) { return Le32(static_cast<uint32_t>(v)) + Le32(static_cast<uint32_t>(v >> 32)); }

Prop I4(uint32_t id, int32_t v) { return {id, Le32(3) + Le32(static_cast<uint32_t>(v))}; }
Prop Str(uint32_t id, const std::string& bytes) {
    std::string v = bytes;
    v.resize((v.size() + 3) / 4 * 4, '\0');
    return {id, Le32(30) + Le32(static_cast<uint32_t>(bytes.size())) + v};
}
Prop WStr(uint32_t id, const std::u16string& text) {  // with its terminating zero
    std::string v;
    for (char16_t c : text + u'\0') v += std::string{static_cast<char>(c), static_cast<char>(c >> 8)};
    v.resize((v.size() + 3) / 4 * 4, '\0');
    return {id, Le32(31) + Le32(static_cast<uint32_t>(text.size() + 1)) + v};
}
Prop Time(uint32_t id, uint64_t ft) { return {id, Le32(64) + Le64(ft)}; }
Prop CodePage(uint16_t cp) { return {1, Le32(2) + std::string{char(cp), char(cp >> 8), 0, 0}}; }

std::string PropertySet(const std::vector<Prop>& props) {
    std::string header = std::string("\xFE\xFF\0\0", 4) + Le32(0x00020006) + std::string(16, '\0') +
                         Le32(1) + std::string(16, 'F') + Le32(48);
    std::string table, values;
    size_t base = 8 + 8 * props.size();
    for (const Prop& p : props) {
        table += Le32(p.id) + Le32(static_cast<uint32_t>(base + values.size()));
        values += p.value;
    }
    std::string section = Le32(static_cast<uint32_t>(8 + table.size() + values.size())) +
                          Le32(static_cast<uint32_t>(props.size())) + table + values;
    return header + section;
}

}  // namespace quillmark::test::property_set
