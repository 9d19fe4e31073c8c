// The document metadata record shared by every reader that knows metadata,
// modelled on the two OLE property sets of compound documents
// ("\005SummaryInformation" and "\005DocumentSummaryInformation"). The Word
// binary reader fills it from those streams (property_set.h); the XML, FB2
// and PDF readers set the properties directly.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "quillmark/framework/code_pages.h"
#include "quillmark/framework/date_time.h"

namespace quillmark {

// Property value types of the OLE property-set format that carry metadata.
inline constexpr uint16_t VT_I2 = 2;
inline constexpr uint16_t VT_I4 = 3;
inline constexpr uint16_t VT_LPSTR = 30;
inline constexpr uint16_t VT_LPWSTR = 31;
inline constexpr uint16_t VT_FILETIME = 64;

class TDTWordSummaryInformation {
public:
    // Copies all 28 properties.
    void Assign(const TDTWordSummaryInformation& source) { *this = source; }
    // Empty strings, zero numbers and dates.
    void Clear() { *this = TDTWordSummaryInformation(); }

    // Stores one value of the SummaryInformation property set (or, when
    // isDocSummary, of DocumentSummaryInformation). The identifier decides
    // which property; value holds the stored bytes after the type word:
    // for VT_LPSTR the counted bytes (decoded with codePage, 0 = the active
    // ANSI code page, 1200 = UTF-16LE, 65001 = UTF-8), for VT_LPWSTR the
    // UTF-16LE units, for VT_I4 four bytes, for VT_FILETIME eight. Text ends
    // at its first zero. Values too short for their property are skipped.
    void ParseProperty(uint32_t propId, std::string_view value, bool isDocSummary,
                       uint16_t varType = VT_LPSTR, int codePage = CP_ACP);
    void ParseDocProperty(uint32_t propId, std::string_view value,
                          uint16_t varType = VT_LPSTR, int codePage = CP_ACP);

    // A FILETIME (100 ns units since 1601-01-01 UTC) as local TDateTime with
    // whole seconds; 0 stays 0 (not set).
    static TDateTime FileTimeToDateTime(uint64_t fileTime);
    // A FILETIME duration as whole minutes (an editing time).
    static int32_t FileTimeToElapsedTime(uint64_t fileTime);

    const std::u16string& AppName() const { return FAppName; }
    void SetAppName(const std::u16string& v) { FAppName = v; }
    const std::u16string& Author() const { return FAuthor; }
    void SetAuthor(const std::u16string& v) { FAuthor = v; }
    int32_t CharCount() const { return FCharCount; }
    void SetCharCount(int32_t v) { FCharCount = v; }
    const std::u16string& Comments() const { return FComments; }
    void SetComments(const std::u16string& v) { FComments = v; }
    TDateTime Created() const { return FCreated; }
    void SetCreated(TDateTime v) { FCreated = v; }
    int32_t EditTime() const { return FEditTime; }
    void SetEditTime(int32_t v) { FEditTime = v; }
    const std::u16string& Keywords() const { return FKeywords; }
    void SetKeywords(const std::u16string& v) { FKeywords = v; }
    const std::u16string& LastAuthor() const { return FLastAuthor; }
    void SetLastAuthor(const std::u16string& v) { FLastAuthor = v; }
    TDateTime LastPrinted() const { return FLastPrinted; }
    void SetLastPrinted(TDateTime v) { FLastPrinted = v; }
    TDateTime LastSaved() const { return FLastSaved; }
    void SetLastSaved(TDateTime v) { FLastSaved = v; }
    int32_t PageCount() const { return FPageCount; }
    void SetPageCount(int32_t v) { FPageCount = v; }
    const std::u16string& RevNumber() const { return FRevNumber; }
    void SetRevNumber(const std::u16string& v) { FRevNumber = v; }
    const std::u16string& Subject() const { return FSubject; }
    void SetSubject(const std::u16string& v) { FSubject = v; }
    const std::u16string& Template() const { return FTemplate; }
    void SetTemplate(const std::u16string& v) { FTemplate = v; }
    const std::u16string& Title() const { return FTitle; }
    void SetTitle(const std::u16string& v) { FTitle = v; }
    int32_t WordCount() const { return FWordCount; }
    void SetWordCount(int32_t v) { FWordCount = v; }
    const std::u16string& Category() const { return FCategory; }
    void SetCategory(const std::u16string& v) { FCategory = v; }
    const std::u16string& PresentationTarget() const { return FPresentationTarget; }
    void SetPresentationTarget(const std::u16string& v) { FPresentationTarget = v; }
    int32_t ByteCount() const { return FByteCount; }
    void SetByteCount(int32_t v) { FByteCount = v; }
    int32_t LineCount() const { return FLineCount; }
    void SetLineCount(int32_t v) { FLineCount = v; }
    int32_t ParagraphCount() const { return FParagraphCount; }
    void SetParagraphCount(int32_t v) { FParagraphCount = v; }
    int32_t SlideCount() const { return FSlideCount; }
    void SetSlideCount(int32_t v) { FSlideCount = v; }
    int32_t NoteCount() const { return FNoteCount; }
    void SetNoteCount(int32_t v) { FNoteCount = v; }
    int32_t HiddenSlideCount() const { return FHiddenSlideCount; }
    void SetHiddenSlideCount(int32_t v) { FHiddenSlideCount = v; }
    int32_t MMClipCount() const { return FMMClipCount; }
    void SetMMClipCount(int32_t v) { FMMClipCount = v; }
    const std::u16string& Manager() const { return FManager; }
    void SetManager(const std::u16string& v) { FManager = v; }
    const std::u16string& Company() const { return FCompany; }
    void SetCompany(const std::u16string& v) { FCompany = v; }
    int32_t CharCount2() const { return FCharCount2; }
    void SetCharCount2(int32_t v) { FCharCount2 = v; }

    bool operator==(const TDTWordSummaryInformation&) const = default;

private:
    std::u16string FAppName;
    std::u16string FAuthor;
    int32_t FCharCount = 0;
    std::u16string FComments;
    TDateTime FCreated = 0;
    int32_t FEditTime = 0;
    std::u16string FKeywords;
    std::u16string FLastAuthor;
    TDateTime FLastPrinted = 0;
    TDateTime FLastSaved = 0;
    int32_t FPageCount = 0;
    std::u16string FRevNumber;
    std::u16string FSubject;
    std::u16string FTemplate;
    std::u16string FTitle;
    int32_t FWordCount = 0;
    std::u16string FCategory;
    std::u16string FPresentationTarget;
    int32_t FByteCount = 0;
    int32_t FLineCount = 0;
    int32_t FParagraphCount = 0;
    int32_t FSlideCount = 0;
    int32_t FNoteCount = 0;
    int32_t FHiddenSlideCount = 0;
    int32_t FMMClipCount = 0;
    std::u16string FManager;
    std::u16string FCompany;
    int32_t FCharCount2 = 0;
};

}  // namespace quillmark
