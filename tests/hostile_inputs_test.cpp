// Small files that ask for a great deal of work or memory: shared data
// decoded once per reference, repeated scans, oversized intermediates. Each
// case runs in a child process so its own peak memory and CPU time can be
// measured (getrusage of the child), and must end with sane text or the
// limit error kind — never std::bad_alloc, never minutes of work.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <new>
#include <string>
#include <vector>

#include "quillmark/extract.h"
#include "quillmark/framework/compound_file.h"
#include "quillmark/framework/exception.h"
#include "quillmark/framework/property_set.h"
#include "quillmark/framework/stream.h"
#include "quillmark/framework/work_budget.h"
#include "quillmark/package/zip_archive.h"
#include "support/child_process.h"
#include "support/compound_file_builder.h"
#include "support/pdb_builder.h"
#include "support/word_doc_builder.h"
#include "support/zip_builder.h"

namespace quillmark {
namespace {

using test::CompoundFileBuilder;
using test::PutLe32;

enum Outcome : int { kText = 0, kLimit = 1, kOtherError = 2, kBadAlloc = 3, kUnknown = 4 };

// Runs body in a child; body returns a short description of its result,
// which comes back with the outcome, the child's peak memory and its time.
test::ChildRun RunCase(const std::function<std::string()>& body) {
    return test::RunInChild([&](std::string& message) {
        try {
            message = body();
            return int{kText};
        } catch (const ELimitError& e) {
            message = e.what();
            return int{kLimit};
        } catch (const Exception& e) {
            message = e.what();
            return int{kOtherError};
        } catch (const std::bad_alloc&) {
            return int{kBadAlloc};
        } catch (...) {
            return int{kUnknown};
        }
    });
}

struct HostileCase {
    const char* name;
    std::function<std::string()> build;                 // the file (in the parent)
    std::function<std::string(const std::string&)> run;  // reads it (in the child)
    Outcome expected;
};

std::string ExtractedSize(const std::string& bytes) {
    return std::to_string(ExtractBytes(bytes).Text.size());
}

// A zip whose 2,000 directory entries all name one member holding 8 MiB of
// zeros (8 KiB deflated): reading every member inflated it 2,000 times.
std::string ZipSharedMember() {
    test::ZipBuilder z;
    z.Add("a.txt", std::string(8 << 20, '\0'));
    for (int i = 0; i < 2000; ++i) {
        test::ZipMember m;
        m.name = "a.txt";
        m.data = "x";  // the central record's own sizes; the shared local header has the real ones
        m.localOffset = 0;
        z.members.push_back(m);
    }
    return z.Build();
}

std::string ReadEveryZipMember(const std::string& bytes) {
    TWorkBudgetScope budget(TWorkLimits{}, bytes.size());  // as `ls --read` and the readers do
    TZipArchive zip;
    zip.LoadFromBytes(bytes);
    int readable = 0;
    for (int i = 0; i < zip.Count(); ++i) {
        try {
            readable += !zip.GetUncompressed(i).empty();
        } catch (const EDamagedDocument&) {
        }
    }
    if (readable != 1) throw Exception("members readable: " + std::to_string(readable));
    return "1 member";
}

// A property set of 100,000 entries that all point at one 1 MB title.
std::string PropertiesSharingOneValue() {
    const uint32_t count = 100000;
    const std::string title(1 << 20, 'T');
    std::string header = std::string("\xFE\xFF\0\0", 4) + std::string(4, '\0') + std::string(16, '\0') +
                         std::string("\1\0\0\0", 4) + std::string(16, 'F') + std::string("\x30\0\0\0", 4);
    std::string section(8 + 8 * size_t{count}, '\0');
    uint32_t valueAt = static_cast<uint32_t>(section.size());
    for (uint32_t k = 0; k < count; ++k) {
        PutLe32(section, 8 + 8 * k, 2);  // the title's id
        PutLe32(section, 12 + 8 * k, valueAt);
    }
    std::string value(8, '\0');
    PutLe32(value, 0, 30);  // VT_LPSTR
    PutLe32(value, 4, static_cast<uint32_t>(title.size()));
    section += value + title;
    PutLe32(section, 0, static_cast<uint32_t>(section.size()));
    PutLe32(section, 4, count);
    return header + section;
}

std::string ReadProperties(const std::string& bytes) {
    TDTWordSummaryInformation info;
    ReadPropertySet(bytes, false, info);
    if (info.Title().size() != size_t{1} << 20) throw Exception("title lost");
    return "title";
}

// A PalmDoc book of one 1 MB uncompressed record and 4,000 record entries
// whose offsets run back and forth, each backward step handing the record
// the whole tail of the file.
std::string PalmDocBackwardOffsets() {
    test::PdbBuilder b;
    const uint16_t n = 4000;
    b.records.push_back(test::DocRecord0(1, 1 << 20, n));
    b.records.push_back(std::string(1 << 20, 'w'));
    for (int i = 2; i <= n; ++i) b.records.push_back("");
    std::string built = b.Build();
    // Patch the record list: record 0 at its place, then the text record's
    // offset and a smaller one, alternately.
    uint32_t rec0 = 0, text = 0;
    const size_t list = 78;
    for (int k = 0; k < 4; ++k) {
        rec0 = rec0 << 8 | static_cast<unsigned char>(built[list + k]);
        text = text << 8 | static_cast<unsigned char>(built[list + 8 + k]);
    }
    for (int i = 1; i <= n; ++i) {
        uint32_t off = i % 2 ? text : rec0;
        for (int k = 0; k < 4; ++k) built[list + 8 * i + k] = static_cast<char>(off >> (24 - 8 * k));
    }
    return built;
}

std::string ExtractNoLargerThanInput(const std::string& bytes) {
    std::string text = ExtractBytes(bytes).Text;
    if (text.size() > bytes.size()) throw Exception("text larger than the file: " + std::to_string(text.size()));
    return std::to_string(text.size());
}

// A Word document whose 4,000 pieces all read the same 64 KB of text.
std::string WordOverlappingPieces() {
    test::WordDocBuilder b;
    b.pieces.push_back({std::u16string(32768, u'x'), false});
    b.Layout();
    uint32_t fc = b.fcs[0];
    b.cps.assign(1, 0);
    b.fcs.clear();
    for (int i = 0; i < 4000; ++i) {
        b.fcs.push_back(fc);
        b.cps.push_back(b.cps.back() + 32768);
    }
    return b.Compound();
}

// A .docx whose document part is 40 MB of empty elements (40 KB deflated).
std::string DocxOfSmallTags() {
    std::string xml =
        "<?xml version=\"1.0\"?><w:document xmlns:w=\"http://schemas.openxmlformats.org/"
        "wordprocessingml/2006/main\"><w:body><w:p><w:r><w:t>start</w:t></w:r></w:p>";
    xml.reserve(41 << 20);
    for (int i = 0; i < 10000000; ++i) xml += "<a/>";
    xml += "</w:body></w:document>";
    return test::DocxOfDocument(std::move(xml));
}

// A compound file of 3,000 directory entries that all name the sectors of
// one 256 KB stream: reading every stream (`ls --read`) would copy it each
// time.
std::string CompoundSharedSectors() {
    CompoundFileBuilder cf;
    uint32_t big = cf.AddStream(u"big", std::string(256 << 10, 'b'));
    std::vector<uint32_t> small;
    for (int i = 0; i < 3000; ++i) small.push_back(cf.AddStream(u"s" + std::u16string(1, char16_t(0x4E00 + i)), "x"));
    std::string bytes = cf.Build();
    uint32_t start = cf.StartSector(big);
    for (uint32_t e : small) {
        size_t at = cf.DirEntryOffset(e);
        CompoundFileBuilder::Put32(bytes, at + 116, start);      // first sector
        CompoundFileBuilder::Put32(bytes, at + 120, 256 << 10);  // size
    }
    return bytes;
}

std::string ReadEveryStream(const std::string& bytes) {
    TWorkBudgetScope budget(TWorkLimits{}, bytes.size());
    auto cf = TCompoundFile::Open(bytes);
    size_t total = 0;
    for (const TStorageElement& e : cf->Root().Elements())
        if (e.Type == TStorageElementType::Stream) total += cf->Root().ReadStream(e.Name).size();
    return std::to_string(total);
}

TEST(HostileInputs, SmallFilesStayWithinTimeAndMemory) {
    const std::vector<HostileCase> cases = {
        {"zip entries sharing one member", ZipSharedMember, ReadEveryZipMember, kText},
        {"property set entries sharing one value", PropertiesSharingOneValue, ReadProperties, kText},
        {"PalmDoc offsets running backwards", PalmDocBackwardOffsets, ExtractNoLargerThanInput, kText},
        {"Word pieces over the same bytes", WordOverlappingPieces, ExtractedSize, kLimit},
        {"docx of 10 million empty elements", DocxOfSmallTags, ExtractedSize, kLimit},
        // The sector chains are walked with a record of their owners, so a
        // shared sector is found while the file opens.
        {"compound entries sharing sectors", CompoundSharedSectors, ReadEveryStream, kOtherError},
    };
    for (const HostileCase& c : cases) {
        std::string bytes = c.build();
        test::ChildRun m = RunCase([&] { return c.run(bytes); });
        std::printf("  %-40s %7zu bytes  peak %6ld KiB  cpu %.2f s  -> %s\n", c.name, bytes.size(),
                    m.peakKiB, m.seconds, m.exitCode == kLimit ? "limit" : m.message.c_str());
        EXPECT_NE(m.exitCode, kBadAlloc) << c.name;
        EXPECT_EQ(m.exitCode, c.expected) << c.name << ": " << m.message;
        if (test::kMeasuredBuild) {
            EXPECT_LT(m.peakKiB, 256 * 1024) << c.name;
            EXPECT_LT(m.seconds, 2.0) << c.name;
        }
    }
}

// Reading an endless source stops at the input limit with the limit kind.
TEST(HostileInputs, EndlessInputEndsAtTheInputLimit) {
    EXPECT_THROW(ReadInputBytes("/dev/zero", 1 << 20), ELimitError);
}

}  // namespace
}  // namespace quillmark
