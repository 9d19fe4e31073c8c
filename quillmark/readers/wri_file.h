// TWRIFile: Windows Write documents (.wri), and the Word for DOS files that
// share their layout. The text is stored as 8-bit characters from byte 128;
// character runs give each stretch of it a font, size and attributes, and
// paragraph runs cut it into paragraphs (some of which hold a picture or a
// running head rather than text).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "quillmark/framework/base_document.h"
#include "quillmark/readers/wri_records.h"
#include "quillmark/readers/wri_runs.h"

namespace quillmark {

class TWRIFile : public TMSWBaseDocument {
public:
    void ClearInternalLists() override;
    void LoadFromStream(TStream& stream) override;
    void LoadFromFile(const std::string& fileName) override;

    // The header of the last load.
    const TWRIHeader& Header() const { return header_; }
    const TWRIFontList& FontTable() const { return fontTable_; }
    // The running heads and feet, which the main text leaves out: the
    // paragraphs rendered as in the main text, one line per list.
    const TWideStrings& HeaderText() const { return headerText_; }
    const TWideStrings& FooterText() const { return footerText_; }
    const TWideStrings* PartText(TDocumentPart part) const override;

    // True when the bytes start with a Write header: 0xBE31 or 0xBE32, then
    // 0xAB00 at offset 4.
    static bool IsWriteData(std::string_view bytes);

protected:
    // Fills FontTable from the font face-name table.
    void ReadFontTable(std::string_view data);
    // Walks the paragraph runs and returns the rendered body; the running
    // heads and feet go to head and foot.
    std::u16string ReadPAP(std::string_view data, std::u16string& head, std::u16string& foot);
    // Appends the characters of [startFC, endFC) with their run markup,
    // continuing the character-run walk where the previous paragraph left it.
    void ReadCharInfo(uint32_t startFC, uint32_t endFC, std::u16string& out);
    // A picture or OLE object paragraph: its bytes are not text.
    void ReadPicture(uint32_t startFC, uint32_t size);
    // Form feed (a page break) becomes a line feed; other characters stay.
    static char ProcessSysCharacter(char c);

private:
    void AppendCharacters(uint32_t from, uint32_t to, std::u16string& out);

    TWRIHeader header_;
    int codePage_ = 0;
    TWRIFontList fontTable_;
    TWideStrings headerText_, footerText_;
    // State of one text pass.
    std::string_view data_;
    std::optional<TWRIRunCursor> charRuns_;
    bool charRunsStarted_ = false;
    bool hasCharRun_ = false;
};

}  // namespace quillmark
