// TDTXMLEngine: a forgiving single-pass XML tokenizer that builds a tree of
// TDTXMLItem nodes and never reports an error. It is not a conforming XML
// parser: malformed markup gives whatever tree the tokenizer's rules produce
// (see xml_engine.cpp), values stay raw until a reader asks for them, and
// names are looked up by tag.
//
// The tree is built without recursion. Nesting is limited to kMaxXmlDepth
// levels: an element that would go deeper is added beside the deepest one
// instead, so deep or never-closed markup cannot make a tree that a reader's
// walk could not handle.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "quillmark/framework/date_time.h"
#include "quillmark/framework/stream.h"
#include "quillmark/package/xml_item.h"

namespace quillmark {

inline constexpr int kMaxXmlDepth = 1024;

class TDTXMLEngine {
public:
    TDTXMLEngine() = default;
    TDTXMLEngine(const TDTXMLEngine&) = delete;
    TDTXMLEngine& operator=(const TDTXMLEngine&) = delete;

    void LoadFromFile(const std::string& aFileName);
    // Decodes the rest of the stream (byte-order mark, else the encoding the
    // XML declaration names, else UTF-8) and parses it.
    void LoadFromStream(TStream& aStream);
    void LoadFromBytes(std::string_view bytes);
    void ParseXMLFromString(std::u16string_view text);
    void ParseXMLFromString(const char16_t* text, size_t length) {
        ParseXMLFromString(std::u16string_view(text, length));
    }

    TDTXMLItem& RootItem() { return tree_.Root(); }
    TDTXMLTree& Tree() { return tree_; }

    // The most nodes one part may make; past it a load throws ELimitError.
    // 0 (the default) takes the current work budget's XmlNodesPerPart, or
    // TDTXMLTree::kDefaultMaxNodes outside a load.
    void SetMaxNodes(uint64_t n) { maxNodes_ = n; }

    // Off by default. When on, each run of character data becomes an ikText
    // child of its element, in place among the element's children, instead
    // of being added to the element's Value: "a <b>c</b> d" keeps "a ", the
    // b element and " d" in that order, which mixed content (a paragraph
    // with spans in it) needs.
    void SetKeepTextRuns(bool keep) { keepTextRuns_ = keep; }
    bool KeepTextRuns() const { return keepTextRuns_; }
    // Pre-order search from root (RootItem when null), ignoring ASCII case.
    TDTXMLItem* GetItemByTag(TDTXMLItem* root, std::u16string_view xmlTag);

private:
    template <class C>
    void Parse(std::basic_string_view<C> text);

    TDTXMLTree tree_;
    uint64_t maxNodes_ = 0;
    bool keepTextRuns_ = false;
};

// Exact comparison when caseSensitive, else ignoring ASCII letter case.
bool SameStrings(bool caseSensitive, std::u16string_view s1, std::u16string_view s2);

// Fixed positions of an ISO 8601 stamp (2009-03-17T10:22:05Z): year 1-4,
// month 6-7, day 9-10, hour 12-13, minute 15-16, second 18-19; anything that
// is not a valid date and time gives 0.
TDateTime XMLStringToDateTime(std::u16string_view s);

// Bytes of an XML document to UTF-16 (the engine's decoding step).
std::u16string DecodeXmlBytes(std::string_view bytes);
// The code page an encoding name stands for (0 when unknown).
int CodePageOfXmlEncoding(std::string_view name);

}  // namespace quillmark
