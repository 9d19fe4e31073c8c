// The list labels of a Word 6 or later document: the pieces and the
// sub-document boundaries handed to TDocListLabels.
#include <algorithm>

#include "quillmark/word/word_bin_file.h"

namespace quillmark {

void TWordBinFile::LoadListLabels(std::string_view stream, std::optional<std::string_view> tableStream,
                                  int codePage) {
    listLabels_ = TDocListLabels();
    const bool word6 = FDocVersion == 6 || FDocVersion == 7;
    if (IsCancelExtract || (!word6 && (FDocVersion < 8 || !tableStream))) return;
    std::vector<TDocListLabels::TPiece> pieces;
    pieces.reserve(CLX.noPCD);
    for (uint32_t i = 0; i < CLX.noPCD; ++i) {
        TDocListLabels::TPiece piece;
        uint32_t endFC = 0;
        int kind = GetPieceBoundsFC(piece.FcStart, endFC, i);
        if (kind < 0) break;
        piece.CpStart = CLX.Pos[i];
        piece.CpEnd = CLX.Pos[i + 1];
        piece.Is8Bit = kind == 1;
        piece.Prm = CLX.pcd[i].prm.Value;
        pieces.push_back(piece);
    }
    // Each sub-document (footnotes, headers, ...) counts its lists afresh.
    std::vector<uint32_t> partStarts;
    uint64_t at = FIB.ccpText;
    for (uint32_t count : {FIB.ccpFtn, FIB.ccpHdr, FIB.ccpMcr, FIB.ccpAtn, FIB.ccpEdn, FIB.ccpTxbx, FIB.ccpHdrTxbx}) {
        if (at > UINT32_MAX) break;
        partStarts.push_back(static_cast<uint32_t>(at));
        at += count;
    }
    if (word6)
        listLabels_.LoadWord6(FIB, stream, pieces, CLX.cbGrpprl, partStarts, codePage);
    else
        listLabels_.Load(FIB, FDocVersion, stream, *tableStream, pieces, CLX.cbGrpprl, partStarts);
}

}  // namespace quillmark
