// Real compound files (Word 6 to 2003 documents, OLE-wrapped encrypted
// packages) against the listings python3-olefile made of them
// (tests/tools/make_compound_listings.py): every storage and stream with its
// size and SHA-256, and the summary metadata.
#include <gtest/gtest.h>
#include <openssl/sha.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "quillmark/framework/code_pages.h"
#include "quillmark/framework/compound_file.h"
#include "quillmark/framework/property_set.h"
#include "quillmark/framework/stream.h"
#include "support/scoped_time_zone.h"
#include "support/test_support.h"

namespace quillmark {
namespace {

namespace fs = std::filesystem;

std::string Sha256Hex(const std::string& data) {
    unsigned char md[SHA256_DIGEST_LENGTH];
    SHA256(reinterpret_cast<const unsigned char*>(data.data()), data.size(), md);
    std::string hex;
    char buf[3];
    for (unsigned char c : md) {
        std::snprintf(buf, sizeof buf, "%02x", c);
        hex += buf;
    }
    return hex;
}

// As the listing script writes names: control characters, '\', '/' and tab
// as \ooo; the rest as UTF-8.
std::string EscapeName(const std::u16string& name) {
    std::string out;
    for (char16_t c : name) {
        if (c < 0x20 || c == u'\\' || c == u'/' || c == u'\t' || c == 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\%03o", unsigned(c));
            out += buf;
        } else {
            out += Utf16ToUtf8(std::u16string(1, c));
        }
    }
    return out;
}

// Also counts the streams read in place (views of the file's bytes).
void ListStorage(const TCompoundStorage& s, const std::string& prefix, std::vector<std::string>& out,
                 std::string_view fileBytes, int& inPlace) {
    for (const auto& e : s.Elements()) {
        std::string path = prefix + EscapeName(e.Name);
        if (e.Type == TStorageElementType::Storage) {
            out.push_back("storage\t" + path);
            ListStorage(s.OpenStorage(e.Name), path + "/", out, fileBytes, inPlace);
        } else {
            std::string data = s.ReadStream(e.Name);
            EXPECT_EQ(data.size(), e.Size) << path;
            // The view gives the same bytes, in place or copied.
            std::string scratch;
            std::string_view view = s.ReadStreamView(e.Name, scratch);
            EXPECT_EQ(view, data) << path;
            if (!view.empty() && view.data() >= fileBytes.data() &&
                view.data() + view.size() <= fileBytes.data() + fileBytes.size())
                ++inPlace;
            out.push_back("stream\t" + path + "\t" + std::to_string(data.size()) + "\t" +
                          Sha256Hex(data));
        }
    }
}

std::string Escaped(const std::u16string& s) {
    std::string out;
    for (char c : Utf16ToUtf8(s)) {
        if (c == '\\') out += "\\\\";
        else if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else if (c == '\t') out += "\\t";
        else out += c;
    }
    return out;
}

std::map<std::string, std::string> MetaOf(const TDTWordSummaryInformation& s) {
    auto date = [](TDateTime d) { return d == 0 ? std::string("null") : DateTimeToIso8601(d); };
    return {{"AppName", Escaped(s.AppName())}, {"Author", Escaped(s.Author())},
            {"CharCount", std::to_string(s.CharCount())}, {"Comments", Escaped(s.Comments())},
            {"Created", date(s.Created())}, {"EditTime", std::to_string(s.EditTime())},
            {"Keywords", Escaped(s.Keywords())}, {"LastAuthor", Escaped(s.LastAuthor())},
            {"LastPrinted", date(s.LastPrinted())}, {"LastSaved", date(s.LastSaved())},
            {"PageCount", std::to_string(s.PageCount())}, {"RevNumber", Escaped(s.RevNumber())},
            {"Subject", Escaped(s.Subject())}, {"Template", Escaped(s.Template())},
            {"Title", Escaped(s.Title())}, {"WordCount", std::to_string(s.WordCount())},
            {"Category", Escaped(s.Category())},
            {"PresentationTarget", Escaped(s.PresentationTarget())},
            {"ByteCount", std::to_string(s.ByteCount())}, {"LineCount", std::to_string(s.LineCount())},
            {"ParagraphCount", std::to_string(s.ParagraphCount())},
            {"SlideCount", std::to_string(s.SlideCount())}, {"NoteCount", std::to_string(s.NoteCount())},
            {"HiddenSlideCount", std::to_string(s.HiddenSlideCount())},
            {"MMClipCount", std::to_string(s.MMClipCount())}, {"Manager", Escaped(s.Manager())},
            {"Company", Escaped(s.Company())}, {"CharCount2", std::to_string(s.CharCount2())}};
}

// The shared corpus: $QUILLMARK_CORPUS, or ../shared/corpus beside the clone.
fs::path CorpusDir() {
    if (const char* env = std::getenv("QUILLMARK_CORPUS")) return env;
    for (fs::path p : {fs::path(QUILLMARK_TEST_DATA) / "../../../shared/corpus",
                       fs::path("/work/shared/corpus")})
        if (fs::is_directory(p)) return p;
    return {};
}

TEST(CompoundFileRealFiles, AgreeWithOlefileListings) {
    test::ScopedTimeZone utc("UTC");  // the listings hold UTC times
    fs::path dir = fs::path(QUILLMARK_TEST_DATA) / "compound";
    fs::path corpus = CorpusDir();
    int checked = 0, skipped = 0, inPlace = 0;
    std::vector<fs::path> listings;
    for (const auto& entry : fs::directory_iterator(dir))
        if (entry.path().extension() == ".listing") listings.push_back(entry.path());
    std::sort(listings.begin(), listings.end());
    ASSERT_GE(listings.size(), 50u);
    for (const fs::path& listing : listings) {
        SCOPED_TRACE(listing.filename().string());
        std::ifstream in(listing);
        std::string line, source;
        std::vector<std::string> expectedTree;
        std::map<std::string, std::string> expectedMeta;
        while (std::getline(in, line)) {
            if (line.rfind("source\t", 0) == 0) source = line.substr(7);
            else if (line.rfind("meta\t", 0) == 0) {
                size_t tab = line.find('\t', 5);
                expectedMeta[line.substr(5, tab - 5)] = line.substr(tab + 1);
            } else if (line.rfind("stream\t", 0) == 0 || line.rfind("storage\t", 0) == 0)
                expectedTree.push_back(line);
        }
        fs::path local = dir / "files" / fs::path(source).filename();
        fs::path file = fs::exists(local) ? local : corpus / source;
        if (!fs::exists(file)) {
            ASSERT_TRUE(corpus.empty()) << "missing from the corpus: " << source;
            ++skipped;
            continue;
        }
        // Opened over the caller's bytes, as the readers open them.
        std::string bytes = ReadFileBytes(file.string());
        auto cf = TCompoundFile::OpenView(bytes);
        std::vector<std::string> tree;
        ListStorage(cf->Root(), "", tree, bytes, inPlace);
        std::sort(tree.begin(), tree.end());
        std::sort(expectedTree.begin(), expectedTree.end());
        EXPECT_EQ(tree, expectedTree);

        TDTWordSummaryInformation info;
        ReadSummaryInformation(cf->Root(), info);
        for (const auto& [key, value] : MetaOf(info)) {
            auto it = expectedMeta.find(key);
            std::string expected = it != expectedMeta.end() ? it->second
                                   : key == "Created" || key == "LastSaved" || key == "LastPrinted"
                                       ? "null"
                                   : value.empty() || value == "0" ? value
                                                                   : "(absent)";
            EXPECT_EQ(value, expected) << key;
        }
        ++checked;
    }
    std::printf("[ compound ] %d files agree with olefile, %d skipped (no corpus), %d streams read in place\n",
                checked, skipped, inPlace);
    EXPECT_GE(checked, 7);
    EXPECT_GT(inPlace, 0);
}

}  // namespace
}  // namespace quillmark
