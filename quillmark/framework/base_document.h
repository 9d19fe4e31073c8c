// TMSWBaseDocument: the common base of every reader. It holds the options
// every reader honours, the host's events, the main output list, the load
// entry points, the text-adding hook that enforces MaxTextLength, and the
// opening and closing text of the RTF and HTML renderings.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "quillmark/framework/stream.h"
#include "quillmark/framework/summary_information.h"
#include "quillmark/framework/wide_strings.h"
#include "quillmark/framework/work_budget.h"

namespace quillmark {

enum TMSTextFormating : unsigned char { tfPlainText = 0, tfRTF = 1, tfHTML = 2 };

enum TDTWParseItem : unsigned char {
    wpiText = 0,
    wpiVBA = 1,
    wpiPictures = 2,
    wpiSummaryInformation = 3,
};

// A set of parse items stored in one byte (bit n = item n).
class TDTWParseItems {
public:
    constexpr TDTWParseItems() = default;
    constexpr TDTWParseItems(std::initializer_list<TDTWParseItem> items) {
        for (auto i : items) bits_ |= static_cast<uint8_t>(1u << i);
    }
    static constexpr TDTWParseItems FromByte(uint8_t b) {
        TDTWParseItems s;
        s.bits_ = b;
        return s;
    }
    constexpr bool Contains(TDTWParseItem i) const { return (bits_ >> i) & 1u; }
    constexpr void Include(TDTWParseItem i) { bits_ |= static_cast<uint8_t>(1u << i); }
    constexpr void Exclude(TDTWParseItem i) { bits_ &= static_cast<uint8_t>(~(1u << i)); }
    constexpr uint8_t Byte() const { return bits_; }
    constexpr bool operator==(const TDTWParseItems&) const = default;

private:
    uint8_t bits_ = 0;
};

// The kinds of special character and field the readers recognise and render.
enum TDTWordSysChar : unsigned char {
    scUnknown,
    scRowEnd,
    scColumnEnd,
    scParagraphEnd,
    scFieldBegin,
    scFieldMiddle,
    scFieldEnd,
    scTime,
    scDateTimePicture,
    scHyperlink,
    scTOC,
    scTOC_From_Range,
    scPage,
    scNumPages,
    scEmbed,
    scEditTime,
    scSpeicherdat,
    scDateIName,
    scTextField,
    scFieldAttributes,
    scIncludePicture,
    scEndOfPage,
};

// The lists a reader can keep apart from the main text. Main is the whole
// text; the others exist only for formats that have them (a reader without
// one reports no list for it).
enum class TDocumentPart : unsigned char {
    Main,
    Footnotes,
    Headers,
    Footers,
    Annotations,
    Endnotes,
    Textboxes,
    Notes,
    Macros,
};

// "main", "footnotes", "headers" ... as the command line names them.
const char* DocumentPartName(TDocumentPart part);
std::optional<TDocumentPart> ParseDocumentPart(std::string_view name);

class TMSWBaseDocument;

// The stop flag readers test between pieces of work. A reader raises it
// itself (the text limit was reached); a host can also hand it a flag of its
// own to raise from another thread or a signal handler, and the reader then
// stops at its next check as if its limit had been reached.
class TCancelFlag {
public:
    explicit operator bool() const {
        return own_ || (host_ && host_->load(std::memory_order_relaxed));
    }
    bool operator!() const { return !static_cast<bool>(*this); }
    TCancelFlag& operator=(bool v) {
        own_ = v;
        return *this;
    }
    void SetHostFlag(const std::atomic<bool>* flag) { host_ = flag; }
    const std::atomic<bool>* HostFlag() const { return host_; }

private:
    bool own_ = false;
    const std::atomic<bool>* host_ = nullptr;
};

using TNotifyEvent = std::function<void(TMSWBaseDocument& sender)>;
using TMSWTextChange = std::function<void(TMSWBaseDocument& sender, std::u16string& text)>;
using TMSWordConvertSysCharEvent =
    std::function<void(TMSWBaseDocument& sender, TDTWordSysChar sysChar,
                       const std::u16string& value, std::u16string& result)>;

// The name written into the RTF and HTML prologues.
inline constexpr const char* kGeneratorName = "Quillmark Word Document Parser";

class TMSWBaseDocument {
public:
    TMSWBaseDocument();
    virtual ~TMSWBaseDocument();
    TMSWBaseDocument(const TMSWBaseDocument&) = delete;
    TMSWBaseDocument& operator=(const TMSWBaseDocument&) = delete;

    // --- virtual operations, in slot order ---
    virtual void ClearInternalLists();
    virtual void AddText(const std::u16string& value, TWideStrings& list);
    virtual void InternalLoadFromOLEStream(TStream& stream);
    virtual void LoadFromStream(TStream& stream);
    virtual void LoadFromOLEStream(TStream& stream);
    virtual void LoadFromFile(const std::string& fileName);
    virtual bool IsPasswordProtected();

    // Loads FileName, raising the host's before/after events around it.
    void Execute();
    // Loads a document held in memory (through LoadFromStream over a view of
    // the bytes, which the caller keeps alive for the call).
    void LoadFromBytes(std::string_view bytes);
    std::u16string GetTextStart();
    std::u16string GetTextFinish();

    // --- published properties ---
    std::string About() const { return about_; }
    void SetAbout(const std::string&) {}
    const std::string& FileName() const { return fileName_; }
    void SetFileName(const std::string& v) {
        if (v != fileName_) fileName_ = v;
    }
    TMSTextFormating TextFormating() const { return textFormating_; }
    void SetTextFormating(TMSTextFormating v) { textFormating_ = v; }
    int32_t MaxTextLength() const { return maxTextLength_; }
    void SetMaxTextLength(int32_t v) { maxTextLength_ = v; }
    TDTWParseItems ParseItems() const { return parseItems_; }
    void SetParseItems(TDTWParseItems v) { parseItems_ = v; }
    bool ConvertSysCharacters() const { return convertSysCharacters_; }
    void SetConvertSysCharacters(bool v) { convertSysCharacters_ = v; }

    // The password of an encrypted document; readers of formats without
    // encryption ignore it.
    const std::string& Password() const { return password_; }
    void SetPassword(std::string v) { password_ = std::move(v); }
    // Which list SelectedText() gives; a reader fills every list it has
    // whatever this says.
    TDocumentPart Part() const { return part_; }
    void SetPart(TDocumentPart v) { part_ = v; }

    // The document's metadata, filled when wpiSummaryInformation is set.
    const TDTWordSummaryInformation& SummaryInformation() const { return FSummaryInformation; }
    TDTWordSummaryInformation& SummaryInformation() { return FSummaryInformation; }
    void SetSummaryInformation(const TDTWordSummaryInformation& value) { FSummaryInformation.Assign(value); }

    void SetOnConvertSysChar(TMSWordConvertSysCharEvent e) { onConvertSysChar_ = std::move(e); }
    void SetOnBeforeExecute(TNotifyEvent e) { onBeforeExecute_ = std::move(e); }
    void SetOnAfterExecute(TNotifyEvent e) { onAfterExecute_ = std::move(e); }
    void SetOnBeforeText(TMSWTextChange e) { onBeforeText_ = std::move(e); }
    void SetOnAfterText(TMSWTextChange e) { onAfterText_ = std::move(e); }

    // --- public read-only properties ---
    TWideStrings& Text() { return *text_; }
    const TWideStrings& Text() const { return *text_; }
    TWideStrings& PlainText() { return *text_; }

    bool Cancelled() const { return static_cast<bool>(IsCancelExtract); }
    // A flag the host raises to stop the reading in progress (a timeout, a
    // user's cancel). The reader stops at its next check and keeps the text
    // read so far; null (the default) removes it. The flag must outlive the
    // load. Readers check it where they check their own limit.
    void SetCancelFlag(const std::atomic<bool>* flag) { IsCancelExtract.SetHostFlag(flag); }
    const std::atomic<bool>* CancelFlag() const { return IsCancelExtract.HostFlag(); }

    // The bound on decoding and building work per load (see work_budget.h);
    // LoadFromBytes and Execute hold every load to it.
    const TWorkLimits& WorkLimits() const { return workLimits_; }
    void SetWorkLimits(const TWorkLimits& v) { workLimits_ = v; }

    // The list that holds the given part, or null when this reader's format
    // has no such part. Main is always Text().
    virtual const TWideStrings* PartText(TDocumentPart part) const;
    // PartText(Part()), or an empty list when the format lacks that part.
    const TWideStrings& SelectedText() const;

protected:
    // Escapes document text for the current rendering.
    std::u16string Escape(std::u16string_view text) const;
    // Adds the opening text, calls body(), then adds the closing text; the
    // usual shape of a reader's text pass. The part lists body() filled are
    // framed too (FrameParts), so each is a whole RTF or HTML document.
    void WithFrame(const std::function<void()>& body);
    // Puts the opening text in front of the list and the closing text after
    // it (both, even when empty, so line positions do not depend on the
    // rendering).
    void FrameList(TWideStrings& list);
    // Frames every part list the reader has other than the main one (empty
    // ones too: a part asked for is a whole document either way), in RTF and
    // HTML; plain text has no frame, so the lists stay as they are.
    void FrameParts();
    const TMSWordConvertSysCharEvent& OnConvertSysChar() const { return onConvertSysChar_; }

    std::unique_ptr<TWideStrings> text_;
    TCancelFlag IsCancelExtract;
    TDTWordSummaryInformation FSummaryInformation;

private:
    std::string about_ = "1.40";
    std::string fileName_;
    TMSTextFormating textFormating_ = tfPlainText;
    int32_t maxTextLength_ = 0;
    TDTWParseItems parseItems_{wpiText, wpiSummaryInformation};
    bool convertSysCharacters_ = true;
    std::string password_;
    TDocumentPart part_ = TDocumentPart::Main;
    TWorkLimits workLimits_;
    TMSWordConvertSysCharEvent onConvertSysChar_;
    TNotifyEvent onBeforeExecute_, onAfterExecute_;
    TMSWTextChange onBeforeText_, onAfterText_;
};

// Maps a font size in points to an HTML <font size> number; "-1" means
// "write no size" (10-13 points is the browser's normal size).
std::string GetHTMLFontSize(int size);

// Builds the RTF date "yrY\moM\dyD[\hrH\minM]" of a broken-down local time.
std::string RtfCreationDate(int year, int month, int day, int hour, int minute, int second);

}  // namespace quillmark
