#include "quillmark/framework/summary_information.h"

#include "quillmark/framework/byte_reader.h"

namespace quillmark {

namespace {

// FILETIME counts 100 ns units from 1601-01-01 UTC; 11644473600 seconds
// separate that from 1970-01-01.
constexpr int64_t kFileTimeToUnixSeconds = 11644473600LL;
constexpr uint64_t kTicksPerSecond = 10000000ULL;
constexpr uint64_t kTicksPerMinute = 600000000ULL;

// UTF-16LE units up to the first zero unit (an odd last byte is dropped).
std::u16string Utf16UpToZero(std::string_view bytes) {
    std::u16string out;
    ByteReader r(bytes);
    while (r.can_read(2)) {
        char16_t c = static_cast<char16_t>(r.u16le());
        if (c == 0) break;
        out.push_back(c);
    }
    return out;
}

std::u16string DecodeText(std::string_view value, uint16_t varType, int codePage) {
    // Unicode strings, and 8-bit strings of a set whose code page is UTF-16
    // (their byte count then covers UTF-16 units).
    if (varType == VT_LPWSTR || codePage == CP_UTF16LE) return Utf16UpToZero(value);
    size_t zero = value.find('\0');
    return MultiByteToWide(value.substr(0, zero), codePage);
}

// Integers come as VT_I4 (or, leniently, VT_I2); short values are skipped.
bool DecodeInt(std::string_view value, uint16_t varType, int32_t& out) {
    ByteReader r(value);
    if (varType == VT_I2) {
        if (!r.can_read(2)) return false;
        out = r.i16le();
        return true;
    }
    if (!r.can_read(4)) return false;
    out = r.i32le();
    return true;
}

bool DecodeFileTime(std::string_view value, uint64_t& out) {
    ByteReader r(value);
    if (!r.can_read(8)) return false;
    out = r.u64le();
    return true;
}

}  // namespace

TDateTime TDTWordSummaryInformation::FileTimeToDateTime(uint64_t fileTime) {
    if (fileTime == 0) return 0;
    int64_t unixSeconds =
        static_cast<int64_t>(fileTime / kTicksPerSecond) - kFileTimeToUnixSeconds;
    TCalendarTime local;
    if (!UnixTimeToLocal(unixSeconds, local)) return 0;
    return EncodeDateTime(local);
}

int32_t TDTWordSummaryInformation::FileTimeToElapsedTime(uint64_t fileTime) {
    uint64_t minutes = fileTime / kTicksPerMinute;
    return minutes > INT32_MAX ? INT32_MAX : static_cast<int32_t>(minutes);
}

void TDTWordSummaryInformation::ParseProperty(uint32_t propId, std::string_view value,
                                              bool isDocSummary, uint16_t varType,
                                              int codePage) {
    if (isDocSummary) {
        ParseDocProperty(propId, value, varType, codePage);
        return;
    }
    auto text = [&] { return DecodeText(value, varType, codePage); };
    int32_t n = 0;
    uint64_t ft = 0;
    switch (propId) {
        case 2: FTitle = text(); break;
        case 3: FSubject = text(); break;
        case 4: FAuthor = text(); break;
        case 5: FKeywords = text(); break;
        case 6: FComments = text(); break;
        case 7: FTemplate = text(); break;
        case 8: FLastAuthor = text(); break;
        case 9: FRevNumber = text(); break;
        case 18: FAppName = text(); break;
        case 10:
            if (DecodeFileTime(value, ft)) FEditTime = FileTimeToElapsedTime(ft);
            break;
        case 11:
            if (DecodeFileTime(value, ft)) FLastPrinted = FileTimeToDateTime(ft);
            break;
        case 12:
            if (DecodeFileTime(value, ft)) FCreated = FileTimeToDateTime(ft);
            break;
        case 13:
            if (DecodeFileTime(value, ft)) FLastSaved = FileTimeToDateTime(ft);
            break;
        case 14:
            if (DecodeInt(value, varType, n)) FPageCount = n;
            break;
        case 15:
            if (DecodeInt(value, varType, n)) FWordCount = n;
            break;
        case 16:
            if (DecodeInt(value, varType, n)) FCharCount = n;
            break;
        default: break;  // 0, 1 (code page), 17 (thumbnail), 19 and above
    }
}

void TDTWordSummaryInformation::ParseDocProperty(uint32_t propId, std::string_view value,
                                                 uint16_t varType, int codePage) {
    auto text = [&] { return DecodeText(value, varType, codePage); };
    int32_t n = 0;
    int32_t* target = nullptr;
    switch (propId) {
        case 2: FCategory = text(); return;
        case 3: FPresentationTarget = text(); return;
        case 14: FManager = text(); return;
        case 15: FCompany = text(); return;
        case 4: target = &FByteCount; break;
        case 5: target = &FLineCount; break;
        case 6: target = &FParagraphCount; break;
        case 7: target = &FSlideCount; break;
        case 8: target = &FNoteCount; break;
        case 9: target = &FHiddenSlideCount; break;
        case 10: target = &FMMClipCount; break;
        case 17: target = &FCharCount2; break;
        default: return;  // 0, 1, 11-13 (vectors, scale, links), 16, 18 and above
    }
    if (DecodeInt(value, varType, n)) *target = n;
}

}  // namespace quillmark
