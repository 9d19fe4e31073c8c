#include <gtest/gtest.h>

#include "quillmark/word/word_records.h"
#include "support/word_doc_builder.h"

namespace quillmark {
namespace {

using test::PutLe16;
using test::PutLe32;

TEST(Fib, VersionFromMagicAndNFib) {
    struct Case {
        uint16_t ident, nFib;
        int version;
    } cases[] = {
        {0x37FE, 193, 5}, {0xA5DB, 45, 2},  {0xA5DC, 100, 2}, {0xA5DC, 101, 6}, {0xA5EC, 102, 8},
        {0xA5EC, 103, 0}, {0xA5DC, 104, 7}, {0xA5EC, 105, 8}, {0xA5EC, 193, 8}, {0xA5EC, 0xFFFF, 8},
    };
    for (const Case& c : cases) EXPECT_EQ(DocVersionOf(c.ident, c.nFib), c.version) << c.nFib;
}

TEST(Fib, FlagBytesGiveTheFourTests) {
    std::string b(kFib97Size, '\0');
    b[11] = 0x41;
    TFIB fib = ReadFIB97(b);
    EXPECT_TRUE(IsPasswordProtected(fib));
    EXPECT_TRUE(IsFarEastDocument(fib));
    EXPECT_FALSE(IsUseTableStream(fib));
    EXPECT_FALSE(IsComplexDocument(fib));
    b[11] = 0x02;
    b[10] = 0x04;
    fib = ReadFIB97(b);
    EXPECT_FALSE(IsPasswordProtected(fib));
    EXPECT_FALSE(IsFarEastDocument(fib));
    EXPECT_TRUE(IsUseTableStream(fib));
    EXPECT_TRUE(IsComplexDocument(fib));
}

TEST(Fib, Word97FieldsSitAtTheirOffsets) {
    std::string b(kFib97Size, '\0');
    PutLe16(b, 0, 0xA5EC);
    PutLe16(b, 60, 0x0411);
    PutLe32(b, 24, 0x11223344);
    PutLe32(b, 76, 1000);
    PutLe32(b, 104, 7);
    PutLe32(b, 418, 0xABCDEF01);
    PutLe32(b, 734, 0x55667788);  // the last field
    TFIB fib = ReadFIB97(b);
    EXPECT_EQ(fib.wIdent, 0xA5EC);
    EXPECT_EQ(fib.lidFE, 0x0411);
    EXPECT_EQ(fib.fcMin, 0x11223344u);
    EXPECT_EQ(fib.ccpText, 1000u);
    EXPECT_EQ(fib.ccpHdrTxbx, 7u);
    EXPECT_EQ(fib.fcClx, 0xABCDEF01u);
    EXPECT_EQ(fib.lcbSttbFnm, 0x55667788u);
}

TEST(Fib, ShortStreamLeavesZeros) {
    std::string b(30, '\0');
    PutLe16(b, 2, 193);
    PutLe32(b, 26, 0xFFFFFFFF);  // fcMac cut after two bytes
    TFIB fib = ReadFIB97(b);
    EXPECT_EQ(fib.Version, 193);
    EXPECT_EQ(fib.fcMin & 0xFFFF0000u, 0xFFFF0000u);
    EXPECT_EQ(fib.fcMac, 0xFFFFu);
    EXPECT_EQ(fib.ccpText, 0u);
    EXPECT_EQ(ReadFIB97("").wIdent, 0);
}

TEST(Fib, Word6LayoutFillsTheCommonRecord) {
    std::string b(kFib6Size, '\0');
    PutLe16(b, 6, 0x0419);
    b[11] = 0x41;
    PutLe32(b, 24, 768);
    PutLe32(b, 28, 900);
    const std::pair<size_t, uint32_t> fields[] = {{52, 100}, {56, 11}, {60, 12}, {68, 13}, {72, 14},
                                                  {80, 15},  {184, 16}, {188, 17}, {192, 18},
                                                  {196, 19}, {248, 20}, {252, 21}, {352, 22}, {356, 23}};
    for (auto [off, v] : fields) PutLe32(b, off, v);
    TFIB fib = ReadFIBForVersion(b, 7);
    EXPECT_EQ(fib.lID, 0x0419);
    EXPECT_EQ(fib.lidFE, 0);
    EXPECT_EQ(fib.csw, 14);
    EXPECT_EQ(fib.Encryption, 0x41);
    EXPECT_EQ(fib.fcMin, 768u);
    EXPECT_EQ(fib.fcMac, 900u);
    EXPECT_EQ(fib.ccpText, 100u);
    EXPECT_EQ(fib.ccpFtn, 11u);
    EXPECT_EQ(fib.ccpHdr, 12u);
    EXPECT_EQ(fib.ccpAtn, 13u);
    EXPECT_EQ(fib.ccpEdn, 14u);
    EXPECT_EQ(fib.ccpHdrTxbx, 15u);
    EXPECT_EQ(fib.fcPlcfbteChpx, 16u);
    EXPECT_EQ(fib.lcbPlcfbteChpx, 17u);
    EXPECT_EQ(fib.fcPlcfbtePapx, 18u);
    EXPECT_EQ(fib.lcbPlcfbtePapx, 19u);
    EXPECT_EQ(fib.fcPlcffldMcr, 20u);
    EXPECT_EQ(fib.lcbPlcffldMcr, 21u);
    EXPECT_EQ(fib.fcClx, 22u);
    EXPECT_EQ(fib.lcbClx, 23u);
}

TEST(Fib, Word2LayoutWidensSizesAndLeavesNewerCountsZero) {
    std::string b(kFib2Size, '\0');
    PutLe16(b, 0, 0xA5DB);
    PutLe16(b, 2, 45);
    PutLe32(b, 24, 384);
    PutLe32(b, 28, 500);
    PutLe32(b, 52, 90);
    PutLe32(b, 56, 10);
    PutLe32(b, 60, 6);
    PutLe32(b, 68, 4);
    PutLe32(b, 72, 99);  // ccpSpare0: not an endnote count in Word 2
    PutLe32(b, 202, 0x1234);
    PutLe16(b, 206, 0xFFFF);
    TFIB fib = ReadFIBForVersion(b, 2);
    EXPECT_EQ(fib.fcMin, 384u);
    EXPECT_EQ(fib.fcMac, 500u);
    EXPECT_EQ(fib.ccpText, 90u);
    EXPECT_EQ(fib.ccpFtn, 10u);
    EXPECT_EQ(fib.ccpHdr, 6u);
    EXPECT_EQ(fib.ccpAtn, 4u);
    EXPECT_EQ(fib.ccpEdn, 0u);
    EXPECT_EQ(fib.ccpHdrTxbx, 0u);
    EXPECT_EQ(fib.fcPlcffldMcr, 0x1234u);
    EXPECT_EQ(fib.lcbPlcffldMcr, 0xFFFFu);
}

}  // namespace
}  // namespace quillmark
