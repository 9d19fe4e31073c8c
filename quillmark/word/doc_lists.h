// TDocListLabels: the list labels of a binary Word document. In Word 97 and
// later a numbered paragraph carries, in its paragraph properties or
// through its paragraph style, a list override index (ilfo, 1-based into
// the LFO table) and a level (ilvl). The LFO names a list (LSTF, by its
// lsid) and may override start values or whole levels; the list's levels
// (LVL) give the number format, start value, label template and follow
// character. Paragraph properties live in 512-byte pages (FKPs) of the
// "WordDocument" stream, found through the paragraph bin table; styles in
// the style sheet (STSH); both in the table stream's tables.
//
// Word 6 and 95 have no list tables: each numbered paragraph carries its own
// autonumber descriptor (ANLD: number format, text before and after the
// number, start value, font) and its numbering kind (nLvlAnm) in its
// paragraph properties; consecutive numbered paragraphs count up together.
//
// Every count, offset and link comes from the file: tables are read with
// bounds checks, style chains are followed a bounded number of times, and a
// damaged table costs the labels, never the text.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "quillmark/word/list_labels.h"
#include "quillmark/word/word_records.h"

namespace quillmark {

class TDocListLabels {
public:
    // One piece of the piece table: characters [CpStart, CpEnd) at byte
    // FcStart of the "WordDocument" stream, one or two bytes each.
    struct TPiece {
        uint32_t CpStart = 0, CpEnd = 0;
        uint32_t FcStart = 0;
        bool Is8Bit = false;
        uint16_t Prm = 0;
    };

    // Reads the tables and computes the label of every numbered paragraph
    // of the text [0, textEnd), counting in document order; the counters
    // start again at each boundary in `partStarts` (the sub-documents).
    // `groups` are the piece table's property-modifier groups. Damaged
    // tables leave fewer labels; nothing here throws for a bad file.
    void Load(const TFIB& fib, int docVersion, std::string_view word, std::string_view table,
              const std::vector<TPiece>& pieces, const std::vector<TCLXItem>& groups,
              const std::vector<uint32_t>& partStarts);

    // The same for a Word 6 or 95 document, whose property pages, style
    // sheet and piece groups hold Word 6 sprms. `codePage` decodes the text
    // around the numbers; documents in a double-byte code page get no labels
    // (their positions are bytes, not characters).
    void LoadWord6(const TFIB& fib, std::string_view word, const std::vector<TPiece>& pieces,
                   const std::vector<TCLXItem>& groups, const std::vector<uint32_t>& partStarts, int codePage);

    bool Empty() const { return labels_.empty(); }
    size_t Count() const { return labels_.size(); }

    // Puts the labels of the paragraphs that start in [first, first + the
    // characters of text) at their places in `text`, the decoded text of
    // that range (one character per position: Word 97 text). Each label is
    // followed by its follow character.
    void Insert(std::u16string& text, uint64_t first) const;

    // The label (with its follow character) of the paragraph starting at cp.
    const std::u16string* LabelAt(uint32_t cp) const;

private:
    void Count(const TFIB& fib, std::string_view word, std::string_view table, const std::vector<TPiece>& pieces,
               const std::vector<TCLXItem>& groups, const std::vector<uint32_t>& partStarts);

    void CountWord6(const TFIB& fib, std::string_view word, const std::vector<TPiece>& pieces,
                    const std::vector<TCLXItem>& groups, const std::vector<uint32_t>& partStarts, int codePage);
    void AddLabel(uint32_t cp, TListLabel label);

    std::map<uint32_t, std::u16string> labels_;  // by the paragraph's first CP
};

}  // namespace quillmark
