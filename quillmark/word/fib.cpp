// Reading the file information block in its three layouts, field by field.
#include <type_traits>

#include "quillmark/framework/byte_reader.h"
#include "quillmark/word/word_records.h"

namespace quillmark {

namespace {

// Reads one field at its offset; bytes past the end read as zero.
template <typename T>
T FieldAt(const ByteReader& r, size_t offset) {
    T value = 0;
    for (size_t i = 0; i < sizeof(T); ++i) {
        if (!r.in_range(offset + i, 1)) break;
        value = static_cast<T>(value | (static_cast<T>(r.at_u8(offset + i)) << (8 * i)));
    }
    return value;
}

}  // namespace

int DocVersionOf(uint16_t wIdent, uint16_t nFib) {
    if (wIdent == kWordIdentMac5) return 5;
    if (nFib < 101) return 2;
    switch (nFib) {
        case 101: return 6;
        case 103: return 0;
        case 104: return 7;
        default: return 8;  // 102 and 105 up
    }
}

TFIB ReadFIB97(std::string_view bytes) {
    ByteReader r(bytes);
    TFIB fib;
#define QUILLMARK_READ(type, name, offset) fib.name = FieldAt<type>(r, offset);
    QUILLMARK_FIB97_FIELDS(QUILLMARK_READ)
#undef QUILLMARK_READ
    return fib;
}

TFIB6 ReadFIB6Layout(std::string_view bytes) {
    ByteReader r(bytes);
    TFIB6 fib;
#define QUILLMARK_READ(type, name, offset) fib.name = FieldAt<type>(r, offset);
    QUILLMARK_FIB6_FIELDS(QUILLMARK_READ)
#undef QUILLMARK_READ
    return fib;
}

TFIB2 ReadFIB2Layout(std::string_view bytes) {
    ByteReader r(bytes);
    TFIB2 fib;
#define QUILLMARK_READ(type, name, offset) fib.name = FieldAt<type>(r, offset);
#define QUILLMARK_READ_BYTES(name, size, offset) \
    for (size_t i = 0; i < size; ++i) fib.name[i] = FieldAt<uint8_t>(r, offset + i);
    QUILLMARK_FIB2_FIELDS(QUILLMARK_READ, QUILLMARK_READ_BYTES)
#undef QUILLMARK_READ
#undef QUILLMARK_READ_BYTES
    return fib;
}

TFIB FIBFromWord6(const TFIB6& fib6) {
    TFIB fib;
#define QUILLMARK_COPY(name) fib.name = fib6.name;
    QUILLMARK_FIB6_SHARED_FIELDS(QUILLMARK_COPY)
#undef QUILLMARK_COPY
    fib.lcbPlcffldMcr = fib6.lcbPlcffldmcr;
    fib.lidFE = 0;
    fib.csw = 14;
    return fib;
}

TFIB FIBFromWord2(const TFIB2& fib2) {
    TFIB fib;
#define QUILLMARK_COPY(name) fib.name = fib2.name;
    QUILLMARK_FIB2_SHARED_FIELDS(QUILLMARK_COPY)
#undef QUILLMARK_COPY
    // Word 2 has no endnotes, text boxes or Far-East language.
    fib.ccpEdn = fib.ccpTxbx = fib.ccpHdrTxbx = 0;
    fib.lidFE = 0;
    return fib;
}

TFIB ReadFIBForVersion(std::string_view bytes, int docVersion) {
    switch (docVersion) {
        case 2: return FIBFromWord2(ReadFIB2Layout(bytes));
        case 5:
        case 6:
        case 7: return FIBFromWord6(ReadFIB6Layout(bytes));
        default: return ReadFIB97(bytes);
    }
}

}  // namespace quillmark
