// The piece table (CLX) and the document text. The text of a Word 6 and
// later document is a sequence of character positions (CPs) [0, n): the
// main document, then footnotes, headers, macros, annotations, endnotes,
// text boxes and header text boxes, each range as long as its ccp count in
// the FIB. The piece table maps CP runs to bytes of the "WordDocument"
// stream, each run 8-bit or UTF-16.
#include <algorithm>
#include <bit>
#include <cstring>

#include "quillmark/framework/byte_reader.h"
#include "quillmark/framework/code_pages.h"
#include "quillmark/framework/exception.h"
#include "quillmark/framework/limits.h"
#include "quillmark/framework/messages.h"
#include "quillmark/framework/work_budget.h"
#include "quillmark/word/word_bin_file.h"

namespace quillmark {

namespace {

[[noreturn]] void Damaged(const std::string& what) {
    throw EDamagedDocument("Word document is damaged: " + what);
}

// The CLX entry types.
constexpr uint8_t kClxGrpprl = 1;
constexpr uint8_t kClxPlcPcd = 2;

}  // namespace

uint32_t TWordBinFile::GetNormFC(uint32_t fc, bool& isCompressed) {
    isCompressed = (fc & kPieceCompressed) != 0;
    return isCompressed ? (fc & ~kPieceCompressed) >> 1 : fc;
}

int TWordBinFile::GetPieceBoundsFC(uint32_t& startFC, uint32_t& endFC, uint32_t piece) const {
    if (piece >= CLX.noPCD) return -1;
    bool compressed = false;
    if (piecesAre8Bit_) {
        startFC = CLX.pcd[piece].fc;
        compressed = true;
    } else {
        startFC = GetNormFC(CLX.pcd[piece].fc, compressed);
    }
    endFC = startFC + (CLX.Pos[piece + 1] - CLX.Pos[piece]);
    return compressed ? 1 : 0;
}

void TWordBinFile::ReadCLX(std::optional<std::string_view> tableStream, std::string_view wordStream) {
    CLX = TCLX();
    piecesAre8Bit_ = false;
    madeUpPiece_ = false;

    // Word 97 and later keep the CLX in the table stream. Word 6/95 keep it
    // in the "WordDocument" stream itself, and only fast-saved documents have
    // one; their pieces are all 8-bit text at their plain byte position.
    std::string_view source;
    bool haveSource = false;
    if (FDocVersion >= 8 || FDocVersion == 0) {
        if (tableStream) source = *tableStream, haveSource = true;
    } else if (FDocVersion > 2) {
        source = wordStream, haveSource = true;
        piecesAre8Bit_ = true;
    }

    if (haveSource && FIB.lcbClx > 0) {
        ByteReader r(source);
        if (FIB.fcClx >= r.size()) Damaged("the piece table lies outside its stream");
        r.seek(FIB.fcClx);
        uint8_t type = r.u8();
        while (type == kClxGrpprl && !r.eof()) {
            if (!r.can_read(2)) Damaged("a property-modifier group is cut short");
            uint16_t count = r.u16le();
            if (!r.can_read(count)) Damaged("a property-modifier group is cut short");
            TCLXItem item;
            item.Count = count;
            item.grpprl = std::string(r.bytes(count));
            CLX.cbGrpprl.push_back(std::move(item));
            ++CLX.grpprlCount;
            type = r.eof() ? 0 : r.u8();
        }
        if (type == kClxPlcPcd) {
            uint32_t size = r.can_read(4) ? r.u32le() : 0;
            if (size > r.remaining())
                Damaged("piece table of " + std::to_string(size) + " bytes exceeds its stream");
            // Each piece takes a 4-byte position and an 8-byte descriptor,
            // plus one closing position. Any number of pieces the size allows
            // is read: fast-saved documents have thousands.
            uint32_t count = size >= 4 ? (size - 4) / 12 : 0;
            if (count > 0) {
                CLX.Pos.resize(size_t{count} + 1);
                for (uint32_t i = 0; i <= count; ++i) CLX.Pos[i] = r.u32le();
                CLX.pcd.resize(count);
                for (uint32_t i = 0; i < count; ++i) {
                    TPCD& p = CLX.pcd[i];
                    p.Para = r.u8();
                    p.fn = r.u8();
                    p.fc = r.u32le();
                    p.prm.Value = r.u16le();
                }
                for (uint32_t i = 0; i < count; ++i)
                    if (CLX.Pos[i + 1] < CLX.Pos[i])
                        Damaged("piece table character positions decrease at piece " + std::to_string(i));
                CLX.noPCD = count;
            }
        }
    }

    if (CLX.noPCD == 0) {
        // No piece table: one piece over the text bytes [fcMin, fcMac). Word 97
        // reads it as UTF-16, the older versions as 8-bit text.
        CLX = TCLX{};
        uint32_t chars = FIB.fcMac > FIB.fcMin ? FIB.fcMac - FIB.fcMin : 0;
        CLX.Pos = {0, chars};
        TPCD pcd;
        pcd.fc = FIB.fcMin;
        CLX.pcd.push_back(pcd);
        CLX.noPCD = 1;
        madeUpPiece_ = true;
        piecesAre8Bit_ = FDocVersion < 8 && FDocVersion != 0;
    }

    // Every character takes at least one byte of the stream and two of the
    // output; a table promising more than the output cap is not a document.
    uint64_t total = CLX.Pos.back() - std::min(CLX.Pos.front(), CLX.Pos.back());
    if (total > MaxOutputBytes() / 2)
        Damaged("piece table holds " + std::to_string(total) + " characters");
    // Pieces may overlap the same bytes of the stream, so the text they
    // promise is counted, not the stream behind them.
    ChargeDecodedBytes(total * 2, "Word pieces");
    ChargeWorkItems(CLX.noPCD, "Word pieces");
}

std::u16string TWordBinFile::PieceText(std::string_view stream, uint64_t first, uint64_t last,
                                       int codePage) {
    std::u16string text;
    if (last <= first) return text;
    // At most one character per position the pieces cover (a span that
    // ReadCLX bounded by the output cap).
    text.reserve(static_cast<size_t>(std::min<uint64_t>(last - first, CLX.Pos.back() - CLX.Pos.front())));
    // The first piece that ends after `first`.
    auto it = std::upper_bound(CLX.Pos.begin(), CLX.Pos.end() - 1, static_cast<uint32_t>(std::min<uint64_t>(first, UINT32_MAX)));
    size_t piece = it == CLX.Pos.begin() ? 0 : static_cast<size_t>(it - CLX.Pos.begin()) - 1;
    std::string bytes;
    for (; piece < CLX.noPCD && !IsCancelExtract; ++piece) {
        uint64_t cpStart = CLX.Pos[piece], cpEnd = CLX.Pos[piece + 1];
        if (cpStart >= last) break;
        uint32_t startFC = 0, endFC = 0;
        int kind = GetPieceBoundsFC(startFC, endFC, static_cast<uint32_t>(piece));
        if (kind < 0) break;
        uint64_t pieceEnd = uint64_t{startFC} + (cpEnd - cpStart);
        if (startFC > stream.size() || pieceEnd > stream.size())
            throw Exception(strPieceOutOfRange);
        uint64_t from = std::max(first, cpStart), to = std::min(last, cpEnd);
        if (to <= from) continue;
        size_t width = kind == 1 ? 1 : 2;
        uint64_t chars = to - from;
        uint64_t byteStart = uint64_t{startFC} + (from - cpStart) * width;
        uint64_t limit = stream.size();
        // The made-up piece stops where the document's text ends.
        if (madeUpPiece_) limit = std::min<uint64_t>(limit, FIB.fcMac);
        // Bytes beyond the stream (or the text) are missing: they read as zero.
        uint64_t want = chars * width;
        uint64_t avail = byteStart < limit ? std::min<uint64_t>(want, limit - byteStart) : 0;
        std::string_view raw = stream.substr(byteStart < stream.size() ? byteStart : stream.size(), avail);
        if (avail < want) {
            bytes.assign(raw);
            bytes.resize(want, '\0');
            raw = bytes;
        }
        if (width == 2) {
            size_t at = text.size();
            text.resize(at + chars);
            if constexpr (std::endian::native == std::endian::little) {
                // The stream's byte order is the machine's: one copy.
                std::memcpy(text.data() + at, raw.data(), chars * 2);
            } else {
                const auto* p = reinterpret_cast<const uint8_t*>(raw.data());
                for (uint64_t i = 0; i < chars; ++i)
                    text[at + i] = static_cast<char16_t>(p[2 * i] | p[2 * i + 1] << 8);
            }
        } else {
            // Word 97 defines 8-bit pieces as Windows-1252; older versions use
            // the code page of the document's language.
            text += MultiByteToWide(raw, FDocVersion >= 8 ? 1252 : codePage);
        }
    }
    return text;
}

void TWordBinFile::AddSubDocuments(const std::function<std::u16string(uint64_t, uint64_t)>& textOf) {
    // The sub-documents follow the main text in this order; macros are
    // skipped, text boxes and header text boxes share one list.
    struct Range {
        uint32_t count;
        TWideStrings* list;
    };
    const Range ranges[] = {
        {FIB.ccpFtn, &FFootNoteText}, {FIB.ccpHdr, &FHeaderText},    {FIB.ccpMcr, nullptr},
        {FIB.ccpAtn, &FAnnotationText}, {FIB.ccpEdn, &FEndNoteText}, {FIB.ccpTxbx, &FTextBoxText},
        {FIB.ccpHdrTxbx, &FTextBoxText},
    };
    uint64_t at = FIB.ccpText;
    std::u16string textBoxes;
    for (const Range& range : ranges) {
        uint64_t from = at;
        at += range.count;
        if (!range.list || range.count == 0 || IsCancelExtract) continue;
        std::u16string text = textOf(from, at);
        if (range.list == &FTextBoxText)
            textBoxes += text;
        else if (!text.empty())
            AddText(text, *range.list);
    }
    if (!textBoxes.empty() && !IsCancelExtract) AddText(textBoxes, FTextBoxText);
}

void TWordBinFile::ReadSimpleText(std::string_view stream, int codePage) {
    uint64_t total = CLX.Pos.back();
    {
        // The decoded text goes as soon as it is rendered.
        std::u16string text = PieceText(stream, 0, total, codePage);
        listLabels_.Insert(text, 0);
        AddText(text, *text_);
    }
    FrameList(*text_);
    AddSubDocuments([&](uint64_t from, uint64_t to) {
        std::u16string part = PieceText(stream, std::min(from, total), std::min(to, total), codePage);
        listLabels_.Insert(part, from);
        return part;
    });
    FrameParts();
}

void TWordBinFile::ReadWord2Text(std::string_view stream) {
    // Word 2 has no pieces: the text is 8-bit bytes from fcMin on.
    int codePage = DocLangToCodePage();
    auto bytesOf = [&](uint64_t from, uint64_t to) {
        from = std::min<uint64_t>(from, stream.size());
        to = std::min<uint64_t>(to, stream.size());
        return to > from ? MultiByteToWide(stream.substr(from, to - from), codePage) : std::u16string();
    };
    uint64_t fcMin = FIB.fcMin;
    std::u16string text = bytesOf(fcMin, FIB.fcMac);
    if (!text.empty()) AddText(text, *text_);
    FrameList(*text_);
    AddSubDocuments([&](uint64_t from, uint64_t to) { return bytesOf(fcMin + from, fcMin + to); });
    FrameParts();
}

}  // namespace quillmark
