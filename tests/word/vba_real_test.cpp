// Real documents with macros: every module's name and source against what
// LibreOffice's VBA import keeps of them (tests/tools/make_vba_expected.py),
// through both Word readers and the container search; and damaged copies of
// them (cut and flipped), which must end in a result or an exception.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <sstream>

#include "quillmark/framework/code_pages.h"
#include "quillmark/framework/exception.h"
#include "quillmark/framework/limits.h"
#include "quillmark/framework/stream.h"
#include "quillmark/word/vba_project.h"
#include "quillmark/word/word_bin_file.h"
#include "quillmark/word/word_xml_file.h"
#include "support/test_support.h"

namespace quillmark {
namespace {

using Modules = std::map<std::string, std::string>;

// "@@ NAME" lines start modules; the lines after them are the source.
Modules ReadExpected(const std::string& name) {
    Modules m;
    std::istringstream in(test::ReadDataFile("vba/" + name + ".modules.txt"));
    std::string line, current;
    while (std::getline(in, line)) {
        if (line.rfind("@@ ", 0) == 0) {
            current = line.substr(3);
            m[current];
        } else {
            m[current] += line + "\n";
        }
    }
    return m;
}

// Our sources on the same footing: LF line ends, no "Attribute" lines (the
// module's "Attribute VB_Name ..." and a procedure's "Attribute
// Name.VB_Description ..." alike), no trailing empty lines.
Modules Normalise(const TVBAProjectItems& items, int codePage) {
    Modules m;
    for (const auto& item : items) {
        if (item->Body.empty()) continue;
        std::string text = Utf16ToUtf8(MultiByteToWide(item->Body, codePage));
        std::istringstream in(text);
        std::string line, out;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.rfind("Attribute ", 0) == 0) continue;
            out += line + "\n";
        }
        while (out.size() >= 2 && out.compare(out.size() - 2, 2, "\n\n") == 0) out.pop_back();
        if (out == "\n") out.clear();
        m[Utf16ToUtf8(item->ModuleName)] = out;
    }
    return m;
}

const char* const kSamples[] = {"poi_SimpleMacro.doc", "tika_testWORD_macros.doc", "poi_SimpleMacro.docm",
                                "tika_testWORD_macros.docm"};

TEST(VbaRealDocuments, ModulesMatchLibreOffice) {
    for (const char* name : kSamples) {
        SCOPED_TRACE(name);
        std::string file = test::DataPath(std::string("vba/") + name);
        std::unique_ptr<TCustomWordFile> reader;
        if (std::string(name).back() == 'm')
            reader = std::make_unique<TWordXmlFile>();
        else
            reader = std::make_unique<TWordBinFile>();
        reader->SetParseItems({wpiText, wpiVBA});
        reader->LoadFromFile(file);
        Modules expected = ReadExpected(name);
        ASSERT_FALSE(expected.empty());
        EXPECT_EQ(Normalise(reader->VBAProjectItems(), reader->VBACodePage()), expected);
        // The listing names every module with source.
        std::string listing = Utf16ToUtf8(reader->MacroText().Text());
        for (const auto& [module, source] : expected)
            EXPECT_NE(listing.find("'  Macro(s) from " + module + "\r\n"), std::string::npos) << module;

        // The container search finds the same project.
        TVBAProject project;
        ASSERT_TRUE(ReadDocumentVBAProject(ReadFileBytes(file), project));
        EXPECT_TRUE(project.FromDir);
        EXPECT_EQ(Normalise(project.Items, project.CodePage), expected);
    }
}

TEST(VbaRealDocuments, DamagedCopiesEndInAResultOrAnException) {
    SetMaxOutputBytes(size_t{16} << 20);
    std::mt19937 rng(11);
    for (const char* name : kSamples) {
        SCOPED_TRACE(name);
        const std::string bytes = ReadFileBytes(test::DataPath(std::string("vba/") + name));
        for (int round = 0; round < 150; ++round) {
            std::string damaged = bytes;
            if (round % 3 == 0) {
                damaged.resize(rng() % bytes.size());
            } else {
                for (int flips = 1 + rng() % 8; flips > 0; --flips)
                    damaged[rng() % damaged.size()] = static_cast<char>(rng());
            }
            try {
                TVBAProject project;
                if (ReadDocumentVBAProject(damaged, project)) {
                    TWideStrings listing;
                    AppendMacroListing(project.Items, project.CodePage, listing);
                    size_t total = 0;
                    for (const auto& item : project.Items) total += item->Body.size();
                    EXPECT_LE(total, size_t{16} << 20);
                }
            } catch (const Exception&) {
            }
        }
    }
    SetMaxOutputBytes(kDefaultMaxOutputBytes);
}

}  // namespace
}  // namespace quillmark
