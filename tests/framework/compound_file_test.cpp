// The compound file reader over files written by CompoundFileBuilder: both
// sector sizes, the mini stream, nested storages, chained DIFAT sectors, and
// damaged files (each must end in a clear exception or a truncated stream).
#include <gtest/gtest.h>

#include <functional>

#include "quillmark/framework/compound_file.h"
#include "quillmark/framework/exception.h"
#include "quillmark/format_registry.h"
#include "support/compound_file_builder.h"
#include "support/test_support.h"

namespace quillmark {
namespace {

using test::CompoundFileBuilder;

std::string Pattern(size_t n, unsigned seed) {
    std::string s(n, '\0');
    uint32_t x = seed * 2654435761u + 1;
    for (auto& c : s) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 24);
    }
    return s;
}

std::string ThrownMessage(const std::function<void()>& f) {
    try {
        f();
    } catch (const Exception& e) {
        return e.what();
    }
    return "(no exception)";
}

TEST(CompoundFile, ReadsStreamsOfEverySizeInBothVersions) {
    const size_t sizes[] = {0, 1, 63, 64, 65, 100, 4095, 4096, 4097, 9000, 70000};
    for (int version : {3, 4}) {
        CompoundFileBuilder b(version);
        std::vector<std::pair<std::u16string, std::string>> streams;
        for (size_t i = 0; i < std::size(sizes); ++i) {
            std::u16string name = u"s" + std::u16string(i, u'x');
            streams.push_back({name, Pattern(sizes[i], unsigned(i))});
            b.AddStream(name, streams.back().second);
        }
        auto file = TCompoundFile::Open(b.Build());
        EXPECT_EQ(file->SectorSize(), version == 4 ? 4096u : 512u);
        auto elements = file->Root().Elements();
        ASSERT_EQ(elements.size(), streams.size());
        for (size_t i = 0; i < streams.size(); ++i) {
            SCOPED_TRACE(testing::Message() << "version " << version << " size " << sizes[i]);
            EXPECT_EQ(elements[i].Name, streams[i].first);  // added in format order
            EXPECT_EQ(elements[i].Type, TStorageElementType::Stream);
            EXPECT_EQ(elements[i].Size, sizes[i]);
            EXPECT_TRUE(file->Root().ReadStream(streams[i].first) == streams[i].second);
            auto s = file->Root().OpenStream(streams[i].first);
            EXPECT_EQ(s->Size(), int64_t(sizes[i]));
        }
    }
}

TEST(CompoundFile, EnumeratesInFormatOrderAndFindsNamesIgnoringCase) {
    CompoundFileBuilder b;
    b.AddStream(u"WordDocument", "wd");
    b.AddStream(u"1Table", "tbl");
    b.AddStream(u"\x05SummaryInformation", "si");
    uint32_t macros = b.AddStorage(u"Macros");
    uint32_t vba = b.AddStorage(u"VBA", macros);
    b.AddStream(u"dir", "vba dir", vba);
    b.AddStream(u"PROJECT", "project", macros);
    b.AddStream(u"b", "B");
    b.AddStream(u"A", "A");
    auto file = TCompoundFile::Open(b.Build());
    TCompoundStorage root = file->Root();
    std::vector<std::u16string> names;
    for (auto& e : root.Elements()) names.push_back(e.Name);
    // Shorter names first, then by upper-cased name.
    std::vector<std::u16string> expected{u"A", u"b", u"1Table", u"Macros", u"WordDocument",
                                         u"\x05SummaryInformation"};
    EXPECT_EQ(names, expected);
    EXPECT_TRUE(root.HasStream(u"worddocument"));
    EXPECT_TRUE(root.HasStream(u"1TABLE"));
    EXPECT_FALSE(root.HasStream(u"Macros"));
    EXPECT_TRUE(root.HasStorage(u"MACROS"));
    EXPECT_FALSE(root.HasStorage(u"WordDocument"));
    EXPECT_FALSE(root.HasStream(u"0Table"));
    TCompoundStorage m = root.OpenStorage(u"macros");
    EXPECT_EQ(m.Name(), u"Macros");
    EXPECT_EQ(m.ReadStream(u"project"), "project");
    EXPECT_EQ(m.OpenStorage(u"vba").ReadStream(u"DIR"), "vba dir");
    EXPECT_EQ(m.Elements().size(), 2u);
    EXPECT_NE(ThrownMessage([&] { root.ReadStream(u"0Table"); }).find("no stream"),
              std::string::npos);
    EXPECT_NE(ThrownMessage([&] { root.OpenStorage(u"WordDocument"); }).find("no storage"),
              std::string::npos);
    TCompoundStorage none;
    EXPECT_FALSE(none.IsValid());
    EXPECT_EQ(ThrownMessage([&] { none.HasStream(u"x"); }), "Compound storage is not open");
}

TEST(CompoundFile, SevenMegabyteStreamNeedsChainedDifat) {
    for (size_t size : {size_t{7} << 20, size_t{20} << 20}) {
        CompoundFileBuilder b(3);
        std::string data = Pattern(size, 7);
        b.AddStream(u"Big", data);
        b.AddStream(u"small", "tiny");
        std::string bytes = b.Build();
        ASSERT_GE(b.DifatSectors().size(), size > (size_t{8} << 20) ? 2u : 1u);
        EXPECT_GT(b.FatSectors().size(), 109u);
        auto file = TCompoundFile::Open(bytes);
        EXPECT_TRUE(file->Root().ReadStream(u"Big") == data) << size;
        EXPECT_EQ(file->Root().ReadStream(u"small"), "tiny");
    }
}

TEST(CompoundFile, SignatureAndHeaderChecks) {
    CompoundFileBuilder b;
    b.AddStream(u"x", "y");
    std::string good = b.Build();
    EXPECT_TRUE(TCompoundFile::IsCompoundFile(good));
    EXPECT_FALSE(TCompoundFile::IsCompoundFile("PK\3\4 not a compound file"));
    EXPECT_FALSE(TCompoundFile::IsCompoundFile(good.substr(0, 300)));
    EXPECT_EQ(ThrownMessage([] { TCompoundFile::Open("plain text"); }), "Not a compound file");
    EXPECT_EQ(ThrownMessage([] { TCompoundFile::Open(""); }), "Not a compound file");
    EXPECT_EQ(ThrownMessage([&] { TCompoundFile::Open(good.substr(0, 300)); }),
              "Compound file is damaged: header truncated at 300 of 512 bytes");
    EXPECT_STREQ(FormatName(DetectFormat(good)), "ole");
    EXPECT_TRUE(TCompoundFile::IsCompoundFileName(test::DataPath("compound/files/basic_3.doc")));
    EXPECT_FALSE(TCompoundFile::IsCompoundFileName(test::DataPath("compound/basic_3.doc.listing")));
    EXPECT_FALSE(TCompoundFile::IsCompoundFileName("/nonexistent/file.doc"));
    std::string bad = good;
    CompoundFileBuilder::Put16(bad, 30, 40);
    EXPECT_FALSE(TCompoundFile::IsCompoundFile(bad));
    EXPECT_EQ(ThrownMessage([&] { TCompoundFile::Open(bad); }),
              "Compound file is damaged: unsupported sector shift 40 in the header");
}

// One damaged-file case: how to damage a built file, and what reading the
// stream "Data" (9 regular sectors) or "Mini" (3 mini sectors) must give.
struct DamageCase {
    const char* what;
    std::function<void(std::string&, const CompoundFileBuilder&)> damage;
    const char* error;     // substring of the exception (from open or read), or null
    size_t dataLength;     // when no error: bytes of "Data" still readable
};

TEST(CompoundFile, DamagedFilesGiveAnErrorOrATruncatedStream) {
    const std::string data = Pattern(4500, 1), mini = Pattern(150, 2);
    using B = CompoundFileBuilder;
    auto dataStart = [](const B& b) { return b.StartSector(1); };
    const DamageCase cases[] = {
        {"chain loops", [&](std::string& s, const B& b) {
             B::Put32(s, b.FatEntryOffset(dataStart(b) + 3), dataStart(b) + 1); },
         "sector chain loops at sector", 0},
        {"chain points to itself", [&](std::string& s, const B& b) {
             B::Put32(s, b.FatEntryOffset(dataStart(b)), dataStart(b)); },
         "sector chain loops", 0},
        {"sector beyond the file", [&](std::string& s, const B& b) {
             B::Put32(s, b.FatEntryOffset(dataStart(b) + 1), 1000000); },
         nullptr, 1024},
        {"free sector inside the chain", [&](std::string& s, const B& b) {
             B::Put32(s, b.FatEntryOffset(dataStart(b) + 2), 0xFFFFFFFF); },
         nullptr, 1536},
        {"chain ends early", [&](std::string& s, const B& b) {
             B::Put32(s, b.FatEntryOffset(dataStart(b) + 4), 0xFFFFFFFE); },
         nullptr, 2560},
        {"start sector beyond the file", [&](std::string& s, const B& b) {
             B::Put32(s, b.DirEntryOffset(1) + 116, 0xFFFFFFF0); },
         nullptr, 0},
        {"size far beyond the file", [&](std::string& s, const B& b) {
             B::Put32(s, b.DirEntryOffset(1) + 120, 0xFFFFFFF0); },
         nullptr, 4608},
        {"file cut inside the stream", [&](std::string& s, const B& b) {
             s.resize(b.SectorOffset(dataStart(b) + 5) + 100); },
         nullptr, 2660},
        {"directory chain loops", [&](std::string& s, const B& b) {
             uint32_t dir = static_cast<uint32_t>(b.DirEntryOffset(0) / b.SectorSize() - 1);
             B::Put32(s, b.FatEntryOffset(dir), dir); },
         "sector chain loops", 0},
        {"directory link loops", [&](std::string& s, const B& b) {
             B::Put32(s, b.DirEntryOffset(1) + 68, 1); },
         "directory links loop at entry 1", 0},
        {"directory link outside", [&](std::string& s, const B& b) {
             B::Put32(s, b.DirEntryOffset(0) + 76, 4000); },
         "links to entry 4000 outside the directory", 0},
        {"root is not a root", [&](std::string& s, const B& b) {
             s[b.DirEntryOffset(0) + 66] = 2; },
         "directory entry 0 is not the root entry", 0},
        {"FAT sector beyond the file", [&](std::string& s, const B&) { B::Put32(s, 76, 77777); },
         "FAT sector 77777 lies beyond the end of the file", 0},
        {"two streams share sectors", [&](std::string& s, const B& b) {
             B::Put32(s, b.DirEntryOffset(3) + 116, dataStart(b));
             B::Put32(s, b.DirEntryOffset(3) + 120, 5000); },
         "belongs to directory entries", 0},
        {"mini chain loops", [&](std::string& s, const B& b) {
             B::Put32(s, b.MiniFatEntryOffset(b.StartSector(2) + 1), b.StartSector(2)); },
         "mini sector chain loops", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CompoundFileBuilder b;
        b.AddStream(u"Data", data);   // entry 1
        b.AddStream(u"Mini", mini);   // entry 2
        b.AddStream(u"Other", Pattern(5000, 3));  // entry 3
        std::string bytes = b.Build();
        c.damage(bytes, b);
        std::string got, err;
        try {
            auto file = TCompoundFile::Open(bytes);
            got = file->Root().ReadStream(u"Data");
            file->Root().ReadStream(u"Mini");
            file->Root().ReadStream(u"Other");
        } catch (const Exception& e) {
            err = e.what();
        }
        if (c.error) {
            EXPECT_NE(err.find(c.error), std::string::npos) << err;
            EXPECT_EQ(err.rfind("Compound file is damaged: ", 0), 0u) << err;
        } else {
            EXPECT_EQ(err, "");
            // The stream ends at its last valid sector (the chain's padding included).
            EXPECT_EQ(got.size(), c.dataLength);
            size_t common = std::min(got.size(), data.size());
            EXPECT_TRUE(got.compare(0, common, data, 0, common) == 0);
        }
    }
}

// Every prefix and many single-byte changes of a valid file must open and
// read, or throw; never crash (the sanitizer build checks the rest).
TEST(CompoundFile, PrefixesAndFlippedBytesNeverCrash) {
    CompoundFileBuilder b;
    uint32_t st = b.AddStorage(u"Store");
    b.AddStream(u"Data", Pattern(5000, 1), st);
    b.AddStream(u"Mini", Pattern(300, 2));
    b.AddStream(u"\x05SummaryInformation", Pattern(200, 3));
    std::string good = b.Build();
    auto readAll = [](const std::string& bytes) {
        try {
            auto f = TCompoundFile::Open(bytes);
            std::function<void(const TCompoundStorage&, int)> walk = [&](const TCompoundStorage& s,
                                                                         int depth) {
                for (auto& e : s.Elements()) {
                    if (e.Type == TStorageElementType::Stream) {
                        EXPECT_LE(s.ReadStream(e.Name).size(), bytes.size());
                    } else if (depth < 8) {
                        walk(s.OpenStorage(e.Name), depth + 1);
                    }
                }
            };
            walk(f->Root(), 0);
        } catch (const Exception&) {
        }
    };
    for (size_t n = 0; n <= good.size(); n += 7) readAll(good.substr(0, n));
    uint32_t x = 1;
    for (int i = 0; i < 3000; ++i) {
        std::string bad = good;
        x = x * 1103515245u + 12345u;
        // Mostly the header and directory, where the structure lives.
        size_t pos = (x >> 8) % (i % 2 ? good.size() : 512 + 2048);
        bad[pos] = static_cast<char>(x >> 3);
        readAll(bad);
    }
}

}  // namespace
}  // namespace quillmark
