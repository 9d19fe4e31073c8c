// TDocxNumbering: the list numbering of a Word 2007 package. Word does not
// store list labels ("1.", "a)", "•") in the text; a paragraph names a
// numbering instance (w:numId) and a level (w:ilvl) in its properties or
// through its paragraph style, and the label is computed while the document
// is read in order, from the abstract numbering definitions of
// word/numbering.xml: each level's start value, number format and label
// template ("%1.%2."), with instance overrides of the start values.
//
// Counters belong to the abstract definition, so instances that share it
// continue one sequence; an instance that overrides a start value restarts
// those levels the first time it is used. Using a level restarts the deeper
// levels (unless a level's w:lvlRestart says otherwise).
//
// Everything here comes from the file: ids, levels and numbers are
// validated, links between definitions and styles are followed a bounded
// number of times, and labels are capped in length.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "quillmark/package/xml_item.h"
#include "quillmark/word/list_labels.h"

namespace quillmark {

class TDocxNumbering {
public:
    static constexpr int kLevels = kListLevels;
    static constexpr size_t kMaxLabel = kMaxListLabel;

    using TLabel = TListLabel;

    // Reads the definitions (the root of word/numbering.xml) and the
    // paragraph styles' numbering (the root of word/styles.xml, or null).
    void Load(TDTXMLItem& numbering, TDTXMLItem* styles);
    bool Empty() const { return nums_.empty(); }

    // The label of the next paragraph with these properties (its w:pPr, or
    // null), advancing the counters; nothing for a paragraph without
    // numbering.
    std::optional<TLabel> Next(TDTXMLItem* paragraphProperties);

    // Forgets every counter (a new part of the document starts).
    void ResetCounters();

    // The number n in a w:numFmt format; unknown formats give decimal.
    static std::u16string FormatNumber(int64_t n, std::u16string_view format);

private:
    struct TLevel {
        TListLevel Level;
        std::u16string Style;  // w:pStyle: the style that carries this level
    };
    struct TAbstract {
        std::array<TLevel, kLevels> Levels;
        std::u16string NumStyleLink;  // defined by the numbering of a style
    };
    struct TNum {
        std::u16string Abstract;
        std::array<std::optional<int64_t>, kLevels> StartOverride;
        std::array<std::optional<TLevel>, kLevels> LevelOverride;
    };
    struct TStyle {
        std::optional<std::u16string> NumId;
        std::optional<int> Level;
        std::u16string BasedOn;
    };

    static TLevel ReadLevel(TDTXMLItem& lvl);
    // The abstract definition an instance uses, following style links.
    const TAbstract* AbstractOf(const std::u16string& numId, std::u16string* abstractId) const;
    // The level definition for an instance (its override, else the abstract's).
    const TLevel& LevelOf(const TNum& num, const TAbstract& abs, int level) const;
    // The nine levels an instance counts with, start overrides applied.
    TListLevels LevelsOf(const TNum& num, const TAbstract& abs) const;

    std::map<std::u16string, TAbstract> abstracts_;
    std::map<std::u16string, TNum> nums_;
    std::map<std::u16string, TStyle> styles_;
    std::map<std::u16string, TListCounters> counters_;  // by abstract id
    std::set<std::u16string> startedNums_;
};

}  // namespace quillmark
