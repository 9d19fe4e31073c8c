// The text walk of a Word 2007 XML part: paragraphs become lines, runs give
// their text, tabs and breaks their renderings, and in HTML a run with a
// font, a colour and a size is wrapped in a font tag.
#pragma once

#include <functional>
#include <string>

#include "quillmark/framework/base_document.h"
#include "quillmark/package/xml_item.h"
#include "quillmark/word/docx_numbering.h"

namespace quillmark {

class TWordXmlTextWalk {
public:
    // emit receives each finished paragraph; stop is asked between nodes.
    TWordXmlTextWalk(TMSTextFormating format, std::function<void(std::u16string&&)> emit,
                     std::function<bool()> stop)
        : format_(format), emit_(std::move(emit)), stop_(std::move(stop)) {}

    // With numbering, each numbered paragraph starts with its list label.
    void SetNumbering(TDocxNumbering* numbering) { numbering_ = numbering; }

    // Walks the tree below root (iteratively, in document order).
    void Walk(TDTXMLItem& root);
    // Emits what is left in the line buffer (text outside any paragraph).
    void Flush();

    // The HTML opening font tag of a run, or "" when the run does not name
    // all of font, colour and size.
    static std::u16string FontTag(TDTXMLItem& run);

private:
    bool Enter(TDTXMLItem& node);
    void Leave(TDTXMLItem& node, bool fontMarked);
    void EmitBuffer();
    void Append(std::u16string_view s) { buffer_ += s; }
    void AppendTab();
    void AppendLabel(TDTXMLItem& paragraph);

    TMSTextFormating format_;
    std::function<void(std::u16string&&)> emit_;
    std::function<bool()> stop_;
    std::u16string buffer_;
    TDocxNumbering* numbering_ = nullptr;
    int paragraphDepth_ = 0;
    // The current paragraph resumed after a paragraph nested in it ended.
    bool resumed_ = false;
};

}  // namespace quillmark
