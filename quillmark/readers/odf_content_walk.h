// The walk over an OpenDocument body (or a header, footer or speaker-notes
// element) that turns it into lines.
//
// A paragraph or heading is one line holding its whole text in document
// order: the text of spans, links, fields and other inline elements, text:s
// as its count of spaces, text:tab as a tab, text:line-break as a line break.
// Whitespace in character data collapses to one space, as ODF prescribes
// (writers keep real runs of spaces in text:s). Anything that is not inline
// text but sits inside a paragraph - a note's body, an annotation, a frame
// with a text box or an image - is walked too, and its lines come right
// after the paragraph's own line.
//
// Tables, rows, cells, lists and pages give the structure lines of each
// rendering (HTML tags; in plain text and RTF an empty line at each cell and
// row end and after each presentation page), with the host's conversion
// event raised at cell, row and page ends. A row or cell repeated by its
// repeat attribute is output once when empty, and as often as it repeats
// when it holds text, within a budget of MaxOutputBytes() characters.
//
// The tree must come from an engine that keeps text runs in place
// (TDTXMLEngine::SetKeepTextRuns). The walk is iterative: its depth is
// bounded only by the engine's nesting limit.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "quillmark/framework/base_document.h"
#include "quillmark/package/xml_item.h"

namespace quillmark {

// The lists a walked line may belong to besides the one being filled.
enum class TOOWalkPart : unsigned char { Notes, Annotations };

class TOpenDocumentWalk {
public:
    using EmitLine = std::function<void(std::u16string&&)>;
    // Raises the host's conversion event: kind, value; returns the result.
    using RaiseEvent = std::function<std::u16string(TDTWordSysChar, const std::u16string&)>;
    using EmitPart = std::function<void(TOOWalkPart, const std::u16string&)>;

    TOpenDocumentWalk(TMSTextFormating format, EmitLine emit, std::function<bool()> stop)
        : format_(format), emit_(std::move(emit)), stop_(std::move(stop)), repeatBudget_(DefaultRepeatBudget()) {}

    // Optional: the host's event (when unset no event is raised, and every
    // result is empty) and a receiver for note and annotation lines, which
    // are also part of the walked text.
    void SetRaiseEvent(RaiseEvent raise) { raise_ = std::move(raise); }
    void SetEmitPart(EmitPart part) { part_ = std::move(part); }

    // Walks node and everything below it.
    void Walk(TDTXMLItem& node);

    // The text of an element made of runs kept in place: its own runs and
    // those of its descendants, concatenated and entity-decoded.
    static std::u16string InnerText(TDTXMLItem& node);

private:
    enum class ContextKind : unsigned char { Paragraph, Barrier, Capture };
    struct Context {
        explicit Context(ContextKind k) : kind(k) {}
        ContextKind kind;
        TDTXMLItem* node = nullptr;          // paragraph: its element (for its style)
        std::u16string line;                 // paragraph: the line so far
        std::u16string plain;                // paragraph: its plain text (for the event)
        std::vector<std::u16string> lines;   // paragraph: lines that follow it; capture: lines held
        bool spacePending = true;            // paragraph: whitespace is being collapsed
        size_t repeat = 1;                   // capture: how often to output the held lines
        size_t textAtStart = 0;              // capture: textChars_ when it began
    };
    // What entering a node did, undone when leaving it.
    enum Opened : unsigned char {
        opNone = 0,
        opContext = 1,     // pushed a context
        opSpan = 2,        // wrote <span ...> (HTML)
        opLink = 4,        // wrote <a ...> (HTML)
        opNote = 8,        // inside a note body or speaker notes
        opAnnotation = 16, // inside an annotation
    };

    static size_t DefaultRepeatBudget();
    bool Enter(TDTXMLItem& node, unsigned& opened);
    void Leave(TDTXMLItem& node, unsigned opened);

    Context* Innermost(ContextKind kind);
    bool InParagraph() const { return !contexts_.empty() && contexts_.back().kind == ContextKind::Paragraph; }
    void PushParagraph(TDTXMLItem& node);
    void FinishParagraph();
    void PushCapture(size_t repeat);
    void FinishCapture();
    // A finished line goes to the innermost paragraph (after it) or capture,
    // else out.
    void Output(std::u16string&& line);

    void AppendText(std::u16string_view raw);
    // Text the walk makes itself (spaces, tabs, breaks): rendered into the
    // line, plain into the event's copy.
    void AppendLiteral(std::u16string_view rendered, std::u16string_view plain);
    // Markup around text (HTML span and link tags).
    void AppendMarkup(std::u16string_view markup);
    std::u16string Raise(TDTWordSysChar kind, const std::u16string& value);
    std::u16string StyleBelow(TDTXMLItem& node) const;

    TMSTextFormating format_;
    EmitLine emit_;
    std::function<bool()> stop_;
    RaiseEvent raise_;
    EmitPart part_;
    std::vector<Context> contexts_;
    int noteDepth_ = 0;
    int annotationDepth_ = 0;
    size_t textChars_ = 0;       // text characters taken so far (repeats of text-free rows are not made)
    size_t repeatBudget_ = 0;    // characters repeated rows and cells may still add
    std::u16string scratch_;
};

}  // namespace quillmark
