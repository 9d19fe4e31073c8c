// The zip reader over archives written by ZipBuilder (comments, stored and
// deflated members, data descriptors, Zip64, prefixes) and damaged ones; each
// damage must end in a clear exception or an empty archive, never a crash.
#include <gtest/gtest.h>
#include <zlib.h>

#include <functional>

#include "quillmark/framework/exception.h"
#include "quillmark/framework/limits.h"
#include "quillmark/package/crc32.h"
#include "quillmark/package/zip_archive.h"
#include "support/test_support.h"
#include "support/zip_builder.h"

namespace quillmark {
namespace {

using test::ZipBuilder;
using test::ZipMember;

std::string Text(size_t n, unsigned seed) {
    // Compressible but not trivial: words from a small vocabulary.
    static const char* kWords[] = {"alpha ", "beta ", "gamma ", "delta\n", "epsilon ", "zeta "};
    std::string s;
    uint32_t x = seed + 7;
    while (s.size() < n) {
        x = x * 1103515245u + 12345u;
        s += kWords[(x >> 16) % 6];
    }
    s.resize(n);
    return s;
}

TZipArchive Load(const std::string& bytes) {
    TZipArchive zip;
    zip.LoadFromBytes(bytes);
    return zip;
}

std::string ThrownMessage(const std::function<void()>& f) {
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "(nothing thrown)";
}

TEST(Crc32, MatchesTheCheckValueAndZlibOnEveryLength) {
    EXPECT_EQ(Crc32("123456789"), 0xCBF43926u);
    EXPECT_EQ(Crc32(""), 0u);
    std::string data = Text(300, 1) + std::string("\0\xff\x80", 3);
    for (size_t n = 0; n <= data.size(); ++n) {
        uint32_t expected = static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(data.data()),
                                                        static_cast<uInt>(n)));
        ASSERT_EQ(Crc32(std::string_view(data).substr(0, n)), expected) << n;
    }
    // Running CRC over pieces equals the CRC of the whole.
    EXPECT_EQ(Crc32(data.substr(100), Crc32(data.substr(0, 100))), Crc32(data));
}

TEST(FileIsZipArchive, AcceptsAnyVersionAndFlagsAfterTheSignature) {
    EXPECT_TRUE(IsZipArchiveData(std::string("PK\3\4\x14\0\6\0", 8)));
    EXPECT_TRUE(IsZipArchiveData(std::string("PK\3\4\x14\0\x08\x08", 8)));  // LibreOffice
    EXPECT_TRUE(IsZipArchiveData(std::string("PK\3\4\x0A\0\0\0", 8)));
    EXPECT_FALSE(IsZipArchiveData("PK\5\6"));
    EXPECT_FALSE(IsZipArchiveData("PK\3"));
    EXPECT_FALSE(IsZipArchiveData(std::string("\xD0\xCF\x11\xE0", 4)));
    EXPECT_TRUE(FileIsZipArchive(test::DataPath("docx/basic_3.docx")));
    EXPECT_THROW(FileIsZipArchive(test::DataPath("docx/no-such-file.docx")), std::exception);
}

TEST(ZipArchive, ReadsStoredAndDeflatedMembersInDirectoryOrder) {
    ZipBuilder b;
    b.Add("mimetype", "application/vnd.oasis.opendocument.text", 0);
    b.Add("content.xml", Text(5000, 2));
    b.Add("empty.txt", "", 8);
    b.Add("dir/", "", 0);
    TZipArchive zip = Load(b.Build());
    ASSERT_EQ(zip.Count(), 4);
    EXPECT_EQ(zip.GetUncompressed(0), "application/vnd.oasis.opendocument.text");
    EXPECT_EQ(zip.GetUncompressed(1), Text(5000, 2));
    EXPECT_EQ(zip.GetUncompressed(2), "");
    EXPECT_EQ(zip.GetUncompressed(3), "");
    EXPECT_EQ(zip.Files()[1].FileName, "content.xml");
    EXPECT_EQ(zip.Files()[1].CentralFileName, "content.xml");
    EXPECT_EQ(zip.Files()[1].CommonFileHeader.CompressionMethod, 8);
    EXPECT_LT(zip.Files()[1].CompressedData().size(), 5000u);
    EXPECT_EQ(zip.Files()[1].LocalFileHeaderSignature, 0u);  // never stored
    EXPECT_EQ(zip.Files()[1].CentralFileHeaderSignature, 0x02014B50u);
    EXPECT_EQ(zip.EndOfCentralDirectory().TotalNumberOfEntries, 4u);

    TWideStrings names;
    names.Add(u"already here");
    zip.GetFileNames(names);
    ASSERT_EQ(names.Count(), 5);
    EXPECT_EQ(names[0], u"already here");
    EXPECT_EQ(names[2], u"content.xml");
}

TEST(ZipArchive, NameLookupIgnoresAsciiCaseOnlyAndTakesTheFirst) {
    ZipBuilder b;
    b.Add("word/document.xml", "first");
    b.Add("WORD/Document.XML", "second");
    b.Add("\xC3\xA9t\xC3\xA9.txt", "utf8 name");  // "été"
    TZipArchive zip = Load(b.Build());
    EXPECT_EQ(zip.GetIndexByFileName("WORD/DOCUMENT.XML"), 0);
    EXPECT_EQ(zip.DecompressFileName("word/DOCUMENT.xml"), "first");
    EXPECT_EQ(zip.GetIndexByFileName("\xC3\x89T\xC3\x89.txt"), -1);  // non-ASCII case differs
    EXPECT_EQ(zip.GetIndexByFileName("/word/document.xml"), -1);      // no normalisation
    EXPECT_EQ(zip.GetIndexByFileName("word\\document.xml"), -1);
    EXPECT_EQ(zip.DecompressFileName("missing.xml"), "");
    EXPECT_EQ(ThrownMessage([&] { zip.GetUncompressed(3); }), "Index out of range.");
    EXPECT_EQ(ThrownMessage([&] { zip.GetUncompressed(-1); }), "Index out of range.");
}

TEST(ZipArchive, MemberNamesFlaggedUtf8AreDecodedAsUtf8) {
    ZipBuilder b;
    b.Add("\xC3\xA9t\xC3\xA9.txt", "x");
    b.members[0].flags = 0x0800;
    b.Add("\xE9t\xE9.txt", "y");  // 8-bit name: the active code page (1252)
    TZipArchive zip = Load(b.Build());
    TWideStrings names;
    zip.GetFileNames(names);
    EXPECT_EQ(names[0], u"\u00E9t\u00E9.txt");
    EXPECT_EQ(names[1], u"\u00E9t\u00E9.txt");
}

TEST(ZipArchive, FindsTheEndRecordBehindAnArchiveComment) {
    for (size_t len : {size_t{1}, size_t{100}, size_t{65535}}) {
        ZipBuilder b;
        b.Add("a.txt", "hello");
        // A comment that itself contains an end-record signature.
        b.comment = std::string("PK\5\6", 4) + std::string(len - std::min<size_t>(len, 4), 'c');
        b.comment.resize(len);
        TZipArchive zip = Load(b.Build());
        ASSERT_EQ(zip.Count(), 1) << len;
        EXPECT_EQ(zip.GetUncompressed(0), "hello");
    }
}

TEST(ZipArchive, NotAnArchiveLoadsWithoutMembers) {
    for (std::string bytes : {std::string(), std::string("PK\3\4"), std::string(21, 'x'),
                              std::string(100000, 'x')}) {
        TZipArchive zip = Load(bytes);
        EXPECT_EQ(zip.Count(), 0);
        EXPECT_EQ(zip.GetIndexByFileName("a"), -1);
    }
}

TEST(ZipArchive, DataDescriptorMembersUseTheCentralSizes) {
    ZipBuilder b;
    b.Add("word/document.xml", Text(20000, 3));
    b.members[0].dataDescriptor = true;
    b.Add("stored.txt", "stored with descriptor", 0);
    b.members[1].dataDescriptor = true;
    TZipArchive zip = Load(b.Build());
    ASSERT_EQ(zip.Count(), 2);
    EXPECT_EQ(zip.Files()[0].CommonFileHeader.CompressedSize, 0u);
    EXPECT_EQ(zip.GetUncompressed(0), Text(20000, 3));
    EXPECT_EQ(zip.GetUncompressed(1), "stored with descriptor");
}

TEST(ZipArchive, Zip64RecordsAndExtraFieldsAreUnderstood) {
    ZipBuilder b;
    b.zip64End = true;
    b.Add("big.bin", Text(70000, 4));
    b.members[0].zip64 = true;
    b.members[0].version = 45;
    b.Add("small.txt", "small");
    TZipArchive zip = Load(b.Build());
    ASSERT_EQ(zip.Count(), 2);
    EXPECT_EQ(zip.EndOfCentralDirectory().TotalNumberOfEntries, 2u);
    EXPECT_EQ(zip.Files()[0].CentralCommonFileHeader.UncompressedSize, 70000u);
    EXPECT_EQ(zip.GetUncompressed(0), Text(70000, 4));
    EXPECT_EQ(zip.GetUncompressed(1), "small");
}

TEST(ZipArchive, BytesBeforeTheArchiveShiftEveryOffset) {
    ZipBuilder b;
    b.prefix = "BDOC" + std::string(8, '\0') + "stub";
    b.Add("word/document.xml", "<w:document/>");
    TZipArchive zip = Load(b.Build());
    ASSERT_EQ(zip.Count(), 1);
    EXPECT_EQ(zip.DecompressFileName("word/document.xml"), "<w:document/>");
}

TEST(ZipArchive, UnsupportedMethodsAndEncryptionAreNamed) {
    ZipBuilder b;
    b.Add("bz.xml", "data", 12);
    b.Add("secret.xml", "data", 0);
    b.members[1].flags = 1;
    TZipArchive zip = Load(b.Build());
    EXPECT_EQ(ThrownMessage([&] { zip.GetUncompressed(0); }),
              "Unsupported compression method 12 in \"bz.xml\".");
    EXPECT_NE(ThrownMessage([&] { zip.GetUncompressed(1); }).find("encrypted"), std::string::npos);
}

TEST(ZipArchive, WrongCrcOrShortDataRaisesTheCrcError) {
    ZipBuilder b;
    b.Add("a.xml", Text(1000, 5));
    b.members[0].crc = 0x12345678;
    b.Add("b.xml", "short", 0);
    b.members[1].uncompressedSize = 50;  // claims more than is stored
    b.Add("c.xml", Text(1000, 6));
    b.members[2].uncompressedSize = 2000;  // claims more than inflates
    TZipArchive zip = Load(b.Build());
    for (int i = 0; i < 3; ++i) {
        try {
            zip.GetUncompressed(i);
            ADD_FAILURE() << "member " << i << " passed";
        } catch (const EZipFileCRCError& e) {
            EXPECT_EQ(std::string(e.what()), "CRC Error in \"" + zip.Files()[i].FileName + "\".");
        }
    }
}

TEST(ZipArchive, CentralRecordWithAWrongSignatureIsSkippedFourBytesAtATime) {
    ZipBuilder b;
    b.Add("a1.txt", "first");
    b.Add("b1.txt", "second");
    b.members[0].centralSignature = 0x11111111;
    TZipArchive zip = Load(b.Build());
    // The first record (46 + 6 bytes) is read 4 bytes at a time as further
    // "records", none with the signature: the second member is not reached
    // within the two declared iterations.
    EXPECT_EQ(zip.Count(), 0);

    ZipBuilder c = b;
    c.declaredEntries = 52 / 4 + 1;
    TZipArchive more = Load(c.Build());
    ASSERT_EQ(more.Count(), 1);
    EXPECT_EQ(more.Files()[0].FileName, "b1.txt");
    EXPECT_EQ(more.GetUncompressed(0), "second");
}

TEST(ZipArchive, HostileDirectoriesEndInClearErrors) {
    ZipBuilder b;
    b.Add("a.txt", "first");
    // More entries than the directory holds.
    ZipBuilder many = b;
    many.declaredEntries = 60000;
    EXPECT_NE(ThrownMessage([&] { Load(many.Build()); }).find("Zip archive is damaged"), std::string::npos);

    // A local header offset outside the archive: the member is damaged, the
    // archive still loads.
    ZipBuilder far = b;
    far.Add("b.txt", "second");
    far.members[0].localOffset = 0x7FFFFFF0;
    TZipArchive zip = Load(far.Build());
    ASSERT_EQ(zip.Count(), 2);
    EXPECT_FALSE(zip.Files()[0].Damage().empty());
    EXPECT_NE(ThrownMessage([&] { zip.GetUncompressed(0); }).find("lies outside the archive"),
              std::string::npos);
    EXPECT_EQ(zip.GetUncompressed(1), "second");
    EXPECT_EQ(zip.GetIndexByFileName("a.txt"), 0);  // found by its central name
}

TEST(ZipArchive, CorruptDeflateDataRaisesAnError) {
    ZipBuilder b;
    b.Add("a.xml", Text(4000, 7));
    std::string bytes = b.Build();
    // Overwrite the start of the deflate data (after the 30-byte header and name).
    for (size_t i = 35; i < 45; ++i) bytes[i] = '\xFF';
    TZipArchive zip = Load(bytes);
    EXPECT_THROW(zip.GetUncompressed(0), Exception);
}

TEST(ZipArchive, ABombStopsAtTheOutputCap) {
    // 64 MiB of zeros deflate to about 64 KiB; the member claims its true size.
    std::string zeros(size_t{64} << 20, '\0');
    ZipBuilder b;
    b.Add("bomb.xml", zeros);
    std::string bytes = b.Build();
    zeros.clear();
    zeros.shrink_to_fit();
    ASSERT_LT(bytes.size(), 200000u);
    size_t old = MaxOutputBytes();
    SetMaxOutputBytes(size_t{1} << 20);
    TZipArchive zip = Load(bytes);
    std::string message = ThrownMessage([&] { zip.GetUncompressed(0); });
    SetMaxOutputBytes(old);
    EXPECT_NE(message.find("exceed the limit"), std::string::npos) << message;

    // A member that claims a small size but inflates to far more stops at
    // the claim and fails its CRC.
    ZipBuilder liar;
    liar.Add("liar.xml", std::string(1 << 20, 'a'));
    liar.members[0].uncompressedSize = 100;
    TZipArchive z2 = Load(liar.Build());
    EXPECT_THROW(z2.GetUncompressed(0), EZipFileCRCError);
}

TEST(ZipArchive, TruncatedAndFlippedArchivesNeverCrash) {
    ZipBuilder b;
    b.Add("mimetype", "application/x", 0);
    b.Add("word/document.xml", Text(3000, 8));
    b.members[1].dataDescriptor = true;
    b.Add("z64", Text(500, 9));
    b.members[2].zip64 = true;
    b.comment = "comment";
    std::string good = b.Build();
    auto exercise = [](const std::string& bytes) {
        try {
            TZipArchive zip;
            zip.LoadFromBytes(bytes);
            for (int i = 0; i < zip.Count(); ++i) {
                try {
                    zip.GetUncompressed(i);
                } catch (const Exception&) {
                }
            }
        } catch (const Exception&) {
        }
    };
    for (size_t n = 0; n < good.size(); n += 7) {
        std::string cut = good.substr(0, n);
        exercise(cut);
        // A truncated archive has no end record: no members.
        if (n + 22 + 7 < good.size()) {
            EXPECT_EQ(Load(cut).Count(), 0) << n;
        }
    }
    uint32_t x = 99;
    for (int round = 0; round < 3000; ++round) {
        std::string bad = good;
        for (int k = 0; k < 3; ++k) {
            x = x * 1103515245u + 12345u;
            bad[(x >> 8) % bad.size()] = static_cast<char>(x >> 24);
        }
        exercise(bad);
    }
}

TEST(ZipArchive, LoadFromStreamRestoresThePosition) {
    ZipBuilder b;
    b.Add("a.txt", "hello");
    TMemoryStream stream(b.Build());
    stream.SetPosition(5);
    TZipArchive zip;
    zip.LoadFromStream(stream);
    EXPECT_EQ(stream.Position(), 5);
    EXPECT_EQ(zip.DecompressFileName("a.txt"), "hello");
    // A new load replaces the members.
    zip.LoadFromBytes("not an archive");
    EXPECT_EQ(zip.Count(), 0);
}

}  // namespace
}  // namespace quillmark
