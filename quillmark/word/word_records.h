// Record layouts of the Word binary format (Word 2, Word 6/95, Word 97 and
// later): the file information block in its common in-memory form and its two
// older layouts, the piece table records, the VBA project item, and the
// paragraph, character, section and style records the format declares (the
// text path does not use the last group). Parsing lives in fib.cpp and
// piece_table.cpp; these are plain structs with no file bytes cast onto them.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "quillmark/word/fib_layouts.h"

namespace quillmark {

// --- File information block -------------------------------------------------

inline constexpr size_t kFib97Size = 738;
inline constexpr size_t kFib6Size = 684;
inline constexpr size_t kFib2Size = 320;

// Magic numbers (wIdent) of Word binary documents.
inline constexpr uint16_t kWordIdentMac5 = 0x37FE;  // Macintosh Word 5
// The magic numbers with which a plain (non-compound) file is accepted as a
// Word document: the pre-Word 6 generations (Word for Windows 1 and 2,
// 0xA59B and 0xA5DB), the Write-compatible ones (0xBE31, 0xBE32) and 0x6031.
inline constexpr std::array<uint16_t, 5> kPlainWordIdents{0x6031, 0xA59B, 0xA5DB, 0xBE31, 0xBE32};

// Bits of the two flag bytes at offsets 10 (Flag) and 11 (Encryption).
inline constexpr uint8_t kFibFlagComplex = 0x04;     // fast-saved: text lies in pieces
inline constexpr uint8_t kFibFlagEncrypted = 0x01;   // password protected
inline constexpr uint8_t kFibFlagTableStream = 0x02; // the table stream is "1Table"
inline constexpr uint8_t kFibFlagFarEast = 0x40;     // lidFE names the language

// The common form: the Word 97 layout, field for field. Older documents fill
// the fields their layout has and leave the rest zero.
struct TFIB {
#define QUILLMARK_FIB_MEMBER(type, name, offset) type name = 0;
    QUILLMARK_FIB97_FIELDS(QUILLMARK_FIB_MEMBER)
#undef QUILLMARK_FIB_MEMBER
};

// Word 6/95 layout.
struct TFIB6 {
#define QUILLMARK_FIB_MEMBER(type, name, offset) type name = 0;
    QUILLMARK_FIB6_FIELDS(QUILLMARK_FIB_MEMBER)
#undef QUILLMARK_FIB_MEMBER
};

// Word 2 layout.
struct TFIB2 {
#define QUILLMARK_FIB_MEMBER(type, name, offset) type name = 0;
#define QUILLMARK_FIB_BYTES(name, size, offset) std::array<uint8_t, size> name{};
    QUILLMARK_FIB2_FIELDS(QUILLMARK_FIB_MEMBER, QUILLMARK_FIB_BYTES)
#undef QUILLMARK_FIB_MEMBER
#undef QUILLMARK_FIB_BYTES
};

// --- Piece table ------------------------------------------------------------

// A property modifier of a piece: one 16-bit value, seen either as an sprm
// and its 8-bit value or as an index into the property-modifier groups.
struct TPRM {
    uint16_t Value = 0;
    uint8_t sprm() const { return static_cast<uint8_t>(Value & 0xFF); }
    uint8_t val() const { return static_cast<uint8_t>(Value >> 8); }
    uint16_t igrpprl() const { return Value; }
};

// Bit 30 of a piece's fc: its text is stored 8 bits per character, at byte
// (fc without the bit) / 2. Without it the text is UTF-16 at byte fc.
inline constexpr uint32_t kPieceCompressed = 0x40000000;

// A piece descriptor: 8 bytes on file.
struct TPCD {
    uint8_t Para = 0;  // first flag byte
    uint8_t fn = 0;    // second flag byte
    uint32_t fc = 0;
    TPRM prm;
};
inline constexpr size_t kPcdSize = 8;

// One property-modifier group of the piece table (type 1 entries). The
// bytes are kept as they are; the text path does not use them.
struct TCLXItem {
    uint16_t Count = 0;
    std::string grpprl;
};

// The piece table: piece i covers characters Pos[i] up to but not including
// Pos[i + 1].
struct TCLX {
    std::vector<TPCD> pcd;
    std::vector<uint32_t> Pos;
    uint32_t noPCD = 0;
    uint16_t grpprlCount = 0;
    std::vector<TCLXItem> cbGrpprl;
};

// --- VBA --------------------------------------------------------------------

// One module of a document's VBA project.
struct TVBAProjectItem {
    std::u16string Entry;       // the project-stream record that names the module
    std::u16string ModuleName;
    std::u16string ModuleID;
    uint32_t Offset = 0;        // where the module's compressed source begins in its stream
    std::string Body;           // the module's decompressed source, in the project's code page
    std::u16string StreamName;  // the module's stream, when the "dir" stream names it
    std::string Damage;         // why the source stops early, when it does
};

// The project's modules, in the order the project stream lists them.
using TVBAProjectItems = std::vector<std::unique_ptr<TVBAProjectItem>>;

// --- Paragraph, character, section and style records -----------------------
// Declared for completeness of the format's record set; the text path reads
// none of them.

struct TCHP {
    uint8_t Style1 = 0, Style2 = 0;
    uint16_t Reserved = 0, ftc = 0, hps = 0, dxaSpace = 0;
    uint8_t iss = 0, ico = 0;
    uint16_t hpsPos = 0, lid = 0;
    uint32_t fcPic_Obj_TagObj = 0;
    uint16_t ibstRMark = 0;
    uint32_t dttmRMark = 0;
    uint16_t Reserved2 = 0, istd = 0, ftcSym = 0;
    uint8_t chSym = 0, fChsDiff = 0;
    uint16_t idslRMReason = 0;
    uint8_t ysr = 0, chYsr = 0;
    uint16_t chse = 0, hpsKern = 0;
};

struct TCHPX {
    uint8_t cb = 0;
    std::vector<uint8_t> grpprl;
};

struct TCHPX_FKP {
    std::vector<uint32_t> rgfc;
    std::vector<uint8_t> rgb;
    std::vector<TCHPX> grpchpx;
    uint8_t cRun = 0;
};

struct TPAPX {
    uint16_t cb = 0, istd = 0;
    std::vector<uint8_t> grpprl;
};

struct TPHE {
    uint32_t Flags = 0, dxaCol = 0, dymheight = 0;
};

struct TBX {
    uint8_t offset = 0;
    TPHE phe;
};

struct TPAPX_FKP {
    std::vector<uint32_t> rgfc;
    std::vector<TBX> rgbx;
    std::vector<TPAPX> grppapx;
    uint8_t crun = 0;
};

struct TDOP {
    uint8_t MainDoc = 0, grpflhdt = 0;
    uint16_t mcFtn = 0;
    uint8_t fOutlineDirtySave = 0, Merge = 0, Backup = 0, Restrict = 0;
};

struct TANLV {
    uint8_t nfc = 0, cbTextBefore = 0, cbTextAfter = 0, jc = 0, jc2 = 0, Kul = 0;
    uint16_t ftc = 0, hps = 0, iStartAt = 0, dxaIndent = 0, dxaSpace = 0;
};

struct TOLST {
    std::array<uint8_t, 144> rganlv{};
    uint8_t fRestartHdr = 0, fSpareOlst2 = 0, fSpareOlst3 = 0, fSpareOlst4 = 0;
    std::array<uint8_t, 64> rgch{};
};

struct TSEP {
    uint8_t bkc = 0, fTitlePage = 0;
    uint16_t ccolM1 = 0, dxaColumns = 0;
    uint8_t fAutoPgn = 0, nfcPgn = 0;
    uint16_t pgnStart = 0;
    uint8_t fUnlocked = 0, cnsPgn = 0, fPgnRestart = 0, fEndNote = 0, Inc = 0, grpflhdt = 0;
    uint16_t nLnnMod = 0, dxaLnn = 0, dyaHdrTop = 0, dyaHdrBottom = 0, dxaPgn = 0, dyaPgn = 0;
    uint8_t fLBetween = 0, vjc = 0;
    uint16_t InnMin = 0;
    uint8_t dmOrientPage = 0, iHeadeingPgn = 0;
    uint16_t xaPage = 0, yaPage = 0, dxaLeft = 0, dxaRight = 0, dyaTop = 0, dyaBottom = 0,
             dzaGutter = 0, dmBinFirst = 0, dmBinOther = 0, dmPaperReq = 0;
    uint8_t fEvenlySpaced = 0, Reserved = 0;
    uint16_t dxaColumnWidth = 0;
    std::array<uint8_t, 178> rgdxaColumnWidthSpacing{};
    TOLST olstAnm;
};

struct TSPRM {
    uint16_t Value = 0;
};

struct TSEPX {
    uint8_t cb = 0;
    std::vector<uint8_t> grpprl;
};

struct TSED {
    uint16_t fSwap = 0;
    uint32_t fcSepx = 0;
    uint16_t fnMpr = 0;
    uint32_t fcMpr = 0;
};
using TSEDs = std::vector<TSED>;

struct TUPX {
    uint8_t chpx = 0;
    uint16_t istd = 0;
    std::vector<uint8_t> grpprl;
};

struct TUPXF {
    uint16_t cbUPX = 0;
    TUPX upx;
};

struct TTAP {
    uint16_t jc = 0;
    uint32_t dxaGapHalf = 0, dyaRowHeight = 0;
};

struct TANLD {
    uint8_t nfc = 0, cbTextBefore = 0, cbTextAfter = 0, jc = 0, fSetStrike = 0, Kul = 0;
    uint16_t ftc = 0, hps = 0, iStartAt = 0, dxaIndent = 0, dxaSpace = 0;
    uint8_t fNumber1 = 0, fNumberAcross = 0, fRestartHdn = 0, fSpareX = 0;
    std::array<uint8_t, 32> rgchAnld{};
};

struct TLSPD {
    uint16_t dyaLine = 0, fMultLinespace = 0;
};

struct TPAP {
    uint8_t istd = 0, jc = 0, fKeep = 0, fKeepFolllow = 0, fPageBreakBefore = 0, fBrLnAbove = 0,
            brcp = 0, brcl = 0, reserved = 0, nLvlAnm = 0, fNoLnn = 0;
    uint16_t fSideBySide = 0, dxaRight = 0, dxaLeft = 0, dxaLeft1 = 0;
    TLSPD lspd;
    uint16_t dyaBefore = 0, dyaAfter = 0;
    uint32_t phe = 0;
    uint8_t fAutoHyph = 0, fWidowControl = 0, flnTable = 0, fTtp = 0;
    TTAP ptap;
    uint16_t dxaAbs = 0, dyaAbs = 0, dxaWidth = 0, brcTop = 0, brcLeft = 0, brcBottom = 0,
             brcRight = 0, brcBetween = 0, brcBar = 0, dxaFromText = 0, dyaFromText = 0;
    uint8_t wr = 0, fLocked = 0;
    uint16_t dyaHeight = 0, shd = 0, dcs = 0;
    TANLD anldPap;
    uint16_t itbdMac = 0;
    std::array<uint8_t, 100> rgdxaTab{};
    std::array<uint8_t, 50> rgtbd{};
};

struct TUPD {
    TPAP apap;
    TCHP achp;
    TCHPX chpx;
};

struct TSTSHI {
    uint16_t cstd = 0, cbSTDBaseInFile = 0, StdStylenames = 0, istdMaxFixedWhenSaved = 0,
             nVerBuiltInNamesWhenSaved = 0;
    std::array<uint8_t, 6> rgftcStandardChpStsh{};
};

struct TSTD {
    uint16_t sti = 0, sgc = 0, cupx = 0, bchUpe = 0, fAutoRedef = 0;
    std::string xstzName;
    TUPXF grupxf;
    std::vector<TUPD> grupe;
};

struct TSTSH {
    TSTSHI stshi;
    std::vector<TSTD> std;
};

// --- Reading the FIB (fib.cpp) ------------------------------------------------

// The Word version a FIB announces: 5 for Macintosh Word 5 (wIdent 0x37FE);
// otherwise from nFib: below 101 -> 2, 101 -> 6, 103 -> 0, 104 -> 7, 102 and
// 105 up -> 8.
int DocVersionOf(uint16_t wIdent, uint16_t nFib);

// Reads the FIB of the given version's layout from the start of the bytes.
// Bytes beyond the end read as zero (a short stream gives a FIB with zeros,
// not an error).
TFIB ReadFIB97(std::string_view bytes);
TFIB6 ReadFIB6Layout(std::string_view bytes);
TFIB2 ReadFIB2Layout(std::string_view bytes);
// Reads the layout DocVersionOf chooses and converts it to the common form.
TFIB ReadFIBForVersion(std::string_view bytes, int docVersion);
TFIB FIBFromWord6(const TFIB6& fib6);
TFIB FIBFromWord2(const TFIB2& fib2);

// The four flag tests.
inline bool IsComplexDocument(const TFIB& fib) { return (fib.Flag & kFibFlagComplex) != 0; }
inline bool IsPasswordProtected(const TFIB& fib) { return (fib.Encryption & kFibFlagEncrypted) != 0; }
inline bool IsUseTableStream(const TFIB& fib) { return (fib.Encryption & kFibFlagTableStream) != 0; }
inline bool IsFarEastDocument(const TFIB& fib) { return (fib.Encryption & kFibFlagFarEast) != 0; }

}  // namespace quillmark
