// Small files built to cost a lot: shared data decoded over and over, forms
// drawing forms, object-stream entries aliasing one object, long /Prev
// chains, huge predictor rows and cross-reference streams. Each must end
// quickly, in bounded memory, with sane text or the work-limit error, and
// never with std::bad_alloc or another exception kind.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>

#include "quillmark/framework/code_pages.h"
#include "quillmark/framework/exception.h"
#include "quillmark/framework/work_budget.h"
#include "quillmark/pdf/pdf_filters.h"
#include "quillmark/pdf/pdf_reader.h"
#include "tests/support/pdf_builder.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QM_HOSTILE_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define QM_HOSTILE_SANITIZED 1
#endif

namespace quillmark {
namespace {

using test::Deflate;
using test::PdfBuilder;
using test::StreamObject;

constexpr const char* kFont = "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>";

long PeakRssKiB() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

// CPU seconds of this process: unlike the wall clock, not stretched by
// other work on a shared machine.
double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Pages sharing one content stream of about 1 MB (a few KB compressed):
// one line of text, then graphics operators. (What a page's text items
// cost is the content parser's to count; here the stream is the point.)
std::string SharedContentStream(int pages) {
    std::string content = "BT /F1 12 Tf 72 700 Td (shared) Tj ET\n";
    while (content.size() < (1u << 20)) content += "1 0 0 1 0 0 cm 10 10 m 20 20 l S\n";
    PdfBuilder b;
    b.Add(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Add(3, kFont);
    b.Add(4, StreamObject("/Filter /FlateDecode", Deflate(content)));
    std::string kids;
    for (int i = 0; i < pages; ++i) {
        int n = 10 + i;
        b.Add(n, "<< /Type /Page /Parent 2 0 R /Resources << /Font << /F1 3 0 R >> >> /Contents 4 0 R >>");
        kids += std::to_string(n) + " 0 R ";
    }
    b.Add(2, "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages) + " >>");
    return b.Build();
}

// Pages naming one large resource dictionary (1 MB, not compressed).
std::string SharedLargeResources(int pages) {
    PdfBuilder b;
    b.Add(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Add(3, kFont);
    b.Add(4, StreamObject("", "BT /F1 12 Tf 72 700 Td (page) Tj ET\n"));
    b.Add(5, "<< /Font << /F1 3 0 R >> /Junk (" + std::string(1 << 20, 'j') + ") >>");
    std::string kids;
    for (int i = 0; i < pages; ++i) {
        int n = 10 + i;
        b.Add(n, "<< /Type /Page /Parent 2 0 R /Resources 5 0 R /Contents 4 0 R >>");
        kids += std::to_string(n) + " 0 R ";
    }
    b.Add(2, "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages) + " >>");
    return b.Build();
}

// Forms 20..27: each draws the next one fanOut times; the last shows text.
std::string FormFanOut(int fanOut) {
    PdfBuilder b;
    b.Add(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Add(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    std::string xobjects;
    for (int i = 0; i < 8; ++i) xobjects += "/X" + std::to_string(i) + " " + std::to_string(20 + i) + " 0 R ";
    b.Add(3, "<< /Type /Page /Parent 2 0 R /Resources << /Font << /F1 5 0 R >> /XObject << " + xobjects +
                 ">> >> /Contents 4 0 R >>");
    b.Add(4, StreamObject("", "/X0 Do\n"));
    b.Add(5, kFont);
    for (int i = 0; i < 8; ++i) {
        std::string body;
        if (i == 7) {
            body = "BT /F1 12 Tf 72 700 Td (leaf) Tj ET\n";
        } else {
            for (int k = 0; k < fanOut; ++k) body += "/X" + std::to_string(i + 1) + " Do\n";
        }
        b.Add(20 + i, StreamObject("/Type /XObject /Subtype /Form /BBox [0 0 612 792]", body));
    }
    return b.Build();
}

// An object stream whose many entries all start at the same offset, in
// front of one large object; the page tree names every entry. There is no
// cross-reference section, so the objects are found by the repair scan.
std::string AliasedObjectStreamEntries(int entries) {
    std::string header;
    for (int i = 0; i < entries; ++i) header += std::to_string(1000 + i) + " 0 ";
    std::string big = "<< /Type /Page /Junk (" + std::string(1 << 20, 'a') + ") >>";
    std::string data = header + big;
    std::string kids;
    for (int i = 0; i < entries; ++i) kids += std::to_string(1000 + i) + " 0 R ";
    std::string out = "%PDF-1.5\n";
    out += "1 0 obj << /Type /Catalog /Pages 2 0 R >> endobj\n";
    out += "2 0 obj << /Type /Pages /Kids [" + kids + "] >> endobj\n";
    out += "3 0 obj " +
           StreamObject("/Type /ObjStm /N " + std::to_string(entries) + " /First " + std::to_string(header.size()) +
                            " /Filter /FlateDecode",
                        Deflate(data)) +
           " endobj\n";
    out += "trailer << /Root 1 0 R >>\n%%EOF\n";
    return out;
}

// A valid file followed by a long chain of updates whose trailers are never
// closed; each names the previous one with /Prev.
std::string UnclosedTrailerChain(int sections) {
    PdfBuilder b;
    b.Add(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Add(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.Add(3, "<< /Type /Page /Parent 2 0 R /Resources << /Font << /F1 5 0 R >> >> /Contents 4 0 R >>");
    b.Add(4, StreamObject("", "BT /F1 12 Tf 72 700 Td (chained) Tj ET\n"));
    b.Add(5, kFont);
    std::string file = b.Build();
    file.resize(file.rfind("startxref"));
    int64_t prev = b.XRefOffset();
    for (int i = 0; i < sections; ++i) {
        int64_t at = static_cast<int64_t>(file.size());
        file += "xref\n0 0\ntrailer\n<< /Root 1 0 R /Prev " + std::to_string(prev) + "\n";
        prev = at;
    }
    file += "startxref\n" + std::to_string(prev) + "\n%%EOF\n";
    return file;
}

// A content stream with a PNG predictor whose row would be 1 GiB.
std::string HugePredictorRow() {
    PdfBuilder b;
    b.Add(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Add(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.Add(3, "<< /Type /Page /Parent 2 0 R /Resources << /Font << /F1 5 0 R >> >> /Contents 4 0 R >>");
    std::string rows = std::string(1, '\0') + "BT /F1 12 Tf 72 700 Td (row) Tj ET\n";
    b.Add(4, StreamObject("/Filter /FlateDecode /DecodeParms << /Predictor 12 /Columns 16777216 /Colors 32 "
                          "/BitsPerComponent 16 >>",
                          Deflate(rows)));
    b.Add(5, kFont);
    return b.Build();
}

// A cross-reference stream of two million entries (/W [1 8 8]) that
// deflates to a few tens of KB.
std::string HugeXRefStream() {
    PdfBuilder b;
    b.Add(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Add(2, "<< /Type /Pages /Kids [] /Count 0 >>");
    std::string file = b.Build();
    file.resize(static_cast<size_t>(b.XRefOffset()));
    const size_t n = 2000000;
    std::string entries(n * 17, '\0');
    auto put = [&](size_t k, uint64_t type, uint64_t a) {
        entries[k * 17] = static_cast<char>(type);
        for (int j = 0; j < 8; ++j) entries[k * 17 + 1 + j] = static_cast<char>(a >> (8 * (7 - j)));
    };
    put(1, 1, static_cast<uint64_t>(b.OffsetOf(1)));
    put(2, 1, static_cast<uint64_t>(b.OffsetOf(2)));
    int64_t at = static_cast<int64_t>(file.size());
    file += "9 0 obj\n" +
            StreamObject("/Type /XRef /Size " + std::to_string(n) + " /W [1 8 8] /Root 1 0 R /Filter /FlateDecode",
                         Deflate(entries)) +
            "\nendobj\nstartxref\n" + std::to_string(at) + "\n%%EOF\n";
    return file;
}

// Filters applied one after another: each stage multiplies the last.
std::string StackedFilters(const std::string& filters, const std::string& data) {
    PdfBuilder b;
    b.Add(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Add(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.Add(3, "<< /Type /Page /Parent 2 0 R /Contents 4 0 R >>");
    b.Add(4, StreamObject("/Filter [" + filters + "]", data));
    return b.Build();
}

std::string RunLengthOfRuns(size_t inputBytes) {
    std::string rl;
    while (rl.size() < inputBytes) rl += std::string("\x81", 1) + "x";  // 128 × 'x'
    return rl + "\x80";
}

enum class Expect { Text, Limit };

struct HostileCase {
    const char* name;
    std::function<std::string()> build;
    Expect expect;
    const char* text;  // with Expect::Text: a word the output must hold
};

TEST(PdfHostile, EndsFastInBoundedMemoryWithTextOrTheLimitError) {
    const HostileCase cases[] = {
        {"pages sharing one content stream", [] { return SharedContentStream(3); }, Expect::Text, "shared"},
        {"2000 pages sharing one 1 MB stream", [] { return SharedContentStream(2000); }, Expect::Limit, nullptr},
        {"2000 pages naming one 1 MB resource object", [] { return SharedLargeResources(2000); }, Expect::Limit,
         nullptr},
        {"forms drawing forms 40 times, 8 deep", [] { return FormFanOut(40); }, Expect::Limit, nullptr},
        {"forms drawing forms twice", [] { return FormFanOut(2); }, Expect::Text, "leaf"},
        {"object-stream entries aliasing one 1 MB object", [] { return AliasedObjectStreamEntries(3000); },
         Expect::Limit, nullptr},
        {"20000 unclosed trailers on a /Prev chain", [] { return UnclosedTrailerChain(20000); }, Expect::Text,
         "chained"},
        {"a 1 GiB predictor row", HugePredictorRow, Expect::Text, "row"},
        // Entries beyond what a file of this size can hold are not kept.
        {"a cross-reference stream of 2e6 entries", HugeXRefStream, Expect::Text, nullptr},
        // Runs of 0x81 that are themselves runs of 0x81: 64 × 64 bytes out per 2 in.
        {"RunLength over RunLength", [] { return StackedFilters("/RunLengthDecode /RunLengthDecode",
                                                                 std::string(20000, '\x81') + "\x80"); },
         Expect::Limit, nullptr},
        {"Flate over Flate of 80 MB", [] { return StackedFilters("/FlateDecode /FlateDecode",
                                                                  Deflate(Deflate(std::string(80u << 20, ' ')))); },
         Expect::Limit, nullptr},
    };
    for (const HostileCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::string file = c.build();
        EXPECT_LT(file.size(), 8u << 20) << "the hostile file itself stays small";
        long before = PeakRssKiB();
        double start = CpuSeconds();
        TDTPDFReader r;
        bool limited = false;
        try {
            r.LoadFromBytes(file);
        } catch (const ELimitError& e) {
            limited = true;
            EXPECT_NE(std::string(e.what()).find("PDF"), std::string::npos) << "names what ran over: " << e.what();
        }
        // Any other exception (std::bad_alloc included) fails the test here.
        double seconds = CpuSeconds() - start;
        long grownMiB = (PeakRssKiB() - before) / 1024;
        std::cout << "[ hostile ] " << c.name << ": " << seconds << " s CPU, peak +" << grownMiB << " MiB, "
                  << (limited ? "limit error" : "text") << "\n";
        EXPECT_EQ(limited, c.expect == Expect::Limit);
        if (!limited) {
            std::string text = Utf16ToUtf8(r.Text().Text());
            EXPECT_LE(text.size(), file.size() * 64 + (64u << 20));
            if (c.text) {
                EXPECT_NE(text.find(c.text), std::string::npos) << text.substr(0, 200);
            }
        }
#if defined(NDEBUG) && !defined(QM_HOSTILE_SANITIZED)
        EXPECT_LT(seconds, 2.0);
        EXPECT_LT(grownMiB, 256);
#endif
    }
}

// Whatever the limits, a real file either reads or stops with the limit
// error: every counted path turns an overrun into ELimitError.
// A content stream on every page and a form every page draws: each stream
// is decoded at most twice (a stream is kept from its second use on, so
// streams used once are not held), and every use is still counted against
// the load's budget.
TEST(PdfHostile, SharedStreamsAreKeptAndEveryUseIsCounted) {
    const size_t kPages = 10;
    std::string content = "BT /F1 12 Tf 72 700 Td (shared) Tj ET /Fm0 Do\n";
    while (content.size() < 20000) content += "% padding of the page stream\n";
    std::string form = "BT /F1 12 Tf 72 600 Td (drawn) Tj ET\n";
    while (form.size() < 10000) form += "% padding of the form\n";
    PdfBuilder b;
    b.Add(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Add(3, kFont);
    b.Add(4, StreamObject("/Filter /FlateDecode", Deflate(content)));
    b.Add(5, StreamObject("/Type /XObject /Subtype /Form /BBox [0 0 612 792] /Filter /FlateDecode", Deflate(form)));
    std::string kids;
    for (size_t i = 0; i < kPages; ++i) {
        int n = 10 + static_cast<int>(i);
        b.Add(n, "<< /Type /Page /Parent 2 0 R /Resources << /Font << /F1 3 0 R >> /XObject << /Fm0 5 0 R >> >> "
                 "/Contents 4 0 R >>");
        kids += std::to_string(n) + " 0 R ";
    }
    b.Add(2, "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(kPages) + " >>");
    std::string file = b.Build();

    // The load spends from this budget, which outlives it.
    TWorkBudgetScope scope(TWorkLimits::Unlimited(), file.size());
    TDTPDFReader r;
    r.LoadFromBytes(file);
    const TWorkBudget& spent = *CurrentWorkBudget();

    std::string text = Utf16ToUtf8(r.Text().Text());
    auto count = [&](const std::string& word) {
        size_t n = 0;
        for (size_t p = text.find(word); p != std::string::npos; p = text.find(word, p + 1)) ++n;
        return n;
    };
    EXPECT_EQ(count("shared"), kPages);
    EXPECT_EQ(count("drawn"), kPages);
    uint64_t inflated = spent.DecodedOn("PDF Flate stream");
    EXPECT_GE(inflated, content.size() + form.size());
    EXPECT_LE(inflated, 2 * (content.size() + form.size())) << "shared streams inflated again and again";
    EXPECT_GE(inflated + spent.DecodedOn("PDF content streams"), kPages * content.size())
        << "a page's use of a kept stream is not counted";
    EXPECT_GE(spent.DecodedOn("PDF form XObjects drawn"), kPages * form.size());
    EXPECT_EQ(spent.DecodedOn("no such decoder"), 0u);
}

TEST(PdfHostile, TightLimitsGiveTheLimitErrorAndNothingElse) {
    namespace fs = std::filesystem;
    int files = 0, limited = 0;
    for (const auto& entry : fs::directory_iterator(fs::path(QUILLMARK_TEST_DATA) / "pdf")) {
        if (entry.path().extension() != ".pdf") continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        std::string bytes = ss.str();
        for (uint64_t base : {uint64_t{0}, uint64_t{4096}}) {
            SCOPED_TRACE(entry.path().filename().string() + " base " + std::to_string(base));
            TDTPDFReader r;
            TWorkLimits limits;
            limits.DecodedPerInputByte = 1;
            limits.DecodedBase = base;
            limits.ItemsPerInputByte = 0;
            limits.ItemsBase = 64;
            r.SetWorkLimits(limits);
            try {
                r.LoadFromBytes(bytes);
            } catch (const ELimitError&) {
                ++limited;
            } catch (const Exception&) {
                // Damaged samples and wrong passwords keep their own errors.
            }
        }
        ++files;
    }
    EXPECT_GT(files, 5);
    EXPECT_GT(limited, 0);
}

// The decoders charge their output wherever they are called from.
TEST(PdfHostile, EveryFilterChargesItsOutput) {
    TWorkLimits limits;
    limits.DecodedPerInputByte = 0;
    limits.DecodedBase = 1000;
    const std::string flate = Deflate(std::string(5000, 'a'));
    const std::string rl = RunLengthOfRuns(100);
    const std::string hex(4000, 'a');
    const std::string a85(1000, 'z');
    TDTPDFDecodeParms png;
    png.Predictor = 12;
    png.Columns = 4;
    const std::function<void()> decoders[] = {
        [&] { PdfFlateDecode(flate); },
        [&] { PdfRunLengthDecode(rl); },
        [&] { PdfASCIIHexDecode(hex); },
        [&] { PdfASCII85Decode(a85); },
        [&] { PdfApplyPredictor(std::string(1500, '\0'), png); },
    };
    for (size_t i = 0; i < std::size(decoders); ++i) {
        SCOPED_TRACE(i);
        TWorkBudgetScope scope(limits, 0);
        EXPECT_THROW(decoders[i](), ELimitError);
    }
    // Outside a load nothing is counted.
    EXPECT_EQ(PdfFlateDecode(flate).size(), 5000u);
}

}  // namespace
}  // namespace quillmark

namespace quillmark {
namespace {

// The reader's own dictionary lookups take the key of the dictionary
// itself, never the same key of a dictionary nested in it, nor text inside
// a string or an array.
TEST(PdfEntryKey, NestedDictionariesStringsAndArraysDoNotMatch) {
    struct Row {
        const char* text;
        const char* key;
        const char* value;  // PdfEntryValue
    };
    const Row rows[] = {
        {"<< /decodeparms << /length 3 >> /length 40 >>", "/length", "40"},
        {"<< /fontdescriptor << /type /fontdescriptor >> /type /font >>", "/type", "/font"},
        {"<< /t (/length 9) /a [/length 8] /length 7 >>", "/length", "7"},
        {"<< /t (a \\) /length 9) /length 7 >>", "/length", "7"},
        {"<< /id <2f6c656e677468> /length 6 >>", "/length", "6"},
        {"<< /length1 5 /length 6 >>", "/length", "6"},
        {"<< /a << /length 3 >> >> /length 40", "/length", ""},  // after the dictionary: not its key
        {"/filter /flatedecode /length 12", "/length", "12"},     // bare entries
        {"<< /a 1 >>", "/length", ""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.text);
        EXPECT_EQ(PdfEntryValue(r.text, r.key), r.value);
    }
    EXPECT_EQ(PdfEntryBracketValue("<< /a << /w [9 9 9] >> /w [1 2 1] >>", "/w"), "1 2 1");
    // The text-level rule of the exported functions is unchanged: first match.
    EXPECT_EQ(PdfValue("<< /decodeparms << /length 3 >> /length 40 >>", "/length"), "3");
}

// A stream whose /DecodeParms holds a /Length of its own: the stream's
// /Length is the outer one. The data holds the word "endstream", so a
// wrong length (which sends the reader looking for the keyword) loses text.
TEST(PdfEntryKey, StreamLengthIsTheOuterOne) {
    PdfBuilder b;
    b.Add(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Add(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.Add(3, "<< /Type /Page /Parent 2 0 R /Resources << /Font << /F1 5 0 R >> >> /Contents 4 0 R >>");
    const std::string content = "BT /F1 12 Tf 72 700 Td (endstream kept) Tj ET";
    b.Add(4, StreamObject("/DecodeParms << /Length 2 >>", content));
    b.Add(5, kFont);
    TDTPDFReader r;
    r.LoadFromBytes(b.Build());
    EXPECT_NE(Utf16ToUtf8(r.Text().Text()).find("endstream kept"), std::string::npos);
    TDTPDFFilterContent fc = r.GetFilterContent(r.GetBodyByRefNo(4));
    EXPECT_EQ(fc.Length, static_cast<int32_t>(content.size()));
}

// The reader decodes a stream through its parsed dictionary: indirect
// /Length, /Filter and /DecodeParms are followed, a key inside /DecodeParms
// is not the stream's, and keys are taken in their exact case.
TEST(PdfEntryKey, StreamDictionariesAreReadAsValues) {
    const std::string plain = "0123456789abcdef0123456789ABCDEF";
    // PNG rows of 8 bytes, each with the "None" row filter (a 0 byte): the
    // rows come back only when the parameters were applied.
    std::string rows;
    for (size_t i = 0; i < plain.size(); i += 8) rows += std::string(1, '\0') + plain.substr(i, 8);
    const std::string packed = Deflate(rows);
    // A stream object whose /Length is given by ref (the builder's own is
    // replaced).
    auto stream = [](const std::string& entries, const std::string& data) {
        return "<< " + entries + " >>\nstream\n" + data + "\nendstream";
    };
    struct Row {
        const char* what;
        std::string entries;
        std::string expected;
    };
    const Row rows_[] = {
        {"all direct", "/Length " + std::to_string(packed.size()) +
                           " /Filter /FlateDecode /DecodeParms << /Predictor 12 /Columns 8 >>", plain},
        {"all indirect", "/Length 20 0 R /Filter 21 0 R /DecodeParms 22 0 R", plain},
        {"array of one, parameters in an array", "/Filter [/FlateDecode] /DP [<< /Predictor 12 /Columns 8 >>]", plain},
        {"a /Filter inside the parameters is theirs",
         "/DecodeParms << /Predictor 12 /Columns 8 /Filter /ASCIIHexDecode >> /Filter /FlateDecode", plain},
        {"keys in another case are other keys", "/filter /FlateDecode", packed},
    };
    const std::string length = "/Length " + std::to_string(packed.size()) + " ";
    PdfBuilder b;
    b.Add(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Add(2, "<< /Type /Pages /Kids [] /Count 0 >>");
    b.Add(20, std::to_string(packed.size()));
    b.Add(21, "[/FlateDecode]");
    b.Add(22, "[<< /Predictor 12 /Columns 8 >>]");
    for (size_t i = 0; i < std::size(rows_); ++i) {
        // Streams whose entries do not give /Length get it written out.
        bool indirect = rows_[i].entries.find("/Length") != std::string::npos;
        b.Add(static_cast<int32_t>(10 + i), stream((indirect ? "" : length) + rows_[i].entries, packed));
    }
    TDTPDFReader r;
    r.LoadFromBytes(b.Build());
    for (size_t i = 0; i < std::size(rows_); ++i) {
        SCOPED_TRACE(rows_[i].what);
        EXPECT_EQ(r.GetDecodedStream(static_cast<int32_t>(10 + i)), rows_[i].expected);
    }
}

// The reader's own stream decoding (the parsed dictionary) and the
// text-level functions it exports (GetFilterContent + GetStreamContent) are
// two readings of the same dictionary: on well-formed streams they must give
// the same data. Random filter chains (Flate with and without a PNG
// predictor, ASCIIHex, RunLength), written as a name or an array, with
// parameters inline, in an array with nulls or indirect, and /Length
// direct or indirect, among other entries in random order.
TEST(PdfEntryKey, ParsedAndTextStreamReadingsAgreeOnRandomStreams) {
    std::mt19937 rng(20261208);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    struct Step {
        std::string name, parms;
        std::function<std::string(const std::string&)> encode;
    };
    auto hex = [](const std::string& d) {
        static const char* digits = "0123456789ABCDEF";
        std::string out;
        for (unsigned char c : d) out += {digits[c >> 4], digits[c & 15]};
        return out + ">";
    };
    auto runLength = [](const std::string& d) {
        std::string out;
        for (size_t i = 0; i < d.size(); i += 128) {
            std::string chunk = d.substr(i, 128);
            out += static_cast<char>(chunk.size() - 1);
            out += chunk;
        }
        return out + static_cast<char>(128);
    };
    auto png = [](size_t columns) {
        return [columns](const std::string& d) {
            std::string rows;
            for (size_t i = 0; i < d.size(); i += columns) rows += '\0' + d.substr(i, columns);
            return Deflate(rows);
        };
    };
    PdfBuilder b;
    b.Add(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.Add(2, "<< /Type /Pages /Kids [] /Count 0 >>");
    std::vector<std::string> plains;
    constexpr int kStreams = 150;
    for (int n = 0; n < kStreams; ++n) {
        std::string plain;
        for (int k = pick(300) + 1; k > 0; --k) plain += static_cast<char>(pick(256));
        std::vector<Step> steps;
        for (int k = pick(4); k > 0; --k) {
            switch (pick(4)) {
                case 0: steps.push_back({"/FlateDecode", "", [](const std::string& d) { return Deflate(d); }}); break;
                case 1: steps.push_back({"/ASCIIHexDecode", "", hex}); break;
                case 2: steps.push_back({"/RunLengthDecode", "", runLength}); break;
                default: {
                    size_t columns = static_cast<size_t>(pick(12) + 1);
                    steps.push_back({"/FlateDecode", "<< /Predictor 12 /Columns " + std::to_string(columns) + " >>",
                                     png(columns)});
                }
            }
        }
        // The data is encoded by the last filter first.
        std::string data = plain;
        for (size_t k = steps.size(); k-- > 0;) data = steps[k].encode(data);
        std::vector<std::string> entries = {"/Type /XObject", "/Subtype /Form", "/BBox [0 0 10 10]"};
        int32_t objNumber = 10 + 3 * n;
        if (pick(2)) {
            b.Add(objNumber + 1, std::to_string(data.size()));
            entries.push_back("/Length " + std::to_string(objNumber + 1) + " 0 R");
        } else {
            entries.push_back("/Length " + std::to_string(data.size()));
        }
        bool anyParms = false;
        for (const Step& st : steps) anyParms = anyParms || !st.parms.empty();
        if (steps.size() == 1 && pick(2)) {
            entries.push_back("/Filter " + steps[0].name);
            if (anyParms) entries.push_back("/DecodeParms " + steps[0].parms);
        } else if (!steps.empty()) {
            std::string names = "/Filter [", parms = "[";
            for (const Step& st : steps) {
                names += st.name + " ";
                parms += (st.parms.empty() ? std::string("null") : st.parms) + " ";
            }
            entries.push_back(names + "]");
            if (anyParms && pick(2)) {
                b.Add(objNumber + 2, parms + "]");
                entries.push_back("/DecodeParms " + std::to_string(objNumber + 2) + " 0 R");
            } else if (anyParms) {
                entries.push_back("/DecodeParms " + parms + "]");
            }
        }
        std::shuffle(entries.begin(), entries.end(), rng);
        std::string dict;
        for (const std::string& e : entries) dict += e + " ";
        b.Add(objNumber, "<< " + dict + ">>\nstream\n" + data + "\nendstream");
        plains.push_back(plain);
    }
    TDTPDFReader r;
    r.LoadFromBytes(b.Build());
    for (int n = 0; n < kStreams; ++n) {
        SCOPED_TRACE(n);
        int32_t objNumber = 10 + 3 * n;
        std::string body = r.GetBodyByRefNo(objNumber);
        EXPECT_EQ(r.GetDecodedStream(objNumber), plains[n]);
        TDTPDFFilterContent fc = r.GetFilterContent(body);
        int32_t hint = fc.Length1;
        EXPECT_EQ(r.GetStreamContent("", body, fc.Length, hint, objNumber), plains[n]);
        EXPECT_EQ(hint, static_cast<int32_t>(plains[n].size()));
    }
}

// A damaged file (no cross-reference data, no trailer) whose catalog holds
// a nested dictionary with its own /Type before the catalog's: the repair
// still finds the catalog.
TEST(PdfEntryKey, RepairFindsACatalogWithANestedType) {
    std::string file = "%PDF-1.4\n"
                       "1 0 obj << /ViewerPreferences << /Type /ViewerPreferences >> /Type /Catalog /Pages 2 0 R >> endobj\n"
                       "2 0 obj << /Type /Pages /Kids [3 0 R] /Count 1 >> endobj\n"
                       "3 0 obj << /Type /Page /Parent 2 0 R /Resources << /Font << /F1 5 0 R >> >> /Contents 4 0 R >> endobj\n"
                       "4 0 obj " + StreamObject("", "BT /F1 12 Tf 72 700 Td (repaired) Tj ET") + " endobj\n"
                       "5 0 obj " + std::string(kFont) + " endobj\n%%EOF\n";
    TDTPDFReader r;
    r.LoadFromBytes(file);
    EXPECT_TRUE(r.Repaired());
    EXPECT_EQ(r.GetRootTag(), "1");
    EXPECT_NE(Utf16ToUtf8(r.Text().Text()).find("repaired"), std::string::npos);
}

}  // namespace
}  // namespace quillmark
