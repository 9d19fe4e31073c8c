#include "quillmark/framework/byte_reader.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace quillmark {
namespace {

TEST(ByteReader, ReadsBothEndiannesses) {
    ByteReader r(std::string_view("\x01\x02\x03\x04\x05\x06", 6));
    EXPECT_EQ(r.u16le(), 0x0201);
    EXPECT_EQ(r.u16be(), 0x0304);
    EXPECT_EQ(r.remaining(), 2u);
    EXPECT_THROW(r.u32le(), EReadError);
    EXPECT_EQ(r.pos(), 4u);  // a failed read does not move the cursor
    EXPECT_EQ(r.at_u32be(0), 0x01020304u);
}

TEST(ByteReader, ChecksCannotOverflow) {
    ByteReader r(std::string_view("abcd", 4));
    EXPECT_THROW(r.sub(2, SIZE_MAX), EReadError);
    EXPECT_THROW(r.sub(SIZE_MAX, 1), EReadError);
    EXPECT_THROW(r.seek(5), EReadError);
    EXPECT_FALSE(r.in_range(SIZE_MAX - 1, 4));
    ByteReader s = r.sub(1, 2);
    EXPECT_EQ(s.bytes(2), "bc");
    EXPECT_THROW(s.u8(), EReadError);
}

TEST(ByteReader, OrZeroReadsPadShortData) {
    ByteReader r(std::string_view("\x01\x02\x03", 3));
    EXPECT_EQ(r.u16be_or_zero(), 0x0102);
    EXPECT_EQ(r.u32be_or_zero(), 0x03000000u);
    EXPECT_EQ(r.u16le_or_zero(), 0);
    EXPECT_EQ(r.bytes_upto(10), "");
}

TEST(ByteReader, ErrorNamesTheOffset) {
    ByteReader r(std::string_view("ab", 2));
    r.u8();
    try {
        r.u32le();
        FAIL();
    } catch (const EReadError& e) {
        EXPECT_NE(std::string(e.what()).find("offset 1"), std::string::npos) << e.what();
    }
}

}  // namespace
}  // namespace quillmark
